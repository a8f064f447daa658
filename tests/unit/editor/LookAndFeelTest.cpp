// Tests of CorvaneLookAndFeel: what each control draws, checked pixel by pixel in off-screen images,
// and the embedded skin images themselves.

#include "editor/CorvaneLookAndFeel.h"
#include "ImageCompare.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
using Slot = CorvaneLookAndFeel::SkinSlot;

juce::Image blankImage (int w, int h)
{
    return juce::Image (juce::Image::ARGB, w, h, true, juce::SoftwareImageType());
}

bool isFullyTransparent (const juce::Image& image)
{
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getAlpha() != 0)
                return false;
    return true;
}

/** A picture of a skin image drawn whole into (x, y, w, h) of a w0 x h0 transparent image. */
juce::Image referenceOf (const juce::Image& source, int w0, int h0, int x, int y, int w, int h)
{
    auto image = blankImage (w0, h0);
    juce::Graphics g (image);
    g.drawImage (source, x, y, w, h, 0, 0, source.getWidth(), source.getHeight());
    return image;
}

/** A look-and-feel whose skin slots can be emptied, to test drawing with missing images. */
struct LookAndFeelWithoutImage : CorvaneLookAndFeel
{
    explicit LookAndFeelWithoutImage (int slot) { setSkinImage (slot, {}); }
};

class LookAndFeelTest : public ::testing::Test
{
protected:
    CorvaneLookAndFeel lookAndFeel;

    /** What drawRotarySlider draws for a slider of this name at pos, in a w x h area. */
    juce::Image drawRotary (const juce::String& name, float pos, int w, int h)
    {
        juce::Slider slider (name);
        auto image = blankImage (w, h);
        juce::Graphics g (image);
        lookAndFeel.drawRotarySlider (g, 0, 0, w, h, pos, 0.0f, 1.0f, slider);
        return image;
    }

    /** What drawButtonBackground and drawButtonText draw for a text button of this name. */
    juce::Image drawButton (CorvaneLookAndFeel& lf, const juce::String& name, bool toggled, int w, int h,
                            juce::Colour underlay = juce::Colours::transparentBlack, bool highlighted = false,
                            bool down = false)
    {
        juce::TextButton button (name);
        button.setButtonText ("some text");
        button.setSize (w, h);
        button.setToggleState (toggled, juce::dontSendNotification);
        auto image = blankImage (w, h);
        image.clear (image.getBounds(), underlay);
        juce::Graphics g (image);
        lf.drawButtonBackground (g, button, juce::Colours::red, highlighted, down);
        lf.drawButtonText (g, button, highlighted, down);
        return image;
    }
};

//==============================================================================
// Embedded images

struct ExpectedImage
{
    int firstSlot, lastSlot, width, height;
    bool alpha;
};

TEST (SkinImages, EveryEmbeddedImageHasTheSizeAndAlphaOfTheSkinTable)
{
    const ExpectedImage table[] = {
        { 0, 15, 170, 315, true },   // decay lever
        { 16, 19, 170, 315, true },  // multiplier lever
        { 20, 26, 170, 315, true },  // pre-delay lever
        { 28, 33, 68, 120, true },   // small meter
        { 34, 34, 91, 138, false },  // large meter, first frame
        { 35, 39, 142, 215, false }, // large meter
        { 40, 49, 10, 17, true },    // digits
        { 50, 50, 8, 8, true },      // dot
        { 51, 52, 18, 53, true },    // fader caps
        { 53, 54, 81, 50, true },    // mode switch
        { 55, 56, 77, 89, true },    // surround disc
        { 57, 57, 89, 33, true },    // logo
    };

    int checked = 0;
    for (const auto& row : table)
    {
        for (int slot = row.firstSlot; slot <= row.lastSlot; ++slot)
        {
            SCOPED_TRACE ("slot " + std::to_string (slot));
            const auto embedded = CorvaneLookAndFeel::getEmbeddedSkinImage (slot);
            ASSERT_NE (embedded.data, nullptr);
            const auto image = juce::ImageFileFormat::loadFrom (embedded.data, (size_t) embedded.size);
            ASSERT_TRUE (image.isValid());
            EXPECT_EQ (image.getWidth(), row.width);
            EXPECT_EQ (image.getHeight(), row.height);
            EXPECT_EQ (image.hasAlphaChannel(), row.alpha);
            EXPECT_TRUE (juce::PNGImageFormat().canUnderstand (
                *std::make_unique<juce::MemoryInputStream> (embedded.data, (size_t) embedded.size, false)));
            ++checked;
        }
    }
    EXPECT_EQ (checked, 57);

    EXPECT_EQ (CorvaneLookAndFeel::getEmbeddedSkinImage (27).data, nullptr);
    EXPECT_EQ (CorvaneLookAndFeel::getEmbeddedSkinImage (58).data, nullptr);
    EXPECT_EQ (CorvaneLookAndFeel::getEmbeddedSkinImage (-1).data, nullptr);

    const auto main = CorvaneLookAndFeel::getMainPageBackground();
    const auto settings = CorvaneLookAndFeel::getSettingsPageBackground();
    ASSERT_TRUE (main.isValid());
    ASSERT_TRUE (settings.isValid());
    EXPECT_EQ (main.getBounds(), juce::Rectangle<int> (0, 0, 862, 328));
    EXPECT_EQ (settings.getBounds(), juce::Rectangle<int> (0, 0, 862, 328));
    EXPECT_TRUE (main.hasAlphaChannel());
    EXPECT_FALSE (settings.hasAlphaChannel());
}

