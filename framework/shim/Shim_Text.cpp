// Text metrics, measuring and drawing.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "framework/shim/Shim_Face.h"
#include "framework/shim/Shim_Gdi.h"
#include "framework/shim/Shim_Objects.h"

namespace {

constexpr int kMaxTextBytes = 4095;

// Copies the caller's text by the prefix, carriage-return and single-line rules.
int PrepareText(const char* text, int length, int flags, char* out) {
    int n = 0;
    bool literal = false;
    for (int i = 0; (length < 0 || i < length) && text[i] != '\0' && n < kMaxTextBytes; ++i) {
        char c = text[i];
        if (c == '\r') continue;
        if (!literal && c == '&' && !(flags & kShimDT_NoPrefix)) {
            literal = true; // the ampersand goes; the next character is taken as it is
            continue;
        }
        literal = false;
        if (c == '\n' && (flags & kShimDT_SingleLine)) c = ' ';
        out[n++] = c;
    }
    out[n] = '\0';
    return n;
}

// Decodes UTF-8; a byte that does not start a well-formed sequence stands for itself (0x80-0xFF).
void Decode(const char* text, int n, std::vector<uint32_t>* codes) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    codes->clear();
    int i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        int len = 1;
        uint32_t code = c;
        uint32_t min = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2, code = c & 0x1F, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3, code = c & 0x0F, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4, code = c & 0x07, min = 0x10000;
        }
        bool ok = len == 1 || i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                code = (code << 6) | (s[i + k] & 0x3F);
        }
        if (ok && len > 1 && (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)))
            ok = false;
        if (!ok) {
            len = 1;
            code = c;
        }
        codes->push_back(code);
        i += len;
    }
}

struct Line {
    int begin = 0, end = 0; // range of codes
    double width = 0;       // typographic width
};

bool IsControl(uint32_t code) {
    return code < 0x20 || code == 0x7F;
}

double Advance(Shim_Face* face, uint32_t code) {
    return IsControl(code) ? 0.0 : Shim_FaceAdvance(face, code);
}

// Blends a coverage image into the surface in the colour word, within the clip.
void BlendGlyph(Shim_Surface* s, const Shim_GlyphImage& g, int x0, int y0, const RECT& clip,
                uint32_t colour) {
    const int left = static_cast<int>(std::max<long long>(x0, clip.left));
    const int right = static_cast<int>(std::min<long long>(static_cast<long long>(x0) + g.width, clip.right));
    const int top = static_cast<int>(std::max<long long>(y0, clip.top));
    const int bottom =
        static_cast<int>(std::min<long long>(static_cast<long long>(y0) + g.height, clip.bottom));
    if (left >= right || top >= bottom) return; // wholly clipped: no offsets into the image
    const uint32_t tr = (colour >> 8) & 0xFF, tg = (colour >> 16) & 0xFF, tb = colour >> 24;
    for (int y = top; y < bottom; ++y) {
        const uint8_t* cov = g.coverage.data() + static_cast<size_t>(y - y0) * g.width + (left - x0);
        uint32_t* px = s->bits + static_cast<size_t>(y) * s->rowSpan;
        for (int x = left; x < right; ++x, ++cov) {
            const uint32_t c = *cov;
            if (c == 0) continue;
            const uint32_t d = px[x];
            if (c == 255) {
                px[x] = (d & 0xFF) | (colour & 0xFFFFFF00u);
                continue;
            }
            const uint32_t inv = 255 - c;
            const uint32_t r = (((d >> 8) & 0xFF) * inv + tr * c + 127) / 255;
            const uint32_t gg = (((d >> 16) & 0xFF) * inv + tg * c + 127) / 255;
            const uint32_t b = ((d >> 24) * inv + tb * c + 127) / 255;
            px[x] = (d & 0xFF) | (r << 8) | (gg << 16) | (b << 24);
        }
    }
}

void FillBox(Shim_Surface* s, long long l, long long t, long long r, long long b, const RECT& clip,
             uint32_t colour) {
    l = std::max<long long>(l, clip.left), r = std::min<long long>(r, clip.right);
    t = std::max<long long>(t, clip.top), b = std::min<long long>(b, clip.bottom);
    for (long long y = t; y < b; ++y) {
        uint32_t* px = s->bits + static_cast<size_t>(y) * s->rowSpan;
        for (long long x = l; x < r; ++x) px[x] = (px[x] & 0xFF) | (colour & 0xFFFFFF00u);
    }
}

int ClampToInt(long long v) {
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

uint32_t ColourWord(int colour) {
    const uint32_t c = static_cast<uint32_t>(colour);
    return 0xFFu | (((c >> 16) & 0xFF) << 8) | (((c >> 8) & 0xFF) << 16) | ((c & 0xFF) << 24);
}

} // namespace

int GetTextMetrics(HDC__* ctx, Shim_TextMetrics* metrics) {
    if (!metrics) return 0;
    metrics->height = 16;
    metrics->ascent = 12;
    metrics->descent = 4;
    metrics->internalLeading = 3;
    metrics->aveCharWidth = 10;
    if (!Shim_IsValidCtx(ctx)) return 0;
    Shim_Face* face = Shim_CtxFace(ctx);
    if (!face) return 1;
    Shim_FaceMetrics m;
    Shim_FaceGetMetrics(face, &m);
    metrics->ascent = static_cast<int>(m.ascent);
    metrics->descent = static_cast<int>(m.descent);
    metrics->internalLeading = static_cast<int>(m.leading);
    metrics->height = metrics->ascent + metrics->descent + metrics->internalLeading;
    metrics->aveCharWidth = metrics->height * 2 / 3;
    if (metrics->height != 0) ++metrics->height;
    return 1;
}

