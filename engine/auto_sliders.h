#pragma once

#include "engine/noise_profile.h"
#include "engine/option_mapping.h"

#include <cstdint>

// What a picture's damage looks like, measured from the picture and its file.
struct DamageEstimate {
    float noiseSigma = 0.0f;    // estimateNoiseSigma of the picture
    int32_t jpegQuality = 0;    // 1-100 for a JPEG file (jpegQuality), 0 otherwise
    float structure = 0.0f;     // estimateStructure of the picture
    NoiseProfile profile = {};  // estimateNoiseProfile of the picture
};

// One row of a fitted table: the slider positions for one band of damage.
struct AutoRow {
    // Noise rows: the row serves estimates from this sigma up. JPEG rows: it
    // serves qualities up to and including this one.
    float bound;
    int32_t noiseSize;
    int32_t denoiseAmount;
    int32_t denoiseCutoff;
    int32_t scaleChoice;  // 0 "Original", 1 "All scales"
};

// The slider value of every slider of a row where no setting of the search
// did better on average than the input itself: such pictures are left as
// they are. It is below every slider position, so raising a row to another
// (the JPEG rows) keeps the rule that sliders only rise.
constexpr int32_t LeaveAlone = -1;

// What --auto does with a picture.
struct AutoChoice {
    // No pass runs: the picture is kept as it is.
    bool leaveAlone = false;
    // The slider positions; when leaveAlone, the lightest (all 0), for
    // explicit slider options to start from.
    OptionValues sliders;
};

// The fitted tables (auto_table.cpp), mildest damage first; along each table
// every slider rises or stays. The noise table has one block of NoiseRowCount
// rows per class of scene structure: class k serves structures from
// StructureBounds[k - 1] up (class 0 below StructureBounds[0]).
extern const float StructureBounds[];
extern const int32_t StructureClassCount;
extern const AutoRow NoiseRows[];
extern const int32_t NoiseRowCount;
extern const AutoRow JpegRows[];
extern const int32_t JpegRowCount;

// Noise a camera made (auto_camera_table.cpp): its colour channels move
// together, so chroma at single pixels reads below WhiteChromaPerLuma times
// luma there (white noise per channel reads 2.31 times). Such pictures take
// the camera rows, mildest first, by cameraNoiseLevel instead of the noise
// rows; a row serves levels from its bound up. Noise that demosaicing
// spread over neighbours takes CameraRows; noise still as fine as single
// pixels (luma there at least FineGrainPerLuma times luma of 2 x 2 means;
// white noise reads 2) takes FineGrainRows; noise a phone smoothed before
// its JPEG, which leaves single pixels below SmoothedGrainPerLuma times the
// luma of 2 x 2 means (demosaicing alone 0.5 to 1, clean photos 0.7 to 1.3),
// takes SmoothedGrainRows.
extern const float WhiteChromaPerLuma;
extern const float FineGrainPerLuma;
extern const float SmoothedGrainPerLuma;
extern const AutoRow CameraRows[];
extern const int32_t CameraRowCount;
extern const AutoRow SmoothedGrainRows[];
extern const int32_t SmoothedGrainRowCount;
extern const AutoRow FineGrainRows[];
extern const int32_t FineGrainRowCount;

// The camera rows' measure of a profile: the luma deviation of 2 x 2 block
// means in the tone (dark, middle or bright) that reads lowest, or of the
// whole picture when no tone has its own reading, for noise spread over
// neighbours or smoothed; of single pixels for fine-grained noise, where
// texture adds least: the same grain reads 1.5 times as strong on a textured
// photo as on a smooth one in 2 x 2 means, 1.2 times there.
float cameraNoiseLevel(const NoiseProfile& profile);
bool cameraLikeNoise(const NoiseProfile& profile);
bool fineGrainNoise(const NoiseProfile& profile);
bool smoothedGrainNoise(const NoiseProfile& profile);

// The slider positions for a picture with this damage: the camera row of a
// picture with camera-like noise, otherwise the noise row of the estimate in
// its structure class; raised slider by slider to the JPEG row
// when the file's quality is low enough to leave blocks. "Deblur amount"
// stays 0. Within a structure class every slider rises or stays as the noise
// estimate rises or the quality falls, and a picture once worked on is never
// left alone at more damage; the same holds along the camera rows.
AutoChoice autoSliders(const DamageEstimate& damage);
