// Conformance and stress checks of the built VST3 and LV2 binaries, driven the way hosts drive them:
// repeated and side-by-side instances, every sample rate and block size a host may choose, every bus
// layout the format accepts, parameters, programs and state changing while audio runs, the editor opened
// and closed during playback, and bypass.

#include "AudioTestSupport.h"
#include "HostTestSupport.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
/** -100 dBFS. */
constexpr float silenceThreshold = 1.0e-5f;

/** The largest block any test hands the plug-in. */
constexpr int maxBlockSize = 8192;

juce::AudioProcessor::BusesLayout makeLayout (const juce::AudioChannelSet& in,
                                              const juce::AudioChannelSet& out)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (in);
    layout.outputBuses.add (out);
    return layout;
}

/** Every (input, output) pair of main buses the plug-in accepts. */
std::vector<juce::AudioProcessor::BusesLayout> acceptedLayouts()
{
    const juce::AudioChannelSet sets[] = { juce::AudioChannelSet::mono(), juce::AudioChannelSet::stereo(),
                                           juce::AudioChannelSet::create5point1(),
                                           juce::AudioChannelSet::create7point1point2() };
    std::vector<juce::AudioProcessor::BusesLayout> layouts;

    for (const auto& in : sets)
        for (const auto& out : sets)
            if (in.size() <= out.size())
                layouts.push_back (makeLayout (in, out));

    return layouts;
}

juce::String describe (const juce::AudioProcessor::BusesLayout& layout)
{
    return layout.getMainInputChannelSet().getDescription() + " -> " +
           layout.getMainOutputChannelSet().getDescription();
}

/** The layouts a format lets a host choose: VST3 negotiates every accepted pair, LV2 has its fixed ports. */
std::vector<juce::AudioProcessor::BusesLayout> layoutsFor (const BuiltPlugin& built,
                                                           juce::AudioPluginInstance& plugin)
{
    if (built.format == hostkit::Format::vst3)
        return acceptedLayouts();

    return { plugin.getBusesLayout() };
}

/** The plug-in's sixteen own parameters, in index order (host-added parameters left out). */
std::vector<juce::AudioProcessorParameter*> ownParameters (juce::AudioPluginInstance& plugin)
{
    static const char* const keys[] = { "predelay",    "decay",       "low",
                                        "high",        "fhighcut2",   "fhighcut3",
                                        "fmix",        "bypass",      "use_classic",
                                        "leftlevel",   "rightlevel",  "centerlevel",
                                        "leftslevel",  "rightslevel", "surroundswitch",
                                        "oversampling" };
    std::vector<juce::AudioProcessorParameter*> parameters;

    for (const auto* key : keys)
    {
        auto* parameter = hostkit::findParameter (plugin, key);
        EXPECT_NE (parameter, nullptr) << key;
        if (parameter != nullptr)
            parameters.push_back (parameter);
    }

    return parameters;
}

/** Index of the first non-finite sample, or -1. */
int firstNonFinite (const juce::AudioBuffer<float>& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (!std::isfinite (buffer.getSample (c, i)))
                return c * buffer.getNumSamples() + i;

    return -1;
}

float peakOf (const juce::AudioBuffer<float>& buffer)
{
    float peak = 0.0f;
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        peak = juce::jmax (peak, buffer.getMagnitude (c, 0, buffer.getNumSamples()));
    return peak;
}

/** One hosted instance with its current layout and sample rate. */
struct Rig
{
    std::unique_ptr<juce::AudioPluginInstance> plugin;
    juce::MidiBuffer midi;

    explicit Rig (const BuiltPlugin& built, double sampleRate = 48000.0)
        : plugin (built.load (sampleRate, maxBlockSize))
    {
    }

    int channels() const
    {
        return juce::jmax (plugin->getTotalNumInputChannels(), plugin->getTotalNumOutputChannels());
    }

