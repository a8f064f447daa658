// Soak: a long stretch of audio (faster than real time) through the built VST3 with random automation,
// alternating loud passages, quiet ones and silences in which the tail decays. The output must stay
// finite throughout, and a decaying tail must cost no more time than a loud passage (the engine flushes
// denormals, so a fading feedback network must not slow down).
//
// The length comes from TOLVMARK_SOAK_SECONDS (seconds of audio; scripts/soak.sh sets it, one hour by
// default there); without it the test runs a short form.

#include "HostTestSupport.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace
{
double soakSeconds()
{
    if (const char* text = std::getenv ("TOLVMARK_SOAK_SECONDS"))
        if (const double seconds = std::atof (text); seconds > 0.0)
            return seconds;

    return 60.0;
}

/** CPU seconds the calling thread has used: the hosted plug-in processes on the thread that calls it,
    and CPU time leaves out the time a busy machine keeps the thread waiting. */
double threadCpuSeconds()
{
    timespec now{};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
    return (double) now.tv_sec + 1.0e-9 * (double) now.tv_nsec;
}

double median (std::vector<double> values)
{
    std::sort (values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}
} // namespace

TEST (Soak, LongRunWithAutomationStaysFiniteAndTailsCostNoMoreThanLoudPassages)
{
    constexpr double rate = 48000.0;
    constexpr int blockSize = 512;
    constexpr int segmentBlocks = 94; // about one second

    auto plugin = BuiltPlugin{ hostkit::Format::vst3 }.load (rate, blockSize);
    ASSERT_NE (plugin, nullptr);

    // 5.1 in and out: every input and output channel of the engine is exercised.
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (juce::AudioChannelSet::create5point1());
    layout.outputBuses.add (juce::AudioChannelSet::create5point1());
    ASSERT_TRUE (plugin->setBusesLayout (layout));
    plugin->prepareToPlay (rate, blockSize);

    // The thirteen parameters automated per block, and the two that clear the network when they change.
    const juce::StringArray automatedKeys{ "decay",         "low",         "high",        "fhighcut2",
                                           "fhighcut3",     "fmix",        "use_classic", "leftlevel",
                                           "rightlevel",    "centerlevel", "leftslevel",  "rightslevel",
                                           "surroundswitch" };
    std::vector<juce::AudioProcessorParameter*> parameters, clearing;
    juce::AudioProcessorParameter* bypass = nullptr;
    for (auto* parameter : plugin->getParameters())
    {
        const auto name = parameter->getName (64);
        if (name == "bypass")
            bypass = parameter;
        else if (name == "predelay" || name == "oversampling")
            clearing.push_back (parameter);
        else if (automatedKeys.contains (name))
            parameters.push_back (parameter);
    }
    ASSERT_NE (bypass, nullptr);
    ASSERT_EQ (parameters.size(), 13u);
    ASSERT_EQ (clearing.size(), 2u);

    const int channels = 6;
    juce::AudioBuffer<float> buffer (channels, blockSize);
    juce::MidiBuffer midi;
    juce::Random random (2024);

    const auto totalSegments = (juce::int64) std::ceil (soakSeconds() * rate / (blockSize * segmentBlocks));
    std::vector<double> loudTimes, tailTimes;
    juce::int64 nonFinite = 0;

    for (juce::int64 segment = 0; segment < totalSegments; ++segment)
    {
        // Loud noise, a quiet sine, then silence for the tail (a third of the time each); bypass briefly
        // now and then.
        const int kind = (int) (segment % 3);
        const bool measured = kind != 1 && segment % 12 >= 3;
        bypass->setValue (random.nextInt (40) == 0 ? 1.0f : 0.0f);

        // Automation: a few parameters per block, the two that clear the network (pre-delay and density)
        // at segment starts only, as a user moves them rarely.
        for (auto* parameter : clearing)
            if (random.nextInt (4) == 0)
                parameter->setValue (random.nextFloat());

        double phase = random.nextDouble();
        const double start = threadCpuSeconds();

        for (int block = 0; block < segmentBlocks; ++block)
        {
            for (int change = 0; change < 2; ++change)
            {
                auto* parameter = parameters[(size_t) random.nextInt ((int) parameters.size())];
                const int pick = random.nextInt (3);
                parameter->setValue (pick == 0 ? 0.0f : pick == 1 ? 1.0f : random.nextFloat());
            }

            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < blockSize; ++i)
                {
                    float x = 0.0f;
                    if (kind == 0)
                        x = 0.9f * (2.0f * random.nextFloat() - 1.0f);
                    else if (kind == 1)
                        x = 0.01f * (float) std::sin (phase + 0.03 * i + c);
                    buffer.setSample (c, i, x);
                }
            phase += 0.03 * blockSize;

            plugin->processBlock (buffer, midi);

            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < blockSize; ++i)
                    if (!std::isfinite (buffer.getSample (c, i)))
                        ++nonFinite;
        }

        const double seconds = threadCpuSeconds() - start;
        if (measured && bypass->getValue() < 0.5f)
            (kind == 0 ? loudTimes : tailTimes).push_back (seconds);

        ASSERT_EQ (nonFinite, 0) << "segment " << segment;
    }

    ASSERT_FALSE (loudTimes.empty());
    ASSERT_FALSE (tailTimes.empty());

    // The loud segments' time includes making the noise; the tail's does not, so a tail that is "no
    // slower" stays below the loud passage's time. A quarter more absorbs the noise of a shared machine;
    // denormal arithmetic would cost many times more.
    const double loud = median (loudTimes), tail = median (tailTimes);
    RecordProperty ("loud_segment_seconds", std::to_string (loud));
    RecordProperty ("tail_segment_seconds", std::to_string (tail));
    std::printf ("soak: %lld segments of %.2f s audio; median CPU time loud %.4f s, tail %.4f s\n",
                 (long long) totalSegments, segmentBlocks * blockSize / rate, loud, tail);
    EXPECT_LE (tail, loud * 1.25);

    plugin->releaseResources();
}
