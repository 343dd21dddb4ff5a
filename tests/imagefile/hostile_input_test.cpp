#include "imagefile/image_file.h"

#include "imagefile/byte_reader.h"
#include "imagefile/codecs.h"
#include "tests/support/failing_malloc.h"
#include "tests/support/refused_calls.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>
#include <zlib.h>

namespace {

bool decodes(const std::vector<uint8_t>& bytes, ImageFileType type) { return !decoded(bytes, type).isEmpty(); }

// 24-bit BMP of the given header size, with pixel data of dataBytes bytes.
std::vector<uint8_t> bmpFile(int32_t w, int32_t h, uint32_t bits, uint32_t compression, size_t dataBytes,
                             uint32_t paletteEntries = 0) {
    const uint32_t offset = 54 + 4 * paletteEntries;
    std::vector<uint8_t> v(offset + dataBytes, 0);
    v[0] = 'B', v[1] = 'M';
    for (auto [at, x] : {std::pair<size_t, uint32_t>{2, v.size()}, {10, offset}, {14, 40}, {18, w}, {22, h},
                         {26, 1 | bits << 16}, {30, compression}, {46, paletteEntries}})  // one plane, then bits
        putLe32(v, at, x);
    return v;
}

std::vector<uint8_t> withHeaderSize(std::vector<uint8_t> v, uint32_t size) { return putLe32(v, 14, size), v; }
std::vector<uint8_t> withByte(std::vector<uint8_t> v, size_t at, uint8_t byte) { return v[at] = byte, v; }

std::vector<uint8_t> tgaFile(uint32_t type, int32_t w, int32_t h, uint32_t bits, size_t dataBytes) {
    std::vector<uint8_t> v(18 + dataBytes, 0);
    v[2] = static_cast<uint8_t>(type);
    putLe16(v, 12, static_cast<uint32_t>(w)), putLe16(v, 14, static_cast<uint32_t>(h));
    v[16] = static_cast<uint8_t>(bits);
    return v;
}

std::vector<uint8_t> pcxFile(int32_t w, int32_t h, uint32_t planes, size_t dataBytes) {
    std::vector<uint8_t> v(128 + dataBytes, 0);
    v[0] = 10, v[1] = 5, v[2] = 1, v[3] = 8;
    putLe16(v, 8, static_cast<uint32_t>(w - 1)), putLe16(v, 10, static_cast<uint32_t>(h - 1));
    v[65] = static_cast<uint8_t>(planes);
    putLe16(v, 66, static_cast<uint32_t>(w + (w & 1)));
    return v;
}

std::vector<uint8_t> encoded(ImageFileType type, int32_t w, int32_t h, bool translucent) {
    Bitmap photo = makePhoto(w, h, 5);
    if (translucent) photo.at(1, 1) &= 0x7FFFFFFF;
    return bytesOf(encoded(photo, type));
}

void putBe16(std::vector<uint8_t>& v, size_t at, uint32_t x) { putLe16(v, at, (x >> 8 & 0xFF) | (x & 0xFF) << 8); }

TEST(HostileInput, CompressedStreamsClaimingHugeSizesFail) {
    // A small JPEG whose frame header claims 16000 x 16000: libjpeg alone would fill it with grey at great cost.
    std::vector<uint8_t> jpeg = encoded(ImageFileJpeg, 16, 16, false);
    size_t sof = 2;
    while (sof + 9 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0))
        sof += 2 + ((jpeg[sof + 2] << 8) | jpeg[sof + 3]);
    ASSERT_LT(sof + 9, jpeg.size());
    putBe16(jpeg, sof + 5, 16000), putBe16(jpeg, sof + 7, 16000);
    EXPECT_FALSE(decodes(jpeg, ImageFileJpeg));
    putBe16(jpeg, sof + 5, 24), putBe16(jpeg, sof + 7, 16);  // still a plausible size: decodes, grey below
    EXPECT_TRUE(decodes(jpeg, ImageFileJpeg));

    // A PNG header (with a correct checksum) claiming the same.
    std::vector<uint8_t> png = encoded(ImageFilePng, 16, 16, false);
    for (size_t at : {16u, 20u}) putLe32(png, at, 0), putBe16(png, at + 2, 16000);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, png.data() + 12, 17));
    putBe16(png, 29, crc >> 16), putBe16(png, 31, crc);
    EXPECT_FALSE(decodes(png, ImageFilePng));
    EXPECT_LT(peakKilobytes(), 256 * 1024);  // nothing of the claimed size was allocated
}

