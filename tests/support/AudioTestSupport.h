#pragma once

// Small audio helpers shared by the in-process and the binary tests.

#include <juce_audio_basics/juce_audio_basics.h>

#include <cmath>
#include <cstring>

/** The supported layout with this many channels: 1 mono, 2 stereo, 6 5.1, 10 7.1.2 (an empty set for
    any other count). */
inline juce::AudioChannelSet channelSetFor (int channels)
{
    switch (channels)
    {
        case 1:
            return juce::AudioChannelSet::mono();
        case 2:
            return juce::AudioChannelSet::stereo();
        case 6:
            return juce::AudioChannelSet::create5point1();
        case 10:
            return juce::AudioChannelSet::create7point1point2();
        default:
            return {};
    }
}

/** True when both buffers have the same shape and every sample has the same bit pattern. */
template <typename T> bool bitIdentical (const juce::AudioBuffer<T>& a, const juce::AudioBuffer<T>& b)
{
    if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
        return false;

    for (int c = 0; c < a.getNumChannels(); ++c)
        if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c),
                         sizeof (T) * (size_t) a.getNumSamples()) != 0)
            return false;

    return true;
}

/** True when every sample of every channel of `buffer` is finite (no NaN, no infinity). */
inline bool allFinite (const juce::AudioBuffer<float>& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (!std::isfinite (buffer.getSample (c, i)))
                return false;
    return true;
}
