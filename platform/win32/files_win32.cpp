#include "platform/files.h"
#include "platform/win32/files_win32_seam.h"
#include "platform/win32/utf8_win32.h"

#include <windows.h>

#include <atomic>
#include <climits>
#include <string>

#ifndef ERROR_DIRECTORY_NOT_SUPPORTED
#define ERROR_DIRECTORY_NOT_SUPPORTED 336L
#endif

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

std::atomic<FileStepHook> stepHook{nullptr};

// The error a test asked this step to fail with, 0 normally.
DWORD Injected(FileStep step, const std::wstring& temporary) {
    FileStepHook hook = stepHook.load();
    return hook ? hook(step, Utf8FromWide(temporary)) : 0;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.compare(0, wcslen(prefix), prefix) == 0; }

// The path as Windows takes it past the 260-character limit: absolute, with
// "\\?\" (or "\\?\UNC\" for a share) in front. Relative parts and "/" are
// resolved first, since that prefix turns off the system's own clean-up.
// Device paths ("\\.\pipe\x", "CON") stay as they are.
bool WidePath(const String& path, std::wstring& wide) {
    std::wstring given;
    if (path.length <= 0 || !WideFromUtf8(path.chars(), static_cast<size_t>(path.length), given) || given.empty())
        return false;
    if (StartsWith(given, L"\\\\?\\") || StartsWith(given, L"\\\\.\\")) {
        wide = given;
        return true;
    }
    DWORD n = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return false;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(given.c_str(), n, &full[0], nullptr);
    if (n == 0 || n >= full.size())
        return false;
    full.resize(n);
    if (StartsWith(full, L"\\\\.\\") || StartsWith(full, L"\\\\?\\"))
        wide = full;
    else if (StartsWith(full, L"\\\\"))
        wide = L"\\\\?\\UNC\\" + full.substr(2);
    else
        wide = L"\\\\?\\" + full;
    return true;
}

// The path as people read it: without the prefix WidePath adds.
String ReadablePath(const std::wstring& wide) {
    std::wstring plain = wide;
    if (StartsWith(plain, L"\\\\?\\UNC\\"))
        plain = L"\\\\" + plain.substr(8);
    else if (StartsWith(plain, L"\\\\?\\"))
        plain = plain.substr(4);
    return String(Utf8FromWide(plain));
}

// The system's text for an error, as UTF-8 without the closing full stop.
std::string SystemReason(DWORD error) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = n ? Utf8FromWide(text, n) : std::string();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' ||
                               reason.back() == '.'))
        reason.pop_back();
    // Older systems (and Wine) lack the texts for a read-only file and for
    // a folder; what Windows said before those codes existed fits both.
    if (reason.empty() && (error == ERROR_FILE_READ_ONLY || error == ERROR_DIRECTORY_NOT_SUPPORTED))
        return SystemReason(ERROR_ACCESS_DENIED);
    if (reason.empty())
        reason = "Windows error " + std::to_string(error);
    return reason;
}

FileFailure::Kind KindOf(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED: case ERROR_WRITE_PROTECT: case ERROR_FILE_READ_ONLY:
        return FileFailure::Kind::Denied;
    case ERROR_SHARING_VIOLATION: case ERROR_LOCK_VIOLATION: case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT: case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
        return FileFailure::Kind::InUse;
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_BAD_NETPATH: case ERROR_INVALID_DRIVE:
        return FileFailure::Kind::Missing;
    case ERROR_FILE_EXISTS: case ERROR_ALREADY_EXISTS:
        return FileFailure::Kind::Exists;
    case ERROR_DIRECTORY: case ERROR_DIRECTORY_NOT_SUPPORTED:
        return FileFailure::Kind::NotRegular;
    default:
        return FileFailure::Kind::Other;
    }
}

// Fills in the failure (when asked for one) and returns false.
bool Fail(FileFailure* failure, DWORD error, FileFailure::Kind kind) {
    if (failure) {
        failure->kind = kind;
        failure->reason = String(SystemReason(error));
    }
    return false;
}
bool Fail(FileFailure* failure, DWORD error) { return Fail(failure, error, KindOf(error)); }

bool IsDirectoryOrDevice(DWORD attributes) {
    return attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE);
}

