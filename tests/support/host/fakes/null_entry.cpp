// A plug-in whose entry function refuses to create an effect.
#include "framework/vst2/VstAbi.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) {
    return nullptr;
}
