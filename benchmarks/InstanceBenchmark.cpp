// tolvmark_instance_benchmark: what one more instance of the built plug-in costs a host, through JUCE's
// plug-in hosting, side by side with Dragonfly Hall Reverb's LV2 (Debian's dragonfly-reverb-lv2):
// the time to create it, the time to prepare it, and the resident memory it adds once it has
// processed some seconds of audio (Tolv_mark with program "Standard", Dragonfly at its defaults).
//
//   tolvmark_instance_benchmark [--short] [--seconds S] [--vst3 PATH] [--dragonfly BUNDLE]
//                               [--dragonfly-uri URI] [--reference-optional]
//
// Every configuration (plug-in, sample rate 48 or 192 kHz, 1 or 16 instances) runs in a fresh process of
// this program, so memory that an earlier configuration freed cannot hide what the next one takes. In
// that process the plug-in is found as a host's scan finds it and one instance is created first and kept
// (the binary's first load, not counted); then the instances are created from the description, as a
// host adds one to a session, and prepared one after the other, each processes S seconds of noise (10 by
// default) in blocks of 512, and the resident memory (VmRSS) is read before and after. Creation and
// preparation show the median over the instances; memory is the growth divided by the instance count.
//
// Exit code 0 when every configuration ran (Dragonfly may be missing with --reference-optional), 1
// otherwise. No figure is enforced here: they depend on the machine.

#include "ComparisonCommandLine.h"
#include "FactoryProgramTable.h"
#include "PluginHost.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int blockSize = 512;

struct Options : ComparisonOptions
{
    Options() { seconds = 10.0; }
};

/** Resident memory of this process in bytes (VmRSS of /proc/self/status), or -1. */
double residentBytes()
{
    std::ifstream status ("/proc/self/status");
    std::string line;
    while (std::getline (status, line))
        if (line.rfind ("VmRSS:", 0) == 0)
            return 1024.0 * std::stod (line.substr (6));
    return -1.0;
}

double millisecondsSince (std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli> (std::chrono::steady_clock::now() - start).count();
}

double median (std::vector<double> values)
{
    if (values.empty())
        return std::nan ("");
    std::sort (values.begin(), values.end());
    const auto middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : 0.5 * (values[middle - 1] + values[middle]);
}

/** One plug-in binary as a host knows it after its scan: the format and the plug-in's description, so
    that creating an instance is what a host does when a session adds one. */
struct KnownPlugin
{
    std::unique_ptr<juce::AudioPluginFormat> format;
    juce::PluginDescription description;

    bool find (const Options& options, bool tolvmark, juce::String& error)
    {
        juce::OwnedArray<juce::PluginDescription> found;
        if (tolvmark)
        {
            format = std::make_unique<juce::VST3PluginFormat>();
            format->findAllTypesForFile (found, options.vst3Path);
        }
        else
        {
            // LV2 plug-ins are found by URI once their bundle's folder has been searched.
            format = std::make_unique<juce::LV2PluginFormat>();
            format->searchPathsForPlugins (
                juce::FileSearchPath (
                    juce::File (options.dragonflyBundle).getParentDirectory().getFullPathName()),
                false, false);
            format->findAllTypesForFile (found, options.dragonflyUri);
        }
        if (found.isEmpty())
        {
            error = "plug-in not found";
            return false;
        }
        description = *found.getFirst();
        return true;
    }

    std::unique_ptr<juce::AudioPluginInstance> create (double rate, juce::String& error)
    {
        return format->createInstanceFromDescription (description, rate, blockSize, error);
    }
};

/** Sets Tolv_mark's program "Standard" through its hosted parameters. */
bool applyStandard (juce::AudioPluginInstance& plugin)
{
    for (int index = 0; index < 16; ++index)
    {
        auto* found = hostkit::findParameter (plugin, testdata::parameterKeys[index]);
        if (found == nullptr)
            return false;
        found->setValue (testdata::factoryPrograms[0][index]);
    }
    return true;
}

