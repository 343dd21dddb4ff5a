#pragma once

// Resource ids shared by vistrel.rc and the backend.
#define VISTREL_ICON 100
#define VISTREL_CURSOR_HAND 1001
#define VISTREL_CURSOR_MAGNIFIER 1002
#define VISTREL_CURSOR_MOVE 1003
