// The delay lines' storage (SimpleDelay::setStorageFor, sized by the processor at construction and at
// every preparation): every delay the engine can set stays within the storage of its line, over every
// parameter value, every program and the modulators' walks to their bounds, at every rate and across
// rate changes on one instance; and an instance holds little of it.

#include "FakeClock.h"
#include "ProcessorInspector.h"
#include "engine/Modulators.h"
#include "engine/NetworkMap.h"
#include "processor/QuellorAudioProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
namespace network = tolvmark::network;
using PI = ProcessorInspector;

namespace
{
/** Checks every ticked line's delay against its storage: a delay below the storage's slots reads as the
    full ring does (full-capacity storage follows the ring's rules literally). Idle lines hold none. */
::testing::AssertionResult delaysFitTheirStorage (QuellorAudioProcessor& p)
{
    for (int n = 0; n < network::numLines; ++n)
    {
        const auto& line = PI::delayLine (p, n);
        if (network::isIdleLine (n))
        {
            if (line.storageBytes() != 0)
                return ::testing::AssertionFailure() << "idle line " << n << " holds storage";
            continue;
        }
        if (!line.storesEveryRingSlot() && line.delaySamples >= line.storageSlots())
            return ::testing::AssertionFailure() << "line " << n << ": delay " << line.delaySamples
                                                 << " samples, storage " << line.storageSlots() << " slots";
    }
    return ::testing::AssertionSuccess();
}

/** The values a sweep sets a parameter to: the ends of its range, every step's ends and beyond. */
std::vector<float> sweepValues (int index)
{
    std::vector<float> values{ 0.0f, 1.0f, -1.0f, 2.0f, 0.5f };
    const int steps = index == kDecay ? 16 : 4;
    for (int k = 1; k <= steps; ++k)
    {
        const float edge = (float) k / (float) steps;
        values.push_back (edge);
        values.push_back (std::nextafter (edge, 2.0f));
    }
    for (float v : { 0.24f, 0.49f, 0.74f, 0.37f, 0.62f, 0.9f, 1.0f / 3.0f })
        values.push_back (v);
    return values;
}

/** Every accumulator's direction, to count the modulators' turns. */
struct Turns
{
    int count[4]{};
    int last[4]{};

    void note (QuellorAudioProcessor& p)
    {
        for (int k = 0; k < 4; ++k)
        {
            const int direction = k < 3 ? PI::cascadeLfo (p, k).direction : PI::diffuserLfo (p).direction;
            if (direction != last[k])
                ++count[k];
            last[k] = direction;
        }
    }
    int fewest() const { return *std::min_element (std::begin (count), std::end (count)); }
};

/** Steps the modulators one sample at a time (a block head before each, so the steps never shrink)
    until every accumulator has turned `turns` times, checking the delays after every step. */
::testing::AssertionResult walkTheModulators (QuellorAudioProcessor& p, int turns)
{
    std::vector<int> modulatedLines;
    for (const auto& column : network::cascadeLines)
        for (const auto& twin : column)
            modulatedLines.insert (modulatedLines.end(), { twin.a, twin.b });
    for (const auto& twin : network::diffuserLines)
        modulatedLines.insert (modulatedLines.end(), { twin.a, twin.b });

    Turns seen;
    seen.note (p);
    for (auto& c : seen.count)
        c = 0;

    const long limit = 40000000;
    for (long step = 0; step < limit && seen.fewest() < turns; ++step)
    {
        PI::setUpModulators (p);
        PI::stepCascadeLfo (p, 0);
        PI::stepCascadeLfo (p, 1);
        PI::stepCascadeLfo (p, 2);
        PI::stepDiffuserLfo<false> (p);
        seen.note (p);

        // The modulators retune only the cascade's and the diffuser's lines.
        for (int n : modulatedLines)
        {
            const auto& line = PI::delayLine (p, n);
            if (!line.storesEveryRingSlot() && line.delaySamples >= line.storageSlots())
                return ::testing::AssertionFailure()
                       << "line " << n << ": delay " << line.delaySamples << " samples, storage "
                       << line.storageSlots() << " slots, after " << step << " steps";
        }
    }
    if (seen.fewest() < turns)
        return ::testing::AssertionFailure() << "the modulators did not reach their bounds";
    return ::testing::AssertionSuccess();
}
} // namespace

