// The processor's side of the parameters: the host's index-based calls (names, values, texts,
// defaults), storing a value and retuning what depends on it, and applying a set of values as one
// change. The parameter table they read (keys, defaults, kinds, texts) is Parameters.h and .cpp.

#include "processor/QuellorAudioProcessor.h"

#include <cmath>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;

const QuellorAudioProcessor::ParameterStorage* QuellorAudioProcessor::storageOf (int index) noexcept
{
    using P = QuellorAudioProcessor;

    // The named members, by parameter index (the meter last).
    static constexpr ParameterStorage storage[kNumParameters + 1] = {
        { &P::predelay, nullptr },     { &P::decay, nullptr },       { &P::low, nullptr },
        { &P::high, nullptr },         { &P::fhighcut2, nullptr },   { &P::fhighcut3, nullptr },
        { &P::fmix, nullptr },         { nullptr, &P::bypass },      { nullptr, &P::useClassic },
        { &P::leftLevel, nullptr },    { &P::rightLevel, nullptr },  { &P::centerLevel, nullptr },
        { &P::leftSLevel, nullptr },   { &P::rightSLevel, nullptr }, { nullptr, &P::surroundSwitch },
        { &P::oversampling, nullptr }, { &P::inputMeter, nullptr },
    };

    static_assert (
        []
        {
            for (int i = 0; i <= kNumParameters; ++i)
            {
                const auto& s = storage[i];
                if ((s.value == nullptr) == (s.flag == nullptr) || (s.flag != nullptr) != isFlagParameter (i))
                    return false;

                for (int j = 0; j < i; ++j)
                    if ((s.value != nullptr && s.value == storage[j].value) ||
                        (s.flag != nullptr && s.flag == storage[j].flag))
                        return false;
            }
            return true;
        }(),
        "every parameter has one member of the kind the parameter table gives, and no member serves two");

    return juce::isPositiveAndBelow (index, kNumParameters + 1) ? &storage[index] : nullptr;
}

std::atomic<float>* QuellorAudioProcessor::floatParameter (int index) noexcept
{
    const auto* storage = storageOf (index);
    return storage != nullptr && storage->value != nullptr ? &(this->*(storage->value)) : nullptr;
}

std::atomic<std::uint8_t>* QuellorAudioProcessor::flagParameter (int index) noexcept
{
    const auto* storage = storageOf (index);
    return storage != nullptr && storage->flag != nullptr ? &(this->*(storage->flag)) : nullptr;
}

float QuellorAudioProcessor::parameterValue (int index) const noexcept
{
    auto& self = const_cast<QuellorAudioProcessor&> (*this);

    if (auto* flag = self.flagParameter (index))
        return flag->load (std::memory_order_relaxed) != 0 ? 1.0f : 0.0f;

    if (auto* value = self.floatParameter (index))
        return value->load (std::memory_order_relaxed);

    return 0.0f;
}

int QuellorAudioProcessor::getNumParameters()
{
    return kNumParameters;
}

const juce::String QuellorAudioProcessor::getParameterName (int index)
{
    if (index >= 0 && index < kNumParameters)
        return parameterTable[(size_t) index].key;

    if (index == kInputMeter)
        return inputMeterName;

    return {};
}

juce::String QuellorAudioProcessor::getParameterID (int index)
{
    if (index >= 0 && index < kNumParameters)
        return parameterTable[(size_t) index].key;

    return juce::String (index);
}

float QuellorAudioProcessor::getParameter (int index)
{
    return parameterValue (index);
}

const juce::String QuellorAudioProcessor::getParameterText (int index)
{
    if (index < 0 || index >= kNumParameters)
        return {};

    return parameterText (index, parameterValue (index));
}

juce::String QuellorAudioProcessor::getTextForValue (int index, double value) const
{
    if (index < 0 || index >= kNumParameters)
        return {};

    // A NaN switches a switch on, and leaves any other value as it is.
    if (std::isnan (value))
        return isFlagParameter (index) ? parameterTextForValue (index, 1.0f)
                                       : parameterText (index, parameterValue (index));

    // Clipped while a double (as the VST3 wrapper clips what it sets), so that values beyond the float
    // range show as the nearest end too.
    return parameterTextForValue (index, static_cast<float> (juce::jlimit (0.0, 1.0, value)));
}

bool QuellorAudioProcessor::getValueForText (int index, const juce::String& text, double& value) const
{
    float found = 0.0f;

    if (index < 0 || index >= kNumParameters || !parameterValueForText (index, text, found))
        return false;

    value = found;
    return true;
}

float QuellorAudioProcessor::getParameterDefaultValue (int index)
{
    if (index >= 0 && index < kNumParameters)
        return parameterTable[(size_t) index].defaultValue;

    return 0.0f;
}

void QuellorAudioProcessor::setParameter (int index, float value)
{
    // Everything the engine derives from the parameters changes only between blocks: the hosts' wrappers
    // hold the callback lock around every block, so holding it here hands the engine one consistent
    // set of coefficients (never a half-written filter).
    const juce::ScopedLock lock (getCallbackLock());

    if (storeParameter (index, value))
        clearNetwork();

    updateCoefficients();
}

bool QuellorAudioProcessor::storeParameter (int index, float value) noexcept
{
    if (auto* flag = flagParameter (index))
    {
        // Any value other than 0 (NaN included) switches on.
        flag->store (value != 0.0f ? 1 : 0, std::memory_order_relaxed);
        return false;
    }

    auto* stored = floatParameter (index);

    // A non-finite value would poison every coefficient derived from it: keep the previous one. A
    // finite value outside 0..1 (hosts pass on whatever they are sent) acts as the nearest end.
    if (stored == nullptr || !std::isfinite (value))
        return false;

    stored->store (clippedToRange (value), std::memory_order_relaxed);

    switch (index)
    {
        case kPredelay:
            applyPredelayTimes();
            return true;
        case kHighCut2:
            applyHighCut();
            return false;
        case kOversampling:
            applyOversamplingFactor();
            return true;
        default:
            return false;
    }
}

void QuellorAudioProcessor::applyParameterSet (const int* indexes, const float* values, int count)
{
    const juce::ScopedLock lock (getCallbackLock());

    bool clear = false;
    for (int i = 0; i < count; ++i)
        clear = storeParameter (indexes[i], values[i]) || clear;

    if (clear)
        clearNetwork();

    updateCoefficients();
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
