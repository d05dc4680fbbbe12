// FreeType faces resolved through fontconfig, and the face-name cache.
#include "framework/shim/Shim_Face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <utility>

// Sanitizer builds: fontconfig loses a few bytes of its own while it parses its configuration files
// the first time it is used. That is not ours to fix; keep the leak checker quiet about it only. Weak, so
// that a program with suppressions of its own keeps them.
#if defined(__SANITIZE_ADDRESS__)
#define SHIM_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SHIM_LEAK_CHECKED 1
#endif
#endif
#ifdef SHIM_LEAK_CHECKED
extern "C" __attribute__((weak, visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

struct Shim_Face {
    FT_Face ft = nullptr;
    int size = 0;
    bool scalable = false;
    double unitsToPixels = 0; // scalable faces: pixels per font unit
    Shim_FaceMetrics metrics = {0, 0, 0};
    std::string displayName;
    std::mutex mutex; // glyph loading and rendering use the face's glyph slot
};

namespace {

// ---- the FreeType library ----
// Made on first use; released by the unloader, or later by the last face closed after it ran.
std::mutex s_ftMutex;
FT_Library s_ftLibrary = nullptr;
int s_ftFaces = 0;
std::atomic<bool> s_shutDown{false};

// ---- the face-name cache ----
// Face string -> font file, sorted by exact string comparison and binary searched.
struct ResolvedFace {
    std::string path;
    int index = 0;
    std::string displayName;
};
using FontNameCache = std::vector<std::pair<std::string, ResolvedFace>>;
std::mutex s_fontnamecache_mutex;
FontNameCache* s_fontnamecache = nullptr;

// ---- the shared default face ----
std::mutex s_defaultMutex;
Shim_Face* s_defaultFace = nullptr;
bool s_defaultTried = false;

bool EndsWith(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

bool IsGenericFamily(const std::string& family) {
    static const char* const kGeneric[] = {"sans-serif", "sans", "serif", "monospace", "mono", "system-ui"};
    for (const char* g : kGeneric)
        if (FcStrCmpIgnoreCase(reinterpret_cast<const FcChar8*>(g),
                               reinterpret_cast<const FcChar8*>(family.c_str())) == 0)
            return true;
    return false;
}

bool PatternHasFamily(FcPattern* pattern, const char* family) {
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &value) == FcResultMatch; ++i)
        if (FcStrCmpIgnoreCase(value, reinterpret_cast<const FcChar8*>(family)) == 0) return true;
    return false;
}

// Asks fontconfig for the best file for (family, bold, italic). With exactFamily, a match whose family is
// not the one asked for is refused; generic stays empty unless the configuration classifies the family as
// monospace (then "monospace"), so the caller can fall back to it.
bool MatchFamily(const std::string& family, bool bold, bool italic, bool exactFamily, ResolvedFace* out,
                 std::string* generic) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    if (generic) *generic = PatternHasFamily(pattern, "monospace") ? "monospace" : "sans-serif";

    bool ok = false;
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (match) {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file &&
            (!exactFamily || PatternHasFamily(match, family.c_str()))) {
            if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
            out->path = reinterpret_cast<const char*>(file);
            out->index = index;
            FcChar8* name = nullptr;
            if (FcPatternGetString(match, FC_FULLNAME, 0, &name) == FcResultMatch && name) {
                out->displayName = reinterpret_cast<const char*>(name);
            } else if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name) {
                out->displayName = reinterpret_cast<const char*>(name);
            }
            ok = true;
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return ok;
}

// Resolves a face string ("Family[ Bold][ Italic]") to a font file. An empty family or one fontconfig
// does not know falls back to the generic family.
bool Resolve(const std::string& faceString, ResolvedFace* out) {
    std::string family = faceString;
    bool bold = false, italic = false;
    if (EndsWith(family, " Italic")) {
        italic = true;
        family.resize(family.size() - 7);
    }
    if (EndsWith(family, " Bold")) {
        bold = true;
        family.resize(family.size() - 5);
    }
    std::string generic = "sans-serif";
    if (!family.empty()) {
        if (MatchFamily(family, bold, italic, !IsGenericFamily(family), out, &generic)) return true;
    }
    return MatchFamily(generic, bold, italic, false, out, nullptr);
}

bool LookUp(const std::string& faceString, ResolvedFace* out) {
    std::lock_guard<std::mutex> lock(s_fontnamecache_mutex);
    if (!s_shutDown && !s_fontnamecache) s_fontnamecache = new (std::nothrow) FontNameCache;
    FontNameCache* cache = s_fontnamecache;
    if (cache) {
        auto it =
            std::lower_bound(cache->begin(), cache->end(), faceString,
                             [](const auto& entry, const std::string& key) { return entry.first < key; });
        if (it != cache->end() && it->first == faceString) {
            *out = it->second;
            return true;
        }
        if (!Resolve(faceString, out)) return false;
        cache->insert(it, std::make_pair(faceString, *out));
        return true;
    }
    return Resolve(faceString, out);
}

FT_Library AcquireLibrary() {
    // Called with s_ftMutex held.
    if (!s_ftLibrary && FT_Init_FreeType(&s_ftLibrary) != 0) s_ftLibrary = nullptr;
    return s_ftLibrary;
}

void ReleaseLibraryIfIdle() {
    // Called with s_ftMutex held.
    if (s_shutDown && s_ftFaces == 0 && s_ftLibrary) {
        FT_Done_FreeType(s_ftLibrary);
        s_ftLibrary = nullptr;
    }
}

Shim_Face* OpenFile(const ResolvedFace& resolved, int size) {
    auto* face = new (std::nothrow) Shim_Face;
    if (!face) return nullptr;
    {
        std::lock_guard<std::mutex> lock(s_ftMutex);
        FT_Library library = AcquireLibrary();
        if (!library || FT_New_Face(library, resolved.path.c_str(), resolved.index, &face->ft) != 0) {
            face->ft = nullptr;
            ReleaseLibraryIfIdle();
            delete face;
            return nullptr;
        }
        ++s_ftFaces;
    }
    FT_Face ft = face->ft;
    face->size = size;
    face->scalable = FT_IS_SCALABLE(ft) && ft->units_per_EM > 0;
    bool sized = false;
    if (face->scalable) {
        sized = FT_Set_Pixel_Sizes(ft, 0, static_cast<FT_UInt>(size)) == 0;
        face->unitsToPixels = static_cast<double>(size) / ft->units_per_EM;
        face->metrics.ascent = ft->ascender * face->unitsToPixels;
        face->metrics.descent = -ft->descender * face->unitsToPixels;
        face->metrics.leading =
            std::max(0.0, ft->height * face->unitsToPixels - face->metrics.ascent - face->metrics.descent);
    } else if (ft->num_fixed_sizes > 0) {
        // Bitmap font: the strike nearest to the size.
        int best = 0;
        for (int i = 1; i < ft->num_fixed_sizes; ++i)
            if (std::abs(ft->available_sizes[i].height - size) <
                std::abs(ft->available_sizes[best].height - size))
                best = i;
        sized = FT_Select_Size(ft, best) == 0;
        if (sized) {
            face->metrics.ascent = ft->size->metrics.ascender / 64.0;
            face->metrics.descent = -ft->size->metrics.descender / 64.0;
            face->metrics.leading =
                std::max(0.0, ft->size->metrics.height / 64.0 - face->metrics.ascent - face->metrics.descent);
        }
    }
    if (!sized) {
        Shim_FaceClose(face);
        return nullptr;
    }
    face->displayName = resolved.displayName;
    if (face->displayName.empty() && ft->family_name) face->displayName = ft->family_name;
    return face;
}

// The label face: the generic sans-serif face at a size.
Shim_Face* OpenLabelFace(int size) {
    ResolvedFace resolved;
    if (!LookUp("", &resolved)) return nullptr;
    return OpenFile(resolved, size);
}

} // namespace

