#include "platform/program_folder.h"

#include <unistd.h>

String ProgramFolder;

namespace {
constexpr int64_t PathBufferSize = 1023;
}

String ProgramFolderFromPath(const char* path, int64_t length) {
    if (!path || length < 0 || length >= PathBufferSize - 1)
        return String();
    int64_t cut = -1;
    for (int64_t i = 0; i < length; ++i) {
        if (path[i] == '/' || path[i] == '\\')
            cut = i;
    }
    return String(path, static_cast<int32_t>(cut + 1));
}

void InitProgramFolder() {
    char buffer[PathBufferSize];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    ProgramFolder = ProgramFolderFromPath(buffer, length);
}
