#include "framework/platform/linux/X11Keys.h"

#include <cstdlib>

#include "framework/vst2/VstAbi.h"

namespace {

constexpr uint32_t kXK_space = 0x20;
constexpr uint32_t kXK_Num_Lock = 0xff7f;
constexpr uint32_t kXK_Mode_switch = 0xff7e;
constexpr uint32_t kXK_Meta_L = 0xffe7, kXK_Meta_R = 0xffe8, kXK_Alt_L = 0xffe9, kXK_Alt_R = 0xffea;
constexpr uint32_t kXK_Super_L = 0xffeb, kXK_Super_R = 0xffec;

int EditorKeyFromChar(uint32_t c) {
    if (c == ' ') return 0;
    if (c >= '0' && c <= '9') return 5 + static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'Z') return 15 + static_cast<int>(c - 'A');
    if (c >= 'a' && c <= 'z') return 15 + static_cast<int>(c - 'a');
    return -1;
}

bool IsKeypad(uint32_t sym) {
    return sym >= 0xff80 && sym <= 0xffbd;
}

// Latin-1 letters: the other case of a letter, or the symbol itself.
bool IsLower(uint32_t s) {
    return (s >= 'a' && s <= 'z') || (s >= 0xdf && s <= 0xfe && s != 0xf7 && s != 0xdf);
}
bool IsUpper(uint32_t s) {
    return (s >= 'A' && s <= 'Z') || (s >= 0xc0 && s <= 0xde && s != 0xd7);
}
uint32_t ToUpper(uint32_t s) {
    return IsLower(s) ? s - 0x20 : s;
}
uint32_t ToLower(uint32_t s) {
    return IsUpper(s) ? s + 0x20 : s;
}

} // namespace

int X11EditorKeyFromKeySym(uint32_t keysym) {
    switch (keysym) {
    case kXK_Up:
    case kXK_KP_Up:
        return 1;
    case kXK_Down:
    case kXK_KP_Down:
        return 2;
    case kXK_Left:
    case kXK_KP_Left:
        return 3;
    case kXK_Right:
    case kXK_KP_Right:
        return 4;
    default:
        break;
    }
    if (keysym >= kXK_KP_0 && keysym <= kXK_KP_9) return 5 + static_cast<int>(keysym - kXK_KP_0);
    if (keysym < 0x80) return EditorKeyFromChar(keysym);
    return -1;
}

int X11EditorKeyFromVst(int character, int virtualKey) {
    switch (virtualKey) {
    case VKEY_SPACE:
        return 0;
    case VKEY_UP:
        return 1;
    case VKEY_DOWN:
        return 2;
    case VKEY_LEFT:
        return 3;
    case VKEY_RIGHT:
        return 4;
    default:
        break;
    }
    if (virtualKey >= VKEY_NUMPAD0 && virtualKey <= VKEY_NUMPAD9) return 5 + (virtualKey - VKEY_NUMPAD0);
    if (virtualKey != 0) return -1;
    return character > 0 && character < 0x80 ? EditorKeyFromChar(static_cast<uint32_t>(character)) : -1;
}

uint32_t X11KeySymToUnicode(uint32_t keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff)) return keysym;
    if (keysym >= 0x01000100 && keysym <= 0x0110ffff) return keysym & 0x00ffffff;
    if (keysym >= kXK_KP_0 && keysym <= kXK_KP_9) return '0' + (keysym - kXK_KP_0);
    switch (keysym) {
    case 0xff80:
        return ' ';
    case 0xffaa:
        return '*';
    case 0xffab:
        return '+';
    case 0xffac:
        return ',';
    case 0xffad:
        return '-';
    case 0xffae:
        return '.';
    case 0xffaf:
        return '/';
    case 0xffbd:
        return '=';
    default:
        return 0;
    }
}

