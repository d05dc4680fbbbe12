// PNG decoding of every colour type, bit depth, interlacing and transparency case; damaged and hostile
// data; the file, named-resource and loader-list entry points; the writer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PngFixture.h"
#include "framework/raster/raster.h"
#include "tests/support/TestDir.h"

namespace {

// Compares a decoded bitmap with the fixture and reports the first differing pixel.
::testing::AssertionResult SameAsFixture(Raster_IBitmap* bmp, const PngFixture& f) {
    if (!bmp) return ::testing::AssertionFailure() << "no bitmap";
    if (bmp->getWidth() != f.width || bmp->getHeight() != f.height)
        return ::testing::AssertionFailure() << "size " << bmp->getWidth() << "x" << bmp->getHeight()
                                             << ", expected " << f.width << "x" << f.height;
    const int flipRows = bmp->isFlipped() ? f.height - 1 : 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const int memRow = flipRows ? flipRows - y : y;
            const uint32_t got = bmp->getBits()[memRow * bmp->getRowSpan() + x];
            if (got != f.Expected(x, y)) {
                char text[96];
                std::snprintf(text, sizeof(text), "pixel (%d,%d) is 0x%08X, expected 0x%08X", x, y, got,
                              f.Expected(x, y));
                return ::testing::AssertionFailure() << text;
            }
        }
    return ::testing::AssertionSuccess();
}

std::string Describe(const PngFixture& f) {
    return "colour type " + std::to_string(f.colorType) + ", depth " + std::to_string(f.bitDepth) +
           (f.interlaced ? ", interlaced" : "") + (f.hasTrns ? ", tRNS" : "");
}

std::vector<png_color> Palette(int n) {
    std::vector<png_color> p(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        p[static_cast<size_t>(i)] = {static_cast<png_byte>(i * 37 + 5), static_cast<png_byte>(255 - i * 11),
                                     static_cast<png_byte>(i * 101 % 256)};
    return p;
}

// Every legal combination, with and without tRNS where the colour type allows one.
std::vector<PngFixture> AllFixtures() {
    std::vector<PngFixture> all;
    struct Kind {
        int type;
        std::vector<int> depths;
    };
    const Kind kinds[] = {{PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},
                          {PNG_COLOR_TYPE_RGB, {8, 16}},
                          {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
                          {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
                          {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}}};
    uint32_t seed = 1;
    for (const Kind& k : kinds)
        for (int depth : k.depths)
            for (bool interlaced : {false, true})
                for (bool trns : {false, true}) {
                    if (trns && (k.type & PNG_COLOR_MASK_ALPHA)) continue;
                    PngFixture f;
                    f.colorType = k.type;
                    f.bitDepth = depth;
                    f.interlaced = interlaced;
                    f.hasTrns = trns;
                    if (k.type == PNG_COLOR_TYPE_PALETTE) {
                        const int n = depth == 8 ? 200 : (1 << depth) - (depth > 1 ? 1 : 0);
                        f.palette = Palette(n);
                        // Fewer alpha entries than colours: the rest stay opaque.
                        for (int i = 0; i < n - 1; ++i)
                            f.trnsAlpha.push_back(static_cast<uint8_t>(i * 53 % 256));
                    }
                    f.trnsGray = static_cast<uint16_t>(f.MaxSample() / 3);
                    f.trnsR = static_cast<uint16_t>(f.MaxSample() / 2);
                    f.trnsG = 7;
                    f.trnsB = static_cast<uint16_t>(f.MaxSample());
                    f.Fill(seed++);
                    all.push_back(f);
                }
    return all;
}

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "tb_png_" + std::to_string(getpid()) + "_" + name;
}

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

class FlippedBitmap : public Raster_MemBitmap {
public:
    using Raster_MemBitmap::Raster_MemBitmap;
    bool isFlipped() override { return true; }
};

// A target that cannot take a new size.
class FixedBitmap : public Raster_MemBitmap {
public:
    using Raster_MemBitmap::Raster_MemBitmap;
    bool resize(int, int) override { return false; }
};

TEST(RasterPNG, EveryColourTypeDepthInterlaceAndTransparency) {
    const std::vector<PngFixture> all = AllFixtures();
    EXPECT_EQ(all.size(), 52u);
    for (const PngFixture& f : all) {
        SCOPED_TRACE(Describe(f));
        const std::vector<unsigned char> bytes = f.Encode();
        ASSERT_FALSE(bytes.empty());
        std::unique_ptr<Raster_IBitmap> bmp(
            Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), nullptr));
        EXPECT_TRUE(SameAsFixture(bmp.get(), f));
        ASSERT_NE(bmp, nullptr);
        EXPECT_NE(dynamic_cast<Raster_MemBitmap*>(bmp.get()), nullptr);
        EXPECT_EQ(bmp->getRowSpan(), (f.width + 3) / 4 * 4);
    }
}

