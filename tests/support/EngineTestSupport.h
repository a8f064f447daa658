#pragma once

// Helpers shared by the tests of the reverb engine (tests/unit/engine/): processors by channel count and
// voicing, blocks of test signals, and the slots of a delay line a test reads or arranges.

#include "AudioTestSupport.h"
#include "ProcessorFixture.h"
#include "ProcessorInspector.h"
#include "processor/QuellorAudioProcessor.h"

#include <algorithm>
#include <cmath>
#include <memory>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace enginetest
{
using Processor = QuellorAudioProcessor;
using PI = ProcessorInspector;
using testsupport::Path;
using testsupport::pathName;

struct LayoutInfo
{
    const char* name;
    int channels;
};

inline constexpr LayoutInfo layouts[] = { { "mono", 1 }, { "stereo", 2 }, { "5.1", 6 }, { "7.1.2", 10 } };

/** A processor with the given channel count on both buses and the given voicing. */
inline std::unique_ptr<Processor> makeProcessor (int channels = 2, Path path = Path::classic)
{
    return testsupport::ProcessorFixture().channels (channels).voicing (path).make();
}

template <typename T> void process (Processor& p, juce::AudioBuffer<T>& buffer)
{
    juce::MidiBuffer midi;
    p.processBlock (buffer, midi);
}

template <typename T> juce::AudioBuffer<T> noise (int channels, int samples, int seed, float amplitude = 0.5f)
{
    juce::Random random (seed);
    juce::AudioBuffer<T> buffer (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            buffer.setSample (c, i, static_cast<T> (amplitude * (2.0f * random.nextFloat() - 1.0f)));
    return buffer;
}

template <typename T> juce::AudioBuffer<T> impulse (int channels, int samples, T value = T (1))
{
    juce::AudioBuffer<T> buffer (channels, samples);
    buffer.clear();
    for (int c = 0; c < juce::jmin (2, channels); ++c)
        buffer.setSample (c, 0, value);
    return buffer;
}

template <typename T> double peakOf (const juce::AudioBuffer<T>& buffer, int channel)
{
    double peak = 0.0;
    for (int i = 0; i < buffer.getNumSamples(); ++i)
        peak = std::max (peak, std::abs ((double) buffer.getSample (channel, i)));
    return peak;
}

/** Slot a line reads at its next tick. */
inline int nextReadSlot (const SimpleDelay& line)
{
    return (line.writeIndex - line.delaySamples + line.capacity) % line.capacity;
}

/** Puts `value` in the slot the line's next tick reads, as if it had been written that many ticks ago. */
inline void placeAtNextRead (SimpleDelay& line, double value)
{
    line.sampleAt (nextReadSlot (line)) = value;
    line.samplesWritten = std::max (line.samplesWritten, line.delaySamples);
}

/** Slot the line's last tick wrote. */
inline int lastWrittenSlot (const SimpleDelay& line)
{
    return (line.writeIndex - 1 + line.capacity) % line.capacity;
}

/** Takes the work-buffer pointers the stage calls need: every processed block does, an empty one too. */
inline void takeWorkBuffers (Processor& p)
{
    juce::AudioBuffer<float> empty (2, 0);
    process (p, empty);
}

} // namespace enginetest

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