TEST_F (LookAndFeelTest, LoadsEverySlotButSlot27)
{
    for (int slot = 0; slot < CorvaneLookAndFeel::numSkinSlots; ++slot)
    {
        SCOPED_TRACE ("slot " + std::to_string (slot));
        EXPECT_EQ (lookAndFeel.getSkinImage (slot).isValid(), slot != 27);
        // the editor's own lookups go through the same image cache
        EXPECT_EQ (CorvaneLookAndFeel::loadSkinImage (slot).isValid(), slot != 27);
    }
    EXPECT_FALSE (lookAndFeel.getSkinImage (58).isValid());
    EXPECT_FALSE (lookAndFeel.getSkinImage (-1).isValid());
}

/** The height of the centre of the opaque pixels: where the knob of a lever frame sits. */
double opaqueCentreY (const juce::Image& image)
{
    double sum = 0.0, weight = 0.0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
        {
            const double a = image.getPixelAt (x, y).getFloatAlpha();
            sum += a * y;
            weight += a;
        }
    return weight > 0.0 ? sum / weight : -1.0;
}

double totalBrightness (const juce::Image& image)
{
    double sum = 0.0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            sum += image.getPixelAt (x, y).getBrightness();
    return sum;
}

TEST_F (LookAndFeelTest, FramesRunFromTheLowestValueToTheHighest)
{
    // levers: the knob climbs from frame to frame
    for (auto [first, count] : { std::pair{ 0, 16 }, std::pair{ 16, 4 }, std::pair{ 20, 7 } })
        for (int slot = first + 1; slot < first + count; ++slot)
        {
            SCOPED_TRACE ("lever slot " + std::to_string (slot));
            EXPECT_LT (opaqueCentreY (lookAndFeel.getSkinImage (slot)),
                       opaqueCentreY (lookAndFeel.getSkinImage (slot - 1)) - 5.0);
        }

    // meters: each frame lights one more LED, so it is brighter than the one before
    for (int first : { 28, 34 })
    {
        const auto& size = lookAndFeel.getSkinImage (first + 5);
        for (int slot = first + 1; slot < first + 6; ++slot)
        {
            SCOPED_TRACE ("meter slot " + std::to_string (slot));
            const auto previous = referenceOf (lookAndFeel.getSkinImage (slot - 1), size.getWidth(),
                                               size.getHeight(), 0, 0, size.getWidth(), size.getHeight());
            const auto current = referenceOf (lookAndFeel.getSkinImage (slot), size.getWidth(),
                                              size.getHeight(), 0, 0, size.getWidth(), size.getHeight());
            EXPECT_GT (totalBrightness (current), totalBrightness (previous) + 50.0);
        }
    }

    // digits are all different pictures, and the two switch pictures differ
    for (int a = 40; a < 50; ++a)
        for (int b = a + 1; b < 50; ++b)
            EXPECT_GT (countDifferentPixels (lookAndFeel.getSkinImage (a), lookAndFeel.getSkinImage (b)), 5)
                << a << " " << b;
    EXPECT_GT (countDifferentPixels (lookAndFeel.getSkinImage (53), lookAndFeel.getSkinImage (54)), 50);
    EXPECT_GT (countDifferentPixels (lookAndFeel.getSkinImage (55), lookAndFeel.getSkinImage (56)), 50);
}

