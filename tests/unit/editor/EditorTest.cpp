// Tests of QuellorAudioProcessorEditor: the controls as built, the fit-to-window transform, what every
// control sends to the processor, the 50 ms refresh, the page switch and rendered pictures of both pages.

#include "editor/QuellorAudioProcessorEditor.h"
#include "processor/QuellorAudioProcessor.h"
#include "FakeClock.h"
#include "ImageCompare.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace
{
using namespace tolvmark;

/** Records what the editor sends to the processor: parameter changes and gesture begin/end. */
struct ParameterRecorder : juce::AudioProcessorListener
{
    enum class Kind
    {
        change,
        begin,
        end
    };

    struct Event
    {
        Kind kind;
        int index;
        float value;

        bool operator== (const Event& other) const
        {
            return kind == other.kind && index == other.index && value == other.value;
        }
    };

    std::vector<Event> events;

    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        events.push_back ({ Kind::change, index, value });
    }

    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override
    {
        events.push_back ({ Kind::begin, index, 0.0f });
    }

    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override
    {
        events.push_back ({ Kind::end, index, 0.0f });
    }
};

std::ostream& operator<< (std::ostream& os, const ParameterRecorder::Event& e)
{
    const char* kinds[] = { "change", "begin", "end" };
    return os << kinds[(int) e.kind] << "(" << e.index << ", " << e.value << ")";
}

ParameterRecorder::Event changed (int index, float value)
{
    return { ParameterRecorder::Kind::change, index, value };
}

ParameterRecorder::Event began (int index)
{
    return { ParameterRecorder::Kind::begin, index, 0.0f };
}

ParameterRecorder::Event ended (int index)
{
    return { ParameterRecorder::Kind::end, index, 0.0f };
}

/** What a control looks like from outside: name, bounds in the content, visibility, enablement. */
struct ControlState
{
    juce::String name;
    juce::Rectangle<int> bounds;
    bool visible;
    bool enabled;

    bool operator== (const ControlState& other) const
    {
        return name == other.name && bounds == other.bounds && visible == other.visible &&
               enabled == other.enabled;
    }
};

std::ostream& operator<< (std::ostream& os, const ControlState& s)
{
    return os << s.name << " " << s.bounds.toString() << (s.visible ? " visible" : " hidden")
              << (s.enabled ? " enabled" : " disabled");
}

// The processor's clock for its program-change guard, moved by hand.
using testsupport::fakeClock;
using testsupport::fakeNow;

void runMessageLoop (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

int countOpaquePixels (const juce::Image& image)
{
    int opaque = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getAlpha() == 255)
                ++opaque;
    return opaque;
}

class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        processor = std::make_unique<QuellorAudioProcessor> (&fakeClock);
        editor = std::make_unique<QuellorAudioProcessorEditor> (*processor);
        processor->addListener (&recorder);
    }

    void TearDown() override
    {
        processor->removeListener (&recorder);
        editor.reset();
        runMessageLoop (5); // lets pending asynchronous slider updates go before the next test
        processor.reset();
    }

    juce::Component& content() { return editor->getContentComponent(); }

    juce::Component& control (const juce::String& name)
    {
        for (auto* child : content().getChildren())
            if (child->getName() == name)
                return *child;

        ADD_FAILURE() << "no control named " << name;
        static juce::Component none;
        return none;
    }

    juce::Slider& slider (const juce::String& name)
    {
        auto* s = dynamic_cast<juce::Slider*> (&control (name));
        EXPECT_NE (s, nullptr) << name << " is not a slider";
        static juce::Slider none;
        return s != nullptr ? *s : none;
    }

    juce::Button& button (const juce::String& name)
    {
        auto* b = dynamic_cast<juce::TextButton*> (&control (name));
        EXPECT_NE (b, nullptr) << name << " is not a text button";
        static juce::TextButton none;
        return b != nullptr ? *b : none;
    }

    /** A click as the user makes it: the button toggles (where it does) and then calls back. */
    void click (const juce::String& name)
    {
        button (name).triggerClick();
        runMessageLoop (20);
    }

    std::vector<ControlState> controlStates()
    {
        std::vector<ControlState> states;
        for (auto* child : content().getChildren())
            states.push_back (
                { child->getName(), child->getBounds(), child->isVisible(), child->isEnabled() });
        return states;
    }

    void setStored (int index, float value) { processor->setParameter (index, value); }

    std::unique_ptr<QuellorAudioProcessor> processor;
    std::unique_ptr<QuellorAudioProcessorEditor> editor;
    ParameterRecorder recorder;
};

const char* const levelNames[] = { "LeftLevelSlider", "RightLevelSlider", "CenterLevelSlider",
                                   "LeftSLevelSlider", "RightSLevelSlider" };

