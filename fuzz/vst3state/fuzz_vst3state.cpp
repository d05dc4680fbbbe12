// Feeds arbitrary bytes to the VST 3 component's set_state (and the controller's set_component_state),
// read from a stream that hands them out in pieces of a size the input chooses. A state is either
// taken whole (the plug-in then saves exactly those bytes, every value in its parameter's range) or
// refused with nothing changed (the plug-in saves what it saved before). Anything else, and any crash,
// leak or undefined behaviour, is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Tidebloom.h"
#include "tests/support/vst3/VST3TestHost.h"

namespace {

IEffectVST3* Instance() {
    static IEffectVST3* sPlug = VST3CreateInstance(
        [](const IEffectInstanceInfo& info) -> IEffectVST3* { return new Tidebloom(info); });
    return sPlug;
}

std::vector<uint8_t> Saved(IEffectVST3* plug) {
    VST3TestStream out;
    if (plug->GetState(out.Face()) != V3_OK) std::abort();
    return out.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    IEffectVST3* plug = Instance();
    const int chunk = 1 + data[0] % 64;
    const std::vector<uint8_t> bytes(data + 1, data + size);
    const std::vector<uint8_t> before = Saved(plug);

    VST3TestStream in(bytes, chunk);
    const v3_result r = plug->SetState(in.Face());
    const std::vector<uint8_t> after = Saved(plug);
    if (r == V3_OK) {
        if (after != bytes) std::abort();
        for (int i = 0; i < plug->NParams(); ++i) {
            const IParam* p = plug->GetParam(i);
            if (!(p->Value() >= p->GetMin() && p->Value() <= p->GetMax())) std::abort();
        }
    } else if (r != V3_FALSE || after != before) {
        std::abort();
    }

    // The controller refuses what the component refuses and changes nothing it reports when it does.
    std::vector<double> reported;
    for (int i = 0; i < plug->NParams(); ++i) reported.push_back(plug->GetParameterNormalized(i));
    VST3TestStream again(bytes, chunk);
    const v3_result c = plug->SetComponentState(again.Face());
    if (c != r) std::abort();
    for (int i = 0; c != V3_OK && i < plug->NParams(); ++i)
        if (plug->GetParameterNormalized(i) != reported[static_cast<size_t>(i)]) std::abort();
    return 0;
}
