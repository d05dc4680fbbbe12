#include "host/HostRender.h"

#include "host/HostText.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// Largest latency taken at its word; more is treated as a broken record.
constexpr int kMaxLatency = 1 << 24;
// The output channels: outputChannels of them (0: one per output), each copying an output of a
// plug-in with pluginOutputs outputs (a single output is copied into every channel).
bool PlanOutputs(int pluginOutputs, int outputChannels, HostChannelPlan& plan, std::string& err) {
    int outs = outputChannels > 0 ? outputChannels : pluginOutputs;
    if (outs > kHostMaxChannels) {
        err = outputChannels > 0
                  ? HostFormat("%d output channels are too many (at most %d)", outs, kHostMaxChannels)
                  : HostFormat("the plug-in's %d outputs are too many for a file (at most %d; choose fewer "
                               "with --channels)",
                               outs, kHostMaxChannels);
        return false;
    }
    if (outs > pluginOutputs && pluginOutputs != 1) {
        err = HostFormat("%d output channels asked for, the plug-in has %d outputs", outs, pluginOutputs);
        return false;
    }
    plan.outputSource.clear();
    for (int c = 0; c < outs; ++c) plan.outputSource.push_back(pluginOutputs == 1 ? 0 : c);
    return true;
}

} // namespace

bool HostMemorySource::Read(double* const* channels, int frames, int& got, std::string& err) {
    (void)err;
    got = static_cast<int>(std::clamp<int64_t>(mAudio.NumFrames() - mPos, 0, frames));
    for (size_t c = 0; c < mAudio.channels.size(); ++c)
        std::copy_n(mAudio.channels[c].data() + mPos, got, channels[c]);
    mPos += got;
    return true;
}

bool HostMemorySink::Write(const double* const* channels, int frames, std::string& err) {
    (void)err;
    for (size_t c = 0; c < mChannels.size(); ++c)
        mChannels[c].insert(mChannels[c].end(), channels[c], channels[c] + frames);
    return true;
}

bool HostPlanChannels(int fileChannels, int pluginInputs, int pluginOutputs, bool monoInput,
                      int outputChannels, HostChannelPlan& plan, std::string& err) {
    HostChannelPlan p;
    if (pluginOutputs <= 0) {
        err = "the plug-in has no audio outputs";
        return false;
    }
    p.inputSource.assign(static_cast<size_t>(std::max(pluginInputs, 0)), HostChannelPlan::kSilence);
    if (monoInput) {
        if (fileChannels != 1) {
            err = HostFormat("--mono-input needs a mono input file (this one has %d channels)", fileChannels);
            return false;
        }
        if (pluginInputs < 1) {
            err = "--mono-input: the plug-in has no audio inputs";
            return false;
        }
        p.inputSource[0] = 0;
        p.narrowToMono = pluginInputs > 1;
    } else if (pluginInputs > 0) {
        if (fileChannels == 1) {
            // A mono file feeds every input.
            std::fill(p.inputSource.begin(), p.inputSource.end(), 0);
        } else if (pluginInputs == 1) {
            p.inputSource[0] = HostChannelPlan::kMix;
        } else if (fileChannels <= pluginInputs) {
            for (int c = 0; c < fileChannels; ++c) p.inputSource[static_cast<size_t>(c)] = c;
        } else {
            err = HostFormat("the input has %d channels, the plug-in takes %d", fileChannels, pluginInputs);
            return false;
        }
    }
    // A plug-in narrowed to one input is asked to work in mono: it is then planned as a mono plug-in
    // (HostPrepareRender plans again if it takes one input only with all its outputs).
    if (!PlanOutputs(p.narrowToMono ? 1 : pluginOutputs, outputChannels, p, err)) return false;
    plan = std::move(p);
    return true;
}

bool HostPrepareRender(HostEffect& plugin, int sampleRate, const HostRenderOptions& options,
                       HostChannelPlan& plan, std::string& err) {
    int announced = options.maxBlockSize > 0 ? options.maxBlockSize : options.blockSize;
    if (options.blockSize < 1 || options.blockSize > kHostMaxBlockSize || announced > kHostMaxBlockSize) {
        err = HostFormat("block size %d is out of range (1 to %d)", std::max(options.blockSize, announced),
                         kHostMaxBlockSize);
        return false;
    }
    if (options.blockSize > announced) {
        err = HostFormat("block size %d is above the announced largest block of %d", options.blockSize,
                         announced);
        return false;
    }
    err = plugin.CannotProcess(options.doublePrecision);
    if (!err.empty()) return false;
    err = plugin.Configure(sampleRate, announced, options.doublePrecision);
    if (!err.empty()) return false;
    if (plan.narrowToMono) {
        // A plug-in that makes several outputs of one input keeps them all.
        const int outputs = plugin.NarrowToMono();
        if (outputs == 0) {
            err = "the plug-in does not accept a mono input arrangement";
            return false;
        }
        if (outputs != 1 && !PlanOutputs(outputs, options.outputChannels, plan, err)) return false;
    }
    return true;
}

