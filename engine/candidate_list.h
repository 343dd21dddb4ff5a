#pragma once

#include <cstddef>
#include <climits>
#include <cstdint>
#include <vector>

// A match found by the block search: its sum of absolute differences, its
// position in level-0 pixels, and its angle and scale indices.
struct Candidate {
    int32_t sad;
    int32_t x;
    int32_t y;
    int32_t a;
    int32_t s;
};

// The best candidates so far, in ascending order of sad. The capacity comes
// with each offer, so one list serves levels of different capacities.
class CandidateList {
public:
    void clear() { entries_.clear(); }
    int32_t count() const { return static_cast<int32_t>(entries_.size()); }
    const Candidate& operator[](int32_t i) const { return entries_[static_cast<size_t>(i)]; }
    void copyFrom(const CandidateList& other) { entries_ = other.entries_; }

    // Whether a candidate with this sad would be kept.
    bool accepts(int32_t sad, int32_t capacity) const { return sad < limit(capacity); }

    // The sads below this are kept: any while there is room, else those below
    // the last entry's (none when the capacity is 0).
    int32_t limit(int32_t capacity) const {
        if (count() < capacity)
            return INT32_MAX;
        return entries_.empty() ? INT32_MIN : entries_.back().sad;
    }

    // Inserts before the first entry whose sad is at least c.sad, so among
    // equal sads the newest comes first, then trims to capacity.
    void offer(const Candidate& c, int32_t capacity) {
        if (!accepts(c.sad, capacity))
            return;
        // The entries are sorted by sad: a binary search finds the first one
        // whose sad is at least c.sad.
        size_t low = 0, high = entries_.size();
        while (low < high) {
            const size_t mid = (low + high) / 2;
            if (entries_[mid].sad < c.sad)
                low = mid + 1;
            else
                high = mid;
        }
        entries_.insert(entries_.begin() + static_cast<ptrdiff_t>(low), c);
        if (count() > capacity)
            entries_.pop_back();
    }

private:
    std::vector<Candidate> entries_;
};
