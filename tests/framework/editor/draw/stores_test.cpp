// The process-wide picture store: loading once per ID, failed pictures, retained, scaled and cropped
// copies, and emptying when the last editor goes.
#include <gtest/gtest.h>

#include "framework/editor/BitmapStorage.h"
#include "framework/editor/EditorStores.h"
#include "tests/framework/editor/draw/Canvas.h"
#include "tests/support/editor/TestPictures.h"

namespace {

int StoredBitmaps() {
    return EditorStores::GetCounts().mBitmaps;
}

TEST(PictureStore, OneLoadPerID) {
    auto a = MakeCoordPicture(6, 8);
    auto b = MakeSolidPicture(3, 3, Px(1, 1, 1));
    RegisterPicture("store_a.png", a.get());
    RegisterPicture("store_b.png", b.get());
    EditorFixture f;
    IBitmap first = f.gui->LoadIBitmap(500, "store_a.png", 2);
    ASSERT_NE(first.mData, nullptr);
    EXPECT_EQ(first.W, 6);
    EXPECT_EQ(first.H, 8);
    EXPECT_EQ(first.N, 2);
    EXPECT_FALSE(first.mFramesAreHorizontal);
    EXPECT_EQ(CoordY(first.mData->getBits()[5 * first.mData->getRowSpan() + 2]), 5);
    // The same ID with another name: the picture loaded first, with this call's frame layout.
    IBitmap second = f.gui->LoadIBitmap(500, "store_b.png", 3, true);
    EXPECT_EQ(second.mData, first.mData);
    EXPECT_EQ(second.N, 3);
    EXPECT_TRUE(second.mFramesAreHorizontal);
    EXPECT_EQ(StoredBitmaps(), 1);
    // Another editor in the process shares it.
    EditorFixture g;
    EXPECT_EQ(g.gui->LoadIBitmap(500, "whatever.png").mData, first.mData);
    EXPECT_EQ(EditorStores::GetCounts().mEditors, 2);
}

TEST(PictureStore, FailedPicturesAreNotStored) {
    const unsigned char corrupt[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,
                                     0,    0,   13,  'I', 'H',  'D',  'R',  1};
    RegisterResourceBytes("store_corrupt.png", corrupt, sizeof(corrupt));
    EditorFixture f;
    struct Case {
        int id;
        const char* name;
    };
    const Case cases[] = {
        {600, "store_missing.png"}, {601, "store_corrupt.png"}, {602, "store_a.txt"}, {603, nullptr}};
    for (const Case& c : cases) {
        IBitmap bm = f.gui->LoadIBitmap(c.id, c.name, 0);
        EXPECT_EQ(bm.mData, nullptr) << c.id;
        EXPECT_EQ(bm.W, 0);
        EXPECT_EQ(bm.H, 0);
        EXPECT_EQ(bm.N, 1); // a frame count below 1 counts as 1
    }
    EXPECT_EQ(StoredBitmaps(), 0);
    // Once the picture exists, the same ID loads it.
    auto late = MakeSolidPicture(4, 4, Px(9, 9, 9));
    RegisterPicture("store_missing.png", late.get());
    EXPECT_NE(f.gui->LoadIBitmap(600, "store_missing.png").mData, nullptr);
    EXPECT_EQ(StoredBitmaps(), 1);
}

TEST(PictureStore, RetainReleaseScaleCrop) {
    EditorFixture f;
    auto* own = new Raster_MemBitmap(4, 4);
    IBitmap mine(own, 4, 4);
    f.gui->RetainBitmap(&mine);
    f.gui->RetainBitmap(&mine); // once stored, never twice
    EXPECT_EQ(StoredBitmaps(), 1);
    f.gui->ReleaseBitmap(&mine); // deleted by the store
    EXPECT_EQ(StoredBitmaps(), 0);
    f.gui->ReleaseBitmap(&mine); // not stored: nothing

    auto coords = MakeCoordPicture(20, 30);
    IBitmap src(coords.get(), 20, 30, 3, true);
    IRECT crop(3, 4, 8, 10);
    IBitmap cropped = f.gui->CropBitmap(&src, &crop);
    ASSERT_NE(cropped.mData, nullptr);
    EXPECT_EQ(cropped.W, 5);
    EXPECT_EQ(cropped.H, 6);
    EXPECT_EQ(cropped.N, 3);
    EXPECT_FALSE(cropped.mFramesAreHorizontal);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 5; ++x) {
            const uint32_t p = cropped.mData->getBits()[y * cropped.mData->getRowSpan() + x];
            EXPECT_EQ(CoordX(p), 3 + x);
            EXPECT_EQ(CoordY(p), 4 + y);
        }
    }
    // Parts outside the source stay transparent.
    IRECT beyond(18, 28, 22, 32);
    IBitmap edge = f.gui->CropBitmap(&src, &beyond);
    EXPECT_EQ(CoordX(edge.mData->getBits()[0]), 18);
    EXPECT_EQ(edge.mData->getBits()[3 * edge.mData->getRowSpan() + 3], 0u);

    IBitmap scaled = f.gui->ScaleBitmap(&src, 10, 15);
    ASSERT_NE(scaled.mData, nullptr);
    EXPECT_EQ(scaled.mData->getWidth(), 10);
    EXPECT_EQ(scaled.mData->getHeight(), 15);
    EXPECT_EQ(scaled.N, 3);
    EXPECT_EQ(StoredBitmaps(), 3);
    // Anonymous entries are never found by ID.
    EXPECT_EQ(EditorStores::Bitmaps()->Find(BitmapStorage::kAnonymousID), nullptr);

    IRECT none(5, 5, 5, 9);
    EXPECT_EQ(f.gui->CropBitmap(&src, &none).mData, nullptr);
    EXPECT_EQ(f.gui->ScaleBitmap(&src, 0, 4).mData, nullptr);
    EXPECT_EQ(StoredBitmaps(), 3);
}

TEST(PictureStore, EmptiedWhenTheLastEditorGoes) {
    auto a = MakeCoordPicture(6, 8);
    RegisterPicture("store_last.png", a.get());
    auto first = std::make_unique<Canvas>();
    {
        Canvas second;
        second.gui->LoadIBitmap(700, "store_last.png");
        IText text;
        second.gui->CacheFont(&text);
        EXPECT_EQ(EditorStores::GetCounts().mBitmaps, 1);
        EXPECT_EQ(EditorStores::GetCounts().mFonts, 1);
    }
    // One editor is left: everything stays.
    EXPECT_EQ(EditorStores::GetCounts().mEditors, 1);
    EXPECT_EQ(EditorStores::GetCounts().mBitmaps, 1);
    EXPECT_EQ(EditorStores::GetCounts().mFonts, 1);
    first.reset();
    const EditorStores::Counts c = EditorStores::GetCounts();
    EXPECT_EQ(c.mEditors, 0);
    EXPECT_EQ(c.mBitmaps, 0);
    EXPECT_EQ(c.mFonts, 0);
}

} // namespace
