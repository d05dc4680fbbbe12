#pragma once
// Two helpers every part of the CLAP binding uses at the host boundary: a host extension record by id,
// and a call on the plug-in object behind a clap_plugin_t that no C++ exception leaves. Stateless; any
// thread.
#include <clap/host.h>
#include <clap/plugin.h>

// The host's extension record of that id, or null (no host, no get_extension, not offered).
template <class T>
const T* ClapHostExtension(const clap_host_t* host, const char* id) {
    return host && host->get_extension ? static_cast<const T*>(host->get_extension(host, id)) : nullptr;
}

// call(object) for the Plug behind plugin->plugin_data; failed when there is none or call throws.
template <class Plug, class R, class Call>
R ClapGuarded(const clap_plugin_t* plugin, R failed, Call call) {
    Plug* plug = plugin ? static_cast<Plug*>(plugin->plugin_data) : nullptr;
    if (!plug) return failed;
    try {
        return call(*plug);
    } catch (...) {
        return failed;
    }
}
