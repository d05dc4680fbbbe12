#pragma once
// Test fixtures: PNG images encoded here with libpng from raw samples, and the pixel words the loader
// must produce for them, worked out from the samples by the conversion rules (not by the loader).
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct PngFixture {
    int width = 13;
    int height = 7;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    // Raw samples at the bit depth, channels per pixel as the colour type has them; row by row.
    std::vector<uint16_t> samples;
    std::vector<png_color> palette;
    bool hasTrns = false;
    std::vector<uint8_t> trnsAlpha;           // palette images
    uint16_t trnsGray = 0;                    // grey images
    uint16_t trnsR = 0, trnsG = 0, trnsB = 0; // RGB images

    int Channels() const {
        switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
            return 1;
        case PNG_COLOR_TYPE_PALETTE:
            return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        default:
            return 4;
        }
    }
    int MaxSample() const { return (1 << bitDepth) - 1; }

    // Fills the samples with a fixed pseudo-random pattern (and, with a transparency colour, makes every
    // fifth pixel that colour).
    void Fill(uint32_t seed) {
        samples.assign(static_cast<size_t>(width) * height * Channels(), 0);
        uint32_t s = seed;
        const int limit =
            colorType == PNG_COLOR_TYPE_PALETTE ? static_cast<int>(palette.size()) : MaxSample() + 1;
        for (auto& v : samples) {
            s = s * 1664525u + 1013904223u;
            v = static_cast<uint16_t>((s >> 8) % static_cast<uint32_t>(limit));
        }
        if (hasTrns && colorType != PNG_COLOR_TYPE_PALETTE) {
            for (int p = 0; p < width * height; p += 5) {
                if (colorType == PNG_COLOR_TYPE_GRAY) {
                    samples[p] = trnsGray;
                } else {
                    samples[p * 3] = trnsR, samples[p * 3 + 1] = trnsG, samples[p * 3 + 2] = trnsB;
                }
            }
        }
    }

    // The pixel word (alpha, red, green, blue from the low byte up) expected at (x, y).
    uint32_t Expected(int x, int y) const {
        const uint16_t* s = &samples[(static_cast<size_t>(y) * width + x) * Channels()];
        auto to8 = [&](uint16_t v) -> uint32_t {
            if (bitDepth == 16) return v >> 8;
            return static_cast<uint32_t>(v) * 255u / static_cast<uint32_t>(MaxSample());
        };
        uint32_t a = 255, r, g, b;
        switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
            r = g = b = to8(s[0]);
            if (hasTrns && s[0] == trnsGray) a = 0;
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            r = g = b = to8(s[0]);
            a = to8(s[1]);
            break;
        case PNG_COLOR_TYPE_RGB:
            r = to8(s[0]), g = to8(s[1]), b = to8(s[2]);
            if (hasTrns && s[0] == trnsR && s[1] == trnsG && s[2] == trnsB) a = 0;
            break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            r = to8(s[0]), g = to8(s[1]), b = to8(s[2]), a = to8(s[3]);
            break;
        default: // palette
            r = palette[s[0]].red, g = palette[s[0]].green, b = palette[s[0]].blue;
            if (hasTrns && s[0] < trnsAlpha.size()) a = trnsAlpha[s[0]];
            break;
        }
        return a | (r << 8) | (g << 16) | (b << 24);
    }

    // Encodes the fixture; empty on failure.
    std::vector<unsigned char> Encode() const {
        std::vector<unsigned char> out;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        std::vector<std::vector<png_byte>> rows(static_cast<size_t>(height));
        std::vector<png_bytep> rowPtrs(static_cast<size_t>(height));
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, &info);
            return {};
        }
        png_set_write_fn(
            png, &out,
            [](png_structp p, png_bytep data, png_size_t n) {
                auto* v = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(p));
                v->insert(v->end(), data, data + n);
            },
            nullptr);
        png_set_IHDR(png, info, width, height, bitDepth, colorType,
                     interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        if (colorType == PNG_COLOR_TYPE_PALETTE)
            png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        if (hasTrns) {
            png_color_16 c = {};
            c.gray = trnsGray, c.red = trnsR, c.green = trnsG, c.blue = trnsB;
            if (colorType == PNG_COLOR_TYPE_PALETTE)
                png_set_tRNS(png, info, trnsAlpha.data(), static_cast<int>(trnsAlpha.size()), nullptr);
            else
                png_set_tRNS(png, info, nullptr, 0, &c);
        }
        png_write_info(png, info);
        png_set_interlace_handling(png);
        // Pack the rows by hand: samples below 8 bits most significant first, 16 bits big-endian.
        const int perRow = width * Channels();
        for (int y = 0; y < height; ++y) {
            std::vector<png_byte>& row = rows[static_cast<size_t>(y)];
            row.assign(static_cast<size_t>((perRow * bitDepth + 7) / 8), 0);
            for (int i = 0; i < perRow; ++i) {
                const uint16_t v = samples[static_cast<size_t>(y) * perRow + i];
                if (bitDepth == 16) {
                    row[i * 2] = static_cast<png_byte>(v >> 8);
                    row[i * 2 + 1] = static_cast<png_byte>(v & 0xFF);
                } else if (bitDepth == 8) {
                    row[i] = static_cast<png_byte>(v);
                } else {
                    const int bit = i * bitDepth;
                    row[bit / 8] |= static_cast<png_byte>(v << (8 - bitDepth - bit % 8));
                }
            }
            rowPtrs[static_cast<size_t>(y)] = row.data();
        }
        png_write_image(png, rowPtrs.data());
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        return out;
    }
};

// Chunk walking over an encoded PNG.
struct PngChunk {
    size_t offset; // of the length field
    uint32_t length;
    std::string type;
};

inline uint32_t ReadBE32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline void WriteBE32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24), p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8), p[3] = static_cast<unsigned char>(v);
}

inline std::vector<PngChunk> Chunks(const std::vector<unsigned char>& png) {
    std::vector<PngChunk> chunks;
    size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const uint32_t len = ReadBE32(&png[pos]);
        chunks.push_back({pos, len, std::string(reinterpret_cast<const char*>(&png[pos + 4]), 4)});
        pos += 12 + len;
    }
    return chunks;
}

// Recomputes the CRC of the chunk whose length field is at offset.
inline void FixCrc(std::vector<unsigned char>* png, size_t offset) {
    const uint32_t len = ReadBE32(&(*png)[offset]);
    const uLong crc = crc32(0, &(*png)[offset + 4], len + 4);
    WriteBE32(&(*png)[offset + 8 + len], static_cast<uint32_t>(crc));
}
