// Tests of the delay line: its delay counts, ticks across the wrap, sample-rate changes, clears and the
// refill after a clear, runs, and storage smaller than the ring.

#include "dsp/SimpleDelay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::unique_ptr<SimpleDelay> makeDelay (double sampleRate, double time)
{
    auto delay = std::make_unique<SimpleDelay>();
    delay->setSampleRate (sampleRate);
    delay->setDelayTime (time);
    return delay;
}

TEST (DspSimpleDelay, StartsClearedAt44100WithOneSampleDelay)
{
    auto delay = std::make_unique<SimpleDelay>();

    EXPECT_EQ (delay->sampleRate, 44100.0);
    EXPECT_EQ (delay->capacity, 150000);
    EXPECT_EQ (delay->writeIndex, 0);
    EXPECT_EQ (delay->delaySamples, 1);
    EXPECT_EQ (delay->readIndex, 0);
    EXPECT_EQ (delay->time, 0.0);
    EXPECT_EQ (delay->storageSlots(), 150000);
    EXPECT_TRUE (delay->storesEveryRingSlot());
    for (int slot = 0; slot < delay->capacity; ++slot)
        ASSERT_EQ (delay->sampleAt (slot), 0.0);

    EXPECT_EQ (delay->tick (0.5), 0.0);
    EXPECT_EQ (delay->tick (0.25), 0.5);
}

struct DelayTimeCase
{
    double sampleRate;
    double time;
    int expectedSamples;
};

TEST (DspSimpleDelay, SetDelayTimeTruncatesAndStaysWithinTheBuffer)
{
    const DelayTimeCase cases[] = {
        { 44100.0, 0.062083333, 273 }, // 273.787 truncated
        { 44100.0, 0.017083333, 75 },  { 44100.0, 0.000833333333, 3 },
        { 44100.0, 0.02, 88 },         { 48000.0, 0.02, 96 },
        { 44100.0, 0.0, 0 },           { 44100.0, 34.0, 149940 },
        { 44100.0, 34.013, 149997 },   { 44100.0, 34.02, 149999 }, // 150,028 samples: held at capacity - 1
        { 192000.0, 7.8125, 149999 },                              // exactly 150,000 samples
        { 44100.0, 1.0e12, 149999 },   { 44100.0, -0.0001, 0 },    // less than one sample below zero
        { 44100.0, -5.0, 0 },          { 44100.0, kNaN, 0 },
        { 44100.0, kInf, 149999 },     { 44100.0, -kInf, 0 },
    };

    auto delay = std::make_unique<SimpleDelay>();
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "rate " << c.sampleRate << ", time " << c.time);
        delay->setSampleRate (c.sampleRate);
        delay->setDelayTime (c.time);
        EXPECT_EQ (delay->delaySamples, c.expectedSamples);
        if (!std::isnan (c.time))
        {
            EXPECT_EQ (delay->time, c.time);
        }
    }
}

TEST (DspSimpleDelay, TickReturnsTheInputOfDelayTicksAgoAcrossTheWrap)
{
    // Delays of 0 and 149,999 are the extremes; 273 and 149,999 also read from the end of the buffer
    // while the write index is still below the delay, and every run wraps the write index.
    const int delays[] = { 0, 1, 273, 149999 };

    for (int d : delays)
    {
        SCOPED_TRACE (testing::Message() << "delay " << d);
        auto delay = std::make_unique<SimpleDelay>();
        delay->delaySamples = d;

        const int ticks = 2 * SimpleDelay::kCapacity + 17;
        for (int i = 0; i < ticks; ++i)
        {
            const double expected = i >= d ? static_cast<double> (i - d + 1) : 0.0;
            const double output = delay->tick (static_cast<double> (i + 1));
            ASSERT_EQ (output, expected) << "tick " << i;

            if (i == SimpleDelay::kCapacity - 1)
            {
                ASSERT_EQ (delay->writeIndex, 0) << "the write index wraps from 149,999 to 0";
            }
        }
    }
}

