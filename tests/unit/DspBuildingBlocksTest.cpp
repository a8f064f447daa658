// Tests of the DSP building blocks: delay line, all-pass holder, the two low-pass filters, the mixer
// and the two companders.

#include "dsp/Allpass.h"
#include "dsp/BandLimitSets.h"
#include "dsp/Compander.h"
#include "dsp/Compander4.h"
#include "dsp/Lowpass.h"
#include "dsp/Lowpass4.h"
#include "dsp/Mixer.h"
#include "dsp/SimpleDelay.h"
#include "dsp/WireBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.14159265358979323846;

std::unique_ptr<SimpleDelay> makeDelay (double sampleRate, double time)
{
    auto delay = std::make_unique<SimpleDelay>();
    delay->setSampleRate (sampleRate);
    delay->setDelayTime (time);
    return delay;
}

// ----------------------------------------------------------------------------------------------------
// SimpleDelay
// ----------------------------------------------------------------------------------------------------

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

// ----------------------------------------------------------------------------------------------------
// Allpass (built and kept, never run)
// ----------------------------------------------------------------------------------------------------

TEST (DspAllpass, HoldsItsConstructionValuesAndRoundsItsDelay)
{
    Allpass allpass (0.15, 0.633f);

    EXPECT_EQ (allpass.coefficient, 0.15);
    EXPECT_EQ (allpass.sampleRate, 0.0);
    EXPECT_TRUE (allpass.buffer != nullptr);
    EXPECT_EQ (allpass.capacity, 15000);
    EXPECT_EQ (allpass.writeIndex, 0);
    EXPECT_EQ (allpass.delaySamples, 1);
    EXPECT_EQ (allpass.readIndex, 1);
    EXPECT_EQ (allpass.gain, static_cast<double> (0.633f));
    EXPECT_NEAR (allpass.gain, 0.633000016212, 1.0e-12);

    allpass.setDelayTime (0.017083333); // at sample rate 0
    EXPECT_EQ (allpass.time, 0.017083333);
    EXPECT_EQ (allpass.delaySamples, 0);

    allpass.sampleRate = 44100.0;
    allpass.setDelayTime (0.017083333); // 75.337 + 0.5
    EXPECT_EQ (allpass.delaySamples, 75);
    allpass.setDelayTime (0.0172); // 75.852 + 0.5
    EXPECT_EQ (allpass.delaySamples, 76);
}

// ----------------------------------------------------------------------------------------------------
// Lowpass (4th-order Linkwitz-Riley)
// ----------------------------------------------------------------------------------------------------

double lowpassMagnitude (const Lowpass& f, double frequency)
{
    const std::complex<double> z1 = std::polar (1.0, -2.0 * kPi * frequency / f.sampleRate);
    const auto z2 = z1 * z1, z3 = z2 * z1, z4 = z3 * z1;
    const auto numerator = f.a0 + f.a1 * z1 + f.a2 * z2 + f.a3 * z3 + f.a4 * z4;
    const auto denominator = 1.0 + f.b1 * z1 + f.b2 * z2 + f.b3 * z3 + f.b4 * z4;
    return std::abs (numerator / denominator);
}

double toDb (double gain)
{
    return 20.0 * std::log10 (gain);
}

TEST (DspLowpass, StartsAtHalfCutoffWithCoefficientsAndNoHistory)
{
    Lowpass f;
    EXPECT_EQ (f.cutoff, 0.5);
    EXPECT_EQ (f.sampleRate, 44100.0);
    EXPECT_NEAR (lowpassMagnitude (f, 0.0), 1.0, 1.0e-12);
    EXPECT_EQ (f.a3, f.a1);
    EXPECT_EQ (f.a4, f.a0);
    EXPECT_EQ (f.xm1, 0.0);
    EXPECT_EQ (f.ym4, 0.0);
}

TEST (DspLowpass, PassesDcAtUnityAndIsSixDbDownAtItsCutoff)
{
    // 10.5 kHz at 44.1 kHz repeats exactly every 21 samples (five cycles).
    Lowpass f;
    f.setCutoff (0.5);

    for (int i = 0; i < 4000; ++i)
        f.processSample (1.0);
    EXPECT_NEAR (f.processSample (1.0), 1.0, 1.0e-12);

    f.clear();
    double inputPower = 0.0, outputPower = 0.0;
    for (int i = 0; i < 21 * 2000; ++i)
    {
        const double x = std::sin (2.0 * kPi * 5.0 * (i % 21) / 21.0 + 0.3);
        const double y = f.processSample (x);
        if (i >= 21 * 1000)
        {
            inputPower += x * x;
            outputPower += y * y;
        }
    }
    EXPECT_NEAR (10.0 * std::log10 (outputPower / inputPower), -6.0206, 0.005);
}

struct LowpassDesignCase
{
    double cutoff;
    double sampleRate;
};

