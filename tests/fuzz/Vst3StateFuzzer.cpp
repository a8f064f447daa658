// libFuzzer target: the VST3 wrapper's state handling, on whole component states.
//
// The target has the (patched) VST3 wrapper compiled in, as the plug-in binary has, and drives it only
// through its VST3 entry point and interfaces: every input is handed to one component as its state
// (IComponent::setState), JUCE's private-data trailer and all. Besides the sanitizers' own checks (and
// libFuzzer's, which reports an exception that leaves the call), the state the component saves next
// must hold the plug-in's block with every value normalised, and a good state handed over after it must
// come back exactly.

#include "StateBlockCheck.h"
#include "Vst3ComponentEntry.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
void check (bool condition)
{
    if (!condition)
        std::abort();
}

juce::MemoryBlock stateOf (Steinberg::Vst::IComponent& component)
{
    Steinberg::MemoryStream stream;
    check (component.getState (&stream) == Steinberg::kResultOk);
    return juce::MemoryBlock (stream.getData(), (size_t) stream.getSize());
}

void handOver (Steinberg::Vst::IComponent& component, const void* data, size_t size)
{
    // The stream reads the input in place.
    Steinberg::MemoryStream stream (const_cast<void*> (data), (Steinberg::TSize) size);
    component.setState (&stream);
}

struct Component
{
    Steinberg::Vst::IComponent* component = nullptr;
    juce::MemoryBlock good;
};

Component& theComponent()
{
    // One component for the whole run, as a host keeps one through a session.
    static Component c = []
    {
        Component made;
        made.component = createInitialisedComponent();
        check (made.component != nullptr);
        made.good = stateOf (*made.component);
        return made;
    }();

    return c;
}

/** The plug-in's block at the start of a component state, read as the plug-in writes it: magic, length
    word, text, terminator; every parameter attribute between 0 and 1. */
bool holdsANormalisedBlock (const juce::MemoryBlock& state)
{
    const auto* bytes = static_cast<const unsigned char*> (state.getData());

    if (state.getSize() < 9 || std::memcmp (bytes, "VC2!", 4) != 0)
        return false;

    const auto length =
        (size_t) bytes[4] | ((size_t) bytes[5] << 8) | ((size_t) bytes[6] << 16) | ((size_t) bytes[7] << 24);

    if (length + 9 > state.getSize())
        return false;

    return isANormalisedStateBlock (bytes, (int) (length + 9));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    auto& c = theComponent();

    handOver (*c.component, data, size);
    check (holdsANormalisedBlock (stateOf (*c.component)));

    handOver (*c.component, c.good.getData(), c.good.getSize());
    check (stateOf (*c.component) == c.good);

    return 0;
}
