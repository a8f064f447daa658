// The built VST3 and LV2 binaries driven as a host that breaks the formats' rules would drive them:
// blocks longer than the size it prepared, maximum block sizes of 0, 1 and -1 (and absurd LV2 ones),
// ports left unconnected, sample rates that cannot be played at; and the texts a VST3 host asks for
// at values other than the current one, and the values it asks for typed texts.
//
// The VST3 cases go through JUCE's hosting, and through the component's own interfaces (the hosted
// instance's IComponent, or a component and edit controller made from the binary's factory) where the
// answers to the host's calls are checked. The LV2 cases drive the binary directly
// (hostkit::Lv2DirectHost), as JUCE's LV2 hosting never hands over such values.

#include "AudioTestSupport.h"
#include "HostTestSupport.h"
#include "Lv2DirectHost.h"

#define JUCE_VST3HEADERS_INCLUDE_HEADERS_ONLY 1
#include <juce_audio_processors/format_types/juce_VST3Headers.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace hosttest;
using namespace Steinberg;

namespace
{
constexpr double goodRate = 48000.0;

/** Settings under which the reverb is plainly audible (index order). */
void setAudibleSettings (juce::AudioPluginInstance& plugin)
{
    const float values[16] = { 0.1f, 0.5f, 0.5f, 1.0f, 0.75f, 0.75f, 0.6f, 0.0f,
                               1.0f, 0.5f, 0.5f, 0.5f, 0.5f,  0.5f,  0.0f, 0.5f };
    const auto parameters = ownParameters (plugin);
    for (size_t i = 0; i < parameters.size(); ++i)
        parameters[i]->setValue (values[i]);
}

/** Rates outside 1 kHz .. 10 MHz, with their names: none of them a rate the plug-in can play at (at
    some of the finite ones, such as 2.66 Hz and 1e300 Hz, its output is not finite). */
struct BadRate
{
    const char* name;
    double rate;
};

const BadRate badRates[] = {
    { "0", 0.0 },
    { "-0", -0.0 },
    { "NaN", std::numeric_limits<double>::quiet_NaN() },
    { "+inf", std::numeric_limits<double>::infinity() },
    { "-inf", -std::numeric_limits<double>::infinity() },
    { "1e-300", 1e-300 },
    { "5e-324", 5e-324 },
    { "0.5", 0.5 },
    { "2.66", 2.66 },
    { "999.999", 999.999 },
    { "-48000", -48000.0 },
    { "1e7+", std::nextafter (1.0e7, 2.0e7) },
    { "1e300", 1e300 },
    { "max", std::numeric_limits<double>::max() },
};

/** The IAudioProcessor of a VST3 instance hosted by JUCE (its IComponent's). */
FUnknownPtr<Vst::IAudioProcessor> audioProcessorOf (juce::AudioPluginInstance& plugin)
{
    struct Visitor : juce::ExtensionsVisitor
    {
        void visitVST3Client (const VST3Client& client) override { component = client.getIComponentPtr(); }
        Vst::IComponent* component = nullptr;
    } visitor;

    plugin.getExtensions (visitor);
    return FUnknownPtr<Vst::IAudioProcessor> (visitor.component);
}
} // namespace

//==============================================================================
// VST3: blocks longer than prepared, and maxima that are not positive
//==============================================================================
namespace
{
struct BlockCase
{
    int preparedMaximum; // what the host hands setupProcessing
    int pieceSize;       // the size the wrapper prepares for instead, and processes longer blocks in
    int blockSize;       // what the host then sends
};

const BlockCase blockCases[] = {
    { 64, 64, 4096 }, { 64, 64, 4097 },   { 512, 512, 8192 }, { 0, 1024, 4096 },
    { 1, 1, 600 },    { -1, 1024, 4096 }, { -1, 1024, 100 },
};
} // namespace