TEST (DspSimpleDelay, ReadsBeforeTheWriteIndexComeFromTheEndOfTheBuffer)
{
    auto delay = std::make_unique<SimpleDelay>();
    delay->delaySamples = 0;
    for (int i = 0; i < 100; ++i)
        delay->tick (1.0 + i);

    delay->sampleAt (149900) = -7.0;
    delay->samplesWritten = SimpleDelay::kCapacity; // as if written all the way round
    delay->delaySamples = 200;
    EXPECT_EQ (delay->tick (0.0), -7.0);
    EXPECT_EQ (delay->readIndex, 149900);
    EXPECT_EQ (delay->writeIndex, 101);
}

TEST (DspSimpleDelay, ChangingTheTimeKeepsThePositions)
{
    auto delay = makeDelay (44100.0, 0.0);
    for (int i = 0; i < 50; ++i)
        delay->tick (1.0 + i);

    delay->setDelayTime (10.0 * 5.0 / 44100.0 + 1.0e-9); // five samples
    ASSERT_EQ (delay->delaySamples, 5);
    EXPECT_EQ (delay->writeIndex, 50);
    EXPECT_EQ (delay->tick (51.0), 46.0);
}

struct SampleRateCase
{
    double time;
    double sampleRate;
    int expectedSamples;
};

TEST (DspSimpleDelay, SetSampleRateRecomputesWithoutTheBoundAndClears)
{
    const SampleRateCase cases[] = {
        { 0.02, 48000.0, 96 },         { 0.02, 44100.0, 88 },
        { 0.062083333, 96000.0, 595 }, { 7.8125, 192000.0, 150000 }, // beyond capacity - 1: kept unbounded
        { 10.0, 192000.0, 192000 },    { -1.0, 48000.0, 0 },
        { 1.0e12, 44100.0, 149999 }, // does not fit a 32-bit count
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "time " << c.time << ", rate " << c.sampleRate);
        auto delay = makeDelay (44100.0, c.time);
        for (int i = 0; i < 1000; ++i)
            delay->tick (1.0);
        const int writeIndex = delay->writeIndex;
        const int readIndex = delay->readIndex;

        delay->setSampleRate (c.sampleRate);

        EXPECT_EQ (delay->sampleRate, c.sampleRate);
        EXPECT_EQ (delay->delaySamples, c.expectedSamples);
        EXPECT_EQ (delay->writeIndex, writeIndex);
        EXPECT_EQ (delay->readIndex, readIndex);
        for (int slot = 0; slot < delay->capacity; ++slot)
            ASSERT_EQ (delay->storedSample (slot), 0.0) << "slot " << slot;
    }
}

TEST (DspSimpleDelay, NonFiniteTimesGiveADelayInsideTheBufferAfterSetSampleRate)
{
    auto delay = std::make_unique<SimpleDelay>();

    delay->time = kNaN;
    delay->setSampleRate (48000.0);
    EXPECT_EQ (delay->delaySamples, 0);

    delay->time = kInf;
    delay->setSampleRate (48000.0);
    EXPECT_EQ (delay->delaySamples, 149999);

    delay->time = -kInf;
    delay->setSampleRate (48000.0);
    EXPECT_EQ (delay->delaySamples, 0);
}

TEST (DspSimpleDelay, FirstTicksAfterSetSampleRateReturnSilence)
{
    auto delay = makeDelay (44100.0, 0.02);
    for (int i = 0; i < 500; ++i)
        delay->tick (0.75);

    delay->setSampleRate (48000.0);
    ASSERT_EQ (delay->delaySamples, 96);

    for (int i = 0; i < 96; ++i)
        ASSERT_EQ (delay->tick (1.0 + i), 0.0) << "tick " << i;
    EXPECT_EQ (delay->tick (0.0), 1.0);
}

