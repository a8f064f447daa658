// skin_painter: draws the editor's skin images and writes them as PNG files.
//
// Every picture is painted here with juce::Graphics, so the art can be edited and regenerated.
// The geometry of the page backgrounds follows the editor's control bounds (content space of
// 862 x 328), so slots, scales and windows sit exactly under the controls that draw over them.

#include <juce_graphics/juce_graphics.h>

#include <cmath>
#include <iostream>

namespace
{
using juce::Colour;
using juce::Graphics;
using juce::Image;
using juce::Rectangle;

//==============================================================================
// Palette

const Colour panelBase{ 0xff2b2e33 };
const Colour panelDark{ 0xff1b1d20 };
const Colour legendColour{ 0xffd4d7db };
const Colour scaleColour{ 0xffa3a8ae };
const Colour accentRed{ 0xffd8322b };
const Colour ledRedOn{ 0xffff3b2a };

//==============================================================================
// Fonts: DejaVu, loaded from the Debian font directory so the output does not depend on the
// machine's font configuration.

struct Fonts
{
    juce::Typeface::Ptr sans, sansBold, condensedBold;

    static juce::Typeface::Ptr load (const juce::String& fileName)
    {
        juce::MemoryBlock data;
        juce::File file (juce::String (TOLVMARK_FONT_DIR) + "/" + fileName);

        if (file.loadFileAsData (data) && data.getSize() > 0)
            return juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());

        std::cerr << "warning: font " << file.getFullPathName() << " not found, using the default sans\n";
        return nullptr;
    }

    Fonts()
        : sans (load ("DejaVuSans.ttf")), sansBold (load ("DejaVuSans-Bold.ttf")),
          condensedBold (load ("DejaVuSansCondensed-Bold.ttf"))
    {
        if (condensedBold == nullptr)
            condensedBold = sansBold;
    }

    static juce::Font make (const juce::Typeface::Ptr& t, float height, bool boldFallback)
    {
        if (t != nullptr)
            return juce::Font (t).withHeight (height);
        return juce::Font (height, boldFallback ? juce::Font::bold : juce::Font::plain);
    }

    juce::Font regular (float h) const { return make (sans, h, false); }
    juce::Font bold (float h) const { return make (sansBold, h, true); }
    juce::Font condensed (float h) const { return make (condensedBold, h, true); }
};

const Fonts& fonts()
{
    static Fonts f;
    return f;
}

//==============================================================================
// Drawing helpers

/** Fills an area with a brushed, anodised metal texture: long horizontal streaks of noise. */
void fillBrushed (Image& image, Rectangle<int> area, Colour base, float strength, juce::int64 seed)
{
    area = area.getIntersection (image.getBounds());
    juce::Random random (seed);
    const int w = area.getWidth();
    std::vector<float> noise ((size_t) w + 64), row ((size_t) w);

    Image::BitmapData data (image, area.getX(), area.getY(), w, area.getHeight(),
                            Image::BitmapData::readWrite);

    for (int y = 0; y < area.getHeight(); ++y)
    {
        for (auto& n : noise)
            n = random.nextFloat() - 0.5f;

        // a moving average of 48 samples turns white noise into long streaks
        float acc = 0.0f;
        for (int i = 0; i < 48; ++i)
            acc += noise[(size_t) i];
        for (int x = 0; x < w; ++x)
        {
            row[(size_t) x] = acc / 48.0f;
            acc += noise[(size_t) x + 48] - noise[(size_t) x];
        }

        const float rowShade = (random.nextFloat() - 0.5f) * 0.35f;

        for (int x = 0; x < w; ++x)
        {
            const float fine = (random.nextFloat() - 0.5f) * 0.25f;
            const float v = (row[(size_t) x] * 6.0f + rowShade + fine) * strength;
            const Colour c = v >= 0.0f ? base.brighter (v) : base.darker (-v);
            data.setPixelColour (x, y, c);
        }
    }
}

void text (Graphics& g, const juce::String& s, Rectangle<float> r, const juce::Font& font, Colour colour,
           juce::Justification j = juce::Justification::centred, float kerning = 0.0f)
{
    g.setColour (colour);
    g.setFont (kerning != 0.0f ? font.withExtraKerningFactor (kerning) : font);
    g.drawText (s, r, j, false);
}

/** A printed panel legend: light, bold, slightly letter-spaced capitals. */
void legend (Graphics& g, const juce::String& s, Rectangle<float> r, float height = 8.5f,
             juce::Justification j = juce::Justification::centred)
{
    text (g, s, r, fonts().bold (height), legendColour, j, 0.08f);
}

/** A recessed area: dark fill with a shadowed top-left and a lit bottom-right edge. */
void recess (Graphics& g, Rectangle<float> r, float corner, Colour fill)
{
    g.setColour (fill);
    g.fillRoundedRectangle (r, corner);
    g.setColour (juce::Colours::black.withAlpha (0.55f));
    g.drawRoundedRectangle (r.reduced (0.5f), corner, 1.0f);
    juce::ColourGradient edge (juce::Colours::transparentWhite, r.getX(), r.getY(),
                               juce::Colours::white.withAlpha (0.16f), r.getRight(), r.getBottom(), false);
    g.setGradientFill (edge);
    g.drawRoundedRectangle (r.expanded (0.5f), corner + 0.5f, 1.0f);
}

/** A slot cut through the panel, as the levers and faders run in. */
void slot (Graphics& g, Rectangle<float> r)
{
    const float corner = juce::jmin (r.getWidth(), r.getHeight()) * 0.5f;
    recess (g, r, corner, Colour (0xff060607));
    // a faint glint of the mechanism inside the slot
    g.setColour (juce::Colours::white.withAlpha (0.06f));
    if (r.getHeight() > r.getWidth())
        g.fillRect (r.withSizeKeepingCentre (1.0f, r.getHeight() - r.getWidth()));
    else
        g.fillRect (r.withSizeKeepingCentre (r.getWidth() - r.getHeight(), 1.0f));
}

void screw (Graphics& g, float cx, float cy)
{
    const float r = 4.5f;
    g.setColour (juce::Colours::black.withAlpha (0.45f));
    g.fillEllipse (cx - r + 0.8f, cy - r + 1.2f, 2 * r, 2 * r);
    juce::ColourGradient head (Colour (0xffe2e4e6), cx - r, cy - r, Colour (0xff6d7176), cx + r, cy + r,
                               false);
    g.setGradientFill (head);
    g.fillEllipse (cx - r, cy - r, 2 * r, 2 * r);
    g.setColour (Colour (0xff3c3f43));
    g.drawEllipse (cx - r, cy - r, 2 * r, 2 * r, 0.6f);
    g.setColour (Colour (0xff33363a));
    juce::Path cross;
    cross.addRectangle (cx - 2.8f, cy - 0.6f, 5.6f, 1.2f);
    cross.addRectangle (cx - 0.6f, cy - 2.8f, 1.2f, 5.6f);
    cross.applyTransform (juce::AffineTransform::rotation (0.5f, cx, cy));
    g.fillPath (cross);
}