TEST (MisbehavingVst3Host, BlocksLongerThanPreparedArePlayedInPiecesOfThePreparedSize)
{
    // An instance prepared with the case's maximum is sent longer blocks; a twin prepared with the
    // size the wrapper uses instead is sent the same audio in blocks of that size. The wrapper must
    // stay within its buffers (AddressSanitizer checks that in the wrapper fuzz build) and play the
    // long blocks exactly as the twin plays the short ones.
    const BuiltPlugin built{ hostkit::Format::vst3 };

    for (const auto& c : blockCases)
    {
        const auto context =
            "maximum " + std::to_string (c.preparedMaximum) + ", blocks of " + std::to_string (c.blockSize);
        auto hit = built.load (goodRate, 512);
        auto twin = built.load (goodRate, 512);
        ASSERT_NE (hit, nullptr);
        ASSERT_NE (twin, nullptr);
        hit->prepareToPlay (goodRate, c.preparedMaximum);
        twin->prepareToPlay (goodRate, c.pieceSize);
        setAudibleSettings (*hit);
        setAudibleSettings (*twin);

        juce::Random random (22);
        float peak = 0.0f;

        for (int block = 0; block < 6; ++block)
        {
            juce::AudioBuffer<float> whole (2, c.blockSize);
            fillNoise (whole, random);
            juce::AudioBuffer<float> pieces;
            pieces.makeCopyOf (whole);

            juce::MidiBuffer midi;
            hit->processBlock (whole, midi);

            for (int start = 0; start < c.blockSize; start += c.pieceSize)
            {
                const int length = std::min (c.pieceSize, c.blockSize - start);
                juce::AudioBuffer<float> piece (pieces.getArrayOfWritePointers(), 2, start, length);
                twin->processBlock (piece, midi);
            }

            ASSERT_TRUE (allFinite (whole)) << context << ", block " << block;
            ASSERT_TRUE (bitIdentical (whole, pieces)) << context << ", block " << block;
            peak = std::max (peak, whole.getMagnitude (0, c.blockSize));
        }

        EXPECT_GT (peak, 1e-3f) << context << ": no reverb came out";
    }
}

//==============================================================================
// VST3: sample rates that cannot be played at
//==============================================================================
TEST (MisbehavingVst3Host, SetupsAtRatesThatCannotBePlayedAtAreRefusedAndThePreviousOneKept)
{
    // The component itself must answer kResultFalse. Then, prepared through JUCE's hosting at the rate
    // (which goes on to activate the component after the refused setup), the instance must play as a
    // twin prepared again at the rate it had: the previous setup was kept.
    const BuiltPlugin built{ hostkit::Format::vst3 };

    for (const auto& bad : badRates)
    {
        auto hit = built.load (goodRate, 512);
        auto twin = built.load (goodRate, 512);
        ASSERT_NE (hit, nullptr);
        ASSERT_NE (twin, nullptr);

        hit->prepareToPlay (goodRate, 512);
        hit->releaseResources();
        const auto processor = audioProcessorOf (*hit);
        ASSERT_TRUE (processor != nullptr);
        Vst::ProcessSetup setup{ Vst::kRealtime, Vst::kSample32, 512, bad.rate };
        EXPECT_EQ (processor->setupProcessing (setup), kResultFalse) << bad.name;

        hit->prepareToPlay (bad.rate, 512);
        twin->releaseResources();
        twin->prepareToPlay (goodRate, 512);
        setAudibleSettings (*hit);
        setAudibleSettings (*twin);

        juce::Random random (23);
        float peak = 0.0f;

        for (int block = 0; block < 40; ++block)
        {
            juce::AudioBuffer<float> first (2, 512), second;
            fillNoise (first, random);
            second.makeCopyOf (first);
            juce::MidiBuffer midi;
            hit->processBlock (first, midi);
            twin->processBlock (second, midi);

            ASSERT_TRUE (allFinite (first)) << bad.name << ", block " << block;
            ASSERT_TRUE (bitIdentical (first, second)) << bad.name << ", block " << block;
            peak = std::max (peak, first.getMagnitude (0, 512));
        }

        EXPECT_GT (peak, 1e-3f) << bad.name << ": no reverb came out";
    }
}

