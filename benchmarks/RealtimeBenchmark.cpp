// tolvmark_realtime_benchmark: how long each audio block takes while the user or the automation changes
// what makes the reverb clear its memory, through the built VST3 loaded by JUCE's plug-in hosting.
//
//   tolvmark_realtime_benchmark [--short] [--seconds S] [--warm-up S] [--vst3 PATH]
//
// An audio thread paced in real time (48 kHz, blocks of 64 samples: one block every 1.333 ms, slept to
// with the steady clock) processes noise through the plug-in and times each processBlock call with the
// wall clock. Meanwhile the pre-delay, the oversampling or the program is switched between two values
// every 50 ms, 250 ms or 2 s, either from a separate automation thread (as a DAW's automation or UI
// does) or from the audio thread between two blocks. JUCE's VST3 hosting queues either kind of change,
// and the plug-in's VST3 wrapper applies it inside the next processBlock, so every change lands on the
// audio thread. The instance runs `--warm-up` seconds of audio first, so its delay lines are full.
//
// For each configuration the table gives the median, 99th percentile and maximum block time (wall
// clock) and the number of blocks that took longer than the block's own duration (the deadline), then
// the largest CPU time of one block on the audio thread and the blocks over the deadline by CPU time
// (which leaves out time the thread spent preempted by the rest of a busy machine). The audio thread
// asks for real-time scheduling, as hosts do; the header says whether it got it. Exit code 0 when every
// configuration ran and its output stayed finite, 1 otherwise; the timings are reported, not enforced
// (they depend on the machine and its load).

#include "PluginHost.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 64;
using Clock = std::chrono::steady_clock;

struct Options
{
    double seconds = 6.0; // measured audio per configuration
    double warmUpSeconds = 3.0;
    bool shortRun = false;
    juce::String vst3Path = TOLVMARK_VST3_PATH;
};

enum class Change
{
    predelay,
    oversampling,
    program
};

const char* nameOf (Change change)
{
    switch (change)
    {
        case Change::predelay:
            return "pre-delay";
        case Change::oversampling:
            return "oversampling";
        case Change::program:
            return "program";
    }
    return "";
}

struct Configuration
{
    Change change;
    int intervalMs;
    bool fromAudioThread;
};

struct Result
{
    double medianUs = 0.0, p99Us = 0.0, maxUs = 0.0;
    int blocks = 0, overDeadline = 0, changes = 0;
    double maxCpuUs = 0.0; // the most CPU time one block took (preemption by other processes excluded)
    int cpuOverDeadline = 0;
    bool finite = true;
};

double threadCpuMicroseconds()
{
    timespec now{};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
    return 1.0e6 * (double) now.tv_sec + 1.0e-3 * (double) now.tv_nsec;
}

/** Asks for a real-time scheduling class for the calling thread, as audio hosts do; answers whether
    the system granted it (it needs the privilege to). */
bool makeThisThreadRealtime()
{
    sched_param parameters{};
    parameters.sched_priority = std::min (80, sched_get_priority_max (SCHED_FIFO));
    return pthread_setschedparam (pthread_self(), SCHED_FIFO, &parameters) == 0;
}

std::atomic<bool> realtimeGranted{ false };

/** Switches one setting between two values, one call per change. Any thread: JUCE's VST3 hosting
    queues the value for the next block. */
class Switcher
{
public:
    Switcher (juce::AudioPluginInstance& pluginToUse, Change changeToMake)
        : plugin (pluginToUse), change (changeToMake),
          parameter (
              hostkit::findParameter (plugin, change == Change::predelay ? "predelay" : "oversampling"))
    {
    }

    bool isValid() const { return change == Change::program || parameter != nullptr; }

    void next()
    {
        flip = !flip;
        if (change == Change::program)
            plugin.setCurrentProgram (flip ? 6 : 0); // "Large and Dreamy" and "Standard"
        else if (change == Change::predelay)
            parameter->setValue (flip ? 0.6f : 0.2f);
        else
            parameter->setValue (flip ? 0.25f : 0.75f);
    }

private:
    juce::AudioPluginInstance& plugin;
    Change change;
    juce::AudioProcessorParameter* parameter;
    bool flip = false;
};

