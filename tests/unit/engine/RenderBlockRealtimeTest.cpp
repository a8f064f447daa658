// Real-time safety of a block (RenderBlock.cpp): no allocation or release inside one, and no wait for
// the callback lock.

#include "AllocationCounter.h"
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#endif

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using namespace enginetest;
using testsupport::countedAllocations;
using testsupport::countingAllocations;

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

#if defined(__linux__)
namespace
{
/** Minor page faults of the calling thread so far: a fault is memory touched for the first time. */
long minorFaultsOfThisThread()
{
    rusage usage{};
    getrusage (RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

/** Runs batches of blocks on a thread of its own, the audio thread, while the test's thread changes
    the processor between batches, as a host's message thread does between callbacks. */
class AudioThread
{
public:
    explicit AudioThread (int channels) : channels (channels)
    {
        thread = std::thread ([this] { run(); });
    }

    ~AudioThread()
    {
        request (-1);
        thread.join();
    }

    /** Runs `blocks` blocks of 512 samples on the audio thread and waits for them. */
    void runBlocks (QuellorAudioProcessor& processor, int blocks, bool measure)
    {
        target = &processor;
        measuring = measure;
        request (blocks);
    }

    std::atomic<long> faults{ 0 };
    std::atomic<long> allocations{ 0 };

private:
    void request (int blocks)
    {
        pending.store (blocks, std::memory_order_release);
        while (pending.load (std::memory_order_acquire) > 0)
            std::this_thread::yield();
    }

    void run()
    {
        // Everything the thread uses is made before the first batch.
        juce::AudioBuffer<float> input = noise<float> (channels, 512, 9), buffer (channels, 512);
        juce::MidiBuffer midi;

        for (;;)
        {
            int blocks;
            while ((blocks = pending.load (std::memory_order_acquire)) == 0)
                std::this_thread::yield();
            if (blocks < 0)
                return;

            const long faultsBefore = minorFaultsOfThisThread();
            countedAllocations = 0;
            countingAllocations = measuring;
            for (int b = 0; b < blocks; ++b)
            {
                for (int c = 0; c < channels; ++c)
                    buffer.copyFrom (c, 0, input, c, 0, 512);
                target->processBlock (buffer, midi);
            }
            countingAllocations = false;
            if (measuring)
            {
                faults += minorFaultsOfThisThread() - faultsBefore;
                allocations += countedAllocations.load();
            }
            pending.store (0, std::memory_order_release);
        }
    }

    const int channels;
    QuellorAudioProcessor* target = nullptr;
    bool measuring = false;
    std::atomic<int> pending{ 0 };
    std::thread thread;
};
} // namespace

// Once prepared, an instance's audio thread never allocates and never touches memory for the first time
// (a page fault): its delay storage is allocated and written at preparation, and nothing between blocks
// (program changes, state restores, resets, parameters at the ends of their ranges, both voicings,
// every density) gives it new memory. About ten seconds of audio at 48 and 192 kHz.
TEST (EngineRealtime, AfterPreparationTheAudioThreadNeitherAllocatesNorTouchesNewMemory)
{
    struct Case
    {
        double rate;
        int channels;
    };
    for (const auto& c : { Case{ 48000.0, 2 }, Case{ 192000.0, 10 } })
    {
        SCOPED_TRACE (testing::Message() << c.rate << " Hz, " << c.channels << " channels");
        const int blocksOf10s = (int) (10.0 * c.rate / 512.0);

        juce::MemoryBlock state;
        {
            auto donor = makeProcessor (2, Path::modern);
            donor->setParameter (kPredelay, 1.0f);
            donor->setParameter (kOversampling, 1.0f);
            donor->getStateInformation (state);
        }

        AudioThread audio (c.channels);

        // The same script on a first instance warms the code and the thread's stack, so the count on the
        // second is the instance's own memory.
        for (const bool measured : { false, true })
        {
            auto p = makeProcessor (c.channels, Path::classic);
            p->prepareToPlay (c.rate, 512);

            const std::vector<std::function<void()>> between{
                [] {},
                [&] { p->setCurrentProgram (6); },
                [&] { p->setStateInformation (state.getData(), (int) state.getSize()); },
                [&] { p->reset(); },
                [&]
                {
                    p->setParameter (kPredelay, 1.0f);
                    p->setParameter (kHigh, 0.0f);
                    p->setParameter (kOversampling, 0.0f);
                },
                [&] { p->setParameter (kUseClassic, 0.0f); },
                [&] { p->setParameter (kOversampling, 0.75f); },
                [&] { p->setCurrentProgram (3); },
                [&] { p->setParameter (kPredelay, 0.0f); },
                [&] { p->setParameter (kUseClassic, 1.0f); },
            };

            int blocks = 0;
            for (size_t step = 0; blocks < blocksOf10s; ++step)
            {
                between[step % between.size()]();
                const int batch = std::min (40, blocksOf10s - blocks);
                audio.runBlocks (*p, batch, measured);
                blocks += batch;
            }
        }

        EXPECT_EQ (audio.faults.load(), 0) << "minor page faults on the audio thread";
        EXPECT_EQ (audio.allocations.load(), 0) << "allocations on the audio thread";
    }
}
#endif

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
