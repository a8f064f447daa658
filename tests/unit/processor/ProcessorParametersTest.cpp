// The processor's fixed answers, bus-layout rule and parameter set.

#include "FactoryProgramTable.h"
#include "ProcessorFixture.h"
#include "processor/QuellorAudioProcessor.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

using namespace tolvmark;

namespace
{
using testsupport::makeProcessor;

juce::AudioChannelSet setNamed (const std::string& name)
{
    if (name == "mono")
        return juce::AudioChannelSet::mono();
    if (name == "stereo")
        return juce::AudioChannelSet::stereo();
    if (name == "5.1")
        return juce::AudioChannelSet::create5point1();
    if (name == "7.1.2")
        return juce::AudioChannelSet::create7point1point2();
    if (name == "7.1")
        return juce::AudioChannelSet::create7point1();
    if (name == "quad")
        return juce::AudioChannelSet::quadraphonic();
    if (name == "3ch")
        return juce::AudioChannelSet::createLCR();
    if (name == "disabled")
        return juce::AudioChannelSet::disabled();
    return {};
}
} // namespace

//==============================================================================
struct LayoutCase
{
    std::string input, output; // "missing" leaves the bus out of the layout
    bool accepted;
};

class BusLayoutTest : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P (BusLayoutTest, FollowsTheLayoutRule)
{
    const auto& c = GetParam();
    auto processor = makeProcessor();

    juce::AudioProcessor::BusesLayout layout;
    if (c.input != "missing")
        layout.inputBuses.add (setNamed (c.input));
    if (c.output != "missing")
        layout.outputBuses.add (setNamed (c.output));

    EXPECT_EQ (processor->checkBusesLayoutSupported (layout), c.accepted) << c.input << " -> " << c.output;
}

static std::vector<LayoutCase> allLayoutCases()
{
    const std::vector<std::string> supported{ "mono", "stereo", "5.1", "7.1.2" };
    std::vector<LayoutCase> cases;

    // Every pair of the four supported sets: accepted exactly when inputs <= outputs.
    for (size_t i = 0; i < supported.size(); ++i)
        for (size_t o = 0; o < supported.size(); ++o)
            cases.push_back ({ supported[i], supported[o], i <= o });

    // Unsupported sets, disabled and missing buses on either side.
    for (const std::string other : { "7.1", "quad", "3ch", "disabled", "missing" })
    {
        cases.push_back ({ other, "7.1.2", false });
        cases.push_back ({ "mono", other, false });
    }

    cases.push_back ({ "missing", "missing", false });
    return cases;
}

INSTANTIATE_TEST_SUITE_P (AllPairs, BusLayoutTest, ::testing::ValuesIn (allLayoutCases()));

TEST (ProcessorIdentity, AnswersTheHostsFixedQuestions)
{
    auto processor = makeProcessor();

    EXPECT_EQ (processor->getName(), "Tolv_mark");
    EXPECT_EQ (processor->getTailLengthSeconds(), 10.0);
    EXPECT_FALSE (processor->acceptsMidi());
    EXPECT_FALSE (processor->producesMidi());
    EXPECT_TRUE (processor->hasEditor());
    EXPECT_FALSE (processor->silenceInProducesSilenceOut());
    EXPECT_FALSE (processor->supportsDoublePrecisionProcessing());
    EXPECT_EQ (processor->getNumPrograms(), 10);
    EXPECT_EQ (processor->getCurrentProgram(), 0);

    // The tail does not depend on the settings.
    processor->setParameter (kDecay, 1.0f);
    processor->setParameter (kBypass, 1.0f);
    EXPECT_EQ (processor->getTailLengthSeconds(), 10.0);

    EXPECT_EQ (processor->getInputChannelName (0), "1");
    EXPECT_EQ (processor->getOutputChannelName (9), "10");
    EXPECT_EQ (processor->getInputChannelName (-3), "-2");

    ASSERT_EQ (processor->getBusCount (true), 1);
    ASSERT_EQ (processor->getBusCount (false), 1);
    EXPECT_EQ (processor->getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor->getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor->getBus (true, 0)->getCurrentLayout(), juce::AudioChannelSet::stereo());
    EXPECT_EQ (processor->getBus (false, 0)->getCurrentLayout(), juce::AudioChannelSet::stereo());
}

