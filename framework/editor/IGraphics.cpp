// The editor's core: construction, controls, parameter binding and the drawing cycle.
#include "framework/editor/IGraphics.h"

#include <cmath>

#include "framework/editor/EditorStores.h"
#include "framework/editor/IControls_Bitmap.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/raster/Raster_Bitmap.h"
#include "framework/util/Util_Mutex.h"

IGraphics::IGraphics(IEffectBase* pPlug, int w, int h, int fps)
    : mPlug(pPlug), mWidth(w), mHeight(h), mFPS(fps > 0 ? fps : 25) {
    mNParams = pPlug ? pPlug->NParams() : 0;
    if (mNParams > 0) {
        mPendingValues.reset(new std::atomic<double>[static_cast<size_t>(mNParams)]);
        mPendingFlags.reset(new std::atomic<bool>[static_cast<size_t>(mNParams)]);
        for (int i = 0; i < mNParams; ++i) {
            mPendingValues[i].store(0.0, std::memory_order_relaxed);
            mPendingFlags[i].store(false, std::memory_order_relaxed);
        }
    }
    EditorStores::EditorCreated();
}

IGraphics::~IGraphics() {
    delete mKeyCatcher;
    mKeyCatcher = nullptr;
    for (int i = mControls.GetSize() - 1; i >= 0; --i) mControls.Delete(i);
    delete mDrawBitmap;
    mDrawBitmap = nullptr;
    delete mScratchBitmap;
    mScratchBitmap = nullptr;
    EditorStores::EditorDestroyed();
}

// ---- Platform operations with a behaviour of their own ----

bool IGraphics::MeasureIText(IText* pTxt, const char* str, IRECT* pR) {
    return DrawIText(pTxt, str, pR, true);
}

void IGraphics::Resize(int w, int h) {
    mWidth = w;
    mHeight = h;
    if (mDrawBitmap) mDrawBitmap->resize(w, h);
    if (mScratchBitmap) mScratchBitmap->resize(w, h);
    if (mPlug) mPlug->ResizeGraphics(w, h);
}

bool IGraphics::WindowIsOpen() {
    return GetWindow() != nullptr;
}

const char* IGraphics::GetGUIAPI() {
    return "";
}

void* IGraphics::OpenWindow(void* pParentWnd, void* pParentControl, short leftOffset, short topOffset) {
    (void)pParentWnd;
    (void)pParentControl;
    (void)leftOffset;
    (void)topOffset;
    return nullptr;
}

void IGraphics::AttachSubWindow(void* hostWindowRef) {
    (void)hostWindowRef;
}

void IGraphics::RemoveSubWindow() {}

void IGraphics::HideMouseCursor() {}

void IGraphics::ShowMouseCursor() {}

void IGraphics::HostIdle() {}

bool IGraphics::HostKeyDown(int character, int virtualKey, int modifiers) {
    (void)character;
    (void)virtualKey;
    (void)modifiers;
    return false;
}

bool IGraphics::HostKeyUp(int character, int virtualKey, int modifiers) {
    (void)character;
    (void)virtualKey;
    (void)modifiers;
    return false;
}

// ---- Attaching controls ----

void IGraphics::AttachBackground(int ID, const char* name) {
    IBitmap bg = LoadIBitmap(ID, name, 1);
    mControls.Insert(0, new IBitmapControl(mPlug, 0, 0, -1, &bg, IChannelBlend::kBlendCopy));
}

void IGraphics::AttachPanelBackground(const IColor* pColor) {
    IRECT r(0, 0, mWidth, mHeight);
    const IColor colour = pColor ? *pColor : COLOR_BLACK;
    mControls.Insert(0, new IPanelControl(mPlug, &r, &colour));
}

int IGraphics::AttachControl(IControl* pControl) {
    if (!pControl) return -1;
    mControls.Add(pControl);
    return mControls.GetSize() - 1;
}

void IGraphics::AttachKeyCatcher(IControl* pControl) {
    if (pControl == mKeyCatcher) return;
    delete mKeyCatcher;
    mKeyCatcher = pControl;
}

// ---- Parameter binding ----

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized) {
    if (paramIdx < 0 || paramIdx >= mNParams) return;
    if (!normalized) {
        // The range of a parameter is fixed at construction, so reading it here needs no lock.
        const IParam* param = mPlug->GetParam(paramIdx);
        if (!param) return;
        value = param->GetNormalized(value);
    }
    if (std::isnan(value)) return;
    mPendingValues[paramIdx].store(value, std::memory_order_relaxed);
    mPendingFlags[paramIdx].store(true, std::memory_order_release);
    mAnyPending.store(true, std::memory_order_release);
}

