// A small VST 2.4 effect with an X11 editor, for testing the host's snapshot command: a pass-through
// whose editor is a child window of the host's parent, kFakeEditorWidth x kFakeEditorHeight, that
// draws FakeEditorPattern on every idle call through its own display connection. Built three times:
// plain; with FAKE_EDITOR_LATE_SIZE, reporting its size only once the editor is open; and with
// FAKE_EDITOR_BLANK, never drawing anything. With FAKE_EDITOR_HANG set in the environment, its first
// idle call never returns (an editor that stopped answering).
#include "framework/vst2/VstAbi.h"
#include "tests/support/host/fakes/FakeEditorPattern.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Fake {
    AEffect effect;
    ERect rect;
    Display* display = nullptr;
    Window window = 0;
};

Fake* Self(AEffect* e) {
    return static_cast<Fake*>(e->object);
}

// An 8-bit channel placed into a visual's channel mask.
unsigned long Place(unsigned long mask, uint32_t c) {
    if (!mask) return 0;
    const int shift = __builtin_ctzl(mask), bits = __builtin_popcountl(mask);
    const unsigned long v = bits >= 8 ? static_cast<unsigned long>(c) << (bits - 8) : c >> (8 - bits);
    return (v << shift) & mask;
}

#ifdef FAKE_EDITOR_BLANK
constexpr bool kDraws = false;
#else
constexpr bool kDraws = true;
#endif

void Draw(Fake* f) {
    Display* d = f->display;
    if (!kDraws) {
        XSync(d, False);
        return;
    }
    Visual* visual = DefaultVisual(d, DefaultScreen(d));
    char* data =
        static_cast<char*>(std::malloc(static_cast<size_t>(kFakeEditorWidth) * kFakeEditorHeight * 4));
    XImage* img = XCreateImage(d, visual, static_cast<unsigned>(DefaultDepth(d, DefaultScreen(d))), ZPixmap,
                               0, data, kFakeEditorWidth, kFakeEditorHeight, 32, 0);
    if (!img) {
        std::free(data);
        return;
    }
    for (int y = 0; y < kFakeEditorHeight; ++y) {
        for (int x = 0; x < kFakeEditorWidth; ++x) {
            const uint32_t rgb = FakeEditorPattern(x, y);
            XPutPixel(img, x, y,
                      Place(visual->red_mask, rgb >> 16) | Place(visual->green_mask, (rgb >> 8) & 0xFF) |
                          Place(visual->blue_mask, rgb & 0xFF));
        }
    }
    XPutImage(d, f->window, DefaultGC(d, DefaultScreen(d)), img, 0, 0, 0, 0, kFakeEditorWidth,
              kFakeEditorHeight);
    XDestroyImage(img); // frees data
    XSync(d, False);
}

void CloseEditor(Fake* f) {
    if (!f->display) return;
    XDestroyWindow(f->display, f->window);
    XCloseDisplay(f->display);
    f->display = nullptr;
    f->window = 0;
}

intptr_t Dispatcher(AEffect* e, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    Fake* f = Self(e);
    switch (opcode) {
    case effClose:
        CloseEditor(f);
        delete f;
        return 1;
    case effGetEffectName:
        std::strcpy(static_cast<char*>(ptr), "Fake Editor");
        return 1;
    case effEditGetRect:
#ifdef FAKE_EDITOR_LATE_SIZE
        if (!f->display) {
            *static_cast<ERect**>(ptr) = nullptr;
            return 0;
        }
#endif
        f->rect = {0, 0, kFakeEditorHeight, kFakeEditorWidth};
        *static_cast<ERect**>(ptr) = &f->rect;
        return 1;
    case effEditOpen: {
        if (f->display) return 0;
        f->display = XOpenDisplay(nullptr);
        if (!f->display) return 0;
        const Window parent = static_cast<Window>(reinterpret_cast<uintptr_t>(ptr));
        f->window = XCreateSimpleWindow(f->display, parent, 0, 0, kFakeEditorWidth, kFakeEditorHeight, 0, 0,
                                        BlackPixel(f->display, DefaultScreen(f->display)));
        XMapWindow(f->display, f->window);
        XSync(f->display, False);
        return 1;
    }
    case effEditIdle:
        while (std::getenv("FAKE_EDITOR_HANG")) ::pause();
        if (f->display) {
            while (XPending(f->display)) {
                XEvent ev;
                XNextEvent(f->display, &ev);
            }
            Draw(f);
        }
        return 1;
    case effEditClose:
        CloseEditor(f);
        return 1;
    default:
        return 0;
    }
}

void Process(AEffect*, float** in, float** out, int32_t frames) {
    for (int c = 0; c < 2; ++c) std::memmove(out[c], in[c], sizeof(float) * static_cast<size_t>(frames));
}

void SetParameter(AEffect*, int32_t, float) {}
float GetParameter(AEffect*, int32_t) {
    return 0.0f;
}

} // namespace

FAKE_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    Fake* f = new Fake();
    AEffect& e = f->effect;
    e.magic = kEffectMagic;
    e.dispatcher = Dispatcher;
    e.setParameter = SetParameter;
    e.getParameter = GetParameter;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsHasEditor | effFlagsCanReplacing;
    e.uniqueID = VstFourCC('F', 'k', 'E', 'd');
    e.ioRatio = 1.0f;
    e.object = f;
    e.version = 1;
    e.processReplacing = Process;
    return &e;
}
