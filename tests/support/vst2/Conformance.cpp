#include "tests/support/vst2/Conformance.h"

#include <dlfcn.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

constexpr int32_t kTblm = 0x54626C6D; // 'Tblm'
const char* const kParamNames[] = {"Sensitivity", "Time", "Depth", "Vol", "OnOff"};
const char* const kProgramNames[] = {"Init",     "Swell on Accent",     "Funked Swell",
                                     "Arpeggio", "Long Ambient Chords", "Before Overdrive"};
const double kProgramValues[6][5] = {{0.7, 0.5, 0.75, 1.0, 1.0},   {0.5, 0.5, 0.75, 1.0, 1.0},
                                     {0.35, 0.431, 0.5, 1.0, 1.0}, {0.676, 0.433, 1.0, 1.0, 1.0},
                                     {0.44, 0.612, 1.0, 1.0, 1.0}, {0.5, 0.772, 1.0, 1.0, 1.0}};
const double kParamMax[] = {1.0, 1.0, 1.0, 2.0, 1.0};

// A deterministic test signal: decaying tone bursts of varied loudness and spacing (a few plucked notes
// a second), different on each channel.
void MakeSignal(std::vector<float>* ch0, std::vector<float>* ch1, int nFrames) {
    ch0->assign(nFrames, 0.0f);
    ch1->assign(nFrames, 0.0f);
    const int starts[] = {100, 9000, 15000, 30000, 41000, 52000};
    const float amps[] = {0.8f, 0.3f, 0.6f, 0.1f, 0.9f, 0.5f};
    for (int n = 0; n < 6; ++n) {
        for (int i = starts[n]; i < nFrames; ++i) {
            double t = (i - starts[n]) / 44100.0;
            double env = amps[n] * std::exp(-t * 6.0);
            (*ch0)[i] += static_cast<float>(env * std::sin(2.0 * M_PI * (220.0 + 55.0 * n) * t));
            (*ch1)[i] += static_cast<float>(env * std::sin(2.0 * M_PI * (330.0 + 40.0 * n) * t + 0.3));
        }
    }
}

void ExpectParamsSane(TestHost& host, const char* when) {
    for (int i = 0; i < 5; ++i) {
        float v = host.GetParameter(i);
        EXPECT_TRUE(std::isfinite(v)) << when << " param " << i;
        EXPECT_GE(v, 0.0f) << when << " param " << i;
        EXPECT_LE(v, 1.0f) << when << " param " << i;
    }
}

} // namespace

void AppendLE(std::vector<uint8_t>* bytes, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) bytes->push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

