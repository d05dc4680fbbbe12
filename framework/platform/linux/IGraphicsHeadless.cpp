#include "framework/platform/linux/IGraphicsHeadless.h"

#include <strings.h>

#include <cstring>

#include "framework/platform/linux/LinuxEditorSettings.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/raster/Raster_PNG.h"

namespace {

// Stands for the window while the editor is "open".
char sWindowToken;

// The last path component of name.
const char* BaseName(const char* name) {
    const char* slash = std::strrchr(name, '/');
    return slash ? slash + 1 : name;
}

bool HasPNGExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot && strcasecmp(dot + 1, "png") == 0;
}

} // namespace

IGraphicsHeadless::IGraphicsHeadless(IEffectBase* pPlug, int w, int h, int fps, const char* folder)
    : IGraphics(pPlug, w, h, fps), mFolder(folder && folder[0] ? folder : ".") {
    while (mFolder.size() > 1 && mFolder.back() == '/') mFolder.pop_back();
}

IGraphicsHeadless::~IGraphicsHeadless() = default;

// ---- Window and screen ----

void* IGraphicsHeadless::OpenWindow(void* pParentWnd) {
    (void)pParentWnd;
    CloseWindow();
    // An editor with sizes opens at the one the user chose last (a screen of scale 1).
    if (GetLayout()) SetSizePercent(PreferredSizePercent(100));
    mOpen = true;
    UpdateTooltips();
    return &sWindowToken;
}

void IGraphicsHeadless::CloseWindow() {
    if (!mOpen) return;
    // A drag still captured never sees its release: its gesture ends with the window.
    ReleaseMouseCapture();
    ForceEndUserEdit();
    mOpen = false;
}

void* IGraphicsHeadless::GetWindow() {
    return mOpen ? &sWindowToken : nullptr;
}

bool IGraphicsHeadless::DrawScreen(IRECT* pR) {
    ++mFrames;
    if (pR) mLastScreenRect = *pR;
    return true;
}

int IGraphicsHeadless::ReadSizeChoice() {
    return LinuxReadEditorSize(mPlug ? mPlug->GetEffectName() : "");
}

void IGraphicsHeadless::WriteSizeChoice(int percent) {
    LinuxWriteEditorSize(mPlug ? mPlug->GetEffectName() : "", percent);
}

void IGraphicsHeadless::Resize(int w, int h) {
    if (w == Width() && h == Height()) return;
    IGraphics::Resize(w, h);
}

void IGraphicsHeadless::HostIdle() {
    if (!mOpen) return;
    IRECT r;
    if (IsDirty(&r)) Draw(&r);
}

void IGraphicsHeadless::UpdateTooltips() {
    ++mTooltipUpdates;
}

// ---- Pictures ----

Raster_IBitmap* IGraphicsHeadless::OSLoadBitmap(int ID, const char* name) {
    (void)ID;
    if (!name || !HasPNGExtension(name)) return nullptr;
    const char* base = BaseName(name);
    if (const Raster_NamedResource* res = Raster_FindNamedResource(base))
        return Raster_LoadPNGFromMemory(res->data, res->length, nullptr);
    const std::string path = mFolder + "/" + base;
    return Raster_LoadPNG(path.c_str(), nullptr);
}

// ---- Text fields ----

void IGraphicsHeadless::CreateTextEntry(IControl* pControl, IText* pText, IRECT* pTextRect, const char* str,
                                        IParam* pParam) {
    (void)pText;
    if (!pControl || mTextEntryOpen) return;
    TextEntryRequest request;
    request.mControl = pControl;
    request.mParam = pParam;
    request.mRect = pTextRect ? *pTextRect : IRECT();
    request.mText = str ? str : "";
    request.mMaxLength = pControl->GetTextEntryLength();
    mTextEntries.push_back(request);
    mTextEntryOpen = true;
    if (!mTextAnswers.empty()) {
        const std::string answer = mTextAnswers.front();
        mTextAnswers.pop_front();
        CommitTextEntry(answer.c_str());
    }
}

bool IGraphicsHeadless::CommitTextEntry(const char* text) {
    if (!mTextEntryOpen || mTextEntries.empty()) return false;
    const TextEntryRequest request = mTextEntries.back();
    mTextEntryOpen = false;
    if (request.mParam)
        SetFromStringAfterPrompt(request.mControl, request.mParam, text);
    else
        request.mControl->TextFromTextEntry(text);
    return true;
}

void IGraphicsHeadless::ForceEndUserEdit() {
    mTextEntryOpen = false;
}

void IGraphicsHeadless::QueueTextEntryAnswer(const char* text) {
    mTextAnswers.push_back(text ? text : "");
}

// ---- Menus ----

