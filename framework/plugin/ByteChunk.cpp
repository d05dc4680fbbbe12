#include "framework/plugin/ByteChunk.h"

#include <climits>

int ByteChunk::PutBytes(const void* pSrc, int n) {
    if (!pSrc || n <= 0) return Size();
    uint8_t* dst = mBytes.Grow(n);
    if (!dst) return Size();
    std::memcpy(dst, pSrc, static_cast<size_t>(n));
    return Size();
}

int ByteChunk::GetBytes(void* pDst, int n, int pos) const {
    if (pos < 0 || n < 0) return -1;
    // Compare without forming pos + n, which could overflow.
    if (n > Size() || pos > Size() - n) return -1;
    if (n > 0) std::memcpy(pDst, mBytes.Get() + pos, static_cast<size_t>(n));
    return pos + n;
}

int ByteChunk::PutChunk(const ByteChunk* pRHS) {
    if (!pRHS || pRHS == this) {
        if (pRHS == this && Size() > 0) {
            // Appending a chunk to itself: copy first, the append may move the data.
            int n = Size();
            uint8_t* dst = mBytes.Grow(n);
            if (dst) std::memmove(dst, mBytes.Get(), static_cast<size_t>(n));
        }
        return Size();
    }
    return PutBytes(pRHS->GetBytes(), pRHS->Size());
}

int ByteChunk::PutStr(const char* str) {
    if (!str) str = "";
    size_t len = std::strlen(str);
    if (len > static_cast<size_t>(INT_MAX - 4) || static_cast<int>(len) > INT_MAX - 4 - Size()) return Size();
    int32_t n = static_cast<int32_t>(len);
    Put(&n);
    return PutBytes(str, n);
}

int ByteChunk::GetStr(Util_String* pStr, int pos) const {
    int32_t len = 0;
    int start = Get(&len, pos);
    if (start < 0 || len < 0) return -1;
    if (len > Size() - start) return -1;
    if (pStr) pStr->Set(reinterpret_cast<const char*>(mBytes.Get() + start), len);
    return start + len;
}

int ByteChunk::Resize(int n) {
    mBytes.Resize(n);
    return Size();
}

bool ByteChunk::IsEqual(const ByteChunk& other) const {
    if (Size() != other.Size()) return false;
    return Size() == 0 || std::memcmp(GetBytes(), other.GetBytes(), static_cast<size_t>(Size())) == 0;
}
