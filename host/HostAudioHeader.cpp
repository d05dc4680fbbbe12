#include "host/HostAudioHeader.h"

#include <cstring>
#include <functional>
#include <optional>
#include <unistd.h>

namespace {

// Chunks looked at before giving up on a file that never reaches its audio.
constexpr int kMaxChunks = 1000;

uint32_t LE32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint32_t BE32(const unsigned char* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
uint16_t LE16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool ReadAt(int fd, int64_t offset, unsigned char* buf, size_t n) {
    return ::pread(fd, buf, n, static_cast<off_t>(offset)) == static_cast<ssize_t>(n);
}

// Walks the chunks after the 12-byte form header, calling visit(id, size, offset of the chunk's data)
// until it gives an answer; -1 when the chunks run out first.
int64_t
WalkChunks(int fd, bool bigEndian,
           const std::function<std::optional<int64_t>(const unsigned char*, uint32_t, int64_t)>& visit) {
    int64_t offset = 12;
    for (int i = 0; i < kMaxChunks; ++i) {
        unsigned char head[8];
        if (!ReadAt(fd, offset, head, 8)) return -1;
        const uint32_t size = bigEndian ? BE32(head + 4) : LE32(head + 4);
        if (std::optional<int64_t> answer = visit(head, size, offset + 8)) return *answer;
        offset += 8 + static_cast<int64_t>(size) + (size & 1);
    }
    return -1;
}

int64_t WavFrames(int fd) {
    // WAVE_FORMAT_PCM, _IEEE_FLOAT, _ALAW, _MULAW and _EXTENSIBLE: every frame takes blockAlign bytes.
    int blockAlign = 0;
    return WalkChunks(fd, false,
                      [&](const unsigned char* id, uint32_t size, int64_t data) -> std::optional<int64_t> {
                          if (std::memcmp(id, "fmt ", 4) == 0) {
                              unsigned char fmt[14];
                              if (size < 14 || !ReadAt(fd, data, fmt, 14)) return -1;
                              const uint16_t tag = LE16(fmt);
                              if (tag != 1 && tag != 3 && tag != 6 && tag != 7 && tag != 0xFFFE) return -1;
                              blockAlign = LE16(fmt + 12);
                          } else if (std::memcmp(id, "data", 4) == 0) {
                              // 0 and 0xFFFFFFFF are what writers leave when they cannot go back to fill in
                              // the size.
                              if (blockAlign <= 0 || size == 0 || size == 0xFFFFFFFFu) return -1;
                              return size / static_cast<uint32_t>(blockAlign);
                          }
                          return std::nullopt;
                      });
}

int64_t AiffFrames(int fd) {
    return WalkChunks(fd, true,
                      [&](const unsigned char* id, uint32_t size, int64_t data) -> std::optional<int64_t> {
                          if (std::memcmp(id, "COMM", 4) != 0) return std::nullopt;
                          unsigned char comm[6];
                          if (size < 6 || !ReadAt(fd, data, comm, 6)) return -1;
                          return BE32(comm + 2);
                      });
}

} // namespace

int64_t HostHeaderFrames(int fd) {
    unsigned char head[12];
    if (!ReadAt(fd, 0, head, 12)) return -1;
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) return WavFrames(fd);
    if (std::memcmp(head, "FORM", 4) == 0 &&
        (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0))
        return AiffFrames(fd);
    return -1;
}
