// The tank (Tank.h): the columns' feedback gains and their wobble, and the shelves' output into each
// column's delay chain.

#include "EngineTestSupport.h"
#include "engine/OutputNetwork.h" // loads and stores the filter banks the tank steps
#include "engine/Tank.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using namespace enginetest;

//==============================================================================
// Tank
//==============================================================================
class EngineTank : public ::testing::TestWithParam<Path>
{
protected:
    void runTank (Processor& p, double diffuserOutput)
    {
        if (GetParam() == Path::classic)
            PI::runTank<true> (p, diffuserOutput);
        else
            PI::runTank<false> (p, diffuserOutput);
    }
};

TEST_P (EngineTank, FeedbackGainsAtDecayHalf)
{
    auto p = makeProcessor (2, GetParam());
    ASSERT_EQ (p->getParameter (kDecay), 0.5f);
    takeWorkBuffers (*p);

    const double expected[2][3] = { { 0.762043, 0.710074, 0.649612 }, { 0.762043, 0.783227, 0.718478 } };
    const auto& gains = expected[GetParam() == Path::classic ? 0 : 1];
    const int tankMixers[3] = { 1, 7, 8 };

    // Wobble in dB per unit of gain phase: columns 2 and 3 move in opposite directions.
    const double wobbleDb[3] = { 0.0, -0.0051, 0.0051 };

    for (double phase : { 0.0, 1.0, -1.0 })
    {
        PI::gainLfo (*p).phase = phase;
        runTank (*p, 0.0);
        for (int column = 0; column < 3; ++column)
        {
            const double expectedGain = gains[column] * std::pow (10.0, wobbleDb[column] * phase / 20.0);
            EXPECT_NEAR (PI::mixer (*p, tankMixers[column]).g1, expectedGain, 2e-6)
                << "column " << column + 1 << " phase " << phase;
        }
    }
}

TEST_P (EngineTank, ShelvesZeroTinyValuesAndTheChainsGetTheNegatedShelfOutput)
{
    const bool classic = GetParam() == Path::classic;
    auto p = makeProcessor (2, GetParam());
    takeWorkBuffers (*p);
    PI::gainLfo (*p).phase = 0.0;

    const int firstLines[3] = { tolvmark::network::tankChains[0][0], tolvmark::network::tankChains[1][0],
                                tolvmark::network::tankChains[2][0] };

    // A unit impulse into silent columns: each first line gets minus the shelves' first output.
    runTank (*p, 1.0);
    for (int column = 0; column < 3; ++column)
    {
        const auto high = PI::coefficientsOf (PI::highShelfFilter (*p, column));
        float y = high.coefficients[0] * 1.0f;
        if (classic)
            y = PI::coefficientsOf (PI::lowShelfFilter (*p, column)).coefficients[0] * y;
        const auto& line = PI::delayLine (*p, firstLines[column]);
        EXPECT_EQ (line.sampleAt (lastWrittenSlot (line)), static_cast<double> (-y))
            << "column " << column + 1;
    }

    // Values whose shelf output lies within +-1e-8 leave the shelves as exact zeros.
    for (double tiny : { 5e-9, -5e-9, 1e-12 })
    {
        p->reset();
        runTank (*p, tiny);
        for (int column = 0; column < 3; ++column)
        {
            const auto& line = PI::delayLine (*p, firstLines[column]);
            EXPECT_EQ (line.sampleAt (lastWrittenSlot (line)), 0.0)
                << "input " << tiny << " column " << column + 1;
        }
    }

    p->reset();
    runTank (*p, 1e-6);
    for (int column = 0; column < 3; ++column)
    {
        const auto& line = PI::delayLine (*p, firstLines[column]);
        EXPECT_LT (line.sampleAt (lastWrittenSlot (line)), 0.0) << "column " << column + 1;
    }
}

INSTANTIATE_TEST_SUITE_P (Paths, EngineTank, ::testing::Values (Path::classic, Path::modern),
                          [] (const auto& info) { return std::string (pathName (info.param)); });

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
