// Memory contexts, object handles, reference counts and pools.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "framework/shim/Shim_Gdi.h"

namespace {

HGDIOBJ__* Code(uintptr_t code) {
    return reinterpret_cast<HGDIOBJ__*>(code);
}

HGDIOBJ__* NewFont(int height) {
    return CreateFont(height, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
}

TEST(ShimMemContext, ZeroedAlignedTopDownBlock) {
    HDC__* ctx = Shim_CreateMemContext(nullptr, 7, 3);
    ASSERT_NE(ctx, nullptr);
    auto* bits = static_cast<uint32_t*>(Shim_GetCtxFrameBuffer(ctx));
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bits) % 64, 0u);
    for (int i = 0; i < 7 * 3; ++i) EXPECT_EQ(bits[i], 0u) << "pixel " << i;

    Shim_Surface* s = Shim_GetCtxGC(ctx);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->bits, bits);
    EXPECT_EQ(s->width, 7);
    EXPECT_EQ(s->height, 3);
    EXPECT_EQ(s->rowSpan, 7);
    // Every pixel of the block is writable (the sanitizer build checks the bounds).
    for (int i = 0; i < 7 * 3; ++i) bits[i] = 0xA1B2C3D4u;
    EXPECT_EQ(GetTextColor(ctx), 0);
    Shim_DeleteGfxContext(ctx);
}

TEST(ShimMemContext, BadSizesGiveNull) {
    EXPECT_EQ(Shim_CreateMemContext(nullptr, 0, 10), nullptr);
    EXPECT_EQ(Shim_CreateMemContext(nullptr, 10, 0), nullptr);
    EXPECT_EQ(Shim_CreateMemContext(nullptr, -4, 10), nullptr);
    EXPECT_EQ(Shim_CreateMemContext(nullptr, INT_MAX, INT_MAX), nullptr);
    EXPECT_EQ(Shim_CreateMemContext(nullptr, 1 << 16, 1 << 14), nullptr); // 4 GiB of pixels
}

TEST(ShimMemContext, DeletedContextIsInvalidEverywhere) {
    HDC__* ctx = Shim_CreateMemContext(nullptr, 4, 4);
    ASSERT_NE(ctx, nullptr);
    Shim_DeleteGfxContext(ctx);
    // The record sits in the pool: every operation refuses it.
    EXPECT_EQ(Shim_GetCtxFrameBuffer(ctx), nullptr);
    EXPECT_EQ(Shim_GetCtxGC(ctx), nullptr);
    EXPECT_EQ(SetTextColor(ctx, 0x123456), 0);
    EXPECT_EQ(GetTextColor(ctx), 0);
    HGDIOBJ__* font = NewFont(12);
    EXPECT_EQ(SelectObject(ctx, font), nullptr);
    Shim_TextMetrics tm;
    EXPECT_EQ(GetTextMetrics(ctx, &tm), 0);
    RECT r = {0, 0, 100, 100};
    EXPECT_EQ(Shim_DrawText(ctx, "A", -1, &r, 0), 0);
    Shim_DeleteGfxContext(ctx); // a second delete is harmless
    DeleteObject(font);

    // The next context reuses the pooled record, zeroed.
    HDC__* again = Shim_GDP_CTX_NEW();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again, ctx);
    EXPECT_EQ(GetTextColor(again), 0);
    EXPECT_EQ(Shim_GetCtxGC(again), nullptr);
    EXPECT_EQ(Shim_GetCtxFrameBuffer(again), nullptr); // no block of its own
    EXPECT_EQ(SelectObject(again, Code(3)), Code(3));  // font slot empty
    Shim_DeleteGfxContext(again);
}

TEST(ShimMemContext, HandlesBelowFiveAreNoContext) {
    for (uintptr_t v = 0; v < 5; ++v) {
        auto* ctx = reinterpret_cast<HDC__*>(v);
        EXPECT_EQ(Shim_GetCtxFrameBuffer(ctx), nullptr);
        EXPECT_EQ(SetBkMode(ctx, 1), 0);
        Shim_DeleteGfxContext(ctx);
    }
}

TEST(ShimMemContext, CallerSurfaceIsNotOwned) {
    std::vector<uint32_t> pixels(10 * 2, 0);
    Shim_Surface surface = {pixels.data(), 8, 2, 10};
    HDC__* ctx = Shim_CreateGfxContext(&surface);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(Shim_GetCtxGC(ctx), &surface);
    EXPECT_EQ(Shim_GetCtxFrameBuffer(ctx), nullptr); // only memory contexts own a frame buffer
    Shim_DeleteGfxContext(ctx);
    EXPECT_EQ(Shim_CreateGfxContext(nullptr), nullptr);
}

