// The reverb engine inside the processor: the block frame (bypass, layouts, mix, meter), the
// modulators, the input network, the tank, the density cascade and the output network. These tests
// check behaviours and invariants; bit-exact output is the reference model's job.

#include "AllocationCounter.h"
#include "AudioTestSupport.h"
#include "ProcessorFixture.h"
#include "ProcessorInspector.h"
#include "engine/InputNetwork.h"
#include "engine/Modulators.h"
#include "engine/OutputNetwork.h"
#include "engine/Tank.h"
#include "processor/QuellorAudioProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using PI = ProcessorInspector;
using Processor = QuellorAudioProcessor;
using testsupport::countedAllocations;
using testsupport::countingAllocations;
using testsupport::Path;
using testsupport::pathName;

namespace
{
//==============================================================================
struct LayoutInfo
{
    const char* name;
    int channels;
};

const LayoutInfo layouts[] = { { "mono", 1 }, { "stereo", 2 }, { "5.1", 6 }, { "7.1.2", 10 } };

/** A processor with the given channel count on both buses and the given voicing. */
std::unique_ptr<Processor> makeProcessor (int channels = 2, Path path = Path::classic)
{
    return testsupport::ProcessorFixture().channels (channels).voicing (path).make();
}

template <typename T> void process (Processor& p, juce::AudioBuffer<T>& buffer)
{
    juce::MidiBuffer midi;
    p.processBlock (buffer, midi);
}

template <typename T> juce::AudioBuffer<T> noise (int channels, int samples, int seed, float amplitude = 0.5f)
{
    juce::Random random (seed);
    juce::AudioBuffer<T> buffer (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            buffer.setSample (c, i, static_cast<T> (amplitude * (2.0f * random.nextFloat() - 1.0f)));
    return buffer;
}

template <typename T> juce::AudioBuffer<T> impulse (int channels, int samples, T value = T (1))
{
    juce::AudioBuffer<T> buffer (channels, samples);
    buffer.clear();
    for (int c = 0; c < juce::jmin (2, channels); ++c)
        buffer.setSample (c, 0, value);
    return buffer;
}

template <typename T> double peakOf (const juce::AudioBuffer<T>& buffer, int channel)
{
    double peak = 0.0;
    for (int i = 0; i < buffer.getNumSamples(); ++i)
        peak = std::max (peak, std::abs ((double) buffer.getSample (channel, i)));
    return peak;
}

/** Everything a block may advance, for comparing before and after. */
struct EngineSnapshot
{
    float meterPeak, meter;
    double phases[5];
    double accumulators[4];
    int directions[5];
    int writeIndexes[69];
    double taps[12], diffuserStates[3];

    static EngineSnapshot of (Processor& p)
    {
        EngineSnapshot s;
        std::memset (&s, 0, sizeof (s)); // padding too, for the byte comparison
        s.meterPeak = PI::meterPeak (p);
        s.meter = p.getParameter (kInputMeter);
        for (int k = 0; k < 3; ++k)
        {
            s.phases[k] = PI::cascadeLfo (p, k).phase;
            s.accumulators[k] = PI::cascadeLfo (p, k).accumulator;
            s.directions[k] = PI::cascadeLfo (p, k).direction;
        }
        s.phases[3] = PI::gainLfo (p).phase;
        s.directions[3] = PI::gainLfo (p).direction;
        s.phases[4] = PI::diffuserLfo (p).phase;
        s.accumulators[3] = PI::diffuserLfo (p).accumulator;
        s.directions[4] = PI::diffuserLfo (p).direction;
        for (int n = 0; n < 69; ++n)
            s.writeIndexes[n] = PI::delayLine (p, n).writeIndex;
        for (int k = 0; k < 12; ++k)
            s.taps[k] = PI::signals (p).tankTaps[k];
        for (int k = 0; k < 3; ++k)
            s.diffuserStates[k] = PI::signals (p).diffuserStates[k];
        return s;
    }

    bool operator== (const EngineSnapshot& o) const { return std::memcmp (this, &o, sizeof (*this)) == 0; }
};

/** The thread's floating-point control register (MXCSR on x86; 0 elsewhere). */
unsigned floatingPointControl()
{
#if defined(__SSE__)
    return _mm_getcsr();
#else
    return 0;
#endif
}

/** Slot a line reads at its next tick. */
int nextReadSlot (const SimpleDelay& line)
{
    return (line.writeIndex - line.delaySamples + line.capacity) % line.capacity;
}

/** Puts `value` in the slot the line's next tick reads, as if it had been written that many ticks ago. */
void placeAtNextRead (SimpleDelay& line, double value)
{
    line.buffer[(size_t) nextReadSlot (line)] = value;
    line.samplesWritten = std::max (line.samplesWritten, line.delaySamples);
}

/** Slot the line's last tick wrote. */
int lastWrittenSlot (const SimpleDelay& line)
{
    return (line.writeIndex - 1 + line.capacity) % line.capacity;
}

/** The smallest float not below a double threshold. */
float firstFloatAtOrAbove (double threshold)
{
    float f = static_cast<float> (threshold);
    while (static_cast<double> (f) < threshold)
        f = std::nextafter (f, 10.0f);
    while (static_cast<double> (std::nextafter (f, 0.0f)) >= threshold)
        f = std::nextafter (f, 0.0f);
    return f;
}
} // namespace

//==============================================================================
// Bypass
//==============================================================================
class EngineBypass : public ::testing::TestWithParam<Path>
{
};

TEST_P (EngineBypass, BypassedBlockChangesNothingAtAll)
{
    auto p = makeProcessor (2, GetParam());
    auto warmUp = impulse<float> (2, 512);
    process (*p, warmUp);
    for (int block = 0; block < 4; ++block)
    {
        auto n = noise<float> (2, 512, block);
        process (*p, n);
    }

    p->setParameter (kBypass, 1.0f);
    const auto before = EngineSnapshot::of (*p);
    const auto fpBefore = floatingPointControl();

    for (int seed = 10; seed < 13; ++seed)
    {
        auto input = noise<float> (2, 512, seed);
        auto buffer = input;
        process (*p, buffer);
        EXPECT_TRUE (bitIdentical (buffer, input));

        auto inputD = noise<double> (2, 300, seed);
        auto bufferD = inputD;
        process (*p, bufferD);
        EXPECT_TRUE (bitIdentical (bufferD, inputD));
    }

    EXPECT_TRUE (EngineSnapshot::of (*p) == before);
    EXPECT_EQ (floatingPointControl(), fpBefore);
}

TEST_P (EngineBypass, TailResumesAsIfTheBypassedBlocksNeverHappened)
{
    auto plain = makeProcessor (2, GetParam());
    auto interrupted = makeProcessor (2, GetParam());

    for (auto* p : { plain.get(), interrupted.get() })
    {
        auto start = impulse<float> (2, 512);
        process (*p, start);
    }

    interrupted->setParameter (kBypass, 1.0f);
    for (int seed = 0; seed < 3; ++seed)
    {
        auto n = noise<float> (2, 512, seed, 0.9f);
        process (*interrupted, n);
    }
    interrupted->setParameter (kBypass, 0.0f);

    double energy = 0.0;
    for (int block = 0; block < 40; ++block)
    {
        juce::AudioBuffer<float> a (2, 512), b (2, 512);
        a.clear();
        b.clear();
        process (*plain, a);
        process (*interrupted, b);
        ASSERT_TRUE (bitIdentical (a, b)) << "block " << block;
        energy += peakOf (a, 0);
    }

    EXPECT_GT (energy, 0.0) << "the compared tail must not be silent";
    EXPECT_EQ (PI::meterPeak (*plain), PI::meterPeak (*interrupted));
}

INSTANTIATE_TEST_SUITE_P (Paths, EngineBypass, ::testing::Values (Path::classic, Path::modern),
                          [] (const auto& info) { return std::string (pathName (info.param)); });

//==============================================================================
// Dry/wet mix and layouts
//==============================================================================
struct LayoutPath
{
    LayoutInfo layout;
    Path path;
};

class EngineMix : public ::testing::TestWithParam<LayoutPath>
{
};

TEST_P (EngineMix, MixZeroLeavesEveryChannelAsItCameButTheTopAndRearPairsOf712)
{
    const auto [layout, path] = GetParam();
    auto p = makeProcessor (layout.channels, path);

    // Build a tail at full mix first, so that the wet signal is present while the mix is 0.
    auto start = impulse<float> (layout.channels, 512);
    process (*p, start);
    auto wetBlock = noise<float> (layout.channels, 512, 1);
    process (*p, wetBlock);
    EXPECT_GT (peakOf (wetBlock, 0), 0.0);

    p->setParameter (kMix, 0.0f);

    for (int seed = 2; seed < 5; ++seed)
    {
        const auto input = noise<float> (layout.channels, 512, seed);
        auto buffer = input;
        process (*p, buffer);

        for (int c = 0; c < layout.channels; ++c)
        {
            for (int i = 0; i < 512; ++i)
            {
                const float expected = (layout.channels == 10 && c >= 6) ? 0.0f : input.getSample (c, i);
                ASSERT_EQ (buffer.getSample (c, i), expected) << "channel " << c << " sample " << i;
            }
        }
    }
}

TEST_P (EngineMix, MixOneZeroesTheLfeAndThe712ExtraChannels)
{
    const auto [layout, path] = GetParam();
    if (layout.channels < 6)
        GTEST_SKIP() << "no LFE in this layout";

    auto p = makeProcessor (layout.channels, path);
    ASSERT_EQ (p->getParameter (kMix), 1.0f);

    // Past the output delays (the surround pair's is about 45 ms) every wet channel is live.
    auto start = impulse<float> (layout.channels, 512);
    process (*p, start);
    for (int seed = 10; seed < 16; ++seed)
    {
        auto n = noise<float> (layout.channels, 512, seed);
        process (*p, n);
    }

    for (int seed = 0; seed < 3; ++seed)
    {
        auto buffer = noise<float> (layout.channels, 512, seed);
        process (*p, buffer);

        for (int c : { 0, 1, 2, 4, 5 })
            EXPECT_GT (peakOf (buffer, c), 0.0) << "channel " << c << " carries the wet signal";
        EXPECT_EQ (peakOf (buffer, 3), 0.0) << "LFE";
        for (int c = 6; c < layout.channels; ++c)
            EXPECT_EQ (peakOf (buffer, c), 0.0) << "channel " << c;
    }
}

static std::vector<LayoutPath> allLayoutPaths()
{
    std::vector<LayoutPath> cases;
    for (const auto& layout : layouts)
        for (auto path : { Path::classic, Path::modern })
            cases.push_back ({ layout, path });
    return cases;
}

INSTANTIATE_TEST_SUITE_P (Layouts, EngineMix, ::testing::ValuesIn (allLayoutPaths()),
                          [] (const auto& info)
                          {
                              auto name =
                                  std::string (info.param.layout.name) + "_" + pathName (info.param.path);
                              for (auto& ch : name)
                                  if (ch == '.')
                                      ch = '_';
                              return name;
                          });

//==============================================================================
// Surround switch: every layout against a 5.1 reference that shows the five wet signals as they are
// (double host samples at full mix carry the wet values exactly).
TEST (EngineSurroundSwitch, RoutesTheFrontOrRearPairInEveryLayout)
{
    constexpr int blockSize = 256, numBlocks = 16;

    // The same input reaches the engine in every layout: left and right equal, other channels silent.
    const auto inputBlock = [] (int channels, int block)
    {
        juce::AudioBuffer<double> buffer (channels, blockSize);
        buffer.clear();
        juce::Random random (block);
        for (int i = 0; i < blockSize; ++i)
        {
            const double x = (block == 0 && i == 0) ? 1.0 : 0.1 * (2.0 * random.nextDouble() - 1.0);
            buffer.setSample (0, i, x);
            if (channels > 1)
                buffer.setSample (1, i, x);
        }
        return buffer;
    };

    const auto run = [&] (int channels, bool reversed)
    {
        auto p = makeProcessor (channels, Path::modern);
        p->setParameter (kSurroundSwitch, reversed ? 1.0f : 0.0f);
        std::vector<juce::AudioBuffer<double>> out;
        for (int block = 0; block < numBlocks; ++block)
        {
            auto buffer = inputBlock (channels, block);
            process (*p, buffer);
            out.push_back (buffer);
        }
        return out;
    };

    const auto reference = run (6, false);
    enum Wet
    {
        L,
        R,
        C,
        Ls,
        Rs
    };
    const auto wet = [&] (int block, Wet w, int i)
    {
        const int channel[] = { 0, 1, 2, 4, 5 };
        return reference[(size_t) block].getSample (channel[w], i);
    };

    // The output delays hold the wet signal back (the surround pair by about 45 ms): it must be live
    // well before the end of the run in every wet channel.
    for (int channel : { 0, 1, 2, 4, 5 })
        EXPECT_GT (peakOf (reference[(size_t) numBlocks - 2], channel), 0.0) << "channel " << channel;

    struct Case
    {
        int channels;
        bool reversed;
        std::function<double (int block, int channel, int i)> expected;
    };

    const Case cases[] = {
        { 2, false, [&] (int b, int c, int i) { return wet (b, c == 0 ? L : R, i); } },
        { 2, true, [&] (int b, int c, int i) { return wet (b, c == 0 ? Ls : Rs, i); } },
        { 1, false, [&] (int b, int, int i) { return wet (b, L, i) * 0.5 + wet (b, R, i) * 0.5; } },
        { 1, true, [&] (int b, int, int i) { return wet (b, Ls, i) * 0.5 + wet (b, Rs, i) * 0.5; } },
        { 6, true,
          [&] (int b, int c, int i)
          {
              const Wet map[] = { Ls, Rs, C, L, L, R };
              return c == 3 ? 0.0 : wet (b, map[c], i);
          } },
        { 10, true,
          [&] (int b, int c, int i)
          {
              const Wet map[] = { Ls, Rs, C, L, L, R };
              return (c == 3 || c >= 6) ? 0.0 : wet (b, map[c], i);
          } },
        { 10, false,
          [&] (int b, int c, int i) { return c >= 6 ? 0.0 : reference[(size_t) b].getSample (c, i); } },
    };

    for (const auto& c : cases)
    {
        const auto out = run (c.channels, c.reversed);
        for (int block = 0; block < numBlocks; ++block)
            for (int channel = 0; channel < c.channels; ++channel)
                for (int i = 0; i < blockSize; ++i)
                    ASSERT_EQ (out[(size_t) block].getSample (channel, i), c.expected (block, channel, i))
                        << c.channels << " channels, reversed " << c.reversed << ", block " << block
                        << ", channel " << channel << ", sample " << i;
    }
}

//==============================================================================
// Buffers the frame does not process.
TEST (EngineFrame, BuffersOfOtherChannelCountsComeBackUnchangedAndFeedNoMeter)
{
    struct Case
    {
        int layoutChannels, bufferChannels;
    };
    const Case cases[] = { { 2, 4 }, { 2, 3 }, { 2, 0 }, { 2, 6 }, { 2, 10 }, { 6, 2 }, { 10, 6 }, { 1, 2 } };

    for (const auto& c : cases)
    {
        auto p = makeProcessor (c.layoutChannels, Path::modern);
        PI::meterPeak (*p) = 0.3f;
        const auto before = EngineSnapshot::of (*p);

        const auto input = noise<float> (c.bufferChannels, 512, 7, 0.9f);
        auto buffer = input;
        process (*p, buffer);

        EXPECT_TRUE (bitIdentical (buffer, input))
            << c.bufferChannels << " channels, layout " << c.layoutChannels;
        EXPECT_TRUE (EngineSnapshot::of (*p) == before) << c.bufferChannels << " channels";
    }
}

//==============================================================================
// Input meter
//==============================================================================
TEST (EngineMeter, ModernPeakThenSilenceFallsByStepsOfOneTenth)
{
    auto p = makeProcessor (2, Path::modern);

    auto first = impulse<float> (2, 64);
    process (*p, first);
    EXPECT_EQ (PI::meterPeak (*p), 1.0f);
    EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), 0.8f);

    const float expectedPeak[] = { 0.9f, 0.81f, 0.729f, 0.6561f, 0.59049f, 0.531441f, 0.4782969f };
    const float expectedMeter[] = { 0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.4f };

    for (size_t k = 0; k < std::size (expectedPeak); ++k)
    {
        juce::AudioBuffer<float> silence (2, 64);
        silence.clear();
        process (*p, silence);
        EXPECT_NEAR (PI::meterPeak (*p), expectedPeak[k], 1e-6) << "silent block " << k + 1;
        EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), expectedMeter[k]) << "silent block " << k + 1;
    }
}

