// Hostile input through the built VST3 and LV2 binaries, as a careless or crafted host or a damaged
// project would hand it over: parameter values outside 0..1, finite input samples large enough to
// overflow inside the reverb, and damaged or crafted saved states.
//
// JUCE's VST3 hosting passes any parameter value on; JUCE's LV2 hosting keeps values within their
// range, so the LV2 parameter cases drive the binary directly (hostkit::Lv2DirectHost, patch:Set
// messages with any float), as other LV2 hosts may.

#include "AudioTestSupport.h"
#include "HostTestSupport.h"
#include "Lv2DirectHost.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace hosttest;

namespace
{
const auto& parameterKeys = testdata::parameterKeys;
constexpr int numParameters = 16;

constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

float clipped (float value)
{
    return value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
}

/** The attributes of a saved block of the plug-in (its parameter values and curProgram). */
std::map<juce::String, double> valuesOfBlock (const juce::MemoryBlock& block)
{
    std::map<juce::String, double> values;

    if (const auto xml = juce::AudioProcessor::getXmlFromBinary (block.getData(), (int) block.getSize()))
        for (int i = 0; i < xml->getNumAttributes(); ++i)
            values[xml->getAttributeName (i)] = xml->getAttributeValue (i).getDoubleValue();

    return values;
}

/** Settings in 0..1 that every test starts from (index order). */
const float startValues[numParameters] = { 0.3f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.6f, 0.0f,
                                           1.0f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f, 0.5f };

//==============================================================================
/** One instance of the built plug-in with stereo buses, however it is hosted. */
struct Instance
{
    virtual ~Instance() = default;
    virtual void setParameter (int index, float value) = 0;
    virtual void process (juce::AudioBuffer<float>& buffer) = 0;
    virtual juce::MemoryBlock savedBlock() = 0;
};

/** Through JUCE's plug-in hosting. */
struct HostedInstance : Instance
{
    explicit HostedInstance (const BuiltPlugin& built)
        : format (built.format), plugin (built.load (sampleRate, blockSize))
    {
        if (plugin == nullptr)
            return;

        plugin->prepareToPlay (sampleRate, blockSize);
        parameters = ownParameters (*plugin);
    }

    void setParameter (int index, float value) override { parameters[(size_t) index]->setValue (value); }

    void process (juce::AudioBuffer<float>& buffer) override
    {
        juce::MidiBuffer midi;
        plugin->processBlock (buffer, midi);
    }

    juce::MemoryBlock savedBlock() override { return pluginStateBlock (*plugin, format); }

    juce::MemoryBlock hostState()
    {
        juce::MemoryBlock state;
        plugin->getStateInformation (state);
        return state;
    }

    void restore (const juce::MemoryBlock& state)
    {
        plugin->setStateInformation (state.getData(), (int) state.getSize());
    }

    hostkit::Format format;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
    std::vector<juce::AudioProcessorParameter*> parameters;
};

/** LV2 through its C interface (any float in a patch:Set). */
struct DirectLv2Instance : Instance
{
    DirectLv2Instance()
    {
        juce::String error;
        host = hostkit::Lv2DirectHost::load (juce::File (TOLVMARK_LV2_PATH), TOLVMARK_LV2_URI, sampleRate,
                                             blockSize, error);
        EXPECT_NE (host, nullptr) << error;
    }

    void setParameter (int index, float value) override { host->setParameter (parameterKeys[index], value); }
    void process (juce::AudioBuffer<float>& buffer) override { host->process (buffer); }

    juce::MemoryBlock savedBlock() override
    {
        juce::MemoryBlock block;
        block.fromBase64Encoding (host->saveStateString());
        return block;
    }

    std::unique_ptr<hostkit::Lv2DirectHost> host;
};

/** Runs the same noise through both instances, block by block; false (with a failure) when their outputs
    differ or are not finite. */
bool playAlike (Instance& a, Instance& b, juce::Random& random, int blocks, const std::string& context,
                float gain = 0.5f)
{
    for (int block = 0; block < blocks; ++block)
    {
        juce::AudioBuffer<float> first (2, blockSize), second;
        fillNoise (first, random, gain);
        second.makeCopyOf (first);
        a.process (first);
        b.process (second);

        if (!bitIdentical (first, second) || !allFinite (first))
        {
            ADD_FAILURE() << context << ": block " << block
                          << (allFinite (first) ? " differs from the twin's" : " is not finite");
            return false;
        }
    }

    return true;
}
} // namespace

