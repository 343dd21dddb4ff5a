#include "tests/support/refused_calls.h"

#if VISTREL_REFUSED_CALLS
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>

REFUSED(fchmod, -1, (int fd, mode_t mode), (fd, mode), noexcept)
REFUSED(listxattr, -1, (const char* path, char* list, size_t size), (path, list, size), noexcept)
REFUSED(getxattr, -1, (const char* path, const char* name, void* value, size_t size), (path, name, value, size),
        noexcept)
REFUSED(fsetxattr, -1, (int fd, const char* name, const void* value, size_t size, int flags),
        (fd, name, value, size, flags), noexcept)
REFUSED(fsync, -1, (int fd), (fd))
REFUSED(rename, -1, (const char* from, const char* to), (from, to), noexcept)
REFUSED(linkat, -1, (int fromFolder, const char* from, int toFolder, const char* to, int flags),
        (fromFolder, from, toFolder, to, flags), noexcept)
#endif
