#include "cli_app.h"

#include "cli_options.h"
#include "core/bilinear_scale.h"
#include "core/output_naming.h"
#include "engine/auto_sliders.h"
#include "engine/final_resolution.h"
#include "engine/noise_estimate.h"
#include "engine/processing_job.h"
#include "engine/structure_estimate.h"
#include "imagefile/image_file.h"
#include "imagefile/output_plan.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "platform/thread.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <sstream>

namespace {

constexpr int32_t UnknownType = ImageFileUnknown;

std::string message(const char* format, const std::string& path) {
    return Format(format, path.c_str()).str();
}

std::string baseName(const std::string& path) {
    int32_t sep = LastSeparator(String(path));
    return path.substr(static_cast<size_t>(sep + 1));
}

bool hasAlpha(const Bitmap& b) {
    for (size_t i = 0; i < b.pixelCount(); ++i)
        if (pixelAlpha(b.data[i]) < 255)
            return true;
    return false;
}

// The checks of a load that need no decoding, in the order the program
// reports them.
bool checkInput(const std::string& path, std::string& error) {
    const String name(path);
    const FileKind kind = ProbeFile(name);
    if (kind == FileKind::Missing) {
        error = message("Couldn't find file %s", path);
        return false;
    }
    if (static_cast<int32_t>(typeFromExtension(name)) == UnknownType) {
        error = message("Unknown image format: %s", path);
        return false;
    }
    if (kind == FileKind::NotRegular) {
        error = message("Error reading %s (not a regular file)", path);
        return false;
    }
    return true;
}

// Loads a picture with the program's own failure texts.
bool loadPicture(const std::string& path, Bitmap& picture, PhotoMetadata* metadata, LoadDetails& details,
                 std::string& error) {
    if (!checkInput(path, error))
        return false;
    const ImageFileType type = load(picture, String(path), metadata, &details);
    details.type = type;
    if (picture.isEmpty()) {
        error = loadFailureMessage(String(path), type, &details.readFailure).str();
        return false;
    }
    return true;
}

std::string existsMessage(const std::string& target) {
    return target + " already exists (give --overwrite to replace it)";
}

bool savePicture(const Bitmap& picture, const std::string& path, const PhotoMetadata* metadata, int32_t quality,
                 bool replace, std::string& error) {
    FileFailure failure;
    if (save(picture, String(path), quality, metadata, replace, &failure))
        return true;
    const ImageFileType type = typeFromExtension(String(path));
    error = failure.kind == FileFailure::Kind::Exists && !replace ? existsMessage(path)
                                                                   : saveFailureMessage(String(path), type, &failure).str();
    return false;
}

// Where an output may go, checked before anything is loaded: a known type
// that can be written at all, no folder or pipe, and never over an
// existing file without --overwrite (the write itself then refuses to
// replace one that appears meanwhile).
bool checkTarget(const std::string& input, const std::string& target, bool overwrite, std::string& error) {
    const ImageFileType type = typeFromExtension(String(target));
    if (static_cast<int32_t>(type) == UnknownType) {
        error = message("Unknown image format: %s", target);
        return false;
    }
    const String refusal = encodeRefusal(type, 1, 1);
    if (refusal.length > 0) {
        error = Format("Unable to save %s (%s)", target.c_str(), CStr(refusal)).str();
        return false;
    }
    if (!FileExists(String(target)))
        return true;
    if (ProbeFile(String(target)) == FileKind::NotRegular) {
        error = message("Unable to save %s (not a regular file)", target);
        return false;
    }
    if (overwrite)
        return true;
    if (SameFile(IdentifyFile(String(input)), IdentifyFile(String(target)))) {
        error = "Refusing to replace the input " + input + " (give --overwrite, or a --prefix or --suffix)";
        return false;
    }
    error = existsMessage(target);
    return false;
}

// A result that replaces its own input must not silently drop what the
// writer cannot keep (16-bit samples, other pages or frames).
bool checkInPlaceLoss(const std::string& input, const std::string& target, const LoadDetails& details,
                      bool acceptLoss, std::string& error) {
    if (acceptLoss || !SameFile(IdentifyFile(String(input)), IdentifyFile(String(target))))
        return true;
    const String loss = describeLoss(details, typeFromExtension(String(input)), typeFromExtension(String(target)));
    if (loss.length == 0)
        return true;
    error = Format("Refusing to replace %s in place: the result would lose %s (give --accept-loss to replace it "
                   "anyway, or a --prefix or --suffix)",
                   input.c_str(), CStr(loss))
                .str();
    return false;
}

// The before half (left) and the after half (right) of two pictures of the
// same size, with a white line between them.
Bitmap sideBySide(const Bitmap& before, const Bitmap& after) {
    Bitmap joined;
    joined.copyFrom(after);
    const int32_t split = after.width / 2;
    for (int32_t y = 0; y < after.height; ++y)
        for (int32_t x = 0; x <= split && x < after.width; ++x)
            joined.at(x, y) = x == split ? packPixel(255, 255, 255) : before.at(x, y);
    return joined;
}

// "photo.jpg: noise σ≈14.2, structure≈3.1, JPEG quality≈35 -> noise size 50, ..."
// or, for a picture no pass runs on, "... -> left as it is"; then
// "photo.jpg: noise by scale (1, 2, 4 pixels): luma 1.5/2.3/1.9, chroma ...,
// camera-like, level 1.27".
std::string describeAuto(const std::string& input, const DamageEstimate& damage, const OptionValues* sliders) {
    std::ostringstream line;
    line << input << ": noise \u03c3\u2248" << std::fixed << std::setprecision(1) << damage.noiseSigma << ", structure\u2248"
         << damage.structure;
    if (damage.jpegQuality > 0)
        line << ", JPEG quality\u2248" << damage.jpegQuality;
    if (!sliders)
        line << " -> left as it is";
    else
        line << " -> noise size " << sliders->noiseSize << ", amount " << sliders->denoiseAmount << ", cutoff "
             << sliders->denoiseCutoff << ", deblur " << sliders->deblurAmount << ", scale "
             << (sliders->scaleChoice == 1 ? "all" : "original");
    // The noise profile on a line of its own: luma and chroma at the three
    // scales, and whether the noise reads as a camera's, with the level the
    // camera rows choose by.
    const NoiseProfile& p = damage.profile;
    line << "\n" << input << ": noise by scale (1, 2, 4 pixels): luma " << p.luma[0] << "/" << p.luma[1] << "/"
         << p.luma[2] << ", chroma " << p.chroma[0] << "/" << p.chroma[1] << "/" << p.chroma[2];
    if (cameraLikeNoise(p))
        line << ", camera-like, level " << std::setprecision(2) << cameraNoiseLevel(p);
    else
        line << ", white";
    return line.str();
}

bool anySliderGiven(const OptionValues& o) {
    for (int32_t v : {o.noiseSize, o.denoiseAmount, o.denoiseCutoff, o.deblurAmount, o.scaleChoice})
        if (v != OptionValues::MissingControl)
            return true;
    return false;
}

class Enhancer {
public:
    Enhancer(const CliOptions& options, std::ostream& err, bool live)
        : options_(options), err_(err), live_(live && !options.quiet) {
        job_.threadCount = CliWorkerThreads(options.threads, HardwareThreadCount());
    }