void AppendLE(std::vector<uint8_t>* bytes, int32_t v) {
    uint32_t bits = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

std::vector<uint8_t> ExpectedFreshProgramChunk() {
    std::vector<uint8_t> bytes = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    for (double v : kProgramValues[0]) AppendLE(&bytes, v);
    return bytes;
}

std::vector<uint8_t> ExpectedFreshBankChunk() {
    std::vector<uint8_t> bytes = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    for (int p = 0; p < 6; ++p) {
        AppendLE(&bytes, static_cast<int32_t>(std::strlen(kProgramNames[p])));
        bytes.insert(bytes.end(), kProgramNames[p], kProgramNames[p] + std::strlen(kProgramNames[p]));
        bytes.push_back(1);
        for (double v : kProgramValues[p]) AppendLE(&bytes, v);
    }
    return bytes;
}

void ExpectShippedRecord(VstPluginEntryProc entry, EditorKind editor) {
    TestHost host;
    AEffect* e = host.Load(entry);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, 0x56737450); // 'VstP'
    EXPECT_EQ(e->numPrograms, 6);
    EXPECT_EQ(e->numParams, 5);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    // Replacing, double replacing and mono; the shipped plug-in attaches its editor in its constructor.
    EXPECT_EQ(e->flags, editor == EditorKind::kShipped ? 0x1019 : 0x1018);
    EXPECT_EQ(e->uniqueID, kTblm);
    EXPECT_EQ(e->version, 10000);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->resvd1, 0);
    EXPECT_EQ(e->resvd2, 0);
    EXPECT_EQ(e->realQualities, 0);
    EXPECT_EQ(e->offQualities, 0);
    EXPECT_NE(e->object, nullptr);
    EXPECT_NE(e->dispatcher, nullptr);
    EXPECT_NE(e->process, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    EXPECT_NE(e->setParameter, nullptr);
    EXPECT_NE(e->getParameter, nullptr);
    for (char c : e->future) EXPECT_EQ(c, 0);
    // The creation itself asks the host nothing, not even its version.
    EXPECT_TRUE(host.Calls().empty());

    host.Open();
    // Depth 0.75 with OnOff on: (int)(1500 * cbrt(0.75)) samples of latency.
    EXPECT_EQ(e->initialDelay, 1362);
    host.SetParameter(4, 0.0f);
    EXPECT_EQ(e->initialDelay, 0);
    host.SetParameter(4, 1.0f);
    EXPECT_EQ(e->initialDelay, 1362);
    host.SetParameter(2, 1.0f);
    EXPECT_EQ(e->initialDelay, 1500);
    // Opening identified the host once, through its product string and vendor version.
    EXPECT_EQ(host.Calls(audioMasterGetProductString).size(), 1u);
    EXPECT_EQ(host.Calls(audioMasterGetVendorVersion).size(), 1u);
    EXPECT_TRUE(host.Calls(audioMasterVersion).empty());
    // Each of the three latency changes while processing was announced.
    EXPECT_EQ(host.Calls(audioMasterIOChanged).size(), 3u);
    EXPECT_TRUE(host.Calls(audioMasterSizeWindow).empty());
    host.Close();
}

