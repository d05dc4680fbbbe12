// Text, caption, link, file selector and bitmap-font text.
#include <gtest/gtest.h>

#include "framework/editor/IBitmapMonoText.h"
#include "framework/editor/IControls_Text.h"
#include "tests/framework/editor/controls/ControlScene.h"

namespace {

constexpr uint32_t kMarker = Px(1, 2, 3, 4);

int PaintedIn(ControlScene& s, IRECT r) {
    int n = 0;
    for (int y = r.T; y < r.B; ++y)
        for (int x = r.L; x < r.R; ++x) n += s.At(x, y) != kMarker;
    return n;
}

TEST(TextControl, TextFromPlug) {
    ControlScene s(100, 40);
    IText text(14, &COLOR_WHITE);
    IRECT r(0, 0, 100, 40);
    auto* t = s.Add(new ITextControl(&s.plug, &r, &text, ""));
    s.Open();
    s.DrawAll(kMarker);
    EXPECT_EQ(PaintedIn(s, r), 0); // empty: nothing drawn
    t->SetTextFromPlug("");
    EXPECT_FALSE(t->IsDirty()); // equal text: nothing
    t->SetTextFromPlug("Hello");
    EXPECT_TRUE(t->IsDirty());
    EXPECT_STREQ(t->GetTextString(), "Hello");
    s.DrawAll(kMarker);
    EXPECT_GT(PaintedIn(s, r), 0);
    EXPECT_EQ(t->GetText()->mColor, COLOR_WHITE); // the style was copied
    t->SetClean();
    t->SetTextFromPlug("Hello");
    EXPECT_FALSE(t->IsDirty());
    t->ClearTextFromPlug();
    EXPECT_STREQ(t->GetTextString(), "");
}

TEST(CaptionControl, ValueAndLabel) {
    struct Case {
        int param;
        double plain;
        bool label;
        const char* expected;
    };
    const Case cases[] = {
        {RecordingPlug::kLevel, 3.0, true, "-3.0 dB"},
        {RecordingPlug::kLevel, 3.0, false, "-3.0"},
        {RecordingPlug::kMode, 2, true, "Wild "}, // a display text: the label is empty
        {RecordingPlug::kSteps, 7, false, "7"},
    };
    for (const Case& c : cases) {
        ControlScene s(100, 40);
        IText text(12, &COLOR_WHITE);
        IRECT r(0, 0, 100, 40);
        auto* caption = s.Add(new ICaptionControl(&s.plug, &r, c.param, &text, c.label));
        EXPECT_EQ(caption->GetParamIdx(), c.param);
        s.Open();
        s.plug.GetParam(c.param)->Set(c.plain);
        s.DrawAll(kMarker);
        EXPECT_STREQ(caption->GetTextString(), c.expected);
        EXPECT_GT(PaintedIn(s, r), 0);
    }
}

TEST(CaptionControl, PressAndDoubleClickPrompt) {
    ControlScene s(100, 40);
    IText text;
    IRECT r(0, 0, 50, 20);
    auto* caption = s.Add(new ICaptionControl(&s.plug, &r, RecordingPlug::kMode, &text));
    s.Open();
    IMouseMod mod(true);
    s.Click(5, 5);
    s.gui->OnMouseDblClick(5, 5, &mod);
    EXPECT_TRUE(s.gui->MenuRequests().empty()); // prompts disabled by default
    caption->SetPromptDisabled(false);
    s.Click(5, 5);
    s.Press(5, 5, IMouseMod(false, true));
    s.gui->OnMouseDblClick(5, 5, &mod);
    EXPECT_EQ(s.gui->MenuRequests().size(), 3u);
}

TEST(URLControl, BackupAddress) {
    struct Case {
        const char* url;
        const char* backup;
        std::vector<bool> answers;
        std::vector<std::string> opened;
    };
    const Case cases[] = {
        {"https://a.example", "https://b.example", {true}, {"https://a.example"}},
        {"https://a.example", "https://b.example", {false}, {"https://a.example", "https://b.example"}},
        {"", "https://b.example", {}, {"https://b.example"}},
        {"https://a.example", nullptr, {false}, {"https://a.example"}},
        {nullptr, nullptr, {}, {}},
    };
    for (const Case& c : cases) {
        ControlScene s;
        IRECT r(0, 0, 20, 20);
        auto* link = s.Add(new IURLControl(&s.plug, &r, c.url, c.backup, "could not open"));
        s.Open();
        for (bool a : c.answers) s.gui->QueueOpenURLAnswer(a);
        s.Click(5, 5);
        EXPECT_EQ(s.gui->OpenedURLs(), c.opened);
        s.DrawAll(kMarker);
        EXPECT_EQ(s.At(5, 5), kMarker);
        (void)link;
    }
    // Addresses longer than the field are cut, not overrun.
    ControlScene s;
    IRECT r(0, 0, 20, 20);
    const std::string longURL(700, 'x');
    s.Add(new IURLControl(&s.plug, &r, longURL.c_str()));
    s.Open();
    s.Click(5, 5);
    ASSERT_EQ(s.gui->OpenedURLs().size(), 1u);
    EXPECT_EQ(s.gui->OpenedURLs()[0], std::string(kMaxURLLen - 1, 'x'));
}

// The headless platform that draws the editor while its file dialog is up, as a real one would.
class DrawingHeadless : public IGraphicsHeadless {
public:
    using IGraphicsHeadless::IGraphicsHeadless;
    void PromptForFile(Util_String* pFile, EFileAction action, Util_String* pDir, const char* ext) override {
        IRECT all(0, 0, Width(), Height());
        Draw(&all);
        IGraphicsHeadless::PromptForFile(pFile, action, pDir, ext);
    }
};

TEST(FileSelector, SelectsAFile) {
    RecordingPlug plug;
    auto* gui = new DrawingHeadless(&plug, 60, 40, 25, "/tmp/fs");
    auto picture = MakeCoordPicture(20, 20);
    IBitmap bm(picture.get(), 20, 20);
    IRECT r(5, 5, 25, 25);
    auto* selector =
        new IFileSelectorControl(&plug, &r, RecordingPlug::kOnOff, &bm, kFileSave, "", "wav flac");
    gui->AttachControl(selector);
    plug.AttachGraphics(gui);
    gui->OpenWindow(nullptr);
    selector->SetClean();
    selector->SetClean();
    Raster_Clear(gui->GetDrawBitmap(), kMarker);
    gui->SetControlFromPlug(0, 0.0);
    selector->SetClean();
    selector->SetClean();

    gui->QueueFileAnswer("/music/take1.wav");
    IMouseMod mod(true);
    gui->OnMouseDown(10, 10, &mod);
    // The picture was drawn while the dialog was up.
    EXPECT_EQ(CoordX(gui->GetDrawBitmap()->getBits()[10 * gui->GetDrawBitmap()->getRowSpan() + 10]), 5);
    ASSERT_EQ(gui->FileRequests().size(), 1u);
    EXPECT_EQ(gui->FileRequests()[0].mAction, kFileSave);
    EXPECT_EQ(gui->FileRequests()[0].mStartDir, "/tmp/fs/Desktop");
    EXPECT_EQ(gui->FileRequests()[0].mExtensions, "wav flac");
    Util_String file;
    selector->GetLastSelectedFileForPlug(&file);
    EXPECT_STREQ(file.Get(), "/music/take1.wav");
    EXPECT_EQ(selector->GetValue(), 1.0);
    EXPECT_EQ(selector->GetState(), IFileSelectorControl::kFSDone);

    // Dirty after drawing once more: the state is reported once.
    selector->SetClean();
    selector->SetClean();
    EXPECT_TRUE(selector->IsDirty());
    EXPECT_FALSE(selector->IsDirty());
    EXPECT_EQ(selector->GetState(), IFileSelectorControl::kFSNone);

    // Again: the value goes back to 0; a cancelled dialog leaves the file empty.
    gui->OnMouseDown(10, 10, &mod);
    EXPECT_EQ(selector->GetValue(), 0.0);
    selector->GetLastSelectedFileForPlug(&file);
    EXPECT_STREQ(file.Get(), "");
    selector->SetLastSelectedFileFromPlug("/x.wav");
    selector->GetLastSelectedFileForPlug(&file);
    EXPECT_STREQ(file.Get(), "/x.wav");
}

// ---- Bitmap-font text ----

// A font strip of 96 frames (codes 32..127), each 4 x 5, whose pixels tell their frame: red = frame.
std::unique_ptr<Raster_MemBitmap> MakeFontStrip() {
    auto strip = std::make_unique<Raster_MemBitmap>(4, 5 * 96);
    for (int y = 0; y < 5 * 96; ++y)
        for (int x = 0; x < 4; ++x)
            strip->getBits()[y * strip->getRowSpan() + x] = Px(y / 5 + 1, x, y % 5, 255);
    return strip;
}

// The frames drawn along row y from x0 every step pixels, as the red channel of each cell's top left.
std::vector<int> FramesAlong(ControlScene& s, int x0, int y, int step, int count) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i) {
        const uint32_t p = s.At(x0 + i * step, y);
        out.push_back(p == kMarker ? 0 : Raster_GetR(p));
    }
    return out;
}

