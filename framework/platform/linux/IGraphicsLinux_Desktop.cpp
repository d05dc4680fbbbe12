// IGraphicsLinux: dialogs, addresses, the clipboard, the cursor, folders and pictures.
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/platform/linux/IGraphicsLinux.h"
#include "framework/platform/linux/LinuxDialogs.h"
#include "framework/platform/linux/LinuxPaths.h"
#include "framework/platform/linux/LinuxProcess.h"
#include "framework/platform/linux/X11MessageBox.h"
#include "framework/platform/linux/X11Modal.h"
#include "framework/raster/Raster_PNG.h"

extern char** environ;

namespace {

// Waits for a dialog tool as a modal dialog: reads its answer as it comes, done once it is reaped.
class DialogWait : public X11ModalClient {
public:
    explicit DialogWait(LinuxProcess* pProcess) : mProcess(pProcess) {}
    bool OnEvent(const xcb_generic_event_t*) override { return false; }
    bool Done() override { return mDone; }
    void Abort() override {
        mProcess->Terminate();
        mAborted = mDone = true;
    }
    int Fd() override { return mProcess->OutputFd(); }
    void OnTurn() override {
        mProcess->ReadAvailable();
        if (mProcess->OutputFd() < 0 && mProcess->TryReap()) mDone = true;
    }
    bool Aborted() const { return mAborted; }

private:
    LinuxProcess* mProcess;
    bool mDone = false, mAborted = false;
};

// Anchor for PluginPath and the resource folder: any function of this module.
void ModuleAnchor() {}

bool EndsWithPNG(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot && strcasecmp(dot + 1, "png") == 0;
}

} // namespace

bool IGraphicsLinux::RunDialogTool(const DialogCommand& cmd, int* pExitCode, std::string* pOutput) {
    std::vector<std::string> set;
    if (mConn) set.push_back("DISPLAY=" + mConn->DisplayName());
    const std::vector<std::string> env = LinuxChildEnvironment(environ, set);
    LinuxProcess process;
    if (!process.Start(cmd.mPath, cmd.mArgs, env, true)) return false;
    DialogWait wait(&process);
    RunModal(&wait, 0);
    *pExitCode = wait.Aborted() ? -1 : process.ExitCode();
    *pOutput = process.Output();
    return true;
}

int IGraphicsLinux::ShowMessageBox(const char* text, const char* caption, int type) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    DialogCommand cmd = FindDialogTool(std::getenv("XDG_CURRENT_DESKTOP"));
    if (cmd.mTool != EDialogTool::kNone) {
        MessageBoxCommand(&cmd, text, caption, type, Open() ? mParent : 0);
        int exitCode = -1;
        std::string output;
        if (RunDialogTool(cmd, &exitCode, &output))
            return MessageBoxAnswer(cmd.mTool, type, exitCode, output);
    }
    if (!Open()) return kMB_None;
    X11MessageBox::Context context;
    context.conn = mConn.get();
    context.graphics = this;
    context.keys = &mKeys;
    context.scale = mScale;
    context.editorWindow = mWindow;
    X11MessageBox box(context);
    if (!box.Open(text, caption, type)) return kMB_None;
    RunModal(&box, 0);
    box.Close();
    return box.Result();
}

void IGraphicsLinux::PromptForFile(Util_String* pFilename, EFileAction action, Util_String* pDir,
                                   const char* extensions) {
    if (!pFilename) return;
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (!Open()) {
        pFilename->Set("");
        return;
    }
    const std::string suggested = pFilename->Get();
    std::string dir = pDir ? pDir->Get() : "";
    if (dir.empty()) {
        dir = "~/Desktop";
        if (pDir) pDir->Set(dir.c_str());
    }
    pFilename->Set("");
    DialogCommand cmd = FindDialogTool(std::getenv("XDG_CURRENT_DESKTOP"));
    if (cmd.mTool == EDialogTool::kNone) return; // no dialog on this desktop: an empty answer
    if (dir[0] == '~' && (dir.size() == 1 || dir[1] == '/')) dir = LinuxHomeFolder() + dir.substr(1);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    FilePromptCommand(&cmd, action, dir, suggested, extensions ? extensions : "", mParent);
    int exitCode = -1;
    std::string output, path;
    if (!RunDialogTool(cmd, &exitCode, &output) || !FilePromptAnswer(exitCode, output, &path)) return;
    pFilename->Set(path.c_str());
    if (pDir) pDir->Set(path.substr(0, path.rfind('/') + 1).c_str());
}

