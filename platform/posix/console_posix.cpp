#include "platform/console.h"

// Terminals here take UTF-8 and escape codes as they are.
bool PrepareConsoleOutput() { return true; }
