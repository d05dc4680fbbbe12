// IEffectCLAP: the extensions it offers (audio-ports, params, state, latency, gui, timer-support,
// posix-fd-support) and the work behind params and state.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/clap/ClapCalls.h"
#include "framework/clap/IEffectCLAP.h"
#include "framework/plugin/Log.h"

namespace {

template <class R, class Call>
R Guarded(const clap_plugin_t* plugin, R failed, Call call) {
    return ClapGuarded<IEffectCLAP>(plugin, failed, call);
}

// The longest state we read: anything longer is not ours.
constexpr int64_t kMaxStateBytes = 1 << 16;

void CopyText(char* dst, size_t size, const char* text) {
    if (dst && size > 0) std::snprintf(dst, size, "%s", text ? text : "");
}

bool IsStepped(const IParam* param) {
    return param->Type() != IParam::kTypeDouble;
}

} // namespace

const void* IEffectCLAP::GetExtension(const clap_plugin_t* plugin, const char* id) {
    static const clap_plugin_audio_ports_t audioPorts = {AudioPortsCount, AudioPortsGet};
    static const clap_plugin_params_t params = {ParamsCount,       ParamsGetInfo,     ParamsGetValue,
                                                ParamsValueToText, ParamsTextToValue, ParamsFlush};
    static const clap_plugin_state_t state = {StateSave, StateLoad};
    static const clap_plugin_latency_t latency = {LatencyGet};
    static const clap_plugin_gui_t gui = {
        GuiIsApiSupported, GuiGetPreferredApi, GuiCreate,         GuiDestroy,    GuiSetScale,
        GuiGetSize,        GuiCanResize,       GuiGetResizeHints, GuiAdjustSize, GuiSetSize,
        GuiSetParent,      GuiSetTransient,    GuiSuggestTitle,   GuiShow,       GuiHide};
    static const clap_plugin_timer_support_t timers = {TimerOnTimer};
    static const ClapPluginPosixFdSupport fds = {PosixFdOnFd};
    if (!id) return nullptr;
    if (!std::strcmp(id, CLAP_EXT_AUDIO_PORTS)) return &audioPorts;
    if (!std::strcmp(id, CLAP_EXT_PARAMS)) return &params;
    if (!std::strcmp(id, CLAP_EXT_STATE)) return &state;
    if (!std::strcmp(id, CLAP_EXT_LATENCY)) return &latency;
    // The editor's extensions only with an editor attached.
    const bool hasEditor = Guarded(plugin, false, [](IEffectCLAP& p) { return p.GetGUI() != nullptr; });
    if (!hasEditor) return nullptr;
    if (!std::strcmp(id, CLAP_EXT_GUI)) return &gui;
    if (!std::strcmp(id, CLAP_EXT_TIMER_SUPPORT)) return &timers;
    if (!std::strcmp(id, kClapExtPosixFdSupport)) return &fds;
    return nullptr;
}

// ---- audio-ports ----

uint32_t IEffectCLAP::AudioPortsCount(const clap_plugin_t* plugin, bool isInput) {
    return Guarded(plugin, 0u, [&](IEffectCLAP& p) -> uint32_t {
        return (isInput ? p.NInChannels() : p.NOutChannels()) > 0 ? 1u : 0u;
    });
}

bool IEffectCLAP::AudioPortsGet(const clap_plugin_t* plugin, uint32_t index, bool isInput,
                                clap_audio_port_info_t* info) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) {
        const int channels = isInput ? p.NInChannels() : p.NOutChannels();
        if (!info || index != 0 || channels <= 0) return false;
        info->id = 0;
        const char* label = isInput ? p.GetInputBusLabel(0) : p.GetOutputBusLabel(0);
        CopyText(info->name, sizeof(info->name), label && label[0] ? label : isInput ? "Input" : "Output");
        info->flags = CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS;
        info->channel_count = static_cast<uint32_t>(channels);
        info->port_type = channels == 1 ? CLAP_PORT_MONO : channels == 2 ? CLAP_PORT_STEREO : nullptr;
        // The effect reads a block's input before it writes the output: one buffer may serve both.
        info->in_place_pair = 0;
        return true;
    });
}