TEST (DspLowpass, ResponseIsUnityAtDcAndMinusSixDbAtTheCutoffFrequency)
{
    const LowpassDesignCase cases[] = {
        { 0.5, 44100.0 },
        { static_cast<double> (13.0f / 21.0f), 44100.0 },
        { static_cast<double> (11.0f / 21.0f), 48000.0 },
        { static_cast<double> (5.0f / 21.0f), 48000.0 },
        { static_cast<double> (13.0f / 21.0f), 96000.0 },
        { 0.5, 192000.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "cutoff " << c.cutoff << ", rate " << c.sampleRate);
        Lowpass f;
        f.setSampleRate (c.sampleRate);
        f.setCutoff (c.cutoff);
        EXPECT_NEAR (lowpassMagnitude (f, 0.0), 1.0, 1.0e-9);
        EXPECT_NEAR (toDb (lowpassMagnitude (f, c.cutoff * 21000.0)), -6.0206, 0.005);
        EXPECT_LT (toDb (lowpassMagnitude (f, c.cutoff * 21000.0 * 1.5)), -12.0);
    }
}

// The design exactly as the filter is meant to compute it, without any limit.
void plainLinkwitzRileyDesign (double cutoff, double sampleRate, double (&b)[5], double (&a)[5])
{
    const double fc = cutoff * 21000.0;
    const double wc = 6.2831853 * fc;
    const double wc2 = wc * wc;
    const double wc3 = wc * wc2;
    const double wc4 = wc2 * wc2;
    const double k = wc / std::tan (3.14159265 * fc / sampleRate);
    const double k2 = k * k;
    const double k3 = k * k2;
    const double k4 = k2 * k2;
    const double sq1 = 1.41421356237 * wc3 * k;
    const double sq2 = 1.41421356237 * wc * k3;
    const double n = 4.0 * wc2 * k2 + 2.0 * sq1 + k4 + 2.0 * sq2 + wc4;
    b[1] = 4.0 * (wc4 + sq1 - k4 - sq2) / n;
    b[2] = (6.0 * wc4 - 8.0 * wc2 * k2 + 6.0 * k4) / n;
    b[3] = 4.0 * (wc4 - sq1 + sq2 - k4) / n;
    b[4] = (k4 - 2.0 * sq1 + wc4 - 2.0 * sq2 + 4.0 * wc2 * k2) / n;
    a[0] = wc4 / n;
    a[1] = 4.0 * wc4 / n;
    a[2] = 6.0 * wc4 / n;
    a[3] = a[1];
    a[4] = a[0];
}

TEST (DspLowpass, CoefficientsAreThePlainDesignWheneverTheCutoffIsBelowNyquist)
{
    const LowpassDesignCase cases[] = {
        { static_cast<double> (13.0f / 21.0f), 26001.0 },  { static_cast<double> (13.0f / 21.0f), 44100.0 },
        { static_cast<double> (5.0f / 21.0f), 44100.0 },   { 0.5, 44100.0 },
        { static_cast<double> (9.0f / 21.0f), 48000.0 },   { static_cast<double> (13.0f / 21.0f), 88200.0 },
        { static_cast<double> (13.0f / 21.0f), 192000.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "cutoff " << c.cutoff << ", rate " << c.sampleRate);
        Lowpass f;
        f.setCutoff (c.cutoff);
        f.setSampleRate (c.sampleRate);

        double b[5], a[5];
        plainLinkwitzRileyDesign (c.cutoff, c.sampleRate, b, a);
        EXPECT_EQ (f.b1, b[1]);
        EXPECT_EQ (f.b2, b[2]);
        EXPECT_EQ (f.b3, b[3]);
        EXPECT_EQ (f.b4, b[4]);
        EXPECT_EQ (f.a0, a[0]);
        EXPECT_EQ (f.a1, a[1]);
        EXPECT_EQ (f.a2, a[2]);
        EXPECT_EQ (f.a3, a[3]);
        EXPECT_EQ (f.a4, a[4]);
    }
}

TEST (DspLowpass, StaysStableAndFiniteWhenTheCutoffReachesNyquist)
{
    const double rates[] = { 8000.0, 11025.0, 16000.0, 22050.0, 24000.0, 25999.0, 26000.0 };
    const double cutoffs[] = { static_cast<double> (13.0f / 21.0f), 0.5, static_cast<double> (5.0f / 21.0f) };

    for (double rate : rates)
    {
        for (double cutoff : cutoffs)
        {
            if (cutoff * 21000.0 < rate * 0.5)
                continue;

            SCOPED_TRACE (testing::Message() << "cutoff " << cutoff << ", rate " << rate);
            Lowpass f;
            f.setCutoff (cutoff);
            f.setSampleRate (rate);

            // Impulse response: finite, and decayed to nothing after one second.
            double y = f.processSample (1.0);
            for (int i = 0; i < static_cast<int> (rate); ++i)
            {
                y = f.processSample (0.0);
                ASSERT_TRUE (std::isfinite (y)) << "sample " << i;
            }
            EXPECT_LT (std::abs (y), 1.0e-12);

            // Still a low-pass: unity at DC, nothing at Nyquist.
            EXPECT_NEAR (lowpassMagnitude (f, 0.0), 1.0, 1.0e-9);
            EXPECT_LT (lowpassMagnitude (f, rate * 0.5), 1.0e-6);

            f.clear();
            for (int i = 0; i < static_cast<int> (rate); ++i)
                y = f.processSample (1.0);
            EXPECT_NEAR (y, 1.0, 1.0e-9);
        }
    }
}

