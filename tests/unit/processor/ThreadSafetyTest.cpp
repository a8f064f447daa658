// The processor used from several threads at once, as hosts use it: the audio thread renders blocks
// (holding the callback lock, as the plug-in wrappers do) while a host thread automates parameters, an
// editor thread moves controls and reads the values back, and the message thread changes programs,
// saves and restores the state and runs the real editor's refresh timer. Built with ThreadSanitizer
// (scripts/sanitizers.sh), any unsynchronised access between them is reported; in the normal build the
// test checks that every block stays finite and the meter stays on its steps throughout.

#include "FakeClock.h"
#include "ProcessorFixture.h"
#include "processor/QuellorAudioProcessor.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace
{
constexpr int inputMeterIndex = 16;

// A clock that moves a second per reading, so no program change falls inside the start-up guard.
using testsupport::lateClock;

bool isMeterStep (float value)
{
    return value == 0.0f || value == 0.2f || value == 0.4f || value == 0.6f || value == 0.8f || value == 1.0f;
}

/** How long the threads run together. */
int runMilliseconds()
{
    // Sanitizer builds run the same number of operations more slowly; give them longer.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    return 4000;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
    return 4000;
#else
    return 1500;
#endif
#else
    return 1500;
#endif
}
} // namespace

TEST (ThreadSafety, AudioHostEditorAndMessageThreadsTogether)
{
    auto processor = std::make_unique<QuellorAudioProcessor> (&lateClock);
    auto& p = *processor;

    // 5.1 in and out, so the engine reads all six channels and writes the surround outputs.
    ASSERT_TRUE (p.setBusesLayout (testsupport::mainBuses (6)));
    p.prepareToPlay (48000.0, 512);

    std::atomic<bool> stop{ false };
    std::atomic<int> blocks{ 0 }, automationSteps{ 0 }, editorSteps{ 0 };
    std::atomic<int> nonFiniteBlocks{ 0 }, badMeterReadings{ 0 };

    std::thread audio (
        [&]
        {
            juce::Random random (1);
            juce::AudioBuffer<float> buffer (6, 512);
            juce::MidiBuffer midi;

            while (!stop.load())
            {
                buffer.setSize (6, 1 + random.nextInt (512), false, false, true);
                for (int c = 0; c < 6; ++c)
                    for (int i = 0; i < buffer.getNumSamples(); ++i)
                        buffer.setSample (c, i, 0.5f * (2.0f * random.nextFloat() - 1.0f));

                {
                    const juce::ScopedLock lock (p.getCallbackLock());
                    p.processBlock (buffer, midi);
                }

                for (int c = 0; c < 6; ++c)
                    for (int i = 0; i < buffer.getNumSamples(); ++i)
                        if (!std::isfinite (buffer.getSample (c, i)))
                        {
                            ++nonFiniteBlocks;
                            c = 6;
                            break;
                        }

                ++blocks;
            }
        });

    // Host automation: every parameter through 0, 1 and values in between, bypass included.
    std::thread host (
        [&]
        {
            juce::Random random (2);

            while (!stop.load())
            {
                const int index = random.nextInt (16);
                const int pick = random.nextInt (3);
                p.setParameter (index, pick == 0 ? 0.0f : pick == 1 ? 1.0f : random.nextFloat());
                (void) p.getParameter (random.nextInt (17));
                ++automationSteps;
                std::this_thread::yield();
            }
        });

    // The editor's controls: gestures around value changes sent to the host, and the values and texts
    // read back as the editor's displays do.
    std::thread editorControls (
        [&]
        {
            juce::Random random (3);

            while (!stop.load())
            {
                const int index = random.nextInt (16);
                p.beginParameterChangeGesture (index);
                p.setParameterNotifyingHost (index, random.nextFloat());
                p.endParameterChangeGesture (index);

                for (int i = 0; i <= inputMeterIndex; ++i)
                    (void) p.parameterValue (i);
                (void) p.getParameterText (random.nextInt (16));

                if (!isMeterStep (p.getParameter (inputMeterIndex)))
                    ++badMeterReadings;

                ++editorSteps;
                std::this_thread::yield();
            }
        });

    // The message thread: programs and state, with the real editor refreshing from its timer.
    std::unique_ptr<juce::AudioProcessorEditor> editor (p.createEditor());
    juce::Random random (4);
    int messageSteps = 0;
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) runMilliseconds();

    while (juce::Time::getMillisecondCounter() < end)
    {
        p.setCurrentProgram (random.nextInt (p.getNumPrograms()));
        (void) p.getProgramName (p.getCurrentProgram());

        juce::MemoryBlock state;
        p.getStateInformation (state);
        p.setParameter (random.nextInt (16), random.nextFloat());
        p.setStateInformation (state.getData(), (int) state.getSize());

        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
        ++messageSteps;
    }

    stop = true;
    audio.join();
    host.join();
    editorControls.join();
    editor.reset();

    EXPECT_EQ (nonFiniteBlocks.load(), 0);
    EXPECT_EQ (badMeterReadings.load(), 0);
    EXPECT_TRUE (isMeterStep (p.getParameter (inputMeterIndex)));

    // The threads really ran side by side.
    EXPECT_GT (blocks.load(), 5);
    EXPECT_GT (automationSteps.load(), 5);
    EXPECT_GT (editorSteps.load(), 5);
    EXPECT_GT (messageSteps, 5);
}