//==============================================================================
// Film strips

struct FilmStripCase
{
    const char* name;
    float pos;
    int slot;
};

const FilmStripCase filmStripCases[] = {
    { "DecaySlider", 0.0f, 0 },   { "DecaySlider", 0.5f, 7 },   { "DecaySlider", 1.0f, 15 },
    { "DecaySlider", 0.07f, 1 },  { "LowSlider", 0.25f, 16 },   { "LowSlider", 0.26f, 17 },
    { "LowSlider", 1.0f, 19 },    { "HighSlider", 0.0f, 16 },   { "HighSlider", 0.76f, 19 },
    { "DelaySlider", 0.0f, 20 },  { "DelaySlider", 0.5f, 23 },  { "DelaySlider", 1.0f, 26 },
    { "VUSlider", 0.0f, 28 },     { "VUSlider", 0.2f, 29 },     { "VUSlider", 0.4f, 30 },
    { "VUSlider", 0.6f, 31 },     { "VUSlider", 0.8f, 32 },     { "VUSlider", 1.0f, 33 },
    { "VUSliderBack", 0.0f, 34 }, { "VUSliderBack", 0.2f, 35 }, { "VUSliderBack", 0.4f, 36 },
    { "VUSliderBack", 0.6f, 37 }, { "VUSliderBack", 0.8f, 38 }, { "VUSliderBack", 1.0f, 39 },
};

TEST_F (LookAndFeelTest, FilmStripFrameFollowsTheSliderPosition)
{
    for (const auto& c : filmStripCases)
    {
        SCOPED_TRACE (std::string (c.name) + " at " + std::to_string (c.pos));
        const auto strip = CorvaneLookAndFeel::filmStripForName (c.name);
        EXPECT_EQ (strip.firstSlot + CorvaneLookAndFeel::filmStripFrame (strip, c.pos), c.slot);
    }
}

TEST_F (LookAndFeelTest, FilmStripDrawsTheChosenFrameScaledIntoTheSliderArea)
{
    for (const auto& c : filmStripCases)
    {
        SCOPED_TRACE (std::string (c.name) + " at " + std::to_string (c.pos));
        const auto& image = lookAndFeel.getSkinImage (c.slot);
        const bool large = juce::String (c.name) == "VUSliderBack";
        // the lever and small meter areas are their natural frame sizes; the large meter is scaled
        const int w = large ? 87 : image.getWidth(), h = large ? 141 : image.getHeight();

        const auto drawn = drawRotary (c.name, c.pos, w, h);
        EXPECT_EQ (countDifferentPixels (drawn, referenceOf (image, w, h, 0, 0, w, h)), 0);

        // and not a neighbouring frame of the same strip
        const auto strip = CorvaneLookAndFeel::filmStripForName (c.name);
        for (int other : { c.slot - 1, c.slot + 1 })
        {
            if (other >= strip.firstSlot && other < strip.firstSlot + strip.numFrames)
            {
                const auto neighbour = referenceOf (lookAndFeel.getSkinImage (other), w, h, 0, 0, w, h);
                EXPECT_GT (countDifferentPixels (drawn, neighbour), 20) << "slot " << other;
            }
        }
    }
}

TEST_F (LookAndFeelTest, FilmStripFramesStayInsideTheirStrip)
{
    for (const char* name :
         { "DecaySlider", "LowSlider", "HighSlider", "DelaySlider", "VUSlider", "VUSliderBack" })
    {
        const auto strip = CorvaneLookAndFeel::filmStripForName (name);
        int previous = 0;
        for (int i = 0; i <= 100; ++i)
        {
            const int frame = CorvaneLookAndFeel::filmStripFrame (strip, (float) i * 0.01f);
            EXPECT_GE (frame, previous) << name << " " << i;
            EXPECT_LT (frame, strip.numFrames) << name << " " << i;
            previous = frame;
        }
        EXPECT_EQ (previous, strip.numFrames - 1) << name;
        EXPECT_NE (strip.firstSlot + previous, 27);

        // positions outside 0..1 never leave the strip
        EXPECT_EQ (CorvaneLookAndFeel::filmStripFrame (strip, -0.5f), 0);
        EXPECT_EQ (CorvaneLookAndFeel::filmStripFrame (strip, 3.0f), strip.numFrames - 1);
        EXPECT_EQ (CorvaneLookAndFeel::filmStripFrame (strip, std::numeric_limits<float>::quiet_NaN()), 0);
    }
}

