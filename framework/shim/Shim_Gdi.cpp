// Contexts, objects and their pools.
#include "framework/shim/Shim_Gdi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "framework/shim/Shim_Face.h"
#include "framework/shim/Shim_Objects.h"
#include "framework/util/Util_Mutex.h"

namespace {

constexpr int kMaxPooledContexts = 100;
constexpr int kMaxPooledObjects = 200;

// Pool state. The mutex is made on first use and destroyed by the unloader; after that the pools are
// no longer used: records are allocated and freed directly (objects deleted by other modules' static
// destructors at exit still work).
Util_Mutex* s_poolMutex = nullptr;
bool s_poolsClosed = false;
HDC__* s_ctxPool = nullptr;
int s_ctxPoolCount = 0;
HGDIOBJ__* s_objPool = nullptr;
int s_objPoolCount = 0;

Util_Mutex* PoolMutex() {
    // Thread-safe creation on first use; null once the unloader has run.
    static Util_Mutex* sFirst = (s_poolMutex = new (std::nothrow) Util_Mutex);
    (void)sFirst;
    return s_poolsClosed ? nullptr : s_poolMutex;
}

class PoolLock {
public:
    PoolLock() : mMutex(PoolMutex()) {
        if (mMutex) mMutex->Lock();
    }
    ~PoolLock() {
        if (mMutex) mMutex->Unlock();
    }
    PoolLock(const PoolLock&) = delete;
    PoolLock& operator=(const PoolLock&) = delete;
    bool Pooling() const { return mMutex != nullptr; }

private:
    Util_Mutex* mMutex;
};

// The two stock records: width -1 marks them, DeleteObject never releases them.
HGDIOBJ__ s_stockPen = {kShimObjPen, 0, 0, -1, 0, nullptr, 0, nullptr, false};
HGDIOBJ__ s_stockBrush = {kShimObjBrush, 0, 0xFFFFFF, -1, 0, nullptr, 0, nullptr, false};

bool IsStock(const HGDIOBJ__* obj) {
    return obj == &s_stockPen || obj == &s_stockBrush;
}

uint32_t ColourToWord(int colour) {
    const uint32_t r = (static_cast<uint32_t>(colour) >> 16) & 0xFF;
    const uint32_t g = (static_cast<uint32_t>(colour) >> 8) & 0xFF;
    const uint32_t b = static_cast<uint32_t>(colour) & 0xFF;
    return 0xFFu | (r << 8) | (g << 16) | (b << 24);
}

HGDIOBJ__* NewObject(int type) {
    HGDIOBJ__* obj = nullptr;
    {
        PoolLock lock;
        if (lock.Pooling() && s_objPool) {
            obj = s_objPool;
            s_objPool = obj->poolNext;
            --s_objPoolCount;
        }
    }
    if (!obj) obj = static_cast<HGDIOBJ__*>(std::malloc(sizeof(HGDIOBJ__)));
    if (!obj) return nullptr;
    std::memset(static_cast<void*>(obj), 0, sizeof(*obj));
    obj->type = type;
    return obj;
}

void ReleaseObjectRecord(HGDIOBJ__* obj) {
    std::memset(static_cast<void*>(obj), 0, sizeof(*obj));
    {
        PoolLock lock;
        if (lock.Pooling() && s_objPoolCount < kMaxPooledObjects) {
            obj->inPool = true;
            obj->poolNext = s_objPool;
            s_objPool = obj;
            ++s_objPoolCount;
            return;
        }
    }
    std::free(obj);
}

void ReleaseContextRecord(HDC__* ctx) {
    std::memset(static_cast<void*>(ctx), 0, sizeof(*ctx));
    {
        PoolLock lock;
        if (lock.Pooling() && s_ctxPoolCount < kMaxPooledContexts) {
            ctx->inPool = true;
            ctx->poolNext = s_ctxPool;
            s_ctxPool = ctx;
            ++s_ctxPoolCount;
            return;
        }
    }
    std::free(ctx);
}

// Frees the pools when the module unloads.
struct ShimGdiUnloader {
    ~ShimGdiUnloader() {
        {
            PoolLock lock;
            while (s_ctxPool) {
                HDC__* next = s_ctxPool->poolNext;
                std::free(s_ctxPool);
                s_ctxPool = next;
            }
            s_ctxPoolCount = 0;
            while (s_objPool) {
                HGDIOBJ__* next = s_objPool->poolNext;
                std::free(s_objPool);
                s_objPool = next;
            }
            s_objPoolCount = 0;
            s_poolsClosed = true;
        }
        delete s_poolMutex;
        s_poolMutex = nullptr;
        Shim_FaceShutdown();
    }
};
ShimGdiUnloader _shimGdiUnloader;

} // namespace

