// tolvmark_host_benchmark: CPU cost of the whole built plug-in, loaded through JUCE's plug-in hosting as a
// host loads it, side by side with Dragonfly Hall Reverb's LV2 (Debian's dragonfly-reverb-lv2) in the same
// process and the same host code.
//
//   tolvmark_host_benchmark [--short] [--seconds S] [--repetitions N] [--vst3 PATH]
//                           [--dragonfly BUNDLE] [--dragonfly-uri URI] [--reference-optional]
//
// Every figure is CPU seconds per second of audio: the CPU time of the thread that calls processBlock
// (CLOCK_THREAD_CPUTIME_ID), divided by the seconds of audio processed. Host blocks of 512 samples, noise in.
// Every configuration (Dragonfly Hall at its defaults; Tolv_mark per factory program, sample rate and
// layout) is loaded once, then measured once per round, N rounds, in a rotating order. The table shows the
// minimum (the run least disturbed by the rest of the machine), the median, and each Tolv_mark figure over
// Dragonfly's figure of the same round, which cancels most of the machine's drift in speed.
//
// Exit code 0 when every measurement ran and gave a finite, positive figure with finite, non-silent
// output; 1 otherwise. No ratio is enforced here: the figures depend on the machine and its load.

#include "ComparisonCommandLine.h"
#include "FactoryProgramTable.h"
#include "PluginHost.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int blockSize = 512;

//==============================================================================
/** Command-line settings. */
struct Options : ComparisonOptions
{
    Options() { seconds = 20.0; }

    double warmUpSeconds = 1.0;  // audio processed, untimed, by every instance before the first round
    int repetitions = 5;         // rounds: every configuration is measured once per round
    bool comparisonOnly = false; // only Dragonfly Hall and "Standard" at 48 kHz stereo
};

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
    return (double) now.tv_sec + 1.0e-9 * (double) now.tv_nsec;
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime (CLOCK_PROCESS_CPUTIME_ID, &now);
    return (double) now.tv_sec + 1.0e-9 * (double) now.tv_nsec;
}

double median (std::vector<double> values)
{
    if (values.empty())
        return std::nan ("");

    std::sort (values.begin(), values.end());
    const auto middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : 0.5 * (values[middle - 1] + values[middle]);
}

double minimum (const std::vector<double>& values)
{
    return values.empty() ? std::nan ("") : *std::min_element (values.begin(), values.end());
}

//==============================================================================
/** Tolv_mark's factory programs as hosted parameter values (index order), set directly through the hosted
    parameters as well as by program change: not every format reports a host's program change back to its
    parameter copies. */
const auto& tolvmarkKeys = testdata::parameterKeys;
const auto& tolvmarkPrograms = testdata::factoryPrograms;

const auto& programNames = testdata::factoryProgramNames;

//==============================================================================
/** One loaded, prepared plug-in with its input noise and its block buffer. */
class Subject
{
public:
    Subject (juce::String nameToUse, std::unique_ptr<juce::AudioPluginInstance> instance, double rate,
             int inputChannels, int outputChannels)
        : name (std::move (nameToUse)), plugin (std::move (instance)), sampleRate (rate),
          inputs (inputChannels), buffer (std::max (inputChannels, outputChannels), blockSize)
    {
        // A second of noise per input channel, played in a loop: every run sees the same signal.
        const int noiseLength = (int) sampleRate;
        noise.setSize (inputChannels, noiseLength);
        juce::Random random (20261210);
        for (int c = 0; c < inputChannels; ++c)
            for (int i = 0; i < noiseLength; ++i)
                noise.setSample (c, i, 0.5f * (2.0f * random.nextFloat() - 1.0f));
    }

    /** Processes `seconds` of audio and returns the calling thread's CPU seconds per second of audio. */
    double measure (double seconds)
    {
        const int blocks = std::max (1, (int) std::lround (seconds * sampleRate / blockSize));
        const double threadStart = threadCpuSeconds();
        const double processStart = processCpuSeconds();

        for (int b = 0; b < blocks; ++b)
            processOneBlock();

        const double threadUsed = threadCpuSeconds() - threadStart;
        const double processUsed = processCpuSeconds() - processStart;
        const double audioSeconds = (double) blocks * blockSize / sampleRate;

        lastProcessCpuPerSecond = processUsed / audioSeconds;
        checkLastBlock();
        return threadUsed / audioSeconds;
    }

