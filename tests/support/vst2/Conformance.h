#pragma once
// Checks shared by the tests of the test effect and of the shipped plug-in loaded from its shared object.
// Both present the same face to a host (five parameters, six programs, stereo, 'Tblm'), so the same host
// view must hold for both. Each check creates its own instance through the given entry function, talks to
// it only through the AEffect record (TestHost) and reports through GoogleTest assertions.
#include <cstdint>
#include <vector>

#include "tests/support/SharedLibrary.h"
#include "tests/support/vst2/TestHost.h"

// The VST 2 plug-in shared object: its two entry functions looked up once it is open.
class PluginLibrary : public SharedLibrary {
public:
    explicit PluginLibrary(const char* path)
        : SharedLibrary(path), mPluginMain(Function<VstPluginEntryProc>("VSTPluginMain")),
          mMain(Function<VstPluginEntryProc>("main")) {}

    VstPluginEntryProc PluginMain() const { return mPluginMain; }
    VstPluginEntryProc Main() const { return mMain; }

private:
    VstPluginEntryProc mPluginMain = nullptr;
    VstPluginEntryProc mMain = nullptr;
};

// The little-endian bytes of a double, for building expected chunks independently of the plug-in.
void AppendLE(std::vector<uint8_t>* bytes, double v);
void AppendLE(std::vector<uint8_t>* bytes, int32_t v);
// Framework header + the five factory values of program 0.
std::vector<uint8_t> ExpectedFreshProgramChunk();
// Framework header + the six factory presets as a preset list.
std::vector<uint8_t> ExpectedFreshBankChunk();

// Whether the effect under test has the shipped plug-in's editor (555 x 306) or none.
enum class EditorKind { kNone, kShipped };
// The record of a fresh instance and after effOpen.
void ExpectShippedRecord(VstPluginEntryProc entry, EditorKind editor);
// Names, displays, programs, capability answers and the inert opcodes; the editor opcodes before any
// window is open.
void ExpectShippedOpcodes(VstPluginEntryProc entry, EditorKind editor);
// Program and bank chunks: exact bytes of a fresh instance and round trips.
void ExpectShippedChunks(VstPluginEntryProc entry);
// Host values outside 0..1, NaN, infinities and text values leave every parameter finite and in range.
void ExpectHostValuesSanitised(VstPluginEntryProc entry);
// Renders the same input with the three audio callbacks and compares them.
void ExpectAudioCallbacksAgree(VstPluginEntryProc entry);

// One thread processing blocks, one automating parameters, one switching programs, getting and setting
// chunks and now and then changing the sample rate between a suspend and a resume, for the given number of
// rounds each. Ends with every parameter in range and finite output.
void RunThreadStress(VstPluginEntryProc entry, int rounds);

// Counts the allocations made while the audio callbacks run, from the first block on, also after a
// suspend, a new sample rate and block size and a resume. allocCount reads the test executable's
// allocation counter.
void ExpectNoAllocationInAudio(VstPluginEntryProc entry, long (*allocCount)());