/** One configuration, in this process: prints one RESULT line. */
int measureOne (const Options& options, bool tolvmark, double rate, int count)
{
    juce::String error;

    // The scan and the binary's first load, kept so that it stays loaded; not counted.
    KnownPlugin plugin;
    if (!plugin.find (options, tolvmark, error))
    {
        std::printf ("ERROR %s\n", error.toRawUTF8());
        return 1;
    }
    auto first = plugin.create (rate, error);
    if (first == nullptr)
    {
        std::printf ("ERROR %s\n", error.toRawUTF8());
        return 1;
    }

    const double residentBefore = residentBytes();
    std::vector<std::unique_ptr<juce::AudioPluginInstance>> instances;
    std::vector<double> createMs, prepareMs;
    for (int i = 0; i < count; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        auto instance = plugin.create (rate, error);
        createMs.push_back (millisecondsSince (start));
        if (instance == nullptr)
        {
            std::printf ("ERROR %s\n", error.toRawUTF8());
            return 1;
        }

        const auto prepareStart = std::chrono::steady_clock::now();
        instance->prepareToPlay (rate, blockSize);
        prepareMs.push_back (millisecondsSince (prepareStart));

        if (tolvmark && !applyStandard (*instance))
        {
            std::printf ("ERROR no hosted parameters\n");
            return 1;
        }
        instances.push_back (std::move (instance));
    }

    // Each instance processes the seconds of noise, as tracks of a session would.
    bool finite = true;
    for (auto& instance : instances)
    {
        const int channels =
            std::max (instance->getTotalNumInputChannels(), instance->getTotalNumOutputChannels());
        juce::AudioBuffer<float> buffer (channels, blockSize);
        juce::MidiBuffer midi;
        juce::Random random (7);
        const int blocks = (int) std::lround (options.seconds * rate / blockSize);
        for (int b = 0; b < blocks; ++b)
        {
            for (int c = 0; c < channels; ++c)
                for (int k = 0; k < blockSize; ++k)
                    buffer.setSample (c, k,
                                      c < instance->getTotalNumInputChannels()
                                          ? 0.5f * (2.0f * random.nextFloat() - 1.0f)
                                          : 0.0f);
            instance->processBlock (buffer, midi);
        }
        for (int c = 0; c < channels; ++c)
            for (int k = 0; k < blockSize; ++k)
                finite = finite && std::isfinite (buffer.getSample (c, k));
    }

    const double residentAfter = residentBytes();
    std::printf ("RESULT %.4f %.4f %.4f %.4f %d\n", median (createMs), median (prepareMs),
                 (residentAfter - residentBefore) / count / (1024.0 * 1024.0),
                 (residentAfter - residentBefore) / (1024.0 * 1024.0), finite ? 1 : 0);
    instances.clear();
    return 0;
}

struct Row
{
    bool ran = false;
    double createMs = 0, prepareMs = 0, perInstanceMb = 0, totalMb = 0;
    juce::String error;
};

/** Runs one configuration in a fresh process of this program. */
Row runChild (const Options& options, bool tolvmark, double rate, int count)
{
    juce::StringArray command{
        juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName(),
        "--measure",
        tolvmark ? "tolvmark" : "dragonfly",
        juce::String (rate),
        juce::String (count),
        "--seconds",
        juce::String (options.seconds),
        "--vst3",
        options.vst3Path,
        "--dragonfly",
        options.dragonflyBundle,
        "--dragonfly-uri",
        options.dragonflyUri
    };
    Row row;
    juce::ChildProcess child;
    if (!child.start (command, juce::ChildProcess::wantStdOut))
    {
        row.error = "could not start the measuring process";
        return row;
    }
    const auto output = child.readAllProcessOutput();
    child.waitForProcessToFinish (600000);

    for (const auto& line : juce::StringArray::fromLines (output))
    {
        if (line.startsWith ("RESULT "))
        {
            const auto fields =
                juce::StringArray::fromTokens (line.fromFirstOccurrenceOf (" ", false, false), " ", "");
            if (fields.size() == 5 && fields[4] == "1")
            {
                row.ran = true;
                row.createMs = fields[0].getDoubleValue();
                row.prepareMs = fields[1].getDoubleValue();
                row.perInstanceMb = fields[2].getDoubleValue();
                row.totalMb = fields[3].getDoubleValue();
            }
            else
                row.error = "non-finite output";
        }
        else if (line.startsWith ("ERROR "))
            row.error = line.fromFirstOccurrenceOf (" ", false, false);
    }
    if (!row.ran && row.error.isEmpty())
        row.error = "no result";
    return row;
}