//==============================================================================
// Parameter values outside 0..1
//==============================================================================
class HostileParameters : public ::testing::TestWithParam<BuiltPlugin>
{
};

TEST_P (HostileParameters, ValuesOutsideTheRangeActAsTheNearestEndAndAreSavedClipped)
{
    // Twins in lockstep: one is sent each value outside 0..1, the other the value clipped to the range,
    // each time from the same start value (a change of pre-delay or oversampling clears the network,
    // so both must see one). They must play exactly alike, and the first must hold (and save) the
    // clipped value.
    std::unique_ptr<Instance> hit, twin;
    if (GetParam().format == hostkit::Format::vst3)
    {
        hit = std::make_unique<HostedInstance> (GetParam());
        twin = std::make_unique<HostedInstance> (GetParam());
        ASSERT_NE (static_cast<HostedInstance&> (*hit).plugin, nullptr);
        ASSERT_NE (static_cast<HostedInstance&> (*twin).plugin, nullptr);
    }
    else
    {
        hit = std::make_unique<DirectLv2Instance>();
        twin = std::make_unique<DirectLv2Instance>();
        ASSERT_NE (static_cast<DirectLv2Instance&> (*hit).host, nullptr);
        ASSERT_NE (static_cast<DirectLv2Instance&> (*twin).host, nullptr);
    }

    for (int i = 0; i < numParameters; ++i)
    {
        hit->setParameter (i, startValues[i]);
        twin->setParameter (i, startValues[i]);
    }

    juce::Random random (16);
    ASSERT_TRUE (playAlike (*hit, *twin, random, 4, "start"));

    const int floatParameters[] = { 0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 15 };
    const float outside[] = { -1.0f, 1.5f, 3.0f, 50.0f, 1e30f, -1e30f, std::numeric_limits<float>::max(),
                              -0.0f };

    for (const int index : floatParameters)
    {
        for (const float value : outside)
        {
            const std::string context =
                std::string (parameterKeys[index]) + " = " + juce::String (value).toStdString();

            hit->setParameter (index, startValues[index]);
            twin->setParameter (index, startValues[index]);
            ASSERT_TRUE (playAlike (*hit, *twin, random, 1, context + ", from the start value"));

            hit->setParameter (index, value);
            twin->setParameter (index, clipped (value));
            ASSERT_TRUE (playAlike (*hit, *twin, random, 3, context));

            const auto saved = valuesOfBlock (hit->savedBlock());
            ASSERT_EQ (saved.count (parameterKeys[index]), 1u) << context;
            const auto stored = saved.at (parameterKeys[index]);
            EXPECT_EQ (stored, (double) clipped (value)) << context;
            EXPECT_FALSE (std::signbit (stored)) << context;
        }
    }
}

TOLVMARK_FOR_EACH_BUILT_PLUGIN (HostileParameters);

//==============================================================================
// Finite input that overflows inside the reverb
//==============================================================================
class HostileAudio : public ::testing::TestWithParam<BuiltPlugin>
{
};

