#include "host/HostBlockRenderer.h"

#include <algorithm>

HostBlockRenderer::HostBlockRenderer(HostEffect& effect, int maxBlock)
    : mEffect(effect), mMaxBlock(std::max(maxBlock, 1)) {
    const size_t frames = static_cast<size_t>(mMaxBlock);
    mIn.assign(static_cast<size_t>(std::max(effect.NumInputs(), 0)), std::vector<float>(frames));
    mOut.assign(static_cast<size_t>(std::max(effect.NumOutputs(), 0)), std::vector<float>(frames));
    for (auto& ch : mIn) mInPtr.push_back(ch.data());
    for (auto& ch : mOut) mOutPtr.push_back(ch.data());
    // Plug-ins without inputs still get a valid array.
    if (mInPtr.empty()) mInPtr.push_back(nullptr);
}

void HostBlockRenderer::Block(const HostSignal* in, int64_t pos, int frames, HostSignal& out) {
    frames = std::clamp(frames, 1, mMaxBlock);
    for (size_t c = 0; c < mIn.size(); ++c) {
        float* dst = mIn[c].data();
        const std::vector<double>* src = in && !in->empty() ? &(*in)[c % in->size()] : nullptr;
        for (int k = 0; k < frames; ++k) {
            const size_t at = static_cast<size_t>(pos + k);
            dst[k] = src && at < src->size() ? static_cast<float>((*src)[at]) : 0.0f;
        }
    }
    for (auto& ch : mOut) std::fill(ch.begin(), ch.begin() + frames, 0.0f);
    mEffect.RenderFloat(mInPtr.data(), mOutPtr.data(), frames);
    for (size_t c = 0; c < mOut.size() && c < out.size(); ++c)
        for (int k = 0; k < frames; ++k) out[c][static_cast<size_t>(pos + k)] = mOut[c][k];
}

HostSignal HostBlockRenderer::Render(const HostSignal& in, const std::function<int(int64_t pos)>& nextBlock,
                                     const std::function<void(int64_t pos)>& before) {
    const int64_t frames = in.empty() ? 0 : static_cast<int64_t>(in[0].size());
    HostSignal out = HostSilentSignal(static_cast<int>(mOut.size()), frames);
    for (int64_t pos = 0; pos < frames;) {
        if (before) before(pos);
        const int n =
            static_cast<int>(std::min<int64_t>(std::clamp(nextBlock(pos), 1, mMaxBlock), frames - pos));
        Block(&in, pos, n, out);
        pos += n;
    }
    return out;
}
