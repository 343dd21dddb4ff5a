#pragma once
// Makes one chosen allocation fail (malloc, calloc or realloc returning null, new throwing), to show what an
// allocation failure does wherever it strikes. Only the program's own allocations count: the libraries' handling
// of memory running out is theirs. Only glibc builds without a sanitizer can take the allocator over.
#include <cstddef>
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define VISTREL_FAILING_MALLOC 1
// From now on allocation number `index` (0 the next) of those of at least `atLeast` bytes that the calling thread
// makes fails; -1 lets all through. Returns how many the last call counted.
long FailAllocation(long index, size_t atLeast = 0);
#endif
