#pragma once
// Raster_CachedFont: text through a glyph cache over a shim font.
//
// Each character is rendered once through the shim (white on black into a shared scratch bitmap,
// the red byte taken as coverage), stored as an 8-bit coverage image in the font's glyph cache and
// from then on blended into bitmaps with the font's colours, blend mode and alpha. Codes 0-127 are
// found by direct indexing, others by binary search in a list kept sorted by code. Fonts flagged
// RASTER_FONT_NATIVE hand whole strings to the shim when no glyph effect is needed.
//
// Ownership: the font owns its cache; it owns the shim font handle only with
// RASTER_FONT_OWNS_HANDLE. The scratch bitmaps are shared by every font in the process, created on
// first use and deleted with the last font. Threads: nothing here is locked; callers serialise every
// use of every font, creation and deletion included, since the scratch bitmaps are shared (the editor
// holds its font lock, framework/editor/EditorStores.h).

#include <cstdint>

#include "framework/raster/Raster_Font.h"
#include "framework/util/Util_HeapBuf.h"
#include "framework/util/Util_TypedBuf.h"

// One cached character. base: 0 = not rendered yet, -1 = rendered and empty, otherwise 1 + the
// byte offset of its width x height coverage image in the glyph cache.
struct Raster_GlyphRecord {
    int base;
    int width;
    int height;
    int advance;
    uint16_t charcode;
};

class Raster_CachedFont : public Raster_IFont {
public:
    Raster_CachedFont();
    ~Raster_CachedFont() override;
    Raster_CachedFont(const Raster_CachedFont&) = delete;
    Raster_CachedFont& operator=(const Raster_CachedFont&) = delete;

    void SetFromHFont(HGDIOBJ__* font, int flags = 0) override;
    uint32_t SetTextColor(uint32_t colour) override;
    uint32_t SetBkColor(uint32_t colour) override;
    uint32_t SetEffectColor(uint32_t colour) override;
    int SetBkMode(int mode) override;
    void SetCombineMode(int mode, float alpha = 1.0f) override;
    int DrawText(Raster_IBitmap* bm, const char* text, int count, RECT* rect, int flags) override;
    uint32_t GetTextColor() override { return mTextColor; }
    HGDIOBJ__* GetHFont() override { return mFont; }
    int GetLineHeight() override { return mLineHeight; }
    bool DrawGlyph(Raster_IBitmap* bm, unsigned short code, int x, int y, const RECT* clip) override;

    // Extra pixels added to the line height at each line feed (0 by default).
    void SetLineSpacingAdjust(int pixels) { mLineSpacingAdjust = pixels; }
    // Number of characters from 128 up that are cached (rendered or known to be empty).
    int GetExtendedGlyphCount() const { return mExtended.GetSize(); }

    // Bitmaps whose Extended() answers this id with non-zero always get the glyph path.
    static constexpr int kExtendedForceGlyphs = 0x59555678;

private:
    // The record of a character, rendered on demand; null when it cannot be rendered.
    const Raster_GlyphRecord* FindChar(int code);
    void RenderGlyph(int code);
    bool UseNative(int flags) const;
    int DrawTextNative(Raster_IBitmap* bm, const char* text, int count, RECT* rect, int flags);
    void Measure(const char* text, int count, int flags, int* width, int* height);
    bool DrawRecord(Raster_IBitmap* bm, const Raster_GlyphRecord* rec, int64_t x, int64_t y,
                    const RECT& clip);
    static bool PrepareTempBitmap(int w, int h);

    uint32_t mTextColor = 0;
    uint32_t mBkColor = 0xFFFFFFFF;
    uint32_t mEffectColor = 0xFFFFFFFF;
    int mBkMode = 0;
    int mCombineMode = 0;
    float mAlpha = 1.0f;
    int mFlags = 0;
    int mLineHeight = 0;
    int mLineSpacingAdjust = 0;
    Raster_GlyphRecord mAscii[128] = {};
    Util_TypedBuf<Raster_GlyphRecord> mExtended;
    Util_HeapBuf mCache{65536};
    HGDIOBJ__* mFont = nullptr;

    static Raster_SysBitmap* s_tempbitmap;
    static Raster_SysBitmap* s_nativerender_tempbitmap;
    static int s_tempbitmap_refcnt;
};
