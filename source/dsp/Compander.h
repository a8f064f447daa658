#pragma once

#include "dsp/WireBuffer.h"

#include <cmath>
#include <limits>

/** A two-channel level-dependent gain in double precision. It smooths the mean square of the pair,
    follows it with an attack/release envelope and sets the gain 10^(exponent / 10), where the exponent
    is 1 at or below the threshold and falls (or rises, with mode 1) with the level above it.

    The effective ratio is ratio x (1 - 2 x mode). With an infinite ratio and mode 0 the gain is
    10^0.1 at every sample.
*/
class Compander
{
public:
    /** Builds a compander with the class values below; attackCoefficient and releaseCoefficient stay
        0.01 until setSampleRate is called. No allocation. */
    Compander() = default;

    /** Does nothing. */
    virtual ~Compander() = default;

    /** Stores the rate and recomputes attackCoefficient and releaseCoefficient as exp(-1 / (time x rate)).
        Message thread (preparation); no allocation. */
    void setSampleRate (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        attackCoefficient = std::exp (-1.0 / (attackTime * newSampleRate));
        releaseCoefficient = std::exp (-1.0 / (releaseTime * newSampleRate));
    }

    /** Applies the gain in place to channels 0 and 1, sample 0, of a two-channel buffer and marks it as
        not clear. Audio thread; inline, no allocation. */
    inline void processSample (WireBuffer& wire) noexcept
    {
        double* left = wire.getWritePointer (0);
        double* right = wire.getWritePointer (1);
        processSample (left[0], right[0]);
    }

    /** The same step on a pair of values, scaled in place. Audio thread; inline, no allocation. */
    inline void processSample (double& left, double& right) noexcept
    {
        const double effectiveRatio = ratio * ((mode - 0.5) * -2.0);

        double level = (left * left + right * right) * 0.5;

        // A non-finite input level (an inf or NaN sample) would stick in the smoother for good, since
        // nothing clears this state; the detector treats it as silence instead.
        if (!std::isfinite (level))
            level = 0.0;

        meanSquare = (level + levelFloor) * smootherB0 - smootherState * smootherA1;
        smootherState = meanSquare;

        const double rms = std::sqrt (meanSquare);
        coefficient = rms > envelope ? attackCoefficient : releaseCoefficient;
        envelope = envelope * coefficient + (1.0 - coefficient) * rms;

        double exponent = 1.0;
        const double inverseRatio = 1.0 / effectiveRatio;

        // With an infinite ratio the exponent is 1 for every finite level (the excess is multiplied by
        // zero), so the logarithms are needed only for an infinite envelope or an unusual threshold.
        const bool exponentIsOne = inverseRatio == 0.0 &&
                                   envelope != std::numeric_limits<double>::infinity() && threshold > 0.0 &&
                                   threshold < std::numeric_limits<double>::infinity();

        if (!exponentIsOne)
        {
            const double levelLog = std::log10 (envelope);
            const double thresholdLog = std::log10 (threshold);

            if (levelLog > thresholdLog)
                exponent = 1.0 - (levelLog - thresholdLog) * inverseRatio;
        }

        gain = gainFor (exponent);

        left = left * gain;
        right = right * gain;
    }

    /** 10 raised to (exponent / 10), remembered for the last exponent (it rarely changes). */
    inline double gainFor (double exponent) noexcept
    {
        if (!(exponent == lastExponent))
        {
            lastExponent = exponent;
            lastGain = std::pow (10.0, exponent / 10.0);
        }
        return lastGain;
    }

    /** Sample rate in Hz. */
    double sampleRate = 44100.0;
    /** Attack time in seconds. */
    double attackTime = 0.001;
    /** Release time in seconds. */
    double releaseTime = 0.022;
    /** Divisor of the level excess (before the mode's sign). */
    double ratio = 0.5;
    /** 0 or 1; 1 reverses the direction of the gain change. */
    double mode = 0.0;
    /** Smoothed level, linear. */
    double envelope = 0.01;
    /** Smoothed mean square of the input. */
    double meanSquare = 0.01;
    /** Threshold, linear level. */
    double threshold = 0.01;
    /** Smoothing coefficient chosen at the last sample. */
    double coefficient = 0.0;
    /** exp(-1 / (attackTime x sampleRate)). */
    double attackCoefficient = 0.01;
    /** exp(-1 / (releaseTime x sampleRate)). */
    double releaseCoefficient = 0.01;
    /** Linear gain applied at the last sample. */
    double gain = 0.0;
    /** Added to the squared input level. */
    double levelFloor = 1e-7;
    /** One-pole smoother of the mean square: 1 - e^-0.01. */
    double smootherB0 = 0.009950166250831893;
    /** One-pole smoother of the mean square: -e^-0.01. */
    double smootherA1 = -0.9900498337491681;
    /** The smoother's last output. */
    double smootherState = 0.0;

private:
    double lastExponent = std::numeric_limits<double>::quiet_NaN();
    double lastGain = 0.0;
};
