// HostPlugin: the VST 2.4 form of HostEffect, through the dispatcher and the effect record.
#include <algorithm>
#include <cstring>

#include "host/HostInfo.h"
#include "host/HostPlugin.h"
#include "host/HostPresets.h"

namespace {

// Precision values of effSetProcessPrecision.
constexpr intptr_t kProcessPrecision32 = 0;
constexpr intptr_t kProcessPrecision64 = 1;
// The largest editor side taken at its word.
constexpr int kMaxEditorSide = 16384;

int ArrangementType(int channels) {
    if (channels == 0) return kSpeakerArrEmpty;
    if (channels == 1) return kSpeakerArrMono;
    if (channels == 2) return kSpeakerArrStereo;
    return kSpeakerArrUserDefined;
}

// A speaker arrangement record with room for every channel (the interface declares eight).
std::vector<uint8_t> MakeArrangement(int channels) {
    size_t speakers = static_cast<size_t>(std::max(channels, 8));
    std::vector<uint8_t> bytes(
        offsetof(VstSpeakerArrangement, speakers) + speakers * sizeof(VstSpeakerProperties), 0);
    int32_t type = ArrangementType(channels);
    int32_t count = channels;
    std::memcpy(bytes.data() + offsetof(VstSpeakerArrangement, type), &type, 4);
    std::memcpy(bytes.data() + offsetof(VstSpeakerArrangement, numChannels), &count, 4);
    return bytes;
}

} // namespace

std::string HostPlugin::Describe(bool json) {
    HostInfo info;
    HostCollectInfo(*this, info);
    return json ? HostFormatInfoJson(info) : HostFormatInfoText(info);
}

bool HostPlugin::ApplyProgramAndValues(const std::string& program,
                                       const std::vector<std::string>& assignments, std::string& err) {
    return HostApplyProgramAndValues(*this, program, assignments, err);
}

std::string HostPlugin::CannotProcess(bool doublePrecision) {
    if (doublePrecision) {
        if (!(mEffect->flags & effFlagsCanDoubleReplacing) || !mEffect->processDoubleReplacing)
            return "the plug-in does not process double precision";
    } else if (!((mEffect->flags & effFlagsCanReplacing) && mEffect->processReplacing) && !mEffect->process) {
        return "the plug-in has no single-precision audio callback";
    }
    return "";
}

std::string HostPlugin::Configure(int sampleRate, int maxBlock, bool doublePrecision) {
    SetSampleRate(sampleRate);
    SetBlockSize(maxBlock);
    Dispatch(effSetProcessPrecision, 0, doublePrecision ? kProcessPrecision64 : kProcessPrecision32);
    return ""; // VST 2 has no refusal
}

int HostPlugin::NarrowToMono() {
    // Mono in and out first; a plug-in that makes several outputs of one input keeps them all.
    std::vector<uint8_t> in = MakeArrangement(1);
    std::vector<uint8_t> out = MakeArrangement(1);
    auto offer = [&]() {
        return Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(in.data()), out.data()) != 0;
    };
    if (offer()) return 1;
    out = MakeArrangement(mEffect->numOutputs);
    if (mEffect->numOutputs == 1 || !offer()) return 0;
    return mEffect->numOutputs;
}

void HostPlugin::RenderFloat(float** inputs, float** outputs, int frames) {
    ProcessFloat(inputs, outputs, frames,
                 !((mEffect->flags & effFlagsCanReplacing) && mEffect->processReplacing));
}

bool HostPlugin::EditorSize(int& w, int& h) {
    ERect* rect = nullptr;
    Dispatch(effEditGetRect, 0, 0, &rect);
    if (!rect) return false;
    const int rw = rect->right - rect->left, rh = rect->bottom - rect->top;
    if (rw < 1 || rh < 1 || rw > kMaxEditorSide || rh > kMaxEditorSide) return false;
    w = rw;
    h = rh;
    return true;
}

bool HostPlugin::OpenEditor(unsigned long window) {
    return Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(window))) != 0;
}

void HostPlugin::IdleEditor() {
    Dispatch(effEditIdle);
}

void HostPlugin::CloseEditor() {
    Dispatch(effEditClose);
}
