#pragma once
// What the fake gain plug-in saw of its host, read by the tests through FakeGainGetLog().
#include <cstdint>

struct FakeGainBlock {
    int frames;
    double samplePos, sampleRate, ppqPos, tempo, barStartPos;
    int32_t timeSigNumerator, timeSigDenominator, flags;
    intptr_t processLevel;
    bool doublePrecision, accumulating;
};

struct FakeGainLog {
    static constexpr int kMaxBlocks = 4096;
    intptr_t hostVersion;       // audioMasterVersion, asked by the entry function
    char hostProduct[64];       // audioMasterGetProductString, asked by effOpen
    intptr_t hostVendorVersion; // audioMasterGetVendorVersion
    intptr_t hostCanDoTimeInfo; // audioMasterCanDo("sendVstTimeInfo")
    intptr_t levelOutsideProcess;
    int inputArrangementChannels;  // from the accepted effSetSpeakerArrangement; -1 when never called
    int outputArrangementChannels; // likewise
    int announcedBlockSize;
    float announcedSampleRate;
    int mainsOn;  // effMainsChanged 1 count
    int mainsOff; // effMainsChanged 0 count
    int startProcess, stopProcess;
    intptr_t precision; // effSetProcessPrecision value; -1 when never called
    int largestBlock;   // largest frame count passed to an audio callback
    int numBlocks;
    FakeGainBlock blocks[kMaxBlocks];
};

typedef FakeGainLog* (*FakeGainGetLogProc)();
