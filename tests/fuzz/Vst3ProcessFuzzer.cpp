// libFuzzer target: the VST3 wrapper's processing, driven as a host that breaks the rules would drive
// it: process setups at any sample rate and maximum block size, then blocks of any length (longer than
// the maximum as well), in buffers of exactly that length.
//
// The target has the (patched) VST3 wrapper compiled in, as the plug-in binary has, and drives it only
// through its VST3 entry point and interfaces. Besides the sanitizers' own checks (every block's
// buffers are allocated at its length, so AddressSanitizer sees any access past them), a setup must be
// accepted exactly when its rate is within 1 kHz .. 10 MHz, a block in buffers of another
// sample size than the setup's must be refused, and every output sample must be finite.
//
// An input is read as: a rate byte (an index into sampleRates, or 255 for the next eight bytes as a
// double), the maximum block size (four bytes, little-endian, signed), a byte whose lowest bit asks for
// 64-bit samples, then for each block two bytes of length (little-endian, at most 16384) and a byte
// whose lowest bit hands over buffers of the other sample size.

#include "Vst3ComponentEntry.h"

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

using namespace Steinberg;

namespace
{
void failed (const char* what, int line)
{
    std::fprintf (stderr, "check failed at line %d: %s\n", line, what);
    std::abort();
}

#define check(condition) ((condition) ? (void) 0 : failed (#condition, __LINE__))

const double sampleRates[] = { 48000.0,
                               44100.0,
                               8000.0,
                               1000.0,
                               192000.0,
                               1.0e7,
                               0.0,
                               -0.0,
                               std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               1e-300,
                               5e-324,
                               0.5,
                               2.66,
                               999.999,
                               1e300,
                               -48000.0 };

constexpr int maxBlockLength = 16384;
constexpr int maxBlocks = 8;

struct Reader
{
    const std::uint8_t* next;
    size_t left;

    bool has (size_t n) const { return left >= n; }

    std::uint64_t take (size_t n)
    {
        std::uint64_t value = 0;
        for (size_t i = 0; i < n && left > 0; ++i, --left)
            value |= (std::uint64_t) *next++ << (8 * i);
        return value;
    }
};

struct Component
{
    Vst::IComponent* component = nullptr;
    Vst::IAudioProcessor* processor = nullptr;
    int numInputs = 0, numOutputs = 0;
    bool canDoDoubles = false;
    Vst::SymbolicSampleSizes sampleSize = Vst::kSample32; // of the setup the component holds
};

Component& theComponent()
{
    // One component for the whole run, set up again for every input, as a host keeps one through a
    // session and changes its setup.
    static Component c = []
    {
        Component made;
        made.component = createInitialisedComponent();
        check (made.component != nullptr);
        check (made.component->queryInterface (Vst::IAudioProcessor::iid,
                                               reinterpret_cast<void**> (&made.processor)) == kResultOk);

        Vst::BusInfo bus{};
        check (made.component->getBusInfo (Vst::kAudio, Vst::kInput, 0, bus) == kResultOk);
        made.numInputs = bus.channelCount;
        check (made.component->getBusInfo (Vst::kAudio, Vst::kOutput, 0, bus) == kResultOk);
        made.numOutputs = bus.channelCount;
        made.component->activateBus (Vst::kAudio, Vst::kInput, 0, true);
        made.component->activateBus (Vst::kAudio, Vst::kOutput, 0, true);
        made.canDoDoubles = made.processor->canProcessSampleSize (Vst::kSample64) == kResultTrue;
        return made;
    }();

    return c;
}

/** One block in buffers of exactly `length` samples of type T per channel. */
template <typename T> void processBlock (Component& c, int length, bool otherSize, juce::Random& random)
{
    std::vector<std::vector<T>> inputs ((size_t) c.numInputs, std::vector<T> ((size_t) length));
    std::vector<std::vector<T>> outputs ((size_t) c.numOutputs, std::vector<T> ((size_t) length, (T) 7));
    std::vector<T*> inputPointers, outputPointers;

    for (auto& channel : inputs)
    {
        for (auto& sample : channel)
            sample = (T) (random.nextFloat() - 0.5f);
        inputPointers.push_back (channel.data());
    }
    for (auto& channel : outputs)
        outputPointers.push_back (channel.data());

    Vst::AudioBusBuffers in{}, out{};
    in.numChannels = c.numInputs;
    out.numChannels = c.numOutputs;

    if constexpr (std::is_same_v<T, float>)
    {
        in.channelBuffers32 = inputPointers.data();
        out.channelBuffers32 = outputPointers.data();
    }
    else
    {
        in.channelBuffers64 = inputPointers.data();
        out.channelBuffers64 = outputPointers.data();
    }

    Vst::ProcessData data{};
    data.processMode = Vst::kRealtime;
    data.symbolicSampleSize = std::is_same_v<T, float> ? Vst::kSample32 : Vst::kSample64;
    data.numSamples = length;
    data.numInputs = 1;
    data.numOutputs = 1;
    data.inputs = &in;
    data.outputs = &out;

    const auto result = c.processor->process (data);

    if (otherSize)
    {
        check (result == kResultFalse);
        return;
    }

    check (result == kResultOk);

    for (const auto& channel : outputs)
        for (const auto sample : channel)
            check (std::isfinite (sample));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* bytes, std::size_t size)
{
    auto& c = theComponent();
    Reader input{ bytes, size };

    const auto rateIndex = (size_t) input.take (1);
    double rate = 48000.0;
    if (rateIndex < std::size (sampleRates))
        rate = sampleRates[rateIndex];
    else if (rateIndex == 255)
    {
        const auto word = input.take (8);
        std::memcpy (&rate, &word, sizeof (rate));
    }

    const auto maximum = (int32) (std::uint32_t) input.take (4);
    const bool doubles = (input.take (1) & 1) != 0 && c.canDoDoubles;

    c.component->setActive (false);
    Vst::ProcessSetup setup{ Vst::kRealtime, doubles ? Vst::kSample64 : Vst::kSample32, maximum, rate };
    const auto accepted = c.processor->setupProcessing (setup) == kResultTrue;
    check (accepted == (rate >= 1000.0 && rate <= 1.0e7));
    if (accepted)
        c.sampleSize = doubles ? Vst::kSample64 : Vst::kSample32;
    c.component->setActive (true);
    c.processor->setProcessing (true);

    juce::Random random (1);

    for (int block = 0; block < maxBlocks && input.has (3); ++block)
    {
        const auto length = (int) (input.take (2) % (maxBlockLength + 1));
        const bool otherSize = (input.take (1) & 1) != 0;
        const bool asDoubles = (c.sampleSize == Vst::kSample64) != otherSize;

        if (asDoubles)
            processBlock<double> (c, length, otherSize, random);
        else
            processBlock<float> (c, length, otherSize, random);
    }

    c.processor->setProcessing (false);
    return 0;
}
