// tolvmark_render: runs a WAV file through the built Tolv_mark plug-in, loaded with JUCE's plug-in
// hosting exactly as a host loads it.
//
//   tolvmark_render --plugin <Tolv_mark.vst3|Tolv_mark.lv2> --in dry.wav --out wet.wav [--program N]
//   [--float] tolvmark_render --make-dry dry.wav
//
// The rendered file carries the input followed by the reverb's tail.

#include "PluginHost.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>
#include <iostream>

namespace
{
int fail (const juce::String& message)
{
    std::cerr << "tolvmark_render: " << message << std::endl;
    return 1;
}

bool writeWav (const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate, int bits)
{
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    std::unique_ptr<juce::OutputStream> stream = file.createOutputStream();

    if (stream == nullptr)
        return false;

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (
        wav.createWriterFor (stream.get(), sampleRate, (unsigned int) audio.getNumChannels(), bits, {}, 0));

    if (writer == nullptr)
        return false;

    stream.release(); // the writer owns the stream now
    return writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
}

// A short, dry test phrase: plucked notes, a snare-like noise burst and a few clicks, all made here.
juce::AudioBuffer<float> synthesiseDrySound (double sampleRate)
{
    const int length = (int) (sampleRate * 4.0);
    juce::AudioBuffer<float> audio (2, length);
    audio.clear();

    juce::Random random (20261210);
    const double notes[] = { 220.0, 277.18, 329.63, 440.0, 329.63, 277.18 };

    for (int n = 0; n < 6; ++n)
    {
        const int start = (int) (sampleRate * (0.1 + 0.35 * n));
        const double frequency = notes[n];

        for (int i = 0; i < (int) (sampleRate * 0.3) && start + i < length; ++i)
        {
            const double t = i / sampleRate;
            const double envelope = std::exp (-t * 9.0);
            const double tone = std::sin (2.0 * juce::MathConstants<double>::pi * frequency * t) +
                                0.4 * std::sin (4.0 * juce::MathConstants<double>::pi * frequency * t);
            const auto sample = (float) (0.35 * envelope * tone);
            audio.addSample (0, start + i, sample * (n % 2 == 0 ? 1.0f : 0.6f));
            audio.addSample (1, start + i, sample * (n % 2 == 0 ? 0.6f : 1.0f));
        }
    }

    for (int hit = 0; hit < 2; ++hit)
    {
        const int start = (int) (sampleRate * (2.4 + 0.5 * hit));

        for (int i = 0; i < (int) (sampleRate * 0.12); ++i)
        {
            const double t = i / sampleRate;
            const auto sample = (float) (0.5 * std::exp (-t * 30.0) * (random.nextDouble() * 2.0 - 1.0));
            audio.addSample (0, start + i, sample);
            audio.addSample (1, start + i, sample);
        }
    }

    for (int click = 0; click < 3; ++click)
    {
        const int position = (int) (sampleRate * (3.5 + 0.1 * click));
        audio.setSample (0, position, 0.8f);
        audio.setSample (1, position, 0.8f);
    }

    return audio;
}

juce::String argumentAfter (const juce::StringArray& args, const juce::String& flag)
{
    const int index = args.indexOf (flag);
    return index >= 0 && index + 1 < args.size() ? args[index + 1] : juce::String();
}
} // namespace

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    if (const auto dryPath = argumentAfter (args, "--make-dry"); dryPath.isNotEmpty())
    {
        const juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile (dryPath);
        return writeWav (file, synthesiseDrySound (44100.0), 44100.0, 16) ? 0
                                                                          : fail ("cannot write " + dryPath);
    }

    const auto pluginPath = argumentAfter (args, "--plugin");
    const auto inPath = argumentAfter (args, "--in");
    const auto outPath = argumentAfter (args, "--out");

    if (pluginPath.isEmpty() || inPath.isEmpty() || outPath.isEmpty())
        return fail ("usage: tolvmark_render --plugin <bundle> --in <dry.wav> --out <wet.wav> [--program N]");

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto pluginFile = cwd.getChildFile (pluginPath);
    const auto format = pluginFile.hasFileExtension ("lv2") ? hostkit::Format::lv2 : hostkit::Format::vst3;

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (cwd.getChildFile (inPath)));

    if (reader == nullptr)
        return fail ("cannot read " + inPath);

    const double sampleRate = reader->sampleRate;
    const int blockSize = 512;

    juce::String error;
    auto plugin = hostkit::loadPlugin (format, pluginFile, sampleRate, blockSize, error);

    if (plugin == nullptr)
        return fail (error);

    plugin->enableAllBuses();
    auto layout = plugin->getBusesLayout();
    layout.inputBuses.getReference (0) = juce::AudioChannelSet::stereo();
    layout.outputBuses.getReference (0) = juce::AudioChannelSet::stereo();
    plugin->setBusesLayout (layout);

    if (const auto program = argumentAfter (args, "--program"); program.isNotEmpty())
    {
        // The plug-in ignores program changes in its first 200 ms, while a host restores a project.
        juce::Thread::sleep (250);
        plugin->setCurrentProgram (program.getIntValue());
    }

    plugin->prepareToPlay (sampleRate, blockSize);

    const int inputLength = (int) reader->lengthInSamples;
    const int tailLength = (int) (sampleRate * 3.0);
    const int totalLength = inputLength + tailLength;

    juce::AudioBuffer<float> audio (2, totalLength);
    audio.clear();
    reader->read (&audio, 0, inputLength, 0, true, true);

    juce::MidiBuffer midi;
    juce::AudioBuffer<float> block (2, blockSize);

    for (int position = 0; position < totalLength; position += blockSize)
    {
        const int count = juce::jmin (blockSize, totalLength - position);
        block.setSize (2, count, false, false, true);

        for (int channel = 0; channel < 2; ++channel)
            block.copyFrom (channel, 0, audio, channel, position, count);

        plugin->processBlock (block, midi);

        for (int channel = 0; channel < 2; ++channel)
            audio.copyFrom (channel, position, block, channel, 0, count);
    }

    plugin->releaseResources();

    const auto outFile = cwd.getChildFile (outPath);
    if (!writeWav (outFile, audio, sampleRate, args.contains ("--float") ? 32 : 24))
        return fail ("cannot write " + outPath);

    std::cout << "Rendered " << inPath << " through " << plugin->getName() << " ("
              << hostkit::formatName (format) << ", program \""
              << plugin->getProgramName (plugin->getCurrentProgram()) << "\")" << std::endl
              << "Wet sound written to " << outFile.getFullPathName() << std::endl;
    return 0;
}
