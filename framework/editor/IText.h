#pragma once
// IText: a text style: font name, size, colour, the colours of a text-entry field, style, alignment,
// orientation, rendering quality, and the cached font the font store made for it. The cached font belongs
// to the font store (IGraphics::CacheFont fills it in); the style never frees it. The store drops its
// fonts when the last editor of the process goes: the generation number lets the editor notice a cached
// pointer from before that and look the font up again. A plain value type; copies share the cached font.
#include "framework/editor/IColor.h"

class Raster_CachedFont;

constexpr int kMaxFontNameLen = 32;
// The face name a style gets when none is given.
inline constexpr const char* kDefaultFontName = "Monaco";

struct IText {
    enum EStyle : int { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
    enum EAlign : int { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
    enum EQuality : int {
        kQualityDefault = 0,
        kQualityNonAntiAliased = 1,
        kQualityAntiAliased = 2,
        kQualityClearType = 3
    };

    char mFont[kMaxFontNameLen];
    int mSize;
    IColor mColor;
    IColor mTextEntryBGColor;
    IColor mTextEntryFGColor;
    EStyle mStyle;
    EAlign mAlign;
    int mOrientation; // degrees
    EQuality mQuality;
    Raster_CachedFont* mCached = nullptr;
    unsigned mCachedGeneration = 0; // the font store's generation mCached belongs to

    // Null colours take DEFAULT_TEXT_COLOR, DEFAULT_TEXT_ENTRY_BGCOLOR and DEFAULT_TEXT_ENTRY_FGCOLOR; a null
    // or empty font name takes kDefaultFontName. Names are cut to 31 characters.
    explicit IText(int size = 10, const IColor* pColor = nullptr, const char* font = nullptr,
                   EStyle style = kStyleNormal, EAlign align = kAlignCenter, int orientation = 0,
                   EQuality quality = kQualityDefault, const IColor* pTEBGColor = nullptr,
                   const IColor* pTEFGColor = nullptr);
    // Size 10 and every other default, in the given colour.
    explicit IText(const IColor* pColor);

    // Replaces the font name (null or empty: the default) and forgets the cached font.
    void SetFont(const char* font);
};
