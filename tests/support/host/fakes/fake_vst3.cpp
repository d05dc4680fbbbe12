// A VST 3 module that breaks one way, chosen at build time, for the host's refusals:
//   FAKE_VST3_ENTRY_FAILS     ModuleEntry answers false;
//   FAKE_VST3_NO_AUDIO_MODULE the factory's one class is a controller class;
//   FAKE_VST3_NO_INSTANCE     the factory makes nothing;
//   FAKE_VST3_NO_PROCESSOR    the component has no audio processor;
//   FAKE_VST3_NO_CONTROLLER   the component names a controller class the factory does not make;
//   FAKE_VST3_HUGE_BUSES      the component announces a million input buses;
//   FAKE_VST3_HUGE_PARAMS     the component, its own controller, announces ten million parameters.
// One static component, which answers every interface it has with itself (the counts are not kept).
#include <cstring>

#include "framework/vst3/VST3Interfaces.h"

namespace {

v3_result Ok(void*) {
    return V3_OK;
}
uint32_t One(void*) {
    return 1;
}

const v3_tuid kClassId = V3_ID(0x46616B65, 0x56535433, 0x436C6173, 0x73000001);
const v3_tuid kControllerId = V3_ID(0x46616B65, 0x56535433, 0x436C6173, 0x73000002);

// ---- The component (with its processor and controller tables, all on one object) ----

struct ComponentObject;
v3_result ComponentQuery(void* self, const v3_tuid iid, void** obj);

v3_result Initialize(void*, v3_funknown**) {
    return V3_OK;
}
v3_result ControllerClassId(void*, v3_tuid id) {
#ifdef FAKE_VST3_NO_CONTROLLER
    std::memcpy(id, kControllerId, sizeof(v3_tuid));
    return V3_OK;
#else
    (void)kControllerId;
    std::memset(id, 0, sizeof(v3_tuid));
    return V3_FALSE;
#endif
}
v3_result IoMode(void*, int32_t) {
    return V3_OK;
}
int32_t BusCount(void*, int32_t type, int32_t) {
#ifdef FAKE_VST3_HUGE_BUSES
    return type == V3_AUDIO ? 1000000 : 0;
#else
    return type == V3_AUDIO ? 1 : 0;
#endif
}
v3_result BusInfo(void*, int32_t, int32_t direction, int32_t, v3_bus_info* info) {
    std::memset(info, 0, sizeof(*info));
    info->direction = direction;
    info->channel_count = 2;
    return V3_OK;
}
v3_result Routing(void*, v3_routing_info*, v3_routing_info*) {
    return V3_FALSE;
}
v3_result ActivateBus(void*, int32_t, int32_t, int32_t, v3_bool) {
    return V3_OK;
}
v3_result Active(void*, v3_bool) {
    return V3_OK;
}
v3_result State(void*, v3_bstream**) {
    return V3_OK;
}
int32_t ParamCount(void*) {
    return 10000000;
}
v3_result Handler(void*, v3_component_handler**) {
    return V3_OK;
}

const v3_component_cpp kComponent = {
    {ComponentQuery, One, One},
    {Initialize, Ok},
    {ControllerClassId, IoMode, BusCount, BusInfo, Routing, ActivateBus, Active, State, State}};

// It learns the component's state and takes the handler; then the host asks for its count and
// refuses it.
v3_edit_controller_cpp MakeController() {
    v3_edit_controller_cpp c = {};
    c.query_interface = ComponentQuery;
    c.ref = One;
    c.unref = One;
    c.base = {Initialize, Ok};
    c.ctrl.set_component_state = State;
    c.ctrl.get_parameter_count = ParamCount;
    c.ctrl.set_component_handler = Handler;
    return c;
}
const v3_edit_controller_cpp kController = MakeController();

// The processor is never used: the host refuses the plug-in first.
v3_audio_processor_cpp MakeProcessor() {
    v3_audio_processor_cpp p = {};
    p.query_interface = ComponentQuery;
    p.ref = One;
    p.unref = One;
    return p;
}
const v3_audio_processor_cpp kProcessor = MakeProcessor();

const void* kComponentFace = &kComponent;
const void* kProcessorFace = &kProcessor;
const void* kControllerFace = &kController;

v3_result ComponentQuery(void*, const v3_tuid iid, void** obj) {
    *obj = nullptr;
    if (v3_tuid_match(iid, v3_funknown_iid) || v3_tuid_match(iid, v3_plugin_base_iid) ||
        v3_tuid_match(iid, v3_component_iid))
        *obj = &kComponentFace;
#ifndef FAKE_VST3_NO_PROCESSOR
    else if (v3_tuid_match(iid, v3_audio_processor_iid))
        *obj = &kProcessorFace;
#endif
#ifdef FAKE_VST3_HUGE_PARAMS
    else if (v3_tuid_match(iid, v3_edit_controller_iid))
        *obj = &kControllerFace;
#endif
    (void)kControllerFace;
    (void)kProcessorFace;
    return *obj ? V3_OK : V3_NO_INTERFACE;
}

// ---- The factory ----

v3_result FactoryQuery(void* self, const v3_tuid iid, void** obj);

v3_result FactoryInfo(void*, v3_factory_info* info) {
    std::memset(info, 0, sizeof(*info));
    std::strcpy(info->vendor, "Fake");
    return V3_OK;
}
int32_t NumClasses(void*) {
    return 1;
}
v3_result ClassInfo(void*, int32_t idx, v3_class_info* info) {
    if (idx != 0) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof(*info));
    std::memcpy(info->class_id, kClassId, sizeof(v3_tuid));
#ifdef FAKE_VST3_NO_AUDIO_MODULE
    std::strcpy(info->category, "Component Controller Class");
#else
    std::strcpy(info->category, "Audio Module Class");
#endif
    std::strcpy(info->name, "Fake VST3");
    return V3_OK;
}
v3_result CreateInstance(void*, const v3_tuid cid, const v3_tuid, void** obj) {
    *obj = nullptr;
#ifdef FAKE_VST3_NO_INSTANCE
    (void)cid;
#else
    if (v3_tuid_match(cid, kClassId)) *obj = &kComponentFace;
#endif
    return *obj ? V3_OK : V3_NOT_IMPLEMENTED;
}

const v3_plugin_factory_cpp kFactory = {
    {FactoryQuery, One, One}, {FactoryInfo, NumClasses, ClassInfo, CreateInstance}, {}, {}};
const void* kFactoryFace = &kFactory;

v3_result FactoryQuery(void*, const v3_tuid iid, void** obj) {
    const bool known = v3_tuid_match(iid, v3_funknown_iid) || v3_tuid_match(iid, v3_plugin_factory_iid);
    *obj = known ? &kFactoryFace : nullptr;
    return known ? V3_OK : V3_NO_INTERFACE;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) bool ModuleEntry(void*) {
#ifdef FAKE_VST3_ENTRY_FAILS
    return false;
#else
    return true;
#endif
}

__attribute__((visibility("default"))) bool ModuleExit() {
    return true;
}

__attribute__((visibility("default"))) v3_plugin_factory** GetPluginFactory() {
    return reinterpret_cast<v3_plugin_factory**>(const_cast<void**>(&kFactoryFace));
}
}
