#pragma once
// What `tidebloom-host info` reports about a plug-in: the effect record, every parameter and
// program, the editor size and the answers to the usual capability strings, gathered from an
// opened instance (HostCollectInfo) and printed as aligned text or as one JSON object.
// Collecting selects no program and changes no parameter. Host thread only.
#include "host/HostPlugin.h"

#include <string>
#include <vector>

struct HostParamInfo {
    std::string name, label, display;
    float value = 0.0f; // normalised
};

struct HostInfo {
    std::string path, name, vendor, product;
    int32_t version = 0;        // the record's version field
    intptr_t vendorVersion = 0; // effGetVendorVersion
    int32_t uniqueID = 0;
    intptr_t vstVersion = 0;
    intptr_t category = 0;
    int numInputs = 0, numOutputs = 0, numParams = 0, numPrograms = 0;
    intptr_t currentProgram = 0;
    int32_t flags = 0;
    int latency = 0; // initialDelay after the instance was opened
    intptr_t tailSize = 0;
    bool hasEditorRect = false;
    int editorWidth = 0, editorHeight = 0;
    std::vector<HostParamInfo> params;
    std::vector<std::string> programs;
    std::vector<std::pair<std::string, intptr_t>> canDo;
};

// The capability strings whose answers are reported.
extern const char* const kHostCanDoStrings[];
extern const int kHostCanDoCount;

// Names of the set bits of an effect record's flags, separated by spaces.
std::string HostFlagNames(int32_t flags);

void HostCollectInfo(HostPlugin& plugin, HostInfo& info);
std::string HostFormatInfoText(const HostInfo& info);
std::string HostFormatInfoJson(const HostInfo& info);
