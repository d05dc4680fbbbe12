// The shipped plug-in's editor on a private Xvfb, embedded in a host window and idled from the host's
// user-interface thread, while a user drags its knobs (Depth changes the latency), clicks its switch and
// double-clicks knobs back to their defaults, and the host's notifications on that thread take 50 ms. The
// audio thread, running 512-frame blocks meanwhile, never waits for any of it.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/realtime/X11EditorScene.h"
#include "tests/support/vst2/Conformance.h"
#include "tests/support/x11/XvfbServer.h"

namespace {

::testing::Environment* const sXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

TEST(EditorWhileAudioRuns, AudioNeverWaitsForTheDraggedEditor) {
    PluginLibrary lib(TIDEBLOOM_SO_PATH);
    ASSERT_TRUE(lib.IsLoaded()) << lib.Error();
    ASSERT_NE(lib.PluginMain(), nullptr);
    X11TestDisplay display;
    ASSERT_TRUE(display.Ok());
    TestHost host;
    ASSERT_NE(host.Load(lib.PluginMain()), nullptr);
    const SceneOptions options;
    host.Open(44100.0f, options.blockFrames);

    SceneResult result;
    std::string error;
    ASSERT_TRUE(RunX11EditorScene(host, display, TidebloomEditorTargets(), options, &result, &error))
        << error;
    std::printf("%s\n", result.Describe().c_str());
    EXPECT_TRUE(AudioNeverWaited(result, options));
    host.Close();
}

} // namespace