// An icon whose bitmap header gives the side, depth and compression: one colour (black), then 64 bytes of zeros.
std::vector<uint8_t> iconFile(uint32_t side, uint32_t bits, uint32_t compression) {
    std::vector<uint8_t> v(22 + 40 + 68, 0);
    for (auto [at, x] : {std::pair{2u, 1u}, {4, 1}, {18, 22}, {22, 40}, {26, side}, {30, 2 * side},
                         {36, bits | compression << 16}, {54, 1}})
        putLe32(v, at, x);
    return v;
}

// Each row fails, the huge ones (65535 x 65535, 17 GB as a bitmap, from a hundred-odd bytes) without allocating.
TEST(HostileInput, MalformedHeadersFailWithoutAllocating) {
    std::vector<uint8_t> os2Bitfields = withHeaderSize(bmpFile(4, 4, 32, 3, 64), 20);  // for OS/2, 3 means Huffman
    for (int i = 0; i < 3; ++i)
        putLe32(os2Bitfields, 34 + 4 * i, 0xFF0000u >> (8 * i));  // masks that would read
    const std::tuple<const char*, std::vector<uint8_t>, ImageFileType> rows[] = {
        {"OS/2 BMP with compression 3", os2Bitfields, ImageFileBmp},
        {"BMP header of 4097 bytes", withHeaderSize(bmpFile(4, 4, 24, 0, 4200), 4097), ImageFileBmp},
        {"huge BMP", bmpFile(65535, 65535, 24, 0, 100), ImageFileBmp},
        {"huge top-down BMP", bmpFile(65535, -65535, 32, 0, 100), ImageFileBmp},
        {"huge RLE8 BMP", bmpFile(65535, 65535, 8, 1, 100, 2), ImageFileBmp},
        {"huge TGA", tgaFile(2, 65535, 65535, 24, 100), ImageFileTga},
        {"huge RLE TGA", tgaFile(10, 65535, 65535, 24, 100), ImageFileTga},
        {"huge PCX", pcxFile(65535, 65535, 3, 100), ImageFilePcx},
        {"huge WBMP", {0, 0, 0x83, 0xFF, 0x7F, 0x83, 0xFF, 0x7F, 0xFF, 0xFF}, ImageFileWbmp},
        {"huge GIF screen around a 1 x 1 image",
         {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0, 0, 0, 255, 255, 255, 0x2C, 0, 0, 0, 0,
          1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B}, ImageFileGif},
        {"huge icon", iconFile(65535, 32, 0), ImageFileIco}, {"RLE8 icon", iconFile(4, 8, 1), ImageFileIco},
        {"RLE4 icon", iconFile(4, 4, 2), ImageFileIco}, {"BMP of width 0", bmpFile(0, 4, 24, 0, 64), ImageFileBmp},
        {"BMP header of 15 bytes", withHeaderSize(bmpFile(4, 4, 24, 0, 64), 15), ImageFileBmp},
        {"BMP of height 0", bmpFile(4, 0, 24, 0, 64), ImageFileBmp},
        {"BMP of 30000 bits", bmpFile(4, 4, 30000, 0, 64), ImageFileBmp},
        {"RLE8 BMP of 24 bits", bmpFile(4, 4, 24, 1, 64), ImageFileBmp},
        {"BMP bit fields of 24 bits", bmpFile(4, 4, 24, 3, 64), ImageFileBmp},
        {"TGA of width 0", tgaFile(2, 0, 4, 24, 64), ImageFileTga},
        {"true-colour TGA of 8 bits", tgaFile(2, 4, 4, 8, 64), ImageFileTga},
        {"grey TGA of 24 bits", tgaFile(3, 4, 4, 24, 64), ImageFileTga},
        {"colour-mapped TGA without a map", tgaFile(1, 4, 4, 8, 64), ImageFileTga},
        {"TGA without an image", tgaFile(0, 4, 4, 24, 64), ImageFileTga},
        {"PCX with xMin beyond xMax", withByte(pcxFile(4, 4, 3, 64), 4, 10), ImageFilePcx},
        {"PCX of two 8-bit planes", pcxFile(4, 4, 2, 64), ImageFilePcx},
        {"PCX of 3 bits", withByte(pcxFile(4, 4, 1, 64), 3, 3), ImageFilePcx},
        {"PCX of encoding 2", withByte(pcxFile(4, 4, 3, 64), 2, 2), ImageFilePcx},
        {"WBMP of width 0", {0, 0, 0, 4}, ImageFileWbmp}, {"WBMP of type 1", {1, 0, 4, 4, 0, 0, 0, 0}, ImageFileWbmp},
        {"WBMP width in six bytes", {0, 0, 0x80, 0x80, 0x80, 0x80, 0x81, 1, 0x80}, ImageFileWbmp},
        {"WBMP width of 1 in six bytes", {0, 0, 0x80, 0x80, 0x80, 0x80, 0x80, 1, 1, 0}, ImageFileWbmp},
        {"WBMP missing its last row", {0, 0, 8, 2, 0xFF}, ImageFileWbmp},
        {"BMP 65536 wide", bmpFile(65536, 1, 24, 0, 65536 * 3), ImageFileBmp},
        {"BMP 65536 high", bmpFile(1, -65536, 8, 0, 65536 * 4, 2), ImageFileBmp}};
    for (const auto& [what, bytes, type] : rows) EXPECT_FALSE(decodes(bytes, type)) << what;
    EXPECT_TRUE(decodes(withHeaderSize(bmpFile(4, 4, 24, 0, 4200), 4096), ImageFileBmp));  // the largest header taken
    EXPECT_EQ(Rect(0, 0, 65535, 1), decoded(bmpFile(65535, 1, 24, 0, 65535 * 3 + 3), ImageFileBmp).bounds());
}

