#include "host/HostVST3Plugin.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "framework/vst3/VST3Strings.h"
#include "host/HostAllocWatch.h"
#include "host/HostNames.h"
#include "host/HostText.h"
#include "host/HostVST3Message.h"
#include "host/HostVST3Stream.h"

namespace {

using Self = HostVST3Plugin;

const v3_host_application_cpp kContextTable = {VST3Unknown<Self>(),
                                               {VST3Entry<&Self::GetName>, VST3Entry<&Self::CreateInstance>}};

struct HandlerTable : v3_funknown {
    v3_component_handler handler;
};

const HandlerTable kHandlerTable = {VST3Unknown<Self>(),
                                    {VST3Entry<&Self::BeginEdit>, VST3Entry<&Self::PerformEdit>,
                                     VST3Entry<&Self::EndEdit>, VST3Entry<&Self::RestartComponent>}};

const v3_plugin_frame_cpp kFrameTable = {VST3Unknown<Self>(), {VST3Entry<&Self::ResizeView>}};

// The most a plug-in may announce of each before it is taken for broken.
constexpr int32_t kMaxClasses = 4096;
constexpr int32_t kMaxBuses = 64;
constexpr int32_t kMaxParams = 65536;
constexpr int32_t kMaxPrograms = 65536;
constexpr int32_t kMaxEditorSide = 16384;

template <class T>
void Release(T**& object) {
    if (object) v3_cpp_obj_unref(object);
    object = nullptr;
}

bool IsZero(const v3_tuid id) {
    return std::all_of(id, id + sizeof(v3_tuid), [](uint8_t b) { return b == 0; });
}

} // namespace

std::string HostVST3Plugin::Text16(const int16_t* text) {
    const std::string utf8 = VST3ToUTF8(text, 128);
    return HostCleanText(utf8.c_str(), utf8.size() + 1);
}

HostVST3Plugin::HostVST3Plugin() {
    mContextFace = {&kContextTable, this};
    mHandlerFace = {&kHandlerTable, this};
    mFrameFace = {&kFrameTable, this};
}

std::unique_ptr<HostVST3Plugin> HostVST3Plugin::Load(const std::string& path, std::string& err,
                                                     const std::string& className) {
    std::unique_ptr<HostVST3Plugin> p(new HostVST3Plugin);
    if (!p->Create(path, className, err)) return nullptr;
    return p;
}

