#pragma once

// Test-only: a hook that makes single steps of WriteWholeFile fail with a
// chosen Windows error, so that tests can walk every failure path the real
// system reaches only by bad luck (a virus scanner holding the new file,
// a crash leaving a temporary behind). Not for the program's own use.

#include <cstdint>
#include <string>

enum class FileStep {
    CreateTemporary,  // making the temporary file (an error here is one attempt of several)
    Write,            // writing the bytes into it
    Replace,          // putting it in the target's place (one attempt of several)
    Restore,          // putting the old file back after a failed replace
};

// Returns 0 to let the step run, or the error it fails with. For Replace,
// ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 also moves the old file to the backup
// name first, as Windows does when it fails half way. The temporary's path
// is given (UTF-8) so that a test may look at it.
using FileStepHook = uint32_t (*)(FileStep step, const std::string& temporary);
void SetFileStepHook(FileStepHook hook);  // nullptr: no injection
