#pragma once
// HostBlockRenderer: runs audio through a HostEffect in blocks, the way a host's audio thread does, in
// single precision. Input channel c of the plug-in reads channel c of the signal given (cycling when
// the signal has fewer; silence past its end), and the output has one channel per plug-in output.
//
// The caller configures and resumes the effect first. The buffers are made at construction for the
// effect's channel counts and maxBlock frames, so Block never allocates; one thread uses the renderer
// at a time (the effect's audio thread). The effect must outlive the renderer.
#include <cstdint>
#include <functional>
#include <vector>

#include "host/HostEffect.h"
#include "host/HostValidateSignal.h"

class HostBlockRenderer {
public:
    HostBlockRenderer(HostEffect& effect, int maxBlock);

    int MaxBlock() const { return mMaxBlock; }
    // One block of frames (clamped to 1 .. MaxBlock) from in at pos (null: silence) into out at pos,
    // which must already hold pos + frames frames in every output channel.
    void Block(const HostSignal* in, int64_t pos, int frames, HostSignal& out);
    // The whole of in, block after block: nextBlock(pos) gives each block's size, before(pos), when
    // set, runs ahead of each block (parameter changes). Returns the output.
    HostSignal Render(const HostSignal& in, const std::function<int(int64_t pos)>& nextBlock,
                      const std::function<void(int64_t pos)>& before = nullptr);
    // The same with blocks of one size.
    HostSignal Render(const HostSignal& in, int block) {
        return Render(in, [block](int64_t) { return block; });
    }

private:
    HostEffect& mEffect;
    int mMaxBlock;
    std::vector<std::vector<float>> mIn, mOut;
    std::vector<float*> mInPtr, mOutPtr;
};
