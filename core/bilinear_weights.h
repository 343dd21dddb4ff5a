#pragma once

#include <cstdint>

// 64 packed entries, indexed by 8 * fy + fx with the fractions in eighths.
// Each entry holds four 8-bit weights in 64ths: lowest byte top-left
// (8-fx)(8-fy), then top-right fx(8-fy), bottom-left (8-fx)fy and, highest,
// bottom-right fx*fy. The four always sum to 64.
extern uint32_t BilinearWeights[64];

// Fills the table; called once at start-up before any reader runs. Calling it
// again is harmless.
void InitBilinearWeights();

inline uint32_t bilinearWeightEntry(int32_t fx, int32_t fy) {
    return static_cast<uint32_t>((8 + 65535 * fy) * (8 + 255 * fx));
}
