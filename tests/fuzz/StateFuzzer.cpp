// libFuzzer target: the processor's setStateInformation on arbitrary bytes. (StateBlockFuzzer.cpp runs
// the block's reader and writer alone, many times faster.)
//
// Besides the sanitizers' own checks, every input must leave the processor in a state it can save,
// with every value normalised and the program index in range, and the block it then saves must be
// accepted again unchanged.

#include "processor/QuellorAudioProcessor.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

namespace
{
QuellorAudioProcessor& processor()
{
    // One instance for the whole run: it is large, and a long run of inputs against one instance is
    // what a host does to it.
    static juce::ScopedJuceInitialiser_GUI juce;
    static auto* instance = new QuellorAudioProcessor();
    return *instance;
}

void check (bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    auto& p = processor();

    p.setStateInformation (data, (int) juce::jmin (size, (std::size_t) std::numeric_limits<int>::max()));

    for (int i = 0; i < tolvmark::kNumParameters; ++i)
    {
        const auto value = p.getParameter (i);
        check (value >= 0.0f && value <= 1.0f);
    }

    check (juce::isPositiveAndBelow (p.getCurrentProgram(), p.getNumPrograms()));

    juce::MemoryBlock saved;
    p.getStateInformation (saved);
    p.setStateInformation (saved.getData(), (int) saved.getSize());

    juce::MemoryBlock savedAgain;
    p.getStateInformation (savedAgain);
    check (saved == savedAgain);

    return 0;
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
