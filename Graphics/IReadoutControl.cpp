#include "Graphics/IReadoutControl.h"

#include "framework/editor/IGraphics.h"

IReadoutControl::IReadoutControl(IEffectBase* pPlug, const IRECT* pR, const IText* pText, const IColor& panel,
                                 int cornerRadius)
    : ITextControl(pPlug, pR, pText), mPanel(panel), mCornerRadius(cornerRadius) {
    mHidden = true;
}

bool IReadoutControl::Draw(IGraphics* pGraphics) {
    IRECT box = mRECT;
    pGraphics->FillRoundRect(&mPanel, &box, nullptr, mCornerRadius, true);
    if (mStr.IsEmpty()) return true;
    // Centred vertically: the text's own height, measured in the box.
    IRECT extent = mRECT;
    if (!pGraphics->MeasureIText(&mText, mStr.Get(), &extent)) return false;
    IRECT line = mRECT;
    line.T = mRECT.T + (mRECT.H() - extent.H()) / 2;
    return pGraphics->DrawIText(&mText, mStr.Get(), &line);
}

bool IReadoutControl::IsHit(int x, int y) {
    (void)x;
    (void)y;
    return false;
}

void IReadoutControl::Show(const char* text) {
    SetTextFromPlug(text);
    if (mHidden) Hide(false);
}

void IReadoutControl::Conceal() {
    if (!mHidden) Hide(true);
}
