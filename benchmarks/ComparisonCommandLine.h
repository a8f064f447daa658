#pragma once

// The command-line settings of the benchmarks that measure the built VST3 beside Dragonfly Hall
// Reverb's LV2, and the reading of the options they have in common.

#include <juce_core/juce_core.h>

#include <string>

/** The settings every comparison benchmark takes; each benchmark's own Options add to them and set
    `seconds` to its own default. */
struct ComparisonOptions
{
    double seconds = 0.0;      // audio per measurement
    bool secondsGiven = false; // --seconds was on the command line (a short run keeps it)
    bool shortRun = false;
    bool referenceOptional = false;
    juce::String vst3Path = TOLVMARK_VST3_PATH;
    juce::String dragonflyBundle = "/usr/lib/lv2/DragonflyHallReverb.lv2";
    juce::String dragonflyUri = "https://github.com/michaelwillis/dragonfly-reverb";
};

enum class OptionRead
{
    taken,   // one of the common options, read into the settings
    invalid, // one of them, with its value missing or out of range
    other    // not one of them: the benchmark's own, or unknown
};

/** Reads `argument` when it is --short, --reference-optional, --seconds S, --vst3 PATH,
    --dragonfly BUNDLE or --dragonfly-uri URI; `nextValue()` gives the argument after it, or nullptr
    when there is none. Main thread; allocates. */
template <typename NextValue>
OptionRead readComparisonOption (const std::string& argument, NextValue&& nextValue,
                                 ComparisonOptions& options)
{
    if (argument == "--short")
        options.shortRun = true;
    else if (argument == "--reference-optional")
        options.referenceOptional = true;
    else if (argument == "--seconds" || argument == "--vst3" || argument == "--dragonfly" ||
             argument == "--dragonfly-uri")
    {
        const char* text = nextValue();
        if (text == nullptr)
            return OptionRead::invalid;
        if (argument == "--seconds")
        {
            options.seconds = juce::String (text).getDoubleValue();
            options.secondsGiven = true;
            if (!(options.seconds > 0.0))
                return OptionRead::invalid;
        }
        else if (argument == "--vst3")
            options.vst3Path = text;
        else if (argument == "--dragonfly")
            options.dragonflyBundle = text;
        else
            options.dragonflyUri = text;
    }
    else
        return OptionRead::other;

    return OptionRead::taken;
}
