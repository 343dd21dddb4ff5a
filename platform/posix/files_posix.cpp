#include "platform/files.h"
#include "platform/posix/save_seams.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace save_seams {
void (*beforePublish)(const char* target) = nullptr;
bool namedTemporaryOnly = false;
int (*syncFolder)(int folder) = ::fsync;
int (*openUnnamed)(const char* folder, mode_t mode) = [](const char* folder, mode_t mode) {
    return ::open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
};
int (*linkAt)(int fromFolder, const char* from, int toFolder, const char* to, int flags) = ::linkat;
int (*renameNoReplace)(const char* from, const char* to) = [](const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
};
}  // namespace save_seams

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { if (fd_ >= 0) ::close(fd_); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    // Closes and reports whether the close succeeded (a deferred write
    // error may show only here).
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

FileFailure::Kind kindOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return FileFailure::Kind::Missing;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return FileFailure::Kind::Denied;
    case EEXIST:
        return FileFailure::Kind::Exists;
    case EISDIR:
        return FileFailure::Kind::NotRegular;
    default:
        return FileFailure::Kind::Other;
    }
}

bool fail(FileFailure* failure, FileFailure::Kind kind, const char* reason) {
    if (failure) {
        failure->kind = kind;
        failure->reason = String(reason);
    }
    return false;
}

bool failWith(FileFailure* failure, int error) { return fail(failure, kindOf(error), std::strerror(error)); }

bool writeAll(int fd, const uint8_t* bytes, int64_t size) {
    while (size > 0) {
        size_t chunk = size > (1 << 30) ? (1 << 30) : static_cast<size_t>(size);
        ssize_t n = ::write(fd, bytes, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += n;
        size -= n;
    }
    return true;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// --- The named temporary and the signals that would orphan it ---

// A save's named temporary, while it exists, so that a signal that ends
// the program removes it first. One named temporary at a time.
std::mutex namedTemporaryLock;
char pendingName[PATH_MAX + 1];
volatile sig_atomic_t pendingSet = 0;

void removeTemporaryAndEnd(int signal) {
    if (pendingSet)
        ::unlink(pendingName);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Only signals that would end the program as they stand get the handler; a
// program that handles them itself (the desktop program closes through its
// own exit path) finishes its save first.
void watchEndingSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction current;
            if (::sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) ||
                current.sa_handler != SIG_DFL)
                continue;
            struct sigaction action;
            std::memset(&action, 0, sizeof action);
            action.sa_handler = removeTemporaryAndEnd;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
    });
}

std::string randomName(const std::string& folder) {
    static std::atomic<uint64_t> counter{0};
    static const uint64_t seed = std::random_device{}() ^ (static_cast<uint64_t>(std::random_device{}()) << 32);
    uint64_t value = seed ^ (static_cast<uint64_t>(::getpid()) << 40) ^ (++counter * 0x9E3779B97F4A7C15ull);
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = folder + "/.vistrel-save-";
    for (int i = 0; i < 10; ++i, value /= 62)
        name += letters[value % 62];
    return name;
}

class PendingTemporary {
public:
    PendingTemporary() : hold_(namedTemporaryLock) { watchEndingSignals(); }
    ~PendingTemporary() { forget(); }
    PendingTemporary(const PendingTemporary&) = delete;
    PendingTemporary& operator=(const PendingTemporary&) = delete;

    // Announces the name before it exists: a signal between creating the
    // file and recording it would otherwise leave it behind.
    bool announce(const std::string& name) {
        if (name.size() > PATH_MAX)
            return false;
        pendingSet = 0;
        std::memcpy(pendingName, name.c_str(), name.size() + 1);
        pendingSet = 1;
        return true;
    }
    void forget() { pendingSet = 0; }

private:
    std::lock_guard<std::mutex> hold_;
};

// --- Writing ---

// What the new file takes over from the one it replaces.
struct Replaced {
    bool exists = false;
    struct stat info;
};

// Owner and group first (changing them may clear set-id bits), then the
// permission bits, then extended attributes, ACLs among them. Security
// labels belong to the system's policy and are left to it.
bool takeOverAttributes(int fd, const std::string& target, const Replaced& old, FileFailure* failure) {
    if (::fchown(fd, old.info.st_uid, old.info.st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), old.info.st_gid);
    if (::fchmod(fd, old.info.st_mode & 07777) != 0)
        return failWith(failure, errno);
    std::vector<char> names;
    for (;;) {
        ssize_t length = ::listxattr(target.c_str(), nullptr, 0);
        if (length < 0)
            return errno == ENOTSUP || errno == ENOSYS ? true : failWith(failure, errno);
        names.resize(static_cast<size_t>(length) + 1);
        length = ::listxattr(target.c_str(), names.data(), names.size());
        if (length >= 0) {
            names.resize(static_cast<size_t>(length));
            break;
        }
        if (errno != ERANGE)
            return failWith(failure, errno);
    }
    std::vector<char> value;
    for (size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
        const char* name = names.data() + at;
        if (std::strncmp(name, "security.", 9) == 0)
            continue;
        ssize_t length = ::getxattr(target.c_str(), name, nullptr, 0);
        if (length >= 0) {
            value.resize(static_cast<size_t>(length) + 1);
            length = ::getxattr(target.c_str(), name, value.data(), value.size());
        }
        if (length < 0 || ::fsetxattr(fd, name, value.data(), static_cast<size_t>(length), 0) != 0) {
            const std::string reason = std::string("could not keep the file's attribute ") + name + ": " +
                                       std::strerror(errno);
            return fail(failure, FileFailure::Kind::Other, reason.c_str());
        }
    }
    return true;
}

