#pragma once

#include "geometry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

// One two-dimensional array shape for every image the program holds:
// row-major, no row padding, row 0 at the top. The buffer is either owned
// (allocated here, freed here) or borrowed from whoever attached it.
template <typename T>
class Image {
public:
    Image() = default;
    virtual ~Image() { release(); }

    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    Image(Image&& other) noexcept { moveFrom(other); }
    Image& operator=(Image&& other) noexcept {
        moveFrom(other);
        return *this;
    }

    int32_t width = 0;
    int32_t height = 0;
    T* data = nullptr;
    bool ownsData = true;

    void clear() {
        release();
        width = height = 0;
        data = nullptr;
        ownsData = true;
    }

    // Same size: nothing changes. Width 0: empties the image. Otherwise the
    // block is grown or shrunk; contents after a change of size are
    // unspecified. Returns false (and leaves the image empty) when the size is
    // negative, overflows or cannot be allocated.
    bool resize(int32_t w, int32_t h) {
        if (w == width && h == height)
            return true;
        if (w == 0) {
            clear();
            return true;
        }
        if (w < 0 || h < 0 || static_cast<uint64_t>(w) * static_cast<uint64_t>(h) >
                                  std::numeric_limits<size_t>::max() / sizeof(T) / 2) {
            clear();
            return false;
        }
        size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * sizeof(T);
        // realloc(p, 0) may free p and return null; keep one byte so that a
        // zero-height image still has a valid block.
        void* block = data ? std::realloc(data, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
        if (!block) {
            clear();
            return false;
        }
        data = static_cast<T*>(block);
        width = w;
        height = h;
        return true;
    }

    Size size() const { return Size{width, height}; }
    Rect bounds() const { return Rect(0, 0, width, height); }
    size_t pixelCount() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
    bool isEmpty() const { return width <= 0 || height <= 0 || !data; }

    // Takes over the source's buffer; the source becomes empty. Only used
    // between images that own their data.
    void moveFrom(Image& source) noexcept {
        if (&source == this)
            return;
        clear();
        width = source.width;
        height = source.height;
        data = source.data;
        ownsData = source.ownsData;
        source.width = source.height = 0;
        source.data = nullptr;
        source.ownsData = true;
    }

    // Replaces the contents with a copy of another image of the same type.
    bool copyFrom(const Image& source) {
        if (&source == this)
            return true;
        if (source.width == 0 || !source.data) {
            clear();
            return true;
        }
        if (!resize(source.width, source.height))
            return false;
        std::memcpy(data, source.data, pixelCount() * sizeof(T));
        return true;
    }

    T* elementAt(int32_t x, int32_t y) { return data + static_cast<ptrdiff_t>(y) * width + x; }
    const T* elementAt(int32_t x, int32_t y) const { return data + static_cast<ptrdiff_t>(y) * width + x; }
    T& at(int32_t x, int32_t y) { return *elementAt(x, y); }
    const T& at(int32_t x, int32_t y) const { return *elementAt(x, y); }

    void fill(T value) {
        size_t n = pixelCount();
        for (size_t i = 0; i < n; ++i)
            data[i] = value;
    }

private:
    void release() {
        if (ownsData && data)
            std::free(data);
    }
};

class FloatImage : public Image<float> {};

using ByteImage = Image<uint8_t>;
