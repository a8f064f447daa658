#pragma once

// The delay times the processor gives its lines after construction, in tenths of a second, one
// function per rule, and the bounds the modulators' accumulators turn at. The code that sets the times
// (Network.cpp, Modulators.h) and the code that sizes each line's storage for the longest time it can
// be given (DelayStorage.cpp) both use these, so the storage follows the very arithmetic that sets the
// delays.

namespace tolvmark::delaytimes
{
/** The cascade modulators' depth: their accumulators turn beyond +-depth / F. */
inline constexpr double cascadeDepth = 0.0199;

/** The diffuser modulator's accumulator turns beyond +-1. */
inline constexpr double diffuserAccumulatorBound = 1.0;

/** The density factor of an oversampling value (1 to 5 for values in 0..1). */
inline double densityFactor (float oversamplingValue) noexcept
{
    return static_cast<double> (oversamplingValue * 4.0f + 1.0f);
}

/** The pre-delay line's time for a pre-delay value. */
inline double predelay (float value) noexcept
{
    return static_cast<double> (value);
}

/** The first long tap's time for a pre-delay value. */
inline double longTap1 (float value) noexcept
{
    return static_cast<double> (value) + 0.1428;
}

/** The second long tap's time for a pre-delay value. */
inline double longTap2 (float value) noexcept
{
    return static_cast<double> (value) + 0.1513;
}

/** Output delay k (0..4: left, right, centre, left surround, right surround) for the decay coefficient
    of the high step. */
inline double outputDelay (int k, double c) noexcept
{
    switch (k)
    {
        case 0:
            return 0.02436 + 0.1 * c;
        case 1:
            return 0.01 + 0.1 * c;
        case 2:
            return 0.009436 + 0.15 * c;
        default:
            return 0.3 * c;
    }
}

/** A cascade twin's line A after a wrap (offset 0.02 / F). */
inline double cascadeLineA (double offset, double accumulator) noexcept
{
    return offset + accumulator;
}

/** A cascade twin's line B, one step ahead of line A. */
inline double cascadeLineB (double accumulator, double stepSize, double offset) noexcept
{
    return accumulator + stepSize + offset;
}

/** The diffuser's first section, line A, while the accumulator rises (rising) or falls. */
inline double diffuser1A (bool rising, double accumulator, double factor) noexcept
{
    return rising ? (accumulator * 0.0027 + 0.062083333) / factor
                  : (accumulator * 0.003 + 0.062083333) / factor;
}

/** The diffuser's first section, line B. */
inline double diffuser1B (bool rising, double accumulator, double factor, double stepSize) noexcept
{
    return diffuser1A (rising, accumulator, factor) + stepSize;
}

/** The diffuser's second section, line A. */
inline double diffuser2A (bool rising, double accumulator, double factor) noexcept
{
    return rising ? (accumulator * (-0.00075) + 0.017083333) / factor
                  : (accumulator * (-0.0075) + 0.017083333) / factor;
}

/** The diffuser's second section, line B. */
inline double diffuser2B (bool rising, double accumulator, double factor, double stepSize) noexcept
{
    return stepSize + diffuser2A (rising, accumulator, factor);
}
} // namespace tolvmark::delaytimes