TextKey X11TextKeyFromKeySym(uint32_t keysym, bool shift, bool control) {
    TextKey k;
    k.mShift = shift;
    switch (keysym) {
    case kXK_BackSpace:
        k.mAction = TextKey::kBackspace;
        return k;
    case kXK_Delete:
    case kXK_KP_Delete:
        k.mAction = TextKey::kDelete;
        return k;
    case kXK_Left:
    case kXK_KP_Left:
        k.mAction = TextKey::kLeft;
        return k;
    case kXK_Right:
    case kXK_KP_Right:
        k.mAction = TextKey::kRight;
        return k;
    case kXK_Home:
    case kXK_KP_Home:
        k.mAction = TextKey::kHome;
        return k;
    case kXK_End:
    case kXK_KP_End:
        k.mAction = TextKey::kEnd;
        return k;
    case kXK_Return:
    case kXK_KP_Enter:
    case kXK_Tab:
        k.mAction = TextKey::kCommit;
        return k;
    case kXK_Escape:
        k.mAction = TextKey::kCancel;
        return k;
    default:
        break;
    }
    if (control) {
        switch (keysym | 0x20) { // either case of the letter
        case 'a':
            k.mAction = TextKey::kSelectAll;
            return k;
        case 'c':
            k.mAction = TextKey::kCopy;
            return k;
        case 'x':
            k.mAction = TextKey::kCut;
            return k;
        case 'v':
            k.mAction = TextKey::kPaste;
            return k;
        default:
            return k;
        }
    }
    if (uint32_t c = X11KeySymToUnicode(keysym)) {
        k.mAction = TextKey::kChar;
        k.mChar = c;
    }
    return k;
}

IMouseMod X11KeyModFromVst(int modifiers) {
    return IMouseMod(false, false, (modifiers & MODIFIER_SHIFT) != 0,
                     (modifiers & (MODIFIER_COMMAND | MODIFIER_CONTROL)) != 0,
                     (modifiers & MODIFIER_ALTERNATE) != 0);
}

TextKey X11TextKeyFromVst(int character, int virtualKey, int modifiers) {
    const bool shift = (modifiers & MODIFIER_SHIFT) != 0;
    const bool control = (modifiers & (MODIFIER_COMMAND | MODIFIER_CONTROL)) != 0;
    switch (virtualKey) {
    case VKEY_BACK:
        return X11TextKeyFromKeySym(kXK_BackSpace, shift, false);
    case VKEY_DELETE:
        return X11TextKeyFromKeySym(kXK_Delete, shift, false);
    case VKEY_LEFT:
        return X11TextKeyFromKeySym(kXK_Left, shift, false);
    case VKEY_RIGHT:
        return X11TextKeyFromKeySym(kXK_Right, shift, false);
    case VKEY_HOME:
        return X11TextKeyFromKeySym(kXK_Home, shift, false);
    case VKEY_END:
        return X11TextKeyFromKeySym(kXK_End, shift, false);
    case VKEY_RETURN:
    case VKEY_ENTER:
    case VKEY_TAB:
        return X11TextKeyFromKeySym(kXK_Return, shift, false);
    case VKEY_ESCAPE:
        return X11TextKeyFromKeySym(kXK_Escape, shift, false);
    case VKEY_SPACE:
        return X11TextKeyFromKeySym(kXK_space, shift, control);
    case VKEY_MULTIPLY:
        return X11TextKeyFromKeySym(0xffaa, shift, false);
    case VKEY_ADD:
        return X11TextKeyFromKeySym(0xffab, shift, false);
    case VKEY_SUBTRACT:
        return X11TextKeyFromKeySym(0xffad, shift, false);
    case VKEY_DECIMAL:
        return X11TextKeyFromKeySym(0xffae, shift, false);
    case VKEY_DIVIDE:
        return X11TextKeyFromKeySym(0xffaf, shift, false);
    default:
        break;
    }
    if (virtualKey >= VKEY_NUMPAD0 && virtualKey <= VKEY_NUMPAD9)
        return X11TextKeyFromKeySym(kXK_KP_0 + static_cast<uint32_t>(virtualKey - VKEY_NUMPAD0), shift,
                                    false);
    if (virtualKey != 0 || character <= 0 || character > 0xff) return TextKey();
    return X11TextKeyFromKeySym(static_cast<uint32_t>(character), shift, control);
}

