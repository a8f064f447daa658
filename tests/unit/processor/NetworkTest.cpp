// The processor's reverb network: its state after construction, the coefficient update that follows
// every parameter store, preparation for a sample rate, reset, and the network's safety at low rates
// and under concurrent parameter changes.

#include "AudioTestSupport.h"
#include "FakeClock.h"
#include "ProcessorFixture.h"
#include "ProcessorInspector.h"

#include "dsp/BandLimitSets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using PI = ProcessorInspector;

namespace
{
constexpr double kInf = std::numeric_limits<double>::infinity();

using testsupport::makeProcessor;

/** Decay factors of the three tank columns and their tap ratios, as the network defines them. */
constexpr double columnFactors[3] = { -3.147215224, -3.965242704, -4.995892744 };
constexpr double tapRatios[3][4] = { { 0.247798, 0.510330836, 0.788474686, 1.083157831 },
                                     { 0.2242715, 0.461878877, 0.713615124, 0.980320388 },
                                     { 0.240868, 0.496058757, 0.766423945, 1.052865884 } };
constexpr float shelfRatios[3] = { 0.6299605f, 0.7937f, 1.0f };

/** powf (10, x * 0.05f) with the exponent formed in double and rounded to float. */
float decibelGain (double decibels)
{
    return std::pow (10.0f, static_cast<float> (decibels * static_cast<double> (0.05f)));
}

/** Shelf gain factor of a column for a table value, in single precision. */
float shelfGain (float tableValue, int column)
{
    if (column == 2)
        return (tableValue + 20.0f) / 20.0f;
    return (tableValue * shelfRatios[column] + 20.0f) / 20.0f;
}

void expectSameCoefficients (const juce::IIRCoefficients& actual, const juce::IIRCoefficients& expected,
                             const std::string& what)
{
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ (actual.coefficients[i], expected.coefficients[i]) << what << ", coefficient " << i;
}

/** A biquad (normalised b0 b1 b2 a1 a2) is stable when both poles lie inside the unit circle. */
bool biquadIsStable (const juce::IIRCoefficients& c)
{
    const double a1 = c.coefficients[3], a2 = c.coefficients[4];
    for (float x : c.coefficients)
        if (!std::isfinite (x))
            return false;
    return std::abs (a2) < 1.0 && std::abs (a1) < 1.0 + a2;
}

void expectBandLimitSet (const Lowpass4& filter, const BandLimitSet& set, const std::string& what)
{
    EXPECT_EQ (filter.gain, set.gain) << what;
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (filter.c[(size_t) i], set.c[(size_t) i]) << what << ", c" << i;
}

/** The plain Linkwitz-Riley design of the high-cut filters, without any limit at the Nyquist frequency. */
struct PlainLowpassDesign
{
    double b[4], a[5];
};

PlainLowpassDesign plainLowpassDesign (double cutoff, double sampleRate)
{
    const double fc = cutoff * 21000.0;
    const double wc = 6.2831853 * fc;
    const double wc2 = wc * wc, wc3 = wc * wc2, wc4 = wc2 * wc2;
    const double k = wc / std::tan (3.14159265 * fc / sampleRate);
    const double k2 = k * k, k3 = k * k2, k4 = k2 * k2;
    const double sq1 = 1.41421356237 * wc3 * k;
    const double sq2 = 1.41421356237 * wc * k3;
    const double n = 4.0 * wc2 * k2 + 2.0 * sq1 + k4 + 2.0 * sq2 + wc4;

    PlainLowpassDesign d{};
    d.b[0] = 4.0 * (wc4 + sq1 - k4 - sq2) / n;
    d.b[1] = (6.0 * wc4 - 8.0 * wc2 * k2 + 6.0 * k4) / n;
    d.b[2] = 4.0 * (wc4 - sq1 + sq2 - k4) / n;
    d.b[3] = (k4 - 2.0 * sq1 + wc4 - 2.0 * sq2 + 4.0 * wc2 * k2) / n;
    d.a[0] = wc4 / n;
    d.a[1] = 4.0 * wc4 / n;
    d.a[2] = 6.0 * wc4 / n;
    d.a[3] = d.a[1];
    d.a[4] = d.a[0];
    return d;
}

/** Runs a copy of a high-cut filter on an impulse: the response must stay finite and die away. */
bool lowpassImpulseDecays (const Lowpass& filter)
{
    Lowpass copy = filter;
    copy.clear();
    double tailEnergy = 0.0;
    for (int i = 0; i < 200000; ++i)
    {
        const double y = copy.processSample (i == 0 ? 1.0 : 0.0);
        if (!std::isfinite (y))
            return false;
        if (i >= 199000)
            tailEnergy += y * y;
    }
    return tailEnergy < 1e-20;
}

/** Processes numSamples of the given input through the processor in stereo blocks of 512 and returns the
    largest output magnitude; sets allFinite to false at the first non-finite output sample. */
template <typename Source>
double processStereo (QuellorAudioProcessor& p, int numSamples, Source&& source, bool& allFinite)
{
    juce::AudioBuffer<float> buffer (2, 512);
    juce::MidiBuffer midi;
    double peak = 0.0;
    for (int start = 0; start < numSamples; start += 512)
    {
        const int n = std::min (512, numSamples - start);
        buffer.setSize (2, n, false, false, true);
        for (int i = 0; i < n; ++i)
        {
            const float x = source (start + i);
            buffer.setSample (0, i, x);
            buffer.setSample (1, i, x);
        }
        p.processBlock (buffer, midi);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i)
            {
                const float y = buffer.getSample (c, i);
                if (!std::isfinite (y))
                    allFinite = false;
                else
                    peak = std::max (peak, (double) std::abs (y));
            }
    }
    return peak;
}

/** Drives the processor with a second of white noise so that its memory holds signal. */
void fillWithNoise (QuellorAudioProcessor& p, unsigned seed = 1)
{
    std::mt19937 random (seed);
    std::uniform_real_distribution<float> noise (-0.5f, 0.5f);
    bool finite = true;
    processStereo (
        p, 44100, [&] (int) { return noise (random); }, finite);
    ASSERT_TRUE (finite);
}

bool delayMemoryIsSilent (QuellorAudioProcessor& p, int line)
{
    const auto& delay = PI::delayLine (p, line);
    for (int slot = 0; slot < delay.capacity; ++slot)
        if (delay.storedSample (slot) != 0.0)
            return false;
    return true;
}

/** True when a framework filter's two state values are 0: it then answers an input exactly as a new
    filter with the same coefficients does. Runs the filter, so call it last on that filter. */
bool iirStateIsClear (juce::IIRFilter& filter)
{
    juce::IIRFilter fresh;
    fresh.setCoefficients (filter.getCoefficients());
    for (int i = 0; i < 3; ++i)
    {
        const float x = i == 0 ? 1.0f : 0.0f;
        if (filter.processSingleSampleRaw (x) != fresh.processSingleSampleRaw (x))
            return false;
    }
    return true;
}
} // namespace

//==============================================================================
// State after construction. One processor serves every read-only check.
//==============================================================================
class ReverbNetworkConstruction : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { processor = makeProcessor(); }
    static void TearDownTestSuite() { processor.reset(); }
    static std::unique_ptr<QuellorAudioProcessor> processor;
};

std::unique_ptr<QuellorAudioProcessor> ReverbNetworkConstruction::processor;

struct DelayLineCase
{
    int line;
    double time;
    int samples;
};

class ReverbNetworkDelayLines : public ReverbNetworkConstruction,
                                public ::testing::WithParamInterface<DelayLineCase>
{
};

