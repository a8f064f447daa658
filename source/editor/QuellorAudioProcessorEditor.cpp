#include "editor/QuellorAudioProcessorEditor.h"

#include "processor/Parameters.h"
#include "processor/QuellorAudioProcessor.h"

#include <cmath>
#include <limits>

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
    tolvButton.addListener (this);

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
void QuellorAudioProcessorEditor::timerCallback()
{
    const auto stored = [this] (int index) { return (double) reverbProcessor.parameterValue (index); };
    const auto isSet = [this] (int index) { return reverbProcessor.parameterValue (index) != 0.0f; };

    decaySlider.setValue (stored (kDecay), juce::dontSendNotification);
    lowSlider.setValue (stored (kLow), juce::dontSendNotification);
    highSlider.setValue (stored (kHigh), juce::dontSendNotification);
    delaySlider.setValue (stored (kPredelay), juce::dontSendNotification);
    meterSlider.setValue (stored (kInputMeter), juce::dontSendNotification);
    highcutSlider.setValue (stored (kHighCut2), juce::dontSendNotification);
    mixSlider.setValue (stored (kMix), juce::dontSendNotification);

    // Neither the click nor the state change is notified: nothing goes back to the processor.
    modernVintageButton.setToggleState (isSet (kUseClassic), juce::dontSendNotification);
    surroundButton.setToggleState (isSet (kSurroundSwitch), juce::dontSendNotification);
    bypassButton.setToggleState (isSet (kBypass), juce::dontSendNotification);

    for (int level = 0; level < 5; ++level)
        levelSlider (level)->setValue (
            (double) decibelsForLevelValue (reverbProcessor.parameterValue (kLeftLevel + level)),
            juce::dontSendNotification);

    highcutLabel.setValue (highcutSlider.getValue(), juce::sendNotificationAsync);
    mixLabel.setValue (mixSlider.getValue(), juce::sendNotificationAsync);
}

void QuellorAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    const auto value = (float) slider->getValue();

    if (slider == &decaySlider)
        sendParameter (reverbProcessor, kDecay, value);
    else if (slider == &lowSlider)
        sendParameter (reverbProcessor, kLow, value);
    else if (slider == &highSlider)
        sendParameter (reverbProcessor, kHigh, value);
    else if (slider == &delaySlider)
        sendParameter (reverbProcessor, kPredelay, value);
    else if (slider == &highcutSlider)
    {
        sendParameter (reverbProcessor, kHighCut2, value);
        sendParameter (reverbProcessor, kHighCut3, value);
        highcutLabel.setValue (highcutSlider.getValue(), juce::sendNotificationAsync);
    }
    else if (slider == &mixSlider)
    {
        sendParameter (reverbProcessor, kMix, value);
        mixLabel.setValue (mixSlider.getValue(), juce::sendNotificationAsync);
    }
    else
    {
        for (int level = 0; level < 5; ++level)
        {
            if (slider == levelSlider (level))
            {
                sendParameter (reverbProcessor, kLeftLevel + level,
                               levelValueForDecibels (slider->getValue()));
                break;
            }
        }
    }
}

void QuellorAudioProcessorEditor::sliderDragStarted (juce::Slider* slider)
{
    if (slider == &decaySlider)
        beginGesture (reverbProcessor, kDecay);
    else if (slider == &lowSlider)
        beginGesture (reverbProcessor, kLow);
    else if (slider == &highSlider)
        beginGesture (reverbProcessor, kHigh);
    else if (slider == &delaySlider)
        beginGesture (reverbProcessor, kPredelay);
    else if (slider == &highcutSlider)
    {
        beginGesture (reverbProcessor, kHighCut2);
        beginGesture (reverbProcessor, kHighCut3);
    }
    else if (slider == &mixSlider)
    {
        beginGesture (reverbProcessor, kMix);
        mixLabel.setValue (mixSlider.getValue(), juce::sendNotificationAsync);
    }
    else
    {
        for (int level = 0; level < 5; ++level)
            if (slider == levelSlider (level))
                beginGesture (reverbProcessor, kLeftLevel + level);
    }
}

