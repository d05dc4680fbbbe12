#pragma once
// Raster_Dispatch: the one place where a blend-mode word becomes a combiner (internal to
// framework/raster).
//
// Raster_ModeRow<MODE> is the table: one row per combine mode, one column per combiner variant.
// Raster_Dispatch<SET>(mode, w, f) reads the mode once per call, picks the column that the
// combiner set SET and the weight w call for and calls f(Raster_CombTag<Combiner>{}) once, so
// every drawing loop is a template instantiated per combiner and never tests the mode per pixel.
// It returns false, without calling f, for modes (and weights) that draw nothing.
// Every blit, fill, line, shape and text routine resolves its combiner here. Stateless.

#include <cstdint>
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
// The table. Columns: Plain at any weight, Full at weight 256, Clamp / FullClamp for channels that
// may leave 0..255, and the same four with source alpha (mode flag RASTER_BLEND_SOURCE_ALPHA).
// A column left out repeats the one it defaults to.
template <class P, class SA, class PClamp = P, class SAClamp = SA, class PFull = P, class PFullClamp = PClamp,
          class SAFull = SA, class SAFullClamp = SAClamp>
struct Raster_ModeColumns {
    using Plain = P;
    using Full = PFull;
    using Clamp = PClamp;
    using FullClamp = PFullClamp;
    using SourceAlpha = SA;
    using SourceAlphaFull = SAFull;
    using SourceAlphaClamp = SAClamp;
    using SourceAlphaFullClamp = SAFullClamp;
};

template <int MODE>
struct Raster_ModeRow;

template <>
struct Raster_ModeRow<RASTER_BLEND_COPY>
    : Raster_ModeColumns<Raster_CombinePixelsCopyNoClamp, Raster_CombinePixelsCopySourceAlphaNoClamp,
                         Raster_CombinePixelsCopyClamp, Raster_CombinePixelsCopySourceAlphaClamp,
                         Raster_CombinePixelsClobberNoClamp, Raster_CombinePixelsClobberClamp,
                         Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp,
                         Raster_CombinePixelsCopySourceAlphaIgnoreAlphaParmClamp> {};
template <>
struct Raster_ModeRow<RASTER_BLEND_ADD>
    : Raster_ModeColumns<Raster_CombinePixelsAdd, Raster_CombinePixelsAddSourceAlpha> {};
template <>
struct Raster_ModeRow<RASTER_BLEND_DODGE>
    : Raster_ModeColumns<Raster_CombinePixelsColorDodge, Raster_CombinePixelsColorDodgeSourceAlpha> {};
template <>
struct Raster_ModeRow<RASTER_BLEND_MUL>
    : Raster_ModeColumns<Raster_CombinePixelsMulNoClamp, Raster_CombinePixelsMulSourceAlphaNoClamp,
                         Raster_CombinePixelsMulClamp, Raster_CombinePixelsMulSourceAlphaClamp> {};
template <>
struct Raster_ModeRow<RASTER_BLEND_OVERLAY>
    : Raster_ModeColumns<Raster_CombinePixelsOverlay, Raster_CombinePixelsOverlaySourceAlpha> {};
template <>
struct Raster_ModeRow<RASTER_BLEND_HSVADJUST>
    : Raster_ModeColumns<Raster_CombinePixelsHSVAdjust, Raster_CombinePixelsHSVAdjustSourceAlpha> {};

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

// Copy at a quarter weight, word-wise: calls f with the FAST combiner for w = 256, 128, 64 or 192
// and returns true; false for any other weight or mode.
template <class F>
inline bool Raster_DispatchWordWise(int mode, int w, F&& f) {
    if ((mode & RASTER_BLEND_MODE_MASK) != RASTER_BLEND_COPY) return false;
    switch (w) {
    case 256:
        f(Raster_CombTag<Raster_CombinePixelsClobberFAST>{});
        return true;
    case 128:
        f(Raster_CombTag<Raster_CombinePixelsHalfMix2FAST>{});
        return true;
    case 64:
        f(Raster_CombTag<Raster_CombinePixelsQuarterMix2FAST>{});
        return true;
    case 192:
        f(Raster_CombTag<Raster_CombinePixelsThreeQuarterMix2FAST>{});
        return true;
    default:
        return false;
    }
}