// ---- params ----

uint32_t IEffectCLAP::ParamsCount(const clap_plugin_t* plugin) {
    return Guarded(plugin, 0u, [](IEffectCLAP& p) {
        return static_cast<uint32_t>(p.NParams() + (p.NPrograms() > 0 ? 1 : 0));
    });
}

bool IEffectCLAP::ParamsGetInfo(const clap_plugin_t* plugin, uint32_t index, clap_param_info_t* info) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) { return p.ParamInfo(index, info); });
}

bool IEffectCLAP::ParamInfo(uint32_t index, clap_param_info_t* info) const {
    if (!info) return false;
    std::memset(info, 0, sizeof(*info));
    if (index < static_cast<uint32_t>(NParams())) {
        const IParam* param = GetParam(static_cast<int>(index));
        info->id = index;
        info->flags = CLAP_PARAM_IS_AUTOMATABLE |
                      (IsStepped(param) ? static_cast<uint32_t>(CLAP_PARAM_IS_STEPPED) : 0u);
        CopyText(info->name, sizeof(info->name), param->GetNameForHost());
        CopyText(info->module, sizeof(info->module), param->GetParamGroupForHost());
        info->min_value = param->GetMin();
        info->max_value = param->GetMax();
        info->default_value = index < mParamRows.size()
                                  ? std::clamp(mParamRows[index].mDefault, param->GetMin(), param->GetMax())
                                  : param->GetMin();
        return true;
    }
    if (index == static_cast<uint32_t>(NParams()) && NPrograms() > 0) {
        info->id = kProgramParamId;
        info->flags = CLAP_PARAM_IS_STEPPED;
        CopyText(info->name, sizeof(info->name), "Program");
        info->min_value = 0.0;
        info->max_value = NPrograms() - 1;
        info->default_value = 0.0;
        return true;
    }
    return false;
}

bool IEffectCLAP::ParamsGetValue(const clap_plugin_t* plugin, clap_id id, double* value) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) {
        if (!value) return false;
        if (id == kProgramParamId && p.NPrograms() > 0) {
            *value = p.GetProgram();
            return true;
        }
        const IParam* param =
            id < static_cast<clap_id>(p.NParams()) ? p.GetParam(static_cast<int>(id)) : nullptr;
        if (!param) return false;
        *value = param->Value();
        return true;
    });
}

bool IEffectCLAP::ParamsValueToText(const clap_plugin_t* plugin, clap_id id, double value, char* display,
                                    uint32_t size) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) { return p.ValueToText(id, value, display, size); });
}

bool IEffectCLAP::ValueToText(clap_id id, double value, char* display, uint32_t size) const {
    if (!display || size == 0 || std::isnan(value)) return false;
    if (id == kProgramParamId && NPrograms() > 0) {
        const int program = static_cast<int>(std::clamp(value, 0.0, NPrograms() - 1.0));
        CopyText(display, size, mPrograms[static_cast<size_t>(program)].mName);
        return true;
    }
    const IParam* param = id < static_cast<clap_id>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr;
    if (!param) return false;
    // The effect's own text for the value (VST 2's effGetParamDisplay), then its label, if any.
    char text[kMaxParamDisplayLen];
    param->GetDisplayForHost(std::clamp(value, param->GetMin(), param->GetMax()), false, text, true);
    const char* label = param->GetLabelForHost();
    if (label[0])
        std::snprintf(display, size, "%s %s", text, label);
    else
        CopyText(display, size, text);
    return true;
}

bool IEffectCLAP::ParamsTextToValue(const clap_plugin_t* plugin, clap_id id, const char* display,
                                    double* value) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) { return p.TextToValue(id, display, value); });
}

