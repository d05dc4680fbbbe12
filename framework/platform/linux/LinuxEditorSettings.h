#pragma once
// LinuxEditorSettings: what an editor remembers for the user across sessions and instances, in a small
// file of its plug-in's own: <config>/<plug-in name>/editor.conf, <config> being LinuxConfigHome
// ($XDG_CONFIG_HOME, else ~/.config). Lines of "key=value"; the one key is "size", the editor's size in
// percent ("size=150").
//
// Reading is defensive (another program, a full disk or a crash may have left anything there): a file
// that is missing, larger than 4 KiB, or has no well-formed "size" line with a whole number from 1 to
// 1000 reads as no choice (0). Writing replaces the file all-or-nothing (Util_AtomicFile: a temporary
// beside it, renamed into place), making the folders as needed. The plug-in name becomes one folder
// name: letters, digits, '-', '_' and '.' are kept, anything else becomes '_' (an empty name "editor").
//
// Plain file operations: any thread but an audio thread, no lock of ours.
#include <string>

// The settings file of the plug-in called plugName.
std::string LinuxEditorSettingsPath(const char* plugName);
// The size remembered in text (a settings file's contents); 0 when there is none.
int LinuxParseEditorSize(const std::string& text);
// The size remembered for plugName; 0 when there is none.
int LinuxReadEditorSize(const char* plugName);
// Remembers percent for plugName; false (the old file, if any, unchanged) when it cannot be written.
bool LinuxWriteEditorSize(const char* plugName, int percent);