Shim_Face* Shim_FaceOpen(const char* faceString, int pixelSize) {
    if (pixelSize < 2 || pixelSize > 8192) pixelSize = 10;
    ResolvedFace resolved;
    Shim_Face* face = nullptr;
    const std::string key = faceString ? faceString : "";
    if (!key.empty() && LookUp(key, &resolved)) face = OpenFile(resolved, pixelSize);
    if (!face) face = OpenLabelFace(pixelSize);
    return face;
}

void Shim_FaceClose(Shim_Face* face) {
    if (!face) return;
    if (face->ft) {
        std::lock_guard<std::mutex> lock(s_ftMutex);
        FT_Done_Face(face->ft);
        --s_ftFaces;
        ReleaseLibraryIfIdle();
    }
    delete face;
}

Shim_Face* Shim_FaceDefault() {
    std::lock_guard<std::mutex> lock(s_defaultMutex);
    if (!s_defaultTried && !s_shutDown) {
        s_defaultTried = true;
        s_defaultFace = OpenLabelFace(10);
    }
    return s_defaultFace;
}

void Shim_FaceGetMetrics(Shim_Face* face, Shim_FaceMetrics* metrics) {
    if (!metrics) return;
    if (!face) {
        *metrics = {0, 0, 0};
        return;
    }
    *metrics = face->metrics;
}

