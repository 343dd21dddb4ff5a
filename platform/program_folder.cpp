#include "platform/program_folder.h"

String ProgramFolder;

String ProgramFolderFromPath(const char* path, int64_t length) {
    if (!path || length < 0 || length >= ProgramPathBufferSize - 1)
        return String();
    int64_t cut = -1;
    for (int64_t i = 0; i < length; ++i) {
        if (path[i] == '/' || path[i] == '\\')
            cut = i;
    }
    return String(path, static_cast<int32_t>(cut + 1));
}