/** The controls right after construction, in set-up (z) order. */
const std::vector<ControlState> constructedState{
    { "DecaySlider", { 141, 12, 170, 315 }, true, true },
    { "LowSlider", { 271, 0, 170, 315 }, true, true },
    { "HighSlider", { 402, 0, 170, 315 }, true, true },
    { "DelaySlider", { 527, 0, 170, 315 }, true, true },
    { "HighcutSlider", { 238, 276, 114, 53 }, true, true },
    { "MixSlider", { 438, 276, 114, 53 }, true, true },
    { "VUSlider", { 61, 193, 68, 120 }, true, false },
    { "HighcutLabel", { 357, 284, 35, 25 }, true, false },
    { "MixLabel", { 556, 284, 35, 25 }, true, false },
    { "BackButton", { 711, 280, 30, 30 }, true, true },
    { "ModernVintage", { 256, 120, 81, 50 }, false, false },
    { "LeftLevelSlider", { 364, 128, 54, 132 }, false, true },
    { "RightLevelSlider", { 438, 128, 54, 132 }, false, true },
    { "CenterLevelSlider", { 512, 128, 54, 132 }, false, true },
    { "LeftSLevelSlider", { 586, 128, 54, 132 }, false, true },
    { "RightSLevelSlider", { 656, 128, 54, 132 }, false, true },
    { "SurroundButton", { 727, 118, 77, 89 }, false, false },
    { "TolvButton", { 26, 28, 95, 52 }, true, true },
    { "BypassButton", { 147, 280, 30, 30 }, true, true },
};
} // namespace

//==============================================================================
TEST_F (EditorTest, OpensAtNaturalSizeWithEveryControlAsBuilt)
{
    EXPECT_EQ (editor->getWidth(), 862);
    EXPECT_EQ (editor->getHeight(), 328);
    ASSERT_EQ (editor->getNumChildComponents(), 1);
    EXPECT_EQ (editor->getChildComponent (0), &content());
    EXPECT_EQ (content().getBounds(), juce::Rectangle<int> (0, 0, 862, 328));
    EXPECT_TRUE (content().isVisible());
    EXPECT_TRUE (content().getTransform().isIdentity());
    EXPECT_TRUE (content().getName().isEmpty());

    // Every control is a direct child of the content, in set-up order, which is also the z-order.
    EXPECT_EQ (controlStates(), constructedState);

    // Everything draws through the skin.
    EXPECT_NE (dynamic_cast<CorvaneLookAndFeel*> (&editor->getLookAndFeel()), nullptr);
    for (auto* child : content().getChildren())
        EXPECT_EQ (&child->getLookAndFeel(), &editor->getLookAndFeel()) << child->getName();
}

TEST_F (EditorTest, SlidersHaveTheirStylesRangesAndTextBoxes)
{
    struct SliderCase
    {
        const char* name;
        juce::Slider::SliderStyle style;
        double minimum, maximum, interval;
        bool textBoxEditable;
    };

    const SliderCase cases[] = {
        { "DecaySlider", juce::Slider::RotaryVerticalDrag, 0.0, 1.0, 0.01, false },
        { "LowSlider", juce::Slider::RotaryVerticalDrag, 0.0, 1.0, 0.01, false },
        { "HighSlider", juce::Slider::RotaryVerticalDrag, 0.0, 1.0, 0.01, false },
        { "DelaySlider", juce::Slider::RotaryVerticalDrag, 0.0, 1.0, 0.01, false },
        { "HighcutSlider", juce::Slider::LinearHorizontal, 0.0, 1.0, 0.01, true },
        { "MixSlider", juce::Slider::LinearHorizontal, 0.0, 1.0, 0.01, true },
        { "VUSlider", juce::Slider::RotaryVerticalDrag, 0.0, 1.0, 0.0001, true },
        { "HighcutLabel", juce::Slider::RotaryVerticalDrag, 0.0, 1.0, 0.001, true },
        { "MixLabel", juce::Slider::RotaryVerticalDrag, 0.0, 1.0, 0.001, true },
    };

    for (const auto& c : cases)
    {
        auto& s = slider (c.name);
        EXPECT_EQ (s.getSliderStyle(), c.style) << c.name;
        EXPECT_EQ (s.getMinimum(), c.minimum) << c.name;
        EXPECT_EQ (s.getMaximum(), c.maximum) << c.name;
        EXPECT_EQ (s.getInterval(), c.interval) << c.name;
        EXPECT_EQ (s.getTextBoxPosition(), juce::Slider::NoTextBox) << c.name;
        EXPECT_EQ (s.isTextBoxEditable(), c.textBoxEditable) << c.name;
        EXPECT_FALSE (s.isDoubleClickReturnEnabled()) << c.name;
        EXPECT_EQ (s.getValue(), 0.0) << c.name; // nothing is read from the processor before the first tick
    }

    for (const auto* name : levelNames)
    {
        auto& s = slider (name);
        EXPECT_EQ (s.getSliderStyle(), juce::Slider::LinearVertical) << name;
        EXPECT_EQ (s.getMinimum(), -60.0) << name;
        EXPECT_EQ (s.getMaximum(), 6.0) << name;
        EXPECT_EQ (s.getInterval(), 0.1) << name;
        EXPECT_EQ (s.getTextBoxPosition(), juce::Slider::TextBoxBelow) << name;
        EXPECT_EQ (s.getTextBoxWidth(), 40) << name;
        EXPECT_EQ (s.getTextBoxHeight(), 20) << name;
        EXPECT_TRUE (s.isTextBoxEditable()) << name;
        EXPECT_TRUE (s.isDoubleClickReturnEnabled()) << name;
        EXPECT_EQ (s.getDoubleClickReturnValue(), 0.0) << name;
        EXPECT_EQ (s.getValue(), 0.0) << name;
    }

    // The value box comes from the skin: a label named "n" (the look-and-feel's own tests cover its looks).
    auto* valueBox = dynamic_cast<juce::Label*> (slider ("LeftLevelSlider").getChildComponent (0));
    ASSERT_NE (valueBox, nullptr);
    EXPECT_EQ (valueBox->getName(), "n");

    // The typed-in value is limited to the range and snapped to 0.1 dB.
    auto& left = slider ("LeftLevelSlider");
    left.setValue (-80.0, juce::dontSendNotification);
    EXPECT_EQ (left.getValue(), -60.0);
    left.setValue (2.349, juce::dontSendNotification);
    EXPECT_NEAR (left.getValue(), 2.3, 1.0e-9);
    left.setValue (12.0, juce::dontSendNotification);
    EXPECT_EQ (left.getValue(), 6.0);
}

