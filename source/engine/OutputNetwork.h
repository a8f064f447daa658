#pragma once

// The density cascade (one to four crossfaded twin-delay stages per column), the four output
// channels through the output compander, the output matrix, the five output delays, the high-cut
// filters and the levels.

#include "engine/LineCursors.h"
#include "processor/QuellorAudioProcessor.h"

inline void QuellorAudioProcessor::runDensityCascade (const double (&columnInputs)[3],
                                                      double (&cascadeOutputs)[3]) noexcept
{
    const int stages = cascadeStageCount;

    for (int column = 0; column < 3; ++column)
    {
        const double w = cascadeLfos[column].phase / 10.0;
        double x = columnInputs[column];

        for (int stage = 0; stage < stages; ++stage)
        {
            const auto& lines = tolvmark::network::cascadeLines[column][stage];
            const double a = tickLine (lines.a, x);
            const double b = tickLine (lines.b, x);
            x = b * (1.0 - w) * 0.5 + a * (1.0 + w) * 0.5;
        }

        cascadeOutputs[column] = x;
    }
}

/** The output channels a-d of one sample (the output compander's inputs). */
inline tolvmark::OutputChannels
QuellorAudioProcessor::outputChannelsOf (const double (&cascadeOutputs)[3], double tapSumX,
                                         const tolvmark::InputNetworkOutputs& input) noexcept
{
    const double o1 = cascadeOutputs[0], o2 = cascadeOutputs[1], o3 = cascadeOutputs[2];
    const double x = tapSumX;

    tolvmark::OutputChannels channels;
    channels.a = o1 - x;
    channels.b = x + o1;
    channels.c = o3 + o2 + input.diffuserTap + 2.0 * input.longTap2 + 2.0 * input.longTap1;
    channels.d = (o2 - o3) + 2.0 * input.diffuserOutput;
    return channels;
}

/** The output stage of one sample: the output compander, the output matrix, the five output delays,
    the high-cut filters and the levels. `writtenCheck` gains a sum of the values fed into the output
    delays that is finite while they are and turns non-finite for good once one is not. */
forcedinline tolvmark::WetSignals QuellorAudioProcessor::runOutputStage (tolvmark::OutputChannels channels,
                                                                         const double (&levelGains)[5],
                                                                         double& writtenCheck) noexcept
{
    using namespace tolvmark::network;
    auto& companded = signals.wire[outputCompanderBuffer];
    double a = channels.a, b = channels.b, c = channels.c, d = channels.d;
    outputCompander.processSample (a, b, c, d);
    companded[0][0] = a;
    companded[1][0] = b;
    companded[2][0] = c;
    companded[3][0] = d;

    // Output matrix and delays.
    const double matrixGain = static_cast<double> (0.4f);
    const double left = (a + c) * matrixGain;
    const double right = (a - c) * matrixGain;
    const double centre = (left + right) * 0.5;
    const double leftSurround = (b + d) * matrixGain;
    const double rightSurround = (b - d) * matrixGain;

    // The compander works in single precision: this is where a huge but finite signal overflows. The
    // left and left-surround values hold all four of its outputs, so their running sum turns non-finite
    // for good once a value fed into the delays is; while they are finite it cannot overflow (each term
    // is within a float's range).
    writtenCheck = writtenCheck + (left + leftSurround);

    const double delayedLeft = tickLine (outputDelayLines[0], left);
    const double delayedRight = tickLine (outputDelayLines[1], right);
    const double delayedCentre = tickLine (outputDelayLines[2], centre);
    const double delayedLeftSurround = tickLine (outputDelayLines[3], leftSurround);
    const double delayedRightSurround = tickLine (outputDelayLines[4], rightSurround);

    // High cut (the five channels side by side) and level.
    double cut[5] = { delayedLeft, delayedRight, delayedCentre, delayedLeftSurround, delayedRightSurround };
    highCutBank.process (cut);

    tolvmark::WetSignals wet;
    wet.left = cut[0] * levelGains[0] * 1.12;
    wet.right = cut[1] * levelGains[1] * 1.12;
    wet.centre = cut[2] * levelGains[2] * 1.12;
    wet.leftSurround = cut[3] * levelGains[3] * 1.12;
    wet.rightSurround = cut[4] * levelGains[4] * 1.12;
    return wet;
}

/** Takes the high-cut filters' and the shelves' coefficients and histories into the banks the block
    steps (they change only between blocks). */
inline void QuellorAudioProcessor::loadFilterBanks() noexcept
{
    highCutBank.load (highCutFilters);
    highShelfBank.load (highShelfFilters);
    lowShelfBank.load (lowShelfFilters);
}

/** Hands the banks' histories back to the filters at the end of a block. */
inline void QuellorAudioProcessor::storeFilterBanks() noexcept
{
    highCutBank.store (highCutFilters);
    highShelfBank.store (highShelfFilters);
    lowShelfBank.store (lowShelfFilters);
}
