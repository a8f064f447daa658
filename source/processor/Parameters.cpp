// The parameter rules that need code, independent of any processor: the step rules that turn a stored
// value into a table index, the level formula and the display texts (declared in Parameters.h, beside
// the table of parameter facts). The processor's side of the parameters (storing, retuning, the host's
// calls) is ProcessorParameters.cpp.

#include "processor/Parameters.h"

#include <cmath>

namespace tolvmark
{
int decayStep (float v) noexcept
{
    for (int k = 0; k < 16; ++k)
        if (v <= static_cast<float> (k + 1) * 0.0625f)
            return k;

    return 15;
}

int quarterStep (float v) noexcept
{
    for (int k = 0; k < 4; ++k)
        if (v <= static_cast<float> (k + 1) * 0.25f)
            return k;

    return 3;
}

juce::String oversamplingText (float v)
{
    return juce::String (densityStagesOf (v)) + " x";
}

float levelDecibels (float v) noexcept
{
    return 20.0f * std::log10 (v) + 6.0f;
}

float levelValueOf (double decibels) noexcept
{
    return (float) std::pow (10.0, (decibels - 6.0) / 20.0);
}

juce::String parameterText (int index, float v)
{
    if (index < 0 || index >= kNumParameters)
        return {};

    const auto& facts = parameterTable[(size_t) index];

    switch (facts.text)
    {
        case TextRule::predelayMilliseconds:
            return juce::String (v * 120.0f, 2) + " ms";
        case TextRule::decayTime:
            return juce::String (decayTimes[(size_t) decayStep (v)], 2) + " s";
        case TextRule::lowMultiplier:
            return juce::String (lowMultipliers[(size_t) quarterStep (v)], 2) + " x";
        case TextRule::highMultiplier:
        {
            const int step = quarterStep (v);
            return step == 3 ? juce::String ("max") : juce::String (highMultipliers[(size_t) step], 2) + " x";
        }
        case TextRule::highCutKiloHertz:
            return juce::String (v * 8.0f + 5.0f, 2) + " kHz";
        case TextRule::mixPercent:
            return juce::String (v * 100.0f, 2) + " %";
        case TextRule::levelDecibels:
            return juce::String (levelDecibels (v), 2) + " dB";
        case TextRule::densityStages:
            return oversamplingText (v);
        case TextRule::switchWords:
            return v != 0.0f ? facts.whenSet : facts.whenClear;
    }

    return {};
}
} // namespace tolvmark
