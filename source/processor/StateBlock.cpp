// The saved-state block, read and written (declared in StateBlock.h). The reader is what hostile input
// reaches first: it checks the whole block before it reads a value, and reads only the one form the
// writer makes.

#include "processor/StateBlock.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace tolvmark
{
namespace
{
/** Magic number of the state block (the layout of juce::AudioProcessor::copyXmlToBinary). */
constexpr juce::uint32 stateMagic = 0x21324356;

/** Tag of the state element, and the text every state block starts with after its two words. */
constexpr const char* stateTag = "Tolvmark";
constexpr const char* stateTextStart = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <Tolvmark";

/** Attribute of the current program index in the state element. */
constexpr const char* curProgramKey = "curProgram";

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

std::optional<StateSettings> readStateBlock (const void* data, std::size_t sizeInBytes, int programCount)
{
    if (data == nullptr || sizeInBytes < 9)
        return std::nullopt;

    const auto* bytes = static_cast<const unsigned char*> (data);
    const auto size = sizeInBytes;

    if (readLittleEndian32 (bytes) != stateMagic || readLittleEndian32 (bytes + 4) != size - 9 ||
        bytes[size - 1] != 0)
        return std::nullopt;

    const auto* text = bytes + 8;
    const auto* textEnd = text + (size - 9);
    const auto startLength = std::strlen (stateTextStart);

    if ((size_t) (textEnd - text) < startLength || std::memcmp (text, stateTextStart, startLength) != 0)
        return std::nullopt;

    AttributeText found[kNumParameters + 1];

    if (!isWellFormedUtf8 (text, (size_t) (textEnd - text)) ||
        !readAttributeList (text + startLength, textEnd, found))
        return std::nullopt;

    StateSettings settings;

    // Every value is normalised: a value outside 0..1 (only a damaged or edited block has one) is
    // brought into range, so that host and processor agree on it.
    for (int index = 0; index < kNumParameters; ++index)
        if (found[index].value != nullptr)
            if (const auto number = readNumber (found[index].value, found[index].length))
                settings.values[(size_t) index] = clippedToRange ((float) *number);

    if (const auto& programText = found[kNumParameters]; programText.value != nullptr)
        if (const auto number = readNumber (programText.value, programText.length))
            if (*number == std::floor (*number) && *number >= 0.0 && *number < (double) programCount)
                settings.program = (int) *number;

    return settings;
}

void writeStateBlock (const std::array<float, kNumParameters>& values, int program,
                      juce::MemoryBlock& destination)
{
    juce::XmlElement state (stateTag);

    for (const auto index : parameterApplicationOrder)
    {
        const auto value = values[(size_t) index];
        const auto* key = parameterTable[(size_t) index].key;

        if (isFlagParameter (index))
            state.setAttribute (key, value != 0.0f ? 1 : 0);
        else
            state.setAttribute (key, (double) value);
    }

    state.setAttribute (curProgramKey, program);

    juce::AudioProcessor::copyXmlToBinary (state, destination);
}
} // namespace tolvmark
