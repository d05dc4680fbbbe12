// The built plug-in's editor on an X display, taken by `tidebloom-host snapshot` as a host shows it,
// against the same editor drawn off-screen on the headless platform; replacement pictures in the
// folder beside the plug-in; and that creating the effect opens nothing on the display.
// Runs under xvfb-run (see CMakeLists.txt); without a display the tests are skipped.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Graphics/TidebloomEditor.h"
#include "framework/platform/linux/IGraphicsHeadless.h"
#include "tests/Graphics/TidebloomTestSupport.h"
#include "tests/support/TestDir.h"
#include "tests/support/vst2/TestHost.h"

namespace {

bool HaveDisplay() {
    const char* d = std::getenv("DISPLAY");
    return d && *d;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// `tidebloom-host snapshot PLUGIN -o OUT [more]` at the desktop scale scale, with no size remembered;
// the picture, or null with what the host said.
std::unique_ptr<Raster_IBitmap> Snapshot(const std::string& plugin, const TestDir& dir, std::string* said,
                                         const std::string& more = "", int scale = 1) {
    const std::string png = dir / "editor.png", log = dir / "snapshot.log";
    const std::string cmd = "export GDK_SCALE=" + std::to_string(scale) +
                            " XDG_CONFIG_HOME=" + Quote(dir.Path()) + "; exec " + Quote(HOST_EXE) +
                            " snapshot " + Quote(plugin) + " -o " + Quote(png) + " " + more + " >" +
                            Quote(log) + " 2>&1 </dev/null";
    const int status = std::system(("/bin/sh -c " + Quote(cmd)).c_str());
    std::ifstream in(log);
    *said = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::remove(log.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return nullptr;
    std::unique_ptr<Raster_IBitmap> bm(Raster_LoadPNG(png.c_str(), nullptr));
    std::remove(png.c_str());
    return bm;
}

// Tidebloom at its defaults with the same editor contents on the headless platform at percent, after a
// drag of dy pixels from (x, y) (none when dy is 0), drawn once whole: its off-screen bitmap, copied.
std::unique_ptr<Raster_MemBitmap> HeadlessEditor(int percent = 100, int x = 0, int y = 0, int dy = 0) {
    TestHost host;
    AEffect* fx = host.Load(TidebloomTestEntry);
    if (!fx) return nullptr;
    host.Open();
    auto* plug = static_cast<IEffectVST*>(fx->object);
    auto* headless = new IGraphicsHeadless(plug, kTidebloomEditorWidth, kTidebloomEditorHeight);
    TidebloomAttachControls(headless);
    plug->AttachGraphics(headless); // replaces the X11 editor
    headless->SetSizePercent(percent);
    if (dy != 0) {
        IMouseMod left(true);
        headless->OnMouseDown(x, y, &left);
        headless->OnMouseDrag(x, y + dy, &left);
    }
    const int w = headless->Width(), h = headless->Height();
    IRECT all(0, 0, w, h);
    headless->Draw(&all);
    auto copy = std::make_unique<Raster_MemBitmap>(w, h);
    for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px)
            copy->getBits()[py * copy->getRowSpan() + px] = PixelAt(headless->GetDrawBitmap(), px, py);
    return copy;
}

// Red, green and blue of every pixel equal (the screen has no alpha); "" or the first difference.
std::string FirstDifference(Raster_IBitmap* shot, Raster_IBitmap* expected) {
    if (shot->getWidth() != expected->getWidth() || shot->getHeight() != expected->getHeight())
        return "size " + std::to_string(shot->getWidth()) + " x " + std::to_string(shot->getHeight());
    for (int y = 0; y < shot->getHeight(); ++y)
        for (int x = 0; x < shot->getWidth(); ++x)
            if ((PixelAt(shot, x, y) & ~0xFFu) != (PixelAt(expected, x, y) & ~0xFFu)) {
                char buf[96];
                std::snprintf(buf, sizeof(buf), "(%d, %d): %08x, expected %08x", x, y, PixelAt(shot, x, y),
                              PixelAt(expected, x, y));
                return buf;
            }
    return "";
}

// A copy of the built plug-in in a folder of its own, with its resource folder beside it.
struct PluginCopy {
    TestDir dir;
    std::string so = dir / "Tidebloom.so", resources = dir / "Tidebloom.resources";
    PluginCopy() {
        std::ifstream in(TIDEBLOOM_SO, std::ios::binary);
        std::ofstream out(so, std::ios::binary);
        out << in.rdbuf();
        ::mkdir(resources.c_str(), 0755);
    }
    ~PluginCopy() {
        if (DIR* d = opendir(resources.c_str())) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.') std::remove((resources + "/" + e->d_name).c_str());
            closedir(d);
        }
        ::rmdir(resources.c_str());
    }
    void Write(const char* name, const void* bytes, size_t n) {
        std::ofstream out(resources + "/" + name, std::ios::binary);
        out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(n));
    }
};

TEST(EditorSnapshot, EqualsTheHeadlessEditorPixelForPixel) {
    if (!HaveDisplay()) GTEST_SKIP() << "no X display";
    TestDir dir;
    std::string said;
    auto shot = Snapshot(TIDEBLOOM_SO, dir, &said);
    ASSERT_NE(shot, nullptr) << said;
    EXPECT_NE(said.find("wrote the editor of 'Tidebloom' (555 x 306)"), std::string::npos) << said;
    auto expected = HeadlessEditor();
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(FirstDifference(shot.get(), expected.get()), "");
}

