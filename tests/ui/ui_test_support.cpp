#include "ui_test_support.h"

UiResources* LoadTestResources() { return nullptr; }

void DropTestResources(UiResources* resources) { delete resources; }