TEST(HostileInput, AbsurdOffsetsFail) {
    std::vector<uint8_t> bmp = bmpFile(2, 2, 24, 0, 16);
    ASSERT_TRUE(decodes(bmp, ImageFileBmp));
    putLe32(bmp, 10, 0xFFFFFFF0u);
    EXPECT_FALSE(decodes(bmp, ImageFileBmp));
    putLe32(bmp, 10, 60);  // rows would end past the file
    EXPECT_FALSE(decodes(bmp, ImageFileBmp));
    // Four colours claimed and two stored before the pixels: the pixels are not read as the other two.
    std::vector<uint8_t> shortPalette = bmpFile(2, 1, 8, 0, 4, 2);
    putLe32(shortPalette, 46, 4), shortPalette[62] = 2, shortPalette[64] = shortPalette[65] = 0xFF;
    EXPECT_EQ(0u, decoded(shortPalette, ImageFileBmp).at(0, 0) & 0xFFFFFF);

    std::vector<uint8_t> ico = encoded(ImageFileIco, 4, 4, false);
    ASSERT_TRUE(decodes(ico, ImageFileIco));
    // Our own icons say truly where their one picture lies and how long it is.
    EXPECT_EQ(ico.size() - 22, ico[14] | ico[15] << 8 | ico[16] << 16 | static_cast<uint32_t>(ico[17]) << 24);
    EXPECT_EQ(22u, ico[18] | ico[19] << 8 | ico[20] << 16 | static_cast<uint32_t>(ico[21]) << 24);
    putLe32(ico, 18, 0x7FFFFFF0u);
    EXPECT_FALSE(decodes(ico, ImageFileIco));
    putLe32(ico, 18, static_cast<uint32_t>(ico.size()));
    EXPECT_FALSE(decodes(ico, ImageFileIco));
}

// An old tool's 32-bit icon leaves alpha zero for the mask to say what shows; mask bytes past the colours are no alpha.
TEST(HostileInput, AnIconTakesItsMaskOnlyWithoutAlpha) {
    std::vector<uint8_t> ico = encoded(ImageFileIco, 32, 2, true);  // 32 bits, the mask all shown
    for (size_t at = 22 + 40 + 3; at < 22 + 40 + 2 * 128; at += 4) ico[at] = 0;
    ico[22 + 40 + 2 * 128 + 3] = 0x01;  // the bottom row's last pixel is masked out
    EXPECT_EQ(std::tuple(size_t{22 + 40 + 2 * 128 + 2 * 4}, 32, 2), std::tuple(ico.size(), +ico[6], +ico[7]));
    const std::vector<uint32_t> shown = pixels(decoded(ico, ImageFileIco));
    EXPECT_EQ(63, std::count_if(shown.begin(), shown.end(), [](uint32_t p) { return p >> 24 == 255; }));
    EXPECT_EQ(0u, shown.back() >> 24);
    ico[22 + 40 + 3] = 7;  // one alpha in the bottom row, and the fourth bytes are the alpha of all the icon
    for (auto [y, alpha] : {std::pair{0, 0u}, {1, 7u}}) EXPECT_EQ(alpha, decoded(ico, ImageFileIco).at(0, y) >> 24);
    // An 8-bit icon's pixels follow its palette: index 0 is its one colour, made white here.
    std::vector<uint8_t> eight = iconFile(2, 8, 0);
    eight[62] = eight[63] = eight[64] = 0xFF;
    EXPECT_EQ(pixels(decoded(eight, ImageFileIco)), std::vector<uint32_t>(4, 0xFFFFFFFFu));
    // A 1-bit icon one pixel wide: its row of colour and its row of mask take four bytes each.
    std::vector<uint8_t> mono = iconFile(1, 1, 0);
    mono[22 + 40 + 4 + 4] = 0x80;
    EXPECT_EQ(0u, decoded(mono, ImageFileIco).at(0, 0) >> 24);
}

