#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** Loading the built plug-in binaries through JUCE's own plug-in hosting, as a host would.

    Used by the render tool, the binary tests and the host benchmark. Message thread only.
*/
namespace hostkit
{
/** Which built binary to load. */
enum class Format
{
    vst3,
    lv2
};

/** Human-readable name of a format ("VST3", "LV2"). */
juce::String formatName (Format format);

/** Loads one plug-in binary.

    For VST3, `location` is the .vst3 bundle; for LV2 it is the .lv2 bundle directory (the plug-in is
    looked up by the URI the bundle declares, or by `lv2Uri` when given).
    Returns nullptr and fills `error` when loading fails. Allocates.
*/
std::unique_ptr<juce::AudioPluginInstance> loadPlugin (Format format, const juce::File& location,
                                                       double sampleRate, int blockSize, juce::String& error,
                                                       const juce::String& lv2Uri = {});

/** Deletes a hosted plug-in's editor as a host closes it, after running every message and window event
    already waiting. JUCE's embedding of a plug-in's view on Linux (XEmbedComponent) answers some window
    events by posting a callback that holds a plain pointer to itself; one still waiting when the editor
    goes would run on freed memory. Message thread only. */
void deleteEditor (std::unique_ptr<juce::AudioProcessorEditor>& editor);

/** The hosted parameter whose name, as the hosting reports it (up to 64 characters), is `key`: the
    plug-in names its parameters by their keys ("decay", "fmix"...). Returns the first match, or nullptr
    when there is none; the caller decides whether a missing key is a failure. Message thread;
    allocates (the names it compares). */
juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& plugin, const juce::String& key);

/** Finds the description of the plug-in in a binary without instantiating it. */
std::unique_ptr<juce::PluginDescription> describePlugin (Format format, const juce::File& location,
                                                         juce::String& error,
                                                         const juce::String& lv2Uri = {});
} // namespace hostkit
