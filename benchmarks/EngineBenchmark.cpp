// CPU cost of the reverb engine per second of audio: sample rate x layout x voicing x cascade stages,
// host blocks of 512 samples. The counter "cpu_s_per_audio_s" is seconds of CPU time spent per second
// of audio processed (0.01 means 1 % of one core in real time).
//
// programChangeBlocking and resetBlocking time, in wall-clock time, the calls that hold the callback lock
// and so keep the audio thread waiting: a program change and reset() on a processor that has just
// processed some seconds of noise.

#include "processor/QuellorAudioProcessor.h"

#include <benchmark/benchmark.h>
#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <tuple>
#include <utility>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace
{
constexpr int blockSize = 512;

using Key = std::tuple<int, int, int, int>; // rate, channels, classic, stages

/** A prepared processor for the configuration, kept while the library calls the same benchmark
    again (only one is kept). */
QuellorAudioProcessor& processorFor (const Key& key)
{
    static Key currentKey{};
    static std::unique_ptr<QuellorAudioProcessor> slot;

    if (slot == nullptr || key != currentKey)
    {
        const auto [rate, channels, classic, stages] = key;
        slot.reset();
        slot = std::make_unique<QuellorAudioProcessor>();
        currentKey = key;

        const auto set =
            channels == 10 ? juce::AudioChannelSet::create7point1point2() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        slot->setBusesLayout (layout);
        slot->prepareToPlay (rate, blockSize);
        slot->setParameter (tolvmark::kUseClassic, classic != 0 ? 1.0f : 0.0f);
        slot->setParameter (tolvmark::kOversampling, (float) (stages - 1) * 0.25f);
        slot->setParameter (tolvmark::kMix, 0.5f);
    }

    return *slot;
}

void engineCost (benchmark::State& state)
{
    const Key key{ (int) state.range (0), (int) state.range (1), (int) state.range (2),
                   (int) state.range (3) };
    const auto [rate, channels, classic, stages] = key;
    auto& processor = processorFor (key);

    // A fixed block of noise, copied in before every block so the engine always sees the same input.
    juce::AudioBuffer<float> input (channels, blockSize), buffer (channels, blockSize);
    juce::Random random (1);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < blockSize; ++i)
            input.setSample (c, i, 0.5f * (2.0f * random.nextFloat() - 1.0f));

    juce::MidiBuffer midi;
    for (auto _ : state)
    {
        for (int c = 0; c < channels; ++c)
            buffer.copyFrom (c, 0, input, c, 0, blockSize);
        processor.processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
        benchmark::ClobberMemory();
    }

    // Audio seconds processed, as a rate over CPU time, inverted: CPU seconds per audio second.
    const double audioSeconds = (double) state.iterations() * blockSize / rate;
    state.counters["cpu_s_per_audio_s"] =
        benchmark::Counter (audioSeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    const juce::String label = juce::String (channels == 10 ? "7.1.2" : "stereo") +
                               (classic != 0 ? " classic " : " modern ") + juce::String (stages) +
                               (stages > 1 ? " stages" : " stage");
    state.SetLabel (label.toStdString());
}

//==============================================================================
/** A settable millisecond clock: the processor ignores program changes in the first 200 ms of its life, and
    the benchmark moves the clock on instead of waiting. */
std::atomic<juce::uint32> fakeMilliseconds{ 0 };

juce::uint32 fakeClock()
{
    return fakeMilliseconds.load();
}

/** A 48 kHz stereo processor on the fake clock, past the program-change guard, with `program` applied. */
std::unique_ptr<QuellorAudioProcessor> makeProgramProcessor (double rate, int program)
{
    auto processor = std::make_unique<QuellorAudioProcessor> (&fakeClock);
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (juce::AudioChannelSet::stereo());
    layout.outputBuses.add (juce::AudioChannelSet::stereo());
    processor->setBusesLayout (layout);
    processor->prepareToPlay (rate, blockSize);
    fakeMilliseconds += 1000;
    processor->setCurrentProgram (program);
    return processor;
}

/** Processes `seconds` of noise through the processor. */
void processNoise (QuellorAudioProcessor& processor, double rate, double seconds)
{
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    juce::Random random (7);
    const int blocks = (int) (seconds * rate / blockSize);

    for (int b = 0; b < blocks; ++b)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
                buffer.setSample (c, i, 0.5f * (2.0f * random.nextFloat() - 1.0f));
        processor.processBlock (buffer, midi);
    }
    benchmark::DoNotOptimize (buffer.getReadPointer (0));
}

