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

// True when the file can be opened for reading.
bool FileExists(const String& path);

// Reads a whole regular file. On success the buffer holds exactly the file's
// bytes; on any failure (missing, empty, a folder, unreadable, too large
// for memory) it is false and the buffer's length is 0.
bool ReadWholeFile(const String& path, ByteArray& buffer);

// Writes the bytes as the whole file. They go into a temporary file in the
// same folder, which replaces the target only once every byte is on disk, so
// a failed write never destroys the file that was there. A target that
// exists but may not be written (a read-only file) is refused.
bool WriteWholeFile(const String& path, const void* data, int64_t size);

// The path made absolute against the current folder (unchanged when it
// already is: starting with '/' on Linux; on Windows starting with a
// separator or a drive letter, colon and separator). Nothing is resolved or
// checked.
String AbsolutePath(const String& path);
