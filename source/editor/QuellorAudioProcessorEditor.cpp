#include "editor/QuellorAudioProcessorEditor.h"

#include "processor/Parameters.h"
#include "processor/QuellorAudioProcessor.h"

#include <cmath>
#include <limits>
#include <optional>

using namespace tolvmark;

namespace
{
/** The version shown in the bottom-left corner of the pages. */
const char* const versionText = "v" JucePlugin_VersionString;

/** The parameter calls the editor makes are JUCE's index-based ones, deprecated in JUCE 7 but still the
    interface this processor serves; they are gathered here so the warning is silenced in one place. */
JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

void sendParameter (juce::AudioProcessor& processor, int index, float value)
{
    processor.setParameterNotifyingHost (index, value);
}

void beginGesture (juce::AudioProcessor& processor, int index)
{
    processor.beginParameterChangeGesture (index);
}

void endGesture (juce::AudioProcessor& processor, int index)
{
    processor.endParameterChangeGesture (index);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE

void setUpLever (juce::Slider& lever, juce::Slider::Listener& listener, int x, int y,
                 const juce::Image& frame)
{
    lever.addListener (&listener);
    lever.setRange (0.0, 1.0, 0.01);
    lever.setSliderStyle (juce::Slider::RotaryVerticalDrag);
    lever.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    // A missing frame image has zero size, so the lever gets no area.
    lever.setBounds (x, y, frame.getWidth(), frame.getHeight());
}

void setUpFader (juce::Slider& fader, juce::Slider::Listener& listener, int x, int y)
{
    fader.addListener (&listener);
    fader.setRange (0.0, 1.0, 0.01);
    fader.setSliderStyle (juce::Slider::LinearHorizontal);
    fader.setBounds (x, y, 114, 53);
    fader.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
}

void setUpDisplay (juce::Slider& display, const juce::Slider& source, int x, int y)
{
    display.setRange (0.0, 1.0, 0.001);
    display.setSliderStyle (juce::Slider::RotaryVerticalDrag);
    display.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    display.setBounds (x, y, 35, 25);
    display.setValue (source.getValue(), juce::sendNotificationAsync);
    display.setEnabled (false);
}

void setUpLevelFader (juce::Slider& fader, juce::Slider::Listener& listener, int x)
{
    fader.addListener (&listener);
    fader.setRange (-60.0, 6.0, 0.1);
    fader.setSliderStyle (juce::Slider::LinearVertical);
    fader.setBounds (x, 128, 54, 132);
    fader.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 40, 20);
    fader.setDoubleClickReturnValue (true, 0.0, juce::ModifierKeys::altModifier);
}

void setUpToggle (juce::Button& button, juce::Button::Listener& listener, juce::Rectangle<int> bounds)
{
    button.setBounds (bounds);
    button.setClickingTogglesState (true);
    button.addListener (&listener);
}
/** A change of visibility or enablement that laying out a page makes to a control. */
enum class Toggle
{
    none,
    show,
    hide,
    enable,
    disable
};

/** What laying out a page does to one control, in this order: renames it, moves it, then makes up to two
    visibility or enablement changes in the order given. Parts left unset leave the control as it is. */
struct Placement
{
    const char* name;
    std::optional<juce::Rectangle<int>> bounds;
    Toggle first, second;
};

Placement movedTo (int x, int y, int width, int height)
{
    return { nullptr, juce::Rectangle<int> (x, y, width, height), Toggle::none, Toggle::none };
}

Placement renamedAndMovedTo (const char* name, int x, int y, int width, int height)
{
    return { name, juce::Rectangle<int> (x, y, width, height), Toggle::none, Toggle::none };
}

Placement toggled (Toggle first, Toggle second = Toggle::none)
{
    return { nullptr, std::nullopt, first, second };
}

void apply (Toggle toggle, juce::Component& control)
{
    switch (toggle)
    {
        case Toggle::none:
            break;
        case Toggle::show:
            control.setVisible (true);
            break;
        case Toggle::hide:
            control.setVisible (false);
            break;
        case Toggle::enable:
            control.setEnabled (true);
            break;
        case Toggle::disable:
            control.setEnabled (false);
            break;
    }
}

void apply (const Placement& placement, juce::Component& control)
{
    if (placement.name != nullptr)
        control.setName (placement.name);

    if (placement.bounds.has_value())
        control.setBounds (*placement.bounds);

    apply (placement.first, control);
    apply (placement.second, control);
}
} // namespace

