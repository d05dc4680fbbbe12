#include "framework/plugin/IEffectBase.h"

#include "framework/plugin/Log.h"
#include "framework/plugin/SampleConvert.h"
#include "framework/util/Util_Cpu.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Copies src into a field of kMaxEffectNameLen bytes, cut to fit; null copies "".
void CopyName(char* dst, const char* src) {
    if (!src) src = "";
    size_t n = strnlen(src, kMaxEffectNameLen - 1);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

// The effect's copy-and-silence rule: output i copies input i when there is one, else zeros.
template <class T>
void CopyOrSilence(T** inputs, int nIn, T** outputs, int nOut, int nFrames) {
    if (!outputs || nFrames <= 0) return;
    for (int i = 0; i < nOut; ++i) {
        T* out = outputs[i];
        if (!out) continue;
        const T* in = (inputs && i < nIn) ? inputs[i] : nullptr;
        if (in) {
            if (in != out) std::memmove(out, in, static_cast<size_t>(nFrames) * sizeof(T));
        } else {
            std::fill(out, out + nFrames, T(0));
        }
    }
}

} // namespace

IEffectBase::IEffectBase(const IEffectDescription& desc, EAPI api)
    : mQueuedChanges(desc.NParams()), mUniqueID(desc.mUniqueID), mMfrID(desc.mMfrID), mVersion(desc.mVersion),
      mAPI(api), mDoesStateChunks(desc.mDoesStateChunks), mIsInstrument(desc.mIsInstrument),
      mDoesMidi(desc.mDoesMidi), mLatency(desc.mLatency), mMinSampleRate(desc.mMinSampleRate),
      mMaxSampleRate(desc.mMaxSampleRate) {
    Trace(__func__, __LINE__, "params %d presets %d io %s", desc.NParams(), desc.mNumPresets,
          desc.mChannelIO ? desc.mChannelIO : "");
    for (const IParamDescription& row : desc.mParams) InitParamFromDescription(mParams.Add(new IParam), row);
    // Whoever lets go of the plug-in mutex maps the changes queued while it held it.
    mMutex.SetDrain([](void* self) { static_cast<IEffectBase*>(self)->ApplyQueuedParamChanges(); }, this,
                    &mQueuedChanges);
    for (int i = 0; i < desc.mNumPresets; ++i) mPresets.Add(new IPreset);
    // The processor's abilities are read once per process, here rather than in the first audio
    // block, so the audio thread never waits for it.
    Util_CpuHasAVX();
    CopyName(mEffectName, desc.mEffectName);
    CopyName(mProductName, desc.mProductName);
    CopyName(mMfrName, desc.mMfrName);

    int maxIn = 0, maxOut = 0;
    for (const auto& [nIn, nOut] : ParseChannelIO(desc.mChannelIO)) {
        mChannelIO.Add(new ChannelIOPair(nIn, nOut));
        maxIn = std::max(maxIn, nIn);
        maxOut = std::max(maxOut, nOut);
    }

    mInData.Resize(maxIn);
    mOutData.Resize(maxOut);
    for (int i = 0; i < maxIn; ++i) {
        InChannel* ch = mInChannels.Add(new InChannel);
        ch->mSrc = mInData.Get() + i;
    }
    for (int i = 0; i < maxOut; ++i) {
        OutChannel* ch = mOutChannels.Add(new OutChannel);
        ch->mDest = mOutData.Get() + i;
    }
    for (const IPresetDescription& preset : desc.mPresets) MakePresetFromValues(preset.mName, preset.mValues);
}

IEffectBase::~IEffectBase() {
    // The editor goes first, while everything its controls refer to still exists; it is no longer
    // reachable through GetGUI() while it is destroyed.
    IEffectEditor* graphics = mGraphics;
    mGraphics = nullptr;
    delete graphics;
    mParams.DeleteAll();
    mPresets.DeleteAll();
    mInChannels.DeleteAll();
    mOutChannels.DeleteAll();
    mChannelIO.DeleteAll();
    mInputBusLabels.DeleteAll();
    mOutputBusLabels.DeleteAll();
}

// ---- Virtual operations ----

void IEffectBase::Reset() {
    Util_MutexLock lock(mMutex);
}

void IEffectBase::OnParamChange(int paramIdx) {
    (void)paramIdx;
    Util_MutexLock lock(mMutex);
}

void IEffectBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    CopyOrSilence(inputs, NInChannels(), outputs, NOutChannels(), nFrames);
}

