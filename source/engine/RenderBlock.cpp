// The audio block: block head, then the per-sample work (one version per voicing) in chunks of up to
// 256 samples. Each chunk goes through a few loops, each with its stages in the order the signal flows:
// what depends on the input alone (input taking, meter, input filters, the tank's gain modulator), the
// network with its feedback (diffuser, tank, tap mixers), then what only follows from the network (the
// density cascade, then the output stage and the dry/wet mix into the host's channels). Every stage
// keeps its own state, so each sees the same values in the same order as in one loop over the samples.

#include "engine/InputNetwork.h"
#include "engine/LineCursors.h"
#include "engine/Modulators.h"
#include "engine/OutputNetwork.h"
#include "engine/Tank.h"
#include "engine/NetworkMap.h"

#include <algorithm>
#include <cmath>

using namespace tolvmark;
namespace network = tolvmark::network;

void QuellorAudioProcessor::updateMeter (float blockPeak) noexcept
{
    if (blockPeak > meterPeak)
        meterPeak = blockPeak;
    else
        meterPeak = static_cast<float> (static_cast<double> (meterPeak) * 0.9);

    int step;
    if (meterPeak < 0.0631)
        step = 0;
    else if (meterPeak < 0.251)
        step = 1;
    else if (meterPeak < 0.501)
        step = 2;
    else if (meterPeak < 1.0)
        step = 3;
    else if (meterPeak < 2.0)
        step = 4;
    else
        step = 5;

    inputMeter.store (static_cast<float> (step) / 5.0f, std::memory_order_relaxed);
}

