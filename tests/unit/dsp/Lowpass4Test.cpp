// Tests of the 8-pole band-limiting filter and its fixed coefficient sets, chosen by sample rate.

#include "dsp/BandLimitSets.h"
#include "dsp/Lowpass4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool holdsSet (const Lowpass4& f, const BandLimitSet& set)
{
    return f.gain == set.gain && f.c == set.c;
}

struct DcGainCase
{
    const char* name;
    double sampleRate; // 0: the default set after a reset
    double expectedDcGain;
};

TEST (DspLowpass4, DcGainOfEachCoefficientSet)
{
    const DcGainCase cases[] = {
        { "default", 0.0, 1.000 },       { "44.1 kHz", 44100.0, 0.8378 }, { "48 kHz", 48000.0, 0.8374 },
        { "88.2 kHz", 88200.0, 0.8373 }, { "96 kHz", 96000.0, 1.4780 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Lowpass4 f;
        f.reset();
        if (c.sampleRate > 0.0)
            f.setSampleRate (c.sampleRate);

        double sum = 0.0;
        for (double coefficient : f.c)
            sum += coefficient;
        const double designDcGain = 256.0 / (1.0 - sum) / f.gain;

        double y = 0.0;
        for (int i = 0; i < 20000; ++i)
        {
            y = f.processSample (1.0);
            ASSERT_TRUE (std::isfinite (y));
        }
        EXPECT_NEAR (y, designDcGain, 1.0e-9 * designDcGain);
        EXPECT_NEAR (y, c.expectedDcGain, 5.0e-5);
    }
}

struct BandCase
{
    double rate;
    int expectedSet; // index into bandLimitSets, or -1 for the default set (a rate in no band)
};

TEST (DspLowpass4, SetSampleRateLoadsTheSetOfTheRateBandOnly)
{
    const BandCase cases[] = {
        { 44100.0, 0 },  { 42001.0, 0 },  { 44999.0, 0 },  { 48000.0, 1 },  { 47001.0, 1 },
        { 48999.0, 1 },  { 88200.0, 2 },  { 88001.0, 2 },  { 96000.0, 3 },  { 90001.0, 3 },
        { 176400.0, 3 }, { 192000.0, 3 }, { 32000.0, -1 }, { 42000.0, -1 }, { 45000.0, -1 },
        { 47000.0, -1 }, { 49000.0, -1 }, { 50000.0, -1 }, { 64000.0, -1 }, { 88000.0, -1 },
        { 89000.0, -1 }, { 89500.0, -1 }, { 90000.0, -1 }, { 22050.0, -1 }, { kNaN, -1 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "rate " << c.rate);
        Lowpass4 f;
        EXPECT_TRUE (holdsSet (f, defaultBandLimitSet));
        f.setSampleRate (c.rate);

        const BandLimitSet& expected = c.expectedSet < 0 ? defaultBandLimitSet : bandLimitSets[c.expectedSet];
        EXPECT_TRUE (holdsSet (f, expected));
        EXPECT_EQ (findBandLimitSet (c.rate), c.expectedSet < 0 ? nullptr : &bandLimitSets[c.expectedSet]);
    }

    // A rate in no band takes the default set, whatever band came before: the set follows the rate alone.
    for (const double banded : { 44100.0, 48000.0, 88200.0, 96000.0 })
    {
        Lowpass4 f;
        f.setSampleRate (banded);
        f.setSampleRate (50000.0);
        EXPECT_TRUE (holdsSet (f, defaultBandLimitSet)) << "after " << banded;
        EXPECT_EQ (&bandLimitSetFor (50000.0), &defaultBandLimitSet);
        EXPECT_EQ (&bandLimitSetFor (banded), findBandLimitSet (banded));
    }
}

TEST (DspLowpass4, SetSampleRateKeepsHistoryAndResetReinstallsTheSetOfTheLastPreparation)
{
    const auto expectClearHistory = [] (const Lowpass4& f)
    {
        for (int i = 0; i < 9; ++i)
        {
            EXPECT_EQ (f.x[i], 0.0);
            EXPECT_EQ (f.y[i], 0.0);
        }
    };

    Lowpass4 f;
    const auto play = [&f]
    {
        for (int i = 0; i < 20; ++i)
            f.processSample (0.1 * i);
    };

    // Before any preparation a reset gives the default set.
    play();
    f.loadSet (bandLimitSets[2]);
    f.reset();
    EXPECT_TRUE (holdsSet (f, defaultBandLimitSet));
    expectClearHistory (f);

    play();
    const auto x = f.x;
    const auto y = f.y;
    f.setSampleRate (96000.0);
    EXPECT_TRUE (holdsSet (f, bandLimitSets[3]));
    EXPECT_EQ (f.x, x);
    EXPECT_EQ (f.y, y);

    f.reset();
    EXPECT_TRUE (holdsSet (f, bandLimitSets[3]));
    expectClearHistory (f);

    // A rate in no band installs the default set, and so does every reset after it.
    f.setSampleRate (50000.0);
    EXPECT_TRUE (holdsSet (f, defaultBandLimitSet));
    play();
    f.reset();
    EXPECT_TRUE (holdsSet (f, defaultBandLimitSet));
    expectClearHistory (f);

    f.setSampleRate (48000.0);
    f.reset();
    f.reset();
    EXPECT_TRUE (holdsSet (f, bandLimitSets[1]));
}

// One step of the recursion written out literally, with its own history variables.
struct ReferenceLowpass4
{
    double gain, c0, c1, c2, c3, c4, c5, c6, c7;
    double x0 = 0, x1 = 0, x2 = 0, x3 = 0, x4 = 0, x5 = 0, x6 = 0, x7 = 0, x8 = 0;
    double y0 = 0, y1 = 0, y2 = 0, y3 = 0, y4 = 0, y5 = 0, y6 = 0, y7 = 0, y8 = 0;

    explicit ReferenceLowpass4 (const BandLimitSet& s)
        : gain (s.gain), c0 (s.c[0]), c1 (s.c[1]), c2 (s.c[2]), c3 (s.c[3]), c4 (s.c[4]), c5 (s.c[5]),
          c6 (s.c[6]), c7 (s.c[7])
    {
    }

    double step (double input)
    {
        x0 = x1, x1 = x2, x2 = x3, x3 = x4, x4 = x5, x5 = x6, x6 = x7, x7 = x8;
        x8 = input / gain;
        y0 = y1, y1 = y2, y2 = y3, y3 = y4, y4 = y5, y5 = y6, y6 = y7, y7 = y8;

        double sum = x0 + x8;
        sum = sum + 8.0 * (x1 + x7);
        sum = sum + 28.0 * (x2 + x6);
        sum = sum + 56.0 * (x3 + x5);
        sum = sum + 70.0 * x4;
        sum = sum + c0 * y0;
        sum = sum + c1 * y1;
        sum = sum + c2 * y2;
        sum = sum + c3 * y3;
        sum = sum + c4 * y4;
        sum = sum + c5 * y5;
        sum = sum + c6 * y6;
        sum = sum + c7 * y7;
        y8 = sum;
        return y8;
    }
};

TEST (DspLowpass4, RecursionMatchesTheWrittenOrderBitForBit)
{
    const double rates[] = { 0.0, 44100.0, 48000.0, 88200.0, 96000.0 };

    for (double rate : rates)
    {
        SCOPED_TRACE (testing::Message() << "rate " << rate);
        Lowpass4 f;
        f.setSampleRate (rate);
        ReferenceLowpass4 reference (BandLimitSet{ f.gain, f.c });

        std::mt19937 random (static_cast<unsigned> (rate) + 7u);
        std::uniform_real_distribution<double> signal (-1.0, 1.0);
        for (int i = 0; i < 5000; ++i)
        {
            const double input = signal (random);
            ASSERT_EQ (f.processSample (input), reference.step (input)) << "sample " << i;
        }
        EXPECT_EQ (f.y[8], reference.y8);
        EXPECT_EQ (f.x[0], reference.x0);
    }
}
} // namespace
