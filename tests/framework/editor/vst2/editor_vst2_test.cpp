// The editor attached to a VST effect and driven through the effect record as a host drives it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "framework/editor/EditorStores.h"
#include "framework/editor/IControls_Bitmap.h"
#include "framework/editor/IControls_Knob.h"
#include "framework/raster/raster.h"
#include "tests/support/editor/EditorTestEffect.h"
#include "tests/support/vst2/TestHost.h"

namespace {

using E = EditorTestEffect;

struct Session {
    TestHost host;
    AEffect* effect;
    E* plug;
    IGraphicsHeadless* gui;

    Session() {
        effect = host.Load(E::Entry);
        plug = effect ? E::From(effect) : nullptr;
        gui = plug ? plug->Headless() : nullptr;
    }
    // effOpen, then the editor window (the host's parent window is a token here).
    void OpenEditor() {
        host.Open();
        ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, &mParent), 1);
    }
    IKnobMultiControl* Knob() { return static_cast<IKnobMultiControl*>(gui->GetControl(E::kKnob)); }
    IControl* Control(int i) { return gui->GetControl(i); }
    int mParent = 0;
};

TEST(EditorVst2, RecordAndSizeBeforeTheWindowOpens) {
    Session s;
    ASSERT_NE(s.gui, nullptr);
    EXPECT_EQ(s.effect->flags, 0x1018 | effFlagsHasEditor);
    // Hosts size their window before opening the editor.
    ERect* rect = nullptr;
    EXPECT_EQ(s.host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 306);
    EXPECT_EQ(rect->right, 555);
    EXPECT_EQ(s.host.Dispatch(effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_FALSE(s.gui->WindowIsOpen());
    // The controls took the parameters' values when the editor was attached.
    EXPECT_EQ(s.Knob()->GetValue(), 0.5);
    EXPECT_EQ(s.Knob()->GetDefaultValue(), 0.5);
    EXPECT_EQ(s.Control(E::kSwitch)->GetValue(), 1.0);
}

TEST(EditorVst2, ResizingTheEditorChangesTheReportedSize) {
    Session s;
    s.OpenEditor();
    s.gui->Resize(600, 320);
    ERect* rect = nullptr;
    ASSERT_EQ(s.host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->bottom, 320);
    EXPECT_EQ(rect->right, 600);
    EXPECT_EQ(s.gui->GetDrawBitmap()->getWidth(), 600);
}

TEST(EditorVst2, OpenIdleClose) {
    Session s;
    s.host.Open();
    int parent = 0;
    EXPECT_EQ(s.host.Dispatch(effEditOpen, 0, 0, &parent), 1);
    EXPECT_TRUE(s.gui->WindowIsOpen());
    // The first idle calls draw everything once, then twice more for nothing.
    s.host.Dispatch(effEditIdle);
    EXPECT_EQ(s.gui->NFramesDrawn(), 1);
    EXPECT_EQ(s.gui->LastScreenRect(), IRECT(0, 0, 555, 306));
    s.host.Dispatch(effEditIdle);
    s.host.Dispatch(effEditIdle);
    EXPECT_EQ(s.gui->NFramesDrawn(), 1);
    EXPECT_EQ(s.host.Dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f), 0);
    EXPECT_EQ(s.host.Dispatch(effEditKeyUp, 'a', 0, nullptr, 0.0f), 0);

    EXPECT_EQ(s.host.Dispatch(effEditClose), 1);
    EXPECT_FALSE(s.gui->WindowIsOpen());
    s.host.SetParameter(E::kGain, 0.1f);
    s.host.Dispatch(effEditIdle); // closed: no drawing
    EXPECT_EQ(s.gui->NFramesDrawn(), 1);
    // Open again: the controls survived.
    EXPECT_EQ(s.host.Dispatch(effEditOpen, 0, 0, &parent), 1);
    s.host.Dispatch(effEditIdle);
    EXPECT_EQ(s.gui->NFramesDrawn(), 2);
    EXPECT_FLOAT_EQ(static_cast<float>(s.Knob()->GetValue()), 0.1f);
}

// The knob's area as the picture store's strip frame over the background, composed with raster calls.
std::vector<uint32_t> ExpectedKnobArea(Session& s, int frame) {
    const IBitmap* strip = s.Knob()->GetBitmap();
    IBitmap back = s.gui->LoadIBitmap(100, "back.png");
    const int size = E::kKnobSize;
    Raster_MemBitmap area(size, size);
    Raster_Blit(&area, back.mData, 0, 0, E::kKnobX, E::kKnobY, size, size, 1.0f, RASTER_BLEND_COPY);
    Raster_Blit(&area, strip->mData, 0, 0, 0, (frame - 1) * size, size, size, 1.0f,
                RASTER_BLEND_SOURCE_ALPHA);
    std::vector<uint32_t> out;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) out.push_back(area.getBits()[y * area.getRowSpan() + x]);
    return out;
}