TEST (EngineMeter, ClassicFollowsEverySampleWithTheBlocksRunningPeak)
{
    // The frame after k samples of a block is the frame after a block of those k samples, so the
    // meter's per-sample course shows in blocks of growing length started from a zero peak.
    auto p = makeProcessor (1, Path::classic);
    const float samples[] = { 0.5f, 0.0f, 0.0f, 0.0f };
    const float expectedPeak[] = { 0.5f, 0.45f, 0.5f, 0.45f };

    for (int length = 1; length <= 4; ++length)
    {
        PI::meterPeak (*p) = 0.0f;
        juce::AudioBuffer<float> buffer (1, length);
        for (int i = 0; i < length; ++i)
            buffer.setSample (0, i, samples[i]);
        process (*p, buffer);
        EXPECT_FLOAT_EQ (PI::meterPeak (*p), expectedPeak[length - 1]) << "after sample " << length;
    }
    EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), 0.4f);

    // The modern meter sees the same block once, at its end.
    p->setParameter (kUseClassic, 0.0f);
    PI::meterPeak (*p) = 0.0f;
    juce::AudioBuffer<float> buffer (1, 4);
    for (int i = 0; i < 4; ++i)
        buffer.setSample (0, i, samples[i]);
    process (*p, buffer);
    EXPECT_FLOAT_EQ (PI::meterPeak (*p), 0.5f);
}