TEST (DspSimpleDelay, UnboundedDelayAfterSetSampleRateStillReadsInsideTheBuffer)
{
    // 150,000 samples: the read falls back on capacity - delay + write index, the slot just written.
    {
        auto delay = makeDelay (44100.0, 7.8125);
        delay->setSampleRate (192000.0);
        ASSERT_EQ (delay->delaySamples, 150000);
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ (delay->tick (1.0 + i), 1.0 + i);
    }

    // 192,000 samples: slot write index - 42,000, or slot 0 while that is negative.
    {
        auto delay = makeDelay (44100.0, 10.0);
        delay->setSampleRate (192000.0);
        ASSERT_EQ (delay->delaySamples, 192000);
        for (int i = 0; i < 50000; ++i)
        {
            const double expected = i < 42000 ? 1.0 : static_cast<double> (i - 42000 + 1);
            ASSERT_EQ (delay->tick (1.0 + i), expected) << "tick " << i;
            ASSERT_GE (delay->readIndex, 0);
            ASSERT_LT (delay->readIndex, delay->capacity);
        }
    }
}

TEST (DspSimpleDelay, ArbitraryTimesAndRatesNeverLeaveTheBuffer)
{
    std::mt19937 random (1234);
    std::uniform_real_distribution<double> anyTime (-50.0, 200.0);
    const double specialTimes[] = { kNaN, kInf, -kInf, 1.0e300, -1.0e300, 0.0, -0.0 };
    const double rates[] = { 8000.0, 44100.0, 192000.0, 384000.0, 1.0e9, -44100.0, 0.0 };

    auto delay = std::make_unique<SimpleDelay>();
    for (int round = 0; round < 400; ++round)
    {
        const double time = round % 5 == 0 ? specialTimes[(round / 5) % 7] : anyTime (random);
        if (round % 3 == 0)
        {
            delay->time = time;
            delay->setSampleRate (rates[round % 7]);
        }
        else
        {
            delay->setDelayTime (time);
        }

        ASSERT_GE (delay->delaySamples, 0);
        for (int i = 0; i < 997; ++i)
        {
            delay->tick (1.0);
            ASSERT_GE (delay->readIndex, 0);
            ASSERT_LT (delay->readIndex, delay->capacity);
            ASSERT_GE (delay->writeIndex, 0);
            ASSERT_LT (delay->writeIndex, delay->capacity);
        }
    }
}

TEST (DspSimpleDelay, ClearSilencesEverySlotAndKeepsTheSettings)
{
    auto delay = makeDelay (48000.0, 0.02);
    for (int i = 0; i < 300; ++i)
        delay->tick (0.5);
    const int writeIndex = delay->writeIndex;
    const int readIndex = delay->readIndex;

    delay->clear();

    for (int slot = 0; slot < delay->capacity; ++slot)
        ASSERT_EQ (delay->storedSample (slot), 0.0) << "slot " << slot;
    EXPECT_EQ (delay->writeIndex, writeIndex);
    EXPECT_EQ (delay->readIndex, readIndex);
    EXPECT_EQ (delay->delaySamples, 96);
    EXPECT_EQ (delay->time, 0.02);
    EXPECT_EQ (delay->sampleRate, 48000.0);
}

