#pragma once
// Stands in for functions of the libraries and of the C library that can report a failure, so that the program's
// handling of one can be seen: the named function fails as its library would, with errno set to RefusalError. A file
// of each test program lists its functions with REFUSED. Only glibc builds can put themselves in front of a shared
// library's functions.
#include <cstddef>
#if defined(__GLIBC__)
#define VISTREL_REFUSED_CALLS 1
#include <dlfcn.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

inline std::atomic<const char*> RefusedName{nullptr};
inline std::atomic<long> RefusalsSpared{0}, Refusals{0};
inline std::atomic<int> RefusalError{EIO};

// From now on the first call of the function `name` fails; "name+N" lets N calls through and fails the next
// (nullptr: none). Returns how many calls failed since the last time.
inline long RefuseCall(const char* name) {
    RefusedName = name;
    const char* plus = name ? std::strchr(name, '+') : nullptr;
    RefusalsSpared = plus ? std::atol(plus + 1) : 0;
    return Refusals.exchange(0);
}

inline bool Refuses(const char* name) {
    const char* r = RefusedName.load();
    const size_t n = std::strlen(name);
    if (!r || std::strncmp(r, name, n) != 0 || (r[n] != '\0' && r[n] != '+') || RefusalsSpared-- != 0)
        return false;
    return ++Refusals, errno = RefusalError, true;
}

// dlsym finds the library's own function after this program's; last comes the C library's functions' noexcept.
#define REFUSED(name, failure, params, args, ...)                                             \
    extern "C" auto name params __VA_ARGS__->decltype(name args) {                            \
        static const auto real = reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name)); \
        return Refuses(#name) ? failure : real args;                                         \
    }
#endif
