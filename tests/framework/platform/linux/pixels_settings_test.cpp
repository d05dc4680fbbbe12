// Pixel conversion to the visual, and the desktop settings that choose the scale and double-click time.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/platform/linux/X11ScreenCopy.h"
#include "framework/platform/linux/X11Settings.h"

namespace {

constexpr uint32_t Word(int r, int g, int b, int a) {
    return static_cast<uint32_t>(a) | static_cast<uint32_t>(r) << 8 | static_cast<uint32_t>(g) << 16 |
           static_cast<uint32_t>(b) << 24;
}

X11PixelFormat Format(int depth, int bpp, uint32_t r, uint32_t g, uint32_t b, bool msb) {
    X11PixelFormat f;
    f.depth = depth;
    f.bitsPerPixel = bpp;
    f.redMask = r;
    f.greenMask = g;
    f.blueMask = b;
    f.msbFirst = msb;
    return f;
}

// One pixel (0x12, 0x34, 0x56, alpha 0x78) and white, in each layout: the bytes the server must get.
struct FormatCase {
    const char* name;
    X11PixelFormat format;
    std::vector<uint8_t> pixel; // the colour pixel's bytes in memory
    std::vector<uint8_t> white;
};

TEST(X11ConvertArea, EveryLayoutGetsTheExactBytes) {
    const FormatCase cases[] = {
        {"x8r8g8b8 depth 24",
         Format(24, 32, 0xFF0000, 0xFF00, 0xFF, false),
         {0x56, 0x34, 0x12, 0x00},
         {0xFF, 0xFF, 0xFF, 0x00}},
        {"a8r8g8b8 depth 32 (opaque)",
         Format(32, 32, 0xFF0000, 0xFF00, 0xFF, false),
         {0x56, 0x34, 0x12, 0xFF},
         {0xFF, 0xFF, 0xFF, 0xFF}},
        {"x8r8g8b8 big-endian server",
         Format(24, 32, 0xFF0000, 0xFF00, 0xFF, true),
         {0x00, 0x12, 0x34, 0x56},
         {0x00, 0xFF, 0xFF, 0xFF}},
        {"x8b8g8r8",
         Format(24, 32, 0xFF, 0xFF00, 0xFF0000, false),
         {0x12, 0x34, 0x56, 0x00},
         {0xFF, 0xFF, 0xFF, 0x00}},
        // 5-6-5: (0x12 >> 3) << 11 | (0x34 >> 2) << 5 | (0x56 >> 3) = 0x11AA
        {"r5g6b5", Format(16, 16, 0xF800, 0x07E0, 0x001F, false), {0xAA, 0x11}, {0xFF, 0xFF}},
        {"r5g6b5 big-endian", Format(16, 16, 0xF800, 0x07E0, 0x001F, true), {0x11, 0xAA}, {0xFF, 0xFF}},
        // 5-5-5 depth 15: the spare top bit is outside the depth and stays clear
        {"x1r5g5b5", Format(15, 16, 0x7C00, 0x03E0, 0x001F, false), {0xCA, 0x08}, {0xFF, 0x7F}},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t src[2] = {Word(0x12, 0x34, 0x56, 0x78), Word(255, 255, 255, 0)};
        std::vector<uint8_t> dst(16, 0xEE);
        X11ConvertArea(src, 2, 0, 0, 2, 1, 1, c.format, dst.data(), 16);
        const size_t n = c.pixel.size();
        EXPECT_EQ(std::vector<uint8_t>(dst.begin(), dst.begin() + n), c.pixel);
        EXPECT_EQ(std::vector<uint8_t>(dst.begin() + n, dst.begin() + 2 * n), c.white);
        EXPECT_EQ(dst[2 * n], 0xEE) << "nothing written past the area";
    }
}

TEST(X11ConvertArea, AreaOffsetsAndDoubledPixels) {
    // A 3 x 2 source (span 4); the area (1, 0)-(3, 2) doubled into 4 x 4 pixels.
    uint32_t src[8];
    for (int i = 0; i < 8; ++i) src[i] = Word(i, 0, 0, 255);
    const X11PixelFormat f = Format(24, 32, 0xFF0000, 0xFF00, 0xFF, false);
    std::vector<uint32_t> dst(4 * 5, 0xDEADBEEF); // stride 5 pixels
    X11ConvertArea(src, 4, 1, 0, 2, 2, 2, f, reinterpret_cast<uint8_t*>(dst.data()), 20);
    const uint32_t expected[4][5] = {
        {0x10000, 0x10000, 0x20000, 0x20000, 0xDEADBEEF},
        {0x10000, 0x10000, 0x20000, 0x20000, 0xDEADBEEF},
        {0x50000, 0x50000, 0x60000, 0x60000, 0xDEADBEEF},
        {0x50000, 0x50000, 0x60000, 0x60000, 0xDEADBEEF},
    };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(dst[y * 5 + x], expected[y][x]) << x << "," << y;
}

TEST(X11Settings, ResourceDpi) {
    const struct {
        const char* text;
        double dpi;
    } cases[] = {
        {"Xft.dpi:\t192\n", 192.0}, {"Xft.antialias:\t1\nXft.dpi: 96.5\nXft.hinting:\t1\n", 96.5},
        {"Xft.dpi:144", 144.0},     {"Xft.antialias:\t1\n", 0.0},
        {"Xft.dpi:\tlarge\n", 0.0}, {"Xft.dpi:\t-5\n", 0.0},
        {"*dpi:\t192\n", 0.0},      {"", 0.0},
    };
    for (const auto& c : cases) EXPECT_EQ(X11ResourceDpi(c.text, std::strlen(c.text)), c.dpi) << c.text;
}

// An XSETTINGS blob in either byte order.
class Blob {
public:
    explicit Blob(bool msb) : mMsb(msb) {
        mBytes = {static_cast<uint8_t>(msb ? 1 : 0), 0, 0, 0};
        Put32(7); // serial
        Put32(0); // count, patched by Count
    }
    void Int(const std::string& name, int32_t v) {
        Head(0, name);
        Put32(static_cast<uint32_t>(v));
        ++mCount;
    }
    void Str(const std::string& name, const std::string& v) {
        Head(1, name);
        Put32(static_cast<uint32_t>(v.size()));
        PutPadded(v);
        ++mCount;
    }
    void Color(const std::string& name) {
        Head(2, name);
        for (int i = 0; i < 8; ++i) mBytes.push_back(0x11);
        ++mCount;
    }
    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> b = mBytes;
        Write32(&b[8], mCount);
        return b;
    }

private:
    void Head(uint8_t type, const std::string& name) {
        mBytes.push_back(type);
        mBytes.push_back(0);
        const uint16_t n = static_cast<uint16_t>(name.size());
        if (mMsb) {
            mBytes.push_back(static_cast<uint8_t>(n >> 8));
            mBytes.push_back(static_cast<uint8_t>(n));
        } else {
            mBytes.push_back(static_cast<uint8_t>(n));
            mBytes.push_back(static_cast<uint8_t>(n >> 8));
        }
        PutPadded(name);
        Put32(3); // last-change serial
    }
    void PutPadded(const std::string& s) {
        mBytes.insert(mBytes.end(), s.begin(), s.end());
        while (mBytes.size() % 4) mBytes.push_back(0);
    }
    void Put32(uint32_t v) {
        mBytes.resize(mBytes.size() + 4);
        Write32(&mBytes[mBytes.size() - 4], v);
    }
    void Write32(uint8_t* p, uint32_t v) const {
        for (int i = 0; i < 4; ++i) p[mMsb ? 3 - i : i] = static_cast<uint8_t>(v >> (8 * i));
    }
    bool mMsb;
    uint32_t mCount = 0;
    std::vector<uint8_t> mBytes;
};

