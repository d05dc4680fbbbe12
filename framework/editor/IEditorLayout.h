#pragma once
// IEditorLayout: an editor's contents at the sizes it is drawn at natively, each in percent of its
// first size (100). The effect's layout code implements it and attaches it to its editor
// (IGraphics::AttachLayout); the editor asks it for the controls of a size whenever its size changes
// (IGraphics::SetSizePercent: a menu choice, or the window host opening at the size the desktop or the
// user asks for). An editor without a layout has one size.
//
// Owned by the editor it is attached to. Sizes and pixel sizes are constant answers, so any thread may
// ask for them (the window host answers the host's size requests from them); Attach runs on the
// editor's thread.
class IEffectBase;
class IGraphics;

class IEditorLayout {
public:
    IEditorLayout() = default;
    IEditorLayout(const IEditorLayout&) = delete;
    IEditorLayout& operator=(const IEditorLayout&) = delete;
    virtual ~IEditorLayout() = default;

    // Any thread: how many sizes are offered, and each in percent, ascending; the first is 100.
    virtual int NSizes() const = 0;
    virtual int SizePercent(int i) const = 0;
    // Any thread: the editor's width and height in pixels at percent (one of the sizes offered).
    virtual void EditorSize(int percent, int* pW, int* pH) const = 0;
    // The editor's thread: attaches every control of the size percent to pGraphics, which holds none,
    // bound to pPlug's parameters.
    virtual void Attach(IGraphics* pGraphics, IEffectBase* pPlug, int percent) const = 0;
};