/** Processes blocks in real time for `seconds`, changing the setting as the configuration says, and
    returns the block times. With `config` null, only plays (the warm-up). */
Result play (juce::AudioPluginInstance& plugin, double seconds, const Configuration* config)
{
    const int totalBlocks = (int) std::lround (seconds * sampleRate / blockSize);
    const auto period = std::chrono::nanoseconds ((long long) std::llround (1.0e9 * blockSize / sampleRate));
    const double deadlineUs = 1.0e6 * blockSize / sampleRate;

    const int channels = std::max (plugin.getTotalNumInputChannels(), plugin.getTotalNumOutputChannels());
    juce::AudioBuffer<float> buffer (channels, blockSize);
    juce::MidiBuffer midi;
    juce::Random random (7);

    Result result;
    std::vector<double> times, cpuTimes;
    times.reserve ((size_t) totalBlocks);
    cpuTimes.reserve ((size_t) totalBlocks);

    std::atomic<bool> stop{ false };
    std::atomic<int> changes{ 0 };
    Switcher switcher (plugin, config != nullptr ? config->change : Change::predelay);
    const auto interval = std::chrono::milliseconds (config != nullptr ? config->intervalMs : 1);
    const int blocksPerChange =
        config != nullptr
            ? std::max (1, (int) std::lround (config->intervalMs * 1.0e-3 * sampleRate / blockSize))
            : 0;

    std::thread automation;
    if (config != nullptr && !config->fromAudioThread)
        automation = std::thread (
            [&]
            {
                auto next = Clock::now() + interval;
                while (!stop.load())
                {
                    std::this_thread::sleep_until (next);
                    next += interval;
                    if (stop.load())
                        break;
                    switcher.next();
                    ++changes;
                }
            });

    std::thread audio (
        [&]
        {
            realtimeGranted = makeThisThreadRealtime();
            auto next = Clock::now();
            for (int block = 0; block < totalBlocks; ++block)
            {
                next += period;
                std::this_thread::sleep_until (next);

                for (int c = 0; c < channels; ++c)
                    for (int i = 0; i < blockSize; ++i)
                        buffer.setSample (c, i, 0.5f * (2.0f * random.nextFloat() - 1.0f));

                if (config != nullptr && config->fromAudioThread && block > 0 && block % blocksPerChange == 0)
                {
                    switcher.next();
                    ++changes;
                }

                const double cpuStart = threadCpuMicroseconds();
                const auto start = Clock::now();
                plugin.processBlock (buffer, midi);
                const auto end = Clock::now();
                cpuTimes.push_back (threadCpuMicroseconds() - cpuStart);
                times.push_back (std::chrono::duration<double, std::micro> (end - start).count());

                for (int c = 0; c < channels && result.finite; ++c)
                    for (int i = 0; i < blockSize; ++i)
                        if (!std::isfinite (buffer.getSample (c, i)))
                        {
                            result.finite = false;
                            break;
                        }
            }
        });

    audio.join();
    stop = true;
    if (automation.joinable())
        automation.join();

    std::vector<double> sorted = times;
    std::sort (sorted.begin(), sorted.end());
    result.blocks = (int) sorted.size();
    if (!sorted.empty())
    {
        result.medianUs = sorted[sorted.size() / 2];
        result.p99Us =
            sorted[std::min (sorted.size() - 1, (size_t) std::floor (0.99 * (double) sorted.size()))];
        result.maxUs = sorted.back();
    }
    result.overDeadline =
        (int) std::count_if (times.begin(), times.end(), [&] (double t) { return t > deadlineUs; });
    result.changes = changes.load();
    if (!cpuTimes.empty())
        result.maxCpuUs = *std::max_element (cpuTimes.begin(), cpuTimes.end());
    result.cpuOverDeadline =
        (int) std::count_if (cpuTimes.begin(), cpuTimes.end(), [&] (double t) { return t > deadlineUs; });
    return result;
}