    /** Stops processing, applies the layout (when given) and prepares for the rate. */
    bool prepare (double sampleRate, const juce::AudioProcessor::BusesLayout* layout = nullptr)
    {
        plugin->releaseResources();

        if (layout != nullptr && !plugin->setBusesLayout (*layout))
            return false;

        plugin->setRateAndBufferSizeDetails (sampleRate, maxBlockSize);
        plugin->prepareToPlay (sampleRate, maxBlockSize);
        return true;
    }

    /** Processes `buffer` in place; false (with a failure recorded) when an output sample is not finite. */
    bool process (juce::AudioBuffer<float>& buffer)
    {
        plugin->processBlock (buffer, midi);
        const int bad = firstNonFinite (buffer);
        EXPECT_EQ (bad, -1) << "non-finite output at channel "
                            << bad / juce::jmax (1, buffer.getNumSamples());
        return bad == -1;
    }

    /** Runs `seconds` of noise (or silence) in blocks of `blockSize` (random sizes up to it when negative).
     */
    bool run (double seconds, double sampleRate, int blockSize, juce::Random& random, float gain = 0.5f)
    {
        auto remaining = (juce::int64) (seconds * sampleRate);
        juce::AudioBuffer<float> buffer (channels(), maxBlockSize);

        while (remaining > 0)
        {
            const int size = (int) juce::jmin<juce::int64> (
                remaining, blockSize > 0 ? blockSize : 1 + random.nextInt (-blockSize));
            buffer.setSize (channels(), size, false, false, true);

            if (gain > 0.0f)
                fillNoise (buffer, random, gain);
            else
                buffer.clear();

            if (!process (buffer))
                return false;

            remaining -= size;
        }

        return true;
    }

    /** Sets every own parameter to a value in 0..1 (0, 1 or random), bypass excepted. */
    void randomiseParameters (juce::Random& random)
    {
        for (auto* parameter : ownParameters (*plugin))
        {
            if (parameter->getName (64) == "bypass")
                continue;

            const int pick = random.nextInt (3);
            parameter->setValue (pick == 0 ? 0.0f : pick == 1 ? 1.0f : random.nextFloat());
        }
    }

    void setParameter (const char* key, float value)
    {
        auto* parameter = hostkit::findParameter (*plugin, key);
        ASSERT_NE (parameter, nullptr) << key;
        parameter->setValue (value);
    }
};

/** Runs the message loop for a while, so that editors, timers and hosted-format callbacks get served. */
void pumpMessages (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

bool haveDisplay()
{
    const char* display = std::getenv ("DISPLAY");
    return display != nullptr && *display != 0;
}
} // namespace

class Conformance : public ::testing::TestWithParam<BuiltPlugin>
{
};

TEST_P (Conformance, InstancesComeAndGoRepeatedlyAndSideBySide)
{
    juce::Random random (1);

    for (int round = 0; round < 4; ++round)
    {
        Rig rig (GetParam());
        ASSERT_NE (rig.plugin, nullptr);
        ASSERT_TRUE (rig.prepare (44100.0 + 4000.0 * round));
        ASSERT_TRUE (rig.run (0.05, 44100.0, 512, random));
    }

    // Several instances alive at once, each with its own settings, processed in turn as a host's
    // graph does: they must not share any state.
    std::vector<std::unique_ptr<Rig>> rigs;
    for (int n = 0; n < 4; ++n)
    {
        rigs.push_back (std::make_unique<Rig> (GetParam()));
        ASSERT_NE (rigs.back()->plugin, nullptr);
        ASSERT_TRUE (rigs.back()->prepare (48000.0));
        rigs.back()->randomiseParameters (random);
    }

    for (int block = 0; block < 40; ++block)
        for (auto& rig : rigs)
            ASSERT_TRUE (rig->run (512.0 / 48000.0, 48000.0, 512, random));

    // Two instances with the same settings given the same input produce the same output, whatever the
    // others did meanwhile.
    for (int n = 0; n < 2; ++n)
    {
        ASSERT_TRUE (rigs[(size_t) n]->prepare (48000.0));
        for (auto* parameter : ownParameters (*rigs[(size_t) n]->plugin))
            parameter->setValue (parameter->getName (64) == "bypass" ? 0.0f : parameter->getDefaultValue());
        rigs[(size_t) n]->setParameter ("predelay", 0.1f); // clears the network
    }

    juce::AudioBuffer<float> first (rigs[0]->channels(), 256), second;
    juce::Random input (7);
    for (int block = 0; block < 20; ++block)
    {
        fillNoise (first, input);
        second.makeCopyOf (first);
        ASSERT_TRUE (rigs[0]->process (first));
        ASSERT_TRUE (rigs[2]->run (256.0 / 48000.0, 48000.0, 256, random));
        ASSERT_TRUE (rigs[1]->process (second));
        ASSERT_TRUE (bitIdentical (first, second)) << "block " << block;
    }
}

