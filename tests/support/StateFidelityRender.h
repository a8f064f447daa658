#pragma once

// The block loop of the state-fidelity tests, shared by the in-process test (a processor made in the
// test) and the hosted one (a built binary loaded through JUCE's hosting): both compare two instances
// by what they render from the same stereo signal.

#include <juce_audio_processors/juce_audio_processors.h>

namespace testsupport
{
/** How the last block of a rendering is sent when the length is not a whole number of blocks. */
enum class LastBlock
{
    shortened,         ///< a block of just the samples that are left
    paddedWithSilence, ///< a whole block, silent after the samples that are left (as hosts send)
};

/** Renders `numSamples` of a stereo signal through `processor` in blocks of `blockSize` and returns the
    output: an impulse on both channels at sample 0, silence, then from past the middle noise in
    -0.5..0.5 from juce::Random (seed), drawn channel by channel in each block. Only the first
    `numSamples` of the output are kept. The thread that may process the instance; allocates. */
inline juce::AudioBuffer<float> renderImpulseThenNoise (juce::AudioProcessor& processor, int numSamples,
                                                        int blockSize, juce::int64 seed, LastBlock lastBlock)
{
    juce::AudioBuffer<float> output (2, numSamples);
    juce::AudioBuffer<float> block (2, blockSize);
    juce::MidiBuffer midi;
    juce::Random random (seed);

    for (int start = 0; start < numSamples; start += blockSize)
    {
        const int n = juce::jmin (blockSize, numSamples - start);
        if (lastBlock == LastBlock::shortened)
            block.setSize (2, n, false, false, true);
        else
            block.clear();

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i)
            {
                const int sample = start + i;
                block.setSample (
                    c, i, sample == 0 ? 1.0f : (sample > numSamples / 2 ? random.nextFloat() - 0.5f : 0.0f));
            }

        processor.processBlock (block, midi);

        for (int c = 0; c < 2; ++c)
            output.copyFrom (c, start, block, c, 0, n);
    }

    return output;
}
} // namespace testsupport