TEST_F (EditorTest, ButtonsToggleExceptTheLogoAndShowNoText)
{
    for (const auto* name : { "BypassButton", "BackButton", "ModernVintage", "SurroundButton" })
    {
        EXPECT_TRUE (button (name).getClickingTogglesState()) << name;
        EXPECT_FALSE (button (name).getToggleState()) << name;
    }

    EXPECT_FALSE (button ("TolvButton").getClickingTogglesState());
}

TEST_F (EditorTest, OverlappingControlsResolveBySetUpOrder)
{
    struct Press
    {
        int x, y;
        const char* reaches;
    };

    const Press presses[] = {
        { 160, 295, "BypassButton" },                             // inside DecaySlider's rectangle
        { 200, 100, "DecaySlider" },   { 290, 100, "LowSlider" }, // LowSlider above DecaySlider
        { 420, 100, "HighSlider" },                               // HighSlider above LowSlider
        { 550, 100, "DelaySlider" },                              // DelaySlider above HighSlider
        { 250, 300, "HighcutSlider" },                            // above DecaySlider
        { 340, 300, "HighcutSlider" },                            // above LowSlider
        { 370, 295, "HighcutLabel" },  { 720, 290, "BackButton" },
        { 60, 50, "TolvButton" },      { 90, 250, "VUSlider" },
    };

    editor->setVisible (true); // as the host shows it; hidden components are not hit

    for (const auto& press : presses)
    {
        auto* reached = editor->getComponentAt (press.x, press.y);
        ASSERT_NE (reached, nullptr) << press.x << ", " << press.y;
        EXPECT_EQ (reached->getName(), press.reaches) << press.x << ", " << press.y;
    }
}

//==============================================================================
TEST_F (EditorTest, FitsTheContentIntoTheWindowWithoutScalingUp)
{
    struct Fit
    {
        int width, height;
        float scale, offsetX, offsetY;
    };

    const Fit fits[] = {
        { 862, 328, 1.0f, 0.0f, 0.0f },
        { 1000, 400, 1.0f, 69.0f, 36.0f },
        { 431, 328, 0.5f, 0.0f, 82.0f },
        { 862, 164, 0.5f, 215.5f, 0.0f },
        { 2000, 200, 200.0f / 328.0f, (2000.0f - 862.0f * (200.0f / 328.0f)) * 0.5f, 0.0f },
    };

    for (const auto& fit : fits)
    {
        editor->setSize (fit.width, fit.height);
        const auto t = content().getTransform();
        EXPECT_FLOAT_EQ (t.mat00, fit.scale) << fit.width << " x " << fit.height;
        EXPECT_FLOAT_EQ (t.mat11, fit.scale) << fit.width << " x " << fit.height;
        EXPECT_EQ (t.mat01, 0.0f);
        EXPECT_EQ (t.mat10, 0.0f);
        EXPECT_FLOAT_EQ (t.mat02, fit.offsetX) << fit.width << " x " << fit.height;
        EXPECT_FLOAT_EQ (t.mat12, fit.offsetY) << fit.width << " x " << fit.height;
        EXPECT_EQ (content().getBounds(), juce::Rectangle<int> (0, 0, 862, 328)); // only the transform moves
    }

    // A window with a zero side keeps the previous transform.
    editor->setSize (431, 328);
    editor->setSize (0, 328);
    EXPECT_FLOAT_EQ (content().getTransform().mat00, 0.5f);
    EXPECT_FLOAT_EQ (content().getTransform().mat12, 82.0f);

    // Controls are found where they are drawn: the bypass lamp of a half-size editor.
    editor->setVisible (true);
    editor->setSize (431, 328);
    auto* reached = editor->getComponentAt (80, 229); // (160, 294) in the content
    ASSERT_NE (reached, nullptr);
    EXPECT_EQ (reached->getName(), "BypassButton");
}

