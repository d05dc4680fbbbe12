#pragma once
// IWithReadout<Base>: a control (Base, an IControl) that shows its value in its units on a readout
// (IReadoutControl) while it is in use: while the pointer moves over it, while a button holds it (a drag
// goes on outside it too) and after a wheel step over it, until the pointer leaves. The button's release
// ends the use; the pointer's next move over the control starts it again. Every value change the
// readout shows at once; a value the host sets while the control is not in use shows nothing (host
// automation moves the control without popping its readout). Without units or a readout it behaves as
// Base.
//
// The editor routes mouse-over only when asked (IGraphics::HandleMouseOver); the effect's editor turns
// it on. Threads and ownership as any IControl; the readout belongs to the editor and is not owned.
#include "Graphics/IReadoutControl.h"
#include "framework/editor/IValueUnits.h"

template <class Base>
class IWithReadout : public Base {
public:
    using Base::Base;

    void SetReadout(IReadoutControl* pReadout) {
        mReadout = pReadout;
        UpdateReadout();
    }
    IReadoutControl* GetReadout() const { return mReadout; }
    // Whether the readout shows the value now.
    bool InUse() const { return mHovered || mHeld; }

    void OnMouseOver(int x, int y, IMouseMod* pMod) override {
        mHovered = true;
        Base::OnMouseOver(x, y, pMod);
        UpdateReadout();
    }
    void OnMouseOut() override {
        mHovered = false;
        Base::OnMouseOut();
        UpdateReadout();
    }
    void OnMouseDown(int x, int y, IMouseMod* pMod) override {
        mHovered = mHeld = true;
        Base::OnMouseDown(x, y, pMod);
        UpdateReadout();
    }
    void OnMouseUp(int x, int y, IMouseMod* pMod) override {
        Base::OnMouseUp(x, y, pMod);
        mHeld = mHovered = false;
        UpdateReadout();
    }
    void OnMouseWheel(int x, int y, IMouseMod* pMod, int d) override {
        mHovered = true;
        Base::OnMouseWheel(x, y, pMod, d);
        UpdateReadout();
    }
    // Every value change passes here (drag, wheel, double click, typed values, the host).
    void SetDirty(bool pushParamToPlug = true) override {
        Base::SetDirty(pushParamToPlug);
        UpdateReadout();
    }

protected:
    void UpdateReadout() {
        if (!mReadout) return;
        const IValueUnits* units = this->GetUnits();
        if (!InUse() || !units) {
            mReadout->Conceal();
            return;
        }
        char text[32];
        units->Format(this->GetValue(), text, sizeof text);
        mReadout->Show(text);
    }

private:
    IReadoutControl* mReadout = nullptr;
    bool mHovered = false;
    bool mHeld = false;
};
