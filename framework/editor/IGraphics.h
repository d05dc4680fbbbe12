#pragma once
// IGraphics: the editor of one plug-in instance. It owns the controls (the background first, then every
// control in the order attached) and a key catcher, binds controls to parameters in both directions,
// tracks the dirty area, draws dirty controls into its off-screen bitmap and hands that to the window
// host, and routes mouse and keyboard events to the control under the pointer or holding the capture.
//
// It is platform-neutral: everything that needs a window, an event loop or the screen is a virtual
// operation a window host supplies (the X11 host, or the headless platform of tests and snapshots). It
// is the plug-in core's IEffectEditor: the VST binding opens and closes the window (OpenWindow /
// CloseWindow on effEditOpen / effEditClose) and passes the host's idle calls and forwarded keys on
// (HostIdle, HostKeyDown, HostKeyUp) through that interface.
//
// Threads. Every operation runs on the editor's (user-interface) thread, except SetParameterFromPlug,
// which any thread may call while the editor draws (hosts set parameters on the audio thread; presets,
// chunks and text values arrive in dispatcher calls). SetParameterFromPlug takes no lock and allocates
// nothing: it stores the normalised value into the parameter's slot (atomics sized at construction from
// the plug-in's parameter count) and raises a pending flag; the latest value of each parameter wins. The
// editor's thread applies pending values to the controls (SetValueFromPlug / SetAuxParamValueFromPlug) at
// the start of every entry point (IsDirty, Draw, the mouse and key handlers, prompts, HostIdle...) and in
// PrepDraw. Drawing never takes a plug-in lock; controls change parameters only through
// IEffectBase::SetParameterFromGUI, which never waits, and the gestures around it
// (Begin/EndInformHostOfParamChange), which reach the host with no plug-in lock held.
//
// The fonts are shared by every editor of the process, and two editors may draw on two threads (hosts
// idle editors from threads of their own). The editor therefore holds the process-wide font lock
// (EditorStores::FontLock, recursive) while its controls draw in Draw, and in DrawIText (and so
// MeasureIText) and CacheFont; it lets go before DrawScreen. A window host calls Draw under its own lock
// if it has one, never the other way round: the font lock is always the inner one (see EditorStores.h
// for the whole order).
//
// Gestures. Hosts record automation by edit gestures, so the editor brackets every edit made with the
// mouse: a press on a bound control begins a gesture for its parameter (BeginInformHostOfParamChange),
// and the editor remembers it until it sends the matching end (EndInformHostOfParamChange): at the
// button's release (after the control's own OnMouseUp), at the next press if that release never came,
// when the press opened a menu (which takes the release), or when the capture is released from outside
// (the window host closing the window). A double click on a bound control is a gesture of its own
// (begin, the control's reset, end), or a press when the control treats double clicks so. An end is
// sent only for a gesture begun, at most one gesture is open, and a release with none open sends
// nothing. A press the control says is no edit (IControl::PressEdits: one that only opens the value
// prompt) begins none; a value typed into a prompt's text field is a gesture of its own. The wheel sends
// values without a gesture.
//
// Ownership: the plug-in base owns the editor from AttachGraphics on and deletes it first when it is
// deleted. The editor owns its controls, its key catcher and its two bitmaps. Pictures and fonts live in
// two process-wide stores shared by every editor of the process; they are emptied when the last editor
// is destroyed (and at library unload).
#include <atomic>
#include <cstdint>
#include <memory>

#include "framework/editor/IBitmap.h"
#include "framework/editor/IChannelBlend.h"
#include "framework/editor/IColor.h"
#include "framework/editor/IControl.h"
#include "framework/editor/IEditorEnums.h"
#include "framework/editor/IEditorLayout.h"
#include "framework/editor/IMouseMod.h"
#include "framework/editor/IPopupMenu.h"
#include "framework/editor/IRECT.h"
#include "framework/editor/IText.h"
#include "framework/plugin/IEffectEditor.h"
#include "framework/util/Util_PtrList.h"
#include "framework/util/Util_String.h"

class IEffectBase;
class IParam;
class Raster_CachedFont;
class Raster_IBitmap;
class Raster_MemBitmap;
class Raster_SysBitmap;