//==============================================================================
namespace
{
/** What each parameter must be beyond its key, default and initial value (testdata's tables), written
    out here independently of the plug-in's table: the text a new processor shows, whether it is a switch,
    and its place in a program record. */
struct ExpectedParameter
{
    const char* initialText;
    bool flag;
    int recordEntry;
};

const ExpectedParameter expectedParameters[kNumParameters] = {
    { "0.00 ms", false, 0 },   // predelay
    { "2.00 s", false, 1 },    // decay
    { "1.00 x", false, 2 },    // low
    { "max", false, 3 },       // high
    { "11.00 kHz", false, 4 }, // fhighcut2
    { "11.00 kHz", false, 5 }, // fhighcut3
    { "100.00 %", false, 6 },  // fmix
    { "ON", true, 7 },         // bypass
    { "classic", true, 14 },   // use_classic
    { "-0.02 dB", false, 8 },  // leftlevel
    { "-0.02 dB", false, 9 },  // rightlevel
    { "-0.02 dB", false, 10 }, // centerlevel
    { "-0.02 dB", false, 11 }, // leftslevel
    { "-0.02 dB", false, 12 }, // rightslevel
    { "normal", true, 13 },    // surroundswitch
    { "1 x", false, 15 },      // oversampling
};

/** The parameters that are switches, or else floats (the meter slot among them), by the expectations. */
std::vector<int> expectedIndexes (bool flags)
{
    std::vector<int> indexes;
    for (int i = 0; i < kNumParameters; ++i)
        if (expectedParameters[i].flag == flags)
            indexes.push_back (i);
    if (!flags)
        indexes.push_back (kInputMeter);
    return indexes;
}
} // namespace

TEST (Parameters, NamesDefaultsAndConstructorValues)
{
    auto processor = makeProcessor();
    ASSERT_EQ (processor->getNumParameters(), 16);

    for (int i = 0; i < 16; ++i)
    {
        const auto& expected = expectedParameters[i];
        const auto* key = testdata::parameterKeys[i];
        EXPECT_EQ (processor->getParameterName (i), key) << i;
        EXPECT_EQ (processor->getParameterID (i), key) << i;
        EXPECT_EQ (processor->getParameterDefaultValue (i), testdata::parameterDefaults[i]) << i;
        EXPECT_EQ (processor->getParameter (i), testdata::initialParameterValues[i]) << i;
        EXPECT_EQ (processor->getParameterText (i), expected.initialText) << i;
    }

    EXPECT_EQ (processor->getParameterName (16), "not in use");
    EXPECT_EQ (processor->getParameterText (16), "");
    EXPECT_EQ (processor->getParameterDefaultValue (16), 0.0f);
    EXPECT_EQ (processor->getParameter (16), 0.0f);

    for (int outside : { 17, -1, 1000 })
    {
        EXPECT_EQ (processor->getParameterName (outside), "") << outside;
        EXPECT_EQ (processor->getParameterText (outside), "") << outside;
        EXPECT_EQ (processor->getParameter (outside), 0.0f) << outside;
        EXPECT_EQ (processor->getParameterDefaultValue (outside), 0.0f) << outside;
    }
}

TEST (Parameters, TheTableHoldsWhatNoHostCallShows)
{
    // Whether a parameter is a switch, where a program record keeps it and the order a set of values is
    // applied in: the programs, the state and the editor read these from the table.
    for (int i = 0; i < kNumParameters; ++i)
    {
        const auto& facts = parameterTable[(size_t) i];
        EXPECT_EQ (facts.kind == ParameterKind::flag, expectedParameters[i].flag) << i;
        EXPECT_EQ (isFlagParameter (i), expectedParameters[i].flag) << i;
        EXPECT_EQ (facts.recordEntry, expectedParameters[i].recordEntry) << i;
    }

    EXPECT_FALSE (isFlagParameter (kInputMeter));
    EXPECT_FALSE (isFlagParameter (-1));

    // Every parameter by index, the classic switch last.
    const std::array<int, kNumParameters> order{ 0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 8 };
    EXPECT_EQ (parameterApplicationOrder, order);
}

struct TextCase
{
    int index;
    float value;
    const char* text;
};

class ParameterTextTest : public ::testing::TestWithParam<TextCase>
{
};

TEST_P (ParameterTextTest, FormatsTheStoredValue)
{
    const auto& c = GetParam();
    auto processor = makeProcessor();
    processor->setParameter (c.index, c.value);
    EXPECT_EQ (processor->getParameterText (c.index), c.text) << "index " << c.index << " value " << c.value;
}

