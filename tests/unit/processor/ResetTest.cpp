// Reset silences the whole signal memory, in constant time, however much was written since the last clear.

#include "ProcessorInspector.h"

#include <gtest/gtest.h>

#include <memory>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace
{
bool everyLineIsSilent (QuellorAudioProcessor& processor)
{
    for (int n = 0; n < 69; ++n)
    {
        const auto& line = ProcessorInspector::delayLine (processor, n);
        for (int slot = 0; slot < line.capacity; ++slot)
            if (line.storedSample (slot) != 0.0)
                return false;
    }
    return true;
}

void processNoise (QuellorAudioProcessor& processor, int numSamples, int blockSize, juce::Random& random)
{
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    for (int done = 0; done < numSamples; done += blockSize)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
                buffer.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);
        processor.processBlock (buffer, midi);
    }
}
} // namespace

TEST (Reset, ClearsEveryDelayLineWhateverHowMuchWasWritten)
{
    auto processor = std::make_unique<QuellorAudioProcessor>();
    processor->setParameter (tolvmark::kOversampling, 0.75f); // all four cascade stages run
    juce::Random random (7);

    // Short runs (a partial clear), a run longer than a line's capacity (a full clear), odd block sizes
    // and write positions that wrap around the end of the buffers.
    const struct
    {
        int samples, blockSize;
    } runs[] = { { 64, 64 }, { 4093, 17 }, { 160000, 4000 }, { 1, 1 }, { 149999, 1153 }, { 30000, 512 } };

    for (const auto& run : runs)
    {
        processNoise (*processor, run.samples, run.blockSize, random);
        ASSERT_FALSE (everyLineIsSilent (*processor)) << run.samples;

        processor->setParameter (tolvmark::kPredelay, random.nextFloat()); // stores, then resets
        EXPECT_TRUE (everyLineIsSilent (*processor)) << "after " << run.samples << " samples";
    }
}

TEST (Reset, ASecondResetAfterPreparationStillLeavesSilence)
{
    auto processor = std::make_unique<QuellorAudioProcessor>();
    juce::Random random (11);

    processNoise (*processor, 2048, 256, random);
    processor->prepareToPlay (48000.0, 256); // clears every line itself
    processNoise (*processor, 1000, 100, random);
    processor->reset();
    EXPECT_TRUE (everyLineIsSilent (*processor));
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