bool HostVST3Plugin::Create(const std::string& path, const std::string& className, std::string& err) {
    mPath = path;
    mModule = HostVST3Module::Open(path, err);
    if (!mModule) return false;
    v3_plugin_factory** factory = mModule->Factory();
    v3_plugin_factory* f = v3_cpp_obj(factory);
    if (f->get_factory_info(factory, &mFactoryInfo) != V3_OK) mFactoryInfo = {};
    v3_funknown** context = mContextFace.As<v3_funknown>();
    v3_plugin_factory_3** factory3 = nullptr;
    if (v3_cpp_obj_query_interface(factory, v3_plugin_factory_3_iid, &factory3) == V3_OK && factory3) {
        v3_cpp_obj(factory3)->set_host_context(factory3, context);
        Release(factory3);
    }

    // The class: by name (exactly, else ignoring case), else the first audio module.
    const int32_t count = std::clamp(f->num_classes(factory), 0, kMaxClasses);
    int32_t chosen = -1;
    std::vector<std::string> modules;
    for (int pass = 0; pass < 2 && chosen < 0; ++pass) {
        modules.clear();
        for (int32_t i = 0; i < count && chosen < 0; ++i) {
            v3_class_info info = {};
            if (f->get_class_info(factory, i, &info) != V3_OK ||
                HostCleanText(info.category, sizeof info.category) != kAudioModuleClass)
                continue;
            const std::string name = HostCleanText(info.name, sizeof info.name);
            modules.push_back(name);
            if (className.empty() || (pass == 0 ? name == className : HostEqualsNoCase(name, className))) {
                chosen = i;
                mClassName = name;
                mCategory = kAudioModuleClass;
                std::memcpy(mClassId, info.class_id, sizeof(v3_tuid));
            }
        }
    }
    if (chosen < 0) {
        std::string list;
        for (const std::string& m : modules) list += (list.empty() ? "" : ", ") + m;
        err = className.empty()
                  ? HostFormat("the VST 3 module '%s' offers no audio module class", path.c_str())
              : modules.empty()
                  ? HostFormat("the VST 3 module '%s' has no class '%s' (it offers no audio module class)",
                               path.c_str(), className.c_str())
                  : HostFormat("the VST 3 module '%s' has no class '%s' (it has: %s)", path.c_str(),
                               className.c_str(), list.c_str());
        return false;
    }
    v3_plugin_factory_2** factory2 = nullptr;
    if (v3_cpp_obj_query_interface(factory, v3_plugin_factory_2_iid, &factory2) == V3_OK && factory2) {
        mHasClassInfo2 = v3_cpp_obj(factory2)->get_class_info_2(factory2, chosen, &mClassInfo2) == V3_OK;
        Release(factory2);
    }

    // The component, its processor and its controller.
    void* object = nullptr;
    if (f->create_instance(factory, mClassId, v3_component_iid, &object) != V3_OK || !object) {
        err =
            HostFormat("the VST 3 module '%s' did not make its class '%s'", path.c_str(), mClassName.c_str());
        return false;
    }
    mComponent = static_cast<v3_component**>(object);
    if (v3_cpp_obj_initialize(mComponent, context) != V3_OK) {
        err = HostFormat("the plug-in '%s' failed to initialise", mClassName.c_str());
        return false;
    }
    mComponentInitialised = true;
    if (v3_cpp_obj_query_interface(mComponent, v3_audio_processor_iid, &mProcessor) != V3_OK || !mProcessor) {
        mProcessor = nullptr;
        err = HostFormat("the plug-in '%s' has no audio processor", mClassName.c_str());
        return false;
    }
    if (v3_cpp_obj_query_interface(mComponent, v3_edit_controller_iid, &mController) != V3_OK ||
        !mController) {
        mController = nullptr;
        v3_tuid controllerId = {};
        if (v3_cpp_obj(mComponent)->get_controller_class_id(mComponent, controllerId) == V3_OK &&
            !IsZero(controllerId)) {
            object = nullptr;
            if (f->create_instance(factory, controllerId, v3_edit_controller_iid, &object) != V3_OK ||
                !object) {
                err = HostFormat("the VST 3 module '%s' did not make the edit controller of '%s'",
                                 path.c_str(), mClassName.c_str());
                return false;
            }
            mController = static_cast<v3_edit_controller**>(object);
            mSeparateController = true;
            if (v3_cpp_obj_initialize(mController, context) != V3_OK) {
                err = HostFormat("the edit controller of '%s' failed to initialise", mClassName.c_str());
                return false;
            }
            mControllerInitialised = true;
            ConnectParts(true);
        }
    }
    if (mController) {
        // What the component holds is what the controller shows.
        HostVST3Stream state;
        if (v3_cpp_obj(mComponent)->get_state(mComponent, state.Face()) == V3_OK) {
            HostVST3Stream copy(state.Bytes());
            v3_cpp_obj(mController)->set_component_state(mController, copy.Face());
        }
        v3_cpp_obj(mController)->set_component_handler(mController, mHandlerFace.As<v3_component_handler>());
        mHandlerSet = true;
        if (v3_cpp_obj_query_interface(mController, v3_unit_information_iid, &mUnits) != V3_OK)
            mUnits = nullptr;
        const int32_t params = v3_cpp_obj(mController)->get_parameter_count(mController);
        if (params < 0 || params > kMaxParams) {
            err = HostFormat("the plug-in '%s' announces an implausible %d parameters", mClassName.c_str(),
                             params);
            return false;
        }
    }
    return ReadBuses(true, err);
}

HostVST3Plugin::~HostVST3Plugin() {
    CloseEditor();
    if (mProcessor) Suspend();
    if (mHandlerSet) v3_cpp_obj(mController)->set_component_handler(mController, nullptr);
    ConnectParts(false);
    if (mControllerInitialised) v3_cpp_obj_terminate(mController);
    if (mComponentInitialised) v3_cpp_obj_terminate(mComponent);
    Release(mUnits);
    Release(mController);
    Release(mProcessor);
    Release(mComponent);
    mModule.reset();
}

