// Tests of the high-cut filter (4th-order Linkwitz-Riley): its design, response, stability at the
// Nyquist frequency and its history.

#include "dsp/Lowpass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace
{
constexpr double kPi = 3.14159265358979323846;

double lowpassMagnitude (const Lowpass& f, double frequency)
{
    const std::complex<double> z1 = std::polar (1.0, -2.0 * kPi * frequency / f.sampleRate);
    const auto z2 = z1 * z1, z3 = z2 * z1, z4 = z3 * z1;
    const auto numerator = f.a0 + f.a1 * z1 + f.a2 * z2 + f.a3 * z3 + f.a4 * z4;
    const auto denominator = 1.0 + f.b1 * z1 + f.b2 * z2 + f.b3 * z3 + f.b4 * z4;
    return std::abs (numerator / denominator);
}

double toDb (double gain)
{
    return 20.0 * std::log10 (gain);
}

TEST (DspLowpass, StartsAtHalfCutoffWithCoefficientsAndNoHistory)
{
    Lowpass f;
    EXPECT_EQ (f.cutoff, 0.5);
    EXPECT_EQ (f.sampleRate, 44100.0);
    EXPECT_NEAR (lowpassMagnitude (f, 0.0), 1.0, 1.0e-12);
    EXPECT_EQ (f.a3, f.a1);
    EXPECT_EQ (f.a4, f.a0);
    EXPECT_EQ (f.xm1, 0.0);
    EXPECT_EQ (f.ym4, 0.0);
}

TEST (DspLowpass, PassesDcAtUnityAndIsSixDbDownAtItsCutoff)
{
    // 10.5 kHz at 44.1 kHz repeats exactly every 21 samples (five cycles).
    Lowpass f;
    f.setCutoff (0.5);

    for (int i = 0; i < 4000; ++i)
        f.processSample (1.0);
    EXPECT_NEAR (f.processSample (1.0), 1.0, 1.0e-12);

    f.clear();
    double inputPower = 0.0, outputPower = 0.0;
    for (int i = 0; i < 21 * 2000; ++i)
    {
        const double x = std::sin (2.0 * kPi * 5.0 * (i % 21) / 21.0 + 0.3);
        const double y = f.processSample (x);
        if (i >= 21 * 1000)
        {
            inputPower += x * x;
            outputPower += y * y;
        }
    }
    EXPECT_NEAR (10.0 * std::log10 (outputPower / inputPower), -6.0206, 0.005);
}

struct LowpassDesignCase
{
    double cutoff;
    double sampleRate;
};

TEST (DspLowpass, ResponseIsUnityAtDcAndMinusSixDbAtTheCutoffFrequency)
{
    const LowpassDesignCase cases[] = {
        { 0.5, 44100.0 },
        { static_cast<double> (13.0f / 21.0f), 44100.0 },
        { static_cast<double> (11.0f / 21.0f), 48000.0 },
        { static_cast<double> (5.0f / 21.0f), 48000.0 },
        { static_cast<double> (13.0f / 21.0f), 96000.0 },
        { 0.5, 192000.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "cutoff " << c.cutoff << ", rate " << c.sampleRate);
        Lowpass f;
        f.setSampleRate (c.sampleRate);
        f.setCutoff (c.cutoff);
        EXPECT_NEAR (lowpassMagnitude (f, 0.0), 1.0, 1.0e-9);
        EXPECT_NEAR (toDb (lowpassMagnitude (f, c.cutoff * 21000.0)), -6.0206, 0.005);
        EXPECT_LT (toDb (lowpassMagnitude (f, c.cutoff * 21000.0 * 1.5)), -12.0);
    }
}

// The design exactly as the filter is meant to compute it, without any limit.
void plainLinkwitzRileyDesign (double cutoff, double sampleRate, double (&b)[5], double (&a)[5])
{
    const double fc = cutoff * 21000.0;
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
    b[1] = 4.0 * (wc4 + sq1 - k4 - sq2) / n;
    b[2] = (6.0 * wc4 - 8.0 * wc2 * k2 + 6.0 * k4) / n;
    b[3] = 4.0 * (wc4 - sq1 + sq2 - k4) / n;
    b[4] = (k4 - 2.0 * sq1 + wc4 - 2.0 * sq2 + 4.0 * wc2 * k2) / n;
    a[0] = wc4 / n;
    a[1] = 4.0 * wc4 / n;
    a[2] = 6.0 * wc4 / n;
    a[3] = a[1];
    a[4] = a[0];
}

TEST (DspLowpass, CoefficientsAreThePlainDesignWheneverTheCutoffIsBelowNyquist)
{
    const LowpassDesignCase cases[] = {
        { static_cast<double> (13.0f / 21.0f), 26001.0 },  { static_cast<double> (13.0f / 21.0f), 44100.0 },
        { static_cast<double> (5.0f / 21.0f), 44100.0 },   { 0.5, 44100.0 },
        { static_cast<double> (9.0f / 21.0f), 48000.0 },   { static_cast<double> (13.0f / 21.0f), 88200.0 },
        { static_cast<double> (13.0f / 21.0f), 192000.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "cutoff " << c.cutoff << ", rate " << c.sampleRate);
        Lowpass f;
        f.setCutoff (c.cutoff);
        f.setSampleRate (c.sampleRate);

        double b[5], a[5];
        plainLinkwitzRileyDesign (c.cutoff, c.sampleRate, b, a);
        EXPECT_EQ (f.b1, b[1]);
        EXPECT_EQ (f.b2, b[2]);
        EXPECT_EQ (f.b3, b[3]);
        EXPECT_EQ (f.b4, b[4]);
        EXPECT_EQ (f.a0, a[0]);
        EXPECT_EQ (f.a1, a[1]);
        EXPECT_EQ (f.a2, a[2]);
        EXPECT_EQ (f.a3, a[3]);
        EXPECT_EQ (f.a4, a[4]);
    }
}

TEST (DspLowpass, StaysStableAndFiniteWhenTheCutoffReachesNyquist)
{
    const double rates[] = { 8000.0, 11025.0, 16000.0, 22050.0, 24000.0, 25999.0, 26000.0 };
    const double cutoffs[] = { static_cast<double> (13.0f / 21.0f), 0.5, static_cast<double> (5.0f / 21.0f) };

    for (double rate : rates)
    {
        for (double cutoff : cutoffs)
        {
            if (cutoff * 21000.0 < rate * 0.5)
                continue;

            SCOPED_TRACE (testing::Message() << "cutoff " << cutoff << ", rate " << rate);
            Lowpass f;
            f.setCutoff (cutoff);
            f.setSampleRate (rate);

            // Impulse response: finite, and decayed to nothing after one second.
            double y = f.processSample (1.0);
            for (int i = 0; i < static_cast<int> (rate); ++i)
            {
                y = f.processSample (0.0);
                ASSERT_TRUE (std::isfinite (y)) << "sample " << i;
            }
            EXPECT_LT (std::abs (y), 1.0e-12);

            // Still a low-pass: unity at DC, nothing at Nyquist.
            EXPECT_NEAR (lowpassMagnitude (f, 0.0), 1.0, 1.0e-9);
            EXPECT_LT (lowpassMagnitude (f, rate * 0.5), 1.0e-6);

            f.clear();
            for (int i = 0; i < static_cast<int> (rate); ++i)
                y = f.processSample (1.0);
            EXPECT_NEAR (y, 1.0, 1.0e-9);
        }
    }
}

TEST (DspLowpass, RetuningKeepsHistoryAndClearResetsIt)
{
    Lowpass f;
    for (int i = 0; i < 10; ++i)
        f.processSample (0.5);
    const double xm1 = f.xm1, ym1 = f.ym1;

    f.setCutoff (static_cast<double> (13.0f / 21.0f));
    f.setSampleRate (48000.0);
    EXPECT_EQ (f.cutoff, static_cast<double> (13.0f / 21.0f));
    EXPECT_EQ (f.sampleRate, 48000.0);
    EXPECT_EQ (f.xm1, xm1);
    EXPECT_EQ (f.ym1, ym1);

    f.clear();
    EXPECT_EQ (f.xm1, 0.0);
    EXPECT_EQ (f.xm2, 0.0);
    EXPECT_EQ (f.xm3, 0.0);
    EXPECT_EQ (f.xm4, 0.0);
    EXPECT_EQ (f.ym1, 0.0);
    EXPECT_EQ (f.ym2, 0.0);
    EXPECT_EQ (f.ym3, 0.0);
    EXPECT_EQ (f.ym4, 0.0);
    EXPECT_EQ (f.processSample (0.0), 0.0);
}
} // namespace