    // Enhances one input into target; refusal, when not empty, says why
    // this input may not be processed at all.
    bool Run(size_t index, size_t count, const std::string& input, const std::string& target,
             const std::string& refusal) {
        std::string error = refusal;
        if (!error.empty() || !enhance(index, count, input, target, error)) {
            if (live_)
                err_ << "\r\033[K";
            err_ << error << "\n";
            return false;
        }
        return true;
    }

private:
    bool finalSize(const Bitmap& source, int32_t& w, int32_t& h) const {
        const int32_t sw = source.width, sh = source.height;
        if (options_.exactSize) {
            w = options_.width;
            h = options_.height;
        } else if (options_.width > 0) {
            w = options_.width;
            h = ProportionalSide(sh, w, sw);
        } else if (options_.height > 0) {
            h = options_.height;
            w = ProportionalSide(sw, h, sh);
        } else if (options_.zoom > 0.0f) {
            w = ScaledSide(sw, options_.zoom);
            h = ScaledSide(sh, options_.zoom);
        } else {
            w = static_cast<int32_t>(static_cast<int64_t>(sw) * options_.presetFactor > MaxFinalSide
                                         ? MaxFinalSide + 1
                                         : sw * options_.presetFactor);
            h = static_cast<int32_t>(static_cast<int64_t>(sh) * options_.presetFactor > MaxFinalSide
                                         ? MaxFinalSide + 1
                                         : sh * options_.presetFactor);
        }
        return w >= 1 && h >= 1 && w <= MaxFinalSide && h <= MaxFinalSide;
    }