void HostVST3Plugin::ConnectParts(bool connect) {
    if (connect) {
        if (v3_cpp_obj_query_interface(mComponent, v3_connection_point_iid, &mComponentPoint) != V3_OK)
            mComponentPoint = nullptr;
        if (v3_cpp_obj_query_interface(mController, v3_connection_point_iid, &mControllerPoint) != V3_OK)
            mControllerPoint = nullptr;
        if (!mComponentPoint || !mControllerPoint) return;
        v3_cpp_obj(mComponentPoint)->connect(mComponentPoint, mControllerPoint);
        v3_cpp_obj(mControllerPoint)->connect(mControllerPoint, mComponentPoint);
        return;
    }
    if (mComponentPoint && mControllerPoint) {
        v3_cpp_obj(mComponentPoint)->disconnect(mComponentPoint, mControllerPoint);
        v3_cpp_obj(mControllerPoint)->disconnect(mControllerPoint, mComponentPoint);
    }
    Release(mComponentPoint);
    Release(mControllerPoint);
}

bool HostVST3Plugin::ReadBuses(bool activate, std::string& err) {
    v3_component* c = v3_cpp_obj(mComponent);
    for (const int32_t direction : {V3_INPUT, V3_OUTPUT}) {
        std::vector<Bus>& buses = direction == V3_INPUT ? mInBuses : mOutBuses;
        buses.clear();
        const int32_t n = c->get_bus_count(mComponent, V3_AUDIO, direction);
        if (n < 0 || n > kMaxBuses) {
            err = HostFormat("the plug-in '%s' announces an implausible %d audio %s buses",
                             mClassName.c_str(), n, direction == V3_INPUT ? "input" : "output");
            return false;
        }
        for (int32_t i = 0; i < n; ++i) {
            v3_bus_info info = {};
            if (c->get_bus_info(mComponent, V3_AUDIO, direction, i, &info) != V3_OK) info = {};
            if (info.channel_count < 0 || info.channel_count > kHostMaxPins) {
                err = HostFormat("the plug-in '%s' announces an audio bus of %d channels", mClassName.c_str(),
                                 info.channel_count);
                return false;
            }
            buses.push_back({info.channel_count, info.bus_type == V3_MAIN, Text16(info.bus_name)});
            if (activate) c->activate_bus(mComponent, V3_AUDIO, direction, i, 1);
        }
    }
    mInputs = mInBuses.empty() ? 0 : mInBuses[0].channels;
    mOutputs = mOutBuses.empty() ? 0 : mOutBuses[0].channels;
    return true;
}

// ---- The host's interfaces ----

v3_result HostVST3Plugin::QueryInterface(const uint8_t* iid, void** obj) {
    if (!obj) return V3_INVALID_ARG;
    *obj = nullptr;
    if (VST3IsOneOf(iid, v3_funknown_iid, v3_host_application_iid))
        *obj = &mContextFace;
    else if (VST3IsOneOf(iid, v3_component_handler_iid))
        *obj = &mHandlerFace;
    else if (VST3IsOneOf(iid, v3_plugin_frame_iid))
        *obj = &mFrameFace;
    else if (VST3IsOneOf(iid, v3_run_loop_iid))
        *obj = mRunLoop.Face();
    return *obj ? V3_OK : V3_NO_INTERFACE;
}

v3_result HostVST3Plugin::GetName(int16_t* name) {
    if (!name) return V3_INVALID_ARG;
    VST3CopyString(kHostName, name, 128);
    return V3_OK;
}

v3_result HostVST3Plugin::CreateInstance(uint8_t* cid, uint8_t* iid, void** obj) {
    return HostVST3CreateObject(cid, iid, obj);
}

v3_result HostVST3Plugin::BeginEdit(v3_param_id) {
    return V3_OK;
}

v3_result HostVST3Plugin::PerformEdit(v3_param_id id, double value) {
    // The controller has the value already; the processor hears it with the next block.
    if (std::isnan(value)) return V3_INVALID_ARG;
    HostCallbackScope hostCode;
    std::lock_guard<std::mutex> lock(mPendingLock);
    mPending.push_back({id, 0, std::clamp(value, 0.0, 1.0)});
    return V3_OK;
}

