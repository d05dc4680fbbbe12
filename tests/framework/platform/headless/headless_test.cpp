// The headless platform: window token, frames, scripted menus, text fields, message boxes, file prompts,
// addresses, clipboard, paths and picture loading.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "framework/raster/Raster_PNG.h"
#include "tests/support/editor/EditorFixture.h"
#include "tests/support/TestDir.h"
#include "tests/support/editor/TestPictures.h"

namespace {

TEST(Headless, WindowAndFrames) {
    EditorFixture f(40, 30);
    ProbeControl* c = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kGain, "c");
    f.Attach();
    EXPECT_FALSE(f.gui->WindowIsOpen());
    EXPECT_EQ(f.gui->GetWindow(), nullptr);
    f.gui->HostIdle(); // closed: no redraw cycle
    EXPECT_EQ(f.gui->NFramesDrawn(), 0);

    void* window = f.gui->OpenWindow(nullptr);
    EXPECT_NE(window, nullptr);
    EXPECT_EQ(f.gui->GetWindow(), window);
    EXPECT_EQ(f.gui->NTooltipUpdates(), 1);
    EXPECT_EQ(f.gui->OpenWindow(nullptr, nullptr, 0, 0), nullptr); // embedding into a host control: none
    EXPECT_STREQ(f.gui->GetGUIAPI(), "Headless");

    // The idle tick draws the dirty union only while something is dirty.
    f.gui->HostIdle();
    EXPECT_EQ(f.gui->NFramesDrawn(), 1);
    EXPECT_EQ(f.gui->LastScreenRect(), IRECT(0, 0, 10, 10));
    f.gui->HostIdle(); // nothing dirty
    EXPECT_EQ(f.gui->NFramesDrawn(), 1);
    f.gui->SetParameterFromPlug(RecordingPlug::kGain, 0.9, true);
    f.gui->HostIdle();
    f.gui->HostIdle(); // a value change draws twice
    f.gui->HostIdle();
    EXPECT_EQ(f.gui->NFramesDrawn(), 3);
    EXPECT_EQ(c->GetValue(), 0.9);

    f.gui->CloseWindow();
    EXPECT_EQ(f.gui->GetWindow(), nullptr);
    f.gui->CloseWindow(); // twice: nothing
    EXPECT_FALSE(f.gui->HostKeyDown('a', 0, 0));
    EXPECT_FALSE(f.gui->HostKeyUp('a', 0, 0));
}

TEST(Headless, MenuAnswers) {
    IPopupMenu sub;
    sub.AddItem("s0");
    sub.AddItem("s1", -1, IPopupMenuItem::kItemDisabled);
    sub.AddItem("s2");
    IPopupMenu menu;
    menu.AddItem("a");
    menu.AddItem("more", &sub);
    menu.AddSeparator();
    menu.AddItem("d", -1, IPopupMenuItem::kItemChecked);
    struct Case {
        std::vector<int> path;
        IPopupMenu* expectedMenu;
        int expectedIdx;
    };
    const Case cases[] = {
        {{0}, &menu, 0},       {{3}, &menu, 3},   {{1, 2}, &sub, 2},
        {{1, 0}, &sub, 0},     {{}, nullptr, -1}, // dismissed
        {{1}, nullptr, -1},                       // a submenu entry cannot be chosen itself
        {{2}, nullptr, -1},                       // a separator
        {{1, 1}, nullptr, -1},                    // a disabled item
        {{9}, nullptr, -1},                       // no such item
        {{0, 1}, nullptr, -1},                    // "a" has no submenu
    };
    for (const Case& c : cases) {
        EditorFixture f;
        f.Attach();
        f.gui->OpenWindow(nullptr);
        menu.SetChosenItemIdx(-1);
        sub.SetChosenItemIdx(-1);
        f.gui->QueueMenuAnswer(c.path);
        IRECT r(1, 2, 3, 4);
        IPopupMenu* chosen = f.gui->CreateIPopupMenu(&menu, &r);
        EXPECT_EQ(chosen, c.expectedMenu);
        if (chosen) {
            EXPECT_EQ(chosen->GetChosenItemIdx(), c.expectedIdx);
        }
        ASSERT_EQ(f.gui->MenuRequests().size(), 1u);
        const auto& req = f.gui->MenuRequests()[0];
        EXPECT_EQ(req.mItems, (std::vector<std::string>{"a", "more", "", "d"}));
        EXPECT_EQ(req.mFlags,
                  (std::vector<int>{0, 0, IPopupMenuItem::kItemSeparator, IPopupMenuItem::kItemChecked}));
        EXPECT_EQ(req.mHasSubmenu, (std::vector<bool>{false, true, false, false}));
        EXPECT_EQ(req.mRect, r);
    }
    // Closed window: dismissed even with an answer; the mouse capture is released either way.
    EditorFixture f;
    f.AddProbe(IRECT(0, 0, 10, 10), -1, "p");
    f.Attach();
    IMouseMod mod(true);
    f.gui->OnMouseDown(1, 1, &mod);
    EXPECT_EQ(f.gui->GetCaptureIdx(), 0);
    f.gui->QueueMenuAnswer({0});
    EXPECT_EQ(f.gui->CreateIPopupMenu(&menu, nullptr), nullptr);
    EXPECT_EQ(f.gui->GetCaptureIdx(), -1);
}

