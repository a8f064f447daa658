// State fidelity of the built VST3 and LV2 binaries, through JUCE's plug-in hosting: a saved state
// reopens in a new instance that renders exactly as the instance it was saved from; a fresh instance
// applies the high cut its text shows; at 48 and 96 kHz a clear keeps the band limit the preparation
// chose.

#include "AudioTestSupport.h"
#include "FactoryProgramTable.h"
#include "HostTestSupport.h"
#include "StateFidelityRender.h"

#include <functional>
#include <string>
#include <vector>

namespace
{
constexpr int blockSize = 256;

juce::AudioProcessorParameter* hostedParameter (juce::AudioPluginInstance& plugin, const juce::String& key)
{
    auto* parameter = hostkit::findParameter (plugin, key);
    if (parameter == nullptr)
        ADD_FAILURE() << "no parameter " << key;

    return parameter;
}

/** Sets a hosted parameter as a host's control does. */
void setHosted (juce::AudioPluginInstance& plugin, const char* key, float value)
{
    if (auto* parameter = hostedParameter (plugin, key))
        parameter->setValueNotifyingHost (value);
}

/** The host's program index of the program named `name`, or -1. */
int hostProgramNamed (juce::AudioPluginInstance& plugin, const juce::String& name)
{
    for (int i = 0; i < plugin.getNumPrograms(); ++i)
        if (plugin.getProgramName (i) == name)
            return i;

    return -1;
}

/** Silent blocks, through which the host delivers what it queued (JUCE's LV2 host passes parameter
    sets with the next block). Instances compared with each other run the same number of them. */
void runSilence (juce::AudioPluginInstance& plugin, int blocks, int numSamples = blockSize)
{
    juce::AudioBuffer<float> buffer (2, numSamples);
    juce::MidiBuffer midi;

    for (int i = 0; i < blocks; ++i)
    {
        buffer.clear();
        plugin.processBlock (buffer, midi);
    }
}

/** The output for an impulse on both inputs, a pause and a burst of noise (0.2 s), in whole blocks as a
    host sends them. */
juce::AudioBuffer<float> render (juce::AudioPluginInstance& plugin, double sampleRate)
{
    return testsupport::renderImpulseThenNoise (plugin, (int) (0.2 * sampleRate), blockSize, 5,
                                                testsupport::LastBlock::paddedWithSilence);
}

/** True when both renderings carry signal and are the same to the bit. */
::testing::AssertionResult sameRendering (const juce::AudioBuffer<float>& a,
                                          const juce::AudioBuffer<float>& b)
{
    if (a.getMagnitude (0, a.getNumSamples()) == 0.0f)
        return ::testing::AssertionFailure() << "the rendering is silent";

    if (!bitIdentical (a, b))
        return ::testing::AssertionFailure() << "the renderings differ";

    return ::testing::AssertionSuccess();
}

/** Loads two instances prepared at the rate; returns false when either fails to load. JUCE's LV2 host
    prepares by building a new instance of the plug-in at the rate and restoring the old one's state
    into it. */
bool loadPair (const BuiltPlugin& built, double sampleRate, std::unique_ptr<juce::AudioPluginInstance>& first,
               std::unique_ptr<juce::AudioPluginInstance>& second)
{
    first = built.load (sampleRate, blockSize);
    if (first != nullptr)
        first->prepareToPlay (sampleRate, blockSize);

    second = built.load (sampleRate, blockSize);
    if (second != nullptr)
        second->prepareToPlay (sampleRate, blockSize);

    return first != nullptr && second != nullptr;
}

/** What is done to the instance whose state is saved. */
struct SavedInstanceCase
{
    std::string name;
    const char* program = nullptr; // selected first, by name
    std::vector<std::pair<const char*, float>> moves{};
};

std::vector<SavedInstanceCase> savedInstanceCases()
{
    std::vector<SavedInstanceCase> cases{ { "Fresh" } };

    for (const auto* program : testdata::factoryProgramNames)
        cases.push_back ({ juce::String (program).removeCharacters (" ").toStdString(), program });

    cases.push_back ({ "ProgramThenSeveralMovesAtOnce",
                       "Female Vocal Hall",
                       { { "decay", 0.3f },
                         { "fhighcut2", 0.2f },
                         { "predelay", 0.6f },
                         { "use_classic", 0.0f },
                         { "oversampling", 0.25f },
                         { "fmix", 0.8f } } });
    return cases;
}

struct RoundTripCase
{
    BuiltPlugin plugin;
    SavedInstanceCase saved;
};

void PrintTo (const RoundTripCase& c, std::ostream* os)
{
    *os << hostkit::formatName (c.plugin.format) << " " << c.saved.name;
}

std::vector<RoundTripCase> roundTripCases()
{
    std::vector<RoundTripCase> cases;
    for (const auto format : { hostkit::Format::vst3, hostkit::Format::lv2 })
        for (const auto& saved : savedInstanceCases())
            cases.push_back ({ { format }, saved });
    return cases;
}
} // namespace