void QuellorAudioProcessorEditor::sliderDragEnded (juce::Slider* slider)
{
    if (slider == &decaySlider)
        endGesture (reverbProcessor, kDecay);
    else if (slider == &lowSlider)
        endGesture (reverbProcessor, kLow);
    else if (slider == &highSlider)
        endGesture (reverbProcessor, kHigh);
    else if (slider == &delaySlider)
        endGesture (reverbProcessor, kPredelay);
    else if (slider == &highcutSlider)
    {
        endGesture (reverbProcessor, kHighCut2);
        endGesture (reverbProcessor, kHighCut3);
    }
    else if (slider == &mixSlider)
        endGesture (reverbProcessor, kMix);
    else
    {
        for (int level = 0; level < 5; ++level)
            if (slider == levelSlider (level))
                endGesture (reverbProcessor, kLeftLevel + level);
    }
}

void QuellorAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    const auto switchValue = [button] { return button->getToggleState() ? 1.0f : 0.0f; };

    if (button == &bypassButton)
        sendParameter (reverbProcessor, kBypass, switchValue());
    else if (button == &backButton)
    {
        if (backButton.getToggleState())
            showSettingsPage();
        else
            showMainPage();
    }
    else if (button == &modernVintageButton)
        sendParameter (reverbProcessor, kUseClassic, switchValue());
    else if (button == &surroundButton)
        sendParameter (reverbProcessor, kSurroundSwitch, switchValue());
}

//==============================================================================
float QuellorAudioProcessorEditor::levelValueForDecibels (double decibels) noexcept
{
    return (float) std::pow (10.0, (decibels - 6.0) / 20.0);
}

float QuellorAudioProcessorEditor::decibelsForLevelValue (float value) noexcept
{
    // log10 of a negative (or NaN) store would be NaN, which the fader cannot clamp and would carry into
    // its drawing; show it as the bottom end instead.
    if (!(value >= 0.0f))
        return -std::numeric_limits<float>::infinity();

    return 20.0f * std::log10 (value) + 6.0f;
}

//==============================================================================
void QuellorAudioProcessorEditor::showSettingsPage()
{
    backButton.setBounds (786, 282, 30, 30);

    for (auto* mainControl : { &decaySlider, &lowSlider, &highSlider, &delaySlider, &highcutSlider })
    {
        mainControl->setVisible (false);
        mainControl->setEnabled (false);
    }

    highcutLabel.setVisible (false);
    mixSlider.setBounds (464, 270, 114, 53);
    mixLabel.setBounds (584, 279, 35, 25);

    modernVintageButton.setEnabled (true);
    modernVintageButton.setVisible (true);

    meterSlider.setName ("VUSliderBack");
    meterSlider.setBounds (145, 188, 87, 141);

    bypassButton.setEnabled (false);
    bypassButton.setVisible (false);

    for (int level = 0; level < 5; ++level)
    {
        levelSlider (level)->setEnabled (true);
        levelSlider (level)->setVisible (true);
    }

    surroundButton.setEnabled (true);
    surroundButton.setVisible (true);

    tolvButton.setBounds (120, 35, 90, 45);
    repaint();
}

void QuellorAudioProcessorEditor::showMainPage()
{
    backButton.setBounds (711, 276, 30, 30);

    for (auto* mainControl : { &decaySlider, &lowSlider, &highSlider, &delaySlider, &highcutSlider })
    {
        mainControl->setVisible (true);
        mainControl->setEnabled (true);
    }

    highcutLabel.setVisible (true);
    mixSlider.setBounds (438, 276, 114, 53);
    mixLabel.setBounds (556, 284, 35, 25);

    modernVintageButton.setEnabled (false);
    modernVintageButton.setVisible (false);

    meterSlider.setName ("VUSlider");
    meterSlider.setBounds (60, 193, 68, 120);

    bypassButton.setEnabled (true);
    bypassButton.setVisible (true);

    for (int level = 0; level < 5; ++level)
    {
        levelSlider (level)->setEnabled (false);
        levelSlider (level)->setVisible (false);
    }

    surroundButton.setVisible (false);
    surroundButton.setEnabled (false);

    tolvButton.setBounds (28, 28, 90, 45);
    repaint();
}

juce::Slider* QuellorAudioProcessorEditor::levelSlider (int levelNumber) noexcept
{
    juce::Slider* const levels[] = { &leftLevelSlider, &rightLevelSlider, &centerLevelSlider,
                                     &leftSLevelSlider, &rightSLevelSlider };
    return juce::isPositiveAndBelow (levelNumber, 5) ? levels[levelNumber] : nullptr;
}
