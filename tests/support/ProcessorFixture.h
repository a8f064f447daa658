#pragma once

// Processors for the in-process tests, set up as a host would set them up: buses, preparation, then
// parameters.

#include "AudioTestSupport.h"
#include "processor/QuellorAudioProcessor.h"

#include <gtest/gtest.h>

#include <memory>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace testsupport
{
/** The engine's two voicings (the classic switch on or off). */
enum class Path
{
    classic,
    modern
};

inline const char* pathName (Path path)
{
    return path == Path::classic ? "classic" : "modern";
}

/** One main input and one main output bus with the given channel sets. */
inline juce::AudioProcessor::BusesLayout mainBuses (const juce::AudioChannelSet& input,
                                                    const juce::AudioChannelSet& output)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (input);
    layout.outputBuses.add (output);
    return layout;
}

/** Both main buses with the supported layout of this many channels (see channelSetFor). */
inline juce::AudioProcessor::BusesLayout mainBuses (int channels)
{
    return mainBuses (channelSetFor (channels), channelSetFor (channels));
}

/** A processor as a test asks for it, made on the heap (it is far too large for a stack):

        auto p = ProcessorFixture().channels (6).preparedAt (48000.0, 512).voicing (Path::modern).make();

    Whatever is not asked for stays as the constructor leaves it: stereo buses, no preparation (the
    construction rate), the classic voicing, the real millisecond clock. make() sets the buses, then
    prepares, then sets the voicing; a layout the processor refuses fails the test (without ending it). */
class ProcessorFixture
{
public:
    /** The clock the processor reads for its guard against early program changes (see FakeClock.h). */
    ProcessorFixture& clock (QuellorAudioProcessor::MillisecondClock newClock)
    {
        millisecondClock = newClock;
        return *this;
    }

    /** Both main buses with the supported layout of this many channels. */
    ProcessorFixture& channels (int count) { return buses (channelSetFor (count), channelSetFor (count)); }

    ProcessorFixture& buses (const juce::AudioChannelSet& input, const juce::AudioChannelSet& output)
    {
        inputSet = input;
        outputSet = output;
        setsBuses = true;
        return *this;
    }

    ProcessorFixture& preparedAt (double rate, int maximumBlockSize)
    {
        sampleRate = rate;
        blockSize = maximumBlockSize;
        return *this;
    }

    ProcessorFixture& voicing (Path newPath)
    {
        path = newPath;
        setsPath = true;
        return *this;
    }

    std::unique_ptr<QuellorAudioProcessor> make() const
    {
        auto p = std::make_unique<QuellorAudioProcessor> (millisecondClock);
        if (setsBuses)
        {
            EXPECT_TRUE (p->setBusesLayout (mainBuses (inputSet, outputSet)))
                << inputSet.getDescription() << " in, " << outputSet.getDescription() << " out";
            EXPECT_EQ (p->getTotalNumOutputChannels(), outputSet.size());
        }
        if (sampleRate > 0.0)
            p->prepareToPlay (sampleRate, blockSize);
        if (setsPath)
            p->setParameter (tolvmark::kUseClassic, path == Path::classic ? 1.0f : 0.0f);
        return p;
    }

private:
    QuellorAudioProcessor::MillisecondClock millisecondClock = nullptr; // the real clock
    juce::AudioChannelSet inputSet, outputSet;
    bool setsBuses = false;
    double sampleRate = 0.0;
    int blockSize = 0;
    Path path = Path::classic;
    bool setsPath = false;
};

/** A processor exactly as the constructor leaves it. */
inline std::unique_ptr<QuellorAudioProcessor> makeProcessor()
{
    return ProcessorFixture().make();
}
} // namespace testsupport

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
