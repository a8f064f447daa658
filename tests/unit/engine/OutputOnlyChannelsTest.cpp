// Layouts with more outputs than inputs: the channels that carry no input start from silence, whatever
// the host's buffer held, so stale memory can never reach the reverb, the dry mix or the meter.

#include "ProcessorFixture.h"
#include "processor/QuellorAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace
{
struct LayoutCase
{
    juce::AudioChannelSet input, output;
};

std::unique_ptr<QuellorAudioProcessor> makeProcessor (const LayoutCase& layout)
{
    return testsupport::ProcessorFixture()
        .buses (layout.input, layout.output)
        .preparedAt (48000.0, 256)
        .make();
}
} // namespace

class OutputOnlyChannels : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P (OutputOnlyChannels, StartFromSilenceWhateverTheHostLeftInThem)
{
    const auto& layout = GetParam();
    const int inputs = layout.input.size();
    const int outputs = layout.output.size();
    const float garbage[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              1.0e30f };

    for (const bool bypassed : { false, true })
    {
        auto processor = makeProcessor (layout);
        processor->setParameter (tolvmark::kMix, 0.5f);
        processor->setParameter (tolvmark::kBypass, bypassed ? 1.0f : 0.0f);

        juce::AudioBuffer<float> buffer (outputs, 256);
        juce::MidiBuffer midi;

        for (int block = 0; block < 20; ++block)
        {
            for (int c = 0; c < outputs; ++c)
                for (int i = 0; i < 256; ++i)
                    buffer.setSample (c, i,
                                      c < inputs ? 0.25f * std::sin (0.01f * (float) (i + 256 * block))
                                                 : garbage[(i + c) % 3]);
            processor->processBlock (buffer, midi);

            for (int c = 0; c < outputs; ++c)
                for (int i = 0; i < 256; ++i)
                    ASSERT_TRUE (std::isfinite (buffer.getSample (c, i)))
                        << "channel " << c << " sample " << i << (bypassed ? " (bypassed)" : "");

            if (bypassed)
            {
                for (int c = inputs; c < outputs; ++c)
                    EXPECT_EQ (buffer.getMagnitude (c, 0, 256), 0.0f) << "channel " << c;
            }
        }

        // The meter saw only the real input (peak 0.25: step 1).
        if (!bypassed)
        {
            EXPECT_FLOAT_EQ (processor->getParameter (tolvmark::kInputMeter), 0.2f);
        }
    }
}

INSTANTIATE_TEST_SUITE_P (
    Layouts, OutputOnlyChannels,
    ::testing::Values (LayoutCase{ juce::AudioChannelSet::mono(), juce::AudioChannelSet::stereo() },
                       LayoutCase{ juce::AudioChannelSet::stereo(), juce::AudioChannelSet::create5point1() },
                       LayoutCase{ juce::AudioChannelSet::mono(),
                                   juce::AudioChannelSet::create7point1point2() }));

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