/** The black window of a seven-segment display. */
void displayWindow (Graphics& g, Rectangle<float> r)
{
    recess (g, r, 2.5f, Colour (0xff0b0404));
    juce::ColourGradient glass (juce::Colours::white.withAlpha (0.07f), r.getX(), r.getY(),
                                juce::Colours::transparentWhite, r.getX(), r.getCentreY(), false);
    g.setGradientFill (glass);
    g.fillRoundedRectangle (r.reduced (1.5f), 2.0f);
}

/** A round push button, used for the page switch. */
void pushButton (Graphics& g, float cx, float cy, float r, Colour cap)
{
    g.setColour (juce::Colours::black.withAlpha (0.5f));
    g.fillEllipse (cx - r - 2.0f, cy - r - 2.0f, 2 * r + 4.0f, 2 * r + 4.0f);
    juce::ColourGradient bezel (Colour (0xffbfc3c7), cx, cy - r, Colour (0xff45484c), cx, cy + r, false);
    g.setGradientFill (bezel);
    g.fillEllipse (cx - r, cy - r, 2 * r, 2 * r);
    const float ri = r - 2.5f;
    juce::ColourGradient face (cap.brighter (0.5f), cx - ri * 0.5f, cy - ri, cap.darker (0.6f),
                               cx + ri * 0.4f, cy + ri, true);
    g.setGradientFill (face);
    g.fillEllipse (cx - ri, cy - ri, 2 * ri, 2 * ri);
    g.setColour (juce::Colours::white.withAlpha (0.25f));
    g.drawEllipse (cx - ri + 1.5f, cy - ri + 1.0f, 2 * ri - 3.0f, 2 * ri - 3.0f, 0.8f);
}

/** A lit lamp (the bypass lamp, seen through its lens). */
void lamp (Graphics& g, float cx, float cy, float r, Colour lit)
{
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.fillEllipse (cx - r - 2.5f, cy - r - 2.5f, 2 * r + 5.0f, 2 * r + 5.0f);
    juce::ColourGradient bezel (Colour (0xffd0d3d6), cx, cy - r - 1.0f, Colour (0xff3a3d41), cx,
                                cy + r + 1.0f, false);
    g.setGradientFill (bezel);
    g.fillEllipse (cx - r - 1.0f, cy - r - 1.0f, 2 * r + 2.0f, 2 * r + 2.0f);
    juce::ColourGradient lens (lit.brighter (0.8f), cx - r * 0.3f, cy - r * 0.4f, lit.darker (0.5f), cx + r,
                               cy + r, true);
    g.setGradientFill (lens);
    g.fillEllipse (cx - r + 1.0f, cy - r + 1.0f, 2 * r - 2.0f, 2 * r - 2.0f);
    g.setColour (juce::Colours::white.withAlpha (0.45f));
    g.fillEllipse (cx - r * 0.5f, cy - r * 0.6f, r * 0.6f, r * 0.4f);
}

Image newImage (int w, int h, bool alpha)
{
    Image image (alpha ? Image::ARGB : Image::RGB, w, h, true, juce::SoftwareImageType());
    return image;
}

//==============================================================================
// Levers

/** Where the editor places the four levers (content space) and the travel of their knobs. */
struct LeverLayout
{
    static constexpr int frameWidth = 170, frameHeight = 315;
    static constexpr float knobBottom = 222.0f, knobTop = 66.0f; // knob centre, content space
    static constexpr float slotTop = 52.0f, slotBottom = 236.0f;

    int originX, originY, frames;

    float centreX() const { return (float) originX + frameWidth * 0.5f; }
    float knobY (int frame) const
    {
        return knobBottom - (knobBottom - knobTop) * (float) frame / (float) (frames - 1);
    }
};

const LeverLayout decayLever{ 141, 12, 16 };
const LeverLayout lowLever{ 271, 0, 4 };
const LeverLayout highLever{ 402, 0, 4 };
const LeverLayout delayLever{ 527, 0, 7 };

/** The machined lever cap, centred on (cx, cy). */
void leverKnob (Graphics& g, float cx, float cy, bool red)
{
    const float w = 46.0f, h = 24.0f;
    const Rectangle<float> body (cx - w / 2, cy - h / 2, w, h);

    // soft shadow, cast down and to the right
    for (int i = 6; i > 0; --i)
    {
        g.setColour (juce::Colours::black.withAlpha (0.07f));
        g.fillRoundedRectangle (body.translated (2.0f, 4.0f).expanded ((float) i * 0.9f), 5.0f + (float) i);
    }

    const Colour top = red ? Colour (0xffff6a5c) : Colour (0xfff4f5f6);
    const Colour mid = red ? Colour (0xffc4201a) : Colour (0xffa9adb2);
    const Colour low = red ? Colour (0xff6e0d0a) : Colour (0xff5c6066);

    juce::ColourGradient cylinder (top, cx, body.getY(), low, cx, body.getBottom(), false);
    cylinder.addColour (0.35, mid.brighter (0.25f));
    cylinder.addColour (0.55, mid);
    g.setGradientFill (cylinder);
    g.fillRoundedRectangle (body, 4.5f);

    // brushed face: fine vertical streaks
    juce::Random random (red ? 11 : 7);
    for (float x = body.getX() + 2.0f; x < body.getRight() - 2.0f; x += 1.0f)
    {
        g.setColour ((random.nextBool() ? juce::Colours::white : juce::Colours::black).withAlpha (0.05f));
        g.drawVerticalLine ((int) x, body.getY() + 2.0f, body.getBottom() - 2.0f);
    }

    // bevels
    g.setColour (juce::Colours::white.withAlpha (0.55f));
    g.drawLine (body.getX() + 4.0f, body.getY() + 1.0f, body.getRight() - 4.0f, body.getY() + 1.0f, 1.0f);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.drawRoundedRectangle (body.reduced (0.5f), 4.5f, 1.0f);

    // engraved index line across the cap
    g.setColour (red ? Colour (0xff3a0503) : Colour (0xff25282c));
    g.fillRect (body.getX() + 3.0f, cy - 1.0f, w - 6.0f, 1.5f);
    g.setColour (juce::Colours::white.withAlpha (red ? 0.35f : 0.7f));
    g.fillRect (body.getX() + 3.0f, cy + 0.5f, w - 6.0f, 1.0f);

    // side grips
    g.setColour (juce::Colours::black.withAlpha (0.35f));
    for (int i = 0; i < 3; ++i)
    {
        g.fillRect (body.getX() + 5.0f + (float) i * 2.5f, body.getY() + 5.0f, 1.0f, h - 10.0f);
        g.fillRect (body.getRight() - 6.0f - (float) i * 2.5f, body.getY() + 5.0f, 1.0f, h - 10.0f);
    }
}