/** The engine's cost in a factory program (the host benchmark's configurations, in process): 48 kHz
    stereo for every program, and "Standard" at 44.1 and 96 kHz. */
void programCost (benchmark::State& state)
{
    const int program = (int) state.range (0);
    const double rate = (double) state.range (1);
    static std::unique_ptr<QuellorAudioProcessor> processor;
    static std::pair<int, double> current{ -1, 0.0 };

    if (processor == nullptr || current != std::make_pair (program, rate))
    {
        processor.reset();
        processor = makeProgramProcessor (rate, program);
        current = { program, rate };
    }

    juce::AudioBuffer<float> input (2, blockSize), buffer (2, blockSize);
    juce::Random random (1);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < blockSize; ++i)
            input.setSample (c, i, 0.5f * (2.0f * random.nextFloat() - 1.0f));

    juce::MidiBuffer midi;
    for (auto _ : state)
    {
        for (int c = 0; c < 2; ++c)
            buffer.copyFrom (c, 0, input, c, 0, blockSize);
        processor->processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    const double audioSeconds = (double) state.iterations() * blockSize / rate;
    state.counters["cpu_s_per_audio_s"] =
        benchmark::Counter (audioSeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel (processor->getProgramName (program).toStdString());
}

/** Wall-clock seconds taken by `call`. */
template <typename Call> double wallSeconds (Call&& call)
{
    const auto start = std::chrono::steady_clock::now();
    call();
    benchmark::ClobberMemory();
    return std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
}

/** A program change between two factory programs after `seconds` of audio, 48 kHz stereo. Program pairs:
    0 = "Standard" and "Large and Dreamy" (pre-delay and oversampling differ),
    1 = "Female Vocal Hall" and "Female Vocal Room" (same pre-delay and oversampling). */
void programChangeBlocking (benchmark::State& state)
{
    constexpr double rate = 48000.0;
    const int pair = (int) state.range (0);
    const double seconds = (double) state.range (1) / 10.0;
    const int programs[2][2] = { { 0, 6 }, { 1, 2 } };

    auto processor = makeProgramProcessor (rate, programs[pair][0]);
    int next = 1;

    for (auto _ : state)
    {
        processNoise (*processor, rate, seconds);
        const int program = programs[pair][next];
        state.SetIterationTime (wallSeconds ([&] { processor->setCurrentProgram (program); }));
        next = 1 - next;

        if (processor->getCurrentProgram() != program)
            state.SkipWithError ("the program change was ignored");
    }

    state.SetLabel (pair == 0 ? "Standard <-> Large and Dreamy"
                              : "Female Vocal Hall <-> Room (same pre-delay)");
}

/** reset() after `seconds` of audio in program "Standard", 48 kHz stereo: what a pre-delay or oversampling
    change clears under the callback lock. The cost should not depend on how long audio ran. */
void resetBlocking (benchmark::State& state)
{
    constexpr double rate = 48000.0;
    const double seconds = (double) state.range (0) / 10.0;
    auto processor = makeProgramProcessor (rate, 0);

    for (auto _ : state)
    {
        processNoise (*processor, rate, seconds);
        state.SetIterationTime (wallSeconds ([&] { processor->reset(); }));
    }
}
} // namespace

BENCHMARK (engineCost)
    ->ArgNames ({ "rate", "channels", "classic", "stages" })
    ->ArgsProduct ({ { 44100, 48000 }, { 2, 10 }, { 1, 0 }, { 1, 4 } })
    ->Unit (benchmark::kMicrosecond);

BENCHMARK (programCost)
    ->ArgNames ({ "program", "rate" })
    ->ArgsProduct ({ { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 }, { 48000 } })
    ->Args ({ 0, 44100 })
    ->Args ({ 0, 96000 })
    ->Unit (benchmark::kMicrosecond);

// Seconds of audio before each timed call are given in tenths.
BENCHMARK (programChangeBlocking)
    ->ArgNames ({ "pair", "tenths_s" })
    ->ArgsProduct ({ { 0, 1 }, { 5, 30, 200 } })
    ->UseManualTime()
    ->Iterations (10)
    ->Unit (benchmark::kMicrosecond);

BENCHMARK (resetBlocking)
    ->ArgName ("tenths_s")
    ->Arg (0)
    ->Arg (5)
    ->Arg (30)
    ->Arg (200)
    ->UseManualTime()
    ->Iterations (5)
    ->Unit (benchmark::kMicrosecond);

int main (int argc, char** argv)
{
    benchmark::Initialize (&argc, argv);
    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    const juce::ScopedJuceInitialiser_GUI juce;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
