// The editor's input: hit-testing, mouse capture, routing of mouse and key events, value prompts.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "framework/editor/IGraphics.h"
#include "framework/editor/IValueUnits.h"
#include "framework/plugin/IEffectBase.h"

// ---- Hit-testing ----

int IGraphics::HitControl(int x, int y, bool mouseOver) {
    for (int c = mControls.GetSize() - 1; c >= 0; --c) {
        IControl* control = mControls.Get(c);
        if (control->IsHidden()) continue;
        if (control->IsGrayed() && !(mouseOver && control->MouseOverWhenGrayed())) continue;
        if (control->IsHit(x, y)) return c;
    }
    return -1;
}

int IGraphics::CapturedOrHit(int x, int y, bool mouseOver) {
    if (mCaptureIdx >= 0 && mCaptureIdx < mControls.GetSize()) return mCaptureIdx;
    return HitControl(x, y, mouseOver);
}

int IGraphics::GetMouseControlIdx(int x, int y, bool mouseOver) {
    ApplyParamValuesFromPlug();
    return CapturedOrHit(x, y, mouseOver);
}

void IGraphics::ReleaseMouseCapture() {
    mCaptureIdx = -1;
    mMouseX = mMouseY = -1;
    // Released from outside our own button handling (the window closes, a new press comes after a
    // release we never saw): the captured control will not see its release, so its gesture ends here.
    // Inside it (a menu opened by the press), the handler ends the gesture once the control returns.
    if (mButtonDepth == 0) EndGesture();
}

// ---- Gestures ----

void IGraphics::BeginGesture(int paramIdx) {
    EndGesture();
    if (paramIdx < 0 || !mPlug) return;
    mGestureParamIdx = paramIdx;
    mPlug->BeginInformHostOfParamChange(paramIdx);
}

void IGraphics::EndGesture() {
    const int paramIdx = mGestureParamIdx;
    if (paramIdx < 0) return;
    // Forgotten first: a host calling back into us from the end-of-edit finds no gesture open.
    mGestureParamIdx = -1;
    if (mPlug) mPlug->EndInformHostOfParamChange(paramIdx);
}

void IGraphics::PressControl(int c, int x, int y, IMouseMod* pMod) {
    IControl* control = mControls.Get(c);
    mCaptureIdx = c;
    mMouseX = x;
    mMouseY = y;
    // A press that only opens the value prompt is no edit: what is typed there is a gesture of its own.
    if (control->PressEdits(pMod))
        BeginGesture(control->GetParamIdx());
    else
        EndGesture();
    ++mButtonDepth;
    control->OnMouseDown(x, y, pMod);
    --mButtonDepth;
    // The press opened a menu (which took the capture and the button's release with it): no release
    // will reach the control, so the gesture ends with the press, the menu's choice inside it.
    if (mCaptureIdx != c) EndGesture();
}

// ---- Mouse ----

void IGraphics::OnMouseDown(int x, int y, IMouseMod* pMod) {
    ApplyParamValuesFromPlug();
    ReleaseMouseCapture();
    const int c = HitControl(x, y, false);
    if (c == 0 && pMod && pMod->R && mLayout && mLayout->NSizes() > 1) {
        PromptSize(x, y);
        return;
    }
    if (c >= 0) PressControl(c, x, y, pMod);
}

void IGraphics::OnMouseUp(int x, int y, IMouseMod* pMod) {
    ApplyParamValuesFromPlug();
    const int c = CapturedOrHit(x, y, false);
    // The capture goes now, the gesture only after the control's own release (a contact control sends
    // its last value there).
    mCaptureIdx = -1;
    mMouseX = mMouseY = -1;
    if (IControl* control = mControls.Get(c)) {
        ++mButtonDepth;
        control->OnMouseUp(x, y, pMod);
        --mButtonDepth;
    }
    EndGesture();
}

void IGraphics::OnMouseDrag(int x, int y, IMouseMod* pMod) {
    ApplyParamValuesFromPlug();
    IControl* control = mControls.Get(mCaptureIdx);
    if (!control) return;
    if (x == mMouseX && y == mMouseY) return;
    const int dX = x - mMouseX, dY = y - mMouseY;
    mMouseX = x;
    mMouseY = y;
    control->OnMouseDrag(x, y, dX, dY, pMod);
}

bool IGraphics::OnMouseDblClick(int x, int y, IMouseMod* pMod) {
    ApplyParamValuesFromPlug();
    ReleaseMouseCapture();
    const int c = HitControl(x, y, false);
    if (c < 0) return false;
    IControl* control = mControls.Get(c);
    if (control->DblClickAsDown()) {
        PressControl(c, x, y, pMod);
        return true;
    }
    // The double click is an edit of its own (a knob returns to its default): one gesture around it, and
    // the release that follows finds none open.
    BeginGesture(control->GetParamIdx());
    ++mButtonDepth;
    control->OnMouseDblClick(x, y, pMod);
    --mButtonDepth;
    EndGesture();
    return false;
}

void IGraphics::OnMouseWheel(int x, int y, IMouseMod* pMod, int d) {
    ApplyParamValuesFromPlug();
    if (IControl* control = mControls.Get(CapturedOrHit(x, y, false))) control->OnMouseWheel(x, y, pMod, d);
}

