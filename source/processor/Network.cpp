#include "processor/QuellorAudioProcessor.h"

#include "dsp/BandLimitSets.h"
#include "engine/DelayTimes.h"

#include <cmath>

// Building, retuning and clearing the reverb network.

using namespace tolvmark;
using namespace tolvmark::network;

namespace
{
/** Delay times of lines 0..68 at construction, in tenths of a second. The lines that follow a parameter
    (the pre-delay 24, the long taps 31 and 32, the output delays 34..38) are then retuned from the
    initial parameter values. */
constexpr double initialDelayTimes[69] = {
    0.062083333,    0.017083333,    0.000833333333, 0.062083333,    0.017083333, 0.000833333333, // 0-5
    0.062083333,    0.017083333,    0.000833333333, 0.062083333,    0.017083333, 0.000833333333, // 6-11
    0.062083333,    0.017083333,    0.000833333333, 0.062083333,    0.017083333, 0.000833333333, // 12-17
    0.062083333,    0.017083333,    0.000833333333, 0.062083333,    0.017083333, 0.000833333333, // 18-23
    0.02,                                                                                        // 24
    0.04,           0.04,           0.04,           0.04,           0.04,        0.04,           // 25-30
    0.1548,         0.1472,         0.007,                                                       // 31-33
    0.02436,        0.001,          0.009436,       0.08,           0.08,                        // 34-38
    0.04,           0.04,           0.04,           0.04,           0.04,        0.04,           // 39-44
    0.04,           0.04,           0.04,           0.04,           0.04,        0.04,           // 45-50
    0.04,           0.04,           0.04,           0.04,           0.04,        0.04,           // 51-56
    0.16,           0.170703356920, 0.202043168559, 0.194057280483,                              // 57-60
    0.206785788673, 0.240271173343, 0.234558440709, 0.249695273198,                              // 61-64
    0.265732188579, 0.282722708567, 0.300723537443, 0.339794751298                               // 65-68
};

/** Decay attenuation factors of the three tank columns. */
constexpr double tankColumnFactors[3] = { -3.147215224, -3.965242704, -4.995892744 };

/** Tap position ratios of the three tank columns. */
constexpr double tankTapRatios[3][4] = { { 0.247798, 0.510330836, 0.788474686, 1.083157831 },
                                         { 0.2242715, 0.461878877, 0.713615124, 0.980320388 },
                                         { 0.240868, 0.496058757, 0.766423945, 1.052865884 } };

/** The tank tap (column 1-3, position 1-4) behind each input of tap mixers 2 to 5. */
struct TankTap
{
    int column, position;
};

constexpr TankTap tapMixerRouting[4][3] = {
    { { 1, 2 }, { 2, 1 }, { 3, 3 } }, // mixer 2: tapSumX
    { { 1, 4 }, { 2, 4 }, { 3, 4 } }, // mixer 3: cascade column 1
    { { 1, 1 }, { 2, 3 }, { 3, 2 } }, // mixer 4: cascade column 2
    { { 2, 2 }, { 1, 3 }, { 3, 1 } }, // mixer 5: cascade column 3
};

/** Shelf depth of each tank column relative to the third. */
constexpr float shelfColumnRatios[3] = { 0.6299605f, 0.7937f, 1.0f };

/** Linear gain of an attenuation in dB: powf (10, x * 0.05f), the exponent rounded to single precision. */
float linearGain (double decibels) noexcept
{
    return std::pow (10.0f, static_cast<float> (decibels * static_cast<double> (0.05f)));
}

/** A design frequency the bilinear transform can realise at this rate: below half the rate the
    frequency is used as it is; at or above it (hosts running below about 26 kHz) it is held just
    below the Nyquist frequency, so the filter stays stable. */
double realisableFrequency (double frequency, double sampleRate) noexcept
{
    return frequency < sampleRate * 0.5 ? frequency : sampleRate * 0.49;
}
} // namespace

