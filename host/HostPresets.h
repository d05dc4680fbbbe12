#pragma once
// Choosing parameters and programs of a loaded plug-in by what a user types, and moving its state
// to and from the standard program (.fxp) and bank (.fxb) files, all on the host side.
//
// Parameters are found by name (exact, then ignoring case) or by index; a value is either a
// normalised number in 0..1 or a text the plug-in displays for one of its values. Programs are found
// by index or by name. Program and bank files are checked in full (magic, plug-in ID, counts,
// lengths, values) before anything is applied, so a bad file changes nothing. Plug-ins that keep
// their state as opaque chunks (effFlagsProgramChunks) get the chunk forms, others the parameter
// forms. Capturing a parameter-form bank visits every program and then restores the live state.
// Called on the host's thread with a loaded, opened plug-in; errors are one line.
#include "framework/util/Util_AtomicFile.h"
#include "host/HostFxFile.h"
#include "host/HostPlugin.h"

#include <string>
#include <vector>

// The index of the parameter called name (or numbered so); false with err listing what exists.
bool HostFindParameter(HostPlugin& plugin, const std::string& name, int& index, std::string& err);
// Sets parameter index from a normalised number or a display text.
bool HostSetParameterFromText(HostPlugin& plugin, int index, const std::string& text, std::string& err);
// Handles one "NAME=VALUE" assignment.
bool HostApplyAssignment(HostPlugin& plugin, const std::string& assignment, std::string& err);

// The index of the program given by number or name; false with err when there is none.
bool HostFindProgram(HostPlugin& plugin, const std::string& text, int& index, std::string& err);
// Makes program index current (effBeginSetProgram, effSetProgram, effEndSetProgram).
void HostSelectProgram(HostPlugin& plugin, int index);

bool HostCaptureProgram(HostPlugin& plugin, HostFxProgram& out, std::string& err);
bool HostApplyProgram(HostPlugin& plugin, const HostFxProgram& program, std::string& err);
bool HostCaptureBank(HostPlugin& plugin, HostFxBank& out, std::string& err);
bool HostApplyBank(HostPlugin& plugin, const HostFxBank& bank, std::string& err);

// File forms of the above; errors name the file. The saves write the file's bytes into an output
// opened by its owner (HostOutputs), who commits it.
bool HostLoadProgramFile(HostPlugin& plugin, const std::string& path, std::string& err);
bool HostSaveProgramFile(HostPlugin& plugin, Util_AtomicFile& file, std::string& err);
bool HostLoadBankFile(HostPlugin& plugin, const std::string& path, std::string& err);
bool HostSaveBankFile(HostPlugin& plugin, Util_AtomicFile& file, std::string& err);

// Selects program (by index or name, when not empty) and applies the NAME=VALUE assignments in order:
// the state a render, a snapshot or info asks for on the command line.
bool HostApplyProgramAndValues(HostPlugin& plugin, const std::string& program,
                               const std::vector<std::string>& assignments, std::string& err);
