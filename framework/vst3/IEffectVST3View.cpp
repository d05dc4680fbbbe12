#include "framework/vst3/IEffectVST3View.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "framework/vst3/IEffectVST3.h"

namespace {

using Self = IEffectVST3View;

const v3_plugin_view_cpp kViewTable = {
    VST3Unknown<Self>(),
    {VST3Entry<&Self::IsPlatformTypeSupported>, VST3Entry<&Self::Attached>, VST3Entry<&Self::Removed>,
     VST3Entry<&Self::OnWheel>, VST3Entry<&Self::OnKeyDown>, VST3Entry<&Self::OnKeyUp>,
     VST3Entry<&Self::GetSize>, VST3Entry<&Self::OnSize>, VST3Entry<&Self::OnFocus>,
     VST3Entry<&Self::SetFrame>, VST3Entry<&Self::CanResize>, VST3Entry<&Self::CheckSizeConstraint>}};

const v3_plugin_view_content_scale_cpp kScaleTable = {VST3Unknown<Self>(),
                                                      {VST3Entry<&Self::SetContentScaleFactor>}};

const v3_timer_handler_cpp kTimerTable = {VST3Unknown<Self>(), {VST3Entry<&Self::OnTimer>}};

const v3_event_handler_cpp kEventsTable = {VST3Unknown<Self>(), {VST3Entry<&Self::OnFdIsSet>}};

} // namespace

IEffectVST3View::IEffectVST3View(IEffectVST3* plug) : mPlug(plug) {
    mView = {&kViewTable, this};
    mScale = {&kScaleTable, this};
    mTimer = {&kTimerTable, this};
    mEvents = {&kEventsTable, this};
    mPlug->Ref();
}

IEffectVST3View::~IEffectVST3View() {
    Close();
    if (mLoop) v3_cpp_obj_unref(std::exchange(mLoop, nullptr));
    mPlug->ViewClosed(this);
    mPlug->Unref();
}

v3_result IEffectVST3View::QueryInterface(const uint8_t* iid, void** obj) {
    VST3Face<IEffectVST3View>* face = nullptr;
    if (VST3IsOneOf(iid, v3_funknown_iid, v3_plugin_view_iid))
        face = &mView;
    else if (VST3IsOneOf(iid, v3_plugin_view_content_scale_iid))
        face = &mScale;
    else if (VST3IsOneOf(iid, v3_timer_handler_iid))
        face = &mTimer;
    else if (VST3IsOneOf(iid, v3_event_handler_iid))
        face = &mEvents;
    return VST3Answer(face, obj);
}

uint32_t IEffectVST3View::Ref() {
    return mRefs.Add();
}

uint32_t IEffectVST3View::Unref() {
    const uint32_t left = mRefs.Release();
    if (left == 0) delete this;
    return left;
}

v3_result IEffectVST3View::IsPlatformTypeSupported(const char* type) {
    return type && std::strcmp(type, V3_VIEW_PLATFORM_TYPE_X11) == 0 ? V3_TRUE : V3_FALSE;
}

v3_result IEffectVST3View::Attached(void* parent, const char* type) {
    if (!parent || IsPlatformTypeSupported(type) != V3_TRUE || mParent || !mPlug->GetGUI()) return V3_FALSE;
    // The editor lives on the host's run loop: without one it could neither draw nor hear the mouse.
    if (!mLoop) {
        v3_run_loop** loop = nullptr;
        if (!mFrame || v3_cpp_obj_query_interface(mFrame, v3_run_loop_iid, &loop) != V3_OK || !loop)
            return V3_FALSE;
        mLoop = loop;
    }
    if (!Open(parent)) {
        v3_cpp_obj_unref(std::exchange(mLoop, nullptr));
        return V3_FALSE;
    }
    return V3_OK;
}

bool IEffectVST3View::Open(void* parent) {
    IEffectEditor* gui = mPlug->GetGUI();
    gui->SetHostScale(mScaleFactor);
    if (!gui->OpenWindow(parent)) return false;
    mParent = parent;
    Size(&mShownW, &mShownH);
    mPlug->OnGUIOpen();
    const uint64_t ms = static_cast<uint64_t>(std::max(1000 / std::max(gui->FrameRate(), 1), 1));
    mTimerOn = v3_cpp_obj(mLoop)->register_timer(mLoop, mTimer.As<v3_timer_handler>(), ms) == V3_OK;
    RegisterFd();
    return true;
}

void IEffectVST3View::RegisterFd() {
    const int fd = mPlug->GetGUI()->EventFd();
    if (fd >= 0 &&
        v3_cpp_obj(mLoop)->register_event_handler(mLoop, mEvents.As<v3_event_handler>(), fd) == V3_OK)
        mFd = fd;
}