class IGraphics : public IEffectEditor {
public:
    // fps 0 or below means 25. Sizes the parameter hand-over slots from pPlug's parameter count (none
    // without a plug-in).
    IGraphics(IEffectBase* pPlug, int w, int h, int fps = 0);
    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    // ---- Platform operations, in slot order (abstract ones are the window host's) ----
    // Puts the off-screen bitmap on the screen.
    virtual bool DrawScreen(IRECT* pR) = 0;
    // Measures text: the rectangle keeps its anchor by the style's alignment and takes the text's size.
    virtual bool MeasureIText(IText* pTxt, const char* str, IRECT* pR);
    // Closes an open text-entry field without committing it.
    virtual void ForceEndUserEdit() = 0;
    // Stores the size, resizes both bitmaps and tells the plug-in (ResizeGraphics).
    virtual void Resize(int w, int h);
    // GetWindow() is not null.
    bool WindowIsOpen() override;
    // The name of the window system; "" here.
    virtual const char* GetGUIAPI();
    // Modal message box (EMessageBoxType); returns an EMessageBoxResult.
    virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
    // Releases the mouse capture, shows the menu modally at the rectangle and returns the (sub)menu whose
    // item was chosen, with its chosen index set; null when dismissed or no window is open.
    virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* pMenu, IRECT* pAreaRect) = 0;
    // Opens an inline text field showing str; its text later reaches SetFromStringAfterPrompt (with a
    // parameter) or pControl->TextFromTextEntry (without one).
    virtual void CreateTextEntry(IControl* pControl, IText* pText, IRECT* pTextRect, const char* str,
                                 IParam* pParam) = 0;
    virtual void HostPath(Util_String* pPath) = 0;
    // The folder holding the plug-in, with a trailing "/".
    virtual void PluginPath(Util_String* pPath) = 0;
    virtual void DesktopPath(Util_String* pPath) = 0;
    virtual void AppSupportPath(Util_String* pPath, bool isSystem = false) = 0;
    virtual void SandboxSafeAppSupportPath(Util_String* pPath) = 0;
    // Modal file dialog: pFilename receives the chosen full path (empty on cancel), pDir its folder with a
    // trailing "/". extensions: space-separated list.
    virtual void PromptForFile(Util_String* pFilename, EFileAction action = kFileOpen,
                               Util_String* pDir = nullptr, const char* extensions = "") = 0;
    virtual bool PromptForColor(IColor* pColor, const char* prompt = "") = 0;
    virtual bool OpenURL(const char* url, const char* msgWindowTitle = nullptr,
                         const char* confirmMsg = nullptr, const char* errMsgOnFailure = nullptr) = 0;
    // Opens the editor's window inside the host's parent window (null: a window of its own); returns the
    // window, null on failure.
    void* OpenWindow(void* pParentWnd) override = 0;
    // Embedding into a window and control of the host: not offered, returns null.
    virtual void* OpenWindow(void* pParentWnd, void* pParentControl, short leftOffset = 0,
                             short topOffset = 0);
    virtual void AttachSubWindow(void* hostWindowRef);
    virtual void RemoveSubWindow();
    void CloseWindow() override = 0;
    // The open window, null when closed.
    virtual void* GetWindow() = 0;
    // Plain text on the clipboard; false (and an empty string) when there is none.
    virtual bool GetTextFromClipboard(Util_String* pStr) = 0;
    // Deletes the key catcher, the controls from the last to the first, then the two bitmaps; the last
    // editor of the process empties the picture and font stores.
    ~IGraphics() override;
    virtual void HideMouseCursor();
    virtual void ShowMouseCursor();
    virtual void UpdateTooltips() = 0;
    // Loads a picture (a PNG resource by file name); the caller owns the result. Null when it cannot.
    virtual Raster_IBitmap* OSLoadBitmap(int ID, const char* name) = 0;
    // effEditIdle: the host's periodic idle call on its user-interface thread. Nothing here; a window
    // host runs its redraw cycle and drains its events.
    void HostIdle() override;
    // effEditKeyDown / effEditKeyUp: a key the host forwards (character, VST virtual key code, modifier
    // bits). True when the editor took it; false here.
    bool HostKeyDown(int character, int virtualKey, int modifiers) override;
    bool HostKeyUp(int character, int virtualKey, int modifiers) override;
    // The size of the editor's window on the screen, in screen pixels: the editor's size here; a window
    // host that shows the doubled picture on a dense screen reports twice that. Any thread; the VST
    // binding answers effEditGetRect with it.
    void WindowSize(int* pW, int* pH) override {
        *pW = mWidth;
        *pH = mHeight;
    }

    // ---- Attaching controls (the effect's layout code, before AttachGraphics) ----
    // The picture (one frame) as an IBitmapControl at (0, 0), copy blend, no parameter, at index 0.
    void AttachBackground(int ID, const char* name);
    // An IPanelControl over the whole editor in that colour, at index 0.
    void AttachPanelBackground(const IColor* pColor);
    // Appends the control (the editor owns it) and returns its index.
    int AttachControl(IControl* pControl);
    // The control that takes keys nobody else takes; owned, never drawn, never hit. Replaces (deletes)
    // an earlier one.
    void AttachKeyCatcher(IControl* pControl);

    // ---- Sizes (an editor drawn natively at several sizes) ----
    // The effect's layout code, before AttachGraphics: the editor takes the layout and attaches its
    // controls at percent (a size it offers; otherwise its first), at that size's width and height.
    void AttachLayout(std::unique_ptr<IEditorLayout> pLayout, int percent = 100);
    // The layout (null: the editor has one size). Any thread.
    const IEditorLayout* GetLayout() const { return mLayout.get(); }
    // The size drawn now, in percent (100 without a layout).
    int SizePercent() const { return mSizePercent; }
    // Whether the layout offers percent.
    bool OffersSize(int percent) const;
    // The editor's thread: the controls of the size percent replace the present ones, keeping every
    // parameter's value and default (an open text field closes, the mouse capture and an open gesture
    // end, readouts hide), and the editor takes the size's width and height (Resize: the window follows
    // and the host is told). True when the editor is at percent afterwards; false for a size the layout
    // does not offer, or without a layout.
    bool SetSizePercent(int percent);
    // Any thread: the size an editor opens at: the user's remembered choice (ReadSizeChoice) when
    // offered, else the largest size offered up to screenPercent (the screen's scale: 200 on a dense
    // screen), at least the first. 100 without a layout.
    int PreferredSizePercent(int screenPercent);
    // Any thread: the size the user chose last in the size menu, remembered across sessions by the
    // platform; 0 when there is none (here: never).
    virtual int ReadSizeChoice();
    // The editor's thread: remembers the user's choice (here: nothing).
    virtual void WriteSizeChoice(int percent);

    // ---- Parameter binding ----
    // Any thread, no lock, no allocation: hands the value of parameter paramIdx (converted with the
    // parameter's GetNormalized unless normalized) to the editor's thread. Ignored for an invalid index.
    void SetParameterFromPlug(int paramIdx, double value, bool normalized) override;
    // The editor's thread: moves the controls to every value handed over since the last call, in
    // parameter order; for each, main-parameter controls get SetValueFromPlug and controls with it as an
    // auxiliary parameter SetAuxParamValueFromPlug. Every entry point below calls it first.
    void ApplyParamValuesFromPlug();
    // SetValueFromPlug on one control; nothing for an index outside the list.
    void SetControlFromPlug(int controlIdx, double normalizedValue);
    // SetValueFromUserInput on every control bound to the parameter.
    void SetParameterFromGUI(int paramIdx, double normalizedValue);
    // Sets the clamp range of every control bound to the parameter (plain values converted unless
    // normalized); it takes effect at each control's next SetDirty.
    void ClampControl(int paramIdx, double lo, double hi, bool normalized);
    void HideControl(int paramIdx, bool hide);
    void GrayOutControl(int paramIdx, bool gray);
    void SetAllControlsDirty();
    void SetStrictDrawing(bool strict);
    // Every bound control's tooltip becomes its parameter's name.
    void AssignParamNameToolTips();

    // ---- Prompts ----
    // An enumerated parameter (or a Boolean one with display texts) gets a menu of its display texts, the
    // current one checked; any other parameter a text field with its value, in the control's units when
    // it has some (IControl::GetUnits). Nothing for null arguments.
    void PromptUserInput(IControl* pControl, IParam* pParam, IRECT* pTextRect);
    // A committed text field: a control with units reads the text with them (an unreadable text, or one
    // that reads as what the current value shows, changes nothing); otherwise display texts are looked up for
    // Boolean and enumerated parameters (0 when none matches) and other parameters read a number. A new value
    // reaches the control as user input inside one edit gesture of its own (begin, the value, end); the same
    // value sends nothing.
    void SetFromStringAfterPrompt(IControl* pControl, IParam* pParam, const char* txt);
    // A value the user gives a control outside a press (a typed value, a key): it reaches the control as
    // user input inside one edit gesture of its own, or inside the open gesture when that is the
    // control's parameter (a key while the knob is held). The same value sends nothing.
    void EditValue(IControl* pControl, double normalized);

    // ---- Drawing cycle ----
    // Grows *pR by the rectangle of every dirty control; true when any is dirty. Cleans nothing.
    bool IsDirty(IRECT* pR);
    // Redraws into the off-screen bitmap (strictly: every visible control, clipped to *pR; otherwise the
    // dirty controls and what overlaps them), then returns DrawScreen(pR).
    bool Draw(IRECT* pR);
    void OnGUIIdle();

    // ---- Mouse and keyboard (editor pixels, origin top left) ----
    // Ends an open gesture, then captures the topmost control hit, begins a gesture for its parameter
    // and hands it the press. A right press on the background of an editor with several sizes opens
    // the size menu instead ("100 %", "150 %", ...; the current size checked): a choice changes the size
    // (SetSizePercent) and is remembered (WriteSizeChoice).
    void OnMouseDown(int x, int y, IMouseMod* pMod);
    // The captured control, else the one under the pointer, gets the release; then the open gesture (if
    // any) ends.
    void OnMouseUp(int x, int y, IMouseMod* pMod);
    void OnMouseDrag(int x, int y, IMouseMod* pMod);
    // True when the control treated the double click as a press (captured, gesture begun). Otherwise the
    // control's OnMouseDblClick runs inside a gesture of its own, ended before this returns.
    bool OnMouseDblClick(int x, int y, IMouseMod* pMod);
    void OnMouseWheel(int x, int y, IMouseMod* pMod, int d);
    // False when mouse-over routing is off.
    bool OnMouseOver(int x, int y, IMouseMod* pMod);
    void OnMouseOut();
    // False when nobody took the key (the window host passes it on to the host). pMod: the modifier keys
    // held (only shift, control and alt count; null: none), which the control reads with GetKeyMod.
    bool OnKeyDown(int x, int y, int key, const IMouseMod* pMod = nullptr);
    // While a key is handed to a control: the modifiers held with it (none otherwise).
    const IMouseMod& GetKeyMod() const { return mKeyMod; }
    // No control holds the capture any more. Called from outside the editor's button handling (a window
    // host closing its window), it also ends the open gesture; called while a press is handed to a
    // control (a menu opened by the press), the press ends the gesture when the control returns.
    void ReleaseMouseCapture();
    // The captured control, else the topmost visible, not greyed control hit (with mouseOver, greyed
    // controls that allow mouse-over count too), else -1.
    int GetMouseControlIdx(int x, int y, bool mouseOver = false);
    int GetParamIdxForPTAutomation(int x, int y);
    int GetLastClickedParamForPTAutomation();

    // ---- Pictures ----
    // The picture of resource ID (loaded through OSLoadBitmap once per process, then shared). A picture
    // that cannot be loaded gives an IBitmap with a null raster bitmap and size 0 x 0; it is not stored,
    // so a later load tries again. nStates below 1 counts as 1.
    IBitmap LoadIBitmap(int ID, const char* name, int nStates = 1, bool framesAreHoriz = false);
    // The store takes ownership of the bitmap (anonymous entry).
    void RetainBitmap(IBitmap* pBitmap);
    // Removes the bitmap's store entry and deletes it; nothing when it is not in the store.
    void ReleaseBitmap(IBitmap* pBitmap);
    // A new stored bitmap: the whole source scaled (bilinear) to destW x destH; frames stacked.
    IBitmap ScaleBitmap(IBitmap* pBitmap, int destW, int destH);
    // A new stored bitmap: the rectangle of the source; frames stacked.
    IBitmap CropBitmap(IBitmap* pBitmap, IRECT* pR);

    // ---- Drawing (into the off-screen bitmap, during Draw) ----
    // Creates the off-screen bitmap (w x h) and the scratch bitmap, then applies pending values (which
    // fixes every control's default value when called from AttachGraphics).
    void PrepDraw() override;
    // Pixels of the off-screen bitmap (null before PrepDraw).
    uint32_t* GetBits();
    // The source from (srcX, srcY) into *pR, clipped to the rectangle being redrawn.
    bool DrawBitmap(IBitmap* pBitmap, IRECT* pR, int srcX, int srcY, const IChannelBlend* pBlend = nullptr);
    // Frame bmpState (1-based) of the strip into *pR.
    bool DrawBitmap(IBitmap* pBitmap, IRECT* pR, int bmpState = 1, const IChannelBlend* pBlend = nullptr);
    // The picture turned by angle (radians) about its centre, placed with its centre at (destCtrX,
    // destCtrY); the rotation centre moved down by yOffsetZeroDeg.
    bool DrawRotatedBitmap(IBitmap* pBitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg = 0,
                           const IChannelBlend* pBlend = nullptr);
    // base, then mask and top turned by angle (degrees), composed in the scratch bitmap and blitted at
    // (x, y).
    bool DrawRotatedMask(IBitmap* pBase, IBitmap* pMask, IBitmap* pTop, int x, int y, double angle,
                         const IChannelBlend* pBlend = nullptr);
    bool DrawPoint(const IColor* pColor, float x, float y, const IChannelBlend* pBlend = nullptr,
                   bool antiAlias = false);
    // Writes the colour word at (x, y) without blending (nothing outside the bitmap).
    bool ForcePixel(const IColor* pColor, int x, int y);
    bool DrawLine(const IColor* pColor, float x1, float y1, float x2, float y2,
                  const IChannelBlend* pBlend = nullptr, bool antiAlias = false);
    // Angles in radians, 0 up, clockwise.
    bool DrawArc(const IColor* pColor, float cx, float cy, float r, float minAngle, float maxAngle,
                 const IChannelBlend* pBlend = nullptr, bool antiAlias = false);
    bool DrawCircle(const IColor* pColor, float cx, float cy, float r, const IChannelBlend* pBlend = nullptr,
                    bool antiAlias = false);
    bool RoundRect(const IColor* pColor, IRECT* pR, const IChannelBlend* pBlend, int cornerRadius,
                   bool antiAlias);
    bool FillRoundRect(const IColor* pColor, IRECT* pR, const IChannelBlend* pBlend, int cornerRadius,
                       bool antiAlias);
    bool FillIRect(const IColor* pColor, IRECT* pR, const IChannelBlend* pBlend = nullptr);
    bool FillCircle(const IColor* pColor, int cx, int cy, float r, const IChannelBlend* pBlend = nullptr,
                    bool antiAlias = false);
    bool FillTriangle(const IColor* pColor, int x1, int y1, int x2, int y2, int x3, int y3,
                      const IChannelBlend* pBlend = nullptr);
    bool FillIConvexPolygon(const IColor* pColor, int* x, int* y, int npoints,
                            const IChannelBlend* pBlend = nullptr);
    IColor GetPoint(int x, int y);
    bool DrawVerticalLine(const IColor* pColor, int xi, int yLo, int yHi);
    bool DrawHorizontalLine(const IColor* pColor, int yi, int xLo, int xHi);
    // At the fraction x (0..1) of the rectangle's width, from its top to its bottom.
    bool DrawVerticalLine(const IColor* pColor, IRECT* pR, float x);
    // At the fraction y (0..1) of the rectangle's height counted from its bottom.
    bool DrawHorizontalLine(const IColor* pColor, IRECT* pR, float y);
    // The outline through the four corners (R, B) included.
    bool DrawRect(const IColor* pColor, IRECT* pR);
    // Angle in radians, 0 up, clockwise; from radius rMin to rMax.
    bool DrawRadialLine(const IColor* pColor, float cx, float cy, float angle, float rMin, float rMax,
                        const IChannelBlend* pBlend = nullptr, bool antiAlias = false);
    // Draws str in *pR, or with measure changes *pR to the text's extent (see MeasureIText). False when no
    // font can be made for the style. Holds the font lock.
    bool DrawIText(IText* pTxt, const char* str, IRECT* pR, bool measure = false);
    // The style's font from the font store (made on first use, under the font lock); null when none can
    // be made. Whoever draws or measures with the font itself holds EditorStores::FontLock() meanwhile.
    Raster_CachedFont* CacheFont(IText* pTxt);

    // ---- State ----
    IEffectBase* GetPlug() const { return mPlug; }
    int Width() const override { return mWidth; }
    int Height() const override { return mHeight; }
    int FPS() const { return mFPS; }
    int FrameRate() const override { return mFPS; }
    Raster_SysBitmap* GetDrawBitmap() const { return mDrawBitmap; }
    // The rectangle being redrawn (controls read it while drawing).
    const IRECT* GetDrawRECT() const { return &mDrawRECT; }
    int NControls() const { return mControls.GetSize(); }
    IControl* GetControl(int idx) const { return mControls.Get(idx); }
    IControl* GetKeyCatcher() const { return mKeyCatcher; }
    int GetCaptureIdx() const { return mCaptureIdx; }
    int GetMouseOverIdx() const { return mMouseOverIdx; }
    // Mouse movement without a button is routed to controls only when this is on (off by default).
    void HandleMouseOver(bool canHandle) { mRouteMouseOver = canHandle; }
    bool RoutesMouseOver() const { return mRouteMouseOver; }
    bool IsStrictDrawing() const { return mStrictDrawing; }
    void EnableTooltips(bool enable) { mTooltipsEnabled = enable; }
    bool TooltipsEnabled() const { return mTooltipsEnabled; }