bool fillTemporary(int fd, const std::string& target, const Replaced& old, const void* data, int64_t size,
                   FileFailure* failure) {
    if (!writeAll(fd, static_cast<const uint8_t*>(data), size))
        return failWith(failure, errno);
    if (old.exists && !takeOverAttributes(fd, target, old, failure))
        return false;
    if (::fsync(fd) != 0)
        return failWith(failure, errno);
    return true;
}

// Puts the file named from in the target's place; without replace, an
// existing target (however recent) makes it fail with Exists and from
// stays.
bool publishNamed(const std::string& from, const std::string& target, bool replace, FileFailure* failure) {
    if (save_seams::beforePublish)
        save_seams::beforePublish(target.c_str());
    if (replace)
        return ::rename(from.c_str(), target.c_str()) == 0 || failWith(failure, errno);
    if (save_seams::renameNoReplace(from.c_str(), target.c_str()) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return failWith(failure, errno);
    // A file system without the atomic form: a hard link fails on an
    // existing name just as well.
    if (save_seams::linkAt(AT_FDCWD, from.c_str(), AT_FDCWD, target.c_str(), 0) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
        return failWith(failure, errno);
    // Neither (FAT and some network file systems): check, then rename.
    struct stat info;
    if (::lstat(target.c_str(), &info) == 0)
        return fail(failure, FileFailure::Kind::Exists, std::strerror(EEXIST));
    return ::rename(from.c_str(), target.c_str()) == 0 || failWith(failure, errno);
}

// The folder's entry for the new file reaches the disk too, so a power cut
// after "saved" cannot bring the old file back. Some file systems cannot
// sync a folder at all (EINVAL); that is no failure of the save.
bool syncFolder(const std::string& folder, FileFailure* failure) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        return failWith(failure, errno);
    if (save_seams::syncFolder(fd.get()) != 0 && errno != EINVAL)
        return failWith(failure, errno);
    return true;
}

enum class Outcome { Done, Failed, NoUnnamed };

// The file system's unnamed temporary (O_TMPFILE): nothing to clean up if
// the program ends while it is written.
Outcome writeUnnamed(const std::string& target, const Replaced& old, const void* data, int64_t size, bool replace,
                     FileFailure* failure) {
    const std::string folder = folderOf(target);
    FileDescriptor fd(save_seams::openUnnamed(folder.c_str(), old.exists ? 0600 : 0666));
    if (fd.get() < 0)  // EISDIR: a kernel without them; the others: a file system without them
        return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? Outcome::NoUnnamed
                                                                            : (failWith(failure, errno), Outcome::Failed);
    if (!fillTemporary(fd.get(), target, old, data, size, failure))
        return Outcome::Failed;
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    if (!replace) {
        if (save_seams::beforePublish)
            save_seams::beforePublish(target.c_str());
        if (save_seams::linkAt(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return Outcome::Done;
        if (errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0)
            return Outcome::NoUnnamed;  // no /proc to name the file by
        failWith(failure, errno);
        return Outcome::Failed;
    }
    // Replacing: a link under a temporary name first, then the rename,
    // which is atomic.
    PendingTemporary pending;
    for (int attempt = 0;; ++attempt) {
        const std::string name = randomName(folder);
        if (!pending.announce(name))
            return fail(failure, FileFailure::Kind::Other, std::strerror(ENAMETOOLONG)), Outcome::Failed;
        if (save_seams::linkAt(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            if (publishNamed(name, target, true, failure))
                return Outcome::Done;
            ::unlink(name.c_str());
            return Outcome::Failed;
        }
        pending.forget();
        if (errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0)
            return Outcome::NoUnnamed;
        if (errno != EEXIST || attempt == 20)
            return failWith(failure, errno), Outcome::Failed;
    }
}

bool writeNamed(const std::string& target, const Replaced& old, const void* data, int64_t size, bool replace,
                FileFailure* failure) {
    const std::string folder = folderOf(target);
    PendingTemporary pending;
    FileDescriptor fd;
    std::string name;
    for (int attempt = 0;; ++attempt) {
        name = randomName(folder);
        if (!pending.announce(name))
            return fail(failure, FileFailure::Kind::Other, std::strerror(ENAMETOOLONG));
        fd.reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old.exists ? 0600 : 0666));
        if (fd.get() >= 0)
            break;
        pending.forget();
        if (errno != EEXIST || attempt == 20)
            return failWith(failure, errno);
    }
    bool ok = fillTemporary(fd.get(), target, old, data, size, failure);
    if (!fd.close() && ok)
        ok = failWith(failure, errno);
    if (ok && publishNamed(name, target, replace, failure))
        return true;
    ::unlink(name.c_str());
    return false;
}

}  // namespace

FileKind ProbeFile(const String& path) {
    struct stat info;
    if (path.length == 0 || ::stat(path.str().c_str(), &info) != 0)
        return FileKind::Missing;
    return S_ISREG(info.st_mode) ? FileKind::Regular : FileKind::NotRegular;
}

bool FileExists(const String& path) {
    struct stat info;
    return path.length > 0 && ::lstat(path.str().c_str(), &info) == 0;
}

bool ReadWholeFile(const String& path, ByteArray& buffer, FileFailure* failure) {
    buffer.length = 0;
    if (path.length == 0)
        return failWith(failure, ENOENT);
    // Non-blocking, so that a pipe does not hold the program up; it is
    // refused below anyway.
    FileDescriptor fd(::open(path.str().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return failWith(failure, errno);
    struct stat info;
    if (::fstat(fd.get(), &info) != 0)
        return failWith(failure, errno);
    if (!S_ISREG(info.st_mode))
        return fail(failure, FileFailure::Kind::NotRegular, "not a regular file");
    if (info.st_size <= 0)
        return fail(failure, FileFailure::Kind::Other, "the file is empty");
    // The buffer's length is a signed 32-bit count.
    if (info.st_size > INT32_MAX / 2)
        return failWith(failure, EFBIG);
    int32_t size = static_cast<int32_t>(info.st_size);
    if (!buffer.SetLength(size)) {
        buffer.length = 0;
        return failWith(failure, ENOMEM);
    }
    int32_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd.get(), buffer.data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            buffer.length = 0;
            return n < 0 ? failWith(failure, errno) : fail(failure, FileFailure::Kind::Other, "the file shrank");
        }
        done += static_cast<int32_t>(n);
    }
    return true;
}

bool WriteWholeFile(const String& path, const void* data, int64_t size, bool replace, FileFailure* failure) {
    if (path.length == 0 || size < 0 || (size > 0 && !data))
        return failWith(failure, EINVAL);
    std::string target = path.str();

    // Writing through a link replaces the file it points to, not the link.
    struct stat linkInfo;
    if (::lstat(target.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        char* resolved = ::realpath(target.c_str(), nullptr);
        if (!resolved)
            return failWith(failure, errno);
        target = resolved;
        std::free(resolved);
    }

    Replaced old;
    old.exists = ::stat(target.c_str(), &old.info) == 0;
    if (!old.exists && errno != ENOENT)
        return failWith(failure, errno);
    if (old.exists) {
        if (!replace)
            return fail(failure, FileFailure::Kind::Exists, std::strerror(EEXIST));
        if (!S_ISREG(old.info.st_mode))
            return fail(failure, FileFailure::Kind::NotRegular, "not a regular file");
        if (::access(target.c_str(), W_OK) != 0)
            return failWith(failure, errno);
        // A new file in its place would leave the other names with the
        // old picture.
        if (old.info.st_nlink > 1)
            return fail(failure, FileFailure::Kind::HardLinked,
                        "it has other hard links, which would keep the old picture");
    }

    bool written = false;
    Outcome outcome = save_seams::namedTemporaryOnly ? Outcome::NoUnnamed
                                                     : writeUnnamed(target, old, data, size, replace, failure);
    if (outcome == Outcome::NoUnnamed)
        written = writeNamed(target, old, data, size, replace, failure);
    else
        written = outcome == Outcome::Done;
    return written && syncFolder(folderOf(target), failure);
}

FileIdentity IdentifyFile(const String& path) {
    FileIdentity identity;
    if (path.length == 0)
        return identity;
    const std::string name = path.str();
    struct stat info;
    if (::stat(name.c_str(), &info) == 0) {
        identity.exists = true;
        identity.device = static_cast<uint64_t>(info.st_dev);
        identity.number = static_cast<uint64_t>(info.st_ino);
    }
    if (char* real = ::realpath(name.c_str(), nullptr)) {
        identity.canonical = String(real);
        std::free(real);
        return identity;
    }
    // Not there yet: the real folder and the name.
    if (char* folder = ::realpath(folderOf(name).c_str(), nullptr)) {
        std::string canonical = folder;
        std::free(folder);
        if (canonical != "/")
            canonical += '/';
        identity.canonical = String(canonical + nameOf(name));
        return identity;
    }
    identity.canonical = AbsolutePath(path);
    return identity;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists && b.exists)
        return a.device == b.device && a.number == b.number;
    return a.canonical.length > 0 && a.canonical.Compare(b.canonical, true) == 0;
}

String AbsolutePath(const String& path) {
    if (path.length > 0 && path.data[0] == '/')
        return path;
    char* folder = ::getcwd(nullptr, 0);
    if (!folder)
        return path;
    String result(folder);
    std::free(folder);
    if (result.length == 0 || result.data[result.length - 1] != '/')
        result.Append("/");
    result.Append(path);
    return result;
}
