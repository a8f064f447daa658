// Sizing the delay lines' storage: each line the engine ticks gets storage for the longest delay it can
// be given until the next preparation, over every parameter value and every state its modulator can
// reach from where it stands; lines the engine never ticks get none.

#include "processor/QuellorAudioProcessor.h"

#include "engine/DelayTimes.h"

#include <algorithm>
#include <cmath>

using namespace tolvmark;
using namespace tolvmark::network;

void QuellorAudioProcessor::sizeDelayStorage() noexcept
{
    // Every line starts from the delay it holds now: preparation may have left one beyond the capacity,
    // and the tank's lines and the diffuser's third section keep theirs for good.
    int longest[numLines];
    for (int n = 0; n < numLines; ++n)
        longest[n] = delayLine (n).delaySamples;

    const auto reach = [this, &longest] (int n, double time) noexcept
    { longest[n] = std::max (longest[n], SimpleDelay::samplesFor (time, delayLine (n).sampleRate)); };

    // The modulators walk their accumulators by one sample (stepSize) per wrap and turn once past their
    // bounds, so from a value a an accumulator stays within min (a, -bound) - step and
    // max (a, bound) + step for good. The density factor F (1 to 5) divides the bounds and offsets;
    // every time below is monotonic in the accumulator and in F, so its extremes are at the corners.
    const float oversamplingEnds[2] = { 0.0f, 1.0f };
    const double factors[2] = { delaytimes::densityFactor (oversamplingEnds[0]),
                                delaytimes::densityFactor (oversamplingEnds[1]) };
    const double greatestCascadeBound = delaytimes::cascadeDepth / factors[0];

    bool everyRateUsable = std::isfinite (currentSampleRate) && currentSampleRate > 0.0;
    for (const double step : modulationStepSizes)
        everyRateUsable = everyRateUsable && std::isfinite (step) && step > 0.0;

    if (everyRateUsable)
    {
        // Pre-delay and long taps: the pre-delay value's range.
        for (const float value : { 0.0f, 1.0f })
        {
            reach (predelayLine, delaytimes::predelay (value));
            reach (longTapLines[0], delaytimes::longTap1 (value));
            reach (longTapLines[1], delaytimes::longTap2 (value));
        }

        // Output delays: every high step.
        for (int step = 0; step < 4; ++step)
            for (int k = 0; k < 5; ++k)
                reach (outputDelayLines[k],
                       delaytimes::outputDelay (k, static_cast<double> (decayCoefficients[(size_t) step])));

        // The cascade's twin delays: every stage of a column follows the column's modulator.
        for (int column = 0; column < 3; ++column)
        {
            const double stepSize = modulationStepSizes[column];
            const double a = cascadeLfos[column].accumulator;
            const double accumulators[2] = { std::min (a, -greatestCascadeBound) - stepSize,
                                             std::max (a, greatestCascadeBound) + stepSize };

            for (const double factor : factors)
                for (const double accumulator : accumulators)
                {
                    const double offset = 0.02 / factor;
                    for (const auto& stage : cascadeLines[column])
                    {
                        reach (stage.a, delaytimes::cascadeLineA (offset, accumulator));
                        reach (stage.b, delaytimes::cascadeLineB (accumulator, stepSize, offset));
                    }
                }
        }

        // The diffuser's first two sections (the third keeps its time).
        {
            const double stepSize = modulationStepSizes[3];
            const double a = diffuserLfo.accumulator;
            const double bound = delaytimes::diffuserAccumulatorBound;
            const double accumulators[2] = { std::min (a, -bound) - stepSize,
                                             std::max (a, bound) + stepSize };

            for (const double factor : factors)
                for (const double accumulator : accumulators)
                    for (const bool rising : { true, false })
                    {
                        reach (diffuserLines[0].a, delaytimes::diffuser1A (rising, accumulator, factor));
                        reach (diffuserLines[0].b,
                               delaytimes::diffuser1B (rising, accumulator, factor, stepSize));
                        reach (diffuserLines[1].a, delaytimes::diffuser2A (rising, accumulator, factor));
                        reach (diffuserLines[1].b,
                               delaytimes::diffuser2B (rising, accumulator, factor, stepSize));
                    }
        }
    }
    else
    {
        // A rate or step that is not a positive number leaves the walks unbounded: full storage.
        for (auto& samples : longest)
            samples = SimpleDelay::kCapacity - 1;
    }

    for (int n = 0; n < numLines; ++n)
        delayLine (n).setStorageFor (isIdleLine (n) ? -1 : longest[n]);

    for (auto& written : lineWrittenSinceClear) // every line has just been cleared
        written = false;
}

size_t QuellorAudioProcessor::delayStorageBytes() const noexcept
{
    size_t bytes = 0;
    for (int n = 0; n < numLines; ++n)
        bytes += delayLine (n).storageBytes();
    return bytes;
}