TEST (MisbehavingVst3Host, RatesFromOneKilohertzToTenMegahertzAreAccepted)
{
    const BuiltPlugin built{ hostkit::Format::vst3 };
    auto plugin = built.load (goodRate, 512);
    ASSERT_NE (plugin, nullptr);
    plugin->releaseResources();
    const auto processor = audioProcessorOf (*plugin);
    ASSERT_TRUE (processor != nullptr);

    for (const double rate :
         { std::nextafter (1000.0, 0.0), 1000.0, 8000.0, 384000.0, 1.0e7, std::nextafter (1.0e7, 2.0e7) })
    {
        Vst::ProcessSetup setup{ Vst::kRealtime, Vst::kSample32, 512, rate };
        EXPECT_EQ (processor->setupProcessing (setup),
                   rate >= 1000.0 && rate <= 1.0e7 ? kResultTrue : kResultFalse)
            << rate;
    }
}

//==============================================================================
// LV2: maximum block lengths, rates and unconnected ports
//==============================================================================
namespace
{
std::unique_ptr<hostkit::Lv2DirectHost> loadLv2 (double rate, const hostkit::Lv2DirectHost::Setup& setup,
                                                 juce::String& error)
{
    return hostkit::Lv2DirectHost::load (juce::File (TOLVMARK_LV2_PATH), TOLVMARK_LV2_URI, rate, setup,
                                         error);
}

void setAudibleSettings (hostkit::Lv2DirectHost& host)
{
    const float values[16] = { 0.1f, 0.5f, 0.5f, 1.0f, 0.75f, 0.75f, 0.6f, 0.0f,
                               1.0f, 0.5f, 0.5f, 0.5f, 0.5f,  0.5f,  0.0f, 0.5f };
    for (int i = 0; i < 16; ++i)
        host.setParameter (testdata::parameterKeys[i], values[i]);
}
} // namespace

TEST (MisbehavingLv2Host, MaximumBlockLengthsThatAreNotPositiveOrAbsurdAreReplacedByABound)
{
    // Instantiated with the maximum a host sent (quickly, whatever it is), the plug-in must play runs
    // as a twin told the bound it uses instead: longer runs are played in pieces of that bound.
    struct Case
    {
        std::int32_t maximum;
        std::int32_t bound;
    };
    const Case cases[] = { { -1, 1024 },
                           { 0, 1024 },
                           { -512, 1024 },
                           { std::numeric_limits<std::int32_t>::min(), 1024 },
                           { std::numeric_limits<std::int32_t>::max(), 65536 } };
    constexpr int runLength = 70000; // longer than either bound

    for (const auto& c : cases)
    {
        const auto context = "maxBlockLength " + std::to_string (c.maximum);
        hostkit::Lv2DirectHost::Setup hitSetup, twinSetup;
        hitSetup.bufferSize = twinSetup.bufferSize = runLength;
        hitSetup.maxBlockLength = c.maximum;
        twinSetup.maxBlockLength = c.bound;

        juce::String error;
        const auto start = std::chrono::steady_clock::now();
        const auto hit = loadLv2 (goodRate, hitSetup, error);
        const auto seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
        ASSERT_NE (hit, nullptr) << context << ": " << error;
        EXPECT_LT (seconds, 5.0) << context << ": instantiation took " << seconds << " s";

        const auto twin = loadLv2 (goodRate, twinSetup, error);
        ASSERT_NE (twin, nullptr) << error;
        setAudibleSettings (*hit);
        setAudibleSettings (*twin);

        juce::Random random (24);
        float peak = 0.0f;

        for (const int length : { 512, runLength, 3000 })
        {
            juce::AudioBuffer<float> first (2, length), second;
            fillNoise (first, random);
            second.makeCopyOf (first);
            hit->process (first);
            twin->process (second);

            ASSERT_TRUE (allFinite (first)) << context << ", a run of " << length;
            ASSERT_TRUE (bitIdentical (first, second)) << context << ", a run of " << length;
            peak = std::max (peak, first.getMagnitude (0, length));
        }

        EXPECT_GT (peak, 1e-3f) << context << ": no reverb came out";
    }
}

