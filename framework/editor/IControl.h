#pragma once
// IControl: the base of every element of the editor. It holds a drawing rectangle (also the unit of dirty
// tracking) and a hit rectangle, an optional bound parameter with its normalised value (0 to 1), any
// number of auxiliary parameters, the dirty, hidden and greyed state, a text style for text and prompts,
// a blend for drawing and a tooltip. Concrete controls override Draw and the mouse handlers.
//
// Threads: a control is touched only by the editor's (user-interface) thread. Values the host sets on
// other threads reach it through IGraphics, which hands them over lock-free and applies them on the
// editor's thread (SetValueFromPlug / SetAuxParamValueFromPlug). A control changes its parameter only
// through IEffectBase::SetParameterFromGUI (SetDirty(true)), which takes the plug-in mutex briefly; it
// never touches the effect's signal path. Parameters may be read for display without the mutex (their
// values are race-free).
//
// Ownership: made by the effect's layout code and attached to the editor, which owns and deletes it. The
// plug-in and the linked display controls are not owned. Controls reach the editor through the plug-in
// (mPlug->GetGUI()), which holds it once it is attached.
//
// Dirty protocol: SetDirty raises mDirty; after drawing the editor calls SetClean, which copies
// mRedrawPending into mDirty. A value change therefore draws the control twice, a plain SetDirty(false)
// once.
#include "framework/editor/IBitmap.h"
#include "framework/editor/IChannelBlend.h"
#include "framework/editor/IMouseMod.h"
#include "framework/editor/IRECT.h"
#include "framework/editor/IText.h"
#include "framework/util/Util_String.h"
#include "framework/util/Util_TypedBuf.h"

class IEffectBase;
class IGraphics;
class IParam;
class ITextControl;
class IValueUnits;

// An auxiliary parameter of a control: its normalised value and index.
struct AuxParam {
    double mValue = 0.0;
    int mParamIdx = -1;

    AuxParam() = default;
    explicit AuxParam(int paramIdx) : mParamIdx(paramIdx) {}
};

class IControl {
public:
    // paramIdx -1: bound to no parameter. Value 0, default value -1 (not yet known), clamp 0..1, dirty,
    // prompts disabled, text style "Monaco" 10 black, blend weight 1.
    IControl(IEffectBase* pPlug, const IRECT* pR, int paramIdx = -1,
             IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // ---- Virtual operations, in slot order ----
    virtual ~IControl();
    // Right button: PromptUserInput(); otherwise nothing.
    virtual void OnMouseDown(int x, int y, IMouseMod* pMod);
    virtual void OnMouseUp(int x, int y, IMouseMod* pMod);
    // dX, dY: movement since the previous drag event.
    virtual void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* pMod);
    // With a known default value: the value returns to it and is sent to the plug-in (inside the edit
    // gesture the editor opens around a double click).
    virtual void OnMouseDblClick(int x, int y, IMouseMod* pMod);
    virtual void OnMouseWheel(int x, int y, IMouseMod* pMod, int d);
    // Key codes: 0 space, 1 up, 2 down, 3 left, 4 right, 5-14 digits, 15-40 letters. False: not taken.
    virtual bool OnKeyDown(int x, int y, int key);
    virtual void OnMouseOver(int x, int y, IMouseMod* pMod);
    virtual void OnMouseOut();
    // Paints the control into the editor's bitmap (through the editor's drawing operations).
    virtual bool Draw(IGraphics* pGraphics) = 0;
    // The first value ever received becomes value and default; afterwards a different value is taken,
    // marks the control dirty for two draws and is not sent back to the plug-in.
    virtual void SetValueFromPlug(double value);
    // A different value is taken, marks the control dirty for two draws and is sent to the plug-in.
    virtual void SetValueFromUserInput(double value);
    // The text of a text-entry field opened for a control without a parameter.
    virtual void TextFromTextEntry(const char* txt);
    virtual void Hide(bool hide);
    // Greyed: drawn at weight 0.25, not hit.
    virtual void GrayOut(bool gray);
    // Target rectangle not empty and L <= x < R, T <= y < B.
    virtual bool IsHit(int x, int y);
    // Clamps the value to the clamp range and marks the control dirty; with pushParamToPlug, a bound
    // control sends its value to the plug-in (SetParameterFromGUI) and updates its linked text controls.
    virtual void SetDirty(bool pushParamToPlug = true);
    virtual void SetClean();
    virtual bool IsDirty();
    virtual void OnGUIIdle();
    virtual void SetAuxParamValueFromPlug(int auxParamIdx, double value);
    // The editor's thread, as a press reaches the control: whether the press may change the value, so
    // the editor brackets it in an edit gesture (true here). A press that only opens the value prompt is
    // no edit: the value typed there makes a gesture of its own.
    virtual bool PressEdits(IMouseMod* pMod);