// Others may read, write or delete the file meanwhile, as with the C
// runtime's streams.
HANDLE OpenForReading(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Opens anything, folders included, only to ask who it is.
HANDLE OpenForIdentity(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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

// The folder part of a path with its separator.
std::wstring FolderOf(const std::wstring& path) {
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

// 64 bits no other save is likely to draw: the clock, the process, a
// counter and the address space's layout, mixed (splitmix64).
uint64_t NameBits() {
    static std::atomic<uint64_t> counter{0};
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    uint64_t x = static_cast<uint64_t>(now.QuadPart) ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 40) ^
                 (++counter * 0x9e3779b97f4a7c15ull) ^ reinterpret_cast<uintptr_t>(&counter);
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// A fresh name beside the target, "~vistrel-<16 hex digits>.<kind>".
std::wstring NameBeside(const std::wstring& target, const wchar_t* kind) {
    wchar_t name[48];
    uint64_t bits = NameBits();
    wsprintfW(name, L"~vistrel-%08lx%08lx.%ls", static_cast<unsigned long>(bits >> 32),
              static_cast<unsigned long>(bits & 0xffffffffu), kind);
    return FolderOf(target) + name;
}

constexpr int NameAttempts = 16;

// Creates the temporary file, hidden and marked temporary so that one left
// by a crash stays out of sight and in no one's way; a name already taken
// (such a leftover) just means another draw.
HANDLE CreateTemporary(const std::wstring& target, std::wstring& temp, DWORD& error) {
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        temp = NameBeside(target, L"tmp");
        error = Injected(FileStep::CreateTemporary, temp);
        HANDLE file = INVALID_HANDLE_VALUE;
        if (error == 0) {
            file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
            error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        }
        if (error == 0)
            return file;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

// The temporary of the save under way, so that Ctrl+C, Ctrl+Break or a
// closed console, which end the program from another thread, remove it
// first. While a replaced target is missing (in the middle of the swap)
// the temporary may be the only copy, and stays.
struct PendingTemporary {
    SRWLOCK lock = SRWLOCK_INIT;
    std::wstring temp, target;
    bool replacing = false;
};
PendingTemporary pending;

BOOL WINAPI RemovePendingTemporary(DWORD) {
    AcquireSRWLockExclusive(&pending.lock);
    if (!pending.temp.empty() &&
        (!pending.replacing || GetFileAttributesW(pending.target.c_str()) != INVALID_FILE_ATTRIBUTES))
        DeleteFileW(pending.temp.c_str());
    ReleaseSRWLockExclusive(&pending.lock);
    return FALSE;  // the default handling then ends the program
}

class PendingGuard {
public:
    PendingGuard(const std::wstring& temp, const std::wstring& target, bool replacing) {
        static const BOOL watching = SetConsoleCtrlHandler(RemovePendingTemporary, TRUE);
        (void)watching;
        AcquireSRWLockExclusive(&pending.lock);
        pending.temp = temp;
        pending.target = target;
        pending.replacing = replacing;
        ReleaseSRWLockExclusive(&pending.lock);
    }
    ~PendingGuard() {
        AcquireSRWLockExclusive(&pending.lock);
        pending.temp.clear();
        pending.target.clear();
        ReleaseSRWLockExclusive(&pending.lock);
    }
    PendingGuard(const PendingGuard&) = delete;
    PendingGuard& operator=(const PendingGuard&) = delete;
};

bool Retryable(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// The volume has no ReplaceFileW (some network shares and FAT drives).
bool ReplaceUnsupported(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// One try of ReplaceFileW, keeping the old file under the backup name
// until the new one is in place.
DWORD ReplaceOnce(const std::wstring& target, const std::wstring& temp, const std::wstring& backup) {
    DWORD error = Injected(FileStep::Replace, temp);
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        MoveFileExW(target.c_str(), backup.c_str(), 0);  // where Windows leaves the old file then
    if (error == 0 && !ReplaceFileW(target.c_str(), temp.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                                    nullptr, nullptr))
        error = GetLastError();
    return error;
}

// Puts the backup back at the target's name when a failed replace took the
// old file away; true when the target is (again) there.
bool RestoreTarget(const std::wstring& target, const std::wstring& temp, const std::wstring& backup) {
    if (Exists(target))
        return true;
    if (!Exists(backup))
        return false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        DWORD error = Injected(FileStep::Restore, temp);
        if (error == 0 && MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
            return true;
        Sleep(20u << attempt);
    }
    return Exists(target);
}

// Replaces the existing target by the written temporary. A sharing
// violation (a virus scanner, the indexer or a sync client looking at
// either file for a moment) is tried again for about a second.
bool ReplaceTarget(const std::wstring& target, const std::wstring& temp, std::wstring& backup, DWORD& error) {
    do
        backup = NameBeside(target, L"bak");
    while (Exists(backup));
    for (int attempt = 0;; ++attempt) {
        error = ReplaceOnce(target, temp, backup);
        if (error == 0) {
            // A backup someone still holds open is at least kept out of sight.
            if (!DeleteFileW(backup.c_str()))
                SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY);
            return true;
        }
        if (!RestoreTarget(target, temp, backup))
            return false;
        if (!Retryable(error) || attempt == 7)
            break;
        Sleep(10u << attempt);
    }
    // Without ReplaceFileW a move that replaces is the next best thing.
    if (ReplaceUnsupported(error) &&
        MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = 0;
        return true;
    }
    DeleteFileW(backup.c_str());
    return false;
}

}  // namespace

void SetFileStepHook(FileStepHook hook) { stepHook.store(hook); }

FileKind ProbeFile(const String& path) {
    std::wstring wide;
    if (!WidePath(path, wide))
        return FileKind::Missing;
    if (StartsWith(wide, L"\\\\.\\"))
        return FileKind::NotRegular;  // a pipe or device: asking could block
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return FileKind::Missing;
    return IsDirectoryOrDevice(attributes) ? FileKind::NotRegular : FileKind::Regular;
}

bool FileExists(const String& path) {
    std::wstring wide;
    if (!WidePath(path, wide))
        return false;
    if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    // Something is there that we may not look at (a file in use by the system).
    DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
}

bool ReadWholeFile(const String& path, ByteArray& buffer, FileFailure* failure) {
    buffer.length = 0;
    std::wstring wide;
    if (!WidePath(path, wide))
        return Fail(failure, ERROR_INVALID_NAME);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && IsDirectoryOrDevice(attributes))
        return Fail(failure, ERROR_DIRECTORY_NOT_SUPPORTED, FileFailure::Kind::NotRegular);
    FileHandle file(OpenForReading(wide));
    if (!file.valid())
        return Fail(failure, GetLastError());
    if (GetFileType(file.get()) != FILE_TYPE_DISK)
        return Fail(failure, ERROR_DIRECTORY_NOT_SUPPORTED, FileFailure::Kind::NotRegular);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size))
        return Fail(failure, GetLastError());
    if (size.QuadPart <= 0)
        return Fail(failure, ERROR_HANDLE_EOF, FileFailure::Kind::Other);
    // The buffer's length is a signed 32-bit count.
    if (size.QuadPart > INT32_MAX / 2)
        return Fail(failure, ERROR_NOT_ENOUGH_MEMORY, FileFailure::Kind::Other);
    const int32_t total = static_cast<int32_t>(size.QuadPart);
    if (!buffer.SetLength(total)) {
        buffer.length = 0;
        return Fail(failure, ERROR_NOT_ENOUGH_MEMORY, FileFailure::Kind::Other);
    }
    int32_t done = 0;
    while (done < total) {
        DWORD n = 0;
        if (!ReadFile(file.get(), buffer.data + done, static_cast<DWORD>(total - done), &n, nullptr) || n == 0) {
            DWORD error = n == 0 ? ERROR_HANDLE_EOF : GetLastError();
            buffer.length = 0;
            return Fail(failure, error, FileFailure::Kind::Other);
        }
        done += static_cast<int32_t>(n);
    }
    return true;
}

// The bytes go into a temporary file beside the target, are flushed to
// disk, and only then take the target's place, so a failed save leaves the
// old file as it was. Should the old file ever be gone and the new one not
// in its place, the temporary is kept and named in the failure: it is then
// the only copy.
bool WriteWholeFile(const String& path, const void* data, int64_t size, bool replace, FileFailure* failure) {
    std::wstring target;
    if (size < 0 || (size > 0 && !data))
        return Fail(failure, ERROR_INVALID_PARAMETER, FileFailure::Kind::Other);
    if (!WidePath(path, target))
        return Fail(failure, ERROR_INVALID_NAME);
    if (StartsWith(target, L"\\\\.\\"))
        return Fail(failure, ERROR_DIRECTORY_NOT_SUPPORTED, FileFailure::Kind::NotRegular);
    DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND)
        return Fail(failure, GetLastError());
    if (exists) {
        if (IsDirectoryOrDevice(attributes))
            return Fail(failure, ERROR_DIRECTORY_NOT_SUPPORTED, FileFailure::Kind::NotRegular);
        if (!replace)
            return Fail(failure, ERROR_FILE_EXISTS);
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return Fail(failure, ERROR_FILE_READ_ONLY, FileFailure::Kind::Denied);
        FileHandle old(OpenForIdentity(target));
        BY_HANDLE_FILE_INFORMATION info;
        if (old.valid() && GetFileInformationByHandle(old.get(), &info) && info.nNumberOfLinks > 1)
            return Fail(failure, ERROR_ACCESS_DENIED, FileFailure::Kind::HardLinked);
    }

    std::wstring temp;
    DWORD error = 0;
    FileHandle file(CreateTemporary(target, temp, error));
    if (!file.valid())
        return Fail(failure, error);
    const PendingGuard guard(temp, target, exists);
    error = Injected(FileStep::Write, temp);
    if (error == 0 && !(WriteAll(file.get(), static_cast<const uint8_t*>(data), size) && FlushFileBuffers(file.get())))
        error = GetLastError();
    if (!file.Close() && error == 0)
        error = GetLastError();
    // The finished file goes in visible, with the old one's attributes.
    const DWORD kept = exists ? attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)
                              : 0;
    if (error == 0 && !SetFileAttributesW(temp.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL))
        error = GetLastError();
    if (error != 0) {
        DeleteFileW(temp.c_str());
        return Fail(failure, error);
    }

    if (!exists) {
        // Never replaces: a file that appeared meanwhile stays unless
        // replacing was asked for.
        if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
            return true;
        error = GetLastError();
        if (!replace || (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)) {
            DeleteFileW(temp.c_str());
            return Fail(failure, error);
        }
    }
    std::wstring backup;
    if (ReplaceTarget(target, temp, backup, error))
        return true;
    if (Exists(target)) {
        DeleteFileW(temp.c_str());
        return Fail(failure, error);
    }
    // Nothing is at the target: say where both files are.
    Fail(failure, error);
    if (failure) {
        failure->reason.Append(". The new file was kept as \"");
        failure->reason.Append(ReadablePath(temp));
        if (Exists(backup)) {
            failure->reason.Append("\", the old one as \"");
            failure->reason.Append(ReadablePath(backup));
        }
        failure->reason.Append("\"");
    }
    return false;
}

