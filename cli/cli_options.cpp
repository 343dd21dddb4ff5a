#include "cli_options.h"

#include "engine/final_resolution.h"
#include "engine/presets.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

const char* const CliUsage =
    "Usage: vistrel-cli [options] FILE...     enhance each file\n"
    "       vistrel-cli info FILE...          print type, width, height and alpha\n"
    "       vistrel-cli convert IN OUT        re-encode IN as OUT's type\n"
    "\n"
    "Enhancement:\n"
    "  --preset NAME        one of the eight presets (default \"Fine digicam noise\"):\n"
    "                       \"Fine digicam noise\", \"Phone camera noise\", \"Harsh Jpeg artifacts\",\n"
    "                       \"Digital zoom artifacts\", \"Photo 2x zoom\", \"Graphic 2x zoom\",\n"
    "                       \"Photo 4x zoom\", \"Graphic 4x zoom\" (case does not matter)\n"
    "  --noise-size N       slider values 0-100, overriding the preset's\n"
    "  --amount N\n"
    "  --cutoff N\n"
    "  --deblur N\n"
    "  --scale original|all source scale\n"
    "  --auto               choose the sliders from each picture's noise and JPEG\n"
    "                       quality (printed per file); slider options override;\n"
    "                       a picture with nothing worth removing is left as it is\n"
    "\n"
    "Final resolution (default: the preset's factor times the source size):\n"
    "  --width W            height follows the source's proportions\n"
    "  --height H           width follows the source's proportions\n"
    "  --size WxH           both sides, proportions not kept\n"
    "  --zoom F             both sides times F\n"
    "\n"
    "Output:\n"
    "  -o OUT               output file (one input only; type from OUT's extension)\n"
    "  --prefix P           otherwise: next to each input, P before the file name\n"
    "  --suffix S           and S before its extension (default \"_new\"); a name\n"
    "                       without extension gets S at its end\n"
    "  --before-after FILE  also write the source's left half beside the result's\n"
    "                       right half (one input only)\n"
    "  --overwrite          replace existing files (also needed to replace the inputs)\n"
    "  --accept-loss        replace an input in place even when the result cannot keep\n"
    "                       all of it (over 8 bits per channel, more pages or frames)\n"
    "  --quality N          quality 1-100 of every lossy result: JPEG, JPEG-compressed\n"
    "                       TIFF, WebP (unless its source was lossless), AVIF, JPEG XL\n"
    "                       (default 90)\n"
    "\n"
    "  --threads N          worker threads (default: all cores; at most 4 per core are used)\n"
    "  --quiet              no progress output\n"
    "  --help, --version\n";

