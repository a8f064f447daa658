#include "editor/CorvaneLookAndFeel.h"

#if TOLVMARK_HAS_SKIN
#include "SkinData.h"
#endif

namespace
{
using EmbeddedImage = CorvaneLookAndFeel::EmbeddedImage;

#if TOLVMARK_HAS_SKIN
#define TOLVMARK_SKIN_IMAGE(name)                                                                            \
    EmbeddedImage                                                                                            \
    {                                                                                                        \
        SkinData::name##_png, SkinData::name##_pngSize                                                       \
    }
#else
#define TOLVMARK_SKIN_IMAGE(name)                                                                            \
    EmbeddedImage {}
#endif

/** The embedded PNG of every skin slot; slot 27 has none. */
const std::array<EmbeddedImage, CorvaneLookAndFeel::numSkinSlots>& skinTable() noexcept
{
    static const std::array<EmbeddedImage, CorvaneLookAndFeel::numSkinSlots> table{
        TOLVMARK_SKIN_IMAGE (decay_lever_00),
        TOLVMARK_SKIN_IMAGE (decay_lever_01),
        TOLVMARK_SKIN_IMAGE (decay_lever_02),
        TOLVMARK_SKIN_IMAGE (decay_lever_03),
        TOLVMARK_SKIN_IMAGE (decay_lever_04),
        TOLVMARK_SKIN_IMAGE (decay_lever_05),
        TOLVMARK_SKIN_IMAGE (decay_lever_06),
        TOLVMARK_SKIN_IMAGE (decay_lever_07),
        TOLVMARK_SKIN_IMAGE (decay_lever_08),
        TOLVMARK_SKIN_IMAGE (decay_lever_09),
        TOLVMARK_SKIN_IMAGE (decay_lever_10),
        TOLVMARK_SKIN_IMAGE (decay_lever_11),
        TOLVMARK_SKIN_IMAGE (decay_lever_12),
        TOLVMARK_SKIN_IMAGE (decay_lever_13),
        TOLVMARK_SKIN_IMAGE (decay_lever_14),
        TOLVMARK_SKIN_IMAGE (decay_lever_15),
        TOLVMARK_SKIN_IMAGE (multiplier_lever_0),
        TOLVMARK_SKIN_IMAGE (multiplier_lever_1),
        TOLVMARK_SKIN_IMAGE (multiplier_lever_2),
        TOLVMARK_SKIN_IMAGE (multiplier_lever_3),
        TOLVMARK_SKIN_IMAGE (predelay_lever_0),
        TOLVMARK_SKIN_IMAGE (predelay_lever_1),
        TOLVMARK_SKIN_IMAGE (predelay_lever_2),
        TOLVMARK_SKIN_IMAGE (predelay_lever_3),
        TOLVMARK_SKIN_IMAGE (predelay_lever_4),
        TOLVMARK_SKIN_IMAGE (predelay_lever_5),
        TOLVMARK_SKIN_IMAGE (predelay_lever_6),
        EmbeddedImage{}, // slot 27: no image
        TOLVMARK_SKIN_IMAGE (meter_0),
        TOLVMARK_SKIN_IMAGE (meter_1),
        TOLVMARK_SKIN_IMAGE (meter_2),
        TOLVMARK_SKIN_IMAGE (meter_3),
        TOLVMARK_SKIN_IMAGE (meter_4),
        TOLVMARK_SKIN_IMAGE (meter_5),
        TOLVMARK_SKIN_IMAGE (large_meter_0),
        TOLVMARK_SKIN_IMAGE (large_meter_1),
        TOLVMARK_SKIN_IMAGE (large_meter_2),
        TOLVMARK_SKIN_IMAGE (large_meter_3),
        TOLVMARK_SKIN_IMAGE (large_meter_4),
        TOLVMARK_SKIN_IMAGE (large_meter_5),
        TOLVMARK_SKIN_IMAGE (digit_0),
        TOLVMARK_SKIN_IMAGE (digit_1),
        TOLVMARK_SKIN_IMAGE (digit_2),
        TOLVMARK_SKIN_IMAGE (digit_3),
        TOLVMARK_SKIN_IMAGE (digit_4),
        TOLVMARK_SKIN_IMAGE (digit_5),
        TOLVMARK_SKIN_IMAGE (digit_6),
        TOLVMARK_SKIN_IMAGE (digit_7),
        TOLVMARK_SKIN_IMAGE (digit_8),
        TOLVMARK_SKIN_IMAGE (digit_9),
        TOLVMARK_SKIN_IMAGE (dot),
        TOLVMARK_SKIN_IMAGE (fader_cap_h),
        TOLVMARK_SKIN_IMAGE (fader_cap_v),
        TOLVMARK_SKIN_IMAGE (mode_switch_modern),
        TOLVMARK_SKIN_IMAGE (mode_switch_vintage),
        TOLVMARK_SKIN_IMAGE (surround_normal),
        TOLVMARK_SKIN_IMAGE (surround_reversed),
        TOLVMARK_SKIN_IMAGE (logo),
    };
    return table;
}

/** Draws a whole image scaled into a rectangle; an invalid image draws nothing. */
void drawWhole (juce::Graphics& g, const juce::Image& image, int x, int y, int width, int height)
{
    if (image.isValid())
        g.drawImage (image, x, y, width, height, 0, 0, image.getWidth(), image.getHeight());
}
} // namespace

