#include "engine/patch_matcher.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

PatchMatcher::PatchMatcher(const DetailPyramid& reference, const DetailPyramid& search, RowSadFunction rowSad,
                           EightSadFunction eightSad)
    : reference_(reference),
      search_(search),
      rowSad_(rowSad),
      eightSad_(eightSad),
      slots_(static_cast<size_t>(search.levelCount())) {}

PatchMatcher::Slot& PatchMatcher::refresh(int32_t level, int32_t r, int32_t a, int32_t s) {
    std::vector<Slot>& levelSlots = slots_[static_cast<size_t>(level)];
    if (levelSlots.empty())
        levelSlots.resize(static_cast<size_t>(AngleCount * ScaleCount));
    Slot& slot = levelSlots[static_cast<size_t>(a * ScaleCount + s)];
    if (slot.cachedRadius == r)
        return slot;
    slot.cachedRadius = r;
    slot.extent = 0;
    slot.searchOffsets.clear();
    slot.referenceOffsets.clear();
    const int32_t searchWidth = search_.level(level).width;
    const int32_t referenceWidth = reference_.level(level).width;
    for (const SamplePoint& p : buildPattern(a, s, r)) {
        const int32_t ix = (p.fx + 32768) >> 16;
        const int32_t iy = (p.fy + 32768) >> 16;
        slot.extent = std::max(slot.extent, std::max(std::abs(ix), std::abs(iy)));
        slot.searchOffsets.push_back(iy * searchWidth + ix);
        slot.referenceOffsets.push_back(p.dy * referenceWidth + p.dx);
    }
    if (!slot.searchOffsets.empty()) {
        const auto bounds = std::minmax_element(slot.searchOffsets.begin(), slot.searchOffsets.end());
        slot.lowestOffset = *bounds.first;
        slot.highestOffset = *bounds.second;
    }
    return slot;
}

const uint8_t* PatchMatcher::referenceDisc(int32_t level, int32_t refX, int32_t refY, int32_t r, const Slot& slot) {
    // Every pattern of one radius lists the same reference points in the same
    // order, so the samples serve every angle and scale.
    if (discLevel_ == level && discX_ == refX && discY_ == refY && discRadius_ == r)
        return referenceSamples_.data();
    discLevel_ = level;
    discX_ = refX;
    discY_ = refY;
    discRadius_ = r;
    const int32_t count = static_cast<int32_t>(slot.referenceOffsets.size());
    referenceSamples_.assign(static_cast<size_t>(paddedSadLength(count)), 0);
    const ByteImage& referenceLevel = reference_.level(level);
    const uint8_t* centre = referenceLevel.data + static_cast<ptrdiff_t>(refY) * referenceLevel.width + refX;
    referenceWide_.resize(static_cast<size_t>(count));
    for (int32_t j = 0; j < count; ++j) {
        referenceSamples_[static_cast<size_t>(j)] = centre[slot.referenceOffsets[static_cast<size_t>(j)]];
        referenceWide_[static_cast<size_t>(j)] = referenceSamples_[static_cast<size_t>(j)];
    }
    return referenceSamples_.data();
}

bool PatchMatcher::scorablePart(const Slot& slot, const ByteImage& level, int32_t y, int32_t x0, int32_t x1,
                                int32_t* sads, int32_t& first, int32_t& last) {
    std::fill(sads, sads + std::max(0, x1 - x0), -1);
    if (y < slot.extent || y >= level.height - slot.extent)
        return false;
    first = std::max(x0, slot.extent);
    last = std::min(x1, level.width - slot.extent);
    return first < last;
}

void PatchMatcher::scoreRow(int32_t level, int32_t y, int32_t x0, int32_t x1, int32_t refX, int32_t refY, int32_t r,
                            int32_t a, int32_t s, int32_t* sads) {
    const Slot& slot = refresh(level, r, a, s);
    const ByteImage& searchLevel = search_.level(level);
    int32_t first = 0, last = 0;
    if (!scorablePart(slot, searchLevel, y, x0, x1, sads, first, last))
        return;
    referenceDisc(level, refX, refY, r, slot);
    rowSad_(searchLevel.data + static_cast<ptrdiff_t>(y) * searchLevel.width + first, last - first,
            slot.searchOffsets.data(), referenceWide_.data(), static_cast<int32_t>(slot.searchOffsets.size()),
            sads + (first - x0));
}

void PatchMatcher::scoreRun(int32_t level, int32_t y, int32_t x0, int32_t x1, int32_t refX, int32_t refY, int32_t r,
                            int32_t a, int32_t s, int32_t* sads) {
    const Slot& slot = refresh(level, r, a, s);
    const ByteImage& searchLevel = search_.level(level);
    int32_t first = 0, last = 0;
    if (!scorablePart(slot, searchLevel, y, x0, x1, sads, first, last))
        return;
    referenceDisc(level, refX, refY, r, slot);
    const int32_t count = static_cast<int32_t>(slot.searchOffsets.size());
    const ptrdiff_t start = static_cast<ptrdiff_t>(y) * searchLevel.width + first;
    // Eight positions are read whatever the run's length: only where all of
    // them stay inside the level.
    if (start + slot.lowestOffset >= 0 && start + 7 + slot.highestOffset < static_cast<ptrdiff_t>(searchLevel.pixelCount())) {
        int32_t eight[8];
        eightSad_(searchLevel.data + start, slot.searchOffsets.data(), referenceWide_.data(), count, eight);
        std::copy(eight, eight + (last - first), sads + (first - x0));
        return;
    }
    rowSadPortable(searchLevel.data + start, last - first, slot.searchOffsets.data(), referenceWide_.data(), count,
                   sads + (first - x0));
}
