#include "processor/QuellorAudioProcessor.h"

#include "processor/StateBlock.h"

#include <array>
#include <cstring>

// Factory programs, program names and the processor's side of the saved state (the block itself is
// StateBlock.cpp).

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;

namespace
{
/** Milliseconds after construction during which program changes are ignored. */
constexpr juce::uint32 programChangeGuardMs = 200;

/** Longest program name in UTF-8 bytes (the name field holds a terminator after it). */
constexpr size_t maxProgramNameBytes = sizeof (ProgramRecord::name) - 1;

struct FactoryProgram
{
    const char* name;
    double values[16]; // record order
};

// clang-format off
const FactoryProgram factoryProgramTable[] = {
    //                        pre   decay low   high  hc2   hc3   mix   byp   levels x5                 surr  clas  over
    { "Standard",           { 0.0,  0.5,  0.5,  1.0,  0.75, 0.75, 1.0,  0.0,  0.5, 0.5, 0.5, 0.5, 0.5, 0.0,  1.0,  0.75 } },
    { "Female Vocal Hall",  { 0.2,  0.6,  0.6,  1.0,  1.0,  1.0,  0.5,  0.0,  0.5, 0.5, 0.5, 0.5, 0.5, 1.0,  1.0,  0.5 } },
    { "Female Vocal Room",  { 0.2,  0.3,  0.6,  0.3,  1.0,  1.0,  0.6,  0.0,  0.5, 0.5, 0.5, 0.5, 0.5, 0.0,  1.0,  0.5 } },
    { "Drum Room",          { 0.2,  0.2,  0.0,  1.0,  0.5,  0.5,  0.6,  0.0,  0.5, 0.5, 0.5, 0.5, 0.5, 1.0,  1.0,  0.5 } },
    { "Acoustic Guitar",    { 0.2,  0.6,  0.25, 1.0,  1.0,  1.0,  0.6,  0.0,  0.5, 0.5, 0.5, 0.5, 0.5, 0.0,  0.0,  0.5 } },
    { "Chorused Guitar",    { 0.2,  0.6,  0.25, 1.0,  1.0,  1.0,  0.6,  0.0,  0.5, 0.5, 0.5, 0.5, 0.5, 0.0,  1.0,  0.5 } },
    { "Large and Dreamy",   { 0.5,  0.8,  1.0,  0.75, 0.6,  0.6,  0.5,  0.0,  0.5, 0.5, 0.5, 0.5, 0.5, 1.0,  1.0,  0.0 } },
    { "Small Room",         { 0.0,  0.0,  0.75, 0.25, 0.0,  0.0,  0.75, 0.0,  0.5, 0.5, 0.5, 0.5, 0.5, 1.0,  1.0,  0.5 } },
    { "Tavrick Hall",       { 0.0,  0.8,  0.0,  1.0,  0.48, 0.48, 0.34, 0.0,  0.5, 0.5, 0.5, 0.5, 0.5, 0.0,  1.0,  0.75 } },
    { "Real Hall",          { 0.0,  0.8,  0.0,  1.0,  0.48, 0.48, 0.58, 0.0,  0.5, 0.5, 0.5, 0.5, 0.5, 1.0,  0.0,  0.5 } },
};
// clang-format on

/** Copies `text` into a name field, cut to the longest run of whole UTF-8 characters that fits. */
void storeProgramName (char (&field)[sizeof (ProgramRecord::name)], const char* text, size_t length) noexcept
{
    if (length > maxProgramNameBytes)
    {
        length = maxProgramNameBytes;

        // Byte `length` is the first one left out: while it continues a multi-byte character, that
        // character would be split, so leave it out entirely.
        while (length > 0 && (static_cast<unsigned char> (text[length]) & 0xc0) == 0x80)
            --length;
    }

    std::memset (field, 0, sizeof (field));
    std::memcpy (field, text, length);
}

} // namespace

//==============================================================================
void QuellorAudioProcessor::addFactoryPrograms()
{
    for (const auto& program : factoryProgramTable)
    {
        ProgramRecord record;
        std::memcpy (record.values, program.values, sizeof (record.values));
        storeProgramName (record.name, program.name, std::strlen (program.name));
        factoryPrograms.add (record);
    }
}

int QuellorAudioProcessor::getNumPrograms()
{
    return 10;
}

int QuellorAudioProcessor::getCurrentProgram()
{
    return curProgram.load (std::memory_order_relaxed);
}

void QuellorAudioProcessor::setCurrentProgram (int index)
{
    // A host that is still restoring a new instance may send a program change first: ignore changes in
    // the first moments after construction so that the restored settings survive.
    const auto elapsed =
        millisecondClock() - (juce::uint32) programChangeStamp.load (std::memory_order_relaxed);

    if (elapsed < programChangeGuardMs)
        return;

    if (!juce::isPositiveAndBelow (index, factoryPrograms.size()))
        return;

    curProgram.store (index, std::memory_order_relaxed);

    const auto record = factoryPrograms[index];

    float before[kNumParameters];
    for (int i = 0; i < kNumParameters; ++i)
        before[i] = parameterValue (i);

    int indexes[kNumParameters];
    float values[kNumParameters];
    for (int k = 0; k < kNumParameters; ++k)
    {
        indexes[k] = parameterApplicationOrder[(size_t) k];
        values[k] = (float) record.values[parameterTable[(size_t) indexes[k]].recordEntry];
    }

    // One change: no block hears half a program, and the network is cleared once.
    applyParameterSet (indexes, values, kNumParameters);

    // Hosts keep their own copy of every value (JUCE's VST3 wrapper drops a host set that equals that
    // copy): tell them each value the program changed, as a preset load through the host would.
    for (int i = 0; i < kNumParameters; ++i)
    {
        const auto after = parameterValue (i);

        if (after != before[i])
            sendParamChangeMessageToListeners (i, after);
    }
}

const juce::String QuellorAudioProcessor::getProgramName (int index)
{
    if (!juce::isPositiveAndBelow (index, factoryPrograms.size()))
        return {};

    const auto& name = factoryPrograms.getReference (index).name;
    return juce::String::fromUTF8 (name, (int) strnlen (name, maxProgramNameBytes));
}

void QuellorAudioProcessor::changeProgramName (int index, const juce::String& newName)
{
    if (!juce::isPositiveAndBelow (index, factoryPrograms.size()))
        return;

    const auto utf8 = newName.toUTF8();
    storeProgramName (factoryPrograms.getReference (index).name, utf8.getAddress(),
                      std::strlen (utf8.getAddress()));
}

//==============================================================================
void QuellorAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    std::array<float, kNumParameters> values{};
    for (int index = 0; index < kNumParameters; ++index)
        values[(size_t) index] = parameterValue (index);

    writeStateBlock (values, curProgram.load (std::memory_order_relaxed), destData);
}

void QuellorAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    // Everything is checked and read before anything is applied, so a block that is not valid changes
    // nothing.
    if (sizeInBytes <= 0)
        return;

    const auto settings = readStateBlock (data, (size_t) sizeInBytes, factoryPrograms.size());

    if (!settings.has_value())
        return;

    int indexes[kNumParameters];
    float values[kNumParameters];
    int count = 0;

    for (const auto index : parameterApplicationOrder)
    {
        if (const auto& value = settings->values[(size_t) index]; value.has_value())
        {
            indexes[count] = index;
            values[count] = *value;
            ++count;
        }
    }

    // One change, as a program is: no block runs between two of the restored values.
    if (count > 0)
        applyParameterSet (indexes, values, count);

    if (settings->program.has_value())
        curProgram.store (*settings->program, std::memory_order_relaxed);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
