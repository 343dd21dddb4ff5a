#pragma once

#include <cstddef>
#include <cstdint>

// Bounds-checked little- and big-endian reads over a byte range. A read
// past the end yields zeros and marks the reader failed, so a missed check
// can never turn into an overread; decoders test failed() where it matters.
class ByteReader {
public:
    ByteReader(const uint8_t* bytes, size_t size) : data_(bytes), size_(size) {}

    size_t size() const { return size_; }
    size_t position() const { return position_; }
    size_t remaining() const { return size_ - position_; }
    bool failed() const { return failed_; }
    bool atEnd() const { return position_ >= size_; }

    bool seek(size_t offset) {
        if (offset > size_)
            return markFailed();
        position_ = offset;
        return true;
    }
    bool skip(size_t count) {
        if (count > remaining())
            return markFailed();
        position_ += count;
        return true;
    }
    // Pointer to the next count bytes, or null (reader failed) if short.
    const uint8_t* take(size_t count) {
        if (count > remaining()) {
            markFailed();
            return nullptr;
        }
        const uint8_t* p = data_ + position_;
        position_ += count;
        return p;
    }

    uint8_t u8() {
        if (position_ >= size_) {
            markFailed();
            return 0;
        }
        return data_[position_++];
    }
    uint16_t u16le() {
        const uint8_t* p = take(2);
        return p ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : 0;
    }
    uint32_t u32le() {
        const uint8_t* p = take(4);
        return p ? static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                       (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24)
                 : 0;
    }
    int32_t i32le() { return static_cast<int32_t>(u32le()); }

private:
    bool markFailed() {
        failed_ = true;
        position_ = size_;
        return false;
    }

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    bool failed_ = false;
};

// Little-endian writers for the encoders.
inline void putU16le(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putU32le(uint8_t* p, uint32_t v) {
    putU16le(p, v & 0xFFFF);
    putU16le(p + 2, v >> 16);
}
