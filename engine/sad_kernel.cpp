#include "engine/sad_kernel.h"

#include <cstdlib>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VISTREL_X86 1
#endif

// The SAD stops early only at group boundaries: checking after every point
// would cost more than the points it saves.

int32_t sadPortable(const uint8_t* centre, const int32_t* offsets, const uint8_t* reference, int32_t count,
                    int32_t limit) {
    int32_t sad = 0;
    int32_t j = 0;
    for (; j + 8 <= count; j += 8) {
        int32_t a = 0, b = 0;
        for (int32_t k = 0; k < 8; k += 2) {
            a += std::abs(static_cast<int32_t>(centre[offsets[j + k]]) - static_cast<int32_t>(reference[j + k]));
            b += std::abs(static_cast<int32_t>(centre[offsets[j + k + 1]]) -
                          static_cast<int32_t>(reference[j + k + 1]));
        }
        sad += a + b;
        if (sad >= limit)
            return sad;
    }
    for (; j < count; ++j)
        sad += std::abs(static_cast<int32_t>(centre[offsets[j]]) - static_cast<int32_t>(reference[j]));
    return sad;
}

void rowSadPortable(const uint8_t* start, int32_t positions, const int32_t* offsets, const uint16_t* reference,
                    int32_t count, int32_t* out) {
    for (int32_t i = 0; i < positions; ++i) {
        int32_t sad = 0;
        for (int32_t j = 0; j < count; ++j)
            sad += std::abs(static_cast<int32_t>(start[i + offsets[j]]) - static_cast<int32_t>(reference[j]));
        out[i] = sad;
    }
}

void eightSadPortable(const uint8_t* start, const int32_t* offsets, const uint16_t* reference, int32_t count,
                      int32_t* out) {
    rowSadPortable(start, 8, offsets, reference, count, out);
}

#ifdef VISTREL_X86

namespace {

// Sixteen positions at once: each point adds |sample - reference| to sixteen
// 16-bit lanes, which are widened to 32 bits every 256 points, before they
// could overflow (256 x 255 < 65536).
constexpr int32_t WidenEvery = 256;

__attribute__((target("sse4.1"))) void rowSad16Sse41(const uint8_t* start, const int32_t* offsets,
                                                     const uint16_t* reference, int32_t count, int32_t* out) {
    __m128i sum0 = _mm_setzero_si128(), sum1 = _mm_setzero_si128(), sum2 = _mm_setzero_si128(),
            sum3 = _mm_setzero_si128();
    for (int32_t j0 = 0; j0 < count; j0 += WidenEvery) {
        const int32_t j1 = count - j0 < WidenEvery ? count : j0 + WidenEvery;
        __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();
        for (int32_t j = j0; j < j1; ++j) {
            const __m128i ref = _mm_set1_epi16(static_cast<int16_t>(reference[j]));
            const uint8_t* p = start + offsets[j];
            const __m128i a = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
            const __m128i b = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 8)));
            low = _mm_add_epi16(low, _mm_abs_epi16(_mm_sub_epi16(a, ref)));
            high = _mm_add_epi16(high, _mm_abs_epi16(_mm_sub_epi16(b, ref)));
        }
        sum0 = _mm_add_epi32(sum0, _mm_cvtepu16_epi32(low));
        sum1 = _mm_add_epi32(sum1, _mm_cvtepu16_epi32(_mm_srli_si128(low, 8)));
        sum2 = _mm_add_epi32(sum2, _mm_cvtepu16_epi32(high));
        sum3 = _mm_add_epi32(sum3, _mm_cvtepu16_epi32(_mm_srli_si128(high, 8)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), sum0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), sum1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), sum2);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), sum3);
}

