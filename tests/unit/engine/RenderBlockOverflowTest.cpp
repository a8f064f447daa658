// Finite input large enough to overflow where the engine works in single precision (RenderBlock.cpp):
// a block that leaves the network's memory or state non-finite must end with the network cleared, and
// the reverb must play on as one just reset.

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using namespace enginetest;

namespace
{
/** True when no delay line (all of its memory, as reads see it), filter history or kept signal value is
    non-finite. */
bool networkIsFinite (Processor& p)
{
    for (int n = 0; n < 69; ++n)
    {
        const auto& line = PI::delayLine (p, n);
        for (int slot = 0; slot < line.capacity; ++slot)
            if (!std::isfinite (line.storedSample (slot)))
                return false;
    }

    const auto& s = PI::signals (p);
    std::vector<double> values (std::begin (s.tankTaps), std::end (s.tankTaps));
    values.insert (values.end(), std::begin (s.diffuserStates), std::end (s.diffuserStates));
    for (int f = 0; f < 2; ++f)
    {
        const auto& filter = PI::bandLimitFilter (p, f);
        values.insert (values.end(), filter.x.begin(), filter.x.end());
        values.insert (values.end(), filter.y.begin(), filter.y.end());
    }
    for (int f = 0; f < 5; ++f)
    {
        const auto& h = PI::highCutFilter (p, f);
        values.insert (values.end(), { h.xm1, h.xm2, h.xm3, h.xm4, h.ym1, h.ym2, h.ym3, h.ym4 });
    }
    for (int b = 0; b < 9; ++b)
        for (int c = 0; c < PI::wireBuffer (p, b).getNumChannels(); ++c)
            values.push_back (PI::wireBuffer (p, b).getSample (c, 0));

    return std::all_of (values.begin(), values.end(), [] (double v) { return std::isfinite (v); });
}

/** True when everything the network keeps between samples reads exactly 0, as right after a reset (a
    network that has been fed noise never holds all of these at 0 by chance). */
bool networkLooksCleared (Processor& p)
{
    const auto& s = PI::signals (p);
    for (const double v : s.tankTaps)
        if (v != 0.0)
            return false;
    for (int f = 0; f < 5; ++f)
        if (PI::highCutFilter (p, f).ym1 != 0.0 || PI::highCutFilter (p, f).ym2 != 0.0)
            return false;
    return PI::bandLimitFilter (p, 1).y[8] == 0.0;
}

/** A burst of finite host samples large enough to overflow inside the network, in one block. */
struct OverflowCase
{
    const char* name;
    Path path;
    bool doubleHost;
    double value;   // on both channels
    int length;     // burst samples, from sample 100 of the block
    bool alternate; // the sign flips every 32 samples
    float predelay; // a long one holds what the burst left for a few blocks before the network sees it
};

class EngineOverflow : public ::testing::TestWithParam<OverflowCase>
{
};

template <typename T> void burstThenNoise (const OverflowCase& c)
{
    // Twins with the same history: one is sent the burst, the other the same block without it. The
    // burst's huge values travel through the network until they overflow; the block in which they do
    // must end with that twin's network cleared, so that no block ever leaves it non-finite. From then
    // on, once the other twin is reset at the same moment, the two play exactly alike: the recovery
    // leaves nothing behind that a reset would not.
    auto hit = makeProcessor (2, c.path);
    auto twin = makeProcessor (2, c.path);
    for (auto* p : { hit.get(), twin.get() })
    {
        p->prepareToPlay (48000.0, 512);
        p->setParameter (kMix, 0.7f);
        p->setParameter (kPredelay, c.predelay);
    }

    for (int block = 0; block < 20; ++block)
    {
        auto a = noise<T> (2, 512, 10 + block);
        auto b = a;
        process (*hit, a);
        process (*twin, b);
    }

    auto burst = noise<T> (2, 512, 99);
    auto quiet = burst;
    for (int i = 100; i < 100 + c.length; ++i)
        for (int channel = 0; channel < 2; ++channel)
        {
            burst.setSample (channel, i,
                             static_cast<T> (c.alternate && (i / 32) % 2 != 0 ? -c.value : c.value));
            quiet.setSample (channel, i, T (0));
        }

    process (*hit, burst);
    process (*twin, quiet);
    ASSERT_TRUE (networkIsFinite (*hit)) << c.name << ": the burst's block left the network non-finite";
    int clearedAfter = networkLooksCleared (*hit) ? 0 : -1; // blocks after the burst's
    double wetPeak = 0.0;

    for (int block = 1; block <= 150; ++block)
    {
        if (block == clearedAfter + 1)
            twin->reset();

        // Noise for a while after the burst, then the tail alone.
        auto a = noise<T> (2, 512, 1000 + block, block < 80 ? 0.5f : 0.0f);
        auto b = a;
        process (*hit, a);
        process (*twin, b);

        if (clearedAfter < 0)
        {
            ASSERT_TRUE (networkIsFinite (*hit)) << c.name << ": block " << block << " after the burst";
            if (networkLooksCleared (*hit))
                clearedAfter = block;
            continue;
        }

        ASSERT_TRUE (bitIdentical (a, b))
            << c.name << ": block " << block << " after the burst, cleared after " << clearedAfter;
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < 512; ++i)
                ASSERT_TRUE (std::isfinite (a.getSample (channel, i))) << c.name << ": block " << block;
        wetPeak = std::max (wetPeak, peakOf (a, 0));
    }