void IGraphics::ApplyParamValuesFromPlug() {
    if (!mAnyPending.load(std::memory_order_relaxed)) return;
    if (!mAnyPending.exchange(false, std::memory_order_acquire)) return;
    for (int i = 0; i < mNParams; ++i) {
        if (!mPendingFlags[i].load(std::memory_order_relaxed)) continue;
        if (!mPendingFlags[i].exchange(false, std::memory_order_acquire)) continue;
        const double value = mPendingValues[i].load(std::memory_order_relaxed);
        for (int c = 0; c < mControls.GetSize(); ++c) {
            IControl* control = mControls.Get(c);
            if (control->GetParamIdx() == i) control->SetValueFromPlug(value);
            const int aux = control->AuxParamIdx(i);
            if (aux >= 0) control->SetAuxParamValueFromPlug(aux, value);
        }
    }
}

void IGraphics::SetControlFromPlug(int controlIdx, double normalizedValue) {
    ApplyParamValuesFromPlug();
    if (IControl* control = mControls.Get(controlIdx)) control->SetValueFromPlug(normalizedValue);
}

void IGraphics::SetParameterFromGUI(int paramIdx, double normalizedValue) {
    ApplyParamValuesFromPlug();
    for (int c = 0; c < mControls.GetSize(); ++c) {
        IControl* control = mControls.Get(c);
        if (control->GetParamIdx() == paramIdx) control->SetValueFromUserInput(normalizedValue);
    }
}

void IGraphics::ClampControl(int paramIdx, double lo, double hi, bool normalized) {
    if (!normalized) {
        const IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
        if (!param) return;
        lo = param->GetNormalized(lo);
        hi = param->GetNormalized(hi);
    }
    for (int c = 0; c < mControls.GetSize(); ++c) {
        IControl* control = mControls.Get(c);
        if (control->GetParamIdx() == paramIdx) control->SetClamp(lo, hi);
    }
}

void IGraphics::HideControl(int paramIdx, bool hide) {
    for (int c = 0; c < mControls.GetSize(); ++c) {
        IControl* control = mControls.Get(c);
        if (control->GetParamIdx() == paramIdx) control->Hide(hide);
    }
}

void IGraphics::GrayOutControl(int paramIdx, bool gray) {
    for (int c = 0; c < mControls.GetSize(); ++c) {
        IControl* control = mControls.Get(c);
        if (control->GetParamIdx() == paramIdx) control->GrayOut(gray);
    }
}

void IGraphics::SetAllControlsDirty() {
    for (int c = 0; c < mControls.GetSize(); ++c) mControls.Get(c)->SetDirty(false);
}

void IGraphics::SetStrictDrawing(bool strict) {
    mStrictDrawing = strict;
    SetAllControlsDirty();
}

void IGraphics::AssignParamNameToolTips() {
    for (int c = 0; c < mControls.GetSize(); ++c) {
        IControl* control = mControls.Get(c);
        const IParam* param =
            mPlug && control->GetParamIdx() >= 0 ? mPlug->GetParam(control->GetParamIdx()) : nullptr;
        if (param) control->SetTooltip(param->GetNameForHost());
    }
}

// ---- Drawing cycle ----

bool IGraphics::IsDirty(IRECT* pR) {
    ApplyParamValuesFromPlug();
    bool dirty = false;
    for (int c = 0; c < mControls.GetSize(); ++c) {
        IControl* control = mControls.Get(c);
        if (control->IsDirty()) {
            if (pR) *pR = pR->Union(*control->GetRECT());
            dirty = true;
        }
    }
    return dirty;
}

bool IGraphics::Draw(IRECT* pR) {
    ApplyParamValuesFromPlug();
    if (!pR) return false;
    const int n = mControls.GetSize();
    if (n == 0) return true;

    {
        // Controls draw text with the shared fonts; the screen copy needs none.
        Util_MutexLock fonts(EditorStores::FontLock());
        if (mStrictDrawing) {
            mDrawRECT = *pR;
            for (int c = 0; c < n; ++c) {
                IControl* control = mControls.Get(c);
                if (!control->IsHidden()) control->Draw(this);
                control->SetClean();
            }
        } else if (mControls.Get(0)->IsDirty()) {
            mDrawRECT = *mControls.Get(0)->GetRECT();
            for (int c = 0; c < n; ++c) {
                IControl* control = mControls.Get(c);
                if (c == 0 || !control->IsHidden()) {
                    control->Draw(this);
                    control->SetClean();
                }
            }
        } else {
            for (int i = 1; i < n; ++i) {
                IControl* dirty = mControls.Get(i);
                if (!dirty->IsDirty()) continue;
                mDrawRECT = *dirty->GetRECT();
                for (int j = 0; j < n; ++j) {
                    IControl* control = mControls.Get(j);
                    if (control->IsHidden()) continue;
                    if (j == i || control->GetRECT()->Overlaps(mDrawRECT)) control->Draw(this);
                }
                dirty->SetClean();
            }
        }
    }
    return DrawScreen(pR);
}

void IGraphics::OnGUIIdle() {
    ApplyParamValuesFromPlug();
    for (int c = 0; c < mControls.GetSize(); ++c) mControls.Get(c)->OnGUIIdle();
}
