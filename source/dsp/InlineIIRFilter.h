#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** A juce::IIRFilter whose per-sample step is inline.

    processSingleSampleRaw does exactly what juce::IIRFilter's does (single precision, results between
    -1e-8 and 1e-8 snapped to zero, no lock, active flag not consulted), but the engine's loop can
    inline it. Coefficients are still set through juce::IIRFilter::setCoefficients (under the filter's
    spin lock) and cleared with juce::IIRFilter::reset.
*/
class InlineIIRFilter : public juce::IIRFilter
{
public:
    /** One biquad step on a single sample. Audio thread; inline, no lock, no allocation. */
    inline float processSingleSampleRaw (float in) noexcept
    {
        const float* c = coefficients.coefficients;
        float out = c[0] * in + v1;

        if (!(out < -1.0e-8f || out > 1.0e-8f))
            out = 0.0f;

        v1 = c[1] * in - c[3] * out + v2;
        v2 = c[2] * in - c[4] * out;
        return out;
    }

    /** The five normalised coefficients (b0, b1, b2, a1, a2) as the step uses them. Audio thread. */
    const float* rawCoefficients() const noexcept { return coefficients.coefficients; }

    /** Reads the two state values of the step. Audio thread. */
    void getState (float& state1, float& state2) const noexcept
    {
        state1 = v1;
        state2 = v2;
    }

    /** Replaces the two state values of the step. Audio thread. */
    void setState (float state1, float state2) noexcept
    {
        v1 = state1;
        v2 = state2;
    }
};
