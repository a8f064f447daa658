// The density cascade and the output stage (OutputNetwork.h): the cascade's lines by stage count, the
// output channels and matrix, and the wet gain of the levels.

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using namespace enginetest;

//==============================================================================
// Density cascade
//==============================================================================
TEST (EngineCascade, RunsTheLinesOfTheStageCountOnly)
{
    struct Case
    {
        float oversampling;
        int stages;
    };
    // Exact factors, values between the steps (the stage count the text names) and the top value.
    const Case cases[] = { { 0.0f, 1 },  { 0.25f, 2 }, { 0.5f, 3 }, { 0.75f, 4 }, { 0.1f, 1 },
                           { 0.3f, 2 },  { 0.6f, 3 },  { 0.8f, 4 }, { 1.0f, 4 },  { 0.2399f, 1 },
                           { 0.24f, 1 }, { 0.49f, 3 }, { 0.74f, 4 } };
    constexpr int stageLines[4][6] = { { 25, 26, 27, 28, 29, 30 },
                                       { 39, 40, 41, 42, 43, 44 },
                                       { 45, 46, 47, 48, 49, 50 },
                                       { 51, 52, 53, 54, 55, 56 } };

    auto p = makeProcessor (2, Path::modern);
    constexpr int samples = 100;

    for (const auto& c : cases)
    {
        p->setParameter (kOversampling, c.oversampling);

        int before[69];
        for (int n = 0; n < 69; ++n)
            before[n] = PI::delayLine (*p, n).writeIndex;

        auto buffer = noise<float> (2, samples, 1);
        process (*p, buffer);

        std::vector<int> expected (69, samples);
        for (int n = 6; n <= 23; ++n)
            expected[(size_t) n] = 0;
        expected[33] = 0;
        for (int stage = c.stages; stage < 4; ++stage)
            for (int line : stageLines[stage])
                expected[(size_t) line] = 0;

        for (int n = 0; n < 69; ++n)
        {
            const int advanced = (PI::delayLine (*p, n).writeIndex - before[n] + SimpleDelay::kCapacity) %
                                 SimpleDelay::kCapacity;
            EXPECT_EQ (advanced, expected[(size_t) n]) << "oversampling " << c.oversampling << " line " << n;
        }
    }
}

//==============================================================================
// Output network, observed per sample through one-sample blocks
//==============================================================================
struct OutputCase
{
    Path path;
    float oversampling;
};

class EngineOutputNetwork : public ::testing::TestWithParam<OutputCase>
{
};

TEST_P (EngineOutputNetwork, ChannelSumsAndTheCentreFollowTheirDefinitions)
{
    const auto c = GetParam();
    auto p = makeProcessor (2, c.path);
    p->setParameter (kOversampling, c.oversampling);
    const int stages = PI::cascadeStageCount (*p);
    const int lastStageLineA = tolvmark::network::cascadeLines[0][stages - 1].a;
    const double matrixGain = static_cast<double> (0.4f);

    juce::Random random (3);
    int checked = 0;

    for (int n = 0; n < 3000; ++n)
    {
        juce::AudioBuffer<float> one (2, 1);
        const float x = n == 0 ? 1.0f : 0.05f * (2.0f * random.nextFloat() - 1.0f);
        one.setSample (0, 0, x);
        one.setSample (1, 0, x);
        process (*p, one);

        const auto& wire8 = PI::wireBuffer (*p, 8);
        const double a = wire8.getSample (0, 0), b = wire8.getSample (1, 0);
        const double cc = wire8.getSample (2, 0), d = wire8.getSample (3, 0);
        const double tapSumX = PI::wireBuffer (*p, 1).getSample (0, 0);

        // o1 is column 1's last stage crossfade of the values its two lines read at this sample.
        const auto& lineA = PI::delayLine (*p, lastStageLineA);
        const auto& lineB = PI::delayLine (*p, tolvmark::network::cascadeLines[0][stages - 1].b);
        const double w = PI::cascadeLfo (*p, 0).phase / 10.0;
        const double o1 = lineB.sampleAt (lineB.readIndex) * (1.0 - w) * 0.5 +
                          lineA.sampleAt (lineA.readIndex) * (1.0 + w) * 0.5;

        // a' and b' are a and b in single precision: allow that rounding.
        const double tolerance = 1.2e-7 * (std::abs (a) + std::abs (b)) + 1e-300;
        ASSERT_NEAR (a + b, 2.0 * o1, tolerance) << "sample " << n;
        ASSERT_NEAR (b - a, 2.0 * tapSumX, tolerance) << "sample " << n;

        // The matrix inputs of the five output lines, before their delays.
        const auto written = [&] (int line)
        {
            const auto& l = PI::delayLine (*p, line);
            return l.sampleAt (lastWrittenSlot (l));
        };
        ASSERT_EQ (written (34), (a + cc) * matrixGain);
        ASSERT_EQ (written (35), (a - cc) * matrixGain);
        ASSERT_EQ (written (37), (b + d) * matrixGain);
        ASSERT_EQ (written (38), (b - d) * matrixGain);
        ASSERT_NEAR (written (36), matrixGain * a, 1e-15 * (std::abs (a) + std::abs (cc)) + 1e-300)
            << "sample " << n;

        checked += (o1 != 0.0 && tapSumX != 0.0) ? 1 : 0;
    }

    EXPECT_GT (checked, 1000) << "the identities must be checked on live signals";
}

INSTANTIATE_TEST_SUITE_P (Cases, EngineOutputNetwork,
                          ::testing::Values (OutputCase{ Path::classic, 0.0f },
                                             OutputCase{ Path::modern, 0.0f },
                                             OutputCase{ Path::classic, 0.75f },
                                             OutputCase{ Path::modern, 0.75f }),
                          [] (const auto& info)
                          {
                              return std::string (pathName (info.param.path)) + "_oversampling_" +
                                     std::to_string ((int) std::lround (info.param.oversampling * 100));
                          });

TEST (EngineOutputNetwork, WetGainIsLevelTimes2Point5Times1Point12)
{
    struct Case
    {
        float level;
        double gain;
    };
    const Case cases[] = { { 0.5f, 1.4 }, { 1.0f, 2.8 }, { 0.25f, 0.7 } };
    const int hostChannelOfFilter[5] = { 0, 1, 2, 4, 5 };

    for (const auto& c : cases)
    {
        auto p = makeProcessor (6, Path::modern);
        for (int index = kLeftLevel; index <= kRightSLevel; ++index)
            p->setParameter (index, c.level);

        int live = 0;
        for (int n = 0; n < 2000; ++n)
        {
            juce::AudioBuffer<double> one (6, 1);
            one.clear();
            one.setSample (0, 0, n == 0 ? 1.0 : 0.0);
            process (*p, one);

            for (int filter = 0; filter < 5; ++filter)
            {
                const double y = PI::highCutFilter (*p, filter).ym1;
                const double out = one.getSample (hostChannelOfFilter[filter], 0);
                ASSERT_NEAR (out, y * c.gain, 1e-14 * std::abs (y))
                    << "level " << c.level << " filter " << filter;
                live += y != 0.0 ? 1 : 0;
            }
        }
        EXPECT_GT (live, 1000);
    }
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
