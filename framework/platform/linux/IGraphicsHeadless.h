#pragma once
// IGraphicsHeadless: a window host that opens no window, for tests, benchmarks and snapshots.
//
// - OpenWindow returns a token (not a real window; an editor with sizes takes the size the user chose
//   last, as the X11 window host does) and CloseWindow forgets it (releasing the mouse
//   capture, which ends an open gesture, and closing a text field); HostIdle, while "open",
//   runs the redraw cycle a real host runs on its timer: IsDirty, then Draw of the dirty union.
// - DrawScreen: the screen is the off-screen bitmap itself (GetDrawBitmap); it counts frames and keeps
//   the last rectangle.
// - Menus, text fields, message boxes, file prompts, addresses and the clipboard take scripted answers
//   from queues the caller fills; every request is recorded. Without an answer a menu is dismissed, a
//   message box answers kMB_None, a file prompt is cancelled, an address opens, and a text field stays
//   open until CommitTextEntry or ForceEndUserEdit.
// - Paths point into the folder given to the constructor; pictures are compiled-in named resources
//   first, then PNG files of that name in the folder.
//
// Threads: as IGraphics (the editor's thread; only SetParameterFromPlug from anywhere). The scripting
// and recording members belong to the editor's thread too.
#include <deque>
#include <string>
#include <vector>

#include "framework/editor/IGraphics.h"

class IGraphicsHeadless : public IGraphics {
public:
    // One menu shown by CreateIPopupMenu, as it was offered.
    struct MenuRequest {
        std::vector<std::string> mItems;
        std::vector<int> mFlags;
        std::vector<bool> mHasSubmenu;
        IRECT mRect;
    };
    // One text field opened by CreateTextEntry.
    struct TextEntryRequest {
        IControl* mControl;
        IParam* mParam;
        IRECT mRect;
        std::string mText;
        int mMaxLength;
    };
    struct MessageBoxRequest {
        std::string mText, mCaption;
        int mType;
    };
    struct FileRequest {
        EFileAction mAction;
        std::string mStartDir, mSuggestedFile, mExtensions;
    };

    // folder: where the paths point and picture files are looked up (may be null or empty: the current
    // folder).
    IGraphicsHeadless(IEffectBase* pPlug, int w, int h, int fps = 0, const char* folder = nullptr);
    ~IGraphicsHeadless() override;

    // ---- Platform operations ----
    bool DrawScreen(IRECT* pR) override;
    void ForceEndUserEdit() override;
    void Resize(int w, int h) override;
    // The size remembered for the plug-in (LinuxEditorSettings, as the X11 window host).
    int ReadSizeChoice() override;
    void WriteSizeChoice(int percent) override;
    const char* GetGUIAPI() override { return "Headless"; }
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    IPopupMenu* CreateIPopupMenu(IPopupMenu* pMenu, IRECT* pAreaRect) override;
    void CreateTextEntry(IControl* pControl, IText* pText, IRECT* pTextRect, const char* str,
                         IParam* pParam) override;
    void HostPath(Util_String* pPath) override;
    void PluginPath(Util_String* pPath) override;
    void DesktopPath(Util_String* pPath) override;
    void AppSupportPath(Util_String* pPath, bool isSystem = false) override;
    void SandboxSafeAppSupportPath(Util_String* pPath) override;
    void PromptForFile(Util_String* pFilename, EFileAction action = kFileOpen, Util_String* pDir = nullptr,
                       const char* extensions = "") override;
    bool PromptForColor(IColor* pColor, const char* prompt = "") override;
    bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
                 const char* errMsgOnFailure = nullptr) override;
    using IGraphics::OpenWindow;
    void* OpenWindow(void* pParentWnd) override;
    void CloseWindow() override;
    void* GetWindow() override;
    bool GetTextFromClipboard(Util_String* pStr) override;
    void UpdateTooltips() override;
    // Only names ending in ".png" (any case); the last path component is looked up as a compiled-in
    // named resource, then as a file in the folder.
    Raster_IBitmap* OSLoadBitmap(int ID, const char* name) override;
    // While open: IsDirty, then Draw of the union when anything is dirty.
    void HostIdle() override;

    // ---- Scripted answers ----
    // The next menu chooses along path: every index but the last picks a submenu item, the last the item
    // chosen in that (sub)menu. A path that does not lead to an enabled item that is not a separator or a
    // submenu dismisses the menu. An empty path dismisses it.
    void QueueMenuAnswer(std::vector<int> path);
    void QueueMenuDismiss() { QueueMenuAnswer({}); }
    // The text the next text field is committed with, at once.
    void QueueTextEntryAnswer(const char* text);
    void QueueMessageBoxAnswer(int answer);
    // The next file prompt chooses this path (null or empty: cancel).
    void QueueFileAnswer(const char* path);
    void QueueOpenURLAnswer(bool opened);
    void SetClipboardText(const char* text);
    // Commits the open text field with text (as the window host does when editing ends); false when none
    // is open.
    bool CommitTextEntry(const char* text);

    // ---- What happened ----
    int NFramesDrawn() const { return mFrames; }
    const IRECT& LastScreenRect() const { return mLastScreenRect; }
    bool TextEntryOpen() const { return mTextEntryOpen; }
    const std::vector<MenuRequest>& MenuRequests() const { return mMenus; }
    const std::vector<TextEntryRequest>& TextEntryRequests() const { return mTextEntries; }
    const std::vector<MessageBoxRequest>& MessageBoxRequests() const { return mMessageBoxes; }
    const std::vector<FileRequest>& FileRequests() const { return mFileRequests; }
    const std::vector<std::string>& OpenedURLs() const { return mURLs; }
    int NTooltipUpdates() const { return mTooltipUpdates; }
    const std::string& Folder() const { return mFolder; }

private:
    std::string mFolder;
    bool mOpen = false;
    int mFrames = 0;
    IRECT mLastScreenRect;
    int mTooltipUpdates = 0;

    std::deque<std::vector<int>> mMenuAnswers;
    std::deque<std::string> mTextAnswers;
    std::deque<int> mMessageBoxAnswers;
    std::deque<std::string> mFileAnswers;
    std::deque<bool> mURLAnswers;
    std::string mClipboard;

    bool mTextEntryOpen = false;
    std::vector<MenuRequest> mMenus;
    std::vector<TextEntryRequest> mTextEntries;
    std::vector<MessageBoxRequest> mMessageBoxes;
    std::vector<FileRequest> mFileRequests;
    std::vector<std::string> mURLs;
};
