#pragma once
// X11MessageBox: the editor's message box when the desktop has no dialog tool: a dialog window of our
// own (managed by the window manager: the caption as its title, transient for the host's window, modal,
// not resizable), centred over the editor, showing the text and the buttons of the button set,
// painted with the raster routines.
//
// Buttons and answers (EMessageBoxResult): OK → 1; OK/Cancel → 1, 7; Yes/No → 1, 7; Yes/No/Cancel →
// 1, 7, 2. Escape or closing the window answers as the set's last button (Cancel, or No for Yes/No; OK
// for OK alone). Return or Space presses the focused button (the first when it opens); Tab, Left and
// Right move the focus. It takes the keyboard focus while open and gives it back.
//
// Use: Open, then the editor's nested loop runs with this as the client until Done; Result answers.
// Who calls it: IGraphicsLinux under the editor's lock; it owns its window. It measures and paints its
// text holding the font lock of the process's editors (EditorStores::FontLock), inside the editor's lock.
#include <string>
#include <vector>

#include "framework/editor/IEditorEnums.h"
#include "framework/editor/IText.h"
#include "framework/platform/linux/X11Keys.h"
#include "framework/platform/linux/X11Modal.h"
#include "framework/platform/linux/X11RasterWindow.h"

class IGraphics;

class X11MessageBox : public X11ModalClient {
public:
    struct Context {
        X11Connection* conn = nullptr;
        IGraphics* graphics = nullptr;
        const X11KeyMap* keys = nullptr;
        int scale = 1;
        xcb_window_t editorWindow = 0; // centred over it, transient for its top-level window
    };

    // The labels and answers of a button set (EMessageBoxType), and the answer of Escape.
    static std::vector<std::pair<std::string, int>> Buttons(int type);
    static int EscapeAnswer(int type);

    explicit X11MessageBox(const Context& context);
    ~X11MessageBox() override { Close(); }

    bool Open(const char* text, const char* caption, int type);
    void Close();
    int Result() const { return mResult; }
    xcb_window_t Window() const { return mWindow.Id(); }
    // The screen rectangle of button i (for tests), in screen pixels relative to the window.
    IRECT ButtonRect(int i) const;

    // X11ModalClient
    bool OnEvent(const xcb_generic_event_t* ev) override;
    bool Done() override { return mDone; }
    void Abort() override { Finish(kMB_None); }

private:
    void Paint();
    void Finish(int answer);
    int ButtonAt(int x, int y) const; // window pixels
    void SetProperties(const char* caption);
    void TakeFocus();

    Context mContext;
    IText mStyle;
    X11RasterWindow mWindow;
    std::vector<std::string> mLines;
    std::vector<std::pair<std::string, int>> mButtons;
    int mEscape = kMB_None;
    int mFocus = 0, mPressed = -1;
    int mLineHeight = 16;
    bool mDone = false, mFocusTaken = false;
    int mResult = kMB_None;
    xcb_window_t mPrevFocus = XCB_NONE;
};