bool IEffectCLAP::TextToValue(clap_id id, const char* display, double* value) const {
    if (!display || !value) return false;
    if (id == kProgramParamId && NPrograms() > 0) {
        for (int i = 0; i < NPrograms(); ++i)
            if (!std::strcmp(display, mPrograms[static_cast<size_t>(i)].mName)) {
                *value = i;
                return true;
            }
        return false;
    }
    const IParam* param = id < static_cast<clap_id>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr;
    if (!param) return false;
    // VST 2's effString2Parameter rules: a display text maps exactly; otherwise the number, negated
    // for a negated display, held to the range. Text that holds no number (or "nan") is refused.
    double v;
    if (param->GetNDisplayTexts() > 0) {
        int mapped;
        if (!param->MapDisplayText(display, &mapped)) return false;
        v = mapped;
    } else {
        char* end = nullptr;
        v = std::strtod(display, &end);
        if (end == display || std::isnan(v)) return false;
        if (param->GetNegateDisplay()) v = -v;
    }
    *value = std::clamp(v, param->GetMin(), param->GetMax());
    return true;
}

void IEffectCLAP::ParamsFlush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                              const clap_output_events_t* out) {
    Guarded(plugin, 0, [&](IEffectCLAP& p) {
        p.Flush(in, out);
        return 0;
    });
}

void IEffectCLAP::Flush(const clap_input_events_t* in, const clap_output_events_t* out) {
    // The audio thread while active, else the main thread; never beside process. No lock of our own:
    // a value maps at once when the plug-in mutex is free, else before the next block.
    SendOutbox(out);
    const uint32_t nEvents = in && in->size && in->get ? in->size(in) : 0;
    for (uint32_t i = 0; i < nEvents; ++i)
        if (const clap_event_header_t* ev = in->get(in, i)) ApplyEvent(ev, out);
    if (mActive.load()) {
        if (mRestartWanted.load()) AskForMainThread();
    } else {
        FlushHostNotifications();
    }
}

void IEffectCLAP::ApplyEvent(const clap_event_header_t* ev, const clap_output_events_t* out) {
    if (ev->space_id != CLAP_CORE_EVENT_SPACE_ID || ev->type != CLAP_EVENT_PARAM_VALUE ||
        ev->size < sizeof(clap_event_param_value_t))
        return;
    const auto* e = reinterpret_cast<const clap_event_param_value_t*>(ev);
    if (std::isnan(e->value)) return; // no value: nothing changes
    if (e->param_id == kProgramParamId && NPrograms() > 0) {
        ApplyProgram(static_cast<int>(std::clamp(e->value, 0.0, NPrograms() - 1.0)), ev->time, out);
        return;
    }
    IParam* param =
        e->param_id < static_cast<clap_id>(NParams()) ? GetParam(static_cast<int>(e->param_id)) : nullptr;
    if (!param) return;
    const int idx = static_cast<int>(e->param_id);
    // Plain values: held to the range, stepped parameters land on their steps.
    if (IsStepped(param))
        param->SetNormalized(param->GetNormalized(e->value));
    else
        param->Set(e->value);
    if (IEffectEditor* gui = GetGUI()) gui->SetParameterFromPlug(idx, param->Value(), false);
    QueueParamChange(idx);
}