// Rates in an order that moves from low to high and back on one instance, so each preparation starts
// from accumulators the previous rate left (a low rate walks them in coarser steps). At 640 kHz the
// diffuser's first section reaches a longer storage only at its accumulator's bound.
TEST (DelayStorage, EveryDelayTheEngineSetsStaysWithinItsLinesStorage)
{
    auto p = std::make_unique<QuellorAudioProcessor> (&testsupport::lateClock);
    EXPECT_TRUE (delaysFitTheirStorage (*p)) << "construction";

    // An empty block takes the work-buffer pointers the stages use.
    juce::AudioBuffer<float> empty (2, 0);
    juce::MidiBuffer midi;
    p->processBlock (empty, midi);

    for (const double rate :
         { 8000.0, 384000.0, 44100.0, 22050.0, 48000.0, 192000.0, 96000.0, 640000.0, 1400000.0 })
    {
        SCOPED_TRACE (testing::Message() << rate << " Hz");
        p->prepareToPlay (rate, 512);
        ASSERT_TRUE (delaysFitTheirStorage (*p)) << "preparation";

        // Every parameter over its range, one at a time, then every program.
        for (int index = 0; index < kNumParameters; ++index)
        {
            for (const float value : sweepValues (index))
            {
                p->setParameter (index, value);
                ASSERT_TRUE (delaysFitTheirStorage (*p)) << "parameter " << index << " = " << value;
            }
        }
        for (int program = 0; program < p->getNumPrograms(); ++program)
        {
            p->setCurrentProgram (program);
            ASSERT_TRUE (delaysFitTheirStorage (*p)) << "program " << program;
        }

        // The modulators walk to their bounds and back at the density factor's ends and between, the
        // factor changing on the way (so an accumulator may lie beyond a new, smaller bound); the
        // longest pre-delay and output delays meanwhile.
        p->setParameter (kPredelay, 1.0f);
        p->setParameter (kHigh, 0.0f);
        for (const float oversampling : { 0.0f, 1.0f, 0.5f })
        {
            if (rate > 500000.0 && oversampling > 0.0f)
                break; // a very high rate takes long to walk; its lines are mostly full rings anyway
            SCOPED_TRACE (testing::Message() << "oversampling " << oversampling);
            p->setParameter (kOversampling, oversampling);
            ASSERT_TRUE (walkTheModulators (*p, oversampling == 0.0f ? 3 : 1));
        }
    }
}

// The storage an instance holds: a few hundred kilobytes at 44.1 and 48 kHz where the full rings of 69
// lines were 83 MB; more at 192 kHz, where the longest delays are four times as long; and given back
// when the rate comes down again.
TEST (DelayStorage, AnInstanceHoldsLittleStorage)
{
    auto p = std::make_unique<QuellorAudioProcessor> (&testsupport::lateClock);
    const size_t atConstruction = p->delayStorageBytes();
    EXPECT_GT (atConstruction, 0u);
    EXPECT_LE (atConstruction, 2u * 1024 * 1024);

    p->prepareToPlay (48000.0, 512);
    const size_t at48k = p->delayStorageBytes();
    EXPECT_GT (at48k, 0u);
    EXPECT_LE (at48k, 2u * 1024 * 1024);

    size_t sum = 0;
    for (int n = 0; n < network::numLines; ++n)
    {
        const auto& line = PI::delayLine (*p, n);
        EXPECT_EQ (line.storageBytes() == 0, network::isIdleLine (n)) << "line " << n;
        EXPECT_FALSE (line.storesEveryRingSlot()) << "line " << n;
        sum += line.storageBytes();
    }
    EXPECT_EQ (sum, at48k);

    p->prepareToPlay (192000.0, 512);
    const size_t at192k = p->delayStorageBytes();
    EXPECT_GT (at192k, at48k);
    EXPECT_LE (at192k, 6u * 1024 * 1024);

    p->prepareToPlay (48000.0, 512);
    EXPECT_EQ (p->delayStorageBytes(), at48k);

    // Beyond the capacity a line holds the full ring, no more.
    p->prepareToPlay (12000000.0, 512);
    EXPECT_LE (p->delayStorageBytes(), sizeof (double) * (size_t) SimpleDelay::kCapacity * 50u);
}
JUCE_END_IGNORE_WARNINGS_GCC_LIKE
