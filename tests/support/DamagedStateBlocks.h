#pragma once

// Saved-state blocks built by hand for the tests of the block's reader and of the processor that loads
// it: the layout around a text, and a table of blocks damaged in the ways every loader has to refuse.

#include <juce_core/juce_core.h>

#include <cstring>
#include <string>
#include <vector>

namespace testsupport
{
/** The XML header the plug-in writes before its element. */
inline const std::string stateHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> ";

/** A block in the saved-state layout around `text`: magic, length word, text, terminating zero. */
inline juce::MemoryBlock blockAround (const std::string& text)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    out.writeInt (0x21324356);
    out.writeInt ((int) text.size());
    out.write (text.data(), text.size());
    out.writeByte (0);
    out.flush();
    return block;
}

/** The text of a block in the saved-state layout, without the two words and the terminating zero. */
inline std::string textOf (const juce::MemoryBlock& block)
{
    return std::string (static_cast<const char*> (block.getData()) + 8, block.getSize() - 9);
}

/** `valid` with its length word (bytes 4 to 7, little-endian) set to `length`. */
inline juce::MemoryBlock withLengthWord (const juce::MemoryBlock& valid, juce::uint32 length)
{
    auto block = valid;
    auto* bytes = static_cast<unsigned char*> (block.getData());
    for (int b = 0; b < 4; ++b)
        bytes[4 + b] = (unsigned char) (length >> (8 * b));
    return block;
}

struct DamagedStateBlock
{
    const char* what;
    juce::MemoryBlock block;
};

/** Blocks made from `valid`, a good block written by the plug-in, each with one fault in its layout or
    its XML that makes the whole block unreadable. */
inline std::vector<DamagedStateBlock> damagedStateBlocks (const juce::MemoryBlock& valid)
{
    const auto validText = textOf (valid);
    const auto elementText = validText.substr (stateHeader.size());
    const auto withoutTag = elementText.substr (std::strlen ("<Tolvmark"));
    const auto& header = stateHeader;

    const auto withByte = [&] (size_t offset, unsigned char value)
    {
        auto block = valid;
        static_cast<unsigned char*> (block.getData())[offset] = value;
        return block;
    };

    const auto truncated = [&] (size_t size) { return juce::MemoryBlock (valid.getData(), size); };

    return {
        { "empty", {} },
        { "only the magic", truncated (4) },
        { "only the two words", truncated (8) },
        { "two words and a zero", blockAround ("") },
        { "wrong magic", withByte (0, 0x57) },
        { "magic byte 3 wrong", withByte (3, 0x56) },
        { "truncated by one byte", truncated (valid.getSize() - 1) },
        { "truncated in the text", truncated (valid.getSize() / 2) },
        { "length word one too long", withLengthWord (valid, (juce::uint32) valid.getSize() - 8) },
        { "length word one too short", withLengthWord (valid, (juce::uint32) valid.getSize() - 10) },
        { "length word far out of range", withLengthWord (valid, 0xffffffffu) },
        { "no terminating zero", withByte (valid.getSize() - 1, 'x') },
        { "zero inside a value", withByte (valid.getSize() - 5, 0) },
        { "not XML", blockAround ("this is not a saved state at all") },
        { "another root tag", blockAround (header + "<Tolvmarx" + withoutTag) },
        { "longer root tag", blockAround (header + "<TolvmarkState" + withoutTag) },
        { "no header", blockAround (elementText) },
        { "other header", blockAround ("<?xml version=\"1.1\" encoding=\"UTF-8\"?> " + elementText) },
        { "on two lines", blockAround (header + "<Tolvmark\n" + withoutTag.substr (1)) },
        { "text after the element", blockAround (validText + " ") },
        { "a second element", blockAround (validText + "<Tolvmark decay=\"0.1\"/>") },
        { "a child element", blockAround (header + "<Tolvmark decay=\"0.1\"><x/></Tolvmark>") },
        { "unclosed element", blockAround (header + "<Tolvmark decay=\"0.1\"") },
        { "unterminated value", blockAround (header + "<Tolvmark decay=\"0.1/>") },
        { "unquoted value", blockAround (header + "<Tolvmark decay=0.1/>") },
        { "single-quoted value", blockAround (header + "<Tolvmark decay='0.1'/>") },
        { "entity in a value", blockAround (header + "<Tolvmark decay=\"0.1&#x\"/>") },
        { "duplicate attribute", blockAround (header + "<Tolvmark decay=\"0.1\" decay=\"0.2\"/>") },
        { "invalid UTF-8", blockAround (header + "<Tolvmark decay=\"0.1\" x=\"\xc3\x28\"/>") },
    };
}
} // namespace testsupport
