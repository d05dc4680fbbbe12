// The editor check: open, idle and close, again and again, on an X display.
#include <chrono>
#include <thread>

#include "host/HostCheckSupport.h"
#include "host/HostEditorSession.h"
#include "host/HostText.h"

HostCheckOutcome HostCheckEditor(const HostCheckContext& ctx) {
    std::string err;
    HostCheckInstance inst;
    if (!inst.Open(ctx, err)) return HostCheckOutcome::Failed(err);
    if (!inst.Effect().HasEditor()) return HostCheckOutcome::Skipped("the plug-in has no editor");
    if (!ctx.display) return HostCheckOutcome::Skipped("no X display");
    HostXConnection x(HostXConnection::OpenDefault(err));
    if (!x.Get()) return HostCheckOutcome::Skipped(err);
    HostXErrorTrap trap;
    const int errors = HostXErrorTrap::Errors();
    const int cycles = 2 + ctx.strictness;
    HostSignal out = HostSilentSignal(inst.Effect().NumOutputs(), kCheckBlock);
    int w = 0, h = 0;
    const auto begin = std::chrono::steady_clock::now();
    for (int k = 0; k < cycles; ++k) {
        ctx.Step(HostFormat("opening the editor (%d. time)", k + 1));
        HostEditorSession editor(inst.Effect(), x.Get());
        if (!editor.Open(err))
            return HostCheckOutcome::Failed(HostFormat("opening it the %d. time: ", k + 1) + err);
        for (int i = 0; i < 10; ++i) {
            ctx.Step(HostFormat("idling the editor (%d. time)", k + 1));
            editor.Idle();
            inst.Renderer().Block(nullptr, 0, kCheckBlock, out);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!editor.Size(w, h)) return HostCheckOutcome::Failed("the open editor tells no size");
        ctx.Step(HostFormat("closing the editor (%d. time)", k + 1));
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    const int xErrors = HostXErrorTrap::Errors() - errors;
    return HostCheckOutcome::Passed(HostFormat("%d x %d; opened, idled and closed %d times, %.0f ms a time%s",
                                               w, h, cycles, ms / cycles,
                                               xErrors ? HostFormat(" (%d X errors)", xErrors).c_str() : ""));
}