// ---- contexts ----

HDC__* Shim_GDP_CTX_NEW() {
    HDC__* ctx = nullptr;
    {
        PoolLock lock;
        if (lock.Pooling() && s_ctxPool) {
            ctx = s_ctxPool;
            s_ctxPool = ctx->poolNext;
            --s_ctxPoolCount;
        }
    }
    if (!ctx) ctx = static_cast<HDC__*>(std::malloc(sizeof(HDC__)));
    if (!ctx) return nullptr;
    std::memset(static_cast<void*>(ctx), 0, sizeof(*ctx));
    ctx->textWord = ColourToWord(0);
    return ctx;
}

HDC__* Shim_CreateMemContext(HDC__* ref, int w, int h) {
    (void)ref;
    if (w <= 0 || h <= 0) return nullptr;
    const size_t pixels = static_cast<size_t>(w) * static_cast<size_t>(h);
    if (pixels > (static_cast<size_t>(1) << 31) / 4) return nullptr; // keep every offset within int range
    HDC__* ctx = Shim_GDP_CTX_NEW();
    if (!ctx) return nullptr;
    void* block = std::calloc(pixels * 4 + 63, 1);
    if (!block) {
        ReleaseContextRecord(ctx);
        return nullptr;
    }
    const uintptr_t aligned = (reinterpret_cast<uintptr_t>(block) + 63) & ~static_cast<uintptr_t>(63);
    ctx->block = block;
    ctx->ownSurface.bits = reinterpret_cast<uint32_t*>(aligned);
    ctx->ownSurface.width = w;
    ctx->ownSurface.height = h;
    ctx->ownSurface.rowSpan = w;
    ctx->gc = &ctx->ownSurface;
    return ctx;
}

void* Shim_GetCtxFrameBuffer(HDC__* ctx) {
    if (!Shim_IsValidCtx(ctx) || !ctx->block) return nullptr;
    return ctx->ownSurface.bits;
}

void Shim_DeleteGfxContext(HDC__* ctx) {
    if (!Shim_IsValidCtx(ctx)) return;
    std::free(ctx->block);
    ReleaseContextRecord(ctx);
}

HDC__* Shim_CreateGfxContext(Shim_Surface* surface) {
    if (!surface) return nullptr;
    HDC__* ctx = Shim_GDP_CTX_NEW();
    if (ctx) ctx->gc = surface;
    return ctx;
}

Shim_Surface* Shim_GetCtxGC(HDC__* ctx) {
    return Shim_IsValidCtx(ctx) ? ctx->gc : nullptr;
}

int SetTextColor(HDC__* ctx, int colour) {
    if (!Shim_IsValidCtx(ctx)) return 0;
    const int old = ctx->textColour;
    ctx->textColour = colour;
    ctx->textWord = ColourToWord(colour);
    return old;
}

int GetTextColor(HDC__* ctx) {
    return Shim_IsValidCtx(ctx) ? ctx->textColour : 0;
}

int SetBkColor(HDC__* ctx, int colour) {
    if (!Shim_IsValidCtx(ctx)) return 0;
    const int old = ctx->bkColour;
    ctx->bkColour = colour;
    return old;
}

int SetBkMode(HDC__* ctx, int mode) {
    if (!Shim_IsValidCtx(ctx)) return 0;
    const int old = ctx->bkMode;
    ctx->bkMode = mode;
    return old;
}

Shim_Face* Shim_CtxFace(HDC__* ctx) {
    if (Shim_IsValidCtx(ctx) && Shim_IsValidObj(ctx->font) && ctx->font->face) return ctx->font->face;
    return Shim_FaceDefault();
}

int Shim_CtxQuality(HDC__* ctx) {
    if (Shim_IsValidCtx(ctx) && Shim_IsValidObj(ctx->font)) return ctx->font->quality;
    return kShimQualityDefault;
}

// ---- objects ----

