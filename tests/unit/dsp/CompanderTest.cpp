// Tests of the two-channel compander.

#include "dsp/Compander.h"
#include "dsp/WireBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void applyInputCompanderSettings (Compander& c)
{
    c.attackTime = 0.0005;
    c.releaseTime = 0.022;
    c.ratio = kInf;
    c.mode = 0.0;
    c.threshold = 0.01;
    c.setSampleRate (44100.0);
}

TEST (DspCompander, ClassValues)
{
    Compander c;
    EXPECT_EQ (c.sampleRate, 44100.0);
    EXPECT_EQ (c.attackTime, 0.001);
    EXPECT_EQ (c.releaseTime, 0.022);
    EXPECT_EQ (c.ratio, 0.5);
    EXPECT_EQ (c.envelope, 0.01);
    EXPECT_EQ (c.meanSquare, 0.01);
    EXPECT_EQ (c.threshold, 0.01);
    EXPECT_EQ (c.attackCoefficient, 0.01);
    EXPECT_EQ (c.releaseCoefficient, 0.01);
    EXPECT_EQ (c.gain, 0.0);
    EXPECT_EQ (c.levelFloor, 1e-7);
    EXPECT_EQ (c.smootherB0, 1.0 - std::exp (-0.01));
    EXPECT_EQ (c.smootherA1, -std::exp (-0.01));
    EXPECT_EQ (c.smootherState, 0.0);
}

TEST (DspCompander, InputCompanderSettingsMultiplyEverythingByTenToTheTenth)
{
    Compander c;
    applyInputCompanderSettings (c);
    EXPECT_EQ (c.attackCoefficient, 0.9556615326900152);
    EXPECT_EQ (c.releaseCoefficient, 0.9989698156881484);

    const double inputs[][2] = {
        { 0.0, 0.0 },  { 0.0, 0.0 },  { 0.5, -0.25 }, { 1.0, 1.0 },   { -0.9, 0.7 },
        { 3.0, -2.0 }, { 1e-6, 0.0 }, { 0.0, 0.0 },   { 0.02, 0.03 }, { -0.4, 0.0 }
    };

    for (int round = 0; round < 200; ++round)
    {
        for (const auto& in : inputs)
        {
            // Silence is handed over as a cleared buffer, which processing marks as holding data.
            WireBuffer wire (2, 1);
            wire.clear();
            if (in[0] != 0.0 || in[1] != 0.0)
            {
                wire.setSample (0, 0, in[0]);
                wire.setSample (1, 0, in[1]);
            }

            c.processSample (wire);

            ASSERT_EQ (c.gain, 1.2589254117941673);
            ASSERT_EQ (wire.getSample (0, 0), in[0] * 1.2589254117941673);
            ASSERT_EQ (wire.getSample (1, 0), in[1] * 1.2589254117941673);
            ASSERT_FALSE (wire.hasBeenCleared());
        }
    }
}

struct CompanderSteadyCase
{
    double ratio;
    double mode;
    double level; // both channels
};

TEST (DspCompander, GenericSettingsSettleOnTheRatioLaw)
{
    const CompanderSteadyCase cases[] = {
        { 2.0, 0.0, 0.5 }, { 4.0, 0.0, 0.1 }, { 2.0, 1.0, 0.5 }, { 2.0, 0.0, 0.001 }, { 0.5, 0.0, 0.2 },
    };

    for (const auto& k : cases)
    {
        SCOPED_TRACE (testing::Message()
                      << "ratio " << k.ratio << ", mode " << k.mode << ", level " << k.level);
        Compander c;
        c.ratio = k.ratio;
        c.mode = k.mode;
        c.setSampleRate (44100.0);

        double left = 0.0, right = 0.0;
        for (int i = 0; i < 44100; ++i)
        {
            left = k.level;
            right = -k.level;
            c.processSample (left, right);
        }

        const double levelLog = std::log10 (std::sqrt (k.level * k.level + 1e-7));
        const double excess = levelLog - std::log10 (0.01);
        const double exponent = excess > 0.0 ? 1.0 - excess / (k.ratio * (1.0 - 2.0 * k.mode)) : 1.0;
        const double expectedGain = std::pow (10.0, exponent / 10.0);
        EXPECT_NEAR (c.gain, expectedGain, 1e-9);
        EXPECT_EQ (left, k.level * c.gain);
        EXPECT_EQ (right, -k.level * c.gain);
    }
}

TEST (DspCompander, EnvelopeRisesWithTheAttackAndFallsWithTheRelease)
{
    Compander c;
    c.ratio = 2.0;
    c.setSampleRate (44100.0);

    double left = 0.5, right = 0.5;
    c.processSample (left, right);
    EXPECT_EQ (c.coefficient, c.attackCoefficient);
    const double rms = std::sqrt ((0.25 + 1e-7) * c.smootherB0);
    EXPECT_NEAR (c.meanSquare, (0.25 + 1e-7) * c.smootherB0, 1e-15);
    EXPECT_NEAR (c.envelope, 0.01 * c.attackCoefficient + (1.0 - c.attackCoefficient) * rms, 1e-15);

    for (int i = 0; i < 2000; ++i)
    {
        left = right = 0.5;
        c.processSample (left, right);
    }
    const double loudEnvelope = c.envelope;
    left = right = 0.0;
    c.processSample (left, right);
    EXPECT_EQ (c.coefficient, c.releaseCoefficient);
    EXPECT_LT (c.envelope, loudEnvelope);
    EXPECT_GT (c.envelope, loudEnvelope * c.releaseCoefficient);
}

TEST (DspCompander, RecoversFromANonFiniteInputSample)
{
    const double badSamples[] = { kInf, -kInf, kNaN };

    for (double bad : badSamples)
    {
        SCOPED_TRACE (testing::Message() << "bad sample " << bad);
        Compander generic;
        generic.ratio = 2.0;
        generic.setSampleRate (44100.0);
        Compander input;
        applyInputCompanderSettings (input);

        for (Compander* c : { &generic, &input })
        {
            double left = 0.3, right = 0.3;
            for (int i = 0; i < 20000; ++i)
            {
                left = right = 0.3;
                c->processSample (left, right);
            }
            const double settledGain = c->gain;

            left = bad;
            right = 0.3;
            c->processSample (left, right);

            for (int i = 0; i < 20000; ++i)
            {
                left = right = 0.3;
                c->processSample (left, right);
                ASSERT_TRUE (std::isfinite (left)) << "sample " << i;
            }
            EXPECT_TRUE (std::isfinite (c->smootherState));
            EXPECT_TRUE (std::isfinite (c->envelope));
            EXPECT_NEAR (c->gain, settledGain, 1e-9);
        }
    }
}
} // namespace
