#include "framework/platform/linux/X11Settings.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t kMaxPropertyWords = 1 << 16; // 256 KiB: far more than any settings text

// The bytes of a property of window (any type); empty when absent.
std::string ReadProperty(X11Connection* pConn, xcb_window_t window, xcb_atom_t property) {
    if (!property || !window) return std::string();
    xcb_connection_t* c = pConn->Get();
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxPropertyWords),
        nullptr);
    std::string out;
    if (reply && reply->format == 8 && reply->type != XCB_ATOM_NONE) {
        const char* v = static_cast<const char*>(xcb_get_property_value(reply));
        out.assign(v, static_cast<size_t>(xcb_get_property_value_length(reply)));
    } else if (reply && reply->format != 0) {
        const char* v = static_cast<const char*>(xcb_get_property_value(reply));
        out.assign(v, static_cast<size_t>(xcb_get_property_value_length(reply)) * (reply->format / 8));
    }
    std::free(reply);
    return out;
}

uint32_t Read32(const uint8_t* p, bool msb) {
    return msb ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
               : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}

uint16_t Read16(const uint8_t* p, bool msb) {
    return static_cast<uint16_t>(msb ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]));
}

size_t Pad4(size_t n) {
    return (n + 3) & ~size_t(3);
}

} // namespace

double X11ResourceDpi(const char* text, size_t len) {
    static const char kKey[] = "Xft.dpi:";
    const size_t keyLen = sizeof(kKey) - 1;
    size_t i = 0;
    while (i < len) {
        size_t end = i;
        while (end < len && text[end] != '\n') ++end;
        if (end - i > keyLen && std::memcmp(text + i, kKey, keyLen) == 0) {
            std::string value(text + i + keyLen, end - i - keyLen);
            const char* v = value.c_str();
            while (*v == ' ' || *v == '\t') ++v;
            char* stop = nullptr;
            double dpi = std::strtod(v, &stop);
            if (stop != v && dpi > 0.0 && dpi < 10000.0) return dpi;
            return 0.0;
        }
        i = end + 1;
    }
    return 0.0;
}

bool X11ParseXSettings(const uint8_t* data, size_t len, X11XSettings* out) {
    if (!data || len < 12) return false;
    const bool msb = data[0] == 1;
    if (data[0] > 1) return false;
    const uint32_t n = Read32(data + 8, msb);
    size_t pos = 12;
    for (uint32_t k = 0; k < n; ++k) {
        if (len - pos < 4) return false;
        const uint8_t type = data[pos];
        const size_t nameLen = Read16(data + pos + 2, msb);
        pos += 4;
        if (len - pos < Pad4(nameLen) + 4) return false;
        std::string name(reinterpret_cast<const char*>(data + pos), nameLen);
        pos += Pad4(nameLen) + 4; // name, then the last-change serial
        if (type == 0) {          // integer
            if (len - pos < 4) return false;
            const int32_t v = static_cast<int32_t>(Read32(data + pos, msb));
            pos += 4;
            if (name == "Net/DoubleClickTime")
                out->doubleClickMs = v;
            else if (name == "Gdk/WindowScalingFactor")
                out->windowScalingFactor = v;
            else if (name == "Xft/DPI")
                out->xftDpi1024 = v;
        } else if (type == 1) { // string
            if (len - pos < 4) return false;
            const size_t valueLen = Read32(data + pos, msb);
            pos += 4;
            if (valueLen > len - pos || Pad4(valueLen) > len - pos) return false;
            pos += Pad4(valueLen);
        } else if (type == 2) { // colour: four 16-bit channels
            if (len - pos < 8) return false;
            pos += 8;
        } else {
            return false;
        }
    }
    return true;
}

int X11ChooseScale(const char* gdkScale, double resourceDpi, const X11XSettings& xs) {
    if (gdkScale && gdkScale[0]) {
        char* stop = nullptr;
        long v = std::strtol(gdkScale, &stop, 10);
        if (stop != gdkScale && *stop == '\0') return v >= 2 ? 2 : 1;
    }
    if (resourceDpi > 0.0) return resourceDpi >= 192.0 ? 2 : 1;
    if (xs.windowScalingFactor >= 2) return 2;
    if (xs.xftDpi1024 >= 192 * 1024) return 2;
    return 1;
}

X11DesktopSettings X11ReadDesktopSettings(X11Connection* pConn) {
    X11DesktopSettings s;
    if (!pConn) return s;
    xcb_connection_t* c = pConn->Get();
    // The resource database lives on the first screen's root.
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(pConn->Setup());
    std::string resources =
        ReadProperty(pConn, it.rem ? it.data->root : pConn->Root(), pConn->A().RESOURCE_MANAGER);
    X11XSettings xs;
    if (pConn->A().XSETTINGS_SELECTION) {
        xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
            c, xcb_get_selection_owner(c, pConn->A().XSETTINGS_SELECTION), nullptr);
        if (owner && owner->owner) {
            // The manager may go away between the two requests: its window then has no property.
            std::string blob = ReadProperty(pConn, owner->owner, pConn->A()._XSETTINGS_SETTINGS);
            X11ParseXSettings(reinterpret_cast<const uint8_t*>(blob.data()), blob.size(), &xs);
        }
        std::free(owner);
    }
    s.scale =
        X11ChooseScale(std::getenv("GDK_SCALE"), X11ResourceDpi(resources.data(), resources.size()), xs);
    if (xs.doubleClickMs > 0 && xs.doubleClickMs <= 5000) s.doubleClickMs = xs.doubleClickMs;
    return s;
}