TEST_P (HostileAudio, AfterAnOverflowingBurstTheReverbPlaysOnFiniteAndAsItsTwin)
{
    // Twins in lockstep: one is sent a block whose second half is the largest floats (enough to overflow
    // inside the reverb within a block or two), the other the same block with silence there. The first
    // must come back by itself: a finite reverb at the level of its twin's after two blocks. Then both
    // change the pre-delay at the same block, which clears their networks: from then on they must play
    // exactly alike (the overflow left nothing behind outside the network).
    for (const float classic : { 1.0f, 0.0f })
    {
        const std::string voicing = classic != 0.0f ? "classic" : "modern";
        HostedInstance hit (GetParam()), twin (GetParam());
        ASSERT_NE (hit.plugin, nullptr);
        ASSERT_NE (twin.plugin, nullptr);

        for (auto* instance : { &hit, &twin })
            for (int i = 0; i < numParameters; ++i)
                instance->setParameter (i, i == 0 ? 0.0f : i == 8 ? classic : i == 6 ? 0.7f : startValues[i]);

        juce::Random random (17);
        ASSERT_TRUE (playAlike (hit, twin, random, 10, voicing + ", before the burst"));

        juce::AudioBuffer<float> burst (2, blockSize), quiet;
        fillNoise (burst, random);
        quiet.makeCopyOf (burst);
        for (int c = 0; c < 2; ++c)
            for (int i = blockSize / 2; i < blockSize; ++i)
            {
                burst.setSample (c, i, std::numeric_limits<float>::max());
                quiet.setSample (c, i, 0.0f);
            }
        hit.process (burst);
        twin.process (quiet);

        float hitPeak = 0.0f, twinPeak = 0.0f;
        for (int block = 0; block < 12; ++block)
        {
            juce::AudioBuffer<float> first (2, blockSize), second;
            fillNoise (first, random);
            second.makeCopyOf (first);
            hit.process (first);
            twin.process (second);

            if (block < 2)
                continue;

            ASSERT_TRUE (allFinite (first)) << voicing << ": block " << block << " after the burst";
            hitPeak = std::max (hitPeak, first.getMagnitude (0, 0, blockSize));
            twinPeak = std::max (twinPeak, second.getMagnitude (0, 0, blockSize));
        }
        EXPECT_GT (hitPeak, twinPeak * 0.5f) << voicing;
        EXPECT_LT (hitPeak, twinPeak * 2.0f) << voicing;

        hit.setParameter (0, 0.05f);
        twin.setParameter (0, 0.05f);
        ASSERT_TRUE (playAlike (hit, twin, random, 60, voicing + ", after both changed the pre-delay"));

        // The tail alone: still alike, and a reverb rather than silence.
        float tailPeak = 0.0f;
        for (int block = 0; block < 20; ++block)
        {
            juce::AudioBuffer<float> first (2, blockSize), second;
            first.clear();
            second.makeCopyOf (first);
            hit.process (first);
            twin.process (second);
            ASSERT_TRUE (bitIdentical (first, second)) << voicing << ", tail block " << block;
            tailPeak = std::max (tailPeak, first.getMagnitude (0, 0, blockSize));
        }
        EXPECT_GT (tailPeak, 1e-3f) << voicing;
    }
}

TOLVMARK_FOR_EACH_BUILT_PLUGIN (HostileAudio);