bool IGraphics::OnMouseOver(int x, int y, IMouseMod* pMod) {
    ApplyParamValuesFromPlug();
    if (!mRouteMouseOver) return false;
    const int c = CapturedOrHit(x, y, true);
    if (c < 0) return true;
    mMouseX = x;
    mMouseY = y;
    mControls.Get(c)->OnMouseOver(x, y, pMod);
    if (mMouseOverIdx >= 0 && mMouseOverIdx != c) {
        if (IControl* previous = mControls.Get(mMouseOverIdx)) previous->OnMouseOut();
    }
    mMouseOverIdx = c;
    return true;
}

void IGraphics::OnMouseOut() {
    ApplyParamValuesFromPlug();
    for (int c = 0; c < mControls.GetSize(); ++c) mControls.Get(c)->OnMouseOut();
    mMouseOverIdx = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key, const IMouseMod* pMod) {
    ApplyParamValuesFromPlug();
    const int c = CapturedOrHit(x, y, false);
    mKeyMod = pMod ? IMouseMod(false, false, pMod->S, pMod->C, pMod->A) : IMouseMod();
    bool taken = false;
    // The background (index 0) never takes keys.
    if (c > 0)
        taken = mControls.Get(c)->OnKeyDown(x, y, key);
    else if (mKeyCatcher)
        taken = mKeyCatcher->OnKeyDown(x, y, key);
    mKeyMod = IMouseMod();
    return taken;
}

int IGraphics::GetParamIdxForPTAutomation(int x, int y) {
    const int c = GetMouseControlIdx(x, y, false);
    mLastClickedParamIdx = c > 0 ? mControls.Get(c)->GetParamIdx() : -1;
    return mLastClickedParamIdx;
}

int IGraphics::GetLastClickedParamForPTAutomation() {
    const int idx = mLastClickedParamIdx;
    mLastClickedParamIdx = -1;
    return idx;
}

// ---- Prompts ----

void IGraphics::PromptUserInput(IControl* pControl, IParam* pParam, IRECT* pTextRect) {
    if (!pControl || !pParam || !pTextRect) return;
    ApplyParamValuesFromPlug();
    const IParam::EParamType type = pParam->Type();
    const int nDisplayTexts = pParam->GetNDisplayTexts();

    if (type == IParam::kTypeEnum || (type == IParam::kTypeBool && nDisplayTexts > 0)) {
        char current[kMaxParamDisplayLen];
        pParam->GetDisplayForHost(current, true);
        IPopupMenu menu;
        for (int i = 0; i < nDisplayTexts; ++i) {
            const char* text = pParam->GetDisplayText(i);
            IPopupMenuItem* item = menu.AddItem(text);
            if (std::strcmp(text, current) == 0) item->SetChecked(true);
        }
        IPopupMenu* chosen = CreateIPopupMenu(&menu, pTextRect);
        if (chosen && chosen->GetChosenItemIdx() >= 0)
            pControl->SetValueFromUserInput(
                pParam->GetNormalized(static_cast<double>(chosen->GetChosenItemIdx())));
        return;
    }

    char current[kMaxParamDisplayLen];
    if (const IValueUnits* units = pControl->GetUnits())
        units->Format(pControl->GetValue(), current, sizeof current);
    else
        pParam->GetDisplayForHost(current, false);
    CreateTextEntry(pControl, pControl->GetText(), pTextRect, current, pParam);
}

void IGraphics::SetFromStringAfterPrompt(IControl* pControl, IParam* pParam, const char* txt) {
    if (!pParam || !pControl) return;
    ApplyParamValuesFromPlug();
    if (!txt) txt = "";
    double normalized;
    const IParam::EParamType type = pParam->Type();
    if (const IValueUnits* units = pControl->GetUnits()) {
        // A text the control's units cannot read changes nothing, and neither does one that reads as the
        // text the value shows now (a readout rounds: "0.32 s" stands for several steps).
        if (!units->Parse(txt, &normalized)) return;
        char typed[kMaxParamDisplayLen], shown[kMaxParamDisplayLen];
        units->Format(normalized, typed, sizeof typed);
        units->Format(pControl->GetValue(), shown, sizeof shown);
        if (std::strcmp(typed, shown) == 0) return;
    } else if (type == IParam::kTypeBool || type == IParam::kTypeEnum) {
        int mapped = 0;
        if (!pParam->MapDisplayText(txt, &mapped)) mapped = 0;
        normalized = pParam->GetNormalized(static_cast<double>(mapped));
    } else {
        double value = std::atof(txt);
        // "nan" is no value: the parameter keeps the one it has.
        if (std::isnan(value)) return;
        if (pParam->GetNegateDisplay()) value = -value;
        normalized = pParam->GetNormalized(value);
    }
    // The press that opened the field has ended by now: the value is an edit of its own.
    EditValue(pControl, normalized);
}

void IGraphics::EditValue(IControl* pControl, double normalized) {
    if (!pControl || normalized == pControl->GetValue()) return;
    const int paramIdx = pControl->GetParamIdx();
    if (paramIdx >= 0 && paramIdx == mGestureParamIdx) {
        pControl->SetValueFromUserInput(normalized);
        return;
    }
    BeginGesture(paramIdx);
    pControl->SetValueFromUserInput(normalized);
    EndGesture();
}
