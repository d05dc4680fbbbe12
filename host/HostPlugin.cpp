#include "host/HostPlugin.h"

#include "host/HostAllocWatch.h"
#include "host/HostLibrary.h"
#include "host/HostText.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dlfcn.h>

namespace {

// Live instances by effect record, so that the callback finds its host whatever the plug-in does
// with the record's fields. An instance is registered from the moment its entry function returns.
std::mutex sRegistryLock;
std::vector<std::pair<AEffect*, HostPlugin*>> sRegistry;
// The instance whose entry function is running on this thread (the record is not known yet).
thread_local HostPlugin* sLoading = nullptr;

HostPlugin* FindInstance(AEffect* effect) {
    std::lock_guard<std::mutex> lock(sRegistryLock);
    for (auto& entry : sRegistry)
        if (entry.first == effect) return entry.second;
    return nullptr;
}

void Register(AEffect* effect, HostPlugin* host) {
    std::lock_guard<std::mutex> lock(sRegistryLock);
    sRegistry.emplace_back(effect, host);
}

void Unregister(HostPlugin* host) {
    std::lock_guard<std::mutex> lock(sRegistryLock);
    sRegistry.erase(std::remove_if(sRegistry.begin(), sRegistry.end(),
                                   [host](const auto& entry) { return entry.second == host; }),
                    sRegistry.end());
}

void CopyText(void* ptr, const char* text, size_t size) {
    if (!ptr || size == 0) return;
    char* dst = static_cast<char*>(ptr);
    size_t n = std::min(std::strlen(text), size - 1);
    std::memcpy(dst, text, n);
    dst[n] = '\0';
}

} // namespace

std::unique_ptr<HostPlugin> HostPlugin::Load(const std::string& path, std::string& err) {
    if (!HostCheckSharedObject(path, err)) return nullptr;
    std::unique_ptr<HostPlugin> host(new HostPlugin());
    host->mPath = path;
    host->mLibrary = HostOpenLibrary(path, err);
    if (!host->mLibrary) return nullptr;
    void* sym = HostOwnSymbol(host->mLibrary, "VSTPluginMain");
    if (!sym) sym = HostOwnSymbol(host->mLibrary, "main");
    if (!sym) {
        err =
            HostFormat("'%s' is not a VST 2 plug-in (no VSTPluginMain or main entry function)", path.c_str());
        return nullptr;
    }
    VstPluginEntryProc entry = reinterpret_cast<VstPluginEntryProc>(sym);
    sLoading = host.get();
    AEffect* effect = entry(&HostPlugin::HostCallback);
    sLoading = nullptr;
    if (!effect) {
        err = HostFormat("the entry function of '%s' returned no effect", path.c_str());
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        err = HostFormat("'%s' returned an effect record without the VST magic 'VstP'", path.c_str());
        return nullptr;
    }
    if (!effect->dispatcher) {
        err = HostFormat("'%s' returned an effect record without a dispatcher", path.c_str());
        return nullptr;
    }
    host->mEffect = effect;
    Register(effect, host.get());
    if (effect->numInputs < 0 || effect->numInputs > kHostMaxPins || effect->numOutputs < 0 ||
        effect->numOutputs > kHostMaxPins || effect->numParams < 0 || effect->numParams > 65536 ||
        effect->numPrograms < 0 || effect->numPrograms > 65536) {
        err = HostFormat("'%s' returned an implausible effect record (%d inputs, %d outputs, %d parameters, "
                         "%d programs)",
                         path.c_str(), effect->numInputs, effect->numOutputs, effect->numParams,
                         effect->numPrograms);
        // The instance exists: close it properly.
        host->mOpened = false;
        host->Dispatch(effClose);
        host->mEffect = nullptr;
        return nullptr;
    }
    host->Dispatch(effOpen);
    host->mOpened = true;
    return host;
}

HostPlugin::~HostPlugin() {
    if (mEffect) {
        if (mResumed) Suspend();
        if (mOpened) Dispatch(effClose);
    }
    Unregister(this);
    mEffect = nullptr;
    if (mLibrary) dlclose(mLibrary);
}