void ExpectShippedOpcodes(VstPluginEntryProc entry, EditorKind editor) {
    TestHost host;
    ASSERT_NE(host.Load(entry), nullptr);
    host.Open();

    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(host.ParamName(i), kParamNames[i]);
        EXPECT_EQ(host.ParamLabel(i), "");
        EXPECT_EQ(host.Dispatch(effCanBeAutomated, i), 1);
    }
    EXPECT_EQ(host.ParamDisplay(0), "0.700");
    EXPECT_EQ(host.ParamDisplay(1), "0.500");
    EXPECT_EQ(host.ParamDisplay(2), "0.750");
    EXPECT_EQ(host.ParamDisplay(3), "1.000");
    EXPECT_EQ(host.ParamDisplay(4), "1");
    // Out-of-range parameter indices leave the host's buffer as it was.
    std::string untouched(255, '\x55');
    EXPECT_EQ(host.ParamName(5), untouched);
    EXPECT_EQ(host.ParamDisplay(-1), untouched);
    EXPECT_EQ(host.ParamLabel(5), untouched);

    EXPECT_FLOAT_EQ(host.GetParameter(0), 0.7f);
    EXPECT_FLOAT_EQ(host.GetParameter(3), 0.5f);
    EXPECT_EQ(host.GetParameter(4), 1.0f);
    EXPECT_EQ(host.GetParameter(-1), 0.0f);
    EXPECT_EQ(host.GetParameter(5), 0.0f);

    for (int p = 0; p < 6; ++p) {
        char name[256];
        EXPECT_EQ(host.Dispatch(effGetProgramNameIndexed, p, 0, name), 1);
        EXPECT_STREQ(name, kProgramNames[p]);
    }
    char name[256] = "junk";
    EXPECT_EQ(host.Dispatch(effGetProgramNameIndexed, 6, 0, name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(host.Dispatch(effGetProgramNameIndexed, -1, 0, name), 0);

    // Program switching restores each program's values.
    EXPECT_EQ(host.Dispatch(effGetProgram), 0);
    for (int p = 5; p >= 0; --p) {
        host.Dispatch(effSetProgram, 0, p);
        EXPECT_EQ(host.Dispatch(effGetProgram), p);
        EXPECT_EQ(host.ProgramName(), kProgramNames[p]);
        for (int i = 0; i < 5; ++i)
            EXPECT_FLOAT_EQ(host.GetParameter(i), static_cast<float>(kProgramValues[p][i] / kParamMax[i]))
                << "program " << p << " param " << i;
    }
    host.Dispatch(effSetProgram, 0, 3);
    // Without state chunks the live values are kept in the program being left.
    host.SetParameter(0, 0.25f);
    host.Dispatch(effSetProgram, 0, 1);
    EXPECT_FLOAT_EQ(host.GetParameter(0), 0.5f);
    host.Dispatch(effSetProgram, 0, 3);
    EXPECT_FLOAT_EQ(host.GetParameter(0), 0.25f);
    // Indices out of range change nothing.
    host.Dispatch(effSetProgram, 0, 6);
    host.Dispatch(effSetProgram, 0, -1);
    host.Dispatch(effSetProgram, 0, static_cast<intptr_t>(1) << 32);
    EXPECT_EQ(host.Dispatch(effGetProgram), 3);
    EXPECT_FLOAT_EQ(host.GetParameter(0), 0.25f);

    // Renaming the current program.
    char newName[] = "My Swell";
    host.Dispatch(effSetProgramName, 0, 0, newName);
    EXPECT_EQ(host.ProgramName(), "My Swell");
    EXPECT_EQ(host.GetString(effGetProgramNameIndexed, 3), "My Swell");
    EXPECT_EQ(host.GetString(effGetProgramNameIndexed, 2), "Funked Swell");

    EXPECT_EQ(host.Dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(host.Dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(host.Dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(host.Dispatch(effGetTailSize), 0);
    EXPECT_EQ(host.Dispatch(effGetVendorVersion), 0);
    EXPECT_EQ(host.GetString(effGetEffectName), "Tidebloom");
    EXPECT_EQ(host.GetString(effGetVendorString), "vendrilax");
    EXPECT_EQ(host.GetString(effGetProductString), "");
    EXPECT_EQ(host.Dispatch(effGetEffectName), 0);
    EXPECT_EQ(host.Dispatch(effGetVendorString), 0);
    EXPECT_EQ(host.Dispatch(effGetProductString), 0);

    char cap1[] = "receiveVstTimeInfo", cap2[] = "receiveVstMidiEvent", cap3[] = "sendVstEvents",
         cap4[] = "bypass", cap5[] = "receivevsttimeinfo";
    EXPECT_EQ(host.Dispatch(effCanDo, 0, 0, cap1), 1);
    EXPECT_EQ(host.Dispatch(effCanDo, 0, 0, cap2), 0);
    EXPECT_EQ(host.Dispatch(effCanDo, 0, 0, cap3), 0);
    EXPECT_EQ(host.Dispatch(effCanDo, 0, 0, cap4), 0);
    EXPECT_EQ(host.Dispatch(effCanDo, 0, 0, cap5), 0);
    EXPECT_EQ(host.Dispatch(effCanDo), 0);

    ERect* rect = reinterpret_cast<ERect*>(0x1234);
    if (editor == EditorKind::kNone) {
        // No editor: no rectangle, no window.
        EXPECT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 0);
        EXPECT_EQ(rect, reinterpret_cast<ERect*>(0x1234));
        EXPECT_EQ(host.Dispatch(effEditClose), 0);
    } else {
        // 555 x 306, doubled on a dense screen; no window without a parent to put it in.
        EXPECT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        EXPECT_TRUE((rect->right == 555 && rect->bottom == 306) ||
                    (rect->right == 1110 && rect->bottom == 612))
            << rect->right << " x " << rect->bottom;
        EXPECT_EQ(host.Dispatch(effEditClose), 1);
    }
    EXPECT_EQ(host.Dispatch(effEditOpen), 0);
    EXPECT_EQ(host.Dispatch(effEditIdle), 0);

    // Host extensions: format a value without setting it; ask whether a parameter is not continuous.
    char display[64] = "";
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 7, 3, display, 0.25f), 0xBEEF);
    EXPECT_STREQ(display, "0.500");
    EXPECT_FLOAT_EQ(host.GetParameter(3), 0.5f);
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 8, 4), 0xBEEF);
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 8, 0), 0);
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 8, 5), 0);
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 7, 0, nullptr, 0.5f), 0);
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 9, 0, display, 0.5f), 0);

    // Pins pair up as one stereo pair.
    VstPinProperties pin;
    std::memset(&pin, 0, sizeof(pin));
    EXPECT_EQ(host.Dispatch(effGetInputProperties, 0, 0, &pin), 1);
    EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    EXPECT_STREQ(pin.label, "Input 1");
    EXPECT_EQ(host.Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_EQ(pin.flags, kVstPinIsActive);
    EXPECT_STREQ(pin.label, "Output 2");
    EXPECT_EQ(host.Dispatch(effGetInputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(host.Dispatch(effGetOutputProperties, 0), 0);

    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(in->type, kSpeakerArrStereo);
    EXPECT_EQ(in->numChannels, 2);
    EXPECT_EQ(out->type, kSpeakerArrStereo);
    EXPECT_EQ(out->numChannels, 2);

    // Everything without an answer of its own answers 0 and writes nothing.
    const int32_t inert[] = {effGetVu,
                             effEditDraw,
                             effEditMouse,
                             effEditKey,
                             effEditTop,
                             effEditSleep,
                             effGetNumProgramCategories,
                             effCopyProgram,
                             effConnectInput,
                             effConnectOutput,
                             effGetCurrentPosition,
                             effGetDestinationBuffer,
                             effOfflineNotify,
                             effOfflinePrepare,
                             effOfflineRun,
                             effProcessVarIo,
                             effSetBlockSizeAndSampleRate,
                             effSetBypass,
                             effGetErrorText,
                             effGetIcon,
                             effSetViewPosition,
                             effGetParameterProperties,
                             effKeysRequired,
                             effEditKeyDown,
                             effEditKeyUp,
                             effSetEditKnobMode,
                             effGetMidiProgramName,
                             effGetCurrentMidiProgram,
                             effGetMidiProgramCategory,
                             effHasMidiProgramsChanged,
                             effBeginSetProgram,
                             effEndSetProgram,
                             effShellGetNextPlugin,
                             effStartProcess,
                             effStopProcess,
                             effSetTotalSampleToProcess,
                             effSetPanLaw,
                             effBeginLoadBank,
                             effBeginLoadProgram,
                             effSetProcessPrecision,
                             effGetNumMidiInputChannels,
                             effGetNumMidiOutputChannels,
                             80,
                             1000,
                             -1};
    for (int32_t op : inert) {
        uint8_t buf[1024];
        std::memset(buf, 0xA5, sizeof(buf));
        EXPECT_EQ(host.Dispatch(op, 1, 1, buf, 1.0f), 0) << "opcode " << op;
        bool unchanged = true;
        for (uint8_t b : buf) unchanged = unchanged && b == 0xA5;
        EXPECT_TRUE(unchanged) << "opcode " << op;
    }
    EXPECT_EQ(host.Dispatch(effGetProgram), 3);
    host.Close();
}

void ExpectShippedChunks(VstPluginEntryProc entry) {
    TestHost host;
    ASSERT_NE(host.Load(entry), nullptr);
    host.Open();
    EXPECT_EQ(host.GetChunk(false), ExpectedFreshProgramChunk());
    EXPECT_EQ(host.GetChunk(false).size(), 48u);
    EXPECT_EQ(host.GetChunk(true), ExpectedFreshBankChunk());
    EXPECT_EQ(host.GetChunk(true).size(), 352u);
    EXPECT_EQ(host.Dispatch(effGetChunk, 0, 0, nullptr), 0);

    // The program chunk pointer stays valid while the bank chunk is fetched.
    void* programData = nullptr;
    intptr_t programSize = host.Dispatch(effGetChunk, 1, 0, &programData);
    ASSERT_EQ(programSize, 48);
    void* bankData = nullptr;
    ASSERT_EQ(host.Dispatch(effGetChunk, 0, 0, &bankData), 352);
    EXPECT_NE(programData, bankData);
    std::vector<uint8_t> stillThere(static_cast<uint8_t*>(programData),
                                    static_cast<uint8_t*>(programData) + programSize);
    EXPECT_EQ(stillThere, ExpectedFreshProgramChunk());

    // A program chunk with other values, built here, is taken over exactly.
    std::vector<uint8_t> chunk = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    const double values[] = {0.125, 0.25, 0.5, 1.5, 0.0};
    for (double v : values) AppendLE(&chunk, v);
    EXPECT_EQ(host.SetChunk(chunk, false), 1);
    EXPECT_EQ(host.GetParameter(0), 0.125f);
    EXPECT_EQ(host.GetParameter(1), 0.25f);
    EXPECT_EQ(host.GetParameter(2), 0.5f);
    EXPECT_EQ(host.GetParameter(3), 0.75f);
    EXPECT_EQ(host.GetParameter(4), 0.0f);
    EXPECT_EQ(host.GetChunk(false), chunk);
    // ... and stored into the current program.
    host.Dispatch(effSetProgram, 0, 1);
    host.Dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(host.GetParameter(0), 0.125f);

    // Without the header the bytes are one parameter state.
    std::vector<uint8_t> bare;
    for (double v : kProgramValues[2]) AppendLE(&bare, v);
    EXPECT_EQ(host.SetChunk(bare, false), 1);
    EXPECT_FLOAT_EQ(host.GetParameter(0), 0.35f);
    EXPECT_FLOAT_EQ(host.GetParameter(1), 0.431f);

    // Stored values outside a range are clamped into it.
    std::vector<uint8_t> wild = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
    const double wildValues[] = {-1.0, 0.5, 0.5, 3.0, 1.0};
    for (double v : wildValues) AppendLE(&wild, v);
    EXPECT_EQ(host.SetChunk(wild, false), 1);
    EXPECT_EQ(host.GetParameter(0), 0.0f);
    EXPECT_EQ(host.GetParameter(3), 1.0f);

    // Refused: null data, a negative size, a chunk that ends early.
    EXPECT_EQ(host.Dispatch(effSetChunk, 1, 48, nullptr), 0);
    EXPECT_EQ(host.Dispatch(effSetChunk, 1, -5, chunk.data()), 0);
    std::vector<uint8_t> shortChunk(chunk.begin(), chunk.begin() + 8 + 3 * 8);
    EXPECT_EQ(host.SetChunk(shortChunk, false), 0);

    // Bank round trip into a fresh instance: names, values and the current program.
    EXPECT_EQ(host.SetChunk(chunk, false), 1); // program 0 holds these values now
    host.Dispatch(effSetProgram, 0, 4);
    host.SetParameter(3, 0.25f);
    char renamed[] = "Renamed";
    host.Dispatch(effSetProgramName, 0, 0, renamed);
    std::vector<uint8_t> bank = host.GetChunk(true);
    ASSERT_FALSE(bank.empty());
    host.Close();

    TestHost other;
    ASSERT_NE(other.Load(entry), nullptr);
    other.Open();
    EXPECT_EQ(other.SetChunk(bank, true), 1);
    EXPECT_EQ(other.GetString(effGetProgramNameIndexed, 4), "Renamed");
    EXPECT_EQ(other.GetString(effGetProgramNameIndexed, 5), "Before Overdrive");
    // The receiving instance stays on its own current program (0), which the bank restored.
    EXPECT_EQ(other.Dispatch(effGetProgram), 0);
    EXPECT_EQ(other.GetParameter(0), 0.125f);
    other.Dispatch(effSetProgram, 0, 4);
    EXPECT_EQ(other.GetParameter(3), 0.25f);
    EXPECT_EQ(other.GetChunk(true), bank);

    // A bank whose header is older than the preset-list format is read as a single state.
    std::vector<uint8_t> oldBank = {0x74, 0x66, 0x66, 0x70, 0xFF, 0xFF, 0x00, 0x00};
    for (double v : kProgramValues[3]) AppendLE(&oldBank, v);
    EXPECT_EQ(other.SetChunk(oldBank, true), 1);
    EXPECT_FLOAT_EQ(other.GetParameter(0), 0.676f);
    EXPECT_EQ(other.GetString(effGetProgramNameIndexed, 4), "Renamed");
}

void ExpectHostValuesSanitised(VstPluginEntryProc entry) {
    TestHost host;
    ASSERT_NE(host.Load(entry), nullptr);
    host.Open();
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();

    for (int i = 0; i < 5; ++i) {
        host.SetParameter(i, 0.5f);
        float before = host.GetParameter(i);
        host.SetParameter(i, nan);
        EXPECT_EQ(host.GetParameter(i), before) << "NaN changes nothing, param " << i;
        host.SetParameter(i, 7.0f);
        EXPECT_EQ(host.GetParameter(i), 1.0f) << i;
        host.SetParameter(i, -3.0f);
        EXPECT_EQ(host.GetParameter(i), 0.0f) << i;
        host.SetParameter(i, inf);
        EXPECT_EQ(host.GetParameter(i), 1.0f) << i;
        host.SetParameter(i, -inf);
        EXPECT_EQ(host.GetParameter(i), 0.0f) << i;
    }
    ExpectParamsSane(host, "after setParameter");

    char text[32];
    for (int i = 0; i < 5; ++i) {
        std::strcpy(text, "0.5");
        EXPECT_EQ(host.Dispatch(effString2Parameter, i, 0, text), 1);
        float before = host.GetParameter(i);
        for (const char* t : {"nan", "NaN", "-nan"}) {
            std::strcpy(text, t);
            EXPECT_EQ(host.Dispatch(effString2Parameter, i, 0, text), 0) << t;
            EXPECT_EQ(host.GetParameter(i), before) << t;
        }
        std::strcpy(text, "inf");
        EXPECT_EQ(host.Dispatch(effString2Parameter, i, 0, text), 1);
        EXPECT_EQ(host.GetParameter(i), 1.0f);
        std::strcpy(text, "-inf");
        EXPECT_EQ(host.Dispatch(effString2Parameter, i, 0, text), 1);
        EXPECT_EQ(host.GetParameter(i), 0.0f);
        std::strcpy(text, "1e999");
        EXPECT_EQ(host.Dispatch(effString2Parameter, i, 0, text), 1);
        EXPECT_EQ(host.GetParameter(i), 1.0f);
        std::strcpy(text, "-1e999");
        EXPECT_EQ(host.Dispatch(effString2Parameter, i, 0, text), 1);
        EXPECT_EQ(host.GetParameter(i), 0.0f);
    }
    ExpectParamsSane(host, "after effString2Parameter");
    // Plain values in the parameter's own range: Vol 1.5 of 0..2.
    std::strcpy(text, "1.5");
    EXPECT_EQ(host.Dispatch(effString2Parameter, 3, 0, text), 1);
    EXPECT_EQ(host.GetParameter(3), 0.75f);
    EXPECT_EQ(host.ParamDisplay(3), "1.500");
    EXPECT_EQ(host.Dispatch(effString2Parameter, 5, 0, text), 0);
    EXPECT_EQ(host.Dispatch(effString2Parameter, -1, 0, text), 0);
    EXPECT_EQ(host.Dispatch(effString2Parameter, 3, 0, nullptr), 1);
    EXPECT_EQ(host.GetParameter(3), 0.75f);

    // Formatting a host value without setting it never shows a value outside the range.
    char display[64];
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 7, 3, display, 5.0f), 0xBEEF);
    EXPECT_STREQ(display, "2.000");
    EXPECT_EQ(host.Dispatch(effVendorSpecific, 7, 3, display, -inf), 0xBEEF);
    EXPECT_STREQ(display, "0.000");

    // Hostile sample rates and block sizes are ignored; audio still comes out finite.
    host.Dispatch(effSetSampleRate, 0, 0, nullptr, nan);
    host.Dispatch(effSetSampleRate, 0, 0, nullptr, -44100.0f);
    host.Dispatch(effSetSampleRate, 0, 0, nullptr, 0.0f);
    host.Dispatch(effSetSampleRate, 0, 0, nullptr, inf);
    host.Dispatch(effSetBlockSize, 0, 0);
    host.Dispatch(effSetBlockSize, 0, -64);
    host.Dispatch(effSetBlockSize, 0, static_cast<intptr_t>(1) << 40);
    host.SetParameter(1, 0.0f);
    host.SetParameter(2, 0.5f);
    host.SetParameter(3, 1.0f);
    std::vector<float> l, r;
    MakeSignal(&l, &r, 4096);
    std::vector<float> ol(4096), or_(4096);
    float* in[2] = {l.data(), r.data()};
    float* out[2] = {ol.data(), or_.data()};
    for (int off = 0; off < 4096; off += 512) {
        float* inb[2] = {in[0] + off, in[1] + off};
        float* outb[2] = {out[0] + off, out[1] + off};
        host.ProcessReplacing(inb, outb, 512);
    }
    for (int i = 0; i < 4096; ++i) {
        ASSERT_TRUE(std::isfinite(ol[i])) << i;
        ASSERT_TRUE(std::isfinite(or_[i])) << i;
    }
}