IPopupMenu* IGraphicsHeadless::CreateIPopupMenu(IPopupMenu* pMenu, IRECT* pAreaRect) {
    ReleaseMouseCapture();
    if (!pMenu) return nullptr;
    MenuRequest request;
    for (int i = 0; i < pMenu->NItems(); ++i) {
        const IPopupMenuItem* item = pMenu->GetItem(i);
        request.mItems.push_back(item->GetText());
        request.mFlags.push_back(item->GetFlags());
        request.mHasSubmenu.push_back(item->GetSubmenu() != nullptr);
    }
    request.mRect = pAreaRect ? *pAreaRect : IRECT();
    mMenus.push_back(request);

    std::vector<int> path;
    if (!mMenuAnswers.empty()) {
        path = mMenuAnswers.front();
        mMenuAnswers.pop_front();
    }
    if (!mOpen || path.empty()) return nullptr;
    IPopupMenu* menu = pMenu;
    for (size_t step = 0; step + 1 < path.size(); ++step) {
        const IPopupMenuItem* item = menu->GetItem(path[step]);
        if (!item || !item->GetSubmenu()) return nullptr;
        menu = item->GetSubmenu();
    }
    const IPopupMenuItem* chosen = menu->GetItem(path.back());
    // Only items a user can pick: enabled, not separators, not submenu entries.
    if (!chosen || !chosen->GetEnabled() || chosen->GetIsSeparator() || chosen->GetSubmenu()) return nullptr;
    menu->SetChosenItemIdx(path.back());
    return menu;
}

void IGraphicsHeadless::QueueMenuAnswer(std::vector<int> path) {
    mMenuAnswers.push_back(std::move(path));
}

// ---- Message boxes, files, addresses, clipboard ----

int IGraphicsHeadless::ShowMessageBox(const char* text, const char* caption, int type) {
    mMessageBoxes.push_back(MessageBoxRequest{text ? text : "", caption ? caption : "", type});
    if (mMessageBoxAnswers.empty()) return kMB_None;
    const int answer = mMessageBoxAnswers.front();
    mMessageBoxAnswers.pop_front();
    return answer;
}

void IGraphicsHeadless::QueueMessageBoxAnswer(int answer) {
    mMessageBoxAnswers.push_back(answer);
}

void IGraphicsHeadless::PromptForFile(Util_String* pFilename, EFileAction action, Util_String* pDir,
                                      const char* extensions) {
    if (!pFilename) return;
    if (!mOpen) {
        pFilename->Set("");
        return;
    }
    Util_String desktop;
    DesktopPath(&desktop);
    if (pDir && pDir->IsEmpty()) pDir->Set(desktop.Get());
    FileRequest request;
    request.mAction = action;
    request.mStartDir = pDir ? pDir->Get() : desktop.Get();
    request.mSuggestedFile = pFilename->Get();
    request.mExtensions = extensions ? extensions : "";
    mFileRequests.push_back(request);

    pFilename->Set("");
    if (mFileAnswers.empty()) return;
    const std::string answer = mFileAnswers.front();
    mFileAnswers.pop_front();
    if (answer.empty()) return;
    pFilename->Set(answer.c_str());
    if (pDir) {
        const size_t slash = answer.rfind('/');
        pDir->Set(slash == std::string::npos ? "./" : answer.substr(0, slash + 1).c_str());
    }
}

void IGraphicsHeadless::QueueFileAnswer(const char* path) {
    mFileAnswers.push_back(path ? path : "");
}

bool IGraphicsHeadless::PromptForColor(IColor* pColor, const char* prompt) {
    (void)pColor;
    (void)prompt;
    return false;
}

bool IGraphicsHeadless::OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg,
                                const char* errMsgOnFailure) {
    (void)msgWindowTitle;
    (void)confirmMsg;
    (void)errMsgOnFailure;
    mURLs.push_back(url ? url : "");
    if (mURLAnswers.empty()) return true;
    const bool opened = mURLAnswers.front();
    mURLAnswers.pop_front();
    return opened;
}

void IGraphicsHeadless::QueueOpenURLAnswer(bool opened) {
    mURLAnswers.push_back(opened);
}

bool IGraphicsHeadless::GetTextFromClipboard(Util_String* pStr) {
    if (!pStr) return false;
    pStr->Set(mClipboard.c_str());
    return !mClipboard.empty();
}

void IGraphicsHeadless::SetClipboardText(const char* text) {
    mClipboard = text ? text : "";
}

// ---- Paths (all inside the folder) ----

void IGraphicsHeadless::HostPath(Util_String* pPath) {
    if (pPath) pPath->Set((mFolder + "/host").c_str());
}

void IGraphicsHeadless::PluginPath(Util_String* pPath) {
    if (pPath) pPath->Set((mFolder + "/").c_str());
}

void IGraphicsHeadless::DesktopPath(Util_String* pPath) {
    if (pPath) pPath->Set((mFolder + "/Desktop").c_str());
}

void IGraphicsHeadless::AppSupportPath(Util_String* pPath, bool isSystem) {
    if (pPath) pPath->Set((mFolder + (isSystem ? "/SystemAppSupport" : "/AppSupport")).c_str());
}

void IGraphicsHeadless::SandboxSafeAppSupportPath(Util_String* pPath) {
    if (pPath) pPath->Set((mFolder + "/Music").c_str());
}