//==============================================================================
QuellorAudioProcessorEditor::QuellorAudioProcessorEditor (QuellorAudioProcessor& processor)
    : juce::AudioProcessorEditor (processor), reverbProcessor (processor)
{
    setLookAndFeel (&skinLookAndFeel);

    addAndMakeVisible (contentComponent);
    contentComponent.setBounds (0, 0, contentWidth, contentHeight);
    setSize (contentWidth, contentHeight);

    {
        // The levers take the size of their film-strip frames; the look-and-feel has already put these
        // images into the cache, so this only reads their sizes.
        const auto decayFrame = CorvaneLookAndFeel::loadSkinImage (CorvaneLookAndFeel::decayLeverFirst);
        const auto multiplierFrame =
            CorvaneLookAndFeel::loadSkinImage (CorvaneLookAndFeel::multiplierLeverFirst + 3);
        const auto predelayFrame =
            CorvaneLookAndFeel::loadSkinImage (CorvaneLookAndFeel::predelayLeverFirst + 6);

        contentComponent.addAndMakeVisible (decaySlider);
        setUpLever (decaySlider, *this, 141, 12, decayFrame);
        contentComponent.addAndMakeVisible (lowSlider);
        setUpLever (lowSlider, *this, 271, 0, multiplierFrame);
        contentComponent.addAndMakeVisible (highSlider);
        setUpLever (highSlider, *this, 402, 0, multiplierFrame);
        contentComponent.addAndMakeVisible (delaySlider);
        setUpLever (delaySlider, *this, 527, 0, predelayFrame);
    }

    contentComponent.addAndMakeVisible (highcutSlider);
    setUpFader (highcutSlider, *this, 238, 276);
    contentComponent.addAndMakeVisible (mixSlider);
    setUpFader (mixSlider, *this, 438, 276);

    contentComponent.addAndMakeVisible (meterSlider);
    meterSlider.setRange (0.0, 1.0, 0.0001);
    meterSlider.setBounds (61, 193, 68, 120);
    meterSlider.setSliderStyle (juce::Slider::RotaryVerticalDrag);
    meterSlider.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    meterSlider.setEnabled (false);

    contentComponent.addAndMakeVisible (highcutLabel);
    setUpDisplay (highcutLabel, highcutSlider, 357, 284);
    contentComponent.addAndMakeVisible (mixLabel);
    setUpDisplay (mixLabel, mixSlider, 556, 284);

    contentComponent.addAndMakeVisible (backButton);
    setUpToggle (backButton, *this, { 711, 280, 30, 30 });

    contentComponent.addChildComponent (modernVintageButton);
    modernVintageButton.setEnabled (false);
    setUpToggle (modernVintageButton, *this, { 256, 120, 81, 50 });

    contentComponent.addChildComponent (leftLevelSlider);
    setUpLevelFader (leftLevelSlider, *this, 364);
    contentComponent.addChildComponent (rightLevelSlider);
    setUpLevelFader (rightLevelSlider, *this, 438);
    contentComponent.addChildComponent (centerLevelSlider);
    setUpLevelFader (centerLevelSlider, *this, 512);
    contentComponent.addChildComponent (leftSLevelSlider);
    setUpLevelFader (leftSLevelSlider, *this, 586);
    contentComponent.addChildComponent (rightSLevelSlider);
    setUpLevelFader (rightSLevelSlider, *this, 656);

    contentComponent.addAndMakeVisible (surroundButton);
    surroundButton.setVisible (false);
    surroundButton.setEnabled (false);
    setUpToggle (surroundButton, *this, { 727, 118, 77, 89 });

    contentComponent.addAndMakeVisible (tolvButton);
    tolvButton.setBounds (26, 28, 95, 52);

    contentComponent.addAndMakeVisible (bypassButton);
    setUpToggle (bypassButton, *this, { 147, 280, 30, 30 });

    startTimer (50);
}

QuellorAudioProcessorEditor::~QuellorAudioProcessorEditor()
{
    // The look-and-feel is a member: detach it from every component before any member goes.
    setLookAndFeel (nullptr);
}

//==============================================================================
void QuellorAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
    g.addTransform (contentComponent.getTransform());

    backgroundImage = backButton.getToggleState() ? CorvaneLookAndFeel::getSettingsPageBackground()
                                                  : CorvaneLookAndFeel::getMainPageBackground();

    if (backgroundImage.isValid())
        g.drawImageAt (backgroundImage, 0, 0);

    g.setColour (juce::Colour (0xff555555));
    g.setFont (11.0f);
    // The text box is placed in content coordinates (the transform is applied), so its y is measured from
    // the content's height: at any window size it stays in the bottom-left corner of the page.
    g.drawText (versionText, juce::Rectangle<float> (5.0f, (float) (contentHeight - 15), 50.0f, 11.0f),
                juce::Justification::centred, true);
}

