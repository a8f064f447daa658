#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <cstdint>

/** The plug-in's parameter indexes, keys, defaults, lookup tables and display texts.

    Everything here is a pure function of its arguments: any thread may call it; only the text
    functions allocate (the returned string).
*/
namespace tolvmark
{
/** Parameter indexes as the host sees them. Index 16 is the input meter, written by the engine. */
enum ParameterIndex : int
{
    kPredelay = 0,
    kDecay = 1,
    kLow = 2,
    kHigh = 3,
    kHighCut2 = 4,
    kHighCut3 = 5,
    kMix = 6,
    kBypass = 7,
    kUseClassic = 8,
    kLeftLevel = 9,
    kRightLevel = 10,
    kCenterLevel = 11,
    kLeftSLevel = 12,
    kRightSLevel = 13,
    kSurroundSwitch = 14,
    kOversampling = 15,
    kInputMeter = 16,
    kNumParameters = 16
};

/** How a parameter keeps its value: a float as it is sent, or a switch stored as 0 or 1. */
enum class ParameterKind
{
    continuous, ///< a float in 0..1
    flag        ///< a switch: any value other than 0 stores 1
};

/** How a parameter's display text is made from its stored value (see parameterText). */
enum class TextRule
{
    predelayMilliseconds, ///< v x 120, " ms"
    decayTime,            ///< decayTimes[decay step], " s"
    lowMultiplier,        ///< lowMultipliers[quarter step], " x"
    highMultiplier,       ///< highMultipliers[quarter step], " x"; the last step reads "max"
    highCutKiloHertz,     ///< v x 8 + 5, " kHz"
    mixPercent,           ///< v x 100, " %"
    levelDecibels,        ///< levelDecibels (v), " dB"
    densityStages,        ///< "1 x" .. "4 x" (densityStagesOf)
    switchWords           ///< the word for set or clear
};

/** Everything fixed about one host parameter. */
struct ParameterFacts
{
    const char* key;          ///< host name, host ID and saved-state attribute
    float defaultValue;       ///< reported to the host
    float initialValue;       ///< held after construction (not the default, not a program)
    ParameterKind kind;       ///< float or flag
    TextRule text;            ///< how its text is made
    int recordEntry;          ///< its place among the sixteen values of a program record
    bool appliedLast = false; ///< stored after all others when a set of values is applied (and saved last)
    const char* whenSet = nullptr;   ///< text of a set flag
    const char* whenClear = nullptr; ///< text of a clear flag
};

/** The facts of parameters 0..15, in index order. */
inline constexpr std::array<ParameterFacts, kNumParameters> parameterTable{ {
    // key, default, initial, kind, text, record entry [, applied last, set, clear]
    { "predelay", 1.0f / 3.0f, 0.0f, ParameterKind::continuous, TextRule::predelayMilliseconds, 0 },
    { "decay", 0.5f, 0.5f, ParameterKind::continuous, TextRule::decayTime, 1 },
    { "low", 0.25f, 0.5f, ParameterKind::continuous, TextRule::lowMultiplier, 2 },
    { "high", 1.0f, 1.0f, ParameterKind::continuous, TextRule::highMultiplier, 3 },
    { "fhighcut2", 0.75f, 0.75f, ParameterKind::continuous, TextRule::highCutKiloHertz, 4 },
    { "fhighcut3", 0.75f, 0.75f, ParameterKind::continuous, TextRule::highCutKiloHertz, 5 },
    { "fmix", 1.0f, 1.0f, ParameterKind::continuous, TextRule::mixPercent, 6 },
    { "bypass", 0.0f, 0.0f, ParameterKind::flag, TextRule::switchWords, 7, false, "OFF", "ON" },
    { "use_classic", 1.0f, 1.0f, ParameterKind::flag, TextRule::switchWords, 14, true, "classic", "modern" },
    { "leftlevel", 0.5f, 0.5f, ParameterKind::continuous, TextRule::levelDecibels, 8 },
    { "rightlevel", 0.5f, 0.5f, ParameterKind::continuous, TextRule::levelDecibels, 9 },
    { "centerlevel", 0.5f, 0.5f, ParameterKind::continuous, TextRule::levelDecibels, 10 },
    { "leftslevel", 0.5f, 0.5f, ParameterKind::continuous, TextRule::levelDecibels, 11 },
    { "rightslevel", 0.5f, 0.5f, ParameterKind::continuous, TextRule::levelDecibels, 12 },
    { "surroundswitch", 1.0f, 0.0f, ParameterKind::flag, TextRule::switchWords, 13, false, "reversed",
      "normal" },
    { "oversampling", 0.75f, 0.0f, ParameterKind::continuous, TextRule::densityStages, 15 },
} };

/** The name reported for the meter slot (index 16). */
inline constexpr const char* inputMeterName = "not in use";

/** The meter slot's value after construction. */
inline constexpr float initialInputMeterValue = 0.0f;

/** True for the parameters stored as flags (bypass, classic, surround); false outside 0..15. */
constexpr bool isFlagParameter (int index) noexcept
{
    return index >= 0 && index < kNumParameters && parameterTable[(size_t) index].kind == ParameterKind::flag;
}

/** The value parameter `index` (0..16) holds after construction. */
constexpr float initialValueOf (int index) noexcept
{
    return index == kInputMeter ? initialInputMeterValue : parameterTable[(size_t) index].initialValue;
}

/** The initial value of a flag parameter as its stored byte. */
constexpr std::uint8_t initialFlagOf (int index) noexcept
{
    return initialValueOf (index) != 0.0f ? 1 : 0;
}

/** The order in which a whole set of values is stored (a program, a restored state) and in which the
    state names them: every parameter by index, those marked appliedLast after the others. */
inline constexpr std::array<int, kNumParameters> parameterApplicationOrder = []
{
    std::array<int, kNumParameters> order{};
    size_t n = 0;
    for (const bool last : { false, true })
        for (int index = 0; index < kNumParameters; ++index)
            if (parameterTable[(size_t) index].appliedLast == last)
                order[n++] = index;
    return order;
}();

namespace detail
{
constexpr bool recordEntriesArePermutation() noexcept
{
    bool seen[kNumParameters]{};
    for (const auto& facts : parameterTable)
    {
        if (facts.recordEntry < 0 || facts.recordEntry >= kNumParameters || seen[facts.recordEntry])
            return false;
        seen[facts.recordEntry] = true;
    }
    return true;
}

constexpr bool flagsHaveWordsAndOthersNone() noexcept
{
    for (const auto& facts : parameterTable)
    {
        const bool flag = facts.kind == ParameterKind::flag;
        const bool words =
            facts.text == TextRule::switchWords && facts.whenSet != nullptr && facts.whenClear != nullptr;
        if (flag != words || (!flag && (facts.whenSet != nullptr || facts.whenClear != nullptr)))
            return false;
    }
    return true;
}
} // namespace detail

static_assert (detail::recordEntriesArePermutation(), "each record entry feeds exactly one parameter");
static_assert (detail::flagsHaveWordsAndOthersNone(), "flags, and only flags, show a word for each state");

/** Decay times in seconds, by decay step (for the text). */
inline constexpr std::array<float, 16> decayTimes{ 0.4f, 0.6f, 0.8f, 1.0f, 1.2f, 1.5f, 1.8f, 2.0f,
                                                   2.2f, 2.5f, 2.8f, 3.0f, 3.3f, 3.6f, 4.0f, 4.5f };

/** Tank decay coefficients by decay step; the kHigh step also indexes the first four for the output delays.
 */
inline constexpr std::array<float, 16> decayCoefficients{ 3.75f,   2.5f,   1.875f, 1.5f,   1.25f,  1.0f,
                                                          0.833f,  0.75f,  0.68f,  0.6f,   0.535f, 0.5f,
                                                          0.4545f, 0.416f, 0.375f, 0.3333f };

inline constexpr std::array<float, 4> lowMultipliers{ 0.5f, 1.0f, 1.5f, 2.0f };
inline constexpr std::array<float, 4> lowShelfValues{ -3.0f, 0.0f, 1.5f, 3.0f };
inline constexpr std::array<float, 4> highMultipliers{ 0.25f, 0.33f, 0.5f, 1.0f };
inline constexpr std::array<float, 4> highShelfValues{ -12.0f, -9.0f, -6.0f, -1.4f };

/** A finite value brought into the normalised range: values above 1 give 1, values below 0 give 0, and
    so does -0, so that every stored value acts exactly as a value in 0..1 (and saves as one). */
constexpr float clippedToRange (float v) noexcept
{
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

/** Decay step 0..15: the first of the thresholds 1/16 .. 16/16 that is >= v (single precision).
    Values above 1 (and NaN) give the last step, so the step always indexes the tables. */
int decayStep (float v) noexcept;

/** Quarter step 0..3 (low, high): the first of 0.25, 0.5, 0.75, 1.0 that is >= v; above 1 the last step. */
int quarterStep (float v) noexcept;

/** The display text of parameter 0..15 for the stored value v (flags pass 0 or 1); blank otherwise. */
juce::String parameterText (int index, float v);

/** Oversampling values below these (compared in double precision) run 1, 2 and 3 density stages;
    values from the last one on run 4. */
inline constexpr std::array<double, 3> densityStageThresholds{ 0.24, 0.49, 0.74 };

/** The density stage count 1..4 that the oversampling value v names (its text, and the stages the
    cascade runs for a factor between the whole steps). NaN gives 4. */
constexpr int densityStagesOf (float v) noexcept
{
    const double value = v;
    int stages = 1;
    for (const auto threshold : densityStageThresholds)
    {
        if (value < threshold)
            return stages;
        ++stages;
    }
    return stages;
}

/** The stage-count text of the oversampling parameter ("1 x" .. "4 x"). */
juce::String oversamplingText (float v);

/** The level in dB that a level value v shows: 20 log10(v) + 6, in single precision (0 gives minus
    infinity). Any thread; no allocation. */
float levelDecibels (float v) noexcept;

/** The level value that carries a level in dB: 10^((dB - 6) / 20), computed in double precision and
    rounded to float. Any thread; no allocation. */
float levelValueOf (double decibels) noexcept;

/** The text parameter 0..15 shows once the finite value v is stored: a switch as its flag (any value
    but 0 switches on), any other value clipped to 0..1 first. Blank for other indexes. */
juce::String parameterTextForValue (int index, float v);

/** The value in 0..1 that parameter 0..15 shows as `text`, when one value answers for it: a switch's
    or a step's text (its number, with or without the unit, stands for a step's text: "1.5 s" for
    "1.50 s"), or for a continuous parameter a number, with or without the unit, whose value shows the
    number as its text does (to two decimals; "-inf dB" for a level of 0). Returns false, with `value`
    untouched, for any other text (a number no value in 0..1 shows, a text of another parameter). */
bool parameterValueForText (int index, const juce::String& text, float& value);
} // namespace tolvmark
