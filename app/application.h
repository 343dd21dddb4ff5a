#pragma once

#include "platform/main_loop.h"

// The application's start-up, teardown and menu commands, for RunProgram.
ApplicationHooks VistrelApplication();
