// The real-time checks: no allocation in the audio callback, and no waiting there for the host's other
// thread.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "host/HostAllocWatch.h"
#include "host/HostCheckSupport.h"
#include "host/HostEditorSession.h"
#include "host/HostText.h"

namespace {

using Clock = std::chrono::steady_clock;

// A callback that slept (gave up the processor itself) for longer than this waited for something.
constexpr double kLongestWaitMs = 2.0;

long VoluntarySwitches() {
    rusage u{};
    return ::getrusage(RUSAGE_THREAD, &u) == 0 ? u.ru_nvcsw : 0;
}

// The audio thread of the blocking check: blocks of music at the pace of a sound card, each timed and
// watched for sleeping. Everything is made before the thread starts, so it allocates nothing itself.
class PacedAudio {
public:
    PacedAudio(HostCheckInstance& inst, const HostSignal& music)
        : mInst(inst), mIn(music),
          mOut(HostSilentSignal(inst.Effect().NumOutputs(), static_cast<int64_t>(music[0].size()))) {}
    void Start() {
        mThread = std::thread([this] { Run(); });
    }
    void Stop() {
        mStop = true;
        if (mThread.joinable()) mThread.join();
    }
    int blocks = 0, waits = 0;
    double longestMs = 0.0, longestWaitMs = 0.0;

private:
    void Run() {
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(kCheckBlock) / mInst.Rate()));
        const int64_t frames = static_cast<int64_t>(mIn[0].size());
        auto due = Clock::now();
        for (int64_t pos = 0; !mStop; pos = (pos + kCheckBlock) % (frames - kCheckBlock)) {
            std::this_thread::sleep_until(due);
            const long switches = VoluntarySwitches();
            const auto begin = Clock::now();
            mInst.Renderer().Block(&mIn, pos, kCheckBlock, mOut);
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
            ++blocks;
            longestMs = std::max(longestMs, ms);
            if (VoluntarySwitches() != switches && ms > kLongestWaitMs) {
                ++waits;
                longestWaitMs = std::max(longestWaitMs, ms);
            }
            // A late block starts at once; the blocks it missed are dropped, as a sound card does.
            due = std::max(due + period, Clock::now() - period);
        }
    }

    HostCheckInstance& mInst;
    const HostSignal& mIn;
    HostSignal mOut;
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

} // namespace

HostCheckOutcome HostCheckAudioAllocations(const HostCheckContext& ctx) {
    if (!HostAllocWatchAvailable())
        return HostCheckOutcome::Skipped(
            "this executable does not watch the allocator (tidebloom-host does)");
    std::string err;
    constexpr int kMaxBlock = 4096;
    HostCheckInstance inst;
    if (!inst.Open(ctx, err, kCheckRate, kMaxBlock)) return HostCheckOutcome::Failed(err);
    std::mt19937_64 rng(ctx.Seed("audio-allocations"));
    std::uniform_int_distribution<int> size(1, kMaxBlock);
    const std::vector<HostWritableParam> params = HostWritableParams(inst.Target());
    const HostSignal in = inst.Music(1.0 + 0.2 * ctx.strictness, ctx.Seed("audio-allocations-music"));
    HostSignal out = HostSilentSignal(inst.Effect().NumOutputs(), static_cast<int64_t>(in[0].size()));
    const int64_t frames = static_cast<int64_t>(in[0].size());
    int blocks = 0, first = -1;
    long allocations = 0;
    // Twice through: from the first block after the start, and again after a suspend and a resume.
    for (int round = 0; round < 2; ++round) {
        ctx.Step(round == 0 ? "processing from the start" : "processing after a suspend and a resume");
        if (round == 1) inst.Start(kCheckRate, kMaxBlock);
        for (int64_t pos = 0; pos < frames; ++blocks) {
            // Parameter changes and blocks of every size, now and then silence.
            if (!params.empty() && blocks % 4 == 3) {
                const HostWritableParam& p = params[static_cast<size_t>(blocks / 4) % params.size()];
                inst.Target().SetParam(p.index, HostRandomValue(p.meta, rng));
            }
            const int n = static_cast<int>(std::min<int64_t>(size(rng), frames - pos));
            const long before = HostAudioAllocations();
            HostAllocWatchArm(true);
            inst.Renderer().Block(blocks % 7 == 6 ? nullptr : &in, pos, n, out);
            HostAllocWatchArm(false);
            const long made = HostAudioAllocations() - before;
            if (made > 0 && first < 0) first = blocks;
            allocations += made;
            pos += n;
        }
    }
    if (allocations > 0)
        return HostCheckOutcome::Failed(
            HostFormat("%ld allocations in %d audio callbacks, the first in callback %d", allocations, blocks,
                       first + 1));
    return HostCheckOutcome::Passed(
        HostFormat("no allocation in %d audio callbacks of 1 to %d frames, with parameter "
                   "changes and a suspend and resume",
                   blocks, kMaxBlock));
}

HostCheckOutcome HostCheckAudioBlocking(const HostCheckContext& ctx) {
    std::string err;
    HostCheckInstance inst;
    if (!inst.Open(ctx, err)) return HostCheckOutcome::Failed(err);
    HostValidateTarget& t = inst.Target();
    std::unique_ptr<HostXConnection> x;
    std::unique_ptr<HostXErrorTrap> trap;
    if (ctx.display && inst.Effect().HasEditor()) {
        x = std::make_unique<HostXConnection>(HostXConnection::OpenDefault(err));
        if (x->Get()) trap = std::make_unique<HostXErrorTrap>();
    }
    const bool editor = x && x->Get();
    std::mt19937_64 rng(ctx.Seed("audio-blocking"));
    const std::vector<HostWritableParam> params = HostWritableParams(t);
    const HostSignal music = inst.Music(2.0, ctx.Seed("audio-blocking-music"));
    PacedAudio audio(inst, music);
    const double seconds = 2.0 + 0.5 * std::max(0, ctx.strictness - 6);
    int rounds = 0, opened = 0;
    std::unique_ptr<HostEditorSession> session;
    ctx.Step("processing while the host's other thread works");
    audio.Start();
    const auto end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (; Clock::now() < end; ++rounds) {
        for (int k = 0; k < 3 && !params.empty(); ++k) {
            const HostWritableParam& p =
                params[std::uniform_int_distribution<size_t>(0, params.size() - 1)(rng)];
            t.SetParam(p.index, HostRandomValue(p.meta, rng));
        }
        std::vector<uint8_t> state;
        t.SaveState(state, err);
        // The editor: opened, idled for a while and closed, again and again.
        if (editor && rounds % 30 == 0) {
            session.reset();
            session = std::make_unique<HostEditorSession>(inst.Effect(), x->Get());
            if (session->Open(err))
                ++opened;
            else
                session.reset();
        }
        if (session) session->Idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    session.reset();
    audio.Stop();
    const std::string host =
        HostFormat("the other thread made %d rounds of parameter changes and state saves%s", rounds,
                   editor ? HostFormat(", opening the editor %d times", opened).c_str() : " (no editor)");
    if (audio.waits > 0)
        return HostCheckOutcome::Failed(HostFormat("%d of %d audio callbacks waited, the longest %.1f ms; ",
                                                   audio.waits, audio.blocks, audio.longestWaitMs) +
                                        host);
    return HostCheckOutcome::Passed(HostFormat("%d audio callbacks, none waited (the longest took %.1f ms); ",
                                               audio.blocks, audio.longestMs) +
                                    host);
}
