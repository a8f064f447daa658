#pragma once

// Filters of one kind stepped side by side. For the length of a block the engine copies the
// coefficients (which only change between blocks) and histories of the five high-cut filters and of
// the tank's shelves into lanes of small vectors, steps the lanes together, and copies the histories
// back at the end of the block. Every lane does exactly its own filter's per-sample step: the same
// operations in the same order and precision, so the results are the same to the bit. Compilers
// without vector extensions get plain lanes with the same operators, worked lane by lane.

#include "dsp/InlineIIRFilter.h"
#include "dsp/Lowpass.h"

// Vector lanes need GCC's or Clang's vector extensions; a build may also ask for the plain lanes (the
// tests do, to check both). The two kinds live in namespaces of their own, so they can share a program.
#ifndef TOLVMARK_VECTOR_LANES
#if defined(__GNUC__) || defined(__clang__)
#define TOLVMARK_VECTOR_LANES 1
#else
#define TOLVMARK_VECTOR_LANES 0
#endif
#endif

namespace tolvmark
{
#if TOLVMARK_VECTOR_LANES
inline namespace vector_lanes
{
#else
inline namespace plain_lanes
{
#endif

#if TOLVMARK_VECTOR_LANES
using DoublePair = double __attribute__ ((vector_size (16)));
using FloatQuad = float __attribute__ ((vector_size (16)));
using IntQuad = int __attribute__ ((vector_size (16)));

/** Lanes between -1e-8 and 1e-8 (and NaN lanes) become zero, as the biquad step snaps its output. */
inline FloatQuad snappedToZero (FloatQuad x) noexcept
{
    const FloatQuad limit = { 1.0e-8f, 1.0e-8f, 1.0e-8f, 1.0e-8f };
    const IntQuad keep = (x < -limit) | (x > limit);
    return reinterpret_cast<FloatQuad> (reinterpret_cast<IntQuad> (x) & keep);
}
#else
/** N values with the arithmetic of vector lanes: each operator works lane by lane. */
template <typename T, int N> struct Lanes
{
    T lane[N];

    T& operator[] (int i) noexcept { return lane[i]; }
    T operator[] (int i) const noexcept { return lane[i]; }

    template <typename Op> friend Lanes combine (Lanes a, Lanes b, Op op) noexcept
    {
        Lanes r;
        for (int i = 0; i < N; ++i)
            r.lane[i] = op (a.lane[i], b.lane[i]);
        return r;
    }
    friend Lanes operator+ (Lanes a, Lanes b) noexcept
    {
        return combine (a, b, [] (T x, T y) { return x + y; });
    }
    friend Lanes operator- (Lanes a, Lanes b) noexcept
    {
        return combine (a, b, [] (T x, T y) { return x - y; });
    }
    friend Lanes operator* (Lanes a, Lanes b) noexcept
    {
        return combine (a, b, [] (T x, T y) { return x * y; });
    }
};

using DoublePair = Lanes<double, 2>;
using FloatQuad = Lanes<float, 4>;

/** Lanes between -1e-8 and 1e-8 (and NaN lanes) become zero, as the biquad step snaps its output. */
inline FloatQuad snappedToZero (FloatQuad x) noexcept
{
    for (int i = 0; i < 4; ++i)
        if (!(x[i] < -1.0e-8f || x[i] > 1.0e-8f))
            x[i] = 0.0f;
    return x;
}
#endif

/** The five high-cut filters (Lowpass) in three pairs of lanes: (left, right), (centre, left
    surround), (right surround, unused). Audio thread; no allocation. */
struct HighCutBank
{
    static constexpr int kFilters = 5;
    static constexpr int kPairs = 3;

    DoublePair a0[kPairs]{}, a1[kPairs]{}, a2[kPairs]{}, a3[kPairs]{}, a4[kPairs]{};
    DoublePair b1[kPairs]{}, b2[kPairs]{}, b3[kPairs]{}, b4[kPairs]{};
    DoublePair xm1[kPairs]{}, xm2[kPairs]{}, xm3[kPairs]{}, xm4[kPairs]{};
    DoublePair ym1[kPairs]{}, ym2[kPairs]{}, ym3[kPairs]{}, ym4[kPairs]{};

    /** Copies the filters' coefficients and histories into their lanes (the unused lane keeps the zeros
        it was built with: zero coefficients and input keep it at zero). */
    void load (const Lowpass (&filters)[kFilters]) noexcept
    {
        for (int f = 0; f < kFilters; ++f)
        {
            const int p = f / 2, l = f % 2;
            const auto& s = filters[f];
            a0[p][l] = s.a0, a1[p][l] = s.a1, a2[p][l] = s.a2, a3[p][l] = s.a3, a4[p][l] = s.a4;
            b1[p][l] = s.b1, b2[p][l] = s.b2, b3[p][l] = s.b3, b4[p][l] = s.b4;
            xm1[p][l] = s.xm1, xm2[p][l] = s.xm2, xm3[p][l] = s.xm3, xm4[p][l] = s.xm4;
            ym1[p][l] = s.ym1, ym2[p][l] = s.ym2, ym3[p][l] = s.ym3, ym4[p][l] = s.ym4;
        }
    }

    /** Copies the lanes' histories back into the filters. */
    void store (Lowpass (&filters)[kFilters]) const noexcept
    {
        for (int f = 0; f < kFilters; ++f)
        {
            const int p = f / 2, l = f % 2;
            auto& s = filters[f];
            s.xm1 = xm1[p][l], s.xm2 = xm2[p][l], s.xm3 = xm3[p][l], s.xm4 = xm4[p][l];
            s.ym1 = ym1[p][l], s.ym2 = ym2[p][l], s.ym3 = ym3[p][l], s.ym4 = ym4[p][l];
        }
    }

    /** Lowpass::processSample on every filter: io holds the five inputs and receives the outputs. */
    inline void process (double (&io)[kFilters]) noexcept
    {
        DoublePair lanes[kPairs] = { DoublePair{ io[0], io[1] }, DoublePair{ io[2], io[3] },
                                     DoublePair{ io[4], 0.0 } };
        for (int p = 0; p < kPairs; ++p)
            lanes[p] = step (p, lanes[p]);
        io[0] = lanes[0][0], io[1] = lanes[0][1], io[2] = lanes[1][0], io[3] = lanes[1][1];
        io[4] = lanes[2][0];
    }

private:
    inline DoublePair step (int p, DoublePair input) noexcept
    {
        const DoublePair output = a0[p] * input + a1[p] * xm1[p] + a2[p] * xm2[p] + a3[p] * xm3[p] +
                                  a4[p] * xm4[p] - b1[p] * ym1[p] - b2[p] * ym2[p] - b3[p] * ym3[p] -
                                  b4[p] * ym4[p];
        xm4[p] = xm3[p];
        xm3[p] = xm2[p];
        xm2[p] = xm1[p];
        xm1[p] = input;
        ym4[p] = ym3[p];
        ym3[p] = ym2[p];
        ym2[p] = ym1[p];
        ym1[p] = output;
        return output;
    }
};

/** Three single-precision biquads (InlineIIRFilter), one per tank column, in the lanes of one vector
    (the fourth lane is unused). Audio thread; no allocation. */
struct ShelfBank
{
    static constexpr int kFilters = 3;

    FloatQuad c0{}, c1{}, c2{}, c3{}, c4{};
    FloatQuad v1{}, v2{};

    /** Copies the filters' coefficients and states into their lanes (the unused lane keeps the zeros it
        was built with). */
    void load (const InlineIIRFilter (&filters)[kFilters]) noexcept
    {
        for (int f = 0; f < kFilters; ++f)
        {
            const float* c = filters[f].rawCoefficients();
            c0[f] = c[0], c1[f] = c[1], c2[f] = c[2], c3[f] = c[3], c4[f] = c[4];
            float s1, s2;
            filters[f].getState (s1, s2);
            v1[f] = s1, v2[f] = s2;
        }
    }

    /** Copies the lanes' states back into the filters. */
    void store (InlineIIRFilter (&filters)[kFilters]) const noexcept
    {
        for (int f = 0; f < kFilters; ++f)
            filters[f].setState (v1[f], v2[f]);
    }

    /** InlineIIRFilter::processSingleSampleRaw on every column: lane f of the input belongs to filter f.
     */
    inline FloatQuad process (FloatQuad input) noexcept
    {
        const FloatQuad output = snappedToZero (c0 * input + v1);
        v1 = c1 * input - c3 * output + v2;
        v2 = c2 * input - c4 * output;
        return output;
    }
};
} // namespace vector_lanes / plain_lanes
} // namespace tolvmark