TEST_F (LookAndFeelTest, RotarySliderWithAnotherNameDrawsNothing)
{
    for (const char* name : { "", "MixSlider", "vuslider", "DecaySlider2", "BackButton" })
        EXPECT_TRUE (isFullyTransparent (drawRotary (name, 0.5f, 170, 315))) << name;
}

TEST_F (LookAndFeelTest, MeterDrawsItsFrameWhenPaintedAsAComponent)
{
    // the whole framework path: a disabled rotary slider named as the meter, with a value step
    juce::Slider meter ("VUSlider");
    meter.setLookAndFeel (&lookAndFeel);
    meter.setSliderStyle (juce::Slider::RotaryVerticalDrag);
    meter.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    meter.setRange (0.0, 1.0, 0.0001);
    meter.setEnabled (false);

    for (const auto& [name, w, h, first] :
         { std::tuple{ "VUSlider", 68, 120, 28 }, std::tuple{ "VUSliderBack", 87, 141, 34 } })
    {
        meter.setName (name);
        meter.setBounds (0, 0, w, h);
        for (int step = 0; step <= 5; ++step)
        {
            SCOPED_TRACE (std::string (name) + " step " + std::to_string (step));
            meter.setValue (step * 0.2f, juce::dontSendNotification);
            const auto snapshot = meter.createComponentSnapshot (meter.getLocalBounds(), true, 1.0f);
            const auto expected = referenceOf (lookAndFeel.getSkinImage (first + step), w, h, 0, 0, w, h);
            EXPECT_EQ (countDifferentPixels (snapshot.convertedToFormat (juce::Image::ARGB), expected), 0);
        }
    }
    meter.setLookAndFeel (nullptr);
}

//==============================================================================
// Digit displays

struct DigitCase
{
    const char* name;
    float pos;
    std::array<int, 3> digits;
};

const DigitCase digitCases[] = {
    { "MixLabel", 0.57f, { 0, 5, 7 } },     { "MixLabel", 0.07f, { 0, 0, 7 } },
    { "MixLabel", 1.0f, { 1, 0, 0 } },      { "MixLabel", 0.0f, { 0, 0, 0 } },
    { "HighcutLabel", 0.01f, { 0, 5, 0 } }, { "HighcutLabel", 0.37f, { 0, 7, 9 } },
    { "HighcutLabel", 0.75f, { 1, 1, 0 } }, { "HighcutLabel", 0.0f, { 0, 5, 0 } },
    { "HighcutLabel", 1.0f, { 1, 3, 0 } },
};

TEST_F (LookAndFeelTest, DigitDisplaysShowTheirValues)
{
    for (const auto& c : digitCases)
    {
        SCOPED_TRACE (std::string (c.name) + " at " + std::to_string (c.pos));
        CorvaneLookAndFeel::DigitLayout layout;
        ASSERT_TRUE (CorvaneLookAndFeel::getDigitLayout (c.name, c.pos, 0, 35, layout));
        EXPECT_EQ (layout.digits, c.digits);

        // in a 35-pixel display the digits stand at x 0, 11, 23 (mix) or 0, 11, 24 (high-cut)
        const bool highcut = juce::String (c.name) == "HighcutLabel";
        const std::array<int, 3> xs{ 0, 11, highcut ? 24 : 23 };
        EXPECT_EQ (layout.x, xs);

        // what is drawn: each digit image unscaled at its place, top edge at the display's top
        auto expected = blankImage (35, 25);
        {
            juce::Graphics g (expected);
            for (int i = 0; i < 3; ++i)
                g.drawImageAt (lookAndFeel.getSkinImage (40 + c.digits[(size_t) i]), xs[(size_t) i], 0);
        }
        EXPECT_EQ (countDifferentPixels (drawRotary (c.name, c.pos, 35, 25), expected), 0);
    }
}

