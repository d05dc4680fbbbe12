#include "host/HostEditorSession.h"

#include <chrono>
#include <thread>

namespace {
// Size of the window while the plug-in has not said how large its editor is.
constexpr int kProvisionalWidth = 640, kProvisionalHeight = 480;
constexpr auto kMapWait = std::chrono::seconds(5);
} // namespace

HostEditorSession::~HostEditorSession() {
    if (mOpen) mEffect.CloseEditor();
    if (mDisplay) XSync(mDisplay, False);
    mWindow.reset();
}

bool HostEditorSession::Open(std::string& err) {
    if (!mEffect.HasEditor()) {
        err = "the plug-in has no editor";
        return false;
    }
    if (!mEffect.EditorSize(mW, mH)) {
        mW = kProvisionalWidth;
        mH = kProvisionalHeight;
    }
    const int errors = HostXErrorTrap::Errors();
    mWindow = std::make_unique<HostWindow>(mDisplay, mW, mH, "tidebloom-host validate");
    XMapWindow(mDisplay, mWindow->Id());
    XSync(mDisplay, False);
    const auto deadline = std::chrono::steady_clock::now() + kMapWait;
    while (!mWindow->Pump() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (HostXErrorTrap::Errors() != errors) {
        err = "the X server refused the editor's window";
        return false;
    }
    mOpen = mEffect.OpenEditor(mWindow->Id());
    if (!mOpen) err = "the editor did not open";
    return mOpen;
}

void HostEditorSession::Idle() {
    if (!mOpen) return;
    int w = mW, h = mH;
    if (mEffect.EditorSize(w, h) && (w != mW || h != mH)) {
        mW = w;
        mH = h;
        mWindow->Resize(w, h);
    }
    mEffect.IdleEditor();
    mWindow->Pump();
    XSync(mDisplay, False);
}
