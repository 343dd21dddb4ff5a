#pragma once

#include <memory>
#include <mutex>

// A recursive lock: the owning thread may enter again.
class CriticalSection {
public:
    CriticalSection() : mutex_(std::make_unique<std::recursive_mutex>()) {}
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { mutex_->lock(); }
    void Leave() { mutex_->unlock(); }

private:
    std::unique_ptr<std::recursive_mutex> mutex_;
};

// Holds a critical section for the lifetime of the scope.
class Lock {
public:
    explicit Lock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
    ~Lock() { cs_.Leave(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CriticalSection& cs_;
};