//==============================================================================
TEST_F (EditorTest, LeversAndFadersSendTheirValuesInsideGestures)
{
    struct SliderCase
    {
        const char* name;
        std::vector<int> indexes;
        const char* display; // the digit display that follows the fader, if any
    };

    const SliderCase cases[] = {
        { "DecaySlider", { kDecay }, nullptr },
        { "LowSlider", { kLow }, nullptr },
        { "HighSlider", { kHigh }, nullptr },
        { "DelaySlider", { kPredelay }, nullptr },
        { "HighcutSlider", { kHighCut2, kHighCut3 }, "HighcutLabel" },
        { "MixSlider", { kMix }, "MixLabel" },
    };

    for (const auto& c : cases)
    {
        recorder.events.clear();
        {
            juce::Slider::ScopedDragNotification drag (slider (c.name));
            slider (c.name).setValue (0.374, juce::sendNotificationSync); // snapped to 0.37
        }

        std::vector<ParameterRecorder::Event> expected;
        for (auto index : c.indexes)
            expected.push_back (began (index));
        for (auto index : c.indexes)
            expected.push_back (changed (index, 0.37f));
        for (auto index : c.indexes)
            expected.push_back (ended (index));

        EXPECT_EQ (recorder.events, expected) << c.name;

        for (auto index : c.indexes)
            EXPECT_EQ (processor->parameterValue (index), 0.37f) << c.name;

        if (c.display != nullptr)
        {
            EXPECT_EQ (slider (c.display).getValue(), 0.37) << c.display;
        }
    }

    // The meter and the displays are not listened to: moving them sends nothing.
    recorder.events.clear();
    for (const auto* name : { "VUSlider", "HighcutLabel", "MixLabel" })
        slider (name).setValue (0.8, juce::sendNotificationSync);
    EXPECT_TRUE (recorder.events.empty());
}

TEST_F (EditorTest, LevelFadersSendTheLevelEncodingOfTheirDecibels)
{
    EXPECT_NEAR (QuellorAudioProcessorEditor::levelValueForDecibels (0.0), 0.501187f, 1.0e-6f);
    EXPECT_EQ (QuellorAudioProcessorEditor::levelValueForDecibels (6.0), 1.0f);
    EXPECT_NEAR (QuellorAudioProcessorEditor::levelValueForDecibels (-60.0), 0.000501187f, 1.0e-9f);

    struct LevelCase
    {
        double decibels;
        float sent;
    };

    const LevelCase cases[] = {
        { -60.0, 0.000501187f }, { 6.0, 1.0f }, { 0.0, 0.501187f }, { -12.5, 0.1188502f }
    };

    for (int level = 0; level < 5; ++level)
    {
        auto& fader = slider (levelNames[level]);
        for (const auto& c : cases)
        {
            recorder.events.clear();
            {
                juce::Slider::ScopedDragNotification drag (fader);
                fader.setValue (c.decibels, juce::sendNotificationSync);
            }

            // Sent exactly as 10^((dB - 6) / 20) of the fader's (snapped) value, rounded to float.
            const auto sent = (float) std::pow (10.0, (fader.getValue() - 6.0) / 20.0);
            EXPECT_NEAR (sent, c.sent, c.sent * 2.0e-6f) << c.decibels;

            const std::vector<ParameterRecorder::Event> expected{ began (kLeftLevel + level),
                                                                  changed (kLeftLevel + level, sent),
                                                                  ended (kLeftLevel + level) };
            EXPECT_EQ (recorder.events, expected) << levelNames[level] << " at " << c.decibels << " dB";
            EXPECT_EQ (processor->parameterValue (kLeftLevel + level), sent);
        }
    }
}