TEST(HostileInput, RunsPastTheEndAreClippedOrRejected) {
    // RLE8, 2 x 2: a run of 255, a literal of 200, a delta far right, then runs, the second after the last row ended.
    std::vector<uint8_t> bmp = bmpFile(2, 2, 8, 1, 0, 2);
    bmp.insert(bmp.end(), {255, 1, 0, 200});
    bmp.insert(bmp.end(), 200, 1);
    bmp.insert(bmp.end(), {0, 2, 255, 1, 3, 1, 0, 0, 3, 1, 0, 1});
    putLe32(bmp, 2, static_cast<uint32_t>(bmp.size()));
    ASSERT_EQ(2, decoded(bmp, ImageFileBmp).width);  // lenient: the runs are clipped to the row

    // TGA RLE whose last packet runs 128 pixels past a 2 x 1 image.
    std::vector<uint8_t> tga = tgaFile(10, 2, 1, 24, 0);
    tga.insert(tga.end(), {0xFF, 10, 20, 30});
    EXPECT_EQ(pixels(decoded(tga, ImageFileTga)), std::vector<uint32_t>(2, packPixel(30, 20, 10)));
    // Two runs of 128, the most a packet holds: as small as a 256-pixel RLE file gets.
    std::vector<uint8_t> runs = tgaFile(10, 256, 1, 24, 0);
    runs.insert(runs.end(), {0xFF, 10, 20, 30, 0xFF, 10, 20, 30});
    EXPECT_EQ(256, decoded(runs, ImageFileTga).width);
    // A GIF string that runs one pixel past a 1 x 2 image leaves the 1 x 3 screen's last row as background.
    const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 3, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                                      0x2C, 0, 0, 0, 0, 1, 0, 2, 0, 0, 2, 2, 0x8C, 0x0B, 0, 0x3B};
    EXPECT_EQ(pixels(decoded(gif, ImageFileGif)),
              (std::vector{packPixel(255, 255, 255), packPixel(255, 255, 255), packPixel(0, 0, 0)}));

    std::vector<uint8_t> pcx = encoded(ImageFilePcx, 30, 20, false);
    pcx.resize(pcx.size() / 2);
    EXPECT_FALSE(decodes(pcx, ImageFilePcx));
}

