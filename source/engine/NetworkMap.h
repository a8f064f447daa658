#pragma once

// The reverb network's map: every delay line, mixer and work buffer of the processor by the role it
// plays, and the lines each of the block renderer's loops ticks. The processor keeps its members by
// number (delay lines 0..68, mixers 0..8, work buffers 0..8); everything that runs the network names
// them through this header. See docs/engine.md for the signal flow.

#include <array>
#include <cstddef>

namespace tolvmark::network
{
/** The two lines of a crossfaded twin delay: both are fed the same sample, and the output mixes their
    reads by the weight of the pair's modulator. */
struct TwinLines
{
    int a, b;
};

//==============================================================================
// Delay lines.

/** The input diffuser's three sections, each a twin delay (sections 1 to 3). */
inline constexpr TwinLines diffuserLines[3] = { { 0, 3 }, { 1, 4 }, { 2, 5 } };

/** The pre-delay: the band-limited mono input enters the network here. */
inline constexpr int predelayLine = 24;

/** The two long taps fed from the pre-delay's output: the first (pre-delay + 0.1428) and the second
    (pre-delay + 0.1513), in tenths of a second. */
inline constexpr int longTapLines[2] = { 31, 32 };

/** The tank's three recirculating columns, four lines each; their outputs are the taps T1..T12 in this
    order, and the last line of each column feeds the column back. */
inline constexpr int tankChains[3][4] = { { 57, 58, 59, 60 }, { 61, 62, 63, 64 }, { 65, 66, 67, 68 } };

/** The density cascade's twin delays, by column (1 to 3) and stage (1 to 4). */
inline constexpr TwinLines cascadeLines[3][4] = { { { 25, 26 }, { 39, 40 }, { 45, 46 }, { 51, 52 } },
                                                  { { 27, 28 }, { 41, 42 }, { 47, 48 }, { 53, 54 } },
                                                  { { 29, 30 }, { 43, 44 }, { 49, 50 }, { 55, 56 } } };

/** The output delays: left, right, centre, left surround, right surround. */
inline constexpr int outputDelayLines[5] = { 34, 35, 36, 37, 38 };

/** Lines that are built and kept but carry no signal. */
inline constexpr int idleLines[19] = {
    6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 33
};

/** Number of delay lines. */
inline constexpr int numLines = 69;

//==============================================================================
// Mixers and the work buffers they run on (each buffer holds its mixer's output on channel 0 and its
// inputs on channels 1 and 2).

/** The tank columns' input mixers (the diffuser output plus the column's feedback), columns 1 to 3. */
inline constexpr int tankMixers[3] = { 1, 7, 8 };
inline constexpr int tankBuffers[3] = { 0, 5, 6 };

/** The tap mixer of the tap sum x (T3, T6, T12), which feeds the output channels. */
inline constexpr int tapSumMixer = 2;
inline constexpr int tapSumBuffer = 1;

/** The tap mixers of the density cascade's column inputs, columns 1 to 3. */
inline constexpr int cascadeInputMixers[3] = { 3, 4, 5 };
inline constexpr int cascadeInputBuffers[3] = { 2, 3, 4 };

/** Mixers that are built and kept but never run. */
inline constexpr int idleMixers[2] = { 0, 6 };

/** The companders' work buffers: the input pair (left, right) and the four output channels a..d. */
inline constexpr int inputCompanderBuffer = 7;
inline constexpr int outputCompanderBuffer = 8;

/** True for a delay line that no stage ticks. */
constexpr bool isIdleLine (int n) noexcept
{
    for (const int idle : idleLines)
        if (idle == n)
            return true;
    return false;
}

/** Number of mixers and of work buffers. */
inline constexpr int numMixers = 9;
inline constexpr int numWireBuffers = 9;

//==============================================================================
// The lines each loop of the block renderer ticks once per sample.

/** The input network's lines: pre-delay, long taps, the diffuser's sections. */
inline constexpr std::array<int, 9> inputNetworkLines = {
    predelayLine,       longTapLines[1],    longTapLines[0],    diffuserLines[0].a, diffuserLines[0].b,
    diffuserLines[1].a, diffuserLines[1].b, diffuserLines[2].a, diffuserLines[2].b
};

/** The network loop's lines: the input network's and the tank's. */
inline constexpr std::array<int, 21> networkLoopLines = []
{
    std::array<int, 21> lines{};
    int n = 0;
    for (int line : inputNetworkLines)
        lines[(size_t) n++] = line;
    for (const auto& column : tankChains)
        for (int line : column)
            lines[(size_t) n++] = line;
    return lines;
}();

/** The most lines the cascade loop ticks (four stages in each column). */
inline constexpr int maxCascadeLoopLines = 3 * 4 * 2;

//==============================================================================
// The map checks itself at compile time: every delay line, mixer and work buffer has exactly one role
// (or is idle). Each function returns the first member that is not named exactly once, the number of
// members when a role names one outside the range, or -1 when the map is whole; a failing check shows
// the value.

namespace mapcheck
{
template <int count> struct Uses
{
    int times[count]{};
    bool outOfRange = false;

    constexpr void add (int member) noexcept
    {
        if (member < 0 || member >= count)
            outOfRange = true;
        else
            ++times[member];
    }

    constexpr void add (TwinLines lines) noexcept
    {
        add (lines.a);
        add (lines.b);
    }

    template <typename Member, int size> constexpr void add (const Member (&members)[size]) noexcept
    {
        for (const auto& member : members)
            add (member);
    }

    constexpr int firstNotNamedOnce() const noexcept
    {
        if (outOfRange)
            return count;
        for (int member = 0; member < count; ++member)
            if (times[member] != 1)
                return member;
        return -1;
    }
};

constexpr int firstLineNotNamedOnce() noexcept
{
    Uses<numLines> uses;
    uses.add (diffuserLines);
    uses.add (predelayLine);
    uses.add (longTapLines);
    uses.add (tankChains);
    uses.add (cascadeLines);
    uses.add (outputDelayLines);
    uses.add (idleLines);
    return uses.firstNotNamedOnce();
}

constexpr int firstMixerNotNamedOnce() noexcept
{
    Uses<numMixers> uses;
    uses.add (tankMixers);
    uses.add (tapSumMixer);
    uses.add (cascadeInputMixers);
    uses.add (idleMixers);
    return uses.firstNotNamedOnce();
}

constexpr int firstWireBufferNotNamedOnce() noexcept
{
    Uses<numWireBuffers> uses;
    uses.add (tankBuffers);
    uses.add (tapSumBuffer);
    uses.add (cascadeInputBuffers);
    uses.add (inputCompanderBuffer);
    uses.add (outputCompanderBuffer);
    return uses.firstNotNamedOnce();
}
} // namespace mapcheck

static_assert (mapcheck::firstLineNotNamedOnce() == -1,
               "a delay line 0..68 has no role or more than one (or a role names a line outside 0..68)");
static_assert (mapcheck::firstMixerNotNamedOnce() == -1,
               "a mixer 0..8 has no role or more than one (or a role names a mixer outside 0..8)");
static_assert (mapcheck::firstWireBufferNotNamedOnce() == -1,
               "a work buffer 0..8 has no role or more than one (or a role names a buffer outside 0..8)");
} // namespace tolvmark::network
