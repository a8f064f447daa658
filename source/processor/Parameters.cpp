// The parameter table itself, independent of any processor: the step rules that turn a stored value
// into a table index and the display texts (declared in Parameters.h). The processor's side of the
// parameters (storing, retuning, the host's calls) is ProcessorParameters.cpp.

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
    const double value = v;

    if (value < 0.24)
        return "1 x";
    if (value < 0.49)
        return "2 x";
    if (value < 0.74)
        return "3 x";
    return "4 x";
}

juce::String parameterText (int index, float v)
{
    switch (index)
    {
        case kPredelay:
            return juce::String (v * 120.0f, 2) + " ms";
        case kDecay:
            return juce::String (decayTimes[(size_t) decayStep (v)], 2) + " s";
        case kLow:
            return juce::String (lowMultipliers[(size_t) quarterStep (v)], 2) + " x";
        case kHigh:
        {
            const int step = quarterStep (v);
            return step == 3 ? juce::String ("max") : juce::String (highMultipliers[(size_t) step], 2) + " x";
        }
        case kHighCut2:
        case kHighCut3:
            return juce::String (v * 8.0f + 5.0f, 2) + " kHz";
        case kMix:
            return juce::String (v * 100.0f, 2) + " %";
        case kBypass:
            return v != 0.0f ? "OFF" : "ON";
        case kUseClassic:
            return v != 0.0f ? "classic" : "modern";
        case kLeftLevel:
        case kRightLevel:
        case kCenterLevel:
        case kLeftSLevel:
        case kRightSLevel:
            return juce::String (20.0f * std::log10 (v) + 6.0f, 2) + " dB";
        case kSurroundSwitch:
            return v != 0.0f ? "reversed" : "normal";
        case kOversampling:
            return oversamplingText (v);
        default:
            return {};
    }
}
} // namespace tolvmark