Image leverFrame (const LeverLayout& lever, int frame, bool red)
{
    Image image = newImage (LeverLayout::frameWidth, LeverLayout::frameHeight, true);
    Graphics g (image);
    leverKnob (g, LeverLayout::frameWidth * 0.5f, lever.knobY (frame) - (float) lever.originY, red);
    return image;
}

/** The slot of a lever with its printed scale, drawn on the main page background. */
void leverSlotAndScale (Graphics& g, const LeverLayout& lever, const juce::StringArray& marks,
                        const juce::String& title, const juce::String& unit)
{
    const float cx = lever.centreX();
    slot (g, { cx - 4.0f, LeverLayout::slotTop, 8.0f, LeverLayout::slotBottom - LeverLayout::slotTop });

    const auto font = fonts().condensed (marks.size() > 8 ? 8.5f : 9.5f);
    for (int i = 0; i < lever.frames; ++i)
    {
        const float y = lever.knobY (i);
        const bool major = lever.frames <= 8 || i % 3 == 0 || i == lever.frames - 1;
        g.setColour (scaleColour);
        g.fillRect (cx - 34.0f, y - 0.5f, major ? 8.0f : 6.0f, 1.0f);
        g.fillRect (cx + (major ? 26.0f : 28.0f), y - 0.5f, major ? 8.0f : 6.0f, 1.0f);
        text (g, marks[i], { cx - 66.0f, y - 6.0f, 29.0f, 12.0f }, font, major ? legendColour : scaleColour,
              juce::Justification::centredRight);
    }

    legend (g, title, { cx - 60.0f, 30.0f, 120.0f, 12.0f }, 9.5f);
    text (g, unit, { cx - 40.0f, LeverLayout::slotBottom + 4.0f, 80.0f, 10.0f }, fonts().condensed (8.0f),
          scaleColour, juce::Justification::centred, 0.1f);
}

//==============================================================================
// Meters

enum class Led
{
    green,
    amber,
    red
};

Colour ledColour (Led kind)
{
    switch (kind)
    {
        case Led::green:
            return Colour (0xff3cf25a);
        case Led::amber:
            return Colour (0xffffb020);
        case Led::red:
            return ledRedOn;
    }
    return ledRedOn;
}

void ledBar (Graphics& g, Rectangle<float> r, Led kind, bool on)
{
    const Colour c = ledColour (kind);
    const float corner = juce::jmin (r.getHeight(), r.getWidth()) * 0.18f;

    if (on)
    {
        for (int i = 4; i > 0; --i)
        {
            g.setColour (c.withAlpha (0.07f));
            g.fillRoundedRectangle (r.expanded ((float) i * r.getHeight() * 0.08f), corner + (float) i);
        }
        juce::ColourGradient lens (c.brighter (0.9f), r.getCentreX(), r.getCentreY(), c.darker (0.15f),
                                   r.getX(), r.getY(), true);
        g.setGradientFill (lens);
    }
    else
    {
        juce::ColourGradient lens (c.darker (2.2f).withMultipliedSaturation (0.6f), r.getCentreX(), r.getY(),
                                   c.darker (3.5f).withMultipliedSaturation (0.5f), r.getCentreX(),
                                   r.getBottom(), false);
        g.setGradientFill (lens);
    }
    g.fillRoundedRectangle (r, corner);

    g.setColour (juce::Colours::white.withAlpha (on ? 0.35f : 0.08f));
    g.fillRoundedRectangle (
        r.withHeight (r.getHeight() * 0.3f).reduced (r.getWidth() * 0.08f, 0.0f).translated (0, 1.0f),
        corner);
    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.drawRoundedRectangle (r, corner, 1.0f);
}

const Led meterLeds[5] = { Led::green, Led::green, Led::green, Led::amber, Led::red };

/** The small input meter module: five LEDs, the top one the alarm LED. */
Image smallMeter (int lit)
{
    Image image = newImage (68, 120, true);
    Graphics g (image);
    const Rectangle<float> outer (0.5f, 0.5f, 67.0f, 119.0f);

    juce::ColourGradient bezel (Colour (0xff8e9399), 0, 0, Colour (0xff2c2f33), 0, 120, false);
    g.setGradientFill (bezel);
    g.fillRoundedRectangle (outer, 6.0f);
    recess (g, outer.reduced (4.0f), 4.0f, Colour (0xff0c0d0e));

    for (int i = 0; i < 5; ++i)
    {
        const float y = 94.0f - (float) i * 20.5f;
        ledBar (g, { 17.0f, y, 34.0f, 14.0f }, meterLeds[i], i < lit);
    }
    // small tick marks beside the LEDs
    g.setColour (scaleColour.withAlpha (0.7f));
    for (int i = 0; i < 5; ++i)
    {
        const float y = 101.0f - (float) i * 20.5f;
        g.fillRect (10.0f, y - 0.5f, 4.0f, 1.0f);
        g.fillRect (54.0f, y - 0.5f, 4.0f, 1.0f);
    }
    g.setColour (juce::Colours::black);
    g.drawRoundedRectangle (outer, 6.0f, 1.0f);
    return image;
}

/** The large meter of the settings page, designed at 142 x 215 and drawn at any size. */
Image largeMeter (int w, int h, int lit)
{
    Image image = newImage (w, h, false);
    Graphics g (image);
    g.addTransform (juce::AffineTransform::scale ((float) w / 142.0f, (float) h / 215.0f));

    juce::ColourGradient bezel (Colour (0xff9aa0a6), 0, 0, Colour (0xff24272b), 0, 215, false);
    bezel.addColour (0.5, Colour (0xff5a5f65));
    g.setGradientFill (bezel);
    g.fillRect (0.0f, 0.0f, 142.0f, 215.0f);
    g.setColour (juce::Colours::black);
    g.drawRect (0.0f, 0.0f, 142.0f, 215.0f, 1.5f);
    recess (g, { 9.0f, 9.0f, 124.0f, 197.0f }, 6.0f, Colour (0xff0b0c0d));

    for (int i = 0; i < 5; ++i)
    {
        const float y = 170.0f - (float) i * 37.0f;
        ledBar (g, { 34.0f, y, 74.0f, 26.0f }, meterLeds[i], i < lit);
        g.setColour (scaleColour.withAlpha (0.6f));
        g.fillRect (20.0f, y + 12.0f, 8.0f, 2.0f);
        g.fillRect (114.0f, y + 12.0f, 8.0f, 2.0f);
    }
    return image;
}

