// A plug-in whose entry function returns a record without the VST magic number.
#include "framework/vst2/VstAbi.h"

namespace {
AEffect sRecord{};
}

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) {
    sRecord.magic = VstFourCC('N', 'o', 'p', 'e');
    return &sRecord;
}