INSTANTIATE_TEST_SUITE_P (
    Texts, ParameterTextTest,
    ::testing::Values (
        TextCase{ kDecay, 0.0f, "0.40 s" }, TextCase{ kDecay, 0.0625f, "0.40 s" },
        TextCase{ kDecay, 0.07f, "0.60 s" }, TextCase{ kDecay, 0.5f, "2.00 s" },
        TextCase{ kDecay, 0.51f, "2.20 s" }, TextCase{ kDecay, 1.0f, "4.50 s" },
        TextCase{ kDecay, 1.5f, "4.50 s" }, // above 1 the step stays on the last entry
        TextCase{ kLow, 0.25f, "0.50 x" }, TextCase{ kLow, 0.26f, "1.00 x" },
        TextCase{ kLow, 1.0f, "2.00 x" }, TextCase{ kLow, 3.0f, "2.00 x" },
        TextCase{ kHigh, 0.75f, "0.50 x" }, TextCase{ kHigh, 0.76f, "max" }, TextCase{ kHigh, 1.0f, "max" },
        TextCase{ kHigh, 0.0f, "0.25 x" }, TextCase{ kHigh, 0.3f, "0.33 x" },
        TextCase{ kHighCut2, 0.0f, "5.00 kHz" }, TextCase{ kHighCut2, 0.75f, "11.00 kHz" },
        TextCase{ kHighCut3, 1.0f, "13.00 kHz" }, TextCase{ kMix, 1.0f, "100.00 %" },
        TextCase{ kMix, 0.57f, "57.00 %" }, TextCase{ kPredelay, 1.0f / 3.0f, "40.00 ms" },
        TextCase{ kPredelay, 1.0f, "120.00 ms" }, TextCase{ kLeftLevel, 0.5f, "-0.02 dB" },
        TextCase{ kRightSLevel, 1.0f, "6.00 dB" }, TextCase{ kCenterLevel, 0.000501187f, "-60.00 dB" },
        TextCase{ kOversampling, 0.2399f, "1 x" }, TextCase{ kOversampling, 0.24f, "1 x" },
        TextCase{ kOversampling, 0.25f, "2 x" }, TextCase{ kOversampling, 0.49f, "3 x" },
        TextCase{ kOversampling, 0.5f, "3 x" }, TextCase{ kOversampling, 0.74f, "4 x" },
        TextCase{ kOversampling, 0.75f, "4 x" }, TextCase{ kOversampling, 1.0f, "4 x" },
        TextCase{ kBypass, 0.3f, "OFF" }, TextCase{ kBypass, 0.0f, "ON" },
        TextCase{ kUseClassic, 1.0f, "classic" }, TextCase{ kUseClassic, 0.0f, "modern" },
        TextCase{ kSurroundSwitch, 1.0f, "reversed" }, TextCase{ kSurroundSwitch, 0.0f, "normal" }));

TEST (Parameters, LevelTextOfZeroIsMinusInfinityAsJuceFormatsIt)
{
    auto processor = makeProcessor();
    processor->setParameter (kLeftLevel, 0.0f);
    EXPECT_EQ (processor->getParameterText (kLeftLevel),
               juce::String (-std::numeric_limits<float>::infinity(), 2) + " dB");
}

TEST (Parameters, FlagsStoreOneForAnyNonZeroValueIncludingNaN)
{
    auto processor = makeProcessor();
    const float nan = std::numeric_limits<float>::quiet_NaN();

    for (const int index : expectedIndexes (true))
    {
        processor->setParameter (index, 0.3f);
        EXPECT_EQ (processor->getParameter (index), 1.0f) << index;
        processor->setParameter (index, 0.0f);
        EXPECT_EQ (processor->getParameter (index), 0.0f) << index;
        processor->setParameter (index, nan);
        EXPECT_EQ (processor->getParameter (index), 1.0f) << index;
        processor->setParameter (index, -1.0f);
        EXPECT_EQ (processor->getParameter (index), 1.0f) << index;
    }
}

TEST (Parameters, FloatsOutsideTheRangeAreClippedAndNonFiniteValuesAreIgnored)
{
    auto processor = makeProcessor();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float biggest = std::numeric_limits<float>::max();
    const float tiniest = std::numeric_limits<float>::denorm_min();

    struct Case
    {
        float sent, stored;
    };

    // Finite values outside 0..1 act as the nearest end of the range; -0 is stored as 0 (so it saves as
    // "0.0"); values inside the range, the tiniest ones included, are stored as they come.
    const Case cases[] = { { 1.25f, 1.0f },    { 3.0f, 1.0f },    { 50.0f, 1.0f },
                           { 1e30f, 1.0f },    { biggest, 1.0f }, { 1.0000001f, 1.0f },
                           { -1.0f, 0.0f },    { -1e30f, 0.0f },  { -biggest, 0.0f },
                           { -tiniest, 0.0f }, { -0.0f, 0.0f },   { tiniest, tiniest },
                           { 0.0f, 0.0f },     { 1.0f, 1.0f },    { 0.99999994f, 0.99999994f } };

    for (const int index : expectedIndexes (false))
    {
        for (const auto& c : cases)
        {
            processor->setParameter (index, 0.3f);
            processor->setParameter (index, c.sent);
            const float stored = processor->getParameter (index);
            EXPECT_EQ (stored, c.stored) << index << " sent " << c.sent;
            EXPECT_EQ (std::signbit (stored), std::signbit (c.stored)) << index << " sent " << c.sent;
        }

        processor->setParameter (index, 0.3f);
        processor->setParameter (index, nan);
        EXPECT_EQ (processor->getParameter (index), 0.3f) << index;
        processor->setParameter (index, inf);
        processor->setParameter (index, -inf);
        EXPECT_EQ (processor->getParameter (index), 0.3f) << index;
        EXPECT_FALSE (processor->getParameterText (index).isEmpty() && index != kInputMeter) << index;
    }

    // Indexes outside 0..16 store nothing.
    processor->setParameter (17, 0.9f);
    processor->setParameter (-1, 0.9f);
    EXPECT_EQ (processor->getParameter (17), 0.0f);
    EXPECT_EQ (processor->getParameter (-1), 0.0f);
}

