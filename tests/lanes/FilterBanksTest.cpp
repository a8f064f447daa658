// The filter banks against the filters they stand in for: every output and every history value must be
// the same to the bit, lane by lane, with different coefficients per lane. This file is built twice:
// into the unit tests (vector lanes, where the compiler has them) and into tolvmark_plain_lanes_tests
// (plain lanes), so both kinds are checked.

#include "engine/FilterBanks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace
{
template <typename T> bool sameBits (T a, T b)
{
    static_assert (sizeof (T) == 4 || sizeof (T) == 8);
    using Bits = std::conditional_t<sizeof (T) == 4, std::uint32_t, std::uint64_t>;
    Bits x, y;
    std::memcpy (&x, &a, sizeof a);
    std::memcpy (&y, &b, sizeof b);
    return x == y;
}

/** Inputs that reach the interesting corners: ordinary values, runs of small ones (whose outputs fall
    around the shelves' snapping limit of 1e-8), zeros of both signs and large ones; non-finite ones only
    when asked for (they leave a filter's state non-finite for good). */
template <typename T> T testInput (std::mt19937& random, int n, bool nonFinite)
{
    std::uniform_real_distribution<double> unit (-1.0, 1.0);
    if (n % 500 >= 300)
        return T (4.0e-8) * static_cast<T> (unit (random));

    switch (n % 97)
    {
        case 13:
            return T (1.0e-9) * static_cast<T> (unit (random));
        case 29:
            return T (-0.0);
        case 41:
            return T (3.0e4) * static_cast<T> (unit (random));
        case 83:
            return nonFinite ? std::numeric_limits<T>::quiet_NaN() : T (0.5);
        case 89:
            return nonFinite ? std::numeric_limits<T>::infinity() : T (-0.5);
        default:
            return static_cast<T> (unit (random));
    }
}
} // namespace

TEST (FilterBanks, HighCutLanesStepExactlyAsTheirLowpassFilters)
{
    Lowpass plain[5], banked[5];
    const double cutoffs[5] = { 0.5, 0.9, 0.2, 0.619047619, 1.3 };
    const double rates[5] = { 44100.0, 48000.0, 96000.0, 22050.0, 48000.0 };
    for (int f = 0; f < 5; ++f)
        for (auto* filter : { &plain[f], &banked[f] })
        {
            filter->setSampleRate (rates[f]);
            filter->setCutoff (cutoffs[f]);
        }

    tolvmark::HighCutBank bank;
    std::mt19937 random (5);

    // Several "blocks": the bank takes the histories in, steps, and hands them back, as the engine does.
    int n = 0;
    for (int block = 0; block < 12; ++block)
    {
        bank.load (banked);
        for (int i = 0; i < 300; ++i, ++n)
        {
            double io[5];
            for (int f = 0; f < 5; ++f)
                io[f] = testInput<double> (random, n + 7 * f, block == 11);

            double expected[5];
            for (int f = 0; f < 5; ++f)
                expected[f] = plain[f].processSample (io[f]);

            bank.process (io);
            for (int f = 0; f < 5; ++f)
                ASSERT_TRUE (sameBits (io[f], expected[f]))
                    << "filter " << f << ", sample " << n << ": " << io[f] << " vs " << expected[f];
        }
        bank.store (banked);

        for (int f = 0; f < 5; ++f)
        {
            const double want[8] = { plain[f].xm1, plain[f].xm2, plain[f].xm3, plain[f].xm4,
                                     plain[f].ym1, plain[f].ym2, plain[f].ym3, plain[f].ym4 };
            const double got[8] = { banked[f].xm1, banked[f].xm2, banked[f].xm3, banked[f].xm4,
                                    banked[f].ym1, banked[f].ym2, banked[f].ym3, banked[f].ym4 };
            for (int k = 0; k < 8; ++k)
                ASSERT_TRUE (sameBits (got[k], want[k])) << "filter " << f << ", history " << k;
        }

        // Between blocks the filters may be cleared or retuned; the bank picks that up at the next load.
        if (block == 5)
            for (int f = 0; f < 5; ++f)
            {
                plain[f].clear();
                banked[f].clear();
            }
        if (block == 8)
            for (int f = 0; f < 5; ++f)
            {
                plain[f].setCutoff (0.3 + 0.1 * f);
                banked[f].setCutoff (0.3 + 0.1 * f);
            }
    }
}

TEST (FilterBanks, ShelfLanesStepExactlyAsTheirBiquads)
{
    InlineIIRFilter plain[3], banked[3];
    const juce::IIRCoefficients designs[3] = {
        juce::IIRCoefficients::makeHighShelf (44100.0, 6000.0, 0.7, 0.5f),
        juce::IIRCoefficients::makeLowShelf (48000.0, 100.0, 0.7, 1.8f),
        juce::IIRCoefficients::makeHighShelf (96000.0, 9000.0, 1.0, 1.2f),
    };
    for (int f = 0; f < 3; ++f)
    {
        plain[f].setCoefficients (designs[f]);
        banked[f].setCoefficients (designs[f]);
    }

    tolvmark::ShelfBank bank;
    std::mt19937 random (9);

    int n = 0;
    for (int block = 0; block < 10; ++block)
    {
        bank.load (banked);
        for (int i = 0; i < 400; ++i, ++n)
        {
            float in[3];
            for (int f = 0; f < 3; ++f)
                in[f] = testInput<float> (random, n + 11 * f, block == 9);

            float expected[3];
            for (int f = 0; f < 3; ++f)
                expected[f] = plain[f].processSingleSampleRaw (in[f]);

            tolvmark::FloatQuad lanes = { in[0], in[1], in[2], 0.0f };
            lanes = bank.process (lanes);
            for (int f = 0; f < 3; ++f)
                ASSERT_TRUE (sameBits (static_cast<float> (lanes[f]), expected[f]))
                    << "filter " << f << ", sample " << n << ": " << lanes[f] << " vs " << expected[f];
        }
        bank.store (banked);

        for (int f = 0; f < 3; ++f)
        {
            float plain1, plain2, banked1, banked2;
            plain[f].getState (plain1, plain2);
            banked[f].getState (banked1, banked2);
            ASSERT_TRUE (sameBits (banked1, plain1) && sameBits (banked2, plain2)) << "filter " << f;
        }

        if (block == 4)
            for (int f = 0; f < 3; ++f)
            {
                plain[f].reset();
                banked[f].reset();
            }
    }
}