TEST_P (ReverbNetworkDelayLines, HoldTheirConstructionTimeAndSampleCountAt44100)
{
    const auto& c = GetParam();
    auto& line = PI::delayLine (*processor, c.line);

    EXPECT_NEAR (line.time, c.time, 1e-15);
    EXPECT_EQ (line.delaySamples, c.samples);
    EXPECT_EQ (line.sampleRate, 44100.0);
    EXPECT_EQ (line.capacity, 150000);
    EXPECT_EQ (line.writeIndex, 0);
    EXPECT_TRUE (delayMemoryIsSilent (*processor, c.line));
}

static std::vector<DelayLineCase> constructionDelayLines()
{
    std::vector<DelayLineCase> cases;
    // Diffuser lines 0..5 and the unused lines 6..23 repeat the three section times.
    for (int n = 0; n < 24; ++n)
    {
        const DelayLineCase section[3] = { { n, 0.062083333, 273 },
                                           { n, 0.017083333, 75 },
                                           { n, 0.000833333333, 3 } };
        cases.push_back (section[n % 3]);
    }
    cases.push_back ({ 24, 0.0, 0 }); // pre-delay at the initial 0
    for (int n = 25; n <= 30; ++n)
        cases.push_back ({ n, 0.04, 176 });
    // Long taps, already following the initial pre-delay 0.
    cases.push_back ({ 31, 0.1428, 629 });
    cases.push_back ({ 32, 0.1513, 667 });
    cases.push_back ({ 33, 0.007, 30 });
    // Output delays, already retuned for the initial high value 1.0 (step 3).
    cases.push_back ({ 34, 0.17436, 768 });
    cases.push_back ({ 35, 0.16, 705 });
    cases.push_back ({ 36, 0.234436, 1033 });
    cases.push_back ({ 37, 0.45, 1984 });
    cases.push_back ({ 38, 0.45, 1984 });
    for (int n = 39; n <= 56; ++n)
        cases.push_back ({ n, 0.04, 176 });
    const DelayLineCase tank[12] = {
        { 57, 0.16, 705 },
        { 58, 0.170703356920, 752 },
        { 59, 0.202043168559, 891 },
        { 60, 0.194057280483, 855 },
        { 61, 0.206785788673, 911 },
        { 62, 0.240271173343, 1059 },
        { 63, 0.234558440709, 1034 },
        { 64, 0.249695273198, 1101 },
        { 65, 0.265732188579, 1171 },
        { 66, 0.282722708567, 1246 },
        { 67, 0.300723537443, 1326 },
        { 68, 0.339794751298, 1498 },
    };
    cases.insert (cases.end(), std::begin (tank), std::end (tank));
    return cases;
}

INSTANTIATE_TEST_SUITE_P (AllLines, ReverbNetworkDelayLines, ::testing::ValuesIn (constructionDelayLines()),
                          [] (const auto& info) { return "line" + std::to_string (info.param.line); });

TEST_F (ReverbNetworkConstruction, AllpassKeepsItsConstructionValues)
{
    auto& allpass = PI::allpass (*processor);
    EXPECT_EQ (allpass.coefficient, 0.15);
    EXPECT_EQ (allpass.gain, static_cast<double> (0.633f));
    EXPECT_EQ (allpass.sampleRate, 0.0);
    EXPECT_EQ (allpass.time, 0.017083333);
    EXPECT_EQ (allpass.delaySamples, 0);
    EXPECT_EQ (allpass.capacity, 15000);
    EXPECT_EQ (allpass.writeIndex, 0);
    EXPECT_EQ (allpass.readIndex, 1);
    EXPECT_NE (allpass.buffer.get(), nullptr);
}

TEST_F (ReverbNetworkConstruction, HighCutFiltersStartAtTheFrequencyTheirParameterShows)
{
    EXPECT_EQ (processor->getParameter (kHighCut2), 0.75f);
    EXPECT_EQ (processor->getParameterText (kHighCut2), "11.00 kHz");
    const double cutoff = static_cast<double> ((0.75f * 8.0f + 5.0f) / 21.0f);
    const auto design = plainLowpassDesign (cutoff, 44100.0);

    for (int n = 0; n < 5; ++n)
    {
        const auto& filter = PI::highCutFilter (*processor, n);
        EXPECT_EQ (filter.cutoff, cutoff) << n;
        EXPECT_NEAR (filter.cutoff * 21000.0, 11000.0, 1e-3) << n;
        EXPECT_EQ (filter.sampleRate, 44100.0) << n;
        EXPECT_EQ (filter.a0, design.a[0]) << n;
        EXPECT_EQ (filter.b1, design.b[0]) << n;
        EXPECT_EQ (filter.b4, design.b[3]) << n;
        EXPECT_EQ (filter.ym1, 0.0) << n;
    }
}

TEST_F (ReverbNetworkConstruction, BandLimitFiltersHoldTheDefaultSetAndNoHistory)
{
    for (int n = 0; n < 2; ++n)
    {
        const auto& filter = PI::bandLimitFilter (*processor, n);
        expectBandLimitSet (filter, defaultBandLimitSet, "filter " + std::to_string (n));
        for (int i = 0; i < 9; ++i)
        {
            EXPECT_EQ (filter.x[(size_t) i], 0.0);
            EXPECT_EQ (filter.y[(size_t) i], 0.0);
        }
    }
}

struct MixerCase
{
    int mixer;
    float raw[3]; // NaN: computed from the decay (checked by the coefficient tests)
    float flags[3];
};

TEST_F (ReverbNetworkConstruction, MixersHaveTheirRawGainsFlagsAndDecibelMode)
{
    const float computed = std::numeric_limits<float>::quiet_NaN();
    const MixerCase cases[] = {
        { 0, { 0, 0, 0 }, { 0, 0, 0 } },
        { 1, { 1, computed, 0 }, { 0, 0, 0 } },
        { 2, { computed, computed, computed }, { 0, 0, 0 } },
        { 3, { computed, computed, computed }, { 0, 0, 0 } },
        { 4, { computed, computed, computed }, { 0, 0, 0 } },
        { 5, { computed, computed, computed }, { 0, 0, 0 } },
        { 6, { 0, 0, 0 }, { 0, 0, 0 } },
        { 7, { 1, 0, 0 }, { 0, 1, 0 } },
        { 8, { 1, 0, 0 }, { 0, 1, 0 } },
    };

    for (const auto& c : cases)
    {
        const auto& m = PI::mixer (*processor, c.mixer);
        const float raw[3] = { m.raw0, m.raw1, m.raw2 };
        const float flags[3] = { m.flag0, m.flag1, m.flag2 };
        EXPECT_EQ (m.mode, 0.0f) << "mixer " << c.mixer;
        for (int k = 0; k < 3; ++k)
        {
            EXPECT_EQ (flags[k], c.flags[k]) << "mixer " << c.mixer << " flag " << k;
            if (std::isnan (c.raw[k]))
                EXPECT_GT (raw[k], 0.0f) << "mixer " << c.mixer << " raw " << k;
            else
                EXPECT_EQ (raw[k], c.raw[k]) << "mixer " << c.mixer << " raw " << k;
        }
    }
}

