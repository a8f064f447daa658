// libFuzzer target: the state block's reader and writer on arbitrary bytes, without a processor.
//
// Besides the sanitizers' own checks: whatever the reader accepts holds values in 0..1 and a program
// index in range; writing what it read gives a block that the reader reads back to the same values
// (the flags as 0 or 1, as the processor stores them) and that is the plug-in's normalised block.

#include "StateBlockCheck.h"
#include "processor/StateBlock.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace
{
constexpr int programCount = 10;

void check (bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    using namespace tolvmark;

    const auto settings = readStateBlock (data, size, programCount);

    if (!settings.has_value())
        return 0;

    // What a processor would hold after the restore: the values read, the initial ones elsewhere.
    std::array<float, kNumParameters> values{};

    for (int i = 0; i < kNumParameters; ++i)
    {
        if (const auto& value = settings->values[(size_t) i]; value.has_value())
        {
            check (*value >= 0.0f && *value <= 1.0f && !std::signbit (*value));
            values[(size_t) i] = isFlagParameter (i) ? (*value != 0.0f ? 1.0f : 0.0f) : *value;
        }
        else
        {
            values[(size_t) i] = initialValueOf (i);
        }
    }

    if (settings->program.has_value())
        check (*settings->program >= 0 && *settings->program < programCount);

    const int program = settings->program.value_or (0);

    juce::MemoryBlock written;
    writeStateBlock (values, program, written);
    check (isANormalisedStateBlock (written.getData(), (int) written.getSize()));

    const auto again = readStateBlock (written.getData(), written.getSize(), programCount);
    check (again.has_value() && again->program == program);

    for (int i = 0; i < kNumParameters; ++i)
        check (again->values[(size_t) i] == values[(size_t) i]);

    return 0;
}
