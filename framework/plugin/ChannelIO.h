#pragma once
// Channel records of the plug-in base. IEffectBase creates one InChannel per input and one OutChannel per
// output at construction and owns them; the binding's audio callbacks attach host buffers to them under
// the plug-in mutex. mSrc / mDest point at the channel's own slot in the pointer arrays handed to
// ProcessDoubleReplacing; attaching writes the buffer to use into that slot. The scratch buffer is sized
// only by SetBlockSize (mBlockSize frames), so the audio path never allocates.
#include "framework/util/Util_String.h"
#include "framework/util/Util_TypedBuf.h"

// One legal channel configuration: number of inputs and outputs.
struct ChannelIOPair {
    int mIn = 0;
    int mOut = 0;
    ChannelIOPair(int nIn, int nOut) : mIn(nIn), mOut(nOut) {}
};

struct InChannel {
    bool mConnected = false;
    double** mSrc = nullptr;           // slot i of the input pointer array
    Util_TypedBuf<double> mScratchBuf; // converted single-precision input, or stand-in input
    Util_String mLabel;
};

struct OutChannel {
    bool mConnected = false;
    double** mDest = nullptr;          // slot i of the output pointer array
    float* mFloatDest = nullptr;       // the host's single-precision output of the current block
    Util_TypedBuf<double> mScratchBuf; // double output before conversion, or discarded output
    Util_String mLabel;
};