//==============================================================================
// Seven-segment digits

const int segmentsOfDigit[10] = {
    // bits: a b c d e f g (a = top, then clockwise, g = middle)
    0b1111110, 0b0110000, 0b1101101, 0b1111001, 0b0110011,
    0b1011011, 0b1011111, 0b1110000, 0b1111111, 0b1111011,
};

void sevenSegment (Graphics& g, int digit, Rectangle<float> r, float t)
{
    const float x0 = r.getX(), y0 = r.getY(), w = r.getWidth(), h = r.getHeight();
    const float ym = y0 + h * 0.5f;
    auto horizontal = [&] (float y)
    {
        juce::Path p;
        p.addRoundedRectangle (x0 + t * 0.9f, y - t * 0.5f, w - t * 1.8f, t, t * 0.45f);
        return p;
    };
    auto vertical = [&] (float x, float ya, float yb)
    {
        juce::Path p;
        p.addRoundedRectangle (x - t * 0.5f, ya + t * 0.55f, t, yb - ya - t * 1.1f, t * 0.45f);
        return p;
    };
    const juce::Path segments[7] = {
        horizontal (y0 + t * 0.5f),                          // a
        vertical (x0 + w - t * 0.5f, y0 + t * 0.5f, ym),     // b
        vertical (x0 + w - t * 0.5f, ym, y0 + h - t * 0.5f), // c
        horizontal (y0 + h - t * 0.5f),                      // d
        vertical (x0 + t * 0.5f, ym, y0 + h - t * 0.5f),     // e
        vertical (x0 + t * 0.5f, y0 + t * 0.5f, ym),         // f
        horizontal (ym),                                     // g
    };

    const auto slant = juce::AffineTransform::shear (-0.07f, 0.0f).translated (0.07f * (y0 + h), 0.0f);
    for (int s = 0; s < 7; ++s)
    {
        const bool on = (segmentsOfDigit[digit] >> (6 - s)) & 1;
        g.setColour (on ? ledRedOn : Colour (0x24ff3b2a));
        g.fillPath (segments[s], slant);
    }
}

Image digitImage (int digit)
{
    Image image = newImage (10, 17, true);
    Graphics g (image);
    sevenSegment (g, digit, { 1.0f, 0.5f, 8.0f, 16.0f }, 2.0f);
    return image;
}

Image dotImage()
{
    Image image = newImage (8, 8, true);
    Graphics g (image);
    g.setColour (ledRedOn.withAlpha (0.25f));
    g.fillEllipse (0.5f, 0.5f, 7.0f, 7.0f);
    g.setColour (ledRedOn);
    g.fillEllipse (2.0f, 2.0f, 4.0f, 4.0f);
    return image;
}

//==============================================================================
// Fader cap

Image faderCap()
{
    Image image = newImage (18, 53, true);
    Graphics g (image);
    const Rectangle<float> body (1.5f, 1.0f, 15.0f, 50.5f);

    g.setColour (juce::Colours::black.withAlpha (0.35f));
    g.fillRoundedRectangle (body.translated (1.0f, 1.0f).expanded (0.5f), 3.0f);

    juce::ColourGradient side (Colour (0xff4a4e54), body.getX(), 0, Colour (0xff1c1e21), body.getRight(), 0,
                               false);
    side.addColour (0.3, Colour (0xff6b7078));
    g.setGradientFill (side);
    g.fillRoundedRectangle (body, 3.0f);

    // ribbed top
    for (float y = 5.0f; y < 48.0f; y += 3.0f)
    {
        if (std::abs (y - 26.0f) < 4.0f)
            continue;
        g.setColour (juce::Colours::black.withAlpha (0.45f));
        g.fillRect (body.getX() + 2.0f, y, body.getWidth() - 4.0f, 1.0f);
        g.setColour (juce::Colours::white.withAlpha (0.12f));
        g.fillRect (body.getX() + 2.0f, y + 1.0f, body.getWidth() - 4.0f, 1.0f);
    }
    // white index line across the middle and a groove along the cap
    g.setColour (Colour (0xfff2f2f2));
    g.fillRect (body.getX() + 1.0f, 25.5f, body.getWidth() - 2.0f, 2.0f);
    g.setColour (juce::Colours::black.withAlpha (0.5f));
    g.fillRect (8.5f, 3.0f, 1.0f, 21.0f);
    g.fillRect (8.5f, 29.0f, 1.0f, 21.0f);

    g.setColour (juce::Colours::white.withAlpha (0.3f));
    g.drawLine (body.getX() + 3.0f, body.getY() + 0.8f, body.getRight() - 3.0f, body.getY() + 0.8f, 1.0f);
    g.setColour (juce::Colours::black.withAlpha (0.8f));
    g.drawRoundedRectangle (body, 3.0f, 1.0f);
    return image;
}

//==============================================================================
// Mode switch