// A program change or a state restore is one change for the audio thread: every block (which runs under
// the callback lock, as in the wrappers) sees all of the old values or all of the new ones, never a mix.
TEST (ThreadSafety, BlocksNeverSeeHalfAProgramOrHalfARestoredState)
{
    auto processor = std::make_unique<QuellorAudioProcessor> (&lateClock);
    auto& p = *processor;
    p.prepareToPlay (48000.0, 64);

    // Two programs that differ in most values, and a state that differs from both.
    const auto valuesOf = [&p]
    {
        std::array<float, 16> values{};
        for (int i = 0; i < 16; ++i)
            values[(size_t) i] = p.parameterValue (i);
        return values;
    };
    p.setCurrentProgram (7);
    const auto smallRoom = valuesOf();
    p.setCurrentProgram (6);
    const auto dreamy = valuesOf();
    for (int i = 0; i < 16; ++i)
        p.setParameter (i, 0.3f);
    juce::MemoryBlock edited;
    p.getStateInformation (edited);
    const auto editedValues = valuesOf();

    std::atomic<bool> stop{ false };
    std::atomic<int> blocks{ 0 }, mixedBlocks{ 0 };

    std::thread audio (
        [&]
        {
            juce::AudioBuffer<float> buffer (2, 64);
            juce::MidiBuffer midi;

            while (!stop.load())
            {
                buffer.clear();
                const juce::ScopedLock lock (p.getCallbackLock());
                const auto seen = valuesOf();
                if (seen != smallRoom && seen != dreamy && seen != editedValues)
                    ++mixedBlocks;
                p.processBlock (buffer, midi);
                ++blocks;
            }
        });

    // Between two changes the audio thread runs at least one block, so blocks and changes interleave
    // however the machine schedules the threads (a busy machine may otherwise let this loop take the
    // lock again and again before the audio thread gets it).
    const auto waitForABlock = [&blocks]
    {
        const int before = blocks.load();
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds (5);
        while (blocks.load() == before && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::yield();
    };

    for (int round = 0; round < 300; ++round)
    {
        p.setCurrentProgram (round % 2 == 0 ? 7 : 6);
        waitForABlock();
        p.setStateInformation (edited.getData(), (int) edited.getSize());
        waitForABlock();
    }

    stop = true;
    audio.join();

    EXPECT_EQ (mixedBlocks.load(), 0);
    EXPECT_GE (blocks.load(), 600);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
