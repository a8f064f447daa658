#pragma once

// What the state fuzzers require of every state the plug-in saves after a restore, however damaged
// the restored input was.

#include <juce_audio_processors/juce_audio_processors.h>

/** True when the bytes are the plug-in's saved block (as JUCE's binary XML reader reads it) and every
    parameter attribute lies between 0 and 1. Allocates. */
inline bool isANormalisedStateBlock (const void* data, int sizeInBytes)
{
    const auto xml = juce::AudioProcessor::getXmlFromBinary (data, sizeInBytes);

    if (xml == nullptr || !xml->hasTagName ("Tolvmark"))
        return false;

    for (int i = 0; i < xml->getNumAttributes(); ++i)
    {
        if (xml->getAttributeName (i) == "curProgram")
            continue;

        const auto value = xml->getAttributeValue (i).getDoubleValue();
        if (!(value >= 0.0 && value <= 1.0))
            return false;
    }

    return true;
}
