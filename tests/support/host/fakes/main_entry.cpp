// A plug-in that exports only the older entry name "main"; it returns a record without a
// dispatcher, which the host must refuse rather than call.
#include "framework/vst2/VstAbi.h"

namespace {
AEffect sRecord{};
}

// Exported under the symbol name "main" without declaring a C++ main function.
extern "C" __attribute__((visibility("default"))) AEffect* FakeMainEntry(audioMasterCallback) __asm__("main");

AEffect* FakeMainEntry(audioMasterCallback) {
    sRecord.magic = kEffectMagic;
    return &sRecord;
}
