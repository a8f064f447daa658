#pragma once

#include "dsp/WireBuffer.h"

#include <cmath>
#include <limits>

/** A four-channel level-dependent gain whose signal path is single precision: the inputs are rounded to
    float, the level follows their summed squares, and the gain in decibels is held between samples while
    the level stays at or below the threshold.

    The gain in decibels above the threshold is (thresholdDb - levelDb) / (ratio x (1 - 2 x mode)). With
    an infinite ratio and mode 1 it is always 0, so the only effect is rounding the four channels to
    single precision.
*/
class Compander4
{
public:
    /** Builds a compander with the class values below; attackCoefficient and releaseCoefficient stay
        0.01 until setSampleRate is called. No allocation. */
    Compander4() = default;

    /** Does nothing. */
    virtual ~Compander4() = default;

    /** Stores the rate and recomputes attackCoefficient and releaseCoefficient as exp(-1 / (time x rate)).
        Message thread (preparation); no allocation. */
    void setSampleRate (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        attackCoefficient = std::exp (-1.0 / (attackTime * newSampleRate));
        releaseCoefficient = std::exp (-1.0 / (releaseTime * newSampleRate));
    }

    /** Applies the gain in place to channels 0 to 3, sample 0, of a four-channel buffer and marks it as
        not clear. Audio thread; inline, no allocation. */
    inline void processSample (WireBuffer& wire) noexcept
    {
        double* a = wire.getWritePointer (0);
        double* b = wire.getWritePointer (1);
        double* c = wire.getWritePointer (2);
        double* d = wire.getWritePointer (3);
        processSample (a[0], b[0], c[0], d[0]);
    }

    /** The same step on four values, replaced in place. Audio thread; inline, no allocation. */
    inline void processSample (double& x0, double& x1, double& x2, double& x3) noexcept
    {
        const float f0 = static_cast<float> (x0);
        const float f1 = static_cast<float> (x1);
        const float f2 = static_cast<float> (x2);
        const float f3 = static_cast<float> (x3);

        const float square0 = f0 * f0;
        const float square1 = f1 * f1;
        const float square2 = f2 * f2;
        const float square3 = f3 * f3;

        double sum = ((static_cast<double> (square1) + static_cast<double> (square0)) +
                      static_cast<double> (square2)) +
                     static_cast<double> (square3);

        // A non-finite input level would stick in the smoother for good, since nothing clears this
        // state; the detector treats it as silence instead.
        if (!std::isfinite (sum))
            sum = 0.0;

        meanSquare = (static_cast<double> (levelFloor) + sum) * smootherB0 - smootherState * smootherA1;
        smootherState = meanSquare;

        const double rms = std::sqrt (meanSquare);
        coefficient = meanSquare > rms ? attackCoefficient : releaseCoefficient;
        envelope = meanSquare + coefficient * (rms - meanSquare);

        const double inverseRatio = 1.0 / (ratio * ((mode - 0.5) * -2.0));

        // With an infinite ratio a finite level above the threshold sets the gain to a zero whose sign
        // is that of -inverseRatio; once gainDb holds exactly that zero, the comparison cannot change it.
        const double zeroGainDb = -inverseRatio;
        const bool gainIsSettled = inverseRatio == 0.0 && std::isfinite (envelope) && threshold > 0.0 &&
                                   threshold < std::numeric_limits<double>::infinity() && gainDb == 0.0 &&
                                   std::signbit (gainDb) == std::signbit (zeroGainDb);

        if (!gainIsSettled)
        {
            const double levelDb = 20.0 * std::log10 (envelope);
            const double thresholdDb = 20.0 * std::log10 (threshold);

            if (levelDb > thresholdDb)
                gainDb = (thresholdDb - levelDb) * inverseRatio;
        }

        const float gain = gainFor (static_cast<float> (gainDb / 20.0));

        x0 = static_cast<double> (f0 * gain);
        x1 = static_cast<double> (f1 * gain);
        x2 = static_cast<double> (f2 * gain);
        x3 = static_cast<double> (f3 * gain);
    }

    /** powf (10, exponent), remembered for the last exponent (it rarely changes). */
    inline float gainFor (float exponent) noexcept
    {
        if (!(exponent == lastExponent) || std::signbit (exponent) != std::signbit (lastExponent))
        {
            lastExponent = exponent;
            lastGain = std::pow (10.0f, exponent);
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
    /** Level, linear. */
    double envelope = 0.01;
    /** Smoothed sum of squares of the four inputs. */
    double meanSquare = 0.01;
    /** Threshold, linear level. */
    double threshold = 0.01;
    /** Coefficient chosen at the last sample. */
    double coefficient = 0.0;
    /** exp(-1 / (attackTime x sampleRate)). */
    double attackCoefficient = 0.01;
    /** exp(-1 / (releaseTime x sampleRate)). */
    double releaseCoefficient = 0.01;
    /** Gain in decibels, held between samples. */
    double gainDb = 0.0;
    /** Added to the sum of squares (single precision). */
    float levelFloor = 1e-7f;
    /** One-pole smoother of the sum of squares: 1 - e^-0.2. */
    double smootherB0 = 0.18126924692201818;
    /** One-pole smoother of the sum of squares: -e^-0.2. */
    double smootherA1 = -0.8187307530779818;
    /** The smoother's last output. */
    double smootherState = 0.0;
    /** 0 or 1; 1 reverses the direction of the gain change. */
    double mode = 0.0;

private:
    float lastExponent = std::numeric_limits<float>::quiet_NaN();
    float lastGain = 0.0f;
};
