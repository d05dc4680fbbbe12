// Feeds arbitrary bytes to the PNG decoder. Each input is tried as it is, and again with every chunk's
// CRC repaired (and the signature put in front when it is missing) so that the fuzzer reaches the
// decoding steps behind the checksum checks. Any crash, leak or undefined behaviour is a finding.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/raster/raster.h"

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t ReadBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void RepairCrcs(std::vector<uint8_t>* png) {
    size_t pos = 8;
    while (pos + 12 <= png->size()) {
        const uint32_t len = ReadBE32(&(*png)[pos]);
        if (len > png->size() - pos - 12) break;
        const uLong crc = crc32(0, &(*png)[pos + 4], len + 4);
        uint8_t* out = &(*png)[pos + 8 + len];
        out[0] = uint8_t(crc >> 24), out[1] = uint8_t(crc >> 16), out[2] = uint8_t(crc >> 8),
        out[3] = uint8_t(crc);
        pos += 12 + len;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    std::unique_ptr<Raster_IBitmap> fresh(Raster_LoadPNGFromMemory(data, static_cast<int>(size), nullptr));

    std::vector<uint8_t> repaired;
    if (size < 8 || std::memcmp(data, kSignature, 8) != 0) repaired.assign(kSignature, kSignature + 8);
    repaired.insert(repaired.end(), data, data + size);
    RepairCrcs(&repaired);
    Raster_MemBitmap target(3, 3, 4);
    Raster_IBitmap* got =
        Raster_LoadPNGFromMemory(repaired.data(), static_cast<int>(repaired.size()), &target);
    if (got && got != &target) __builtin_trap(); // a target load returns the target or null
    if (got && (target.getWidth() <= 0 || target.getHeight() <= 0 || !target.getBits())) __builtin_trap();
    return 0;
}