void IEffectBase::ProcessSingleReplacing(float** inputs, float** outputs, int nFrames) {
    CopyOrSilence(inputs, NInChannels(), outputs, NOutChannels(), nFrames);
}

void IEffectBase::OnActivate(bool active) {
    (void)active;
    Util_MutexLock lock(mMutex);
}

void IEffectBase::ProcessMidiMsg(IMidiMsg* msg) {
    SendMidiMsg(msg);
}

bool IEffectBase::MidiNoteName(int noteNumber, char* name) {
    (void)noteNumber;
    if (name) name[0] = '\0';
    return false;
}

bool IEffectBase::SerializeState(ByteChunk* pChunk) {
    return SerializeParams(pChunk);
}

int IEffectBase::UnserializeState(ByteChunk* pChunk, int startPos) {
    return UnserializeParams(pChunk, startPos);
}

void IEffectBase::PopupHostContextMenuForParam(int paramIdx, int x, int y) {
    (void)paramIdx;
    (void)x;
    (void)y;
}

void IEffectBase::SetParameterFromGUI(int paramIdx, double normalizedValue) {
    Trace(__func__, __LINE__, "%d %f", paramIdx, normalizedValue);
    IParam* param = GetParam(paramIdx);
    if (!param) return;
    param->SetNormalized(normalizedValue);
    // A host value still on its way to the controls is older than this one: this one supersedes it, so
    // the controls end up showing what the parameter holds (and other controls of the parameter follow).
    if (mGraphics) mGraphics->SetParameterFromPlug(paramIdx, normalizedValue, true);
    // The host hears of the change first, with no lock held (however long it takes to listen, the audio
    // thread goes on); then the effect maps it, and the host hears what that made pending.
    InformHostOfParamChange(paramIdx, normalizedValue);
    QueueParamChange(paramIdx);
    FlushHostNotifications();
}

void IEffectBase::BeginInformHostOfParamChange(int paramIdx) {
    (void)paramIdx;
}

void IEffectBase::InformHostOfParamChange(int paramIdx, double normalizedValue) {
    (void)paramIdx;
    (void)normalizedValue;
}

void IEffectBase::EndInformHostOfParamChange(int paramIdx) {
    (void)paramIdx;
}

void IEffectBase::GetTimeSig(int* pNumerator, int* pDenominator) {
    if (pNumerator) *pNumerator = 0;
    if (pDenominator) *pDenominator = 0;
}

void IEffectBase::ResizeGraphics(int w, int h) {
    (void)w;
    (void)h;
}

void IEffectBase::AttachGraphics(IEffectEditor* pGraphics) {
    if (!pGraphics) return;
    Util_MutexLock lock(mStateMutex);
    if (pGraphics == mGraphics) return;
    for (int i = 0; i < NParams(); ++i)
        pGraphics->SetParameterFromPlug(i, mParams.Get(i)->GetNormalized(), true);
    // PrepDraw moves the controls to these values, which fixes their default values.
    pGraphics->PrepDraw();
    // An editor attached earlier is replaced, not leaked.
    IEffectEditor* previous = mGraphics;
    mGraphics = pGraphics;
    delete previous;
}

bool IEffectBase::SendMidiMsg(IMidiMsg* pMsg) {
    (void)pMsg;
    return false;
}

bool IEffectBase::SendSysEx(ISysEx* pSysEx) {
    (void)pSysEx;
    return false;
}

void IEffectBase::RedrawParamControls() {
    if (!mGraphics) return;
    for (int i = 0; i < NParams(); ++i) mGraphics->SetParameterFromPlug(i, mParams.Get(i)->Value(), false);
}

void IEffectBase::SetBlockSize(int blockSize) {
    if (blockSize < 0) blockSize = 0;
    if (blockSize == GetBlockSize()) return;
    // The new buffers are made (zeroed) before the plug-in mutex is taken and swapped in under it; the
    // old ones are freed after it is released.
    const int nIn = NInChannels(), nOut = NOutChannels();
    std::vector<Util_TypedBuf<double>> fresh(static_cast<size_t>(nIn + nOut));
    for (Util_TypedBuf<double>& buf : fresh) buf.Resize(blockSize);
    Util_MutexLock lock(mMutex);
    for (int i = 0; i < nIn; ++i) {
        InChannel* ch = mInChannels.Get(i);
        double* old = ch->mScratchBuf.Get();
        ch->mScratchBuf.Swap(fresh[static_cast<size_t>(i)]);
        // A slot that pointed at the old scratch buffer follows it.
        if (*ch->mSrc == old) *ch->mSrc = ch->mScratchBuf.Get();
    }
    for (int i = 0; i < nOut; ++i) {
        OutChannel* ch = mOutChannels.Get(i);
        double* old = ch->mScratchBuf.Get();
        ch->mScratchBuf.Swap(fresh[static_cast<size_t>(nIn + i)]);
        if (*ch->mDest == old) *ch->mDest = ch->mScratchBuf.Get();
    }
    mBlockSize.store(blockSize, std::memory_order_relaxed);
}