Image modeSwitch (bool vintage)
{
    Image image = newImage (81, 50, true);
    Graphics g (image);
    const Rectangle<float> plate (0.5f, 0.5f, 80.0f, 49.0f);

    juce::ColourGradient face (Colour (0xff3a3e44), 0, 0, Colour (0xff1d1f22), 0, 50, false);
    g.setGradientFill (face);
    g.fillRoundedRectangle (plate, 5.0f);
    g.setColour (juce::Colours::black);
    g.drawRoundedRectangle (plate, 5.0f, 1.0f);
    g.setColour (juce::Colours::white.withAlpha (0.15f));
    g.drawLine (5.0f, 1.5f, 76.0f, 1.5f, 1.0f);

    const auto font = fonts().condensed (9.0f);
    const Colour lit = Colour (0xffff5a3c), dim = Colour (0xff6a6e74);
    text (g, "MODERN", { 2.0f, 4.0f, 38.0f, 12.0f }, font, vintage ? dim : lit);
    text (g, "VINTAGE", { 40.0f, 4.0f, 39.0f, 12.0f }, font, vintage ? lit : dim);
    // the lit legend gets a faint glow
    const Rectangle<float> litArea =
        vintage ? Rectangle<float> (42.0f, 5.0f, 35.0f, 10.0f) : Rectangle<float> (4.0f, 5.0f, 34.0f, 10.0f);
    g.setColour (lit.withAlpha (0.10f));
    g.fillRoundedRectangle (litArea.expanded (1.5f), 3.0f);

    // slide switch
    const Rectangle<float> track (10.0f, 22.0f, 61.0f, 20.0f);
    recess (g, track, 4.0f, Colour (0xff070708));
    const Rectangle<float> thumb = vintage ? Rectangle<float> (41.0f, 23.5f, 28.0f, 17.0f)
                                           : Rectangle<float> (12.0f, 23.5f, 28.0f, 17.0f);
    juce::ColourGradient metal (Colour (0xfff0f1f2), 0, thumb.getY(), Colour (0xff6b7076), 0,
                                thumb.getBottom(), false);
    g.setGradientFill (metal);
    g.fillRoundedRectangle (thumb, 3.0f);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.drawRoundedRectangle (thumb, 3.0f, 1.0f);
    for (int i = 0; i < 5; ++i)
    {
        const float x = thumb.getX() + 7.0f + (float) i * 3.5f;
        g.setColour (juce::Colours::black.withAlpha (0.4f));
        g.fillRect (x, thumb.getY() + 3.5f, 1.0f, thumb.getHeight() - 7.0f);
        g.setColour (juce::Colours::white.withAlpha (0.4f));
        g.fillRect (x + 1.0f, thumb.getY() + 3.5f, 1.0f, thumb.getHeight() - 7.0f);
    }
    // LED under the lit legend
    const float ledX = vintage ? 75.0f : 6.0f;
    g.setColour (lit.withAlpha (0.3f));
    g.fillEllipse (ledX - 3.5f, 28.5f, 7.0f, 7.0f);
    g.setColour (lit);
    g.fillEllipse (ledX - 2.0f, 30.0f, 4.0f, 4.0f);
    return image;
}

//==============================================================================
// Surround disc

Image surroundDisc (bool reversed)
{
    Image image = newImage (77, 89, true);
    Graphics g (image);
    const float cx = 38.5f, cy = 38.0f, r = 36.5f;

    g.setColour (juce::Colours::black.withAlpha (0.45f));
    g.fillEllipse (cx - r + 0.5f, cy - r + 1.5f, 2 * r, 2 * r);
    juce::ColourGradient rim (Colour (0xffd6d9dc), cx, cy - r, Colour (0xff3b3e42), cx, cy + r, false);
    g.setGradientFill (rim);
    g.fillEllipse (cx - r, cy - r, 2 * r, 2 * r);
    const float ri = r - 4.0f;
    juce::ColourGradient face (Colour (0xff2c2f34), cx, cy - ri, Colour (0xff141517), cx, cy + ri, false);
    g.setGradientFill (face);
    g.fillEllipse (cx - ri, cy - ri, 2 * ri, 2 * ri);
    g.setColour (juce::Colours::black);
    g.drawEllipse (cx - ri, cy - ri, 2 * ri, 2 * ri, 1.0f);
    g.setColour (scaleColour.withAlpha (0.25f));
    g.drawEllipse (cx - 13.0f, cy - 13.0f, 26.0f, 26.0f, 0.8f);

    // the five speakers: front pair, rear pair, centre in the middle
    struct Speaker
    {
        const char* name;
        float x, y;
        bool front;
    };
    const float upper = cy - 17.0f, lower = cy + 17.0f;
    const Speaker speakers[] = {
        { "L", cx - 17.0f, reversed ? lower : upper, true },
        { "R", cx + 17.0f, reversed ? lower : upper, true },
        { "LS", cx - 17.0f, reversed ? upper : lower, false },
        { "RS", cx + 17.0f, reversed ? upper : lower, false },
        { "C", cx, cy, true },
    };
    for (const auto& s : speakers)
    {
        const float rs = 8.0f;
        const Colour c = s.front ? Colour (0xffeef0f2) : Colour (0xffff5a3c);
        g.setColour (c.withAlpha (0.15f));
        g.fillEllipse (s.x - rs, s.y - rs, 2 * rs, 2 * rs);
        g.setColour (c.withAlpha (0.8f));
        g.drawEllipse (s.x - rs, s.y - rs, 2 * rs, 2 * rs, 1.0f);
        text (g, s.name, { s.x - rs, s.y - rs, 2 * rs, 2 * rs }, fonts().condensed (8.0f), c);
    }

    // invert tag
    const Rectangle<float> tag (17.5f, 77.0f, 42.0f, 11.0f);
    g.setColour (reversed ? Colour (0xffb81f18) : Colour (0xff26292d));
    g.fillRoundedRectangle (tag, 2.5f);
    g.setColour (juce::Colours::black);
    g.drawRoundedRectangle (tag, 2.5f, 1.0f);
    text (g, "INVERT", tag, fonts().condensed (7.5f), reversed ? juce::Colours::white : Colour (0xff7d8289),
          juce::Justification::centred, 0.08f);
    return image;
}

//==============================================================================
// Logo badge

/** The badge is designed on an 89 x 46 canvas and squeezed into 89 x 33: the editor stretches
    the logo into a taller button (about 1.4 times), so on screen it appears in its designed
    proportions. */
void paintLogo (Graphics& g, Rectangle<float> r)
{
    g.saveState();
    const float designHeight = 46.0f;
    g.addTransform (juce::AffineTransform::scale (r.getWidth() / 89.0f, r.getHeight() / designHeight)
                        .translated (r.getX(), r.getY()));
    const Rectangle<float> badge (0.5f, 0.5f, 88.0f, designHeight - 1.0f);
    juce::ColourGradient rim (Colour (0xffe5e7e9), 0, 0, Colour (0xff55595e), 0, designHeight, false);
    g.setGradientFill (rim);
    g.fillRoundedRectangle (badge, 7.0f);
    const auto inner = badge.reduced (2.5f);
    juce::ColourGradient face (Colour (0xff26292e), 0, inner.getY(), Colour (0xff0e0f11), 0,
                               inner.getBottom(), false);
    g.setGradientFill (face);
    g.fillRoundedRectangle (inner, 5.0f);
    g.setColour (accentRed);
    g.fillRect (inner.getX() + 6.0f, inner.getBottom() - 9.0f, inner.getWidth() - 12.0f, 1.5f);
    text (g, "Tolv_mark", { inner.getX(), inner.getY() + 5.0f, inner.getWidth(), 22.0f },
          fonts().bold (17.0f), Colour (0xfff1f2f3), juce::Justification::centred, -0.02f);
    g.restoreState();
}

Image logoImage()
{
    Image image = newImage (89, 33, true);
    Graphics g (image);
    paintLogo (g, { 0.0f, 0.0f, 89.0f, 33.0f });
    return image;
}

//==============================================================================
// Page backgrounds

