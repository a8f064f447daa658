// The optimised engine against the plain reference rendering in tests/reference: every output sample
// and the input meter after every block must be the same to the bit, over a table of scenarios
// (factory programs, both paths, every oversampling step, several rates and layouts, block sizes from
// 0 to 4096, parameter changes and bypass between blocks, impulse, noise, sine, silence and non-finite
// input).

#include "reference/ReferenceReverb.h"
#include "AudioTestSupport.h"
#include "FactoryProgramTable.h"
#include "FakeClock.h"
#include "ProcessorFixture.h"
#include "ProcessorInspector.h"
#include "processor/QuellorAudioProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;

namespace
{
struct ParameterChange
{
    int index;
    float value;
};

using Settings = std::vector<ParameterChange>;

/** What happens between two blocks. */
enum class Action
{
    parameters, // the changes, one setParameter each
    reset,      // reset(), as a host or a retune does
    program,    // setCurrentProgram (program); the reference stores the program's values one by one
    restore,    // setStateInformation of a state holding the changes; the reference stores its values
    prepare     // prepareToPlay at `rate` (a host changing the rate of a running instance)
};

/** Parameter changes (or another action) applied before block number `block` (and after the previous
    one). */
struct TimedChanges
{
    int block;
    Settings changes;
    Action action = Action::parameters;
    int program = 0;
    double rate = 0.0;
};

enum class Input
{
    impulse,   // 1.0 on channel 1 at the first sample, 0.7 on channel 2 at sample 100
    noise,     // uniform in [-0.5, 0.5], independent per channel
    loudNoise, // uniform in [-2.2, 2.2]: drives the meter to its top steps
    sine,      // 0.5 sin, 220 Hz x channel number
    silence,
    burst // noise for the first 0.25 s, then silence: the tail decays to exact zeros
};

struct Scenario
{
    std::string name;
    double sampleRate;
    int channels; // 1, 2, 6 or 10
    Settings settings;
    double seconds;
    int blockSize; // 0: random sizes from 0 to 4096
    Input input;
    std::vector<TimedChanges> changes{};
    std::vector<int> nonFiniteBlocks{}; // blocks whose input carries NaN and +-inf samples
    bool prepare = true;                // false: run at the construction rate without preparation
    Settings beforePreparation{};       // applied before prepareToPlay (and before `settings`)
    int lineBeyondCapacity = -1;        // a delay line whose count must exceed its capacity
    std::vector<int> hugeBlocks{};      // blocks whose input carries finite samples that overflow inside
};

//==============================================================================
/** A program's stores in the order a program change makes them (indexes 0..7, 9..15, then 8), from the
    shared table, which is in parameter index order (not in the record order of the plug-in's list). */
Settings program (int number, const Settings& overrides = {})
{
    const auto& values = testdata::factoryPrograms[number];
    Settings s;
    for (int i = 0; i <= 7; ++i)
        s.push_back ({ i, values[i] });
    for (int i = 9; i <= 15; ++i)
        s.push_back ({ i, values[i] });
    s.push_back ({ kUseClassic, values[kUseClassic] });
    s.insert (s.end(), overrides.begin(), overrides.end());
    return s;
}

/** The block at which a scenario of fixed block size has processed `samples` samples. */
int blockAt (std::int64_t samples, int blockSize)
{
    return static_cast<int> (samples / blockSize);
}

// A clock far past the guard against early program changes, so scenarios may change programs at once.
using testsupport::lateClock;

/** Program "Standard" with the given path and oversampling value. */
Settings standardWith (bool classic, float oversampling)
{
    return program (0, { { kUseClassic, classic ? 1.0f : 0.0f }, { kOversampling, oversampling } });
}

//==============================================================================
std::uint64_t splitMix (std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

/** Uniform in [-1, 1), a fixed function of the sample number and channel. */
float uniformNoise (std::int64_t n, int channel)
{
    const auto bits = splitMix (static_cast<std::uint64_t> (n) * 16u + static_cast<std::uint64_t> (channel));
    return static_cast<float> (static_cast<double> (bits >> 11) / 4503599627370496.0 - 1.0);
}

float inputSample (Input kind, std::int64_t n, int channel, double sampleRate)
{
    switch (kind)
    {
        case Input::impulse:
            if (channel == 0 && n == 0)
                return 1.0f;
            if (channel == 1 && n == 100)
                return 0.7f;
            return 0.0f;
        case Input::noise:
            return 0.5f * uniformNoise (n, channel);
        case Input::loudNoise:
            return 2.2f * uniformNoise (n, channel);
        case Input::sine:
            return static_cast<float> (0.5 * std::sin (2.0 * juce::MathConstants<double>::pi * 220.0 *
                                                       (channel + 1) * static_cast<double> (n) / sampleRate));
        case Input::silence:
            return 0.0f;
        case Input::burst:
            return static_cast<double> (n) < 0.25 * sampleRate ? 0.5f * uniformNoise (n, channel) : 0.0f;
    }
    return 0.0f;
}

std::uint32_t bitsOf (float v)
{
    std::uint32_t b;
    std::memcpy (&b, &v, sizeof b);
    return b;
}

std::string describe (float v)
{
    std::ostringstream s;
    s << std::setprecision (9) << v << " (0x" << std::hex << bitsOf (v) << ")";
    return s.str();
}

//==============================================================================
std::vector<Scenario> scenarios()
{
    const bool classic = true, modern = false;

    // Automation that touches every parameter the engine reads, with bypassed blocks in between.
    const std::vector<TimedChanges> automation{
        { 20, { { kDecay, 0.9f }, { kHigh, 0.3f } } },
        { 30, { { kLow, 0.1f }, { kHighCut2, 0.2f }, { kHighCut3, 0.2f } } },
        { 40, { { kMix, 0.35f }, { kSurroundSwitch, 1.0f } } },
        { 45, { { kBypass, 1.0f } } },
        { 50, { { kBypass, 0.0f }, { kLeftLevel, 0.8f }, { kRightLevel, 0.3f }, { kCenterLevel, 0.9f } } },
        { 55, { { kLeftSLevel, 0.1f }, { kRightSLevel, 1.0f }, { kUseClassic, 0.0f } } },
        { 65, { { kPredelay, 0.37f } } },
        { 75, { { kUseClassic, 1.0f }, { kDecay, 0.05f }, { kLow, 0.8f }, { kSurroundSwitch, 0.0f } } },
        { 85, { { kMix, 0.0f } } },
        { 90, { { kMix, 1.0f }, { kOversampling, 0.25f } } },
        { 100, { { kHigh, 0.6f }, { kDecay, 0.66f }, { kUseClassic, 0.0f } } },
        { 110, { { kBypass, 1.0f } } },
        { 112, { { kBypass, 0.0f }, { kHighCut2, 1.0f } } },
        // Non-finite values sent to float parameters are ignored.
        { 120,
          { { kDecay, std::numeric_limits<float>::quiet_NaN() },
            { kPredelay, std::numeric_limits<float>::infinity() },
            { kOversampling, -std::numeric_limits<float>::infinity() } } },
    };

    // Values outside 0..1 act as the nearest end of the range.
    const Settings outOfRange{ { kDecay, 1.3f },      { kLow, 1.2f },          { kHigh, -0.2f },
                               { kPredelay, -0.05f }, { kOversampling, 1.1f }, { kHighCut2, 1.05f },
                               { kLeftLevel, 1.5f },  { kRightLevel, -0.5f },  { kMix, 0.8f } };
    const Settings farOutOfRange{ { kHighCut2, -1.0f },    { kMix, 50.0f },        { kLeftLevel, 1e30f },
                                  { kRightLevel, -1e30f }, { kPredelay, 2.0f },    { kOversampling, 3.0f },
                                  { kDecay, -5.0f },       { kCenterLevel, 7.0f }, { kLeftSLevel, -0.0f },
                                  { kRightSLevel, 1e-45f } };

    std::vector<Scenario> list{
        // The ten factory programs, across rates, layouts, block sizes and inputs.
        { "Standard_48k_stereo_512_noise", 48000, 2, program (0), 2.5, 512, Input::noise },
        { "FemaleVocalHall_44k_stereo_17_impulse", 44100, 2, program (1), 2.0, 17, Input::impulse },
        { "FemaleVocalRoom_48k_51_random_sine", 48000, 6, program (2), 2.0, 0, Input::sine },
        { "DrumRoom_96k_712_4096_impulse", 96000, 10, program (3), 2.0, 4096, Input::impulse },
        { "AcousticGuitar_48k_stereo_random_noise", 48000, 2, program (4), 2.5, 0, Input::noise },
        { "ChorusedGuitar_44k_mono_1_burst", 44100, 1, program (5), 0.6, 1, Input::burst },
        { "LargeAndDreamy_48k_712_random_sine", 48000, 10, program (6), 2.0, 0, Input::sine },
        { "SmallRoom_22k_stereo_512_noise", 22050, 2, program (7), 2.0, 512, Input::noise },
        { "TavrickHall_48k_51_17_impulse", 48000, 6, program (8), 1.5, 17, Input::impulse },
        { "RealHall_96k_stereo_random_loudnoise", 96000, 2, program (9), 1.5, 0, Input::loudNoise },

        // Every oversampling step, in-between values and the top value, on both paths.
        { "Classic_os0_44k_stereo_random_burst", 44100, 2, standardWith (classic, 0.0f), 2.0, 0,
          Input::burst },
        { "Modern_os0_48k_stereo_512_noise", 48000, 2, standardWith (modern, 0.0f), 2.5, 512, Input::noise },
        { "Classic_os025_48k_mono_random_sine", 48000, 1, standardWith (classic, 0.25f), 1.5, 0,
          Input::sine },
        { "Modern_os025_44k_51_512_impulse", 44100, 6, standardWith (modern, 0.25f), 1.5, 512,
          Input::impulse },
        { "Classic_os05_96k_stereo_4096_noise", 96000, 2, standardWith (classic, 0.5f), 1.5, 4096,
          Input::noise },
        { "Modern_os05_22k_712_random_burst", 22050, 10, standardWith (modern, 0.5f), 2.0, 0, Input::burst },
        { "Modern_os075_48k_stereo_1_noise", 48000, 2, standardWith (modern, 0.75f), 0.4, 1, Input::noise },
        { "Classic_os1_48k_stereo_random_noise", 48000, 2, standardWith (classic, 1.0f), 2.0, 0,
          Input::noise },
        { "Modern_os1_96k_51_random_burst", 96000, 6, standardWith (modern, 1.0f), 2.0, 0, Input::burst },
        { "Classic_os037_44k_stereo_17_sine", 44100, 2, standardWith (classic, 0.37f), 1.5, 17, Input::sine },
        { "Modern_os062_48k_stereo_random_noise", 48000, 2, standardWith (modern, 0.62f), 1.5, 0,
          Input::noise },
        { "Modern_os09_44k_mono_512_impulse", 44100, 1, standardWith (modern, 0.9f), 1.5, 512,
          Input::impulse },

        // Parameter changes and bypass between blocks, in three layouts.
        { "Automation_48k_stereo_random_noise", 48000, 2, program (0), 3.0, 0, Input::noise, automation },
        { "Automation_44k_712_512_sine", 44100, 10, program (4), 1.6, 512, Input::sine, automation },
        { "Automation_96k_mono_1024_loudnoise", 96000, 1, program (6), 1.5, 1024, Input::loudNoise,
          automation },

        // Non-finite input samples, then the reverb must carry on alike.
        { "NonFinite_classic_48k_stereo_512",
          48000,
          2,
          program (0),
          1.5,
          512,
          Input::noise,
          {},
          { 10, 11, 40 } },
        { "NonFinite_modern_44k_51_random",
          44100,
          6,
          program (9, { { kMix, 0.5f } }),
          1.5,
          0,
          Input::sine,
          {},
          { 5, 30 } },
        { "NonFinite_classic_48k_mono_17",
          48000,
          1,
          program (2, { { kMix, 0.0f } }),
          0.5,
          17,
          Input::noise,
          {},
          { 3, 200 } },

        // Finite input samples that overflow inside the network: each block that leaves it non-finite
        // ends with it cleared, and the reverb carries on alike.
        { "Overflow_classic_48k_stereo_512",
          48000,
          2,
          program (0),
          2.0,
          512,
          Input::noise,
          {},
          {},
          true,
          {},
          -1,
          { 8, 30, 31, 60 } },
        { "Overflow_modern_44k_51_random",
          44100,
          6,
          program (9, { { kMix, 0.5f } }),
          2.0,
          0,
          Input::sine,
          {},
          {},
          true,
          {},
          -1,
          { 5, 6, 40 } },
        { "Overflow_classic_96k_mono_64",
          96000,
          1,
          program (6),
          1.0,
          64,
          Input::noise,
          {},
          { 100 },
          true,
          {},
          -1,
          { 20, 21, 22, 200, 201 } },
        { "Overflow_modern_48k_712_4096",
          48000,
          10,
          program (4, { { kPredelay, 0.0f } }),
          2.0,
          4096,
          Input::impulse,
          {},
          {},
          true,
          {},
          -1,
          { 3, 12 } },

        // Silence from the start, rates without a band-limit set, and a processor that is never prepared.
        { "Silence_modern_48k_stereo_random", 48000, 2, standardWith (modern, 0.5f), 1.0, 0, Input::silence },
        { "Silence_classic_44k_712_512", 44100, 10, program (1), 1.0, 512, Input::silence },
        { "Rate88k_classic_stereo_random_noise", 88200, 2, program (5), 1.0, 0, Input::noise },
        { "Rate32k_modern_51_512_impulse", 32000, 6, program (9), 1.5, 512, Input::impulse },
        { "OutOfRange_classic_48k_stereo_random_noise", 48000, 2, program (0, outOfRange), 1.5, 0,
          Input::noise },
        { "OutOfRange_modern_44k_51_512_impulse", 44100, 6, program (4, outOfRange), 1.5, 512,
          Input::impulse },
        { "FarOutOfRange_classic_48k_51_random_noise", 48000, 6, program (1, farOutOfRange), 1.5, 0,
          Input::noise },

        // Low rates: the high-cut (13 kHz), tone (9 kHz) and high shelves (6 kHz) reach half the rate.
        { "LowRate22k_classic_highcut13k_stereo_random_noise", 22050, 2, program (1), 1.5, 0, Input::noise },
        { "LowRate16k_classic_mono_512_impulse", 16000, 1, program (5), 1.5, 512, Input::impulse },
        { "LowRate8k_modern_51_random_noise", 8000, 6, program (4), 2.0, 0, Input::noise },
        { "LowRate8k_classic_stereo_64_burst", 8000, 2, program (1, { { kLow, 1.0f } }), 2.0, 64,
          Input::burst },

        // Clears: every read of a slot not written since a clear must give 0, as if the memory had been
        // zeroed. After runs longer than the lines hold, around the write positions' wrap (150,000
        // samples), several in a row, one during the refill after another, and clears that come with
        // program changes and state restores, in every layout's channel count.
        { "Clears_afterLongRun_48k_stereo_512_noise",
          48000,
          2,
          program (0),
          4.2,
          512,
          Input::noise,
          { { blockAt (170000, 512), {}, Action::reset },
            { blockAt (176000, 512), { { kPredelay, 0.8f } } },
            { blockAt (180000, 512), {}, Action::reset },
            { blockAt (180000, 512) + 1, {}, Action::reset },
            { blockAt (180000, 512) + 2, { { kOversampling, 0.25f } } },
            { blockAt (180000, 512) + 6, {}, Action::reset }, // lines still refilling
            { blockAt (190000, 512), { { kOversampling, 0.75f } } } } },
        { "Clears_aroundTheWrap_44k_51_10_noise",
          44100,
          6,
          program (8),
          3.5,
          10,
          Input::noise,
          { { blockAt (149990, 10), {}, Action::reset },
            { blockAt (150010, 10), {}, Action::reset },
            { blockAt (150500, 10), { { kPredelay, 1.0f } } },
            { blockAt (151000, 10), {}, Action::program, 6 } } },
        { "Clears_programChanges_96k_712_random_sine",
          96000,
          10,
          program (1),
          2.2,
          0,
          Input::sine,
          { { 30, {}, Action::program, 6 },
            { 32, {}, Action::program, 9 }, // during the refill
            { 60, {}, Action::program, 3 },
            { 61, {}, Action::reset },
            { 90, {}, Action::program, 2 } } },
        { "Clears_stateRestores_48k_mono_256_noise",
          48000,
          1,
          program (4),
          3.4,
          256,
          Input::noise,
          { { 200, program (6, { { kDecay, 0.7f }, { kMix, 0.4f } }), Action::restore },
            { 203, program (0, { { kUseClassic, 0.0f } }), Action::restore },
            { 590, program (2), Action::restore },
            { 600, {}, Action::program, 7 } } },
        { "Clears_impulseAfterLongRun_44k_stereo_64_impulse",
          44100,
          2,
          program (5),
          3.6,
          64,
          Input::impulse,
          { { blockAt (150000, 64), {}, Action::reset }, { blockAt (152000, 64), {}, Action::reset } } },

        { "Unprepared_classic_stereo_256_noise", 44100, 2, {}, 2.0, 256, Input::noise, {}, {}, false },

        // A preparation at 12 MHz: the long-tap lines count more samples than they hold, so their reads
        // stay on slot 0 for a while, then move on; clears while they do.
        { "BeyondCapacity_12M_stereo_random_noise",
          12000000,
          2,
          {},
          0.03,
          0,
          Input::noise,
          { { 150, {}, Action::reset }, { 151, {}, Action::reset }, { 400, {}, Action::reset } },
          {},
          true,
          program (0),
          31 },
    };

    // Every line's storage is sized at preparation for the longest delay it can be given: the delays at
    // the ends of their ranges (pre-delay 0 and 1, the high step's output delays, the density factor's
    // cascade and diffuser offsets), the modulators' walks to their bounds (short blocks let them move
    // fastest), rates up to 384 kHz and beyond the capacity, and rate changes on one instance.
    const Settings longest{ { kPredelay, 1.0f }, { kHigh, 0.0f }, { kOversampling, 0.0f } };
    const Settings shortest{ { kPredelay, 0.0f }, { kHigh, 1.0f }, { kOversampling, 1.0f } };
    const auto prepareAt = [] (int block, double rate)
    {
        TimedChanges change{ block, {}, Action::prepare };
        change.rate = rate;
        return change;
    };
    const std::vector<TimedChanges> delayEnds{
        { 40, shortest },
        { 80, longest },
        { 120, { { kUseClassic, 0.0f } } },
        { 160, shortest },
        { 200, { { kOversampling, 0.5f }, { kHigh, 0.5f }, { kPredelay, 0.5f } } }
    };
    struct RateCase
    {
        const char* name;
        double rate;
    };
    for (const auto& r : { RateCase{ "44k", 44100.0 }, RateCase{ "48k", 48000.0 }, RateCase{ "96k", 96000.0 },
                           RateCase{ "192k", 192000.0 }, RateCase{ "384k", 384000.0 } })
    {
        const int blockSize = 1024;
        const double seconds = 240.0 * blockSize / r.rate + 0.25;
        list.push_back ({ std::string ("DelayEnds_") + r.name + "_stereo_1024_noise", r.rate, 2,
                          program (0, longest), seconds, blockSize, Input::noise, delayEnds });
    }

    // The modulators at their bounds: blocks of one sample keep their steps whole, so the accumulators
    // walk from bound to bound (the cascade's to +-0.0199 / F, the diffuser's to +-1) within the run;
    // the density factor changes on the way, leaving an accumulator beyond the new bound.
    list.push_back ({ "ModulatorEnds_modern_48k_stereo_1_noise",
                      48000,
                      2,
                      standardWith (modern, 0.0f),
                      2.4,
                      1,
                      Input::noise,
                      { { 48000, { { kOversampling, 1.0f } } },
                        { 72000, { { kOversampling, 0.0f } } },
                        { 96000, { { kOversampling, 0.5f }, { kPredelay, 1.0f } } } } });
    list.push_back ({ "ModulatorEnds_modern_192k_stereo_3_sine",
                      192000,
                      2,
                      standardWith (modern, 0.0f),
                      1.2,
                      3,
                      Input::sine,
                      { { 40000, { { kOversampling, 1.0f } } } } });

    // Rate changes on one instance: low and high rates, each preparation sizing the storage afresh from
    // the modulators' state the last rate left.
    list.push_back ({ "RateChanges_modern_51_256_noise",
                      8000,
                      6,
                      standardWith (modern, 0.0f),
                      520.0 * 256 / 8000,
                      256,
                      Input::noise,
                      { prepareAt (60, 384000.0),
                        { 70, longest },
                        prepareAt (200, 48000.0),
                        { 230, shortest },
                        prepareAt (300, 192000.0),
                        prepareAt (400, 44100.0),
                        { 420, longest, Action::reset },
                        prepareAt (500, 96000.0) } });

    // Beyond the capacity on some lines only: at 1.4 MHz the long taps (pre-delay 1 before the
    // preparation) count more than the capacity, so their reads stay on slot 0 for a while, while the
    // tank's lines fit a smaller storage; then other rates, and back.
    list.push_back ({ "BeyondCapacity_1400k_then_48k_stereo_random_noise",
                      1400000,
                      2,
                      {},
                      0.6,
                      0,
                      Input::noise,
                      { { 60, {}, Action::reset },
                        prepareAt (200, 48000.0),
                        prepareAt (260, 1400000.0),
                        prepareAt (330, 384000.0),
                        { 340, longest } },
                      {},
                      true,
                      program (0, { { kPredelay, 1.0f }, { kHigh, 0.0f } }),
                      32 });

    return list;
}

/** Names the scenario in failure messages. */
void PrintTo (const Scenario& sc, std::ostream* os)
{
    *os << sc.name;
}

//==============================================================================
class EngineBitIdentity : public ::testing::TestWithParam<Scenario>
{
};

TEST_P (EngineBitIdentity, OutputAndMeterMatchTheReferenceToTheBit)
{
    const Scenario& sc = GetParam();

    auto plugin = std::make_unique<QuellorAudioProcessor> (&lateClock);
    auto reference = std::make_unique<tolvmark_reference::ReferenceReverb>();

    ASSERT_TRUE (plugin->setBusesLayout (testsupport::mainBuses (sc.channels)));
    ASSERT_EQ (plugin->getTotalNumOutputChannels(), sc.channels);

    auto apply = [&] (const Settings& settings)
    {
        for (const auto& change : settings)
        {
            plugin->setParameter (change.index, change.value);
            reference->setParameter (change.index, change.value);
        }
    };

    apply (sc.beforePreparation);
    if (sc.prepare)
    {
        plugin->prepareToPlay (sc.sampleRate, sc.blockSize > 0 ? sc.blockSize : 4096);
        reference->prepareToPlay (sc.sampleRate);
    }
    apply (sc.settings);

    if (sc.lineBeyondCapacity >= 0)
    {
        ASSERT_GE (ProcessorInspector::delayLine (*plugin, sc.lineBeyondCapacity).delaySamples,
                   SimpleDelay::kCapacity);
    }

    std::mt19937 blockSizes (static_cast<std::uint32_t> (std::hash<std::string>{}(sc.name)));
    const auto totalSamples = static_cast<std::int64_t> (sc.seconds * sc.sampleRate);

    juce::AudioBuffer<float> pluginBuffer (sc.channels, 4096);
    juce::AudioBuffer<float> referenceBuffer (sc.channels, 4096);
    juce::MidiBuffer midi;

    std::int64_t position = 0;
    std::int64_t samplesCompared = 0;
    for (int block = 0; position < totalSamples; ++block)
    {
        for (const auto& timed : sc.changes)
        {
            if (timed.block != block)
                continue;

            switch (timed.action)
            {
                case Action::parameters:
                    apply (timed.changes);
                    break;
                case Action::reset:
                    plugin->reset();
                    reference->reset();
                    break;
                case Action::program:
                    plugin->setCurrentProgram (timed.program);
                    ASSERT_EQ (plugin->getCurrentProgram(), timed.program);
                    for (const auto& change : program (timed.program))
                        reference->setParameter (change.index, change.value);
                    break;
                case Action::prepare:
                    plugin->prepareToPlay (timed.rate, 4096);
                    reference->prepareToPlay (timed.rate);
                    break;
                case Action::restore:
                {
                    auto donor = std::make_unique<QuellorAudioProcessor>();
                    for (const auto& change : timed.changes)
                        donor->setParameter (change.index, change.value);
                    juce::MemoryBlock state;
                    donor->getStateInformation (state);
                    plugin->setStateInformation (state.getData(), (int) state.getSize());
                    for (int index : { 0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 8 })
                    {
                        ASSERT_EQ (plugin->getParameter (index), donor->getParameter (index)) << index;
                        reference->setParameter (index, donor->getParameter (index));
                    }
                    break;
                }
            }
        }

        int n = sc.blockSize;
        if (n == 0)
        {
            const int pick = static_cast<int> (blockSizes() % 100);
            n = pick < 5    ? 0
                : pick < 10 ? 4096
                : pick < 20 ? 1 + static_cast<int> (blockSizes() % 16)
                            : static_cast<int> (blockSizes() % 1500);
        }

        const bool nonFinite = std::find (sc.nonFiniteBlocks.begin(), sc.nonFiniteBlocks.end(), block) !=
                               sc.nonFiniteBlocks.end();
        const bool huge =
            std::find (sc.hugeBlocks.begin(), sc.hugeBlocks.end(), block) != sc.hugeBlocks.end();

        pluginBuffer.setSize (sc.channels, n, false, false, true);
        referenceBuffer.setSize (sc.channels, n, false, false, true);
        for (int ch = 0; ch < sc.channels; ++ch)
        {
            for (int i = 0; i < n; ++i)
            {
                float x = inputSample (sc.input, position + i, ch, sc.sampleRate);
                if (nonFinite)
                {
                    if ((i + ch) % 7 == 3)
                        x = std::numeric_limits<float>::quiet_NaN();
                    else if ((i + ch) % 11 == 5)
                        x = std::numeric_limits<float>::infinity();
                    else if ((i + ch) % 13 == 7)
                        x = -std::numeric_limits<float>::infinity();
                }
                if (huge)
                {
                    // A stretch of the largest floats, then scattered ones.
                    const float biggest = std::numeric_limits<float>::max();
                    if (i >= n / 4 && i < n / 4 + 40)
                        x = (i / 20) % 2 == 0 ? biggest : -biggest;
                    else if ((i + ch) % 29 == 3)
                        x = 3.0e38f;
                }
                pluginBuffer.setSample (ch, i, x);
                referenceBuffer.setSample (ch, i, x);
            }
        }

        plugin->processBlock (pluginBuffer, midi);
        reference->processBlock (referenceBuffer);

        for (int ch = 0; ch < sc.channels; ++ch)
        {
            const float* got = pluginBuffer.getReadPointer (ch);
            const float* want = referenceBuffer.getReadPointer (ch);
            if (n > 0 && std::memcmp (got, want, sizeof (float) * static_cast<size_t> (n)) != 0)
            {
                int i = 0;
                while (bitsOf (got[i]) == bitsOf (want[i]))
                    ++i;
                FAIL() << "first difference in block " << block << " (" << n << " samples), channel "
                       << ch + 1 << ", sample " << i << " (sample " << position + i
                       << " of the scenario): plug-in " << describe (got[i]) << ", reference "
                       << describe (want[i]);
            }
        }

        const float pluginMeter = plugin->getParameter (kInputMeter);
        const float referenceMeter = reference->getParameter (kInputMeter);
        ASSERT_EQ (bitsOf (pluginMeter), bitsOf (referenceMeter))
            << "input meter after block " << block << ": plug-in " << pluginMeter << ", reference "
            << referenceMeter;

        position += n;
        samplesCompared += n;
    }

    EXPECT_GE (samplesCompared, totalSamples);
}

INSTANTIATE_TEST_SUITE_P (Scenarios, EngineBitIdentity, ::testing::ValuesIn (scenarios()),
                          [] (const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

//==============================================================================
// The comparison above is only worth something if the reference really renders a reverb: check that
// it answers an impulse with a long, finite tail in each path, so a silent or broken reference (which a
// broken engine could match) fails here.
TEST (EngineBitIdentityReference, RendersAFiniteDecayingTailInBothPaths)
{
    for (const bool classic : { true, false })
    {
        auto reference = std::make_unique<tolvmark_reference::ReferenceReverb>();
        reference->prepareToPlay (48000.0);
        for (const auto& change : standardWith (classic, 0.5f))
            reference->setParameter (change.index, change.value);

        juce::AudioBuffer<float> buffer (2, 512);
        double energyEarly = 0.0, energyLate = 0.0;
        bool finite = true;
        for (int block = 0; block < 200; ++block)
        {
            buffer.clear();
            if (block == 0)
                buffer.setSample (0, 0, 1.0f);
            reference->processBlock (buffer);
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 512; ++i)
                {
                    const double v = buffer.getSample (ch, i);
                    finite = finite && std::isfinite (v);
                    (block < 20 ? energyEarly : block >= 100 ? energyLate : energyEarly) += v * v;
                }
        }
        EXPECT_TRUE (finite) << (classic ? "classic" : "modern");
        EXPECT_GT (energyEarly, 1e-3) << (classic ? "classic" : "modern");
        EXPECT_GT (energyLate, 0.0) << (classic ? "classic" : "modern") << ": the tail reaches beyond 1 s";
        EXPECT_LT (energyLate, energyEarly * 1e-2) << (classic ? "classic" : "modern") << ": the tail decays";
    }
}
} // namespace

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
