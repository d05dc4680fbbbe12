#pragma once
// Text drawn from a bitmap font: a strip whose frame k (1-based) holds the character with code k + 31
// (frame 1 is the space), every character charWidth x charHeight pixels, charOffset pixels apart. Used
// by IBitmapTextControl while the editor draws (editor's thread).
#include "framework/editor/IBitmap.h"
#include "framework/editor/IChannelBlend.h"
#include "framework/editor/IRECT.h"
#include "framework/editor/IText.h"

class IGraphics;

// Draws str into *pTextRect aligned by the style's alignment (and vertically centred with vCenter); with
// multiLine, text wider than the rectangle wraps onto further lines, otherwise what does not fit is not
// drawn. Nothing for a null or empty string, a null argument or a rectangle narrower than one character.
void DrawBitmapedText(IGraphics* pGraphics, IBitmap* pTextBitmap, IRECT* pTextRect, IText* pText,
                      const IChannelBlend* pBlend, const char* str, bool vCenter = true,
                      bool multiline = false, int charWidth = 6, int charHeight = 12, int charOffset = 0);
