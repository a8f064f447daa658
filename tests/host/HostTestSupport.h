#pragma once

#include "FactoryProgramTable.h"
#include "PluginHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

/** The two built binaries the host tests load, as a parameter of the test suites. */
struct BuiltPlugin
{
    hostkit::Format format;

    juce::File location() const
    {
        return juce::File (format == hostkit::Format::vst3 ? TOLVMARK_VST3_PATH : TOLVMARK_LV2_PATH);
    }

    std::unique_ptr<juce::AudioPluginInstance> load (double sampleRate = 44100.0, int blockSize = 512) const
    {
        juce::String error;
        auto instance = hostkit::loadPlugin (format, location(), sampleRate, blockSize, error, lv2Uri());
        EXPECT_NE (instance, nullptr) << error;
        return instance;
    }

    juce::String lv2Uri() const
    {
        return format == hostkit::Format::lv2 ? juce::String (TOLVMARK_LV2_URI) : juce::String();
    }
};

/** What the tests read back from a hosted instance: its parameters and its saved state. */
namespace hosttest
{
/** The plug-in's sixteen parameters as the host lists them, in index order. */
inline std::vector<juce::AudioProcessorParameter*> ownParameters (juce::AudioPluginInstance& plugin)
{
    std::vector<juce::AudioProcessorParameter*> parameters;

    for (const auto* key : testdata::parameterKeys)
    {
        auto* found = hostkit::findParameter (plugin, key);
        EXPECT_NE (found, nullptr) << key;
        parameters.push_back (found);
    }

    return parameters;
}

/** The plug-in's own saved-state block, taken out of the state the host stores for it. */
inline juce::MemoryBlock pluginStateBlock (juce::AudioPluginInstance& plugin, hostkit::Format format)
{
    juce::MemoryBlock hostState;
    plugin.getStateInformation (hostState);

    juce::MemoryBlock component;

    if (format == hostkit::Format::vst3)
    {
        // JUCE's VST3 host keeps the component's state as base64 text inside its own binary XML.
        const auto xml =
            juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize());
        if (xml == nullptr || xml->getChildByName ("IComponent") == nullptr)
            return {};

        component.fromBase64Encoding (xml->getChildByName ("IComponent")->getAllSubText());
    }
    else
    {
        // The LV2 state is Turtle text; the plug-in stores its block as one base64 string property.
        const auto text = hostState.toString();
        const auto start = text.indexOf ("StateString> \"");
        if (start < 0)
            return {};

        const auto valueStart = start + (int) std::strlen ("StateString> \"");
        component.fromBase64Encoding (text.substring (valueStart, text.indexOfChar (valueStart, '"')));
    }

    const unsigned char magic[] = { 0x56, 0x43, 0x32, 0x21 };
    const auto* bytes = static_cast<const unsigned char*> (component.getData());

    for (size_t offset = 0; offset + 9 <= component.getSize(); ++offset)
    {
        if (std::memcmp (bytes + offset, magic, 4) != 0)
            continue;

        const auto length = (size_t) bytes[offset + 4] | ((size_t) bytes[offset + 5] << 8) |
                            ((size_t) bytes[offset + 6] << 16) | ((size_t) bytes[offset + 7] << 24);

        if (offset + 9 + length <= component.getSize())
            return juce::MemoryBlock (bytes + offset, 9 + length);
    }

    return {};
}

/** The attributes of the plug-in's state element (parameter values as stored, and curProgram). */
inline std::map<juce::String, double> pluginValues (juce::AudioPluginInstance& plugin, hostkit::Format format)
{
    const auto block = pluginStateBlock (plugin, format);
    EXPECT_GT (block.getSize(), 9u) << "no plug-in state found in the host's state";

    std::map<juce::String, double> values;

    if (const auto xml = juce::AudioProcessor::getXmlFromBinary (block.getData(), (int) block.getSize()))
    {
        EXPECT_TRUE (xml->hasTagName ("Tolvmark"));

        for (int i = 0; i < xml->getNumAttributes(); ++i)
            values[xml->getAttributeName (i)] = xml->getAttributeValue (i).getDoubleValue();
    }

    return values;
}
} // namespace hosttest

/** Fills every channel with uniform noise in [-gain, gain). */
inline void fillNoise (juce::AudioBuffer<float>& buffer, juce::Random& random, float gain = 0.5f)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (c, i, gain * (2.0f * random.nextFloat() - 1.0f));
}

inline void PrintTo (const BuiltPlugin& plugin, std::ostream* os)
{
    *os << hostkit::formatName (plugin.format);
}

inline std::string formatLabel (const ::testing::TestParamInfo<BuiltPlugin>& info)
{
    return hostkit::formatName (info.param.format).toStdString();
}

#define TOLVMARK_FOR_EACH_BUILT_PLUGIN(suite)                                                                \
    INSTANTIATE_TEST_SUITE_P (                                                                               \
        Binaries, suite,                                                                                     \
        ::testing::Values (BuiltPlugin{ hostkit::Format::vst3 }, BuiltPlugin{ hostkit::Format::lv2 }),       \
        formatLabel)