TEST_F (ReverbNetworkConstruction, CompandersHaveTheirInstanceSettings)
{
    const auto& in = PI::inputCompander (*processor);
    EXPECT_EQ (in.sampleRate, 44100.0);
    EXPECT_EQ (in.attackTime, 0.0005);
    EXPECT_EQ (in.releaseTime, 0.022);
    EXPECT_DOUBLE_EQ (in.attackCoefficient, 0.9556615326900152);
    EXPECT_DOUBLE_EQ (in.releaseCoefficient, 0.9989698156881484);
    EXPECT_EQ (in.ratio, kInf);
    EXPECT_EQ (in.mode, 0.0);
    EXPECT_EQ (in.threshold, 0.01);
    EXPECT_EQ (in.envelope, 0.01);
    EXPECT_NEAR (in.smootherB0, 0.00995016625083, 1e-13);
    EXPECT_NEAR (in.smootherA1, -0.990049833749, 1e-12);
    EXPECT_EQ (in.levelFloor, 1e-7);
    EXPECT_EQ (in.gain, 0.0);
    EXPECT_EQ (in.smootherState, 0.0);

    const auto& out = PI::outputCompander (*processor);
    EXPECT_EQ (out.sampleRate, 44100.0);
    EXPECT_EQ (out.attackTime, static_cast<double> (0.0005f));
    EXPECT_EQ (out.releaseTime, static_cast<double> (0.022f));
    EXPECT_EQ (out.attackCoefficient, std::exp (-1.0 / (static_cast<double> (0.0005f) * 44100.0)));
    EXPECT_EQ (out.releaseCoefficient, std::exp (-1.0 / (static_cast<double> (0.022f) * 44100.0)));
    EXPECT_EQ (out.ratio, kInf);
    EXPECT_EQ (out.mode, 1.0);
    EXPECT_EQ (out.threshold, static_cast<double> (0.01f));
    EXPECT_NEAR (out.smootherB0, 0.181269246922, 1e-12);
    EXPECT_NEAR (out.smootherA1, -0.818730753078, 1e-12);
    EXPECT_EQ (out.levelFloor, 1e-7f);
    EXPECT_EQ (out.gainDb, 0.0);
    EXPECT_EQ (out.smootherState, 0.0);
}

TEST_F (ReverbNetworkConstruction, ModulatorsScalarsAndWorkBuffersStartAsBuilt)
{
    struct LfoCase
    {
        tolvmark::CrossfadeLfo& lfo;
        double phase;
        int direction;
        double accumulator;
        const char* name;
    };
    const LfoCase lfos[] = {
        { PI::cascadeLfo (*processor, 0), 0.0, 1, -0.0095, "cascade 1" },
        { PI::cascadeLfo (*processor, 1), 6.0, 1, 0.0095, "cascade 2" },
        { PI::cascadeLfo (*processor, 2), -7.5, -1, 0.0, "cascade 3" },
        { PI::gainLfo (*processor), 0.0, 1, 0.0, "gain" },
        { PI::diffuserLfo (*processor), 0.0, 1, 0.0, "diffuser" },
    };
    for (const auto& c : lfos)
    {
        EXPECT_EQ (c.lfo.phase, c.phase) << c.name;
        EXPECT_EQ (c.lfo.direction, c.direction) << c.name;
        EXPECT_EQ (c.lfo.accumulator, c.accumulator) << c.name;
    }

    EXPECT_EQ (PI::currentSampleRate (*processor), 44100.0);
    EXPECT_EQ (PI::oversamplingFactor (*processor), 1.0);
    EXPECT_EQ (PI::modulationDepth (*processor), 0.0199);
    EXPECT_EQ (PI::stepDecayDivisor (*processor), 200);
    for (double g : PI::diffuserGains (*processor))
        EXPECT_EQ (g, 0.61365);
    EXPECT_EQ (PI::meterPeak (*processor), 0.0f);
    for (double s : PI::modulationStepSizes (*processor))
        EXPECT_EQ (s, 10.0 / 44100.0); // the construction rate until the first preparation

    const int channels[9] = { 6, 6, 6, 6, 6, 6, 6, 2, 4 };
    for (int b = 0; b < 9; ++b)
    {
        auto& wire = PI::wireBuffer (*processor, b);
        EXPECT_EQ (wire.getNumChannels(), channels[b]) << b;
        EXPECT_EQ (wire.getNumSamples(), 1) << b;
        for (int c = 0; c < wire.getNumChannels(); ++c)
            EXPECT_EQ (wire.getSample (c, 0), 0.0) << b;
    }
}

TEST (ReverbNetworkUnusedMembers, CarryNoSignalAndKeepTheirConstructionValues)
{
    auto p = makeProcessor();
    p->prepareToPlay (44100.0, 512);
    fillWithNoise (*p);
    p->setParameter (kUseClassic, 0.0f);
    fillWithNoise (*p, 2);

    std::vector<int> unused;
    for (int n = 6; n <= 23; ++n)
        unused.push_back (n);
    unused.push_back (33);

    for (int n : unused)
    {
        const auto& line = PI::delayLine (*p, n);
        EXPECT_TRUE (delayMemoryIsSilent (*p, n)) << "line " << n;
        EXPECT_EQ (line.writeIndex, 0) << "line " << n;
        EXPECT_EQ (line.readIndex, 0) << "line " << n;
    }
    EXPECT_EQ (PI::delayLine (*p, 6).time, 0.062083333);
    EXPECT_EQ (PI::delayLine (*p, 23).time, 0.000833333333);
    EXPECT_EQ (PI::delayLine (*p, 33).time, 0.007);
    EXPECT_EQ (PI::delayLine (*p, 33).delaySamples, 30);
    // A line that does carry signal, for contrast.
    EXPECT_FALSE (delayMemoryIsSilent (*p, 57));

    for (int m : { 0, 6 })
    {
        const auto& mixer = PI::mixer (*p, m);
        for (float v : { mixer.raw0, mixer.raw1, mixer.raw2, mixer.flag0, mixer.flag1, mixer.flag2, mixer.g0,
                         mixer.g1, mixer.g2, mixer.mode })
            EXPECT_EQ (v, 0.0f) << "mixer " << m;
    }

    const auto& allpass = PI::allpass (*p);
    EXPECT_EQ (allpass.sampleRate, 0.0);
    EXPECT_EQ (allpass.delaySamples, 0);
    EXPECT_EQ (allpass.writeIndex, 0);
    EXPECT_EQ (allpass.readIndex, 1);
}

//==============================================================================
// Retuning by setParameter: pre-delay and long taps, high cut.
//==============================================================================
TEST (ReverbNetworkRetuning, LongTapsFollowThePredelayFromConstructionOn)
{
    auto p = makeProcessor();
    EXPECT_EQ (PI::delayLine (*p, 31).time, 0.1428);
    EXPECT_EQ (PI::delayLine (*p, 32).time, 0.1513);

    // Other stores run the coefficient update, which leaves the long taps alone.
    p->setParameter (kPredelay, 0.25f);
    p->setParameter (kDecay, 0.3f);
    p->setParameter (kHigh, 0.2f);
    EXPECT_EQ (PI::delayLine (*p, 31).time, 0.25 + 0.1428);
    EXPECT_EQ (PI::delayLine (*p, 32).time, 0.25 + 0.1513);

    struct Case
    {
        float value;
        int predelaySamples, tap1Samples, tap2Samples;
    };
    const Case cases[] = { { 0.0f, 0, 629, 667 }, { 0.5f, 2205, 2834, 2872 }, { 1.0f, 4410, 5039, 5077 } };
    for (const auto& c : cases)
    {
        p->setParameter (kPredelay, c.value);
        const double v = c.value;
        EXPECT_EQ (PI::delayLine (*p, 24).time, v) << c.value;
        EXPECT_EQ (PI::delayLine (*p, 31).time, v + 0.1428) << c.value;
        EXPECT_EQ (PI::delayLine (*p, 32).time, v + 0.1513) << c.value;
        EXPECT_EQ (PI::delayLine (*p, 24).delaySamples, c.predelaySamples) << c.value;
        EXPECT_EQ (PI::delayLine (*p, 31).delaySamples, c.tap1Samples) << c.value;
        EXPECT_EQ (PI::delayLine (*p, 32).delaySamples, c.tap2Samples) << c.value;
    }
}

