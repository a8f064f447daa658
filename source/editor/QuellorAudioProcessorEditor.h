#pragma once

#include "editor/CorvaneLookAndFeel.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <optional>

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
    /** A control bound to the parameter(s) it drives or shows: what its value callbacks and gestures send
        and what the refresh sets it to. */
    struct ParameterBinding
    {
        /** How the control's value and the parameter's stored value convert into each other. */
        enum class Conversion
        {
            plain,    ///< a 0 .. 1 slider whose value is the parameter's value
            decibels, ///< a level fader in dB; the parameter holds 10^((dB - 6) / 20)
            onOff     ///< a switch: sends 1 when on, 0 when off; any non-zero stored value shows as on
        };

        juce::Slider* slider;            ///< the control when it is a slider, else nullptr
        juce::Button* button;            ///< the control when it is a switch, else nullptr
        int index;                       ///< the parameter sent to first; the refresh shows this one
        int secondIndex = -1;            ///< a parameter sent the same value and gestures next, or -1
        bool sends = true;               ///< false for a display that only shows the processor's value
        juce::Slider* display = nullptr; ///< a digit display repeating the slider's value, or nullptr
        bool displayOnDragStart = false; ///< whether a drag start also refreshes the display

        /** The slider or the button. */
        juce::Component* control() const noexcept
        {
            return slider != nullptr ? static_cast<juce::Component*> (slider) : button;
        }

        /** How the value converts: by the kind and text of `index` in the parameter table. */
        Conversion conversion() const noexcept;

        /** The value the control sends to its parameter(s), converted from what it shows. */
        float valueToSend() const noexcept;

        /** Moves the control to a stored parameter value without notifying anyone. */
        void show (float storedValue) const;

        /** Sets the digit display, if there is one, to the slider's value (notified asynchronously). */
        void refreshDisplay() const;
    };

    /** The one table from control to parameter(s) and conversion that the value callbacks, the gestures and
        the refresh all use, in the order the refresh moves the controls. Built on the stack. */
    std::array<ParameterBinding, 15> parameterBindings() noexcept;

    /** The binding of a control that sends to the processor; nothing for any other control. */
    std::optional<ParameterBinding> sendingBinding (const juce::Component* control) noexcept;

    /** Lays the controls out for one page (shows, hides, enables, disables, moves and renames them) and
        repaints: the settings page when `settingsPage` is true, else the main page. */
    void showPage (bool settingsPage);

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