    bool enhance(size_t index, size_t count, const std::string& input, const std::string& target,
                 std::string& error) {
        if (!checkInput(input, error) || !checkTarget(input, target, options_.overwrite, error))
            return false;
        if (!options_.beforeAfter.empty() && !checkTarget(input, options_.beforeAfter, options_.overwrite, error))
            return false;

        PhotoMetadata metadata;
        Bitmap source;
        LoadDetails details;
        if (!loadPicture(input, source, &metadata, details, error))
            return false;
        if (!checkInPlaceLoss(input, target, details, options_.acceptLoss, error))
            return false;

        int32_t w = 0, h = 0;
        if (!finalSize(source, w, h)) {
            error = Format("The final size of %s would be %dx%d; each side must be 1 to 99999", input.c_str(), w, h)
                        .str();
            return false;
        }
        for (const std::string* out : {&target, &options_.beforeAfter}) {
            const String refusal = out->empty() ? String() : encodeRefusal(typeFromExtension(String(*out)), w, h);
            if (refusal.length > 0) {
                error = Format("Unable to save %s (%s)", out->c_str(), CStr(refusal)).str();
                return false;
            }
        }
        OptionValues sliders = options_.sliders;
        // A picture --auto finds nothing worth removing in is only resized
        // (if asked) and saved, unless slider options ask for a pass.
        bool leaveAlone = false;
        if (options_.autoSliders) {
            DamageEstimate damage;
            damage.noiseSigma = estimateNoiseSigma(source);
            damage.structure = estimateStructure(source, damage.noiseSigma);
            damage.profile = estimateNoiseProfile(source);
            if (typeFromExtension(String(input)) == ImageFileJpeg)
                damage.jpegQuality = jpegFileQuality(String(input));
            const AutoChoice choice = autoSliders(damage);
            leaveAlone = choice.leaveAlone && !anySliderGiven(options_.overrides);
            sliders = withOverrides(choice.sliders, options_.overrides);
            if (!options_.quiet)
                err_ << describeAuto(input, damage, leaveAlone ? nullptr : &sliders) << "\n";
        }
        const EngineSettings settings = settingsFromOptions(sliders);
        const uint64_t memory = PhysicalMemoryBytes();
        Bitmap scaled;
        if ((memory > 0 && !leaveAlone && EstimatedProcessingBytes(w, h, settings) > memory) ||
            !scaleBilinearClamped(source, w, h, scaled)) {
            error = Format("Not enough memory to enhance %s at %dx%d", input.c_str(), w, h).str();
            return false;
        }
        const int32_t sourceWidth = source.width, sourceHeight = source.height;
        source.clear();

        Bitmap before, result;
        if (leaveAlone) {
            if (options_.beforeAfter.empty() || before.copyFrom(scaled))
                result.moveFrom(scaled);
        } else {
            // Without memory for the job's copy nothing runs: the result stays empty.
            const bool submitted = job_.submit(scaled, settings);
            if (!options_.beforeAfter.empty())
                before.moveFrom(scaled);
            scaled.clear();
            int32_t shown = -1;
            while (submitted && !job_.resultReady.load()) {
                const int32_t percent = job_.requestPending.load() ? 0 : job_.percent.load();
                if (live_ && percent != shown) {
                    showProgress(index, count, input, percent);
                    shown = percent;
                }
                SleepMilliseconds(10);
            }
            if (submitted)
                job_.collect(result);
        }
        if (result.isEmpty()) {
            error = Format("Not enough memory to enhance %s at %dx%d", input.c_str(), w, h).str();
            return false;
        }
        // A picture left as it is, at its own size, in its own place, is not
        // written again: rewriting could only lose something.
        const bool unchanged = leaveAlone && w == result.width && h == result.height && sourceWidth == w &&
                               sourceHeight == h && SameFile(IdentifyFile(String(input)), IdentifyFile(String(target)));
        if (!unchanged && !savePicture(result, target, &metadata, options_.quality, options_.overwrite, error))
            return false;
        if (!before.isEmpty() &&
            !savePicture(sideBySide(before, result), options_.beforeAfter, &metadata, options_.quality, options_.overwrite,
                         error))
            return false;
        if (live_)
            err_ << "\r\033[K";
        if (!options_.quiet)
            err_ << "[" << index + 1 << "/" << count << "] " << input
                 << (unchanged ? " left as it was, not rewritten" : " -> " + target) << "\n";
        return true;
    }

