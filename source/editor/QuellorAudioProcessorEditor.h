#pragma once

#include "editor/CorvaneLookAndFeel.h"

#include <juce_audio_processors/juce_audio_processors.h>

class QuellorAudioProcessor;

/** The plug-in's editor window: two pages of skinned controls over a fixed 862 x 328 layout.

    Every control lives in one plain content component, which is scaled down (never up) and centred to
    fit the window. The main page holds the four levers, the high-cut and mix faders with their digit
    displays, the input meter and the bypass lamp; the settings page holds the mode switch, the five
    output level faders, the surround switch, the mix fader and a large meter. BackButton's toggle state
    is the page: off is the main page, on the settings page.

    Controls talk to the processor only through the index-based parameter calls (set and notify the host,
    begin and end gestures around drags). A 50 ms timer reads the processor's stored values and moves the
    controls to match without notifying anyone, so automation, program changes and the meter show up.

    Everything here runs on the message thread.
*/
class QuellorAudioProcessorEditor : public juce::AudioProcessorEditor,
                                    public juce::Slider::Listener,
                                    public juce::Timer,
                                    public juce::Button::Listener
{
public:
    /** Natural width of the layout (and of the editor when it opens). */
    static constexpr int contentWidth = 862;

    /** Natural height of the layout (and of the editor when it opens). */
    static constexpr int contentHeight = 328;

    /** Builds both pages, shows the main page and starts the 50 ms refresh. Message thread; allocates
        the controls and loads the skin through the image cache. */
    explicit QuellorAudioProcessorEditor (QuellorAudioProcessor& processor);

    /** Detaches the look-and-feel, then destroys the controls. Message thread. */
    ~QuellorAudioProcessorEditor() override;

    //==============================================================================
    /** Draws the current page's background and the version text in the content's transform.
        Message thread; fetches the background from the image cache (decodes only on a cache miss). */
    void paint (juce::Graphics& g) override;

    /** Fits the 862 x 328 content into the window: scaled down uniformly when the window is smaller,
        never scaled up, centred on both axes. A window with a zero side keeps the previous transform.
        Message thread; does not allocate. */
    void resized() override;

    /** The 50 ms refresh: moves every control to the processor's stored value and the meter to the
        input level, without notifying the processor or the host. Message thread. */
    void timerCallback() override;

    /** Ends the parameter gestures of a dragged lever or fader. Message thread. */
    void sliderDragEnded (juce::Slider* slider) override;

    /** Begins the parameter gestures of a dragged lever or fader. Message thread. */
    void sliderDragStarted (juce::Slider* slider) override;

    /** Sends a moved lever's or fader's value to its parameter(s) and notifies the host. Message thread. */
    void sliderValueChanged (juce::Slider* slider) override;

    /** Sends a switch's new state to its parameter, or switches the page for BackButton. Message thread. */
    void buttonClicked (juce::Button* button) override;

    //==============================================================================
    /** The parameter value a level fader sends for a level in dB: 10^((dB - 6) / 20). Pure. */
    static float levelValueForDecibels (double decibels) noexcept;

    /** The level in dB a level fader shows for a stored level value: 20 log10(value) + 6, in float.
        A value of 0 gives minus infinity (the fader clamps it to its -60 dB end); a negative or NaN
        value gives minus infinity too rather than NaN. Pure. */
    static float decibelsForLevelValue (float value) noexcept;

    /** The content component that carries every control and the fit-to-window transform. For tests and
        screenshots. Message thread. */
    juce::Component& getContentComponent() noexcept { return contentComponent; }

private:
    void showSettingsPage();
    void showMainPage();

    juce::Slider* levelSlider (int levelNumber) noexcept;

    juce::Image backgroundImage;

    juce::Slider decaySlider{ "DecaySlider" };
    juce::Slider lowSlider{ "LowSlider" };
    juce::Slider highSlider{ "HighSlider" };
    juce::Slider delaySlider{ "DelaySlider" };
    juce::Slider highcutSlider{ "HighcutSlider" };
    juce::Slider mixSlider{ "MixSlider" };
    juce::Slider meterSlider{ "VUSlider" };
    juce::Slider highcutLabel{ "HighcutLabel" };
    juce::Slider mixLabel{ "MixLabel" };
    juce::Slider leftLevelSlider{ "LeftLevelSlider" };
    juce::Slider rightLevelSlider{ "RightLevelSlider" };
    juce::Slider centerLevelSlider{ "CenterLevelSlider" };
    juce::Slider leftSLevelSlider{ "LeftSLevelSlider" };
    juce::Slider rightSLevelSlider{ "RightSLevelSlider" };

    CorvaneLookAndFeel skinLookAndFeel;

    juce::TextButton bypassButton{ "BypassButton" };
    juce::TextButton backButton{ "BackButton" };
    juce::TextButton modernVintageButton{ "ModernVintage" };
    juce::TextButton surroundButton{ "SurroundButton" };
    juce::TextButton tolvButton{ "TolvButton" };

    juce::Component contentComponent;

    QuellorAudioProcessor& reverbProcessor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuellorAudioProcessorEditor)
};
