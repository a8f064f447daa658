#include "processor/QuellorAudioProcessor.h"

// Factory programs and saved state: the program list is filled here; selecting, renaming and the
// state block follow with the programs work.

void QuellorAudioProcessor::addFactoryPrograms()
{
}

int QuellorAudioProcessor::getNumPrograms()
{
    return 10;
}

int QuellorAudioProcessor::getCurrentProgram()
{
    return curProgram.load (std::memory_order_relaxed);
}

void QuellorAudioProcessor::setCurrentProgram (int)
{
}

const juce::String QuellorAudioProcessor::getProgramName (int)
{
    return {};
}

void QuellorAudioProcessor::changeProgramName (int, const juce::String&)
{
}

void QuellorAudioProcessor::getStateInformation (juce::MemoryBlock&)
{
}

void QuellorAudioProcessor::setStateInformation (const void*, int)
{
}
