#include "host/HostVST3Stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

struct StreamTable : v3_funknown {
    v3_bstream stream;
};

const StreamTable kStream = {VST3Unknown<HostVST3Stream>(),
                             {VST3Entry<&HostVST3Stream::Read>, VST3Entry<&HostVST3Stream::Write>,
                              VST3Entry<&HostVST3Stream::Seek>, VST3Entry<&HostVST3Stream::Tell>}};

} // namespace

HostVST3Stream::HostVST3Stream(std::vector<uint8_t> bytes, int chunk)
    : mBytes(std::move(bytes)), mChunk(std::max(chunk, 1)) {
    mFace = {&kStream, this};
}

v3_result HostVST3Stream::QueryInterface(const uint8_t* iid, void** obj) {
    if (!obj) return V3_INVALID_ARG;
    *obj = VST3IsOneOf(iid, v3_funknown_iid, v3_bstream_iid) ? &mFace : nullptr;
    return *obj ? V3_OK : V3_NO_INTERFACE;
}

v3_result HostVST3Stream::Read(void* buffer, int32_t n, int32_t* read) {
    const size_t count =
        std::min({static_cast<size_t>(std::max(n, 0)), mBytes.size() - mPos, static_cast<size_t>(mChunk)});
    if (count && !buffer) return V3_INVALID_ARG;
    if (count) std::memcpy(buffer, mBytes.data() + mPos, count);
    mPos += count;
    if (read) *read = static_cast<int32_t>(count);
    return V3_OK;
}

v3_result HostVST3Stream::Write(void* buffer, int32_t n, int32_t* written) {
    if (n > 0 && !buffer) return V3_INVALID_ARG;
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    if (n > 0) mBytes.insert(mBytes.end(), bytes, bytes + n);
    if (written) *written = std::max(n, 0);
    return V3_OK;
}

v3_result HostVST3Stream::Seek(int64_t pos, int32_t mode, int64_t* result) {
    const int64_t base = mode == V3_SEEK_CUR   ? static_cast<int64_t>(mPos)
                         : mode == V3_SEEK_END ? static_cast<int64_t>(mBytes.size())
                                               : 0;
    int64_t to = 0;
    if (__builtin_add_overflow(base, pos, &to)) to = pos < 0 ? 0 : INT64_MAX;
    mPos = static_cast<size_t>(std::clamp<int64_t>(to, 0, static_cast<int64_t>(mBytes.size())));
    if (result) *result = static_cast<int64_t>(mPos);
    return V3_OK;
}

v3_result HostVST3Stream::Tell(int64_t* pos) {
    if (pos) *pos = static_cast<int64_t>(mPos);
    return V3_OK;
}
