#pragma once
// IChannelBlend: how a control's drawing is combined with what is already in the editor's bitmap: a
// blend method and a weight 0-1. The editor maps it onto raster blend modes (IGraphics drawing): blits and
// fills of kBlendNone, kBlendAdd and kBlendDodge weight each pixel by its alpha, kBlendCopy does not;
// any other method value is treated like kBlendNone. A plain value type.

struct IChannelBlend {
    enum EBlendMethod : int { kBlendNone = 0, kBlendCopy = 1, kBlendAdd = 2, kBlendDodge = 3 };

    EBlendMethod mMethod = kBlendNone;
    float mWeight = 1.0f;

    constexpr IChannelBlend() = default;
    constexpr explicit IChannelBlend(EBlendMethod method, float weight = 1.0f)
        : mMethod(method), mWeight(weight) {}
};
