// The parameter rules that need code, independent of any processor: the step rules that turn a stored
// value into a table index, the level formula and the display texts (declared in Parameters.h, beside
// the table of parameter facts). The processor's side of the parameters (storing, retuning, the host's
// calls) is ProcessorParameters.cpp.

#include "processor/Parameters.h"

#include <cmath>
#include <limits>

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

juce::String parameterTextForValue (int index, float v)
{
    if (isFlagParameter (index))
        return parameterText (index, v != 0.0f ? 1.0f : 0.0f);

    return parameterText (index, clippedToRange (v));
}

namespace
{
/** The number a typed text holds, optionally followed by `unit`: a plain decimal (a sign, digits, at
    most one point; no exponent) or "-inf". */
bool numberIn (const juce::String& typed, const juce::String& unit, double& number)
{
    auto text = typed.trim();

    if (unit.isNotEmpty() && text.endsWithIgnoreCase (unit))
        text = text.dropLastCharacters (unit.length()).trimEnd();

    if (text.equalsIgnoreCase ("-inf"))
    {
        number = -std::numeric_limits<double>::infinity();
        return true;
    }

    const auto digits = text.startsWithChar ('-') || text.startsWithChar ('+') ? text.substring (1) : text;

    if (!digits.containsOnly ("0123456789.") || !digits.containsAnyOf ("0123456789") ||
        digits.indexOfChar ('.') != digits.lastIndexOfChar ('.'))
        return false;

    number = text.getDoubleValue();
    return std::isfinite (number);
}

/** True when `typed` is the text `shown`, or its number (with or without the unit) to the two decimals
    the texts show. */
bool reads (const juce::String& shown, const juce::String& typed)
{
    if (typed.trim().equalsIgnoreCase (shown))
        return true;

    const auto unit = shown.fromFirstOccurrenceOf (" ", false, false);
    double shownNumber = 0.0, typedNumber = 0.0;

    if (!numberIn (shown.upToFirstOccurrenceOf (" ", false, false), {}, shownNumber) ||
        !numberIn (typed, unit, typedNumber))
        return false;

    if (std::isinf (shownNumber) || std::isinf (typedNumber))
        return shownNumber == typedNumber;

    // Half of the last shown decimal, and a little for the float arithmetic of the texts.
    return std::abs (shownNumber - typedNumber) <= 0.0051;
}

/** The value a step stands for when its text is typed: the highest value of the step. */
float stepValue (int step, int numSteps)
{
    return static_cast<float> (step + 1) / static_cast<float> (numSteps);
}
} // namespace

bool parameterValueForText (int index, const juce::String& text, float& value)
{
    const auto answer = [&value] (float v)
    {
        value = v;
        return true;
    };

    if (index < 0 || index >= kNumParameters)
        return false;

    const auto switchWords = [&]
    {
        for (const float flag : { 0.0f, 1.0f })
            if (text.trim().equalsIgnoreCase (parameterText (index, flag)))
                return answer (flag);

        return false;
    };

    const auto steps = [&] (int numSteps)
    {
        for (int step = 0; step < numSteps; ++step)
            if (reads (parameterText (index, stepValue (step, numSteps)), text))
                return answer (stepValue (step, numSteps));

        return false;
    };

    // A continuous parameter: the value whose text is the typed number, if one in 0..1 shows it. The
    // value of the number itself may show the last decimal one off (the texts are float arithmetic),
    // so values of numbers within the shown decimal are tried for the exact text first.
    const auto continuous = [&] (const char* unit, double (*valueOf) (double))
    {
        double number = 0.0;

        if (!numberIn (text, unit, number))
            return false;

        const auto valueFor = [&] (double n) { return clippedToRange (static_cast<float> (valueOf (n))); };

        if (std::isfinite (number))
        {
            const auto exact = juce::String (number, 2) + " " + unit;

            for (const double offset : { 0.0, -0.004, 0.004, -0.002, 0.002, -0.001, 0.001 })
                if (parameterText (index, valueFor (number + offset)) == exact)
                    return answer (valueFor (number + offset));
        }

        return reads (parameterText (index, valueFor (number)), text) && answer (valueFor (number));
    };

    // Each text rule read backwards (parameterText makes the texts).
    switch (parameterTable[(size_t) index].text)
    {
        case TextRule::switchWords:
            return switchWords();
        case TextRule::decayTime:
            return steps (16);
        case TextRule::lowMultiplier:
        case TextRule::highMultiplier:
            return steps (4);
        case TextRule::predelayMilliseconds:
            return continuous ("ms", [] (double ms) { return ms / 120.0; });
        case TextRule::highCutKiloHertz:
            return continuous ("kHz", [] (double kHz) { return (kHz - 5.0) / 8.0; });
        case TextRule::mixPercent:
            return continuous ("%", [] (double percent) { return percent / 100.0; });
        case TextRule::levelDecibels:
            return continuous ("dB", [] (double dB) { return static_cast<double> (levelValueOf (dB)); });
        case TextRule::densityStages:
            // The stage count shows, while the value sets a factor between the stages: no text
            // stands for one value.
            return false;
    }

    return false;
}
} // namespace tolvmark
