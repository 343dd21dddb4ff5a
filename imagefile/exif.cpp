#include "imagefile/exif.h"

#include "imagefile/decoded_image.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint16_t TagOrientation = 274;
constexpr uint16_t TagExifDirectory = 0x8769;
constexpr uint16_t TagGpsDirectory = 0x8825;
constexpr uint16_t TagInteropDirectory = 0xA005;
constexpr uint16_t TagPixelXDimension = 0xA002;
constexpr uint16_t TagPixelYDimension = 0xA003;
constexpr uint16_t TypeShort = 3;
constexpr uint16_t TypeLong = 4;
constexpr uint32_t MaxEntries = 1024;  // far more than any camera writes

// Bytes per value of each TIFF field type; 0 for unknown types.
uint32_t typeSize(uint16_t type) {
    static const uint8_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < sizeof(sizes) ? sizes[type] : 0;
}

// The TIFF structure after the "Exif\0\0" prefix.
class TiffView {
public:
    TiffView(uint8_t* bytes, size_t size) : p_(bytes), n_(size) {}

    bool readHeader(uint32_t& firstDirectory) {
        if (n_ < 8)
            return false;
        if (p_[0] == 'I' && p_[1] == 'I')
            little_ = true;
        else if (p_[0] == 'M' && p_[1] == 'M')
            little_ = false;
        else
            return false;
        if (get16(2) != 42)
            return false;
        firstDirectory = get32(4);
        return true;
    }

    // The entry count of the directory at offset, when the whole directory
    // (entries and next-directory link) lies inside the block.
    bool directory(uint32_t offset, uint32_t& count) const {
        if (offset < 8 || offset > n_ || n_ - offset < 2)
            return false;
        count = get16(offset);
        if (count > MaxEntries)
            return false;
        return n_ - offset - 2 >= static_cast<size_t>(count) * 12 + 4;
    }

    // Where the entry's values end: after the entry for inline values, else
    // after the out-of-line values, which must lie inside the block.
    bool valuesEnd(uint32_t entry, size_t& end) const {
        uint32_t size = typeSize(get16(entry + 2));
        uint64_t bytes = static_cast<uint64_t>(size) * get32(entry + 4);
        if (size == 0 || bytes <= 4) {
            end = entry + 12;
            return true;
        }
        uint64_t at = get32(entry + 8);
        if (at < 8 || at + bytes > n_)
            return false;
        end = static_cast<size_t>(at + bytes);
        return true;
    }

    uint16_t get16(size_t at) const {
        return little_ ? static_cast<uint16_t>(p_[at] | p_[at + 1] << 8) : static_cast<uint16_t>(p_[at] << 8 | p_[at + 1]);
    }
    uint32_t get32(size_t at) const {
        uint32_t a = p_[at], b = p_[at + 1], c = p_[at + 2], d = p_[at + 3];
        return little_ ? (a | b << 8 | c << 16 | d << 24) : (a << 24 | b << 16 | c << 8 | d);
    }
    void put16(size_t at, uint16_t v) {
        p_[at] = static_cast<uint8_t>(little_ ? v : v >> 8);
        p_[at + 1] = static_cast<uint8_t>(little_ ? v >> 8 : v);
    }
    void put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            p_[at + i] = static_cast<uint8_t>(little_ ? v >> (8 * i) : v >> (24 - 8 * i));
    }

private:
    uint8_t* p_;
    size_t n_;
    bool little_ = true;
};

bool hasPrefix(const uint8_t* block, size_t size) { return size >= 6 && std::memcmp(block, "Exif\0\0", 6) == 0; }

// Sets a one-value SHORT or LONG entry, making a SHORT a LONG when the
// value does not fit.
bool setCount(TiffView& tiff, uint32_t entry, uint32_t value) {
    uint16_t type = tiff.get16(entry + 2);
    if ((type != TypeShort && type != TypeLong) || tiff.get32(entry + 4) != 1)
        return false;
    if (type == TypeShort && value <= 0xFFFF) {
        tiff.put32(entry + 8, 0);
        tiff.put16(entry + 8, static_cast<uint16_t>(value));
    } else {
        tiff.put16(entry + 2, TypeLong);
        tiff.put32(entry + 8, value);
    }
    return true;
}

