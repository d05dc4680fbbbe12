#pragma once
// IMouseMod: the buttons and modifier keys of one mouse event, as the window host reports them: left
// button, right button, shift, control, alt. A plain value type.

struct IMouseMod {
    bool L = false, R = false, S = false, C = false, A = false;

    constexpr IMouseMod() = default;
    constexpr IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false)
        : L(l), R(r), S(s), C(c), A(a) {}
};