TEST (MisbehavingLv2Host, RatesThatCannotBePlayedAtMakeNoInstance)
{
    for (const auto& bad : badRates)
    {
        juce::String error;
        EXPECT_EQ (loadLv2 (bad.rate, {}, error), nullptr) << bad.name;
    }

    for (const double rate : { 1000.0, 8000.0, 384000.0, 1.0e7 })
    {
        juce::String error;
        const auto host = loadLv2 (rate, {}, error);
        ASSERT_NE (host, nullptr) << rate << ": " << error;

        juce::Random random (25);
        juce::AudioBuffer<float> buffer (2, 512);
        for (int block = 0; block < 8; ++block)
        {
            fillNoise (buffer, random);
            host->process (buffer);
            ASSERT_TRUE (allFinite (buffer)) << rate << ", block " << block;
        }
    }
}

TEST (MisbehavingLv2Host, ARunWithARequiredPortUnconnectedIsSilentAndTheNextConnectedOnePlays)
{
    // The direct host fills its output buffers with NaN before each run: an output the plug-in does
    // not write stays NaN. With a port missing, every connected output must be cleared (the missing
    // output stays as it was); once every port is connected the plug-in must play.
    using Port = hostkit::Lv2DirectHost::Port;
    struct Case
    {
        const char* name;
        Port port;
    };
    const Case cases[] = { { "atom output", Port::controlOutPort },
                           { "first audio input", Port::audioIn1 },
                           { "second audio input", Port::audioIn2 },
                           { "first audio output", Port::audioOut1 },
                           { "second audio output", Port::audioOut2 } };

    for (const auto& c : cases)
    {
        hostkit::Lv2DirectHost::Setup setup;
        setup.unconnectedPorts = { c.port };
        juce::String error;
        const auto host = loadLv2 (goodRate, setup, error);
        ASSERT_NE (host, nullptr) << c.name << ": " << error;
        setAudibleSettings (*host);

        juce::Random random (26);
        juce::AudioBuffer<float> buffer (2, 512);

        for (int block = 0; block < 4; ++block)
        {
            fillNoise (buffer, random);
            host->process (buffer);

            for (int channel = 0; channel < 2; ++channel)
            {
                const bool missing = c.port == Port::audioOut1 + (std::uint32_t) channel;
                for (int i = 0; i < 512; ++i)
                {
                    const auto sample = buffer.getSample (channel, i);
                    ASSERT_TRUE (missing ? std::isnan (sample) : sample == 0.0f)
                        << c.name << ", block " << block << ", channel " << channel << ", sample " << i;
                }
            }
        }

        host->connectAllPorts();
        float peak = 0.0f;

        for (int block = 0; block < 8; ++block)
        {
            fillNoise (buffer, random);
            host->process (buffer);
            ASSERT_TRUE (allFinite (buffer)) << c.name << ", connected, block " << block;
            peak = std::max (peak, buffer.getMagnitude (0, 512));
        }

        EXPECT_GT (peak, 1e-3f) << c.name << ": nothing played once connected";
    }
}

TEST (MisbehavingLv2Host, WithoutTheAtomInputTheInstancePlaysWithoutMessages)
{
    // The atom input is optional to the wrapper: without it, no parameter message arrives and the
    // plug-in plays on with the values it holds.
    hostkit::Lv2DirectHost::Setup setup;
    setup.unconnectedPorts = { hostkit::Lv2DirectHost::Port::controlInPort };
    juce::String error;
    const auto host = loadLv2 (goodRate, setup, error);
    ASSERT_NE (host, nullptr) << error;

    juce::Random random (27);
    juce::AudioBuffer<float> buffer (2, 512);
    float peak = 0.0f;

    for (int block = 0; block < 8; ++block)
    {
        fillNoise (buffer, random);
        host->process (buffer);
        ASSERT_TRUE (allFinite (buffer)) << "block " << block;
        peak = std::max (peak, buffer.getMagnitude (0, 512));
    }

    EXPECT_GT (peak, 1e-3f);
}

