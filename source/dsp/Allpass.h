#pragma once

#include <memory>

/** An all-pass section that the reverb network builds and keeps but never runs: it holds a coefficient,
    a gain, a delay time and a 15,000-sample buffer on the heap, and has no per-sample operation.
*/
class Allpass
{
public:
    /** Number of samples in the buffer. */
    static constexpr int kCapacity = 15000;

    /** Stores the coefficient and the gain (the gain is a single-precision value, kept widened to double)
        and allocates the buffer (zero-filled). Allocates; call from the owner's constructor only. */
    explicit Allpass (double initialCoefficient = 0.15, float initialGain = 0.633f)
        : coefficient (initialCoefficient), buffer (std::make_unique<double[]> (kCapacity)),
          gain (initialGain)
    {
    }

    /** Frees the buffer. */
    virtual ~Allpass() = default;

    Allpass (const Allpass&) = delete;
    Allpass& operator= (const Allpass&) = delete;

    /** Stores the time (tenths of a second) and sets delaySamples to sampleRate x time / 10 rounded to
        nearest, held within 0..capacity-1 (NaN and negative give 0). Any thread; no allocation. */
    void setDelayTime (double newTime) noexcept
    {
        time = newTime;
        const double samples = sampleRate * newTime / 10.0 + 0.5;

        if (!(samples >= 0.0))
            delaySamples = 0;
        else if (samples >= static_cast<double> (capacity))
            delaySamples = capacity - 1;
        else
            delaySamples = static_cast<int> (samples);
    }

    /** Coefficient of the section. */
    double coefficient = 0.15;
    /** The section's own sample rate; 0 unless the owner sets it. */
    double sampleRate = 0.0;
    /** Sample store of kCapacity doubles, owned. */
    std::unique_ptr<double[]> buffer;
    /** Number of samples in buffer. */
    int capacity = kCapacity;
    /** Write position. */
    int writeIndex = 0;
    /** Delay in samples. */
    int delaySamples = 1;
    /** Read position. */
    int readIndex = 1;
    /** Gain of the section. */
    double gain = 0.633f;
    /** Delay time in tenths of a second. */
    double time = 0.0;
};
