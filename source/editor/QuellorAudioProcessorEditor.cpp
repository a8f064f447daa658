#include "editor/QuellorAudioProcessorEditor.h"

#include "processor/QuellorAudioProcessor.h"

QuellorAudioProcessorEditor::QuellorAudioProcessorEditor (QuellorAudioProcessor& processor)
    : juce::AudioProcessorEditor (processor), reverbProcessor (processor)
{
    setSize (862, 328);
}

QuellorAudioProcessorEditor::~QuellorAudioProcessorEditor() = default;

void QuellorAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff202226));
    g.setColour (juce::Colours::lightgrey);
    g.drawFittedText ("Tolv_mark", getLocalBounds(), juce::Justification::centred, 1);
}
