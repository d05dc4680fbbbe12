#include "framework/clap/ClapEditorDriver.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "framework/clap/ClapCalls.h"
#include "framework/plugin/IEffectEditor.h"

void ClapEditorDriver::SetHost(const clap_host_t* host) {
    mHost = host;
    mTimers = ClapHostExtension<clap_host_timer_support_t>(host, CLAP_EXT_TIMER_SUPPORT);
    if (mTimers && (!mTimers->register_timer || !mTimers->unregister_timer)) mTimers = nullptr;
    mFds = ClapHostExtension<ClapHostPosixFdSupport>(host, kClapExtPosixFdSupport);
    if (mFds && (!mFds->registerFd || !mFds->unregisterFd)) mFds = nullptr;
    mHostGui = ClapHostExtension<clap_host_gui_t>(host, CLAP_EXT_GUI);
}

bool ClapEditorDriver::IsApiSupported(const char* api, bool floating) {
    (void)floating;
    return api && !std::strcmp(api, CLAP_WINDOW_API_X11);
}

bool ClapEditorDriver::Create(IEffectEditor* editor, const char* api, bool floating) {
    // A floating window may come without an api; an embedded one needs X11.
    if (!editor || !mTimers || mEditor) return false;
    if (!(floating && (!api || !api[0])) && !IsApiSupported(api, floating)) return false;
    mEditor = editor;
    mFloating = floating;
    mShown = false;
    return true;
}

void ClapEditorDriver::Destroy() {
    if (!mEditor) return;
    StopDriving();
    if (mEditor->WindowIsOpen()) mEditor->CloseWindow();
    mEditor = nullptr;
    mShown = false;
}

bool ClapEditorDriver::SetScale(double scale) {
    if (!mEditor || !(scale > 0.0)) return false;
    mEditor->SetHostScale(scale);
    return true;
}

bool ClapEditorDriver::GetSize(uint32_t* width, uint32_t* height) const {
    if (!mEditor || !width || !height) return false;
    int w = 0, h = 0;
    mEditor->WindowSize(&w, &h);
    *width = static_cast<uint32_t>(std::max(w, 0));
    *height = static_cast<uint32_t>(std::max(h, 0));
    return true;
}

bool ClapEditorDriver::SetSize(uint32_t width, uint32_t height) const {
    uint32_t w = 0, h = 0;
    return GetSize(&w, &h) && w == width && h == height;
}

void ClapEditorDriver::EditorResized() {
    uint32_t w = 0, h = 0;
    if (!mEditor || !mEditor->WindowIsOpen() || !mHostGui || !mHostGui->request_resize || !GetSize(&w, &h))
        return;
    mHostGui->request_resize(mHost, w, h);
}

bool ClapEditorDriver::SetParent(const clap_window_t* window) {
    if (!mEditor || mFloating || !window || !IsApiSupported(window->api, false) || !window->x11) return false;
    if (!mEditor->OpenWindow(reinterpret_cast<void*>(static_cast<uintptr_t>(window->x11)))) return false;
    StartDriving();
    return true;
}

bool ClapEditorDriver::Show() {
    if (!mEditor) return false;
    if (mFloating && !mEditor->WindowIsOpen()) {
        if (!mEditor->OpenWindow(nullptr)) return false;
        mShown = true;
    }
    if (!mEditor->WindowIsOpen()) return false; // embedded, before set_parent
    StartDriving();
    return true;
}

bool ClapEditorDriver::Hide() {
    if (!mEditor) return false;
    StopDriving();
    if (mFloating && mEditor->WindowIsOpen()) mEditor->CloseWindow();
    mShown = false;
    return true;
}

void ClapEditorDriver::StartDriving() {
    if (mTimer == CLAP_INVALID_ID) {
        const int fps = std::clamp(mEditor->FrameRate(), 1, 1000);
        clap_id id = CLAP_INVALID_ID;
        if (mTimers->register_timer(mHost, static_cast<uint32_t>(1000 / fps), &id)) mTimer = id;
    }
    // The window's connection changes with every opening: the host watches the current one.
    const int fd = mEditor->EventFd();
    if (fd == mFd || !mFds) return;
    if (mFd >= 0) mFds->unregisterFd(mHost, mFd);
    mFd = fd >= 0 && mFds->registerFd(mHost, fd, kClapPosixFdRead) ? fd : -1;
}

void ClapEditorDriver::StopDriving() {
    if (mTimer != CLAP_INVALID_ID) mTimers->unregister_timer(mHost, mTimer);
    mTimer = CLAP_INVALID_ID;
    if (mFd >= 0 && mFds) mFds->unregisterFd(mHost, mFd);
    mFd = -1;
}

void ClapEditorDriver::OnTimer(clap_id timerId) {
    if (mEditor && timerId == mTimer && mTimer != CLAP_INVALID_ID) Idle();
}

void ClapEditorDriver::OnFd(int fd, uint32_t flags) {
    (void)flags;
    if (mEditor && fd == mFd && mFd >= 0) Idle();
}

void ClapEditorDriver::Idle() {
    mEditor->HostIdle();
    // The user closed our floating window: the host hears it, and may show it again.
    if (mFloating && mShown && !mEditor->WindowIsOpen()) {
        mShown = false;
        StopDriving();
        if (mHostGui && mHostGui->closed) mHostGui->closed(mHost, false);
    }
}