TEST_P (Conformance, EverySampleRateAndBlockSizeGivesFiniteOutput)
{
    Rig rig (GetParam());
    ASSERT_NE (rig.plugin, nullptr);
    juce::Random random (2);

    const double rates[] = { 8000.0,  22050.0, 32000.0,  44100.0,  48000.0,
                             88200.0, 96000.0, 176400.0, 192000.0, 384000.0 };
    const int blockSizes[] = { 1, 2, 17, 64, 512, 4096, 8192, -maxBlockSize, -64 };

    for (const auto rate : rates)
    {
        ASSERT_TRUE (rig.prepare (rate));
        rig.randomiseParameters (random);

        for (const auto blockSize : blockSizes)
        {
            // At least two blocks of every size, and a few hundred samples of the smallest ones.
            const double seconds = juce::jmax (2.0 * std::abs (blockSize), 400.0) / rate;
            ASSERT_TRUE (rig.run (seconds, rate, blockSize, random)) << rate << " Hz, block " << blockSize;
        }
    }
}

TEST_P (Conformance, EveryLayoutProcessesAndSwitchesBetweenRuns)
{
    Rig rig (GetParam());
    ASSERT_NE (rig.plugin, nullptr);
    juce::Random random (3);

    auto layouts = layoutsFor (GetParam(), *rig.plugin);
    ASSERT_FALSE (layouts.empty());

    // Every layout twice, in a shuffled order, so that each one follows a different one.
    std::vector<juce::AudioProcessor::BusesLayout> order (layouts);
    order.insert (order.end(), layouts.begin(), layouts.end());
    for (size_t i = order.size() - 1; i > 0; --i)
        std::swap (order[i], order[(size_t) random.nextInt ((int) i + 1)]);

    for (const auto& layout : order)
    {
        ASSERT_TRUE (rig.prepare (48000.0, &layout)) << describe (layout);
        ASSERT_EQ (rig.plugin->getTotalNumInputChannels(), layout.getMainInputChannelSet().size());
        ASSERT_EQ (rig.plugin->getTotalNumOutputChannels(), layout.getMainOutputChannelSet().size());

        rig.randomiseParameters (random);
        rig.setParameter ("fmix", 1.0f);
        ASSERT_TRUE (rig.run (0.1, 48000.0, -1024, random)) << describe (layout);

        // The top and rear channels of a 7.1.2 output carry nothing.
        juce::AudioBuffer<float> buffer (rig.channels(), 512);
        fillNoise (buffer, random);
        ASSERT_TRUE (rig.process (buffer));
        if (layout.getMainOutputChannelSet().size() == 10)
        {
            for (int c = 6; c < 10; ++c)
                EXPECT_EQ (buffer.getMagnitude (c, 0, 512), 0.0f) << describe (layout) << ", channel " << c;
        }
    }
}