TEST_F (LookAndFeelTest, DigitPositionsFollowTheDisplayBounds)
{
    CorvaneLookAndFeel::DigitLayout layout;
    ASSERT_TRUE (CorvaneLookAndFeel::getDigitLayout ("MixLabel", 0.5f, 5, 35, layout));
    EXPECT_EQ (layout.x, (std::array<int, 3>{ 5, 16, 28 }));
    ASSERT_TRUE (CorvaneLookAndFeel::getDigitLayout ("HighcutLabel", 0.5f, 5, 35, layout));
    EXPECT_EQ (layout.x, (std::array<int, 3>{ 5, 16, 29 }));
    ASSERT_TRUE (CorvaneLookAndFeel::getDigitLayout ("MixLabel", 0.5f, 0, 36, layout));
    EXPECT_EQ (layout.x, (std::array<int, 3>{ 0, 12, 24 }));
    EXPECT_FALSE (CorvaneLookAndFeel::getDigitLayout ("MixSlider", 0.5f, 0, 35, layout));
}

//==============================================================================
// Faders

TEST_F (LookAndFeelTest, HorizontalFaderCapIsScaledToTheTrackHeightAndCentredOnTheThumb)
{
    const auto& cap = lookAndFeel.getSkinImage (51);
    ASSERT_EQ (cap.getWidth(), 18);
    ASSERT_EQ (cap.getHeight(), 53);

    struct Case
    {
        const char* name;
        int height;
        float pos;
        int left, width;
    };
    for (const auto& c :
         { Case{ "MixSlider", 53, 57.0f, 48, 18 }, Case{ "HighcutSlider", 53, 9.0f, 0, 18 },
           Case{ "HighcutSlider", 53, 104.6f, 95, 18 }, Case{ "MixSlider", 26, 57.0f, 48, 8 } })
    {
        SCOPED_TRACE (std::string (c.name) + " height " + std::to_string (c.height));
        juce::Slider slider (c.name);
        auto drawn = blankImage (114, c.height);
        {
            juce::Graphics g (drawn);
            lookAndFeel.drawLinearSliderThumb (g, 9, 0, 96, c.height, c.pos, 9.0f, 105.0f,
                                               juce::Slider::LinearHorizontal, slider);
        }
        EXPECT_EQ (
            countDifferentPixels (drawn, referenceOf (cap, 114, c.height, c.left, 0, c.width, c.height)), 0);
    }
}

TEST_F (LookAndFeelTest, VerticalFaderCapIsDrawnAtNaturalSizeAtTheTracksLeftEdge)
{
    const auto& cap = lookAndFeel.getSkinImage (52);
    for (auto [pos, top] : { std::pair{ 100.7f, 74 }, std::pair{ 9.0f, -17 }, std::pair{ 56.0f, 30 } })
    {
        juce::Slider slider ("LeftLevelSlider");
        auto drawn = blankImage (54, 112);
        {
            juce::Graphics g (drawn);
            lookAndFeel.drawLinearSliderThumb (g, 0, 9, 54, 94, pos, 103.0f, 9.0f,
                                               juce::Slider::LinearVertical, slider);
        }
        EXPECT_EQ (countDifferentPixels (drawn, referenceOf (cap, 54, 112, 0, top, 18, 53)), 0) << pos;
    }
}

TEST_F (LookAndFeelTest, FaderPaintedAsAComponentShowsOnlyItsCap)
{
    juce::Slider mix ("MixSlider");
    mix.setLookAndFeel (&lookAndFeel);
    mix.setSliderStyle (juce::Slider::LinearHorizontal);
    mix.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    mix.setRange (0.0, 1.0, 0.01);
    mix.setBounds (0, 0, 114, 53);
    mix.setValue (0.5, juce::dontSendNotification);

    // thumb at 9 + 0.5 x 96 = 57, so the cap's left edge is at 48; no track is drawn
    const auto snapshot = mix.createComponentSnapshot (mix.getLocalBounds(), true, 1.0f);
    EXPECT_EQ (countDifferentPixels (snapshot.convertedToFormat (juce::Image::ARGB),
                                     referenceOf (lookAndFeel.getSkinImage (51), 114, 53, 48, 0, 18, 53)),
               0);
    mix.setLookAndFeel (nullptr);
}

TEST_F (LookAndFeelTest, SliderBackgroundDrawsNothing)
{
    juce::Slider slider ("MixSlider");
    auto drawn = blankImage (114, 53);
    {
        juce::Graphics g (drawn);
        lookAndFeel.drawLinearSliderBackground (g, 9, 0, 96, 53, 57.0f, 9.0f, 105.0f,
                                                juce::Slider::LinearHorizontal, slider);
    }
    EXPECT_TRUE (isFullyTransparent (drawn));
}

