#pragma once

#include "engine/option_mapping.h"

#include <cstdint>
#include <string>
#include <vector>

// What the command line asks for, after parsing and checking.
struct CliOptions {
    enum class Command { Enhance, Info, Convert, Help, Version };
    Command command = Command::Enhance;

    // Enhancement settings: the preset's values, then any overrides.
    std::string presetName = "Fine digicam noise";
    int32_t presetFactor = 1;
    OptionValues sliders;
    // --auto: the sliders come from each picture's estimated damage, then
    // from any slider options given (kept apart in overrides).
    bool autoSliders = false;
    OptionValues overrides;

    // Final resolution; 0 = not given.
    int32_t width = 0;
    int32_t height = 0;
    bool exactSize = false;  // --size, or both --width and --height
    float zoom = 0.0f;

    std::string output;      // -o
    std::string beforeAfter; // --before-after: source and result side by side
    std::string prefix;
    std::string suffix = "_new";
    bool overwrite = false;
    bool acceptLoss = false;  // --accept-loss: in place even if the result keeps less
    int32_t quality = 90;    // --quality: every lossy result
    int32_t threads = 0;     // 0 = every core
    bool quiet = false;

    std::vector<std::string> files;
};

// base with every control that overrides gives replaced.
OptionValues withOverrides(OptionValues base, const OptionValues& overrides);

// Parses argv (without the program name). On a usage error returns false
// and describes the problem in error (one line, no trailing newline).
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);

extern const char* const CliUsage;