TEST_F (EditorTest, LevelFadersReturnToZeroDecibelsOnDoubleClickOrAltClick)
{
    auto& fader = slider ("CenterLevelSlider");
    auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto now = juce::Time::getCurrentTime();

    const auto mouseEvent = [&] (juce::ModifierKeys mods, int clicks)
    {
        const juce::Point<float> position (27.0f, 40.0f);
        return juce::MouseEvent (source, position, mods, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, &fader, &fader, now,
                                 position, now, clicks, false);
    };

    const float zeroDecibels = (float) std::pow (10.0, -0.3);

    // Double-click.
    fader.setValue (-20.0, juce::sendNotificationSync);
    recorder.events.clear();
    fader.mouseDoubleClick (mouseEvent (juce::ModifierKeys::leftButtonModifier, 2));
    EXPECT_EQ (fader.getValue(), 0.0);
    EXPECT_EQ (recorder.events,
               (std::vector<ParameterRecorder::Event>{
                   began (kCenterLevel), changed (kCenterLevel, zeroDecibels), ended (kCenterLevel) }));

    // A click with only alt held.
    fader.setValue (3.0, juce::sendNotificationSync);
    recorder.events.clear();
    fader.mouseDown (mouseEvent (
        juce::ModifierKeys (juce::ModifierKeys::altModifier | juce::ModifierKeys::leftButtonModifier), 1));
    fader.mouseUp (mouseEvent (juce::ModifierKeys (juce::ModifierKeys::altModifier), 1));
    EXPECT_EQ (fader.getValue(), 0.0);
    EXPECT_NEAR (processor->parameterValue (kCenterLevel), 0.501187f, 1.0e-6f);
    ASSERT_FALSE (recorder.events.empty());
    EXPECT_EQ (recorder.events.front(), began (kCenterLevel));
    EXPECT_EQ (recorder.events.back(), ended (kCenterLevel));
}

TEST_F (EditorTest, SwitchesSendOnOrOffWithoutGestures)
{
    editor->timerCallback(); // the toggles take the processor's states (classic on, others off)
    ASSERT_TRUE (button ("ModernVintage").getToggleState());

    click ("BypassButton");
    EXPECT_EQ (recorder.events, (std::vector<ParameterRecorder::Event>{ changed (kBypass, 1.0f) }));
    EXPECT_EQ (processor->parameterValue (kBypass), 1.0f);

    recorder.events.clear();
    click ("BypassButton");
    EXPECT_EQ (recorder.events, (std::vector<ParameterRecorder::Event>{ changed (kBypass, 0.0f) }));
    EXPECT_EQ (processor->parameterValue (kBypass), 0.0f);

    // The mode and surround switches only take clicks on the settings page.
    recorder.events.clear();
    click ("ModernVintage");
    click ("SurroundButton");
    EXPECT_TRUE (recorder.events.empty());

    click ("BackButton");
    EXPECT_TRUE (recorder.events.empty()); // the page switch is not a parameter

    click ("ModernVintage");
    click ("SurroundButton");
    EXPECT_EQ (recorder.events, (std::vector<ParameterRecorder::Event>{ changed (kUseClassic, 0.0f),
                                                                        changed (kSurroundSwitch, 1.0f) }));
    EXPECT_EQ (processor->parameterValue (kUseClassic), 0.0f);
    EXPECT_EQ (processor->parameterValue (kSurroundSwitch), 1.0f);

    recorder.events.clear();
    click ("ModernVintage");
    click ("SurroundButton");
    EXPECT_EQ (recorder.events, (std::vector<ParameterRecorder::Event>{ changed (kUseClassic, 1.0f),
                                                                        changed (kSurroundSwitch, 0.0f) }));
}

TEST_F (EditorTest, TolvButtonChangesNothing)
{
    editor->timerCallback();
    std::vector<float> before;
    for (int index = 0; index <= kInputMeter; ++index)
        before.push_back (processor->parameterValue (index));
    const auto states = controlStates();

    click ("TolvButton");
    click ("TolvButton");

    EXPECT_TRUE (recorder.events.empty());
    EXPECT_FALSE (button ("TolvButton").getToggleState());
    EXPECT_EQ (controlStates(), states);
    for (int index = 0; index <= kInputMeter; ++index)
        EXPECT_EQ (processor->parameterValue (index), before[(size_t) index]) << index;
}

