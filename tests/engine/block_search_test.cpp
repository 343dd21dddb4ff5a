#include "engine/block_search.h"

#include <gtest/gtest.h>

// The search starts one pyramid level up per halving of the patch radius above 2, never past the top level.
TEST(BlockSearch, StartLevelFollowsThePatchRadius) {
    const int32_t rows[][3] = {  // patch radius, levels, start level
        {0, 5, 0}, {2, 5, 0}, {3, 5, 1}, {4, 5, 1}, {5, 5, 1}, {6, 5, 2},
        {9, 5, 2}, {11, 5, 2}, {12, 5, 3}, {9, 3, 2}, {9, 2, 1}, {4, 1, 0}};
    for (const auto& r : rows)
        EXPECT_EQ(r[2], startLevel(r[0], r[1])) << "radius " << r[0] << ", " << r[1] << " levels";
}
