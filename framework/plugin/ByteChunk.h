#pragma once
// ByteChunk: a growable byte buffer that every persisted piece of plug-in state is built in (parameter
// state, preset lists, host chunks, program and bank files).
//
// Values are written and read in native byte order (little-endian on every supported machine); PutBE and
// GetBE store 32-bit values big-endian for the program and bank files. Strings are a 32-bit length
// followed by the characters, without a terminator.
//
// Reads never trust the bytes: a read that does not fit entirely inside the data returns -1 and leaves
// its destination unchanged, and a read at a negative position fails, so one failed read makes every
// following read fail. Positions are byte offsets.
//
// Not thread-safe: the plug-in mutex of the owning object guards it. The chunk owns its bytes; the data
// pointer is null while the chunk is empty and stays valid until the next resize.
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "framework/util/Util_HeapBuf.h"
#include "framework/util/Util_String.h"

class ByteChunk {
public:
    // Allocation granularity in bytes.
    static constexpr int kGrowthStep = 4096;

    ByteChunk() : mBytes(kGrowthStep) {}
    ByteChunk(const ByteChunk&) = delete;
    ByteChunk& operator=(const ByteChunk&) = delete;

    // Appends the bytes of *pVal; returns the new size (the old size if nothing could be appended).
    template <class T>
    int Put(const T* pVal) {
        static_assert(std::is_trivially_copyable_v<T>, "ByteChunk stores plain values");
        return PutBytes(pVal, static_cast<int>(sizeof(T)));
    }

    // Copies sizeof(T) bytes at pos into *pVal; returns pos + sizeof(T), or -1 (destination unchanged)
    // when pos is negative or the value does not lie wholly inside the data.
    template <class T>
    int Get(T* pVal, int pos) const {
        static_assert(std::is_trivially_copyable_v<T>, "ByteChunk stores plain values");
        return GetBytes(pVal, static_cast<int>(sizeof(T)), pos);
    }

    // Appends a 32-bit value byte-swapped to big-endian; returns the new size.
    template <class T>
    int PutBE(const T* pVal) {
        static_assert(sizeof(T) == 4 && std::is_trivially_copyable_v<T>, "PutBE stores 32-bit values");
        uint32_t word;
        std::memcpy(&word, pVal, 4);
        word = __builtin_bswap32(word);
        return PutBytes(&word, 4);
    }

    // Reads a big-endian 32-bit value at pos; same rules as Get.
    template <class T>
    int GetBE(T* pVal, int pos) const {
        static_assert(sizeof(T) == 4 && std::is_trivially_copyable_v<T>, "GetBE reads 32-bit values");
        uint32_t word;
        int next = GetBytes(&word, 4, pos);
        if (next < 0) return -1;
        word = __builtin_bswap32(word);
        std::memcpy(pVal, &word, 4);
        return next;
    }

    // Appends n raw bytes (nothing for n <= 0 or a null source); returns the new size.
    int PutBytes(const void* pSrc, int n);
    // Copies n bytes at pos into pDst; returns pos + n, or -1 when they do not lie wholly inside the data.
    int GetBytes(void* pDst, int n, int pos) const;
    // Appends another chunk's whole contents; returns the new size.
    int PutChunk(const ByteChunk* pRHS);

    // Appends a 32-bit length (strlen, no terminator) followed by the characters; null counts as "".
    int PutStr(const char* str);
    // Reads a string written by PutStr at pos. The string takes the stored characters, cut at the first
    // NUL among them. Returns the position after the string, or -1 (string unchanged) when the length
    // cannot be read, is negative or runs past the end of the data.
    int GetStr(Util_String* pStr, int pos) const;

    int Size() const { return mBytes.GetSize(); }
    // Resizes to n bytes (negative means 0), keeping the first bytes and zero-filling new ones; returns
    // the new size.
    int Resize(int n);
    void Clear() { mBytes.Resize(0); }

    uint8_t* GetBytes() { return mBytes.Get(); }
    const uint8_t* GetBytes() const { return mBytes.Get(); }

    // True when both chunks hold the same bytes.
    bool IsEqual(const ByteChunk& other) const;

private:
    Util_HeapBuf mBytes;
};