protected:
    // The hit-test scan ignoring the capture; -1 when nothing is hit.
    int HitControl(int x, int y, bool mouseOver);
    // The capture index if it names a control, else the scan winner (ignoring the capture).
    int CapturedOrHit(int x, int y, bool mouseOver);
    // Ends the open gesture, then begins one for paramIdx (nothing for -1).
    void BeginGesture(int paramIdx);
    // Sends the end of the open gesture, if one is open.
    void EndGesture();
    // Captures control c, begins its gesture and hands it the press.
    void PressControl(int c, int x, int y, IMouseMod* pMod);
    // The size menu at (x, y), and the size chosen there.
    void PromptSize(int x, int y);

    Util_PtrList<IControl> mControls{4096};
    IEffectBase* mPlug;
    IRECT mDrawRECT;
    bool mCursorHidden = false;
    int mHiddenCursorX = -1, mHiddenCursorY = -1;
    Raster_SysBitmap* mDrawBitmap = nullptr;
    Raster_MemBitmap* mScratchBitmap = nullptr;
    int mWidth, mHeight;
    int mFPS;
    int mCaptureIdx = -1;
    int mMouseOverIdx = -1;
    int mMouseX = 0, mMouseY = 0;
    int mLastClickedParamIdx = -1;
    bool mRouteMouseOver = false;
    bool mStrictDrawing = true;
    bool mTooltipsEnabled = false;
    IControl* mKeyCatcher = nullptr;
    // The parameter of the gesture begun and not yet ended; -1 when none is open.
    int mGestureParamIdx = -1;
    // > 0 while a press, release or double click is handed to a control.
    int mButtonDepth = 0;
    // The modifiers of the key being handed to a control.
    IMouseMod mKeyMod;
    std::unique_ptr<IEditorLayout> mLayout;
    int mSizePercent = 100;

private:
    // The hand-over of values set on other threads (see the threads note above).
    int mNParams = 0;
    std::unique_ptr<std::atomic<double>[]> mPendingValues;
    std::unique_ptr<std::atomic<bool>[]> mPendingFlags;
    std::atomic<bool> mAnyPending{false};
};