TEST (DspLowpass, RetuningKeepsHistoryAndClearResetsIt)
{
    Lowpass f;
    for (int i = 0; i < 10; ++i)
        f.processSample (0.5);
    const double xm1 = f.xm1, ym1 = f.ym1;

    f.setCutoff (static_cast<double> (13.0f / 21.0f));
    f.setSampleRate (48000.0);
    EXPECT_EQ (f.cutoff, static_cast<double> (13.0f / 21.0f));
    EXPECT_EQ (f.sampleRate, 48000.0);
    EXPECT_EQ (f.xm1, xm1);
    EXPECT_EQ (f.ym1, ym1);

    f.clear();
    EXPECT_EQ (f.xm1, 0.0);
    EXPECT_EQ (f.xm2, 0.0);
    EXPECT_EQ (f.xm3, 0.0);
    EXPECT_EQ (f.xm4, 0.0);
    EXPECT_EQ (f.ym1, 0.0);
    EXPECT_EQ (f.ym2, 0.0);
    EXPECT_EQ (f.ym3, 0.0);
    EXPECT_EQ (f.ym4, 0.0);
    EXPECT_EQ (f.processSample (0.0), 0.0);
}

// ----------------------------------------------------------------------------------------------------
// Lowpass4 and its coefficient sets
// ----------------------------------------------------------------------------------------------------

bool holdsSet (const Lowpass4& f, const BandLimitSet& set)
{
    return f.gain == set.gain && f.c == set.c;
}

struct DcGainCase
{
    const char* name;
    double sampleRate; // 0: the default set after a reset
    double expectedDcGain;
};

