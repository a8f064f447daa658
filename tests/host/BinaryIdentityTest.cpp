// The built VST3 and LV2 binaries, loaded through JUCE's plug-in hosting as a host loads them.

#include "HostTestSupport.h"

#include <cmath>

namespace
{
const char* const keys[] = { "predelay",    "decay",       "low",        "high",        "fhighcut2",
                             "fhighcut3",   "fmix",        "bypass",     "use_classic", "leftlevel",
                             "rightlevel",  "centerlevel", "leftslevel", "rightslevel", "surroundswitch",
                             "oversampling" };
} // namespace

class BinaryIdentity : public ::testing::TestWithParam<BuiltPlugin>
{
};

TEST_P (BinaryIdentity, ReportsNameVendorAndEffectCategory)
{
    auto plugin = GetParam().load();
    ASSERT_NE (plugin, nullptr);

    const auto description = plugin->getPluginDescription();
    EXPECT_EQ (description.name, "Tolv_mark");
    EXPECT_EQ (description.manufacturerName, "Corvane Audio");
    EXPECT_FALSE (description.isInstrument);
    EXPECT_FALSE (plugin->acceptsMidi());
    EXPECT_FALSE (plugin->producesMidi());
    EXPECT_TRUE (plugin->hasEditor());
    EXPECT_EQ (plugin->getNumPrograms(), 10);
}

TEST_P (BinaryIdentity, ExposesEverySixteenParameterWithItsKeyAndText)
{
    auto plugin = GetParam().load();
    ASSERT_NE (plugin, nullptr);

    for (const auto* key : keys)
    {
        auto* parameter = hostkit::findParameter (*plugin, key);
        ASSERT_NE (parameter, nullptr) << key;
    }

    // Through VST3 the texts come from the processor; LV2 hosts print control-port values themselves, so
    // there the values must arrive unchanged instead.
    struct TextCase
    {
        const char* key;
        float value;
        const char* text;
    };

    const TextCase cases[] = { { "decay", 0.5f, "2.00 s" },         { "high", 1.0f, "max" },
                               { "fhighcut2", 0.75f, "11.00 kHz" }, { "fmix", 1.0f, "100.00 %" },
                               { "use_classic", 0.0f, "modern" },   { "oversampling", 0.5f, "3 x" },
                               { "leftlevel", 1.0f, "6.00 dB" },    { "bypass", 0.0f, "ON" } };

    for (const auto& c : cases)
    {
        auto* parameter = hostkit::findParameter (*plugin, c.key);
        ASSERT_NE (parameter, nullptr) << c.key;
        parameter->setValue (c.value);

        if (GetParam().format == hostkit::Format::vst3)
        {
            EXPECT_EQ (parameter->getText (parameter->getValue(), 64), c.text) << c.key;
            EXPECT_EQ (parameter->getCurrentValueAsText(), c.text) << c.key;
        }
        else
        {
            EXPECT_FLOAT_EQ (parameter->getValue(), c.value) << c.key;
        }
    }
}

TEST_P (BinaryIdentity, AcceptsTheSupportedLayouts)
{
    auto plugin = GetParam().load();
    ASSERT_NE (plugin, nullptr);

    const auto stereo = juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout stereoLayout;
    stereoLayout.inputBuses.add (stereo);
    stereoLayout.outputBuses.add (stereo);
    EXPECT_TRUE (plugin->checkBusesLayoutSupported (stereoLayout));

    if (GetParam().format == hostkit::Format::vst3)
    {
        // The VST3 wrapper forwards the processor's layout rule.
        struct Case
        {
            juce::AudioChannelSet in, out;
            bool accepted;
        };

        const Case cases[] = {
            { juce::AudioChannelSet::mono(), juce::AudioChannelSet::stereo(), true },
            { juce::AudioChannelSet::stereo(), juce::AudioChannelSet::mono(), false },
            { juce::AudioChannelSet::create5point1(), juce::AudioChannelSet::create7point1point2(), true },
            { juce::AudioChannelSet::create7point1point2(), juce::AudioChannelSet::create7point1point2(),
              true },
            { juce::AudioChannelSet::create7point1(), juce::AudioChannelSet::create7point1(), false },
            { juce::AudioChannelSet::quadraphonic(), juce::AudioChannelSet::quadraphonic(), false },
        };

        for (const auto& c : cases)
        {
            juce::AudioProcessor::BusesLayout layout;
            layout.inputBuses.add (c.in);
            layout.outputBuses.add (c.out);
            EXPECT_EQ (plugin->checkBusesLayoutSupported (layout), c.accepted)
                << c.in.getDescription() << " -> " << c.out.getDescription();
        }
    }
}

TEST_P (BinaryIdentity, ProcessesABlockOfAudioToFiniteOutput)
{
    auto plugin = GetParam().load (48000.0, 256);
    ASSERT_NE (plugin, nullptr);
    plugin->prepareToPlay (48000.0, 256);

    const int channels = juce::jmax (plugin->getTotalNumInputChannels(), plugin->getTotalNumOutputChannels());
    ASSERT_EQ (channels, 2);

    juce::AudioBuffer<float> buffer (channels, 256);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < 256; ++i)
            buffer.setSample (c, i, (float) std::sin (0.05 * i + c));

    juce::MidiBuffer midi;
    for (int block = 0; block < 8; ++block)
        plugin->processBlock (buffer, midi);

    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < 256; ++i)
            ASSERT_TRUE (std::isfinite (buffer.getSample (c, i)));

    plugin->releaseResources();
}

TOLVMARK_FOR_EACH_BUILT_PLUGIN (BinaryIdentity);
