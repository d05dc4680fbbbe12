#pragma once
// X11Settings: what the desktop says about the screen's scale and the double-click time, read from the
// server when an editor window opens.
//
// Scale: GDK_SCALE, when set to a whole number, decides (2 or more doubles the picture, anything else
// does not); otherwise Xft.dpi of the root's RESOURCE_MANAGER property at 192 or more doubles it;
// otherwise the XSETTINGS manager's Gdk/WindowScalingFactor of 2 or more, or its Xft/DPI at 192 or
// more. Double-click time: the XSETTINGS Net/DoubleClickTime (milliseconds), 400 without a manager.
//
// The parsers are plain functions over the properties' bytes (the data comes from other clients and is
// read defensively); X11ReadDesktopSettings does the round trips. Any thread, under the caller's lock
// of the connection.
#include <cstddef>
#include <cstdint>

#include "framework/platform/linux/X11Connection.h"

struct X11DesktopSettings {
    int scale = 1;
    int doubleClickMs = 400;
};

// The values an XSETTINGS manager announces (0 when absent).
struct X11XSettings {
    int doubleClickMs = 0;
    int windowScalingFactor = 0;
    int xftDpi1024 = 0; // dots per inch times 1024
};

// The Xft.dpi value of a resource-manager text; 0 when absent or not a number.
double X11ResourceDpi(const char* text, size_t len);
// Parses an _XSETTINGS_SETTINGS property; false when the data is malformed (out stays partly filled).
bool X11ParseXSettings(const uint8_t* data, size_t len, X11XSettings* out);
// The scale from the three sources (gdkScale: the variable's text or null; dpi 0: none).
int X11ChooseScale(const char* gdkScale, double resourceDpi, const X11XSettings& xs);
// Reads RESOURCE_MANAGER and the XSETTINGS of the connection's screen, and $GDK_SCALE.
X11DesktopSettings X11ReadDesktopSettings(X11Connection* pConn);