FileIdentity IdentifyFile(const String& path) {
    FileIdentity identity;
    std::wstring wide;
    if (!WidePath(path, wide))
        return identity;
    // The final path of the file itself, or of its folder plus its name.
    auto finalPath = [](HANDLE handle, std::wstring& result) {
        DWORD n = GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0)
            return false;
        result.assign(n, L'\0');
        n = GetFinalPathNameByHandleW(handle, &result[0], n, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0 || n >= result.size())
            return false;
        result.resize(n);
        return true;
    };
    std::wstring canonical = wide;
    FileHandle file(OpenForIdentity(wide));
    BY_HANDLE_FILE_INFORMATION info;
    if (file.valid() && GetFileInformationByHandle(file.get(), &info)) {
        identity.exists = true;
        identity.device = info.dwVolumeSerialNumber;
        identity.number = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        std::wstring resolved;
        if (finalPath(file.get(), resolved))
            canonical = resolved;
    } else {
        std::wstring folder = FolderOf(wide);
        FileHandle parent(OpenForIdentity(folder));
        std::wstring resolved;
        if (parent.valid() && finalPath(parent.get(), resolved)) {
            if (resolved.empty() || resolved.back() != L'\\')
                resolved += L'\\';
            canonical = resolved + wide.substr(folder.size());
        }
    }
    identity.canonical = ReadablePath(canonical);
    return identity;
}

