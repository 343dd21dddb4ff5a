#pragma once

#include "ui/ui_resources.h"

// The interface resources built from the embedded art and made the
// process-wide instance; null where they cannot be had.
UiResources* LoadTestResources();
void DropTestResources(UiResources* resources);
