#include "framework/lv2/IEffectLV2UI.h"

#include <cmath>
#include <cstring>

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include "framework/plugin/Log.h"

namespace {

constexpr int kDefaultFPS = 30;

IEffectLV2UI* FromHandle(LV2UI_Handle ui) {
    return static_cast<IEffectLV2UI*>(ui);
}

const LV2_Feature* FindFeature(const LV2_Feature* const* features, const char* uri) {
    if (!features) return nullptr;
    for (; *features; ++features)
        if ((*features)->URI && !std::strcmp((*features)->URI, uri)) return *features;
    return nullptr;
}

const void* FeatureData(const LV2_Feature* const* features, const char* uri) {
    const LV2_Feature* f = FindFeature(features, uri);
    return f ? f->data : nullptr;
}

// An instance option's value as a number (atom:Float, atom:Double or atom:Int); NaN when the host
// does not give it in one of those forms.
double OptionValue(const LV2_Feature* const* features, const char* uri) {
    const auto* map = static_cast<const LV2_URID_Map*>(FeatureData(features, LV2_URID__map));
    const auto* options = static_cast<const LV2_Options_Option*>(FeatureData(features, LV2_OPTIONS__options));
    if (!map || !map->map || !options) return NAN;
    const LV2_URID key = map->map(map->handle, uri);
    const LV2_URID atomFloat = map->map(map->handle, LV2_ATOM__Float);
    const LV2_URID atomDouble = map->map(map->handle, LV2_ATOM__Double);
    const LV2_URID atomInt = map->map(map->handle, LV2_ATOM__Int);
    for (const LV2_Options_Option* o = options; o->key || o->value; ++o) {
        if (!key || o->key != key || o->context != LV2_OPTIONS_INSTANCE || !o->value) continue;
        if (o->type == atomFloat && o->size == sizeof(float)) {
            float v;
            std::memcpy(&v, o->value, sizeof(v));
            return v;
        }
        if (o->type == atomDouble && o->size == sizeof(double)) {
            double v;
            std::memcpy(&v, o->value, sizeof(v));
            return v;
        }
        if (o->type == atomInt && o->size == sizeof(int32_t)) {
            int32_t v;
            std::memcpy(&v, o->value, sizeof(v));
            return v;
        }
    }
    return NAN;
}

// A function on the instance; no exception reaches the host.
template <class Call>
int CallUI(LV2UI_Handle ui, int failed, Call call) {
    IEffectLV2UI* plug = FromHandle(ui);
    if (!plug) return failed;
    try {
        return call(*plug);
    } catch (...) {
        return failed;
    }
}

const LV2UI_Idle_Interface kIdleInterface = {IEffectLV2UI::Idle};
const LV2UI_Show_Interface kShowInterface = {IEffectLV2UI::Show, IEffectLV2UI::Hide};

} // namespace

IEffectLV2UI::IEffectLV2UI(const IEffectLV2UIInfo& info, const IEffectDescription& desc)
    : IEffectBase(desc, kAPILV2), mLayout(LV2PortLayout::Of(desc)), mWrite(info.mWrite),
      mController(info.mController) {
    Trace(__func__, __LINE__, "%s", desc.mEffectName ? desc.mEffectName : "");
    mParent = const_cast<void*>(FeatureData(info.mFeatures, LV2_UI__parent));
    mResize = static_cast<const LV2UI_Resize*>(FeatureData(info.mFeatures, LV2_UI__resize));
    mTouch = static_cast<const LV2UI_Touch*>(FeatureData(info.mFeatures, LV2_UI__touch));
    const double scale = OptionValue(info.mFeatures, LV2_UI__scaleFactor);
    mScaleFactor = std::isfinite(scale) && scale > 0.0 ? scale : 0.0;
}

IEffectLV2UI::~IEffectLV2UI() = default;

std::string IEffectLV2UI::URIFor(const IEffectDescription& desc) {
    return std::string(desc.mURI ? desc.mURI : "") + "#ui";
}

LV2UI_Descriptor IEffectLV2UI::MakeDescriptor(
    const char* uri,
    LV2UI_Handle (*instantiate)(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function,
                                LV2UI_Controller, LV2UI_Widget*, const LV2_Feature* const*)) {
    return LV2UI_Descriptor{uri, instantiate, Cleanup, PortEvent, ExtensionData};
}

LV2UI_Handle LV2UICreateInstance(const IEffectDescription& desc,
                                 IEffectLV2UI* (*factory)(const IEffectLV2UIInfo&), const char* pluginURI,
                                 const char* bundlePath, LV2UI_Write_Function write,
                                 LV2UI_Controller controller, LV2UI_Widget* widget,
                                 const LV2_Feature* const* features) {
    if (widget) *widget = nullptr;
    if (!factory || !pluginURI || !desc.mURI || std::strcmp(pluginURI, desc.mURI) != 0) return nullptr;
    try {
        IEffectLV2UIInfo info;
        info.mBundlePath = bundlePath;
        info.mFeatures = features;
        info.mWrite = write;
        info.mController = controller;
        info.mHasParent = FeatureData(features, LV2_UI__parent) != nullptr;
        const double rate = OptionValue(features, LV2_UI__updateRate);
        info.mFPS = rate >= 1.0 && rate <= 1000.0 ? static_cast<int>(std::lround(rate)) : kDefaultFPS;
        IEffectLV2UI* ui = factory(info);
        if (!ui) return nullptr;
        void* window = nullptr;
        bool opened = false;
        try {
            opened = ui->OpenEditor(&window);
        } catch (...) {}
        if (!opened) {
            delete ui;
            return nullptr;
        }
        if (widget) *widget = window;
        return ui;
    } catch (...) {
        return nullptr;
    }
}

