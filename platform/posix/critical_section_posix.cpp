#include "platform/critical_section.h"

#include <mutex>

struct CriticalSection::PlatformLock {
    std::recursive_mutex mutex;
};

CriticalSection::CriticalSection() : lock_(std::make_unique<PlatformLock>()) {}
CriticalSection::~CriticalSection() = default;

void CriticalSection::Enter() { lock_->mutex.lock(); }
void CriticalSection::Leave() { lock_->mutex.unlock(); }