TEST(RasterPNG, ConversionsOfTheEdgeCases) {
    // 1-bit grey: 0 and 255 in every colour byte, alpha 255.
    PngFixture g1;
    g1.colorType = PNG_COLOR_TYPE_GRAY, g1.bitDepth = 1, g1.width = 3, g1.height = 1;
    g1.samples = {0, 1, 0};
    std::vector<unsigned char> bytes = g1.Encode();
    std::unique_ptr<Raster_IBitmap> bmp(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), nullptr));
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->getBits()[0], 0x000000FFu);
    EXPECT_EQ(bmp->getBits()[1], 0xFFFFFFFFu);

    // 16-bit RGBA keeps the high byte of each channel.
    PngFixture c16;
    c16.colorType = PNG_COLOR_TYPE_RGB_ALPHA, c16.bitDepth = 16, c16.width = 1, c16.height = 1;
    c16.samples = {0x12FF, 0x3401, 0x5680, 0x7800};
    bytes = c16.Encode();
    bmp.reset(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), nullptr));
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->getBits()[0], 0x56341278u);

    // Grey plus alpha.
    PngFixture ga;
    ga.colorType = PNG_COLOR_TYPE_GRAY_ALPHA, ga.bitDepth = 8, ga.width = 1, ga.height = 1;
    ga.samples = {0x9C, 0x40};
    bytes = ga.Encode();
    bmp.reset(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), nullptr));
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->getBits()[0], 0x9C9C9C40u);

    // A palette image: alpha from tRNS where it has an entry; without tRNS everything is opaque.
    PngFixture pal;
    pal.colorType = PNG_COLOR_TYPE_PALETTE, pal.bitDepth = 2, pal.width = 3, pal.height = 1;
    pal.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    pal.samples = {0, 1, 2};
    pal.hasTrns = true;
    pal.trnsAlpha = {0, 128};
    bytes = pal.Encode();
    bmp.reset(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), nullptr));
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->getBits()[0], 0x1E140A00u);
    EXPECT_EQ(bmp->getBits()[1], 0x3C322880u);
    EXPECT_EQ(bmp->getBits()[2], 0x5A5046FFu);
    pal.hasTrns = false;
    bytes = pal.Encode();
    bmp.reset(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), nullptr));
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->getBits()[0], 0x1E140AFFu);
    EXPECT_EQ(bmp->getBits()[1], 0x3C3228FFu);
}

TEST(RasterPNG, TargetIsResizedAndReturned) {
    PngFixture f;
    f.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    f.width = 21, f.height = 9;
    f.Fill(77);
    const std::vector<unsigned char> bytes = f.Encode();
    for (auto size : {std::pair{5, 5}, std::pair{21, 9}, std::pair{100, 100}, std::pair{0, 0}}) {
        Raster_MemBitmap target(size.first, size.second, 4);
        EXPECT_EQ(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), &target), &target);
        EXPECT_TRUE(SameAsFixture(&target, f));
    }
    Raster_SysBitmap sys(3, 3);
    EXPECT_EQ(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), &sys), &sys);
    EXPECT_TRUE(SameAsFixture(&sys, f));

    // A target that cannot take the image size: null, and the target is not deleted.
    FixedBitmap fixed(4, 4, 4);
    EXPECT_EQ(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), &fixed), nullptr);
    EXPECT_EQ(fixed.getWidth(), 4);
}

TEST(RasterPNG, FlippedTargetsGetTheTopRowLast) {
    PngFixture f;
    f.width = 6, f.height = 5;
    f.Fill(3);
    const std::vector<unsigned char> bytes = f.Encode();
    FlippedBitmap fromMemory(1, 1, 4);
    ASSERT_EQ(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), &fromMemory), &fromMemory);
    EXPECT_TRUE(SameAsFixture(&fromMemory, f));
    EXPECT_EQ(fromMemory.getBits()[4 * fromMemory.getRowSpan()], f.Expected(0, 0));

    const std::string path = TempPath("flip.png");
    ASSERT_TRUE(WriteFile(path, bytes));
    FlippedBitmap fromFile(1, 1, 4);
    ASSERT_EQ(Raster_LoadPNG(path.c_str(), &fromFile), &fromFile);
    EXPECT_TRUE(SameAsFixture(&fromFile, f));
    std::remove(path.c_str());
}

