#pragma once
// HostRunCheck: runs one check of the validator in a child process of its own, so that whatever the
// plug-in does — crash, hang, end the process, print — the validator goes on and reports it.
//
// The child (made with fork, so the validator must not have started other threads) runs the check and
// writes its outcome to a pipe, preceded by the steps it announces (HostCheckContext::Step). Its standard
// output and error go to a file of their own instead of the validator's. The parent waits at most the
// check's timeout: a child killed by a signal fails the check with the signal, the step it was in and
// the last line it printed; one that hangs is killed and fails it likewise; one that ends without an
// outcome fails it with its exit status. cancel (HostInterruptSignal) stops the wait and the child.
// Called on the validator's main thread.
#include <csignal>
#include <string>

#include "host/HostValidateCheck.h"

struct HostCheckReport {
    const HostCheck* check = nullptr;
    HostCheckOutcome outcome;
    double seconds = 0.0;
};

HostCheckReport HostRunCheck(const HostCheck& check, const HostCheckContext& ctx, double timeoutSeconds,
                             const volatile std::sig_atomic_t* cancel);

// Runs the check in this process (no protection); for the child and for tests.
HostCheckOutcome HostRunCheckHere(const HostCheck& check, const HostCheckContext& ctx);