TEST(HostileInput, IndicesOutsideTheTableAreNeverReadOutOfBounds) {
    // GIF with a two-colour table and an index of 3: rejected.
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                                0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x5C, 0x01, 0, 0x3B};
    EXPECT_FALSE(decodes(gif, ImageFileGif));
    gif[31] = 0xCC;  // index 1: fine; the code 7 after the last pixel is never read
    EXPECT_TRUE(decodes(gif, ImageFileGif));

    // TGA colour map of 2 entries starting at index 5: index 7 is one past it.
    std::vector<uint8_t> tga = tgaFile(1, 1, 1, 8, 0);
    tga[1] = 1, tga[7] = 24;
    putLe16(tga, 3, 5), putLe16(tga, 5, 2);
    tga.insert(tga.end(), {1, 2, 3, 4, 5, 6, 7});
    EXPECT_FALSE(decodes(tga, ImageFileTga));
    tga.back() = 6;
    EXPECT_EQ(pixels(decoded(tga, ImageFileTga)), std::vector<uint32_t>{packPixel(6, 5, 4)});
    // A 32-bit TGA declaring no alpha whose fourth bytes are all 0 is opaque.
    std::vector<uint8_t> unused = tgaFile(2, 1, 1, 32, 0);
    unused.insert(unused.end(), {1, 2, 3, 0});
    EXPECT_EQ(pixels(decoded(unused, ImageFileTga)), std::vector<uint32_t>{packPixel(3, 2, 1)});
    // A TGA 2.0 extension area's last byte, its attributes type, says whether alpha counts: 2 ignores it, 3 keeps it.
    ByteArray utc32 = fileBytes(formatsDir + "tga/conformance/utc32.tga");
    for (const uint8_t attributes : {2, 3}) {
        utc32.data[utc32.length - 27] = attributes;  // before the footer's 26 bytes; every alpha byte is 0
        EXPECT_EQ(attributes == 2 ? 255u : 0u, decoded(utc32, ImageFileTga).at(5, 5) >> 24) << +attributes;
    }
    // Entries of 16 bits keep the alpha bit the descriptor declares: clear, then set.
    std::vector<uint8_t> alphaMap = tgaFile(1, 2, 1, 8, 0);
    alphaMap[1] = 1, alphaMap[7] = 16, alphaMap[17] = 1;
    putLe16(alphaMap, 5, 2);
    alphaMap.insert(alphaMap.end(), {0xFF, 0x7F, 0xFF, 0xFF, 0, 1});
    EXPECT_EQ(pixels(decoded(alphaMap, ImageFileTga)),
              (std::vector{packPixel(255, 255, 255, 0), packPixel(255, 255, 255)}));
    // An 8-bit PCX without the palette at its end is grey, index for level.
    std::vector<uint8_t> pcx = pcxFile(2, 1, 1, 2);
    pcx[128] = 128, pcx[129] = 64;
    EXPECT_EQ(pixels(decoded(pcx, ImageFilePcx)), (std::vector{packPixel(128, 128, 128), packPixel(64, 64, 64)}));
    // Unencoded, a byte with both top bits set is a level too; encoded, a run of length zero adds nothing.
    pcx[2] = 0, pcx[128] = 0xC3;
    EXPECT_EQ(pixels(decoded(pcx, ImageFilePcx)), (std::vector{packPixel(195, 195, 195), packPixel(64, 64, 64)}));
    pcx = pcxFile(2, 1, 1, 4);
    pcx[128] = 0xC0, pcx[129] = 0x55, pcx[130] = 16, pcx[131] = 32;
    EXPECT_EQ(pixels(decoded(pcx, ImageFilePcx)), (std::vector{packPixel(16, 16, 16), packPixel(32, 32, 32)}));
    // A 4-bit header palette holding only the last entry's blue is no empty (EGA) one.
    pcx = pcxFile(2, 1, 1, 2);
    pcx[3] = 4, pcx[63] = 0x77, pcx[128] = 0x0F;
    EXPECT_EQ(pixels(decoded(pcx, ImageFilePcx)), (std::vector{packPixel(0, 0, 0), packPixel(0, 0, 0x77)}));

    // BMP: an 8-bit image with a 2-entry palette using index 200 reads black rather than whatever follows the palette.
    // A 36-byte OS/2 header still gives the palette's length: index 2 of the two entries is black too, not the bytes
    // before the pixels. A pixel offset of 0 means the pixels follow the palette: index 1 there is the white entry.
    for (auto [headerSize, index, pixelOffset] : {std::tuple{40u, 200, 62u}, {36u, 2, 62u}, {40u, 1, 0u}}) {
        std::vector<uint8_t> bmp = withHeaderSize(bmpFile(1, 1, 8, 0, 4, 2), headerSize);
        putLe32(bmp, 10, pixelOffset);
        bmp[58] = bmp[59] = bmp[60] = 0xFF;
        bmp[62] = static_cast<uint8_t>(index);
        EXPECT_EQ(pixels(decoded(bmp, ImageFileBmp)),
                  std::vector{index == 1 ? packPixel(255, 255, 255) : packPixel(0, 0, 0)}) << headerSize;
    }
}

TEST(HostileInput, LzwCodesOutOfRangeFail) {
    // Minimum code size 2: clear 4, a colour, then 7 while the next free code is 6.
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                                0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 2, 0xC4, 0x01, 0, 0x3B};
    EXPECT_FALSE(decodes(gif, ImageFileGif));
    gif[29] = 12;  // code size 12 and above cannot occur
    EXPECT_FALSE(decodes(gif, ImageFileGif));
    // A later image that fails leaves the picture the first one drew.
    gif[29] = 2;
    std::vector<uint8_t> tiles(gif.begin(), gif.end() - 1);
    tiles.insert(tiles.end(), gif.begin() + 19, gif.end());
    tiles[31] = 0x4C;  // colour 1, then the end code
    EXPECT_TRUE(decodes(tiles, ImageFileGif));
    tiles[44] = 12;  // so does a later image whose code size cannot occur
    EXPECT_TRUE(decodes(tiles, ImageFileGif));
}

