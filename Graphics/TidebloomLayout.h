#pragma once
// The editor's layout as data: the window size and, for every control, its anchor, parameter and
// pictures (resource ID, file name, size of the whole strip, frame count). The picture generator in
// tools/ draws each picture at exactly these sizes, the effect's editor places its controls from them,
// and the tests check that no two controls' hit rectangles overlap and that all lie inside the window.
//
// Knobs are centred on their anchor: with a strip W wide holding N frames H/N high, the knob's
// rectangle is (x - W/2, y - H/(2N)) to that plus one frame (integer halves); the caption picture is
// centred on the same anchor and drawn behind the knob. The switch has its top-left corner at its
// anchor and one frame as its rectangle. Frames are stacked vertically; knob frame k (1..N) shows the
// normalised value (k - 1)/(N - 1), its pointer turned clockwise from kTidebloomKnobStartDegrees
// (0 = straight up) through kTidebloomKnobSweepDegrees. Each control's name is printed on the background
// below it; its readout box covers that name (the picture generator checks that it does).
//
// Plain constant data, shared by every thread.

struct TidebloomPicture {
    int id;           // resource ID the editor loads it under
    const char* path; // file name; compiled into the plug-in under its last path component
    int width;        // of the whole strip
    int height;       // of the whole strip: frames x frame height
    int frames;
    constexpr int FrameHeight() const { return height / frames; }
};

// A rectangle: top-left corner and size.
struct TidebloomBox {
    int x, y, w, h;
};

struct TidebloomKnobLayout {
    int param;         // parameter index
    const char* label; // the name printed under the knob
    int anchorX, anchorY;
    TidebloomPicture knob;
    TidebloomPicture caption; // the scale drawn behind the knob
    int labelSize;            // pixel height of the name's font (and of the readout's)
    TidebloomBox readout;     // where the value shows while the knob is in use: over the name
};

struct TidebloomSwitchLayout {
    int param;
    const char* label;
    int x, y; // top-left corner
    TidebloomPicture picture;
    int labelSize;
    TidebloomBox readout;
};

inline constexpr int kTidebloomEditorWidth = 555;
inline constexpr int kTidebloomEditorHeight = 306;
inline constexpr int kTidebloomKnobFrames = 120;
inline constexpr double kTidebloomKnobStartDegrees = -135.0;
inline constexpr double kTidebloomKnobSweepDegrees = 270.0;

inline constexpr TidebloomPicture kTidebloomBackground = {106, "resources/img/back2.png",
                                                          kTidebloomEditorWidth, kTidebloomEditorHeight, 1};
// Tidebloom Precise's background: the same with its name under the title.
inline constexpr TidebloomPicture kTidebloomPreciseBackground = {
    116, "resources/img/back2_precise.png", kTidebloomEditorWidth, kTidebloomEditorHeight, 1};

// In the order the editor attaches them.
inline constexpr TidebloomKnobLayout kTidebloomKnobs[] = {
    {0,
     "Sensitivity",
     323,
     120,
     {112, "resources/img/sens_knob22.png", 84, 84 * kTidebloomKnobFrames, 120},
     {113, "resources/img/sens_scale.png", 100, 108, 1},
     11,
     {272, 168, 102, 16}},
    {1,
     "Time",
     133,
     167,
     {107, "resources/img/time_knob.png", 112, 112 * kTidebloomKnobFrames, 120},
     {108, "resources/img/time_scale.png", 136, 128, 1},
     12,
     {95, 226, 76, 18}},
    {2,
     "Depth",
     478,
     84,
     {109, "resources/img/depth_knob.png", 68, 68 * kTidebloomKnobFrames, 120},
     {110, "resources/img/depth_scale.png", 84, 92, 1},
     11,
     {440, 126, 76, 16}},
    {3,
     "Vol",
     482,
     228,
     {114, "resources/img/vol_knob22.png", 68, 68 * kTidebloomKnobFrames, 120},
     {115, "resources/img/vol_scale2.png", 84, 116, 1},
     11,
     {444, 270, 76, 16}},
};
inline constexpr int kTidebloomNumKnobs = sizeof(kTidebloomKnobs) / sizeof(kTidebloomKnobs[0]);

inline constexpr TidebloomSwitchLayout kTidebloomSwitch = {
    4, "On/Off", 26, 24, {105, "resources/img/switch.png", 58, 2 * 26, 2}, 9, {17, 54, 76, 14}};

// The last path component of a picture's file name: the name it is compiled in under.
constexpr const char* TidebloomResourceName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/') name = p + 1;
    return name;
}
