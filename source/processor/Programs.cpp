#include "processor/QuellorAudioProcessor.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

// Factory programs, program names and the saved-state block.

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;

namespace
{
/** Milliseconds after construction during which program changes are ignored. */
constexpr juce::uint32 programChangeGuardMs = 200;

/** Longest program name in UTF-8 bytes (the name field holds a terminator after it). */
constexpr size_t maxProgramNameBytes = sizeof (ProgramRecord::name) - 1;

/** Magic number of the state block (the layout of juce::AudioProcessor::copyXmlToBinary). */
constexpr juce::uint32 stateMagic = 0x21324356;

/** Tag of the state element, and the text every state block starts with after its two words. */
constexpr const char* stateTag = "Tolvmark";
constexpr const char* stateTextStart = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <Tolvmark";

/** Attribute of the current program index in the state element. */
constexpr const char* curProgramKey = "curProgram";

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

juce::uint32 readLittleEndian32 (const unsigned char* bytes) noexcept
{
    return (juce::uint32) bytes[0] | ((juce::uint32) bytes[1] << 8) | ((juce::uint32) bytes[2] << 16) |
           ((juce::uint32) bytes[3] << 24);
}

/** True when the `length` bytes are well-formed UTF-8 without a zero byte. */
bool isWellFormedUtf8 (const unsigned char* bytes, size_t length) noexcept
{
    size_t i = 0;

    while (i < length)
    {
        const auto lead = bytes[i];

        if (lead == 0)
            return false;

        if (lead < 0x80)
        {
            ++i;
            continue;
        }

        size_t extra = 0;
        juce::uint32 codePoint = 0;

        if ((lead & 0xe0) == 0xc0)
        {
            extra = 1;
            codePoint = lead & 0x1fu;
        }
        else if ((lead & 0xf0) == 0xe0)
        {
            extra = 2;
            codePoint = lead & 0x0fu;
        }
        else if ((lead & 0xf8) == 0xf0)
        {
            extra = 3;
            codePoint = lead & 0x07u;
        }
        else
        {
            return false;
        }

        if (extra >= length - i)
            return false;

        for (size_t k = 1; k <= extra; ++k)
        {
            const auto next = bytes[i + k];

            if ((next & 0xc0) != 0x80)
                return false;

            codePoint = (codePoint << 6) | (next & 0x3fu);
        }

        static constexpr juce::uint32 smallestOfLength[] = { 0, 0x80, 0x800, 0x10000 };

        if (codePoint < smallestOfLength[extra] || codePoint > 0x10ffff ||
            (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;

        i += extra + 1;
    }

    return true;
}

/** Reads a number written as optional sign, digits with an optional fraction and an optional exponent
    (nothing else, no blanks). Answers nullopt for any other text and for a value that is not a finite
    single-precision number. */
std::optional<double> readNumber (const unsigned char* text, size_t length)
{
    constexpr size_t maxNumberLength = 64;

    if (length == 0 || length > maxNumberLength)
        return std::nullopt;

    const auto isDigit = [] (unsigned char c) { return c >= '0' && c <= '9'; };
    size_t i = 0;

    if (text[i] == '-' || text[i] == '+')
        ++i;

    size_t mantissaDigits = 0;
    while (i < length && isDigit (text[i]))
        ++i, ++mantissaDigits;

    if (i < length && text[i] == '.')
        for (++i; i < length && isDigit (text[i]); ++i)
            ++mantissaDigits;

    if (mantissaDigits == 0)
        return std::nullopt;

    if (i < length && (text[i] == 'e' || text[i] == 'E'))
    {
        ++i;

        if (i < length && (text[i] == '-' || text[i] == '+'))
            ++i;

        size_t exponentDigits = 0;
        while (i < length && isDigit (text[i]))
            ++i, ++exponentDigits;

        if (exponentDigits == 0 || exponentDigits > 4)
            return std::nullopt;
    }

    if (i != length)
        return std::nullopt;

    char buffer[maxNumberLength + 1]{};
    std::memcpy (buffer, text, length);
    juce::CharPointer_ASCII reader (buffer);
    const auto value = juce::CharacterFunctions::readDoubleValue (reader);

    if (!std::isfinite (value) || std::abs (value) > (double) std::numeric_limits<float>::max())
        return std::nullopt;

    return value;
}

/** One attribute of the state element: where its value's text lies in the block. */
struct AttributeText
{
    const unsigned char* value = nullptr;
    size_t length = 0;
};

/** Reads the attribute list of the state element, from just after its tag to the end of the text,
    which must be ` name="value"` items and then "/>". Values may not hold '"', '<', '&' or control
    characters (the state's values are plain numbers, so no entity is ever written). Known attributes
    (the parameter keys, then curProgram) are filled into `found`; others are passed over. Answers
    false when the text is not in this form or a known attribute appears twice. */
bool readAttributeList (const unsigned char* p, const unsigned char* end,
                        AttributeText (&found)[kNumParameters + 1])
{
    const auto isNameChar = [] (unsigned char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-' || c == '.' || c == ':';
    };

    for (;;)
    {
        if (end - p == 2 && p[0] == '/' && p[1] == '>')
            return true;

        if (p == end || *p != ' ')
            return false;

        const auto* name = ++p;
        while (p != end && isNameChar (*p))
            ++p;

        const auto nameLength = (size_t) (p - name);

        if (nameLength == 0 || (*name >= '0' && *name <= '9') || *name == '-' || *name == '.')
            return false;

        if (end - p < 2 || p[0] != '=' || p[1] != '"')
            return false;

        p += 2;
        const auto* value = p;

        while (p != end && *p != '"')
        {
            if (*p == '<' || *p == '&' || *p < 0x20 || *p == 0x7f)
                return false;

            ++p;
        }

        if (p == end)
            return false;

        const auto valueLength = (size_t) (p - value);
        ++p;

        for (int k = 0; k <= kNumParameters; ++k)
        {
            const auto* key = k < kNumParameters ? parameterTable[(size_t) k].key : curProgramKey;

            if (std::strlen (key) == nameLength && std::memcmp (key, name, nameLength) == 0)
            {
                if (found[k].value != nullptr)
                    return false;

                found[k] = { value, valueLength };
            }
        }
    }
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
    juce::XmlElement state (stateTag);

    for (const auto index : parameterApplicationOrder)
    {
        if (auto* flag = flagParameter (index))
            state.setAttribute (parameterTable[(size_t) index].key,
                                flag->load (std::memory_order_relaxed) != 0 ? 1 : 0);
        else
            state.setAttribute (parameterTable[(size_t) index].key,
                                (double) floatParameter (index)->load (std::memory_order_relaxed));
    }

    state.setAttribute (curProgramKey, curProgram.load (std::memory_order_relaxed));

    copyXmlToBinary (state, destData);
}

void QuellorAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    // Only the layout getStateInformation writes is accepted: magic, length word, the header and one
    // self-closing element on one line, a terminating zero. Everything is checked and read before
    // anything is applied, so a block that is not valid changes nothing.
    if (data == nullptr || sizeInBytes < 9)
        return;

    const auto* bytes = static_cast<const unsigned char*> (data);
    const auto size = (size_t) sizeInBytes;

    if (readLittleEndian32 (bytes) != stateMagic || readLittleEndian32 (bytes + 4) != size - 9 ||
        bytes[size - 1] != 0)
        return;

    const auto* text = bytes + 8;
    const auto* textEnd = text + (size - 9);
    const auto startLength = std::strlen (stateTextStart);

    if ((size_t) (textEnd - text) < startLength || std::memcmp (text, stateTextStart, startLength) != 0)
        return;

    AttributeText found[kNumParameters + 1];

    if (!isWellFormedUtf8 (text, (size_t) (textEnd - text)) ||
        !readAttributeList (text + startLength, textEnd, found))
        return;

    std::optional<double> values[kNumParameters];

    for (int index = 0; index < kNumParameters; ++index)
        if (found[index].value != nullptr)
            values[index] = readNumber (found[index].value, found[index].length);

    std::optional<int> program;

    if (const auto& programText = found[kNumParameters]; programText.value != nullptr)
        if (const auto number = readNumber (programText.value, programText.length))
            if (*number == std::floor (*number) && *number >= 0.0 &&
                *number < (double) factoryPrograms.size())
                program = (int) *number;

    // Every value is normalised: a value outside 0..1 (only a damaged or edited block has one) is
    // brought into range, so that host and processor agree on it.
    int indexes[kNumParameters];
    float clipped[kNumParameters];
    int count = 0;

    for (const auto index : parameterApplicationOrder)
    {
        if (values[index].has_value())
        {
            indexes[count] = index;
            clipped[count] = juce::jlimit (0.0f, 1.0f, (float) *values[index]);
            ++count;
        }
    }

    // One change, as a program is: no block runs between two of the restored values.
    if (count > 0)
        applyParameterSet (indexes, clipped, count);

    if (program.has_value())
        curProgram.store (*program, std::memory_order_relaxed);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
