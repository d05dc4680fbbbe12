#include "framework/editor/IBitmapMonoText.h"

#include <climits>
#include <cstring>

#include "framework/editor/IGraphics.h"

void DrawBitmapedText(IGraphics* pGraphics, IBitmap* pTextBitmap, IRECT* pTextRect, IText* pText,
                      const IChannelBlend* pBlend, const char* str, bool vCenter, bool multiline,
                      int charWidth, int charHeight, int charOffset) {
    if (!pGraphics || !pTextBitmap || !pTextRect || !str || !str[0]) return;
    const IRECT& r = *pTextRect;
    const int rectW = r.R - r.L;
    if (rectW <= 0 || charWidth <= 0) return;

    int y = r.T;
    if (vCenter) y += (r.B - charHeight - r.T) / 2;

    const long long length = static_cast<long long>(std::strlen(str));
    const long long wide = static_cast<long long>(charWidth) * length;
    const int width = wide > INT_MAX / 2 ? INT_MAX / 2 : static_cast<int>(wide);
    int startX = r.L;
    const IText::EAlign align = pText ? pText->mAlign : IText::kAlignCenter;
    if (align == IText::kAlignFar)
        startX = r.R - width;
    else if (align == IText::kAlignCenter)
        startX = r.L + (r.R - width - r.L) / 2;

    int lines = 1;
    long long perLine = rectW / charWidth;
    if (multiline) {
        if (rectW < width)
            lines = width / rectW + 1;
        else
            perLine = length;
    }

    long long idx = 0;
    for (int g = 0; g < lines; ++g) {
        int x = startX;
        for (long long k = 0; k < perLine; ++k) {
            if (idx >= length) return;
            const int frame = static_cast<unsigned char>(str[idx++]) - 31;
            IRECT charRect(x, y + charHeight * g, x + charWidth, y + charHeight * (g + 1));
            pGraphics->DrawBitmap(pTextBitmap, &charRect, frame, pBlend);
            x += charWidth + charOffset;
        }
    }
}