//==============================================================================
// VST3: texts at a value, and values of texts
//==============================================================================
namespace
{
const float textValues[5] = { 0.0f, 0.25f, 0.5f, 0.75f, 1.0f };

/** What each parameter shows at 0, 0.25, 0.5, 0.75 and 1 once the value is set (index order). */
const char* const textsAtValues[16][5] = {
    { "0.00 ms", "30.00 ms", "60.00 ms", "90.00 ms", "120.00 ms" },   // predelay
    { "0.40 s", "1.00 s", "2.00 s", "3.00 s", "4.50 s" },             // decay
    { "0.50 x", "0.50 x", "1.00 x", "1.50 x", "2.00 x" },             // low
    { "0.25 x", "0.25 x", "0.33 x", "0.50 x", "max" },                // high
    { "5.00 kHz", "7.00 kHz", "9.00 kHz", "11.00 kHz", "13.00 kHz" }, // fhighcut2
    { "5.00 kHz", "7.00 kHz", "9.00 kHz", "11.00 kHz", "13.00 kHz" }, // fhighcut3
    { "0.00 %", "25.00 %", "50.00 %", "75.00 %", "100.00 %" },        // fmix
    { "ON", "OFF", "OFF", "OFF", "OFF" },                             // bypass
    { "modern", "classic", "classic", "classic", "classic" },         // use_classic
    { "-inf dB", "-6.04 dB", "-0.02 dB", "3.50 dB", "6.00 dB" },      // leftlevel
    { "-inf dB", "-6.04 dB", "-0.02 dB", "3.50 dB", "6.00 dB" },      // rightlevel
    { "-inf dB", "-6.04 dB", "-0.02 dB", "3.50 dB", "6.00 dB" },      // centerlevel
    { "-inf dB", "-6.04 dB", "-0.02 dB", "3.50 dB", "6.00 dB" },      // leftslevel
    { "-inf dB", "-6.04 dB", "-0.02 dB", "3.50 dB", "6.00 dB" },      // rightslevel
    { "normal", "reversed", "reversed", "reversed", "reversed" },     // surroundswitch
    { "1 x", "2 x", "3 x", "4 x", "4 x" },                            // oversampling
};

constexpr int oversamplingIndex = 15;

/** A component and its edit controller made from the built VST3's factory and connected, as a host
    makes them: the edit controller's own answers to the host's text calls. */
class DirectVst3
{
public:
    DirectVst3()
    {
        const auto libraries =
            juce::File (TOLVMARK_VST3_PATH).findChildFiles (juce::File::findFiles, true, "*.so");
        if (libraries.isEmpty() || !library.open (libraries.getFirst().getFullPathName()))
            return;

        const auto entry = reinterpret_cast<bool (*) (void*)> (library.getFunction ("ModuleEntry"));
        const auto factoryFunction =
            reinterpret_cast<IPluginFactory* (*) ()> (library.getFunction ("GetPluginFactory"));
        if (entry == nullptr || factoryFunction == nullptr || !entry (library.getNativeHandle()))
            return;

        entered = true;
        factory = factoryFunction();
        if (factory == nullptr)
            return;

        for (int32 i = 0; i < factory->countClasses() && component == nullptr; ++i)
        {
            PClassInfo info;
            if (factory->getClassInfo (i, &info) == kResultOk &&
                std::strcmp (info.category, kVstAudioEffectClass) == 0)
                factory->createInstance (info.cid, Vst::IComponent::iid,
                                         reinterpret_cast<void**> (&component));
        }

        if (component == nullptr || component->initialize (nullptr) != kResultOk)
            return;

        TUID controllerId;
        if (component->getControllerClassId (controllerId) != kResultOk ||
            factory->createInstance (controllerId, Vst::IEditController::iid,
                                     reinterpret_cast<void**> (&controller)) != kResultOk ||
            controller == nullptr || controller->initialize (nullptr) != kResultOk)
            return;

        FUnknownPtr<Vst::IConnectionPoint> componentPoint (component), controllerPoint (controller);
        if (componentPoint == nullptr || controllerPoint == nullptr)
            return;

        componentPoint->connect (controllerPoint);
        controllerPoint->connect (componentPoint);
        connected = { componentPoint, controllerPoint };
    }

    ~DirectVst3()
    {
        if (connected.first != nullptr)
        {
            connected.first->disconnect (connected.second);
            connected.second->disconnect (connected.first);
        }
        connected = {};

        if (controller != nullptr)
        {
            controller->terminate();
            controller->release();
        }
        if (component != nullptr)
        {
            component->terminate();
            component->release();
        }
        if (factory != nullptr)
            factory->release();
        if (entered)
            if (const auto exit = reinterpret_cast<bool (*)()> (library.getFunction ("ModuleExit")))
                exit();
    }