v3_result HostVST3Plugin::EndEdit(v3_param_id) {
    return V3_OK;
}

v3_result HostVST3Plugin::RestartComponent(int32_t flags) {
    mRestartFlags.fetch_or(flags);
    return V3_OK;
}

v3_result HostVST3Plugin::ResizeView(v3_plugin_view** view, v3_view_rect* rect) {
    if (!view || !rect || view != mView) return V3_INVALID_ARG;
    // The snapshot's window follows the view's size on its next look; the view hears it has it.
    v3_cpp_obj(mView)->on_size(mView, rect);
    return V3_OK;
}

// ---- Parameters ----

int HostVST3Plugin::NumParams() {
    return mController ? std::clamp(v3_cpp_obj(mController)->get_parameter_count(mController), 0, kMaxParams)
                       : 0;
}

bool HostVST3Plugin::ParamInfo(int index, v3_param_info& info) {
    info = {};
    return mController && v3_cpp_obj(mController)->get_parameter_info(mController, index, &info) == V3_OK;
}

double HostVST3Plugin::ParamValue(v3_param_id id) {
    return mController ? v3_cpp_obj(mController)->get_parameter_normalised(mController, id) : 0.0;
}

std::string HostVST3Plugin::ParamText(v3_param_id id, double value) {
    v3_str_128 text = {};
    if (!mController ||
        v3_cpp_obj(mController)->get_parameter_string_for_value(mController, id, value, text) != V3_OK)
        return "";
    return Text16(text);
}

double HostVST3Plugin::ParamPlain(v3_param_id id, double value) {
    return mController ? v3_cpp_obj(mController)->normalised_parameter_to_plain(mController, id, value)
                       : value;
}

void HostVST3Plugin::SetParam(v3_param_id id, double value) {
    if (mController) v3_cpp_obj(mController)->set_parameter_normalised(mController, id, value);
    std::lock_guard<std::mutex> lock(mPendingLock);
    mPending.push_back({id, 0, value});
}

void HostVST3Plugin::SetProgramParam(v3_param_id id, double value) {
    // The controller moves its values to the program's; a processor that does not itself apply
    // program changes learns them with the program's change.
    std::vector<std::pair<v3_param_id, double>> before;
    v3_param_info info;
    for (int i = 0, n = NumParams(); i < n; ++i)
        if (ParamInfo(i, info) && !(info.flags & (V3_PARAM_READ_ONLY | V3_PARAM_PROGRAM_CHANGE)))
            before.emplace_back(info.param_id, ParamValue(info.param_id));
    SetParam(id, value);
    // Read from the controller first: it may report edits (PerformEdit takes the lock) while asked.
    std::vector<HostVST3Change> moved;
    for (const auto& [other, was] : before)
        if (const double now = ParamValue(other); now != was) moved.push_back({other, 0, now});
    std::lock_guard<std::mutex> lock(mPendingLock);
    mPending.insert(mPending.end(), moved.begin(), moved.end());
}

bool HostVST3Plugin::ParamFromText(v3_param_id id, const std::string& text, double& value) {
    if (!mController) return false;
    v3_str_128 in = {};
    VST3CopyString(text.c_str(), in, 128);
    return v3_cpp_obj(mController)->get_parameter_value_for_string(mController, id, in, &value) == V3_OK &&
           std::isfinite(value);
}

// ---- State and identity ----

void HostVST3Plugin::FlushParams() {
    std::vector<HostVST3Change> pending;
    {
        std::lock_guard<std::mutex> lock(mPendingLock);
        if (mProcessing || mPending.empty()) return;
        pending.swap(mPending);
    }
    // A block of no frames and no buffers carries the values to an active processor.
    HostVST3Changes changes(pending);
    const bool wasActive = mActive;
    if (!wasActive && v3_cpp_obj(mComponent)->set_active(mComponent, 1) != V3_OK) return;
    v3_process_data data = {};
    data.symbolic_sample_size = mDoublePrecision ? V3_SAMPLE_64 : V3_SAMPLE_32;
    CallProcess(data, &changes);
    if (!wasActive) v3_cpp_obj(mComponent)->set_active(mComponent, 0);
}

