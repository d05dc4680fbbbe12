#pragma once
// IEffectEditor: what the plug-in core and its bindings know of an editor. The core holds the attached
// editor through this interface only, so a build without an editor (the LV2 module) links none of the
// editor, its drawing or its fonts. The editor framework's IGraphics implements it.
//
// Threads: SetParameterFromPlug may be called from any thread, the audio thread included: it takes no
// lock and allocates nothing. Width, Height and WindowSize may be called from any thread. PrepDraw is
// called once, on the thread that attaches the editor (IEffectBase::AttachGraphics). Everything else
// comes on the host's user-interface thread, with no plug-in lock held.
//
// Ownership: the plug-in base owns the attached editor and deletes it (through this interface) before
// anything the editor's controls refer to.
class IEffectEditor {
public:
    IEffectEditor() = default;
    IEffectEditor(const IEffectEditor&) = delete;
    IEffectEditor& operator=(const IEffectEditor&) = delete;
    // Any thread that owns the editor, after its window is closed.
    virtual ~IEffectEditor() = default;

    // Any thread, lock-free: hands the value of parameter paramIdx (plain unless normalized) to the
    // editor's thread, which moves the controls. The latest value of each parameter wins.
    virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;
    // The attaching thread, once: prepares the editor's bitmaps and moves the controls to the values
    // handed over so far.
    virtual void PrepDraw() = 0;

    // The host's user-interface thread (effEditOpen): opens the window inside the host's parent window
    // (null: one of its own); the window, or null when it cannot open.
    virtual void* OpenWindow(void* pParentWnd) = 0;
    // The host's user-interface thread (effEditClose).
    virtual void CloseWindow() = 0;
    // The host's user-interface thread: whether a window is open (the user may close a window of the
    // editor's own, and a binding asks here after HostIdle).
    virtual bool WindowIsOpen() = 0;
    // The host's user-interface thread, before OpenWindow: the scale the host wants the window drawn at
    // (its own setting for dense screens); 0 leaves it to the desktop. Ignored by editors that draw at one
    // scale only.
    virtual void SetHostScale(double scale) { (void)scale; }
    // The host's user-interface thread (effEditIdle): the redraw cycle and event draining.
    virtual void HostIdle() = 0;
    // The host's user-interface thread: the file descriptor that becomes readable when the open window
    // has events waiting (a host run loop watching it calls HostIdle then); -1 when no window is open or
    // the editor has no such descriptor.
    virtual int EventFd() { return -1; }
    // Any thread: how many times a second the editor draws a frame; a host run loop's timer calls
    // HostIdle at this rate.
    virtual int FramesPerSecond() const { return 25; }
    // The host's user-interface thread: a key the host forwards (character, virtual key, modifier
    // bits); true when the editor took it.
    virtual bool HostKeyDown(int character, int virtualKey, int modifiers) = 0;
    virtual bool HostKeyUp(int character, int virtualKey, int modifiers) = 0;

    // Any thread: the editor's size in its own pixels.
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Any thread: the size of the editor's window on the screen (larger than Width x Height when the
    // window host shows the editor enlarged).
    virtual void WindowSize(int* pW, int* pH) = 0;
};