int GetTextFace(HDC__* ctx, int n, char* buffer) {
    if (!Shim_IsValidCtx(ctx) || !buffer || n <= 0) return 0;
    const char* name = Shim_FaceDisplayName(Shim_CtxFace(ctx));
    int len = static_cast<int>(std::strlen(name));
    if (len > n - 1) {
        len = n - 1;
        // Do not cut a character in two.
        while (len > 0 && (static_cast<unsigned char>(name[len]) & 0xC0) == 0x80) --len;
    }
    std::memcpy(buffer, name, static_cast<size_t>(len));
    buffer[len] = '\0';
    return len;
}

int Shim_DrawText(HDC__* ctx, const char* text, int length, RECT* rect, int flags) {
    if (!Shim_IsValidCtx(ctx) || !text || !rect) return 0;
    char buffer[kMaxTextBytes + 1];
    const int bytes = PrepareText(text, length, flags, buffer);
    if (bytes == 0) return 0;
    Shim_Face* face = Shim_CtxFace(ctx);
    if (!face) return 0;

    std::vector<uint32_t> codes;
    Decode(buffer, bytes, &codes);

    // Lines: the whole text, or one per line feed (a final line feed opens no new line).
    std::vector<Line> lines;
    Line line;
    for (int i = 0; i < static_cast<int>(codes.size()); ++i) {
        if (codes[i] == '\n') {
            line.end = i;
            lines.push_back(line);
            line = Line();
            line.begin = i + 1;
            continue;
        }
        line.width += Advance(face, codes[i]);
    }
    line.end = static_cast<int>(codes.size());
    if (line.end > line.begin || lines.empty()) lines.push_back(line);

    Shim_FaceMetrics m;
    Shim_FaceGetMetrics(face, &m);
    const int lineHeight = static_cast<int>(std::floor(m.ascent + m.descent + m.leading + 1.5));
    int width = 0;
    for (const Line& l : lines) width = std::max(width, static_cast<int>(std::floor(l.width + 0.5)));
    int height = lineHeight * static_cast<int>(lines.size());
    if (height != 0) ++height;

    if (flags & kShimDT_CalcRect) {
        rect->right = ClampToInt(static_cast<long long>(rect->left) + width);
        rect->bottom = ClampToInt(static_cast<long long>(rect->top) + height);
        return height;
    }

    // Positions are worked out in 64 bits: any rectangle is safe.
    const long long left = rect->left, top = rect->top, right = rect->right, bottom = rect->bottom;
    long long x = left, y = top;
    if (flags & kShimDT_Right)
        x = right - width;
    else if (flags & kShimDT_Center)
        x = left + (right - left) / 2 - width / 2;
    if (flags & kShimDT_Bottom)
        y = bottom - height;
    else if (flags & kShimDT_VCenter)
        y = top + (bottom - top) / 2 - height / 2;

    Shim_Surface* surface = ctx->gc;
    if (!surface || !surface->bits || surface->width <= 0 || surface->height <= 0) return height;
    RECT clip = {0, 0, surface->width, surface->height};
    if (!(flags & kShimDT_NoClip)) {
        clip.left = std::max(clip.left, rect->left);
        clip.top = std::max(clip.top, rect->top);
        clip.right = std::min(clip.right, rect->right);
        clip.bottom = std::min(clip.bottom, rect->bottom);
    }
    if (clip.left >= clip.right || clip.top >= clip.bottom) return height;

    const int quality = Shim_CtxQuality(ctx);
    const bool antialias = quality != kShimQualityNonAntialiased;
    const int ascent = static_cast<int>(std::floor(m.ascent + 0.5));
    // Every line's background box goes down first: a glyph that reaches past its own line's box into
    // the next one stays on top of that box.
    if (ctx->bkMode == kShimBkOpaque) {
        for (size_t i = 0; i < lines.size(); ++i) {
            const long long lineTop = y + static_cast<long long>(lineHeight) * static_cast<long long>(i);
            if (lineTop >= clip.bottom) break;
            FillBox(surface, x, lineTop, x + static_cast<long long>(std::floor(lines[i].width + 0.5)),
                    lineTop + lineHeight, clip, ColourWord(ctx->bkColour));
        }
    }
    Shim_GlyphImage glyph;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        const long long lineTop = y + static_cast<long long>(lineHeight) * static_cast<long long>(i);
        // Glyphs may reach past their line's box (tall accents, deep descenders): lines are skipped only
        // when even that reach, up to a line height, stays outside the clip.
        if (lineTop - lineHeight >= clip.bottom) break;
        if (lineTop + 2LL * lineHeight <= clip.top) continue;
        if (x - lineHeight >= clip.right) continue;
        const long long baselineAt = lineTop + ascent;
        if (baselineAt < INT_MIN / 2 || baselineAt > INT_MAX / 2) continue; // a surface no one can have
        const int baseline = static_cast<int>(baselineAt);
        double pen = static_cast<double>(x);
        for (int k = l.begin; k < l.end; ++k) {
            const uint32_t code = codes[static_cast<size_t>(k)];
            if (IsControl(code)) continue;
            if (pen - lineHeight >= clip.right) break;
            const double advance = Shim_FaceAdvance(face, code);
            if (pen + advance + lineHeight > clip.left && Shim_FaceRender(face, code, pen, antialias, &glyph))
                BlendGlyph(surface, glyph, glyph.left, baseline + glyph.top, clip, ctx->textWord);
            pen += advance;
        }
    }
    return height;
}
