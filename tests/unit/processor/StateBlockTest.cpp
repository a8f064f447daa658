// The saved-state block's reader and writer, without a processor: good blocks, each kind of damage and
// the edges of the numbers the reader takes.

#include "DamagedStateBlocks.h"
#include "FactoryProgramTable.h"
#include "processor/StateBlock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace tolvmark;

namespace
{
constexpr int programCount = 10;

using testsupport::blockAround;
using testsupport::textOf;
const std::string& header = testsupport::stateHeader;

juce::MemoryBlock elementBlock (const std::string& attributes)
{
    return blockAround (header + "<Tolvmark" + attributes + "/>");
}

std::optional<StateSettings> read (const juce::MemoryBlock& block)
{
    return readStateBlock (block.getData(), block.getSize(), programCount);
}

/** The values a processor holds after construction, by index, and the text they save as. */
const auto constructionValues = []
{
    std::array<float, kNumParameters> values{};
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = testdata::initialParameterValues[i];
    return values;
}();
const std::string constructionText =
    header +
    "<Tolvmark predelay=\"0.0\" decay=\"0.5\" low=\"0.5\" high=\"1.0\" fhighcut2=\"0.75\" fhighcut3=\"0.75\" "
    "fmix=\"1.0\" bypass=\"0\" leftlevel=\"0.5\" rightlevel=\"0.5\" centerlevel=\"0.5\" leftslevel=\"0.5\" "
    "rightslevel=\"0.5\" surroundswitch=\"0\" oversampling=\"0.0\" use_classic=\"1\" curProgram=\"0\"/>";
} // namespace

//==============================================================================
TEST (StateBlockWriter, WritesTheLayoutWithTheAttributesInTheirOrder)
{
    juce::MemoryBlock block ("leftover bytes", 14);
    writeStateBlock (constructionValues, 0, block);

    ASSERT_EQ (block.getSize(), constructionText.size() + 9);
    const auto* bytes = static_cast<const unsigned char*> (block.getData());
    const unsigned char words[] = { 0x56,
                                    0x43,
                                    0x32,
                                    0x21,
                                    (unsigned char) (constructionText.size() & 0xff),
                                    (unsigned char) (constructionText.size() >> 8),
                                    0,
                                    0 };
    EXPECT_EQ (std::memcmp (bytes, words, 8), 0);
    EXPECT_EQ (textOf (block), constructionText);
    EXPECT_EQ (bytes[block.getSize() - 1], 0);

    // Flags are written as 0 or 1 whatever non-zero value they are given; floats with their
    // single-precision digits.
    auto values = constructionValues;
    values[kBypass] = 0.5f;
    values[kUseClassic] = 0.0f;
    values[kPredelay] = 0.2f;
    writeStateBlock (values, 7, block);
    const auto text = textOf (block);
    EXPECT_NE (text.find (" bypass=\"1\" "), std::string::npos) << text;
    EXPECT_NE (text.find (" use_classic=\"0\" curProgram=\"7\"/>"), std::string::npos) << text;
    EXPECT_NE (text.find ("predelay=\"0.2000000029802322\""), std::string::npos) << text;
}

TEST (StateBlockReader, ReadsBackEveryValueTheWriterWrote)
{
    const std::array<float, kNumParameters> edited{ 0.9f, 0.1f, 0.3f, 0.4f,  0.2f,  0.35f, 0.45f, 1.0f,
                                                    0.0f, 0.7f, 0.8f, 0.25f, 0.15f, 0.05f, 1.0f,  0.65f };
    const std::array<float, kNumParameters> tiny{ std::numeric_limits<float>::denorm_min(),
                                                  1.0e-30f,
                                                  0.99999994f,
                                                  0.33333334f,
                                                  0.0f,
                                                  1.0f,
                                                  0.123456789f,
                                                  0.0f,
                                                  0.0f,
                                                  0.000501187f,
                                                  0.5f,
                                                  0.5f,
                                                  0.5f,
                                                  0.5f,
                                                  0.0f,
                                                  0.74f };

    for (const auto* values : { &constructionValues, &edited, &tiny })
    {
        for (const int program : { 0, 4, 9 })
        {
            juce::MemoryBlock block;
            writeStateBlock (*values, program, block);
            const auto settings = read (block);
            ASSERT_TRUE (settings.has_value()) << textOf (block);

            for (int i = 0; i < kNumParameters; ++i)
            {
                ASSERT_TRUE (settings->values[(size_t) i].has_value()) << i;
                EXPECT_EQ (*settings->values[(size_t) i], (*values)[(size_t) i])
                    << i << " in " << textOf (block);
            }

            EXPECT_EQ (settings->program, program);
        }
    }
}

