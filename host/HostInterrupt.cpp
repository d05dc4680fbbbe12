#include "host/HostInterrupt.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace {

// A run has at most a handful of outputs; slots are not reused, so this is ample for one process.
constexpr int kSlots = 64;

volatile std::sig_atomic_t sSignal = 0;
std::atomic<int> sReceived{0};

// A slot's path is written before its state becomes kReady and is never written again.
enum : int { kFree = 0, kReady = 1, kForgotten = 2 };
char sPaths[kSlots][PATH_MAX];
std::atomic<int> sState[kSlots];
int sNextSlot = 0; // main thread only

static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots");

extern "C" void OnInterrupt(int signo) {
    if (sReceived.fetch_add(1) == 0) {
        sSignal = signo;
        return;
    }
    // The run has not stopped since the first signal: leave nothing behind and end now.
    HostRemoveTemporaries();
    ::_exit(128 + signo);
}

} // namespace

void HostInterruptInstall() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    // Interrupted system calls resume: the run checks the flag itself, and plug-ins need not expect EINTR.
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

const volatile std::sig_atomic_t* HostInterruptSignal() {
    return &sSignal;
}

int HostExitStatus(int status) {
    return sSignal != 0 ? 128 + sSignal : status;
}

int HostRegisterTemporary(const std::string& path) {
    if (sNextSlot >= kSlots || path.empty() || path.size() >= PATH_MAX) return -1;
    const int slot = sNextSlot++;
    std::memcpy(sPaths[slot], path.c_str(), path.size() + 1);
    sState[slot].store(kReady, std::memory_order_release);
    return slot;
}

void HostForgetTemporary(int slot) {
    if (slot >= 0 && slot < kSlots) sState[slot].store(kForgotten, std::memory_order_release);
}

void HostRemoveTemporaries() {
    for (int i = 0; i < kSlots; ++i)
        if (sState[i].load(std::memory_order_acquire) == kReady) ::unlink(sPaths[i]);
}
