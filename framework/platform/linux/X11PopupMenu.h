#pragma once
// X11PopupMenu: a popup menu shown modally from the editor: our own override-redirect windows on the
// root, one per open (sub)menu level, painted with the raster routines (layout and placement:
// PopupMenuLayout).
//
// Use: Open at a screen point, then the editor runs its nested loop with this as the client until
// Done; Result gives the (sub)menu whose item was chosen, with its chosen index set, or null.
//
// Pointer: moving over an item highlights it and opens its submenu; releasing a button over a
// selectable item chooses it (a release counts once the pointer was pressed inside a menu or a quarter
// of a second has passed since it opened, so the click that opened the menu does not choose); a press
// outside every menu window dismisses. The wheel scrolls a menu taller than the screen. Keyboard: Up and
// Down move (skipping separators and disabled items, wrapping), Home and End, Right or Return opens a
// submenu, Left or Escape closes one (Escape on the first level dismisses), Return, Enter or Space
// chooses.
//
// Grabs: the pointer and keyboard are grabbed for the menu's first window while it is open (retried
// briefly when another client holds them; without them the menu still works inside its windows) and
// released in Close, which the destructor calls: no grab outlives the menu.
//
// Who calls it: IGraphicsLinux under the editor's lock, on its thread; it owns its windows. The model
// menus belong to the caller and must outlive the menu. It measures and paints its text holding the
// font lock of the process's editors (EditorStores::FontLock), inside the editor's lock.
#include <chrono>
#include <memory>
#include <vector>

#include "framework/editor/IPopupMenu.h"
#include "framework/editor/IText.h"
#include "framework/platform/linux/PopupMenuLayout.h"
#include "framework/platform/linux/X11Keys.h"
#include "framework/platform/linux/X11Modal.h"
#include "framework/platform/linux/X11RasterWindow.h"

class IGraphics;

class X11PopupMenu : public X11ModalClient {
public:
    struct Context {
        X11Connection* conn = nullptr;
        IGraphics* graphics = nullptr; // fonts come from its font store
        const X11KeyMap* keys = nullptr;
        int scale = 1;
    };

    explicit X11PopupMenu(const Context& context);
    ~X11PopupMenu() override { Close(); }

    // Shows pMenu with its top-left corner at (x, y) on the screen, or above anchorTop when there is no
    // room below. False when it has no items or no window can be made.
    bool Open(IPopupMenu* pMenu, int x, int y, int anchorTop);
    // Ungrabs and removes every window.
    void Close();
    IPopupMenu* Result() const { return mResult; }
    // Levels open now (for tests and the editor's checks).
    int NLevels() const { return static_cast<int>(mLevels.size()); }
    xcb_window_t LevelWindow(int level) const;
    int Highlight(int level) const;

    // X11ModalClient
    bool OnEvent(const xcb_generic_event_t* ev) override;
    bool Done() override { return mDone; }
    void Abort() override { Finish(nullptr, -1); }

private:
    struct Level {
        IPopupMenu* menu = nullptr;
        PopupMenuLayout layout;
        X11RasterWindow window;
        int x = 0, y = 0, w = 0, h = 0; // screen pixels (w, h: window size)
        int highlight = -1;
        int scroll = 0; // content pixels scrolled off the top
    };

    bool OpenLevel(IPopupMenu* pMenu, int x, int y, int anchorTop, bool submenu);
    void CloseLevelsAfter(int level);
    void Paint(int level);
    // The level whose window holds the screen point, or -1.
    int LevelAt(int rootX, int rootY) const;
    // The item of a level under the screen point, or -1.
    int ItemAt(int level, int rootX, int rootY) const;
    void SetHighlight(int level, int item, bool openSubmenu);
    void OpenSubmenu(int level);
    void EnsureVisible(int level);
    void Scroll(int level, int dy);
    void Finish(IPopupMenu* pMenu, int index);
    void Grab();
    bool Armed() const;
    void OnKey(uint32_t keysym);

    Context mContext;
    IText mStyle;
    int mScreenW = 0, mScreenH = 0;
    std::vector<std::unique_ptr<Level>> mLevels;
    bool mDone = false;
    IPopupMenu* mResult = nullptr;
    bool mPointerGrabbed = false, mKeyboardGrabbed = false;
    bool mPressedInside = false;
    std::chrono::steady_clock::time_point mOpenedAt;
};
