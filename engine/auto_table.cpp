// Written by bench/tune_auto.py --write; do not edit by hand.
//
// Fitted on 4 photos x 2 crops of 96 x 96 pixels (coffee, chelsea, astronaut,
// rocket from python3-skimage), clean, with Gaussian noise of sigma 3 to 40 and as
// JPEG at quality 5 to 75. For every case the engine ran every setting of noise
// size, amount and cutoff in steps of 25 with both scale modes; each level's row is
// the setting with the best mean PSNR such that no slider falls from one level to
// the next. Noise bounds are midpoints between the median estimates of adjacent levels
// (sigma 0: 1.26, 3: 3.69, 5: 5.52, 10: 10.32, 15: 15.28, 20: 20.12, 25: 25.02, 30: 29.53, 40: 38.29);
// JPEG bounds are midpoints between adjacent qualities.
#include "engine/auto_sliders.h"

const AutoRow NoiseRows[] = {
    {0.00f, 0, 0, 0, 0},
    {2.48f, 0, 0, 0, 0},
    {4.60f, 0, 0, 25, 0},
    {7.92f, 0, 50, 25, 0},
    {12.80f, 25, 50, 50, 0},
    {17.70f, 25, 75, 50, 0},
    {22.57f, 25, 100, 50, 0},
    {27.27f, 50, 100, 75, 1},
    {33.91f, 50, 100, 75, 1},
};
const int32_t NoiseRowCount = 9;

const AutoRow JpegRows[] = {
    {87.00f, 0, 0, 0, 0},
    {62.00f, 0, 0, 25, 0},
    {40.00f, 0, 0, 25, 1},
    {25.00f, 0, 0, 25, 1},
    {15.00f, 25, 75, 25, 1},
    {7.00f, 75, 100, 25, 1},
};
const int32_t JpegRowCount = 6;
