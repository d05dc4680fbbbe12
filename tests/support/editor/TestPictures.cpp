#include "tests/support/editor/TestPictures.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "framework/raster/Raster_PNG.h"

std::unique_ptr<Raster_MemBitmap> MakeCoordPicture(int w, int h) {
    auto picture = std::make_unique<Raster_MemBitmap>(w, h);
    for (int y = 0; y < h; ++y) {
        uint32_t* row = picture->getBits() + static_cast<long>(y) * picture->getRowSpan();
        for (int x = 0; x < w; ++x) row[x] = Px(x & 255, y & 255, y >> 8, 255);
    }
    return picture;
}

std::unique_ptr<Raster_MemBitmap> MakeSolidPicture(int w, int h, uint32_t colour) {
    auto picture = std::make_unique<Raster_MemBitmap>(w, h);
    for (int y = 0; y < h; ++y) {
        uint32_t* row = picture->getBits() + static_cast<long>(y) * picture->getRowSpan();
        for (int x = 0; x < w; ++x) row[x] = colour;
    }
    return picture;
}

namespace {

struct Registered {
    std::string name;
    std::vector<unsigned char> bytes;
    Raster_NamedResource record;
};

void Register(const char* name, std::vector<unsigned char> bytes) {
    static std::mutex sMutex;
    static std::deque<Registered> sResources; // records must outlive every lookup
    std::lock_guard<std::mutex> lock(sMutex);
    Registered& r = sResources.emplace_back();
    r.name = name;
    r.bytes = std::move(bytes);
    r.record =
        Raster_NamedResource{r.name.c_str(), r.bytes.data(), static_cast<int>(r.bytes.size()), nullptr};
    Raster_AddNamedResource(&r.record);
}

} // namespace

void RegisterPicture(const char* name, Raster_IBitmap* picture) {
    std::vector<unsigned char> png;
    Raster_WritePNGToMemory(picture, &png, true);
    Register(name, std::move(png));
}

void RegisterResourceBytes(const char* name, const void* data, int length) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    Register(name, std::vector<unsigned char>(bytes, bytes + length));
}
