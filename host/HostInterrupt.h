#pragma once
// SIGINT and SIGTERM for tidebloom-host.
//
// HostInterruptInstall (main, once, before any other thread exists) sets handlers that do only
// async-signal-safe work. The first signal is recorded in HostInterruptSignal(), which the run checks
// between audio blocks and before it moves its outputs into place: it then stops, its temporaries are
// removed by their owners and every output is left as it was; main ends with HostExitStatus(), that is
// 128 + the signal's number (130 for SIGINT, 143 for SIGTERM). A second signal means the run did not
// stop (a plug-in that never returns, a FIFO whose reader stopped reading): the handler removes the
// temporaries registered below and ends the process at once with the same status.
//
// Temporaries are registered by HostOutputs on the main thread (a fixed number of slots, never reused
// within a process, so a handler running on another thread never reads a path being rewritten);
// HostRemoveTemporaries is also for other ways out that skip destructors (HostWatchdog).
#include <csignal>
#include <string>

void HostInterruptInstall();
// 0, or the number of the first SIGINT or SIGTERM received.
const volatile std::sig_atomic_t* HostInterruptSignal();
// status, or 128 + the signal's number once one was received.
int HostExitStatus(int status);

// Registers a temporary file's path to be removed by a second signal; a slot number, or -1 when the
// slots are used up or the path is too long (the owner's destructor still removes it after the first).
int HostRegisterTemporary(const std::string& path);
// The temporary is gone or renamed into place: no longer removed by a signal.
void HostForgetTemporary(int slot);
// Unlinks every registered temporary; async-signal-safe.
void HostRemoveTemporaries();
