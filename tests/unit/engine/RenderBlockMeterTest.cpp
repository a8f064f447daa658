// The input meter the block frame keeps (RenderBlock.cpp): its peak, its decay over silent blocks and its
// six steps, in both voicings.

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using namespace enginetest;

namespace
{
/** The smallest float not below a double threshold. */
float firstFloatAtOrAbove (double threshold)
{
    float f = static_cast<float> (threshold);
    while (static_cast<double> (f) < threshold)
        f = std::nextafter (f, 10.0f);
    while (static_cast<double> (std::nextafter (f, 0.0f)) >= threshold)
        f = std::nextafter (f, 0.0f);
    return f;
}
} // namespace

//==============================================================================
// Input meter
//==============================================================================
TEST (EngineMeter, ModernPeakThenSilenceFallsByStepsOfOneTenth)
{
    auto p = makeProcessor (2, Path::modern);

    auto first = impulse<float> (2, 64);
    process (*p, first);
    EXPECT_EQ (PI::meterPeak (*p), 1.0f);
    EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), 0.8f);

    const float expectedPeak[] = { 0.9f, 0.81f, 0.729f, 0.6561f, 0.59049f, 0.531441f, 0.4782969f };
    const float expectedMeter[] = { 0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.4f };

    for (size_t k = 0; k < std::size (expectedPeak); ++k)
    {
        juce::AudioBuffer<float> silence (2, 64);
        silence.clear();
        process (*p, silence);
        EXPECT_NEAR (PI::meterPeak (*p), expectedPeak[k], 1e-6) << "silent block " << k + 1;
        EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), expectedMeter[k]) << "silent block " << k + 1;
    }
}

TEST (EngineMeter, ClassicFollowsEverySampleWithTheBlocksRunningPeak)
{
    // The frame after k samples of a block is the frame after a block of those k samples, so the
    // meter's per-sample course shows in blocks of growing length started from a zero peak.
    auto p = makeProcessor (1, Path::classic);
    const float samples[] = { 0.5f, 0.0f, 0.0f, 0.0f };
    const float expectedPeak[] = { 0.5f, 0.45f, 0.5f, 0.45f };

    for (int length = 1; length <= 4; ++length)
    {
        PI::meterPeak (*p) = 0.0f;
        juce::AudioBuffer<float> buffer (1, length);
        for (int i = 0; i < length; ++i)
            buffer.setSample (0, i, samples[i]);
        process (*p, buffer);
        EXPECT_FLOAT_EQ (PI::meterPeak (*p), expectedPeak[length - 1]) << "after sample " << length;
    }
    EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), 0.4f);

    // The modern meter sees the same block once, at its end.
    p->setParameter (kUseClassic, 0.0f);
    PI::meterPeak (*p) = 0.0f;
    juce::AudioBuffer<float> buffer (1, 4);
    for (int i = 0; i < 4; ++i)
        buffer.setSample (0, i, samples[i]);
    process (*p, buffer);
    EXPECT_FLOAT_EQ (PI::meterPeak (*p), 0.5f);
}

TEST (EngineMeter, StepThresholdsAreInclusiveAtTheirLowerEnd)
{
    auto p = makeProcessor (2, Path::modern);
    const double thresholds[] = { 0.0631, 0.251, 0.501, 1.0, 2.0 };

    for (int k = 0; k < 5; ++k)
    {
        const float at = firstFloatAtOrAbove (thresholds[k]);
        const float below = std::nextafter (at, 0.0f);

        for (const auto& [value, step] : { std::pair<float, int>{ at, k + 1 }, { below, k } })
        {
            PI::meterPeak (*p) = 0.0f;
            juce::AudioBuffer<float> buffer (2, 32);
            buffer.clear();
            buffer.setSample (1, 5, value);
            process (*p, buffer);
            EXPECT_EQ (PI::meterPeak (*p), value);
            EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), (float) step / 5.0f) << "peak " << value;
        }
    }
}

TEST (EngineMeter, EveryChannelOfTheLayoutFeedsTheMeterButOnlyPositiveValuesCount)
{
    for (const auto& layout : layouts)
    {
        auto p = makeProcessor (layout.channels, Path::modern);
        const int last = layout.channels - 1;

        struct Case
        {
            float value;
            float expectedPeak; // from a held peak of 0.3
        };
        const float decayed = static_cast<float> (static_cast<double> (0.3f) * 0.9);
        const Case cases[] = { { 0.7f, 0.7f },
                               { -0.9f, decayed },
                               { 0.0f, decayed },
                               { std::numeric_limits<float>::quiet_NaN(), decayed } };

        for (const auto& c : cases)
        {
            PI::meterPeak (*p) = 0.3f;
            juce::AudioBuffer<float> buffer (layout.channels, 16);
            buffer.clear();
            buffer.setSample (last, 3, c.value);
            process (*p, buffer);
            EXPECT_EQ (PI::meterPeak (*p), c.expectedPeak) << layout.name << " value " << c.value;
        }
    }
}

TEST (EngineMeter, EmptyBlockLowersTheModernMeterOnceAndLeavesTheClassicOne)
{
    for (auto path : { Path::modern, Path::classic })
    {
        auto p = makeProcessor (2, path);
        PI::meterPeak (*p) = 0.7f;
        p->setParameter (kInputMeter, 0.2f); // a stale value the classic path must keep

        juce::AudioBuffer<float> empty (2, 0);
        process (*p, empty);

        if (path == Path::modern)
        {
            EXPECT_EQ (PI::meterPeak (*p), static_cast<float> (static_cast<double> (0.7f) * 0.9));
            EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), 0.6f);
        }
        else
        {
            EXPECT_EQ (PI::meterPeak (*p), 0.7f);
            EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), 0.2f);
        }
    }
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
