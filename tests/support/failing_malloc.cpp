#include "tests/support/failing_malloc.h"

#if VISTREL_FAILING_MALLOC
#include <atomic>
#include <new>
#include <thread>

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" char __executable_start[], etext[];  // this program's code, where the libraries' is not

namespace {
std::atomic<long> made{0}, failAt{-1};
std::atomic<size_t> counted{0};  // the smallest allocation counted
std::atomic<std::thread::id> counting;  // the thread whose allocations count

bool fails(const void* caller, size_t n) {
    if (caller < __executable_start || caller >= etext || n < counted.load() ||
        std::this_thread::get_id() != counting.load())
        return false;
    return made++ == failAt.load();
}

void* allocated(const void* caller, size_t n) {
    if (void* p = fails(caller, n) ? nullptr : __libc_malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
}  // namespace

long FailAllocation(long index, size_t atLeast) {
    failAt = -1;
    const long count = made.exchange(0);
    counted = atLeast;
    counting = std::this_thread::get_id();
    failAt = index;
    return count;
}

#define CALLER __builtin_return_address(0)
extern "C" void* malloc(size_t n) { return fails(CALLER, n) ? nullptr : __libc_malloc(n); }
extern "C" void* calloc(size_t n, size_t size) { return fails(CALLER, n * size) ? nullptr : __libc_calloc(n, size); }
extern "C" void* realloc(void* p, size_t n) { return fails(CALLER, n) ? nullptr : __libc_realloc(p, n); }
void* operator new(size_t n) { return allocated(CALLER, n); }
void* operator new[](size_t n) { return allocated(CALLER, n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    return fails(CALLER, n) ? nullptr : __libc_malloc(n ? n : 1);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    return fails(CALLER, n) ? nullptr : __libc_malloc(n ? n : 1);
}
#endif