bool IEffectLV2UI::OpenEditor(void** pWindow) {
    *pWindow = nullptr;
    IEffectEditor* gui = GetGUI();
    if (!gui) return false;
    if (mScaleFactor > 0.0) gui->SetHostScale(mScaleFactor);
    if (!mParent) return true; // shown later, in a window of its own (Show)
    *pWindow = gui->OpenWindow(mParent);
    if (!*pWindow) return false;
    TellSize();
    return true;
}

void IEffectLV2UI::TellSize() {
    IEffectEditor* gui = GetGUI();
    if (!gui || !mResize || !mResize->ui_resize) return;
    int w = 0, h = 0;
    gui->WindowSize(&w, &h);
    mResize->ui_resize(mResize->handle, w, h);
}

// ---- The descriptor's functions ----

void IEffectLV2UI::Cleanup(LV2UI_Handle ui) {
    try {
        delete FromHandle(ui);
    } catch (...) {}
}

const void* IEffectLV2UI::ExtensionData(const char* uri) {
    if (!uri) return nullptr;
    if (!std::strcmp(uri, LV2_UI__idleInterface)) return &kIdleInterface;
    if (!std::strcmp(uri, LV2_UI__showInterface)) return &kShowInterface;
    return nullptr;
}

void IEffectLV2UI::PortEvent(LV2UI_Handle ui, uint32_t port, uint32_t bufferSize, uint32_t format,
                             const void* buffer) {
    // Only plain control values (format 0: one float).
    if (format != 0 || bufferSize != sizeof(float) || !buffer) return;
    float value;
    std::memcpy(&value, buffer, sizeof(value));
    CallUI(ui, 0, [&](IEffectLV2UI& plug) {
        plug.HandlePortEvent(port, value);
        return 0;
    });
}

int IEffectLV2UI::Idle(LV2UI_Handle ui) {
    return CallUI(ui, 1, [](IEffectLV2UI& plug) { return plug.HandleIdle(); });
}

int IEffectLV2UI::Show(LV2UI_Handle ui) {
    return CallUI(ui, 1, [](IEffectLV2UI& plug) { return plug.HandleShow(); });
}

int IEffectLV2UI::Hide(LV2UI_Handle ui) {
    return CallUI(ui, 1, [](IEffectLV2UI& plug) { return plug.HandleHide(); });
}

void IEffectLV2UI::HandlePortEvent(uint32_t port, float value) {
    const LV2PortLayout::Port p = mLayout.At(port);
    if (p.mKind != LV2PortLayout::kControlIn || p.mIndex == mHeldParam || std::isnan(value)) return;
    IParam* param = GetParam(p.mIndex);
    IEffectEditor* gui = GetGUI();
    if (!param) return;
    // The plug-in's own rules for a control value (IEffectLV2::MapChangedControls).
    if (param->Type() == IParam::kTypeDouble)
        param->Set(static_cast<double>(value));
    else
        param->SetNormalized(param->GetNormalized(static_cast<double>(value)));
    if (gui) gui->SetParameterFromPlug(p.mIndex, param->GetNormalized(), true);
}

int IEffectLV2UI::HandleIdle() {
    IEffectEditor* gui = GetGUI();
    if (!gui) return 1;
    gui->HostIdle();
    // Our own window closed by the user: the host hides us (and may show us again).
    if (mShown && !gui->WindowIsOpen()) {
        mShown = false;
        return 1;
    }
    return 0;
}

int IEffectLV2UI::HandleShow() {
    IEffectEditor* gui = GetGUI();
    if (!gui) return 1;
    if (mParent || gui->WindowIsOpen()) return 0; // in the host's window, or shown already
    if (!gui->OpenWindow(nullptr)) return 1;
    mShown = true;
    return 0;
}

int IEffectLV2UI::HandleHide() {
    IEffectEditor* gui = GetGUI();
    if (!gui) return 1;
    if (!mParent && gui->WindowIsOpen()) gui->CloseWindow();
    mShown = false;
    return 0;
}

// ---- What the editor tells the host ----

void IEffectLV2UI::BeginInformHostOfParamChange(int paramIdx) {
    if (!GetParam(paramIdx)) return;
    mHeldParam = paramIdx;
    if (mTouch && mTouch->touch) mTouch->touch(mTouch->handle, mLayout.ControlIn(paramIdx), true);
}

void IEffectLV2UI::InformHostOfParamChange(int paramIdx, double normalizedValue) {
    (void)normalizedValue; // the parameter holds it already, stepped as the plug-in steps it
    const IParam* param = GetParam(paramIdx);
    if (!param || !mWrite) return;
    const float value = static_cast<float>(param->Value());
    mWrite(mController, mLayout.ControlIn(paramIdx), sizeof(float), 0, &value);
}

void IEffectLV2UI::EndInformHostOfParamChange(int paramIdx) {
    if (!GetParam(paramIdx)) return;
    if (paramIdx == mHeldParam) mHeldParam = -1;
    if (mTouch && mTouch->touch) mTouch->touch(mTouch->handle, mLayout.ControlIn(paramIdx), false);
}

void IEffectLV2UI::ResizeGraphics(int w, int h) {
    (void)w;
    (void)h;
    IEffectEditor* gui = GetGUI();
    if (gui && mParent && gui->WindowIsOpen()) TellSize();
}