class StateFidelityRoundTrip : public ::testing::TestWithParam<RoundTripCase>
{
};

TEST_P (StateFidelityRoundTrip, ARestoredStateRendersAsTheInstanceItWasSavedFrom)
{
    const auto& c = GetParam().saved;
    const auto loadedAt = juce::Time::getMillisecondCounter();
    std::unique_ptr<juce::AudioPluginInstance> saved, restored;
    ASSERT_TRUE (loadPair (GetParam().plugin, 44100.0, saved, restored));

    if (c.program != nullptr)
    {
        // The plug-in ignores program changes in the first 200 ms of its life.
        const auto elapsed = juce::Time::getMillisecondCounter() - loadedAt;
        if (elapsed < 250)
            juce::Thread::sleep ((int) (250 - elapsed));

        saved->setCurrentProgram (hostProgramNamed (*saved, c.program));
    }
    for (const auto& [key, value] : c.moves)
        setHosted (*saved, key, value);
    runSilence (*saved, 2);

    juce::MemoryBlock state;
    saved->getStateInformation (state);
    restored->setStateInformation (state.getData(), (int) state.getSize());
    runSilence (*restored, 2);

    EXPECT_TRUE (sameRendering (render (*saved, 44100.0), render (*restored, 44100.0)));
}

INSTANTIATE_TEST_SUITE_P (Binaries, StateFidelityRoundTrip, ::testing::ValuesIn (roundTripCases()),
                          [] (const auto& info) {
                              return hostkit::formatName (info.param.plugin.format).toStdString() + "_" +
                                     info.param.saved.name;
                          });

class StateFidelityHost : public ::testing::TestWithParam<BuiltPlugin>
{
};

TEST_P (StateFidelityHost, AFreshInstanceAppliesTheHighCutItsTextShows)
{
    std::unique_ptr<juce::AudioPluginInstance> fresh, moved;
    ASSERT_TRUE (loadPair (GetParam(), 44100.0, fresh, moved));

    // The frequency the fresh instance shows, and the value that shows it (5 to 13 kHz over 0..1).
    // JUCE's LV2 host formats values itself, so only the VST3 host shows the plug-in's text.
    auto* highCut = hostedParameter (*fresh, "fhighcut2");
    ASSERT_NE (highCut, nullptr);
    float shownValue = 0.75f;

    if (GetParam().format == hostkit::Format::vst3)
    {
        const auto text = highCut->getCurrentValueAsText();
        ASSERT_TRUE (text.endsWith (" kHz")) << text;
        EXPECT_EQ (text, "11.00 kHz");
        shownValue = (text.getFloatValue() - 5.0f) / 8.0f;
    }

    // The other instance's high cut is moved away and set to that value: both must sound alike.
    setHosted (*moved, "fhighcut2", 0.0f);
    runSilence (*moved, 1);
    setHosted (*moved, "fhighcut2", shownValue);
    runSilence (*moved, 1);
    runSilence (*fresh, 2);

    EXPECT_TRUE (sameRendering (render (*fresh, 44100.0), render (*moved, 44100.0)));
}

TEST_P (StateFidelityHost, AtFortyEightAndNinetySixKilohertzAClearKeepsTheBandLimit)
{
    for (const double rate : { 48000.0, 96000.0 })
    {
        SCOPED_TRACE (std::to_string ((int) rate) + " Hz");
        std::unique_ptr<juce::AudioPluginInstance> untouched, roundTrips;
        ASSERT_TRUE (loadPair (GetParam(), rate, untouched, roundTrips));

        // Both parameters clear the network when they change; each goes away from its initial value 0
        // and comes back. The host delivers each move with an empty block, so that the modulators, which
        // the density factor slows, move on alike in both instances.
        for (const auto* key : { "predelay", "oversampling" })
        {
            setHosted (*roundTrips, key, 0.5f);
            runSilence (*roundTrips, 1, 0);
            setHosted (*roundTrips, key, 0.0f);
            runSilence (*roundTrips, 1, 0);
        }

        EXPECT_TRUE (sameRendering (render (*untouched, rate), render (*roundTrips, rate)));
    }
}

TOLVMARK_FOR_EACH_BUILT_PLUGIN (StateFidelityHost);