void panel (Image& image, Graphics& g)
{
    fillBrushed (image, image.getBounds(), panelBase, 0.09f, 20240611);
    const auto bounds = image.getBounds().toFloat();

    // edge bevels of the front plate
    g.setColour (juce::Colours::white.withAlpha (0.18f));
    g.drawLine (0.0f, 0.5f, bounds.getWidth(), 0.5f, 1.0f);
    g.drawLine (0.5f, 0.0f, 0.5f, bounds.getHeight(), 1.0f);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.drawLine (0.0f, bounds.getHeight() - 0.5f, bounds.getWidth(), bounds.getHeight() - 0.5f, 1.0f);
    g.drawLine (bounds.getWidth() - 0.5f, 0.0f, bounds.getWidth() - 0.5f, bounds.getHeight(), 1.0f);

    screw (g, 10.0f, 10.0f);
    screw (g, 852.0f, 10.0f);
    screw (g, 852.0f, 318.0f);

    // plate for the version text (drawn by the editor in dark grey at x 5..55, y 313..324)
    const Rectangle<float> plate (6.0f, 311.0f, 48.0f, 15.0f);
    juce::ColourGradient silver (Colour (0xffd9dcdf), 0, plate.getY(), Colour (0xffa7abb0), 0,
                                 plate.getBottom(), false);
    g.setGradientFill (silver);
    g.fillRoundedRectangle (plate, 2.0f);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.drawRoundedRectangle (plate, 2.0f, 1.0f);
}

/** A horizontal fader slot with ticks and end marks; the editor's fader track runs from
    x0 to x1 (thumb centre) at height y. */
void horizontalFaderSlot (Graphics& g, float x0, float x1, float y, const juce::String& title,
                          const juce::StringArray& marks, int ticks, bool titleOnLeft = false)
{
    slot (g, { x0 - 6.0f, y - 3.0f, x1 - x0 + 12.0f, 6.0f });
    g.setColour (scaleColour);
    for (int i = 0; i < ticks; ++i)
    {
        const float x = x0 + (x1 - x0) * (float) i / (float) (ticks - 1);
        const bool major = i == 0 || i == ticks - 1 || i * 2 == ticks - 1;
        g.fillRect (x - 0.5f, y - (major ? 14.0f : 12.0f), 1.0f, major ? 6.0f : 4.0f);
    }
    for (int i = 0; i < marks.size(); ++i)
    {
        const float x = x0 + (x1 - x0) * (float) i / (float) (marks.size() - 1);
        text (g, marks[i], { x - 12.0f, y + 9.0f, 24.0f, 10.0f }, fonts().condensed (8.0f), scaleColour);
    }
    if (titleOnLeft)
        legend (g, title, { x0 - 60.0f, y - 5.5f, 48.0f, 11.0f }, 8.5f, juce::Justification::centredRight);
    else
        legend (g, title, { x0 - 6.0f, y - 39.0f, 90.0f, 11.0f }, 8.5f, juce::Justification::centredLeft);
}

void sectionFrame (Graphics& g, Rectangle<float> r)
{
    g.setColour (juce::Colours::black.withAlpha (0.45f));
    g.drawRoundedRectangle (r, 6.0f, 1.0f);
    g.setColour (juce::Colours::white.withAlpha (0.08f));
    g.drawRoundedRectangle (r.translated (1.0f, 1.0f), 6.0f, 1.0f);
}

void logoRecess (Graphics& g, Rectangle<float> r)
{
    recess (g, r, 6.0f, panelDark.withAlpha (0.6f));
}

Image mainBackground()
{
    Image image = newImage (862, 328, true);
    Graphics g (image);
    panel (image, g);

    // lever section
    sectionFrame (g, { 150.0f, 20.0f, 535.0f, 236.0f });
    leverSlotAndScale (g, decayLever,
                       { "0.4", "0.6", "0.8", "1.0", "1.2", "1.5", "1.8", "2.0", "2.2", "2.5", "2.8", "3.0",
                         "3.3", "3.6", "4.0", "4.5" },
                       "DECAY", "SECONDS");
    leverSlotAndScale (g, lowLever, { "0.5", "1.0", "1.5", "2.0" }, "LOW", "MULTIPLIER");
    leverSlotAndScale (g, highLever, { "0.25", "0.33", "0.5", "MAX" }, "HIGH", "MULTIPLIER");
    leverSlotAndScale (g, delayLever, { "0", "20", "40", "60", "80", "100", "120" }, "PRE-DELAY", "MS");

    // logo (the TolvButton draws the badge over this recess)
    logoRecess (g, { 23.0f, 25.0f, 101.0f, 58.0f });

    // input meter housing (VUSlider at x 60/61, y 193, 68 x 120)
    legend (g, "INPUT", { 55.0f, 175.0f, 80.0f, 11.0f });
    recess (g, { 56.0f, 188.0f, 78.0f, 130.0f }, 7.0f, panelDark);

    // bypass lamp (BypassButton at 147, 280, 30 x 30; the editor shades it when bypassed)
    legend (g, "BYPASS", { 132.0f, 264.0f, 60.0f, 11.0f });
    lamp (g, 162.0f, 295.0f, 10.5f, Colour (0xff35e05a));

    // high-cut fader (HighcutSlider at 238, 276, 114 x 53: thumb from x 247 to 343)
    horizontalFaderSlot (g, 247.0f, 343.0f, 302.5f, "HIGH CUT", { "5", "9", "13" }, 9);
    // high-cut display (HighcutLabel at 357, 284, 35 x 25) with its fixed decimal point
    displayWindow (g, { 353.0f, 280.0f, 43.0f, 26.0f });
    g.setColour (ledRedOn);
    g.fillEllipse (377.8f, 298.6f, 2.4f, 2.4f);
    text (g, "kHz", { 353.0f, 307.0f, 43.0f, 10.0f }, fonts().condensed (8.0f), scaleColour);

    // mix fader (MixSlider at 438, 276, 114 x 53: thumb from x 447 to 543) and display
    horizontalFaderSlot (g, 447.0f, 543.0f, 302.5f, "MIX", { "DRY", "50", "WET" }, 11);
    displayWindow (g, { 552.0f, 280.0f, 43.0f, 26.0f });
    text (g, "%", { 597.0f, 283.0f, 14.0f, 16.0f }, fonts().bold (11.0f), legendColour);

    // page switch (BackButton at 711, 276..280, 30 x 30)
    legend (g, "SETUP", { 696.0f, 264.0f, 60.0f, 11.0f });
    pushButton (g, 726.0f, 294.0f, 12.5f, Colour (0xff5b6067));

    // product lettering
    text (g, "Tolv_mark", { 700.0f, 26.0f, 150.0f, 26.0f }, fonts().bold (22.0f), Colour (0xffeceef0),
          juce::Justification::centredRight);
    g.setColour (accentRed);
    g.fillRect (760.0f, 55.0f, 90.0f, 2.0f);
    text (g, "DIGITAL REVERBERATOR", { 690.0f, 60.0f, 160.0f, 10.0f }, fonts().condensed (7.5f), scaleColour,
          juce::Justification::centredRight, 0.12f);
    text (g, "5.1 SURROUND", { 690.0f, 71.0f, 160.0f, 10.0f }, fonts().condensed (7.5f), scaleColour,
          juce::Justification::centredRight, 0.12f);
    text (g, "CORVANE AUDIO", { 700.0f, 298.0f, 145.0f, 10.0f }, fonts().condensed (8.0f), scaleColour,
          juce::Justification::centredRight, 0.2f);
    return image;
}

