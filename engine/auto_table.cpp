// Placeholder until bench/tune_auto.py writes the fitted table.
#include "engine/auto_sliders.h"

const AutoRow NoiseRows[] = {
    {0.0f, 0, 0, 0, 0},
    {4.0f, 25, 25, 25, 0},
    {12.0f, 50, 50, 50, 0},
    {25.0f, 50, 75, 75, 0},
};
const int32_t NoiseRowCount = 4;

const AutoRow JpegRows[] = {
    {87.0f, 25, 25, 25, 0},
    {40.0f, 50, 50, 50, 0},
    {15.0f, 50, 75, 75, 0},
};
const int32_t JpegRowCount = 3;