TEST (EngineMeter, StepThresholdsAreInclusiveAtTheirLowerEnd)
{
    auto p = makeProcessor (2, Path::modern);
    const double thresholds[] = { 0.0631, 0.251, 0.501, 1.0, 2.0 };

    for (int k = 0; k < 5; ++k)
    {
        const float at = firstFloatAtOrAbove (thresholds[k]);
        const float below = std::nextafter (at, 0.0f);

        for (const auto& [value, step] : { std::pair<float, int>{ at, k + 1 }, { below, k } })
        {
            PI::meterPeak (*p) = 0.0f;
            juce::AudioBuffer<float> buffer (2, 32);
            buffer.clear();
            buffer.setSample (1, 5, value);
            process (*p, buffer);
            EXPECT_EQ (PI::meterPeak (*p), value);
            EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), (float) step / 5.0f) << "peak " << value;
        }
    }
}

TEST (EngineMeter, EveryChannelOfTheLayoutFeedsTheMeterButOnlyPositiveValuesCount)
{
    for (const auto& layout : layouts)
    {
        auto p = makeProcessor (layout.channels, Path::modern);
        const int last = layout.channels - 1;

        struct Case
        {
            float value;
            float expectedPeak; // from a held peak of 0.3
        };
        const float decayed = static_cast<float> (static_cast<double> (0.3f) * 0.9);
        const Case cases[] = { { 0.7f, 0.7f },
                               { -0.9f, decayed },
                               { 0.0f, decayed },
                               { std::numeric_limits<float>::quiet_NaN(), decayed } };

        for (const auto& c : cases)
        {
            PI::meterPeak (*p) = 0.3f;
            juce::AudioBuffer<float> buffer (layout.channels, 16);
            buffer.clear();
            buffer.setSample (last, 3, c.value);
            process (*p, buffer);
            EXPECT_EQ (PI::meterPeak (*p), c.expectedPeak) << layout.name << " value " << c.value;
        }
    }
}

