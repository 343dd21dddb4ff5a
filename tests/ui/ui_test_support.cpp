#include "ui_test_support.h"

UiResources* LoadTestResources() {
    auto* resources = new UiResources;
    TheUiResources = resources;
    return resources;
}

void DropTestResources(UiResources* resources) { delete resources; }