/** A vertical level fader scale; the editor's thumb runs from y 137 (+6 dB) to 231 (-60 dB). */
void levelFader (Graphics& g, float trackX, const juce::String& channel)
{
    const float top = 137.0f, bottom = 231.0f;
    slot (g, { trackX - 3.0f, top - 6.0f, 6.0f, bottom - top + 12.0f });
    legend (g, channel, { trackX - 15.0f, 114.0f, 30.0f, 11.0f }, 9.5f);

    const int marks[] = { 6, 0, -6, -12, -20, -30, -40, -60 };
    for (int db : marks)
    {
        const float y = top + (bottom - top) * (6.0f - (float) db) / 66.0f;
        g.setColour (db == 0 ? legendColour : scaleColour);
        g.fillRect (trackX + 12.0f, y - 0.5f, db == 0 ? 8.0f : 6.0f, 1.0f);
        text (g, db > 0 ? "+" + juce::String (db) : juce::String (db),
              { trackX + 21.0f, y - 5.0f, 24.0f, 10.0f }, fonts().condensed (7.5f),
              db == 0 ? legendColour : scaleColour, juce::Justification::centredLeft);
    }
    // window behind the value box (TextBoxBelow: 40 x 20 at the fader's x + 7, y + 112)
    displayWindow (g, { trackX - 3.0f, 241.0f, 42.0f, 18.0f });
}

Image settingsBackground()
{
    Image image = newImage (862, 328, false);
    Graphics g (image);
    panel (image, g);

    logoRecess (g, { 115.0f, 31.0f, 100.0f, 54.0f });

    text (g, "SETTINGS", { 364.0f, 30.0f, 346.0f, 22.0f }, fonts().bold (15.0f), legendColour,
          juce::Justification::centred, 0.35f);
    g.setColour (accentRed);
    g.fillRect (454.0f, 55.0f, 166.0f, 2.0f);

    // output levels (level sliders at x 364, 438, 512, 586, 656; track x = slider x + 9)
    sectionFrame (g, { 352.0f, 86.0f, 364.0f, 182.0f });
    legend (g, "OUTPUT LEVEL  dB", { 352.0f, 93.0f, 364.0f, 11.0f }, 8.5f);
    const char* channels[] = { "L", "R", "C", "LS", "RS" };
    const float tracks[] = { 373.0f, 447.0f, 521.0f, 595.0f, 665.0f };
    for (int i = 0; i < 5; ++i)
        levelFader (g, tracks[i], channels[i]);

    // voicing switch (ModernVintage at 256, 120, 81 x 50)
    legend (g, "VOICING", { 256.0f, 104.0f, 81.0f, 11.0f });
    recess (g, { 252.0f, 116.0f, 89.0f, 58.0f }, 7.0f, panelDark);

    // large input meter (VUSliderBack at 145, 188, 87 x 141)
    legend (g, "INPUT", { 145.0f, 170.0f, 87.0f, 11.0f });
    recess (g, { 141.0f, 184.0f, 95.0f, 148.0f }, 5.0f, panelDark);

    // surround orientation (SurroundButton at 727, 118, 77 x 89)
    legend (g, "SURROUND", { 720.0f, 100.0f, 91.0f, 11.0f });
    text (g, "FRONT / REAR", { 720.0f, 210.0f, 91.0f, 10.0f }, fonts().condensed (7.5f), scaleColour,
          juce::Justification::centred, 0.1f);

    // mix fader (MixSlider at 464, 270, 114 x 53: thumb from x 473 to 569) and display at 584, 279
    horizontalFaderSlot (g, 473.0f, 569.0f, 296.5f, "MIX", { "DRY", "50", "WET" }, 11, true);
    displayWindow (g, { 580.0f, 275.0f, 43.0f, 26.0f });
    text (g, "%", { 625.0f, 278.0f, 14.0f, 16.0f }, fonts().bold (11.0f), legendColour);

    text (g, "DIGITAL REVERBERATOR", { 14.0f, 276.0f, 120.0f, 10.0f }, fonts().condensed (7.5f), scaleColour,
          juce::Justification::centredLeft, 0.12f);
    text (g, "CORVANE AUDIO", { 14.0f, 288.0f, 120.0f, 10.0f }, fonts().condensed (8.0f), scaleColour,
          juce::Justification::centredLeft, 0.2f);

    // page switch (BackButton at 786, 282, 30 x 30)
    legend (g, "MAIN", { 771.0f, 268.0f, 60.0f, 11.0f });
    pushButton (g, 801.0f, 297.0f, 12.5f, Colour (0xff5b6067));
    return image;
}

//==============================================================================
// Previews: both pages composed with their controls, as the editor draws them, for checking
// the art. They are written only on request and never into the skin directory.

void drawDigits (Graphics& g, const juce::String& digits, int x, int y, int width, bool shiftThird)
{
    const int xs[3] = { x, (int) ((float) width / 3.0f + (float) x),
                        (int) (2.0f * (float) width / 3.0f + (float) x + (shiftThird ? 1.0f : 0.0f)) };
    for (int i = 0; i < 3; ++i)
        g.drawImageAt (digitImage (digits[i] - '0'), xs[i], y);
}