bool HostRender(HostEffect& plugin, HostAudioSource& input, HostAudioSink& sink,
                const HostRenderOptions& options, const HostChannelPlan& plan, HostRenderResult& result,
                std::string& err) {
    const int block = options.blockSize;
    if (plan.outputSource.empty()) {
        err = "no output channels to render";
        return false;
    }

    err = plugin.Resume();
    if (!err.empty()) {
        plugin.Suspend();
        return false;
    }
    // The channel counts as they are now that processing is on (a speaker arrangement may have
    // changed them); the outputs the plan reads must exist.
    const int numIn = plugin.NumInputs();
    const int numOut = plugin.NumOutputs();
    if (numIn < 0 || numIn > kHostMaxPins || numOut < 1 || numOut > kHostMaxPins ||
        *std::max_element(plan.outputSource.begin(), plan.outputSource.end()) >= numOut) {
        plugin.Suspend();
        err = HostFormat("the plug-in changed its channels to %d inputs and %d outputs", numIn, numOut);
        return false;
    }
    // Some plug-ins know their latency only once they have processed (and then send
    // audioMasterIOChanged): it is read again after every block, before that block is written.
    int reported = plugin.Latency();
    auto implausible = [&reported, &err]() {
        if (reported <= kMaxLatency) return false;
        err = HostFormat("the plug-in reports an implausible latency of %d samples", reported);
        return true;
    };
    if (implausible()) {
        plugin.Suspend();
        return false;
    }
    int latency = std::max(reported, 0);

    // Buffers of one block: the file's channels as read, and the plug-in's in the precision of the
    // callback. The pointer arrays have room for the most channels a record may announce, the spare
    // ones pointing at scratch buffers, so that a plug-in that changes its counts while processing
    // still reads and writes only memory the host owns.
    const int fileChannels = input.NumChannels();
    std::vector<std::vector<double>> fileD(static_cast<size_t>(fileChannels), std::vector<double>(block));
    std::vector<double*> filePtr(fileD.size());
    for (size_t c = 0; c < fileD.size(); ++c) filePtr[c] = fileD[c].data();
    std::vector<std::vector<float>> inF, outF;
    std::vector<std::vector<double>> inD(static_cast<size_t>(numIn), std::vector<double>(block));
    std::vector<std::vector<double>> outD(static_cast<size_t>(numOut), std::vector<double>(block));
    std::vector<double> spareInD(block, 0.0), spareOutD(block);
    std::vector<float> spareInF(block, 0.0f), spareOutF(block);
    std::vector<double*> inPtrD(kHostMaxPins, spareInD.data()), outPtrD(kHostMaxPins, spareOutD.data());
    std::vector<float*> inPtrF(kHostMaxPins, spareInF.data()), outPtrF(kHostMaxPins, spareOutF.data());
    for (int c = 0; c < numIn; ++c) inPtrD[static_cast<size_t>(c)] = inD[static_cast<size_t>(c)].data();
    for (int c = 0; c < numOut; ++c) outPtrD[static_cast<size_t>(c)] = outD[static_cast<size_t>(c)].data();
    if (!options.doublePrecision) {
        inF.assign(static_cast<size_t>(numIn), std::vector<float>(block));
        outF.assign(static_cast<size_t>(numOut), std::vector<float>(block));
        for (int c = 0; c < numIn; ++c) inPtrF[static_cast<size_t>(c)] = inF[static_cast<size_t>(c)].data();
        for (int c = 0; c < numOut; ++c)
            outPtrF[static_cast<size_t>(c)] = outF[static_cast<size_t>(c)].data();
    }
    std::vector<const double*> sinkPtr(plan.outputSource.size());

    HostTransport transport;
    transport.tempo = options.tempo;
    transport.timeSigNumerator = options.timeSigNumerator;
    transport.timeSigDenominator = options.timeSigDenominator;
    transport.playing = true;

    // The input's length is known once it has ended; until then every block is a full one.
    bool inputEnded = false;
    int64_t inFrames = 0, outFrames = 0;
    int64_t written = 0, dropped = 0, pos = 0;
    int startLatency = -1; // the latency when the first frame was written
    double processSeconds = 0.0;
    bool ok = true;
    for (;;) {
        if (options.cancel && *options.cancel) {
            err = "interrupted";
            ok = false;
            break;
        }
        // Input frames pos .. pos+avail-1 of the file; silence past its end.
        int avail = 0;
        if (!inputEnded) {
            if (!input.Read(filePtr.data(), block, avail, err)) {
                ok = false;
                break;
            }
            inFrames += avail;
            if (avail < block) {
                inputEnded = true;
                outFrames = inFrames + options.tailFrames;
            }
        }
        if (inputEnded && written >= outFrames) break;
        // Full blocks, and a shorter last one that ends where the output is complete.
        const int64_t owed = options.compensateLatency ? std::max<int64_t>(latency - dropped, 0) : 0;
        const int n =
            inputEnded ? static_cast<int>(std::min<int64_t>(block, outFrames - written + owed)) : block;
        for (int c = 0; c < numIn; ++c) {
            double* dst = inD[static_cast<size_t>(c)].data();
            int src = static_cast<size_t>(c) < plan.inputSource.size()
                          ? plan.inputSource[static_cast<size_t>(c)]
                          : HostChannelPlan::kSilence;
            if (src >= 0) {
                std::copy_n(fileD[static_cast<size_t>(src)].data(), avail, dst);
            } else if (src == HostChannelPlan::kMix) {
                for (int k = 0; k < avail; ++k) {
                    double v = 0.0;
                    for (const auto& ch : fileD) v += ch[static_cast<size_t>(k)];
                    dst[k] = v / fileChannels;
                }
            } else {
                std::fill(dst, dst + avail, 0.0);
            }
            std::fill(dst + avail, dst + n, 0.0);
        }
        if (options.inputTap && avail > 0) options.inputTap(filePtr.data(), fileChannels, avail);
        transport.samplePos = static_cast<double>(pos);
        plugin.SetTransport(transport);
        const auto begin = std::chrono::steady_clock::now();
        if (options.doublePrecision) {
            for (auto& ch : outD) std::fill(ch.begin(), ch.begin() + n, 0.0);
            plugin.RenderDouble(inPtrD.data(), outPtrD.data(), n);
        } else {
            for (int c = 0; c < numIn; ++c)
                for (int k = 0; k < n; ++k)
                    inF[static_cast<size_t>(c)][static_cast<size_t>(k)] =
                        static_cast<float>(inD[static_cast<size_t>(c)][static_cast<size_t>(k)]);
            for (auto& ch : outF) std::fill(ch.begin(), ch.begin() + n, 0.0f);
            plugin.RenderFloat(inPtrF.data(), outPtrF.data(), n);
            for (int c = 0; c < numOut; ++c)
                for (int k = 0; k < n; ++k)
                    outD[static_cast<size_t>(c)][static_cast<size_t>(k)] =
                        outF[static_cast<size_t>(c)][static_cast<size_t>(k)];
        }
        processSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        pos += n;
        reported = plugin.Latency();
        if (implausible()) {
            ok = false;
            break;
        }
        latency = std::max(reported, 0);
        // Drop what falls inside the reported latency at the start.
        int skip = 0;
        if (options.compensateLatency && dropped < latency) {
            skip = static_cast<int>(std::min<int64_t>(n, latency - dropped));
            dropped += skip;
        }
        const int keep =
            inputEnded ? static_cast<int>(std::min<int64_t>(n - skip, outFrames - written)) : n - skip;
        if (keep > 0) {
            if (startLatency < 0) startLatency = latency;
            for (size_t c = 0; c < plan.outputSource.size(); ++c)
                sinkPtr[c] = outD[static_cast<size_t>(plan.outputSource[c])].data() + skip;
            if (!sink.Write(sinkPtr.data(), keep, err)) {
                ok = false;
                break;
            }
            written += keep;
        }
        if (options.progress) {
            // Until the input has ended, its announced length stands in for it.
            const int64_t total =
                inputEnded ? outFrames : std::max(options.expectedInputFrames, inFrames) + options.tailFrames;
            const int64_t expected = total + (options.compensateLatency ? latency : 0);
            options.progress(std::min(pos, expected), expected);
        }
    }
    transport.playing = false;
    plugin.SetTransport(transport);
    plugin.Suspend();

    result.latency = latency;
    result.latencyChanged = startLatency >= 0 && startLatency != latency;
    result.compensated = options.compensateLatency;
    result.inputFrames = inFrames;
    result.processedFrames = pos;
    result.outputFrames = written;
    result.outputChannels = static_cast<int>(plan.outputSource.size());
    result.processSeconds = processSeconds;
    return ok;
}

bool HostRender(HostEffect& plugin, const HostAudio& input, HostAudioSink& sink,
                const HostRenderOptions& options, const HostChannelPlan& plan, HostRenderResult& result,
                std::string& err) {
    HostMemorySource source(input);
    HostRenderOptions o = options;
    o.expectedInputFrames = input.NumFrames();
    return HostRender(plugin, source, sink, o, plan, result, err);
}