bool HostVST3Plugin::SaveState(std::vector<uint8_t>& bytes) {
    FlushParams();
    HostVST3Stream state;
    if (v3_cpp_obj(mComponent)->get_state(mComponent, state.Face()) != V3_OK) return false;
    bytes = state.Bytes();
    return true;
}

bool HostVST3Plugin::LoadState(const std::vector<uint8_t>& bytes) {
    HostVST3Stream state(bytes);
    if (v3_cpp_obj(mComponent)->set_state(mComponent, state.Face()) != V3_OK) return false;
    if (mController) {
        HostVST3Stream copy(bytes);
        v3_cpp_obj(mController)->set_component_state(mController, copy.Face());
    }
    return true;
}

uint32_t HostVST3Plugin::TailSamples() {
    return v3_cpp_obj(mProcessor)->get_tail_samples(mProcessor);
}

std::vector<std::string> HostVST3Plugin::ParamNames() {
    std::vector<std::string> names;
    v3_param_info info;
    for (int i = 0, n = NumParams(); i < n; ++i)
        names.push_back(ParamInfo(i, info) ? Text16(info.title) : "");
    return names;
}

bool HostVST3Plugin::SetParamFromText(int index, const std::string& text, std::string& err) {
    v3_param_info info;
    if (!ParamInfo(index, info)) {
        err = HostFormat("the plug-in does not describe its parameter %d", index);
        return false;
    }
    const double lo = ParamPlain(info.param_id, 0.0), hi = ParamPlain(info.param_id, 1.0);
    // The plug-in's own reading of the text first, then a plain value in the parameter's range.
    double value = 0.0, plain = 0.0;
    bool ok = ParamFromText(info.param_id, text, value);
    if (!ok && HostParseDouble(text, plain) && plain >= std::min(lo, hi) && plain <= std::max(lo, hi)) {
        value = v3_cpp_obj(mController)->plain_parameter_to_normalised(mController, info.param_id, plain);
        ok = std::isfinite(value);
    }
    if (!ok) {
        err = HostFormat("parameter '%s' takes no value '%s' (a value from %g to %g, or a text it reads)",
                         Text16(info.title).c_str(), text.c_str(), lo, hi);
        return false;
    }
    SetParam(info.param_id, std::clamp(value, 0.0, 1.0));
    return true;
}

bool HostVST3Plugin::FindPrograms(Programs& programs) {
    v3_param_info info;
    int32_t unit = 0;
    bool found = false;
    for (int i = 0, n = NumParams(); i < n && !found; ++i) {
        if (!ParamInfo(i, info) || !(info.flags & V3_PARAM_PROGRAM_CHANGE)) continue;
        found = true;
        programs.id = info.param_id;
        programs.steps = std::clamp(info.step_count, 0, kMaxPrograms - 1);
        unit = info.unit_id;
    }
    if (!found) return false;
    programs.names.clear();
    // The names of the program list of the parameter's unit, if it has one of the right length.
    if (mUnits) {
        v3_unit_information* u = v3_cpp_obj(mUnits);
        int32_t list = -1;
        for (int32_t i = 0, n = std::min(u->get_unit_count(mUnits), kMaxPrograms); i < n && list < 0; ++i) {
            v3_unit_info ui = {};
            if (u->get_unit_info(mUnits, i, &ui) == V3_OK && ui.id == unit) list = ui.program_list_id;
        }
        for (int32_t i = 0, n = std::min(u->get_program_list_count(mUnits), kMaxPrograms); i < n && list >= 0;
             ++i) {
            v3_program_list_info li = {};
            if (u->get_program_list_info(mUnits, i, &li) != V3_OK || li.id != list) continue;
            if (li.programCount == programs.steps + 1)
                for (int32_t k = 0; k < li.programCount; ++k) {
                    v3_str_128 name = {};
                    programs.names.push_back(
                        u->get_program_name(mUnits, list, k, name) == V3_OK ? Text16(name) : "");
                }
            break;
        }
    }
    // Else the parameter's own texts for its steps.
    if (programs.names.empty())
        for (int32_t k = 0; k <= programs.steps; ++k)
            programs.names.push_back(
                ParamText(programs.id, programs.steps ? double(k) / programs.steps : 0.0));
    return true;
}

