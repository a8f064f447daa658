// Tests of the four-channel compander.

#include "dsp/Compander4.h"
#include "dsp/WireBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void applyOutputCompanderSettings (Compander4& c)
{
    c.attackTime = static_cast<double> (0.0005f);
    c.releaseTime = static_cast<double> (0.022f);
    c.ratio = kInf;
    c.mode = 1.0;
    c.threshold = static_cast<double> (0.01f);
    c.setSampleRate (44100.0);
}

TEST (DspCompander4, ClassValues)
{
    Compander4 c;
    EXPECT_EQ (c.sampleRate, 44100.0);
    EXPECT_EQ (c.attackTime, 0.001);
    EXPECT_EQ (c.releaseTime, 0.022);
    EXPECT_EQ (c.ratio, 0.5);
    EXPECT_EQ (c.envelope, 0.01);
    EXPECT_EQ (c.meanSquare, 0.01);
    EXPECT_EQ (c.threshold, 0.01);
    EXPECT_EQ (c.attackCoefficient, 0.01);
    EXPECT_EQ (c.releaseCoefficient, 0.01);
    EXPECT_EQ (c.gainDb, 0.0);
    EXPECT_EQ (c.levelFloor, 1e-7f);
    EXPECT_EQ (c.smootherB0, 1.0 - std::exp (-0.2));
    EXPECT_EQ (c.smootherA1, -std::exp (-0.2));
    EXPECT_EQ (c.smootherState, 0.0);
}

TEST (DspCompander4, OutputCompanderSettingsOnlyRoundToSinglePrecision)
{
    Compander4 c;
    applyOutputCompanderSettings (c);
    EXPECT_EQ (c.attackCoefficient, std::exp (-1.0 / (static_cast<double> (0.0005f) * 44100.0)));

    std::mt19937 random (99);
    std::uniform_real_distribution<double> unit (-1.0, 1.0);
    const double scales[] = { 0.0, 1e-6, 0.005, 0.3, 1.0, 4.0 };

    for (int i = 0; i < 6000; ++i)
    {
        const double scale = scales[(i / 500) % 6];
        double in[4];
        for (double& v : in)
            v = unit (random) * scale;

        WireBuffer wire (4, 1);
        wire.clear();
        for (int ch = 0; ch < 4; ++ch)
            wire.setSample (ch, 0, in[ch]);

        c.processSample (wire);

        ASSERT_EQ (c.gainDb, 0.0);
        for (int ch = 0; ch < 4; ++ch)
            ASSERT_EQ (wire.getSample (ch, 0), static_cast<double> (static_cast<float> (in[ch])))
                << "sample " << i << ", channel " << ch;
    }

    // One value that a double path would keep unrounded.
    double a = 0.1234567890123, b = 0.0, cc = 0.0, d = 0.0;
    c.processSample (a, b, cc, d);
    EXPECT_EQ (a, static_cast<double> (0.1234567890123f));
    EXPECT_NE (a, 0.1234567890123);

    WireBuffer silent (4, 1);
    silent.clear();
    c.processSample (silent);
    EXPECT_FALSE (silent.hasBeenCleared());
    EXPECT_EQ (silent.getSample (3, 0), 0.0);
}

struct Compander4SteadyCase
{
    double ratio;
    double mode;
    double levels[4];
};

