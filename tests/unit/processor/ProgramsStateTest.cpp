// Factory programs, program names and the saved-state block of the processor.

#include "DamagedStateBlocks.h"
#include "FactoryProgramTable.h"
#include "FakeClock.h"
#include "ProcessorFixture.h"
#include "processor/QuellorAudioProcessor.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;

namespace
{
//==============================================================================
// The clock the tests move by hand, so the early-change guard is tested without sleeping.
using testsupport::fakeClock;
using testsupport::fakeNow;

/** A processor built at fake time `constructedAt`, with the clock then moved past the guard. */
std::unique_ptr<QuellorAudioProcessor> makeProcessor (juce::uint32 constructedAt = 5000)
{
    fakeNow = constructedAt;
    auto processor = testsupport::ProcessorFixture().clock (&fakeClock).make();
    fakeNow = constructedAt + 1000;
    return processor;
}

/** Records the setParameter calls that reach the processor, then stores as the processor does. */
struct RecordingProcessor : public QuellorAudioProcessor
{
    using QuellorAudioProcessor::QuellorAudioProcessor;

    void setParameter (int index, float value) override
    {
        calls.push_back (index);
        QuellorAudioProcessor::setParameter (index, value);
    }

    std::vector<int> calls;
};

/** Collects the parameter changes a processor reports to its host. */
struct ChangeRecorder : public juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        changes[index] = value;
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    std::map<int, float> changes;
};

std::string stateOf (QuellorAudioProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return juce::String::toHexString (block.getData(), (int) block.getSize(), 0).toStdString();
}

juce::MemoryBlock stateBlock (QuellorAudioProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

using testsupport::blockAround;
using testsupport::textOf;
const std::string& header = testsupport::stateHeader;

/** Program names and values in parameter index order 0..15 (not the record order of the program list),
    from the shared table. */
struct ExpectedProgram
{
    const char* name;
    const float* values; // 16, by parameter index
};

const auto expectedPrograms = []
{
    std::array<ExpectedProgram, 10> programs{};
    for (size_t p = 0; p < programs.size(); ++p)
        programs[p] = { testdata::factoryProgramNames[p], testdata::factoryPrograms[p] };
    return programs;
}();

const std::string initialStateText =
    header +
    "<Tolvmark predelay=\"0.0\" decay=\"0.5\" low=\"0.5\" high=\"1.0\" fhighcut2=\"0.75\" fhighcut3=\"0.75\" "
    "fmix=\"1.0\" bypass=\"0\" leftlevel=\"0.5\" rightlevel=\"0.5\" centerlevel=\"0.5\" leftslevel=\"0.5\" "
    "rightslevel=\"0.5\" surroundswitch=\"0\" oversampling=\"0.0\" use_classic=\"1\" curProgram=\"0\"/>";
} // namespace

//==============================================================================
TEST (FactoryPrograms, ListsTenNamedProgramsWithoutApplyingOneAtConstruction)
{
    auto processor = makeProcessor();

    EXPECT_EQ (processor->getNumPrograms(), 10);
    EXPECT_EQ (processor->getCurrentProgram(), 0);

    for (int p = 0; p < 10; ++p)
        EXPECT_EQ (processor->getProgramName (p), expectedPrograms[p].name) << p;

    EXPECT_EQ (processor->getProgramName (8), "Tavrick Hall");
    EXPECT_EQ (processor->getProgramName (10), "");
    EXPECT_EQ (processor->getProgramName (-1), "");

    // Program 0 has oversampling 0.75 and surround 0; construction leaves the initial values.
    EXPECT_EQ (processor->getParameter (kOversampling), 0.0f);
    EXPECT_EQ (processor->getParameter (kPredelay), 0.0f);
}

TEST (FactoryPrograms, ProgramFourStoresItsValuesAsOneChange)
{
    fakeNow = 100;
    auto recording = std::make_unique<RecordingProcessor> (&fakeClock); // far too large for the stack
    auto& processor = *recording;
    fakeNow = 400;

    processor.setCurrentProgram (4);

    EXPECT_EQ (processor.getCurrentProgram(), 4);
    EXPECT_EQ (processor.getParameter (kUseClassic), 0.0f);
    EXPECT_EQ (processor.getParameter (kSurroundSwitch), 0.0f);
    EXPECT_EQ (processor.getParameter (kOversampling), 0.5f);
    EXPECT_EQ (processor.getParameterText (kOversampling), "3 x");
    EXPECT_EQ (processor.getParameter (kMix), 0.6f);
    EXPECT_EQ (processor.getParameter (kPredelay), 0.2f);

    // The values are stored together under the callback lock, not by one setParameter call each (each
    // of which would let a block run in between).
    EXPECT_TRUE (processor.calls.empty());
}