    bool ready() const { return controller != nullptr && connected.first != nullptr; }

    /** The edit controller's ID of the parameter the host lists under `title`. */
    Vst::ParamID idOf (const juce::String& title) const
    {
        for (int32 i = 0; i < controller->getParameterCount(); ++i)
        {
            Vst::ParameterInfo info{};
            if (controller->getParameterInfo (i, info) == kResultOk && textOf (info.title) == title)
                return info.id;
        }

        ADD_FAILURE() << "no parameter " << title;
        return Vst::kNoParamId;
    }

    static juce::String textOf (const Vst::TChar* text)
    {
        return juce::String (
            juce::CharPointer_UTF16 (reinterpret_cast<const juce::CharPointer_UTF16::CharType*> (text)));
    }

    Vst::IEditController* controller = nullptr;

private:
    juce::DynamicLibrary library;
    bool entered = false;
    IPluginFactory* factory = nullptr;
    Vst::IComponent* component = nullptr;
    std::pair<FUnknownPtr<Vst::IConnectionPoint>, FUnknownPtr<Vst::IConnectionPoint>> connected;
};

std::vector<Vst::TChar> tcharsOf (const juce::String& text)
{
    const auto utf16 = text.toUTF16();
    std::vector<Vst::TChar> chars;
    for (auto p = utf16; !p.isEmpty(); ++p)
        chars.push_back ((Vst::TChar) *p);
    chars.push_back (0);
    return chars;
}
} // namespace

TEST (Vst3Texts, TheTextOfAValueIsTheTextTheValueShowsWhenSet)
{
    // Asked through JUCE's hosting (AudioProcessorParameter::getText reaches the edit controller's
    // getParamStringByValue) on an instance that holds other values: each text must be the one the
    // value shows once it is set.
    const BuiltPlugin built{ hostkit::Format::vst3 };
    auto plugin = built.load (goodRate, 512);
    ASSERT_NE (plugin, nullptr);
    const auto parameters = ownParameters (*plugin);

    for (size_t index = 0; index < parameters.size(); ++index)
    {
        auto* parameter = parameters[index];
        parameter->setValue (0.6f);

        for (int n = 0; n < 5; ++n)
            EXPECT_EQ (parameter->getText (textValues[n], 1024), juce::String (textsAtValues[index][n]))
                << testdata::parameterKeys[index] << " at " << textValues[n];

        for (int n = 0; n < 5; ++n)
        {
            parameter->setValue (textValues[n]);
            EXPECT_EQ (parameter->getCurrentValueAsText(), juce::String (textsAtValues[index][n]))
                << testdata::parameterKeys[index] << " set to " << textValues[n];
        }
    }
}

TEST (Vst3Texts, ValuesBeyondTheRangeShowAsTheNearestEnd)
{
    DirectVst3 vst3;
    ASSERT_TRUE (vst3.ready());

    for (int index = 0; index < 16; ++index)
    {
        const auto id = vst3.idOf (testdata::parameterKeys[index]);
        for (const double value : { -1.0, -1e300, 1.5, 1e300 })
        {
            Vst::String128 text{};
            ASSERT_EQ (vst3.controller->getParamStringByValue (id, value, text), kResultOk);
            EXPECT_EQ (DirectVst3::textOf (text), juce::String (textsAtValues[index][value > 0.0 ? 4 : 0]))
                << testdata::parameterKeys[index] << " at " << value;
        }
    }
}

