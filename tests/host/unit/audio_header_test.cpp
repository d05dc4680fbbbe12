// The frame count a WAV or AIFF header announces, and reading files piece by piece.
#include "host/HostAudioFile.h"
#include "host/HostAudioHeader.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <sndfile.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

void Tag(Bytes& b, const char* id) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(id[i]));
}
void LE(Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void BE(Bytes& b, uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes FmtChunk(uint16_t tag, uint16_t blockAlign) {
    Bytes b;
    Tag(b, "fmt ");
    LE(b, 16, 4);
    LE(b, tag, 2);
    LE(b, 2, 2);                   // channels
    LE(b, 44100, 4);               // rate
    LE(b, 44100u * blockAlign, 4); // bytes per second
    LE(b, blockAlign, 2);
    LE(b, 8u * blockAlign / 2, 2); // bits per sample
    return b;
}

Bytes Chunk(const char* id, uint32_t size, bool bigEndian = false) {
    Bytes b;
    Tag(b, id);
    bigEndian ? BE(b, size, 4) : LE(b, size, 4);
    b.resize(b.size() + size + (size & 1), 0);
    return b;
}

// A RIFF WAVE file from its chunks; the data chunk announces dataSize whatever follows it.
Bytes Wav(const std::vector<Bytes>& chunks, uint32_t dataSize, size_t dataHeld) {
    Bytes b;
    Tag(b, "RIFF");
    LE(b, 0, 4);
    Tag(b, "WAVE");
    for (const Bytes& c : chunks)
        for (uint8_t x : c) b.push_back(x);
    Tag(b, "data");
    LE(b, dataSize, 4);
    b.resize(b.size() + dataHeld, 0);
    return b;
}

Bytes Cut(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

Bytes Aiff(const char* form, const std::vector<Bytes>& before, uint32_t frames) {
    Bytes b;
    Tag(b, "FORM");
    BE(b, 0, 4);
    Tag(b, form);
    for (const Bytes& c : before)
        for (uint8_t x : c) b.push_back(x);
    Tag(b, "COMM");
    BE(b, 18, 4);
    BE(b, 2, 2);
    BE(b, frames, 4);
    b.resize(b.size() + 12, 0);
    return b;
}

TEST(HostAudioHeader, FramesAnnouncedByEachLayout) {
    const struct {
        const char* name;
        Bytes bytes;
        int64_t frames;
    } cases[] = {
        {"PCM 16-bit stereo", Wav({FmtChunk(1, 4)}, 4000, 4000), 1000},
        {"float, cut short", Wav({FmtChunk(3, 8)}, 8000, 80), 1000},
        {"extensible 24-bit", Wav({FmtChunk(0xFFFE, 6)}, 600, 600), 100},
        {"A-law", Wav({FmtChunk(6, 2)}, 20, 20), 10},
        {"odd chunk before the audio", Wav({Chunk("LIST", 5), FmtChunk(1, 4), Chunk("junk", 3)}, 40, 40), 10},
        {"ADPCM blocks", Wav({FmtChunk(2, 1024)}, 4096, 4096), -1},
        {"data before fmt", Wav({}, 40, 40), -1},
        {"streaming size 0", Wav({FmtChunk(1, 4)}, 0, 40), -1},
        {"streaming size -1", Wav({FmtChunk(1, 4)}, 0xFFFFFFFFu, 40), -1},
        {"chunk beyond the end", Cut(Wav({FmtChunk(1, 4), Chunk("LIST", 8)}, 40, 40), 12 + 24 + 10), -1},
        {"AIFF", Aiff("AIFF", {}, 12345), 12345},
        {"AIFC after an odd chunk", Aiff("AIFC", {Chunk("FVER", 3, true)}, 77), 77},
        {"FLAC", Bytes{'f', 'L', 'a', 'C', 0, 0, 0, 34, 0, 0, 0, 0}, -1},
        {"too short", Bytes{'R', 'I', 'F', 'F'}, -1},
    };
    TestDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes& bytes = c.bytes;
        const std::string path = dir / "h";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(HostHeaderFrames(fd), c.frames);
        EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 0); // the position is left alone
        ::close(fd);
    }
}

// Pieces of any size give the same frames as one whole read; a cut file reads what it holds and
// announces what its header says.
TEST(HostAudioReader, PiecesOfAnySizeAndCutFiles) {
    TestDir dir;
    std::string err;
    const int frames = 40000;
    std::vector<std::vector<double>> ch(3, std::vector<double>(frames));
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < frames; ++k)
            ch[c][k] = std::round(16000.0 * std::sin(0.001 * (c + 1) * k)) / 32768.0;
    {
        Util_AtomicFile file;
        HostAudioWriter w;
        ASSERT_TRUE(file.Create(dir / "a.wav", err)) << err;
        ASSERT_TRUE(w.Open(file, 48000, 3, SF_FORMAT_PCM_16, 0, err)) << err;
        std::vector<const double*> p = {ch[0].data(), ch[1].data(), ch[2].data()};
        ASSERT_TRUE(w.Write(p.data(), frames, err) && w.Finish(err) && file.Commit(err)) << err;
    }
    for (int piece : {1, 7, 16384, 16385, frames, frames + 1}) {
        SCOPED_TRACE(piece);
        HostAudioReader r;
        ASSERT_TRUE(r.Open(dir / "a.wav", err)) << err;
        EXPECT_EQ(r.AnnouncedFrames(), frames);
        std::vector<std::vector<double>> got(3);
        std::vector<std::vector<double>> buf(3, std::vector<double>(static_cast<size_t>(piece)));
        std::vector<double*> p = {buf[0].data(), buf[1].data(), buf[2].data()};
        int n = 0;
        do {
            ASSERT_TRUE(r.Read(p.data(), piece, n, err)) << err;
            for (int c = 0; c < 3; ++c) got[c].insert(got[c].end(), buf[c].begin(), buf[c].begin() + n);
        } while (n == piece);
        EXPECT_EQ(got, ch);
        EXPECT_EQ(r.FramesRead(), frames);
    }
    // 6 bytes per frame: cut to 1000 whole frames and a part of the next.
    std::ifstream in(dir / "a.wav", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t header = bytes.size() - 6 * static_cast<size_t>(frames);
    std::ofstream(dir / "cut.wav", std::ios::binary) << bytes.substr(0, header + 6 * 1000 + 4);
    HostAudioReader r;
    ASSERT_TRUE(r.Open(dir / "cut.wav", err)) << err;
    EXPECT_EQ(r.AnnouncedFrames(), frames);
    std::vector<double> a(2000), b(2000), c(2000);
    double* p[3] = {a.data(), b.data(), c.data()};
    int n = 0;
    ASSERT_TRUE(r.Read(p, 2000, n, err)) << err;
    EXPECT_EQ(n, 1000);
    EXPECT_EQ(r.FramesRead(), 1000);
}

} // namespace
