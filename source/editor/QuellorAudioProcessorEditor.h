#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class QuellorAudioProcessor;

/** The plug-in's editor window. Message thread only. */
class QuellorAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    /** Creates the editor for a processor. Message thread; allocates its components. */
    explicit QuellorAudioProcessorEditor (QuellorAudioProcessor& processor);

    /** Destroys the editor. Message thread. */
    ~QuellorAudioProcessorEditor() override;

    /** Paints the window. Message thread. */
    void paint (juce::Graphics& g) override;

private:
    QuellorAudioProcessor& reverbProcessor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuellorAudioProcessorEditor)
};