// The column of Row for this set, weight and source-alpha flag.
template <Raster_CombineSet SET, unsigned FAST, class Row, class F>
inline bool Raster_DispatchRow(int mode, int w, F&& f) {
    constexpr bool copy = std::is_same_v<Row, Raster_ModeRow<RASTER_BLEND_COPY>>;
    if constexpr (SET == Raster_CombineSet::Image || SET == Raster_CombineSet::ImageClamp) {
        constexpr bool clamp = SET == Raster_CombineSet::ImageClamp;
        using Plain = std::conditional_t<clamp, typename Row::Clamp, typename Row::Plain>;
        using Full = std::conditional_t<clamp, typename Row::FullClamp, typename Row::Full>;
        using SA = std::conditional_t<clamp, typename Row::SourceAlphaClamp, typename Row::SourceAlpha>;
        using SAFull =
            std::conditional_t<clamp, typename Row::SourceAlphaFullClamp, typename Row::SourceAlphaFull>;
        const bool full = w == 256;
        if (mode & RASTER_BLEND_SOURCE_ALPHA) {
            if (std::is_same_v<SA, SAFull> || !full)
                f(Raster_CombTag<SA>{});
            else
                f(Raster_CombTag<SAFull>{});
        } else if (std::is_same_v<Plain, Full> || !full) {
            f(Raster_CombTag<Plain>{});
        } else {
            f(Raster_CombTag<Full>{});
        }
    } else if constexpr (SET == Raster_CombineSet::Varying) {
        f(Raster_CombTag<typename Row::Clamp>{});
    } else {
        if constexpr (copy) {
            if (w < 0) return false;
            if constexpr ((FAST & RASTER_COPY_WORDWISE) != 0) {
                if (Raster_DispatchWordWise(mode, w, f)) return true;
            }
            if constexpr ((FAST & RASTER_COPY_CLOBBER) != 0) {
                if (w == 256) {
                    f(Raster_CombTag<Raster_CombinePixelsClobberNoClamp>{});
                    return true;
                }
            }
            if constexpr ((FAST & RASTER_COPY_HALFMIX) != 0) {
                if (w == 128) {
                    f(Raster_CombTag<Raster_CombinePixelsHalfMixNoClamp>{});
                    return true;
                }
            }
        }
        f(Raster_CombTag<typename Row::Plain>{});
    }
    return true;
}

template <Raster_CombineSet SET, unsigned FAST = 0, class F>
inline bool Raster_Dispatch(int mode, int w, F&& f) {
    if constexpr (SET == Raster_CombineSet::Solid) {
        if (w == 0) return false;
    }
    switch (mode & RASTER_BLEND_MODE_MASK) {
    case RASTER_BLEND_COPY:
        return Raster_DispatchRow<SET, FAST, Raster_ModeRow<RASTER_BLEND_COPY>>(mode, w, f);
    case RASTER_BLEND_ADD:
        return Raster_DispatchRow<SET, FAST, Raster_ModeRow<RASTER_BLEND_ADD>>(mode, w, f);
    case RASTER_BLEND_DODGE:
        return Raster_DispatchRow<SET, FAST, Raster_ModeRow<RASTER_BLEND_DODGE>>(mode, w, f);
    case RASTER_BLEND_MUL:
        return Raster_DispatchRow<SET, FAST, Raster_ModeRow<RASTER_BLEND_MUL>>(mode, w, f);
    case RASTER_BLEND_OVERLAY:
        return Raster_DispatchRow<SET, FAST, Raster_ModeRow<RASTER_BLEND_OVERLAY>>(mode, w, f);
    case RASTER_BLEND_HSVADJUST:
        return Raster_DispatchRow<SET, FAST, Raster_ModeRow<RASTER_BLEND_HSVADJUST>>(mode, w, f);
    default:
        return false;
    }
}