TEST (DspCompander4, GenericSettingsSettleOnTheRatioLaw)
{
    const Compander4SteadyCase cases[] = {
        { 2.0, 0.0, { 0.5, -0.5, 0.5, -0.5 } },   // sum of squares 1: the attack branch at the boundary
        { 2.0, 0.0, { 0.9, 0.8, -0.7, 0.6 } },    // mean square above 1: attack coefficient
        { 4.0, 0.0, { 0.1, 0.0, 0.05, -0.2 } },   // below 1: release coefficient
        { 2.0, 1.0, { 0.1, 0.1, 0.1, 0.1 } },     // mode 1 raises the gain above the threshold
        { 2.0, 0.0, { 0.001, 0.0, 0.0, 0.002 } }, // below the threshold: gain stays 0 dB
    };

    for (const auto& k : cases)
    {
        SCOPED_TRACE (testing::Message()
                      << "ratio " << k.ratio << ", mode " << k.mode << ", first level " << k.levels[0]);
        Compander4 c;
        c.ratio = k.ratio;
        c.mode = k.mode;
        c.setSampleRate (44100.0);

        double out[4] = {};
        for (int i = 0; i < 2000; ++i)
        {
            for (int ch = 0; ch < 4; ++ch)
                out[ch] = k.levels[ch];
            c.processSample (out[0], out[1], out[2], out[3]);
        }

        double sum = 0.0;
        for (double level : k.levels)
        {
            const float f = static_cast<float> (level);
            sum += static_cast<double> (f * f);
        }
        const double meanSquare = static_cast<double> (1e-7f) + sum;
        const double rms = std::sqrt (meanSquare);
        const double coefficient = meanSquare > rms ? c.attackCoefficient : c.releaseCoefficient;
        const double envelope = meanSquare + coefficient * (rms - meanSquare);
        const double levelDb = 20.0 * std::log10 (envelope);
        const double thresholdDb = 20.0 * std::log10 (0.01);
        const double expectedGainDb =
            levelDb > thresholdDb ? (thresholdDb - levelDb) / (k.ratio * (1.0 - 2.0 * k.mode)) : 0.0;

        EXPECT_NEAR (c.meanSquare, meanSquare, 1e-12);
        EXPECT_EQ (c.coefficient, coefficient);
        EXPECT_NEAR (c.gainDb, expectedGainDb, 1e-9);

        const float gain = std::pow (10.0f, static_cast<float> (c.gainDb / 20.0));
        for (int ch = 0; ch < 4; ++ch)
            EXPECT_EQ (out[ch], static_cast<double> (static_cast<float> (k.levels[ch]) * gain));
    }
}

TEST (DspCompander4, HoldsTheLastGainWhileTheLevelIsBelowTheThreshold)
{
    Compander4 c;
    c.ratio = 2.0;
    c.setSampleRate (44100.0);

    double a = 0.0, b = 0.0, cc = 0.0, d = 0.0;
    for (int i = 0; i < 500; ++i)
    {
        a = b = cc = d = 0.4;
        c.processSample (a, b, cc, d);
    }
    ASSERT_LT (c.gainDb, -10.0);

    // The level falls through the threshold; from then on the gain of the last sample above it stays.
    double lastGainDbAbove = c.gainDb;
    int samplesBelow = 0;
    for (int i = 0; i < 500; ++i)
    {
        a = 0.001;
        b = cc = d = 0.0;
        c.processSample (a, b, cc, d);

        if (20.0 * std::log10 (c.envelope) > 20.0 * std::log10 (c.threshold))
        {
            lastGainDbAbove = c.gainDb;
            continue;
        }

        ++samplesBelow;
        ASSERT_EQ (c.gainDb, lastGainDbAbove) << "sample " << i;
        ASSERT_EQ (
            a, static_cast<double> (0.001f * std::pow (10.0f, static_cast<float> (lastGainDbAbove / 20.0))));
    }
    EXPECT_GT (samplesBelow, 400);
    EXPECT_LT (c.gainDb, 0.0);
    EXPECT_GT (c.gainDb, -10.0);
}

TEST (DspCompander4, RecoversFromANonFiniteInputSample)
{
    Compander4 c;
    c.ratio = 2.0;
    c.setSampleRate (44100.0);

    double a, b, cc, d;
    for (int i = 0; i < 2000; ++i)
    {
        a = b = cc = d = 0.3;
        c.processSample (a, b, cc, d);
    }
    const double settledGainDb = c.gainDb;

    a = kInf;
    b = kNaN;
    cc = d = 0.3;
    c.processSample (a, b, cc, d);

    for (int i = 0; i < 2000; ++i)
    {
        a = b = cc = d = 0.3;
        c.processSample (a, b, cc, d);
        ASSERT_TRUE (std::isfinite (a)) << "sample " << i;
    }
    EXPECT_TRUE (std::isfinite (c.smootherState));
    EXPECT_NEAR (c.gainDb, settledGainDb, 1e-9);
}
} // namespace
