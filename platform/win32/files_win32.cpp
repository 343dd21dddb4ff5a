#include "platform/files.h"
#include "platform/win32/utf8_win32.h"

#include <windows.h>

#include <atomic>
#include <climits>
#include <string>

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        bool ok = !valid() || CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

bool WidePath(const String& path, std::wstring& wide) {
    return path.length > 0 && WideFromUtf8(path.chars(), static_cast<size_t>(path.length), wide) && !wide.empty();
}

// Others may read, write or delete the file meanwhile, as with the C
// runtime's streams.
HANDLE OpenForReading(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(HANDLE file, const uint8_t* bytes, int64_t size) {
    while (size > 0) {
        DWORD chunk = size > (1 << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        size -= written;
    }
    return true;
}

// The folder part of a path with its separator ("" for a bare name).
std::wstring FolderOf(const std::wstring& path) {
    size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos)
        return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : std::wstring();
    return path.substr(0, cut + 1);
}

// A name no other save of this or another process is using.
std::wstring TemporaryBeside(const std::wstring& target) {
    static std::atomic<uint32_t> counter{0};
    wchar_t name[64];
    wsprintfW(name, L".vistrel-save-%lu-%lu.tmp", GetCurrentProcessId(), static_cast<unsigned long>(++counter));
    return FolderOf(target) + name;
}

}  // namespace

bool FileExists(const String& path) {
    std::wstring wide;
    if (!WidePath(path, wide))
        return false;
    FileHandle file(OpenForReading(wide));
    return file.valid();
}

bool ReadWholeFile(const String& path, ByteArray& buffer, FileFailure* failure) {
    (void)failure;
    buffer.length = 0;
    std::wstring wide;
    if (!WidePath(path, wide))
        return false;
    FileHandle file(OpenForReading(wide));
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK)
        return false;
    LARGE_INTEGER size;
    // The buffer's length is a signed 32-bit count.
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > INT32_MAX / 2)
        return false;
    const int32_t total = static_cast<int32_t>(size.QuadPart);
    if (!buffer.SetLength(total)) {
        buffer.length = 0;
        return false;
    }
    int32_t done = 0;
    while (done < total) {
        DWORD n = 0;
        if (!ReadFile(file.get(), buffer.data + done, static_cast<DWORD>(total - done), &n, nullptr) || n == 0) {
            buffer.length = 0;
            return false;
        }
        done += static_cast<int32_t>(n);
    }
    return true;
}

// The bytes go into a temporary file beside the target, are flushed to
// disk, and only then take the target's place, so a failed save leaves the
// old file as it was.
bool WriteWholeFile(const String& path, const void* data, int64_t size, bool replace, FileFailure* failure) {
    (void)replace;
    (void)failure;
    std::wstring target;
    if (!WidePath(path, target) || size < 0 || (size > 0 && !data))
        return false;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;

    const std::wstring temp = TemporaryBeside(target);
    FileHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return false;
    bool ok = WriteAll(file.get(), static_cast<const uint8_t*>(data), size) && FlushFileBuffers(file.get());
    ok = file.Close() && ok;
    if (ok) {
        // ReplaceFileW keeps the old file's attributes and security; a new
        // target (or a volume without it) is moved into place.
        ok = exists && ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                    nullptr);
        if (!ok)
            ok = MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!ok)
        DeleteFileW(temp.c_str());
    return ok;
}

// Absolute forms: "\\server\share", "\folder" (on the current drive) and
// "C:\folder"; both separators count.
static bool IsAbsolute(const std::wstring& path) {
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return (!path.empty() && separator(path[0])) || (path.size() >= 3 && path[1] == L':' && separator(path[2]));
}

String AbsolutePath(const String& path) {
    std::wstring wide;
    if (!WidePath(path, wide) || IsAbsolute(wide))
        return path;
    // "C:name" counts from drive C's current folder, which only the system
    // knows; anything else from the current folder.
    if (wide.size() >= 2 && wide[1] == L':') {
        wchar_t full[MAX_PATH * 4];
        DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH * 4, full, nullptr);
        if (n == 0 || n >= MAX_PATH * 4)
            return path;
        std::string bytes = Utf8FromWide(full, n);
        return String(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        return path;
    std::wstring folder(n, L'\0');
    n = GetCurrentDirectoryW(n, &folder[0]);
    if (n == 0 || n >= folder.size())
        return path;
    folder.resize(n);
    std::string result = Utf8FromWide(folder);
    if (result.empty() || (result.back() != '\\' && result.back() != '/'))
        result += '\\';
    result += path.str();
    return String(result.data(), static_cast<int32_t>(result.size()));
}