TEST(X11Settings, XSettingsInEitherByteOrder) {
    for (bool msb : {false, true}) {
        SCOPED_TRACE(msb ? "MSB" : "LSB");
        Blob b(msb);
        b.Str("Net/ThemeName", "Adwaita");
        b.Int("Net/DoubleClickTime", 250);
        b.Color("Gtk/Color");
        b.Int("Gdk/WindowScalingFactor", 2);
        b.Int("Xft/DPI", 98304);
        const std::vector<uint8_t> bytes = b.Bytes();
        X11XSettings xs;
        EXPECT_TRUE(X11ParseXSettings(bytes.data(), bytes.size(), &xs));
        EXPECT_EQ(xs.doubleClickMs, 250);
        EXPECT_EQ(xs.windowScalingFactor, 2);
        EXPECT_EQ(xs.xftDpi1024, 98304);
        // Every cut of the blob is refused or read partly, never read past its end.
        for (size_t n = 0; n < bytes.size(); ++n) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
            X11XSettings partial;
            EXPECT_FALSE(X11ParseXSettings(cut.data(), cut.size(), &partial)) << n;
        }
    }
    // An unknown type or byte order is malformed.
    Blob bad(false);
    std::vector<uint8_t> bytes = bad.Bytes();
    bytes[0] = 2;
    X11XSettings xs;
    EXPECT_FALSE(X11ParseXSettings(bytes.data(), bytes.size(), &xs));
}

TEST(X11Settings, ScaleChoice) {
    X11XSettings none, factor2, dpi192;
    factor2.windowScalingFactor = 2;
    dpi192.xftDpi1024 = 192 * 1024;
    const struct {
        const char* gdk;
        double dpi;
        X11XSettings xs;
        int scale;
    } cases[] = {
        {nullptr, 0, none, 1},    {"2", 0, none, 2},       {"3", 0, none, 2},       {"1", 192, none, 1},
        {"x", 192, none, 2},      {"", 96, factor2, 1},    {nullptr, 192, none, 2}, {nullptr, 191.9, none, 1},
        {nullptr, 0, factor2, 2}, {nullptr, 0, dpi192, 2}, {"2x", 0, none, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(X11ChooseScale(c.gdk, c.dpi, c.xs), c.scale) << (c.gdk ? c.gdk : "(unset)") << " " << c.dpi;
}

} // namespace