void IEffectCLAP::ApplyProgram(int program, uint32_t time, const clap_output_events_t* out) {
    mProgram = program;
    const std::span<const double> values = mPrograms[static_cast<size_t>(program)].mValues;
    const int n = std::min(NParams(), static_cast<int>(values.size()));
    for (int i = 0; i < n; ++i) GetParam(i)->Set(values[static_cast<size_t>(i)]);
    // Every parameter is mapped, as a restored preset maps them all.
    for (int i = 0; i < NParams(); ++i) QueueParamChange(i);
    RedrawParamControls();
    if (!out || !out->try_push) return;
    for (int i = 0; i < NParams(); ++i) {
        clap_event_param_value_t ev{};
        ev.header = {sizeof(ev), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        ev.param_id = static_cast<clap_id>(i);
        ev.note_id = -1;
        ev.port_index = ev.channel = ev.key = -1;
        ev.value = GetParam(i)->Value();
        out->try_push(out, &ev.header);
    }
}

void IEffectCLAP::SendOutbox(const clap_output_events_t* out) {
    ClapParamOutbox::Entry entry;
    while (mOutbox.Pop(&entry)) {
        if (!out || !out->try_push) continue;
        if (entry.mKind == ClapParamOutbox::kValue) {
            clap_event_param_value_t ev{};
            ev.header = {sizeof(ev), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            ev.param_id = entry.mParamId;
            ev.note_id = -1;
            ev.port_index = ev.channel = ev.key = -1;
            ev.value = entry.mValue;
            out->try_push(out, &ev.header);
        } else {
            clap_event_param_gesture_t ev{};
            const uint16_t type = entry.mKind == ClapParamOutbox::kGestureBegin
                                      ? CLAP_EVENT_PARAM_GESTURE_BEGIN
                                      : CLAP_EVENT_PARAM_GESTURE_END;
            ev.header = {sizeof(ev), 0, CLAP_CORE_EVENT_SPACE_ID, type, 0};
            ev.param_id = entry.mParamId;
            out->try_push(out, &ev.header);
        }
    }
}

void IEffectCLAP::RequestParamFlush() {
    if (mHostParams && mHostParams->request_flush) mHostParams->request_flush(mHost);
}

void IEffectCLAP::BeginInformHostOfParamChange(int paramIdx) {
    if (!GetParam(paramIdx)) return;
    mOutbox.Push({ClapParamOutbox::kGestureBegin, static_cast<uint32_t>(paramIdx), 0.0});
    RequestParamFlush();
}

void IEffectCLAP::InformHostOfParamChange(int paramIdx, double normalizedValue) {
    (void)normalizedValue; // the parameter holds it already, stepped as the effect steps it
    const IParam* param = GetParam(paramIdx);
    if (!param) return;
    mOutbox.Push({ClapParamOutbox::kValue, static_cast<uint32_t>(paramIdx), param->Value()});
    RequestParamFlush();
}

void IEffectCLAP::EndInformHostOfParamChange(int paramIdx) {
    if (!GetParam(paramIdx)) return;
    mOutbox.Push({ClapParamOutbox::kGestureEnd, static_cast<uint32_t>(paramIdx), 0.0});
    RequestParamFlush();
}

// ---- state ----

bool IEffectCLAP::StateSave(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) { return p.SaveState(stream); });
}

bool IEffectCLAP::SaveState(const clap_ostream_t* stream) {
    Trace(__func__, __LINE__, "save");
    if (!stream || !stream->write) return false;
    // VST 2's program chunk: the framework header, then the parameters (read from their atomics).
    ByteChunk chunk;
    InitChunkWithFrameworkVer(&chunk);
    if (!SerializeState(&chunk)) return false;
    const uint8_t* bytes = chunk.GetBytes();
    for (int64_t done = 0, size = chunk.Size(); done < size;) {
        const int64_t n = stream->write(stream, bytes + done, static_cast<uint64_t>(size - done));
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

bool IEffectCLAP::StateLoad(const clap_plugin_t* plugin, const clap_istream_t* stream) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) { return p.LoadState(stream); });
}

bool IEffectCLAP::LoadState(const clap_istream_t* stream) {
    Trace(__func__, __LINE__, "load");
    if (!stream || !stream->read) return false;
    std::vector<uint8_t> bytes;
    uint8_t buf[4096];
    for (;;) {
        const int64_t n = stream->read(stream, buf, sizeof(buf));
        if (n < 0) return false;
        if (n == 0) break;
        if (n > static_cast<int64_t>(sizeof(buf)) || static_cast<int64_t>(bytes.size()) + n > kMaxStateBytes)
            return false;
        bytes.insert(bytes.end(), buf, buf + n);
    }
    // Exactly the framework header and one value per parameter, each in its range: anything else is
    // damaged or not ours, and changes nothing.
    std::vector<double> values(static_cast<size_t>(NParams()));
    if (!ReadProgramChunk(bytes.data(), bytes.size(), values.data())) return false;
    {
        Util_MutexLock stateLock(mStateMutex);
        // Parsed and checked: handed over in one short hold of the plug-in mutex.
        Util_MutexLock lock(mMutex);
        for (int i = 0; i < NParams(); ++i) GetParam(i)->Set(values[static_cast<size_t>(i)]);
        OnParamReset();
    }
    RedrawParamControls();
    if (mHostParams && mHostParams->rescan) mHostParams->rescan(mHost, CLAP_PARAM_RESCAN_VALUES);
    FlushHostNotifications();
    return true;
}

