// The engine in-process for bench/tune_auto.py, so that a search over many
// slider settings does not start a program per setting.
//
//   slider_search estimate FILE...
//       one line per file: path, noise estimate, JPEG quality (0 if none),
//       structure estimate, then the noise profile: luma at scales 0-2,
//       chroma at scales 0-2, luma at scale 1 of the dark, middle and bright
//       tones (0 for a tone with too few windows)
//   slider_search search CASES SETTINGS
//       CASES: lines "CLEAN INPUT" (picture files); SETTINGS: lines
//       "NOISE AMOUNT CUTOFF SCALE" (scale 0 "Original", 1 "All scales").
//       Runs the passes on one thread for every case and setting and prints
//       "CASE SETTING PSNR SECONDS" (indices from 0; PSNR of the result
//       against CLEAN over red, green and blue). With OUTPUT_FOLDER, each
//       result's pixels (32-bit 0xAARRGGBB in the machine's byte order, rows
//       top to bottom) go to OUTPUT_FOLDER/CASE-SETTING.raw.
#include "core/bilinear_weights.h"
#include "engine/denoise.h"
#include "engine/deblur.h"
#include "engine/noise_estimate.h"
#include "engine/noise_profile.h"
#include "engine/option_mapping.h"
#include "engine/structure_estimate.h"
#include "engine/processing_job.h"
#include "imagefile/image_file.h"
#include "platform/clock.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool loadOrComplain(const std::string& path, Bitmap& picture) {
    load(picture, String(path), nullptr);
    if (picture.isEmpty())
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return !picture.isEmpty();
}

double psnr(const Bitmap& reference, const Bitmap& result) {
    double sum = 0.0;
    for (size_t i = 0; i < reference.pixelCount(); ++i)
        for (uint32_t shift : {16u, 8u, 0u}) {
            const double d = static_cast<double>((reference.data[i] >> shift) & 0xFF) -
                             static_cast<double>((result.data[i] >> shift) & 0xFF);
            sum += d * d;
        }
    const double mse = sum / (3.0 * static_cast<double>(reference.pixelCount()));
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

int estimate(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        Bitmap picture;
        if (!loadOrComplain(argv[i], picture))
            return 1;
        const bool jpeg = typeFromExtension(String(argv[i])) == ImageFileJpeg;
        const float sigma = estimateNoiseSigma(picture);
        const NoiseProfile profile = estimateNoiseProfile(picture);
        std::printf("%s %.4f %d %.4f", argv[i], sigma, jpeg ? jpegFileQuality(String(argv[i])) : 0,
                    estimateStructure(picture, sigma));
        for (const float* readings : {profile.luma, profile.chroma})
            for (int32_t k = 0; k < NoiseProfile::Scales; ++k)
                std::printf(" %.4f", static_cast<double>(readings[k]));
        for (const float tone : profile.lumaByTone[1])
            std::printf(" %.4f", static_cast<double>(tone));
        std::printf("\n");
    }
    return 0;
}

bool writeRaw(const Bitmap& result, const char* folder, size_t c, size_t s) {
    const std::string path = std::string(folder) + "/" + std::to_string(c) + "-" + std::to_string(s) + ".raw";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(result.data),
              static_cast<std::streamsize>(result.pixelCount() * sizeof(uint32_t)));
    out.close();
    if (!out)
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

int search(const char* casesPath, const char* settingsPath, const char* outputFolder) {
    std::vector<std::pair<Bitmap, Bitmap>> cases;
    std::ifstream casesFile(casesPath);
    std::string clean, input;
    while (casesFile >> clean >> input) {
        cases.emplace_back();
        if (!loadOrComplain(clean, cases.back().first) || !loadOrComplain(input, cases.back().second))
            return 1;
    }
    std::vector<OptionValues> settings;
    std::ifstream settingsFile(settingsPath);
    OptionValues o;
    while (settingsFile >> o.noiseSize >> o.denoiseAmount >> o.denoiseCutoff >> o.scaleChoice) {
        o.deblurAmount = 0;
        settings.push_back(o);
    }

    InitBilinearWeights();
    ProcessingJob job{PassSequence{}};  // its worker only waits
    job.threadCount.store(1);
    for (size_t c = 0; c < cases.size(); ++c) {
        for (size_t s = 0; s < settings.size(); ++s) {
            const EngineSettings engine = settingsFromOptions(settings[s]);
            const int64_t start = NowMicroseconds();
            job.workingImage.copyFrom(cases[c].second);
            job.subProgress = job.passesDone = 0;
            job.passesTotal = 1;
            MatchCountMap map;
            runDenoisePass(job, 0, engine.pass1, &map);
            const double seconds = static_cast<double>(NowMicroseconds() - start) * 1e-6;
            std::printf("%zu %zu %.4f %.5f\n", c, s, psnr(cases[c].first, job.workingImage), seconds);
            if (outputFolder && !writeRaw(job.workingImage, outputFolder, c, s))
                return 1;
        }
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "estimate")
        return estimate(argc, argv);
    if (mode == "search" && (argc == 4 || argc == 5))
        return search(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    std::fprintf(stderr, "usage: slider_search estimate FILE... | search CASES SETTINGS [OUTPUT_FOLDER]\n");
    return 2;
}