// A control that records the text of a field opened without a parameter.
class TextSink : public IControl {
public:
    TextSink(IEffectBase* plug) : IControl(plug, nullptr) {}
    bool Draw(IGraphics*) override { return true; }
    void TextFromTextEntry(const char* txt) override { mText = txt; }
    std::string mText;
};

TEST(Headless, TextFields) {
    EditorFixture f;
    ProbeControl* gain = f.AddProbe(IRECT(0, 0, 10, 10), RecordingPlug::kGain, "gain");
    auto* sink = new TextSink(&f.plug);
    f.gui->AttachControl(sink);
    f.Attach();
    f.gui->OpenWindow(nullptr);
    IRECT r(1, 1, 9, 9);

    // Without an answer the field stays open until committed (or ended without committing).
    f.gui->CreateTextEntry(gain, gain->GetText(), &r, "0.50", f.plug.GetParam(RecordingPlug::kGain));
    EXPECT_TRUE(f.gui->TextEntryOpen());
    f.gui->CreateTextEntry(sink, sink->GetText(), &r, "second", nullptr); // one field at a time
    EXPECT_EQ(f.gui->TextEntryRequests().size(), 1u);
    EXPECT_TRUE(f.gui->CommitTextEntry("0.3"));
    EXPECT_FALSE(f.gui->TextEntryOpen());
    EXPECT_EQ(gain->GetValue(), 0.3);
    EXPECT_FALSE(f.gui->CommitTextEntry("0.4"));

    f.gui->CreateTextEntry(gain, gain->GetText(), &r, "0.30", f.plug.GetParam(RecordingPlug::kGain));
    f.gui->ForceEndUserEdit();
    EXPECT_FALSE(f.gui->TextEntryOpen());
    EXPECT_FALSE(f.gui->CommitTextEntry("0.9"));
    EXPECT_EQ(gain->GetValue(), 0.3);

    // Without a parameter the control gets the text.
    f.gui->QueueTextEntryAnswer("hello");
    f.gui->CreateTextEntry(sink, sink->GetText(), &r, "", nullptr);
    EXPECT_EQ(sink->mText, "hello");
    EXPECT_FALSE(f.gui->TextEntryOpen());
    f.gui->CreateTextEntry(nullptr, nullptr, &r, "", nullptr); // no control: nothing
    EXPECT_EQ(f.gui->TextEntryRequests().size(), 3u);
}

TEST(Headless, MessageBoxesAddressesClipboard) {
    EditorFixture f;
    f.Attach();
    EXPECT_EQ(f.gui->ShowMessageBox("text", "caption", kMB_YESNO), kMB_None);
    f.gui->QueueMessageBoxAnswer(kMB_Second);
    EXPECT_EQ(f.gui->ShowMessageBox("t2", "c2", kMB_OKCANCEL), kMB_Second);
    ASSERT_EQ(f.gui->MessageBoxRequests().size(), 2u);
    EXPECT_EQ(f.gui->MessageBoxRequests()[1].mText, "t2");
    EXPECT_EQ(f.gui->MessageBoxRequests()[1].mCaption, "c2");
    EXPECT_EQ(f.gui->MessageBoxRequests()[1].mType, kMB_OKCANCEL);

    EXPECT_TRUE(f.gui->OpenURL("https://x.example"));
    f.gui->QueueOpenURLAnswer(false);
    EXPECT_FALSE(f.gui->OpenURL("/tmp/file"));
    EXPECT_EQ(f.gui->OpenedURLs(), (std::vector<std::string>{"https://x.example", "/tmp/file"}));

    Util_String clip("old");
    EXPECT_FALSE(f.gui->GetTextFromClipboard(&clip));
    EXPECT_STREQ(clip.Get(), "");
    f.gui->SetClipboardText("copied");
    EXPECT_TRUE(f.gui->GetTextFromClipboard(&clip));
    EXPECT_STREQ(clip.Get(), "copied");

    IColor colour;
    EXPECT_FALSE(f.gui->PromptForColor(&colour));
}