TEST (EngineMeter, EmptyBlockLowersTheModernMeterOnceAndLeavesTheClassicOne)
{
    for (auto path : { Path::modern, Path::classic })
    {
        auto p = makeProcessor (2, path);
        PI::meterPeak (*p) = 0.7f;
        p->setParameter (kInputMeter, 0.2f); // a stale value the classic path must keep

        juce::AudioBuffer<float> empty (2, 0);
        process (*p, empty);

        if (path == Path::modern)
        {
            EXPECT_EQ (PI::meterPeak (*p), static_cast<float> (static_cast<double> (0.7f) * 0.9));
            EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), 0.6f);
        }
        else
        {
            EXPECT_EQ (PI::meterPeak (*p), 0.7f);
            EXPECT_FLOAT_EQ (p->getParameter (kInputMeter), 0.2f);
        }
    }
}

//==============================================================================
// Modulators
//==============================================================================
struct ModulatorCase
{
    Path path;
    float oversampling;
    int samples;
};

class EngineModulatorBounds : public ::testing::TestWithParam<ModulatorCase>
{
};

TEST_P (EngineModulatorBounds, PhasesStayWithinTheirRanges)
{
    const auto c = GetParam();
    auto p = makeProcessor (2, c.path);
    p->setParameter (kOversampling, c.oversampling);
    const double factor = PI::oversamplingFactor (*p);
    const bool classic = c.path == Path::classic;

    // The modern gain phase sweeps between just beyond +-1/F and just inside +-(2 - 1/F).
    const double gainStep = PI::modulationRates (*p)[3] * (40.0 / 44100.0) / factor;
    const double gainLimit = classic ? 1.0 : std::max (1.0 / factor, 2.0 - 1.0 / factor) + gainStep;

    const double diffuserStart = PI::diffuserLfo (*p).phase;
    double gainMin = 0.0, gainMax = 0.0;
    int cascadeWraps = 0;

    for (int i = 0; i < c.samples; ++i)
    {
        if (i % 512 == 0)
            PI::setUpModulators (*p);

        for (int k = 0; k < 3; ++k)
        {
            const double before = PI::cascadeLfo (*p, k).phase;
            PI::stepCascadeLfo (*p, k);
            const double phase = PI::cascadeLfo (*p, k).phase;
            ASSERT_TRUE (phase >= -10.0 && phase <= 10.0)
                << "cascade " << k << " sample " << i << ": " << phase;
            cascadeWraps += std::abs (phase - before) > 10.0 ? 1 : 0;
        }

        if (classic)
        {
            PI::stepGainLfo<true> (*p);
            PI::stepDiffuserLfo<true> (*p);
        }
        else
        {
            PI::stepGainLfo<false> (*p);
            PI::stepDiffuserLfo<false> (*p);
        }

        const double gain = PI::gainLfo (*p).phase;
        ASSERT_LE (std::abs (gain), gainLimit) << "sample " << i;
        gainMin = std::min (gainMin, gain);
        gainMax = std::max (gainMax, gain);

        const double diffuser = PI::diffuserLfo (*p).phase;
        ASSERT_TRUE (diffuser >= -1.0 && diffuser <= 1.0) << "sample " << i << ": " << diffuser;
    }

    EXPECT_GT (cascadeWraps, 0);

    // The gain phase reaches both ends of its range.
    EXPECT_GT (gainMax, gainLimit - 0.01);
    EXPECT_LT (gainMin, -(gainLimit - 0.01));

    if (classic)
    {
        EXPECT_EQ (PI::diffuserLfo (*p).phase, diffuserStart)
            << "the classic voicing holds the diffuser crossfade";
    }
    else
    {
        EXPECT_NE (PI::diffuserLfo (*p).phase, diffuserStart);
    }
}

INSTANTIATE_TEST_SUITE_P (Cases, EngineModulatorBounds,
                          ::testing::Values (ModulatorCase{ Path::classic, 0.0f, 40000 },
                                             ModulatorCase{ Path::classic, 0.75f, 150000 },
                                             ModulatorCase{ Path::modern, 0.0f, 200000 },
                                             ModulatorCase{ Path::modern, 0.25f, 400000 },
                                             ModulatorCase{ Path::modern, 0.75f, 1400000 },
                                             ModulatorCase{ Path::modern, 1.0f, 2000000 }),
                          [] (const auto& info)
                          {
                              return std::string (pathName (info.param.path)) + "_oversampling_" +
                                     std::to_string ((int) std::lround (info.param.oversampling * 100));
                          });

TEST (EngineModulators, ModernGainPhaseAtFactorFourJumpsToNearTheFarReflection)
{
    auto p = makeProcessor (2, Path::modern);
    p->setParameter (kOversampling, 0.75f);
    ASSERT_EQ (PI::oversamplingFactor (*p), 4.0);
    const double s = PI::modulationRates (*p)[3] * (40.0 / 44100.0) / 4.0;
    auto& lfo = PI::gainLfo (*p);

    // Rising past +0.25: continues from just below 1.75, downwards, in the same sample.
    lfo.phase = 0.25 - s / 2;
    lfo.direction = 1;
    PI::stepGainLfo<false> (*p);
    EXPECT_EQ (lfo.direction, -1);
    EXPECT_GT (lfo.phase, 1.75 - 2 * s);
    EXPECT_LT (lfo.phase, 1.75 - s);

    // Falling past -0.25: continues from just above -1.75, upwards from the next sample on.
    lfo.phase = -0.25 + s / 2;
    lfo.direction = -1;
    PI::stepGainLfo<false> (*p);
    EXPECT_EQ (lfo.direction, 1);
    EXPECT_NEAR (lfo.phase, -1.75 + s / 2, 1e-12);
    const double turned = lfo.phase;
    PI::stepGainLfo<false> (*p);
    EXPECT_NEAR (lfo.phase, turned + s, 1e-12);
}

TEST (EngineModulators, ClassicGainPhaseReflectsAtPlusMinusOneWithConstantSteps)
{
    auto p = makeProcessor (2, Path::classic);
    PI::setUpModulators (*p);
    auto& lfo = PI::gainLfo (*p);
    const double step = lfo.stepUp;
    ASSERT_GT (step, 0.0);
    ASSERT_EQ (lfo.stepDown, -step);

    lfo.phase = 1.0 - step / 2;
    lfo.direction = 1;
    PI::stepGainLfo<true> (*p);
    EXPECT_EQ (lfo.direction, -1);
    EXPECT_NEAR (lfo.phase, 1.0 - 1.5 * step, 1e-12);

    // No shrinking: a thousand samples move the phase by a thousand steps.
    const double start = lfo.phase;
    for (int i = 0; i < 1000; ++i)
        PI::stepGainLfo<true> (*p);
    EXPECT_NEAR (lfo.phase, start - 1000 * step, 1e-9);

    lfo.phase = -1.0 + step / 2;
    lfo.direction = -1;
    PI::stepGainLfo<true> (*p);
    EXPECT_EQ (lfo.direction, 1);
    EXPECT_NEAR (lfo.phase, -1.0 + step / 2, 1e-12);
}