TEST (Parameters, MeterSlotStoresAndReads)
{
    auto processor = makeProcessor();
    processor->setParameter (kInputMeter, 0.6f);
    EXPECT_EQ (processor->getParameter (kInputMeter), 0.6f);
    EXPECT_EQ (processor->getParameterText (kInputMeter), "");
}

TEST (StepRules, DecayAndQuarterStepsFollowTheirThresholds)
{
    struct Case
    {
        float value;
        int decay, quarter;
    };

    const Case cases[] = { { -1.0f, 0, 0 },  { 0.0f, 0, 0 },   { 0.0625f, 0, 0 }, { 0.07f, 1, 0 },
                           { 0.25f, 3, 0 },  { 0.26f, 4, 1 },  { 0.5f, 7, 1 },    { 0.51f, 8, 2 },
                           { 0.75f, 11, 2 }, { 0.76f, 12, 3 }, { 1.0f, 15, 3 },   { 7.0f, 15, 3 } };

    for (const auto& c : cases)
    {
        EXPECT_EQ (decayStep (c.value), c.decay) << c.value;
        EXPECT_EQ (quarterStep (c.value), c.quarter) << c.value;
    }
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE

TEST (ParameterValueTexts, TheTextOfAValueIsWhatTheValueShowsOnceStored)
{
    // The texts a format wrapper asks for at a value (as the VST3 wrapper sets it: clipped to 0..1)
    // against a second processor that has the value stored.
    auto asked = makeProcessor();
    auto stored = makeProcessor();
    const auto& texts = dynamic_cast<const ParameterValueTexts&> (*asked);
    const double values[] = { 0.0, 1e-300, 1e-40, 0.01, 0.0625,  0.0625001, 0.24, 0.25, 0.3, 0.49,
                              0.5, 0.7,    0.74,  0.75, 0.99999, 1.0,       -0.0, -1.0, 1.5, 1e300 };

    for (int index = 0; index < kNumParameters; ++index)
    {
        asked->setParameter (index, 0.6f);

        for (const double value : values)
        {
            stored->setParameter (index, static_cast<float> (juce::jlimit (0.0, 1.0, value)));
            EXPECT_EQ (texts.getTextForValue (index, value), stored->getParameterText (index))
                << index << " at " << value;
        }

        // A NaN switches a switch on and is not stored in any other parameter.
        const auto nan = std::numeric_limits<double>::quiet_NaN();
        EXPECT_EQ (texts.getTextForValue (index, nan),
                   isFlagParameter (index) ? parameterText (index, 1.0f) : asked->getParameterText (index))
            << index;
    }

    EXPECT_EQ (texts.getTextForValue (kNumParameters, 0.5), "");
    EXPECT_EQ (texts.getTextForValue (-1, 0.5), "");
}

TEST (ParameterValueTexts, EveryTextShownMapsBackToAValueThatShowsIt)
{
    // Over a fine grid of values: every text shown (oversampling's aside, whose stage counts stand
    // for a range of factors) gives back a value in 0..1 that shows the same text.
    auto processor = makeProcessor();
    const auto& texts = dynamic_cast<const ParameterValueTexts&> (*processor);

    for (int index = 0; index < kNumParameters; ++index)
    {
        for (int step = 0; step <= 1000; ++step)
        {
            const double value = step / 1000.0;
            const auto text = texts.getTextForValue (index, value);
            double back = -1.0;
            const bool found = texts.getValueForText (index, text, back);

            if (index == kOversampling)
            {
                EXPECT_FALSE (found) << text;
                continue;
            }

            ASSERT_TRUE (found) << index << ": " << text;
            EXPECT_GE (back, 0.0);
            EXPECT_LE (back, 1.0);
            EXPECT_EQ (texts.getTextForValue (index, back), text) << index << " at " << value;
        }
    }

    double untouched = -1.0;
    EXPECT_FALSE (texts.getValueForText (kNumParameters, "1", untouched));
    EXPECT_EQ (untouched, -1.0);
}
