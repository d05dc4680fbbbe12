#pragma once
// X11TextEntry: the inline text field the editor opens over a control to type a value.
//
// A child window of the editor's window over the rectangle (L, T) of (R - L + 1) x (B - T + 1) editor
// pixels, painted with the raster routines: the style's text-entry background, the text in the
// style's text-entry colour with the style's font at 90 % of its size (the font store's cached font),
// aligned as the style says, with the selection and the caret. Editing follows TextEntryModel: the
// parameter's character set ("0123456789.-+" for a double, "0123456789-+" for Boolean, integer and
// enumerated parameters, nothing for a parameter without type; no filter without a parameter, nor for a
// control with units, whose texts hold words) and the control's text-entry length.
//
// Focus: opening takes the keyboard focus for the field (remembering who had it); closing gives it
// back when the field still has it. Keys reach it from X (while it has the focus or the pointer is over
// the editor) and from the host (effEditKeyDown). The window host decides what ends the editing
// (Return, a click elsewhere, losing the focus: commit; Escape: cancel) and calls the editor with the
// text; this class only edits and paints.
//
// Who calls it: IGraphicsLinux under the editor's lock; it owns its window. The control, parameter and
// style belong to the editor and outlive it. It measures and paints its text holding the font lock of the
// process's editors (EditorStores::FontLock), inside the editor's lock.
#include <string>

#include "framework/editor/IRECT.h"
#include "framework/editor/IText.h"
#include "framework/platform/linux/TextEntryModel.h"
#include "framework/platform/linux/X11RasterWindow.h"

class IControl;
class IGraphics;
class IParam;

class X11TextEntry {
public:
    // The character set of a parameter's type (null without a parameter: no filter).
    static const char* CharacterSetFor(const IParam* pParam);

    ~X11TextEntry() { Close(); }

    // Opens the field. False when the window cannot be made.
    bool Open(X11Connection* pConn, xcb_window_t editorWindow, const X11PixelFormat& format, int scale,
              IGraphics* pGraphics, IControl* pControl, const IText* pText, const IRECT& rect,
              const char* str, IParam* pParam);
    // Removes the window and gives the focus back.
    void Close();
    bool IsOpen() const { return mWindow.Id() != 0; }

    xcb_window_t Window() const { return mWindow.Id(); }
    IControl* Control() const { return mControl; }
    IParam* Param() const { return mParam; }
    TextEntryModel& Model() { return mModel; }
    const TextEntryModel& Model() const { return mModel; }
    // The field's rectangle in editor pixels.
    const IRECT& Rect() const { return mRect; }

    // Applies a key and repaints; what the model answered (commit, cancel, clipboard requests...).
    TextEntryModel::EResult Key(const TextKey& key, std::string* pClipText);
    // Inserts pasted text (refused as a whole when it breaks the rules) and repaints.
    void Paste(const std::string& utf8);
    // A press or drag at field pixel x (editor units, from the field's left): moves the caret.
    void Pointer(int x, bool extend);
    void Paint();

private:
    void TakeFocus();
    void GiveFocusBack();
    // x of the caret position i in field pixels, and the position nearest to x.
    int CaretX(int i);
    int PositionAt(int x);
    int TextWidth(const std::string& s);

    X11Connection* mConn = nullptr;
    X11RasterWindow mWindow;
    IGraphics* mGraphics = nullptr;
    IControl* mControl = nullptr;
    IParam* mParam = nullptr;
    IText mStyle;
    IRECT mRect;
    TextEntryModel mModel;
    int mScroll = 0; // pixels the text is moved left to keep the caret in view
    xcb_window_t mPrevFocus = XCB_NONE;
    bool mFocusTaken = false;
};
