#include "processor/QuellorAudioProcessor.h"

// Retuning of the reverb network. The network itself arrives with the DSP building blocks; until then
// these hooks only keep the processor's lifecycle in place.

void QuellorAudioProcessor::prepareToPlay (double, int)
{
    updateCoefficients();
}

void QuellorAudioProcessor::reset()
{
    const juce::ScopedLock lock (getCallbackLock());
}

void QuellorAudioProcessor::applyPredelayTimes()
{
}

void QuellorAudioProcessor::applyHighCut()
{
}

void QuellorAudioProcessor::applyOversamplingFactor()
{
}

void QuellorAudioProcessor::updateCoefficients()
{
}
