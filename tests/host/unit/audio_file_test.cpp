// Reading and writing audio files, and the all-or-nothing file writing under them.
#include "host/HostAudioFile.h"
#include "host/HostFile.h"
#include "tests/support/TestDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sndfile.h>
#include <thread>

namespace {

// A writer with a destination file of its own, as the command line gives it one.
struct FileWriter {
    Util_AtomicFile file;
    HostAudioWriter writer;
    bool Open(const std::string& path, int rate, int channels, int format, int preferred, std::string& err) {
        return file.Create(path, err) && writer.Open(file, rate, channels, format, preferred, err);
    }
    bool Commit(std::string& err) { return writer.Finish(err) && file.Commit(err); }
};

bool WriteAudio(const std::string& path, int rate, const std::vector<std::vector<double>>& ch, int format,
                std::string& err) {
    FileWriter w;
    if (!w.Open(path, rate, static_cast<int>(ch.size()), format, 0, err)) return false;
    std::vector<const double*> ptrs;
    for (const auto& c : ch) ptrs.push_back(c.data());
    return w.writer.Write(ptrs.data(), static_cast<int>(ch[0].size()), err) && w.Commit(err);
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

TEST(HostAudioFile, FloatAndDoubleFilesKeepEverySampleExactly) {
    TestDir dir;
    std::string err;
    std::vector<std::vector<double>> ch = {{0.1f, -0.5f, 1.25f, 1e-7f}, {0.0, 0.3f, -1.0, 0.999f}};
    ASSERT_TRUE(WriteAudio(dir / "a.wav", 48000, ch, SF_FORMAT_FLOAT, err)) << err;
    HostAudio a;
    ASSERT_TRUE(HostReadAudio(dir / "a.wav", a, err)) << err;
    EXPECT_EQ(a.sampleRate, 48000);
    EXPECT_EQ(a.subtype, SF_FORMAT_FLOAT);
    EXPECT_EQ(a.channels, ch); // floats above 1.0 survive in a float file
    // The same samples written in another second give the same bytes.
    const auto now = std::chrono::system_clock::now();
    std::this_thread::sleep_until(std::chrono::ceil<std::chrono::seconds>(now) +
                                  std::chrono::milliseconds(10));
    ASSERT_TRUE(WriteAudio(dir / "b.wav", 48000, ch, SF_FORMAT_FLOAT, err)) << err;
    std::vector<uint8_t> first, second;
    ASSERT_TRUE(HostReadWholeFile(dir / "a.wav", 1 << 20, first, err) &&
                HostReadWholeFile(dir / "b.wav", 1 << 20, second, err))
        << err;
    EXPECT_EQ(first, second);

    std::vector<std::vector<double>> d = {{0.1, -0.123456789012345}};
    ASSERT_TRUE(WriteAudio(dir / "d.aiff", 44100, d, SF_FORMAT_DOUBLE, err)) << err;
    ASSERT_TRUE(HostReadAudio(dir / "d.aiff", a, err)) << err;
    EXPECT_EQ(a.channels, d);
}

TEST(HostAudioFile, IntegerFormatsClipInsteadOfWrapping) {
    TestDir dir;
    std::string err;
    // Multiples of 1/32768 are exact in 16 bits; 1.5 and -3 must clip, not wrap around.
    std::vector<std::vector<double>> ch = {{0.5, -0.25, 1.5, -3.0, 3.0 / 32768.0}};
    ASSERT_TRUE(WriteAudio(dir / "c.flac", 44100, ch, SF_FORMAT_PCM_16, err)) << err;
    HostAudio a;
    ASSERT_TRUE(HostReadAudio(dir / "c.flac", a, err)) << err;
    EXPECT_EQ(a.subtype, SF_FORMAT_PCM_16);
    ASSERT_EQ(a.NumFrames(), 5);
    EXPECT_EQ(a.channels[0][0], 0.5);
    EXPECT_EQ(a.channels[0][1], -0.25);
    EXPECT_EQ(a.channels[0][2], 32767.0 / 32768.0);
    EXPECT_EQ(a.channels[0][3], -1.0);
    EXPECT_EQ(a.channels[0][4], 3.0 / 32768.0);
}

TEST(HostAudioFile, DefaultFormatFollowsTheSourceWhenTheContainerTakesIt) {
    TestDir dir;
    std::string err;
    FileWriter wav, flac, ogg;
    ASSERT_TRUE(wav.Open(dir / "x.WAV", 44100, 2, 0, SF_FORMAT_FLOAT, err)) << err;
    EXPECT_EQ(wav.writer.SampleFormat(), SF_FORMAT_FLOAT);
    ASSERT_TRUE(flac.Open(dir / "x.flac", 44100, 2, 0, SF_FORMAT_FLOAT, err)) << err;
    EXPECT_EQ(flac.writer.SampleFormat(), SF_FORMAT_PCM_24);
    ASSERT_TRUE(ogg.Open(dir / "x.ogg", 44100, 2, 0, SF_FORMAT_PCM_16, err)) << err;
    EXPECT_EQ(ogg.writer.SampleFormat(), SF_FORMAT_VORBIS);
}

TEST(HostAudioFile, WriterRefusals) {
    TestDir dir;
    std::string err;
    for (const char* name : {"x.mp3", "x.ogg"}) {
        FileWriter w;
        const int format = std::string(name) == "x.ogg" ? SF_FORMAT_FLOAT : 0;
        EXPECT_FALSE(w.Open(dir / name, 44100, 2, format, 0, err));
        EXPECT_NE(err.find(format ? "cannot hold float samples" : "cannot tell the audio format"),
                  std::string::npos)
            << err;
    }
    HostAudioWriter unopened;
    Util_AtomicFile none;
    EXPECT_FALSE(unopened.Open(none, 44100, 2, 0, 0, err)); // a file not created
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(HostAudioFile, UnfinishedOutputLeavesNothingBehind) {
    TestDir dir;
    std::string err;
    WriteText(dir / "keep.wav", "previous contents");
    {
        FileWriter w, w2;
        ASSERT_TRUE(w.Open(dir / "keep.wav", 44100, 1, 0, 0, err)) << err;
        ASSERT_TRUE(w2.Open(dir / "new.wav", 44100, 1, 0, 0, err)) << err;
        EXPECT_FALSE(w2.writer.Open(w2.file, 44100, 1, 0, 0, err)); // already writing
        double v[3] = {0.1, 0.2, 0.3};
        const double* p[1] = {v};
        ASSERT_TRUE(w.writer.Write(p, 3, err)) << err;
        ASSERT_TRUE(w2.writer.Write(p, 3, err)) << err;
        EXPECT_EQ(dir.Entries().size(), 3u); // keep.wav and the two temporaries
    }                                        // destroyed without Commit
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.wav"});
    std::ifstream in(dir / "keep.wav");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "previous contents");
}

// An empty render (a file of no frames) still gives a file that reads back, in every container.
TEST(HostAudioFile, EmptyOutputIsAValidFile) {
    TestDir dir;
    for (const char* name : {"e.wav", "e.flac", "e.ogg", "e.aiff"}) {
        SCOPED_TRACE(name);
        std::string err;
        FileWriter w;
        ASSERT_TRUE(w.Open(dir / name, 48000, 2, 0, 0, err)) << err;
        ASSERT_TRUE(w.Commit(err)) << err;
        HostAudio a;
        ASSERT_TRUE(HostReadAudio(dir / name, a, err)) << err;
        EXPECT_EQ(a.sampleRate, 48000);
        EXPECT_EQ(a.NumChannels(), 2);
        EXPECT_EQ(a.NumFrames(), 0);
    }
}

TEST(HostAudioFile, ReadingRejectsWhatIsNotAudio) {
    TestDir dir;
    HostAudio a;
    std::string err;
    EXPECT_FALSE(HostReadAudio(dir / "none.wav", a, err));
    EXPECT_NE(err.find("cannot open"), std::string::npos) << err;
    EXPECT_FALSE(HostReadAudio(dir.Path(), a, err));
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
    WriteText(dir / "text.wav", "this is not a RIFF file at all, just some words");
    EXPECT_FALSE(HostReadAudio(dir / "text.wav", a, err));
    EXPECT_NE(err.find("cannot read"), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), std::string::npos);
}

TEST(HostFile, WholeFilesAndAtomicWrites) {
    TestDir dir;
    std::string err;
    std::vector<uint8_t> bytes = {1, 2, 3, 0, 255};
    ASSERT_TRUE(Util_WriteWholeFile(dir / "f.bin", bytes.data(), bytes.size(), err)) << err;
    std::vector<uint8_t> back;
    ASSERT_TRUE(HostReadWholeFile(dir / "f.bin", 100, back, err)) << err;
    EXPECT_EQ(back, bytes);
    EXPECT_FALSE(HostReadWholeFile(dir / "f.bin", 4, back, err));
    EXPECT_NE(err.find("larger than 4 bytes"), std::string::npos) << err;
    EXPECT_FALSE(HostReadWholeFile(dir.Path(), 100, back, err));
    EXPECT_FALSE(Util_WriteWholeFile(dir.Path(), bytes.data(), bytes.size(), err));
    EXPECT_NE(err.find("it is a folder"), std::string::npos) << err;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"f.bin"});
}

} // namespace
