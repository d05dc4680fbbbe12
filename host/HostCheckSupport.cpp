#include "host/HostCheckSupport.h"

#include <cmath>

#include "host/HostText.h"

bool HostCheckInstance::OpenIdle(const HostCheckContext& ctx, std::string& err) {
    mTarget = ctx.Open(err);
    return mTarget != nullptr;
}

bool HostCheckInstance::Open(const HostCheckContext& ctx, std::string& err, int rate, int maxBlock) {
    if (!OpenIdle(ctx, err)) return false;
    Start(rate, maxBlock);
    return true;
}

void HostCheckInstance::Start(int rate, int maxBlock) {
    if (mRunning) Effect().Suspend();
    mRate = rate;
    Effect().Configure(rate, maxBlock, false);
    Effect().Resume();
    mRunning = true;
    mRenderer = std::make_unique<HostBlockRenderer>(Effect(), maxBlock);
}

HostSignal HostCheckInstance::Music(double seconds, uint64_t seed) const {
    const int channels = std::max(mTarget->Effect().NumInputs(), 1);
    return HostMusicSignal(channels, static_cast<int64_t>(seconds * mRate), mRate, seed);
}

std::vector<HostWritableParam> HostWritableParams(HostValidateTarget& target) {
    std::vector<HostWritableParam> params;
    for (int i = 0, n = target.NumParams(); i < n; ++i) {
        HostParamMeta meta;
        if (target.ParamMeta(i, meta) && !meta.readOnly && std::isfinite(meta.min) &&
            std::isfinite(meta.max) && meta.min <= meta.max)
            params.push_back({i, meta});
    }
    return params;
}

double HostRandomValue(const HostParamMeta& meta, std::mt19937_64& rng) {
    const double v = std::uniform_real_distribution<double>(meta.min, meta.max)(rng);
    return meta.stepped ? std::clamp(std::round(v), std::ceil(meta.min), std::floor(meta.max)) : v;
}

void HostRandomise(HostValidateTarget& target, std::mt19937_64& rng) {
    for (const HostWritableParam& p : HostWritableParams(target))
        target.SetParam(p.index, HostRandomValue(p.meta, rng));
}

std::string HostValueText(const HostParamMeta& meta, double value) {
    return HostFormat("%s = %.6g", meta.name.c_str(), value);
}