    // The overflow shows within a few blocks, and a reverb plays on afterwards, not silence.
    ASSERT_GE (clearedAfter, 0) << c.name << ": the burst never overflowed";
    EXPECT_LE (clearedAfter, 40) << c.name;
    EXPECT_GT (wetPeak, 1e-2) << c.name;
}

TEST_P (EngineOverflow, ABlockThatOverflowsEndsWithTheNetworkClearedAndPlaysOnAsOneJustReset)
{
    if (GetParam().doubleHost)
        burstThenNoise<double> (GetParam());
    else
        burstThenNoise<float> (GetParam());
}

constexpr double floatMax = std::numeric_limits<float>::max();
constexpr double doubleMax = std::numeric_limits<double>::max();

INSTANTIATE_TEST_SUITE_P (
    Bursts, EngineOverflow,
    ::testing::Values (
        OverflowCase{ "FloatMax16_modern", Path::modern, false, floatMax, 16, false, 0.0f },
        OverflowCase{ "FloatMax64_classic_predelay", Path::classic, false, floatMax, 64, false, 0.5f },
        OverflowCase{ "Float3e38ToTheBlockEnd_modern", Path::modern, false, 3e38, 412, false, 0.0f },
        OverflowCase{ "Float3e38ToTheBlockEnd_classic", Path::classic, false, 3e38, 412, false, 0.0f },
        OverflowCase{ "FloatMaxAlternatingBy32_modern", Path::modern, false, floatMax, 256, true, 0.2f },
        OverflowCase{ "Double1e300_classic_predelay", Path::classic, true, 1e300, 1, false, 0.5f },
        OverflowCase{ "Double1e300_modern", Path::modern, true, 1e300, 1, false, 0.0f },
        OverflowCase{ "DoubleMax8_modern_predelay", Path::modern, true, doubleMax, 8, false, 1.0f }),
    [] (const auto& info) { return std::string (info.param.name); });

//==============================================================================
/** A huge finite value planted in a delay line, where the next block reads it for a few samples. */
struct PlantedCase
{
    const char* name;
    Path path;
    int firstLine, lastLine;
    int samples; // how many samples of the block read it
};

class EngineOverflowInside : public ::testing::TestWithParam<PlantedCase>
{
};

TEST_P (EngineOverflowInside, AValueThatOverflowsAnywhereInTheBlockLeavesNothingNonFinite)
{
    // The single-precision stages turn 1e39 into an infinity. Planted in the tank's feedback line (T4) it
    // overflows the shelves, which write the result into the tank's lines (and whose own state is
    // finite again a few samples later); planted in the density cascade it overflows the output
    // compander, which writes it into the output delays. The block is short and the value is read only
    // in its middle, so what was written is still in the lines, on its way, when the block ends: the
    // block must still end with the network cleared.
    const auto& c = GetParam();
    auto p = makeProcessor (2, c.path);
    p->prepareToPlay (48000.0, 64);
    p->setParameter (kMix, 0.5f);

    for (int block = 0; block < 100; ++block)
    {
        auto warmUp = noise<float> (2, 64, 20 + block);
        process (*p, warmUp);
    }
    ASSERT_TRUE (networkIsFinite (*p));

    // Slots the next block reads from its sample 20 on (written by the warm-up, so a reset clears them).
    for (int n = c.firstLine; n <= c.lastLine; ++n)
    {
        auto& line = PI::delayLine (*p, n);
        ASSERT_LT (line.delaySamples + 64, 100 * 64);
        for (int i = 20; i < 20 + c.samples; ++i)
            line.sampleAt (line.readIndexFor ((line.writeIndex + i) % line.capacity)) = 1.0e39;
    }

    auto block = noise<float> (2, 64, 7);
    process (*p, block);
    EXPECT_TRUE (networkIsFinite (*p)) << c.name;
    EXPECT_TRUE (networkLooksCleared (*p)) << c.name;

    for (int n = 0; n < 200; ++n)
    {
        auto after = noise<float> (2, 64, 300 + n);
        process (*p, after);
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < 64; ++i)
                ASSERT_TRUE (std::isfinite (after.getSample (channel, i))) << c.name << ": block " << n;
    }
}

INSTANTIATE_TEST_SUITE_P (Lines, EngineOverflowInside,
                          ::testing::Values (PlantedCase{ "TankFeedback_classic", Path::classic, 60, 60, 1 },
                                             PlantedCase{ "TankColumn2Feedback_modern", Path::modern, 64, 64,
                                                          1 },
                                             PlantedCase{ "Cascade_classic", Path::classic, 25, 26, 10 },
                                             PlantedCase{ "Cascade_modern", Path::modern, 27, 28, 10 }),
                          [] (const auto& info) { return std::string (info.param.name); });

} // namespace

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