std::string HostVST3Plugin::ProgramName() {
    Programs programs;
    if (!FindPrograms(programs)) return "";
    const long index = std::lround(ParamValue(programs.id) * programs.steps);
    return index >= 0 && index < static_cast<long>(programs.names.size())
               ? programs.names[static_cast<size_t>(index)]
               : "";
}

bool HostVST3Plugin::ApplyProgramAndValues(const std::string& program,
                                           const std::vector<std::string>& assignments, std::string& err) {
    if (!program.empty()) {
        Programs programs;
        if (!FindPrograms(programs)) {
            err = HostFormat("unknown program '%s' (the plug-in has no programs)", program.c_str());
            return false;
        }
        const std::vector<std::string>& names = programs.names;
        long long number = -1;
        if (!HostParseInt(program, 0, static_cast<long long>(names.size()) - 1, number)) {
            auto it = std::find(names.begin(), names.end(), program);
            if (it == names.end())
                it = std::find_if(names.begin(), names.end(),
                                  [&](const std::string& n) { return HostEqualsNoCase(n, program); });
            number = it == names.end() ? -1 : it - names.begin();
        }
        if (number < 0) {
            err = HostFormat("unknown program '%s'", program.c_str());
            return false;
        }
        SetProgramParam(programs.id, programs.steps ? static_cast<double>(number) / programs.steps : 0.0);
    }
    return HostApplyAssignments(
        ParamNames(), assignments,
        [this](int index, const std::string& value, std::string& e) {
            return SetParamFromText(index, value, e);
        },
        err);
}

// ---- Audio ----

int HostVST3Plugin::Latency() {
    return static_cast<int>(
        std::min<uint32_t>(v3_cpp_obj(mProcessor)->get_latency_samples(mProcessor), 1u << 30));
}

std::string HostVST3Plugin::CannotProcess(bool doublePrecision) {
    v3_audio_processor* p = v3_cpp_obj(mProcessor);
    if (doublePrecision && p->can_process_sample_size(mProcessor, V3_SAMPLE_64) != V3_OK)
        return "the plug-in does not process double precision";
    if (!doublePrecision && p->can_process_sample_size(mProcessor, V3_SAMPLE_32) != V3_OK)
        return "the plug-in does not process single precision";
    return "";
}

std::string HostVST3Plugin::Configure(int sampleRate, int maxBlock, bool doublePrecision) {
    mSampleRate = sampleRate;
    mMaxBlock = std::max(maxBlock, 1);
    mDoublePrecision = doublePrecision;
    v3_process_setup setup = {mProcessMode, doublePrecision ? V3_SAMPLE_64 : V3_SAMPLE_32, mMaxBlock,
                              static_cast<double>(sampleRate)};
    if (v3_cpp_obj(mProcessor)->setup_processing(mProcessor, &setup) != V3_OK)
        return HostFormat(
            "the plug-in refused to process %d-bit samples at %d Hz in blocks of up to %d frames",
            doublePrecision ? 64 : 32, sampleRate, mMaxBlock);
    return "";
}

int HostVST3Plugin::NarrowToMono() {
    if (mInBuses.empty() || mOutBuses.empty()) return 0;
    v3_audio_processor* p = v3_cpp_obj(mProcessor);
    auto arrangements = [&](int32_t direction, const std::vector<Bus>& buses) {
        std::vector<v3_speaker_arrangement> a(buses.size());
        for (size_t i = 0; i < buses.size(); ++i)
            if (p->get_bus_arrangement(mProcessor, direction, static_cast<int32_t>(i), &a[i]) != V3_OK)
                a[i] = buses[i].channels >= 64 ? ~v3_speaker_arrangement{0}
                                               : (v3_speaker_arrangement{1} << buses[i].channels) - 1;
        return a;
    };
    std::vector<v3_speaker_arrangement> in = arrangements(V3_INPUT, mInBuses);
    std::vector<v3_speaker_arrangement> out = arrangements(V3_OUTPUT, mOutBuses);
    const v3_speaker_arrangement outputs = out[0];
    in[0] = V3_SPEAKER_M;
    auto offer = [&]() {
        std::string err;
        return p->set_bus_arrangements(mProcessor, in.data(), static_cast<int32_t>(in.size()), out.data(),
                                       static_cast<int32_t>(out.size())) == V3_OK &&
               ReadBuses(false, err) && mInputs == 1;
    };
    // Mono in and out first; a plug-in that makes several outputs of one input keeps them all.
    out[0] = V3_SPEAKER_M;
    if (offer() && mOutputs == 1) return 1;
    out[0] = outputs;
    if (std::popcount(outputs) == 1 || !offer()) {
        std::string err;
        ReadBuses(false, err);
        return 0;
    }
    return mOutputs;
}