TEST(RasterPNG, TooShortOrNotAPng) {
    PngFixture f;
    f.Fill(5);
    const std::vector<unsigned char> bytes = f.Encode();
    EXPECT_EQ(Raster_LoadPNGFromMemory(bytes.data(), 7, nullptr), nullptr);
    EXPECT_EQ(Raster_LoadPNGFromMemory(bytes.data(), 0, nullptr), nullptr);
    EXPECT_EQ(Raster_LoadPNGFromMemory(bytes.data(), -5, nullptr), nullptr);
    EXPECT_EQ(Raster_LoadPNGFromMemory(nullptr, 100, nullptr), nullptr);
    const unsigned char notPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, 0x0B};
    EXPECT_EQ(Raster_LoadPNGFromMemory(notPng, 8, nullptr), nullptr);
    // The signature alone, or the signature and nothing usable after it.
    EXPECT_EQ(Raster_LoadPNGFromMemory(bytes.data(), 8, nullptr), nullptr);
    Raster_MemBitmap target(4, 4, 4);
    EXPECT_EQ(Raster_LoadPNGFromMemory(notPng, 8, &target), nullptr);
    EXPECT_EQ(target.getWidth(), 4); // untouched: nothing was decoded
}

TEST(RasterPNG, TruncatedAtEveryLength) {
    // Every prefix fails until the image data is complete, its CRC included; the trailing chunks are
    // never read, so from there on the image loads.
    PngFixture f;
    f.colorType = PNG_COLOR_TYPE_PALETTE, f.bitDepth = 4, f.interlaced = true;
    f.palette = Palette(16);
    f.hasTrns = true;
    f.trnsAlpha = {0, 50, 100};
    f.Fill(9);
    const std::vector<unsigned char> bytes = f.Encode();
    size_t dataEnd = 0;
    for (const PngChunk& c : Chunks(bytes))
        if (c.type == "IDAT") dataEnd = c.offset + 12 + c.length;
    ASSERT_GT(dataEnd, 0u);
    for (size_t len = 0; len < bytes.size(); ++len) {
        std::unique_ptr<Raster_IBitmap> bmp(Raster_LoadPNGFromMemory(bytes.data(), int(len), nullptr));
        if (len >= dataEnd) {
            EXPECT_TRUE(SameAsFixture(bmp.get(), f)) << "length " << len;
        } else {
            EXPECT_EQ(bmp, nullptr) << "length " << len;
        }
        // With a target: the same verdict, and the target stays the caller's.
        Raster_MemBitmap target(2, 2, 4);
        Raster_IBitmap* got = Raster_LoadPNGFromMemory(bytes.data(), int(len), &target);
        EXPECT_TRUE(got == nullptr || got == &target);
        EXPECT_EQ(got != nullptr, bmp != nullptr) << "length " << len;
    }
}

TEST(RasterPNG, TruncatedFilesFailToo) {
    PngFixture f;
    f.colorType = PNG_COLOR_TYPE_GRAY, f.bitDepth = 16;
    f.Fill(11);
    const std::vector<unsigned char> bytes = f.Encode();
    const std::string path = TempPath("cut.png");
    for (size_t len : {size_t(0), size_t(8), size_t(20), size_t(33), size_t(50), bytes.size() - 30}) {
        ASSERT_TRUE(WriteFile(path, std::vector<unsigned char>(bytes.begin(), bytes.begin() + long(len))));
        EXPECT_EQ(Raster_LoadPNG(path.c_str(), nullptr), nullptr) << "length " << len;
    }
    std::remove(path.c_str());
    EXPECT_EQ(Raster_LoadPNG(path.c_str(), nullptr), nullptr); // no such file
    EXPECT_EQ(Raster_LoadPNG(nullptr, nullptr), nullptr);
}