// The decoders' reader: a skip, seek or take past the end fails it for good.
TEST(HostileInput, AReadPastTheEndFailsTheReaderAndYieldsZeros) {
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    for (int32_t way = 0; way < 3; ++way) {
        ByteReader in(bytes, sizeof bytes);
        EXPECT_EQ(1, in.u8());
        EXPECT_FALSE(way == 0 ? in.skip(5) : way == 1 ? in.seek(6) : in.take(5) != nullptr) << way;
        EXPECT_TRUE(in.failed() && in.atEnd()) << way;
        EXPECT_EQ(0u, in.u32le() | in.u8()) << way;
        ByteReader whole(bytes, sizeof bytes);  // up to the end exactly is still inside
        EXPECT_TRUE(way == 0 ? whole.skip(5) : way == 1 ? whole.seek(5) : whole.take(5) != nullptr) << way;
        EXPECT_TRUE(!whole.failed() && whole.atEnd()) << way;
    }
    ByteArray held;  // bytes that would take a buffer past 2 GB are refused before anything is read
    EXPECT_TRUE(appendBytes(held, bytes, 2) && !appendBytes(held, nullptr, size_t{INT32_MAX} - 1) && held.length == 2);
}

TEST(HostileInput, EveryTruncationOfEveryFormatIsSafe) {
    // Any outcome is acceptable except a crash, a hang or a sanitizer report; and a cut JPEG, PNG or TIFF (an
    // interrupted download) must not pass for a whole picture. Each source: type, translucent, whether every cut fails.
    const std::tuple<ImageFileType, bool, bool> sources[] = {
        {ImageFileBmp, false, false}, {ImageFileGif, false, false}, {ImageFileIco, true, false},
        {ImageFileIco, false, false}, {ImageFileTga, true, false},  {ImageFilePcx, true, false},
        {ImageFilePng, true, true},   {ImageFileJpeg, false, true}, {ImageFileTiff, true, true}};
    for (const auto& [type, translucent, cutFails] : sources) {
        std::vector<uint8_t> file = encoded(type, 23, 19, translucent);
        for (size_t n = 0; n < file.size(); n += file.size() > 600 ? file.size() / 300 : 1) {
            const Bitmap bitmap = decoded(std::vector<uint8_t>(file.begin(), file.begin() + n), type);
            EXPECT_TRUE(!cutFails || bitmap.isEmpty()) << type << " cut at " << n;
            EXPECT_TRUE(bitmap.isEmpty() || bitmap.bounds() == Rect(0, 0, 23, 19)) << type << " cut at " << n;
        }
    }
    // A JPEG comment is skipped, not read: what is left to read after it still ends where the data given does, here
    // as many bytes before the file's end as the comment holds.
    std::vector<uint8_t> commented = encoded(ImageFileJpeg, 23, 19, false);
    commented.insert(commented.begin() + 2, 66, 'c');
    commented[2] = 0xFF, commented[3] = 0xFE, commented[4] = 0, commented[5] = 64;
    Bitmap cut;
    ASSERT_TRUE(decodes(commented, ImageFileJpeg));
    decode(cut, commented.data(), commented.size() - 62, ImageFileJpeg, nullptr);
    EXPECT_TRUE(cut.isEmpty());
}

TEST(HostileInput, CorruptedHeaderBytesAreSafe) {
    for (ImageFileType type : {ImageFileBmp, ImageFileGif, ImageFileIco, ImageFileTga, ImageFilePcx, ImageFilePng,
                               ImageFileJpeg, ImageFileTiff}) {
        std::vector<uint8_t> file = encoded(type, 9, 7, true);
        for (size_t i = 0; i < std::min<size_t>(file.size(), 160); ++i)
            for (uint8_t value : {0x00, 0x7F, 0xFF}) {
                std::vector<uint8_t> corrupt = file;
                corrupt[i] = value;
                const Bitmap bitmap = decoded(corrupt, type);
                EXPECT_TRUE(bitmap.isEmpty() || (bitmap.width <= 65535 && bitmap.height <= 65535));
            }
    }
}

TEST(HostileInput, NothingToDecode) {
    Bitmap bitmap;
    const uint8_t one = 0;
    for (ImageFileType type = 0; type <= ImageFileUnknown; ++type)
        for (const uint8_t* bytes : {static_cast<const uint8_t*>(nullptr), &one}) {
            bitmap.resize(3, 3), decode(bitmap, bytes, bytes ? 1 : 0, type, nullptr);
            EXPECT_TRUE(bitmap.isEmpty()) << type;
        }
}

// --- The resource reader ---

std::vector<uint8_t> resource(uint32_t type, int32_t w, int32_t h, uint32_t bits, uint8_t descriptor,
                              const std::vector<uint8_t>& pixels, uint8_t idLength = 0) {
    std::vector<uint8_t> v = tgaFile(type, w, h, bits, 0);
    v[0] = idLength;
    v[17] = descriptor;
    v.insert(v.end(), idLength, 'x');
    v.insert(v.end(), pixels.begin(), pixels.end());
    return v;
}

