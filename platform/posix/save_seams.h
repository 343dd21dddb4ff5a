#pragma once

#include <sys/types.h>

// Seams in the POSIX save path, for tests only: they let a test act at the
// moment between writing a temporary and publishing it, and take the path
// that file systems without unnamed temporary files take.
namespace save_seams {

// Called with the target path once the bytes are on disk, just before they
// take the target's place. Null in the program.
extern void (*beforePublish)(const char* target);

// When set, the write uses a named temporary file even where the file
// system offers unnamed ones.
extern bool namedTemporaryOnly;

// Syncs the target's folder after publishing; fsync in the program.
extern int (*syncFolder)(int folder);

// Opens an unnamed temporary file in the folder; open with O_TMPFILE in
// the program.
extern int (*openUnnamed)(const char* folder, mode_t mode);

// Gives the written temporary a name; linkat in the program.
extern int (*linkAt)(int fromFolder, const char* from, int toFolder, const char* to, int flags);

// Moves a named temporary to a name nobody holds; renameat2 with
// RENAME_NOREPLACE in the program.
extern int (*renameNoReplace)(const char* from, const char* to);

}  // namespace save_seams
