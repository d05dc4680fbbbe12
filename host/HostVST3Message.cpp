#include "host/HostVST3Message.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/vst3/VST3Face.h"

namespace {

// One attribute: the kind set last and its value.
struct Attribute {
    enum Kind { kInt, kFloat, kString, kBinary } kind = kInt;
    int64_t i = 0;
    double f = 0.0;
    std::vector<int16_t> text; // terminated
    std::vector<uint8_t> bytes;
};

class AttributeList {
public:
    AttributeList() { mFace = {&kTable, this}; }
    v3_attribute_list** Face() { return mFace.As<v3_attribute_list>(); }

    v3_result QueryInterface(const uint8_t* iid, void** obj) {
        return VST3Answer(VST3IsOneOf(iid, v3_funknown_iid, v3_attribute_list_iid) ? &mFace : nullptr, obj);
    }
    uint32_t Ref() { return mRefs.Add(); }
    uint32_t Unref() {
        const uint32_t left = mRefs.Release();
        if (left == 0) delete this;
        return left;
    }
    v3_result SetInt(const char* id, int64_t value) {
        Attribute* a = Set(id, Attribute::kInt);
        if (a) a->i = value;
        return a ? V3_OK : V3_INVALID_ARG;
    }
    v3_result GetInt(const char* id, int64_t* value) {
        const Attribute* a = Get(id, Attribute::kInt);
        if (!a || !value) return V3_FALSE;
        *value = a->i;
        return V3_OK;
    }
    v3_result SetFloat(const char* id, double value) {
        Attribute* a = Set(id, Attribute::kFloat);
        if (a) a->f = value;
        return a ? V3_OK : V3_INVALID_ARG;
    }
    v3_result GetFloat(const char* id, double* value) {
        const Attribute* a = Get(id, Attribute::kFloat);
        if (!a || !value) return V3_FALSE;
        *value = a->f;
        return V3_OK;
    }
    v3_result SetString(const char* id, const int16_t* text) {
        Attribute* a = text ? Set(id, Attribute::kString) : nullptr;
        if (!a) return V3_INVALID_ARG;
        size_t n = 0;
        while (text[n]) ++n;
        a->text.assign(text, text + n + 1);
        return V3_OK;
    }
    // sizeInBytes: the room at text, in bytes; the copy is cut (and terminated) to fit.
    v3_result GetString(const char* id, int16_t* text, uint32_t sizeInBytes) {
        const Attribute* a = Get(id, Attribute::kString);
        const size_t units = sizeInBytes / sizeof(int16_t);
        if (!a || !text || units == 0) return V3_FALSE;
        const size_t n = std::min(a->text.size(), units);
        std::copy_n(a->text.begin(), n, text);
        text[n - 1] = 0;
        return V3_OK;
    }
    v3_result SetBinary(const char* id, const void* data, uint32_t size) {
        Attribute* a = data || size == 0 ? Set(id, Attribute::kBinary) : nullptr;
        if (!a) return V3_INVALID_ARG;
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        a->bytes.assign(bytes, bytes + size);
        return V3_OK;
    }
    v3_result GetBinary(const char* id, const void** data, uint32_t* size) {
        const Attribute* a = Get(id, Attribute::kBinary);
        if (!a || !data || !size) return V3_FALSE;
        *data = a->bytes.data();
        *size = static_cast<uint32_t>(a->bytes.size());
        return V3_OK;
    }

private:
    static const v3_attribute_list_cpp kTable;
    ~AttributeList() = default;
    Attribute* Set(const char* id, Attribute::Kind kind) {
        if (!id) return nullptr;
        Attribute& a = mAttributes[id];
        a = Attribute{};
        a.kind = kind;
        return &a;
    }
    const Attribute* Get(const char* id, Attribute::Kind kind) const {
        const auto it = id ? mAttributes.find(id) : mAttributes.end();
        return it != mAttributes.end() && it->second.kind == kind ? &it->second : nullptr;
    }

    VST3Face<AttributeList> mFace;
    VST3RefCount mRefs;
    std::map<std::string, Attribute> mAttributes;
};

const v3_attribute_list_cpp AttributeList::kTable = {
    VST3Unknown<AttributeList>(),
    {VST3Entry<&AttributeList::SetInt>, VST3Entry<&AttributeList::GetInt>,
     VST3Entry<&AttributeList::SetFloat>, VST3Entry<&AttributeList::GetFloat>,
     VST3Entry<&AttributeList::SetString>, VST3Entry<&AttributeList::GetString>,
     VST3Entry<&AttributeList::SetBinary>, VST3Entry<&AttributeList::GetBinary>}};

class Message {
public:
    Message() { mFace = {&kTable, this}; }
    v3_message** Face() { return mFace.As<v3_message>(); }

    v3_result QueryInterface(const uint8_t* iid, void** obj) {
        return VST3Answer(VST3IsOneOf(iid, v3_funknown_iid, v3_message_iid) ? &mFace : nullptr, obj);
    }
    uint32_t Ref() { return mRefs.Add(); }
    uint32_t Unref() {
        const uint32_t left = mRefs.Release();
        if (left == 0) delete this;
        return left;
    }
    const char* GetMessageId() { return mId.c_str(); }
    void SetMessageId(const char* id) { mId = id ? id : ""; }
    // The list stays the message's: no reference for the caller.
    v3_attribute_list** GetAttributes() { return mAttributes->Face(); }

private:
    static const v3_message_cpp kTable;
    ~Message() { mAttributes->Unref(); }

    VST3Face<Message> mFace;
    VST3RefCount mRefs;
    std::string mId;
    AttributeList* mAttributes = new AttributeList;
};

const v3_message_cpp Message::kTable = {VST3Unknown<Message>(),
                                        {VST3Entry<&Message::GetMessageId>, VST3Entry<&Message::SetMessageId>,
                                         VST3Entry<&Message::GetAttributes>}};

// A new object's face for iid (one reference, the caller's), else V3_NO_INTERFACE and nothing kept.
template <class T>
v3_result Answer(T* made, const uint8_t* iid, void** obj) {
    const v3_result r = made->QueryInterface(iid, obj);
    made->Unref(); // the maker's reference: the answer holds the caller's
    return r;
}

} // namespace

v3_result HostVST3CreateObject(const uint8_t* cid, const uint8_t* iid, void** obj) {
    if (!obj) return V3_INVALID_ARG;
    *obj = nullptr;
    if (!cid) return V3_NO_INTERFACE;
    try {
        if (v3_tuid_match(cid, v3_message_iid)) return Answer(new Message, iid, obj);
        if (v3_tuid_match(cid, v3_attribute_list_iid)) return Answer(new AttributeList, iid, obj);
    } catch (...) {
        return V3_NOMEM;
    }
    return V3_NO_INTERFACE;
}