TEST(RasterPNG, CorruptedDataIsRejected) {
    PngFixture f;
    f.colorType = PNG_COLOR_TYPE_RGB;
    f.width = 40, f.height = 30;
    f.Fill(21);
    const std::vector<unsigned char> good = f.Encode();
    const std::vector<PngChunk> chunks = Chunks(good);
    ASSERT_EQ(chunks.front().type, "IHDR");
    size_t idat = 0;
    for (const PngChunk& c : chunks)
        if (c.type == "IDAT") idat = c.offset;
    ASSERT_GT(idat, 0u);
    auto load = [](const std::vector<unsigned char>& b) {
        return std::unique_ptr<Raster_IBitmap>(Raster_LoadPNGFromMemory(b.data(), int(b.size()), nullptr));
    };

    // A flipped bit anywhere in a chunk breaks its CRC.
    for (size_t at : {size_t(16), size_t(20), idat + 8, idat + 20}) {
        std::vector<unsigned char> bad = good;
        bad[at] ^= 0x10;
        EXPECT_EQ(load(bad), nullptr) << "byte " << at;
    }
    // Damaged but with correct CRCs.
    auto ihdr = [&](size_t field, unsigned char value) {
        std::vector<unsigned char> bad = good;
        bad[8 + 8 + field] = value;
        FixCrc(&bad, 8);
        return bad;
    };
    EXPECT_EQ(load(ihdr(8, 3)), nullptr);  // bit depth 3
    EXPECT_EQ(load(ihdr(9, 5)), nullptr);  // colour type 5
    EXPECT_EQ(load(ihdr(10, 1)), nullptr); // unknown compression
    EXPECT_EQ(load(ihdr(12, 2)), nullptr); // unknown interlace
    {
        std::vector<unsigned char> bad = good; // the image data scrambled
        for (uint32_t i = 0; i < chunks[1].length && i < 40; ++i) bad[idat + 8 + i] ^= 0x5A;
        FixCrc(&bad, idat);
        EXPECT_EQ(load(bad), nullptr);
    }
    {
        std::vector<unsigned char> bad = good; // rows missing: the image is taller than its data
        WriteBE32(&bad[8 + 12], 300);
        FixCrc(&bad, 8);
        EXPECT_EQ(load(bad), nullptr);
    }
}

TEST(RasterPNG, HostileSizesAllocateNothingLarge) {
    PngFixture f;
    f.colorType = PNG_COLOR_TYPE_GRAY, f.width = 4, f.height = 4;
    f.Fill(2);
    const std::vector<unsigned char> good = f.Encode();
    const std::pair<uint32_t, uint32_t> sizes[] = {{0x7FFFFFFFu, 1}, {1, 0x7FFFFFFFu}, {30000, 30000},
                                                   {100000, 100000}, {0, 4},           {4, 0},
                                                   {0x80000000u, 1}};
    for (auto [w, h] : sizes) {
        std::vector<unsigned char> bad = good;
        WriteBE32(&bad[16], w);
        WriteBE32(&bad[20], h);
        FixCrc(&bad, 8);
        Raster_MemBitmap target(3, 3, 4);
        EXPECT_EQ(Raster_LoadPNGFromMemory(bad.data(), int(bad.size()), nullptr), nullptr) << w << "x" << h;
        EXPECT_EQ(Raster_LoadPNGFromMemory(bad.data(), int(bad.size()), &target), nullptr) << w << "x" << h;
        EXPECT_EQ(target.getWidth(), 3) << "refused before the target was touched";
    }
}

TEST(RasterPNG, ChunkLongerThanTheData) {
    // An ancillary chunk that claims almost 2 GiB in a buffer of a few dozen bytes: refused as soon as
    // the data runs out, for memory and for files alike.
    PngFixture f;
    f.width = 2, f.height = 2;
    f.Fill(8);
    std::vector<unsigned char> bytes = f.Encode();
    bytes.resize(8 + 25); // signature and IHDR
    const unsigned char chunk[] = {0x7F, 0xFF, 0xFF, 0xF0, 'v', 'v', 'v', 'v', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    bytes.insert(bytes.end(), chunk, chunk + sizeof(chunk));
    EXPECT_EQ(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), nullptr), nullptr);
    const std::string path = TempPath("long-chunk.png");
    ASSERT_TRUE(WriteFile(path, bytes));
    EXPECT_EQ(Raster_LoadPNG(path.c_str(), nullptr), nullptr);
    std::remove(path.c_str());
}

