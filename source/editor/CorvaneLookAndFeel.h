#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

/**
    The editor's look-and-feel: draws every control of the editor from the embedded skin images.

    Levers and meters are film strips of pre-rendered frames, the high-cut and mix displays are built
    from seven-segment digit images, faders get an image cap, switches show one of two pictures by
    toggle state, the bypass lamp is shaded when bypassed and the logo is an image. The drawing is chosen
    by the control's component name ("DecaySlider", "VUSliderBack", "BypassButton", ...): a rotary slider
    or button whose name is not one of the skinned controls draws nothing, and every linear slider other
    than the two horizontal faders gets the vertical fader cap.

    The skin images are decoded once, through juce::ImageCache, when the look-and-feel is constructed.
    Everything not overridden here is drawn as juce::LookAndFeel_V2 draws it.

    All members run on the message thread.
*/
class CorvaneLookAndFeel : public juce::LookAndFeel_V2
{
public:
    /** Number of skin image slots (0-57). */
    static constexpr int numSkinSlots = 58;

    /** The skin image slots, in loading order. */
    enum SkinSlot
    {
        decayLeverFirst = 0,       ///< 16 decay lever frames, knob at the bottom to knob at the top
        multiplierLeverFirst = 16, ///< 4 frames of the low / high multiplier levers
        predelayLeverFirst = 20,   ///< 7 frames of the pre-delay lever
        emptySlot = 27,            ///< never loaded, never drawn
        meterFirst = 28,           ///< 6 frames of the small input meter (0 to 5 LEDs lit)
        largeMeterFirst = 34,      ///< 6 frames of the large input meter (0 to 5 LEDs lit)
        digitFirst = 40,           ///< seven-segment digits 0 to 9
        dotSlot = 50,              ///< small red dot (loaded, not drawn)
        horizontalFaderCap = 51,   ///< cap of the high-cut and mix faders
        verticalFaderCap = 52,     ///< cap of the five level faders
        modeSwitchModern = 53,     ///< mode switch with its modern legend lit
        modeSwitchVintage = 54,    ///< mode switch with its vintage legend lit
        surroundNormal = 55,       ///< speaker disc, front pair on top
        surroundReversed = 56,     ///< speaker disc, rear pair on top
        logoSlot = 57              ///< the logo badge
    };

    /** A film strip: its first slot and number of frames. */
    struct FilmStrip
    {
        int firstSlot = -1;
        int numFrames = 0;
        bool truncateInDouble = false; ///< the frame index is truncated from the double product
    };

    /** Where the three digits of a display go and which digits they are. */
    struct DigitLayout
    {
        std::array<int, 3> digits{}; ///< digit values; a value outside 0-9 is not drawn
        std::array<int, 3> x{};      ///< left edges of the three digits
    };

    /** Pointer and length of one embedded PNG. */
    struct EmbeddedImage
    {
        const void* data = nullptr;
        int size = 0;
    };

    /** Loads the skin images (message thread; decodes the images unless the image cache holds them). */
    CorvaneLookAndFeel();

    /** Releases the skin images and the font (message thread). */
    ~CorvaneLookAndFeel() override;

    //==============================================================================
    /** Draws the switches, the bypass shade and the logo by button name; other buttons draw nothing. */
    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    /** Draws nothing: no button shows its text. */
    void drawButtonText (juce::Graphics&, juce::TextButton&, bool shouldDrawButtonAsHighlighted,
                         bool shouldDrawButtonAsDown) override;

    /** Returns the 11-high plain label font. */
    juce::Font getPopupMenuFont() override;

    /** Returns the 11-high plain label font. */
    juce::Font getComboBoxFont (juce::ComboBox&) override;

    /** Draws nothing: the fader slots are part of the page backgrounds. */
    void drawLinearSliderBackground (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                     float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle,
                                     juce::Slider&) override;

    /** Draws the fader cap image: scaled to the track height for "MixSlider" and "HighcutSlider",
        at natural size for every other linear slider. Draws nothing if the cap image is missing. */
    void drawLinearSliderThumb (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle,
                                juce::Slider&) override;

    /** Draws the levers and meters as film strips and the two displays as digits, by slider name. */
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPosProportional,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;

    /** Creates the value box of the level faders: a right-justified label named "n" with
        half-transparent crimson text. Allocates; the slider owns the label. */
    juce::Label* createSliderTextBox (juce::Slider&) override;

    //==============================================================================
    /** The image held in a skin slot; an invalid image for slot 27, an undecodable PNG or an
        out-of-range slot. Does not allocate. */
    const juce::Image& getSkinImage (int slot) const noexcept;

    /** The film strip drawn for a rotary slider of this name, or one with firstSlot -1 if the name
        draws no film strip. Pure; does not allocate. */
    static FilmStrip filmStripForName (const juce::String& componentName) noexcept;

    /** The frame (0 .. numFrames-1) a film strip shows at a proportional slider position. Pure. */
    static int filmStripFrame (const FilmStrip& strip, float sliderPosProportional) noexcept;

    /** The digits and their positions for "MixLabel" or "HighcutLabel" in a display of the given
        left edge and width; false for any other name. Pure; does not allocate. */
    static bool getDigitLayout (const juce::String& componentName, float sliderPosProportional, int x,
                                int width, DigitLayout& layout) noexcept;

    /** The embedded PNG of a skin slot (null data for slot 27, out-of-range slots, or a build
        without skin images). Any thread; does not allocate. */
    static EmbeddedImage getEmbeddedSkinImage (int slot) noexcept;

    /** The embedded PNG of the main page background. Any thread; does not allocate. */
    static EmbeddedImage getEmbeddedMainPageBackground() noexcept;

    /** The embedded PNG of the settings page background. Any thread; does not allocate. */
    static EmbeddedImage getEmbeddedSettingsPageBackground() noexcept;

    /** The image of a skin slot from juce::ImageCache (decoded on a cache miss); invalid for slot 27.
        The editor sizes its levers with this. Message thread. */
    static juce::Image loadSkinImage (int slot);

    /** The main page background (862 x 328) from juce::ImageCache. Message thread. */
    static juce::Image getMainPageBackground();

    /** The settings page background (862 x 328) from juce::ImageCache. Message thread. */
    static juce::Image getSettingsPageBackground();

protected:
    /** Replaces the image held in a skin slot (for a derived skin; an invalid image removes it).
        Message thread. */
    void setSkinImage (int slot, const juce::Image& image);

private:
    static juce::Image fromCache (const EmbeddedImage&);

    juce::Font labelFont;
    std::array<juce::Image, numSkinSlots> skinImages;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CorvaneLookAndFeel)
};
