#pragma once

// Pixel comparison for the tests that draw the skin and the editor into images.

#include <juce_graphics/juce_graphics.h>

/** Number of pixels that differ between two images of the same size (all pixels if the sizes differ). */
inline int countDifferentPixels (const juce::Image& a, const juce::Image& b)
{
    if (a.getWidth() != b.getWidth() || a.getHeight() != b.getHeight())
        return juce::jmax (a.getWidth() * a.getHeight(), b.getWidth() * b.getHeight(), 1);

    int differing = 0;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y).getARGB() != b.getPixelAt (x, y).getARGB())
                ++differing;
    return differing;
}