std::string HostVST3Plugin::Resume() {
    if (!mActive) {
        // Buffers of their own for the buses other than the main ones.
        size_t spare = 0;
        for (size_t k = 1; k < mInBuses.size(); ++k) spare += static_cast<size_t>(mInBuses[k].channels);
        for (size_t k = 1; k < mOutBuses.size(); ++k) spare += static_cast<size_t>(mOutBuses[k].channels);
        mSpare32.assign(spare, std::vector<float>(static_cast<size_t>(mMaxBlock)));
        mSpare64.assign(spare, std::vector<double>(static_cast<size_t>(mMaxBlock)));
        mSparePtr32.clear();
        mSparePtr64.clear();
        for (size_t k = 0; k < spare; ++k) {
            mSparePtr32.push_back(mSpare32[k].data());
            mSparePtr64.push_back(mSpare64[k].data());
        }
        mInBuffers.assign(mInBuses.size(), v3_audio_bus_buffers{});
        mOutBuffers.assign(mOutBuses.size(), v3_audio_bus_buffers{});
        if (v3_cpp_obj(mComponent)->set_active(mComponent, 1) != V3_OK)
            return "the plug-in refused to activate";
        mActive = true;
    }
    if (!mProcessing) {
        // Some plug-ins do not implement it: they process once active.
        const v3_result r = v3_cpp_obj(mProcessor)->set_processing(mProcessor, 1);
        if (r != V3_OK && r != V3_NOT_IMPLEMENTED) return "the plug-in refused to start processing";
        mProcessing = true;
    }
    return "";
}

void HostVST3Plugin::Suspend() {
    if (mProcessing) v3_cpp_obj(mProcessor)->set_processing(mProcessor, 0);
    mProcessing = false;
    if (mActive) v3_cpp_obj(mComponent)->set_active(mComponent, 0);
    mActive = false;
}

template <class T>
void HostVST3Plugin::Process(T** inputs, T** outputs, int frames) {
    if (!mProcessing) return;
    constexpr bool isDouble = sizeof(T) == sizeof(double);
    T** spare = nullptr;
    if constexpr (isDouble) {
        spare = mSparePtr64.data();
        for (auto& ch : mSpare64) std::fill(ch.begin(), ch.end(), 0.0);
    } else {
        spare = mSparePtr32.data();
        for (auto& ch : mSpare32) std::fill(ch.begin(), ch.end(), 0.0f);
    }
    auto fill = [&spare](const std::vector<Bus>& buses, T** main, std::vector<v3_audio_bus_buffers>& out) {
        for (size_t k = 0; k < buses.size(); ++k) {
            v3_audio_bus_buffers& b = out[k];
            b.num_channels = buses[k].channels;
            b.channel_silence_bitset = 0;
            T** data = k == 0 ? main : spare;
            if (k > 0) spare += buses[k].channels;
            if constexpr (isDouble)
                b.channel_buffers_64 = data;
            else
                b.channel_buffers_32 = data;
        }
    };
    fill(mInBuses, inputs, mInBuffers);
    fill(mOutBuses, outputs, mOutBuffers);

    const HostTransport& t = mTransport;
    v3_process_context ctx = {};
    ctx.state = V3_PROCESS_CTX_PROJECT_TIME_VALID | V3_PROCESS_CTX_CONT_TIME_VALID |
                V3_PROCESS_CTX_TEMPO_VALID | V3_PROCESS_CTX_TIME_SIG_VALID |
                V3_PROCESS_CTX_BAR_POSITION_VALID |
                (t.playing ? static_cast<uint32_t>(V3_PROCESS_CTX_PLAYING) : 0u);
    ctx.sample_rate = mSampleRate;
    ctx.project_time_in_samples = std::llround(t.samplePos);
    ctx.continuous_time_in_samples = ctx.project_time_in_samples;
    ctx.project_time_quarters = t.samplePos / mSampleRate * t.tempo / 60.0;
    const double quartersPerBar = t.timeSigNumerator * 4.0 / t.timeSigDenominator;
    ctx.bar_position_quarters = std::floor(ctx.project_time_quarters / quartersPerBar) * quartersPerBar;
    ctx.bpm = t.tempo;
    ctx.time_sig_numerator = t.timeSigNumerator;
    ctx.time_sig_denom = t.timeSigDenominator;

    // Values set since the last block go with this one, at its first frame.
    std::unique_ptr<HostVST3Changes> changes;
    if (std::unique_lock<std::mutex> lock(mPendingLock, std::try_to_lock); lock && !mPending.empty()) {
        changes = std::make_unique<HostVST3Changes>(mPending);
        mPending.clear();
    }
    v3_process_data data = {};
    data.symbolic_sample_size = isDouble ? V3_SAMPLE_64 : V3_SAMPLE_32;
    data.nframes = std::min(frames, mMaxBlock);
    data.num_input_buses = static_cast<int32_t>(mInBuffers.size());
    data.num_output_buses = static_cast<int32_t>(mOutBuffers.size());
    data.inputs = mInBuffers.empty() ? nullptr : mInBuffers.data();
    data.outputs = mOutBuffers.empty() ? nullptr : mOutBuffers.data();
    data.ctx = &ctx;
    CallProcess(data, changes.get());
}