TEST(RasterPNG, PaletteIndexBeyondThePalette) {
    PngFixture f;
    f.colorType = PNG_COLOR_TYPE_PALETTE, f.bitDepth = 8, f.width = 4, f.height = 1;
    f.palette = Palette(256);
    f.samples = {0, 1, 200, 255};
    std::vector<unsigned char> bytes = f.Encode();
    // Shrink the palette to 2 entries after encoding (PLTE of 6 bytes, CRC fixed, rest moved up).
    for (const PngChunk& c : Chunks(bytes))
        if (c.type == "PLTE") {
            std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + long(c.offset));
            const unsigned char plte[] = {0, 0, 0, 6, 'P', 'L', 'T', 'E', 1, 2, 3, 4, 5, 6, 0, 0, 0, 0};
            cut.insert(cut.end(), plte, plte + sizeof(plte));
            FixCrc(&cut, c.offset);
            cut.insert(cut.end(), bytes.begin() + long(c.offset + 12 + c.length), bytes.end());
            bytes = cut;
            break;
        }
    std::unique_ptr<Raster_IBitmap> bmp(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), nullptr));
    if (bmp) { // decoded or refused: either way in bounds (the sanitizers watch)
        EXPECT_EQ(bmp->getBits()[0], 0x030201FFu);
        EXPECT_EQ(bmp->getBits()[1], 0x060504FFu);
    }
}

TEST(RasterPNG, LoadFromFileAndLoaderRecord) {
    PngFixture f;
    f.colorType = PNG_COLOR_TYPE_GRAY_ALPHA, f.bitDepth = 16, f.interlaced = true;
    f.Fill(31);
    const std::vector<unsigned char> bytes = f.Encode();
    const std::string upper = TempPath("PICTURE.PNG");
    const std::string backup = TempPath("picture.png.bak");
    const std::string noDot = TempPath("picture");
    for (const std::string& p : {upper, backup, noDot}) ASSERT_TRUE(WriteFile(p, bytes));

    std::unique_ptr<Raster_IBitmap> bmp(Raster_LoadPNG(upper.c_str(), nullptr));
    EXPECT_TRUE(SameAsFixture(bmp.get(), f));

    // The registration record sits in the loader list.
    bool found = false;
    for (Raster_ImageLoaderRec* r = Raster_ImageLoader_list; r; r = r->_next)
        found = found || r == &Raster_pngldr;
    EXPECT_TRUE(found);
    ASSERT_EQ(Raster_pngldr.loadfunc, &Raster_PNGLoader::loadfunc);
    ASSERT_EQ(Raster_pngldr.get_extlist, &Raster_PNGLoader::get_extlist);

    bmp.reset(Raster_pngldr.loadfunc(upper.c_str(), true, nullptr));
    EXPECT_TRUE(SameAsFixture(bmp.get(), f)) << "upper-case extension";
    bmp.reset(Raster_PNGLoader::loadfunc(backup.c_str(), true, nullptr));
    EXPECT_EQ(bmp, nullptr) << "another extension after .png";
    bmp.reset(Raster_PNGLoader::loadfunc(noDot.c_str(), true, nullptr));
    EXPECT_EQ(bmp, nullptr) << "no extension at all";
    bmp.reset(Raster_PNGLoader::loadfunc(backup.c_str(), false, nullptr));
    EXPECT_TRUE(SameAsFixture(bmp.get(), f)) << "unchecked";
    bmp.reset(Raster_PNGLoader::loadfunc("dir.png/file", true, nullptr));
    EXPECT_EQ(bmp, nullptr) << "the last part after a slash is what counts";
    Raster_MemBitmap target(1, 1, 4);
    EXPECT_EQ(Raster_PNGLoader::loadfunc(upper.c_str(), true, &target), &target);
    EXPECT_EQ(Raster_PNGLoader::loadfunc(nullptr, true, nullptr), nullptr);

    const char* list = Raster_PNGLoader::get_extlist();
    const char expected[] = "PNG files (*.PNG)\0*.PNG\0";
    EXPECT_EQ(std::memcmp(list, expected, sizeof(expected)), 0); // includes the final empty string

    EXPECT_EQ(Raster_LoadPNGFromResource(nullptr, 101, &target), nullptr);
    for (const std::string& p : {upper, backup, noDot}) std::remove(p.c_str());
}

