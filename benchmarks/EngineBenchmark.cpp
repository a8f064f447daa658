// CPU cost of the reverb engine per second of audio: sample rate x layout x voicing x cascade stages,
// host blocks of 512 samples. The counter "cpu_s_per_audio_s" is seconds of CPU time spent per second
// of audio processed (0.01 means 1 % of one core in real time).

#include "processor/QuellorAudioProcessor.h"

#include <benchmark/benchmark.h>
#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <tuple>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE("-Wdeprecated-declarations")

namespace
{
constexpr int blockSize = 512;

using Key = std::tuple<int, int, int, int>; // rate, channels, classic, stages

/** A prepared processor for the configuration, kept while the library calls the same benchmark
    again (construction takes a while; each processor holds about 83 MB, so only one is kept). */
QuellorAudioProcessor& processorFor(const Key& key)
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
        layout.inputBuses.add(set);
        layout.outputBuses.add(set);
        slot->setBusesLayout(layout);
        slot->prepareToPlay(rate, blockSize);
        slot->setParameter(tolvmark::kUseClassic, classic != 0 ? 1.0f : 0.0f);
        slot->setParameter(tolvmark::kOversampling, (float)(stages - 1) * 0.25f);
        slot->setParameter(tolvmark::kMix, 0.5f);
    }

    return *slot;
}

void engineCost(benchmark::State& state)
{
    const Key key{ (int)state.range(0), (int)state.range(1), (int)state.range(2), (int)state.range(3) };
    const auto [rate, channels, classic, stages] = key;
    auto& processor = processorFor(key);

    // A fixed block of noise, copied in before every block so the engine always sees the same input.
    juce::AudioBuffer<float> input(channels, blockSize), buffer(channels, blockSize);
    juce::Random random(1);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < blockSize; ++i)
            input.setSample(c, i, 0.5f * (2.0f * random.nextFloat() - 1.0f));

    juce::MidiBuffer midi;
    for (auto _ : state)
    {
        for (int c = 0; c < channels; ++c)
            buffer.copyFrom(c, 0, input, c, 0, blockSize);
        processor.processBlock(buffer, midi);
        benchmark::DoNotOptimize(buffer.getReadPointer(0));
        benchmark::ClobberMemory();
    }

    // Audio seconds processed, as a rate over CPU time, inverted: CPU seconds per audio second.
    const double audioSeconds = (double)state.iterations() * blockSize / rate;
    state.counters["cpu_s_per_audio_s"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    const juce::String label = juce::String(channels == 10 ? "7.1.2" : "stereo") +
                               (classic != 0 ? " classic " : " modern ") + juce::String(stages) +
                               (stages > 1 ? " stages" : " stage");
    state.SetLabel(label.toStdString());
}
} // namespace

BENCHMARK(engineCost)
    ->ArgNames({ "rate", "channels", "classic", "stages" })
    ->ArgsProduct({ { 44100, 48000 }, { 2, 10 }, { 1, 0 }, { 1, 4 } })
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    const juce::ScopedJuceInitialiser_GUI juce;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
