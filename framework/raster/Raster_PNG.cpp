// PNG decoding and encoding through libpng, and the named-resource registry.
#include "framework/raster/Raster_PNG.h"

#include "framework/raster/Raster_PNGDeferred.h"

#include <png.h>
#include <strings.h>

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

namespace {

// Hostile-input guard: larger images are refused before any pixel memory is allocated.
constexpr png_uint_32 kMaxSide = 32768;
constexpr unsigned long long kMaxPixels = 1ull << 26;

// Where the encoded bytes come from: a file, or the caller's buffer.
struct PngSource {
    FILE* file = nullptr;
    const unsigned char* readPtr = nullptr;
    int remaining = 0;
};

// Everything a load must release, kept outside the frame that holds the jump point so that it survives
// a long jump out of libpng.
struct LoadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Raster_IBitmap* target = nullptr;
    Raster_IBitmap* created = nullptr; // a bitmap this call made (deleted on failure)
    png_bytepp rows = nullptr;
};

// libpng reports errors by jumping back to the load; nothing is printed.
void SilentError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void SilentWarning(png_structp, png_const_charp) {}

// The memory reader: zero-fills the destination, then copies what is left of the buffer. A request
// that runs past the end is an error at once, as it is for files: padding with zeros instead would let
// a cut or crafted buffer (an unknown chunk claiming two gigabytes) keep libpng reading and checksumming
// phantom zeros for seconds before its own checks fail.
void staticPngReadFunc(png_structp png, png_bytep data, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    std::memset(data, 0, length);
    const png_size_t available =
        source && source->remaining > 0 ? static_cast<png_size_t>(source->remaining) : 0;
    const png_size_t n = length < available ? length : available;
    if (n > 0) {
        std::memcpy(data, source->readPtr, n);
        source->readPtr += n;
        source->remaining -= static_cast<int>(n);
    }
    if (n < length) png_error(png, "read past the end of the data");
}