__attribute__((target("avx2"))) void rowSad16Avx2(const uint8_t* start, const int32_t* offsets,
                                                  const uint16_t* reference, int32_t count, int32_t* out) {
    __m256i sumLow = _mm256_setzero_si256(), sumHigh = _mm256_setzero_si256();
    for (int32_t j0 = 0; j0 < count; j0 += WidenEvery) {
        const int32_t j1 = count - j0 < WidenEvery ? count : j0 + WidenEvery;
        // Two chains of additions, joined before widening.
        __m256i even = _mm256_setzero_si256(), odd = _mm256_setzero_si256();
        int32_t j = j0;
        for (; j + 2 <= j1; j += 2) {
            const __m256i a =
                _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(start + offsets[j])));
            const __m256i b =
                _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(start + offsets[j + 1])));
            even = _mm256_add_epi16(
                even, _mm256_abs_epi16(_mm256_sub_epi16(a, _mm256_set1_epi16(static_cast<int16_t>(reference[j])))));
            odd = _mm256_add_epi16(
                odd, _mm256_abs_epi16(_mm256_sub_epi16(b, _mm256_set1_epi16(static_cast<int16_t>(reference[j + 1])))));
        }
        if (j < j1) {
            const __m256i a =
                _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(start + offsets[j])));
            even = _mm256_add_epi16(
                even, _mm256_abs_epi16(_mm256_sub_epi16(a, _mm256_set1_epi16(static_cast<int16_t>(reference[j])))));
        }
        // Each chain holds at most 128 points' worth, so their sum fits too.
        const __m256i both = _mm256_add_epi16(even, odd);
        sumLow = _mm256_add_epi32(sumLow, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(both)));
        sumHigh = _mm256_add_epi32(sumHigh, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(both, 1)));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), sumLow);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8), sumHigh);
}

__attribute__((target("sse4.1"))) void eightSadSse41(const uint8_t* start, const int32_t* offsets,
                                                     const uint16_t* reference, int32_t count, int32_t* out) {
    __m128i sum0 = _mm_setzero_si128(), sum1 = _mm_setzero_si128();
    for (int32_t j0 = 0; j0 < count; j0 += WidenEvery) {
        const int32_t j1 = count - j0 < WidenEvery ? count : j0 + WidenEvery;
        __m128i even = _mm_setzero_si128(), odd = _mm_setzero_si128();
        int32_t j = j0;
        for (; j + 2 <= j1; j += 2) {
            const __m128i a = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(start + offsets[j])));
            const __m128i b =
                _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(start + offsets[j + 1])));
            even = _mm_add_epi16(even, _mm_abs_epi16(_mm_sub_epi16(a, _mm_set1_epi16(static_cast<int16_t>(reference[j])))));
            odd = _mm_add_epi16(odd, _mm_abs_epi16(_mm_sub_epi16(b, _mm_set1_epi16(static_cast<int16_t>(reference[j + 1])))));
        }
        if (j < j1) {
            const __m128i a = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(start + offsets[j])));
            even = _mm_add_epi16(even, _mm_abs_epi16(_mm_sub_epi16(a, _mm_set1_epi16(static_cast<int16_t>(reference[j])))));
        }
        const __m128i both = _mm_add_epi16(even, odd);
        sum0 = _mm_add_epi32(sum0, _mm_cvtepu16_epi32(both));
        sum1 = _mm_add_epi32(sum1, _mm_cvtepu16_epi32(_mm_srli_si128(both, 8)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), sum0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), sum1);
}

// Runs of sixteen; a run shorter than that overlaps the one before (the
// overlapping positions get the same sums again), and a row of fewer than
// sixteen positions is summed one position at a time.
template <void (*Sixteen)(const uint8_t*, const int32_t*, const uint16_t*, int32_t, int32_t*)>
void rowSadBy16(const uint8_t* start, int32_t positions, const int32_t* offsets, const uint16_t* reference,
                int32_t count, int32_t* out) {
    if (positions < 16) {
        rowSadPortable(start, positions, offsets, reference, count, out);
        return;
    }
    for (int32_t i = 0;; i += 16) {
        if (i + 16 > positions)
            i = positions - 16;
        Sixteen(start + i, offsets, reference, count, out + i);
        if (i + 16 == positions)
            return;
    }
}

