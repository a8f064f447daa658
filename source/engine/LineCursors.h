#pragma once

// Delay-line access for the per-sample loop. A block is cut into runs of samples in which no ticked
// line's write or read position wraps and no delay changes; within a run each tick is a store and a
// load at the run position, with the same slots and the same order as SimpleDelay::tick. A run ends
// early when a modulator retunes a line. Used by the engine's stages (and the tests' stage runner).

#include "processor/QuellorAudioProcessor.h"

#include <algorithm>

/** Lists the lines the cascade loop ticks: the twin delays of the stages in use. (The network loop's
    and the output stage's lines are fixed: tolvmark::network::networkLoopLines and outputDelayLines.) */
inline void QuellorAudioProcessor::listCascadeLoopLines() noexcept
{
    numCascadeLoopLines = 0;
    for (const auto& column : tolvmark::network::cascadeLines)
        for (int stage = 0; stage < cascadeStageCount && stage < 4; ++stage)
        {
            cascadeLoopLines[numCascadeLoopLines++] = column[stage].a;
            cascadeLoopLines[numCascadeLoopLines++] = column[stage].b;
        }
}

/** Starts a run on each of the given lines and returns its length: at most maxLength, at least 1. */
inline int QuellorAudioProcessor::beginLineRuns (const int* lines, int count, int maxLength) noexcept
{
    int length = maxLength;
    for (int j = 0; j < count; ++j)
    {
        const int n = lines[j];
        auto& cursor = lineCursors[n];
        length = std::min (length, delayLine (n).beginRun (cursor.write, cursor.read, maxLength));
        lineWrittenSinceClear[n] = true;
#if JUCE_DEBUG
        lineInRun[n] = true;
#endif
    }

    runPosition = 0;
    return length;
}

/** Ends the current run of the given lines after `length` samples, leaving each line's positions as its
    own ticks would have. */
inline void QuellorAudioProcessor::endLineRuns (const int* lines, int count, int length) noexcept
{
    for (int j = 0; j < count; ++j)
    {
        const int n = lines[j];
        delayLine (n).endRun (length, lineCursors[n].read);
#if JUCE_DEBUG
        lineInRun[n] = false;
#endif
    }
}

/** Ends the current runs of a set at block sample `sample` and starts new ones there. */
inline void QuellorAudioProcessor::restartLineRuns (tolvmark::LineRuns& runs, int sample,
                                                    int numSamples) noexcept
{
    endLineRuns (runs.lines, runs.count, sample - runs.start);
    runs.start = sample;
    runs.end = sample + beginLineRuns (runs.lines, runs.count, numSamples - sample);
}

/** Before a set's ticks at block sample `sample`: starts new runs when the current ones are used up,
    and sets the run position. */
inline void QuellorAudioProcessor::enterLineRuns (tolvmark::LineRuns& runs, int sample,
                                                  int numSamples) noexcept
{
    if (sample == runs.end)
        restartLineRuns (runs, sample, numSamples);
    runPosition = sample - runs.start;
}

/** Ends a set's runs at the end of the block. */
inline void QuellorAudioProcessor::finishLineRuns (tolvmark::LineRuns& runs, int numSamples) noexcept
{
    endLineRuns (runs.lines, runs.count, numSamples - runs.start);
}

/** SimpleDelay::tick on line n at the current run position; n must be one of the lines whose run is
    open (checked in debug builds). */
inline double QuellorAudioProcessor::tickLine (int n, double input) noexcept
{
#if JUCE_DEBUG
    jassert (lineInRun[n]);
#endif
    auto& cursor = lineCursors[n];
    cursor.write[runPosition] = input;
    return cursor.read[runPosition];
}

/** Sets line n's delay time; a change of its sample count ends the current run at this sample. */
inline void QuellorAudioProcessor::retuneLine (int n, double time) noexcept
{
    auto& line = delayLine (n);
    const int before = line.delaySamples;
    line.setDelayTime (time);
    if (line.delaySamples != before)
        linesRetuned = true;
}
