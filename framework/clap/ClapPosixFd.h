#pragma once
// The POSIX file-descriptor extension of the CLAP interface ("clap.posix-fd-support"): the host watches
// file descriptors for the plug-in on its main thread and calls the plug-in back when one is ready.
// Debian's CLAP 1.1 headers do not carry it, so these are our own definitions of its published records
// and values (laid out for x86-64 Linux), named in the project's way. Plain data; no ownership.
#include <clap/host.h>
#include <clap/plugin.h>

#include <cstdint>

constexpr char kClapExtPosixFdSupport[] = "clap.posix-fd-support";

// What to watch for, and what happened (flags of registerFd and onFd).
enum : uint32_t {
    kClapPosixFdRead = 1u << 0,
    kClapPosixFdWrite = 1u << 1,
    kClapPosixFdError = 1u << 2,
};

// The plug-in's side: the host's main thread calls onFd when a registered descriptor is ready.
struct ClapPluginPosixFdSupport {
    void (*onFd)(const clap_plugin_t* plugin, int fd, uint32_t flags);
};

// The host's side, each called on the host's main thread; true when the host did it.
struct ClapHostPosixFdSupport {
    bool (*registerFd)(const clap_host_t* host, int fd, uint32_t flags);
    bool (*modifyFd)(const clap_host_t* host, int fd, uint32_t flags);
    bool (*unregisterFd)(const clap_host_t* host, int fd);
};
