#include "framework/vst3/IEffectVST3Factory.h"

#include <cstdio>
#include <cstring>

#include "framework/vst3/VST3Strings.h"

namespace {

using Self = IEffectVST3Factory;

const v3_plugin_factory_cpp kFactoryTable = {
    VST3Unknown<Self>(),
    {VST3Entry<&Self::GetFactoryInfo>, VST3Entry<&Self::NumClasses>, VST3Entry<&Self::GetClassInfo>,
     VST3Entry<&Self::CreateInstance>},
    {VST3Entry<&Self::GetClassInfo2>},
    {VST3Entry<&Self::GetClassInfoUTF16>, VST3Entry<&Self::SetHostContext>}};

constexpr int32_t kManyInstances = 0x7FFFFFFF;
constexpr int32_t kUnicodeFactory = 0x10;
constexpr const char* kCategory = "Audio Module Class";

void CopyText(char* out, size_t size, const char* text) {
    std::snprintf(out, size, "%s", text ? text : "");
}

void PutBigEndian(uint8_t* out, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(u >> (24 - 8 * i));
}

// "major.minor.patch" of the packed version.
void VersionText(int32_t version, char* out, size_t size) {
    std::snprintf(out, size, "%d.%d.%d", (version >> 16) & 0xFFFF, (version >> 8) & 0xFF, version & 0xFF);
}

} // namespace

IEffectVST3Factory::IEffectVST3Factory(const IEffectDescription& desc, Factory factory)
    : mDesc(desc), mFactory(factory) {
    mFace = {&kFactoryTable, this};
    ClassID(desc, mClassID);
}

void IEffectVST3Factory::ClassID(const IEffectDescription& desc, v3_tuid out) {
    // The maker's and the effect's four-character codes, then "VST3" and the effect's code again: the
    // same effect has the same id in every build, and another effect (or maker) another one.
    PutBigEndian(out, desc.mMfrID);
    PutBigEndian(out + 4, desc.mUniqueID);
    std::memcpy(out + 8, "VST3", 4);
    PutBigEndian(out + 12, desc.mUniqueID);
}

v3_result IEffectVST3Factory::QueryInterface(const uint8_t* iid, void** obj) {
    if (!obj) return V3_INVALID_ARG;
    *obj = nullptr;
    if (!VST3IsOneOf(iid, v3_funknown_iid, v3_plugin_factory_iid, v3_plugin_factory_2_iid,
                     v3_plugin_factory_3_iid))
        return V3_NO_INTERFACE;
    Ref();
    *obj = &mFace;
    return V3_OK;
}

uint32_t IEffectVST3Factory::Ref() {
    return mRefs.fetch_add(1) + 1;
}

uint32_t IEffectVST3Factory::Unref() {
    // The factory is the module's; the host's last release does not free it.
    const uint32_t refs = mRefs.load();
    if (refs == 0) return 0;
    return mRefs.fetch_sub(1) - 1;
}

v3_result IEffectVST3Factory::GetFactoryInfo(v3_factory_info* info) {
    if (!info) return V3_INVALID_ARG;
    std::memset(info, 0, sizeof(*info));
    CopyText(info->vendor, sizeof(info->vendor), mDesc.mMfrName);
    info->flags = kUnicodeFactory;
    return V3_OK;
}

int32_t IEffectVST3Factory::NumClasses() {
    return 1;
}

template <class Info>
bool IEffectVST3Factory::FillClassInfo(int32_t idx, Info* info) const {
    if (!info || idx != 0) return false;
    std::memset(info, 0, sizeof(*info));
    std::memcpy(info->class_id, mClassID, sizeof(v3_tuid));
    info->cardinality = kManyInstances;
    CopyText(info->category, sizeof(info->category), kCategory);
    CopyText(info->name, sizeof(info->name), mDesc.mEffectName);
    return true;
}

v3_result IEffectVST3Factory::GetClassInfo(int32_t idx, v3_class_info* info) {
    return FillClassInfo(idx, info) ? V3_OK : V3_INVALID_ARG;
}

v3_result IEffectVST3Factory::GetClassInfo2(int32_t idx, v3_class_info_2* info) {
    if (!FillClassInfo(idx, info)) return V3_INVALID_ARG;
    info->class_flags = 0; // processor and controller are one object: not distributable
    CopyText(info->sub_categories, sizeof(info->sub_categories), mDesc.mVST3Subcategories);
    CopyText(info->vendor, sizeof(info->vendor), mDesc.mMfrName);
    VersionText(mDesc.mVersion, info->version, sizeof(info->version));
    CopyText(info->sdk_version, sizeof(info->sdk_version), kVST3InterfacesVersion);
    return V3_OK;
}

v3_result IEffectVST3Factory::GetClassInfoUTF16(int32_t idx, v3_class_info_3* info) {
    if (!info) return V3_INVALID_ARG;
    v3_class_info_2 narrow;
    const v3_result r = GetClassInfo2(idx, &narrow);
    if (r != V3_OK) return r;
    std::memset(info, 0, sizeof(*info));
    std::memcpy(info->class_id, narrow.class_id, sizeof(v3_tuid));
    info->cardinality = narrow.cardinality;
    std::memcpy(info->category, narrow.category, sizeof(info->category));
    VST3CopyString(narrow.name, info->name, 64);
    info->class_flags = narrow.class_flags;
    std::memcpy(info->sub_categories, narrow.sub_categories, sizeof(info->sub_categories));
    VST3CopyString(narrow.vendor, info->vendor, 64);
    VST3CopyString(narrow.version, info->version, 64);
    VST3CopyString(narrow.sdk_version, info->sdk_version, 64);
    return V3_OK;
}

v3_result IEffectVST3Factory::CreateInstance(const uint8_t* classId, const uint8_t* iid, void** obj) {
    if (!obj) return V3_INVALID_ARG;
    *obj = nullptr;
    if (!classId || !v3_tuid_match(classId, mClassID)) return V3_NO_INTERFACE;
    IEffectVST3* plug = VST3CreateInstance(mFactory);
    if (!plug) return V3_NOMEM;
    // The host's reference is the one the interface takes; ours goes.
    const v3_result r = plug->QueryInterface(iid, obj);
    plug->Unref();
    return r;
}

v3_result IEffectVST3Factory::SetHostContext(v3_funknown**) {
    return V3_OK;
}