bool X11KeyMap::Load(X11Connection* pConn) {
    xcb_connection_t* c = pConn->Get();
    const xcb_setup_t* setup = pConn->Setup();
    const uint8_t first = setup->min_keycode;
    const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    xcb_get_keyboard_mapping_cookie_t kc = xcb_get_keyboard_mapping(c, first, count);
    xcb_get_modifier_mapping_cookie_t mc = xcb_get_modifier_mapping(c);
    xcb_get_keyboard_mapping_reply_t* kr = xcb_get_keyboard_mapping_reply(c, kc, nullptr);
    xcb_get_modifier_mapping_reply_t* mr = xcb_get_modifier_mapping_reply(c, mc, nullptr);
    bool ok = kr && mr;
    if (kr) {
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(kr);
        const int n = xcb_get_keyboard_mapping_keysyms_length(kr);
        mFirst = first;
        mPerCode = kr->keysyms_per_keycode;
        mSyms.assign(syms, syms + n);
    }
    if (ok) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mr);
        const int per = mr->keycodes_per_modifier;
        uint16_t alt = 0, super = 0, numLock = 0, modeSwitch = 0;
        // Rows 3..7 are Mod1..Mod5; look for the keys that carry each modifier.
        for (int row = 3; row < 8; ++row) {
            const uint16_t mask = static_cast<uint16_t>(1u << row);
            for (int i = 0; i < per; ++i) {
                const xcb_keycode_t code = codes[row * per + i];
                if (!code || code < mFirst || mPerCode <= 0) continue;
                for (int col = 0; col < mPerCode; ++col) {
                    size_t idx = static_cast<size_t>(code - mFirst) * mPerCode + col;
                    if (idx >= mSyms.size()) break;
                    const uint32_t s = mSyms[idx];
                    if (s == kXK_Alt_L || s == kXK_Alt_R || s == kXK_Meta_L || s == kXK_Meta_R) alt |= mask;
                    if (s == kXK_Super_L || s == kXK_Super_R) super |= mask;
                    if (s == kXK_Num_Lock) numLock |= mask;
                    if (s == kXK_Mode_switch) modeSwitch |= mask;
                }
            }
        }
        if (alt) mAltMask = alt & static_cast<uint16_t>(~super);
        if (super) mSuperMask = super;
        if (numLock) mNumLockMask = numLock;
        mModeSwitchMask = modeSwitch;
    }
    std::free(kr);
    std::free(mr);
    return ok;
}

void X11KeyMap::Set(uint8_t firstKeycode, int symsPerCode, std::vector<uint32_t> syms, uint16_t numLockMask,
                    uint16_t modeSwitchMask) {
    mFirst = firstKeycode;
    mPerCode = symsPerCode;
    mSyms = std::move(syms);
    mNumLockMask = numLockMask;
    mModeSwitchMask = modeSwitchMask;
}

uint32_t X11KeyMap::KeySym(uint8_t keycode, uint16_t state) const {
    if (mPerCode <= 0 || keycode < mFirst) return 0;
    const size_t base = static_cast<size_t>(keycode - mFirst) * mPerCode;
    if (base + mPerCode > mSyms.size()) return 0;
    auto col = [&](int i) -> uint32_t { return i < mPerCode ? mSyms[base + i] : 0; };
    // The group: the second pair of columns while Mode_switch is down (when the key has one).
    uint32_t g0 = col(0), g1 = col(1);
    if ((state & mModeSwitchMask) && (col(2) || col(3))) {
        g0 = col(2);
        g1 = col(3);
    }
    if (!g1) {
        if (IsLower(g0) || IsUpper(g0)) {
            g1 = ToUpper(g0);
            g0 = ToLower(g0);
        } else {
            g1 = g0;
        }
    }
    const bool shift = (state & XCB_MOD_MASK_SHIFT) != 0;
    const bool capsLock = (state & XCB_MOD_MASK_LOCK) != 0;
    if ((state & mNumLockMask) && IsKeypad(g1)) return shift ? g0 : g1;
    if (!shift && !capsLock) return g0;
    if (!shift && capsLock) return ToUpper(g0);
    return capsLock ? ToUpper(g1) : g1;
}
