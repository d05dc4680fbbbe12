#pragma once
// ITimeInfo: the host-independent transport record the binding fills from the host's time information
// (GetTime). The binding writes only the fields the host reports as valid; the caller initialises the
// record and reads whatever the binding left. A plain value, owned by the caller.
struct ITimeInfo {
    double mTempo = 0.0;
    double mSamplePos = 0.0;
    double mPPQPos = 0.0;
    double mBarStartPos = 0.0;
    double mCycleStart = 0.0;
    double mCycleEnd = 0.0;
    int mNumerator = 0;
    int mDenominator = 0;
    bool mIsPlaying = false;
    bool mIsLooping = false;
};
