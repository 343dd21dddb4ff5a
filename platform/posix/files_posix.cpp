#include "platform/files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { if (fd_ >= 0) ::close(fd_); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { int fd = fd_; fd_ = -1; return fd; }

private:
    int fd_;
};

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

}  // namespace

bool FileExists(const String& path) {
    if (path.length == 0)
        return false;
    FileDescriptor fd(::open(path.str().c_str(), O_RDONLY | O_CLOEXEC));
    return fd.get() >= 0;
}

bool ReadWholeFile(const String& path, ByteArray& buffer, FileFailure* failure) {
    (void)failure;
    buffer.length = 0;
    if (path.length == 0)
        return false;
    FileDescriptor fd(::open(path.str().c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    struct stat info;
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // The buffer's length is a signed 32-bit count.
    if (info.st_size <= 0 || info.st_size > INT32_MAX / 2)
        return false;
    int32_t size = static_cast<int32_t>(info.st_size);
    if (!buffer.SetLength(size)) {
        buffer.length = 0;
        return false;
    }
    int32_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd.get(), buffer.data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            buffer.length = 0;
            return false;
        }
        done += static_cast<int32_t>(n);
    }
    return true;
}

bool WriteWholeFile(const String& path, const void* data, int64_t size, bool replace, FileFailure* failure) {
    (void)replace;
    (void)failure;
    if (path.length == 0 || size < 0 || (size > 0 && !data))
        return false;
    std::string target = path.str();

    // Writing through a link replaces the file it points to, not the link.
    struct stat linkInfo;
    if (::lstat(target.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        char* resolved = ::realpath(target.c_str(), nullptr);
        if (!resolved)
            return false;
        target = resolved;
        std::free(resolved);
    }

    mode_t mode = 0666;
    struct stat info;
    bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists) {
        if (!S_ISREG(info.st_mode) || ::access(target.c_str(), W_OK) != 0)
            return false;
        mode = info.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }

    std::string temp = folderOf(target) + "/.vistrel-save-XXXXXX";
    std::string name = temp;
    FileDescriptor fd(::mkstemp(name.data()));
    if (fd.get() < 0)
        return false;
    bool ok = writeAll(fd.get(), static_cast<const uint8_t*>(data), size) && ::fchmod(fd.get(), mode) == 0 &&
              ::fsync(fd.get()) == 0;
    ok = (::close(fd.release()) == 0) && ok;
    if (ok)
        ok = ::rename(name.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(name.c_str());
    return ok;
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