TEST(BitmapText, FramesAndLayout) {
    auto strip = MakeFontStrip();
    IBitmap font(strip.get(), 4, 5 * 96, 96);
    struct Case {
        const char* str;
        IText::EAlign align;
        bool multiLine, vCentre;
        IRECT r;
        int offset;
        int x0, y0;              // where the first character lands
        std::vector<int> first;  // frames of the first line
        std::vector<int> second; // frames of the second line (multi-line cases)
    };
    const Case cases[] = {
        // "AB": frames 34 and 35; near alignment, 4 + 1 pixels apart.
        {"AB", IText::kAlignNear, false, false, IRECT(10, 10, 60, 30), 1, 10, 10, {34, 35, 0}, {}},
        // Far: starts at R - 8.
        {"AB", IText::kAlignFar, false, false, IRECT(10, 10, 60, 30), 0, 52, 10, {34, 35}, {}},
        // Centre: L + (R - 8 - L) / 2 = 31; vertically centred: T + (30 - 5 - 10) / 2 = 17.
        {"AB", IText::kAlignCenter, false, true, IRECT(10, 10, 60, 30), 0, 31, 17, {34, 35}, {}},
        // Single line, 10 wide: two characters fit, the rest is not drawn.
        {"ABCD", IText::kAlignNear, false, false, IRECT(10, 10, 20, 30), 0, 10, 10, {34, 35, 0}, {0}},
        // Multi-line: 16 wide text in 10: 16 / 10 + 1 = 2 lines of 10 / 4 = 2 characters.
        {"ABCD", IText::kAlignNear, true, false, IRECT(10, 10, 20, 30), 0, 10, 10, {34, 35}, {36, 37}},
        // Codes below the space are drawn with the first frame.
        {"\t!", IText::kAlignNear, false, false, IRECT(10, 10, 60, 30), 0, 10, 10, {1, 2}, {}},
    };
    for (const Case& c : cases) {
        ControlScene s(80, 50);
        IText style(10, &COLOR_WHITE, nullptr, IText::kStyleNormal, c.align);
        IRECT r = c.r;
        auto* t = s.Add(new IBitmapTextControl(&s.plug, &r, &font, c.str, &style, 4, 5, c.offset, c.multiLine,
                                               c.vCentre));
        s.Open();
        s.DrawAll(kMarker);
        EXPECT_EQ(FramesAlong(s, c.x0, c.y0, 4 + c.offset, static_cast<int>(c.first.size())), c.first)
            << c.str;
        if (!c.second.empty()) {
            EXPECT_EQ(FramesAlong(s, c.x0, c.y0 + 5, 4 + c.offset, static_cast<int>(c.second.size())),
                      c.second)
                << c.str;
        }
        (void)t;
    }
}

TEST(BitmapText, NothingToDraw) {
    auto strip = MakeFontStrip();
    IBitmap font(strip.get(), 4, 5 * 96, 96);
    ControlScene s(40, 20);
    IRECT r(0, 0, 40, 20), zero(5, 0, 5, 20);
    auto* t = s.Add(new IBitmapTextControl(&s.plug, &r, &font, ""));
    s.Open();
    s.DrawAll(kMarker);
    EXPECT_EQ(PaintedIn(s, r), 0);
    t->SetTextFromPlug("AB");
    EXPECT_TRUE(t->IsDirty());
    IText style;
    // A rectangle without width, a null string or no strip: nothing, never a division by zero.
    IRECT all(0, 0, 40, 20);
    s.gui->Draw(&all);
    Raster_Clear(s.gui->GetDrawBitmap(), kMarker);
    DrawBitmapedText(s.gui, &font, &zero, &style, nullptr, "AB", false, true, 4, 5, 0);
    DrawBitmapedText(s.gui, &font, &r, &style, nullptr, nullptr);
    DrawBitmapedText(s.gui, nullptr, &r, &style, nullptr, "AB");
    EXPECT_EQ(PaintedIn(s, r), 0);
}

} // namespace