TEST (StateBlockReader, TakesKnownAttributesInAnyOrderAndBringsValuesIntoRange)
{
    struct Case
    {
        std::string attributes;
        std::map<int, float> values; // every parameter not named here must be absent
        std::optional<int> program;
    };

    const std::vector<Case> cases = {
        { "", {}, std::nullopt },
        { " decay=\"0.75\"", { { kDecay, 0.75f } }, std::nullopt },
        { " curProgram=\"3\" fmix=\"0.25\" predelay=\"1\"", { { kMix, 0.25f }, { kPredelay, 1.0f } }, 3 },
        { " decay=\"1.5\" low=\"-2\" high=\"-0\"",
          { { kDecay, 1.0f }, { kLow, 0.0f }, { kHigh, 0.0f } },
          {} },
        // Flags are read as numbers like the others; storing them is the processor's business.
        { " use_classic=\"0\" bypass=\"2\" surroundswitch=\"0.5\"",
          { { kUseClassic, 0.0f }, { kBypass, 1.0f }, { kSurroundSwitch, 0.5f } },
          std::nullopt },
        // Values that are no finite single-precision number leave their parameter out, not the block.
        { " decay=\"nan\" fmix=\"0.25\" low=\"inf\" high=\"3.5e38\" predelay=\"\"", { { kMix, 0.25f } }, {} },
        { " low=\" 0.5\" high=\"0.5x\" fmix=\"0x1\" decay=\"1e00001\"", {}, std::nullopt },
        { " unknown=\"0.1\" decay=\"+0.125\" other=\"x\" x:y=\"1\"", { { kDecay, 0.125f } }, {} },
        { " curProgram=\"7.0\"", {}, 7 },
        { " curProgram=\"9e0\"", {}, 9 },
        { " curProgram=\"-0\"", {}, 0 },
        { " curProgram=\"10\"", {}, std::nullopt },
        { " curProgram=\"-1\"", {}, std::nullopt },
        { " curProgram=\"2.5\"", {}, std::nullopt },
        { " curProgram=\"seven\"", {}, std::nullopt },
        { " leftlevel=\"0.5\" rightlevel=\"0.25\" centerlevel=\"1\" leftslevel=\"0\" rightslevel=\"0.125\" "
          "oversampling=\"0.5\" fhighcut2=\"0.5\" fhighcut3=\"0.625\"",
          { { kLeftLevel, 0.5f },
            { kRightLevel, 0.25f },
            { kCenterLevel, 1.0f },
            { kLeftSLevel, 0.0f },
            { kRightSLevel, 0.125f },
            { kOversampling, 0.5f },
            { kHighCut2, 0.5f },
            { kHighCut3, 0.625f } },
          std::nullopt },
    };

    for (const auto& c : cases)
    {
        const auto settings = read (elementBlock (c.attributes));
        ASSERT_TRUE (settings.has_value()) << c.attributes;

        for (int i = 0; i < kNumParameters; ++i)
        {
            const auto it = c.values.find (i);
            const auto& value = settings->values[(size_t) i];

            if (it == c.values.end())
            {
                EXPECT_FALSE (value.has_value()) << c.attributes << " index " << i;
            }
            else
            {
                ASSERT_TRUE (value.has_value()) << c.attributes << " index " << i;
                EXPECT_EQ (*value, it->second) << c.attributes << " index " << i;
                EXPECT_FALSE (std::signbit (*value)) << c.attributes << " index " << i;
            }
        }

        EXPECT_EQ (settings->program, c.program) << c.attributes;
    }
}

