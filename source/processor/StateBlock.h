#pragma once

#include "processor/Parameters.h"

#include <juce_core/juce_core.h>

#include <array>
#include <cstddef>
#include <optional>

/** The saved-state block: JUCE's binary XML layout (magic 0x21324356, a length word, the text, a
    terminating zero) around one self-closing element "Tolvmark" whose attributes are the parameter keys,
    in the order values are applied, then "curProgram".

    Pure functions of their arguments, independent of any processor: any thread may call them.
*/
namespace tolvmark
{
/** What a valid state block carries. */
struct StateSettings
{
    /** The values of parameters 0..15 by index, each brought into 0..1. A parameter the block does not
        name, or names with a value that is not a finite single-precision number, has none. */
    std::array<std::optional<float>, kNumParameters> values{};

    /** The program index, when the block names one that is a whole number below the program count. */
    std::optional<int> program;
};

/** Reads a state block. Only the layout writeStateBlock writes is accepted: the magic, a length word that
    matches the size, the XML header and one self-closing element on one line, well-formed UTF-8 without
    zero bytes and a terminating zero; each known attribute at most once, other attributes passed over.
    Answers nothing for any block not in this form (so that it changes nothing). Any thread; allocates
    nothing of its own. */
std::optional<StateSettings> readStateBlock (const void* data, std::size_t sizeInBytes, int programCount);

/** Replaces `destination` with the state block of these values (parameters 0..15 by index; the flag
    parameters are written as 0 or 1, the others as doubles) and program index. Any thread; allocates the
    block and the XML element. */
void writeStateBlock (const std::array<float, kNumParameters>& values, int program,
                      juce::MemoryBlock& destination);
} // namespace tolvmark
