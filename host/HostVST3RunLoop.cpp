#include "host/HostVST3RunLoop.h"

#include <poll.h>

#include <algorithm>

namespace {

const v3_run_loop_cpp kLoopTable = {
    VST3Unknown<HostVST3RunLoop>(),
    {VST3Entry<&HostVST3RunLoop::RegisterEventHandler>, VST3Entry<&HostVST3RunLoop::UnregisterEventHandler>,
     VST3Entry<&HostVST3RunLoop::RegisterTimer>, VST3Entry<&HostVST3RunLoop::UnregisterTimer>}};

} // namespace

HostVST3RunLoop::HostVST3RunLoop() {
    mFace = {&kLoopTable, this};
}

v3_result HostVST3RunLoop::QueryInterface(const uint8_t* iid, void** obj) {
    if (!obj) return V3_INVALID_ARG;
    *obj = VST3IsOneOf(iid, v3_funknown_iid, v3_run_loop_iid) ? &mFace : nullptr;
    return *obj ? V3_OK : V3_NO_INTERFACE;
}

v3_result HostVST3RunLoop::RegisterEventHandler(v3_event_handler** handler, int fd) {
    if (!handler || !*handler || fd < 0) return V3_INVALID_ARG;
    mEntries.push_back({reinterpret_cast<void**>(handler), fd, 0});
    return V3_OK;
}

v3_result HostVST3RunLoop::UnregisterEventHandler(v3_event_handler** handler) {
    const size_t before = mEntries.size();
    std::erase_if(mEntries, [&](const Entry& e) {
        return e.fd >= 0 && e.handler == reinterpret_cast<void**>(handler);
    });
    return mEntries.size() < before ? V3_OK : V3_INVALID_ARG;
}

v3_result HostVST3RunLoop::RegisterTimer(v3_timer_handler** handler, uint64_t ms) {
    if (!handler || !*handler) return V3_INVALID_ARG;
    mEntries.push_back({reinterpret_cast<void**>(handler), -1, ms});
    return V3_OK;
}

v3_result HostVST3RunLoop::UnregisterTimer(v3_timer_handler** handler) {
    const size_t before = mEntries.size();
    std::erase_if(mEntries,
                  [&](const Entry& e) { return e.fd < 0 && e.handler == reinterpret_cast<void**>(handler); });
    return mEntries.size() < before ? V3_OK : V3_INVALID_ARG;
}

bool HostVST3RunLoop::Registered(const Entry& e) const {
    return std::any_of(mEntries.begin(), mEntries.end(),
                       [&](const Entry& o) { return o.handler == e.handler && o.fd == e.fd; });
}

void HostVST3RunLoop::Turn() {
    const std::vector<Entry> entries = mEntries;
    for (const Entry& e : entries) {
        if (e.fd >= 0 || !Registered(e)) continue;
        auto** timer = reinterpret_cast<v3_timer_handler**>(e.handler);
        v3_cpp_obj(timer)->on_timer(timer);
    }
    for (const Entry& e : entries) {
        if (e.fd < 0 || !Registered(e)) continue;
        pollfd p = {e.fd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) continue;
        auto** events = reinterpret_cast<v3_event_handler**>(e.handler);
        v3_cpp_obj(events)->on_fd_is_set(events, e.fd);
    }
}