TEST (ReverbNetworkRetuning, HighCutFollowsOnlyStoresOfItsParameter)
{
    auto p = makeProcessor();
    p->setParameter (kHighCut2, 0.3f);
    p->setParameter (kHighCut3, 0.0f); // stored only
    p->setParameter (kDecay, 0.9f);
    EXPECT_EQ (PI::highCutFilter (*p, 0).cutoff, static_cast<double> ((0.3f * 8.0f + 5.0f) / 21.0f));

    for (float v : { 0.75f, 0.0f, 1.0f, 0.3f })
    {
        p->setParameter (kHighCut2, v);
        const double expected = static_cast<double> ((v * 8.0f + 5.0f) / 21.0f);
        const auto design = plainLowpassDesign (expected, 44100.0);
        for (int n = 0; n < 5; ++n)
        {
            const auto& filter = PI::highCutFilter (*p, n);
            EXPECT_EQ (filter.cutoff, expected) << v;
            EXPECT_EQ (filter.a0, design.a[0]) << v;
            EXPECT_EQ (filter.b2, design.b[1]) << v;
        }
    }
    EXPECT_NEAR (21000.0 * static_cast<double> ((0.75f * 8.0f + 5.0f) / 21.0f), 11000.0, 1e-3);
}

//==============================================================================
// Coefficient update.
//==============================================================================
TEST (ReverbNetworkCoefficients, DecayHalfGivesTheHandWorkedColumnAttenuationsAndMixerGains)
{
    auto p = makeProcessor();
    for (bool fromOtherDecay : { false, true })
    {
        if (fromOtherDecay)
        {
            p->setParameter (kDecay, 0.1f);
            p->setParameter (kDecay, 0.5f);
        }
        const auto& columnDb = PI::tankColumnDb (*p);
        EXPECT_NEAR (columnDb[0], -2.360411418, 1e-9);
        EXPECT_NEAR (columnDb[1], -2.973932028, 1e-9);
        EXPECT_NEAR (columnDb[2], -3.746919558, 1e-9);

        EXPECT_NEAR (PI::mixer (*p, 1).raw1, 0.76204294f, 1e-7f);
        EXPECT_NEAR (PI::mixer (*p, 3).raw0, 0.74501514f, 1e-7f);
        EXPECT_NEAR (PI::mixer (*p, 3).raw1, 0.71487433f, 1e-7f);
        EXPECT_NEAR (PI::mixer (*p, 3).raw2, 0.63496506f, 1e-7f);

        // The engine's gain of a linear input is the raw gain itself.
        auto mixer = PI::mixer (*p, 1);
        mixer.updateGains();
        EXPECT_EQ (mixer.g1, PI::mixer (*p, 1).raw1);
    }
}

TEST (ReverbNetworkCoefficients, EveryTapMixerGainIsThePowfOfItsTapAttenuation)
{
    auto p = makeProcessor();
    // (mixer, input) <- (column, position); position 0 means the column attenuation itself.
    struct Route
    {
        int mixer, input, column, position;
    };
    const Route routes[] = {
        { 1, 1, 1, 0 }, { 2, 0, 1, 2 }, { 2, 1, 2, 1 }, { 2, 2, 3, 3 }, { 3, 0, 1, 4 },
        { 3, 1, 2, 4 }, { 3, 2, 3, 4 }, { 4, 0, 1, 1 }, { 4, 1, 2, 3 }, { 4, 2, 3, 2 },
        { 5, 0, 2, 2 }, { 5, 1, 1, 3 }, { 5, 2, 3, 1 },
    };

    for (float decay : { 0.0f, 0.07f, 0.5f, 0.51f, 1.0f })
    {
        p->setParameter (kDecay, decay);
        const double c = static_cast<double> (decayCoefficients[(size_t) decayStep (decay)]);
        for (const auto& r : routes)
        {
            const double columnDb = c * columnFactors[r.column - 1];
            const double db = r.position == 0 ? columnDb : columnDb * tapRatios[r.column - 1][r.position - 1];
            const auto& m = PI::mixer (*p, r.mixer);
            const float raw[3] = { m.raw0, m.raw1, m.raw2 };
            EXPECT_EQ (raw[r.input], decibelGain (db))
                << "decay " << decay << ", mixer " << r.mixer << " input " << r.input;
        }
    }
}

struct DecayStepCase
{
    float value;
    int step;
};

class ReverbNetworkDecaySteps : public ::testing::TestWithParam<DecayStepCase>
{
protected:
    static void SetUpTestSuite() { processor = makeProcessor(); }
    static void TearDownTestSuite() { processor.reset(); }
    static std::unique_ptr<QuellorAudioProcessor> processor;
};

std::unique_ptr<QuellorAudioProcessor> ReverbNetworkDecaySteps::processor;

TEST_P (ReverbNetworkDecaySteps, ColumnAttenuationUsesTheStepsCoefficient)
{
    const auto& c = GetParam();
    processor->setParameter (kDecay, c.value);
    const double coefficient = static_cast<double> (decayCoefficients[(size_t) c.step]);
    for (int column = 0; column < 3; ++column)
    {
        EXPECT_EQ (PI::tankColumnDb (*processor)[column], coefficient * columnFactors[column]) << c.value;
        for (int position = 0; position < 4; ++position)
            EXPECT_EQ (PI::tankTapDb (*processor)[column][position],
                       (coefficient * columnFactors[column]) * tapRatios[column][position]);
    }
}

// Values above 1 stay on the last step of the table; values below 0 on the first.
INSTANTIATE_TEST_SUITE_P (Values, ReverbNetworkDecaySteps,
                          ::testing::Values (DecayStepCase{ 0.0f, 0 }, DecayStepCase{ 0.0625f, 0 },
                                             DecayStepCase{ 0.07f, 1 }, DecayStepCase{ 0.5f, 7 },
                                             DecayStepCase{ 0.51f, 8 }, DecayStepCase{ 1.0f, 15 },
                                             DecayStepCase{ 1.01f, 15 }, DecayStepCase{ 2.0f, 15 },
                                             DecayStepCase{ 1e30f, 15 }, DecayStepCase{ -1.0f, 0 }));

struct HighStepCase
{
    float value;
    int step;
    double times[5];
    int samples[5];
};

class ReverbNetworkOutputDelays : public ::testing::TestWithParam<HighStepCase>
{
protected:
    static void SetUpTestSuite() { processor = makeProcessor(); }
    static void TearDownTestSuite() { processor.reset(); }
    static std::unique_ptr<QuellorAudioProcessor> processor;
};

std::unique_ptr<QuellorAudioProcessor> ReverbNetworkOutputDelays::processor;