void ExpectAudioCallbacksAgree(VstPluginEntryProc entry) {
    constexpr int kFrames = 44100;
    constexpr int kBlock = 512;
    std::vector<float> l, r;
    MakeSignal(&l, &r, kFrames);

    // Float replacing.
    std::vector<float> repl(kFrames, 7.0f), repr(kFrames, 7.0f);
    // Float accumulating onto what the host left there.
    std::vector<float> accl(kFrames, 0.25f), accr(kFrames, -0.5f);
    // Double replacing with the same input.
    std::vector<double> dl(l.begin(), l.end()), dr(r.begin(), r.end());
    std::vector<double> dol(kFrames, 7.0), dor(kFrames, 7.0);

    for (int form = 0; form < 3; ++form) {
        TestHost host;
        ASSERT_NE(host.Load(entry), nullptr);
        host.Open(44100.0f, kBlock);
        host.Dispatch(effSetProgram, 0, 3);
        for (int off = 0; off < kFrames; off += kBlock) {
            int n = std::min(kBlock, kFrames - off);
            if (form == 0) {
                float* in[2] = {l.data() + off, r.data() + off};
                float* out[2] = {repl.data() + off, repr.data() + off};
                host.ProcessReplacing(in, out, n);
            } else if (form == 1) {
                float* in[2] = {l.data() + off, r.data() + off};
                float* out[2] = {accl.data() + off, accr.data() + off};
                host.Process(in, out, n);
            } else {
                double* in[2] = {dl.data() + off, dr.data() + off};
                double* out[2] = {dol.data() + off, dor.data() + off};
                host.ProcessDoubleReplacing(in, out, n);
            }
        }
    }
    double energy = 0.0;
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_EQ(repl[i], static_cast<float>(dol[i])) << i;
        ASSERT_EQ(repr[i], static_cast<float>(dor[i])) << i;
        ASSERT_EQ(accl[i], 0.25f + static_cast<float>(dol[i])) << i;
        ASSERT_EQ(accr[i], -0.5f + static_cast<float>(dor[i])) << i;
        energy += dol[i] * dol[i];
    }
    EXPECT_GT(energy, 1.0); // the signal came through
}