// Decodes the image into the target (or a new bitmap). Returns false when libpng reported an error or the
// image cannot be held; the caller releases the state either way. No object with a destructor lives in
// this frame: a long jump may leave it.
bool DecodeRows(LoadState* st, PngSource* source) {
    if (setjmp(png_jmpbuf(st->png))) return false;

    if (source->file)
        png_init_io(st->png, source->file);
    else
        png_set_read_fn(st->png, source, staticPngReadFunc);
    png_set_user_limits(st->png, kMaxSide, kMaxSide);

    png_read_info(st->png, st->info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0, compression = 0, filter = 0;
    png_get_IHDR(st->png, st->info, &width, &height, &bitDepth, &colourType, &interlace, &compression,
                 &filter);
    if (width == 0 || height == 0 || static_cast<unsigned long long>(width) * height > kMaxPixels)
        return false;

    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(st->png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(st->png);
    if (png_get_valid(st->png, st->info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(st->png);
        colourType |= PNG_COLOR_MASK_ALPHA;
    }
    if (bitDepth == 16) png_set_strip_16(st->png);
    if (bitDepth < 8) png_set_packing(st->png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(st->png);
    if (colourType & PNG_COLOR_MASK_ALPHA)
        png_set_swap_alpha(st->png);
    else
        png_set_filler(st->png, 0xFF, PNG_FILLER_BEFORE);

    // The transformations must give exactly one 4-byte pixel word per pixel: the rows are decoded
    // straight into the bitmap.
    png_set_interlace_handling(st->png);
    png_read_update_info(st->png, st->info);
    if (png_get_rowbytes(st->png, st->info) != static_cast<png_size_t>(width) * 4 ||
        png_get_channels(st->png, st->info) != 4 || png_get_bit_depth(st->png, st->info) != 8)
        return false;

    const int w = static_cast<int>(width), h = static_cast<int>(height);
    Raster_IBitmap* bitmap = st->target;
    if (bitmap) {
        bitmap->resize(w, h);
    } else {
        bitmap = st->created = new (std::nothrow) Raster_MemBitmap(w, h, 4);
        if (!bitmap) return false;
    }
    uint32_t* bits = bitmap->getBits();
    const int span = bitmap->getRowSpan();
    if (bitmap->getWidth() != w || bitmap->getHeight() != h || !bits || span < w) return false;

    st->rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * static_cast<size_t>(h)));
    if (!st->rows) return false;
    const bool flipped = bitmap->isFlipped();
    for (int y = 0; y < h; ++y) {
        const int memRow = flipped ? h - 1 - y : y;
        st->rows[y] =
            reinterpret_cast<png_bytep>(bits + static_cast<size_t>(memRow) * static_cast<size_t>(span));
    }
    png_read_image(st->png, st->rows);
    return true;
}

Raster_IBitmap* Load(PngSource* source, Raster_IBitmap* target) {
    LoadState st;
    st.target = target;
    st.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    if (!st.png) return nullptr;
    st.info = png_create_info_struct(st.png);
    if (!st.info) {
        png_destroy_read_struct(&st.png, nullptr, nullptr);
        return nullptr;
    }
    const bool ok = DecodeRows(&st, source);
    png_destroy_read_struct(&st.png, &st.info, nullptr);
    std::free(st.rows);
    if (ok) return target ? target : st.created;
    delete st.created;
    return nullptr;
}

// The registry of compiled-in resources. constinit: usable from other modules' static initialisers.
constinit std::mutex s_resourceMutex;
constinit Raster_NamedResource* s_resources = nullptr;

} // namespace

// ---- loader list ----

Raster_ImageLoaderRec* Raster_ImageLoader_list = nullptr;
Raster_ImageLoaderRec Raster_pngldr = {nullptr, nullptr, nullptr};

namespace {
const bool s_pngLoaderAdded = [] {
    Raster_pngldr.loadfunc = &Raster_PNGLoader::loadfunc;
    Raster_pngldr.get_extlist = &Raster_PNGLoader::get_extlist;
    Raster_pngldr._next = Raster_ImageLoader_list;
    Raster_ImageLoader_list = &Raster_pngldr;
    return true;
}();
} // namespace

Raster_IBitmap* Raster_PNGLoader::loadfunc(const char* filename, bool checkFileName, Raster_IBitmap* target) {
    if (!filename) return nullptr;
    if (checkFileName) {
        const char* p = filename + std::strlen(filename);
        while (p > filename && p[-1] != '.' && p[-1] != '/' && p[-1] != '\\') --p;
        if (p > filename) --p; // at the separator; with none the whole path is compared
        if (strcasecmp(p, ".png") != 0) return nullptr;
    }
    return Raster_LoadPNG(filename, target);
}

const char* Raster_PNGLoader::get_extlist() {
    static const char kList[] = "PNG files (*.PNG)\0*.PNG\0";
    return kList; // the array's own terminator ends the list with an empty string
}

// ---- loading ----

Raster_IBitmap* Raster_LoadPNG(const char* filename, Raster_IBitmap* target) {
    if (!filename) return nullptr;
    FILE* file = std::fopen(filename, "rb");
    if (!file) return nullptr;
    PngSource source;
    source.file = file;
    Raster_IBitmap* result = Load(&source, target);
    std::fclose(file);
    return result;
}

Raster_IBitmap* Raster_LoadPNGFromMemory(const void* data, int length, Raster_IBitmap* target) {
    if (!data || length < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) return nullptr;
    PngSource source;
    source.readPtr = static_cast<const unsigned char*>(data);
    source.remaining = length;
    return Load(&source, target);
}

Raster_IBitmap* Raster_LoadPNGFromNamedResource(const char* name, Raster_IBitmap* target,
                                                const char* folder) {
    if (!name || std::strlen(name) > 400) return nullptr;
    if (const Raster_NamedResource* res = Raster_FindNamedResource(name))
        return Raster_LoadPNGFromMemory(res->data, res->length, target);
    if (!*name || !folder || !*folder) return nullptr;
    return Raster_LoadPNG((std::string(folder) + name).c_str(), target);
}

Raster_IBitmap* Raster_LoadNamedPicture(const char* folder, const char* name) {
    if (!name || !*name || std::strlen(name) > 400 || std::strchr(name, '/')) return nullptr;
    if (folder && *folder)
        if (Raster_IBitmap* replacement = Raster_LoadPNG((std::string(folder) + name).c_str(), nullptr))
            return replacement;
    const Raster_NamedResource* res = Raster_FindNamedResource(name);
    return res ? Raster_DeferredPNGBitmap::Create(res->data, res->length) : nullptr;
}

bool Raster_ReadPNGSize(const void* data, int length, int* w, int* h) {
    // Signature (8 bytes), then the IHDR chunk: length 13 (big-endian), type, width, height.
    static const unsigned char kIHDR[8] = {0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    if (!data || length < 24) return false;
    const auto* p = static_cast<const unsigned char*>(data);
    if (png_sig_cmp(p, 0, 8) != 0 || std::memcmp(p + 8, kIHDR, 8) != 0) return false;
    auto be32 = [](const unsigned char* q) {
        return (static_cast<png_uint_32>(q[0]) << 24) | (static_cast<png_uint_32>(q[1]) << 16) |
               (static_cast<png_uint_32>(q[2]) << 8) | static_cast<png_uint_32>(q[3]);
    };
    const png_uint_32 width = be32(p + 16), height = be32(p + 20);
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
        static_cast<unsigned long long>(width) * height > kMaxPixels)
        return false;
    if (w) *w = static_cast<int>(width);
    if (h) *h = static_cast<int>(height);
    return true;
}

Raster_IBitmap* Raster_LoadPNGFromResource(void* module, int resourceId, Raster_IBitmap* target) {
    (void)module;
    (void)resourceId;
    (void)target;
    return nullptr;
}

// ---- named resources ----

void Raster_AddNamedResource(Raster_NamedResource* resource) {
    if (!resource || !resource->name) return;
    std::lock_guard<std::mutex> lock(s_resourceMutex);
    for (Raster_NamedResource* r = s_resources; r; r = r->next)
        if (r == resource) return;
    resource->next = s_resources;
    s_resources = resource;
}

const Raster_NamedResource* Raster_FindNamedResource(const char* name) {
    if (!name) return nullptr;
    std::lock_guard<std::mutex> lock(s_resourceMutex);
    for (Raster_NamedResource* r = s_resources; r; r = r->next)
        if (std::strcmp(r->name, name) == 0) return r;
    return nullptr;
}

// ---- writing ----

namespace {

struct WriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytepp rows = nullptr;
    std::vector<unsigned char>* out = nullptr;
    bool failed = false;
};

void VectorWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* st = static_cast<WriteState*>(png_get_io_ptr(png));
    try {
        st->out->insert(st->out->end(), data, data + length);
    } catch (...) {
        st->failed = true;
    }
    if (st->failed) png_error(png, "out of memory");
}

