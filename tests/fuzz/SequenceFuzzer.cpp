// libFuzzer target: random sequences of the calls a host makes (parameter stores with any float,
// program changes, preparation at any rate, bus layout changes, blocks of any size and content in both
// sample types, state round trips, resets and text queries) on one processor.
//
// Faults it finds: crashes and sanitizer reports anywhere, non-finite output while every parameter is in
// 0..1 and the input is bounded, and a meter value that is not one of its six steps.

#include "processor/QuellorAudioProcessor.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace
{
constexpr int maxBlockSize = 4096;
constexpr int inputMeterIndex = 16;

/** The processor is large (its delay memory is inside it): one instance serves every input, brought back
    to the same starting point before each one, so that a crashing input reproduces on its own. */
QuellorAudioProcessor& processor()
{
    static auto* instance = new QuellorAudioProcessor();
    return *instance;
}

void fail (const char* what, double value)
{
    std::fprintf (stderr, "SequenceFuzzer: %s (%g)\n", what, value);
    std::abort();
}

juce::AudioProcessor::BusesLayout layout (int pick)
{
    const juce::AudioChannelSet sets[] = { juce::AudioChannelSet::mono(), juce::AudioChannelSet::stereo(),
                                           juce::AudioChannelSet::create5point1(),
                                           juce::AudioChannelSet::create7point1point2() };
    // The seven accepted (input, output) pairs and a rejected one.
    const int pairs[8][2] = {
        { 0, 0 }, { 0, 1 }, { 0, 2 }, { 0, 3 }, { 1, 1 }, { 1, 2 }, { 2, 3 }, { 3, 0 }
    };
    juce::AudioProcessor::BusesLayout result;
    result.inputBuses.add (sets[pairs[pick & 7][0]]);
    result.outputBuses.add (sets[pairs[pick & 7][1]]);
    return result;
}

float fuzzedValue (FuzzedDataProvider& data, bool& inRange)
{
    switch (data.ConsumeIntegralInRange (0, 4))
    {
        case 0:
            return 0.0f;
        case 1:
            return 1.0f;
        case 2:
            return data.ConsumeFloatingPointInRange (0.0f, 1.0f);
        default:
        {
            // Anything a careless host might send: negative, huge, denormal, infinite, NaN.
            const float value = data.ConsumeFloatingPoint<float>();
            if (!(value >= 0.0f && value <= 1.0f))
                inRange = false;
            return value;
        }
    }
}

template <typename SampleType>
void processBlock (QuellorAudioProcessor& p, FuzzedDataProvider& data, bool parametersInRange)
{
    const int channels = juce::jmax (p.getTotalNumInputChannels(), p.getTotalNumOutputChannels());
    const int samples = data.ConsumeIntegralInRange (0, maxBlockSize);
    const int content = data.ConsumeIntegralInRange (0, 4);
    juce::AudioBuffer<SampleType> buffer (channels, samples);
    bool boundedInput = true;

    juce::Random random (data.ConsumeIntegral<juce::int64>());
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
        {
            SampleType x = 0;
            if (content == 1)
                x = (SampleType) (2.0f * random.nextFloat() - 1.0f);
            else if (content == 2)
                x = (SampleType) (i % 64 == 0 ? 1.0 : 0.0);
            else if (content == 3)
                x = (SampleType) (16.0f * (2.0f * random.nextFloat() - 1.0f));
            else if (content == 4 && data.remaining_bytes() >= sizeof (float))
            {
                x = (SampleType) data.ConsumeFloatingPoint<float>();
                boundedInput = boundedInput && std::abs (x) <= 16;
            }
            buffer.setSample (c, i, x);
        }

    juce::MidiBuffer midi;
    p.processBlock (buffer, midi);

    const float meter = p.getParameter (inputMeterIndex);
    if (!(meter == 0.0f || meter == 0.2f || meter == 0.4f || meter == 0.6f || meter == 0.8f || meter == 1.0f))
        fail ("meter is not one of its six steps", meter);

    if (parametersInRange && boundedInput)
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < samples; ++i)
                if (!std::isfinite (buffer.getSample (c, i)))
                    fail ("non-finite output from bounded input", (double) buffer.getSample (c, i));
}
} // namespace