    /** Processes `seconds` of audio without timing it. */
    void warmUp (double seconds)
    {
        const int blocks = std::max (1, (int) std::lround (seconds * sampleRate / blockSize));
        for (int b = 0; b < blocks; ++b)
            processOneBlock();
        checkLastBlock();
    }

    juce::String name;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
    double sampleRate;
    double lastProcessCpuPerSecond = 0.0;
    bool outputFinite = true;   // every checked block was finite
    bool outputAudible = false; // some checked block was not silent

private:
    void processOneBlock()
    {
        for (int c = 0; c < inputs; ++c)
            buffer.copyFrom (c, 0, noise, c, position, blockSize);
        for (int c = inputs; c < buffer.getNumChannels(); ++c)
            buffer.clear (c, 0, blockSize);

        plugin->processBlock (buffer, midi);
        midi.clear();

        position += blockSize;
        if (position + blockSize > noise.getNumSamples())
            position = 0;
    }

    void checkLastBlock()
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < blockSize; ++i)
            {
                const float sample = buffer.getSample (c, i);
                if (!std::isfinite (sample))
                    outputFinite = false;
                else if (sample != 0.0f)
                    outputAudible = true;
            }
    }

    int inputs;
    juce::AudioBuffer<float> noise;
    juce::AudioBuffer<float> buffer;
    juce::MidiBuffer midi;
    int position = 0;
};

//==============================================================================
/** Loads the built Tolv_mark VST3 at `rate` with `program` applied; stereo in, `outputSet` out. */
std::unique_ptr<Subject> loadTolvmark (const Options& options, double rate, int program,
                                       const juce::AudioChannelSet& outputSet, juce::String& error)
{
    auto instance =
        hostkit::loadPlugin (hostkit::Format::vst3, juce::File (options.vst3Path), rate, blockSize, error);
    if (instance == nullptr)
        return nullptr;

    if (outputSet != juce::AudioChannelSet::stereo())
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (juce::AudioChannelSet::stereo());
        layout.outputBuses.add (outputSet);
        if (!instance->setBusesLayout (layout))
        {
            error = "the VST3 refused stereo in, " + outputSet.getDescription() + " out";
            return nullptr;
        }
    }

    instance->prepareToPlay (rate, blockSize);

    // The plug-in ignores program changes for 200 ms after construction (a host may still be restoring it).
    juce::Thread::sleep (250);
    instance->setCurrentProgram (program);
    for (int index = 0; index < 16; ++index)
    {
        auto* parameter = hostkit::findParameter (*instance, tolvmarkKeys[index]);
        if (parameter == nullptr)
        {
            error = juce::String ("no hosted parameter ") + tolvmarkKeys[index];
            return nullptr;
        }
        parameter->setValue (tolvmarkPrograms[program][index]);
    }

    const int inputs = instance->getTotalNumInputChannels();
    const int outputs = instance->getTotalNumOutputChannels();
    auto name = "Tolv_mark " + instance->getProgramName (program);
    return std::make_unique<Subject> (name, std::move (instance), rate, inputs, outputs);
}

/** Loads Dragonfly Hall Reverb's LV2 at `rate` with its default settings. */
std::unique_ptr<Subject> loadDragonfly (const Options& options, double rate, juce::String& error)
{
    auto instance = hostkit::loadPlugin (hostkit::Format::lv2, juce::File (options.dragonflyBundle), rate,
                                         blockSize, error, options.dragonflyUri);
    if (instance == nullptr)
        return nullptr;

    instance->prepareToPlay (rate, blockSize);
    const int inputs = instance->getTotalNumInputChannels();
    const int outputs = instance->getTotalNumOutputChannels();
    auto name = instance->getName();
    return std::make_unique<Subject> (name, std::move (instance), rate, inputs, outputs);
}

//==============================================================================
/** Collects every figure, and whether all of them were sound. */
struct Report
{
    bool allSound = true;

