#pragma once

#include <cmath>

/** A 4th-order Linkwitz-Riley low-pass (a squared 2nd-order Butterworth, bilinear transform with
    prewarping) with a settable cutoff; its -6 dB point is the cutoff frequency.

    The cutoff is normalised: the cutoff frequency is cutoff x 21,000 Hz. When that frequency reaches half
    the sample rate (13 kHz needs a rate above 26 kHz), the design frequency is limited to 0.49 x the
    sample rate so the filter stays stable and finite; below that the coefficients are exactly the plain
   design.
*/
class Lowpass
{
public:
    /** Fraction of the sample rate used as the design frequency when the cutoff reaches Nyquist. */
    static constexpr double kMaxDesignFraction = 0.49;

    /** Builds a filter at 44,100 Hz with cutoff 0.5 (10.5 kHz), its coefficients computed and zero
        history. No allocation. */
    Lowpass() noexcept { updateCoefficients(); }

    /** Does nothing. */
    virtual ~Lowpass() = default;

    /** Stores the normalised cutoff and recomputes the coefficients at the stored sample rate; history is
        kept. Any thread (the audio thread may see a mix of old and new coefficients for one sample);
        no allocation. */
    void setCutoff (double newCutoff) noexcept
    {
        cutoff = newCutoff;
        updateCoefficients();
    }

    /** Stores the sample rate and recomputes the coefficients at the stored cutoff; history is kept.
        No allocation. */
    void setSampleRate (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        updateCoefficients();
    }

    /** Clears the input and output history. No allocation. */
    void clear() noexcept
    {
        xm1 = xm2 = xm3 = xm4 = 0.0;
        ym1 = ym2 = ym3 = ym4 = 0.0;
    }

    /** Runs one step of the 4th-order recursion and returns the output. Audio thread; inline, no
        allocation. */
    inline double processSample (double input) noexcept
    {
        const double output = a0 * input + a1 * xm1 + a2 * xm2 + a3 * xm3 + a4 * xm4 - b1 * ym1 - b2 * ym2 -
                              b3 * ym3 - b4 * ym4;

        xm4 = xm3;
        xm3 = xm2;
        xm2 = xm1;
        xm1 = input;

        ym4 = ym3;
        ym3 = ym2;
        ym2 = ym1;
        ym1 = output;

        return output;
    }

    /** Recomputes b1..b4 and a0..a4 from cutoff and sampleRate. No allocation. */
    void updateCoefficients() noexcept
    {
        double fc = cutoff * 21000.0;

        // The prewarped design only holds below Nyquist; beyond it tan() changes sign and the filter
        // would blow up. A NaN cutoff takes the same way out.
        if (!(fc < sampleRate * 0.5))
            fc = sampleRate * kMaxDesignFraction;

        const double wc = 6.2831853 * fc;
        const double wc2 = wc * wc;
        const double wc3 = wc * wc2;
        const double wc4 = wc2 * wc2;

        const double k = wc / std::tan (3.14159265 * fc / sampleRate);
        const double k2 = k * k;
        const double k3 = k * k2;
        const double k4 = k2 * k2;

        const double sq1 = 1.41421356237 * wc3 * k;
        const double sq2 = 1.41421356237 * wc * k3;

        const double n = 4.0 * wc2 * k2 + 2.0 * sq1 + k4 + 2.0 * sq2 + wc4;

        b1 = 4.0 * (wc4 + sq1 - k4 - sq2) / n;
        b2 = (6.0 * wc4 - 8.0 * wc2 * k2 + 6.0 * k4) / n;
        b3 = 4.0 * (wc4 - sq1 + sq2 - k4) / n;
        b4 = (k4 - 2.0 * sq1 + wc4 - 2.0 * sq2 + 4.0 * wc2 * k2) / n;

        a0 = wc4 / n;
        a1 = 4.0 * wc4 / n;
        a2 = 6.0 * wc4 / n;
        a3 = a1;
        a4 = a0;
    }

    /** Normalised cutoff; the cutoff frequency is cutoff x 21,000 Hz. */
    double cutoff = 0.5;
    /** The filter's own sample rate in Hz. */
    double sampleRate = 44100.0;
    /** Feedback coefficients. */
    double b1 = 0.0, b2 = 0.0, b3 = 0.0, b4 = 0.0;
    /** Feed-forward coefficients. */
    double a0 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0, a4 = 0.0;
    /** The last four inputs, xm1 newest. */
    double xm1 = 0.0, xm2 = 0.0, xm3 = 0.0, xm4 = 0.0;
    /** The last four outputs, ym1 newest. */
    double ym1 = 0.0, ym2 = 0.0, ym3 = 0.0, ym4 = 0.0;
};