//==============================================================================
CorvaneLookAndFeel::CorvaneLookAndFeel() : labelFont (11.0f, juce::Font::plain)
{
    for (int slot = 0; slot < numSkinSlots; ++slot)
        if (slot != emptySlot)
            skinImages[(size_t) slot] = fromCache (skinTable()[(size_t) slot]);
}

CorvaneLookAndFeel::~CorvaneLookAndFeel() = default;

//==============================================================================
void CorvaneLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&,
                                               bool, bool)
{
    const auto& name = button.getName();
    const int width = button.getWidth(), height = button.getHeight();

    if (name == "ModernVintage")
    {
        drawWhole (g, getSkinImage (button.getToggleState() ? modeSwitchVintage : modeSwitchModern), 0, 0,
                   width, height);
    }
    else if (name == "BypassButton")
    {
        g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x80));

        if (button.getToggleState())
            g.fillRect (0, 0, width, height);
    }
    else if (name == "SurroundButton")
    {
        drawWhole (g, getSkinImage (button.getToggleState() ? surroundReversed : surroundNormal), 0, 0, width,
                   height);
    }
    else if (name == "TolvButton")
    {
        // images are composited with the current colour's opacity: the logo shows at 230/255
        g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0xe6));
        drawWhole (g, getSkinImage (logoSlot), 0, 0, width, height);
    }
}

void CorvaneLookAndFeel::drawButtonText (juce::Graphics&, juce::TextButton&, bool, bool) {}

juce::Font CorvaneLookAndFeel::getPopupMenuFont()
{
    return labelFont;
}

juce::Font CorvaneLookAndFeel::getComboBoxFont (juce::ComboBox&)
{
    return labelFont;
}

void CorvaneLookAndFeel::drawLinearSliderBackground (juce::Graphics&, int, int, int, int, float, float, float,
                                                     juce::Slider::SliderStyle, juce::Slider&)
{
}

void CorvaneLookAndFeel::drawLinearSliderThumb (juce::Graphics& g, int x, int y, int, int height,
                                                float sliderPos, float, float, juce::Slider::SliderStyle,
                                                juce::Slider& slider)
{
    const auto& name = slider.getName();

    if (name == "MixSlider" || name == "HighcutSlider")
    {
        // scaled to the track's height, proportions kept, centred on the thumb position
        const auto& cap = getSkinImage (horizontalFaderCap);

        if (!cap.isValid())
            return;

        const int w = cap.getWidth(), h = cap.getHeight();
        const int left = (int) ((double) sliderPos - (double) w / 2.0);
        g.drawImage (cap, left, y, w * height / h, height, 0, 0, w, h);
    }
    else
    {
        // natural size, centred vertically on the thumb position
        const auto& cap = getSkinImage (verticalFaderCap);

        if (!cap.isValid())
            return;

        const int w = cap.getWidth(), h = cap.getHeight();
        const int top = (int) (sliderPos - (float) (h / 2));
        g.drawImage (cap, x, top, w, h, 0, 0, w, h);
    }
}

void CorvaneLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                           float sliderPosProportional, float, float, juce::Slider& slider)
{
    const auto& name = slider.getName();
    const auto strip = filmStripForName (name);

    if (strip.firstSlot >= 0)
    {
        drawWhole (g, getSkinImage (strip.firstSlot + filmStripFrame (strip, sliderPosProportional)), x, y,
                   width, height);
        return;
    }

    DigitLayout layout;

    if (getDigitLayout (name, sliderPosProportional, x, width, layout))
    {
        for (size_t i = 0; i < layout.digits.size(); ++i)
        {
            if (layout.digits[i] < 0 || layout.digits[i] > 9)
                continue;

            const auto& digit = getSkinImage (digitFirst + layout.digits[i]);
            drawWhole (g, digit, layout.x[i], y, digit.getWidth(), digit.getHeight());
        }
    }
}