std::vector<uint32_t> DrawnKnobArea(Session& s) {
    Raster_IBitmap* bm = s.gui->GetDrawBitmap();
    std::vector<uint32_t> out;
    for (int y = 0; y < E::kKnobSize; ++y)
        for (int x = 0; x < E::kKnobSize; ++x)
            out.push_back(bm->getBits()[(E::kKnobY + y) * bm->getRowSpan() + E::kKnobX + x]);
    return out;
}

TEST(EditorVst2, HostAutomationMovesTheKnobAtTheNextDraw) {
    Session s;
    s.OpenEditor();
    s.host.Dispatch(effEditIdle);
    // Value 0.5 of 60 frames: (int)(59 * 0.5 + 0.5) = 30, frame 31.
    EXPECT_EQ(DrawnKnobArea(s), ExpectedKnobArea(s, 31));
    const int frames = s.gui->NFramesDrawn();

    s.host.SetParameter(E::kGain, 1.0f);
    EXPECT_EQ(s.Knob()->GetValue(), 0.5); // not yet: the editor's thread applies it
    EXPECT_EQ(DrawnKnobArea(s), ExpectedKnobArea(s, 31));
    s.host.Dispatch(effEditIdle);
    EXPECT_EQ(s.Knob()->GetValue(), 1.0);
    EXPECT_EQ(s.gui->NFramesDrawn(), frames + 1);
    EXPECT_EQ(s.gui->LastScreenRect(), *s.Knob()->GetRECT());
    EXPECT_EQ(DrawnKnobArea(s), ExpectedKnobArea(s, 60));
    // The host is not told back about its own change.
    EXPECT_TRUE(s.host.Calls(audioMasterAutomate).empty());
}

