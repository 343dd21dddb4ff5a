#include "imagefile/codecs.h"

#include "imagefile/byte_reader.h"

#include <cstdlib>
#include <cstring>

namespace {

// --- Reading ---

// LZW codes packed least significant bit first into data sub-blocks.
class SubBlockBits {
public:
    explicit SubBlockBits(ByteReader& in) : in_(in) {}

    // The next code, or -1 when the data has ended.
    int32_t read(int32_t bits) {
        while (count_ < bits) {
            uint8_t b;
            if (!nextByte(b))
                return -1;
            buffer_ |= static_cast<uint32_t>(b) << count_;
            count_ += 8;
        }
        int32_t code = static_cast<int32_t>(buffer_ & ((1u << bits) - 1));
        buffer_ >>= bits;
        count_ -= bits;
        return code;
    }

    // Moves the reader past the block terminator.
    void finish() {
        if (ended_)
            return;
        in_.skip(blockLeft_);
        while (!in_.failed()) {
            uint8_t n = in_.u8();
            if (n == 0 || !in_.skip(n))
                break;
        }
        ended_ = true;
    }

private:
    bool nextByte(uint8_t& b) {
        if (ended_)
            return false;
        while (blockLeft_ == 0) {
            uint8_t n = in_.u8();
            if (in_.failed() || n == 0) {
                ended_ = true;
                return false;
            }
            blockLeft_ = n;
        }
        b = in_.u8();
        if (in_.failed()) {
            ended_ = true;
            return false;
        }
        --blockLeft_;
        return true;
    }

    ByteReader& in_;
    uint32_t buffer_ = 0;
    int32_t count_ = 0;
    uint32_t blockLeft_ = 0;
    bool ended_ = false;
};

void skipSubBlocks(ByteReader& in) {
    while (!in.failed()) {
        uint8_t n = in.u8();
        if (n == 0 || !in.skip(n))
            return;
    }
}

struct Frame {
    int32_t left, top, width, height;
    bool interlaced;
    const uint8_t* palette;  // R, G, B triples
    uint32_t paletteSize;
};

// Row of the frame that the n-th decoded row belongs to.
int32_t interlacedRow(int32_t n, int32_t height) {
    static const int32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        int32_t rows = height > start[pass] ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (n < rows)
            return start[pass] + n * step[pass];
        n -= rows;
    }
    return height;  // past the end
}

class LzwTables {
public:
    uint16_t prefix[4096];
    uint8_t suffix[4096];
    uint8_t first[4096];
    uint16_t length[4096];
    uint8_t stack[4096];
};

// Decodes one image's pixels onto the canvas. A stream that ends early
// leaves the remaining pixels as they were; bad codes or colour indices
// fail.
bool decodeFrame(ByteReader& in, const Frame& frame, int32_t minCodeSize, LzwTables& t, DecodedImage& canvas) {
    SubBlockBits bits(in);
    const int32_t clear = 1 << minCodeSize, endCode = clear + 1;
    int32_t next = clear + 2, codeSize = minCodeSize + 1, previous = -1;
    for (int32_t i = 0; i < clear; ++i) {
        t.suffix[i] = t.first[i] = static_cast<uint8_t>(i);
        t.length[i] = 1;
    }
    uint64_t total = static_cast<uint64_t>(frame.width) * static_cast<uint64_t>(frame.height);
    uint64_t done = 0;
    bool ok = true;
    while (done < total) {
        int32_t code = bits.read(codeSize);
        if (code < 0 || code == endCode)
            break;
        if (code == clear) {
            next = clear + 2;
            codeSize = minCodeSize + 1;
            previous = -1;
            continue;
        }
        if (previous < 0) {
            if (code > clear) {
                ok = canvas.fail("first code is not a colour");
                break;
            }
        } else {
            if (code > next || (code == next && next >= 4096)) {
                ok = canvas.fail("LZW code out of range");
                break;
            }
            if (next < 4096) {
                t.prefix[next] = static_cast<uint16_t>(previous);
                t.first[next] = t.first[previous];
                t.suffix[next] = code < next ? t.first[code] : t.first[previous];
                t.length[next] = static_cast<uint16_t>(t.length[previous] + 1);
                ++next;
                if (next == (1 << codeSize) && codeSize < 12)
                    ++codeSize;
            }
        }
        previous = code;
        // Unwind the string, last pixel first.
        int32_t n = t.length[code];
        int32_t c = code;
        for (int32_t i = n - 1; i >= 0; --i) {
            t.stack[i] = t.suffix[c];
            c = t.prefix[c];
        }
        for (int32_t i = 0; i < n && done < total; ++i, ++done) {
            uint32_t index = t.stack[i];
            if (index >= frame.paletteSize) {
                ok = canvas.fail("colour index outside the table");
                break;
            }
            int32_t column = static_cast<int32_t>(done % static_cast<uint64_t>(frame.width));
            int32_t row = static_cast<int32_t>(done / static_cast<uint64_t>(frame.width));
            if (frame.interlaced)
                row = interlacedRow(row, frame.height);
            int64_t x = static_cast<int64_t>(frame.left) + column, y = static_cast<int64_t>(frame.top) + row;
            if (x >= canvas.width || y >= canvas.height)
                continue;
            uint8_t* p = canvas.rowFromTop(static_cast<int32_t>(y)) + 3 * x;
            const uint8_t* rgb = frame.palette + 3 * index;
            p[0] = rgb[2], p[1] = rgb[1], p[2] = rgb[0];
        }
        if (!ok)
            break;
    }
    bits.finish();
    return ok;
}

}  // namespace