// Names on Windows match whatever their case.
bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists && b.exists)
        return a.device == b.device && a.number == b.number;
    std::wstring x, y;
    if (a.exists != b.exists || !WideFromUtf8(a.canonical.chars(), static_cast<size_t>(a.canonical.length), x) ||
        !WideFromUtf8(b.canonical.chars(), static_cast<size_t>(b.canonical.length), y))
        return false;
    return !x.empty() && CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                                              static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

// Absolute forms: "\\server\share", "\folder" (on the current drive) and
// "C:\folder"; both separators count.
static bool IsAbsolute(const std::wstring& path) {
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return (!path.empty() && separator(path[0])) || (path.size() >= 3 && path[1] == L':' && separator(path[2]));
}

String AbsolutePath(const String& path) {
    std::wstring wide;
    if (path.length <= 0 || !WideFromUtf8(path.chars(), static_cast<size_t>(path.length), wide) || wide.empty() ||
        IsAbsolute(wide))
        return path;
    // "C:name" counts from drive C's current folder, which only the system
    // knows; anything else from the current folder.
    if (wide.size() >= 2 && wide[1] == L':') {
        DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        std::wstring full(n, L'\0');
        n = n ? GetFullPathNameW(wide.c_str(), n, &full[0], nullptr) : 0;
        if (n == 0 || n >= full.size())
            return path;
        return String(Utf8FromWide(full.data(), n));
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