TEST_P (Conformance, SilenceAfterTheTailHasDiedAwayIsBelowMinus100dB)
{
    Rig rig (GetParam());
    ASSERT_NE (rig.plugin, nullptr);
    juce::Random random (4);

    auto layouts = layoutsFor (GetParam(), *rig.plugin);
    const auto& widest = layouts.back();

    // The longest decay in both voicings, at the densest setting, all outputs at full level. With the
    // low multiplier at 1 x the announced 10 s tail is enough; at 2 x the low end rings twice as long
    // (up to 9 s to fall by 60 dB), so it gets 30 s.
    struct Case
    {
        float classic, low;
        double seconds;
    };

    for (const auto& c : { Case{ 1.0f, 0.5f, 10.0 }, Case{ 0.0f, 0.5f, 10.0 }, Case{ 1.0f, 1.0f, 30.0 },
                           Case{ 0.0f, 1.0f, 30.0 } })
    {
        ASSERT_TRUE (rig.prepare (48000.0, GetParam().format == hostkit::Format::vst3 ? &widest : nullptr));
        for (auto* parameter : ownParameters (*rig.plugin))
            parameter->setValue (parameter->getName (64) == "bypass" ? 0.0f : 1.0f);
        rig.setParameter ("use_classic", c.classic);
        rig.setParameter ("low", c.low);
        rig.setParameter ("fmix", 0.5f);

        ASSERT_TRUE (rig.run (1.0, 48000.0, 512, random, 0.9f));
        ASSERT_TRUE (rig.run (c.seconds, 48000.0, 4096, random, 0.0f));

        juce::AudioBuffer<float> buffer (rig.channels(), 4800);
        buffer.clear();
        ASSERT_TRUE (rig.process (buffer));
        EXPECT_LT (peakOf (buffer), silenceThreshold)
            << (c.classic != 0.0f ? "classic" : "modern") << ", low " << c.low << ": "
            << juce::Decibels::gainToDecibels (peakOf (buffer)) << " dBFS";
    }
}

TEST_P (Conformance, BypassIsBitIdenticalInEveryLayout)
{
    Rig rig (GetParam());
    ASSERT_NE (rig.plugin, nullptr);
    juce::Random random (5);

    for (const auto& layout : layoutsFor (GetParam(), *rig.plugin))
    {
        // Equal input and output sets only: with more outputs than inputs the host's extra channels are
        // not the plug-in's input.
        if (layout.getMainInputChannelSet() != layout.getMainOutputChannelSet())
            continue;

        ASSERT_TRUE (rig.prepare (44100.0, GetParam().format == hostkit::Format::vst3 ? &layout : nullptr));
        rig.randomiseParameters (random);
        ASSERT_TRUE (rig.run (0.2, 44100.0, 512, random)); // a tail is running

        // The plug-in's own bypass switch (applied with the first bypassed block, as hosts deliver it).
        rig.setParameter ("bypass", 1.0f);
        juce::AudioBuffer<float> warmUp (rig.channels(), 64);
        fillNoise (warmUp, random);
        ASSERT_TRUE (rig.process (warmUp));

        for (int block = 0; block < 20; ++block)
        {
            juce::AudioBuffer<float> buffer (rig.channels(), 1 + random.nextInt (1024)), original;
            fillNoise (buffer, random);
            original.makeCopyOf (buffer);
            ASSERT_TRUE (rig.process (buffer));
            ASSERT_TRUE (bitIdentical (buffer, original)) << describe (layout) << ", block " << block;
        }

        // Off again: the reverb is back.
        rig.setParameter ("bypass", 0.0f);
        rig.setParameter ("fmix", 1.0f);
        ASSERT_TRUE (rig.run (0.05, 44100.0, 512, random));
        juce::AudioBuffer<float> buffer (rig.channels(), 512), original;
        fillNoise (buffer, random);
        original.makeCopyOf (buffer);
        ASSERT_TRUE (rig.process (buffer));
        EXPECT_FALSE (bitIdentical (buffer, original)) << describe (layout);

        // The host's own bypass (VST3 hosts switch the plug-in's bypass parameter for it).
        if (GetParam().format == hostkit::Format::vst3)
        {
            juce::AudioBuffer<float> first (rig.channels(), 512);
            fillNoise (first, random);
            rig.plugin->processBlockBypassed (first, rig.midi); // the switch takes effect with this block

            for (int block = 0; block < 10; ++block)
            {
                juce::AudioBuffer<float> bypassed (rig.channels(), 512), copy;
                fillNoise (bypassed, random);
                copy.makeCopyOf (bypassed);
                rig.plugin->processBlockBypassed (bypassed, rig.midi);
                ASSERT_TRUE (bitIdentical (bypassed, copy))
                    << describe (layout) << ", host bypass block " << block;
            }
        }
    }
}

