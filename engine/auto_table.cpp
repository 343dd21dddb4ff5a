// Written by bench/tune_auto.py --write; do not edit by hand.
//
// Fitted on 4 photos x 8 crops of 96 x 96 pixels (coffee, chelsea, astronaut,
// rocket from python3-skimage), clean, with Gaussian noise of sigma 3 to 40 and as
// JPEG at quality 5 to 75. For every case the engine ran every setting of noise
// size, amount and cutoff in steps of 25 with both scale modes; each level's row is
// the setting with the best mean PSNR such that no slider falls from one level to
// the next, or LeaveAlone where the input itself scores best (it counts as below
// every setting). The noise rows are fitted once per structure class, each on the noisy
// cases whose structure estimate falls in it (class bounds 7). Noise bounds
// are midpoints between the median estimates of adjacent levels over all crops
// (sigma 0: 1.59, 3: 3.79, 5: 5.74, 10: 10.57, 15: 15.38, 20: 20.19, 25: 24.97, 30: 29.61, 40: 38.26);
// JPEG bounds are midpoints between adjacent qualities.
#include "engine/auto_sliders.h"

const float StructureBounds[] = {7.00f};
const int32_t StructureClassCount = 2;

const AutoRow NoiseRows[] = {
    // structure below 7
    {0.00f, LeaveAlone, LeaveAlone, LeaveAlone, LeaveAlone},
    {2.69f, 0, 75, 0, 0},
    {4.76f, 0, 75, 25, 0},
    {8.15f, 25, 75, 50, 0},
    {12.97f, 50, 100, 50, 0},
    {17.79f, 75, 100, 50, 0},
    {22.58f, 75, 100, 75, 0},
    {27.29f, 75, 100, 75, 0},
    {33.93f, 75, 100, 75, 0},
    // structure from 7
    {0.00f, LeaveAlone, LeaveAlone, LeaveAlone, LeaveAlone},
    {2.69f, 0, 0, 0, 0},
    {4.76f, 0, 0, 25, 0},
    {8.15f, 0, 25, 25, 0},
    {12.97f, 25, 25, 50, 0},
    {17.79f, 25, 50, 50, 0},
    {22.58f, 25, 100, 50, 0},
    {27.29f, 25, 100, 75, 0},
    {33.93f, 50, 100, 75, 1},
};
const int32_t NoiseRowCount = 9;

const AutoRow JpegRows[] = {
    {87.00f, 0, 0, 0, 0},
    {62.00f, 0, 0, 25, 0},
    {40.00f, 0, 0, 25, 0},
    {25.00f, 25, 25, 25, 0},
    {15.00f, 25, 75, 25, 0},
    {7.00f, 75, 100, 25, 1},
};
const int32_t JpegRowCount = 6;