    void showProgress(size_t index, size_t count, const std::string& input, int32_t percent) {
        constexpr int Width = 30;
        const int filled = percent * Width / 100;
        err_ << "\r\033[K[" << index + 1 << "/" << count << "] " << baseName(input) << " ["
             << std::string(static_cast<size_t>(filled), '#') << std::string(static_cast<size_t>(Width - filled), '-')
             << "] " << percent << "%" << std::flush;
    }

    const CliOptions& options_;
    std::ostream& err_;
    bool live_;
    ProcessingJob job_;
};

int runInfo(const CliOptions& options, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (const std::string& path : options.files) {
        Bitmap picture;
        LoadDetails details;
        std::string error;
        if (!loadPicture(path, picture, nullptr, details, error)) {
            err << error << "\n";
            status = 1;
            continue;
        }
        // The type the content was read as, which a mislabelled file shows.
        out << path << ": " << typeName(details.type) << " " << picture.width << "x" << picture.height << " "
            << (hasAlpha(picture) ? "alpha" : "opaque") << "\n";
    }
    return status;
}

int runConvert(const CliOptions& options, std::ostream& err) {
    const std::string& input = options.files[0];
    const std::string& target = options.files[1];
    std::string error;
    PhotoMetadata metadata;
    Bitmap picture;
    LoadDetails details;
    if (!checkInput(input, error) || !checkTarget(input, target, options.overwrite, error) ||
        !loadPicture(input, picture, &metadata, details, error) ||
        !checkInPlaceLoss(input, target, details, options.acceptLoss, error) ||
        !savePicture(picture, target, &metadata, options.quality, options.overwrite, error)) {
        err << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int32_t CliWorkerThreads(int32_t requested, int32_t cores) {
    return requested > 0 ? std::min(requested, 4 * cores) : cores;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(args, options, error)) {
        err << "vistrel-cli: " << error << "\nTry 'vistrel-cli --help' for more information.\n";
        return 2;
    }
    switch (options.command) {
    case CliOptions::Command::Help:
        out << CliUsage;
        return 0;
    case CliOptions::Command::Version:
        out << "Vistrel 1.3\n";
        return 0;
    case CliOptions::Command::Info:
        return runInfo(options, out, err);
    case CliOptions::Command::Convert:
        return runConvert(options, err);
    case CliOptions::Command::Enhance:
        break;
    }
    // Every target is known before the first file is touched.
    std::vector<String> inputs, targets;
    for (const std::string& input : options.files) {
        inputs.push_back(String(input));
        targets.push_back(options.output.empty() ? resultPathFor(String(input), String(options.prefix),
                                                                 String(options.suffix))
                                                 : String(options.output));
    }
    const std::vector<String> refusals = CheckOutputTargets(inputs, targets);
    const FileIdentity beforeAfter = IdentifyFile(String(options.beforeAfter));
    Enhancer enhancer(options, err, errIsTerminal);
    int status = 0;
    for (size_t i = 0; i < options.files.size(); ++i) {
        std::string refusal;
        if (refusals[i].length > 0)
            refusal = Format("Refusing to write %s: %s", CStr(targets[i]), CStr(refusals[i])).str();
        else if (!options.beforeAfter.empty() && (SameFile(beforeAfter, IdentifyFile(inputs[i])) ||
                                                  SameFile(beforeAfter, IdentifyFile(targets[i]))))
            refusal = "Refusing to write " + options.beforeAfter +
                      ": --before-after must name a file other than the input and the result";
        if (!enhancer.Run(i, options.files.size(), options.files[i], targets[i].str(), refusal))
            status = 1;
    }
    return status;
}