TEST (FactoryPrograms, EveryProgramStoresItsTableValuesByParameterIndex)
{
    auto processor = makeProcessor();

    // Start from values no program has, so every store is seen.
    for (int p = 9; p >= 0; --p)
    {
        for (int i = 0; i < kNumParameters; ++i)
            processor->setParameter (i, isFlagParameter (i) ? 1.0f - expectedPrograms[p].values[i] : 0.123f);

        processor->setCurrentProgram (p);
        EXPECT_EQ (processor->getCurrentProgram(), p);

        for (int i = 0; i < kNumParameters; ++i)
            EXPECT_EQ (processor->getParameter (i), expectedPrograms[p].values[i])
                << "program " << p << " index " << i;
    }
}

TEST (FactoryPrograms, IndexesOutsideTheListChangeNothing)
{
    auto processor = makeProcessor();
    processor->setCurrentProgram (3);
    processor->setParameter (kDecay, 0.9f);
    const auto before = stateOf (*processor);

    for (const int index : { 10, -1, 11, 1000, std::numeric_limits<int>::min() })
    {
        processor->setCurrentProgram (index);
        EXPECT_EQ (processor->getCurrentProgram(), 3) << index;
        EXPECT_EQ (stateOf (*processor), before) << index;
    }
}

TEST (FactoryPrograms, ChangesWithinTwoHundredMillisecondsOfConstructionAreIgnored)
{
    // The second case wraps the 32-bit millisecond counter between construction and the change.
    for (const juce::uint32 constructedAt : { 1000u, 0xffffff80u })
    {
        fakeNow = constructedAt;
        auto instance = std::make_unique<QuellorAudioProcessor> (&fakeClock);
        auto& processor = *instance;

        fakeNow = constructedAt + 199;
        processor.setCurrentProgram (4);
        EXPECT_EQ (processor.getCurrentProgram(), 0) << constructedAt;
        EXPECT_EQ (processor.getParameter (kUseClassic), 1.0f) << constructedAt;
        EXPECT_EQ (processor.getParameter (kMix), 1.0f) << constructedAt;

        fakeNow = constructedAt + 200;
        processor.setCurrentProgram (4);
        EXPECT_EQ (processor.getCurrentProgram(), 4) << constructedAt;
        EXPECT_EQ (processor.getParameter (kMix), 0.6f) << constructedAt;

        // The guard counts from construction only: a change right after an accepted one is applied.
        fakeNow = constructedAt + 201;
        processor.setCurrentProgram (9);
        EXPECT_EQ (processor.getCurrentProgram(), 9) << constructedAt;
        EXPECT_EQ (processor.getParameter (kMix), 0.58f) << constructedAt;
    }
}

TEST (FactoryPrograms, TellsTheHostEveryValueAProgramChanged)
{
    auto processor = makeProcessor();
    ChangeRecorder recorder;
    processor->addListener (&recorder);

    processor->setCurrentProgram (4);

    // From the initial values, program 4 changes these parameters and leaves the others.
    const std::map<int, float> expected{ { kPredelay, 0.2f },   { kDecay, 0.6f },       { kLow, 0.25f },
                                         { kHighCut2, 1.0f },   { kHighCut3, 1.0f },    { kMix, 0.6f },
                                         { kUseClassic, 0.0f }, { kOversampling, 0.5f } };
    EXPECT_EQ (recorder.changes, expected);

    // The same program again changes nothing, so nothing is reported.
    recorder.changes.clear();
    processor->setCurrentProgram (4);
    EXPECT_TRUE (recorder.changes.empty());

    // Restoring a state is not a program change: the host reads the restored values itself.
    auto other = makeProcessor();
    other->setCurrentProgram (6);
    const auto block = stateBlock (*other);
    processor->setStateInformation (block.getData(), (int) block.getSize());
    EXPECT_EQ (processor->getParameter (kDecay), 0.8f);
    EXPECT_TRUE (recorder.changes.empty());

    processor->removeListener (&recorder);
}