struct Editor {
    TiffView& tiff;
    int32_t width, height;
    size_t end = 8;           // where the last byte still referenced ends
    uint32_t visited[4] = {};  // directories seen, against loops
    int32_t visitedCount = 0;

    // Edits one directory and those it points to (Exif, GPS, Interop). Only
    // the first directory's Orientation describes the picture; tags need not
    // come sorted, so that is known from the call, not from what was visited.
    bool edit(uint32_t offset, bool first) {
        for (int32_t i = 0; i < visitedCount; ++i)
            if (visited[i] == offset)
                return false;
        if (visitedCount == 4)
            return false;
        visited[visitedCount++] = offset;
        uint32_t count = 0;
        if (!tiff.directory(offset, count))
            return false;
        if (offset + 2 + count * 12 + 4 > end)
            end = offset + 2 + count * 12 + 4;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t entry = offset + 2 + i * 12;
            size_t valueEnd = 0;
            if (!tiff.valuesEnd(entry, valueEnd))
                return false;
            if (valueEnd > end)
                end = valueEnd;
            uint16_t tag = tiff.get16(entry);
            bool ok = true;
            if (tag == TagOrientation && first)
                ok = setCount(tiff, entry, 1);
            else if (tag == TagPixelXDimension)
                ok = setCount(tiff, entry, static_cast<uint32_t>(width));
            else if (tag == TagPixelYDimension)
                ok = setCount(tiff, entry, static_cast<uint32_t>(height));
            else if (tag == TagExifDirectory || tag == TagGpsDirectory || tag == TagInteropDirectory)
                ok = tiff.get32(entry + 4) == 1 && edit(tiff.get32(entry + 8), false);
            if (!ok)
                return false;
        }
        return true;
    }
};

}  // namespace

