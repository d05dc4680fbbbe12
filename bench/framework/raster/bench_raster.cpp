// Throughput of the editor's common raster operations in Mpixel/s (destination pixels written),
// each measured next to pixman's nearest equivalent, with the ratio printed at the end of the run.
//
// pixman works on premultiplied a8r8g8b8 (its fastest format); ours on straight-alpha words with
// alpha in the low byte. Source-alpha blits are compared with pixman's OVER, weighted ones with
// OVER through a constant mask, solid fills with pixman_fill, 2:1 reductions with a scaling
// transform (bilinear and nearest filters).

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "framework/raster/raster.h"

namespace {

constexpr int kW = 555, kH = 306, kKnob = 80;

// Deterministic background content.
uint32_t Noise(int x, int y) {
    return ((uint32_t)x * 2654435761u) ^ ((uint32_t)y * 40503u) ^ 0x5BD1E995u;
}

// Knob frame: an opaque disc with an antialiased rim on a transparent square.
int KnobAlpha(int x, int y) {
    const double dx = x + 0.5 - kKnob / 2.0, dy = y + 0.5 - kKnob / 2.0;
    const double d = std::sqrt(dx * dx + dy * dy);
    const double a = (kKnob / 2.0 - 2.0 - d) * 128.0;
    return a <= 0 ? 0 : (a >= 255 ? 255 : (int)a);
}

struct Ours {
    Raster_MemBitmap back{kW, kH, 4}, dest{kW, kH, 4}, knob{kKnob, kKnob, 4}, big{2 * kW, 2 * kH, 4};
    Ours() {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) back.getBits()[y * back.getRowSpan() + x] = Noise(x, y) | 0xFF;
        for (int y = 0; y < 2 * kH; ++y)
            for (int x = 0; x < 2 * kW; ++x) big.getBits()[y * big.getRowSpan() + x] = Noise(x, y) | 0xFF;
        for (int y = 0; y < kKnob; ++y)
            for (int x = 0; x < kKnob; ++x)
                knob.getBits()[y * knob.getRowSpan() + x] =
                    (Noise(y, x) & 0xFFFFFF00u) | (uint32_t)KnobAlpha(x, y);
        Raster_Copy(&dest, &back);
    }
};

struct Pix {
    uint32_t back[kW * kH], dest[kW * kH], knob[kKnob * kKnob], big[4 * kW * kH];
    pixman_image_t *iback, *idest, *iknob, *ibig, *mask25;
    Pix() {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) back[y * kW + x] = dest[y * kW + x] = Noise(x, y) | 0xFF000000u;
        for (int y = 0; y < 2 * kH; ++y)
            for (int x = 0; x < 2 * kW; ++x) big[y * 2 * kW + x] = Noise(x, y) | 0xFF000000u;
        for (int y = 0; y < kKnob; ++y)
            for (int x = 0; x < kKnob; ++x) {
                const uint32_t a = (uint32_t)KnobAlpha(x, y), c = Noise(y, x);
                // Premultiplied colour channels.
                const uint32_t r = ((c >> 16) & 255) * a / 255, g = ((c >> 8) & 255) * a / 255,
                               b = (c & 255) * a / 255;
                knob[y * kKnob + x] = (a << 24) | (r << 16) | (g << 8) | b;
            }
        iback = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, back, kW * 4);
        idest = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, dest, kW * 4);
        iknob = pixman_image_create_bits(PIXMAN_a8r8g8b8, kKnob, kKnob, knob, kKnob * 4);
        ibig = pixman_image_create_bits(PIXMAN_a8r8g8b8, 2 * kW, 2 * kH, big, 2 * kW * 4);
        const pixman_color_t quarter = {0, 0, 0, 0x4000};
        mask25 = pixman_image_create_solid_fill(&quarter);
    }
    ~Pix() {
        for (pixman_image_t* i : {iback, idest, iknob, ibig, mask25}) pixman_image_unref(i);
    }
};

Ours& O() {
    static Ours o;
    return o;
}
Pix& P() {
    static Pix* p = new Pix; // large arrays: heap, alive for the whole run
    return *p;
}

void Rate(benchmark::State& state, int pixels) {
    state.counters["Mpix/s"] =
        benchmark::Counter((double)pixels * (double)state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

// ---- opaque copy of the whole editor background -------------------------------------------------
void Ours_OpaqueCopy(benchmark::State& state) {
    Ours& o = O();
    for (auto _ : state) {
        Raster_Blit(&o.dest, &o.back, 0, 0, nullptr, 1.0f, RASTER_BLEND_COPY);
        benchmark::ClobberMemory();
    }
    Rate(state, kW * kH);
}
void Pixman_OpaqueCopy(benchmark::State& state) {
    Pix& p = P();
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, p.iback, nullptr, p.idest, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    Rate(state, kW * kH);
}

// ---- knob frame with source alpha, full weight and weight 0.25 ----------------------------------
void Ours_KnobAlpha(benchmark::State& state) {
    Ours& o = O();
    for (auto _ : state) {
        Raster_Blit(&o.dest, &o.knob, 100, 100, nullptr, 1.0f, RASTER_BLEND_COPY | RASTER_BLEND_SOURCE_ALPHA);
        benchmark::ClobberMemory();
    }
    Rate(state, kKnob * kKnob);
}
void Pixman_KnobAlpha(benchmark::State& state) {
    Pix& p = P();
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, p.iknob, nullptr, p.idest, 0, 0, 0, 0, 100, 100, kKnob,
                                 kKnob);
        benchmark::ClobberMemory();
    }
    Rate(state, kKnob * kKnob);
}
void Ours_KnobAlphaQuarter(benchmark::State& state) {
    Ours& o = O();
    for (auto _ : state) {
        Raster_Blit(&o.dest, &o.knob, 100, 100, nullptr, 0.25f,
                    RASTER_BLEND_COPY | RASTER_BLEND_SOURCE_ALPHA);
        benchmark::ClobberMemory();
    }
    Rate(state, kKnob * kKnob);
}
void Pixman_KnobAlphaQuarter(benchmark::State& state) {
    Pix& p = P();
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, p.iknob, p.mask25, p.idest, 0, 0, 0, 0, 100, 100, kKnob,
                                 kKnob);
        benchmark::ClobberMemory();
    }
    Rate(state, kKnob * kKnob);
}