Bitmap resourceDecoded(const std::vector<uint8_t>& v) { Bitmap b; decodeTgaResource(b, v.data(), v.size()); return b; }

TEST(TgaResource, ConvertsEachDepthAndOrientation) {
    const auto greys = [](std::vector<uint32_t> v) {
        return std::transform(v.begin(), v.end(), v.begin(), [](uint32_t g) { return packPixel(g, g, g); }), v;
    };
    // 8-bit grey, 2 x 2, bottom-up: the last stored row is the top; then the same rows top-down.
    EXPECT_EQ(pixels(resourceDecoded(resource(3, 2, 2, 8, 0, {10, 20, 30, 40}, 3))), greys({30, 40, 10, 20}));
    EXPECT_EQ(pixels(resourceDecoded(resource(3, 2, 2, 8, 0x20, {10, 20, 30, 40}))), greys({10, 20, 30, 40}));
    EXPECT_EQ(packPixel(3, 2, 1, 255), resourceDecoded(resource(2, 1, 1, 24, 0, {1, 2, 3})).at(0, 0));
    EXPECT_EQ(packPixel(3, 2, 1, 4), resourceDecoded(resource(2, 1, 1, 32, 0, {1, 2, 3, 4})).at(0, 0));
}

TEST(TgaResource, RejectsWhatItDoesNotRead) {
    // The header alone, 16 bits, RLE, colour-mapped, no width, no height, one byte short, huge, one byte short
    // once the ID field before the pixels is counted.
    const std::vector<uint8_t> refused[] = {resource(2, 1, 1, 24, 0, {}), resource(2, 1, 1, 16, 0, {1, 2, 3}),
        resource(10, 1, 1, 24, 0, {1, 2, 3}), resource(1, 1, 1, 8, 0, {1, 2, 3}), resource(2, 0, 1, 24, 0, {1, 2, 3}),
        resource(2, 1, 0, 24, 0, {1, 2, 3}), resource(2, 2, 1, 24, 0, {1, 2, 3, 4, 5}),
        resource(3, 65535, 65535, 8, 0, {1, 2, 3}), resource(2, 1, 1, 24, 0, {2, 3}, 1)};
    for (const std::vector<uint8_t>& bytes : refused) EXPECT_TRUE(resourceDecoded(bytes).isEmpty()) << &bytes - refused;
    Bitmap bitmap;
    bitmap.resize(2, 2);
    EXPECT_TRUE(decodeTgaResource(bitmap, nullptr, 0).isEmpty());
}

}  // namespace

#if VISTREL_REFUSED_CALLS
// The PNG's profile and the RAW's Exif block with the PNG's picture, so that every step of each writer runs.
static Bitmap photoWithMetadata(PhotoMetadata& metadata) {
    PhotoMetadata raw;
    loadedPhoto("orientation_6.dng", &raw);
    Bitmap photo = loadedPhoto("p3.png", &metadata);
    metadata.exif = raw.exif;
    EXPECT_TRUE(!photo.isEmpty() && metadata.icc.length > 0 && metadata.exif.length > 6);
    return photo;
}

// Any step of a library's encoder that reports a failure fails the write, with nothing written ("+N": the step's
// call after N that succeeded).
TEST(HostileInput, AWriterFailsWithItsLibrarysStep) {
    PhotoMetadata metadata;
    const Bitmap photo = photoWithMetadata(metadata);
    const std::pair<ImageFileType, std::vector<const char*>> steps[] = {
        {ImageFileJxl, {"JxlEncoderCreate", "JxlEncoderUseBoxes", "JxlEncoderSetBasicInfo", "JxlEncoderSetICCProfile",
                        "JxlEncoderAddBox", "JxlEncoderFrameSettingsCreate", "JxlEncoderSetFrameDistance",
                        "JxlEncoderAddImageFrame", "JxlEncoderProcessOutput"}},
        {ImageFileAvif, {"heif_context_alloc", "heif_context_get_encoder_for_format", "heif_encoder_set_lossy_quality",
                         "heif_image_create", "heif_image_add_plane", "heif_image_get_plane",
                         "heif_image_set_raw_color_profile", "heif_context_encode_image",
                         "heif_context_add_exif_metadata", "heif_context_write"}},
        {ImageFileTiff, {"TIFFWriteScanline+3", "TIFFWriteDirectory"}},
        {ImageFileWebp, {"WebPPictureImportRGB", "WebPEncode", "WebPMuxSetImage", "WebPMuxSetChunk", "WebPMuxSetChunk+1",
                         "WebPMuxAssemble"}}};
    for (const auto& [type, calls] : steps) {
        for (const char* call : calls) {
            ByteArray out;
            RefuseCall(call);
            const bool written = encode(photo, type, 90, &metadata, out);
            EXPECT_TRUE(RefuseCall(nullptr) > 0 && !written && out.length == 0) << call;
        }
    }
}