// ---- latency ----

uint32_t IEffectCLAP::LatencyGet(const clap_plugin_t* plugin) {
    return Guarded(plugin, 0u,
                   [](IEffectCLAP& p) { return static_cast<uint32_t>(std::max(p.GetLatency(), 0)); });
}

// ---- gui, timer-support, posix-fd-support (the editor driver) ----

bool IEffectCLAP::GuiIsApiSupported(const clap_plugin_t* plugin, const char* api, bool floating) {
    (void)plugin;
    return ClapEditorDriver::IsApiSupported(api, floating);
}

bool IEffectCLAP::GuiGetPreferredApi(const clap_plugin_t* plugin, const char** api, bool* floating) {
    (void)plugin;
    if (!api || !floating) return false;
    *api = CLAP_WINDOW_API_X11;
    *floating = false;
    return true;
}

bool IEffectCLAP::GuiCreate(const clap_plugin_t* plugin, const char* api, bool floating) {
    return Guarded(plugin, false,
                   [&](IEffectCLAP& p) { return p.mEditorDriver.Create(p.GetGUI(), api, floating); });
}

void IEffectCLAP::GuiDestroy(const clap_plugin_t* plugin) {
    Guarded(plugin, 0, [](IEffectCLAP& p) {
        p.mEditorDriver.Destroy();
        return 0;
    });
}

bool IEffectCLAP::GuiSetScale(const clap_plugin_t* plugin, double scale) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) { return p.mEditorDriver.SetScale(scale); });
}

bool IEffectCLAP::GuiGetSize(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) { return p.mEditorDriver.GetSize(width, height); });
}

bool IEffectCLAP::GuiCanResize(const clap_plugin_t* plugin) {
    (void)plugin;
    return false;
}

bool IEffectCLAP::GuiGetResizeHints(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints) {
    (void)plugin;
    // The host cannot resize the editor (its sizes are chosen in its own menu): said plainly, so hosts
    // that ask need not guess.
    if (!hints) return false;
    *hints = {false, false, false, 0, 0};
    return true;
}

bool IEffectCLAP::GuiAdjustSize(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height) {
    // One size only: every request adjusts to it.
    return GuiGetSize(plugin, width, height);
}

bool IEffectCLAP::GuiSetSize(const clap_plugin_t* plugin, uint32_t width, uint32_t height) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) { return p.mEditorDriver.SetSize(width, height); });
}

bool IEffectCLAP::GuiSetParent(const clap_plugin_t* plugin, const clap_window_t* window) {
    return Guarded(plugin, false, [&](IEffectCLAP& p) { return p.mEditorDriver.SetParent(window); });
}

bool IEffectCLAP::GuiSetTransient(const clap_plugin_t* plugin, const clap_window_t* window) {
    (void)plugin;
    (void)window;
    return false;
}

void IEffectCLAP::GuiSuggestTitle(const clap_plugin_t* plugin, const char* title) {
    (void)plugin;
    (void)title;
}

bool IEffectCLAP::GuiShow(const clap_plugin_t* plugin) {
    return Guarded(plugin, false, [](IEffectCLAP& p) { return p.mEditorDriver.Show(); });
}

bool IEffectCLAP::GuiHide(const clap_plugin_t* plugin) {
    return Guarded(plugin, false, [](IEffectCLAP& p) { return p.mEditorDriver.Hide(); });
}

void IEffectCLAP::TimerOnTimer(const clap_plugin_t* plugin, clap_id timerId) {
    Guarded(plugin, 0, [&](IEffectCLAP& p) {
        p.mEditorDriver.OnTimer(timerId);
        return 0;
    });
}

void IEffectCLAP::PosixFdOnFd(const clap_plugin_t* plugin, int fd, uint32_t flags) {
    Guarded(plugin, 0, [&](IEffectCLAP& p) {
        p.mEditorDriver.OnFd(fd, flags);
        return 0;
    });
}