    // ---- Prompts ----
    // Opens the value prompt (menu or text field) for the bound parameter, at mRECT for a parameter with
    // display texts, else in a 40 x 16 rectangle centred on the control. Nothing while prompts are
    // disabled or without a parameter.
    void PromptUserInput();
    void PromptUserInput(IRECT* pTextRect);

    // ---- Auxiliary parameters ----
    void AddAuxParam(int paramIdx);
    // The record at auxParamIdx; null outside 0 .. NAuxParams() - 1.
    AuxParam* GetAuxParam(int auxParamIdx);
    // Position of the first record bound to paramIdx, or -1.
    int AuxParamIdx(int paramIdx) const;
    int NAuxParams() const { return mAuxParams.GetSize(); }
    // SetParameterFromGUI for every record, in order.
    void SetAllAuxParamsFromGUI();

    // ---- State ----
    int GetParamIdx() const { return mParamIdx; }
    IEffectBase* GetPlug() const { return mPlug; }
    const IRECT* GetRECT() const { return &mRECT; }
    const IRECT* GetTargetRECT() const { return &mTargetRECT; }
    void SetTargetArea(const IRECT& r) { mTargetRECT = r; }
    double GetValue() const { return mValue; }
    double GetDefaultValue() const { return mDefaultValue; }
    // The range SetDirty clamps the value to.
    void SetClamp(double lo, double hi) {
        mClampLo = lo;
        mClampHi = hi;
    }
    double GetClampLo() const { return mClampLo; }
    double GetClampHi() const { return mClampHi; }
    bool IsHidden() const { return mHidden; }
    bool IsGrayed() const { return mGrayed; }
    bool IsRedrawPending() const { return mRedrawPending; }
    bool IsPromptDisabled() const { return mPromptDisabled; }
    void SetPromptDisabled(bool disabled) { mPromptDisabled = disabled; }
    // The editor treats a double click as a press (capture and edit gesture included).
    bool DblClickAsDown() const { return mDblClickAsDown; }
    void SetDblClickAsDown(bool asDown) { mDblClickAsDown = asDown; }
    // A greyed control still takes part in mouse-over routing.
    bool MouseOverWhenGrayed() const { return mMouseOverWhenGrayed; }
    void SetMouseOverWhenGrayed(bool mouseOver) { mMouseOverWhenGrayed = mouseOver; }
    const IChannelBlend* GetBlend() const { return &mBlend; }
    IText* GetText() { return &mText; }
    // Copies the style whole (the cached font with it).
    void SetText(const IText* pText) { mText = *pText; }
    int GetTextEntryLength() const { return mTextEntryLength; }
    void SetTextEntryLength(int len) { mTextEntryLength = len; }
    const char* GetTooltip() const { return mTooltip.Get(); }
    void SetTooltip(const char* tooltip) { mTooltip.Set(tooltip); }
    // Linked text controls showing the value with its label, and the parameter's name (not owned).
    void SetValueDisplayControl(ITextControl* pControl) { mValueDisplayControl = pControl; }
    void SetNameDisplayControl(ITextControl* pControl) { mNameDisplayControl = pControl; }
    // The units the value is shown and typed in by the editor (readouts, the value prompt); null: the
    // parameter's own display. Not owned (a constant table).
    const IValueUnits* GetUnits() const { return mUnits; }
    void SetUnits(const IValueUnits* pUnits) { mUnits = pUnits; }

protected:
    // The bound parameter (null without one).
    IParam* GetParam() const;
    // The editor the plug-in holds (null before it is attached).
    IGraphics* GetGUI() const;
    // For controls that show a text: a text that differs from *pStr (byte comparison) marks the control
    // dirty and is stored; an equal one (null counts as "") changes nothing.
    void SetTextIfChanged(Util_String* pStr, const char* text);

    int mTextEntryLength = 7;
    IText mText;
    IEffectBase* mPlug;
    IRECT mRECT;
    IRECT mTargetRECT;
    int mParamIdx;
    Util_TypedBuf<AuxParam> mAuxParams;
    double mValue = 0.0;
    double mDefaultValue = -1.0;
    double mClampLo = 0.0;
    double mClampHi = 1.0;
    bool mDirty = true;
    bool mHidden = false;
    bool mGrayed = false;
    bool mRedrawPending = false;
    bool mPromptDisabled = true;
    bool mDblClickAsDown = false;
    bool mMouseOverWhenGrayed = false;
    IChannelBlend mBlend;
    ITextControl* mValueDisplayControl = nullptr;
    ITextControl* mNameDisplayControl = nullptr;
    Util_String mTooltip;
    const IValueUnits* mUnits = nullptr;
};
