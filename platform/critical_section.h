#pragma once

#include <memory>

// A recursive lock: the owning thread may enter again. The platform's lock
// lives on the heap, created with the object and freed with it.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter();
    void Leave();

    struct PlatformLock;

private:
    std::unique_ptr<PlatformLock> lock_;
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