const char* Shim_FaceDisplayName(Shim_Face* face) {
    return face ? face->displayName.c_str() : "";
}

double Shim_FaceAdvance(Shim_Face* face, uint32_t code) {
    if (!face) return 0;
    std::lock_guard<std::mutex> lock(face->mutex);
    const FT_UInt glyph = FT_Get_Char_Index(face->ft, code);
    FT_Fixed advance = 0;
    if (face->scalable) {
        if (FT_Get_Advance(face->ft, glyph, FT_LOAD_NO_SCALE, &advance) != 0) return 0;
        return advance * face->unitsToPixels;
    }
    if (FT_Get_Advance(face->ft, glyph, FT_LOAD_DEFAULT, &advance) != 0) return 0;
    return advance / 65536.0;
}

bool Shim_FaceRender(Shim_Face* face, uint32_t code, double penX, bool antialias, Shim_GlyphImage* image) {
    image->left = image->top = image->width = image->height = 0;
    image->coverage.clear();
    if (!face) return false;
    std::lock_guard<std::mutex> lock(face->mutex);
    FT_Face ft = face->ft;
    const FT_UInt glyph = FT_Get_Char_Index(ft, code);
    const FT_Int32 loadFlags = antialias ? FT_LOAD_TARGET_LIGHT : FT_LOAD_TARGET_MONO;
    if (FT_Load_Glyph(ft, glyph, loadFlags) != 0) return false;
    FT_GlyphSlot slot = ft->glyph;
    double origin;
    if (antialias) {
        // Keep the fractional pen position: the outline moves by the fraction, the bitmap by whole pixels.
        origin = std::floor(penX);
        const long fraction = std::lround((penX - origin) * 64.0);
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE && fraction != 0)
            FT_Outline_Translate(&slot->outline, fraction, 0);
    } else {
        origin = std::floor(penX + 0.5);
    }
    if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
        FT_Render_Glyph(slot, antialias ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
        return false;
    const FT_Bitmap& bitmap = slot->bitmap;
    const int width = static_cast<int>(bitmap.width);
    const int height = static_cast<int>(bitmap.rows);
    if (width <= 0 || height <= 0 || !bitmap.buffer) return false;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return false;

    image->coverage.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    const int pitch = bitmap.pitch;
    const unsigned char* row0 =
        pitch >= 0 ? bitmap.buffer : bitmap.buffer + static_cast<long>(-pitch) * (height - 1);
    const int maxGrey = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
    bool any = false;
    for (int y = 0; y < height; ++y) {
        const unsigned char* src = row0 + static_cast<long>(pitch) * y;
        uint8_t* dst = image->coverage.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            int c;
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                c = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            } else {
                c = maxGrey == 255 ? src[x] : (src[x] * 255 + maxGrey / 2) / maxGrey;
            }
            dst[x] = static_cast<uint8_t>(c);
            any = any || c != 0;
        }
    }
    if (!any) {
        image->coverage.clear();
        return false;
    }
    image->left = static_cast<int>(origin) + slot->bitmap_left;
    image->top = -slot->bitmap_top;
    image->width = width;
    image->height = height;
    return true;
}

void Shim_FaceShutdown() {
    Shim_Face* defaultFace = nullptr;
    {
        std::lock_guard<std::mutex> lock(s_defaultMutex);
        defaultFace = s_defaultFace;
        s_defaultFace = nullptr;
        s_defaultTried = true;
    }
    {
        std::lock_guard<std::mutex> lock(s_fontnamecache_mutex);
        delete s_fontnamecache;
        s_fontnamecache = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(s_ftMutex);
        s_shutDown = true;
    }
    Shim_FaceClose(defaultFace);
    std::lock_guard<std::mutex> lock(s_ftMutex);
    ReleaseLibraryIfIdle();
}