TEST (Vst3Texts, ATextMapsBackToAValueThatShowsIt)
{
    // Every text shown at the five values, and typed forms of it, through JUCE's hosting
    // (getValueForText reaches getParamValueByString): the value given back shows the same text.
    // Oversampling shows a stage count while its value sets a factor between the stages, so no text
    // of it stands for one value: the edit controller refuses them.
    const BuiltPlugin built{ hostkit::Format::vst3 };
    auto plugin = built.load (goodRate, 512);
    ASSERT_NE (plugin, nullptr);
    const auto parameters = ownParameters (*plugin);
    DirectVst3 vst3;
    ASSERT_TRUE (vst3.ready());

    for (int index = 0; index < 16; ++index)
    {
        auto* parameter = parameters[(size_t) index];
        const auto id = vst3.idOf (testdata::parameterKeys[index]);

        for (int n = 0; n < 5; ++n)
        {
            const juce::String shown (textsAtValues[index][n]);
            const auto number = shown.upToFirstOccurrenceOf (" ", false, false);
            const auto hasNumber = number.containsOnly ("-0123456789.");

            for (const auto& typed :
                 { shown, shown.toUpperCase(), " " + shown + " ", hasNumber ? number : shown })
            {
                Vst::ParamValue value = -1.0;
                const auto result =
                    vst3.controller->getParamValueByString (id, tcharsOf (typed).data(), value);
                const auto context =
                    std::string (testdata::parameterKeys[index]) + ": \"" + typed.toStdString() + "\"";

                if (index == oversamplingIndex)
                {
                    EXPECT_EQ (result, kResultFalse) << context;
                    continue;
                }

                ASSERT_EQ (result, kResultOk) << context;
                EXPECT_GE (value, 0.0) << context;
                EXPECT_LE (value, 1.0) << context;
                EXPECT_EQ (parameter->getText ((float) value, 1024), shown) << context;
                EXPECT_EQ (parameter->getText (parameter->getValueForText (typed), 1024), shown) << context;
            }
        }
    }
}

TEST (Vst3Texts, NumbersBetweenTheTextsMapToTheValueThatShowsThem)
{
    DirectVst3 vst3;
    ASSERT_TRUE (vst3.ready());

    struct Case
    {
        int index;
        const char* typed;
        const char* shown;
    };
    const Case cases[] = { { 0, "45", "45.00 ms" },      { 0, "12.34 ms", "12.34 ms" },
                           { 4, "6.5 kHz", "6.50 kHz" }, { 6, "33.3 %", "33.30 %" },
                           { 9, "-3 dB", "-3.00 dB" },   { 9, "-20.5 dB", "-20.50 dB" },
                           { 1, "1.5", "1.50 s" },       { 1, "2.2 s", "2.20 s" },
                           { 3, "0.33", "0.33 x" },      { 2, "1.5 X", "1.50 x" } };

    for (const auto& c : cases)
    {
        const auto id = vst3.idOf (testdata::parameterKeys[c.index]);
        Vst::ParamValue value = -1.0;
        ASSERT_EQ (vst3.controller->getParamValueByString (id, tcharsOf (c.typed).data(), value), kResultOk)
            << c.typed;
        Vst::String128 text{};
        ASSERT_EQ (vst3.controller->getParamStringByValue (id, value, text), kResultOk);
        EXPECT_EQ (DirectVst3::textOf (text), juce::String (c.shown)) << c.typed;
    }
}

TEST (Vst3Texts, TextsThatNoSingleValueShowsAreRefused)
{
    DirectVst3 vst3;
    ASSERT_TRUE (vst3.ready());

    struct Case
    {
        int index;
        const char* typed;
    };
    const Case cases[] = {
        { 0, "500 ms" },   { 0, "-1 ms" },   { 0, "30 s" },    { 0, "" },         { 0, "abc" },
        { 0, "1e1" },      { 0, "nan" },     { 0, "inf ms" },  { 0, "3..0" },     { 1, "1.6 s" },
        { 1, "0.1 s" },    { 2, "3.00 x" },  { 3, "maximum" }, { 4, "4 kHz" },    { 4, "14 kHz" },
        { 6, "101 %" },    { 7, "maybe" },   { 7, "1" },       { 8, "classic!" }, { 9, "7 dB" },
        { 9, "-1000 dB" }, { 14, "modern" }, { 15, "4 x" },    { 15, "2" },
    };

    for (const auto& c : cases)
    {
        const auto id = vst3.idOf (testdata::parameterKeys[c.index]);
        Vst::ParamValue value = -1.0;
        EXPECT_EQ (vst3.controller->getParamValueByString (id, tcharsOf (c.typed).data(), value),
                   kResultFalse)
            << testdata::parameterKeys[c.index] << ": \"" << c.typed << "\"";
        EXPECT_EQ (value, -1.0) << c.typed;
    }
}