TEST_P (ReverbNetworkOutputDelays, TimesFollowTheHighStepAndNotTheDecay)
{
    const auto& c = GetParam();
    processor->setParameter (kHigh, c.value);
    for (float decay : { 0.0f, 0.5f, 1.0f })
    {
        processor->setParameter (kDecay, decay);
        for (int k = 0; k < 5; ++k)
        {
            const auto& line = PI::delayLine (*processor, 34 + k);
            EXPECT_NEAR (line.time, c.times[k], 1e-12) << "high " << c.value << ", line " << 34 + k;
            EXPECT_EQ (line.delaySamples, c.samples[k]) << "high " << c.value << ", line " << 34 + k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P (
    Steps, ReverbNetworkOutputDelays,
    ::testing::Values (
        HighStepCase{
            0.25f, 0, { 0.39936, 0.385, 0.571936, 1.125, 1.125 }, { 1761, 1697, 2522, 4961, 4961 } },
        HighStepCase{ 0.5f, 1, { 0.27436, 0.26, 0.384436, 0.75, 0.75 }, { 1209, 1146, 1695, 3307, 3307 } },
        HighStepCase{
            0.75f, 2, { 0.21186, 0.1975, 0.290686, 0.5625, 0.5625 }, { 934, 870, 1281, 2480, 2480 } },
        HighStepCase{ 1.0f, 3, { 0.17436, 0.16, 0.234436, 0.45, 0.45 }, { 768, 705, 1033, 1984, 1984 } },
        HighStepCase{ 3.0f, 3, { 0.17436, 0.16, 0.234436, 0.45, 0.45 }, { 768, 705, 1033, 1984, 1984 } }));

struct RateCase
{
    bool classic;
    float oversampling;
    double factor;
};

TEST (ReverbNetworkCoefficients, ModulationRatesFollowTheVoicingAndTheDensityFactor)
{
    auto p = makeProcessor();
    const RateCase cases[] = { { true, 0.0f, 1.0 },  { false, 0.0f, 1.0 }, { true, 1.0f, 5.0 },
                               { false, 1.0f, 5.0 }, { true, 0.25f, 2.0 }, { false, 0.75f, 4.0 } };

    for (const auto& c : cases)
    {
        p->setParameter (kOversampling, c.oversampling);
        p->setParameter (kUseClassic, c.classic ? 1.0f : 0.0f);
        const double base[5] = { c.classic ? 13.0 : 9.75, c.classic ? 13.0 : 9.75, c.classic ? 13.0 : 9.75,
                                 c.classic ? 0.137 : 0.06127, c.classic ? 0.0334 : 320.0 };

        EXPECT_EQ (PI::oversamplingFactor (*p), c.factor);
        for (int k = 0; k < 5; ++k)
            EXPECT_DOUBLE_EQ (PI::modulationRates (*p)[k], base[k] / c.factor)
                << (c.classic ? "classic" : "modern") << ", factor " << c.factor << ", entry " << k;
        EXPECT_EQ (PI::modulationDepth (*p), 0.0199);
    }
}

struct ShelfCase
{
    float value;
    int step;
};

TEST (ReverbNetworkCoefficients, ShelvesAreTheFrameworkDesignsWithTheColumnGainFactors)
{
    auto p = makeProcessor();
    const ShelfCase cases[] = {
        { 0.25f, 0 }, { 0.5f, 1 }, { 0.75f, 2 }, { 1.0f, 3 }, { 1.5f, 3 }, { 0.0f, 0 }
    };

    for (const auto& c : cases)
    {
        p->setParameter (kLow, c.value);
        p->setParameter (kHigh, c.value);
        for (int column = 0; column < 3; ++column)
        {
            const auto label =
                "value " + std::to_string (c.value) + ", column " + std::to_string (column + 1);
            expectSameCoefficients (
                PI::coefficientsOf (PI::lowShelfFilter (*p, column)),
                juce::IIRCoefficients::makeLowShelf (44100.0, 100.0, 0.7,
                                                     shelfGain (lowShelfValues[(size_t) c.step], column)),
                "low shelf, " + label);
            expectSameCoefficients (
                PI::coefficientsOf (PI::highShelfFilter (*p, column)),
                juce::IIRCoefficients::makeHighShelf (44100.0, 6000.0, 0.7,
                                                      shelfGain (highShelfValues[(size_t) c.step], column)),
                "high shelf, " + label);
        }
    }

    // Two hand-worked values: low 0.5 leaves the shelves flat, high 1.0 gives column 3 a gain factor of 0.93.
    EXPECT_EQ (shelfGain (lowShelfValues[1], 0), 1.0f);
    EXPECT_EQ (shelfGain (lowShelfValues[1], 1), 1.0f);
    EXPECT_NEAR (shelfGain (highShelfValues[3], 2), 0.93f, 1e-7f);
    EXPECT_NEAR (shelfGain (highShelfValues[3], 0), (-1.4 * 0.6299605 + 20.0) / 20.0, 1e-7);

    expectSameCoefficients (PI::coefficientsOf (PI::classicToneFilter (*p)),
                            juce::IIRCoefficients::makeHighShelf (44100.0, 9000.0, 1.0, 1.2f), "tone filter");
}

//==============================================================================
// Preparation and reset.
//==============================================================================
enum BandSet
{
    kDefaultSet = -1,
    kSet44 = 0,
    kSet48 = 1,
    kSet88 = 2,
    kSet96 = 3,
    kNoSet = 9
};

struct BandCase
{
    double rate;
    BandSet set;
};

class ReverbNetworkBandLimitSets : public ::testing::TestWithParam<BandCase>
{
protected:
    static void SetUpTestSuite()
    {
        processor = makeProcessor();
        neverBanded = makeProcessor();
    }
    static void TearDownTestSuite()
    {
        processor.reset();
        neverBanded.reset();
    }
    static std::unique_ptr<QuellorAudioProcessor> processor;
    // Prepared only at rates in no band, so it still holds the default set.
    static std::unique_ptr<QuellorAudioProcessor> neverBanded;
};

std::unique_ptr<QuellorAudioProcessor> ReverbNetworkBandLimitSets::processor;
std::unique_ptr<QuellorAudioProcessor> ReverbNetworkBandLimitSets::neverBanded;

TEST_P (ReverbNetworkBandLimitSets, PreparationLoadsTheSetOfTheRatesBandOrTheDefaultSetAndResetKeepsIt)
{
    const auto& c = GetParam();
    const auto setOf = [] (BandSet s) -> const BandLimitSet&
    { return s == kDefaultSet ? defaultBandLimitSet : bandLimitSets[(size_t) s]; };

    // From the set of another band and, for a rate in no band, also from the default set.
    std::vector<BandSet> starts{ c.set == kSet88 ? kSet48 : kSet88 };
    if (c.set == kNoSet)
        starts.push_back (kDefaultSet);

    for (BandSet previous : starts)
    {
        auto& p = previous == kDefaultSet ? *neverBanded : *processor;
        if (previous != kDefaultSet)
            p.prepareToPlay (previous == kSet88 ? 88200.0 : 48000.0, 512);

        p.prepareToPlay (c.rate, 512);
        const auto& expected = setOf (c.set == kNoSet ? kDefaultSet : c.set);
        const auto where =
            "rate " + std::to_string (c.rate) + ", previous set " + std::to_string ((int) previous);

        for (const char* when : { "prepared", "reset after the preparation" })
        {
            if (when[0] == 'r')
                p.reset();

            for (int n = 0; n < 2; ++n)
                expectBandLimitSet (PI::bandLimitFilter (p, n), expected,
                                    where + ", " + when + ", filter " + std::to_string (n));
        }
    }
}

INSTANTIATE_TEST_SUITE_P (Rates, ReverbNetworkBandLimitSets,
                          ::testing::Values (BandCase{ 44100.0, kSet44 }, BandCase{ 48000.0, kSet48 },
                                             BandCase{ 88200.0, kSet88 }, BandCase{ 96000.0, kSet96 },
                                             BandCase{ 176400.0, kSet96 }, BandCase{ 192000.0, kSet96 },
                                             BandCase{ 45000.0, kNoSet }, BandCase{ 47000.0, kNoSet },
                                             BandCase{ 49000.0, kNoSet }, BandCase{ 88000.0, kNoSet },
                                             BandCase{ 89000.0, kNoSet }, BandCase{ 90000.0, kNoSet },
                                             BandCase{ 42000.0, kNoSet }, BandCase{ 32000.0, kNoSet }),
                          [] (const auto& info) { return "rate" + std::to_string ((int) info.param.rate); });

TEST (ReverbNetworkPreparation, EveryClearReinstallsTheBandLimitSetOfTheLastPreparation)
{
    // Everything that clears the network: a reset, the stores that clear, a program, a restored state.
    const struct
    {
        const char* name;
        void (*clear) (QuellorAudioProcessor&);
    } clears[] = {
        { "reset", [] (QuellorAudioProcessor& p) { p.reset(); } },
        { "pre-delay store", [] (QuellorAudioProcessor& p) { p.setParameter (kPredelay, 0.25f); } },
        { "oversampling store", [] (QuellorAudioProcessor& p) { p.setParameter (kOversampling, 0.5f); } },
        { "program change", [] (QuellorAudioProcessor& p) { p.setCurrentProgram (3); } },
        { "state restore",
          [] (QuellorAudioProcessor& p)
          {
              juce::MemoryBlock state;
              p.getStateInformation (state);
              p.setStateInformation (state.getData(), (int) state.getSize());
          } },
    };

    // A little noise, so that the filters' histories hold signal before each clear.
    const auto play = [] (QuellorAudioProcessor& p)
    {
        juce::Random random (3);
        bool finite = true;
        processStereo (
            p, 1024, [&] (int) { return random.nextFloat() - 0.5f; }, finite);
        ASSERT_TRUE (finite);
    };

    for (const auto& clear : clears)
    {
        SCOPED_TRACE (clear.name);
        auto processor = testsupport::ProcessorFixture().clock (testsupport::lateClock).make();
        auto& p = *processor;

        // Before the first preparation the default set returns.
        play (p);
        clear.clear (p);
        for (int n = 0; n < 2; ++n)
            expectBandLimitSet (PI::bandLimitFilter (p, n), defaultBandLimitSet, "never prepared");

        // Then the set of the last preparation, also when that preparation's rate lies in no band.
        for (double rate : { 48000.0, 32000.0, 96000.0, 44100.0 })
        {
            p.prepareToPlay (rate, 512);
            const BandLimitSet expected{ PI::bandLimitFilter (p, 0).gain, PI::bandLimitFilter (p, 0).c };
            play (p);
            ASSERT_NE (PI::bandLimitFilter (p, 1).y[8], 0.0);

            clear.clear (p);
            for (int n = 0; n < 2; ++n)
            {
                expectBandLimitSet (PI::bandLimitFilter (p, n), expected,
                                    "prepared at " + std::to_string (rate));
                for (int i = 0; i < 9; ++i)
                {
                    EXPECT_EQ (PI::bandLimitFilter (p, n).x[(size_t) i], 0.0);
                    EXPECT_EQ (PI::bandLimitFilter (p, n).y[(size_t) i], 0.0);
                }
            }
            EXPECT_EQ (PI::currentSampleRate (p), rate); // the rate itself is kept
        }
        expectBandLimitSet (PI::bandLimitFilter (p, 0), bandLimitSets[0],
                            "the 44.1 kHz set, not the default");
    }
}

struct RateSamplesCase
{
    double rate;
    int samples[8]; // lines 0, 2, 24 (pre-delay 0.5), 25, 33, 36, 57, 68
};

TEST (ReverbNetworkPreparation, DelaySampleCountsAndRateDependentMembersFollowTheRate)
{
    auto p = makeProcessor();
    p->setParameter (kPredelay, 0.5f);
    const int lines[8] = { 0, 2, 24, 25, 33, 36, 57, 68 };
    const RateSamplesCase cases[] = {
        { 48000.0, { 297, 3, 2400, 192, 33, 1125, 768, 1631 } },
        { 96000.0, { 595, 7, 4800, 384, 67, 2250, 1536, 3262 } },
        { 44100.0, { 273, 3, 2205, 176, 30, 1033, 705, 1498 } },
    };

    for (const auto& c : cases)
    {
        p->prepareToPlay (c.rate, 512);
        for (int k = 0; k < 8; ++k)
        {
            EXPECT_EQ (PI::delayLine (*p, lines[k]).delaySamples, c.samples[k])
                << "rate " << c.rate << ", line " << lines[k];
            EXPECT_EQ (PI::delayLine (*p, lines[k]).sampleRate, c.rate);
        }
        EXPECT_EQ (PI::currentSampleRate (*p), c.rate);
        for (double s : PI::modulationStepSizes (*p))
            EXPECT_EQ (s, 10.0 / c.rate);
        for (int n = 0; n < 5; ++n)
            EXPECT_EQ (PI::highCutFilter (*p, n).sampleRate, c.rate);
        EXPECT_EQ (PI::inputCompander (*p).attackCoefficient, std::exp (-1.0 / (0.0005 * c.rate)));
        EXPECT_EQ (PI::outputCompander (*p).releaseCoefficient,
                   std::exp (-1.0 / (static_cast<double> (0.022f) * c.rate)));
        expectSameCoefficients (
            PI::coefficientsOf (PI::highShelfFilter (*p, 2)),
            juce::IIRCoefficients::makeHighShelf (c.rate, 6000.0, 0.7, shelfGain (-1.4f, 2)),
            "high shelf at " + std::to_string (c.rate));
    }
}

TEST (ReverbNetworkPreparation, ResetClearsSignalMemoryOnly)
{
    auto p = makeProcessor();
    p->prepareToPlay (48000.0, 512);
    fillWithNoise (*p);

    // Signal is in the memory before the reset.
    ASSERT_FALSE (delayMemoryIsSilent (*p, 24));
    ASSERT_FALSE (delayMemoryIsSilent (*p, 60));
    ASSERT_NE (PI::signals (*p).tankTaps[3], 0.0);
    ASSERT_NE (PI::bandLimitFilter (*p, 0).y[8], 0.0);
    ASSERT_NE (PI::highCutFilter (*p, 0).ym1, 0.0);

    const auto inputCompander = PI::inputCompander (*p);
    const auto outputCompander = PI::outputCompander (*p);
    const tolvmark::CrossfadeLfo lfos[5] = { PI::cascadeLfo (*p, 0), PI::cascadeLfo (*p, 1),
                                             PI::cascadeLfo (*p, 2), PI::gainLfo (*p), PI::diffuserLfo (*p) };
    const float meterPeak = PI::meterPeak (*p);
    const auto mixer3 = PI::mixer (*p, 3);
    const auto shelf = PI::coefficientsOf (PI::highShelfFilter (*p, 0));
    const double highCutA0 = PI::highCutFilter (*p, 0).a0;
    const int writeIndex = PI::delayLine (*p, 60).writeIndex;
    const int delay = PI::delayLine (*p, 60).delaySamples;
    ASSERT_NE (meterPeak, 0.0f);

    p->reset();

    for (int n = 0; n < 69; ++n)
        EXPECT_TRUE (delayMemoryIsSilent (*p, n)) << "line " << n;
    EXPECT_EQ (PI::delayLine (*p, 60).writeIndex, writeIndex);
    EXPECT_EQ (PI::delayLine (*p, 60).delaySamples, delay);

    for (int n = 0; n < 2; ++n)
        for (int i = 0; i < 9; ++i)
        {
            EXPECT_EQ (PI::bandLimitFilter (*p, n).x[(size_t) i], 0.0);
            EXPECT_EQ (PI::bandLimitFilter (*p, n).y[(size_t) i], 0.0);
        }
    for (int n = 0; n < 5; ++n)
    {
        const auto& f = PI::highCutFilter (*p, n);
        for (double v : { f.xm1, f.xm2, f.xm3, f.xm4, f.ym1, f.ym2, f.ym3, f.ym4 })
            EXPECT_EQ (v, 0.0) << "high cut " << n;
    }
    EXPECT_EQ (PI::highCutFilter (*p, 0).a0, highCutA0);

    for (int b = 0; b < 9; ++b)
    {
        auto& wire = PI::wireBuffer (*p, b);
        for (int c = 0; c < wire.getNumChannels(); ++c)
            EXPECT_EQ (wire.getSample (c, 0), 0.0) << "work buffer " << b;
    }
    for (double s : PI::signals (*p).diffuserStates)
        EXPECT_EQ (s, 0.0);
    for (double t : PI::signals (*p).tankTaps)
        EXPECT_EQ (t, 0.0);

    // Untouched: companders, modulators, meter peak, coefficients.
    EXPECT_EQ (PI::inputCompander (*p).envelope, inputCompander.envelope);
    EXPECT_EQ (PI::inputCompander (*p).smootherState, inputCompander.smootherState);
    EXPECT_EQ (PI::inputCompander (*p).gain, inputCompander.gain);
    EXPECT_EQ (PI::outputCompander (*p).envelope, outputCompander.envelope);
    EXPECT_EQ (PI::outputCompander (*p).smootherState, outputCompander.smootherState);
    EXPECT_EQ (PI::outputCompander (*p).gainDb, outputCompander.gainDb);
    const tolvmark::CrossfadeLfo* after[5] = { &PI::cascadeLfo (*p, 0), &PI::cascadeLfo (*p, 1),
                                               &PI::cascadeLfo (*p, 2), &PI::gainLfo (*p),
                                               &PI::diffuserLfo (*p) };
    for (int k = 0; k < 5; ++k)
    {
        EXPECT_EQ (after[k]->phase, lfos[k].phase) << "modulator " << k;
        EXPECT_EQ (after[k]->direction, lfos[k].direction) << "modulator " << k;
        EXPECT_EQ (after[k]->accumulator, lfos[k].accumulator) << "modulator " << k;
    }
    EXPECT_EQ (PI::meterPeak (*p), meterPeak);
    EXPECT_EQ (PI::mixer (*p, 3).raw0, mixer3.raw0);
    expectSameCoefficients (PI::coefficientsOf (PI::highShelfFilter (*p, 0)), shelf, "shelf after reset");
    for (double s : PI::modulationStepSizes (*p))
        EXPECT_EQ (s, 10.0 / 48000.0);

    // Last, as it runs them: the framework filters' states are clear.
    for (int n = 0; n < 3; ++n)
    {
        EXPECT_TRUE (iirStateIsClear (PI::highShelfFilter (*p, n))) << "high shelf " << n;
        EXPECT_TRUE (iirStateIsClear (PI::lowShelfFilter (*p, n))) << "low shelf " << n;
    }
    EXPECT_TRUE (iirStateIsClear (PI::classicToneFilter (*p)));
}

TEST (ReverbNetworkPreparation, PredelayAndOversamplingStoresClearTheMemoryOtherStoresDoNot)
{
    auto p = makeProcessor();
    p->prepareToPlay (44100.0, 512);

    struct Case
    {
        int index;
        float value;
        bool clears;
    };
    const Case cases[] = { { kDecay, 0.5f, false },       { kHighCut2, 0.5f, false },
                           { kUseClassic, 1.0f, false },  { kPredelay, 0.0f, true },
                           { kOversampling, 0.0f, true }, { kOversampling, 0.5f, true },
                           { kPredelay, 0.3f, true } };

    for (const auto& c : cases)
    {
        fillWithNoise (*p);
        ASSERT_FALSE (delayMemoryIsSilent (*p, 68));
        p->setParameter (c.index, c.value);
        for (int line : { 0, 24, 31, 57, 68 })
            EXPECT_EQ (delayMemoryIsSilent (*p, line), c.clears) << "index " << c.index << ", line " << line;
        EXPECT_EQ (PI::signals (*p).tankTaps[11] == 0.0, c.clears) << "index " << c.index;
    }
}

namespace
{
/** The stereo output of `seconds` of seeded noise at the processor's rate, in blocks of 512. */
juce::AudioBuffer<float> renderNoise (QuellorAudioProcessor& p, double rate, double seconds, int seed)
{
    const int length = (int) (rate * seconds);
    juce::AudioBuffer<float> out (2, length), block (2, 512);
    juce::MidiBuffer midi;
    juce::Random random (seed);
    for (int start = 0; start < length; start += 512)
    {
        const int n = std::min (512, length - start);
        block.setSize (2, n, false, false, true);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i)
                block.setSample (c, i, random.nextFloat() - 0.5f);
        p.processBlock (block, midi);
        for (int c = 0; c < 2; ++c)
            out.copyFrom (c, start, block, c, 0, n);
    }
    return out;
}

double levelDb (const juce::AudioBuffer<float>& b)
{
    double sum = 0.0;
    for (int c = 0; c < b.getNumChannels(); ++c)
        for (int i = 0; i < b.getNumSamples(); ++i)
            sum += (double) b.getSample (c, i) * (double) b.getSample (c, i);
    return 10.0 * std::log10 (sum / (b.getNumChannels() * b.getNumSamples()));
}
} // namespace

TEST (ReverbNetworkPreparation, ARateInNoBandSoundsTheSameWhateverRateCameBefore)
{
    // As when a session's rate changes: prepared and played at a banded rate, then prepared at a rate in
    // no band, an instance holds what a fresh one prepared there holds and plays at its level.
    for (const double banded : { 44100.0, 48000.0, 88200.0, 96000.0 })
    {
        for (const double noBand : { 32000.0, 45000.0, 46000.0, 50000.0, 64000.0, 89500.0 })
        {
            SCOPED_TRACE (testing::Message() << banded << " Hz, then " << noBand << " Hz");
            auto fresh = makeProcessor();
            auto moved = makeProcessor();
            fresh->prepareToPlay (noBand, 512);
            moved->prepareToPlay (banded, 512);
            renderNoise (*moved, banded, 0.25, 1);
            moved->prepareToPlay (noBand, 512);

            for (int n = 0; n < 2; ++n)
                expectBandLimitSet (PI::bandLimitFilter (*moved, n), defaultBandLimitSet, "band limit");
            for (int n = 0; n < 5; ++n)
                EXPECT_EQ (PI::highCutFilter (*moved, n).a0, PI::highCutFilter (*fresh, n).a0);
            for (int n = 0; n < 3; ++n)
                expectSameCoefficients (PI::coefficientsOf (PI::highShelfFilter (*moved, n)),
                                        PI::coefficientsOf (PI::highShelfFilter (*fresh, n)), "high shelf");
            // (The modulated lines' delays follow the modulators, which run on from what was played.)

            const auto freshOut = renderNoise (*fresh, noBand, 3.0, 2);
            const auto movedOut = renderNoise (*moved, noBand, 3.0, 2);
            EXPECT_NEAR (levelDb (movedOut), levelDb (freshOut), 0.1);
        }
    }
}

TEST (ReverbNetworkPreparation, ARateTheNetworkCannotRunAtIsReplacedByTheLastGoodRate)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const double badRates[] = { 0.0,    -0.0,   -48000.0, kNaN,  -kNaN, kInf, -kInf,
                                1e-300, 5e-324, 1.0,      999.0, 1e9,   1e300 };

    // Before any preparation the construction rate stands; after one, the rate it was prepared at. Either
    // way the network is left as a preparation at that rate leaves it, and plays exactly as one.
    for (const double goodRate : { 0.0, 48000.0, 96000.0 })
    {
        for (const double bad : badRates)
        {
            SCOPED_TRACE (testing::Message() << "prepared at " << goodRate << ", then at " << bad);
            auto refused = makeProcessor();
            auto reference = makeProcessor();
            const double expectedRate = goodRate > 0.0 ? goodRate : 44100.0;
            if (goodRate > 0.0)
            {
                refused->prepareToPlay (goodRate, 512);
                renderNoise (*refused, goodRate, 0.1, 3);
                reference->prepareToPlay (goodRate, 512);
                renderNoise (*reference, goodRate, 0.1, 3);
            }
            refused->prepareToPlay (bad, 512);
            reference->prepareToPlay (expectedRate, 512);

            EXPECT_EQ (PI::currentSampleRate (*refused), expectedRate);
            for (double step : PI::modulationStepSizes (*refused))
                EXPECT_EQ (step, 10.0 / expectedRate);
            const auto out = renderNoise (*refused, expectedRate, 0.5, 4);
            EXPECT_TRUE (allFinite (out));
            EXPECT_TRUE (bitIdentical (out, renderNoise (*reference, expectedRate, 0.5, 4)));
        }
    }

    // The ends of the accepted range are rates the network runs at.
    for (const double rate : { QuellorAudioProcessor::kMinSampleRate, QuellorAudioProcessor::kMaxSampleRate })
    {
        EXPECT_TRUE (QuellorAudioProcessor::isUsableSampleRate (rate));
        auto p = makeProcessor();
        p->prepareToPlay (rate, 512);
        EXPECT_EQ (PI::currentSampleRate (*p), rate);
        EXPECT_TRUE (allFinite (renderNoise (*p, 1000.0, 1.0, 5))) << rate;
    }
}

//==============================================================================
// Filter safety across sample rates.
//==============================================================================
class ReverbNetworkRates : public ::testing::TestWithParam<double>
{
};

TEST_P (ReverbNetworkRates, EveryFilterIsStableAndTheOutputStaysFinite)
{
    const double rate = GetParam();
    auto p = makeProcessor();
    p->prepareToPlay (rate, 512);

    for (float highCut : { 0.75f, 1.0f })
    {
        p->setParameter (kHighCut2, highCut);
        for (int n = 0; n < 5; ++n)
            EXPECT_TRUE (lowpassImpulseDecays (PI::highCutFilter (*p, n))) << "high cut " << n;
    }
    for (int n = 0; n < 3; ++n)
    {
        EXPECT_TRUE (biquadIsStable (PI::coefficientsOf (PI::highShelfFilter (*p, n)))) << "high shelf " << n;
        EXPECT_TRUE (biquadIsStable (PI::coefficientsOf (PI::lowShelfFilter (*p, n)))) << "low shelf " << n;
        // The 100 Hz shelves lie far below half the rate at every rate: their design is unchanged.
        expectSameCoefficients (PI::coefficientsOf (PI::lowShelfFilter (*p, n)),
                                juce::IIRCoefficients::makeLowShelf (rate, 100.0, 0.7, shelfGain (0.0f, n)),
                                "low shelf");
    }
    EXPECT_TRUE (biquadIsStable (PI::coefficientsOf (PI::classicToneFilter (*p))));

    // Impulse, then silence, then noise, in both voicings, with the longest decay and the widest high cut.
    p->setParameter (kDecay, 1.0f);
    p->setParameter (kHigh, 1.0f);
    std::mt19937 random (7);
    std::uniform_real_distribution<float> noise (-1.0f, 1.0f);
    const int second = (int) rate;
    const auto signal = [&] (int i) { return i == 0 ? 1.0f : (i > second ? noise (random) : 0.0f); };

    for (bool classic : { true, false })
    {
        p->setParameter (kUseClassic, classic ? 1.0f : 0.0f);
        bool finite = true;
        const double peak = processStereo (*p, 2 * second, signal, finite);
        EXPECT_TRUE (finite) << (classic ? "classic" : "modern");
        EXPECT_LT (peak, 100.0) << (classic ? "classic" : "modern");
        EXPECT_GT (peak, 1e-4) << (classic ? "classic" : "modern"); // the reverb does answer
    }
}

INSTANTIATE_TEST_SUITE_P (LowRates, ReverbNetworkRates,
                          ::testing::Values (8000.0, 11025.0, 16000.0, 22050.0, 24000.0, 44100.0, 96000.0),
                          [] (const auto& info) { return "rate" + std::to_string ((int) info.param); });

TEST (ReverbNetworkExactDesigns, FromFortyFourKilohertzUpTheDesignsAreExact)
{
    auto p = makeProcessor();
    p->setParameter (kHighCut2, 1.0f); // 13 kHz, the highest cutoff
    const double cutoff = static_cast<double> ((1.0f * 8.0f + 5.0f) / 21.0f);

    for (double rate : { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 })
    {
        p->prepareToPlay (rate, 512);
        const auto label = "rate " + std::to_string (rate);
        expectSameCoefficients (PI::coefficientsOf (PI::classicToneFilter (*p)),
                                juce::IIRCoefficients::makeHighShelf (rate, 9000.0, 1.0, 1.2f),
                                "tone, " + label);
        for (int n = 0; n < 3; ++n)
        {
            expectSameCoefficients (
                PI::coefficientsOf (PI::highShelfFilter (*p, n)),
                juce::IIRCoefficients::makeHighShelf (rate, 6000.0, 0.7, shelfGain (-1.4f, n)),
                "high shelf, " + label);
            expectSameCoefficients (
                PI::coefficientsOf (PI::lowShelfFilter (*p, n)),
                juce::IIRCoefficients::makeLowShelf (rate, 100.0, 0.7, shelfGain (0.0f, n)),
                "low shelf, " + label);
        }
        const auto design = plainLowpassDesign (cutoff, rate);
        for (int n = 0; n < 5; ++n)
        {
            const auto& f = PI::highCutFilter (*p, n);
            EXPECT_EQ (f.a0, design.a[0]) << label;
            EXPECT_EQ (f.a2, design.a[2]) << label;
            EXPECT_EQ (f.b1, design.b[0]) << label;
            EXPECT_EQ (f.b2, design.b[1]) << label;
            EXPECT_EQ (f.b3, design.b[2]) << label;
            EXPECT_EQ (f.b4, design.b[3]) << label;
        }
    }
}

//==============================================================================
// Parameter changes while audio runs.
//==============================================================================
TEST (ReverbNetworkConcurrency, RandomParameterStoresDuringProcessingKeepTheOutputFinite)
{
    auto p = makeProcessor();
    p->prepareToPlay (44100.0, 256);

    std::atomic<bool> done{ false };
    std::atomic<int> stores{ 0 };

    std::thread parameterThread (
        [&]
        {
            std::mt19937 random (11);
            std::uniform_int_distribution<int> index (0, kInputMeter);
            std::uniform_real_distribution<float> value (0.0f, 1.0f);
            while (!done.load())
            {
                int i = index (random);
                float v = value (random);
                if (i == kBypass)
                    v = v < 0.9f ? 0.0f : 1.0f; // mostly processing
                p->setParameter (i, v);
                ++stores;
            }
        });

    std::mt19937 random (5);
    std::uniform_real_distribution<float> noise (-1.0f, 1.0f);
    juce::AudioBuffer<float> buffer (2, 256);
    juce::MidiBuffer midi;
    bool finite = true;
    int blocks = 0;
    const auto start = std::chrono::steady_clock::now();

    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds (1500) || blocks < 200)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 256; ++i)
                buffer.setSample (c, i, noise (random) * 0.5f);
        {
            const juce::ScopedLock lock (p->getCallbackLock()); // as hosts' wrappers do
            p->processBlock (buffer, midi);
        }
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 256; ++i)
                finite = finite && std::isfinite (buffer.getSample (c, i));
        ++blocks;
    }

    done = true;
    parameterThread.join();

    EXPECT_TRUE (finite);
    EXPECT_GT (stores.load(), 100);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
