#include "tests/support/x11/X11TestDisplay.h"

#include <xcb/xtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

X11TestDisplay::X11TestDisplay() {
    int screen = 0;
    mConn = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(mConn)) return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(mConn));
    for (int i = 0; i < screen; ++i) xcb_screen_next(&it);
    mScreen = it.data;
    for (xcb_depth_iterator_t d = xcb_screen_allowed_depths_iterator(mScreen); d.rem; xcb_depth_next(&d))
        for (xcb_visualtype_iterator_t v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
            if (v.data->visual_id == mScreen->root_visual) {
                mRedMask = v.data->red_mask;
                mGreenMask = v.data->green_mask;
                mBlueMask = v.data->blue_mask;
            }
}

X11TestDisplay::~X11TestDisplay() {
    if (mConn) xcb_disconnect(mConn);
}

void X11TestDisplay::Sync() {
    std::free(xcb_get_input_focus_reply(mConn, xcb_get_input_focus(mConn), nullptr));
}

xcb_window_t X11TestDisplay::MakeParent(int x, int y, int w, int h) {
    const xcb_window_t win = xcb_generate_id(mConn);
    const uint32_t values[] = {mScreen->black_pixel, 0};
    xcb_create_window(mConn, XCB_COPY_FROM_PARENT, win, mScreen->root, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), static_cast<uint16_t>(w), static_cast<uint16_t>(h), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, mScreen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    Map(win);
    return win;
}

void X11TestDisplay::Destroy(xcb_window_t w) {
    xcb_destroy_window(mConn, w);
    Sync();
}

void X11TestDisplay::Map(xcb_window_t w) {
    xcb_map_window(mConn, w);
    Sync(); // without a window manager the map is done once the request is processed
}

void X11TestDisplay::Unmap(xcb_window_t w) {
    xcb_unmap_window(mConn, w);
    Sync();
}

void X11TestDisplay::MoveTo(int x, int y) {
    xcb_test_fake_input(mConn, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, mScreen->root, static_cast<int16_t>(x),
                        static_cast<int16_t>(y), 0);
    Sync();
}

void X11TestDisplay::Button(int button, bool press) {
    xcb_test_fake_input(mConn, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, static_cast<uint8_t>(button),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    Sync();
}

void X11TestDisplay::Click(int x, int y, int button) {
    MoveTo(x, y);
    Button(button, true);
    Button(button, false);
}

uint8_t X11TestDisplay::KeyCode(uint32_t keysym, bool* pShift) {
    const xcb_setup_t* setup = xcb_get_setup(mConn);
    const uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    xcb_get_keyboard_mapping_reply_t* r = xcb_get_keyboard_mapping_reply(
        mConn, xcb_get_keyboard_mapping(mConn, first, static_cast<uint8_t>(count)), nullptr);
    uint8_t code = 0;
    *pShift = false;
    if (r) {
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
        const int per = r->keysyms_per_keycode;
        for (int k = 0; k < count && !code; ++k)
            for (int col = 0; col < per && col < 2; ++col)
                if (syms[k * per + col] == keysym) {
                    code = static_cast<uint8_t>(first + k);
                    *pShift = col == 1;
                    break;
                }
    }
    std::free(r);
    return code;
}

void X11TestDisplay::Key(uint32_t keysym, bool press) {
    bool shift = false;
    const uint8_t code = KeyCode(keysym, &shift);
    if (!code) return;
    bool shiftDummy = false;
    const uint8_t shiftCode = KeyCode(0xffe1, &shiftDummy); // Shift_L
    if (shift && press)
        xcb_test_fake_input(mConn, XCB_KEY_PRESS, shiftCode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(mConn, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0,
                        0, 0);
    if (shift && !press)
        xcb_test_fake_input(mConn, XCB_KEY_RELEASE, shiftCode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    Sync();
}

void X11TestDisplay::Tap(uint32_t keysym) {
    Key(keysym, true);
    Key(keysym, false);
}

void X11TestDisplay::AskToClose(xcb_window_t w) {
    xcb_client_message_event_t e{};
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = w;
    e.type = Atom("WM_PROTOCOLS");
    e.data.data32[0] = Atom("WM_DELETE_WINDOW");
    e.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(mConn, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
    Sync();
}

std::vector<uint32_t> X11TestDisplay::Image(xcb_window_t w, int x, int y, int width, int height) {
    std::vector<uint32_t> out;
    xcb_get_image_reply_t* r = xcb_get_image_reply(
        mConn,
        xcb_get_image(mConn, XCB_IMAGE_FORMAT_Z_PIXMAP, w, static_cast<int16_t>(x), static_cast<int16_t>(y),
                      static_cast<uint16_t>(width), static_cast<uint16_t>(height), ~0u),
        nullptr);
    if (!r) return out;
    const uint8_t* data = xcb_get_image_data(r);
    const int len = xcb_get_image_data_length(r);
    const int bytesPerPixel = len / (width * height) >= 4 ? 4 : 2;
    // Rows are padded to 32 bits.
    const int stride = ((width * bytesPerPixel + 3) / 4) * 4;
    out.resize(static_cast<size_t>(width) * height);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            const uint8_t* p =
                data + static_cast<size_t>(j) * stride + static_cast<size_t>(i) * bytesPerPixel;
            uint32_t v = 0;
            std::memcpy(&v, p, static_cast<size_t>(bytesPerPixel));
            out[static_cast<size_t>(j) * width + i] = v;
        }
    std::free(r);
    return out;
}

namespace {

int Bits(uint32_t m) {
    return __builtin_popcount(m);
}

// The visual's value for an editor pixel word: each channel's top bits at its mask.
uint32_t Expected(uint32_t word, const X11TestDisplay& d) {
    const uint32_t ch[3] = {(word >> 8) & 0xFF, (word >> 16) & 0xFF, word >> 24};
    const uint32_t masks[3] = {d.RedMask(), d.GreenMask(), d.BlueMask()};
    uint32_t v = 0;
    for (int i = 0; i < 3; ++i) v |= (ch[i] >> (8 - Bits(masks[i]))) << __builtin_ctz(masks[i]);
    return v;
}

} // namespace

std::string X11TestDisplay::CompareWithBitmap(xcb_window_t w, const uint32_t* bits, int rowSpan, int width,
                                              int height, int scale) {
    const int s = scale, W = width * s, H = height * s;
    const std::vector<uint32_t> img = Image(w, 0, 0, W, H);
    if (img.size() != static_cast<size_t>(W) * H) return "no picture read back";
    const uint32_t mask = mRedMask | mGreenMask | mBlueMask;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const uint32_t want = Expected(bits[(y / s) * rowSpan + x / s], *this);
            const uint32_t got = img[static_cast<size_t>(y) * W + x] & mask;
            if (got != want) {
                char buf[96];
                std::snprintf(buf, sizeof(buf), "pixel (%d, %d): screen %06x, bitmap %06x", x, y, got, want);
                return buf;
            }
        }
    return "";
}

void X11TestDisplay::RootPosition(xcb_window_t w, int* pX, int* pY) {
    xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
        mConn, xcb_translate_coordinates(mConn, w, mScreen->root, 0, 0), nullptr);
    *pX = t ? t->dst_x : 0;
    *pY = t ? t->dst_y : 0;
    std::free(t);
}

int X11TestDisplay::CountDescendants(xcb_window_t w) {
    xcb_query_tree_reply_t* t = xcb_query_tree_reply(mConn, xcb_query_tree(mConn, w), nullptr);
    if (!t) return 0;
    const xcb_window_t* children = xcb_query_tree_children(t);
    const int n = xcb_query_tree_children_length(t);
    int total = n;
    for (int i = 0; i < n; ++i) total += CountDescendants(children[i]);
    std::free(t);
    return total;
}

namespace {

struct TopLevel {
    xcb_window_t window;
    bool overrideRedirect;
};

std::vector<TopLevel> MappedTopLevels(xcb_connection_t* c, xcb_window_t root) {
    std::vector<TopLevel> out;
    xcb_query_tree_reply_t* t = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!t) return out;
    const xcb_window_t* children = xcb_query_tree_children(t);
    for (int i = 0; i < xcb_query_tree_children_length(t); ++i) {
        xcb_get_window_attributes_reply_t* a =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
        if (a && a->map_state == XCB_MAP_STATE_VIEWABLE)
            out.push_back({children[i], a->override_redirect != 0});
        std::free(a);
    }
    std::free(t);
    return out;
}

} // namespace

