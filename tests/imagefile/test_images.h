#pragma once

#include "core/bitmap.h"
#include "core/strings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// Deterministic test pictures and small byte helpers shared by the suites.

// A photo-like picture: smooth gradients plus noise, so that colours
// rarely repeat. Opaque unless alpha is given.
inline void makePhoto(Bitmap& bitmap, int32_t w, int32_t h, uint32_t seed = 1) {
    bitmap.resize(w, h);
    uint32_t state = seed * 2654435761u + 12345;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            uint32_t noise = state >> 24;
            uint32_t r = (x * 255 / (w > 1 ? w - 1 : 1) + noise) & 0xFF;
            uint32_t g = (y * 255 / (h > 1 ? h - 1 : 1) + (noise >> 2)) & 0xFF;
            uint32_t b = ((x + y) * 7 + (state >> 16)) & 0xFF;
            bitmap.at(x, y) = packPixel(r, g, b);
        }
}

// A smooth picture, which JPEG keeps close.
inline void makeSmooth(Bitmap& bitmap, int32_t w, int32_t h) {
    bitmap.resize(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            bitmap.at(x, y) = packPixel(x * 255 / (w - 1), y * 255 / (h - 1), 128 + (x - y) / 4);
}

inline bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width != b.width || a.height != b.height)
        return false;
    for (size_t i = 0; i < a.pixelCount(); ++i)
        if (a.data[i] != b.data[i])
            return false;
    return true;
}

inline bool allOpaque(const Bitmap& b) {
    for (size_t i = 0; i < b.pixelCount(); ++i)
        if (pixelAlpha(b.data[i]) != 255)
            return false;
    return true;
}

inline std::vector<uint8_t> bytesOf(const ByteArray& a) { return std::vector<uint8_t>(a.data, a.data + a.length); }

inline void putLe16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = static_cast<uint8_t>(x);
    v[at + 1] = static_cast<uint8_t>(x >> 8);
}
inline void putLe32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    putLe16(v, at, x & 0xFFFF);
    putLe16(v, at + 2, x >> 16);
}
inline uint32_t le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
inline uint32_t le32(const uint8_t* p) { return le16(p) | (le16(p + 2) << 16); }

inline std::string readFileBytes(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    std::string out;
    if (!f)
        return out;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0)
        out.append(chunk, n);
    std::fclose(f);
    return out;
}

inline ByteArray fileBytes(const std::string& path) {
    const std::string s = readFileBytes(path);
    ByteArray a;
    a.Assign(s.data(), static_cast<int32_t>(s.size()));
    return a;
}
