#pragma once
// IEffectVST3Factory: the module's plug-in factory (v3_plugin_factory, with its second and third
// versions), the object GetPluginFactory hands the host. It describes one class, the effect as an audio
// module (category "Audio Module Class", subcategories, vendor and version from the description, the
// version of the interfaces implemented), and creates its instances through VST3CreateInstance.
//
// The class id is derived from the maker and unique IDs (ClassID), so it is the same in every build.
//
// Threads: any thread; the factory holds nothing that changes (instance creation is serialised by
// VST3CreateInstance). Ownership: one static object per module, made at the first GetPluginFactory;
// its reference count is kept for the host's sake but never frees it (the module owns it until it is
// unloaded). Created instances belong to the host (one reference each).
#include <atomic>
#include <cstdint>

#include "framework/plugin/IEffectDescription.h"
#include "framework/vst3/IEffectVST3.h"
#include "framework/vst3/VST3Face.h"

class IEffectVST3Factory {
public:
    using Factory = IEffectVST3* (*)(const IEffectInstanceInfo& info);

    // desc must outlive the factory (static data).
    IEffectVST3Factory(const IEffectDescription& desc, Factory factory);
    IEffectVST3Factory(const IEffectVST3Factory&) = delete;
    IEffectVST3Factory& operator=(const IEffectVST3Factory&) = delete;

    v3_plugin_factory** Face() { return mFace.As<v3_plugin_factory>(); }
    // The class id of the effect a description describes.
    static void ClassID(const IEffectDescription& desc, v3_tuid out);

    // ---- v3_funknown ----
    v3_result QueryInterface(const uint8_t* iid, void** obj);
    uint32_t Ref();
    uint32_t Unref();
    // ---- v3_plugin_factory, _2, _3 ----
    v3_result GetFactoryInfo(v3_factory_info* info);
    int32_t NumClasses();
    v3_result GetClassInfo(int32_t idx, v3_class_info* info);
    // A new instance of the class, answering interface iid (one reference, the host's).
    v3_result CreateInstance(const uint8_t* classId, const uint8_t* iid, void** obj);
    v3_result GetClassInfo2(int32_t idx, v3_class_info_2* info);
    v3_result GetClassInfoUTF16(int32_t idx, v3_class_info_3* info);
    v3_result SetHostContext(v3_funknown** host);

private:
    // The fields every version of the class info has; false for a null info or another index.
    template <class Info>
    bool FillClassInfo(int32_t idx, Info* info) const;

    VST3Face<IEffectVST3Factory> mFace;
    std::atomic<uint32_t> mRefs{1};
    const IEffectDescription& mDesc;
    Factory mFactory;
    v3_tuid mClassID;
};
