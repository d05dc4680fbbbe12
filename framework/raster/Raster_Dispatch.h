#pragma once
// Raster_Dispatch: the one place where a blend-mode word becomes a combiner (internal to
// framework/raster).
//
// Raster_Modes is the table: one row (Raster_ModeRow*) per combine mode, one column per combiner
// variant. Raster_Dispatch<SET>(mode, w, f) reads the mode once per call, picks the column that
// the combiner set SET and the weight w call for and calls f(Raster_CombTag<Combiner>{}) once, so
// every drawing loop is a template instantiated per combiner and never tests the mode per pixel.
// It returns false, without calling f, for modes (and weights) that draw nothing. Every blit,
// fill, line, shape and text routine resolves its combiner here. Stateless.

#include <cstdint>
#include <tuple>
#include <type_traits>

#include "framework/raster/Raster_Combine.h"

template <class C>
struct Raster_CombTag {
    using type = C;
};

// Word-wise combiners (prepare / doPixFAST) as opposed to the channel-wise doPix ones.
template <class C>
concept Raster_WordWise = requires(uint32_t c) {
    C::prepare(c);
};

// ---------------------------------------------------------------------------------------------
// The table. Columns: the combiner at any weight and at weight 256 (Full), each plain and with
// clamped channels (for channels that may leave 0..255), and the same four with source alpha
// (mode flag RASTER_BLEND_SOURCE_ALPHA). A column left out repeats the one it defaults to.
template <int MODE, class P, class SA, class PClamp = P, class SAClamp = SA, class PFull = P,
          class PFullClamp = PClamp, class SAFull = SA, class SAFullClamp = SAClamp>
struct Raster_ModeColumns {
    static constexpr int mode = MODE;
    template <bool SOURCE_ALPHA, bool CLAMP, bool FULL>
    using Column =
        std::tuple_element_t<SOURCE_ALPHA * 4 + CLAMP * 2 + FULL,
                             std::tuple<P, PFull, PClamp, PFullClamp, SA, SAFull, SAClamp, SAFullClamp>>;
};

using Raster_ModeRowCopy =
    Raster_ModeColumns<RASTER_BLEND_COPY, Raster_CombinePixelsCopyNoClamp,
                       Raster_CombinePixelsCopySourceAlphaNoClamp, Raster_CombinePixelsCopyClamp,
                       Raster_CombinePixelsCopySourceAlphaClamp, Raster_CombinePixelsClobberNoClamp,
                       Raster_CombinePixelsClobberClamp,
                       Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp,
                       Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmClamp>;
using Raster_ModeRowAdd =
    Raster_ModeColumns<RASTER_BLEND_ADD, Raster_CombinePixelsAdd, Raster_CombinePixelsAddSourceAlpha>;
using Raster_ModeRowDodge = Raster_ModeColumns<RASTER_BLEND_DODGE, Raster_CombinePixelsColorDodge,
                                               Raster_CombinePixelsColorDodgeSourceAlpha>;
using Raster_ModeRowMul =
    Raster_ModeColumns<RASTER_BLEND_MUL, Raster_CombinePixelsMulNoClamp,
                       Raster_CombinePixelsMulSourceAlphaNoClamp, Raster_CombinePixelsMulClamp,
                       Raster_CombinePixelsMulSourceAlphaClamp>;
using Raster_ModeRowOverlay = Raster_ModeColumns<RASTER_BLEND_OVERLAY, Raster_CombinePixelsOverlay,
                                                 Raster_CombinePixelsOverlaySourceAlpha>;
using Raster_ModeRowHSVAdjust = Raster_ModeColumns<RASTER_BLEND_HSVADJUST, Raster_CombinePixelsHSVAdjust,
                                                   Raster_CombinePixelsHSVAdjustSourceAlpha>;

// ---------------------------------------------------------------------------------------------
// Combiner sets: which mode bits select and which column a row gives.
enum class Raster_CombineSet {
    // One weight over image pixels (blits, Raster_CombinePixels): mode & 0x100FF; Full at w = 256.
    Image,
    // As Image for channels that may leave 0..255 (Raster_CombinePixels2Clamp): the Clamp columns.
    ImageClamp,
    // A weight that varies per pixel (gradients, delta blits with alpha steps): mode & 0xFF, the
    // Clamp column; the source-alpha flag is not examined.
    Varying,
    // A solid colour (fills, lines, shapes, text): mode & 0xFF, the Plain column; nothing is drawn
    // at weight 0 or at a negative copy weight. Copy may take faster members (Raster_CopyFast).
    Solid,
};

// Faster copy members a Solid caller's loops take (bit flags): at w = 256 the clobbering combiner,
// at w = 128 the half mix ((d + s) >> 1 per channel), and at the quarter weights 64, 128, 192 and
// 256 the word-wise combiners (which come before the other two).
enum Raster_CopyFast : unsigned {
    RASTER_COPY_CLOBBER = 1,
    RASTER_COPY_HALFMIX = 2,
    RASTER_COPY_WORDWISE = 4,
};