namespace
{
/** Line A (or, with `lineB`, line B) of each of the column's four cascade stages. */
std::array<int, 4> cascadeLinesOf (int column, bool lineB = false)
{
    std::array<int, 4> lines{};
    for (int stage = 0; stage < 4; ++stage)
    {
        const auto& pair = tolvmark::network::cascadeLines[column][stage];
        lines[(size_t) stage] = lineB ? pair.b : pair.a;
    }
    return lines;
}

void setCascadeLines (Processor& p, int column, bool lineB, double time)
{
    for (int line : cascadeLinesOf (column, lineB))
        PI::delayLine (p, line).setDelayTime (time);
}
} // namespace

TEST (EngineModulators, CascadeWrapHandsTheAudibleTimeToTheOtherLine)
{
    auto p = makeProcessor (2, Path::modern);
    PI::setUpModulators (*p);
    const double c = 0.02, stepSize = PI::modulationStepSizes (*p)[0];

    for (int column = 0; column < 3; ++column)
    {
        auto& lfo = PI::cascadeLfo (*p, column);
        const double acc = 0.004;
        lfo = { -10.0 + std::abs (lfo.stepDown) / 2, 1, lfo.stepUp, lfo.stepDown, acc };
        setCascadeLines (*p, column, false, c + acc);
        setCascadeLines (*p, column, true, acc + stepSize + c);
        const int firstLineB = tolvmark::network::cascadeLines[column][0].b;
        const double timeB = PI::delayLine (*p, firstLineB).time;
        const int samplesB = PI::delayLine (*p, firstLineB).delaySamples;

        PI::stepCascadeLfo (*p, column);

        // Weight jumps from -1 (line B audible) to +1 (line A audible); A now has B's previous time.
        EXPECT_EQ (lfo.phase, 10.0);
        EXPECT_EQ (lfo.direction, 1);
        for (const auto& pair : tolvmark::network::cascadeLines[column])
        {
            EXPECT_EQ (PI::delayLine (*p, pair.a).time, timeB) << "line " << pair.a;
            EXPECT_EQ (PI::delayLine (*p, pair.a).delaySamples, samplesB) << "line " << pair.a;
            EXPECT_NEAR (PI::delayLine (*p, pair.b).time, timeB + stepSize, 1e-15) << "line " << pair.b;
        }
    }
}

TEST (EngineModulators, CascadeTurnAtThePlusBoundRunsBothWrapsInOneSample)
{
    auto p = makeProcessor (2, Path::classic);
    PI::setUpModulators (*p);
    const double c = 0.02, stepSize = PI::modulationStepSizes (*p)[0];
    const double bound = PI::modulationDepth (*p) / PI::oversamplingFactor (*p);

    for (int column = 0; column < 3; ++column)
    {
        auto& lfo = PI::cascadeLfo (*p, column);
        const double acc = bound - stepSize / 2;
        lfo = { -10.0 + std::abs (lfo.stepDown) / 2, 1, lfo.stepUp, lfo.stepDown, acc };
        setCascadeLines (*p, column, false, c + acc);
        setCascadeLines (*p, column, true, acc + stepSize + c);

        std::vector<double> timesBefore;
        std::vector<int> samplesBefore;
        for (const auto& pair : tolvmark::network::cascadeLines[column])
            for (int line : { pair.a, pair.b })
            {
                timesBefore.push_back (PI::delayLine (*p, line).time);
                samplesBefore.push_back (PI::delayLine (*p, line).delaySamples);
            }

        PI::stepCascadeLfo (*p, column);

        EXPECT_EQ (lfo.phase, -10.0);
        EXPECT_EQ (lfo.direction, -1);
        EXPECT_NEAR (lfo.accumulator, acc, 1e-15);
        size_t k = 0;
        for (const auto& pair : tolvmark::network::cascadeLines[column])
            for (int line : { pair.a, pair.b })
            {
                EXPECT_NEAR (PI::delayLine (*p, line).time, timesBefore[k], 1e-15);
                EXPECT_EQ (PI::delayLine (*p, line).delaySamples, samplesBefore[k]);
                ++k;
            }

        // At the minus bound the turn back takes effect only in the next sample.
        lfo = { 10.0 - lfo.stepUp / 2, -1, lfo.stepUp, lfo.stepDown, -bound + stepSize / 2 };
        PI::stepCascadeLfo (*p, column);
        EXPECT_EQ (lfo.phase, -10.0);
        EXPECT_EQ (lfo.direction, 1);
        EXPECT_NEAR (lfo.accumulator, -bound - stepSize / 2, 1e-15);

        PI::stepCascadeLfo (*p, column);
        EXPECT_EQ (lfo.phase, 10.0);
        EXPECT_EQ (lfo.direction, 1);
        EXPECT_NEAR (lfo.accumulator, -bound + stepSize / 2, 1e-15);
    }
}

struct BlockSizeCase
{
    Path path;
    int blockSize, numBlocks;
};

class EngineModulatorBlockSize : public ::testing::TestWithParam<BlockSizeCase>
{
};

TEST_P (EngineModulatorBlockSize, CascadeStepsShrinkWithinABlockAndAreRestoredAtTheNext)
{
    const auto c = GetParam();
    auto p = makeProcessor (2, c.path);
    p->setParameter (kOversampling, 0.75f);

    const double step = PI::modulationRates (*p)[0] * (400.0 / 44100.0);
    const double divisor = 200.0;
    const double perBlock = step * divisor * (1.0 - std::pow (1.0 - 1.0 / divisor, c.blockSize));
    const double sign[3] = { -1.0, -1.0, 1.0 }; // columns 1 and 2 start falling, column 3 rising

    double start[3];
    for (int k = 0; k < 3; ++k)
        start[k] = PI::cascadeLfo (*p, k).phase;

    for (int block = 0; block < c.numBlocks; ++block)
    {
        juce::AudioBuffer<float> silence (2, c.blockSize);
        silence.clear();
        process (*p, silence);
    }

    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR (PI::cascadeLfo (*p, k).phase - start[k], sign[k] * perBlock * c.numBlocks, 1e-9)
            << "column " << k + 1;
}

INSTANTIATE_TEST_SUITE_P (
    Cases, EngineModulatorBlockSize,
    ::testing::Values (BlockSizeCase{ Path::modern, 1, 100 }, BlockSizeCase{ Path::modern, 1000, 1 },
                       BlockSizeCase{ Path::classic, 1, 100 }, BlockSizeCase{ Path::classic, 1000, 1 }),
    [] (const auto& info)
    { return std::string (pathName (info.param.path)) + "_block_" + std::to_string (info.param.blockSize); });

