#pragma once
// Opening a plug-in's shared object, for every format the host loads: the checks made before dlopen (a
// regular file holding an ELF object; dlopen's own messages for a missing or foreign file are obscure,
// and a FIFO would block it), dlopen itself with a one-line error, and finding a symbol the library
// defines itself. Free functions; host thread.
#include <string>

// False with err set ("cannot open plug-in '...': ...", "'...' is not a plug-in (not a shared
// library)") unless path is a regular file that starts like an ELF object.
bool HostCheckSharedObject(const std::string& path, std::string& err);

// dlopen(RTLD_NOW | RTLD_LOCAL) of path (a bare file name is taken from the current folder, not searched
// for); null with err set ("cannot load plug-in '...': ...") when it fails.
void* HostOpenLibrary(const std::string& path, std::string& err);

// The symbol name if the library defines it itself (dlsym also searches the library's dependencies, and
// a stray "main" there must not be taken for the plug-in's); null otherwise.
void* HostOwnSymbol(void* library, const char* name);