//==============================================================================
TEST (ProgramNames, RenamesRoundTripAndLongNamesAreCutAtACharacterBoundary)
{
    auto processor = makeProcessor();

    struct Case
    {
        const char* utf8In;
        const char* utf8Out;
    };

    const Case cases[] = {
        { "Plate", "Plate" },
        { "Halle f\xc3\xbcr R\xc3\xa4ume \xe2\x82\xac",
          "Halle f\xc3\xbcr R\xc3\xa4ume \xe2\x82\xac" },         // 21 bytes
        { "abcdefghijklmnopqrstuvw", "abcdefghijklmnopqrstuvw" }, // exactly 23
        { "abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrstuvw" },
        { "abcdefghijklmnopqrstuv\xc3\xa9", "abcdefghijklmnopqrstuv" },   // 2-byte char at 23..24
        { "abcdefghijklmnopqrstu\xe2\x82\xac", "abcdefghijklmnopqrstu" }, // 3-byte char at 22..24
        { "abcdefghijklmnopqrs\xf0\x9f\x8e\xb9x", "abcdefghijklmnopqrs\xf0\x9f\x8e\xb9" }, // 4-byte char fits
        { "abcdefghijklmnopqrstu\xf0\x9f\x8e\xb9", "abcdefghijklmnopqrstu" }, // 4-byte char at 22..25
        { "", "" },
    };

    for (const auto& c : cases)
    {
        processor->changeProgramName (3, juce::String::fromUTF8 (c.utf8In));
        const auto name = processor->getProgramName (3);
        EXPECT_EQ (name, juce::String::fromUTF8 (c.utf8Out)) << c.utf8In;
        EXPECT_LE (std::strlen (name.toRawUTF8()), 23u) << c.utf8In;
    }

    // Other programs keep their names; indexes outside the list are ignored.
    processor->changeProgramName (10, "Nope");
    processor->changeProgramName (-1, "Nope");
    EXPECT_EQ (processor->getProgramName (2), "Female Vocal Room");
    EXPECT_EQ (processor->getProgramName (9), "Real Hall");
    EXPECT_EQ (processor->getProgramName (10), "");

    // Names are not part of the saved state.
    processor->changeProgramName (0, "Renamed");
    EXPECT_EQ (textOf (stateBlock (*processor)).find ("Renamed"), std::string::npos);
}

//==============================================================================
TEST (SavedState, BlockAfterConstructionIsExactlyTheExpectedBytes)
{
    auto processor = makeProcessor();
    const auto block = stateBlock (*processor);

    ASSERT_EQ (block.getSize(), initialStateText.size() + 9);

    const auto* bytes = static_cast<const unsigned char*> (block.getData());
    const unsigned char magic[] = { 0x56, 0x43, 0x32, 0x21 };
    EXPECT_EQ (std::memcmp (bytes, magic, 4), 0);

    const auto length = (juce::uint32) initialStateText.size();
    const unsigned char lengthWord[] = { (unsigned char) (length & 0xff),
                                         (unsigned char) ((length >> 8) & 0xff),
                                         (unsigned char) ((length >> 16) & 0xff),
                                         (unsigned char) (length >> 24) };
    EXPECT_EQ (std::memcmp (bytes + 4, lengthWord, 4), 0);

    EXPECT_EQ (textOf (block), initialStateText);
    EXPECT_EQ (bytes[block.getSize() - 1], 0);

    // The block is replaced, not appended to.
    juce::MemoryBlock reused ("leftover bytes", 14);
    processor->getStateInformation (reused);
    EXPECT_EQ (reused, block);
}

TEST (SavedState, DoublesCarryTheFloatsSinglePrecisionDigits)
{
    auto processor = makeProcessor();
    processor->setCurrentProgram (1);
    processor->setParameter (kBypass, 1.0f);

    const auto text = textOf (stateBlock (*processor));
    EXPECT_EQ (text,
               header +
                   "<Tolvmark predelay=\"0.2000000029802322\" decay=\"0.6000000238418579\" "
                   "low=\"0.6000000238418579\" high=\"1.0\" fhighcut2=\"1.0\" fhighcut3=\"1.0\" fmix=\"0.5\" "
                   "bypass=\"1\" leftlevel=\"0.5\" rightlevel=\"0.5\" centerlevel=\"0.5\" leftslevel=\"0.5\" "
                   "rightslevel=\"0.5\" surroundswitch=\"1\" oversampling=\"0.5\" use_classic=\"1\" "
                   "curProgram=\"1\"/>");
}

TEST (SavedState, RestoreAppliesEveryValueAndTheProgramIndexWithoutApplyingTheProgram)
{
    auto source = makeProcessor();
    source->setCurrentProgram (6);
    const float edited[kNumParameters] = { 0.9f, 0.1f, 0.3f, 0.4f,  0.2f,  0.35f, 0.45f, 1.0f,
                                           0.0f, 0.7f, 0.8f, 0.25f, 0.15f, 0.05f, 0.0f,  0.65f };
    for (int i = 0; i < kNumParameters; ++i)
        source->setParameter (i, edited[i]);

    const auto block = stateBlock (*source);

    fakeNow = 7;
    auto recording = std::make_unique<RecordingProcessor> (&fakeClock);
    auto& restored = *recording;
    restored.setStateInformation (block.getData(), (int) block.getSize());

    EXPECT_EQ (restored.getCurrentProgram(), 6);
    for (int i = 0; i < kNumParameters; ++i)
        EXPECT_EQ (restored.getParameter (i), edited[i]) << i;

    EXPECT_EQ (stateBlock (restored), block);
    EXPECT_TRUE (restored.calls.empty()) << "restored as one change";
}

