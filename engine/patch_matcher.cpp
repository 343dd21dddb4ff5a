#include "engine/patch_matcher.h"

#include <algorithm>
#include <cstdlib>

PatchMatcher::PatchMatcher(const DetailPyramid& reference, const DetailPyramid& search)
    : reference_(reference), search_(search), slots_(static_cast<size_t>(AngleCount * ScaleCount)) {}

PatchMatcher::Slot& PatchMatcher::refresh(int32_t level, int32_t r, int32_t a, int32_t s) {
    Slot& slot = slots_[static_cast<size_t>(a * ScaleCount + s)];
    // The block search uses one radius per level, so the radius alone would
    // identify the level; the level is kept too so that direct callers can
    // never get offsets built for another level's width.
    if (slot.cachedRadius == r && slot.cachedLevel == level)
        return slot;
    slot.cachedRadius = r;
    slot.cachedLevel = level;
    slot.pattern = buildPattern(a, s, r);
    slot.offsets.clear();
    slot.extent = 0;
    int32_t searchWidth = search_.level(level).width;
    int32_t referenceWidth = reference_.level(level).width;
    for (const SamplePoint& p : slot.pattern) {
        int32_t ix = (p.fx + 32768) >> 16;
        int32_t iy = (p.fy + 32768) >> 16;
        slot.extent = std::max(slot.extent, std::max(std::abs(ix), std::abs(iy)));
        slot.offsets.push_back(OffsetPair{iy * searchWidth + ix, p.dy * referenceWidth + p.dx});
    }
    return slot;
}

void PatchMatcher::match(int32_t level, int32_t x, int32_t y, int32_t refX, int32_t refY, int32_t r, int32_t a,
                         int32_t s, CandidateList& list, int32_t capacity) {
    const Slot& slot = refresh(level, r, a, s);
    const ByteImage& searchLevel = search_.level(level);
    const ByteImage& referenceLevel = reference_.level(level);
    if (x < slot.extent || y < slot.extent || x >= searchLevel.width - slot.extent ||
        y >= searchLevel.height - slot.extent)
        return;

    const uint8_t* searchCentre = searchLevel.data + static_cast<ptrdiff_t>(y) * searchLevel.width + x;
    const uint8_t* referenceCentre = referenceLevel.data + static_cast<ptrdiff_t>(refY) * referenceLevel.width + refX;
    int32_t sad = 0;
    for (const OffsetPair& o : slot.offsets)
        sad += std::abs(static_cast<int32_t>(searchCentre[o.searchOffset]) -
                        static_cast<int32_t>(referenceCentre[o.referenceOffset]));

    list.offer(Candidate{sad, x << level, y << level, a, s}, capacity);
}