/** A program name of up to 40 characters drawn from the whole Unicode range. A host hands the plug-in
    a juce::String, which always holds valid text, so the name is built from code points (JUCE's own
    String::fromUTF8 must not be given invalid UTF-8: it can write past its buffer). */
static juce::String randomName (FuzzedDataProvider& data)
{
    juce::String name;
    const int length = data.ConsumeIntegralInRange (0, 40);

    for (int i = 0; i < length; ++i)
    {
        auto codePoint = data.ConsumeIntegralInRange<juce::juce_wchar> (1, 0x10ffff);
        if (codePoint >= 0xd800 && codePoint <= 0xdfff)
            codePoint = 0xfffd; // surrogates are not characters
        name += juce::String::charToString (codePoint);
    }

    return name;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* bytes, size_t size)
{
    auto& p = processor();
    FuzzedDataProvider data (bytes, size);

    // The same starting point for every input: stereo at 44.1 kHz, the reported defaults, bypass off,
    // the network cleared.
    p.setBusesLayout (layout (4));
    for (int index = 0; index < 16; ++index)
        p.setParameter (index, index == 7 ? 0.0f : p.getParameterDefaultValue (index));
    p.prepareToPlay (44100.0, maxBlockSize);
    p.reset();

    bool parametersInRange = true;

    for (int operations = 0; operations < 64 && data.remaining_bytes() > 0; ++operations)
    {
        switch (data.ConsumeIntegralInRange (0, 9))
        {
            case 0:
            case 1:
            {
                const int index = data.ConsumeIntegralInRange (-2, 18);

                // The meter slot takes only the values the engine itself writes there.
                if (index == inputMeterIndex)
                    p.setParameter (index, (float) data.ConsumeIntegralInRange (0, 5) / 5.0f);
                else
                    p.setParameter (index, fuzzedValue (data, parametersInRange));
                break;
            }
            case 2:
                p.setCurrentProgram (data.ConsumeIntegralInRange (-2, 11));
                break;
            case 3:
            {
                const double rates[] = { 8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0 };
                const double rate = data.ConsumeBool() ? rates[data.ConsumeIntegralInRange (0, 6)]
                                                       : data.ConsumeFloatingPointInRange (1000.0, 400000.0);
                p.releaseResources();
                p.prepareToPlay (rate, maxBlockSize);
                break;
            }
            case 4:
            {
                p.releaseResources();
                p.setBusesLayout (layout (data.ConsumeIntegral<int>()));
                p.prepareToPlay (p.getSampleRate() > 0 ? p.getSampleRate() : 44100.0, maxBlockSize);
                break;
            }
            case 5:
            case 6:
                processBlock<float> (p, data, parametersInRange);
                break;
            case 7:
                processBlock<double> (p, data, parametersInRange);
                break;
            case 8:
            {
                juce::MemoryBlock state;
                p.getStateInformation (state);
                p.setParameter (data.ConsumeIntegralInRange (0, 15),
                                data.ConsumeFloatingPointInRange (0.0f, 1.0f));
                p.setStateInformation (state.getData(), (int) state.getSize());
                break;
            }
            default:
            {
                if (data.ConsumeBool())
                    p.reset();

                for (int index = -1; index <= 17; ++index)
                {
                    (void) p.getParameterText (index);
                    (void) p.getParameterName (index);
                }
                if (data.ConsumeBool())
                    p.changeProgramName (p.getCurrentProgram(), randomName (data));

                for (int program = 0; program < p.getNumPrograms(); ++program)
                    (void) p.getProgramName (program);
                break;
            }
        }
    }

    return 0;
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
