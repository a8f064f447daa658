#include "processor/QuellorAudioProcessor.h"

// The audio block. Until the engine stages exist the block passes the audio through unchanged.

template <typename SampleType>
void QuellorAudioProcessor::renderBlock (juce::AudioBuffer<SampleType>&)
{
}

void QuellorAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    renderBlock (buffer);
}

void QuellorAudioProcessor::processBlock (juce::AudioBuffer<double>& buffer, juce::MidiBuffer&)
{
    renderBlock (buffer);
}
