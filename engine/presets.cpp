#include "engine/presets.h"

#include "core/strings.h"

const Preset Presets[PresetCount] = {
    {"Fine digicam noise", 1, 0, 25, 15, 15, 0},
    {"Phone camera noise", 1, 0, 50, 25, 25, 0},
    {"Harsh Jpeg artifacts", 1, 0, 50, 25, 40, 0},
    {"Digital zoom artifacts", 1, 0, 50, 35, 35, 75},
    {"Photo 2x zoom", 2, 1, 30, 50, 50, 20},
    {"Graphic 2x zoom", 2, 1, 30, 50, 50, 50},
    {"Photo 4x zoom", 4, 1, 70, 50, 50, 50},
    {"Graphic 4x zoom", 4, 1, 70, 50, 70, 70},
};

const Preset* findPreset(const char* name) {
    String wanted(name);
    for (const Preset& p : Presets)
        if (String(p.name).Compare(wanted, false) == 0)
            return &p;
    return nullptr;
}