// Reads the first image. Pictures made of several images with no graphic
// control between them (the tiles our own encoder writes) are drawn whole;
// at the first graphic control block after an image the picture is done,
// as that starts an animation frame. A transparent index stays opaque.
bool decodeGif(const uint8_t* bytes, size_t size, DecodedImage& image) {
    ByteReader in(bytes, size);
    const uint8_t* signature = in.take(6);
    if (!signature || (std::memcmp(signature, "GIF87a", 6) != 0 && std::memcmp(signature, "GIF89a", 6) != 0))
        return image.fail("not a GIF file");
    int32_t screenWidth = in.u16le(), screenHeight = in.u16le();
    uint32_t flags = in.u8(), background = in.u8();
    in.u8();
    if (in.failed() || screenWidth < 1 || screenHeight < 1)
        return image.fail("empty logical screen");
    const uint8_t* globalPalette = nullptr;
    uint32_t globalSize = 0;
    if (flags & 0x80) {
        globalSize = 2u << (flags & 7);
        globalPalette = in.take(3 * globalSize);
        if (!globalPalette)
            return image.fail("truncated colour table");
    }
    // One 12-bit code expands to at most 4096 pixels.
    if (!plausiblePixelCount(static_cast<uint64_t>(screenWidth) * screenHeight, size, 4096))
        return image.fail("screen too large for the data");

    LzwTables* tables = nullptr;
    int32_t drawn = 0;
    bool control = false;  // a graphic control block precedes the pending image
    bool ok = true;
    while (ok) {
        uint8_t block = in.u8();
        if (in.failed() || block == 0x3B)
            break;
        if (block == 0x21) {
            uint8_t label = in.u8();
            if (label == 0xF9) {
                // A control block after drawing starts the next frame of
                // an animation; only the first is shown.
                if (drawn > 0) {
                    image.sourceImages = 2;
                    break;
                }
                control = true;
            }
            skipSubBlocks(in);
            continue;
        }
        if (block != 0x2C) {
            if (drawn == 0)
                ok = image.fail("unknown block");
            break;
        }
        Frame frame;
        frame.left = in.u16le();
        frame.top = in.u16le();
        frame.width = in.u16le();
        frame.height = in.u16le();
        uint32_t frameFlags = in.u8();
        frame.interlaced = frameFlags & 0x40;
        frame.palette = globalPalette;
        frame.paletteSize = globalSize;
        if (frameFlags & 0x80) {
            frame.paletteSize = 2u << (frameFlags & 7);
            frame.palette = in.take(3 * frame.paletteSize);
        }
        int32_t minCodeSize = in.u8();
        if (in.failed() || !frame.palette || frame.width < 1 || frame.height < 1 || minCodeSize < 1 ||
            minCodeSize > 11) {
            if (drawn == 0)
                ok = image.fail("bad image descriptor");
            break;
        }
        if (drawn == 0) {
            if (!image.allocate(screenWidth, screenHeight, 24, false)) {
                ok = false;
                break;
            }
            if (globalPalette && background < globalSize) {
                const uint8_t* rgb = globalPalette + 3 * background;
                for (int32_t y = 0; y < screenHeight; ++y) {
                    uint8_t* p = image.row(y);
                    for (int32_t x = 0; x < screenWidth; ++x, p += 3)
                        p[0] = rgb[2], p[1] = rgb[1], p[2] = rgb[0];
                }
            }
            tables = static_cast<LzwTables*>(std::malloc(sizeof(LzwTables)));
            if (!tables) {
                ok = image.fail("out of memory");
                break;
            }
        }
        if (!decodeFrame(in, frame, minCodeSize, *tables, image)) {
            if (drawn == 0)
                ok = false;
            break;
        }
        ++drawn;
        if (control) {
            // An animation: note whether another frame follows.
            for (;;) {
                const uint8_t next = in.u8();
                if (in.failed() || next != 0x21) {
                    if (!in.failed() && next == 0x2C)
                        image.sourceImages = 2;
                    break;
                }
                in.u8();
                skipSubBlocks(in);
            }
            break;
        }
    }
    std::free(tables);
    if (ok && drawn == 0)
        ok = image.fail("no image in the file");
    return ok;
}

