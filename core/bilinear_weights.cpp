#include "bilinear_weights.h"

uint32_t BilinearWeights[64];

void InitBilinearWeights() {
    for (int32_t fy = 0; fy < 8; ++fy)
        for (int32_t fx = 0; fx < 8; ++fx)
            BilinearWeights[8 * fy + fx] = bilinearWeightEntry(fx, fy);
}
