#pragma once
// IReadoutControl: the value of another control in words ("0.32 s", "−6.0 dB"), shown in a box over that
// control's label while the control is in use and hidden otherwise, so the label printed on the
// background shows again. It draws a filled, rounded box in its panel colour and the text centred in it
// with its text style; it is never hit, so the pointer always reaches what lies beneath.
//
// It starts hidden. The control it speaks for drives it (IWithReadout): Show with the text, Conceal when
// the control is no longer in use. Either marks it dirty only when what it shows changes.
//
// Threads and ownership as any IControl: made by the effect's layout code, owned by the editor, touched
// on the editor's thread.
#include "framework/editor/IControls_Text.h"

class IReadoutControl : public ITextControl {
public:
    IReadoutControl(IEffectBase* pPlug, const IRECT* pR, const IText* pText, const IColor& panel,
                    int cornerRadius);
    bool Draw(IGraphics* pGraphics) override;
    // Never hit.
    bool IsHit(int x, int y) override;

    // Shows text from the next redraw on.
    void Show(const char* text);
    // Hides the box (the label beneath shows again).
    void Conceal();

private:
    IColor mPanel;
    int mCornerRadius;
};
