// The editor's pictures: loading through the process-wide picture store, scaled and cropped copies.
#include "framework/editor/BitmapStorage.h"
#include "framework/editor/EditorStores.h"
#include "framework/editor/IGraphics.h"
#include "framework/raster/Raster_Blit.h"

IBitmap IGraphics::LoadIBitmap(int ID, const char* name, int nStates, bool framesAreHoriz) {
    BitmapStorage* store = EditorStores::Bitmaps();
    Raster_IBitmap* bitmap = store->Find(ID);
    if (!bitmap) bitmap = store->Add(ID, OSLoadBitmap(ID, name));
    // A picture that cannot be loaded is not stored (a later load tries again) and draws nothing.
    if (!bitmap) return IBitmap(nullptr, 0, 0, nStates, framesAreHoriz);
    return IBitmap(bitmap, bitmap->getWidth(), bitmap->getHeight(), nStates, framesAreHoriz);
}

void IGraphics::RetainBitmap(IBitmap* pBitmap) {
    if (pBitmap && pBitmap->mData) EditorStores::Bitmaps()->Add(BitmapStorage::kAnonymousID, pBitmap->mData);
}

void IGraphics::ReleaseBitmap(IBitmap* pBitmap) {
    if (pBitmap && pBitmap->mData) EditorStores::Bitmaps()->Remove(pBitmap->mData);
}

IBitmap IGraphics::ScaleBitmap(IBitmap* pBitmap, int destW, int destH) {
    if (!pBitmap || !pBitmap->mData || destW <= 0 || destH <= 0) return IBitmap(nullptr, 0, 0, 1);
    Raster_MemBitmap* scaled = new Raster_MemBitmap(destW, destH, 4);
    Raster_Clear(scaled, 0);
    Raster_ScaledBlit(scaled, pBitmap->mData, 0, 0, destW, destH, 0.0f, 0.0f, static_cast<float>(pBitmap->W),
                      static_cast<float>(pBitmap->H), 1.0f, RASTER_BLEND_COPY | RASTER_BLEND_FILTER_BILINEAR);
    EditorStores::Bitmaps()->Add(BitmapStorage::kAnonymousID, scaled);
    return IBitmap(scaled, destW, destH, pBitmap->N, false);
}

IBitmap IGraphics::CropBitmap(IBitmap* pBitmap, IRECT* pR) {
    if (!pBitmap || !pBitmap->mData || !pR || pR->W() <= 0 || pR->H() <= 0) return IBitmap(nullptr, 0, 0, 1);
    const int w = pR->W(), h = pR->H();
    Raster_MemBitmap* cropped = new Raster_MemBitmap(w, h, 4);
    // Parts of the rectangle outside the source stay transparent black.
    Raster_Clear(cropped, 0);
    Raster_Blit(cropped, pBitmap->mData, 0, 0, pR->L, pR->T, w, h, 1.0f, RASTER_BLEND_COPY);
    EditorStores::Bitmaps()->Add(BitmapStorage::kAnonymousID, cropped);
    return IBitmap(cropped, w, h, pBitmap->N, false);
}