// ---- Channel configuration ----

bool IEffectBase::LegalIO(int nIn, int nOut) const {
    for (int i = 0; i < mChannelIO.GetSize(); ++i) {
        const ChannelIOPair* pair = mChannelIO.Get(i);
        if ((nIn < 0 || nIn == pair->mIn) && (nOut < 0 || nOut == pair->mOut)) return true;
    }
    return false;
}

bool IEffectBase::GetChannelIO(int idx, int* pNIn, int* pNOut) const {
    const ChannelIOPair* pair = mChannelIO.Get(idx);
    if (!pair) return false;
    if (pNIn) *pNIn = pair->mIn;
    if (pNOut) *pNOut = pair->mOut;
    return true;
}

void IEffectBase::LimitToStereoIO() {
    if (NInChannels() > 2) SetInputChannelConnections(2, NInChannels() - 2, false);
    for (int i = 2; i < NOutChannels(); ++i) mOutChannels.Get(i)->mConnected = true;
}

void IEffectBase::SetInputChannelConnections(int idx, int n, bool connect) {
    Util_MutexLock lock(mMutex);
    int end =
        static_cast<int>(std::min(static_cast<long long>(idx) + n, static_cast<long long>(NInChannels())));
    for (int i = std::max(idx, 0); i < end; ++i) {
        InChannel* ch = mInChannels.Get(i);
        ch->mConnected = connect;
        if (!connect) *ch->mSrc = ch->mScratchBuf.Get();
    }
}

void IEffectBase::SetOutputChannelConnections(int idx, int n, bool connect) {
    Util_MutexLock lock(mMutex);
    int end =
        static_cast<int>(std::min(static_cast<long long>(idx) + n, static_cast<long long>(NOutChannels())));
    for (int i = std::max(idx, 0); i < end; ++i) {
        OutChannel* ch = mOutChannels.Get(i);
        ch->mConnected = connect;
        if (!connect) *ch->mDest = ch->mScratchBuf.Get();
    }
}

void IEffectBase::ConnectFirstChannels(int nIn, int nOut) {
    Util_MutexLock lock(mMutex);
    if (nIn >= 0) {
        SetInputChannelConnections(0, nIn, true);
        SetInputChannelConnections(nIn, NInChannels() - nIn, false);
        for (int i = nIn; i < NInChannels(); ++i) mInChannels.Get(i)->mScratchBuf.Clear();
    }
    if (nOut >= 0) {
        SetOutputChannelConnections(0, nOut, true);
        SetOutputChannelConnections(nOut, NOutChannels() - nOut, false);
    }
}

bool IEffectBase::IsInChannelConnected(int chIdx) const {
    const InChannel* ch = mInChannels.Get(chIdx);
    return ch && ch->mConnected;
}

bool IEffectBase::IsOutChannelConnected(int chIdx) const {
    const OutChannel* ch = mOutChannels.Get(chIdx);
    return ch && ch->mConnected;
}

void IEffectBase::SetInputLabel(int idx, const char* label) {
    if (InChannel* ch = mInChannels.Get(idx)) ch->mLabel.Set(label);
}

void IEffectBase::SetOutputLabel(int idx, const char* label) {
    if (OutChannel* ch = mOutChannels.Get(idx)) ch->mLabel.Set(label);
}

const char* IEffectBase::GetInputLabel(int idx) const {
    const InChannel* ch = mInChannels.Get(idx);
    return ch ? ch->mLabel.Get() : "";
}

const char* IEffectBase::GetOutputLabel(int idx) const {
    const OutChannel* ch = mOutChannels.Get(idx);
    return ch ? ch->mLabel.Get() : "";
}

void IEffectBase::SetInputBusLabel(int idx, const char* label) {
    if (idx < 0 || idx > 1) return;
    mInputBusLabels.Delete(idx);
    mInputBusLabels.Insert(idx, new Util_String(label));
}

void IEffectBase::SetOutputBusLabel(int idx, const char* label) {
    if (idx < 0) return;
    mOutputBusLabels.Delete(idx);
    mOutputBusLabels.Insert(idx, new Util_String(label));
}

