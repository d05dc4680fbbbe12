#include "framework/editor/IControl.h"

#include <cstdio>
#include <cstring>

#include "framework/editor/IControls_Text.h"
#include "framework/editor/IGraphics.h"
#include "framework/plugin/IEffectBase.h"

IControl::IControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx, IChannelBlend::EBlendMethod blendMethod)
    : mPlug(pPlug), mRECT(pR ? *pR : IRECT()), mTargetRECT(mRECT), mParamIdx(paramIdx),
      mBlend(blendMethod, 1.0f) {}

IControl::~IControl() = default;

IParam* IControl::GetParam() const {
    return mPlug && mParamIdx >= 0 ? mPlug->GetParam(mParamIdx) : nullptr;
}

IGraphics* IControl::GetGUI() const {
    // Controls live in an IGraphics, and that is the editor their plug-in has attached.
    return mPlug ? static_cast<IGraphics*>(mPlug->GetGUI()) : nullptr;
}

void IControl::SetTextIfChanged(Util_String* pStr, const char* text) {
    if (!text) text = "";
    if (std::strcmp(pStr->Get(), text) == 0) return;
    SetDirty(false);
    pStr->Set(text);
}

void IControl::OnMouseDown(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    if (pMod && pMod->R) PromptUserInput();
}

void IControl::OnMouseUp(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
}

void IControl::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)dX;
    (void)dY;
    (void)pMod;
}

void IControl::OnMouseDblClick(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
    if (mDefaultValue >= 0.0) {
        mValue = mDefaultValue;
        SetDirty(true);
    }
}

void IControl::OnMouseWheel(int x, int y, IMouseMod* pMod, int d) {
    (void)x;
    (void)y;
    (void)pMod;
    (void)d;
}

bool IControl::OnKeyDown(int x, int y, int key) {
    (void)x;
    (void)y;
    (void)key;
    return false;
}

void IControl::OnMouseOver(int x, int y, IMouseMod* pMod) {
    (void)x;
    (void)y;
    (void)pMod;
}

void IControl::OnMouseOut() {}

void IControl::SetValueFromPlug(double value) {
    if (mDefaultValue < 0.0) {
        mDefaultValue = mValue = value;
        return;
    }
    if (value != mValue) {
        mValue = value;
        SetDirty(false);
        mRedrawPending = true;
    }
}

void IControl::SetValueFromUserInput(double value) {
    if (value != mValue) {
        mValue = value;
        SetDirty(true);
        mRedrawPending = true;
    }
}

void IControl::TextFromTextEntry(const char* txt) {
    (void)txt;
}

void IControl::Hide(bool hide) {
    mHidden = hide;
    mRedrawPending = true;
    SetDirty(false);
}

void IControl::GrayOut(bool gray) {
    mGrayed = gray;
    mBlend.mWeight = gray ? 0.25f : 1.0f;
    SetDirty(false);
}

bool IControl::PressEdits(IMouseMod* pMod) {
    (void)pMod;
    return true;
}

bool IControl::IsHit(int x, int y) {
    return !mTargetRECT.Empty() && mTargetRECT.Contains(x, y);
}

void IControl::SetDirty(bool pushParamToPlug) {
    if (mValue < mClampLo)
        mValue = mClampLo;
    else if (mValue > mClampHi)
        mValue = mClampHi;
    mDirty = true;
    if (!pushParamToPlug || !mPlug || mParamIdx < 0) return;

    mPlug->SetParameterFromGUI(mParamIdx, mValue);
    IParam* param = GetParam();
    if (!param) return;
    if (mValueDisplayControl) {
        // "<display> <label>", each part cut to 31 characters.
        char display[kMaxParamDisplayLen];
        param->GetDisplayForHost(display, true);
        char text[2 * kMaxParamDisplayLen + 1];
        std::snprintf(text, sizeof(text), "%.31s %.31s", display, param->GetLabelForHost());
        mValueDisplayControl->SetTextFromPlug(text);
    }
    if (mNameDisplayControl) mNameDisplayControl->SetTextFromPlug(param->GetNameForHost());
}

void IControl::SetClean() {
    mDirty = mRedrawPending;
    mRedrawPending = false;
}

bool IControl::IsDirty() {
    return mDirty;
}

void IControl::OnGUIIdle() {}

void IControl::SetAuxParamValueFromPlug(int auxParamIdx, double value) {
    AuxParam* aux = GetAuxParam(auxParamIdx);
    if (!aux || aux->mValue == value) return;
    aux->mValue = value;
    SetDirty(false);
    mRedrawPending = true;
}

void IControl::PromptUserInput() {
    if (mParamIdx < 0 || mPromptDisabled) return;
    IParam* param = GetParam();
    IGraphics* gui = GetGUI();
    if (!param || !gui) return;
    IRECT r = mRECT;
    if (param->GetNDisplayTexts() == 0) {
        const int cx = static_cast<int>(static_cast<float>(mRECT.L + mRECT.R) * 0.5f);
        const int cy = static_cast<int>(static_cast<float>(mRECT.T + mRECT.B) * 0.5f);
        r = IRECT(cx - 20, cy - 8, cx + 20, cy + 8);
    }
    gui->PromptUserInput(this, param, &r);
    mRedrawPending = true;
}

void IControl::PromptUserInput(IRECT* pTextRect) {
    if (mParamIdx < 0 || mPromptDisabled) return;
    IGraphics* gui = GetGUI();
    if (!gui) return;
    gui->PromptUserInput(this, GetParam(), pTextRect);
    mRedrawPending = true;
}

void IControl::AddAuxParam(int paramIdx) {
    mAuxParams.Add(AuxParam(paramIdx));
}

AuxParam* IControl::GetAuxParam(int auxParamIdx) {
    return auxParamIdx >= 0 && auxParamIdx < mAuxParams.GetSize() ? mAuxParams.Get() + auxParamIdx : nullptr;
}

int IControl::AuxParamIdx(int paramIdx) const {
    const AuxParam* aux = mAuxParams.Get();
    for (int i = 0; i < mAuxParams.GetSize(); ++i)
        if (aux[i].mParamIdx == paramIdx) return i;
    return -1;
}

void IControl::SetAllAuxParamsFromGUI() {
    if (!mPlug) return;
    for (int i = 0; i < mAuxParams.GetSize(); ++i) {
        const AuxParam& aux = mAuxParams.Get()[i];
        mPlug->SetParameterFromGUI(aux.mParamIdx, aux.mValue);
    }
}