TEST (StateBlockReader, ReadsTheNumbersItTakesAtTheirEdges)
{
    const float none = -1.0f; // marks a value the reader must leave out
    const float denormMin = std::numeric_limits<float>::denorm_min();

    struct Case
    {
        std::string text;
        float value;
    };

    const std::vector<Case> cases = {
        { "0", 0.0f },
        { "0.0", 0.0f },
        { "-0.0", 0.0f },
        { "+1", 1.0f },
        { ".5", 0.5f },
        { "5.", 1.0f },
        { "0.2000000029802322", 0.2f },
        { "1e-45", denormMin },
        { "1E-1", 0.1f },
        { "2.5e-0001", 0.25f },
        { "3.4028234663852886e38", 1.0f },  // the largest float
        { "-3.4028234663852886e38", 0.0f }, // and its negative
        { "3.5e38", none },                 // beyond single precision
        { "1e9999", none },                 // infinite as a double
        { "1e99999", none },                // more than four exponent digits
        { "1e-99999", none },
        { "0." + std::string (62, '0'), 0.0f }, // 64 characters
        { "0." + std::string (63, '0'), none }, // 65
        { "", none },
        { ".", none },
        { "-", none },
        { "1e", none },
        { "1e+", none },
        { "e5", none },
        { "1.2.3", none },
        { "--1", none },
        { "0x10", none },
        { "1f", none },
        { "nan", none },
        { "inf", none },
        { "infinity", none },
        { " 1", none },
        { "1 ", none },
        { "\xc2\xa0"
          "1",
          none }, // a no-break space
    };

    for (const auto& c : cases)
    {
        const auto settings = read (elementBlock (" decay=\"" + c.text + "\""));
        ASSERT_TRUE (settings.has_value()) << c.text;
        const auto& value = settings->values[kDecay];

        if (c.value == none)
        {
            EXPECT_FALSE (value.has_value()) << c.text;
        }
        else
        {
            ASSERT_TRUE (value.has_value()) << c.text;
            EXPECT_EQ (*value, c.value) << c.text;
        }
    }
}

TEST (StateBlockReader, RefusesEveryDamagedBlock)
{
    juce::MemoryBlock valid;
    writeStateBlock (constructionValues, 4, valid);
    ASSERT_TRUE (read (valid).has_value()); // the cases below fail for their fault alone

    // The damage every reader refuses, and the finer faults in the element this reader is tried with.
    auto cases = testsupport::damagedStateBlocks (valid);
    const std::vector<testsupport::DamagedStateBlock> elementFaults = {
        { "two blanks before an attribute", elementBlock ("  decay=\"0.1\"") },
        { "blank before the end", elementBlock (" decay=\"0.1\" ") },
        { "closed by > alone", blockAround (header + "<Tolvmark decay=\"0.1\">") },
        { "blank around the equals sign", elementBlock (" decay = \"0.1\"") },
        { "attribute without a value", elementBlock (" decay") },
        { "name starting with a digit", elementBlock (" 1decay=\"0.1\"") },
        { "empty name", elementBlock (" =\"0.1\"") },
        { "'<' in a value", elementBlock (" other=\"<\"") },
        { "tab in a value", elementBlock (" other=\"\t\"") },
        { "delete character in a value", elementBlock (" other=\"\x7f\"") },
        { "duplicate program", elementBlock (" curProgram=\"1\" curProgram=\"1\"") },
        { "overlong UTF-8", elementBlock (" x=\"\xc0\xaf\"") },
        { "UTF-8 surrogate", elementBlock (" x=\"\xed\xa0\x80\"") },
        { "UTF-8 beyond U+10FFFF", elementBlock (" x=\"\xf4\x90\x80\x80\"") },
        { "UTF-8 cut at the end of a value", elementBlock (" x=\"\xe2\x82\"") },
        { "stray continuation byte", elementBlock (" x=\"\x80\"") },
        { "five-byte lead", elementBlock (" x=\"\xf8\x88\x80\x80\x80\"") },
    };
    cases.insert (cases.end(), elementFaults.begin(), elementFaults.end());

    for (const auto& c : cases)
        EXPECT_FALSE (read (c.block).has_value()) << c.what;

    EXPECT_FALSE (readStateBlock (nullptr, 100, programCount).has_value());

    // Well-formed multi-byte characters in an unknown attribute are passed over.
    const auto withText = read (elementBlock (" x=\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xb9\" decay=\"0.5\""));
    ASSERT_TRUE (withText.has_value());
    EXPECT_EQ (withText->values[kDecay], 0.5f);
}