    void check (const Subject& subject, const std::vector<double>& figures)
    {
        for (auto figure : figures)
            if (!std::isfinite (figure) || figure <= 0.0)
            {
                std::cout << "  ERROR: " << subject.name << " gave a non-finite or zero CPU figure\n";
                allSound = false;
            }

        if (!subject.outputFinite || !subject.outputAudible)
        {
            std::cout << "  ERROR: " << subject.name << " produced "
                      << (subject.outputFinite ? "silence" : "non-finite output") << "\n";
            allSound = false;
        }
    }
};

/** One configuration measured in every round. */
struct Entry
{
    juce::String label;
    std::unique_ptr<Subject> subject;
    std::vector<double> figures;    // thread CPU s per audio s, one per round
    std::vector<double> processCpu; // process CPU s per audio s, one per round
    std::vector<double> pairRatios; // figure / Dragonfly's figure in the same round
};

void printRow (const Entry& entry, bool withRatio, const juce::String& label = {})
{
    std::printf ("  %-40s min %.5f  median %.5f", (label.isEmpty() ? entry.label : label).toRawUTF8(),
                 minimum (entry.figures), median (entry.figures));
    if (withRatio && !entry.pairRatios.empty())
        std::printf ("  / Dragonfly: median %.3f, range %.3f-%.3f", median (entry.pairRatios),
                     minimum (entry.pairRatios),
                     *std::max_element (entry.pairRatios.begin(), entry.pairRatios.end()));
    std::printf ("\n");
    std::fflush (stdout);
}