//==============================================================================
// Real-time safety
//==============================================================================
TEST (EngineRealtime, NoAllocationOrReleaseInsideABlock)
{
    for (const auto& layout : layouts)
    {
        auto p = makeProcessor (layout.channels, Path::classic);
        p->prepareToPlay (48000.0, 512);

        for (auto path : { Path::classic, Path::modern })
        {
            p->setParameter (kUseClassic, path == Path::classic ? 1.0f : 0.0f);

            auto first = impulse<float> (layout.channels, 512);
            auto blockF = noise<float> (layout.channels, 512, 3);
            auto blockD = noise<double> (layout.channels, 512, 4);
            juce::AudioBuffer<float> empty (layout.channels, 0);
            juce::AudioBuffer<float> odd = noise<float> (layout.channels == 2 ? 4 : 2, 64, 5);

            countedAllocations = 0;
            countingAllocations = true;
            process (*p, first);
            process (*p, blockF);
            process (*p, blockD);
            process (*p, empty);
            process (*p, odd);
            countingAllocations = false;

            EXPECT_EQ (countedAllocations.load(), 0) << layout.name << " " << pathName (path);
        }
    }

    // The counter does count: an allocation inside the flag shows.
    countedAllocations = 0;
    countingAllocations = true;
    auto probe = std::make_unique<std::vector<int>> (16);
    countingAllocations = false;
    EXPECT_GE (countedAllocations.load(), 1);
}

TEST (EngineRealtime, BlockRunsWhileAnotherThreadHoldsTheCallbackLock)
{
    auto p = makeProcessor (2, Path::modern);
    std::promise<void> locked;
    std::promise<void> done;
    auto doneFuture = done.get_future();

    std::thread holder (
        [&]
        {
            const juce::ScopedLock lock (p->getCallbackLock());
            locked.set_value();
            doneFuture.wait_for (std::chrono::seconds (20));
        });
    locked.get_future().wait();

    auto block = std::async (std::launch::async,
                             [&]
                             {
                                 auto buffer = noise<float> (2, 512, 1);
                                 process (*p, buffer);
                             });
    const bool finished = block.wait_for (std::chrono::seconds (10)) == std::future_status::ready;
    done.set_value();
    holder.join();
    block.wait();
    EXPECT_TRUE (finished) << "the block waited for the callback lock";
}

//==============================================================================
// Input network
//==============================================================================
namespace
{
/** Takes the work-buffer pointers the stage calls need: every processed block does, an empty one too. */
void takeWorkBuffers (Processor& p)
{
    juce::AudioBuffer<float> empty (2, 0);
    process (p, empty);
}

template <bool classic> InputNetworkOutputs runInput (Processor& p, double left, double right)
{
    return PI::runInputNetwork<classic> (p, left, right);
}
} // namespace

class EngineInputNetwork : public ::testing::TestWithParam<Path>
{
};

TEST_P (EngineInputNetwork, UnitImpulseAtThePredelayOutputPassesStraightThroughTheDiffuser)
{
    const bool classic = GetParam() == Path::classic;
    auto p = makeProcessor (2, GetParam());
    takeWorkBuffers (*p);
    const auto run = [&] { return classic ? runInput<true> (*p, 0.0, 0.0) : runInput<false> (*p, 0.0, 0.0); };

    // A 1 waiting at the pre-delay line's output, everything else silent.
    auto& predelay = PI::delayLine (*p, tolvmark::network::predelayLine);
    predelay.setDelayTime (0.02);
    placeAtNextRead (predelay, 1.0);
    ASSERT_EQ (PI::diffuserLfo (*p).phase, 0.0);

    const auto first = run();
    EXPECT_EQ (first.diffuserTap, 1.0);
    const double t3 = 0.496 * 0.496;
    EXPECT_DOUBLE_EQ (t3, 0.246016);
    EXPECT_EQ (first.diffuserOutput, classic ? t3 : t3 * 0.800000011920929);
    if (!classic)
    {
        EXPECT_NEAR (first.diffuserOutput, 0.19681280293, 1e-11);
    }

    // The three sections' pair inputs: v, t1 + s2 and t2 + s3.
    const double pairInputs[3] = { 1.0, 1.0, 0.496 };
    for (int section = 0; section < 3; ++section)
        for (int line : { section, section + 3 })
            EXPECT_DOUBLE_EQ (
                PI::delayLine (*p, line).buffer[(size_t) lastWrittenSlot (PI::delayLine (*p, line))],
                pairInputs[section])
                << "line " << line;

    // The sections feed back only after their delays plus one sample.
    const int delay1 = PI::delayLine (*p, 0).delaySamples;
    const int delay3 = PI::delayLine (*p, 2).delaySamples;
    ASSERT_EQ (delay1, PI::delayLine (*p, 3).delaySamples);
    ASSERT_EQ (delay3, PI::delayLine (*p, 5).delaySamples);
    ASSERT_GT (delay3, 0);
    ASSERT_GT (delay1, delay3);

    for (int n = 1; n <= delay1 + 1; ++n)
    {
        const auto out = run();
        if (n <= delay3)
        {
            EXPECT_EQ (out.diffuserOutput, 0.0) << "sample " << n;
        }
        if (n == delay3 + 1)
        {
            const double s3 = 0.496 * 0.61365;
            EXPECT_DOUBLE_EQ (out.diffuserOutput, classic ? -s3 : -s3 * 0.800000011920929) << "sample " << n;
        }
        if (n <= delay1)
        {
            EXPECT_EQ (out.diffuserTap, 0.0) << "sample " << n;
        }
        else
        {
            EXPECT_DOUBLE_EQ (out.diffuserTap, 0.61365) << "sample " << n;
        }
    }
}

TEST_P (EngineInputNetwork, CrossfadeWeightChoosesTheLinesTheFeedbackComesFrom)
{
    const bool classic = GetParam() == Path::classic;
    auto p = makeProcessor (2, GetParam());
    takeWorkBuffers (*p);

    struct Case
    {
        double phase, weight;
        double expectedMix; // of line A holding 2 and line B holding 3
    };
    const Case cases[] = {
        { 1.0, 1.0, 2.0 }, { -1.0, -1.0, 3.0 }, { 0.0, 0.0, 2.5 }, { 1.3, 1.0, 2.0 }, { -2.0, -1.0, 3.0 }
    };

    for (const auto& c : cases)
    {
        p->reset();
        for (int section = 0; section < 3; ++section)
        {
            auto& a = PI::delayLine (*p, section);
            auto& b = PI::delayLine (*p, section + 3);
            placeAtNextRead (a, 2.0);
            placeAtNextRead (b, 3.0);
        }
        PI::diffuserLfo (*p).phase = c.phase;

        if (classic)
            runInput<true> (*p, 0.0, 0.0);
        else
            runInput<false> (*p, 0.0, 0.0);

        EXPECT_EQ (PI::diffuserLfo (*p).phase, c.weight) << "the clamped weight is stored back";
        for (int section = 0; section < 3; ++section)
            EXPECT_DOUBLE_EQ (PI::signals (*p).diffuserStates[section], c.expectedMix * 0.61365)
                << "phase " << c.phase << " section " << section + 1;
    }
}

