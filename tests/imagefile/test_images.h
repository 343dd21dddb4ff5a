#pragma once

#include "core/bitmap.h"
#include "core/strings.h"
#include "imagefile/image_file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#endif

// Deterministic test pictures and small byte helpers shared by the suites.

// The process's peak resident size in kilobytes; 0 where it is not known.
inline long peakKilobytes() {
#ifdef __linux__
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#else
    return 0;
#endif
}

// A photo-like picture: smooth gradients plus noise, so that colours rarely repeat. Opaque unless alpha is given.
inline Bitmap makePhoto(int32_t w, int32_t h, uint32_t seed = 1) {
    uint32_t state = seed * 2654435761u + 12345;
    return generated(w, h, [&](int32_t x, int32_t y) {
        state = state * 1664525u + 1013904223u;
        uint32_t noise = state >> 24;
        uint32_t r = (x * 255 / (w > 1 ? w - 1 : 1) + noise) & 0xFF;
        uint32_t g = (y * 255 / (h > 1 ? h - 1 : 1) + (noise >> 2)) & 0xFF;
        uint32_t b = ((x + y) * 7 + (state >> 16)) & 0xFF;
        return packPixel(r, g, b);
    });
}

// A smooth picture, which JPEG keeps close.
inline Bitmap makeSmooth(int32_t w, int32_t h) {
    return generated(w, h, [w, h](int32_t x, int32_t y) {
        return packPixel(x * 255 / (w - 1), y * 255 / (h - 1), 128 + (x - y) / 4);
    });
}

// The largest difference of one channel between two pictures; 256 when their sizes differ or the first is empty.
inline int32_t largestDifference(const Bitmap& a, const Bitmap& b) {
    if (a.width != b.width || a.height != b.height || a.isEmpty()) return 256;
    int32_t largest = 0;
    for (size_t i = 0; i < a.pixelCount(); ++i)
        for (int shift = 0; shift < 32; shift += 8)
            largest = std::max(largest, std::abs(static_cast<int32_t>((a.data[i] >> shift) & 0xFF) -
                                                 static_cast<int32_t>((b.data[i] >> shift) & 0xFF)));
    return largest;
}

inline bool allOpaque(const Bitmap& b) {
    return std::all_of(b.data, b.data + b.pixelCount(), [](uint32_t p) { return pixelAlpha(p) == 255; });
}

inline std::vector<uint8_t> bytesOf(const ByteArray& a) { return std::vector<uint8_t>(a.data, a.data + a.length); }

// Whether the bytes hold the text (or bytes) anywhere.
inline bool holds(const ByteArray& bytes, std::string_view text) {
    const auto* t = reinterpret_cast<const uint8_t*>(text.data());
    return std::search(bytes.data, bytes.data + bytes.length, t, t + text.size()) != bytes.data + bytes.length;
}

// The picture as the type writes it; no bytes, with a failure, where the writer refuses.
inline ByteArray encoded(const Bitmap& picture, ImageFileType type, int32_t quality = 90,
                         const PhotoMetadata* metadata = nullptr) {
    ByteArray bytes;
    EXPECT_TRUE(encode(picture, type, quality, metadata, bytes)) << type;
    return bytes;
}

struct Segment {
    uint8_t marker;
    std::string payload;
};

// The marker segments of a JPEG file before its first scan.
inline std::vector<Segment> segmentsOf(const uint8_t* p, size_t n) {
    std::vector<Segment> out;
    size_t at = 2;
    while (at + 4 <= n && p[at] == 0xFF) {
        uint8_t marker = p[at + 1];
        size_t length = (p[at + 2] << 8) | p[at + 3];
        if (length < 2 || at + 2 + length > n) break;
        out.push_back({marker, std::string(reinterpret_cast<const char*>(p) + at + 4, length - 2)});
        if (marker == 0xDA) break;
        at += 2 + length;
    }
    return out;
}

inline void putLe16(std::vector<uint8_t>& v, size_t i, uint32_t x) { v[i] = uint8_t(x), v[i + 1] = uint8_t(x >> 8); }
inline void putLe32(std::vector<uint8_t>& v, size_t i, uint32_t x) { putLe16(v, i, x), putLe16(v, i + 2, x >> 16); }
inline uint32_t le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

inline Bitmap decoded(const ByteArray& bytes, ImageFileType type, PhotoMetadata* metadata = nullptr) {
    Bitmap b; decode(b, bytes.data, static_cast<size_t>(bytes.length), type, metadata); return b;
}
inline Bitmap decoded(const std::vector<uint8_t>& bytes, ImageFileType type) {
    Bitmap b; decode(b, bytes.data(), bytes.size(), type, nullptr); return b;
}

// The photos made by scripts/make_photo_test_files.py.
inline const std::string photoDir = std::string(VISTREL_TESTDATA_DIR) + "/photo/";
inline const std::string formatsDir = std::string(VISTREL_TESTDATA_DIR) + "/formats/";  // the public suites

inline Bitmap loadedPhoto(const std::string& name, PhotoMetadata* metadata = nullptr) {
    Bitmap b;
    load(b, String((photoDir + name).c_str()), metadata);
    return b;
}

inline ByteArray byteArray(const std::string& s) { ByteArray a; a.Assign(s.data(), int32_t(s.size())); return a; }
inline ByteArray fileBytes(const std::string& path) { return byteArray(ReadFileBytes(path)); }
