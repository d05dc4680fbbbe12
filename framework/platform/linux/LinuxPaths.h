#pragma once
// LinuxPaths: the folders the editor reports. HostPath is the running executable (/proc/self/exe),
// PluginPath the folder of the shared object holding this code (with a trailing "/"), and beside it
// the folder of replacement pictures. One rule for links: a module's folder is the folder of the path
// it was loaded by, so a link in a host's plug-in folder has its folders beside the link, not beside
// its target. The user's
// folders follow the XDG conventions: user-dirs.dirs under $XDG_CONFIG_HOME (~/.config) for the desktop
// and music folders ("$HOME/Desktop", "$HOME/Music" when not set), $XDG_DATA_HOME (~/.local/share) for
// per-user application data and the first entry of $XDG_DATA_DIRS (/usr/local/share) for system-wide
// data. Folders are returned without a trailing "/" except PluginPath's. Any thread.
#include <string>

// The running executable's path; empty when it cannot be read.
std::string LinuxExecutablePath();
// The path the module (executable or shared object) that contains address was loaded by (the
// executable: /proc/self/exe); empty when unknown.
std::string LinuxModuleFile(const void* address);
// The folder of that path, with a trailing "/"; empty when unknown.
std::string LinuxModuleFolder(const void* address);
// The module's resource folder: "<folder>/<file name without extension>.resources/" (for
// ~/.vst/Tidebloom.so: ~/.vst/Tidebloom.resources/); empty when unknown.
std::string LinuxResourceFolder(const void* address);
// $HOME, else the password database's home folder.
std::string LinuxHomeFolder();
// The value of XDG_<key>_DIR in a user-dirs.dirs text ("$HOME/..." or an absolute path); empty when
// absent or not of that form.
std::string LinuxParseUserDir(const std::string& text, const char* key, const std::string& home);
// The user's XDG folder of key ("DESKTOP", "MUSIC"), else home + "/" + fallback.
std::string LinuxUserDir(const char* key, const char* fallback);
// Where the user's settings go: $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::string LinuxConfigHome();
std::string LinuxDataHome();
std::string LinuxSystemDataDir();
