#pragma once
// What the validator's checks share: an instance ready to process (HostCheckInstance), the parameters
// a host sets and random values for them, and the check functions themselves (HostChecks*.cpp), which
// the table in HostValidateCheck.cpp lists. Used on a check's main thread.
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "host/HostBlockRenderer.h"
#include "host/HostValidateCheck.h"

// The rate and largest block the checks use unless they are about those.
constexpr int kCheckRate = 44100;
constexpr int kCheckBlock = 512;

// A fresh instance, configured at a rate for blocks up to maxBlock and resumed, with a renderer.
class HostCheckInstance {
public:
    bool Open(const HostCheckContext& ctx, std::string& err, int rate = kCheckRate,
              int maxBlock = kCheckBlock);
    // Opened but neither configured nor resumed (Start does that).
    bool OpenIdle(const HostCheckContext& ctx, std::string& err);
    // Suspends when running, then configures at rate for blocks up to maxBlock and resumes.
    void Start(int rate = kCheckRate, int maxBlock = kCheckBlock);

    HostValidateTarget& Target() { return *mTarget; }
    HostEffect& Effect() { return mTarget->Effect(); }
    HostBlockRenderer& Renderer() { return *mRenderer; }
    int Rate() const { return mRate; }
    int64_t Seconds(double s) const { return static_cast<int64_t>(s * mRate); }
    // Music (or silence for a plug-in without inputs) of that many seconds at the instance's rate.
    HostSignal Music(double seconds, uint64_t seed) const;

private:
    std::unique_ptr<HostValidateTarget> mTarget;
    std::unique_ptr<HostBlockRenderer> mRenderer;
    int mRate = kCheckRate;
    bool mRunning = false;
};

struct HostWritableParam {
    int index;
    HostParamMeta meta;
};
// The parameters a host sets (all but the read-only ones).
std::vector<HostWritableParam> HostWritableParams(HostValidateTarget& target);
// A value drawn evenly from the parameter's range (a whole one for a stepped parameter).
double HostRandomValue(const HostParamMeta& meta, std::mt19937_64& rng);
// Sets every writable parameter to a random value.
void HostRandomise(HostValidateTarget& target, std::mt19937_64& rng);
// "Time = 0.25" (the plug-in's text when it gives one) for reports.
std::string HostValueText(const HostParamMeta& meta, double value);

// The checks.
HostCheckOutcome HostCheckLoad(const HostCheckContext& ctx);
HostCheckOutcome HostCheckIdentity(const HostCheckContext& ctx);
HostCheckOutcome HostCheckParameters(const HostCheckContext& ctx);
HostCheckOutcome HostCheckSilence(const HostCheckContext& ctx);
HostCheckOutcome HostCheckState(const HostCheckContext& ctx);
HostCheckOutcome HostCheckReload(const HostCheckContext& ctx);
HostCheckOutcome HostCheckParameterSweep(const HostCheckContext& ctx);
HostCheckOutcome HostCheckBlockSizes(const HostCheckContext& ctx);
HostCheckOutcome HostCheckLatency(const HostCheckContext& ctx);
HostCheckOutcome HostCheckAudioAllocations(const HostCheckContext& ctx);
HostCheckOutcome HostCheckSampleRates(const HostCheckContext& ctx);
HostCheckOutcome HostCheckEditor(const HostCheckContext& ctx);
HostCheckOutcome HostCheckHostileState(const HostCheckContext& ctx);
HostCheckOutcome HostCheckAudioBlocking(const HostCheckContext& ctx);