bool parse (int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;

        if (arg == "--short")
        {
            options.shortRun = true;
            options.seconds = 1.0;
            options.warmUpSeconds = 1.0;
        }
        else if (arg == "--seconds" && hasValue)
            options.seconds = std::atof (argv[++i]);
        else if (arg == "--warm-up" && hasValue)
            options.warmUpSeconds = std::atof (argv[++i]);
        else if (arg == "--vst3" && hasValue)
            options.vst3Path = argv[++i];
        else
            return false;
    }
    return options.seconds > 0.0 && options.warmUpSeconds >= 0.0;
}

int run (const Options& options)
{
    juce::String error;
    auto plugin = hostkit::loadPlugin (hostkit::Format::vst3, juce::File (options.vst3Path), sampleRate,
                                       blockSize, error);
    if (plugin == nullptr)
    {
        std::cerr << "tolvmark_realtime_benchmark: " << error << "\n";
        return 1;
    }
    plugin->prepareToPlay (sampleRate, blockSize);

    std::vector<Configuration> configurations;
    const std::vector<int> intervals =
        options.shortRun ? std::vector<int>{ 50 } : std::vector<int>{ 50, 250, 2000 };
    for (const auto change : { Change::predelay, Change::oversampling, Change::program })
        for (const int interval : intervals)
            for (const bool fromAudioThread : { false, true })
                configurations.push_back ({ change, interval, fromAudioThread });

    std::printf (
        "Tolv_mark VST3 (%s), 48 kHz stereo, blocks of %d samples (deadline %.0f us), %.1f s warm-up, "
        "%.1f s per configuration\n\n",
        options.vst3Path.toRawUTF8(), blockSize, 1.0e6 * blockSize / sampleRate, options.warmUpSeconds,
        options.seconds);
    play (*plugin, options.warmUpSeconds, nullptr);
    std::printf ("audio thread: %s\n\n", realtimeGranted.load()
                                             ? "real-time scheduling (SCHED_FIFO)"
                                             : "normal scheduling (no real-time privilege)");
    std::printf ("%-13s %8s %-13s %8s %8s %9s %9s %9s %5s %9s %8s\n", "change", "every", "from", "changes",
                 "blocks", "median", "p99", "max", "late", "max CPU", "CPU late");

    bool ok = true;
    for (const auto& config : configurations)
    {
        if (!Switcher (*plugin, config.change).isValid())
        {
            std::cerr << "tolvmark_realtime_benchmark: no hosted parameter for " << nameOf (config.change)
                      << "\n";
            return 1;
        }

        // A change every 2 s needs a few of them to say anything.
        const double seconds = std::max (options.seconds, config.intervalMs * 3.0e-3 + 0.1);
        const auto result = play (*plugin, seconds, &config);
        std::printf ("%-13s %5d ms %-13s %8d %8d %6.1f us %6.1f us %6.0f us %5d %6.0f us %8d%s\n",
                     nameOf (config.change), config.intervalMs,
                     config.fromAudioThread ? "audio thread" : "automation", result.changes, result.blocks,
                     result.medianUs, result.p99Us, result.maxUs, result.overDeadline, result.maxCpuUs,
                     result.cpuOverDeadline, result.finite ? "" : "  NON-FINITE OUTPUT");
        std::fflush (stdout);
        ok = ok && result.finite && result.blocks > 0 && result.changes > 0;
    }

    plugin->releaseResources();
    return ok ? 0 : 1;
}
} // namespace

int main (int argc, char** argv)
{
    Options options;
    if (!parse (argc, argv, options))
    {
        std::cerr
            << "usage: tolvmark_realtime_benchmark [--short] [--seconds S] [--warm-up S] [--vst3 PATH]\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;
    return run (options);
}
