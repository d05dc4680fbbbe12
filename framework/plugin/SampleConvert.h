#pragma once
// Sample-format conversion between a host's single-precision buffers and the plug-in's double buffers.
// Called by the plug-in base on the audio thread, under the plug-in mutex. Each routine gives exactly
// the result of converting (and adding) one sample at a time; it only does four at once: in two
// 128-bit registers with SSE2 everywhere, in one 256-bit register with AVX where the processor has it
// (Util_CpuHasAVX). Source and destination must not overlap.

// dst[i] = (double) src[i]
void ConvertFloatToDouble(const float* src, double* dst, int n);
// dst[i] = (float) src[i]
void ConvertDoubleToFloat(const double* src, float* dst, int n);
// dst[i] += (float) src[i]
void AccumulateDoubleToFloat(const double* src, float* dst, int n);

// The two forms behind them, for tests. The AVX forms may only run where Util_CpuHasAVX() is true.
namespace SampleConvertSSE2 {
void FloatToDouble(const float* src, double* dst, int n);
void DoubleToFloat(const double* src, float* dst, int n);
void AccumulateToFloat(const double* src, float* dst, int n);
} // namespace SampleConvertSSE2
namespace SampleConvertAVX {
void FloatToDouble(const float* src, double* dst, int n);
void DoubleToFloat(const double* src, float* dst, int n);
void AccumulateToFloat(const double* src, float* dst, int n);
} // namespace SampleConvertAVX