void QuellorAudioProcessor::initialiseNetwork()
{
    for (auto& buffer : wireBuffers)
        buffer.setSize (6, 1);
    wireBuffers[inputCompanderBuffer].setSize (2, 1);
    wireBuffers[outputCompanderBuffer].setSize (4, 1);
    for (auto& buffer : wireBuffers)
        buffer.clear();

    inputCompander.attackTime = 0.0005;
    inputCompander.releaseTime = 0.022;
    inputCompander.ratio = std::numeric_limits<double>::infinity();
    inputCompander.mode = 0.0;
    inputCompander.threshold = 0.01;
    inputCompander.envelope = 0.01;
    inputCompander.setSampleRate (44100.0);

    outputCompander.attackTime = static_cast<double> (0.0005f);
    outputCompander.releaseTime = static_cast<double> (0.022f);
    outputCompander.ratio = std::numeric_limits<double>::infinity();
    outputCompander.mode = 1.0;
    outputCompander.threshold = static_cast<double> (0.01f);
    outputCompander.setSampleRate (44100.0);

    for (int n = 0; n < numLines; ++n)
        delayLine (n).setDelayTime (initialDelayTimes[n]);
    allpass.setDelayTime (0.017083333);

    // The tank columns take the diffuser output at unity; columns 2 and 3 their feedback gain in dB.
    for (auto& mixer : mixers)
        mixer.mode = 0.0f;
    mixers[tankMixers[0]].raw0 = 1.0f;
    mixers[tankMixers[1]].raw0 = 1.0f;
    mixers[tankMixers[1]].flag1 = 1.0f;
    mixers[tankMixers[2]].raw0 = 1.0f;
    mixers[tankMixers[2]].flag1 = 1.0f;

    currentSampleRate = 44100.0;

    cascadeLfos[0] = { 0.0, 1, 0.0, 0.0, -0.0095 };
    cascadeLfos[1] = { 6.0, 1, 0.0, 0.0, 0.0095 };
    cascadeLfos[2] = { -7.5, -1, 0.0, 0.0, 0.0 };
    gainLfo = { 0.0, 1, 0.0, 0.0, 0.0 };
    diffuserLfo = { 0.0, 1, 0.0, 0.0, 0.0 };

    // Before the host's first preparation the modulators step at the construction rate.
    for (auto& step : modulationStepSizes)
        step = 10.0 / 44100.0;

    modulationDepth = 0.0095;
    meterPeak = 0.0f;

    // What a store retunes at once follows from the initial values by the same rules, so that a fresh
    // instance sounds as one into which its own values are set: the long taps from the pre-delay, the
    // high-cut filters from their parameter, the density factor. The coefficient update that follows
    // derives the rest.
    applyPredelayTimes();
    applyHighCut();
    applyOversamplingFactor();
}

void QuellorAudioProcessor::initialiseModulationConstants()
{
    stepDecayDivisor = 200;
    for (auto& gain : diffuserGains)
        gain = 0.61365;
}

//==============================================================================
void QuellorAudioProcessor::applyPredelayTimes()
{
    const float value = predelay.load (std::memory_order_relaxed);
    delayLine (predelayLine).setDelayTime (delaytimes::predelay (value));
    delayLine (longTapLines[0]).setDelayTime (delaytimes::longTap1 (value));
    delayLine (longTapLines[1]).setDelayTime (delaytimes::longTap2 (value));
}

void QuellorAudioProcessor::applyHighCut()
{
    const float value = fhighcut2.load (std::memory_order_relaxed);
    const double cutoff = static_cast<double> ((value * 8.0f + 5.0f) / 21.0f);

    for (auto& filter : highCutFilters)
        filter.setCutoff (cutoff);
}

void QuellorAudioProcessor::applyOversamplingFactor()
{
    oversamplingFactor = delaytimes::densityFactor (oversampling.load (std::memory_order_relaxed));
}