Image previewMain()
{
    Image page = mainBackground();
    Graphics g (page);
    g.drawImageAt (leverFrame (decayLever, 7, false), decayLever.originX, decayLever.originY);
    g.drawImageAt (leverFrame (lowLever, 1, true), lowLever.originX, lowLever.originY);
    g.drawImageAt (leverFrame (highLever, 3, true), highLever.originX, highLever.originY);
    g.drawImageAt (leverFrame (delayLever, 2, true), delayLever.originX, delayLever.originY);
    g.drawImageAt (smallMeter (3), 61, 193);
    g.drawImageAt (faderCap(), 247 + 72 - 9, 276);
    g.drawImageAt (faderCap(), 447 + 96 - 9, 276);
    drawDigits (g, "110", 357, 284, 35, true);
    drawDigits (g, "100", 556, 284, 35, false);
    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0xe6));
    g.drawImage (logoImage(), 26, 28, 95, 52, 0, 0, 89, 33);
    g.setColour (juce::Colour (0xff555555));
    g.setFont (11.0f);
    g.drawText ("v2.3.0", juce::Rectangle<float> (5.0f, 313.0f, 50.0f, 11.0f), juce::Justification::centred,
                true);
    return page;
}

Image previewSettings()
{
    Image page = settingsBackground().convertedToFormat (Image::ARGB);
    Graphics g (page);
    g.drawImageAt (modeSwitch (true), 256, 120);
    g.drawImage (largeMeter (142, 215, 4), 145, 188, 87, 141, 0, 0, 142, 215);
    const int xs[5] = { 364, 438, 512, 586, 656 };
    const float db[5] = { 0.0f, -6.0f, 6.0f, -20.0f, -60.0f };
    for (int i = 0; i < 5; ++i)
    {
        g.saveState();
        g.reduceClipRegion (xs[i], 128, 54, 132);
        const float pos = 137.0f + 94.0f * (6.0f - db[i]) / 66.0f;
        g.drawImageAt (faderCap(), xs[i], (int) (pos - 26.5f));
        g.setColour (juce::Colours::crimson.withAlpha ((juce::uint8) 0x80));
        g.setFont (11.0f);
        g.drawText (juce::String (db[i], 1), juce::Rectangle<int> (xs[i] + 7 + 3, 240, 40 - 6, 20),
                    juce::Justification::right, true);
        g.restoreState();
    }
    g.drawImageAt (surroundDisc (false), 727, 118);
    g.drawImageAt (faderCap(), 473 + 48 - 9, 270);
    drawDigits (g, "050", 584, 279, 35, false);
    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0xe6));
    g.drawImage (logoImage(), 120, 35, 90, 45, 0, 0, 89, 33);
    g.setColour (juce::Colour (0xff555555));
    g.setFont (11.0f);
    g.drawText ("v2.3.0", juce::Rectangle<float> (5.0f, 313.0f, 50.0f, 11.0f), juce::Justification::centred,
                true);
    return page;
}

/** The small pictures enlarged four times, and a crop of the main page's bottom row. */
Image previewParts()
{
    Image sheet (Image::ARGB, 1200, 700, true);
    Graphics g (sheet);
    g.fillAll (juce::Colour (0xff808080));
    g.setImageResamplingQuality (Graphics::lowResamplingQuality);
    int x = 4;
    auto put = [&] (const Image& image, int y)
    {
        g.drawImage (image, x, y, image.getWidth() * 4, image.getHeight() * 4, 0, 0, image.getWidth(),
                     image.getHeight());
        x += image.getWidth() * 4 + 8;
    };
    put (logoImage(), 4);
    put (modeSwitch (false), 4);
    put (surroundDisc (false), 4);
    put (surroundDisc (true), 4);
    x = 4;
    for (int d = 0; d < 10; ++d)
        put (digitImage (d), 380);
    put (dotImage(), 380);
    put (faderCap(), 380);
    put (smallMeter (5), 200);
    const Image page = previewMain();
    g.drawImage (page, 0, 460, 3 * 400, 3 * 80, 140, 248, 400, 80);
    return sheet;
}

//==============================================================================

bool write (const juce::File& dir, const juce::String& name, const Image& image)
{
    const auto file = dir.getChildFile (name);
    file.deleteFile();
    juce::FileOutputStream out (file);
    juce::PNGImageFormat png;

    if (!out.openedOk() || !png.writeImageToStream (image, out))
    {
        std::cerr << "error: cannot write " << file.getFullPathName() << "\n";
        return false;
    }
    std::cout << name << "  " << image.getWidth() << " x " << image.getHeight()
              << (image.hasAlphaChannel() ? "  RGBA\n" : "  RGB\n");
    return true;
}

juce::String twoDigits (int i)
{
    return juce::String (i).paddedLeft ('0', 2);
}

} // namespace

int main (int argc, char* argv[])
{
    if (argc > 2 && juce::String (argv[1]) == "--preview")
    {
        const auto dir = juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]);
        dir.createDirectory();
        return write (dir, "preview_main.png", previewMain()) &&
                       write (dir, "preview_settings.png", previewSettings()) &&
                       write (dir, "preview_parts.png", previewParts())
                   ? 0
                   : 1;
    }

    const juce::File dir (argc > 1 ? juce::File::getCurrentWorkingDirectory().getChildFile (argv[1])
                                   : juce::File (TOLVMARK_SKIN_DIR));
    dir.createDirectory();
    bool ok = true;

    for (int i = 0; i < 16; ++i)
        ok &= write (dir, "decay_lever_" + twoDigits (i) + ".png", leverFrame (decayLever, i, false));
    for (int i = 0; i < 4; ++i)
        ok &= write (dir, "multiplier_lever_" + juce::String (i) + ".png", leverFrame (lowLever, i, true));
    for (int i = 0; i < 7; ++i)
        ok &= write (dir, "predelay_lever_" + juce::String (i) + ".png", leverFrame (delayLever, i, true));
    for (int i = 0; i < 6; ++i)
        ok &= write (dir, "meter_" + juce::String (i) + ".png", smallMeter (i));
    ok &= write (dir, "large_meter_0.png", largeMeter (91, 138, 0));
    for (int i = 1; i < 6; ++i)
        ok &= write (dir, "large_meter_" + juce::String (i) + ".png", largeMeter (142, 215, i));
    for (int i = 0; i < 10; ++i)
        ok &= write (dir, "digit_" + juce::String (i) + ".png", digitImage (i));
    ok &= write (dir, "dot.png", dotImage());
    ok &= write (dir, "fader_cap_h.png", faderCap());
    ok &= write (dir, "fader_cap_v.png", faderCap());
    ok &= write (dir, "mode_switch_modern.png", modeSwitch (false));
    ok &= write (dir, "mode_switch_vintage.png", modeSwitch (true));
    ok &= write (dir, "surround_normal.png", surroundDisc (false));
    ok &= write (dir, "surround_reversed.png", surroundDisc (true));
    ok &= write (dir, "logo.png", logoImage());
    ok &= write (dir, "main_background.png", mainBackground());
    ok &= write (dir, "settings_background.png", settingsBackground());

    return ok ? 0 : 1;
}
