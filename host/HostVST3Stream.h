#pragma once
// HostVST3Stream: a byte stream (v3_bstream) over bytes the host holds, for the states it moves between a
// plug-in's parts and for the test suite's VST 3 host. Reads start at the beginning; writes append; a read
// hands out at most `chunk` bytes a call (so that tests can check readers that must loop). Seeks are held
// to the bytes there are.
//
// Threads: one at a time, the caller's. Lifetime: the owner's (a stack object); the plug-in may not keep
// it beyond the call it was given in, so its reference count is not kept.
#include <cstdint>
#include <vector>

#include "framework/vst3/VST3Face.h"

class HostVST3Stream {
public:
    explicit HostVST3Stream(std::vector<uint8_t> bytes = {}, int chunk = 1 << 20);
    HostVST3Stream(const HostVST3Stream&) = delete;
    HostVST3Stream& operator=(const HostVST3Stream&) = delete;

    v3_bstream** Face() { return mFace.As<v3_bstream>(); }
    const std::vector<uint8_t>& Bytes() const { return mBytes; }

    v3_result QueryInterface(const uint8_t* iid, void** obj);
    uint32_t Ref() { return 2; }
    uint32_t Unref() { return 1; }
    v3_result Read(void* buffer, int32_t n, int32_t* read);
    v3_result Write(void* buffer, int32_t n, int32_t* written);
    v3_result Seek(int64_t pos, int32_t mode, int64_t* result);
    v3_result Tell(int64_t* pos);

private:
    VST3Face<HostVST3Stream> mFace;
    std::vector<uint8_t> mBytes;
    size_t mPos = 0;
    int mChunk;
};
