#pragma once
// IEffectLV2UI: an effect's editor as an LV2 UI (a ui:X11UI), in the role IEffectLV2 plays for the
// plug-in. The UI is a plug-in object of its own (an IEffectBase built from the effect's description:
// parameters only, it never processes audio) that holds the editor, and it talks to the plug-in through
// its ports only, as LV2 requires (no instance access: the host may run the UI in another process):
// - a control moved in the editor (SetParameterFromGUI) goes to the host's write function as the
//   parameter's plain value, on the control input of LV2PortLayout, and the press and release around it
//   (Begin / EndInformHostOfParamChange) to ui:touch when the host offers it;
// - a control input's value the host reports through port_event (automation, presets, another UI)
//   moves the editor's controls (IEffectEditor::SetParameterFromPlug), with the plug-in's rules (NaN
//   changes nothing, values clamp to the range, integer parameters land on their steps). While the user
//   holds a control, port events for its parameter are passed over: the user's hand wins, and a host
//   echoing the values we write cannot pull the control back in the middle of a drag.
// It knows the editor only as an IEffectEditor: the effect's UI entry makes the window host with the
// effect's controls and attaches it (AttachGraphics), as the VST 2 entry does.
//
// Window. With ui:parent the editor opens as a child of the host's window at instantiate (its window is
// the widget) and the host learns its size through ui:resize when offered. Without it the UI shows and
// hides a top-level window of its own through ui:showInterface (OpenWindow(nullptr) / CloseWindow);
// idle then answers 1 once the user has closed that window. ui:idleInterface drives the editor (its
// redraw cycle and event draining: IEffectEditor::HostIdle); the editor is made to draw at the host's
// ui:updateRate (30 frames a second when not given), so every idle call may bring a frame. ui:scaleFactor
// of 2 or more asks for the doubled picture (IEffectEditor::SetHostScale). Instantiate answers null,
// silently, for another plug-in's URI, when the factory refuses (no display) or when the window cannot
// open in the host's parent.
//
// Threads: LV2 calls every UI function on the host's user-interface thread, one at a time; the write,
// touch and resize functions are called back on it, with no plug-in lock held. No threads of our own.
// No C++ exception leaves a descriptor function.
//
// Ownership: the instance is made by LV2UICreateInstance and deleted by cleanup, which deletes the
// editor (closing its window, which the host's parent may have taken with it already). The host owns the
// features, its parent window and the controller; the instance keeps their addresses for its lifetime.
#include <cstdint>
#include <string>

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include "framework/lv2/LV2PortLayout.h"
#include "framework/plugin/IEffectBase.h"

// What LV2UICreateInstance hands the UI factory.
struct IEffectLV2UIInfo {
    const char* mBundlePath = nullptr;
    const LV2_Feature* const* mFeatures = nullptr; // null-terminated; may be null
    LV2UI_Write_Function mWrite = nullptr;         // may be null: the UI then writes nothing
    LV2UI_Controller mController = nullptr;
    bool mHasParent = false; // the host gave ui:parent
    int mFPS = 30;           // the host's ui:updateRate when usable (1 to 1000, rounded), else 30
};

class IEffectLV2UI : public IEffectBase {
public:
    // Constructs the base from the description (API LV2) and reads the host's features: ui:parent,
    // ui:resize, ui:touch, and (with urid:map) the option ui:scaleFactor.
    IEffectLV2UI(const IEffectLV2UIInfo& info, const IEffectDescription& desc);
    ~IEffectLV2UI() override;
    // The UI's URI for a plug-in: its URI followed by "#ui" (the Turtle generator writes the same).
    static std::string URIFor(const IEffectDescription& desc);
    // A descriptor for the UI URI whose instantiate is the given function; the others are this class's.
    static LV2UI_Descriptor MakeDescriptor(const char* uri,
                                           LV2UI_Handle (*instantiate)(const LV2UI_Descriptor*, const char*,
                                                                       const char*, LV2UI_Write_Function,
                                                                       LV2UI_Controller, LV2UI_Widget*,
                                                                       const LV2_Feature* const*));

    // ---- The descriptor's functions and interfaces (the host's user-interface thread) ----
    static void Cleanup(LV2UI_Handle ui);
    static void PortEvent(LV2UI_Handle ui, uint32_t port, uint32_t bufferSize, uint32_t format,
                          const void* buffer);
    // ui:idleInterface and ui:showInterface; null for anything else.
    static const void* ExtensionData(const char* uri);
    // The editor's idle call; 1 when the top-level window shown before has been closed by the user.
    static int Idle(LV2UI_Handle ui);
    // Opens (Show) or closes (Hide) the top-level window; nothing while the editor lives in the host's
    // window. Show answers 1 when the window cannot open.
    static int Show(LV2UI_Handle ui);
    static int Hide(LV2UI_Handle ui);

    // ---- What the editor tells the host (the editor's thread, no lock held) ----
    // ui:touch grabbed / released for the parameter's port, when the host offers it.
    void BeginInformHostOfParamChange(int paramIdx) override;
    // The parameter's plain value to its control input through the host's write function.
    void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
    void EndInformHostOfParamChange(int paramIdx) override;
    // The editor's size changed: the host hears the window's size through ui:resize.
    void ResizeGraphics(int w, int h) override;

    // Instantiate's last step: hands the host's scale to the editor and, with ui:parent, opens the
    // editor's window in it and tells the host its size. The window (null without a parent); false when
    // there is no editor or the window cannot open in the parent.
    bool OpenEditor(void** pWindow);

    const LV2PortLayout& GetPortLayout() const { return mLayout; }

private:
    void HandlePortEvent(uint32_t port, float value);
    int HandleIdle();
    int HandleShow();
    int HandleHide();
    void TellSize();

    LV2PortLayout mLayout;
    LV2UI_Write_Function mWrite = nullptr;
    LV2UI_Controller mController = nullptr;
    void* mParent = nullptr;
    const LV2UI_Resize* mResize = nullptr;
    const LV2UI_Touch* mTouch = nullptr;
    double mScaleFactor = 0.0; // ui:scaleFactor; 0 when not given
    int mHeldParam = -1;       // the parameter of the control the user holds; -1 when none
    bool mShown = false;       // our top-level window was shown and not hidden since
};

// The instantiate steps, for a UI entry that names its description and UI factory: refuses (null) a
// plug-in URI other than the description's and a factory that fails or throws; otherwise makes the UI
// (the factory attaches its editor), hands the host's scale to the editor, and with ui:parent opens the
// editor's window there (null when it cannot open) and tells the host its size. *widget becomes the
// window (null without a parent).
LV2UI_Handle LV2UICreateInstance(const IEffectDescription& desc,
                                 IEffectLV2UI* (*factory)(const IEffectLV2UIInfo&), const char* pluginURI,
                                 const char* bundlePath, LV2UI_Write_Function write,
                                 LV2UI_Controller controller, LV2UI_Widget* widget,
                                 const LV2_Feature* const* features);