void RunThreadStress(VstPluginEntryProc entry, int rounds) {
    TestHost host;
    ASSERT_NE(host.Load(entry), nullptr);
    host.Open(44100.0f, 512);
    std::vector<float> l, r;
    MakeSignal(&l, &r, 512 * 64);
    std::atomic<int> ready{0};
    std::atomic<bool> nonFinite{false};
    auto waitForAll = [&ready] {
        ready.fetch_add(1);
        while (ready.load() < 3) std::this_thread::yield();
    };

    std::thread audio([&] {
        waitForAll();
        std::vector<float> ol(512), or_(512);
        for (int b = 0; b < rounds; ++b) {
            int off = (b % 64) * 512;
            float* in[2] = {l.data() + off, r.data() + off};
            float* out[2] = {ol.data(), or_.data()};
            if (b % 3 == 2)
                host.Process(in, out, 512);
            else
                host.ProcessReplacing(in, out, 512);
            for (int i = 0; i < 512; ++i)
                if (!std::isfinite(ol[i]) || !std::isfinite(or_[i])) nonFinite = true;
        }
    });
    std::thread automation([&] {
        waitForAll();
        const float values[] = {
            0.0f, 0.3f, 1.0f, 0.75f, 2.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()};
        char text[32];
        for (int k = 0; k < rounds; ++k) {
            int idx = k % 5;
            host.SetParameter(idx, values[k % 7]);
            (void)host.GetParameter((idx + 2) % 5);
            if (k % 11 == 0) {
                std::snprintf(text, sizeof(text), "%g", 0.1 * (k % 13));
                host.Dispatch(effString2Parameter, idx, 0, text);
                (void)host.ParamDisplay(idx);
            }
        }
    });
    std::thread programs([&] {
        waitForAll();
        for (int k = 0; k < rounds / 4 + 1; ++k) {
            host.Dispatch(effSetProgram, 0, k % 6);
            std::vector<uint8_t> program = host.GetChunk(false);
            std::vector<uint8_t> bank = host.GetChunk(true);
            if (k % 2 == 0)
                host.SetChunk(program, false);
            else
                host.SetChunk(bank, true);
            (void)host.GetString(effGetProgramNameIndexed, k % 6);
            // Now and then the host suspends, changes the sample rate and resumes, as after a change
            // of the session's rate.
            if (k % 16 == 5) {
                host.Dispatch(effMainsChanged, 0, 0);
                host.Dispatch(effSetSampleRate, 0, 0, nullptr, k % 32 == 5 ? 96000.0f : 44100.0f);
                host.Dispatch(effMainsChanged, 0, 1);
            }
        }
    });
    audio.join();
    automation.join();
    programs.join();
    EXPECT_FALSE(nonFinite.load());
    ExpectParamsSane(host, "after the threads");
    host.Close();
}