// --- Writing ---

namespace {

class CodeWriter {
public:
    explicit CodeWriter(ByteArray& out) : out_(out) {}

    void put(uint32_t code, int32_t bits) {
        buffer_ |= code << count_;
        count_ += bits;
        while (count_ >= 8) {
            byte(static_cast<uint8_t>(buffer_));
            buffer_ >>= 8;
            count_ -= 8;
        }
    }
    // Flushes the last bits and the open sub-block, then the terminator.
    bool finish() {
        if (count_ > 0)
            byte(static_cast<uint8_t>(buffer_));
        flushBlock();
        uint8_t terminator = 0;
        ok_ = ok_ && appendBytes(out_, &terminator, 1);
        return ok_;
    }

private:
    void byte(uint8_t b) {
        block_[1 + blockLength_++] = b;
        if (blockLength_ == 255)
            flushBlock();
    }
    void flushBlock() {
        if (blockLength_ == 0)
            return;
        block_[0] = static_cast<uint8_t>(blockLength_);
        ok_ = ok_ && appendBytes(out_, block_, 1 + blockLength_);
        blockLength_ = 0;
    }

    ByteArray& out_;
    uint32_t buffer_ = 0;
    int32_t count_ = 0;
    uint8_t block_[256];
    size_t blockLength_ = 0;
    bool ok_ = true;
};

const int32_t blockWidth = 17, blockHeight = 15;  // 255 pixels: every colour fits one table

// A tiny open-addressing set, cleared per block; keys are never 0 because
// the stored value is key + 1.
template <int Size>
struct SmallMap {
    uint32_t keys[Size];
    uint16_t values[Size];
    void clear() { std::memset(keys, 0, sizeof(keys)); }
    // Slot of key: found (keys[slot] == key + 1) or empty.
    int32_t slot(uint32_t key) const {
        uint32_t h = (key * 2654435761u) >> 8;
        for (int32_t i = 0;; ++i) {
            int32_t s = static_cast<int32_t>((h + i) & (Size - 1));
            if (keys[s] == 0 || keys[s] == key + 1)
                return s;
        }
    }
};

struct BlockEncoder {
    SmallMap<512> colors;
    SmallMap<1024> strings;
    uint8_t indices[blockWidth * blockHeight];
    uint8_t table[256 * 3];
};

bool encodeBlock(const DecodedImage& image, int32_t left, int32_t top, int32_t w, int32_t h, BlockEncoder& e,
                 ByteArray& out) {
    e.colors.clear();
    int32_t count = 0;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = image.row(image.height - 1 - (top + y));
        for (int32_t x = 0; x < w; ++x) {
            uint32_t c;
            if (image.indexed()) {
                c = image.palette[row[left + x]];
            } else {
                const uint8_t* p = row + 3 * (left + x);
                c = (static_cast<uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
            }
            int32_t s = e.colors.slot(c);
            if (e.colors.keys[s] == 0) {
                e.colors.keys[s] = c + 1;
                e.colors.values[s] = static_cast<uint16_t>(count);
                e.table[3 * count] = static_cast<uint8_t>(c >> 16);
                e.table[3 * count + 1] = static_cast<uint8_t>(c >> 8);
                e.table[3 * count + 2] = static_cast<uint8_t>(c);
                ++count;
            }
            e.indices[y * w + x] = static_cast<uint8_t>(e.colors.values[s]);
        }
    }
    int32_t sizeBits = 1;
    while ((1 << sizeBits) < count)
        ++sizeBits;
    int32_t tableSize = 1 << sizeBits;
    std::memset(e.table + 3 * count, 0, static_cast<size_t>(tableSize - count) * 3);

    uint8_t descriptor[10] = {0x2C};
    putU16le(descriptor + 1, static_cast<uint32_t>(left));
    putU16le(descriptor + 3, static_cast<uint32_t>(top));
    putU16le(descriptor + 5, static_cast<uint32_t>(w));
    putU16le(descriptor + 7, static_cast<uint32_t>(h));
    descriptor[9] = static_cast<uint8_t>(0x80 | (sizeBits - 1));
    uint8_t minCodeSize = static_cast<uint8_t>(sizeBits < 2 ? 2 : sizeBits);
    if (!appendBytes(out, descriptor, sizeof(descriptor)) || !appendBytes(out, e.table, 3 * tableSize) ||
        !appendBytes(out, &minCodeSize, 1))
        return false;

    // A block has fewer than 256 pixels, so the code table never fills.
    CodeWriter writer(out);
    const uint32_t clear = 1u << minCodeSize;
    uint32_t next = clear + 2;
    int32_t codeSize = minCodeSize + 1;
    auto emit = [&](uint32_t code) {
        writer.put(code, codeSize);
        if (next > (1u << codeSize) - 1 && codeSize < 12)
            ++codeSize;
    };
    e.strings.clear();
    emit(clear);
    int32_t n = w * h;
    uint32_t prefix = e.indices[0];
    for (int32_t i = 1; i < n; ++i) {
        uint32_t c = e.indices[i];
        uint32_t key = (prefix << 8) | c;
        int32_t s = e.strings.slot(key);
        if (e.strings.keys[s] != 0) {
            prefix = e.strings.values[s];
            continue;
        }
        emit(prefix);
        e.strings.keys[s] = key + 1;
        e.strings.values[s] = static_cast<uint16_t>(next++);
        prefix = c;
    }
    emit(prefix);
    emit(clear + 1);
    return writer.finish();
}

}  // namespace

bool encodeGif(const DecodedImage& image, ByteArray& out) {
    if (image.width > 65535 || image.height > 65535)
        return false;
    uint8_t header[13] = {'G', 'I', 'F', '8', '9', 'a'};
    putU16le(header + 6, static_cast<uint32_t>(image.width));
    putU16le(header + 8, static_cast<uint32_t>(image.height));
    if (!appendBytes(out, header, sizeof(header)))
        return false;
    auto* e = static_cast<BlockEncoder*>(std::malloc(sizeof(BlockEncoder)));
    if (!e)
        return false;
    bool ok = true;
    for (int32_t top = 0; top < image.height && ok; top += blockHeight) {
        int32_t h = image.height - top < blockHeight ? image.height - top : blockHeight;
        for (int32_t left = 0; left < image.width && ok; left += blockWidth) {
            int32_t w = image.width - left < blockWidth ? image.width - left : blockWidth;
            ok = encodeBlock(image, left, top, w, h, *e, out);
        }
    }
    std::free(e);
    uint8_t trailer = 0x3B;
    return ok && appendBytes(out, &trailer, 1);
}