std::vector<xcb_window_t> X11TestDisplay::PopupWindows() {
    std::vector<xcb_window_t> out;
    for (const TopLevel& t : MappedTopLevels(mConn, mScreen->root))
        if (t.overrideRedirect) out.push_back(t.window);
    return out;
}

std::vector<xcb_window_t> X11TestDisplay::DialogWindows(const std::vector<xcb_window_t>& except) {
    std::vector<xcb_window_t> out;
    for (const TopLevel& t : MappedTopLevels(mConn, mScreen->root)) {
        bool skip = t.overrideRedirect;
        for (xcb_window_t e : except) skip = skip || e == t.window;
        if (!skip) out.push_back(t.window);
    }
    return out;
}

bool X11TestDisplay::Exists(xcb_window_t w) {
    xcb_get_window_attributes_reply_t* a =
        xcb_get_window_attributes_reply(mConn, xcb_get_window_attributes(mConn, w), nullptr);
    const bool ok = a != nullptr;
    std::free(a);
    return ok;
}

xcb_window_t X11TestDisplay::Focus() {
    xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(mConn, xcb_get_input_focus(mConn), nullptr);
    const xcb_window_t f = r ? r->focus : 0;
    std::free(r);
    return f;
}

xcb_atom_t X11TestDisplay::Atom(const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        mConn, xcb_intern_atom(mConn, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : 0;
    std::free(r);
    return a;
}

std::string X11TestDisplay::Property(xcb_window_t w, const char* name) {
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        mConn, xcb_get_property(mConn, 0, w, Atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16), nullptr);
    std::string out;
    if (r && r->format == 8)
        out.assign(static_cast<const char*>(xcb_get_property_value(r)),
                   static_cast<size_t>(xcb_get_property_value_length(r)));
    std::free(r);
    return out;
}

void X11TestDisplay::SetRootProperty(const char* name, const std::string& value) {
    xcb_change_property(mConn, XCB_PROP_MODE_REPLACE, mScreen->root, Atom(name), XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(value.size()), value.data());
    Sync();
}

void X11TestDisplay::DeleteRootProperty(const char* name) {
    xcb_delete_property(mConn, mScreen->root, Atom(name));
    Sync();
}
