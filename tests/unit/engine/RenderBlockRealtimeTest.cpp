// Real-time safety of a block (RenderBlock.cpp): no allocation or release inside one, and no wait for
// the callback lock.

#include "AllocationCounter.h"
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

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

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