TEST(RasterPNG, NamedResourcesCompiledInAndFromTheFolder) {
    PngFixture f;
    f.colorType = PNG_COLOR_TYPE_PALETTE, f.bitDepth = 8;
    f.palette = Palette(64);
    f.Fill(41);
    static std::vector<unsigned char> bytes; // lives as long as the registration
    bytes = f.Encode();
    static Raster_NamedResource res = {"img/knob.png", nullptr, 0, nullptr};
    res.data = bytes.data();
    res.length = int(bytes.size());
    Raster_AddNamedResource(&res);
    Raster_AddNamedResource(&res); // twice: no loop in the list
    EXPECT_EQ(Raster_FindNamedResource("img/knob.png"), &res);
    EXPECT_EQ(Raster_FindNamedResource("knob.png"), nullptr);
    EXPECT_EQ(Raster_FindNamedResource(nullptr), nullptr);

    std::unique_ptr<Raster_IBitmap> bmp(Raster_LoadPNGFromNamedResource("img/knob.png", nullptr));
    EXPECT_TRUE(SameAsFixture(bmp.get(), f));
    EXPECT_EQ(Raster_LoadPNGFromNamedResource("img/missing.png", nullptr), nullptr);
    EXPECT_EQ(Raster_LoadPNGFromNamedResource("", nullptr), nullptr);
    EXPECT_EQ(Raster_LoadPNGFromNamedResource(nullptr, nullptr), nullptr);

    // Names over 400 bytes are refused even when registered.
    static std::string longName = std::string(401, 'n');
    static Raster_NamedResource longRes = {longName.c_str(), bytes.data(), int(bytes.size()), nullptr};
    Raster_AddNamedResource(&longRes);
    EXPECT_EQ(Raster_LoadPNGFromNamedResource(longName.c_str(), nullptr), nullptr);
    static std::string name400 = std::string(400, 'm');
    static Raster_NamedResource res400 = {name400.c_str(), bytes.data(), int(bytes.size()), nullptr};
    Raster_AddNamedResource(&res400);
    bmp.reset(Raster_LoadPNGFromNamedResource(name400.c_str(), nullptr));
    EXPECT_TRUE(SameAsFixture(bmp.get(), f));

    // Not compiled in: the file of that name in the folder the caller names, if any.
    TestDir dir;
    const std::string folder = dir.Path() + "/";
    std::filesystem::create_directories(dir / "img");
    PngFixture g;
    g.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    g.Fill(43);
    ASSERT_TRUE(WriteFile(dir / "img/scale.png", g.Encode()));
    bmp.reset(Raster_LoadPNGFromNamedResource("img/scale.png", nullptr, folder.c_str()));
    EXPECT_TRUE(SameAsFixture(bmp.get(), g));
    EXPECT_EQ(Raster_LoadPNGFromNamedResource("img/scale.png", nullptr), nullptr);
    std::filesystem::remove_all(dir / "img");
    EXPECT_EQ(Raster_LoadPNGFromNamedResource("img/scale.png", nullptr, folder.c_str()), nullptr);
}

TEST(RasterPNG, WriterRoundTrips) {
    Raster_MemBitmap bmp(5, 3, 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            bmp.getBits()[y * bmp.getRowSpan() + x] = uint32_t(x * 50 + y) | uint32_t(x * 7) << 8 |
                                                      uint32_t(y * 90) << 16 | uint32_t(200 + x) << 24;

    // With alpha: RGBA bytes, checked with libpng directly.
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(Raster_WritePNGToMemory(&bmp, &bytes));
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    EXPECT_EQ(image.width, 5u);
    EXPECT_EQ(image.height, 3u);
    EXPECT_TRUE(image.format & PNG_FORMAT_FLAG_ALPHA);
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> rgba(5 * 3 * 4);
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const unsigned char* p = &rgba[(y * 5 + x) * 4];
            EXPECT_EQ(p[0], x * 7);
            EXPECT_EQ(p[1], y * 90);
            EXPECT_EQ(p[2], 200 + x);
            EXPECT_EQ(p[3], x * 50 + y);
        }
    std::unique_ptr<Raster_IBitmap> back(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), nullptr));
    ASSERT_NE(back, nullptr);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(back->getBits()[y * back->getRowSpan() + x], bmp.getBits()[y * bmp.getRowSpan() + x]);

    // Without alpha, through a file: RGB, and alpha 255 when loaded back.
    const std::string path = TempPath("written.png");
    ASSERT_TRUE(Raster_WritePNG(&bmp, path.c_str(), false));
    back.reset(Raster_LoadPNG(path.c_str(), nullptr));
    ASSERT_NE(back, nullptr);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(back->getBits()[y * back->getRowSpan() + x],
                      bmp.getBits()[y * bmp.getRowSpan() + x] | 0xFFu);
    std::remove(path.c_str());

    // A flipped bitmap is written top row first.
    FlippedBitmap flipped(2, 2, 4);
    flipped.getBits()[0] = 0x11111111u; // memory row 0 is the bottom row
    flipped.getBits()[1] = 0x22222222u;
    flipped.getBits()[flipped.getRowSpan()] = 0x33333333u;
    flipped.getBits()[flipped.getRowSpan() + 1] = 0x44444444u;
    ASSERT_TRUE(Raster_WritePNGToMemory(&flipped, &bytes));
    back.reset(Raster_LoadPNGFromMemory(bytes.data(), int(bytes.size()), nullptr));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->getBits()[0], 0x33333333u);
    EXPECT_EQ(back->getBits()[back->getRowSpan() + 1], 0x22222222u);

    // Nothing to write, or nowhere to write it.
    Raster_MemBitmap empty;
    EXPECT_FALSE(Raster_WritePNGToMemory(&empty, &bytes));
    EXPECT_FALSE(Raster_WritePNGToMemory(nullptr, &bytes));
    EXPECT_FALSE(Raster_WritePNG(&bmp, "/nonexistent-dir/x.png"));
    EXPECT_FALSE(Raster_WritePNG(&bmp, nullptr));
}