void IEffectVST3View::UnregisterFd() {
    if (mFd < 0) return;
    mFd = -1;
    v3_cpp_obj(mLoop)->unregister_event_handler(mLoop, mEvents.As<v3_event_handler>());
}

void IEffectVST3View::Close() {
    if (!mParent) return;
    UnregisterFd();
    if (mTimerOn) {
        mTimerOn = false;
        v3_cpp_obj(mLoop)->unregister_timer(mLoop, mTimer.As<v3_timer_handler>());
    }
    mParent = nullptr;
    mPlug->OnGUIClose();
    mPlug->GetGUI()->CloseWindow();
}

v3_result IEffectVST3View::Removed() {
    if (!mParent) return V3_FALSE;
    Close();
    if (mLoop) v3_cpp_obj_unref(std::exchange(mLoop, nullptr));
    return V3_OK;
}

v3_result IEffectVST3View::OnWheel(float) {
    return V3_FALSE;
}

v3_result IEffectVST3View::OnKeyDown(int16_t keyChar, int16_t keyCode, int16_t modifiers) {
    IEffectEditor* gui = mPlug->GetGUI();
    return gui && mParent && gui->HostKeyDown(keyChar, keyCode, modifiers) ? V3_OK : V3_FALSE;
}

v3_result IEffectVST3View::OnKeyUp(int16_t keyChar, int16_t keyCode, int16_t modifiers) {
    IEffectEditor* gui = mPlug->GetGUI();
    return gui && mParent && gui->HostKeyUp(keyChar, keyCode, modifiers) ? V3_OK : V3_FALSE;
}

void IEffectVST3View::Size(int* pW, int* pH) {
    *pW = *pH = 0;
    if (IEffectEditor* gui = mPlug->GetGUI()) gui->WindowSize(pW, pH);
}

v3_result IEffectVST3View::GetSize(v3_view_rect* rect) {
    if (!rect) return V3_INVALID_ARG;
    int w, h;
    Size(&w, &h);
    *rect = {0, 0, w, h};
    return V3_OK;
}

v3_result IEffectVST3View::OnSize(v3_view_rect* rect) {
    if (!rect) return V3_INVALID_ARG;
    int w, h;
    Size(&w, &h);
    return rect->right - rect->left == w && rect->bottom - rect->top == h ? V3_OK : V3_FALSE;
}

v3_result IEffectVST3View::OnFocus(v3_bool) {
    return V3_OK;
}

v3_result IEffectVST3View::SetFrame(v3_plugin_frame** frame) {
    mFrame = frame;
    return V3_OK;
}

v3_result IEffectVST3View::CanResize() {
    return V3_FALSE;
}

v3_result IEffectVST3View::CheckSizeConstraint(v3_view_rect* rect) {
    if (!rect) return V3_INVALID_ARG;
    int w, h;
    Size(&w, &h);
    rect->right = rect->left + w;
    rect->bottom = rect->top + h;
    return V3_OK;
}

v3_result IEffectVST3View::SetContentScaleFactor(float factor) {
    if (!std::isfinite(factor) || factor <= 0.0f) return V3_INVALID_ARG;
    const float before = mScaleFactor;
    mScaleFactor = factor;
    IEffectEditor* gui = mPlug->GetGUI();
    if (!gui) return V3_OK;
    gui->SetHostScale(factor);
    if (!mParent || factor == before) return V3_OK;
    // Attached at another scale: the window opens again at it (a new X connection) and the host hears
    // the size, should it have changed.
    UnregisterFd();
    if (!gui->OpenWindow(mParent)) {
        Close();
        return V3_FALSE;
    }
    RegisterFd();
    EditorResized();
    return V3_OK;
}

void IEffectVST3View::EditorResized() {
    if (!mParent || !mFrame) return;
    int w, h;
    Size(&w, &h);
    if (w == mShownW && h == mShownH) return;
    mShownW = w;
    mShownH = h;
    v3_view_rect rect = {0, 0, w, h};
    v3_cpp_obj(mFrame)->resize_view(mFrame, mView.As<v3_plugin_view>(), &rect);
}

void IEffectVST3View::OnTimer() {
    if (IEffectEditor* gui = mPlug->GetGUI(); gui && mParent) gui->HostIdle();
    mPlug->FlushHostNotifications();
}

void IEffectVST3View::OnFdIsSet(int) {
    if (IEffectEditor* gui = mPlug->GetGUI(); gui && mParent) gui->HostIdle();
}
