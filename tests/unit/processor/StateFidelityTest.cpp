// A saved state reopens sounding exactly as the instance it was saved from: a fresh instance, one on a
// factory program and one edited after a program, whether the host prepares the new instance before or
// after it restores the state.

#include "AudioTestSupport.h"
#include "FactoryProgramTable.h"
#include "FakeClock.h"
#include "ProcessorFixture.h"
#include "StateFidelityRender.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;
using testsupport::ProcessorFixture;

namespace
{

/** What is done to the saved instance after its preparation. */
struct Edit
{
    int program = -1; // -1: none
    std::vector<std::pair<int, float>> values{};
};

struct FidelityCase
{
    std::string name;
    double sampleRate; // 0: never prepared
    Edit edit;
    bool restoreBeforePreparing = false;
};

/** An impulse, a pause, then a burst of noise, rendered in stereo blocks of 300 samples (the last one
    shortened to what is left). */
juce::AudioBuffer<float> render (QuellorAudioProcessor& processor, int numSamples)
{
    return testsupport::renderImpulseThenNoise (processor, numSamples, 300, 17,
                                                testsupport::LastBlock::shortened);
}

std::vector<FidelityCase> cases()
{
    const Edit edited{
        6, { { kDecay, 0.9f }, { kHighCut2, 0.4f }, { kPredelay, 0.3f }, { kUseClassic, 0.0f } }
    };

    std::vector<FidelityCase> list{
        { "FreshUnprepared", 0.0, {} },
        { "Fresh44k", 44100.0, {} },
        { "Fresh48kRestoredBeforePreparing", 48000.0, {}, true },
        { "Fresh96k", 96000.0, {} },
        { "Edited48k", 48000.0, edited },
        { "Edited96kRestoredBeforePreparing", 96000.0, edited, true },
    };

    for (int program = 0; program < 10; ++program)
        list.push_back (
            { juce::String (testdata::factoryProgramNames[program]).removeCharacters (" ").toStdString(),
              program % 2 == 0 ? 44100.0 : 48000.0,
              { program } });

    return list;
}

void PrintTo (const FidelityCase& c, std::ostream* os)
{
    *os << c.name;
}

class StateFidelity : public ::testing::TestWithParam<FidelityCase>
{
};
} // namespace

TEST_P (StateFidelity, RestoredStateRendersBitIdenticalToTheSavedInstance)
{
    const auto& c = GetParam();
    const bool prepared = c.sampleRate > 0.0;

    const auto unprepared = ProcessorFixture().clock (testsupport::lateClock);
    auto saved =
        prepared ? ProcessorFixture (unprepared).preparedAt (c.sampleRate, 300).make() : unprepared.make();
    if (c.edit.program >= 0)
        saved->setCurrentProgram (c.edit.program);
    for (const auto& [index, value] : c.edit.values)
        saved->setParameter (index, value);

    juce::MemoryBlock state;
    saved->getStateInformation (state);

    auto restored = unprepared.make();
    if (prepared && !c.restoreBeforePreparing)
        restored->prepareToPlay (c.sampleRate, 300);
    restored->setStateInformation (state.getData(), (int) state.getSize());
    if (prepared && c.restoreBeforePreparing)
        restored->prepareToPlay (c.sampleRate, 300);

    juce::MemoryBlock restoredState;
    restored->getStateInformation (restoredState);
    EXPECT_EQ (restoredState, state);

    const int numSamples = (int) ((prepared ? c.sampleRate : 44100.0) * 0.2);
    EXPECT_TRUE (bitIdentical (render (*saved, numSamples), render (*restored, numSamples)));
}

INSTANTIATE_TEST_SUITE_P (Instances, StateFidelity, ::testing::ValuesIn (cases()),
                          [] (const auto& info) { return info.param.name; });

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