const char* IEffectBase::GetInputBusLabel(int idx) const {
    const Util_String* s = mInputBusLabels.Get(idx);
    return s ? s->Get() : nullptr;
}

const char* IEffectBase::GetOutputBusLabel(int idx) const {
    const Util_String* s = mOutputBusLabels.Get(idx);
    return s ? s->Get() : nullptr;
}

// ---- Buffers and processing ----

int IEffectBase::ClampFrames(int nFrames) const {
    return std::clamp(nFrames, 0, GetBlockSize());
}

void IEffectBase::AttachInputBuffers(int idx, int n, double** ppData, int nFrames) {
    (void)nFrames;
    if (!ppData) return;
    int end =
        static_cast<int>(std::min(static_cast<long long>(idx) + n, static_cast<long long>(NInChannels())));
    for (int i = std::max(idx, 0); i < end; ++i) {
        InChannel* ch = mInChannels.Get(i);
        if (!ch->mConnected) continue;
        double* buf = *ppData++;
        *ch->mSrc = buf ? buf : ch->mScratchBuf.Get();
    }
}

void IEffectBase::AttachInputBuffers(int idx, int n, float** ppData, int nFrames) {
    if (!ppData) return;
    nFrames = ClampFrames(nFrames);
    int end =
        static_cast<int>(std::min(static_cast<long long>(idx) + n, static_cast<long long>(NInChannels())));
    for (int i = std::max(idx, 0); i < end; ++i) {
        InChannel* ch = mInChannels.Get(i);
        if (!ch->mConnected) continue;
        const float* src = *ppData++;
        double* dst = ch->mScratchBuf.Get();
        if (src) {
            ConvertFloatToDouble(src, dst, nFrames);
        } else {
            ch->mScratchBuf.Clear();
        }
        *ch->mSrc = dst;
    }
}

void IEffectBase::AttachOutputBuffers(int idx, int n, double** ppData) {
    if (!ppData) return;
    int end =
        static_cast<int>(std::min(static_cast<long long>(idx) + n, static_cast<long long>(NOutChannels())));
    for (int i = std::max(idx, 0); i < end; ++i) {
        OutChannel* ch = mOutChannels.Get(i);
        if (!ch->mConnected) continue;
        double* buf = *ppData++;
        *ch->mDest = buf ? buf : ch->mScratchBuf.Get();
        ch->mFloatDest = nullptr;
    }
}

void IEffectBase::AttachOutputBuffers(int idx, int n, float** ppData) {
    if (!ppData) return;
    int end =
        static_cast<int>(std::min(static_cast<long long>(idx) + n, static_cast<long long>(NOutChannels())));
    for (int i = std::max(idx, 0); i < end; ++i) {
        OutChannel* ch = mOutChannels.Get(i);
        if (!ch->mConnected) continue;
        *ch->mDest = ch->mScratchBuf.Get();
        ch->mFloatDest = *ppData++;
    }
}

void IEffectBase::ConvertOutputsToFloat(int nFrames, int nHostFrames, bool accumulate) {
    for (int i = 0; i < NOutChannels(); ++i) {
        OutChannel* ch = mOutChannels.Get(i);
        float* dst = ch->mFloatDest;
        const double* src = *ch->mDest;
        if (!ch->mConnected || !dst) continue;
        if (src) {
            if (accumulate) {
                AccumulateDoubleToFloat(src, dst, nFrames);
            } else {
                ConvertDoubleToFloat(src, dst, nFrames);
            }
        } else if (!accumulate) {
            std::fill(dst, dst + nFrames, 0.0f);
        }
        // Frames beyond the block size were not processed: a replacing output is silenced there.
        if (!accumulate && nHostFrames > nFrames) std::fill(dst + nFrames, dst + nHostFrames, 0.0f);
    }
}

void IEffectBase::ProcessBuffers(double, int nFrames) {
    int n = ClampFrames(nFrames);
    ProcessDoubleReplacing(NInChannels() ? mInData.Get() : nullptr, NOutChannels() ? mOutData.Get() : nullptr,
                           n);
    if (nFrames > n) {
        // Frames beyond the block size were not processed: silence them in the host's buffers.
        for (int i = 0; i < NOutChannels(); ++i) {
            OutChannel* ch = mOutChannels.Get(i);
            double* dst = *ch->mDest;
            if (ch->mConnected && dst && dst != ch->mScratchBuf.Get()) std::fill(dst + n, dst + nFrames, 0.0);
        }
    }
}