// The header's size without decoding: the signature, then IHDR; sizes the loader refuses are refused.
TEST(RasterPNG, ReadsTheSizeFromTheHeader) {
    PngFixture f;
    f.width = 300, f.height = 2;
    f.Fill(5);
    const std::vector<unsigned char> bytes = f.Encode();
    int w = 0, h = 0;
    ASSERT_TRUE(Raster_ReadPNGSize(bytes.data(), int(bytes.size()), &w, &h));
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 2);
    EXPECT_TRUE(Raster_ReadPNGSize(bytes.data(), 24, nullptr, nullptr)); // the header is enough
    EXPECT_FALSE(Raster_ReadPNGSize(bytes.data(), 23, &w, &h));
    EXPECT_FALSE(Raster_ReadPNGSize(nullptr, 100, &w, &h));
    struct Patch {
        size_t at;
        std::vector<unsigned char> bytes;
        bool ok;
    };
    const Patch patches[] = {
        {0, {0x88}, false},                // signature
        {12, {'I', 'D', 'A', 'T'}, false}, // the first chunk is not IHDR
        {8, {0, 0, 0, 14}, false},         // IHDR of the wrong length
        {16, {0, 0, 0, 0}, false},         // width 0
        {20, {0, 0, 0, 0}, false},         // height 0
        {16, {0, 0, 0x80, 0x01}, false},   // wider than 32768
        {16, {0, 0, 0x80, 0}, true},       // 32768 x 2
        {20, {0, 0, 0x80, 0}, true},       // 300 x 32768
    };
    for (const Patch& p : patches) {
        std::vector<unsigned char> b = bytes;
        std::copy(p.bytes.begin(), p.bytes.end(), b.begin() + long(p.at));
        EXPECT_EQ(Raster_ReadPNGSize(b.data(), int(b.size()), &w, &h), p.ok) << p.at;
    }
    std::vector<unsigned char> b = bytes;
    const unsigned char big[] = {0, 0, 0x80, 0, 0, 0, 0x08, 0x01}; // 32768 x 2049 > 2^26 pixels
    std::copy(big, big + 8, b.begin() + 16);
    EXPECT_FALSE(Raster_ReadPNGSize(b.data(), int(b.size()), &w, &h));
}

// A deferred picture has its size at once and decodes at the first pixel access, once, also when two
// threads ask together; data that turns out damaged gives a clear picture of the header's size.
TEST(RasterPNG, DeferredDecoding) {
    PngFixture f;
    f.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    f.width = 13, f.height = 9;
    f.Fill(17);
    const std::vector<unsigned char> bytes = f.Encode();
    EXPECT_EQ(Raster_DeferredPNGBitmap::Create(bytes.data(), 23), nullptr);
    std::unique_ptr<Raster_DeferredPNGBitmap> bmp(
        Raster_DeferredPNGBitmap::Create(bytes.data(), int(bytes.size())));
    ASSERT_NE(bmp, nullptr);
    EXPECT_FALSE(bmp->IsDecoded());
    EXPECT_EQ(bmp->getWidth(), 13);
    EXPECT_EQ(bmp->getHeight(), 9);
    EXPECT_EQ(bmp->getRowSpan(), 16);
    EXPECT_FALSE(bmp->IsDecoded());
    uint32_t* seen[2] = {};
    std::thread a([&] { seen[0] = bmp->getBits(); }), b([&] { seen[1] = bmp->getBits(); });
    a.join();
    b.join();
    EXPECT_TRUE(bmp->IsDecoded());
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(bmp->getRowSpan(), 16);
    EXPECT_TRUE(SameAsFixture(bmp.get(), f));

    // Header intact, image data cut off.
    std::unique_ptr<Raster_DeferredPNGBitmap> cut(Raster_DeferredPNGBitmap::Create(bytes.data(), 40));
    ASSERT_NE(cut, nullptr);
    ASSERT_NE(cut->getBits(), nullptr);
    EXPECT_EQ(cut->getWidth(), 13);
    EXPECT_EQ(cut->getHeight(), 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x) ASSERT_EQ(cut->getBits()[y * cut->getRowSpan() + x], 0u);
}