void QuellorAudioProcessor::updateCoefficients()
{
    // Density factor and the cascade stages it runs.
    applyOversamplingFactor();
    cascadeStageCount = cascadeStagesFor (oversamplingFactor, oversampling.load (std::memory_order_relaxed));

    // Decay step and pre-delay.
    const int decayIndex = decayStep (decay.load (std::memory_order_relaxed));
    delayLine (predelayLine).setDelayTime (delaytimes::predelay (predelay.load (std::memory_order_relaxed)));

    // Tank column and tap attenuations in dB.
    const double c = static_cast<double> (decayCoefficients[(size_t) decayIndex]);
    for (int column = 0; column < 3; ++column)
    {
        tankColumnDb[column] = c * tankColumnFactors[column];
        for (int position = 0; position < 4; ++position)
            tankTapDb[column][position] = (c * tankColumnFactors[column]) * tankTapRatios[column][position];
    }

    // Linear mixer gains: tank column 1's feedback, then the tap mixers' inputs.
    mixers[tankMixers[0]].raw1 = linearGain (tankColumnDb[0]);
    const int tapMixerOrder[4] = { tapSumMixer, cascadeInputMixers[0], cascadeInputMixers[1],
                                   cascadeInputMixers[2] };
    for (int mixer = 0; mixer < 4; ++mixer)
    {
        auto& tapMixer = mixers[tapMixerOrder[mixer]];
        float* raw[3] = { &tapMixer.raw0, &tapMixer.raw1, &tapMixer.raw2 };
        for (int input = 0; input < 3; ++input)
        {
            const auto& tap = tapMixerRouting[mixer][input];
            *raw[input] = linearGain (tankTapDb[tap.column - 1][tap.position - 1]);
        }
    }

    // The classic path's fixed tone filter.
    const double rate = currentSampleRate;
    classicToneFilter.setCoefficients (
        juce::IIRCoefficients::makeHighShelf (rate, realisableFrequency (9000.0, rate), 1.0, 1.2f));

    // Low and high shelves of the three tank columns; column 3 takes the table's value unscaled.
    const auto shelfGain = [] (float tableValue, int column)
    {
        return column == 2 ? (tableValue + 20.0f) / 20.0f
                           : (tableValue * shelfColumnRatios[column] + 20.0f) / 20.0f;
    };

    const int lowIndex = quarterStep (low.load (std::memory_order_relaxed));
    for (int column = 0; column < 3; ++column)
        lowShelfFilters[column].setCoefficients (
            juce::IIRCoefficients::makeLowShelf (rate, realisableFrequency (100.0, rate), 0.7,
                                                 shelfGain (lowShelfValues[(size_t) lowIndex], column)));

    const int highIndex = quarterStep (high.load (std::memory_order_relaxed));
    for (int column = 0; column < 3; ++column)
        highShelfFilters[column].setCoefficients (
            juce::IIRCoefficients::makeHighShelf (rate, realisableFrequency (6000.0, rate), 0.7,
                                                  shelfGain (highShelfValues[(size_t) highIndex], column)));

    // Output delay times follow the high step.
    const double c2 = static_cast<double> (decayCoefficients[(size_t) highIndex]);
    for (int k = 0; k < 5; ++k)
        delayLine (outputDelayLines[k]).setDelayTime (delaytimes::outputDelay (k, c2));

    // Modulation rates by voicing, slowed by the density factor.
    const bool classic = useClassic.load (std::memory_order_relaxed) != 0;
    const double cascadeRate = classic ? 13.0 : 9.75;
    modulationRates[0] = cascadeRate / oversamplingFactor;
    modulationRates[1] = cascadeRate / oversamplingFactor;
    modulationRates[2] = cascadeRate / oversamplingFactor;
    modulationRates[3] = (classic ? 0.137 : 0.06127) / oversamplingFactor;
    modulationRates[4] = (classic ? 0.0334 : 320.0) / oversamplingFactor;

    // Cascade modulation depth.
    modulationDepth = delaytimes::cascadeDepth;
}

int QuellorAudioProcessor::cascadeStagesFor (double factor, float oversamplingValue) noexcept
{
    if (factor == 4.0)
        return 4;
    if (factor == 3.0)
        return 3;
    if (factor == 2.0)
        return 2;
    if (factor == 1.0)
        return 1;

    // Between the steps (and at 5), run the stage count that the parameter's text names.
    return densityStagesOf (oversamplingValue);
}