juce::Label* CorvaneLookAndFeel::createSliderTextBox (juce::Slider& slider)
{
    auto* label = new juce::Label ("n");
    label->setJustificationType (juce::Justification::right);

    const auto editorBackgroundAlpha =
        (juce::uint8) (slider.getSliderStyle() == juce::Slider::LinearBar ? 0xb2 : 0xff);

    label->setColour (juce::Label::textColourId, juce::Colours::crimson.withAlpha ((juce::uint8) 0x80));
    label->setColour (juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    label->setColour (juce::Label::outlineColourId, juce::Colours::transparentBlack);
    label->setColour (juce::TextEditor::textColourId, slider.findColour (juce::Slider::textBoxTextColourId));
    label->setColour (
        juce::TextEditor::backgroundColourId,
        slider.findColour (juce::Slider::textBoxBackgroundColourId).withAlpha (editorBackgroundAlpha));
    label->setColour (juce::TextEditor::highlightColourId,
                      slider.findColour (juce::Slider::textBoxHighlightColourId));
    label->setColour (juce::TextEditor::outlineColourId,
                      slider.findColour (juce::Slider::textBoxOutlineColourId));
    label->setFont (labelFont);
    return label;
}

//==============================================================================
const juce::Image& CorvaneLookAndFeel::getSkinImage (int slot) const noexcept
{
    static const juce::Image none;
    return juce::isPositiveAndBelow (slot, numSkinSlots) ? skinImages[(size_t) slot] : none;
}

void CorvaneLookAndFeel::setSkinImage (int slot, const juce::Image& image)
{
    if (juce::isPositiveAndBelow (slot, numSkinSlots))
        skinImages[(size_t) slot] = image;
}

CorvaneLookAndFeel::FilmStrip CorvaneLookAndFeel::filmStripForName (const juce::String& name) noexcept
{
    if (name == "DecaySlider")
        return { decayLeverFirst, 16, true };
    if (name == "LowSlider" || name == "HighSlider")
        return { multiplierLeverFirst, 4, false };
    if (name == "DelaySlider")
        return { predelayLeverFirst, 7, false };
    if (name == "VUSlider")
        return { meterFirst, 6, false };
    if (name == "VUSliderBack")
        return { largeMeterFirst, 6, false };
    return {};
}

int CorvaneLookAndFeel::filmStripFrame (const FilmStrip& strip, float pos) noexcept
{
    if (strip.numFrames <= 0)
        return 0;

    // pos x N in single precision, then x 0.99 in double, so pos = 1 shows the last frame
    const float scaled = pos * (float) strip.numFrames;
    const double reduced = (double) scaled * 0.99;

    // positions outside 0..1 (or NaN) never pick a frame outside the strip
    if (!(reduced >= 0.0))
        return 0;
    if (reduced >= (double) strip.numFrames)
        return strip.numFrames - 1;

    const int frame = strip.truncateInDouble ? (int) reduced : (int) (float) reduced;
    return juce::jmin (frame, strip.numFrames - 1);
}

bool CorvaneLookAndFeel::getDigitLayout (const juce::String& name, float pos, int x, int width,
                                         DigitLayout& layout) noexcept
{
    const bool isMix = name == "MixLabel";
    const bool isHighcut = name == "HighcutLabel";

    if (!isMix && !isHighcut)
        return false;

    const float p = pos;

    // positions outside 0..1 (or NaN) would overflow the integer conversions below
    auto truncated = [] (float v) { return (v >= 0.0f && v < 1.0e6f) ? (int) v : -1; };

    layout.x[0] = x;
    layout.x[1] = (int) ((float) width / 3.0f + (float) x);

    if (isMix)
    {
        layout.x[2] = (int) ((float) (2 * width) / 3.0f + (float) x);
        layout.digits[0] = truncated (p);
        layout.digits[1] = truncated (10.0f * p) % 10;
        layout.digits[2] = truncated (100.0f * p) % 10;
    }
    else
    {
        // the high-cut frequency in kHz (5 to 13), shown in tenths; the third digit sits one pixel
        // further right, after the decimal point printed on the background
        const float v = 8.0f * p + 5.0f;
        layout.x[2] = (int) ((float) (2 * width) / 3.0f + (float) x + 1.0f);
        layout.digits[0] = (v >= 0.0f && v < 1.0e6f) ? (int) ((double) v / 10.0) : -1;
        layout.digits[1] = truncated (v) % 10;
        layout.digits[2] = truncated (10.0f * v) % 10;
    }

    return true;
}

//==============================================================================
CorvaneLookAndFeel::EmbeddedImage CorvaneLookAndFeel::getEmbeddedSkinImage (int slot) noexcept
{
    return juce::isPositiveAndBelow (slot, numSkinSlots) ? skinTable()[(size_t) slot] : EmbeddedImage{};
}

CorvaneLookAndFeel::EmbeddedImage CorvaneLookAndFeel::getEmbeddedMainPageBackground() noexcept
{
    return TOLVMARK_SKIN_IMAGE (main_background);
}

CorvaneLookAndFeel::EmbeddedImage CorvaneLookAndFeel::getEmbeddedSettingsPageBackground() noexcept
{
    return TOLVMARK_SKIN_IMAGE (settings_background);
}

juce::Image CorvaneLookAndFeel::fromCache (const EmbeddedImage& embedded)
{
    if (embedded.data == nullptr || embedded.size <= 0)
        return {};

    return juce::ImageCache::getFromMemory (embedded.data, embedded.size);
}

juce::Image CorvaneLookAndFeel::loadSkinImage (int slot)
{
    return fromCache (getEmbeddedSkinImage (slot));
}

juce::Image CorvaneLookAndFeel::getMainPageBackground()
{
    return fromCache (getEmbeddedMainPageBackground());
}

juce::Image CorvaneLookAndFeel::getSettingsPageBackground()
{
    return fromCache (getEmbeddedSettingsPageBackground());
}
