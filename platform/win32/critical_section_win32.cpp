#include "platform/critical_section.h"

#include <windows.h>

// Windows critical sections are recursive for the owning thread.
struct CriticalSection::PlatformLock {
    CRITICAL_SECTION section;
};

CriticalSection::CriticalSection() : lock_(std::make_unique<PlatformLock>()) {
    InitializeCriticalSection(&lock_->section);
}

CriticalSection::~CriticalSection() { DeleteCriticalSection(&lock_->section); }

void CriticalSection::Enter() { EnterCriticalSection(&lock_->section); }
void CriticalSection::Leave() { LeaveCriticalSection(&lock_->section); }