//==============================================================================
// Damaged or crafted saved states
//==============================================================================
namespace
{
/** A damaged state, made from a good one. */
struct HostileState
{
    std::string name;
    std::function<std::string (const std::string& good)> make;
};

std::string bytesOf (const juce::MemoryBlock& block)
{
    return std::string (static_cast<const char*> (block.getData()), block.getSize());
}

juce::MemoryBlock blockOf (const std::string& bytes)
{
    return juce::MemoryBlock (bytes.data(), bytes.size());
}

std::string littleEndian64 (juce::uint64 value)
{
    std::string bytes (8, '\0');
    for (int i = 0; i < 8; ++i)
        bytes[(size_t) i] = (char) ((value >> (8 * i)) & 0xff);
    return bytes;
}

std::string randomBytes (size_t size, juce::int64 seed)
{
    juce::Random random (seed);
    std::string bytes (size, '\0');
    for (auto& b : bytes)
        b = (char) random.nextInt (256);
    return bytes;
}

const std::string privateDataIdentifier = "JUCEPrivateData";

/** The 64-bit size word of a VST3 component state's JUCE private-data trailer, replaced. */
std::string withPrivateDataSize (const std::string& chunk, juce::uint64 size)
{
    auto result = chunk;
    const auto at = chunk.size() - privateDataIdentifier.size() - 8;
    result.replace (at, 8, littleEndian64 (size));
    return result;
}

/** The plug-in's own block at the start of a VST3 component state (the part before JUCE's trailer). */
std::string pluginPartOf (const std::string& chunk)
{
    const auto length = (size_t) (unsigned char) chunk[4] | ((size_t) (unsigned char) chunk[5] << 8) |
                        ((size_t) (unsigned char) chunk[6] << 16) | ((size_t) (unsigned char) chunk[7] << 24);
    return chunk.substr (0, std::min (chunk.size(), length + 9));
}

/** A VST3 component state: the plug-in's block, then a JUCE trailer around `privateData`. */
std::string withTrailer (const std::string& pluginPart, const std::string& privateData)
{
    return pluginPart + littleEndian64 (0) + privateData + littleEndian64 (privateData.size()) +
           privateDataIdentifier;
}

/** Binary ValueTree data of `depth` trees, each the only child of the one before. */
std::string nestedTrees (int depth)
{
    std::string data;
    for (int i = 0; i < depth; ++i)
        data += std::string ("t\0\0\x01\x01", 5); // type "t", no property, one child
    return data + std::string ("t\0\0\0", 4);
}

/** The chunks of a VST3 component state a damaged project may hold; `good` is a whole component state
    (the plug-in's block and JUCE's trailer) whose block differs from what the instance holds. */
std::vector<HostileState> hostileComponentStates()
{
    constexpr juce::uint64 twoTo31 = 1ull << 31;
    const auto tenMegabytes = (size_t) 10 * 1024 * 1024;

    return {
        { "PrivateDataSize2pow31", [=] (const std::string& g) { return withPrivateDataSize (g, twoTo31); } },
        { "PrivateDataSize2pow32",
          [=] (const std::string& g) { return withPrivateDataSize (g, twoTo31 * 2 + 5); } },
        { "PrivateDataSize2pow63",
          [=] (const std::string& g) { return withPrivateDataSize (g, 1ull << 63); } },
        { "PrivateDataSizeMinus1", [] (const std::string& g) { return withPrivateDataSize (g, ~0ull); } },
        { "PrivateDataSizeWholeBlock", [] (const std::string& g)
          { return withPrivateDataSize (g, g.size() - privateDataIdentifier.size() - 8); } },
        { "PrivateDataSizeOneTooMany", [] (const std::string& g)
          { return withPrivateDataSize (g, g.size() - privateDataIdentifier.size() - 8 - 8 + 1); } },
        { "PrivateDataNestedTooDeep",
          [] (const std::string& g) { return withTrailer (pluginPartOf (g), nestedTrees (40)); } },
        { "PrivateDataNestedAMillionDeep",
          [] (const std::string& g) { return withTrailer (pluginPartOf (g), nestedTrees (1000000)); } },
        { "PrivateDataCountsMoreThanItHolds", [] (const std::string& g)
          { return withTrailer (pluginPartOf (g), std::string ("t\0\x04\xff\xff\xff\x7f", 7)); } },
        { "PrivateDataTenMegabytes", [=] (const std::string& g)
          { return withTrailer (pluginPartOf (g), randomBytes (tenMegabytes, 1)); } },
        { "TrailerWithoutItsZeroWord",
          [] (const std::string&) { return littleEndian64 (0) + privateDataIdentifier; } },
        { "EndsInAnIncompleteUtf8Sequence", [] (const std::string& g) { return g + "\xf0"; } },
        { "Empty", [] (const std::string&) { return std::string(); } },
        { "OneByte", [] (const std::string& g) { return g.substr (0, 1); } },
        { "HeaderOnly", [] (const std::string& g) { return g.substr (0, 9); } },
        { "TruncatedInTheText",
          [] (const std::string& g) { return g.substr (0, pluginPartOf (g).size() / 2); } },
        { "TruncatedBeforeTheTerminator",
          [] (const std::string& g) { return g.substr (0, pluginPartOf (g).size() - 1); } },
        { "TruncatedInTheTrailer", [] (const std::string& g) { return g.substr (0, g.size() - 1); } },
        { "WrongMagic",
          [] (const std::string& g)
          {
              auto c = g;
              c[0] = (char) (c[0] ^ 0x01);
              return c;
          } },
        { "LengthWordAllOnes",
          [] (const std::string& g)
          {
              auto c = g;
              c.replace (4, 4, "\xff\xff\xff\xff");
              return c;
          } },
        { "LengthWord2pow31",
          [] (const std::string& g)
          {
              auto c = g;
              c.replace (4, 4, std::string ("\0\0\0\x80", 4));
              return c;
          } },
        { "TenMegabytesOfNoise", [=] (const std::string&) { return randomBytes (tenMegabytes, 2); } },
        { "TenMegabytesOfZerosAsPrivateData",
          [=] (const std::string&) { return withTrailer ({}, std::string (tenMegabytes, '\0')); } },
    };
}

/** A JUCE VST3 host state holding `component` as the component's state. */
juce::MemoryBlock vst3HostState (const std::string& component)
{
    juce::XmlElement state ("VST3PluginState");
    state.createNewChildElement ("IComponent")->addTextElement (blockOf (component).toBase64Encoding());
    juce::MemoryBlock result;
    juce::AudioProcessor::copyXmlToBinary (state, result);
    return result;
}

/** The component's state inside a JUCE VST3 host state. */
std::string componentOf (const juce::MemoryBlock& hostState)
{
    const auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize());
    juce::MemoryBlock component;
    if (xml != nullptr && xml->getChildByName ("IComponent") != nullptr)
        component.fromBase64Encoding (xml->getChildByName ("IComponent")->getAllSubText());
    return bytesOf (component);
}