bool IGraphicsLinux::OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg,
                             const char* errMsgOnFailure) {
    (void)msgWindowTitle;
    (void)confirmMsg;
    (void)errMsgOnFailure;
    if (!url || !url[0]) return true; // nothing that could be opened: nothing to do
    const std::string opener = LinuxFindExecutable("xdg-open");
    if (opener.empty()) return false;
    // A leading '-' would read as an option: such a text can only be a relative file name.
    const std::string target = url[0] == '-' ? std::string("./") + url : std::string(url);
    std::vector<std::string> set;
    {
        std::lock_guard<std::recursive_mutex> lock(mLock);
        if (mConn) set.push_back("DISPLAY=" + mConn->DisplayName());
    }
    LinuxProcess process;
    if (!process.Start(opener, {"xdg-open", target}, LinuxChildEnvironment(environ, set), false))
        return false;
    process.Detach(); // reaped by a later idle call
    return true;
}

bool IGraphicsLinux::GetTextFromClipboard(Util_String* pStr) {
    if (!pStr) return false;
    std::lock_guard<std::recursive_mutex> lock(mLock);
    std::string text;
    const bool ok = Open() && mClipboard.Read(&text, 50);
    pStr->Set(ok ? text.c_str() : "");
    return ok && !text.empty();
}

void IGraphicsLinux::HideMouseCursor() {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (mCursorHidden || !Open()) return;
    xcb_connection_t* c = mConn->Get();
    xcb_query_pointer_reply_t* p = xcb_query_pointer_reply(c, xcb_query_pointer(c, mConn->Root()), nullptr);
    if (!p) return;
    const int x = p->root_x, y = p->root_y;
    std::free(p);
    if (!mBlankCursor) {
        // A cursor without a single visible pixel.
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        xcb_create_pixmap(c, 1, pixmap, mWindow, 1, 1);
        const xcb_gcontext_t gc = xcb_generate_id(c);
        const uint32_t zero = 0;
        xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &zero);
        const xcb_rectangle_t all = {0, 0, 1, 1};
        xcb_poly_fill_rectangle(c, pixmap, gc, 1, &all);
        xcb_free_gc(c, gc);
        const xcb_cursor_t cursor = xcb_generate_id(c);
        if (mConn->Check(xcb_create_cursor_checked(c, cursor, pixmap, pixmap, 0, 0, 0, 0, 0, 0, 0, 0)))
            mBlankCursor = cursor;
        xcb_free_pixmap(c, pixmap);
        if (!mBlankCursor) return;
    }
    // While a button is down the pointer belongs to our window, so its cursor shows wherever it goes.
    if (!mConn->Check(xcb_change_window_attributes_checked(c, mWindow, XCB_CW_CURSOR, &mBlankCursor))) return;
    mCursorHidden = true;
    mHiddenCursorX = x;
    mHiddenCursorY = y;
    mConn->Flush();
}

void IGraphicsLinux::ShowMouseCursor() {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (!mCursorHidden || !Open()) return;
    xcb_connection_t* c = mConn->Get();
    xcb_warp_pointer(c, XCB_NONE, mConn->Root(), 0, 0, 0, 0, static_cast<int16_t>(mHiddenCursorX),
                     static_cast<int16_t>(mHiddenCursorY));
    const uint32_t none = XCB_NONE;
    if (!mConn->Check(xcb_change_window_attributes_checked(c, mWindow, XCB_CW_CURSOR, &none))) return;
    mCursorHidden = false;
    mConn->Flush();
}

void IGraphicsLinux::HostPath(Util_String* pPath) {
    if (!pPath) return;
    const std::string exe = LinuxExecutablePath();
    if (!exe.empty()) pPath->Set(exe.c_str());
}

void IGraphicsLinux::PluginPath(Util_String* pPath) {
    if (!pPath) return;
    const std::string folder = LinuxModuleFolder(reinterpret_cast<const void*>(&ModuleAnchor));
    if (!folder.empty()) pPath->Set(folder.c_str());
}

void IGraphicsLinux::DesktopPath(Util_String* pPath) {
    if (pPath) pPath->Set(LinuxUserDir("DESKTOP", "Desktop").c_str());
}

void IGraphicsLinux::AppSupportPath(Util_String* pPath, bool isSystem) {
    if (pPath) pPath->Set((isSystem ? LinuxSystemDataDir() : LinuxDataHome()).c_str());
}

void IGraphicsLinux::SandboxSafeAppSupportPath(Util_String* pPath) {
    if (pPath) pPath->Set(LinuxUserDir("MUSIC", "Music").c_str());
}

Raster_IBitmap* IGraphicsLinux::OSLoadBitmap(int ID, const char* name) {
    (void)ID;
    if (!name || !EndsWithPNG(name)) return nullptr;
    const char* slash = std::strrchr(name, '/');
    // A replacement the user dropped into the resource folder beside the plug-in, else the compiled-in
    // picture, decoded when it is first drawn (so instantiating the plug-in decodes nothing).
    const std::string folder = LinuxResourceFolder(reinterpret_cast<const void*>(&ModuleAnchor));
    return Raster_LoadNamedPicture(folder.c_str(), slash ? slash + 1 : name);
}
