#include "platform/program_folder.h"

#include <unistd.h>

void InitProgramFolder() {
    char buffer[ProgramPathBufferSize];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    ProgramFolder = ProgramFolderFromPath(buffer, length);
}