/** The state strings of an LV2 state a damaged project may hold; `good` is the text of a good one whose
    block differs from what the instance holds. */
std::vector<HostileState> hostileStateStrings()
{
    const auto afterTheDot = [] (const std::string& g) { return g.substr (g.find ('.')); };
    const auto encoded = [] (const std::string& bytes)
    { return blockOf (bytes).toBase64Encoding().toStdString(); };
    const auto tenMegabytes = (size_t) 10 * 1024 * 1024;

    return {
        { "SizeMinus5", [=] (const std::string& g) { return "-5" + afterTheDot (g); } },
        { "SizeMinus1", [=] (const std::string& g) { return "-1" + afterTheDot (g); } },
        { "Size2147483647", [=] (const std::string& g) { return "2147483647" + afterTheDot (g); } },
        { "Size99999999999", [=] (const std::string& g) { return "99999999999" + afterTheDot (g); } },
        { "Size4294967297", [=] (const std::string& g) { return "4294967297" + afterTheDot (g); } },
        { "SizeOneTooMany",
          [=] (const std::string& g) { return std::to_string (std::stoll (g) + 1) + afterTheDot (g); } },
        { "SizeOneTooFew",
          [=] (const std::string& g) { return std::to_string (std::stoll (g) - 1) + afterTheDot (g); } },
        { "SizeWithABlank", [=] (const std::string& g) { return " " + g; } },
        { "Empty", [] (const std::string&) { return std::string(); } },
        { "DotOnly", [] (const std::string&) { return std::string ("."); } },
        { "NoDot", [] (const std::string& g) { return g.substr (0, g.find ('.')); } },
        { "TruncatedEncoding", [] (const std::string& g) { return g.substr (0, g.size() / 2); } },
        { "ForeignCharacter",
          [] (const std::string& g)
          {
              auto s = g;
              s[s.size() / 2] = '!';
              return s;
          } },
        { "NonAsciiCharacters",
          [] (const std::string& g) { return g.substr (0, g.size() - 2) + "\xc3\xa9"; } },
        { "WrongMagicEncoded",
          [=] (const std::string& g)
          {
              juce::MemoryBlock block;
              block.fromBase64Encoding (g);
              auto bytes = bytesOf (block);
              bytes[0] = (char) (bytes[0] ^ 0x01);
              return encoded (bytes);
          } },
        { "TenMegabytesOfNoiseEncoded",
          [=] (const std::string&) { return encoded (randomBytes (tenMegabytes, 3)); } },
        { "TenMegabytesOfCharacters",
          [=] (const std::string&) { return "7." + std::string (tenMegabytes, 'A'); } },
    };
}

/** A JUCE LV2 host state (Turtle text) with its StateString property's text replaced. */
juce::MemoryBlock withStateString (const juce::MemoryBlock& hostState, const std::string& text)
{
    const auto turtle = bytesOf (hostState);
    const std::string key = "StateString> \"";
    const auto start = turtle.find (key);
    EXPECT_NE (start, std::string::npos) << "no StateString in the LV2 state";
    if (start == std::string::npos)
        return hostState;

    const auto valueStart = start + key.size();
    const auto valueEnd = turtle.find ('"', valueStart);
    return blockOf (turtle.substr (0, valueStart) + text + turtle.substr (valueEnd));
}

std::string stateStringOf (const juce::MemoryBlock& hostState)
{
    const auto turtle = bytesOf (hostState);
    const std::string key = "StateString> \"";
    const auto valueStart = turtle.find (key) + key.size();
    return turtle.substr (valueStart, turtle.find ('"', valueStart) - valueStart);
}

/** Two good host states with different settings, from a third instance. */
std::vector<juce::MemoryBlock> goodHostStates (const BuiltPlugin& built)
{
    HostedInstance maker (built);
    EXPECT_NE (maker.plugin, nullptr);
    if (maker.plugin == nullptr)
        return {};

    std::vector<juce::MemoryBlock> states;
    for (const float shift : { 0.0f, 0.25f })
    {
        for (int i = 0; i < numParameters; ++i)
            maker.setParameter (i, i == 7 ? 0.0f : std::fmod (startValues[i] + shift, 1.0f));
        juce::AudioBuffer<float> buffer (2, 64);
        buffer.clear();
        maker.process (buffer); // the host passes the values on with a block
        states.push_back (maker.hostState());
    }

    return states;
}