int run (const Options& options)
{
    std::printf (
        "Cost of one more instance through JUCE's plug-in hosting: creation and preparation (median\n"
        "over the instances, after the binary's first load), resident memory added per instance\n"
        "after %.1f s of noise each (Tolv_mark program \"Standard\", Dragonfly Hall at its defaults).\n\n",
        options.seconds);
    std::printf ("%-26s %8s %9s %12s %14s %12s\n", "plug-in", "rate", "instances", "create ms", "prepare ms",
                 "MB/instance");

    bool allRan = true;
    const std::vector<int> counts = options.shortRun ? std::vector<int>{ 1, 2 } : std::vector<int>{ 1, 16 };
    for (const bool tolvmark : { true, false })
        for (const double rate : { 48000.0, 192000.0 })
            for (const int count : counts)
            {
                const auto row = runChild (options, tolvmark, rate, count);
                const char* name = tolvmark ? "Tolv_mark (VST3)" : "Dragonfly Hall (LV2)";
                if (!row.ran)
                {
                    const bool skipped = !tolvmark && options.referenceOptional;
                    std::printf ("%-26s %8.0f %9d  %s: %s\n", name, rate, count,
                                 skipped ? "SKIPPED" : "ERROR", row.error.toRawUTF8());
                    allRan = allRan && skipped;
                    continue;
                }
                std::printf ("%-26s %8.0f %9d %12.3f %14.3f %12.3f\n", name, rate, count, row.createMs,
                             row.prepareMs, row.perInstanceMb);
            }

    std::printf ("\n%s\n",
                 allRan ? "Every configuration ran." : "Some configurations failed (see ERROR above).");
    return allRan ? 0 : 1;
}

bool parse (int argc, char** argv, Options& options, bool& measure, bool& tolvmark, double& rate, int& count)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };

        const auto read = readComparisonOption (argument, value, options);
        if (read == OptionRead::invalid)
            return false;
        if (read == OptionRead::taken)
            continue;

        if (argument == "--measure")
        {
            const char* which = value();
            const char* rateText = value();
            const char* countText = value();
            if (which == nullptr || rateText == nullptr || countText == nullptr)
                return false;
            measure = true;
            tolvmark = std::string (which) == "tolvmark";
            rate = juce::String (rateText).getDoubleValue();
            count = juce::String (countText).getIntValue();
            if (!(rate > 0.0) || count < 1)
                return false;
        }
        else
            return false;
    }

    if (options.shortRun && !options.secondsGiven)
        options.seconds = 0.5;
    return true;
}
} // namespace

int main (int argc, char** argv)
{
    Options options;
    bool measure = false, tolvmark = true;
    double rate = 48000.0;
    int count = 1;
    if (!parse (argc, argv, options, measure, tolvmark, rate, count))
    {
        std::cerr << "usage: tolvmark_instance_benchmark [--short] [--seconds S] [--vst3 PATH]\n"
                     "                                   [--dragonfly BUNDLE] [--dragonfly-uri URI]\n"
                     "                                   [--reference-optional]\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;
    return measure ? measureOne (options, tolvmark, rate, count) : run (options);
}
