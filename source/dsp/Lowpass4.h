#pragma once

#include "dsp/BandLimitSets.h"

#include <array>

/** A fixed 8-pole low-pass (bilinear Butterworth, all zeros at the Nyquist frequency) used to band-limit
    the mono input. Its coefficients come from the fixed tables in BandLimitSets.h; the class never
    designs a filter itself.

    Histories: x[0]..x[8] are the inputs after division by gain, y[0]..y[8] the outputs; index 8 is the
    newest. c[0] weights the oldest output y[0], c[7] the newest y[7].
*/
class Lowpass4
{
public:
    /** Builds a filter with zero history and the default set. No allocation. */
    Lowpass4() = default;

    /** Does nothing. */
    virtual ~Lowpass4() = default;

    /** Runs one step of the 8-pole recursion and returns the new output. Audio thread; inline, no
        allocation. */
    inline double processSample (double input) noexcept
    {
        x[0] = x[1];
        x[1] = x[2];
        x[2] = x[3];
        x[3] = x[4];
        x[4] = x[5];
        x[5] = x[6];
        x[6] = x[7];
        x[7] = x[8];
        x[8] = input / gain;

        y[0] = y[1];
        y[1] = y[2];
        y[2] = y[3];
        y[3] = y[4];
        y[4] = y[5];
        y[5] = y[6];
        y[6] = y[7];
        y[7] = y[8];

        // Summed strictly left to right: the feed-forward binomial terms, then the feedback from the
        // oldest output to the newest.
        y[8] = (x[0] + x[8]) + 8.0 * (x[1] + x[7]) + 28.0 * (x[2] + x[6]) + 56.0 * (x[3] + x[5]) +
               70.0 * x[4] + c[0] * y[0] + c[1] * y[1] + c[2] * y[2] + c[3] * y[3] + c[4] * y[4] +
               c[5] * y[5] + c[6] * y[6] + c[7] * y[7];

        return y[8];
    }

    /** Loads the coefficient set of the rate's band, or defaultBandLimitSet for a rate in no band (see
        bandLimitSetFor), so the set follows the rate alone, whatever was prepared before. The set becomes
        the one reset() reinstalls. Histories are kept. Message thread (preparation); no allocation. */
    void setSampleRate (double rate) noexcept
    {
        preparedSet = bandLimitSetFor (rate);
        loadSet (preparedSet);
    }

    /** Clears both histories and reinstalls the set that was in use right after the last setSampleRate
        (defaultBandLimitSet before the first). No allocation. */
    void reset() noexcept
    {
        x.fill (0.0);
        y.fill (0.0);
        loadSet (preparedSet);
    }

    /** Replaces gain and c0..c7 with the given set; histories are kept. No allocation. */
    void loadSet (const BandLimitSet& set) noexcept
    {
        gain = set.gain;
        c = set.c;
    }

    /** Divisor applied to every input sample. */
    double gain = defaultBandLimitSet.gain;
    /** Input history after division, x[8] newest. */
    std::array<double, 9> x{};
    /** Output history, y[8] newest (the last output). */
    std::array<double, 9> y{};
    /** Feedback coefficients, c[0] for the oldest output. */
    std::array<double, 8> c = defaultBandLimitSet.c;
    /** The set in use right after the last setSampleRate, which reset() reinstalls. */
    BandLimitSet preparedSet = defaultBandLimitSet;
};