TEST (DspLowpass4, DcGainOfEachCoefficientSet)
{
    const DcGainCase cases[] = {
        { "default", 0.0, 1.000 },       { "44.1 kHz", 44100.0, 0.8378 }, { "48 kHz", 48000.0, 0.8374 },
        { "88.2 kHz", 88200.0, 0.8373 }, { "96 kHz", 96000.0, 1.4780 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Lowpass4 f;
        f.reset();
        if (c.sampleRate > 0.0)
            f.setSampleRate (c.sampleRate);

        double sum = 0.0;
        for (double coefficient : f.c)
            sum += coefficient;
        const double designDcGain = 256.0 / (1.0 - sum) / f.gain;

        double y = 0.0;
        for (int i = 0; i < 20000; ++i)
        {
            y = f.processSample (1.0);
            ASSERT_TRUE (std::isfinite (y));
        }
        EXPECT_NEAR (y, designDcGain, 1.0e-9 * designDcGain);
        EXPECT_NEAR (y, c.expectedDcGain, 5.0e-5);
    }
}

struct BandCase
{
    double rate;
    int expectedSet; // index into bandLimitSets, or -1 for the default set (a rate in no band)
};

TEST (DspLowpass4, SetSampleRateLoadsTheSetOfTheRateBandOnly)
{
    const BandCase cases[] = {
        { 44100.0, 0 },  { 42001.0, 0 },  { 44999.0, 0 },  { 48000.0, 1 },  { 47001.0, 1 },
        { 48999.0, 1 },  { 88200.0, 2 },  { 88001.0, 2 },  { 96000.0, 3 },  { 90001.0, 3 },
        { 176400.0, 3 }, { 192000.0, 3 }, { 32000.0, -1 }, { 42000.0, -1 }, { 45000.0, -1 },
        { 47000.0, -1 }, { 49000.0, -1 }, { 50000.0, -1 }, { 64000.0, -1 }, { 88000.0, -1 },
        { 89000.0, -1 }, { 89500.0, -1 }, { 90000.0, -1 }, { 22050.0, -1 }, { kNaN, -1 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "rate " << c.rate);
        Lowpass4 f;
        EXPECT_TRUE (holdsSet (f, defaultBandLimitSet));
        f.setSampleRate (c.rate);

        const BandLimitSet& expected = c.expectedSet < 0 ? defaultBandLimitSet : bandLimitSets[c.expectedSet];
        EXPECT_TRUE (holdsSet (f, expected));
        EXPECT_EQ (findBandLimitSet (c.rate), c.expectedSet < 0 ? nullptr : &bandLimitSets[c.expectedSet]);
    }

    // A rate in no band takes the default set, whatever band came before: the set follows the rate alone.
    for (const double banded : { 44100.0, 48000.0, 88200.0, 96000.0 })
    {
        Lowpass4 f;
        f.setSampleRate (banded);
        f.setSampleRate (50000.0);
        EXPECT_TRUE (holdsSet (f, defaultBandLimitSet)) << "after " << banded;
        EXPECT_EQ (&bandLimitSetFor (50000.0), &defaultBandLimitSet);
        EXPECT_EQ (&bandLimitSetFor (banded), findBandLimitSet (banded));
    }
}

TEST (DspLowpass4, SetSampleRateKeepsHistoryAndResetReinstallsTheSetOfTheLastPreparation)
{
    const auto expectClearHistory = [] (const Lowpass4& f)
    {
        for (int i = 0; i < 9; ++i)
        {
            EXPECT_EQ (f.x[i], 0.0);
            EXPECT_EQ (f.y[i], 0.0);
        }
    };

    Lowpass4 f;
    const auto play = [&f]
    {
        for (int i = 0; i < 20; ++i)
            f.processSample (0.1 * i);
    };

    // Before any preparation a reset gives the default set.
    play();
    f.loadSet (bandLimitSets[2]);
    f.reset();
    EXPECT_TRUE (holdsSet (f, defaultBandLimitSet));
    expectClearHistory (f);

    play();
    const auto x = f.x;
    const auto y = f.y;
    f.setSampleRate (96000.0);
    EXPECT_TRUE (holdsSet (f, bandLimitSets[3]));
    EXPECT_EQ (f.x, x);
    EXPECT_EQ (f.y, y);

    f.reset();
    EXPECT_TRUE (holdsSet (f, bandLimitSets[3]));
    expectClearHistory (f);

    // A rate in no band installs the default set, and so does every reset after it.
    f.setSampleRate (50000.0);
    EXPECT_TRUE (holdsSet (f, defaultBandLimitSet));
    play();
    f.reset();
    EXPECT_TRUE (holdsSet (f, defaultBandLimitSet));
    expectClearHistory (f);

    f.setSampleRate (48000.0);
    f.reset();
    f.reset();
    EXPECT_TRUE (holdsSet (f, bandLimitSets[1]));
}

// One step of the recursion written out literally, with its own history variables.
struct ReferenceLowpass4
{
    double gain, c0, c1, c2, c3, c4, c5, c6, c7;
    double x0 = 0, x1 = 0, x2 = 0, x3 = 0, x4 = 0, x5 = 0, x6 = 0, x7 = 0, x8 = 0;
    double y0 = 0, y1 = 0, y2 = 0, y3 = 0, y4 = 0, y5 = 0, y6 = 0, y7 = 0, y8 = 0;

    explicit ReferenceLowpass4 (const BandLimitSet& s)
        : gain (s.gain), c0 (s.c[0]), c1 (s.c[1]), c2 (s.c[2]), c3 (s.c[3]), c4 (s.c[4]), c5 (s.c[5]),
          c6 (s.c[6]), c7 (s.c[7])
    {
    }

    double step (double input)
    {
        x0 = x1, x1 = x2, x2 = x3, x3 = x4, x4 = x5, x5 = x6, x6 = x7, x7 = x8;
        x8 = input / gain;
        y0 = y1, y1 = y2, y2 = y3, y3 = y4, y4 = y5, y5 = y6, y6 = y7, y7 = y8;

        double sum = x0 + x8;
        sum = sum + 8.0 * (x1 + x7);
        sum = sum + 28.0 * (x2 + x6);
        sum = sum + 56.0 * (x3 + x5);
        sum = sum + 70.0 * x4;
        sum = sum + c0 * y0;
        sum = sum + c1 * y1;
        sum = sum + c2 * y2;
        sum = sum + c3 * y3;
        sum = sum + c4 * y4;
        sum = sum + c5 * y5;
        sum = sum + c6 * y6;
        sum = sum + c7 * y7;
        y8 = sum;
        return y8;
    }
};

TEST (DspLowpass4, RecursionMatchesTheWrittenOrderBitForBit)
{
    const double rates[] = { 0.0, 44100.0, 48000.0, 88200.0, 96000.0 };

    for (double rate : rates)
    {
        SCOPED_TRACE (testing::Message() << "rate " << rate);
        Lowpass4 f;
        f.setSampleRate (rate);
        ReferenceLowpass4 reference (BandLimitSet{ f.gain, f.c });

        std::mt19937 random (static_cast<unsigned> (rate) + 7u);
        std::uniform_real_distribution<double> signal (-1.0, 1.0);
        for (int i = 0; i < 5000; ++i)
        {
            const double input = signal (random);
            ASSERT_EQ (f.processSample (input), reference.step (input)) << "sample " << i;
        }
        EXPECT_EQ (f.y[8], reference.y8);
        EXPECT_EQ (f.x[0], reference.x0);
    }
}

// ----------------------------------------------------------------------------------------------------
// Mixer
// ----------------------------------------------------------------------------------------------------

struct MixerGainCase
{
    float mode;
    float raw;
    float flag;
    float expectedGain;
};

TEST (DspMixer, GainOfEachInputInDecibelAndBipolarModes)
{
    const MixerGainCase cases[] = {
        // decibel mapping
        { 0.0f, 0.0f, 1.0f, 1.0f }, // 0 dB passes the input
        { 0.0f, 0.0f, 0.0f, 0.0f }, // raw gain 0 silences it
        { 0.0f, -6.0f, 1.0f, std::pow (10.0f, -6.0f * 0.05f) },
        { 0.0f, 20.0f, 1.0f, 10.0f },
        { 0.0f, -2.360411418f, 1.0f, std::pow (10.0f, -2.360411418f * 0.05f) },
        { 0.0f, 0.76204294f, 0.0f, 0.76204294f },
        { 0.0f, -1.0f, 0.0f, -1.0f },
        { 0.5f, 0.3f, 0.0f, 0.3f }, // mode 0.5 is still the decibel mapping
        // bipolar mapping
        { 1.0f, 0.5f, 0.0f, 0.0f },
        { 1.0f, 0.0f, 0.0f, -1.0f },
        { 1.0f, 1.0f, 0.0f, 1.0f },
        { 1.0f, 0.75f, 0.0f, 0.5f },
        { 1.0f, 0.3f, 1.0f, 0.3f },
        { 0.6f, 0.25f, 0.0f, -0.5f },
    };

    for (const auto& c : cases)
    {
        for (int input = 0; input < 3; ++input)
        {
            SCOPED_TRACE (testing::Message() << "mode " << c.mode << ", raw " << c.raw << ", flag " << c.flag
                                             << ", input " << input);
            Mixer mixer;
            mixer.mode = c.mode;
            float* raws[] = { &mixer.raw0, &mixer.raw1, &mixer.raw2 };
            float* flags[] = { &mixer.flag0, &mixer.flag1, &mixer.flag2 };
            *raws[input] = c.raw;
            *flags[input] = c.flag;

            WireBuffer wire (3, 1);
            wire.clear();
            wire.setSample (input, 0, 0.8);

            mixer.process (wire);

            const float gains[] = { mixer.g0, mixer.g1, mixer.g2 };
            EXPECT_EQ (gains[input], c.expectedGain);
            EXPECT_EQ (wire.getSample (0, 0), static_cast<double> (c.expectedGain) * 0.8);
        }
    }
}

TEST (DspMixer, SumsTheThreeChannelsIntoChannelZeroInPlace)
{
    Mixer mixer;
    mixer.mode = 0.0f;
    mixer.raw0 = 1.0f;
    mixer.raw1 = -3.0f;
    mixer.flag1 = 1.0f;
    mixer.raw2 = 0.37f;

    WireBuffer wire (6, 1);
    wire.clear();
    ASSERT_TRUE (wire.hasBeenCleared());
    wire.setSample (0, 0, 0.1);
    wire.setSample (1, 0, -0.7);
    wire.setSample (2, 0, 0.45);
    wire.setSample (3, 0, 9.0);

    mixer.process (wire);

    const double g1 = static_cast<double> (std::pow (10.0f, -3.0f * 0.05f));
    const double expected = (g1 * -0.7 + 1.0 * 0.1) + static_cast<double> (0.37f) * 0.45;
    EXPECT_EQ (wire.getSample (0, 0), expected);
    EXPECT_EQ (wire.getSample (1, 0), -0.7);
    EXPECT_EQ (wire.getSample (2, 0), 0.45);
    EXPECT_EQ (wire.getSample (3, 0), 9.0);

    Mixer sameMixer = mixer;
    EXPECT_EQ (sameMixer.process (0.1, -0.7, 0.45), expected);
}

TEST (DspMixer, ProcessMarksTheBufferAsHoldingData)
{
    Mixer mixer; // bipolar, flags 0, raw 0: every gain is -1
    WireBuffer wire (3, 1);
    wire.clear();
    ASSERT_TRUE (wire.hasBeenCleared());

    mixer.process (wire);

    EXPECT_FALSE (wire.hasBeenCleared());
    EXPECT_EQ (wire.getSample (0, 0), 0.0);
    EXPECT_EQ (mixer.g0, -1.0f);
    EXPECT_EQ (mixer.g1, -1.0f);
    EXPECT_EQ (mixer.g2, -1.0f);
}

// ----------------------------------------------------------------------------------------------------
// Compander
// ----------------------------------------------------------------------------------------------------

void applyInputCompanderSettings (Compander& c)
{
    c.attackTime = 0.0005;
    c.releaseTime = 0.022;
    c.ratio = kInf;
    c.mode = 0.0;
    c.threshold = 0.01;
    c.setSampleRate (44100.0);
}

TEST (DspCompander, ClassValues)
{
    Compander c;
    EXPECT_EQ (c.sampleRate, 44100.0);
    EXPECT_EQ (c.attackTime, 0.001);
    EXPECT_EQ (c.releaseTime, 0.022);
    EXPECT_EQ (c.ratio, 0.5);
    EXPECT_EQ (c.envelope, 0.01);
    EXPECT_EQ (c.meanSquare, 0.01);
    EXPECT_EQ (c.threshold, 0.01);
    EXPECT_EQ (c.attackCoefficient, 0.01);
    EXPECT_EQ (c.releaseCoefficient, 0.01);
    EXPECT_EQ (c.gain, 0.0);
    EXPECT_EQ (c.levelFloor, 1e-7);
    EXPECT_EQ (c.smootherB0, 1.0 - std::exp (-0.01));
    EXPECT_EQ (c.smootherA1, -std::exp (-0.01));
    EXPECT_EQ (c.smootherState, 0.0);
}

TEST (DspCompander, InputCompanderSettingsMultiplyEverythingByTenToTheTenth)
{
    Compander c;
    applyInputCompanderSettings (c);
    EXPECT_EQ (c.attackCoefficient, 0.9556615326900152);
    EXPECT_EQ (c.releaseCoefficient, 0.9989698156881484);

    const double inputs[][2] = {
        { 0.0, 0.0 },  { 0.0, 0.0 },  { 0.5, -0.25 }, { 1.0, 1.0 },   { -0.9, 0.7 },
        { 3.0, -2.0 }, { 1e-6, 0.0 }, { 0.0, 0.0 },   { 0.02, 0.03 }, { -0.4, 0.0 }
    };

    for (int round = 0; round < 200; ++round)
    {
        for (const auto& in : inputs)
        {
            // Silence is handed over as a cleared buffer, which processing marks as holding data.
            WireBuffer wire (2, 1);
            wire.clear();
            if (in[0] != 0.0 || in[1] != 0.0)
            {
                wire.setSample (0, 0, in[0]);
                wire.setSample (1, 0, in[1]);
            }

            c.processSample (wire);

            ASSERT_EQ (c.gain, 1.2589254117941673);
            ASSERT_EQ (wire.getSample (0, 0), in[0] * 1.2589254117941673);
            ASSERT_EQ (wire.getSample (1, 0), in[1] * 1.2589254117941673);
            ASSERT_FALSE (wire.hasBeenCleared());
        }
    }
}

struct CompanderSteadyCase
{
    double ratio;
    double mode;
    double level; // both channels
};

TEST (DspCompander, GenericSettingsSettleOnTheRatioLaw)
{
    const CompanderSteadyCase cases[] = {
        { 2.0, 0.0, 0.5 }, { 4.0, 0.0, 0.1 }, { 2.0, 1.0, 0.5 }, { 2.0, 0.0, 0.001 }, { 0.5, 0.0, 0.2 },
    };

    for (const auto& k : cases)
    {
        SCOPED_TRACE (testing::Message()
                      << "ratio " << k.ratio << ", mode " << k.mode << ", level " << k.level);
        Compander c;
        c.ratio = k.ratio;
        c.mode = k.mode;
        c.setSampleRate (44100.0);

        double left = 0.0, right = 0.0;
        for (int i = 0; i < 44100; ++i)
        {
            left = k.level;
            right = -k.level;
            c.processSample (left, right);
        }

        const double levelLog = std::log10 (std::sqrt (k.level * k.level + 1e-7));
        const double excess = levelLog - std::log10 (0.01);
        const double exponent = excess > 0.0 ? 1.0 - excess / (k.ratio * (1.0 - 2.0 * k.mode)) : 1.0;
        const double expectedGain = std::pow (10.0, exponent / 10.0);
        EXPECT_NEAR (c.gain, expectedGain, 1e-9);
        EXPECT_EQ (left, k.level * c.gain);
        EXPECT_EQ (right, -k.level * c.gain);
    }
}

TEST (DspCompander, EnvelopeRisesWithTheAttackAndFallsWithTheRelease)
{
    Compander c;
    c.ratio = 2.0;
    c.setSampleRate (44100.0);

    double left = 0.5, right = 0.5;
    c.processSample (left, right);
    EXPECT_EQ (c.coefficient, c.attackCoefficient);
    const double rms = std::sqrt ((0.25 + 1e-7) * c.smootherB0);
    EXPECT_NEAR (c.meanSquare, (0.25 + 1e-7) * c.smootherB0, 1e-15);
    EXPECT_NEAR (c.envelope, 0.01 * c.attackCoefficient + (1.0 - c.attackCoefficient) * rms, 1e-15);

    for (int i = 0; i < 2000; ++i)
    {
        left = right = 0.5;
        c.processSample (left, right);
    }
    const double loudEnvelope = c.envelope;
    left = right = 0.0;
    c.processSample (left, right);
    EXPECT_EQ (c.coefficient, c.releaseCoefficient);
    EXPECT_LT (c.envelope, loudEnvelope);
    EXPECT_GT (c.envelope, loudEnvelope * c.releaseCoefficient);
}

TEST (DspCompander, RecoversFromANonFiniteInputSample)
{
    const double badSamples[] = { kInf, -kInf, kNaN };

    for (double bad : badSamples)
    {
        SCOPED_TRACE (testing::Message() << "bad sample " << bad);
        Compander generic;
        generic.ratio = 2.0;
        generic.setSampleRate (44100.0);
        Compander input;
        applyInputCompanderSettings (input);

        for (Compander* c : { &generic, &input })
        {
            double left = 0.3, right = 0.3;
            for (int i = 0; i < 20000; ++i)
            {
                left = right = 0.3;
                c->processSample (left, right);
            }
            const double settledGain = c->gain;

            left = bad;
            right = 0.3;
            c->processSample (left, right);

            for (int i = 0; i < 20000; ++i)
            {
                left = right = 0.3;
                c->processSample (left, right);
                ASSERT_TRUE (std::isfinite (left)) << "sample " << i;
            }
            EXPECT_TRUE (std::isfinite (c->smootherState));
            EXPECT_TRUE (std::isfinite (c->envelope));
            EXPECT_NEAR (c->gain, settledGain, 1e-9);
        }
    }
}

// ----------------------------------------------------------------------------------------------------
// Compander4
// ----------------------------------------------------------------------------------------------------

void applyOutputCompanderSettings (Compander4& c)
{
    c.attackTime = static_cast<double> (0.0005f);
    c.releaseTime = static_cast<double> (0.022f);
    c.ratio = kInf;
    c.mode = 1.0;
    c.threshold = static_cast<double> (0.01f);
    c.setSampleRate (44100.0);
}

TEST (DspCompander4, ClassValues)
{
    Compander4 c;
    EXPECT_EQ (c.sampleRate, 44100.0);
    EXPECT_EQ (c.attackTime, 0.001);
    EXPECT_EQ (c.releaseTime, 0.022);
    EXPECT_EQ (c.ratio, 0.5);
    EXPECT_EQ (c.envelope, 0.01);
    EXPECT_EQ (c.meanSquare, 0.01);
    EXPECT_EQ (c.threshold, 0.01);
    EXPECT_EQ (c.attackCoefficient, 0.01);
    EXPECT_EQ (c.releaseCoefficient, 0.01);
    EXPECT_EQ (c.gainDb, 0.0);
    EXPECT_EQ (c.levelFloor, 1e-7f);
    EXPECT_EQ (c.smootherB0, 1.0 - std::exp (-0.2));
    EXPECT_EQ (c.smootherA1, -std::exp (-0.2));
    EXPECT_EQ (c.smootherState, 0.0);
}

TEST (DspCompander4, OutputCompanderSettingsOnlyRoundToSinglePrecision)
{
    Compander4 c;
    applyOutputCompanderSettings (c);
    EXPECT_EQ (c.attackCoefficient, std::exp (-1.0 / (static_cast<double> (0.0005f) * 44100.0)));

    std::mt19937 random (99);
    std::uniform_real_distribution<double> unit (-1.0, 1.0);
    const double scales[] = { 0.0, 1e-6, 0.005, 0.3, 1.0, 4.0 };

    for (int i = 0; i < 6000; ++i)
    {
        const double scale = scales[(i / 500) % 6];
        double in[4];
        for (double& v : in)
            v = unit (random) * scale;

        WireBuffer wire (4, 1);
        wire.clear();
        for (int ch = 0; ch < 4; ++ch)
            wire.setSample (ch, 0, in[ch]);

        c.processSample (wire);

        ASSERT_EQ (c.gainDb, 0.0);
        for (int ch = 0; ch < 4; ++ch)
            ASSERT_EQ (wire.getSample (ch, 0), static_cast<double> (static_cast<float> (in[ch])))
                << "sample " << i << ", channel " << ch;
    }

    // One value that a double path would keep unrounded.
    double a = 0.1234567890123, b = 0.0, cc = 0.0, d = 0.0;
    c.processSample (a, b, cc, d);
    EXPECT_EQ (a, static_cast<double> (0.1234567890123f));
    EXPECT_NE (a, 0.1234567890123);

    WireBuffer silent (4, 1);
    silent.clear();
    c.processSample (silent);
    EXPECT_FALSE (silent.hasBeenCleared());
    EXPECT_EQ (silent.getSample (3, 0), 0.0);
}

struct Compander4SteadyCase
{
    double ratio;
    double mode;
    double levels[4];
};

TEST (DspCompander4, GenericSettingsSettleOnTheRatioLaw)
{
    const Compander4SteadyCase cases[] = {
        { 2.0, 0.0, { 0.5, -0.5, 0.5, -0.5 } },   // sum of squares 1: the attack branch at the boundary
        { 2.0, 0.0, { 0.9, 0.8, -0.7, 0.6 } },    // mean square above 1: attack coefficient
        { 4.0, 0.0, { 0.1, 0.0, 0.05, -0.2 } },   // below 1: release coefficient
        { 2.0, 1.0, { 0.1, 0.1, 0.1, 0.1 } },     // mode 1 raises the gain above the threshold
        { 2.0, 0.0, { 0.001, 0.0, 0.0, 0.002 } }, // below the threshold: gain stays 0 dB
    };

    for (const auto& k : cases)
    {
        SCOPED_TRACE (testing::Message()
                      << "ratio " << k.ratio << ", mode " << k.mode << ", first level " << k.levels[0]);
        Compander4 c;
        c.ratio = k.ratio;
        c.mode = k.mode;
        c.setSampleRate (44100.0);

        double out[4] = {};
        for (int i = 0; i < 2000; ++i)
        {
            for (int ch = 0; ch < 4; ++ch)
                out[ch] = k.levels[ch];
            c.processSample (out[0], out[1], out[2], out[3]);
        }

        double sum = 0.0;
        for (double level : k.levels)
        {
            const float f = static_cast<float> (level);
            sum += static_cast<double> (f * f);
        }
        const double meanSquare = static_cast<double> (1e-7f) + sum;
        const double rms = std::sqrt (meanSquare);
        const double coefficient = meanSquare > rms ? c.attackCoefficient : c.releaseCoefficient;
        const double envelope = meanSquare + coefficient * (rms - meanSquare);
        const double levelDb = 20.0 * std::log10 (envelope);
        const double thresholdDb = 20.0 * std::log10 (0.01);
        const double expectedGainDb =
            levelDb > thresholdDb ? (thresholdDb - levelDb) / (k.ratio * (1.0 - 2.0 * k.mode)) : 0.0;

        EXPECT_NEAR (c.meanSquare, meanSquare, 1e-12);
        EXPECT_EQ (c.coefficient, coefficient);
        EXPECT_NEAR (c.gainDb, expectedGainDb, 1e-9);

        const float gain = std::pow (10.0f, static_cast<float> (c.gainDb / 20.0));
        for (int ch = 0; ch < 4; ++ch)
            EXPECT_EQ (out[ch], static_cast<double> (static_cast<float> (k.levels[ch]) * gain));
    }
}

TEST (DspCompander4, HoldsTheLastGainWhileTheLevelIsBelowTheThreshold)
{
    Compander4 c;
    c.ratio = 2.0;
    c.setSampleRate (44100.0);

    double a = 0.0, b = 0.0, cc = 0.0, d = 0.0;
    for (int i = 0; i < 500; ++i)
    {
        a = b = cc = d = 0.4;
        c.processSample (a, b, cc, d);
    }
    ASSERT_LT (c.gainDb, -10.0);

    // The level falls through the threshold; from then on the gain of the last sample above it stays.
    double lastGainDbAbove = c.gainDb;
    int samplesBelow = 0;
    for (int i = 0; i < 500; ++i)
    {
        a = 0.001;
        b = cc = d = 0.0;
        c.processSample (a, b, cc, d);

        if (20.0 * std::log10 (c.envelope) > 20.0 * std::log10 (c.threshold))
        {
            lastGainDbAbove = c.gainDb;
            continue;
        }

        ++samplesBelow;
        ASSERT_EQ (c.gainDb, lastGainDbAbove) << "sample " << i;
        ASSERT_EQ (
            a, static_cast<double> (0.001f * std::pow (10.0f, static_cast<float> (lastGainDbAbove / 20.0))));
    }
    EXPECT_GT (samplesBelow, 400);
    EXPECT_LT (c.gainDb, 0.0);
    EXPECT_GT (c.gainDb, -10.0);
}

TEST (DspCompander4, RecoversFromANonFiniteInputSample)
{
    Compander4 c;
    c.ratio = 2.0;
    c.setSampleRate (44100.0);

    double a, b, cc, d;
    for (int i = 0; i < 2000; ++i)
    {
        a = b = cc = d = 0.3;
        c.processSample (a, b, cc, d);
    }
    const double settledGainDb = c.gainDb;

    a = kInf;
    b = kNaN;
    cc = d = 0.3;
    c.processSample (a, b, cc, d);

    for (int i = 0; i < 2000; ++i)
    {
        a = b = cc = d = 0.3;
        c.processSample (a, b, cc, d);
        ASSERT_TRUE (std::isfinite (a)) << "sample " << i;
    }
    EXPECT_TRUE (std::isfinite (c.smootherState));
    EXPECT_NEAR (c.gainDb, settledGainDb, 1e-9);
}

} // namespace