// Copy combiners that stand for one weight each: the word-wise ones at the quarter weights, the
// clobbering one at 256 and the half mix at 128 (for the Solid set's RASTER_COPY_* members).
template <int W, class C>
struct Raster_AtWeight {
    static constexpr int weight = W;
    using type = C;
};
template <class... E>
struct Raster_WeightTable {
    // Calls f with the combiner that stands for weight w; false when none does.
    template <class F>
    static bool dispatch(int w, F& f) {
        return ((w == E::weight && (f(Raster_CombTag<typename E::type>{}), true)) || ...);
    }
};
using Raster_WordWiseCopy =
    Raster_WeightTable<Raster_AtWeight<256, Raster_CombinePixelsClobberFAST>,
                       Raster_AtWeight<128, Raster_CombinePixelsHalfMix2FAST>,
                       Raster_AtWeight<64, Raster_CombinePixelsQuarterMix2FAST>,
                       Raster_AtWeight<192, Raster_CombinePixelsThreeQuarterMix2FAST>>;
using Raster_ClobberCopy = Raster_WeightTable<Raster_AtWeight<256, Raster_CombinePixelsClobberNoClamp>>;
using Raster_HalfMixCopy = Raster_WeightTable<Raster_AtWeight<128, Raster_CombinePixelsHalfMixNoClamp>>;

// Copy at a quarter weight, word-wise: calls f with the FAST combiner for w = 256, 128, 64 or 192
// and returns true; false for any other weight or mode.
template <class F>
inline bool Raster_DispatchWordWise(int mode, int w, F&& f) {
    return (mode & RASTER_BLEND_MODE_MASK) == RASTER_BLEND_COPY && Raster_WordWiseCopy::dispatch(w, f);
}

// Row's column at weight w (the Full one at w = 256).
template <class Row, bool SOURCE_ALPHA, bool CLAMP, class F>
inline void Raster_DispatchColumn(int w, F& f) {
    using Any = typename Row::template Column<SOURCE_ALPHA, CLAMP, false>;
    using Full = typename Row::template Column<SOURCE_ALPHA, CLAMP, true>;
    if (std::is_same_v<Any, Full> || w != 256)
        f(Raster_CombTag<Any>{});
    else
        f(Raster_CombTag<Full>{});
}

// The column of Row for this set, weight and source-alpha flag.
template <Raster_CombineSet SET, unsigned FAST, class Row, class F>
inline bool Raster_DispatchRow(int mode, int w, F&& f) {
    constexpr bool copy = Row::mode == RASTER_BLEND_COPY;
    if constexpr (SET == Raster_CombineSet::Image || SET == Raster_CombineSet::ImageClamp) {
        constexpr bool clamp = SET == Raster_CombineSet::ImageClamp;
        if (mode & RASTER_BLEND_SOURCE_ALPHA)
            Raster_DispatchColumn<Row, true, clamp>(w, f);
        else
            Raster_DispatchColumn<Row, false, clamp>(w, f);
    } else if constexpr (SET == Raster_CombineSet::Varying) {
        f(Raster_CombTag<typename Row::template Column<false, true, false>>{});
    } else {
        if constexpr (copy) {
            if (w < 0) return false;
            bool done = false;
            if constexpr ((FAST & RASTER_COPY_WORDWISE) != 0) done = Raster_WordWiseCopy::dispatch(w, f);
            if constexpr ((FAST & RASTER_COPY_CLOBBER) != 0)
                done = done || Raster_ClobberCopy::dispatch(w, f);
            if constexpr ((FAST & RASTER_COPY_HALFMIX) != 0)
                done = done || Raster_HalfMixCopy::dispatch(w, f);
            if (done) return true;
        }
        f(Raster_CombTag<typename Row::template Column<false, false, false>>{});
    }
    return true;
}

// The rows of the table, found by the mode's low byte.
template <class... Row>
struct Raster_ModeTable {
    template <Raster_CombineSet SET, unsigned FAST, class F>
    static bool dispatch(int mode, int w, F& f) {
        const int m = mode & RASTER_BLEND_MODE_MASK;
        bool drawn = false;
        (void)((m == Row::mode && (drawn = Raster_DispatchRow<SET, FAST, Row>(mode, w, f), true)) || ...);
        return drawn;
    }
};
using Raster_Modes = Raster_ModeTable<Raster_ModeRowCopy, Raster_ModeRowAdd, Raster_ModeRowDodge,
                                      Raster_ModeRowMul, Raster_ModeRowOverlay, Raster_ModeRowHSVAdjust>;

// The dispatch (see the top of this file); FAST takes Raster_CopyFast flags for the Solid set.
template <Raster_CombineSet SET, unsigned FAST = 0, class F>
inline bool Raster_Dispatch(int mode, int w, F&& f) {
    if constexpr (SET == Raster_CombineSet::Solid) {
        if (w == 0) return false;
    }
    return Raster_Modes::dispatch<SET, FAST>(mode, w, f);
}