void IEffectBase::ProcessBuffers(float, int nFrames) {
    int n = ClampFrames(nFrames);
    ProcessDoubleReplacing(NInChannels() ? mInData.Get() : nullptr, NOutChannels() ? mOutData.Get() : nullptr,
                           n);
    ConvertOutputsToFloat(n, nFrames, false);
}

void IEffectBase::ProcessBuffersAccumulating(float, int nFrames) {
    int n = ClampFrames(nFrames);
    ProcessDoubleReplacing(NInChannels() ? mInData.Get() : nullptr, NOutChannels() ? mOutData.Get() : nullptr,
                           n);
    ConvertOutputsToFloat(n, nFrames, true);
}

void IEffectBase::PassThroughBuffers(double, int nFrames) {
    int n = ClampFrames(nFrames);
    CopyOrSilence(mInData.Get(), NInChannels(), mOutData.Get(), NOutChannels(), n);
}

void IEffectBase::PassThroughBuffers(float, int nFrames) {
    int n = ClampFrames(nFrames);
    CopyOrSilence(mInData.Get(), NInChannels(), mOutData.Get(), NOutChannels(), n);
    ConvertOutputsToFloat(n, nFrames, false);
}

void IEffectBase::ZeroScratchBuffers() {
    for (int i = 0; i < NInChannels(); ++i) mInChannels.Get(i)->mScratchBuf.Clear();
    for (int i = 0; i < NOutChannels(); ++i) mOutChannels.Get(i)->mScratchBuf.Clear();
}

// ---- Parameters and editor ----

void IEffectBase::OnParamReset() {
    Util_MutexLock lock(mMutex);
    for (int i = 0; i < NParams(); ++i) OnParamChange(i);
}

void IEffectBase::QueueParamChange(int paramIdx) {
    if (!GetParam(paramIdx)) return;
    // The mark comes before the attempt (see IEffectMutex): a holder that keeps us out sees it.
    mQueuedChanges.Mark(paramIdx);
    if (!mMutex.TryLock()) return;
    struct Release {
        IEffectMutex& mutex;
        ~Release() { mutex.Unlock(); }
    } release{mMutex};
    ApplyQueuedParamChanges();
}

void IEffectBase::ApplyQueuedParamChanges() {
    mQueuedChanges.Take([this](int paramIdx) { OnParamChange(paramIdx); });
}

void IEffectBase::DirtyParameters() {
    for (int i = 0; i < NParams(); ++i) InformHostOfParamChange(i, mParams.Get(i)->GetNormalized());
}

bool IEffectBase::SendMidiMsgs(Util_TypedBuf<IMidiMsg>* pMsgs) {
    if (!pMsgs) return true;
    bool ok = true;
    for (int i = 0; i < pMsgs->GetSize(); ++i) ok = SendMidiMsg(pMsgs->Get() + i) && ok;
    return ok;
}

double IEffectBase::GetSamplesPerBeat() {
    double tempo = GetTempo();
    return tempo > 0.0 ? GetSampleRate() * 60.0 / tempo : 0.0;
}

// ---- Identity, versions and host ----

int IEffectBase::GetEffectVersion(bool decimal) const {
    return decimal ? GetDecimalVersion(mVersion) : mVersion;
}

void IEffectBase::GetEffectVersionStr(char* buf) const {
    GetVersionStr(mVersion, buf);
}

int IEffectBase::GetHostVersion(bool decimal) {
    GetHost();
    const int32_t version = mHostVersion.load();
    return decimal ? GetDecimalVersion(version) : version;
}

void IEffectBase::GetHostVersionStr(char* buf) {
    GetHost();
    GetVersionStr(mHostVersion.load(), buf);
}

void IEffectBase::SetHost(const char* hostName, int version) {
    // The version first: a thread that sees the host identified reads its version too.
    mHostVersion = version;
    mHost = LookUpHost(hostName);
    Trace(__func__, __LINE__, "host %d version %d", static_cast<int>(mHost.load()), version);
}

const char* IEffectBase::GetAPIString() {
    switch (GetAPI()) {
    case kAPIVST2:
        return "VST2";
    case kAPIVST3:
        return "VST3";
    case kAPIAU:
        return "AU";
    case kAPIRTAS:
        return "RTAS";
    case kAPIAAX:
        return "AAX";
    case kAPISA:
        return "Standalone";
    case kAPILV2:
        return "LV2";
    case kAPICLAP:
        return "CLAP";
    }
    return "";
}
