// The block frame around the engine (RenderBlock.cpp): bypass, the dry/wet mix into every layout, the
// surround switch, buffers the frame does not process and hostile input samples. These tests check
// behaviours and invariants; bit-exact output is the reference model's job.

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using namespace enginetest;

namespace
{
//==============================================================================
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