TEST(EditorVst2, DragSendsAGestureToTheHost) {
    Session s;
    s.OpenEditor();
    s.host.ClearCalls();
    // The window host's part: press, drag up 10 pixels in two steps, release.
    IMouseMod mod(true);
    const int x = E::kKnobX + 10, y = E::kKnobY + 10;
    s.gui->OnMouseDown(x, y, &mod);
    s.gui->OnMouseDrag(x, y - 4, &mod);
    s.gui->OnMouseDrag(x, y - 10, &mod);
    s.gui->OnMouseUp(x, y - 10, &mod);

    const auto calls = s.host.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[2].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[3].opcode, audioMasterEndEdit);
    for (const auto& c : calls) EXPECT_EQ(c.index, E::kGain);
    // Gearing 2 on a 48-pixel knob: each pixel up is 1 / 96.
    EXPECT_FLOAT_EQ(calls[1].opt, static_cast<float>(0.5 + 4.0 / 96.0));
    EXPECT_FLOAT_EQ(calls[2].opt, static_cast<float>(0.5 + 10.0 / 96.0));
    EXPECT_FLOAT_EQ(s.host.GetParameter(E::kGain), calls[2].opt);
    // The switch: one press toggles OnOff off, with its gesture.
    s.host.ClearCalls();
    s.gui->OnMouseDown(E::kSwitchX + 2, E::kSwitchY + 2, &mod);
    s.gui->OnMouseUp(E::kSwitchX + 2, E::kSwitchY + 2, &mod);
    const auto sw = s.host.Calls();
    ASSERT_EQ(sw.size(), 3u);
    EXPECT_EQ(sw[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(sw[1].opcode, audioMasterAutomate);
    EXPECT_EQ(sw[1].opt, 0.0f);
    EXPECT_EQ(sw[2].opcode, audioMasterEndEdit);
    EXPECT_EQ(s.host.GetParameter(E::kOnOff), 0.0f);
}

TEST(EditorVst2, ProgramsChunksAndTextValuesMoveTheControls) {
    Session s;
    s.OpenEditor();
    s.host.Dispatch(effEditIdle);

    s.host.Dispatch(effSetProgram, 0, 1); // "Loud": 0.9, 2 s, Hard, on
    s.host.Dispatch(effEditIdle);
    EXPECT_DOUBLE_EQ(s.Knob()->GetValue(), 0.9);
    EXPECT_DOUBLE_EQ(s.Control(E::kRadio)->GetValue(), 0.5);
    const std::vector<uint8_t> loud = s.host.GetChunk(false);

    s.host.Dispatch(effSetProgram, 0, 2); // "Off"
    s.host.Dispatch(effEditIdle);
    EXPECT_DOUBLE_EQ(s.Knob()->GetValue(), 0.5);
    EXPECT_EQ(s.Control(E::kSwitch)->GetValue(), 0.0);

    ASSERT_EQ(s.host.SetChunk(loud, false), 1);
    s.host.Dispatch(effEditIdle);
    EXPECT_DOUBLE_EQ(s.Knob()->GetValue(), 0.9);
    EXPECT_EQ(s.Control(E::kSwitch)->GetValue(), 1.0);

    char wild[] = "Wild", quarter[] = "0.25";
    EXPECT_EQ(s.host.Dispatch(effString2Parameter, E::kMode, 0, wild), 1);
    EXPECT_EQ(s.host.Dispatch(effString2Parameter, E::kGain, 0, quarter), 1);
    s.host.Dispatch(effEditIdle);
    EXPECT_EQ(s.Control(E::kRadio)->GetValue(), 1.0);
    EXPECT_DOUBLE_EQ(s.Knob()->GetValue(), 0.25);
    EXPECT_TRUE(s.host.Calls(audioMasterAutomate).empty());
}

TEST(EditorVst2, EditorCallsDoNotWaitForThePluginMutex) {
    Session s;
    s.host.Open();
    std::mutex m;
    std::condition_variable cv;
    bool locked = false, done = false, heldThroughout = false;
    std::thread holder([&] {
        Util_MutexLock lock(s.plug->GetMutex()); // as an audio callback would
        std::unique_lock<std::mutex> l(m);
        locked = true;
        cv.notify_all();
        heldThroughout = cv.wait_for(l, std::chrono::seconds(20), [&] { return done; });
    });
    {
        std::unique_lock<std::mutex> l(m);
        cv.wait(l, [&] { return locked; });
    }
    int parent = 0;
    ERect* rect = nullptr;
    EXPECT_EQ(s.host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(s.host.Dispatch(effEditOpen, 0, 0, &parent), 1);
    s.host.Dispatch(effEditIdle);
    EXPECT_EQ(s.host.Dispatch(effEditClose), 1);
    {
        std::lock_guard<std::mutex> l(m);
        done = true;
    }
    cv.notify_all();
    holder.join();
    EXPECT_TRUE(heldThroughout); // the editor calls finished while the mutex was held elsewhere
    EXPECT_EQ(s.gui->NFramesDrawn(), 1);
}

TEST(EditorVst2, CloseDeletesTheEditorAndEmptiesTheStores) {
    {
        Session s;
        s.OpenEditor();
        s.host.Dispatch(effEditIdle);
        const EditorStores::Counts c = EditorStores::GetCounts();
        EXPECT_EQ(c.mEditors, 1);
        EXPECT_EQ(c.mBitmaps, 4);
        EXPECT_EQ(c.mFonts, 1);
        // Closed by the host without closing the editor window first.
        s.host.Close();
    }
    const EditorStores::Counts c = EditorStores::GetCounts();
    EXPECT_EQ(c.mEditors, 0);
    EXPECT_EQ(c.mBitmaps, 0);
    EXPECT_EQ(c.mFonts, 0);
}

} // namespace