// A clear costs nothing, so it must not matter how the line is read afterwards: ticks and runs (the
// engine's direct reads) must return what a line whose memory really was zeroed returns, through wraps,
// delay changes, clears in quick succession and clears during the refill.
TEST (DspSimpleDelay, ReadsAfterAClearMatchALineWhoseMemoryWasZeroed)
{
    struct Case
    {
        const char* name;
        int startWrite; // write position when the sequence starts (the line full of old samples)
        int maxDelay;   // delays are drawn from 0..maxDelay
        int maxRun;     // runs of 1..maxRun ticks
        int clearEvery; // a clear about once in this many steps
    };
    const Case cases[] = {
        { "short delays, frequent clears", 1000, 40, 16, 6 },
        { "across the wrap", SimpleDelay::kCapacity - 300, 700, 64, 20 },
        { "long delays beyond the refill", 5, 149999, 4000, 30 },
        { "delays beyond the capacity", 140000, 200000, 3, 40 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto line = std::make_unique<SimpleDelay>();
        std::vector<double> plain (SimpleDelay::kCapacity, 0.0);
        std::mt19937 random (17);

        // Old samples everywhere, as after a long run.
        for (int slot = 0; slot < SimpleDelay::kCapacity; ++slot)
            line->sampleAt (slot) = plain[(size_t) slot] = 1.0 + slot;
        line->samplesWritten = SimpleDelay::kCapacity;
        line->writeIndex = c.startWrite;

        const auto plainTick = [&] (int write, int delay, double input)
        {
            plain[(size_t) write] = input;
            int read = write - delay;
            if (read < 0)
                read = std::max (0, SimpleDelay::kCapacity - delay + write);
            return plain[(size_t) read];
        };

        double input = -1.0;
        for (int step = 0; step < 3000; ++step)
        {
            const auto pick = random() % (unsigned) c.clearEvery;
            if (pick == 0)
            {
                line->clear();
                std::fill (plain.begin(), plain.end(), 0.0);
                continue;
            }
            if (pick == 1)
                line->delaySamples = (int) (random() % (unsigned) (c.maxDelay + 1));

            const int length = 1 + (int) (random() % (unsigned) c.maxRun);
            if (step % 2 == 0)
            {
                for (int k = 0; k < length; ++k, input -= 1.0)
                {
                    const int write = line->writeIndex;
                    const double expected = plainTick (write, line->delaySamples, input);
                    ASSERT_EQ (line->tick (input), expected)
                        << "tick at write " << write << ", step " << step;
                }
            }
            else
            {
                double* write = nullptr;
                const double* read = nullptr;
                const int startWrite = line->writeIndex;
                const int count = std::min (length, line->beginRun (write, read));
                for (int k = 0; k < count; ++k, input -= 1.0)
                {
                    write[k] = input;
                    const double expected =
                        plainTick ((startWrite + k) % SimpleDelay::kCapacity, line->delaySamples, input);
                    ASSERT_EQ (read[k], expected) << "run at write " << startWrite + k << ", step " << step;
                }
                line->endRun (count, read);
            }
        }

        for (int slot = 0; slot < SimpleDelay::kCapacity; ++slot)
            ASSERT_EQ (line->storedSample (slot), plain[(size_t) slot]) << "slot " << slot;
    }
}

TEST (DspSimpleDelay, StorageIsSizedForTheLongestDelay)
{
    struct Case
    {
        int longestDelay, slots;
        bool everyRingSlot;
    };
    const Case cases[] = {
        { -1, 1, false },         { 0, 4096, false },        { 4095, 4096, false },
        { 4096, 8192, false },    { 100000, 131072, false }, { 131071, 131072, false },
        { 131072, 150000, true }, { 149999, 150000, true },  { 1000000, 150000, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "longest delay " << c.longestDelay);
        SimpleDelay line (SimpleDelay::withoutStorage);
        EXPECT_EQ (line.storageBytes(), 0u);
        line.setStorageFor (c.longestDelay);
        EXPECT_EQ (line.storageSlots(), c.slots);
        EXPECT_EQ (line.storesEveryRingSlot(), c.everyRingSlot);
        EXPECT_EQ (line.storageBytes(), c.longestDelay < 0 ? 0u : sizeof (double) * (size_t) c.slots);
    }
}

// A line with less storage than the ring must read exactly as the full ring does, for every delay up to
// the one its storage was sized for: ticks and runs, through the storage's wrap and the ring's, delay
// changes, clears and clears during the refill, with the positions the ring's.
TEST (DspSimpleDelay, SmallerStorageReadsAsTheFullRing)
{
    struct Case
    {
        const char* name;
        int longestDelay; // the storage is sized for this; delays are drawn from 0..longestDelay
        int startWrite;   // write position when the sequence starts
        int maxRun;       // runs of 1..maxRun ticks
        int clearEvery;   // a clear about once in this many steps
        int steps;
    };
    const Case cases[] = {
        { "short delays, frequent clears", 40, 1000, 300, 8, 3000 },
        { "delays up to the last slot, across the ring's wrap", 4095, SimpleDelay::kCapacity - 9000, 2000, 40,
          3000 },
        { "the largest power of two", 131071, 5, 6000, 60, 1500 },
        { "a line without storage, delay 0", -1, 7, 50, 10, 500 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto line = std::make_unique<SimpleDelay> (SimpleDelay::withoutStorage);
        line->writeIndex = c.startWrite;
        line->delaySamples = 0;
        line->setStorageFor (c.longestDelay);
        ASSERT_FALSE (line->storesEveryRingSlot());
        std::vector<double> plain (SimpleDelay::kCapacity, 0.0);
        std::mt19937 random (23);

        const auto plainTick = [&] (int write, int delay, double input)
        {
            plain[(size_t) write] = input;
            const int read = write - delay < 0 ? SimpleDelay::kCapacity - delay + write : write - delay;
            return std::make_pair (plain[(size_t) read], read);
        };

        double input = -1.0;
        for (int step = 0; step < c.steps; ++step)
        {
            const auto pick = random() % (unsigned) c.clearEvery;
            if (pick == 0)
            {
                line->clear();
                std::fill (plain.begin(), plain.end(), 0.0);
                continue;
            }
            if (pick == 1)
                line->delaySamples = (int) (random() % (unsigned) (std::max (0, c.longestDelay) + 1));

            const int length = 1 + (int) (random() % (unsigned) c.maxRun);
            if (step % 2 == 0)
            {
                for (int k = 0; k < length; ++k, input -= 1.0)
                {
                    const int write = line->writeIndex;
                    const auto expected = plainTick (write, line->delaySamples, input);
                    ASSERT_EQ (line->tick (input), expected.first)
                        << "tick at write " << write << ", step " << step;
                    ASSERT_EQ (line->readIndex, expected.second);
                    ASSERT_EQ (line->writeIndex, (write + 1) % SimpleDelay::kCapacity);
                }
            }
            else
            {
                double* write = nullptr;
                const double* read = nullptr;
                const int startWrite = line->writeIndex;
                const int count = std::min (length, line->beginRun (write, read));
                int lastRead = -1;
                for (int k = 0; k < count; ++k, input -= 1.0)
                {
                    write[k] = input;
                    const auto expected =
                        plainTick ((startWrite + k) % SimpleDelay::kCapacity, line->delaySamples, input);
                    ASSERT_EQ (read[k], expected.first)
                        << "run at write " << startWrite + k << ", step " << step;
                    lastRead = expected.second;
                }
                line->endRun (count, read);
                ASSERT_EQ (line->readIndex, lastRead);
                ASSERT_EQ (line->writeIndex, (startWrite + count) % SimpleDelay::kCapacity);
            }
        }

        // Every slot a read can still reach holds what the full ring holds there.
        const int reach = std::max (0, c.longestDelay);
        for (int age = 1; age <= reach; ++age)
        {
            const int slot = (line->writeIndex - age + SimpleDelay::kCapacity) % SimpleDelay::kCapacity;
            ASSERT_EQ (line->storedSample (slot), plain[(size_t) slot]) << "slot " << slot;
        }
    }
}

// Storage smaller than a delay never makes a line read or write outside it (a caller that sets a delay
// beyond what it sized the storage for gets wrong samples, never a stray access).
TEST (DspSimpleDelay, DelaysBeyondTheStorageStayInsideIt)
{
    auto line = std::make_unique<SimpleDelay> (SimpleDelay::withoutStorage);
    line->setStorageFor (100);
    const int slots = line->storageSlots();
    const int delays[] = { 4095, 4096, 4097, 70000, 149999 };

    for (int d : delays)
    {
        line->delaySamples = d;
        for (int i = 0; i < 3 * slots; ++i)
            ASSERT_TRUE (std::isfinite (line->tick (1.0)));

        for (int r = 0; r < 20; ++r)
        {
            double* write = nullptr;
            const double* read = nullptr;
            const int length = line->beginRun (write, read, slots);
            ASSERT_GE (length, 1);
            ASSERT_LE (length, slots);
            // Both cursors stay within one storage of each other, and a run never passes the storage's end.
            ASSERT_LT (std::abs (read - write), slots);
            for (int k = 0; k < length; ++k)
                write[k] = read[k];
            line->endRun (length, read);
        }
    }

    // The time setter itself keeps its rules whatever the storage.
    line->setSampleRate (192000.0);
    line->setDelayTime (7.8125);
    EXPECT_EQ (line->delaySamples, 149999);
}
} // namespace