// On a dense screen the editor opens at 200 %, drawn natively: the snapshot equals the headless editor
// at 200 %. A drag taken by the host (press on the Time knob, 56 pixels up, held) shows the knob turned
// and its readout, as the headless editor does after the same drag.
TEST(EditorSnapshot, DenseScreenAndADragEqualTheHeadlessEditor) {
    if (!HaveDisplay()) GTEST_SKIP() << "no X display";
    struct Case {
        const char* more;
        int scale, percent, x, y, dy;
        const char* said;
    };
    const Case cases[] = {
        {"", 2, 200, 0, 0, 0, "(1110 x 612)"},
        {"--drag 133,167,-56", 1, 100, 133, 167, -56, "(555 x 306)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.more);
        TestDir dir;
        std::string said;
        auto shot = Snapshot(TIDEBLOOM_SO, dir, &said, c.more, c.scale);
        ASSERT_NE(shot, nullptr) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        auto expected = HeadlessEditor(c.percent, c.x, c.y, c.dy);
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(FirstDifference(shot.get(), expected.get()), "");
    }
}

// A picture in "<folder of the .so>/Tidebloom.resources/" replaces the compiled-in one of that name (the
// folder of the path the host loaded, a link's own folder for a link); one that does not decode (not a
// PNG, or cut short) is passed over, and the editor looks as shipped.
TEST(EditorSnapshot, ReplacementPicturesBesideThePlugin) {
    if (!HaveDisplay()) GTEST_SKIP() << "no X display";
    PluginCopy copy;
    const uint32_t green = Raster_MakePixel(10, 200, 30, 255);
    Raster_MemBitmap solid(kTidebloomEditorWidth, kTidebloomEditorHeight);
    for (int y = 0; y < solid.getHeight(); ++y)
        for (int x = 0; x < solid.getWidth(); ++x) solid.getBits()[y * solid.getRowSpan() + x] = green;
    std::vector<unsigned char> png;
    ASSERT_TRUE(Raster_WritePNGToMemory(&solid, &png));
    // Wherever no control draws, the replacement shows: the pixels there that are not green.
    std::vector<LayoutRect> drawn = {SwitchRect()};
    for (const TidebloomKnobLayout& k : kTidebloomKnobs) {
        drawn.push_back(Centred(k.anchorX, k.anchorY, k.knob));
        drawn.push_back(Centred(k.anchorX, k.anchorY, k.caption));
    }
    auto notGreen = [&](Raster_IBitmap* shot) {
        int free = 0, wrong = 0;
        for (int y = 0; y < kTidebloomEditorHeight; ++y)
            for (int x = 0; x < kTidebloomEditorWidth; ++x) {
                bool covered = false;
                for (const LayoutRect& r : drawn) covered = covered || r.Contains(x, y);
                if (covered) continue;
                ++free;
                wrong += (PixelAt(shot, x, y) & ~0xFFu) != (green & ~0xFFu);
            }
        EXPECT_GT(free, kTidebloomEditorWidth * kTidebloomEditorHeight / 2);
        return wrong;
    };
    std::string said;
    auto expected = HeadlessEditor();
    ASSERT_NE(expected, nullptr);

    // A link in another folder, as in a host's plug-in folder, has its pictures beside the link: the
    // folder beside the file it points to does not count for it, nor its folder for that file.
    TestDir linked;
    const std::string link = linked / "Tidebloom.so", linkResources = linked / "Tidebloom.resources";
    ASSERT_EQ(::symlink(copy.so.c_str(), link.c_str()), 0);
    ASSERT_EQ(::mkdir(linkResources.c_str(), 0755), 0);
    {
        std::ofstream out(linkResources + "/back2.png", std::ios::binary);
        out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    }
    auto shot = Snapshot(link, copy.dir, &said);
    ASSERT_NE(shot, nullptr) << said;
    EXPECT_EQ(notGreen(shot.get()), 0);
    shot = Snapshot(copy.so, copy.dir, &said);
    ASSERT_NE(shot, nullptr) << said;
    EXPECT_EQ(FirstDifference(shot.get(), expected.get()), "");

    copy.Write("back2.png", png.data(), png.size());
    shot = Snapshot(copy.so, copy.dir, &said);
    ASSERT_NE(shot, nullptr) << said;
    EXPECT_EQ(notGreen(shot.get()), 0);

    // Damaged replacements: text named like a picture, and a real PNG cut in half.
    const char text[] = "not a picture";
    copy.Write("back2.png", text, sizeof(text));
    const Raster_NamedResource* strip = Raster_FindNamedResource("time_knob.png");
    ASSERT_NE(strip, nullptr);
    copy.Write("time_knob.png", strip->data, static_cast<size_t>(strip->length / 2));
    shot = Snapshot(copy.so, copy.dir, &said);
    ASSERT_NE(shot, nullptr) << said;
    EXPECT_EQ(FirstDifference(shot.get(), expected.get()), "");
}

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

// With a display at hand, creating and opening the effect (as a host scanning plug-ins does) still
// connects to nothing: the editor's window and its connection come only with effEditOpen.
TEST(EditorSnapshot, CreatingTheEffectOpensNoConnection) {
    if (!HaveDisplay()) GTEST_SKIP() << "no X display";
    const int before = OpenDescriptors();
    {
        TestHost host;
        ASSERT_NE(host.Load(TidebloomTestEntry), nullptr);
        host.Open();
        EXPECT_EQ(OpenDescriptors(), before);
        host.Dispatch(effEditIdle);
        EXPECT_EQ(OpenDescriptors(), before);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

} // namespace