INSTANTIATE_TEST_SUITE_P (Paths, EngineInputNetwork, ::testing::Values (Path::classic, Path::modern),
                          [] (const auto& info) { return std::string (pathName (info.param)); });

//==============================================================================
// Tank
//==============================================================================
class EngineTank : public ::testing::TestWithParam<Path>
{
protected:
    void runTank (Processor& p, double diffuserOutput)
    {
        if (GetParam() == Path::classic)
            PI::runTank<true> (p, diffuserOutput);
        else
            PI::runTank<false> (p, diffuserOutput);
    }
};

TEST_P (EngineTank, FeedbackGainsAtDecayHalf)
{
    auto p = makeProcessor (2, GetParam());
    ASSERT_EQ (p->getParameter (kDecay), 0.5f);
    takeWorkBuffers (*p);

    const double expected[2][3] = { { 0.762043, 0.710074, 0.649612 }, { 0.762043, 0.783227, 0.718478 } };
    const auto& gains = expected[GetParam() == Path::classic ? 0 : 1];
    const int tankMixers[3] = { 1, 7, 8 };

    // Wobble in dB per unit of gain phase: columns 2 and 3 move in opposite directions.
    const double wobbleDb[3] = { 0.0, -0.0051, 0.0051 };

    for (double phase : { 0.0, 1.0, -1.0 })
    {
        PI::gainLfo (*p).phase = phase;
        runTank (*p, 0.0);
        for (int column = 0; column < 3; ++column)
        {
            const double expectedGain = gains[column] * std::pow (10.0, wobbleDb[column] * phase / 20.0);
            EXPECT_NEAR (PI::mixer (*p, tankMixers[column]).g1, expectedGain, 2e-6)
                << "column " << column + 1 << " phase " << phase;
        }
    }
}

TEST_P (EngineTank, ShelvesZeroTinyValuesAndTheChainsGetTheNegatedShelfOutput)
{
    const bool classic = GetParam() == Path::classic;
    auto p = makeProcessor (2, GetParam());
    takeWorkBuffers (*p);
    PI::gainLfo (*p).phase = 0.0;

    const int firstLines[3] = { tolvmark::network::tankChains[0][0], tolvmark::network::tankChains[1][0],
                                tolvmark::network::tankChains[2][0] };

    // A unit impulse into silent columns: each first line gets minus the shelves' first output.
    runTank (*p, 1.0);
    for (int column = 0; column < 3; ++column)
    {
        const auto high = PI::coefficientsOf (PI::highShelfFilter (*p, column));
        float y = high.coefficients[0] * 1.0f;
        if (classic)
            y = PI::coefficientsOf (PI::lowShelfFilter (*p, column)).coefficients[0] * y;
        const auto& line = PI::delayLine (*p, firstLines[column]);
        EXPECT_EQ (line.buffer[(size_t) lastWrittenSlot (line)], static_cast<double> (-y))
            << "column " << column + 1;
    }

    // Values whose shelf output lies within +-1e-8 leave the shelves as exact zeros.
    for (double tiny : { 5e-9, -5e-9, 1e-12 })
    {
        p->reset();
        runTank (*p, tiny);
        for (int column = 0; column < 3; ++column)
        {
            const auto& line = PI::delayLine (*p, firstLines[column]);
            EXPECT_EQ (line.buffer[(size_t) lastWrittenSlot (line)], 0.0)
                << "input " << tiny << " column " << column + 1;
        }
    }

    p->reset();
    runTank (*p, 1e-6);
    for (int column = 0; column < 3; ++column)
    {
        const auto& line = PI::delayLine (*p, firstLines[column]);
        EXPECT_LT (line.buffer[(size_t) lastWrittenSlot (line)], 0.0) << "column " << column + 1;
    }
}

INSTANTIATE_TEST_SUITE_P (Paths, EngineTank, ::testing::Values (Path::classic, Path::modern),
                          [] (const auto& info) { return std::string (pathName (info.param)); });

//==============================================================================
// Density cascade
//==============================================================================
TEST (EngineCascade, RunsTheLinesOfTheStageCountOnly)
{
    struct Case
    {
        float oversampling;
        int stages;
    };
    // Exact factors, values between the steps (the stage count the text names) and the top value.
    const Case cases[] = { { 0.0f, 1 },  { 0.25f, 2 }, { 0.5f, 3 }, { 0.75f, 4 }, { 0.1f, 1 },
                           { 0.3f, 2 },  { 0.6f, 3 },  { 0.8f, 4 }, { 1.0f, 4 },  { 0.2399f, 1 },
                           { 0.24f, 1 }, { 0.49f, 3 }, { 0.74f, 4 } };
    constexpr int stageLines[4][6] = { { 25, 26, 27, 28, 29, 30 },
                                       { 39, 40, 41, 42, 43, 44 },
                                       { 45, 46, 47, 48, 49, 50 },
                                       { 51, 52, 53, 54, 55, 56 } };

    auto p = makeProcessor (2, Path::modern);
    constexpr int samples = 100;

    for (const auto& c : cases)
    {
        p->setParameter (kOversampling, c.oversampling);

        int before[69];
        for (int n = 0; n < 69; ++n)
            before[n] = PI::delayLine (*p, n).writeIndex;

        auto buffer = noise<float> (2, samples, 1);
        process (*p, buffer);

        std::vector<int> expected (69, samples);
        for (int n = 6; n <= 23; ++n)
            expected[(size_t) n] = 0;
        expected[33] = 0;
        for (int stage = c.stages; stage < 4; ++stage)
            for (int line : stageLines[stage])
                expected[(size_t) line] = 0;

        for (int n = 0; n < 69; ++n)
        {
            const int advanced = (PI::delayLine (*p, n).writeIndex - before[n] + SimpleDelay::kCapacity) %
                                 SimpleDelay::kCapacity;
            EXPECT_EQ (advanced, expected[(size_t) n]) << "oversampling " << c.oversampling << " line " << n;
        }
    }
}

//==============================================================================
// Output network, observed per sample through one-sample blocks
//==============================================================================
struct OutputCase
{
    Path path;
    float oversampling;
};

class EngineOutputNetwork : public ::testing::TestWithParam<OutputCase>
{
};