template <bool classic, typename SampleType>
void QuellorAudioProcessor::renderSamples (SampleType* const* host, int numChannels, int numSamples,
                                           const BlockSettings& settings) noexcept
{
    float blockPeak = 0.0f;

    const SampleType dryGain = static_cast<SampleType> (1.0f - settings.mix);
    const double wetGain = static_cast<double> (settings.mix);
    const bool reversed = settings.reversed;

    // Checks of the values the block feeds into the delay lines where one can first turn non-finite:
    // finite while those are, non-finite for good once one is not (see the end of the block).
    tolvmark::FloatQuad tankWrittenCheck{};
    double outputWrittenCheck = 0.0;

    // Filters of one kind step side by side within the block (see FilterBanks.h).
    loadFilterBanks();

    // Delay lines are written and read in runs of samples (see LineCursors.h); each loop below has its
    // own set of lines.
    listCascadeLoopLines();
    tolvmark::LineRuns networkRuns{ network::networkLoopLines.data(),
                                    (int) network::networkLoopLines.size() };
    tolvmark::LineRuns cascadeRuns{ cascadeLoopLines, numCascadeLoopLines };
    tolvmark::LineRuns outputRuns{ network::outputDelayLines, 5 };

    for (int chunkStart = 0; chunkStart < numSamples; chunkStart += kChunk)
    {
        const int chunkEnd = std::min (numSamples, chunkStart + kChunk);

        // What depends on the host's input alone, or on nothing at all, runs ahead for the whole chunk:
        // the input taking, the input meter and the input network's filters (compander, mono sum, band
        // limit), then the tank's gain modulator. Working copies of the
        // compander and the band-limit filters let the compiler keep their state in registers.
        Compander compander = inputCompander;
        Lowpass4 bandLimit0 = bandLimitFilters[0];
        Lowpass4 bandLimit1 = bandLimitFilters[1];

        for (int i = chunkStart; i < chunkEnd; ++i)
        {
            // Input taking: the first two channels feed the reverb, every channel feeds the meter.
            // A non-finite sample would poison the feedback network for good, so the engine hears
            // silence instead (the dry path keeps what the host gave).
            const SampleType hostLeft = host[0][i];
            const SampleType hostRight = numChannels > 1 ? host[1][i] : hostLeft;
            const double inputLeft =
                std::isfinite (hostLeft) ? static_cast<double> (hostLeft * SampleType (0.5)) : 0.0;
            const double inputRight =
                std::isfinite (hostRight) ? static_cast<double> (hostRight * SampleType (0.5)) : 0.0;

            for (int c = 0; c < numChannels; ++c)
            {
                const SampleType x = host[c][i];
                if (x > static_cast<SampleType> (blockPeak) && std::isfinite (x))
                    blockPeak = static_cast<float> (x);
            }

            bandLimitedChunk[i - chunkStart] =
                runInputFilters<classic> (compander, bandLimit0, bandLimit1, inputLeft, inputRight);

            // Input meter: in the classic voicing it follows every sample.
            if constexpr (classic)
                updateMeter (blockPeak);
        }

        inputCompander = compander;
        bandLimitFilters[0] = bandLimit0;
        bandLimitFilters[1] = bandLimit1;

        // The tank's gain modulator and the feedback gains it moves depend on nothing else.
        for (int i = chunkStart; i < chunkEnd; ++i)
        {
            stepGainLfo<classic>();
            tankGainChunk[i - chunkStart] = wobbleTankGains<classic>();
        }

        // The network loop: the diffuser's modulator, the input network and the tank, whose feedback
        // ties each sample to the ones before.
        for (int i = chunkStart; i < chunkEnd; ++i)
        {
            enterLineRuns (networkRuns, i, numSamples);

            // The diffuser's modulator; a retuned line starts a new run before anything is ticked.
            stepDiffuserLfo<classic>();
            if (linesRetuned)
            {
                linesRetuned = false;
                restartLineRuns (networkRuns, i, numSamples);
            }

            // Input network (pre-delay, long taps, diffuser), from the band-limited input taken ahead.
            const auto input = runInputNetwork<classic> (bandLimitedChunk[i - chunkStart]);

            // Tank and tap mixers.
            runTank<classic> (input.diffuserOutput, tankGainChunk[i - chunkStart], tankWrittenCheck);
            auto& handed = networkChunk[i - chunkStart];
            runTapMixers (handed.tapSumX, handed.columnInputs);
            handed.input = input;
        }

        // The cascade loop: the cascade, with its modulators, follows from what the network handed on,
        // and nothing in the network depends on it.
        for (int i = chunkStart; i < chunkEnd; ++i)
        {
            enterLineRuns (cascadeRuns, i, numSamples);

            // Cascade modulators; a retuned line starts a new run before anything is ticked.
            stepCascadeLfo (0);
            stepCascadeLfo (1);
            stepCascadeLfo (2);
            if (linesRetuned)
            {
                linesRetuned = false;
                restartLineRuns (cascadeRuns, i, numSamples);
            }

            // Density cascade, then the output channels.
            const auto& handed = networkChunk[i - chunkStart];
            double cascadeOutputs[3];
            runDensityCascade (handed.columnInputs, cascadeOutputs);
            outputChunk[i - chunkStart] = outputChannelsOf (cascadeOutputs, handed.tapSumX, handed.input);
        }

        // The output stage loop.
        for (int i = chunkStart; i < chunkEnd; ++i)
        {
            enterLineRuns (outputRuns, i, numSamples);

            // Output compander, matrix, output delays, high cut and levels.
            const auto wet =
                runOutputStage (outputChunk[i - chunkStart], settings.levelGains, outputWrittenCheck);

            // Dry/wet mix into the host channels.

            const double frontLeft = reversed ? wet.leftSurround : wet.left;
            const double frontRight = reversed ? wet.rightSurround : wet.right;
            const double rearLeft = reversed ? wet.left : wet.leftSurround;
            const double rearRight = reversed ? wet.right : wet.rightSurround;

            const auto mixInto = [&] (int channel, double wetSample) noexcept {
                host[channel][i] = static_cast<SampleType> (dryGain * host[channel][i] + wetGain * wetSample);
            };

            if (numChannels == 1)
            {
                const double h = wetGain * 0.5;
                host[0][i] =
                    static_cast<SampleType> (dryGain * host[0][i] + (frontLeft * h + frontRight * h));
            }
            else
            {
                mixInto (0, frontLeft);
                mixInto (1, frontRight);

                if (numChannels >= 6)
                {
                    mixInto (2, wet.centre);
                    host[3][i] = static_cast<SampleType> (dryGain * host[3][i]);
                    mixInto (4, rearLeft);
                    mixInto (5, rearRight);
                }

                if (numChannels == 10)
                    for (int c = 6; c < 10; ++c)
                        host[c][i] = SampleType (0);
            }
        }
    }

    finishLineRuns (networkRuns, numSamples);
    finishLineRuns (cascadeRuns, numSamples);
    finishLineRuns (outputRuns, numSamples);
    storeFilterBanks();

    // The network never stays non-finite. The host's samples reach it only when finite, but a huge one
    // can still overflow where the signal passes through single precision, and the feedback would keep
    // the result for good: a block that leaves a non-finite value in the network's memory or state ends
    // with the network cleared, as reset() clears it. Everything past the band limit is double precision
    // on values a float bounds, except the tank's shelves and the output compander: the two checks cover
    // every value fed from there into a delay line. Every other line is fed from the band limit (whose
    // recursion keeps a non-finite value for good, so the state check sees it) or from what lines read.
    const bool tankWritesFinite = std::isfinite (tankWrittenCheck[0]) &&
                                  std::isfinite (tankWrittenCheck[1]) && std::isfinite (tankWrittenCheck[2]);
    if (!tankWritesFinite || !std::isfinite (outputWrittenCheck) || !networkStateIsFinite())
        clearNetwork();

    if constexpr (!classic)
        updateMeter (blockPeak);
}

