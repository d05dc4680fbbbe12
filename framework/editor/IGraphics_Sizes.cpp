// The editor's sizes: the layout's controls at each size, the size menu, the size an editor opens at.
#include <cmath>
#include <cstdio>
#include <vector>

#include "framework/editor/IGraphics.h"
#include "framework/plugin/IEffectBase.h"

void IGraphics::AttachLayout(std::unique_ptr<IEditorLayout> pLayout, int percent) {
    if (!pLayout || pLayout->NSizes() < 1) return;
    mLayout = std::move(pLayout);
    if (!OffersSize(percent)) percent = mLayout->SizePercent(0);
    mLayout->Attach(this, mPlug, percent);
    mSizePercent = percent;
    mLayout->EditorSize(percent, &mWidth, &mHeight);
}

bool IGraphics::OffersSize(int percent) const {
    if (!mLayout) return percent == 100;
    for (int i = 0; i < mLayout->NSizes(); ++i)
        if (mLayout->SizePercent(i) == percent) return true;
    return false;
}

bool IGraphics::SetSizePercent(int percent) {
    if (!mLayout || !OffersSize(percent)) return false;
    if (percent == mSizePercent) return true;
    ApplyParamValuesFromPlug();
    // Nothing may refer to the controls that go: the text field, the capture, the gesture.
    ForceEndUserEdit();
    ReleaseMouseCapture();
    EndGesture();

    // Every parameter's value and default, from the first control bound to it.
    std::vector<double> values(static_cast<size_t>(mNParams), NAN),
        defaults(static_cast<size_t>(mNParams), -1.0);
    for (int c = 0; c < mControls.GetSize(); ++c) {
        const IControl* control = mControls.Get(c);
        const int p = control->GetParamIdx();
        if (p < 0 || p >= mNParams || !std::isnan(values[static_cast<size_t>(p)])) continue;
        values[static_cast<size_t>(p)] = control->GetValue();
        defaults[static_cast<size_t>(p)] = control->GetDefaultValue();
    }
    for (int i = mControls.GetSize() - 1; i >= 0; --i) mControls.Delete(i);
    mMouseOverIdx = -1;

    mLayout->Attach(this, mPlug, percent);
    for (int c = 0; c < mControls.GetSize(); ++c) {
        IControl* control = mControls.Get(c);
        const int p = control->GetParamIdx();
        if (p < 0 || p >= mNParams) continue;
        // The first value a control receives is also its default.
        if (defaults[static_cast<size_t>(p)] >= 0.0)
            control->SetValueFromPlug(defaults[static_cast<size_t>(p)]);
        if (!std::isnan(values[static_cast<size_t>(p)]))
            control->SetValueFromPlug(values[static_cast<size_t>(p)]);
    }
    mSizePercent = percent;
    int w = mWidth, h = mHeight;
    mLayout->EditorSize(percent, &w, &h);
    Resize(w, h);
    SetAllControlsDirty();
    return true;
}

int IGraphics::PreferredSizePercent(int screenPercent) {
    if (!mLayout) return 100;
    const int chosen = ReadSizeChoice();
    if (OffersSize(chosen)) return chosen;
    int best = mLayout->SizePercent(0);
    for (int i = 0; i < mLayout->NSizes(); ++i)
        if (mLayout->SizePercent(i) <= screenPercent) best = mLayout->SizePercent(i);
    return best;
}

int IGraphics::ReadSizeChoice() {
    return 0;
}

void IGraphics::WriteSizeChoice(int percent) {
    (void)percent;
}

void IGraphics::PromptSize(int x, int y) {
    IPopupMenu menu;
    for (int i = 0; i < mLayout->NSizes(); ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%d %%", mLayout->SizePercent(i));
        menu.AddItem(text)->SetChecked(mLayout->SizePercent(i) == mSizePercent);
    }
    IRECT at(x, y, x + 1, y + 1);
    IPopupMenu* chosen = CreateIPopupMenu(&menu, &at);
    if (!chosen || chosen->GetChosenItemIdx() < 0 || chosen->GetChosenItemIdx() >= mLayout->NSizes()) return;
    const int percent = mLayout->SizePercent(chosen->GetChosenItemIdx());
    if (SetSizePercent(percent)) WriteSizeChoice(percent);
}
