#pragma once

#include "PluginHost.h"

#include <gtest/gtest.h>

#include <memory>

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
