// The five modulators (Modulators.h): the ranges of their phases, the gain modulator's reflections, the
// cascade modulators' wraps and turns, and the cascade steps' shrinking within a block.

#include "EngineTestSupport.h"
#include "engine/Modulators.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using namespace enginetest;

//==============================================================================
// Modulators
//==============================================================================
struct ModulatorCase
{
    Path path;
    float oversampling;
    int samples;
};

class EngineModulatorBounds : public ::testing::TestWithParam<ModulatorCase>
{
};

TEST_P (EngineModulatorBounds, PhasesStayWithinTheirRanges)
{
    const auto c = GetParam();
    auto p = makeProcessor (2, c.path);
    p->setParameter (kOversampling, c.oversampling);
    const double factor = PI::oversamplingFactor (*p);
    const bool classic = c.path == Path::classic;

    // The modern gain phase sweeps between just beyond +-1/F and just inside +-(2 - 1/F).
    const double gainStep = PI::modulationRates (*p)[3] * (40.0 / 44100.0) / factor;
    const double gainLimit = classic ? 1.0 : std::max (1.0 / factor, 2.0 - 1.0 / factor) + gainStep;

    const double diffuserStart = PI::diffuserLfo (*p).phase;
    double gainMin = 0.0, gainMax = 0.0;
    int cascadeWraps = 0;

    for (int i = 0; i < c.samples; ++i)
    {
        if (i % 512 == 0)
            PI::setUpModulators (*p);

        for (int k = 0; k < 3; ++k)
        {
            const double before = PI::cascadeLfo (*p, k).phase;
            PI::stepCascadeLfo (*p, k);
            const double phase = PI::cascadeLfo (*p, k).phase;
            ASSERT_TRUE (phase >= -10.0 && phase <= 10.0)
                << "cascade " << k << " sample " << i << ": " << phase;
            cascadeWraps += std::abs (phase - before) > 10.0 ? 1 : 0;
        }

        if (classic)
        {
            PI::stepGainLfo<true> (*p);
            PI::stepDiffuserLfo<true> (*p);
        }
        else
        {
            PI::stepGainLfo<false> (*p);
            PI::stepDiffuserLfo<false> (*p);
        }

        const double gain = PI::gainLfo (*p).phase;
        ASSERT_LE (std::abs (gain), gainLimit) << "sample " << i;
        gainMin = std::min (gainMin, gain);
        gainMax = std::max (gainMax, gain);

        const double diffuser = PI::diffuserLfo (*p).phase;
        ASSERT_TRUE (diffuser >= -1.0 && diffuser <= 1.0) << "sample " << i << ": " << diffuser;
    }

    EXPECT_GT (cascadeWraps, 0);

    // The gain phase reaches both ends of its range.
    EXPECT_GT (gainMax, gainLimit - 0.01);
    EXPECT_LT (gainMin, -(gainLimit - 0.01));

    if (classic)
    {
        EXPECT_EQ (PI::diffuserLfo (*p).phase, diffuserStart)
            << "the classic voicing holds the diffuser crossfade";
    }
    else
    {
        EXPECT_NE (PI::diffuserLfo (*p).phase, diffuserStart);
    }
}

INSTANTIATE_TEST_SUITE_P (Cases, EngineModulatorBounds,
                          ::testing::Values (ModulatorCase{ Path::classic, 0.0f, 40000 },
                                             ModulatorCase{ Path::classic, 0.75f, 150000 },
                                             ModulatorCase{ Path::modern, 0.0f, 200000 },
                                             ModulatorCase{ Path::modern, 0.25f, 400000 },
                                             ModulatorCase{ Path::modern, 0.75f, 1400000 },
                                             ModulatorCase{ Path::modern, 1.0f, 2000000 }),
                          [] (const auto& info)
                          {
                              return std::string (pathName (info.param.path)) + "_oversampling_" +
                                     std::to_string ((int) std::lround (info.param.oversampling * 100));
                          });

