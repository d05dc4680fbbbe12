#pragma once
// X11Keys: keys for the editor and for its text field, from X key events and from keys the host forwards
// (effEditKeyDown / effEditKeyUp).
//
// Editor key codes (IControl::OnKeyDown): 0 space, 1 up, 2 down, 3 left, 4 right, 5-14 digits 0-9, 15-40
// letters A-Z (either case). They are taken from the key's symbol without Shift, Control, Alt or Super
// (Num Lock still chooses between keypad digits and keypad arrows); every other key is unmapped (-1) and
// left to the host.
//
// X11KeyMap holds the server's keyboard and modifier mapping (read once per connection) and turns a key
// code and modifier state into a key symbol by the core protocol's rules (groups by Mode_switch, Shift,
// Caps Lock, Num Lock on the keypad). Plain data after Load; used under the editor's lock.
#include <cstdint>
#include <vector>

#include "framework/editor/IMouseMod.h"
#include "framework/platform/linux/X11Connection.h"

// Key symbols we name (the core protocol's values).
enum X11KeySym : uint32_t {
    kXK_BackSpace = 0xff08,
    kXK_Tab = 0xff09,
    kXK_Return = 0xff0d,
    kXK_Escape = 0xff1b,
    kXK_Home = 0xff50,
    kXK_Left = 0xff51,
    kXK_Up = 0xff52,
    kXK_Right = 0xff53,
    kXK_Down = 0xff54,
    kXK_End = 0xff57,
    kXK_KP_Enter = 0xff8d,
    kXK_KP_Home = 0xff95,
    kXK_KP_Left = 0xff96,
    kXK_KP_Up = 0xff97,
    kXK_KP_Right = 0xff98,
    kXK_KP_Down = 0xff99,
    kXK_KP_End = 0xff9c,
    kXK_KP_Delete = 0xff9f,
    kXK_KP_0 = 0xffb0,
    kXK_KP_9 = 0xffb9,
    kXK_Delete = 0xffff,
};

// The editor key code of a key symbol; -1 when unmapped.
int X11EditorKeyFromKeySym(uint32_t keysym);
// The editor key code of a forwarded key (character, VstVirtualKey); -1 when unmapped.
int X11EditorKeyFromVst(int character, int virtualKey);
// The modifiers of a forwarded key (VstModifierKey bits): shift, control (Command or Control), alt.
IMouseMod X11KeyModFromVst(int modifiers);
// The character a key symbol types (Unicode), 0 for none (function keys, modifiers...).
uint32_t X11KeySymToUnicode(uint32_t keysym);

// One key as the text field sees it.
struct TextKey {
    enum EAction : int {
        kNone,
        kChar,      // type mChar
        kBackspace, // delete before the caret (or the selection)
        kDelete,    // delete after the caret (or the selection)
        kLeft,
        kRight,
        kHome,
        kEnd,
        kCommit,    // Return, Enter, Tab
        kCancel,    // Escape
        kSelectAll, // Control+A
        kCopy,      // Control+C
        kCut,       // Control+X
        kPaste,     // Control+V
    };
    EAction mAction = kNone;
    uint32_t mChar = 0;
    bool mShift = false; // with Left/Right/Home/End: extend the selection
};

// A key symbol with the X modifier state (control: the Control mask is set).
TextKey X11TextKeyFromKeySym(uint32_t keysym, bool shift, bool control);
// A forwarded key (character, VstVirtualKey, VstModifierKey bits).
TextKey X11TextKeyFromVst(int character, int virtualKey, int modifiers);

class X11KeyMap {
public:
    // Reads the keyboard and modifier mappings; false when the server does not answer.
    bool Load(X11Connection* pConn);
    // The symbol of keycode with the modifier state (the core protocol's rules); 0 for none.
    uint32_t KeySym(uint8_t keycode, uint16_t state) const;
    // The symbol without any modifier but Num Lock: what editor key codes are taken from.
    uint32_t PlainKeySym(uint8_t keycode, uint16_t state) const {
        return KeySym(keycode, state & mNumLockMask);
    }

    // Modifier masks found in the mapping (the usual Mod1, Mod4, Mod2 when none is found).
    uint16_t AltMask() const { return mAltMask; }
    uint16_t SuperMask() const { return mSuperMask; }
    uint16_t NumLockMask() const { return mNumLockMask; }
    uint16_t ModeSwitchMask() const { return mModeSwitchMask; }

    // For tests: a mapping given directly (symbols per key code, from firstKeycode on).
    void Set(uint8_t firstKeycode, int symsPerCode, std::vector<uint32_t> syms, uint16_t numLockMask,
             uint16_t modeSwitchMask);

private:
    uint8_t mFirst = 0;
    int mPerCode = 0;
    std::vector<uint32_t> mSyms;
    uint16_t mAltMask = XCB_MOD_MASK_1, mSuperMask = XCB_MOD_MASK_4, mNumLockMask = XCB_MOD_MASK_2;
    uint16_t mModeSwitchMask = 0;
};