//==============================================================================
int run (const Options& options)
{
    Report report;
    juce::String error;

    std::printf ("Whole plug-in CPU per second of audio (thread CPU s / audio s), block %d, noise in.\n",
                 blockSize);
    std::printf ("%d rounds; in each round every configuration runs %.1f s of audio (after %.2f s untimed),\n"
                 "in a rotating order, so that a busy stretch of the machine falls on all of them alike.\n\n",
                 options.repetitions, options.seconds, options.warmUpSeconds);

    // ---- Everything is loaded first, then measured in rounds.
    std::vector<Entry> entries;
    auto addTolvmark =
        [&] (const juce::String& label, double rate, int program, const juce::AudioChannelSet& output)
    {
        auto subject = loadTolvmark (options, rate, program, output, error);
        if (subject == nullptr)
        {
            std::cout << "  ERROR: " << label << ": " << error << "\n";
            report.allSound = false;
            return;
        }
        entries.push_back ({ label, std::move (subject), {}, {}, {} });
    };

    // Entry 0: Dragonfly Hall (when it loads); then Tolv_mark "Standard" at 48 kHz stereo.
    std::unique_ptr<Subject> dragonfly = loadDragonfly (options, 48000.0, error);
    const bool haveDragonfly = dragonfly != nullptr;
    if (haveDragonfly)
        entries.push_back ({ dragonfly->name + " (LV2, defaults)", std::move (dragonfly), {}, {}, {} });
    else
    {
        std::cout << "  " << (options.referenceOptional ? "SKIPPED" : "ERROR")
                  << ": Dragonfly Hall Reverb not loaded (install dragonfly-reverb-lv2): " << error << "\n\n";
        if (!options.referenceOptional)
            return 1;
    }

    const auto stereo = juce::AudioChannelSet::stereo();
    const auto surround = juce::AudioChannelSet::create7point1point2();
    const int programs = options.comparisonOnly ? 1 : options.shortRun ? 2 : 10;
    std::vector<int> programOrder = { 0 };
    for (int program = 1; program < programs; ++program)
        programOrder.push_back (program == 1 && options.shortRun ? 6 : program);

    for (int program : programOrder)
    {
        const auto classic = tolvmarkPrograms[program][8] != 0.0f;
        const auto stages = (int) std::lround (tolvmarkPrograms[program][15] * 4.0f) + 1;
        addTolvmark (juce::String (program) + " " + juce::String (programNames[program]) + " (" +
                         (classic ? "classic, " : "modern, ") + juce::String (stages) + ")",
                     48000.0, program, stereo);
    }
    const size_t firstLayout = entries.size();
    if (!options.comparisonOnly)
    {
        if (!options.shortRun)
            addTolvmark ("44.1 kHz stereo", 44100.0, 0, stereo);
        addTolvmark ("96 kHz stereo", 96000.0, 0, stereo);
        addTolvmark ("48 kHz stereo in, 7.1.2 out", 48000.0, 0, surround);
        if (!options.shortRun)
            addTolvmark ("96 kHz stereo in, 7.1.2 out", 96000.0, 0, surround);
    }

    if (entries.empty() || (haveDragonfly && entries.size() < 2))
        return 1;

    for (auto& entry : entries)
        entry.subject->warmUp (options.warmUpSeconds);

    // ---- Rounds.
    for (int round = 0; round < options.repetitions; ++round)
    {
        for (size_t k = 0; k < entries.size(); ++k)
        {
            auto& entry = entries[(k + (size_t) round) % entries.size()];
            entry.subject->warmUp (0.1);
            entry.figures.push_back (entry.subject->measure (options.seconds));
            entry.processCpu.push_back (entry.subject->lastProcessCpuPerSecond);
        }

        if (haveDragonfly)
            for (size_t k = 1; k < entries.size(); ++k)
                entries[k].pairRatios.push_back (entries[k].figures.back() / entries[0].figures.back());
    }

    for (const auto& entry : entries)
        report.check (*entry.subject, entry.figures);

    // ---- Report.
    const size_t standard = haveDragonfly ? 1 : 0;
    std::printf ("Comparison, 48 kHz stereo, block %d:\n", blockSize);
    if (haveDragonfly)
        printRow (entries[0], false);
    printRow (entries[standard], false);
    std::printf ("  %-40s process CPU min: Tolv_mark %.5f", "(whole process, same runs)",
                 minimum (entries[standard].processCpu));
    if (haveDragonfly)
        std::printf (", Dragonfly %.5f", minimum (entries[0].processCpu));
    std::printf ("\n");

    if (haveDragonfly)
    {
        const auto& ratios = entries[standard].pairRatios;
        const double ratioOfMinima = minimum (entries[standard].figures) / minimum (entries[0].figures);
        std::printf ("  RATIO Tolv_mark \"Standard\" / Dragonfly Hall: %.3f (ratio of the minima); "
                     "per-round ratios median %.3f, range %.3f-%.3f\n",
                     ratioOfMinima, median (ratios), minimum (ratios),
                     *std::max_element (ratios.begin(), ratios.end()));
        if (!std::isfinite (ratioOfMinima))
            report.allSound = false;
    }

    std::printf ("\nTolv_mark per factory program, 48 kHz stereo (voicing, cascade stages):\n");
    for (size_t k = standard; k < firstLayout; ++k)
        printRow (entries[k], haveDragonfly);

    std::printf ("\nTolv_mark program \"Standard\" per sample rate and layout:\n");
    printRow (entries[standard], haveDragonfly, "48 kHz stereo");
    for (size_t k = firstLayout; k < entries.size(); ++k)
        printRow (entries[k], haveDragonfly);

    std::printf ("\n%s\n", report.allSound ? "All measurements ran and gave finite figures."
                                           : "Some measurements failed (see ERROR above).");
    return report.allSound ? 0 : 1;
}

bool parse (int argc, char** argv, Options& options)
{
    bool repetitionsGiven = false;

    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };

        const auto read = readComparisonOption (argument, value, options);
        if (read == OptionRead::invalid)
            return false;
        if (read == OptionRead::taken)
            continue;

        if (argument == "--comparison-only")
            options.comparisonOnly = true;
        else if (argument == "--repetitions")
        {
            const char* text = value();
            if (text == nullptr)
                return false;
            options.repetitions = juce::String (text).getIntValue();
            repetitionsGiven = true;
            if (options.repetitions < 1)
                return false;
        }
        else
            return false;
    }

    if (options.shortRun)
    {
        if (!options.secondsGiven)
            options.seconds = 0.5;
        if (!repetitionsGiven)
            options.repetitions = 2;
        options.warmUpSeconds = 0.25;
    }

    return true;
}
} // namespace

int main (int argc, char** argv)
{
    Options options;
    if (!parse (argc, argv, options))
    {
        std::cerr
            << "usage: tolvmark_host_benchmark [--short] [--comparison-only] [--seconds S] [--repetitions "
               "N]\n"
               "                               [--vst3 PATH] [--dragonfly BUNDLE] [--dragonfly-uri URI]\n"
               "                               [--reference-optional]\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;
    return run (options);
}
