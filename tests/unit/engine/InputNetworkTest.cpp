// The input network (InputNetwork.h): the pre-delay's output through the three-section diffuser, and the
// crossfade between each section's twin delays.

#include "EngineTestSupport.h"
#include "engine/InputNetwork.h"

#include <gtest/gtest.h>

#include <string>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using namespace enginetest;

//==============================================================================
// Input network
//==============================================================================
namespace
{
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
            EXPECT_DOUBLE_EQ (PI::delayLine (*p, line).sampleAt (lastWrittenSlot (PI::delayLine (*p, line))),
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

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