void QuellorAudioProcessorEditor::resized()
{
    const int w = getWidth();
    const int h = getHeight();

    float scale = 1.0f;

    if (w < contentWidth || h < contentHeight)
        scale = (float) juce::jmin ((double) w / contentWidth, (double) h / contentHeight);

    const float tx = ((float) w - (float) contentWidth * scale) * 0.5f;
    const float ty = ((float) h - (float) contentHeight * scale) * 0.5f;

    const auto transform = juce::AffineTransform::scale (scale).translated (tx, ty);

    if (transform.isSingularity())
        return;

    contentComponent.setTransform (transform);
    repaint();
}

//==============================================================================
std::array<QuellorAudioProcessorEditor::ParameterBinding, 15>
QuellorAudioProcessorEditor::parameterBindings() noexcept
{
    constexpr int noIndex = -1;

    // In the order the refresh moves the controls. The meter only shows the input level; the high-cut
    // fader drives both high-cut parameters. How each converts its value follows from its parameter.
    // slider, button, index [, second index, sends, display, display on drag start]
    return { {
        { &decaySlider, nullptr, kDecay },
        { &lowSlider, nullptr, kLow },
        { &highSlider, nullptr, kHigh },
        { &delaySlider, nullptr, kPredelay },
        { &meterSlider, nullptr, kInputMeter, noIndex, false },
        { &highcutSlider, nullptr, kHighCut2, kHighCut3, true, &highcutLabel },
        { &mixSlider, nullptr, kMix, noIndex, true, &mixLabel, true },
        { nullptr, &modernVintageButton, kUseClassic },
        { nullptr, &surroundButton, kSurroundSwitch },
        { nullptr, &bypassButton, kBypass },
        { &leftLevelSlider, nullptr, kLeftLevel },
        { &rightLevelSlider, nullptr, kRightLevel },
        { &centerLevelSlider, nullptr, kCenterLevel },
        { &leftSLevelSlider, nullptr, kLeftSLevel },
        { &rightSLevelSlider, nullptr, kRightSLevel },
    } };
}

std::optional<QuellorAudioProcessorEditor::ParameterBinding>
QuellorAudioProcessorEditor::sendingBinding (const juce::Component* control) noexcept
{
    for (const auto& binding : parameterBindings())
        if (binding.sends && binding.control() == control)
            return binding;

    return std::nullopt;
}

QuellorAudioProcessorEditor::ParameterBinding::Conversion
QuellorAudioProcessorEditor::ParameterBinding::conversion() const noexcept
{
    if (isFlagParameter (index))
        return Conversion::onOff;

    if (juce::isPositiveAndBelow (index, (int) kNumParameters) &&
        parameterTable[(size_t) index].text == TextRule::levelDecibels)
        return Conversion::decibels;

    return Conversion::plain;
}

float QuellorAudioProcessorEditor::ParameterBinding::valueToSend() const noexcept
{
    switch (conversion())
    {
        case Conversion::plain:
            return (float) slider->getValue();
        case Conversion::decibels:
            return levelValueForDecibels (slider->getValue());
        case Conversion::onOff:
            return button->getToggleState() ? 1.0f : 0.0f;
    }

    return 0.0f;
}

void QuellorAudioProcessorEditor::ParameterBinding::show (float storedValue) const
{
    switch (conversion())
    {
        case Conversion::plain:
            slider->setValue ((double) storedValue, juce::dontSendNotification);
            break;
        case Conversion::decibels:
            slider->setValue ((double) decibelsForLevelValue (storedValue), juce::dontSendNotification);
            break;
        case Conversion::onOff:
            // Neither the click nor the state change is notified: nothing goes back to the processor.
            button->setToggleState (storedValue != 0.0f, juce::dontSendNotification);
            break;
    }
}

void QuellorAudioProcessorEditor::ParameterBinding::refreshDisplay() const
{
    if (display != nullptr)
        display->setValue (slider->getValue(), juce::sendNotificationAsync);
}

//==============================================================================
void QuellorAudioProcessorEditor::timerCallback()
{
    const auto bindings = parameterBindings();

    for (const auto& binding : bindings)
        binding.show (reverbProcessor.parameterValue (binding.index));

    // The digit displays once their faders have moved.
    for (const auto& binding : bindings)
        binding.refreshDisplay();
}

void QuellorAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    if (const auto binding = sendingBinding (slider))
    {
        const auto value = binding->valueToSend();
        sendParameter (reverbProcessor, binding->index, value);

        if (binding->secondIndex >= 0)
            sendParameter (reverbProcessor, binding->secondIndex, value);

        binding->refreshDisplay();
    }
}

void QuellorAudioProcessorEditor::sliderDragStarted (juce::Slider* slider)
{
    if (const auto binding = sendingBinding (slider))
    {
        beginGesture (reverbProcessor, binding->index);

        if (binding->secondIndex >= 0)
            beginGesture (reverbProcessor, binding->secondIndex);

        if (binding->displayOnDragStart)
            binding->refreshDisplay();
    }
}

void QuellorAudioProcessorEditor::sliderDragEnded (juce::Slider* slider)
{
    if (const auto binding = sendingBinding (slider))
    {
        endGesture (reverbProcessor, binding->index);

        if (binding->secondIndex >= 0)
            endGesture (reverbProcessor, binding->secondIndex);
    }
}

void QuellorAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    if (button == &backButton)
        showPage (backButton.getToggleState());
    else if (const auto binding = sendingBinding (button))
        sendParameter (reverbProcessor, binding->index, binding->valueToSend());
}

//==============================================================================
float QuellorAudioProcessorEditor::levelValueForDecibels (double decibels) noexcept
{
    return levelValueOf (decibels);
}

float QuellorAudioProcessorEditor::decibelsForLevelValue (float value) noexcept
{
    // log10 of a negative (or NaN) store would be NaN, which the fader cannot clamp and would carry into
    // its drawing; show it as the bottom end instead.
    if (!(value >= 0.0f))
        return -std::numeric_limits<float>::infinity();

    return levelDecibels (value);
}

//==============================================================================
void QuellorAudioProcessorEditor::showPage (bool settingsPage)
{
    struct Row
    {
        juce::Component* control;
        Placement onMainPage, onSettingsPage;
    };

    // Both pages in one list, in the order the changes are made. The main page's bounds are the ones it
    // returns to; for the back button, the meter and the logo they differ a little from the constructor's.
    // The mode and surround switches keep their bounds, and the high-cut display stays disabled throughout.
    using T = Toggle;
    const Row rows[] = {
        { &backButton, movedTo (711, 276, 30, 30), movedTo (786, 282, 30, 30) },
        { &decaySlider, toggled (T::show, T::enable), toggled (T::hide, T::disable) },
        { &lowSlider, toggled (T::show, T::enable), toggled (T::hide, T::disable) },
        { &highSlider, toggled (T::show, T::enable), toggled (T::hide, T::disable) },
        { &delaySlider, toggled (T::show, T::enable), toggled (T::hide, T::disable) },
        { &highcutSlider, toggled (T::show, T::enable), toggled (T::hide, T::disable) },
        { &highcutLabel, toggled (T::show), toggled (T::hide) },
        { &mixSlider, movedTo (438, 276, 114, 53), movedTo (464, 270, 114, 53) },
        { &mixLabel, movedTo (556, 284, 35, 25), movedTo (584, 279, 35, 25) },
        { &modernVintageButton, toggled (T::disable, T::hide), toggled (T::enable, T::show) },
        // The look-and-feel draws the small meter for "VUSlider" and the large one for "VUSliderBack".
        { &meterSlider, renamedAndMovedTo ("VUSlider", 60, 193, 68, 120),
          renamedAndMovedTo ("VUSliderBack", 145, 188, 87, 141) },
        { &bypassButton, toggled (T::enable, T::show), toggled (T::disable, T::hide) },
        { &leftLevelSlider, toggled (T::disable, T::hide), toggled (T::enable, T::show) },
        { &rightLevelSlider, toggled (T::disable, T::hide), toggled (T::enable, T::show) },
        { &centerLevelSlider, toggled (T::disable, T::hide), toggled (T::enable, T::show) },
        { &leftSLevelSlider, toggled (T::disable, T::hide), toggled (T::enable, T::show) },
        { &rightSLevelSlider, toggled (T::disable, T::hide), toggled (T::enable, T::show) },
        { &surroundButton, toggled (T::hide, T::disable), toggled (T::enable, T::show) },
        { &tolvButton, movedTo (28, 28, 90, 45), movedTo (120, 35, 90, 45) },
    };

    for (const auto& row : rows)
        apply (settingsPage ? row.onSettingsPage : row.onMainPage, *row.control);

    repaint();
}