TEST_P (Conformance, StateRestoresEveryParameter)
{
    // Through JUCE's LV2 hosting the host-side port values do not follow a restored state (the plug-in
    // cannot write the host's control ports), so the values are read back through VST3 only.
    if (GetParam().format == hostkit::Format::lv2)
        GTEST_SKIP() << "LV2 control ports belong to the host";

    Rig rig (GetParam());
    ASSERT_NE (rig.plugin, nullptr);
    ASSERT_TRUE (rig.prepare (48000.0));
    juce::Random random (6);

    for (int round = 0; round < 5; ++round)
    {
        const auto parameters = ownParameters (*rig.plugin);
        ASSERT_EQ (parameters.size(), 16u);

        // Switches get exact 0 or 1 (what they store), the others any value.
        for (auto* parameter : parameters)
        {
            const auto name = parameter->getName (64);
            const bool isSwitch = name == "bypass" || name == "use_classic" || name == "surroundswitch";
            parameter->setValue (isSwitch || random.nextInt (4) == 0 ? (float) random.nextInt (2)
                                                                     : random.nextFloat());
        }
        ASSERT_TRUE (rig.run (0.02, 48000.0, 256, random));

        std::vector<float> saved;
        for (auto* parameter : parameters)
            saved.push_back (parameter->getValue());

        juce::MemoryBlock state;
        rig.plugin->getStateInformation (state);
        ASSERT_GT (state.getSize(), 0u);

        for (auto* parameter : parameters)
            parameter->setValue (random.nextFloat());
        ASSERT_TRUE (rig.run (0.02, 48000.0, 256, random));

        rig.plugin->setStateInformation (state.getData(), (int) state.getSize());
        ASSERT_TRUE (rig.run (0.02, 48000.0, 256, random));
        pumpMessages (20);

        for (size_t n = 0; n < parameters.size(); ++n)
            EXPECT_FLOAT_EQ (parameters[n]->getValue(), saved[n])
                << parameters[n]->getName (64) << ", round " << round;
    }
}

/** The host's audio thread processes blocks of varying size without pause, while the message thread
    does what users and hosts do meanwhile: automation, program changes, state saves and restores, and
    (with `withEditor`, under a display) opening and closing the editor. */