TEST_P (EngineOutputNetwork, ChannelSumsAndTheCentreFollowTheirDefinitions)
{
    const auto c = GetParam();
    auto p = makeProcessor (2, c.path);
    p->setParameter (kOversampling, c.oversampling);
    const int stages = PI::cascadeStageCount (*p);
    const int lastStageLineA = tolvmark::network::cascadeLines[0][stages - 1].a;
    const double matrixGain = static_cast<double> (0.4f);

    juce::Random random (3);
    int checked = 0;

    for (int n = 0; n < 3000; ++n)
    {
        juce::AudioBuffer<float> one (2, 1);
        const float x = n == 0 ? 1.0f : 0.05f * (2.0f * random.nextFloat() - 1.0f);
        one.setSample (0, 0, x);
        one.setSample (1, 0, x);
        process (*p, one);

        const auto& wire8 = PI::wireBuffer (*p, 8);
        const double a = wire8.getSample (0, 0), b = wire8.getSample (1, 0);
        const double cc = wire8.getSample (2, 0), d = wire8.getSample (3, 0);
        const double tapSumX = PI::wireBuffer (*p, 1).getSample (0, 0);

        // o1 is column 1's last stage crossfade of the values its two lines read at this sample.
        const auto& lineA = PI::delayLine (*p, lastStageLineA);
        const auto& lineB = PI::delayLine (*p, tolvmark::network::cascadeLines[0][stages - 1].b);
        const double w = PI::cascadeLfo (*p, 0).phase / 10.0;
        const double o1 = lineB.buffer[(size_t) lineB.readIndex] * (1.0 - w) * 0.5 +
                          lineA.buffer[(size_t) lineA.readIndex] * (1.0 + w) * 0.5;

        // a' and b' are a and b in single precision: allow that rounding.
        const double tolerance = 1.2e-7 * (std::abs (a) + std::abs (b)) + 1e-300;
        ASSERT_NEAR (a + b, 2.0 * o1, tolerance) << "sample " << n;
        ASSERT_NEAR (b - a, 2.0 * tapSumX, tolerance) << "sample " << n;

        // The matrix inputs of the five output lines, before their delays.
        const auto written = [&] (int line)
        {
            const auto& l = PI::delayLine (*p, line);
            return l.buffer[(size_t) lastWrittenSlot (l)];
        };
        ASSERT_EQ (written (34), (a + cc) * matrixGain);
        ASSERT_EQ (written (35), (a - cc) * matrixGain);
        ASSERT_EQ (written (37), (b + d) * matrixGain);
        ASSERT_EQ (written (38), (b - d) * matrixGain);
        ASSERT_NEAR (written (36), matrixGain * a, 1e-15 * (std::abs (a) + std::abs (cc)) + 1e-300)
            << "sample " << n;

        checked += (o1 != 0.0 && tapSumX != 0.0) ? 1 : 0;
    }

    EXPECT_GT (checked, 1000) << "the identities must be checked on live signals";
}

INSTANTIATE_TEST_SUITE_P (Cases, EngineOutputNetwork,
                          ::testing::Values (OutputCase{ Path::classic, 0.0f },
                                             OutputCase{ Path::modern, 0.0f },
                                             OutputCase{ Path::classic, 0.75f },
                                             OutputCase{ Path::modern, 0.75f }),
                          [] (const auto& info)
                          {
                              return std::string (pathName (info.param.path)) + "_oversampling_" +
                                     std::to_string ((int) std::lround (info.param.oversampling * 100));
                          });

TEST (EngineOutputNetwork, WetGainIsLevelTimes2Point5Times1Point12)
{
    struct Case
    {
        float level;
        double gain;
    };
    const Case cases[] = { { 0.5f, 1.4 }, { 1.0f, 2.8 }, { 0.25f, 0.7 } };
    const int hostChannelOfFilter[5] = { 0, 1, 2, 4, 5 };

    for (const auto& c : cases)
    {
        auto p = makeProcessor (6, Path::modern);
        for (int index = kLeftLevel; index <= kRightSLevel; ++index)
            p->setParameter (index, c.level);

        int live = 0;
        for (int n = 0; n < 2000; ++n)
        {
            juce::AudioBuffer<double> one (6, 1);
            one.clear();
            one.setSample (0, 0, n == 0 ? 1.0 : 0.0);
            process (*p, one);

            for (int filter = 0; filter < 5; ++filter)
            {
                const double y = PI::highCutFilter (*p, filter).ym1;
                const double out = one.getSample (hostChannelOfFilter[filter], 0);
                ASSERT_NEAR (out, y * c.gain, 1e-14 * std::abs (y))
                    << "level " << c.level << " filter " << filter;
                live += y != 0.0 ? 1 : 0;
            }
        }
        EXPECT_GT (live, 1000);
    }
}

//==============================================================================
// Hostile input
//==============================================================================
class EngineHostileInput : public ::testing::TestWithParam<Path>
{
};

TEST_P (EngineHostileInput, NonFiniteSamplesDoNotBreakTheReverb)
{
    auto p = makeProcessor (2, GetParam());
    p->setParameter (kMix, 0.5f);

    auto warmUp = noise<float> (2, 512, 1);
    process (*p, warmUp);

    const float hostile[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity() };
    auto input = noise<float> (2, 512, 2);
    for (int i = 0; i < 512; i += 7)
        input.setSample (i % 2, i, hostile[(i / 7) % 3]);
    auto bad = input;
    process (*p, bad);

    // The dry path keeps what the host gave; every other sample comes out finite.
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 512; ++i)
            if (std::isfinite (input.getSample (c, i)))
            {
                EXPECT_TRUE (std::isfinite (bad.getSample (c, i))) << "channel " << c << " sample " << i;
            }

    // A later impulse still rings: finite and audible.
    for (int block = 0; block < 200; ++block)
    {
        juce::AudioBuffer<float> silence (2, 512);
        silence.clear();
        process (*p, silence);
    }

    auto ping = impulse<float> (2, 512);
    process (*p, ping);
    double tail = 0.0;
    for (int block = 0; block < 40; ++block)
    {
        juce::AudioBuffer<float> silence (2, 512);
        silence.clear();
        process (*p, silence);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                ASSERT_TRUE (std::isfinite (silence.getSample (c, i)));
        tail = std::max (tail, peakOf (silence, 0));
    }
    EXPECT_GT (tail, 1e-3);

    for (double t : PI::signals (*p).tankTaps)
        EXPECT_TRUE (std::isfinite (t));
    EXPECT_TRUE (std::isfinite (PI::meterPeak (*p)));
}

INSTANTIATE_TEST_SUITE_P (Paths, EngineHostileInput, ::testing::Values (Path::classic, Path::modern),
                          [] (const auto& info) { return std::string (pathName (info.param)); });

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
