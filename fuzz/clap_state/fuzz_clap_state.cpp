// Feeds arbitrary bytes to Tidebloom's CLAP state load, as a host's saved project would, in pieces
// whose sizes the input's first byte chooses. A load either succeeds, and then the state saves again as
// exactly those bytes, or it refuses, and then the state is the one saved before. Any crash, leak,
// undefined behaviour or broken promise aborts.
#include <clap/ext/state.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "TidebloomWithEditor.h"

namespace {

struct Reader {
    const uint8_t* data;
    size_t size, pos, piece;
};

std::vector<uint8_t> Save(const clap_plugin_t* plugin, const clap_plugin_state_t* state) {
    std::vector<uint8_t> bytes;
    clap_ostream_t out{&bytes, [](const clap_ostream_t* s, const void* buf, uint64_t n) -> int64_t {
                           auto* b = static_cast<std::vector<uint8_t>*>(s->ctx);
                           b->insert(b->end(), static_cast<const uint8_t*>(buf),
                                     static_cast<const uint8_t*>(buf) + n);
                           return static_cast<int64_t>(n);
                       }};
    if (!state->save(plugin, &out)) std::abort();
    return bytes;
}

const clap_plugin_t* Plugin() {
    static clap_host_t host = [] {
        clap_host_t h{};
        h.clap_version = CLAP_VERSION;
        h.name = h.vendor = h.url = h.version = "fuzz";
        h.get_extension = [](const clap_host_t*, const char*) -> const void* { return nullptr; };
        h.request_restart = h.request_process = h.request_callback = [](const clap_host_t*) {};
        return h;
    }();
    static const clap_plugin_t* plugin = [] {
        const clap_plugin_t* p = CLAPCreateInstance(
            kTidebloomDescription, nullptr,
            [](const IEffectInstanceInfo& info) -> IEffectCLAP* { return new Tidebloom(info); }, &host,
            kTidebloomDescription.mCLAPId);
        if (!p || !p->init(p)) std::abort();
        return p;
    }();
    return plugin;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const clap_plugin_t* plugin = Plugin();
    const auto* state =
        static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
    if (!state) std::abort();
    const std::vector<uint8_t> before = Save(plugin, state);
    Reader reader{data, size, 0, size > 0 ? size_t{1} + data[0] % 64 : 1};
    clap_istream_t in{&reader, [](const clap_istream_t* s, void* buf, uint64_t n) -> int64_t {
                          auto* r = static_cast<Reader*>(s->ctx);
                          const size_t k = std::min({static_cast<size_t>(n), r->piece, r->size - r->pos});
                          std::memcpy(buf, r->data + r->pos, k);
                          r->pos += k;
                          return static_cast<int64_t>(k);
                      }};
    const bool loaded = state->load(plugin, &in);
    const std::vector<uint8_t> after = Save(plugin, state);
    if (loaded && after != std::vector<uint8_t>(data, data + size)) std::abort();
    if (!loaded && after != before) std::abort();
    return 0;
}