TEST_F (LookAndFeelTest, MissingCapImageDrawsNothing)
{
    for (auto [slot, name] : { std::pair{ 51, "MixSlider" }, std::pair{ 52, "LeftLevelSlider" } })
    {
        LookAndFeelWithoutImage lf (slot);
        juce::Slider slider (name);
        auto drawn = blankImage (114, 132);
        {
            juce::Graphics g (drawn);
            lf.drawLinearSliderThumb (g, 9, 0, 96, 53, 57.0f, 9.0f, 105.0f, juce::Slider::LinearHorizontal,
                                      slider);
        }
        EXPECT_TRUE (isFullyTransparent (drawn)) << name;
    }
}

//==============================================================================
// Buttons

TEST_F (LookAndFeelTest, SwitchesShowOnePictureByToggleState)
{
    struct Case
    {
        const char* name;
        int w, h;
        int offSlot, onSlot;
    };
    for (const auto& c : { Case{ "ModernVintage", 81, 50, 53, 54 }, Case{ "SurroundButton", 77, 89, 55, 56 },
                           Case{ "ModernVintage", 100, 40, 53, 54 } })
    {
        SCOPED_TRACE (c.name);
        for (bool on : { false, true })
        {
            const auto& image = lookAndFeel.getSkinImage (on ? c.onSlot : c.offSlot);
            const auto drawn = drawButton (lookAndFeel, c.name, on, c.w, c.h);
            EXPECT_EQ (countDifferentPixels (drawn, referenceOf (image, c.w, c.h, 0, 0, c.w, c.h)), 0) << on;
        }
    }
}

TEST_F (LookAndFeelTest, BypassButtonShadesTheLampOnlyWhenOn)
{
    const auto lamp = juce::Colour (0xff30e060);

    const auto off = drawButton (lookAndFeel, "BypassButton", false, 30, 30, lamp, true, true);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ (off.getPixelAt (x, y).getARGB(), lamp.getARGB());

    // black at alpha 128 over the lamp: every channel roughly halved, every pixel the same
    const auto on = drawButton (lookAndFeel, "BypassButton", true, 30, 30, lamp);
    const auto shaded = on.getPixelAt (0, 0);
    EXPECT_EQ (shaded.getAlpha(), 255);
    EXPECT_NEAR (shaded.getGreen(), lamp.getGreen() * 127 / 255, 2);
    EXPECT_NEAR (shaded.getRed(), lamp.getRed() * 127 / 255, 2);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ (on.getPixelAt (x, y).getARGB(), shaded.getARGB()) << x << " " << y;

    // on a transparent image the shade itself is black with alpha 128
    const auto alone = drawButton (lookAndFeel, "BypassButton", true, 30, 30);
    EXPECT_EQ (alone.getPixelAt (15, 15).getAlpha(), 128);
    EXPECT_EQ (alone.getPixelAt (15, 15).getRed(), 0);
}

TEST_F (LookAndFeelTest, LogoIsDrawnAt230Of255Opacity)
{
    const auto& logo = lookAndFeel.getSkinImage (57);
    const auto drawn = drawButton (lookAndFeel, "TolvButton", false, logo.getWidth(), logo.getHeight());

    int opaque = 0;
    for (int y = 0; y < logo.getHeight(); ++y)
        for (int x = 0; x < logo.getWidth(); ++x)
        {
            const auto source = logo.getPixelAt (x, y);
            EXPECT_NEAR (drawn.getPixelAt (x, y).getAlpha(), source.getAlpha() * 230 / 255, 2)
                << x << " " << y;
            if (source.getAlpha() == 255)
            {
                ++opaque;
                EXPECT_NEAR (drawn.getPixelAt (x, y).getAlpha(), 230, 1);
            }
        }
    EXPECT_GT (opaque, 1000);

    // scaled into the button's bounds
    const auto big = drawButton (lookAndFeel, "TolvButton", false, 95, 52);
    EXPECT_NEAR (big.getPixelAt (47, 26).getAlpha(), 230, 1);
}

