#pragma once

#include "ui/ui_resources.h"

// The interface resources built from the embedded art and made the
// process-wide instance; null where they cannot be had.
inline UiResources* LoadTestResources() { return TheUiResources = new UiResources; }
inline void DropTestResources(UiResources* resources) { delete resources; }