//==============================================================================
TEST_F (EditorTest, TimerFollowsEveryParameterAndTheMeterWithinOneTick)
{
    struct Automation
    {
        int index;
        float stored;
        const char* control;
        double shown;
    };

    // Two rounds, so that every switch is seen turning on and off.
    const std::vector<std::vector<Automation>> rounds{
        { { kDecay, 0.62f, "DecaySlider", 0.62 },
          { kLow, 0.26f, "LowSlider", 0.26 },
          { kHigh, 0.75f, "HighSlider", 0.75 },
          { kPredelay, 0.41f, "DelaySlider", 0.41 },
          { kHighCut2, 0.334f, "HighcutSlider", 0.33 },
          { kMix, 0.58f, "MixSlider", 0.58 },
          { kInputMeter, 0.6f, "VUSlider", 0.6 },
          { kBypass, 1.0f, "BypassButton", 1.0 },
          { kUseClassic, 0.0f, "ModernVintage", 0.0 },
          { kSurroundSwitch, 1.0f, "SurroundButton", 1.0 },
          { kLeftLevel, 1.0f, "LeftLevelSlider", 6.0 },
          { kRightLevel, 0.25f, "RightLevelSlider", -6.0 }, // -6.02 dB
          { kCenterLevel, 0.5f, "CenterLevelSlider", 0.0 }, // -0.02 dB
          { kLeftSLevel, 0.0f, "LeftSLevelSlider", -60.0 }, // minus infinity, clamped
          { kRightSLevel, 0.1f, "RightSLevelSlider", -14.0 } },
        { { kDecay, 1.0f, "DecaySlider", 1.0 },
          { kPredelay, 0.0f, "DelaySlider", 0.0 },
          { kHighCut2, 1.0f, "HighcutSlider", 1.0 },
          { kMix, 0.07f, "MixSlider", 0.07 },
          { kInputMeter, 0.2f, "VUSlider", 0.2 },
          { kBypass, 0.0f, "BypassButton", 0.0 },
          { kUseClassic, 1.0f, "ModernVintage", 1.0 },
          { kSurroundSwitch, 0.0f, "SurroundButton", 0.0 },
          { kLeftLevel, 0.000501187f, "LeftLevelSlider", -60.0 },
          { kRightSLevel, -0.5f, "RightSLevelSlider", -60.0 } }, // an out-of-range store shows the bottom end
    };

    for (const auto& round : rounds)
    {
        for (const auto& a : round)
            setStored (a.index, a.stored);

        recorder.events.clear();
        editor->timerCallback();

        for (const auto& a : round)
        {
            if (auto* b = dynamic_cast<juce::Button*> (&control (a.control)))
                EXPECT_EQ (b->getToggleState(), a.shown != 0.0) << a.control;
            else
                EXPECT_NEAR (slider (a.control).getValue(), a.shown, 1.0e-9) << a.control;
        }

        EXPECT_NEAR (slider ("HighcutLabel").getValue(), slider ("HighcutSlider").getValue(), 1.0e-9);
        EXPECT_NEAR (slider ("MixLabel").getValue(), slider ("MixSlider").getValue(), 1.0e-9);

        runMessageLoop (20); // the displays' asynchronous notifications reach no callback either
        EXPECT_TRUE (recorder.events.empty());
    }

    // The high-cut fader shows index 4; index 5 is not displayed.
    setStored (kHighCut3, 0.5f);
    editor->timerCallback();
    EXPECT_EQ (slider ("HighcutSlider").getValue(), 1.0);
}

TEST_F (EditorTest, TimerFollowsAProgramChange)
{
    fakeNow += 60000; // well past the guard against early program changes

    for (int program = 0; program < processor->getNumPrograms(); ++program)
    {
        processor->setCurrentProgram (program);
        recorder.events.clear();
        editor->timerCallback();

        const auto name = processor->getProgramName (program);
        EXPECT_NEAR (slider ("DecaySlider").getValue(), processor->parameterValue (kDecay), 0.005) << name;
        EXPECT_NEAR (slider ("MixSlider").getValue(), processor->parameterValue (kMix), 0.005) << name;
        EXPECT_EQ (button ("ModernVintage").getToggleState(), processor->parameterValue (kUseClassic) != 0.0f)
            << name;
        EXPECT_NEAR (slider ("LeftLevelSlider").getValue(),
                     juce::jlimit (-60.0, 6.0,
                                   20.0 * std::log10 ((double) processor->parameterValue (kLeftLevel)) + 6.0),
                     0.05 + 1.0e-9)
            << name;
        EXPECT_TRUE (recorder.events.empty()) << name;
    }
}