// A RAW that LibRaw refuses or crashes on fails alone, with the reason, and leaves nothing half made.
TEST(HostileInput, ARawThatLibRawFailsOnOrCrashesOnFailsAlone) {
    const ByteArray dng = fileBytes(photoDir + "orientation_6.dng");
    for (const auto& [call, reason] : {std::pair{"libraw_unpack", "corrupt camera RAW data"},
                                       {"libraw_dcraw_make_mem_image", "LibRaw gave no 8-bit picture"},
                                       {"libraw_dcraw_process", "corrupt camera RAW data"}}) {
        DecodedImage image;
        RefuseCall(call);
        EXPECT_FALSE(decodeImage(reinterpret_cast<const uint8_t*>(dng.data), dng.length, ImageFileRaw, image));
        RefuseCall(nullptr);
        EXPECT_TRUE(image.pixels.isEmpty() && image.exif.length == 0 && std::string(reason) == image.reason) << call;
    }
}
#endif

#if VISTREL_FAILING_MALLOC
// Wherever an allocation fails while a file is read, the read fails, or gives the picture and metadata as ever;
// while one is written, the write fails or gives the same bytes.
TEST(HostileInput, AnAllocationFailingAnywhereFailsTheReadOrWriteCleanly) {
    const auto readsCleanly = [](const ByteArray& bytes, ImageFileType type, const std::string& what) {
        PhotoMetadata whole, metadata;
        Bitmap picture, b;
        FailAllocation(-1);
        decode(picture, bytes.data, static_cast<size_t>(bytes.length), type, &whole);
        const long count = FailAllocation(-1);
        ASSERT_TRUE(!picture.isEmpty() && count > 0) << what;  // a sweep over no allocations would prove nothing
        for (long k = 0; k < count; ++k) {
            FailAllocation(k), decode(b, bytes.data, static_cast<size_t>(bytes.length), type, &metadata);
            FailAllocation(-1);
            const bool same = largestDifference(b, picture) == 0 && bytesOf(metadata.exif) == bytesOf(whole.exif);
            EXPECT_TRUE(b.isEmpty() || (same && bytesOf(metadata.icc) == bytesOf(whole.icc))) << what << " " << k;
        }
    };
    for (const char* name : {"bmp/bmpsuite/g/pal8rle.bmp", "gif/pygif-test-suite/255-codes.gif",
                             "ico/pillow/hopper.ico", "ico/image-rs/png-32bpp-alpha.ico", "tga/conformance/ctc24.tga",
                             "jpeg/mozilla-reftest/jpg-progressive.jpg", "pcx/image-extras/24bit.pcx",
                             "tiff/go-x-image/video-001-paletted.tiff", "wbmp/image-extras/shane_face.wbmp", "cmyk.jpg",
                             "orientation_6.jpg", "p3.tif", "cmyk8_alpha.tif", "orientation_6.webp", "alpha.avif",
                             "orientation_6.avif", "p3.heic", "p3.jxl", "orientation_6.dng"}) {
        const std::string path = (std::strchr(name, '/') ? formatsDir : photoDir) + name;  // the photos lie apart
        readsCleanly(fileBytes(path), typeFromExtension(String(path.c_str())), path);
    }
    // Each file written is read again.
    PhotoMetadata metadata;
    const Bitmap photo = photoWithMetadata(metadata);
    for (ImageFileType type : {ImageFileBmp, ImageFileGif, ImageFileIco, ImageFileJpeg, ImageFilePcx, ImageFilePng,
                               ImageFileTga, ImageFileTiff, ImageFileWebp, ImageFileAvif, ImageFileJxl}) {
        ByteArray written, out;
        FailAllocation(-1);
        ASSERT_TRUE(encode(photo, type, 90, &metadata, written)) << type;
        const long count = FailAllocation(-1);
        ASSERT_GT(count, 0) << type;
        for (long k = 0; k < count; ++k) {
            const bool ok = (FailAllocation(k), encode(photo, type, 90, &metadata, out));
            FailAllocation(-1);
            EXPECT_TRUE(ok ? bytesOf(out) == bytesOf(written) : out.length == 0) << type << " allocation " << k;
        }
        readsCleanly(written, type, "written as type " + std::to_string(type));
    }
}
#endif