intptr_t HostPlugin::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!mEffect || !mEffect->dispatcher) return 0;
    return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

std::string HostPlugin::TextRequest(int32_t opcode, int32_t index) {
    // Far larger than the interface's field sizes: plug-ins often write more than they should.
    char buf[512];
    std::memset(buf, 0, sizeof buf);
    Dispatch(opcode, index, 0, buf, 0.0f);
    buf[sizeof buf - 1] = '\0';
    return HostCleanText(buf, sizeof buf);
}

std::string HostPlugin::EffectName() {
    return TextRequest(effGetEffectName, 0);
}
std::string HostPlugin::VendorString() {
    return TextRequest(effGetVendorString, 0);
}
std::string HostPlugin::ProductString() {
    return TextRequest(effGetProductString, 0);
}
std::string HostPlugin::ParamName(int index) {
    return TextRequest(effGetParamName, index);
}
std::string HostPlugin::ParamLabel(int index) {
    return TextRequest(effGetParamLabel, index);
}
std::string HostPlugin::ParamDisplay(int index) {
    return TextRequest(effGetParamDisplay, index);
}
std::string HostPlugin::ProgramName() {
    return TextRequest(effGetProgramName, 0);
}
bool HostPlugin::ProgramNameIndexed(int index, std::string& name) {
    char buf[512];
    std::memset(buf, 0, sizeof buf);
    intptr_t r = Dispatch(effGetProgramNameIndexed, index, -1, buf, 0.0f);
    buf[sizeof buf - 1] = '\0';
    name = HostCleanText(buf, sizeof buf);
    return r != 0;
}

intptr_t HostPlugin::CanDo(const char* capability) {
    return Dispatch(effCanDo, 0, 0, const_cast<char*>(capability), 0.0f);
}

float HostPlugin::GetParameter(int index) {
    if (!mEffect || !mEffect->getParameter) return 0.0f;
    return mEffect->getParameter(mEffect, index);
}

void HostPlugin::SetParameter(int index, float value) {
    if (mEffect && mEffect->setParameter) mEffect->setParameter(mEffect, index, value);
}

void HostPlugin::SetSampleRate(double rate) {
    mSampleRate = rate;
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void HostPlugin::SetBlockSize(int frames) {
    mBlockSize = frames;
    Dispatch(effSetBlockSize, 0, frames, nullptr, 0.0f);
}

std::string HostPlugin::Resume() {
    if (mResumed) return "";
    Dispatch(effMainsChanged, 0, 1);
    Dispatch(effStartProcess);
    mResumed = true;
    return "";
}

void HostPlugin::Suspend() {
    if (!mResumed) return;
    Dispatch(effStopProcess);
    Dispatch(effMainsChanged, 0, 0);
    mResumed = false;
}

void HostPlugin::ProcessFloat(float** inputs, float** outputs, int frames, bool accumulating) {
    AEffectProcessProc proc = accumulating ? mEffect->process : mEffect->processReplacing;
    if (!proc) return;
    ++mProcessDepth;
    {
        HostAudioCallScope scope;
        proc(mEffect, inputs, outputs, frames);
    }
    --mProcessDepth;
}

void HostPlugin::ProcessDouble(double** inputs, double** outputs, int frames) {
    if (!mEffect->processDoubleReplacing) return;
    ++mProcessDepth;
    {
        HostAudioCallScope scope;
        mEffect->processDoubleReplacing(mEffect, inputs, outputs, frames);
    }
    --mProcessDepth;
}

void HostPlugin::SetTransport(const HostTransport& t) {
    std::lock_guard<std::mutex> lock(mLock);
    bool changed = mTransport.changed || t.playing != mTransport.playing || t.tempo != mTransport.tempo ||
                   t.timeSigNumerator != mTransport.timeSigNumerator ||
                   t.timeSigDenominator != mTransport.timeSigDenominator;
    mTransport = t;
    mTransport.changed = changed;
}

HostTransport HostPlugin::Transport() {
    std::lock_guard<std::mutex> lock(mLock);
    return mTransport;
}

std::vector<HostCallbackEvent> HostPlugin::Events() {
    std::lock_guard<std::mutex> lock(mLock);
    return mEvents;
}

void HostPlugin::ClearEvents() {
    std::lock_guard<std::mutex> lock(mLock);
    mEvents.clear();
}

void HostPlugin::Record(HostCallbackEvent::EKind kind, int index, float value) {
    std::lock_guard<std::mutex> lock(mLock);
    mEvents.push_back(HostCallbackEvent{kind, index, value});
}

intptr_t HostPlugin::HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
    HostCallbackScope hostCode; // what the host allocates here is not the plug-in's
    HostPlugin* host = effect ? FindInstance(effect) : nullptr;
    if (!host) host = sLoading;
    if (!host) {
        // A call before the record is known (or from a record we do not own): only the version.
        return opcode == audioMasterVersion ? kVstVersion : 0;
    }
    return host->OnCallback(opcode, index, value, ptr, opt);
}