TEST_F (EditorTest, EveryControlKeepsWhatItSentThroughTheRefreshAndMovesNoOther)
{
    // What a control sends must come back onto it, unchanged, at the next refresh, at every step of its
    // range; and no other control may follow it. A control sending to one parameter and shown from
    // another, two controls sharing a parameter, or a conversion that does not invert shows up as a
    // control that moves at the tick.
    const auto controlValues = [this]
    {
        std::vector<std::string> values;
        for (auto* child : content().getChildren())
        {
            if (auto* s = dynamic_cast<juce::Slider*> (child))
                values.push_back ((child->getName() + " " + juce::String (s->getValue(), 12)).toStdString());
            else if (auto* b = dynamic_cast<juce::Button*> (child))
                values.push_back ((child->getName() + (b->getToggleState() ? " on" : " off")).toStdString());
        }
        return values;
    };

    const auto expectRefreshKeepsEverything = [&] (const juce::String& moved)
    {
        ASSERT_FALSE (recorder.events.empty()) << moved << " sent nothing";
        const auto beforeTick = controlValues();
        recorder.events.clear();
        editor->timerCallback();
        ASSERT_EQ (controlValues(), beforeTick) << "after moving " << moved;
        ASSERT_TRUE (recorder.events.empty()) << "after moving " << moved;
    };

    editor->timerCallback(); // every control starts at the processor's value
    int movedControls = 0;

    for (const bool settingsPage : { false, true })
    {
        if (settingsPage)
            click ("BackButton");

        // Every control the user can reach on this page, but the page switch and the logo.
        for (auto* child : content().getChildren())
        {
            const auto name = child->getName();
            if (!child->isVisible() || !child->isEnabled() || name == "BackButton" || name == "TolvButton")
                continue;

            ++movedControls;

            if (auto* s = dynamic_cast<juce::Slider*> (child))
            {
                const int steps = juce::roundToInt ((s->getMaximum() - s->getMinimum()) / s->getInterval());
                for (int step = 0; step <= steps; ++step)
                {
                    const double value = s->getMinimum() + s->getInterval() * step;
                    if (value == s->getValue())
                        continue;

                    recorder.events.clear();
                    {
                        juce::Slider::ScopedDragNotification drag (*s);
                        s->setValue (value, juce::sendNotificationSync);
                    }
                    expectRefreshKeepsEverything (name + " at " + juce::String (value));
                    if (HasFatalFailure())
                        return;
                }
            }
            else
            {
                for (int round = 0; round < 2; ++round) // on and off again
                {
                    recorder.events.clear();
                    click (name);
                    expectRefreshKeepsEverything (name);
                    if (HasFatalFailure())
                        return;
                }
            }
        }
    }

    // The levers, the two faders and bypass; then the mix fader again, the mode and surround switches and
    // the five level faders.
    EXPECT_EQ (movedControls, 7 + 8);
}

//==============================================================================
TEST_F (EditorTest, BackButtonSwitchesToTheSettingsPageAndBack)
{
    click ("BackButton");
    ASSERT_TRUE (button ("BackButton").getToggleState());

    const std::vector<ControlState> settingsState{
        { "DecaySlider", { 141, 12, 170, 315 }, false, false },
        { "LowSlider", { 271, 0, 170, 315 }, false, false },
        { "HighSlider", { 402, 0, 170, 315 }, false, false },
        { "DelaySlider", { 527, 0, 170, 315 }, false, false },
        { "HighcutSlider", { 238, 276, 114, 53 }, false, false },
        { "MixSlider", { 464, 270, 114, 53 }, true, true },
        { "VUSliderBack", { 145, 188, 87, 141 }, true, false },
        { "HighcutLabel", { 357, 284, 35, 25 }, false, false },
        { "MixLabel", { 584, 279, 35, 25 }, true, false },
        { "BackButton", { 786, 282, 30, 30 }, true, true },
        { "ModernVintage", { 256, 120, 81, 50 }, true, true },
        { "LeftLevelSlider", { 364, 128, 54, 132 }, true, true },
        { "RightLevelSlider", { 438, 128, 54, 132 }, true, true },
        { "CenterLevelSlider", { 512, 128, 54, 132 }, true, true },
        { "LeftSLevelSlider", { 586, 128, 54, 132 }, true, true },
        { "RightSLevelSlider", { 656, 128, 54, 132 }, true, true },
        { "SurroundButton", { 727, 118, 77, 89 }, true, true },
        { "TolvButton", { 120, 35, 90, 45 }, true, true },
        { "BypassButton", { 147, 280, 30, 30 }, false, false },
    };
    EXPECT_EQ (controlStates(), settingsState);

    // The meter keeps following the input under its settings-page name.
    setStored (kInputMeter, 0.8f);
    editor->timerCallback();
    EXPECT_NEAR (slider ("VUSliderBack").getValue(), 0.8, 1.0e-6);

    click ("BackButton");
    ASSERT_FALSE (button ("BackButton").getToggleState());

    // Back on the main page, three controls stand a little off their start-up places, and the hidden
    // level faders are now disabled as well.
    auto expected = constructedState;
    for (auto& state : expected)
    {
        if (state.name.contains ("LevelSlider"))
            state.enabled = false;
        else if (state.name == "VUSlider")
            state.bounds = { 60, 193, 68, 120 };
        else if (state.name == "BackButton")
            state.bounds = { 711, 276, 30, 30 };
        else if (state.name == "TolvButton")
            state.bounds = { 28, 28, 90, 45 };
    }
    EXPECT_EQ (controlStates(), expected);
}

