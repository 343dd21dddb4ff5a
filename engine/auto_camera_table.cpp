// Written by bench/tune_camera_auto.py --write; do not edit by hand.
#include "engine/auto_sliders.h"

const float WhiteChromaPerLuma = 1.00f;
const float FineGrainPerLuma = 1.30f;

const AutoRow CameraRows[] = {
    {0.00f, LeaveAlone, LeaveAlone, LeaveAlone, LeaveAlone},
    {2.00f, 0, 25, 25, 0},
};
const int32_t CameraRowCount = 2;

const AutoRow FineGrainRows[] = {
    {0.00f, LeaveAlone, LeaveAlone, LeaveAlone, LeaveAlone},
    {2.00f, 0, 25, 25, 0},
};
const int32_t FineGrainRowCount = 2;