TEST (SavedState, RestoreSkipsMissingAndNonNumericValuesAndBringsOthersIntoRange)
{
    struct Case
    {
        std::string attributes;
        std::map<int, float> expected; // parameters that must differ from the starting values
        int expectedProgram;
    };

    // Starting point: program 2 applied (decay 0.3, fmix 0.6, low 0.6, use_classic 1).
    const std::vector<Case> cases = {
        { " decay=\"0.75\"", { { kDecay, 0.75f } }, 2 },
        { " decay=\"nan\" fmix=\"0.25\"", { { kMix, 0.25f } }, 2 },
        { " decay=\"inf\" low=\"-inf\" high=\"1e999\" fmix=\"3.5e38\"", {}, 2 },
        { " decay=\"\" low=\" 0.5\" high=\"0.5x\" fmix=\"0x1\" predelay=\"1e00001\"", {}, 2 },
        { " decay=\"1.5\" low=\"-2\"", { { kDecay, 1.0f }, { kLow, 0.0f } }, 2 },
        { " use_classic=\"0\" bypass=\"2\" surroundswitch=\"0.5\"",
          { { kUseClassic, 0.0f }, { kBypass, 1.0f }, { kSurroundSwitch, 1.0f } },
          2 },
        { " curProgram=\"7\"", {}, 7 },
        { " curProgram=\"7.0\" fmix=\"1\"", { { kMix, 1.0f } }, 7 },
        { " curProgram=\"10\"", {}, 2 },
        { " curProgram=\"-1\"", {}, 2 },
        { " curProgram=\"2.5\"", {}, 2 },
        { " unknown=\"0.1\" decay=\"+0.125\" other=\"x\"", { { kDecay, 0.125f } }, 2 },
        { "", {}, 2 },
    };

    for (const auto& c : cases)
    {
        auto processor = makeProcessor();
        processor->setCurrentProgram (2);

        float before[kNumParameters];
        for (int i = 0; i < kNumParameters; ++i)
            before[i] = processor->getParameter (i);

        const auto block = blockAround (header + "<Tolvmark" + c.attributes + "/>");
        processor->setStateInformation (block.getData(), (int) block.getSize());

        for (int i = 0; i < kNumParameters; ++i)
        {
            const auto it = c.expected.find (i);
            EXPECT_EQ (processor->getParameter (i), it != c.expected.end() ? it->second : before[i])
                << c.attributes << " index " << i;
        }

        EXPECT_EQ (processor->getCurrentProgram(), c.expectedProgram) << c.attributes;
    }
}

TEST (SavedState, MalformedBlocksChangeNothing)
{
    auto source = makeProcessor();
    source->setCurrentProgram (4);
    const auto valid = stateBlock (*source);

    juce::MemoryBlock garbage (valid.getSize());
    juce::Random random (1234);
    for (size_t i = 0; i < garbage.getSize(); ++i)
        garbage[i] = (char) random.nextInt (256);

    // The damage every reader refuses, and three more kinds tried on the processor's loader.
    auto cases = testsupport::damagedStateBlocks (valid);
    cases.push_back ({ "length word negative as int", testsupport::withLengthWord (valid, 0x80000000u) });
    cases.push_back ({ "overlong UTF-8", blockAround (header + "<Tolvmark decay=\"0.1\" x=\"\xc0\xaf\"/>") });
    cases.push_back ({ "random bytes", garbage });

    auto processor = makeProcessor();
    processor->setCurrentProgram (7);
    processor->setParameter (kDecay, 0.33f);
    const auto before = stateOf (*processor);

    for (const auto& c : cases)
    {
        processor->setStateInformation (c.block.getData(), (int) c.block.getSize());
        EXPECT_EQ (stateOf (*processor), before) << c.what;
        EXPECT_EQ (processor->getCurrentProgram(), 7) << c.what;
    }

    processor->setStateInformation (nullptr, 100);
    processor->setStateInformation (valid.getData(), 0);
    processor->setStateInformation (valid.getData(), -5);
    EXPECT_EQ (stateOf (*processor), before);

    // The unchanged valid block is accepted, so the cases above failed for their fault alone.
    processor->setStateInformation (valid.getData(), (int) valid.getSize());
    EXPECT_EQ (stateBlock (*processor), valid);
    EXPECT_EQ (processor->getCurrentProgram(), 4);
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