//==============================================================================
TEST_F (EditorTest, PaintsTheVersionInTheBottomLeftCorner)
{
    const auto background = CorvaneLookAndFeel::getMainPageBackground();
    ASSERT_TRUE (background.isValid());

    const auto picture = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
    const juce::Rectangle<int> versionBox (5, 313, 50, 11);

    int textPixels = 0;
    for (int y = versionBox.getY(); y < versionBox.getBottom(); ++y)
        for (int x = versionBox.getX(); x < versionBox.getRight(); ++x)
            if (picture.getPixelAt (x, y).getARGB() != background.getPixelAt (x, y).getARGB())
                ++textPixels;
    EXPECT_GT (textPixels, 20);

    // Around the text, where no control lies, the picture is the background itself.
    for (int y = 300; y < 328; ++y)
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ (picture.getPixelAt (x, y).getARGB(), background.getPixelAt (x, y).getARGB())
                << x << ", " << y;

    // In a larger window the text moves with the centred content and stays in its corner.
    editor->setSize (1000, 400);
    const auto larger = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
    int movedTextPixels = 0;
    for (int y = versionBox.getY(); y < versionBox.getBottom(); ++y)
        for (int x = versionBox.getX(); x < versionBox.getRight(); ++x)
            if (larger.getPixelAt (x + 69, y + 36).getARGB() == picture.getPixelAt (x, y).getARGB())
                ++movedTextPixels;
    EXPECT_EQ (movedTextPixels, versionBox.getWidth() * versionBox.getHeight());

    // Outside the content nothing is painted.
    EXPECT_EQ (larger.getPixelAt (30, 200).getAlpha(), 0);
    EXPECT_EQ (larger.getPixelAt (500, 380).getAlpha(), 0);
}

TEST_F (EditorTest, RendersBothPagesAtNaturalAndHalfSize)
{
    setStored (kInputMeter, 0.6f);
    editor->timerCallback();

    const auto outputFolder = juce::File::getSpecialLocation (juce::File::currentExecutableFile)
                                  .getParentDirectory()
                                  .getChildFile ("editor-screenshots");
    ASSERT_TRUE (outputFolder.createDirectory());

    std::map<juce::String, juce::Image> pictures;

    const auto render = [&] (const juce::String& page)
    {
        for (auto size : { juce::Point<int> (862, 328), juce::Point<int> (431, 164) })
        {
            editor->setSize (size.x, size.y);
            auto picture = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
            const auto key = page + "_" + juce::String (size.x) + "x" + juce::String (size.y);

            const auto file = outputFolder.getChildFile ("editor_" + key + ".png");
            file.deleteFile();
            juce::FileOutputStream stream (file);
            ASSERT_TRUE (stream.openedOk()) << file.getFullPathName();
            juce::PNGImageFormat png;
            ASSERT_TRUE (png.writeImageToStream (picture, stream));
            pictures[key] = picture;
        }
    };

    render ("main");
    click ("BackButton");
    render ("settings");

    for (const auto& [key, picture] : pictures)
    {
        // The page backgrounds cover the window, so the picture is (almost: scaled edges) opaque throughout.
        EXPECT_GT (countOpaquePixels (picture), picture.getWidth() * picture.getHeight() * 95 / 100) << key;
        EXPECT_TRUE (outputFolder.getChildFile ("editor_" + key + ".png").getSize() > 1000) << key;
    }

    EXPECT_EQ (pictures["main_862x328"].getWidth(), 862);
    EXPECT_EQ (pictures["main_431x164"].getWidth(), 431);
    EXPECT_EQ (pictures["main_431x164"].getHeight(), 164);

    // The pages differ over a large part of the window, at both sizes.
    EXPECT_GT (countDifferentPixels (pictures["main_862x328"], pictures["settings_862x328"]), 862 * 328 / 5);
    EXPECT_GT (countDifferentPixels (pictures["main_431x164"], pictures["settings_431x164"]), 431 * 164 / 5);
}

TEST_F (EditorTest, SurvivesBeingOpenedAndClosedWhileItsTimerRuns)
{
    for (int round = 0; round < 5; ++round)
    {
        editor.reset (dynamic_cast<QuellorAudioProcessorEditor*> (processor->createEditorIfNeeded()));
        ASSERT_NE (editor, nullptr);
        EXPECT_EQ (processor->getActiveEditor(), editor.get());
        setStored (kInputMeter, round % 2 == 0 ? 0.4f : 1.0f);
        runMessageLoop (120); // at least two ticks
        EXPECT_NEAR (slider ("VUSlider").getValue(), round % 2 == 0 ? 0.4 : 1.0, 1.0e-6);
        EXPECT_EQ (slider ("DecaySlider").getValue(), 0.5);
        editor.reset();
        EXPECT_EQ (processor->getActiveEditor(), nullptr);
    }

    editor = std::make_unique<QuellorAudioProcessorEditor> (*processor);
}