HGDIOBJ__* CreateFont(int height, int width, int escapement, int orientation, int weight, int italic,
                      int underline, int strikeout, int charset, int outPrecision, int clipPrecision,
                      int quality, int pitchAndFamily, const char* faceName) {
    (void)escapement;
    (void)underline;
    (void)strikeout;
    (void)charset;
    (void)outPrecision;
    (void)clipPrecision;
    (void)pitchAndFamily;
    // |INT_MIN| does not exist: such sizes are out of range anyway.
    const long long h = height, wd = width;
    long long size = h != 0 ? (h < 0 ? -h : h) : (wd < 0 ? -wd : wd);
    if (size > 8192 || size < 2) size = 10;

    // Face string: name (at most 899 bytes), then the style suffixes.
    char face[1024];
    size_t n = 0;
    if (faceName) {
        while (n < 899 && faceName[n]) ++n;
        std::memcpy(face, faceName, n);
    }
    face[n] = '\0';
    if (weight >= 700) std::strcat(face, " Bold");
    if (italic) std::strcat(face, " Italic");

    HGDIOBJ__* obj = NewObject(kShimObjFont);
    if (!obj) return nullptr;
    obj->rotation = orientation / 10;
    obj->quality = (quality == 0 || quality == 3 || quality == 4) ? quality : 0;
    obj->face = Shim_FaceOpen(face, static_cast<int>(size));
    return obj;
}

HGDIOBJ__* CreateFontIndirect(const Shim_LogFont* lf) {
    if (!lf) return nullptr;
    char face[sizeof(lf->faceName) + 1];
    std::memcpy(face, lf->faceName, sizeof(lf->faceName));
    face[sizeof(lf->faceName)] = '\0'; // an unterminated name is cut at the field's end
    return CreateFont(lf->height, lf->width, 0, lf->orientation, lf->weight, lf->italic, 0, 0, 0, 0, 0,
                      lf->quality, 0, face);
}

HGDIOBJ__* CreatePen(int style, int width, int colour) {
    (void)style;
    HGDIOBJ__* obj = NewObject(kShimObjPen);
    if (!obj) return nullptr;
    obj->width = std::max(0, width);
    obj->colour = colour & 0xFFFFFF;
    return obj;
}

HGDIOBJ__* CreateSolidBrush(int colour) {
    HGDIOBJ__* obj = NewObject(kShimObjBrush);
    if (!obj) return nullptr;
    obj->colour = colour & 0xFFFFFF;
    return obj;
}

HGDIOBJ__* GetStockObject(int index) {
    if (index == 1) return &s_stockPen;
    if (index == 2) return &s_stockBrush;
    return nullptr;
}

HGDIOBJ__* SelectObject(HDC__* ctx, HGDIOBJ__* obj) {
    if (!Shim_IsValidCtx(ctx)) return nullptr;
    const uintptr_t code = reinterpret_cast<uintptr_t>(obj);
    int type;
    if (code >= 1 && code <= 3) {
        type = static_cast<int>(code);
        obj = nullptr;
    } else if (Shim_IsValidObj(obj)) {
        type = obj->type;
    } else {
        return nullptr;
    }
    HGDIOBJ__** slot = nullptr;
    switch (type) {
    case kShimObjPen:
        slot = &ctx->pen;
        break;
    case kShimObjBrush:
        slot = &ctx->brush;
        break;
    case kShimObjFont:
        slot = &ctx->font;
        break;
    default:
        return nullptr; // bitmaps cannot be selected
    }
    HGDIOBJ__* previous = *slot;
    *slot = obj;
    return previous ? previous : reinterpret_cast<HGDIOBJ__*>(static_cast<uintptr_t>(type));
}

void DeleteObject(HGDIOBJ__* obj) {
    if (!Shim_IsValidObj(obj) || IsStock(obj)) return;
    {
        // Reference counts may be changed from several threads.
        PoolLock lock;
        if (--obj->extraRefs >= 0) return;
    }
    if ((obj->type == kShimObjPen || obj->type == kShimObjBrush) && obj->width == -1) return;
    Shim_FaceClose(obj->face);
    ReleaseObjectRecord(obj);
}

HGDIOBJ__* Shim_CloneGDIObject(HGDIOBJ__* obj) {
    if (!Shim_IsValidObj(obj) || IsStock(obj)) return obj;
    PoolLock lock;
    ++obj->extraRefs;
    return obj;
}