TEST (EngineModulators, ModernGainPhaseAtFactorFourJumpsToNearTheFarReflection)
{
    auto p = makeProcessor (2, Path::modern);
    p->setParameter (kOversampling, 0.75f);
    ASSERT_EQ (PI::oversamplingFactor (*p), 4.0);
    const double s = PI::modulationRates (*p)[3] * (40.0 / 44100.0) / 4.0;
    auto& lfo = PI::gainLfo (*p);

    // Rising past +0.25: continues from just below 1.75, downwards, in the same sample.
    lfo.phase = 0.25 - s / 2;
    lfo.direction = 1;
    PI::stepGainLfo<false> (*p);
    EXPECT_EQ (lfo.direction, -1);
    EXPECT_GT (lfo.phase, 1.75 - 2 * s);
    EXPECT_LT (lfo.phase, 1.75 - s);

    // Falling past -0.25: continues from just above -1.75, upwards from the next sample on.
    lfo.phase = -0.25 + s / 2;
    lfo.direction = -1;
    PI::stepGainLfo<false> (*p);
    EXPECT_EQ (lfo.direction, 1);
    EXPECT_NEAR (lfo.phase, -1.75 + s / 2, 1e-12);
    const double turned = lfo.phase;
    PI::stepGainLfo<false> (*p);
    EXPECT_NEAR (lfo.phase, turned + s, 1e-12);
}

TEST (EngineModulators, ClassicGainPhaseReflectsAtPlusMinusOneWithConstantSteps)
{
    auto p = makeProcessor (2, Path::classic);
    PI::setUpModulators (*p);
    auto& lfo = PI::gainLfo (*p);
    const double step = lfo.stepUp;
    ASSERT_GT (step, 0.0);
    ASSERT_EQ (lfo.stepDown, -step);

    lfo.phase = 1.0 - step / 2;
    lfo.direction = 1;
    PI::stepGainLfo<true> (*p);
    EXPECT_EQ (lfo.direction, -1);
    EXPECT_NEAR (lfo.phase, 1.0 - 1.5 * step, 1e-12);

    // No shrinking: a thousand samples move the phase by a thousand steps.
    const double start = lfo.phase;
    for (int i = 0; i < 1000; ++i)
        PI::stepGainLfo<true> (*p);
    EXPECT_NEAR (lfo.phase, start - 1000 * step, 1e-9);

    lfo.phase = -1.0 + step / 2;
    lfo.direction = -1;
    PI::stepGainLfo<true> (*p);
    EXPECT_EQ (lfo.direction, 1);
    EXPECT_NEAR (lfo.phase, -1.0 + step / 2, 1e-12);
}

namespace
{
/** Line A (or, with `lineB`, line B) of each of the column's four cascade stages. */
std::array<int, 4> cascadeLinesOf (int column, bool lineB = false)
{
    std::array<int, 4> lines{};
    for (int stage = 0; stage < 4; ++stage)
    {
        const auto& pair = tolvmark::network::cascadeLines[column][stage];
        lines[(size_t) stage] = lineB ? pair.b : pair.a;
    }
    return lines;
}

void setCascadeLines (Processor& p, int column, bool lineB, double time)
{
    for (int line : cascadeLinesOf (column, lineB))
        PI::delayLine (p, line).setDelayTime (time);
}
} // namespace

TEST (EngineModulators, CascadeWrapHandsTheAudibleTimeToTheOtherLine)
{
    auto p = makeProcessor (2, Path::modern);
    PI::setUpModulators (*p);
    const double c = 0.02, stepSize = PI::modulationStepSizes (*p)[0];

    for (int column = 0; column < 3; ++column)
    {
        auto& lfo = PI::cascadeLfo (*p, column);
        const double acc = 0.004;
        lfo = { -10.0 + std::abs (lfo.stepDown) / 2, 1, lfo.stepUp, lfo.stepDown, acc };
        setCascadeLines (*p, column, false, c + acc);
        setCascadeLines (*p, column, true, acc + stepSize + c);
        const int firstLineB = tolvmark::network::cascadeLines[column][0].b;
        const double timeB = PI::delayLine (*p, firstLineB).time;
        const int samplesB = PI::delayLine (*p, firstLineB).delaySamples;

        PI::stepCascadeLfo (*p, column);

        // Weight jumps from -1 (line B audible) to +1 (line A audible); A now has B's previous time.
        EXPECT_EQ (lfo.phase, 10.0);
        EXPECT_EQ (lfo.direction, 1);
        for (const auto& pair : tolvmark::network::cascadeLines[column])
        {
            EXPECT_EQ (PI::delayLine (*p, pair.a).time, timeB) << "line " << pair.a;
            EXPECT_EQ (PI::delayLine (*p, pair.a).delaySamples, samplesB) << "line " << pair.a;
            EXPECT_NEAR (PI::delayLine (*p, pair.b).time, timeB + stepSize, 1e-15) << "line " << pair.b;
        }
    }
}