int32_t exifOrientation(const uint8_t* block, size_t size) {
    if (!block || !hasPrefix(block, size))
        return 1;
    TiffView tiff(const_cast<uint8_t*>(block) + 6, size - 6);  // only read here
    uint32_t first = 0, count = 0;
    if (!tiff.readHeader(first) || !tiff.directory(first, count))
        return 1;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t entry = first + 2 + i * 12;
        if (tiff.get16(entry) == TagOrientation && tiff.get16(entry + 2) == TypeShort && tiff.get32(entry + 4) == 1) {
            uint16_t value = tiff.get16(entry + 8);
            return value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

bool rewriteExif(ByteArray& block, int32_t width, int32_t height) {
    if (!block.data || block.length < 0 || !hasPrefix(block.data, static_cast<size_t>(block.length)) || width < 1 ||
        height < 1)
        return false;
    TiffView tiff(block.data + 6, static_cast<size_t>(block.length) - 6);
    uint32_t first = 0;
    if (!tiff.readHeader(first))
        return false;
    Editor editor{tiff, width, height};
    if (!editor.edit(first, true))
        return false;
    // No second directory: the thumbnail goes, and with it every byte past
    // what the remaining directories use.
    uint32_t count = tiff.get16(first);
    tiff.put32(first + 2 + count * 12, 0);
    if (editor.end + 6 < static_cast<size_t>(block.length))
        block.SetLength(static_cast<int32_t>(editor.end + 6));
    // Directories that overlap can write one entry's new value over
    // another's; a block that no longer reads upright is not carried.
    return exifOrientation(block.data, static_cast<size_t>(block.length)) == 1;
}

bool exifFromContainer(const uint8_t* data, size_t size, size_t skip, ByteArray& block) {
    block.Empty();
    if (!data || size < skip)
        return true;
    data += skip;
    size -= skip;
    if (size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0) {
        data += 6;
        size -= 6;
    }
    const bool tiff = size >= 8 && (std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0);
    if (!tiff || size > 0x7fffff00u)
        return true;
    if (!block.SetLength(static_cast<int32_t>(size + 6)))
        return false;
    std::memcpy(block.data, "Exif\0\0", 6);
    std::memcpy(block.data + 6, data, size);
    return true;
}

namespace {

struct NewEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::string value;  // little-endian
};

void put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

NewEntry text(uint16_t tag, const char* value) {
    const size_t length = std::strlen(value) + 1;
    return {tag, 2, static_cast<uint32_t>(length), std::string(value, length)};
}

NewEntry rational(uint16_t tag, uint32_t numerator, uint32_t denominator) {
    NewEntry e{tag, 5, 1, std::string()};
    put32(e.value, numerator);
    put32(e.value, denominator);
    return e;
}

// A shot value as a fraction: exposures under a second as 1/n, the rest in
// tenths.
NewEntry fraction(uint16_t tag, float value) {
    value = value < 1e-5f ? 1e-5f : value > 1e5f ? 1e5f : value;
    if (value < 1.0f)
        return rational(tag, 1, static_cast<uint32_t>(std::lround(1.0f / value)));
    return rational(tag, static_cast<uint32_t>(std::lround(value * 10.0f)), 10);
}

// Writes a directory at the end of the block, its long values after it;
// the next-directory link is 0.
void appendDirectory(std::string& tiff, const std::vector<NewEntry>& entries) {
    uint32_t valuesAt = static_cast<uint32_t>(tiff.size() + 2 + 12 * entries.size() + 4);
    std::string values;
    put16(tiff, static_cast<uint32_t>(entries.size()));
    for (const NewEntry& e : entries) {
        put16(tiff, e.tag);
        put16(tiff, e.type);
        put32(tiff, e.count);
        if (e.value.size() <= 4) {
            tiff += e.value + std::string(4 - e.value.size(), '\0');
        } else {
            put32(tiff, valuesAt + static_cast<uint32_t>(values.size()));
            values += e.value + std::string(e.value.size() % 2, '\0');
        }
    }
    put32(tiff, 0);
    tiff += values;
}

}  // namespace

bool makeExif(const ShotDetails& shot, ByteArray& block) {
    std::vector<NewEntry> first, exif;
    if (shot.make[0])
        first.push_back(text(271, shot.make));
    if (shot.model[0])
        first.push_back(text(272, shot.model));
    first.push_back({TagOrientation, TypeShort, 1, std::string("\1\0", 2)});
    if (shot.exposureSeconds > 0.0f)
        exif.push_back(fraction(33434, shot.exposureSeconds));
    if (shot.fNumber > 0.0f)
        exif.push_back(fraction(33437, shot.fNumber));
    if (shot.isoSpeed >= 1.0f && shot.isoSpeed < 65535.0f) {
        exif.push_back({34855, TypeShort, 1, std::string()});
        put16(exif.back().value, static_cast<uint32_t>(std::lround(shot.isoSpeed)));
    }
    exif.push_back({0x9000, 7, 4, "0230"});  // ExifVersion 2.3
    if (shot.focalLength > 0.0f)
        exif.push_back(fraction(37386, shot.focalLength));
    std::string tiff("II*\0\x08\0\0\0", 8);
    first.push_back({TagExifDirectory, TypeLong, 1, std::string(4, '\0')});
    std::string ifd0 = tiff;
    appendDirectory(ifd0, first);
    // The Exif directory follows the first one; its offset goes into the
    // last entry of the first, written again now that it is known.
    first.back().value.clear();
    put32(first.back().value, static_cast<uint32_t>(ifd0.size()));
    appendDirectory(tiff, first);
    appendDirectory(tiff, exif);
    block.Empty();
    return appendBytes(block, "Exif\0\0", 6) && appendBytes(block, tiff.data(), tiff.size());
}