void HostVST3Plugin::CallProcess(v3_process_data& data, HostVST3Changes* changes) {
    mOutChanges.Clear();
    data.process_mode = mProcessMode;
    data.input_params = changes ? changes->Face() : nullptr;
    data.output_params = mOutChanges.Face();
    HostAudioCallScope scope;
    v3_cpp_obj(mProcessor)->process(mProcessor, &data);
}

void HostVST3Plugin::RenderFloat(float** inputs, float** outputs, int frames) {
    Process(inputs, outputs, frames);
}

void HostVST3Plugin::RenderDouble(double** inputs, double** outputs, int frames) {
    Process(inputs, outputs, frames);
}

// ---- Editor ----

bool HostVST3Plugin::EnsureView() {
    if (mView) return true;
    if (!mController) return false;
    mView = v3_cpp_obj(mController)->create_view(mController, "editor");
    if (!mView || !*mView) {
        mView = nullptr;
        return false;
    }
    if (v3_cpp_obj(mView)->is_platform_type_supported(mView, V3_VIEW_PLATFORM_TYPE_X11) != V3_OK) {
        Release(mView);
        return false;
    }
    return true;
}

bool HostVST3Plugin::HasEditor() {
    return EnsureView();
}

bool HostVST3Plugin::EditorSize(int& w, int& h) {
    v3_view_rect rect = {};
    if (!EnsureView() || v3_cpp_obj(mView)->get_size(mView, &rect) != V3_OK) return false;
    const int64_t rw = int64_t{rect.right} - rect.left, rh = int64_t{rect.bottom} - rect.top;
    if (rw < 1 || rh < 1 || rw > kMaxEditorSide || rh > kMaxEditorSide) return false;
    w = static_cast<int>(rw);
    h = static_cast<int>(rh);
    return true;
}

bool HostVST3Plugin::OpenEditor(unsigned long window) {
    if (!EnsureView() || mAttached) return false;
    v3_cpp_obj(mView)->set_frame(mView, mFrameFace.As<v3_plugin_frame>());
    mAttached = v3_cpp_obj(mView)->attached(mView, reinterpret_cast<void*>(static_cast<uintptr_t>(window)),
                                            V3_VIEW_PLATFORM_TYPE_X11) == V3_OK;
    return mAttached;
}

void HostVST3Plugin::CloseEditor() {
    if (!mView) return;
    if (mAttached) v3_cpp_obj(mView)->removed(mView);
    mAttached = false;
    v3_cpp_obj(mView)->set_frame(mView, nullptr);
    Release(mView);
    // Whatever the view left registered is not called again.
    mRunLoop.Clear();
}