intptr_t HostPlugin::OnCallback(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    (void)value;
    switch (opcode) {
    case audioMasterAutomate:
        Record(HostCallbackEvent::kAutomate, index, opt);
        return 1;
    case audioMasterBeginEdit:
        Record(HostCallbackEvent::kBeginEdit, index, 0.0f);
        return 1;
    case audioMasterEndEdit:
        Record(HostCallbackEvent::kEndEdit, index, 0.0f);
        return 1;
    case audioMasterUpdateDisplay:
        Record(HostCallbackEvent::kUpdateDisplay, 0, 0.0f);
        return 1;
    case audioMasterIOChanged:
        // Noted, but a render keeps the channel layout and latency it started with.
        Record(HostCallbackEvent::kIOChanged, 0, 0.0f);
        return 0;
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterGetTime: {
        std::lock_guard<std::mutex> lock(mLock);
        const HostTransport& t = mTransport;
        double rate = mSampleRate.load();
        VstTimeInfo& ti = mTimeInfo;
        ti = VstTimeInfo{};
        ti.samplePos = t.samplePos;
        ti.sampleRate = rate;
        ti.nanoSeconds = t.samplePos / rate * 1.0e9;
        ti.tempo = t.tempo;
        ti.ppqPos = t.samplePos / rate * t.tempo / 60.0;
        double quartersPerBar = t.timeSigNumerator * 4.0 / t.timeSigDenominator;
        ti.barStartPos = std::floor(ti.ppqPos / quartersPerBar) * quartersPerBar;
        ti.timeSigNumerator = t.timeSigNumerator;
        ti.timeSigDenominator = t.timeSigDenominator;
        ti.flags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
        if (t.playing) ti.flags |= kVstTransportPlaying;
        if (t.changed) ti.flags |= kVstTransportChanged;
        mTransport.changed = false;
        return reinterpret_cast<intptr_t>(&mTimeInfo);
    }
    case audioMasterGetSampleRate:
        return static_cast<intptr_t>(mSampleRate.load());
    case audioMasterGetBlockSize:
        return mBlockSize.load();
    case audioMasterGetCurrentProcessLevel:
        return mProcessDepth.load() > 0 ? kVstProcessLevelOffline : kVstProcessLevelUser;
    case audioMasterGetVendorString:
        CopyText(ptr, kVendorString, kVstMaxVendorStrLen);
        return 1;
    case audioMasterGetProductString:
        CopyText(ptr, kProductString, kVstMaxProductStrLen);
        return 1;
    case audioMasterGetVendorVersion:
        return kVendorVersion;
    case audioMasterCanDo: {
        const char* what = static_cast<const char*>(ptr);
        if (!what) return 0;
        if (std::strcmp(what, "sendVstTimeInfo") == 0 || std::strcmp(what, "startStopProcess") == 0) return 1;
        return 0;
    }
    default:
        return 0;
    }
}
