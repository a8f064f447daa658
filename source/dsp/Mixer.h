#pragma once

#include "dsp/WireBuffer.h"

#include <cmath>
#include <limits>

/** A three-input gain stage working in place on channels 0 to 2 of a one-sample WireBuffer: channel 0
    is replaced by the weighted sum of the three channels, channels 1 and 2 are left as they are.

    The gains are single precision and are recomputed from the raw gains, flags and mode at every call:
    - mode > 0.5 (bipolar): g = raw when its flag > 0.5, else 2 x raw - 1;
    - mode <= 0.5 (decibels): g = 10^(raw x 0.05) when its flag > 0.5, else raw.
*/
class Mixer
{
public:
    /** Builds a mixer with all raw gains and flags 0 and mode 1 (bipolar). No allocation. */
    Mixer() = default;

    /** Does nothing. */
    virtual ~Mixer() = default;

    /** Recomputes g0..g2 and replaces channel 0, sample 0 of the buffer (which needs at least three
        channels) with (g1 x ch1 + g0 x ch0) + g2 x ch2 in double precision. Marks the buffer as not clear.
        Audio thread; inline, no allocation. */
    inline void process (WireBuffer& wire) noexcept
    {
        double* channel0 = wire.getWritePointer (0);
        const double input1 = wire.getReadPointer (1)[0];
        const double input2 = wire.getReadPointer (2)[0];
        channel0[0] = process (channel0[0], input1, input2);
    }

    /** The same step on plain values: recomputes g0..g2 and returns (g1 x in1 + g0 x in0) + g2 x in2.
        Audio thread; inline, no allocation. */
    inline double process (double input0, double input1, double input2) noexcept
    {
        updateGains();
        return mix (input0, input1, input2);
    }

    /** The weighted sum (g1 x in1 + g0 x in0) + g2 x in2 with the gains as they stand, for an owner
        that recomputes them (updateGains, updateGain1) whenever the raw gains, flags or mode change.
        Audio thread; inline, no allocation. */
    inline double mix (double input0, double input1, double input2) const noexcept
    {
        return (wide1 * input1 + wide0 * input0) + wide2 * input2;
    }

    /** The weighted sum as mix() forms it, with `gain1` (a g1 this mixer computed, widened) in place of
        the current g1. Audio thread; inline, no allocation. */
    inline double mixWithGain1 (double input0, double input1, double input2, double gain1) const noexcept
    {
        return (gain1 * input1 + wide0 * input0) + wide2 * input2;
    }

    /** g1 widened to double precision. Inline, no allocation. */
    inline double wideGain1() const noexcept { return wide1; }

    /** Recomputes g1 alone, as updateGains would, for an owner that changed only raw1. Inline, no
        allocation. */
    inline void updateGain1() noexcept
    {
        if (mode > 0.5f)
            g1 = flag1 > 0.5f ? raw1 : 2.0f * raw1 - 1.0f;
        else
            g1 = flag1 > 0.5f ? decibelGains[1].gainOf (raw1) : raw1;
        wide1 = static_cast<double> (g1);
    }

    /** Recomputes g0..g2 from the raw gains, flags and mode (single precision). Inline, no allocation. */
    inline void updateGains() noexcept
    {
        if (mode > 0.5f)
        {
            g0 = flag0 > 0.5f ? raw0 : 2.0f * raw0 - 1.0f;
            g1 = flag1 > 0.5f ? raw1 : 2.0f * raw1 - 1.0f;
            g2 = flag2 > 0.5f ? raw2 : 2.0f * raw2 - 1.0f;
        }
        else
        {
            g0 = flag0 > 0.5f ? decibelGains[0].gainOf (raw0) : raw0;
            g1 = flag1 > 0.5f ? decibelGains[1].gainOf (raw1) : raw1;
            g2 = flag2 > 0.5f ? decibelGains[2].gainOf (raw2) : raw2;
        }

        wide0 = static_cast<double> (g0);
        wide1 = static_cast<double> (g1);
        wide2 = static_cast<double> (g2);
    }

    /** Effective gains used at the last call. */
    float g0 = 0.0f, g1 = 0.0f, g2 = 0.0f;
    /** Raw gains as set by the owner (linear, bipolar or decibels, depending on flags and mode). */
    float raw0 = 0.0f, raw1 = 0.0f, raw2 = 0.0f;
    /** Per-input flags; above 0.5 marks the raw gain as used directly (bipolar) or in decibels. */
    float flag0 = 0.0f, flag1 = 0.0f, flag2 = 0.0f;
    /** Gain mapping: above 0.5 bipolar, otherwise decibels. */
    float mode = 1.0f;

private:
    /** powf (10, raw x 0.05f), remembered for the last raw gain: a raw gain in decibels that is
        rewritten every sample often repeats its previous value. */
    struct DecibelGain
    {
        float lastRaw = std::numeric_limits<float>::quiet_NaN();
        float lastGain = 0.0f;

        inline float gainOf (float raw) noexcept
        {
            if (!(raw == lastRaw))
            {
                lastRaw = raw;
                lastGain = std::pow (10.0f, raw * 0.05f);
            }
            return lastGain;
        }
    };

    DecibelGain decibelGains[3];

    // g0..g2 widened to double precision when they were last computed (the widening is exact).
    double wide0 = 0.0, wide1 = 0.0, wide2 = 0.0;
};
