#pragma once

#include "core/strings.h"

#include <cstdint>

// The separator of the system's own paths; Windows takes "/" as well.
#ifdef _WIN32
constexpr char PathSeparator = '\\';
#else
constexpr char PathSeparator = '/';
#endif
inline bool IsPathSeparator(char c) { return c == '/' || c == PathSeparator; }

// Why a file operation failed: what kind of failure, for the caller to pick
// its message, and the system's own words for it ("No space left on
// device"), to be shown after the program's text.
struct FileFailure {
    enum class Kind {
        None,
        Missing,     // nothing at that path (or a folder of it is missing)
        Denied,      // no permission, a read-only file or file system
        Exists,      // a new file was asked for and one is there
        InUse,       // another program holds the file (Windows)
        NotRegular,  // a folder, pipe or device
        HardLinked,  // the file has other names that replacing it would split
        Other,
    };
    Kind kind = Kind::None;
    String reason;
};

// What is at a path, looked up without opening it (a pipe would block).
enum class FileKind { Missing, Regular, NotRegular };
FileKind ProbeFile(const String& path);

// True when anything is at the path (a file, a folder, a pipe; a dangling
// link counts too, since writing there would create its target). Never
// opens the file.
bool FileExists(const String& path);

// Reads a whole regular file. On success the buffer holds exactly the file's
// bytes; on any failure (missing, empty, a folder or pipe, unreadable, too
// large for memory) it is false, the buffer's length is 0 and, when given,
// failure says why.
bool ReadWholeFile(const String& path, ByteArray& buffer, FileFailure* failure = nullptr);

// Writes the bytes as the whole file. They go into a temporary file in the
// same folder, which takes the target's place only once every byte is on
// disk, so a failed write never destroys the file that was there, and no
// temporary outlives the process. With replace false an existing target is
// never replaced, even one that appears while writing (failure Exists).
// A replaced file keeps its permissions, owner, group and extended
// attributes where the system allows; a target that may not be written
// (read-only) or that has other hard links is refused.
bool WriteWholeFile(const String& path, const void* data, int64_t size, bool replace = true,
                    FileFailure* failure = nullptr);

// Who a file is, for telling whether two paths name the same file: the
// device and file number when it exists, and in every case its canonical
// path (real folder plus name, links resolved).
struct FileIdentity {
    bool exists = false;
    uint64_t device = 0;
    uint64_t number = 0;
    String canonical;
};
FileIdentity IdentifyFile(const String& path);
bool SameFile(const FileIdentity& a, const FileIdentity& b);

// The path made absolute against the current folder (unchanged when it
// already is: starting with '/' on Linux; on Windows starting with a
// separator or a drive letter, colon and separator). Nothing is resolved or
// checked.
String AbsolutePath(const String& path);
