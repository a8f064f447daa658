#pragma once

namespace tolvmark
{
/** The state of one modulator: a phase that moves by a small step every sample and turns or wraps at
    fixed bounds. The cascade and diffuser modulators also walk an accumulator that retunes their
    delay lines at each wrap. Audio thread only (set up once by the processor's constructor). */
struct CrossfadeLfo
{
    double phase = 0.0;
    int direction = 1;
    double stepUp = 0.0;
    double stepDown = 0.0;
    double accumulator = 0.0;
};

/** Values the modulators use every sample that only change with parameters, worked out at the block
    head with the same operations, in the same order, as a per-sample computation would use, so the
    results are the same to the bit. Audio thread. */
struct ModulatorConstants
{
    double cascadeOffset = 0.0;      // 0.02 / F: added to the cascade lines' times
    double cascadeBound = 0.0;       // depth / F: where the cascade accumulators turn
    double modernGainStep = 0.0;     // rate x 40 / 44,100 / F
    double modernGainBound = 1.0;    // 1 / F
    double modernDiffuserStep = 0.0; // rate x 40 / 44,100 / F
};

/** Signal values the engine keeps between samples, and the work-buffer channel pointers it takes at
    the head of each block. Audio thread; cleared by the processor's reset. */
struct EngineSignals
{
    /** The three input diffuser sections' weighted outputs of the previous sample (s1, s2, s3). */
    double diffuserStates[3]{};

    /** Tank taps T1..T12 (index 0..11); T4, T8 and T12 feed their columns back at the next sample. */
    double tankTaps[12]{};

    /** Write pointers to channel c of work buffer b, taken once per block. */
    double* wire[9][6]{};

    /** Zeroes the signal values (not the pointers). */
    void clear() noexcept
    {
        for (auto& s : diffuserStates)
            s = 0.0;
        for (auto& t : tankTaps)
            t = 0.0;
    }
};

/** Where the engine writes and reads one delay line during a run of samples in which neither of the
    line's positions wraps: sample k of the run writes write[k], then reads read[k]. Audio thread. */
struct LineCursor
{
    double* write = nullptr;
    const double* read = nullptr;
};

/** A set of delay lines ticked together, and the run they are in: block samples start to end - 1.
    Audio thread. */
struct LineRuns
{
    const int* lines = nullptr;
    int count = 0;
    int start = 0;
    int end = 0; // a block's first sample starts the first run
};

/** The wobbling feedback gains (g1, widened) of tank columns 2 and 3 for one sample. */
struct TankGains
{
    double column2 = 0.0, column3 = 0.0;
};

/** The five wet outputs of one sample, in the order left, right, centre, left surround, right surround. */
struct WetSignals
{
    double left = 0.0, right = 0.0, centre = 0.0, leftSurround = 0.0, rightSurround = 0.0;
};

/** What the parameters fix for a whole block (they change only between blocks), read at its head. */
struct BlockSettings
{
    double levelGains[5]{}; // left, right, centre, left surround, right surround: level x 2.5
    float mix = 1.0f;       // dry/wet mix
    bool reversed = false;  // surround switch: front and rear exchanged
};

/** The four output channels a-d of one sample, before the output compander. */
struct OutputChannels
{
    double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
};

/** The signals the input network hands to the tank and the output network within one sample. */
struct InputNetworkOutputs
{
    double diffuserOutput = 0.0; // t3, also scaled by 0.8 in the modern path
    double diffuserTap = 0.0;    // v, the first diffuser section's input
    double longTap1 = 0.0;
    double longTap2 = 0.0;
};
/** What the network hands to the cascade and the output stage for one sample. */
struct NetworkOutputs
{
    double columnInputs[3]{}; // the cascade's inputs, one per column
    double tapSumX = 0.0;     // the tap sum x of the output channels
    InputNetworkOutputs input;
};

} // namespace tolvmark