TEST(Headless, FilePromptsAndPaths) {
    EditorFixture f(10, 10, "/data/headless/");
    f.Attach();
    Util_String file("suggested.wav"), dir;
    f.gui->PromptForFile(&file, kFileOpen, &dir, "wav");
    EXPECT_STREQ(file.Get(), ""); // no window: nothing asked
    EXPECT_TRUE(f.gui->FileRequests().empty());

    f.gui->OpenWindow(nullptr);
    file.Set("suggested.wav");
    f.gui->PromptForFile(&file, kFileOpen, &dir, "wav aiff"); // no answer: cancelled
    EXPECT_STREQ(file.Get(), "");
    EXPECT_STREQ(dir.Get(), "/data/headless/Desktop"); // the start folder is written back
    ASSERT_EQ(f.gui->FileRequests().size(), 1u);
    EXPECT_EQ(f.gui->FileRequests()[0].mSuggestedFile, "suggested.wav");
    EXPECT_EQ(f.gui->FileRequests()[0].mExtensions, "wav aiff");

    f.gui->QueueFileAnswer("/music/a/b.wav");
    f.gui->PromptForFile(&file, kFileSave, &dir, "wav");
    EXPECT_STREQ(file.Get(), "/music/a/b.wav");
    EXPECT_STREQ(dir.Get(), "/music/a/");
    EXPECT_EQ(f.gui->FileRequests()[1].mStartDir, "/data/headless/Desktop");
    EXPECT_EQ(f.gui->FileRequests()[1].mAction, kFileSave);

    struct Case {
        void (IGraphicsHeadless::*fn)(Util_String*);
        const char* expected;
    };
    const Case cases[] = {{&IGraphicsHeadless::HostPath, "/data/headless/host"},
                          {&IGraphicsHeadless::PluginPath, "/data/headless/"},
                          {&IGraphicsHeadless::DesktopPath, "/data/headless/Desktop"},
                          {&IGraphicsHeadless::SandboxSafeAppSupportPath, "/data/headless/Music"}};
    for (const Case& c : cases) {
        Util_String p;
        (f.gui->*c.fn)(&p);
        EXPECT_STREQ(p.Get(), c.expected);
    }
    Util_String user, system;
    f.gui->AppSupportPath(&user, false);
    f.gui->AppSupportPath(&system, true);
    EXPECT_STREQ(user.Get(), "/data/headless/AppSupport");
    EXPECT_STREQ(system.Get(), "/data/headless/SystemAppSupport");
}

TEST(Headless, PictureLookup) {
    TestDir folder("headless");
    auto inFolder = MakeSolidPicture(3, 2, Px(10, 20, 30));
    auto compiledIn = MakeSolidPicture(5, 4, Px(40, 50, 60));
    ASSERT_TRUE(Raster_WritePNG(inFolder.get(), (folder / "hl_file.png").c_str()));
    ASSERT_TRUE(Raster_WritePNG(inFolder.get(), (folder / "hl_both.PNG").c_str()));
    RegisterPicture("hl_both.PNG", compiledIn.get());
    {
        FILE* corrupt = std::fopen((folder / "hl_corrupt.png").c_str(), "wb");
        std::fputs("\x89PNG\r\n\x1a\nnot really", corrupt);
        std::fclose(corrupt);
    }
    EditorFixture f(10, 10, folder.Path().c_str());
    struct Case {
        const char* name;
        int w, h; // 0: nothing loaded
    };
    const Case cases[] = {
        {"hl_file.png", 3, 2},     {"img/deeper/hl_file.png", 3, 2}, // the last path component is looked up
        {"hl_both.PNG", 5, 4}, // compiled in first, any letter case of the extension
        {"hl_missing.png", 0, 0},  {"hl_corrupt.png", 0, 0},
        {"hl_file", 0, 0}, // not a PNG name
        {"hl_file.png.txt", 0, 0}, {nullptr, 0, 0},
    };
    for (const Case& c : cases) {
        Raster_IBitmap* bm = f.gui->OSLoadBitmap(1, c.name);
        if (c.w == 0) {
            EXPECT_EQ(bm, nullptr) << (c.name ? c.name : "null");
        } else {
            ASSERT_NE(bm, nullptr) << c.name;
            EXPECT_EQ(bm->getWidth(), c.w);
            EXPECT_EQ(bm->getHeight(), c.h);
        }
        delete bm;
    }
}

} // namespace