void ExpectNoAllocationInAudio(VstPluginEntryProc entry, long (*allocCount)()) {
    TestHost host;
    long beforeCreation = allocCount();
    ASSERT_NE(host.Load(entry), nullptr);
    // Creating an instance allocates: proof that the counter sees the plug-in's allocations.
    EXPECT_GT(allocCount() - beforeCreation, 0);
    host.Open(44100.0f, 512);
    std::vector<float> l, r;
    MakeSignal(&l, &r, 2048 * 16);
    std::vector<double> dl(l.begin(), l.end()), dr(r.begin(), r.end());
    std::vector<float> ol(2048 * 16), or_(2048 * 16);
    std::vector<double> dol(2048 * 16), dor(2048 * 16);
    auto run = [&](int form, int off, int n) {
        float* in[2] = {l.data() + off, r.data() + off};
        float* out[2] = {ol.data() + off, or_.data() + off};
        double* din[2] = {dl.data() + off, dr.data() + off};
        double* dout[2] = {dol.data() + off, dor.data() + off};
        if (form == 0) host.ProcessReplacing(in, out, n);
        if (form == 1) host.Process(in, out, n);
        if (form == 2) host.ProcessDoubleReplacing(din, dout, n);
    };
    // From the very first block of every callback, and again after the host has suspended, changed
    // sample rate and block size, and resumed: everything was sized before the audio started.
    for (int block : {512, 2048}) {
        SCOPED_TRACE(testing::Message() << "block size " << block);
        if (block != 512) {
            host.Dispatch(effMainsChanged, 0, 0);
            host.Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
            host.Dispatch(effSetBlockSize, 0, block);
            host.Dispatch(effMainsChanged, 0, 1);
        }
        long before = allocCount();
        for (int round = 0; round < 10; ++round) {
            for (int form = 0; form < 3; ++form) {
                run(form, 0, block);
                run(form, block, 1);
                run(form, 2 * block, 100);
                // Longer than the block size: processed in pieces, still without allocating.
                run(form, 3 * block, 3 * block + 17);
            }
        }
        EXPECT_EQ(allocCount() - before, 0) << "allocations inside the audio callbacks";
    }
    host.Close();
}
