#pragma once

#include <juce_core/juce_core.h>

#include <array>

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

/** The keys of parameters 0..15: host parameter names, saved-state attribute names and parameter IDs. */
inline constexpr std::array<const char*, kNumParameters> parameterKeys{
    "predelay",       "decay",       "low",       "high",       "fhighcut2",   "fhighcut3",  "fmix",
    "bypass",         "use_classic", "leftlevel", "rightlevel", "centerlevel", "leftslevel", "rightslevel",
    "surroundswitch", "oversampling"
};

/** The name reported for the meter slot (index 16). */
inline constexpr const char* inputMeterName = "not in use";

/** Defaults reported to the host, in index order. */
inline constexpr std::array<float, kNumParameters> parameterDefaults{
    1.0f / 3.0f, 0.5f, 0.25f, 1.0f, 0.75f, 0.75f, 1.0f, 0.0f, 1.0f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1.0f, 0.75f
};

/** Values the processor holds after construction (not the defaults, not a program), indexes 0..16. */
inline constexpr std::array<float, kNumParameters + 1> initialParameterValues{
    0.0f, 0.5f, 0.5f, 1.0f, 0.75f, 0.75f, 1.0f, 0.0f, 1.0f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f
};

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

/** True for the three switch parameters (bypass, classic, surround), which are stored as flags. */
constexpr bool isFlagParameter (int index) noexcept
{
    return index == kBypass || index == kUseClassic || index == kSurroundSwitch;
}

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

/** The stage-count text of the oversampling parameter ("1 x" .. "4 x"). */
juce::String oversamplingText (float v);

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
