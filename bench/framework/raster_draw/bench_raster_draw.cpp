// Per-call cost of the vector and text routines the editor uses: a 40-character text line through
// the glyph cache into the 555 x 306 editor bitmap, an antialiased circle of radius 30, a 200-pixel
// antialiased line and a filled 8-point convex polygon.

#include <benchmark/benchmark.h>

#include <cmath>

#include "framework/raster/raster.h"

namespace {

const int kW = 555, kH = 306;

void BM_TextLine40(benchmark::State& state) {
    Raster_SysBitmap bm(kW, kH);
    Raster_Clear(&bm, 0xFF202020);
    Raster_CachedFont font;
    font.SetFromHFont(CreateFont(14, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, "DejaVu Sans"),
                      RASTER_FONT_OWNS_HANDLE);
    font.SetTextColor(0xFFE0E0E0);
    const char* text = "Sensitivity 0.70  Time 1.25 s  Depth 75%"; // 40 characters
    RECT r = {10, 140, 545, 170};
    font.DrawText(&bm, text, -1, &r, 0); // renders every glyph once
    for (auto _ : state) {
        RECT rr = r;
        benchmark::DoNotOptimize(font.DrawText(&bm, text, -1, &rr, 0));
    }
    state.SetItemsProcessed(state.iterations() * 40);
}
BENCHMARK(BM_TextLine40);

void BM_TextLine40Centered(benchmark::State& state) {
    Raster_SysBitmap bm(kW, kH);
    Raster_CachedFont font;
    font.SetFromHFont(CreateFont(14, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 4, 0, "DejaVu Sans"),
                      RASTER_FONT_OWNS_HANDLE);
    font.SetTextColor(0xFFE0E0E0);
    const char* text = "Sensitivity 0.70  Time 1.25 s  Depth 75%";
    RECT r = {0, 140, kW, 170};
    font.DrawText(&bm, text, -1, &r, DT_CENTER | DT_VCENTER);
    for (auto _ : state) {
        RECT rr = r;
        benchmark::DoNotOptimize(font.DrawText(&bm, text, -1, &rr, DT_CENTER | DT_VCENTER));
    }
}
BENCHMARK(BM_TextLine40Centered);

void BM_CircleAA_R30(benchmark::State& state) {
    Raster_MemBitmap bm(kW, kH, 4);
    Raster_Clear(&bm, 0xFF000000);
    for (auto _ : state) {
        Raster_Circle(&bm, 277.3f, 153.6f, 30.0f, 0xFFFFFFFF, 1.0f, RASTER_BLEND_COPY, true);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CircleAA_R30);

void BM_FillCircleAA_R30(benchmark::State& state) {
    Raster_MemBitmap bm(kW, kH, 4);
    Raster_Clear(&bm, 0xFF000000);
    for (auto _ : state) {
        Raster_FillCircle(&bm, 277.3f, 153.6f, 30.0f, 0xFFFFFFFF, 1.0f, RASTER_BLEND_COPY, true);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillCircleAA_R30);

void BM_LineAA_200(benchmark::State& state) {
    Raster_MemBitmap bm(kW, kH, 4);
    Raster_Clear(&bm, 0xFF000000);
    for (auto _ : state) {
        Raster_Line(&bm, 100, 50, 300, 123, 0xFFFFFFFF, 1.0f, RASTER_BLEND_COPY, true);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LineAA_200);

void BM_FLineAA_200(benchmark::State& state) {
    Raster_MemBitmap bm(kW, kH, 4);
    Raster_Clear(&bm, 0xFF000000);
    for (auto _ : state) {
        Raster_FLine(&bm, 100.3f, 50.7f, 300.3f, 123.2f, 0xFFFFFFFF, 1.0f, RASTER_BLEND_COPY, true);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FLineAA_200);

void BM_ConvexPolygon8(benchmark::State& state) {
    Raster_MemBitmap bm(kW, kH, 4);
    Raster_Clear(&bm, 0xFF000000);
    int xs[8], ys[8];
    for (int i = 0; i < 8; ++i) {
        xs[i] = 277 + (int)std::lround(60 * std::cos(i * M_PI / 4 + 0.2));
        ys[i] = 153 + (int)std::lround(60 * std::sin(i * M_PI / 4 + 0.2));
    }
    const float alpha = state.range(0) / 100.0f;
    for (auto _ : state) {
        Raster_FillConvexPolygon(&bm, xs, ys, 8, 0xFF4080C0, alpha, RASTER_BLEND_COPY);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ConvexPolygon8)->Arg(100)->Arg(70);

} // namespace

BENCHMARK_MAIN();