/** Hands each damaged state to one twin and checks that it keeps its state; then both twins restore the
    good state the damaged one was made from and must play exactly alike. */
void damagedStatesAreRefused (
    const BuiltPlugin& built, const std::vector<HostileState>& cases,
    const std::function<std::string (const juce::MemoryBlock&)>& goodPart,
    const std::function<juce::MemoryBlock (const juce::MemoryBlock&, const std::string&)>& hostStateWith)
{
    const auto good = goodHostStates (built);
    ASSERT_EQ (good.size(), 2u);

    HostedInstance hit (built), twin (built);
    ASSERT_NE (hit.plugin, nullptr);
    ASSERT_NE (twin.plugin, nullptr);

    hit.restore (good[0]);
    twin.restore (good[0]);
    juce::Random random (18);
    ASSERT_TRUE (playAlike (hit, twin, random, 2, "first restore"));

    for (size_t n = 0; n < cases.size(); ++n)
    {
        // The damaged state is made from the good state the twins do not hold, so that applying any of
        // it would show.
        const auto& next = good[(n + 1) % 2];
        const auto before = hit.savedBlock();
        ASSERT_GT (before.getSize(), 9u) << cases[n].name;

        // Refused means untouched: not even the network is cleared, so the twins still play alike.
        hit.restore (hostStateWith (next, cases[n].make (goodPart (next))));
        ASSERT_TRUE (playAlike (hit, twin, random, 2, cases[n].name + ", after the damaged state"));
        EXPECT_EQ (hit.savedBlock(), before) << cases[n].name << ": the damaged state changed the plug-in's";

        hit.restore (next);
        twin.restore (next);
        EXPECT_NE (hit.savedBlock(), before) << cases[n].name << ": the good state did not restore";
        EXPECT_EQ (hit.savedBlock(), twin.savedBlock())
            << cases[n].name << ": the good state did not restore";
        ASSERT_TRUE (playAlike (hit, twin, random, 2, cases[n].name + ", after the good state"));
    }
}
} // namespace

TEST (HostileStateVst3, DamagedComponentStatesAreRefusedAndAGoodOneRestoresExactly)
{
    damagedStatesAreRefused (
        BuiltPlugin{ hostkit::Format::vst3 }, hostileComponentStates(),
        [] (const juce::MemoryBlock& hostState) { return componentOf (hostState); },
        [] (const juce::MemoryBlock&, const std::string& component) { return vst3HostState (component); });
}

TEST (HostileStateLv2, DamagedStateStringsAreRefusedAndAGoodOneRestoresExactly)
{
    damagedStatesAreRefused (
        BuiltPlugin{ hostkit::Format::lv2 }, hostileStateStrings(),
        [] (const juce::MemoryBlock& hostState) { return stateStringOf (hostState); },
        [] (const juce::MemoryBlock& hostState, const std::string& text)
        { return withStateString (hostState, text); });
}

TEST (HostileStateLv2, TheStateInterfaceAnswersAnErrorForEveryStringNotInTheEncodedForm)
{
    // Straight through the plug-in's state interface: no exception may come out of it, a string that
    // is not a block's encoding is answered with an error, and the plug-in keeps its state.
    DirectLv2Instance plugin;
    ASSERT_NE (plugin.host, nullptr);
    const auto good = plugin.host->saveStateString();
    ASSERT_FALSE (good.empty());

    for (const auto& c : hostileStateStrings())
    {
        const auto text = c.make (good);
        const bool encodedForm = c.name == "WrongMagicEncoded" || c.name == "TenMegabytesOfNoiseEncoded";

        const auto status = plugin.host->restoreStateString (text);
        EXPECT_EQ (status, encodedForm ? LV2_STATE_SUCCESS : LV2_STATE_ERR_UNKNOWN) << c.name;
        EXPECT_EQ (plugin.host->saveStateString(), good) << c.name;
    }

    // A program preset with an index outside the program list changes nothing either.
    for (const std::int32_t program :
         { -1, 10, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min() })
    {
        plugin.host->restoreProgram (program);
        EXPECT_EQ (plugin.host->saveStateString(), good) << "program " << program;
    }

    EXPECT_EQ (plugin.host->restoreStateString (good), LV2_STATE_SUCCESS);
    EXPECT_EQ (plugin.host->saveStateString(), good);
}