TEST_F (LookAndFeelTest, OtherButtonsDrawNothingAndNoButtonShowsText)
{
    for (const char* name : { "BackButton", "", "bypassbutton", "Logo" })
        for (bool on : { false, true })
            for (bool pressed : { false, true })
                EXPECT_TRUE (
                    isFullyTransparent (drawButton (lookAndFeel, name, on, 30, 30, {}, pressed, pressed)))
                    << name;

    // drawButtonText alone draws nothing for any button
    for (const char* name : { "BypassButton", "BackButton", "ModernVintage", "SurroundButton", "TolvButton" })
    {
        juce::TextButton button (name);
        button.setSize (80, 40);
        auto image = blankImage (80, 40);
        juce::Graphics g (image);
        lookAndFeel.drawButtonText (g, button, true, true);
        EXPECT_TRUE (isFullyTransparent (image)) << name;
    }

    // painted as a component, with its text set, the page switch still draws nothing
    juce::TextButton back ("BackButton");
    back.setLookAndFeel (&lookAndFeel);
    back.setBounds (0, 0, 30, 30);
    back.setToggleState (true, juce::dontSendNotification);
    const auto snapshot = back.createComponentSnapshot (back.getLocalBounds(), true, 1.0f);
    EXPECT_TRUE (isFullyTransparent (snapshot.convertedToFormat (juce::Image::ARGB)));
    back.setLookAndFeel (nullptr);
}

//==============================================================================
// Fonts and text box

TEST_F (LookAndFeelTest, FontsArePlain11)
{
    juce::ComboBox box;
    for (const auto& font : { lookAndFeel.getPopupMenuFont(), lookAndFeel.getComboBoxFont (box) })
    {
        EXPECT_FLOAT_EQ (font.getHeight(), 11.0f);
        EXPECT_EQ (font.getStyleFlags(), juce::Font::plain);
    }
}

TEST_F (LookAndFeelTest, LevelSliderTextBoxIsAHalfTransparentCrimsonLabel)
{
    juce::Slider slider ("LeftLevelSlider");
    slider.setSliderStyle (juce::Slider::LinearVertical);
    slider.setColour (juce::Slider::textBoxTextColourId, juce::Colour (0xff102030));
    slider.setColour (juce::Slider::textBoxBackgroundColourId, juce::Colour (0x40a0b0c0));
    slider.setColour (juce::Slider::textBoxHighlightColourId, juce::Colour (0xff405060));
    slider.setColour (juce::Slider::textBoxOutlineColourId, juce::Colour (0xff708090));

    std::unique_ptr<juce::Label> label (lookAndFeel.createSliderTextBox (slider));
    ASSERT_NE (label, nullptr);
    EXPECT_EQ (label->getName(), "n");
    EXPECT_TRUE (label->getText().isEmpty());
    EXPECT_EQ (label->getJustificationType(), juce::Justification (juce::Justification::right));
    EXPECT_EQ (label->findColour (juce::Label::textColourId).getARGB(), 0x80dc143cu);
    EXPECT_EQ (label->findColour (juce::Label::backgroundColourId).getARGB(), 0u);
    EXPECT_EQ (label->findColour (juce::Label::outlineColourId).getARGB(), 0u);
    EXPECT_EQ (label->findColour (juce::TextEditor::textColourId).getARGB(), 0xff102030u);
    EXPECT_EQ (label->findColour (juce::TextEditor::backgroundColourId).getARGB(), 0xffa0b0c0u);
    EXPECT_EQ (label->findColour (juce::TextEditor::highlightColourId).getARGB(), 0xff405060u);
    EXPECT_EQ (label->findColour (juce::TextEditor::outlineColourId).getARGB(), 0xff708090u);
    EXPECT_FLOAT_EQ (label->getFont().getHeight(), 11.0f);
    EXPECT_EQ (label->getFont().getStyleFlags(), juce::Font::plain);

    // a bar slider's editor background is partly transparent
    slider.setSliderStyle (juce::Slider::LinearBar);
    label.reset (lookAndFeel.createSliderTextBox (slider));
    EXPECT_EQ (label->findColour (juce::TextEditor::backgroundColourId).getARGB(), 0xb2a0b0c0u);

    // and the slider really uses it for its value box
    juce::Slider level ("RightLevelSlider");
    level.setLookAndFeel (&lookAndFeel);
    level.setSliderStyle (juce::Slider::LinearVertical);
    level.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 40, 20);
    bool found = false;
    for (auto* child : level.getChildren())
        if (auto* box = dynamic_cast<juce::Label*> (child))
            found =
                box->getName() == "n" && box->findColour (juce::Label::textColourId).getARGB() == 0x80dc143cu;
    EXPECT_TRUE (found);
    level.setLookAndFeel (nullptr);
}

} // namespace