//==============================================================================
void QuellorAudioProcessor::prepareToPlay (double sampleRate, int)
{
    // A rate such as 0 or NaN would turn every rate-dependent coefficient non-finite; preparing at the
    // last good rate keeps the network what a preparation leaves, at a rate it can run at.
    if (!isUsableSampleRate (sampleRate))
        sampleRate = currentSampleRate;

    const juce::ScopedLock lock (getCallbackLock());

    currentSampleRate = sampleRate;
    applyOversamplingFactor();

    for (int n = 0; n < 24; ++n)
        delayLine (n).setSampleRate (sampleRate);

    bandLimitFilters[0].setSampleRate (sampleRate);
    for (auto& filter : highCutFilters)
        filter.setSampleRate (sampleRate);
    bandLimitFilters[1].setSampleRate (sampleRate);

    for (int n = 24; n < numLines; ++n)
        delayLine (n).setSampleRate (sampleRate);

    inputCompander.setSampleRate (sampleRate);
    outputCompander.setSampleRate (sampleRate);

    for (auto& step : modulationStepSizes)
        step = 10.0 / sampleRate;

    updateCoefficients();

    // Storage for the new rate (setSampleRate has cleared every line already).
    sizeDelayStorage();
}

void QuellorAudioProcessor::reset()
{
    const juce::ScopedLock lock (getCallbackLock());
    clearNetwork();
}

void QuellorAudioProcessor::clearNetwork() noexcept
{
    // Runs with the callback lock held: called by reset(), or by a block (which the host's wrapper runs
    // under that lock) whose network went non-finite.

    // A line not written since its last clear already reads as silence.
    for (int n = 0; n < numLines; ++n)
    {
        if (lineWrittenSinceClear[n])
        {
            delayLine (n).clear();
            lineWrittenSinceClear[n] = false;
        }
    }

    bandLimitFilters[0].reset();
    for (auto& filter : highCutFilters)
        filter.clear();
    bandLimitFilters[1].reset();

    // The IIR filters' state is written directly rather than through juce::IIRFilter::reset, which
    // takes each filter's spin lock: their coefficients, the only other thing that lock guards, change
    // only under the callback lock held here.
    for (auto& filter : highShelfFilters)
        filter.setState (0.0f, 0.0f);
    classicToneFilter.setState (0.0f, 0.0f);
    for (auto& filter : lowShelfFilters)
        filter.setState (0.0f, 0.0f);

    for (auto& buffer : wireBuffers)
        buffer.clear();

    signals.clear();
}

bool QuellorAudioProcessor::networkStateIsFinite() const noexcept
{
    // Everything clearNetwork() clears that holds values between samples, the delay lines excepted.
    // 0 x a finite value is 0, 0 x an infinity or a NaN is a NaN: one sum tells, without a branch per value.
    double zeroIfFinite = 0.0;
    const auto check = [&zeroIfFinite] (double value) noexcept { zeroIfFinite += value * 0.0; };

    for (const auto& filter : bandLimitFilters)
    {
        for (const auto value : filter.x)
            check (value);
        for (const auto value : filter.y)
            check (value);
    }

    for (const auto& filter : highCutFilters)
        for (const auto value : { filter.xm1, filter.xm2, filter.xm3, filter.xm4, filter.ym1, filter.ym2,
                                  filter.ym3, filter.ym4 })
            check (value);

    const auto checkState = [&check] (const InlineIIRFilter& filter) noexcept
    {
        float state1, state2;
        filter.getState (state1, state2);
        check (state1);
        check (state2);
    };
    for (const auto& filter : highShelfFilters)
        checkState (filter);
    checkState (classicToneFilter);
    for (const auto& filter : lowShelfFilters)
        checkState (filter);

    for (const auto& buffer : wireBuffers)
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            check (buffer.getSample (c, 0));

    for (const auto value : signals.diffuserStates)
        check (value);
    for (const auto value : signals.tankTaps)
        check (value);

    return zeroIfFinite == 0.0;
}