// ---- solid fill of the whole bitmap -------------------------------------------------------------
void Ours_SolidFill(benchmark::State& state) {
    Ours& o = O();
    for (auto _ : state) {
        Raster_FillRect(&o.dest, 0, 0, kW, kH, 0xFF336699u, 1.0f, RASTER_BLEND_COPY);
        benchmark::ClobberMemory();
    }
    Rate(state, kW * kH);
}
void Pixman_SolidFill(benchmark::State& state) {
    Pix& p = P();
    for (auto _ : state) {
        pixman_fill(p.dest, kW, 32, 0, 0, kW, kH, 0xFF336699u);
        benchmark::ClobberMemory();
    }
    Rate(state, kW * kH);
}

// ---- 2:1 reduction of a 1110 x 612 picture into the editor size ---------------------------------
void Ours_Scale2to1Bilinear(benchmark::State& state) {
    Ours& o = O();
    for (auto _ : state) {
        Raster_ScaledBlit(&o.dest, &o.big, 0, 0, kW, kH, 0, 0, 2 * kW, 2 * kH, 1.0f,
                          RASTER_BLEND_COPY | RASTER_BLEND_FILTER_BILINEAR);
        benchmark::ClobberMemory();
    }
    Rate(state, kW * kH);
}
void Ours_Scale2to1Nearest(benchmark::State& state) {
    Ours& o = O();
    for (auto _ : state) {
        Raster_ScaledBlit(&o.dest, &o.big, 0, 0, kW, kH, 0, 0, 2 * kW, 2 * kH, 1.0f, RASTER_BLEND_COPY);
        benchmark::ClobberMemory();
    }
    Rate(state, kW * kH);
}
void PixmanScale(benchmark::State& state, pixman_filter_t filter) {
    Pix& p = P();
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_int_to_fixed(2), pixman_int_to_fixed(2));
    pixman_image_set_transform(p.ibig, &t);
    pixman_image_set_filter(p.ibig, filter, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, p.ibig, nullptr, p.idest, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_set_transform(p.ibig, nullptr);
    Rate(state, kW * kH);
}
void Pixman_Scale2to1Bilinear(benchmark::State& state) {
    PixmanScale(state, PIXMAN_FILTER_BILINEAR);
}
void Pixman_Scale2to1Nearest(benchmark::State& state) {
    PixmanScale(state, PIXMAN_FILTER_NEAREST);
}

const char* const kOps[] = {"OpaqueCopy", "KnobAlpha",         "KnobAlphaQuarter",
                            "SolidFill",  "Scale2to1Bilinear", "Scale2to1Nearest"};

// Console output plus the Mpix/s of every run, for the closing comparison.
class RateReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> rates;
    void ReportRuns(const std::vector<Run>& reports) override {
        for (const Run& r : reports) {
            auto it = r.counters.find("Mpix/s");
            if (it != r.counters.end() && r.run_type == Run::RT_Iteration)
                rates[r.benchmark_name()] = it->second;
        }
        ConsoleReporter::ReportRuns(reports);
    }
};

} // namespace

BENCHMARK(Ours_OpaqueCopy);
BENCHMARK(Pixman_OpaqueCopy);
BENCHMARK(Ours_KnobAlpha);
BENCHMARK(Pixman_KnobAlpha);
BENCHMARK(Ours_KnobAlphaQuarter);
BENCHMARK(Pixman_KnobAlphaQuarter);
BENCHMARK(Ours_SolidFill);
BENCHMARK(Pixman_SolidFill);
BENCHMARK(Ours_Scale2to1Bilinear);
BENCHMARK(Pixman_Scale2to1Bilinear);
BENCHMARK(Ours_Scale2to1Nearest);
BENCHMARK(Pixman_Scale2to1Nearest);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printf("\n%-20s %12s %12s %8s\n", "operation", "ours Mpix/s", "pixman", "ratio");
    for (const char* op : kOps) {
        const auto a = reporter.rates.find(std::string("Ours_") + op);
        const auto b = reporter.rates.find(std::string("Pixman_") + op);
        if (a == reporter.rates.end() || b == reporter.rates.end()) continue;
        printf("%-20s %12.1f %12.1f %8.2f\n", op, a->second, b->second, a->second / b->second);
    }
    benchmark::Shutdown();
    return 0;
}
