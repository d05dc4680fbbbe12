#include "framework/platform/linux/X11Pointer.h"

#include <xcb/xproto.h>

#include <cstdlib>

void X11EditorPoint(int wx, int wy, int scale, int editorHeight, int* pX, int* pY) {
    const double s = scale > 0 ? scale : 1;
    const double px = (wx + 0.5) / s;
    const double py = editorHeight - (wy + 0.5) / s;
    *pX = static_cast<int>(px) - 2;
    *pY = editorHeight - static_cast<int>(py) - 3;
}

IMouseMod X11MouseMod(uint16_t state, bool rightEvent, uint16_t superMask, uint16_t altMask) {
    const bool super = superMask && (state & superMask);
    return IMouseMod(!rightEvent, rightEvent || super, (state & XCB_MOD_MASK_SHIFT) != 0,
                     (state & XCB_MOD_MASK_CONTROL) != 0, altMask && (state & altMask));
}

int X11ClickCounter::Press(int button, int x, int y, uint32_t time, int doubleClickMs) {
    const bool again = mCount > 0 && button == mButton && std::abs(x - mX) <= 4 && std::abs(y - mY) <= 4 &&
                       static_cast<uint32_t>(time - mTime) <= static_cast<uint32_t>(doubleClickMs);
    mCount = again ? mCount + 1 : 1;
    mButton = button;
    mX = x;
    mY = y;
    mTime = time;
    return mCount;
}