namespace {

bool parseInt(const std::string& text, int32_t low, int32_t high, int32_t& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool parseSize(const std::string& text, int32_t& w, int32_t& h) {
    size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    return parseInt(text.substr(0, x), 1, MaxFinalSide, w) && parseInt(text.substr(x + 1), 1, MaxFinalSide, h);
}

}  // namespace

OptionValues withOverrides(OptionValues base, const OptionValues& overrides) {
    auto take = [](int32_t& target, int32_t value) {
        if (value != OptionValues::MissingControl)
            target = value;
    };
    take(base.noiseSize, overrides.noiseSize);
    take(base.denoiseAmount, overrides.denoiseAmount);
    take(base.denoiseCutoff, overrides.denoiseCutoff);
    take(base.deblurAmount, overrides.deblurAmount);
    take(base.scaleChoice, overrides.scaleChoice);
    return base;
}

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error) {
    options = CliOptions{};
    OptionValues& overrides = options.overrides;
    bool presetGiven = false;
    bool widthGiven = false, heightGiven = false, sizeGiven = false, zoomGiven = false;
    size_t i = 0;

    if (!args.empty() && (args[0] == "info" || args[0] == "convert")) {
        options.command = args[0] == "info" ? CliOptions::Command::Info : CliOptions::Command::Convert;
        i = 1;
    }

    auto value = [&](const std::string& name, std::string& out) {
        if (i + 1 >= args.size()) {
            error = "option " + name + " needs a value";
            return false;
        }
        out = args[++i];
        return true;
    };
    auto slider = [&](const std::string& name, int32_t& target) {
        std::string text;
        if (!value(name, text))
            return false;
        if (!parseInt(text, 0, 100, target)) {
            error = name + " takes a whole number from 0 to 100, not '" + text + "'";
            return false;
        }
        return true;
    };

    bool onlyFiles = false;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
            options.files.push_back(a);
            continue;
        }
        std::string text;
        if (a == "--") {
            onlyFiles = true;
        } else if (a == "--help" || a == "-h") {
            options.command = CliOptions::Command::Help;
            return true;
        } else if (a == "--version") {
            options.command = CliOptions::Command::Version;
            return true;
        } else if (a == "--preset") {
            if (!value(a, text))
                return false;
            const Preset* preset = findPreset(text.c_str());
            if (!preset) {
                error = "unknown preset '" + text + "'";
                return false;
            }
            options.presetName = preset->name;
            presetGiven = true;
        } else if (a == "--auto") {
            options.autoSliders = true;
        } else if (a == "--noise-size") {
            if (!slider(a, overrides.noiseSize)) return false;
        } else if (a == "--amount") {
            if (!slider(a, overrides.denoiseAmount)) return false;
        } else if (a == "--cutoff") {
            if (!slider(a, overrides.denoiseCutoff)) return false;
        } else if (a == "--deblur") {
            if (!slider(a, overrides.deblurAmount)) return false;
        } else if (a == "--scale") {
            if (!value(a, text))
                return false;
            if (text == "original") overrides.scaleChoice = 0;
            else if (text == "all") overrides.scaleChoice = 1;
            else {
                error = "--scale takes 'original' or 'all', not '" + text + "'";
                return false;
            }
        } else if (a == "--width" || a == "--height") {
            if (!value(a, text))
                return false;
            int32_t& side = a == "--width" ? options.width : options.height;
            if (!parseInt(text, 1, MaxFinalSide, side)) {
                error = a + " takes a whole number from 1 to 99999, not '" + text + "'";
                return false;
            }
            (a == "--width" ? widthGiven : heightGiven) = true;
        } else if (a == "--size") {
            if (!value(a, text))
                return false;
            if (!parseSize(text, options.width, options.height)) {
                error = "--size takes WxH with sides from 1 to 99999, not '" + text + "'";
                return false;
            }
            sizeGiven = true;
        } else if (a == "--zoom") {
            if (!value(a, text))
                return false;
            char* end = nullptr;
            float f = std::strtof(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !std::isfinite(f) || f <= 0.0f || f > 1000.0f) {
                error = "--zoom takes a factor above 0, not '" + text + "'";
                return false;
            }
            options.zoom = f;
            zoomGiven = true;
        } else if (a == "-o" || a == "--output") {
            if (!value(a, options.output))
                return false;
        } else if (a == "--before-after") {
            if (!value(a, options.beforeAfter))
                return false;
        } else if (a == "--prefix") {
            if (!value(a, options.prefix)) return false;
        } else if (a == "--suffix") {
            if (!value(a, options.suffix)) return false;
        } else if (a == "--overwrite") {
            options.overwrite = true;
        } else if (a == "--accept-loss") {
            options.acceptLoss = true;
        } else if (a == "--quality") {
            if (!value(a, text))
                return false;
            if (!parseInt(text, 1, 100, options.quality)) {
                error = "--quality takes a whole number from 1 to 100, not '" + text + "'";
                return false;
            }
        } else if (a == "--threads") {
            if (!value(a, text))
                return false;
            if (!parseInt(text, 1, 1024, options.threads)) {
                error = "--threads takes a whole number from 1 to 1024, not '" + text + "'";
                return false;
            }
        } else if (a == "--quiet" || a == "-q") {
            options.quiet = true;
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }

    if (sizeGiven && (widthGiven || heightGiven)) {
        error = "--size cannot be combined with --width or --height";
        return false;
    }
    if (zoomGiven && (sizeGiven || widthGiven || heightGiven)) {
        error = "--zoom cannot be combined with --size, --width or --height";
        return false;
    }
    if (options.autoSliders && presetGiven) {
        error = "--auto cannot be combined with --preset";
        return false;
    }
    options.exactSize = sizeGiven || (widthGiven && heightGiven);

    const Preset& preset = *findPreset(options.presetName.c_str());
    options.presetFactor = preset.factor;
    options.sliders = withOverrides(preset.options(), overrides);

    switch (options.command) {
    case CliOptions::Command::Info:
        if (options.files.empty()) {
            error = "info needs at least one file";
            return false;
        }
        break;
    case CliOptions::Command::Convert:
        if (options.files.size() != 2) {
            error = "convert needs an input and an output file";
            return false;
        }
        break;
    default:
        if (options.files.empty()) {
            error = "no input files";
            return false;
        }
        if (!options.output.empty() && options.files.size() != 1) {
            error = "-o takes one input file only";
            return false;
        }
        if (!options.beforeAfter.empty() && options.files.size() != 1) {
            error = "--before-after takes one input file only";
            return false;
        }
        break;
    }
    return true;
}