template <typename SampleType> void QuellorAudioProcessor::renderBlock (juce::AudioBuffer<SampleType>& buffer)
{
    // Only the channel counts of the supported layouts are processed; any other buffer (and one whose
    // count differs from the output layout's) passes untouched and feeds no meter.
    const int numChannels = buffer.getNumChannels();
    const bool supportedCount = numChannels == 1 || numChannels == 2 || numChannels == 6 || numChannels == 10;
    const int channelsToProcess =
        supportedCount && numChannels == getTotalNumOutputChannels() ? numChannels : 0;

    // Channels a layout has only on its output side (mono in, stereo out, say) arrive holding whatever
    // the host's buffer held: they carry no input, so they start from silence.
    for (int c = getTotalNumInputChannels(); c < channelsToProcess; ++c)
        buffer.clear (c, 0, buffer.getNumSamples());

    // A bypassed block changes nothing else.
    if (bypass.load (std::memory_order_relaxed) != 0)
        return;

    const juce::ScopedNoDenormals noDenormals;

    BlockSettings settings;
    settings.levelGains[0] = static_cast<double> (leftLevel.load (std::memory_order_relaxed) * 2.5f);
    settings.levelGains[1] = static_cast<double> (rightLevel.load (std::memory_order_relaxed) * 2.5f);
    settings.levelGains[2] = static_cast<double> (centerLevel.load (std::memory_order_relaxed) * 2.5f);
    settings.levelGains[3] = static_cast<double> (leftSLevel.load (std::memory_order_relaxed) * 2.5f);
    settings.levelGains[4] = static_cast<double> (rightSLevel.load (std::memory_order_relaxed) * 2.5f);
    settings.mix = fmix.load (std::memory_order_relaxed);
    settings.reversed = surroundSwitch.load (std::memory_order_relaxed) != 0;

    for (int b = 0; b < 9; ++b)
        for (int c = 0; c < wireBuffers[b].getNumChannels(); ++c)
            signals.wire[b][c] = wireBuffers[b].getWritePointer (c);

    SampleType* host[10]{};
    for (int c = 0; c < channelsToProcess; ++c)
        host[c] = buffer.getWritePointer (c);

    setUpModulators();

    // Mixer gains change only with parameters, that is between blocks (the tank's wobbling gains are
    // recomputed every sample).
    for (auto& mixer : mixers)
        mixer.updateGains();

    const bool classic = useClassic.load (std::memory_order_relaxed) != 0;
    const int numSamples = buffer.getNumSamples();

    if (channelsToProcess == 0)
        return;

    if (numSamples <= 0)
    {
        // An empty block still lowers the modern meter once; the classic meter moves only per sample.
        if (!classic)
            updateMeter (0.0f);
        return;
    }

    if (classic)
        renderSamples<true> (host, channelsToProcess, numSamples, settings);
    else
        renderSamples<false> (host, channelsToProcess, numSamples, settings);
}

void QuellorAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    renderBlock (buffer);
}

// Never called by a host (the processor does not support double precision); the tests use it.
void QuellorAudioProcessor::processBlock (juce::AudioBuffer<double>& buffer, juce::MidiBuffer&)
{
    renderBlock (buffer);
}
