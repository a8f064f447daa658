#include "PluginHost.h"

#if JUCE_LINUX || JUCE_BSD
namespace juce
{
// JUCE's event loop step (juce_events), which runDispatchLoopUntil is built on: dispatches what is
// waiting and, when asked, returns false instead of sleeping when nothing is.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce
#endif

namespace hostkit
{
juce::String formatName (Format format)
{
    return format == Format::vst3 ? "VST3" : "LV2";
}

static std::unique_ptr<juce::AudioPluginFormat> makeFormat (Format format)
{
    if (format == Format::vst3)
        return std::make_unique<juce::VST3PluginFormat>();

    return std::make_unique<juce::LV2PluginFormat>();
}

static std::unique_ptr<juce::PluginDescription> findDescription (juce::AudioPluginFormat& pluginFormat,
                                                                 Format format, const juce::File& location,
                                                                 juce::String& error,
                                                                 const juce::String& lv2Uri)
{
    if (!location.exists())
    {
        error = "no plug-in at " + location.getFullPathName();
        return nullptr;
    }

    juce::StringArray identifiers;

    if (format == Format::vst3)
    {
        identifiers.add (location.getFullPathName());
    }
    else
    {
        // LV2 plug-ins are found by URI once their bundle's folder has been searched.
        const auto uris = pluginFormat.searchPathsForPlugins (
            juce::FileSearchPath (location.getParentDirectory().getFullPathName()), false, false);
        if (lv2Uri.isNotEmpty())
            identifiers.add (lv2Uri);
        else
            identifiers = uris;
    }

    juce::OwnedArray<juce::PluginDescription> found;

    for (const auto& identifier : identifiers)
        pluginFormat.findAllTypesForFile (found, identifier);

    if (found.isEmpty())
    {
        error = "no " + formatName (format) + " plug-in found in " + location.getFullPathName();
        return nullptr;
    }

    return std::make_unique<juce::PluginDescription> (*found.getFirst());
}

std::unique_ptr<juce::PluginDescription> describePlugin (Format format, const juce::File& location,
                                                         juce::String& error, const juce::String& lv2Uri)
{
    auto pluginFormat = makeFormat (format);
    return findDescription (*pluginFormat, format, location, error, lv2Uri);
}

std::unique_ptr<juce::AudioPluginInstance> loadPlugin (Format format, const juce::File& location,
                                                       double sampleRate, int blockSize, juce::String& error,
                                                       const juce::String& lv2Uri)
{
    auto pluginFormat = makeFormat (format);
    auto description = findDescription (*pluginFormat, format, location, error, lv2Uri);

    if (description == nullptr)
        return nullptr;

    juce::String loadError;
    auto instance =
        pluginFormat->createInstanceFromDescription (*description, sampleRate, blockSize, loadError);

    if (instance == nullptr)
        error = "could not instantiate " + description->name + ": " + loadError;

    return instance;
}

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const juce::String& key)
{
    for (auto* parameter : plugin.getParameters())
        if (parameter->getName (64) == key)
            return parameter;

    return nullptr;
}

void deleteEditor (std::unique_ptr<juce::AudioProcessorEditor>& editor)
{
    if (editor == nullptr)
        return;

#if JUCE_LINUX || JUCE_BSD
    for (int i = 0; i < 100000 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
    {
    }
#endif
    editor.reset();
}
} // namespace hostkit
