#include "framework/editor/IText.h"

#include <cstring>

IText::IText(int size, const IColor* pColor, const char* font, EStyle style, EAlign align, int orientation,
             EQuality quality, const IColor* pTEBGColor, const IColor* pTEFGColor)
    : mSize(size), mColor(pColor ? *pColor : DEFAULT_TEXT_COLOR),
      mTextEntryBGColor(pTEBGColor ? *pTEBGColor : DEFAULT_TEXT_ENTRY_BGCOLOR),
      mTextEntryFGColor(pTEFGColor ? *pTEFGColor : DEFAULT_TEXT_ENTRY_FGCOLOR), mStyle(style), mAlign(align),
      mOrientation(orientation), mQuality(quality) {
    SetFont(font);
}

IText::IText(const IColor* pColor) : IText(10, pColor) {}

void IText::SetFont(const char* font) {
    if (!font || !font[0]) font = kDefaultFontName;
    size_t n = strnlen(font, kMaxFontNameLen - 1);
    std::memcpy(mFont, font, n);
    mFont[n] = '\0';
    mCached = nullptr;
    mCachedGeneration = 0;
}