TEST(ShimObjects, SelectReturnsPreviousOrTypeCode) {
    HDC__* ctx = Shim_CreateMemContext(nullptr, 2, 2);
    ASSERT_NE(ctx, nullptr);
    HGDIOBJ__* font = NewFont(12);
    HGDIOBJ__* font2 = NewFont(14);
    HGDIOBJ__* pen = CreatePen(0, -3, 0x112233);
    HGDIOBJ__* brush = CreateSolidBrush(0x445566);
    ASSERT_TRUE(font && font2 && pen && brush);

    EXPECT_EQ(SelectObject(ctx, font), Code(3)); // the font slot was empty
    EXPECT_EQ(SelectObject(ctx, font2), font);
    EXPECT_EQ(SelectObject(ctx, Code(3)), font2); // the type code empties the slot
    EXPECT_EQ(SelectObject(ctx, Code(3)), Code(3));

    EXPECT_EQ(SelectObject(ctx, pen), Code(1));
    EXPECT_EQ(SelectObject(ctx, brush), Code(2));
    EXPECT_EQ(SelectObject(ctx, Code(1)), pen);
    EXPECT_EQ(SelectObject(ctx, Code(2)), brush);

    // Stock objects select like their types and are never deleted.
    HGDIOBJ__* stockPen = GetStockObject(1);
    HGDIOBJ__* stockBrush = GetStockObject(2);
    ASSERT_TRUE(stockPen && stockBrush);
    EXPECT_NE(stockPen, stockBrush);
    EXPECT_EQ(GetStockObject(0), nullptr);
    EXPECT_EQ(GetStockObject(3), nullptr);
    DeleteObject(stockPen);
    DeleteObject(stockBrush);
    EXPECT_EQ(SelectObject(ctx, stockPen), Code(1));
    EXPECT_EQ(SelectObject(ctx, stockBrush), Code(2));
    EXPECT_EQ(SelectObject(ctx, Code(1)), stockPen);
    EXPECT_EQ(SelectObject(ctx, Code(2)), stockBrush);

    // The bitmap code and the other small values are not objects: nothing changes.
    EXPECT_EQ(SelectObject(ctx, Code(4)), nullptr);
    EXPECT_EQ(SelectObject(ctx, Code(0)), nullptr);
    EXPECT_EQ(SelectObject(ctx, font), Code(3));
    EXPECT_EQ(SelectObject(nullptr, font), nullptr);

    for (uintptr_t v = 0; v < 5; ++v) DeleteObject(Code(v)); // type codes are ignored
    SelectObject(ctx, Code(3));
    DeleteObject(font);
    DeleteObject(font2);
    DeleteObject(pen);
    DeleteObject(brush);
    Shim_DeleteGfxContext(ctx);
}

TEST(ShimObjects, ReferenceCountAndDoubleDelete) {
    HDC__* ctx = Shim_CreateMemContext(nullptr, 2, 2);
    HGDIOBJ__* font = NewFont(12);
    ASSERT_TRUE(ctx && font);
    EXPECT_EQ(Shim_CloneGDIObject(font), font);
    DeleteObject(font); // drops the extra reference only
    EXPECT_EQ(SelectObject(ctx, font), Code(3));
    EXPECT_EQ(SelectObject(ctx, Code(3)), font);
    DeleteObject(font); // now released into the pool
    EXPECT_EQ(SelectObject(ctx, font), nullptr);
    DeleteObject(font); // finds it pooled: harmless
    EXPECT_EQ(Shim_CloneGDIObject(font), font);
    EXPECT_EQ(SelectObject(ctx, font), nullptr); // cloning a pooled record does not revive it
    Shim_DeleteGfxContext(ctx);
}

TEST(ShimObjects, PoolsSurviveManyThreads) {
    // Creation and deletion race on the pools from two threads; the sanitizer builds check the rest.
    auto work = [] {
        for (int i = 0; i < 300; ++i) {
            HDC__* ctx = Shim_CreateMemContext(nullptr, 3, 3);
            HGDIOBJ__* pen = CreatePen(0, 1, 0);
            HGDIOBJ__* brush = CreateSolidBrush(0xFFFFFF);
            ASSERT_TRUE(ctx && pen && brush);
            EXPECT_EQ(SelectObject(ctx, pen), Code(1));
            EXPECT_EQ(SelectObject(ctx, brush), Code(2));
            Shim_CloneGDIObject(pen);
            DeleteObject(pen);
            DeleteObject(pen);
            DeleteObject(brush);
            Shim_DeleteGfxContext(ctx);
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    // More contexts alive at once than the pool keeps: all of them must be distinct and usable.
    std::vector<HDC__*> many;
    for (int i = 0; i < 150; ++i) many.push_back(Shim_CreateMemContext(nullptr, 1, 1));
    for (size_t i = 0; i < many.size(); ++i) {
        ASSERT_NE(many[i], nullptr);
        for (size_t j = 0; j < i; ++j) ASSERT_NE(many[i], many[j]);
        ASSERT_NE(Shim_GetCtxFrameBuffer(many[i]), nullptr);
    }
    for (HDC__* ctx : many) Shim_DeleteGfxContext(ctx);
}

} // namespace