void VectorFlush(png_structp) {}

// No object with a destructor lives in this frame: a long jump may leave it.
bool EncodeRows(WriteState* st, Raster_IBitmap* bitmap, bool withAlpha) {
    if (setjmp(png_jmpbuf(st->png))) return false;
    const int w = bitmap->getWidth(), h = bitmap->getHeight(), span = bitmap->getRowSpan();
    uint32_t* bits = bitmap->getBits();
    png_set_write_fn(st->png, st, VectorWrite, VectorFlush);
    png_set_IHDR(st->png, st->info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(st->png, st->info);
    // Pixel words lie in memory as alpha, red, green, blue.
    if (withAlpha)
        png_set_swap_alpha(st->png);
    else
        png_set_filler(st->png, 0, PNG_FILLER_BEFORE);
    st->rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * static_cast<size_t>(h)));
    if (!st->rows) return false;
    const bool flipped = bitmap->isFlipped();
    for (int y = 0; y < h; ++y) {
        const int memRow = flipped ? h - 1 - y : y;
        st->rows[y] =
            reinterpret_cast<png_bytep>(bits + static_cast<size_t>(memRow) * static_cast<size_t>(span));
    }
    png_write_image(st->png, st->rows);
    png_write_end(st->png, nullptr);
    return true;
}

bool WritePngToVector(Raster_IBitmap* bitmap, std::vector<unsigned char>* out, bool withAlpha) {
    if (!bitmap || !out || bitmap->getWidth() <= 0 || bitmap->getHeight() <= 0 || !bitmap->getBits() ||
        bitmap->getRowSpan() < bitmap->getWidth())
        return false;
    out->clear();
    WriteState st;
    st.out = out;
    st.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    if (!st.png) return false;
    st.info = png_create_info_struct(st.png);
    if (!st.info) {
        png_destroy_write_struct(&st.png, nullptr);
        return false;
    }
    const bool ok = EncodeRows(&st, bitmap, withAlpha);
    png_destroy_write_struct(&st.png, &st.info);
    std::free(st.rows);
    if (!ok) out->clear();
    return ok;
}

} // namespace

bool Raster_WritePNGToMemory(Raster_IBitmap* bitmap, std::vector<unsigned char>* out, bool withAlpha) {
    return WritePngToVector(bitmap, out, withAlpha);
}

bool Raster_WritePNG(Raster_IBitmap* bitmap, const char* filename, bool withAlpha) {
    if (!filename) return false;
    std::vector<unsigned char> bytes;
    if (!WritePngToVector(bitmap, &bytes, withAlpha)) return false;
    FILE* file = std::fopen(filename, "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    std::remove(filename);
    return false;
}