// Sixteen samples gathered into one vector, byte by byte; lanes past count
// stay zero, like the reference padding.
__attribute__((target("sse4.1"))) inline __m128i gather16(const uint8_t* centre, const int32_t* o, int32_t n) {
    __m128i v = _mm_setzero_si128();
    if (n >= 16) {
        // Two chains so that the inserts do not wait on each other.
        __m128i w = _mm_setzero_si128();
        v = _mm_insert_epi8(v, centre[o[0]], 0);
        w = _mm_insert_epi8(w, centre[o[1]], 1);
        v = _mm_insert_epi8(v, centre[o[2]], 2);
        w = _mm_insert_epi8(w, centre[o[3]], 3);
        v = _mm_insert_epi8(v, centre[o[4]], 4);
        w = _mm_insert_epi8(w, centre[o[5]], 5);
        v = _mm_insert_epi8(v, centre[o[6]], 6);
        w = _mm_insert_epi8(w, centre[o[7]], 7);
        v = _mm_insert_epi8(v, centre[o[8]], 8);
        w = _mm_insert_epi8(w, centre[o[9]], 9);
        v = _mm_insert_epi8(v, centre[o[10]], 10);
        w = _mm_insert_epi8(w, centre[o[11]], 11);
        v = _mm_insert_epi8(v, centre[o[12]], 12);
        w = _mm_insert_epi8(w, centre[o[13]], 13);
        v = _mm_insert_epi8(v, centre[o[14]], 14);
        w = _mm_insert_epi8(w, centre[o[15]], 15);
        return _mm_or_si128(v, w);
    }
    alignas(16) uint8_t lanes[16] = {};
    for (int32_t k = 0; k < n; ++k)
        lanes[k] = centre[o[k]];
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
}

__attribute__((target("sse4.1"))) int32_t sadSse41(const uint8_t* centre, const int32_t* offsets,
                                                   const uint8_t* reference, int32_t count, int32_t limit) {
    int32_t sad = 0;
    for (int32_t j = 0; j < count; j += 16) {
        const __m128i samples = gather16(centre, offsets + j, count - j);
        const __m128i ref = _mm_loadu_si128(reinterpret_cast<const __m128i*>(reference + j));
        const __m128i sums = _mm_sad_epu8(samples, ref);
        sad += _mm_cvtsi128_si32(sums) + _mm_extract_epi32(sums, 2);
        if (sad >= limit)
            return sad;
    }
    return sad;
}

__attribute__((target("avx2"))) int32_t sadAvx2(const uint8_t* centre, const int32_t* offsets,
                                                const uint8_t* reference, int32_t count, int32_t limit) {
    int32_t sad = 0;
    for (int32_t j = 0; j < count; j += 32) {
        const __m128i low = gather16(centre, offsets + j, count - j);
        const __m128i high = count - j > 16 ? gather16(centre, offsets + j + 16, count - j - 16) : _mm_setzero_si128();
        const __m256i samples = _mm256_set_m128i(high, low);
        const __m256i ref = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(reference + j));
        const __m256i sums = _mm256_sad_epu8(samples, ref);
        const __m128i folded = _mm_add_epi32(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
        sad += _mm_cvtsi128_si32(folded) + _mm_extract_epi32(folded, 2);
        if (sad >= limit)
            return sad;
    }
    return sad;
}

}

#endif

RowSadFunction bestRowSadFunction() {
    static const RowSadFunction best = [] {
#ifdef VISTREL_X86
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2"))
            return &rowSadBy16<rowSad16Avx2>;
        if (__builtin_cpu_supports("sse4.1"))
            return &rowSadBy16<rowSad16Sse41>;
#endif
        return &rowSadPortable;
    }();
    return best;
}

EightSadFunction bestEightSadFunction() {
    static const EightSadFunction best = [] {
#ifdef VISTREL_X86
        __builtin_cpu_init();
        if (__builtin_cpu_supports("sse4.1"))
            return &eightSadSse41;
#endif
        return &eightSadPortable;
    }();
    return best;
}

int32_t availableSadVariants(SadVariant* variants, int32_t capacity) {
    int32_t n = 0;
    auto add = [&](const char* name, SadFunction f, RowSadFunction row, EightSadFunction eight) {
        if (n < capacity)
            variants[n++] = SadVariant{name, f, row, eight};
    };
    add("portable", &sadPortable, &rowSadPortable, &eightSadPortable);
#ifdef VISTREL_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("sse4.1"))
        add("sse4.1", &sadSse41, &rowSadBy16<rowSad16Sse41>, &eightSadSse41);
    if (__builtin_cpu_supports("avx2"))
        add("avx2", &sadAvx2, &rowSadBy16<rowSad16Avx2>, &eightSadSse41);
#endif
    return n;
}
