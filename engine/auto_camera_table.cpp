// Written by bench/tune_camera_auto.py --write; do not edit by hand.
//
// Fitted on whole photos (astronaut, rocket from python3-skimage) through a
// camera model at three ISO levels of a large and of a phone sensor, and with
// noise shared by the channels at three strengths. Each level's choice is
// the grid setting (noise size 0/25/50, amount 25/50/100, cutoff 0/12/25/37/50) or LeaveAlone
// whose smallest gain over the input among the photos is largest, such that
// no slider falls as the median cameraNoiseLevel of the levels rises (luma of
// 2 x 2 means in the tone that reads lowest, of single pixels for the
// fine-grain rows); the clean photos must be left alone. Bounds are
// midpoints between the medians of levels whose choices differ, and at
// least 1.25 times the highest level a clean photo (whole, or a camera's
// reference without noise) reads whose grain is near the table's.
#include "engine/auto_sliders.h"

const float WhiteChromaPerLuma = 1.00f;
const float FineGrainPerLuma = 1.30f;
const float SmoothedGrainPerLuma = 0.45f;

const AutoRow CameraRows[] = {
    {0.00f, LeaveAlone, LeaveAlone, LeaveAlone, LeaveAlone},
    {1.72f, 0, 15, 25, 0},
    {3.23f, 25, 25, 37, 0},
};
const int32_t CameraRowCount = 3;

const AutoRow SmoothedGrainRows[] = {
    {0.00f, LeaveAlone, LeaveAlone, LeaveAlone, LeaveAlone},
    {0.93f, 0, 15, 12, 0},
    {1.81f, 25, 25, 25, 0},
    {3.57f, 50, 50, 37, 0},
};
const int32_t SmoothedGrainRowCount = 4;

const AutoRow FineGrainRows[] = {
    {0.00f, LeaveAlone, LeaveAlone, LeaveAlone, LeaveAlone},
    {3.60f, 0, 100, 25, 0},
    {8.03f, 0, 100, 37, 0},
    {15.15f, 25, 100, 50, 0},
};
const int32_t FineGrainRowCount = 4;
