#pragma once

// The five modulators, advanced once per sample before the input is taken: the three cascade
// modulators (identical in both voicings), the tank gain wobble and the input diffuser crossfade.

#include "engine/LineCursors.h"
#include "processor/QuellorAudioProcessor.h"

inline void QuellorAudioProcessor::setUpModulators() noexcept
{
    // The steps are tied to 44.1 kHz whatever the host's rate.
    for (int k = 0; k < 3; ++k)
    {
        cascadeLfos[k].stepUp = modulationRates[k] * (400.0 / 44100.0);
        cascadeLfos[k].stepDown = -(modulationRates[k] * (400.0 / 44100.0));
    }

    const double gainStep = static_cast<double> (static_cast<float> (40.0 / 44100.0));
    gainLfo.stepUp = modulationRates[3] * gainStep;
    gainLfo.stepDown = -(modulationRates[3] * gainStep);

    updateModulatorConstants();
}

inline void QuellorAudioProcessor::updateModulatorConstants() noexcept
{
    auto& k = modulatorConstants;
    k.cascadeOffset = 0.02 / oversamplingFactor;
    k.cascadeBound = modulationDepth / oversamplingFactor;
    k.modernGainStep = modulationRates[3] * (40.0 / 44100.0) / oversamplingFactor;
    k.modernGainBound = 1.0 / oversamplingFactor;
    k.modernDiffuserStep = modulationRates[4] * (40.0 / 44100.0) / oversamplingFactor;
}

inline void QuellorAudioProcessor::stepCascadeLfo (int column) noexcept
{
    auto& lfo = cascadeLfos[column];
    const double divisor = static_cast<double> (stepDecayDivisor);
    const double stepSize = modulationStepSizes[column];
    const double offset = modulatorConstants.cascadeOffset; // 0.02 / F
    const double bound = modulatorConstants.cascadeBound;   // depth / F

    // Lines A, or lines B, of the column's four twin-delay stages.
    const auto& stages = tolvmark::network::cascadeLines[column];
    const auto setLinesA = [this, &stages] (double time) noexcept
    {
        for (const auto& stage : stages)
            retuneLine (stage.a, time);
    };
    const auto setLinesB = [this, &stages] (double time) noexcept
    {
        for (const auto& stage : stages)
            retuneLine (stage.b, time);
    };

    if (lfo.direction == 1)
    {
        lfo.phase = lfo.phase + lfo.stepDown;
        lfo.stepDown = lfo.stepDown - lfo.stepDown / divisor;

        if (lfo.phase < -10.0)
        {
            lfo.phase = 10.0;
            lfo.accumulator = lfo.accumulator + stepSize;
            setLinesA (offset + lfo.accumulator);
        }

        if (lfo.phase == 10.0)
        {
            setLinesB (lfo.accumulator + stepSize + offset);
            if (lfo.accumulator > bound)
                lfo.direction = -1;
        }
    }

    if (lfo.direction == -1)
    {
        lfo.phase = lfo.phase + lfo.stepUp;
        lfo.stepUp = lfo.stepUp - lfo.stepUp / divisor;

        if (lfo.phase > 10.0)
        {
            lfo.phase = -10.0;
            lfo.accumulator = lfo.accumulator - stepSize;
            setLinesA (offset + lfo.accumulator);
        }

        if (lfo.phase == -10.0)
        {
            setLinesB (lfo.accumulator + stepSize + offset);
            if (lfo.accumulator < -bound)
                lfo.direction = 1;
        }
    }
}

template <bool classic> inline void QuellorAudioProcessor::stepGainLfo() noexcept
{
    // Both voicings reflect the phase at their bounds; the classic one moves by the block-head steps
    // between -1 and +1, the modern one by a step recomputed every sample between -1/F and +1/F,
    // reflecting about +-1 (so it jumps to just inside +-(2 - 1/F) when F > 1).
    double stepUp, stepDown, bound;

    if constexpr (classic)
    {
        stepUp = gainLfo.stepUp;
        stepDown = gainLfo.stepDown;
        bound = 1.0;
    }
    else
    {
        const double step = modulatorConstants.modernGainStep; // rate x 40 / 44,100 / F
        stepUp = step;
        stepDown = -step;
        bound = modulatorConstants.modernGainBound; // 1 / F
    }

    if (gainLfo.direction == 1)
    {
        gainLfo.phase = gainLfo.phase + stepUp;
        if (gainLfo.phase > bound)
        {
            gainLfo.phase = 2.0 - gainLfo.phase;
            gainLfo.direction = -1;
        }
    }

    if (gainLfo.direction == -1)
    {
        gainLfo.phase = gainLfo.phase + stepDown;
        if (gainLfo.phase < -bound)
        {
            gainLfo.phase = -2.0 - gainLfo.phase;
            gainLfo.direction = 1;
        }
    }
}

template <bool classic> inline void QuellorAudioProcessor::stepDiffuserLfo() noexcept
{
    // The classic voicing holds the diffuser crossfade where it is.
    if constexpr (!classic)
    {
        using tolvmark::network::diffuserLines;
        auto& lfo = diffuserLfo;
        const double factor = oversamplingFactor;
        const double step = modulatorConstants.modernDiffuserStep; // rate x 40 / 44,100 / F
        const double stepSize = modulationStepSizes[3];

        if (lfo.direction == 1)
        {
            lfo.phase = lfo.phase - step;

            if (lfo.phase < -1.0)
            {
                lfo.phase = 1.0;
                lfo.accumulator = lfo.accumulator + stepSize;
                retuneLine (diffuserLines[0].a, (lfo.accumulator * 0.0027 + 0.062083333) / factor);
                retuneLine (diffuserLines[1].a, (lfo.accumulator * (-0.00075) + 0.017083333) / factor);
            }

            if (lfo.phase == 1.0)
            {
                retuneLine (diffuserLines[0].b, (lfo.accumulator * 0.0027 + 0.062083333) / factor + stepSize);
                retuneLine (diffuserLines[1].b,
                            stepSize + (lfo.accumulator * (-0.00075) + 0.017083333) / factor);
                if (lfo.accumulator > 1.0)
                    lfo.direction = -1;
            }
        }

        if (lfo.direction == -1)
        {
            lfo.phase = lfo.phase + step;

            if (lfo.phase > 1.0)
            {
                lfo.phase = -1.0;
                lfo.accumulator = lfo.accumulator - stepSize;
                retuneLine (diffuserLines[0].a, (lfo.accumulator * 0.003 + 0.062083333) / factor);
                retuneLine (diffuserLines[1].a, (lfo.accumulator * (-0.0075) + 0.017083333) / factor);
            }

            if (lfo.phase == -1.0)
            {
                retuneLine (diffuserLines[0].b, (lfo.accumulator * 0.003 + 0.062083333) / factor + stepSize);
                retuneLine (diffuserLines[1].b,
                            stepSize + (lfo.accumulator * (-0.0075) + 0.017083333) / factor);
                if (lfo.accumulator < -1.0)
                    lfo.direction = 1;
            }
        }
    }
}
