#pragma once

#include <cstdint>

// Sum of |centre[offsets[j]] - reference[j]| for j < count, the innermost
// loop of the block search. The sum may stop early once it reaches limit:
// the result is then some partial sum >= limit, which no candidate list that
// needs less than limit would take. Below limit the result is exact.
// reference must hold count bytes rounded up to a multiple of 32, zero
// padded.
using SadFunction = int32_t (*)(const uint8_t* centre, const int32_t* offsets, const uint8_t* reference,
                                int32_t count, int32_t limit);

// The same sum for a run of neighbouring positions of one row:
// out[i] = sum of |start[i + offsets[j]] - reference[j]| for i < positions.
// Only the bytes start[i + offsets[j]] with i < positions are read. The sums
// are exact.
using RowSadFunction = void (*)(const uint8_t* start, int32_t positions, const int32_t* offsets,
                                const uint16_t* reference, int32_t count, int32_t* out);

// The same for eight neighbouring positions: out[i] for i < 8, reading
// start[i + offsets[j]] for every i < 8 (the caller makes sure all of them
// lie in the image, even where it only needs fewer positions).
using EightSadFunction = void (*)(const uint8_t* start, const int32_t* offsets, const uint16_t* reference,
                                  int32_t count, int32_t* out);

// The portable version and the widest one this processor runs (chosen once).
int32_t sadPortable(const uint8_t* centre, const int32_t* offsets, const uint8_t* reference, int32_t count,
                    int32_t limit);
void rowSadPortable(const uint8_t* start, int32_t positions, const int32_t* offsets, const uint16_t* reference,
                    int32_t count, int32_t* out);
RowSadFunction bestRowSadFunction();
void eightSadPortable(const uint8_t* start, const int32_t* offsets, const uint16_t* reference, int32_t count,
                      int32_t* out);
EightSadFunction bestEightSadFunction();

// Every version this processor can run, with a name, for the tests and the
// benchmarks.
struct SadVariant {
    const char* name;
    SadFunction function;
    RowSadFunction rowFunction;
    EightSadFunction eightFunction;
};
int32_t availableSadVariants(SadVariant* variants, int32_t capacity);

// How many reference bytes a disc of count points needs with its padding.
inline int32_t paddedSadLength(int32_t count) { return (count + 31) & ~31; }