TEST (EngineModulators, CascadeTurnAtThePlusBoundRunsBothWrapsInOneSample)
{
    auto p = makeProcessor (2, Path::classic);
    PI::setUpModulators (*p);
    const double c = 0.02, stepSize = PI::modulationStepSizes (*p)[0];
    const double bound = PI::modulationDepth (*p) / PI::oversamplingFactor (*p);

    for (int column = 0; column < 3; ++column)
    {
        auto& lfo = PI::cascadeLfo (*p, column);
        const double acc = bound - stepSize / 2;
        lfo = { -10.0 + std::abs (lfo.stepDown) / 2, 1, lfo.stepUp, lfo.stepDown, acc };
        setCascadeLines (*p, column, false, c + acc);
        setCascadeLines (*p, column, true, acc + stepSize + c);

        std::vector<double> timesBefore;
        std::vector<int> samplesBefore;
        for (const auto& pair : tolvmark::network::cascadeLines[column])
            for (int line : { pair.a, pair.b })
            {
                timesBefore.push_back (PI::delayLine (*p, line).time);
                samplesBefore.push_back (PI::delayLine (*p, line).delaySamples);
            }

        PI::stepCascadeLfo (*p, column);

        EXPECT_EQ (lfo.phase, -10.0);
        EXPECT_EQ (lfo.direction, -1);
        EXPECT_NEAR (lfo.accumulator, acc, 1e-15);
        size_t k = 0;
        for (const auto& pair : tolvmark::network::cascadeLines[column])
            for (int line : { pair.a, pair.b })
            {
                EXPECT_NEAR (PI::delayLine (*p, line).time, timesBefore[k], 1e-15);
                EXPECT_EQ (PI::delayLine (*p, line).delaySamples, samplesBefore[k]);
                ++k;
            }

        // At the minus bound the turn back takes effect only in the next sample.
        lfo = { 10.0 - lfo.stepUp / 2, -1, lfo.stepUp, lfo.stepDown, -bound + stepSize / 2 };
        PI::stepCascadeLfo (*p, column);
        EXPECT_EQ (lfo.phase, -10.0);
        EXPECT_EQ (lfo.direction, 1);
        EXPECT_NEAR (lfo.accumulator, -bound - stepSize / 2, 1e-15);

        PI::stepCascadeLfo (*p, column);
        EXPECT_EQ (lfo.phase, 10.0);
        EXPECT_EQ (lfo.direction, 1);
        EXPECT_NEAR (lfo.accumulator, -bound + stepSize / 2, 1e-15);
    }
}

struct BlockSizeCase
{
    Path path;
    int blockSize, numBlocks;
};

class EngineModulatorBlockSize : public ::testing::TestWithParam<BlockSizeCase>
{
};

TEST_P (EngineModulatorBlockSize, CascadeStepsShrinkWithinABlockAndAreRestoredAtTheNext)
{
    const auto c = GetParam();
    auto p = makeProcessor (2, c.path);
    p->setParameter (kOversampling, 0.75f);

    const double step = PI::modulationRates (*p)[0] * (400.0 / 44100.0);
    const double divisor = 200.0;
    const double perBlock = step * divisor * (1.0 - std::pow (1.0 - 1.0 / divisor, c.blockSize));
    const double sign[3] = { -1.0, -1.0, 1.0 }; // columns 1 and 2 start falling, column 3 rising

    double start[3];
    for (int k = 0; k < 3; ++k)
        start[k] = PI::cascadeLfo (*p, k).phase;

    for (int block = 0; block < c.numBlocks; ++block)
    {
        juce::AudioBuffer<float> silence (2, c.blockSize);
        silence.clear();
        process (*p, silence);
    }

    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR (PI::cascadeLfo (*p, k).phase - start[k], sign[k] * perBlock * c.numBlocks, 1e-9)
            << "column " << k + 1;
}

INSTANTIATE_TEST_SUITE_P (
    Cases, EngineModulatorBlockSize,
    ::testing::Values (BlockSizeCase{ Path::modern, 1, 100 }, BlockSizeCase{ Path::modern, 1000, 1 },
                       BlockSizeCase{ Path::classic, 1, 100 }, BlockSizeCase{ Path::classic, 1000, 1 }),
    [] (const auto& info)
    { return std::string (pathName (info.param.path)) + "_block_" + std::to_string (info.param.blockSize); });

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