// A picture by name: a replacement in the resource folder beside the module (here the test executable)
// when it decodes, else the compiled-in one, deferred; damaged replacements are passed over.
TEST(RasterPNG, NamedPicturesPreferReplacements) {
    PngFixture shipped, replacement;
    shipped.colorType = replacement.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    shipped.Fill(61);
    replacement.width = 4, replacement.height = 21;
    replacement.Fill(62);
    static std::vector<unsigned char> bytes;
    bytes = shipped.Encode();
    static Raster_NamedResource res = {"named_pic.png", nullptr, 0, nullptr};
    res.data = bytes.data();
    res.length = int(bytes.size());
    Raster_AddNamedResource(&res);

    TestDir dir;
    const std::filesystem::path folder = dir.Path();
    const std::string named = dir.Path() + "/";
    const std::vector<unsigned char> good = replacement.Encode();
    const std::vector<unsigned char> text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
    const std::vector<unsigned char> half(good.begin(), good.begin() + long(good.size() / 2));
    struct Case {
        const char* what;
        const std::vector<unsigned char>* file; // null: no replacement
        bool replaced;
    };
    const Case cases[] = {{"no replacement", nullptr, false},
                          {"replacement", &good, true},
                          {"not a PNG", &text, false},
                          {"cut in half", &half, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(folder / "named_pic.png");
        if (c.file) {
            ASSERT_TRUE(WriteFile((folder / "named_pic.png").string(), *c.file));
        }
        std::unique_ptr<Raster_IBitmap> bmp(Raster_LoadNamedPicture(named.c_str(), "named_pic.png"));
        ASSERT_NE(bmp, nullptr);
        auto* deferred = dynamic_cast<Raster_DeferredPNGBitmap*>(bmp.get());
        EXPECT_EQ(deferred != nullptr, !c.replaced);
        if (deferred) {
            EXPECT_FALSE(deferred->IsDecoded());
        }
        EXPECT_TRUE(SameAsFixture(bmp.get(), c.replaced ? replacement : shipped));
    }
    // Not compiled in: only a replacement that decodes gives a picture.
    ASSERT_TRUE(WriteFile((folder / "only_here.png").string(), good));
    std::unique_ptr<Raster_IBitmap> bmp(Raster_LoadNamedPicture(named.c_str(), "only_here.png"));
    EXPECT_TRUE(SameAsFixture(bmp.get(), replacement));
    // Without a folder only the compiled-in picture counts.
    EXPECT_EQ(Raster_LoadNamedPicture(nullptr, "only_here.png"), nullptr);
    EXPECT_EQ(Raster_LoadNamedPicture("", "only_here.png"), nullptr);
    ASSERT_TRUE(WriteFile((folder / "only_here.png").string(), text));
    EXPECT_EQ(Raster_LoadNamedPicture(named.c_str(), "only_here.png"), nullptr);
    std::filesystem::remove(folder / "only_here.png");
    EXPECT_EQ(Raster_LoadNamedPicture(named.c_str(), "only_here.png"), nullptr);
    // Names are file names in that folder, nothing else.
    EXPECT_EQ(Raster_LoadNamedPicture(named.c_str(), "img/named_pic.png"), nullptr);
    EXPECT_EQ(Raster_LoadNamedPicture(named.c_str(), "../named_pic.png"), nullptr);
    EXPECT_EQ(Raster_LoadNamedPicture(named.c_str(), ""), nullptr);
    EXPECT_EQ(Raster_LoadNamedPicture(named.c_str(), nullptr), nullptr);
    EXPECT_EQ(Raster_LoadNamedPicture(named.c_str(), std::string(401, 'n').c_str()), nullptr);
}

} // namespace