static void sweepWhileAudioRuns (const BuiltPlugin& built, bool withEditor)
{
    Rig rig (built);
    ASSERT_NE (rig.plugin, nullptr);

    auto layouts = layoutsFor (built, *rig.plugin);
    juce::Random random (8);

    for (const auto* layout : { &layouts.front(), &layouts.back() })
    {
        ASSERT_TRUE (rig.prepare (48000.0, built.format == hostkit::Format::vst3 ? layout : nullptr));
        const auto parameters = ownParameters (*rig.plugin);
        ASSERT_EQ (parameters.size(), 16u);

        std::atomic<bool> stop{ false };
        std::atomic<int> nonFiniteBlocks{ 0 }, blocks{ 0 };
        const int channels = rig.channels();

        // LV2 puts a plug-in's state save and restore (also behind a preset, the LV2 form of a program
        // change) in its instantiation threading class: a host must never run them during run(). An LV2
        // host therefore serialises them with the audio; a VST3 host need not, and the VST3 runs keep
        // them fully concurrent.
        std::mutex instantiationClass;
        const bool serialiseStateWithAudio = built.format == hostkit::Format::lv2;
        const auto instantiationCall = [&] (auto&& call)
        {
            if (serialiseStateWithAudio)
            {
                const std::lock_guard<std::mutex> lock (instantiationClass);
                call();
            }
            else
            {
                call();
            }
        };

        std::thread audio (
            [&]
            {
                juce::Random audioRandom (9);
                juce::AudioBuffer<float> buffer (channels, maxBlockSize);
                juce::MidiBuffer midi;

                while (!stop.load())
                {
                    buffer.setSize (channels, 1 + audioRandom.nextInt (1024), false, false, true);
                    fillNoise (buffer, audioRandom, 0.3f);
                    {
                        std::unique_lock<std::mutex> lock (instantiationClass, std::defer_lock);
                        if (serialiseStateWithAudio)
                            lock.lock();
                        rig.plugin->processBlock (buffer, midi);
                    }
                    if (firstNonFinite (buffer) != -1)
                        ++nonFiniteBlocks;
                    ++blocks;
                }
            });

        const auto end = juce::Time::getMillisecondCounter() + 2500;
        int step = 0;

        while (juce::Time::getMillisecondCounter() < end)
        {
            ++step;

            // Every parameter through 0, 1 and random values (bypass included).
            for (auto* parameter : parameters)
            {
                const int pick = random.nextInt (3);
                parameter->setValueNotifyingHost (pick == 0 ? 0.0f : pick == 1 ? 1.0f : random.nextFloat());
            }

            if (step % 3 == 0)
                instantiationCall (
                    [&] { rig.plugin->setCurrentProgram (random.nextInt (rig.plugin->getNumPrograms())); });

            if (step % 5 == 0)
            {
                juce::MemoryBlock state;
                instantiationCall ([&] { rig.plugin->getStateInformation (state); });
                parameters[(size_t) random.nextInt (16)]->setValueNotifyingHost (random.nextFloat());
                instantiationCall (
                    [&] { rig.plugin->setStateInformation (state.getData(), (int) state.getSize()); });
            }

            if (withEditor && step % 20 == 0 && haveDisplay())
            {
                std::unique_ptr<juce::AudioProcessorEditor> editor (rig.plugin->createEditorIfNeeded());
                if (editor != nullptr)
                {
                    editor->addToDesktop (juce::ComponentPeer::windowIsTemporary);
                    editor->setVisible (true);
                    pumpMessages (120);
                    EXPECT_TRUE (editor->isShowing()) << describe (*layout);
                }
                // Deleted while its window still exists, as hosts close plug-in windows: the plug-in
                // takes its view down (VST3 IPlugView::removed(), LV2 cleanup) and only then does the
                // host window go. Destroying the host window first takes the plug-in's embedded X
                // window with it, and the plug-in's own teardown then fails on it with BadWindow.
                hostkit::deleteEditor (editor);
            }

            pumpMessages (5);
        }

        stop = true;
        audio.join();

        EXPECT_EQ (nonFiniteBlocks.load(), 0) << describe (*layout);
        EXPECT_GT (blocks.load(), 10) << describe (*layout);
    }
}

TEST_P (Conformance, SweepsProgramsAndStateWhileAudioRuns)
{
    sweepWhileAudioRuns (GetParam(), false);
}

// Needs a display (scripts/test.sh runs the tests under Xvfb; on a bare X server the test main creates the
// window-manager atoms JUCE needs first).
TEST_P (Conformance, EditorOpensAndClosesWhileAudioRuns)
{
    ASSERT_TRUE (haveDisplay()) << "no X display: run under xvfb-run";
    sweepWhileAudioRuns (GetParam(), true);
}

TOLVMARK_FOR_EACH_BUILT_PLUGIN (Conformance);
