// tidebloom-lv2ttl OUTDIR BINARY [UI_BINARY [URI]]: writes manifest.ttl, <BINARY without extension>.ttl
// and presets.ttl of an LV2 bundle into OUTDIR (which must exist) from the description of the effect
// with that URI: Tidebloom's (the default) or Tidebloom Precise's; with UI_BINARY (not empty) the
// bundle's editor UI lives in that shared object. Each file is written next to its place and renamed
// into it, so a failed run leaves no half-written file. Exits 0 on success, 1 with one line on stderr
// otherwise (an unknown URI or an unusable description fails the build).
#include <cstdio>
#include <string>

#include "TidebloomDescription.h"
#include "tools/lv2ttl/LV2Turtle.h"

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: tidebloom-lv2ttl OUTDIR BINARY [UI_BINARY [URI]]\n");
        return 1;
    }
    const std::string dir = argv[1], binary = argv[2], uiBinary = argc >= 4 ? argv[3] : "";
    const IEffectDescription* desc = nullptr;
    for (const IEffectDescription* d : {&kTidebloomDescription, &kTidebloomPreciseDescription})
        if (argc < 5 ? d == &kTidebloomDescription : std::string(argv[4]) == d->mURI) desc = d;
    if (!desc) {
        std::fprintf(stderr, "tidebloom-lv2ttl: no effect has the URI '%s'\n", argv[4]);
        return 1;
    }
    const std::string problem = LV2CheckDescription(*desc);
    if (!problem.empty()) {
        std::fprintf(stderr, "tidebloom-lv2ttl: %s\n", problem.c_str());
        return 1;
    }
    const std::string stem = binary.substr(0, binary.rfind('.'));
    const LV2TurtleFiles files = LV2WriteTurtle(*desc, binary, stem + ".ttl", uiBinary);
    const std::pair<std::string, const std::string*> outputs[] = {{"manifest.ttl", &files.mManifest},
                                                                  {stem + ".ttl", &files.mPlugin},
                                                                  {"presets.ttl", &files.mPresets}};
    for (const auto& [name, text] : outputs) {
        if (!WriteFile(dir + "/" + name, *text)) {
            std::fprintf(stderr, "tidebloom-lv2ttl: cannot write '%s/%s'\n", dir.c_str(), name.c_str());
            return 1;
        }
    }
    return 0;
}
