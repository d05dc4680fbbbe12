#pragma once
// X11Pointer: how pointer events of the editor's X window become editor coordinates, modifiers and
// click counts.
//
// Coordinates keep the editor's long-standing offsets. A window pixel (x, y) (origin top left, scale s)
// is taken at its centre as a point of a view whose origin is at the bottom left, in editor units:
// px = (x + 0.5) / s, py = H - (y + 0.5) / s. The editor receives ((int)px - 2, H - (int)py - 3), each
// truncated toward zero. In window pixels at scale 1 that is (x - 2, y - 2): the point (100.7, 50.2) of
// a 306-pixel-high view lies in window pixel (100, 255) and reaches the editor as (98, 253).
//
// Modifiers (IMouseMod: left, right, shift, control, alt): left for left-button, motion and wheel
// events; right for right-button events and whenever Super is held (Super plays the Command key: a
// Super-click acts as a right click); shift, control and alt from the state.
//
// Double clicks: a press of the same button within the desktop's double-click time and 4 window pixels
// of the previous press counts one more; the editor sees a double click from the second press on.
// Plain values; used under the editor's lock.
#include <cstdint>

#include "framework/editor/IMouseMod.h"

void X11EditorPoint(int wx, int wy, int scale, int editorHeight, int* pX, int* pY);
// state: the X modifier state of the event; rightEvent: a right-button press, release or drag.
IMouseMod X11MouseMod(uint16_t state, bool rightEvent, uint16_t superMask, uint16_t altMask);

class X11ClickCounter {
public:
    // The click count of a press (1 for a single click). time: the server's millisecond timestamp.
    int Press(int button, int x, int y, uint32_t time, int doubleClickMs);
    void Reset() { mCount = 0; }

private:
    int mButton = 0, mX = 0, mY = 0, mCount = 0;
    uint32_t mTime = 0;
};
