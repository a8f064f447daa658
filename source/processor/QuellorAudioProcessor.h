#pragma once

#include "dsp/Allpass.h"
#include "dsp/Compander.h"
#include "dsp/Compander4.h"
#include "dsp/InlineIIRFilter.h"
#include "dsp/Lowpass.h"
#include "dsp/Lowpass4.h"
#include "dsp/Mixer.h"
#include "dsp/SimpleDelay.h"
#include "dsp/WireBuffer.h"
#include "engine/EngineState.h"
#include "engine/FilterBanks.h"
#include "engine/NetworkMap.h"
#include "processor/ParameterValueTexts.h"
#include "processor/Parameters.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <cstdint>

// The processor speaks to hosts through JUCE's index-based parameter interface, which JUCE 7 marks
// deprecated while still supporting it. The warnings are silenced for this class only.
JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

/** One factory program: sixteen values in record order and a NUL-terminated name of at most 23 bytes.

    Record order differs from the parameter index order at entries 8..14: entries 8..12 are the five
    levels (indexes 9..13), 13 the surround switch (14), 14 the classic switch (8), 15 oversampling.
*/
struct ProgramRecord
{
    double values[16];
    char name[24];
};

/** The Tolv_mark reverb processor.

    One instance per plug-in instance; it owns the whole reverb network by value (never copied); only
    the delay lines' samples live on the heap, sized for the rate at each preparation. Host-facing calls
    arrive on the message thread or a host thread, audio on the audio thread; see each member for its
    threading rules.
*/
class QuellorAudioProcessor : public juce::AudioProcessor, public tolvmark::ParameterValueTexts
{
public:
    /** A millisecond clock, compared as unsigned 32-bit differences (juce::Time::getMillisecondCounter). */
    using MillisecondClock = juce::uint32 (*)();

    /** Builds the complete processor at 44.1 kHz, with delay storage for that rate. Message thread;
        allocates. */
    QuellorAudioProcessor();

    /** As the default constructor, with the clock that guards early program changes (tests inject one). */
    explicit QuellorAudioProcessor (MillisecondClock clock);

    /** Destroys the processor. Message thread. */
    ~QuellorAudioProcessor() override;

    //==============================================================================
    /** Returns "Tolv_mark". Any thread; allocates the string. */
    const juce::String getName() const override;

    /** Retunes the network to the host's sample rate and sizes the delay lines' storage for it. A rate
        that isUsableSampleRate refuses (0, negative, NaN, infinite, or out of its range) never reaches
        the network: the network is prepared at the last rate it was prepared at instead (44,100 Hz before
        the first preparation). Message thread, never during a block; allocates (and writes) the delay
        storage. */
    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;

    /** The lowest and highest sample rates, in Hz, that preparation accepts. */
    static constexpr double kMinSampleRate = 1000.0;
    static constexpr double kMaxSampleRate = 100.0e6;

    /** True for a rate the network can run at: finite and within kMinSampleRate..kMaxSampleRate. Any
        thread; no allocation. */
    static constexpr bool isUsableSampleRate (double rate) noexcept
    {
        return rate >= kMinSampleRate && rate <= kMaxSampleRate; // false for NaN too
    }

    /** Does nothing: the network keeps its memory until the next reset or preparation. */
    void releaseResources() override;

    /** Runs the reverb on one block in place. Audio thread; no allocation, no lock. */
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;

    /** The same algorithm on double host samples. No host calls it: the processor does not support
        double precision (supportsDoublePrecisionProcessing keeps JUCE's false), so the format wrappers
        always pass float blocks; the tests call it to read the engine's output without float rounding.
        Audio thread; no allocation, no lock. */
    void processBlock (juce::AudioBuffer<double>& buffer, juce::MidiBuffer& midi) override;

    /** Returns 10 seconds. Any thread. */
    double getTailLengthSeconds() const override;

    /** Returns false: no MIDI in. */
    bool acceptsMidi() const override;

    /** Returns false: no MIDI out. */
    bool producesMidi() const override;

    /** Clears the network's signal memory under the callback lock. Any thread except inside a block. */
    void reset() override;

    /** Creates the editor. Message thread; allocates the editor. */
    juce::AudioProcessorEditor* createEditor() override;

    /** Returns true. */
    bool hasEditor() const override;

    //==============================================================================
    /** Returns 10. */
    int getNumPrograms() override;

    /** Returns the current program index. Any thread. */
    int getCurrentProgram() override;

    /** Applies a factory program through setParameter. Message thread. */
    void setCurrentProgram (int index) override;

    /** Returns a program's name (blank outside 0..9). Message thread; allocates the string. */
    const juce::String getProgramName (int index) override;

    /** Renames a program (cut to 23 UTF-8 bytes at a character boundary). Message thread. */
    void changeProgramName (int index, const juce::String& newName) override;

    /** Writes the saved-state block. Message thread; allocates the block. */
    void getStateInformation (juce::MemoryBlock& destData) override;

    /** Restores a saved-state block; anything malformed changes nothing. Message thread. */
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==============================================================================
    /** Accepts mono, stereo, 5.1 and 7.1.2 main buses with no more inputs than outputs. Any thread. */
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    /** Returns 16. */
    int getNumParameters() override;

    /** The key of parameters 0..15, "not in use" for 16, blank otherwise. Allocates the string. */
    const juce::String getParameterName (int index) override;

    /** The parameter's key as its host ID ("predelay", "decay", ...), so hosts store stable IDs. */
    juce::String getParameterID (int index) override;

    /** The stored value (flags 0 or 1, the meter for 16, 0 outside 0..16). Any thread; lock-free. */
    float getParameter (int index) override;

    /** The display text of parameters 0..15, blank otherwise. Any thread; allocates the string. */
    const juce::String getParameterText (int index) override;

    /** The reported default of parameters 0..15, 0 otherwise. */
    float getParameterDefaultValue (int index) override;

    /** Stores a value and retunes what depends on it. Any non-audio thread, or the audio thread between
        blocks (as hosts deliver automation); may wait for a running block. Non-finite values sent to a
        float parameter are ignored, finite values outside 0..1 are clipped to the range. No allocation. */
    void setParameter (int index, float value) override;

    /** The text parameter 0..15 shows once `value` is set through a wrapper that clips to 0..1 (as the
        VST3 wrapper does): a switch as its flag, any other value clipped to 0..1; a NaN switches a
        switch on and is not stored in any other (which shows its current value). Blank for other
        indexes. Any thread; allocates the string. */
    juce::String getTextForValue (int index, double value) const override;

    /** The value parameter 0..15 shows as `text`, when one value does (tolvmark::parameterValueForText).
        Any thread; allocates temporary strings. */
    bool getValueForText (int index, const juce::String& text, double& value) const override;

    /** Decimal text of index + 1. */
    const juce::String getInputChannelName (int channelIndex) const override;

    /** Decimal text of index + 1. */
    const juce::String getOutputChannelName (int channelIndex) const override;

    /** Returns false. */
    bool silenceInProducesSilenceOut() const override;

    //==============================================================================
    /** Lock-free read of a stored parameter value, as getParameter but const and not deprecated.
        Any thread (the editor's timer uses it). */
    float parameterValue (int index) const noexcept;

    /** Bytes of sample storage the delay lines hold (sized at construction for 44.1 kHz and at every
        preparation for the host's rate). Message thread, or any thread while no preparation runs; no
        allocation. */
    size_t delayStorageBytes() const noexcept;

private:
    friend struct ProcessorInspector; // read-only view of the network for the test suite

    //==============================================================================
    // Parameter values, indexes 0..16. Written by host, editor and program threads, read by the audio
    // thread and the editor timer: every value is an independent atomic scalar (relaxed ordering).
    std::atomic<float> predelay{ tolvmark::initialValueOf (tolvmark::kPredelay) };
    std::atomic<float> decay{ tolvmark::initialValueOf (tolvmark::kDecay) };
    std::atomic<float> low{ tolvmark::initialValueOf (tolvmark::kLow) };
    std::atomic<float> high{ tolvmark::initialValueOf (tolvmark::kHigh) };
    std::atomic<float> fhighcut2{ tolvmark::initialValueOf (tolvmark::kHighCut2) };
    std::atomic<float> fhighcut3{ tolvmark::initialValueOf (tolvmark::kHighCut3) };
    std::atomic<float> inputMeter{ tolvmark::initialValueOf (tolvmark::kInputMeter) };
    std::atomic<float> fmix{ tolvmark::initialValueOf (tolvmark::kMix) };
    std::atomic<float> oversampling{ tolvmark::initialValueOf (tolvmark::kOversampling) };
    std::atomic<std::uint8_t> bypass{ tolvmark::initialFlagOf (tolvmark::kBypass) };
    std::atomic<std::uint8_t> useClassic{ tolvmark::initialFlagOf (tolvmark::kUseClassic) };
    std::atomic<std::uint8_t> surroundSwitch{ tolvmark::initialFlagOf (tolvmark::kSurroundSwitch) };
    std::atomic<float> leftLevel{ tolvmark::initialValueOf (tolvmark::kLeftLevel) };
    std::atomic<float> rightLevel{ tolvmark::initialValueOf (tolvmark::kRightLevel) };
    std::atomic<float> centerLevel{ tolvmark::initialValueOf (tolvmark::kCenterLevel) };
    std::atomic<float> leftSLevel{ tolvmark::initialValueOf (tolvmark::kLeftSLevel) };
    std::atomic<float> rightSLevel{ tolvmark::initialValueOf (tolvmark::kRightSLevel) };

    /** Where parameter 0..16 is stored: one of the two members, by the kind the parameter table gives. */
    struct ParameterStorage
    {
        std::atomic<float> QuellorAudioProcessor::*value;
        std::atomic<std::uint8_t> QuellorAudioProcessor::*flag;
    };

    /** The storage of parameter `index`, or nullptr outside 0..16. Any thread; no allocation. */
    static const ParameterStorage* storageOf (int index) noexcept;

    /** The float member of a float parameter (or the meter), else nullptr. Any thread; no allocation. */
    std::atomic<float>* floatParameter (int index) noexcept;

    /** The flag member of a switch parameter, else nullptr. Any thread; no allocation. */
    std::atomic<std::uint8_t>* flagParameter (int index) noexcept;

    //==============================================================================
    // Programs.
    juce::Array<ProgramRecord> factoryPrograms;
    std::atomic<int> curProgram{ 0 };

    //==============================================================================
    // The reverb network, in the order of its numbering. Everything the engine reads is written only
    // while the callback lock is held (setParameter, prepareToPlay, reset), so a block always sees one
    // consistent set of coefficients.
    Compander inputCompander;
    Compander4 outputCompander;
    // The delay lines are built without storage; sizeDelayStorage gives each the storage it needs at the
    // current rate (at construction for 44.1 kHz, then at every preparation).
    struct NetworkDelayLine : SimpleDelay
    {
        NetworkDelayLine() noexcept : SimpleDelay (SimpleDelay::withoutStorage) {}
    };
    NetworkDelayLine delayLinesBelowAllpass[24]; // delay lines 0..23
    Allpass allpass{ 0.15, 0.633f };             // built and kept, never processed
    NetworkDelayLine delayLinesAboveAllpass[45]; // delay lines 24..68
    Lowpass4 bandLimitFilters[2];
    Lowpass highCutFilters[5];
    Mixer mixers[tolvmark::network::numMixers];
    InlineIIRFilter highShelfFilters[3];
    InlineIIRFilter classicToneFilter;
    InlineIIRFilter lowShelfFilters[3];
    WireBuffer wireBuffers[tolvmark::network::numWireBuffers];

    /** Delay line n (0..68) by its number. */
    SimpleDelay& delayLine (int n) noexcept
    {
        return n < 24 ? delayLinesBelowAllpass[n] : delayLinesAboveAllpass[n - 24];
    }
    const SimpleDelay& delayLine (int n) const noexcept
    {
        return n < 24 ? delayLinesBelowAllpass[n] : delayLinesAboveAllpass[n - 24];
    }

    // Engine state, tables and constants.
    double currentSampleRate = 44100.0;
    double oversamplingFactor = 1.0;
    double modulationDepth = 0.0095;
    double modulationRates[5]{};
    double modulationStepSizes[4]{};
    int stepDecayDivisor = 0;
    double diffuserGains[3]{};
    float meterPeak = 0.0f;
    double tankColumnDb[3]{};
    double tankTapDb[3][4]{};
    int cascadeStageCount = 1;
    tolvmark::CrossfadeLfo cascadeLfos[3];
    tolvmark::CrossfadeLfo gainLfo;
    tolvmark::CrossfadeLfo diffuserLfo;
    tolvmark::ModulatorConstants modulatorConstants;
    tolvmark::EngineSignals signals;

    // The delay lines the current block ticks, and where each is written and read during the current
    // run of samples (see source/engine/LineCursors.h). Audio thread only.
    tolvmark::LineCursor lineCursors[tolvmark::network::numLines];
    // Lines written since the last clear: a clear only needs to touch these (the others already read
    // as silence), so it never reaches into the memory of lines the engine does not tick.
    bool lineWrittenSinceClear[tolvmark::network::numLines]{};
    int cascadeLoopLines[tolvmark::network::maxCascadeLoopLines]{};
    int numCascadeLoopLines = 0;
#if JUCE_DEBUG
    bool lineInRun[tolvmark::network::numLines]{}; // checks that a stage ticks only lines of its run
#endif
    int runPosition = 0;       // sample of the current run
    bool linesRetuned = false; // a modulator changed a ticked line's delay during this sample

    // The high-cut filters and the tank's shelves, stepped side by side within a block (see
    // source/engine/FilterBanks.h). Audio thread only.
    tolvmark::HighCutBank highCutBank;
    tolvmark::ShelfBank highShelfBank;
    tolvmark::ShelfBank lowShelfBank;

    // The per-sample work runs in chunks: the input stage fills the band-limited input of a chunk first,
    // the network then leaves what the cascade needs, and the cascade the output stage's inputs. Audio
    // thread only.
    static constexpr int kChunk = 256;
    double bandLimitedChunk[kChunk]{};
    tolvmark::TankGains tankGainChunk[kChunk]{};
    tolvmark::NetworkOutputs networkChunk[kChunk]{};
    tolvmark::OutputChannels outputChunk[kChunk]{};

    //==============================================================================
    // Hooks of setParameter that retune the network for the value just stored.
    void initialiseNetwork();
    void initialiseModulationConstants();
    static int cascadeStagesFor (double factor, float oversamplingValue) noexcept;
    void applyPredelayTimes();
    void applyHighCut();
    void applyOversamplingFactor();
    void updateCoefficients();

    /** Gives every delay line the engine ticks storage for the longest delay it can be given until the
        next preparation (over every parameter value and every state its modulator can reach from the
        current one, at the lines' current rate), and the idle lines none; clears every line. Runs after
        updateCoefficients, at construction and in prepareToPlay. Message thread, under the callback lock
        (or before any block); allocates and writes the storage. */
    void sizeDelayStorage() noexcept;

    /** Stores one parameter value and retunes what depends on it directly (pre-delay lines, high-cut
        filters, density factor), without the coefficient update. Returns true when the value asks for
        the network to be cleared. Caller holds the callback lock; no allocation. */
    bool storeParameter (int index, float value) noexcept;

    /** Clears the network's signal memory (what reset does, without taking the callback lock, which
        the caller holds: reset(), or a block that left the network non-finite). Constant time: the
        delay lines only forget what they were written. No lock, no allocation. */
    void clearNetwork() noexcept;

    /** Applies a whole set of values as one change, under the callback lock: each present value is
        stored in the order given, then the network is cleared once if any value asks for it, and the
        coefficients are updated once. No block runs in between. No allocation. */
    void applyParameterSet (const int* indexes, const float* values, int count);

    template <typename SampleType> void renderBlock (juce::AudioBuffer<SampleType>& buffer);

    // The engine's per-sample stages, in the order the signal flows (source/engine/).
    template <bool classic, typename SampleType>
    void renderSamples (SampleType* const* host, int numChannels, int numSamples,
                        const tolvmark::BlockSettings& settings) noexcept;
    void setUpModulators() noexcept;
    void updateModulatorConstants() noexcept;
    void stepCascadeLfo (int column) noexcept;
    template <bool classic> void stepGainLfo() noexcept;
    template <bool classic> void stepDiffuserLfo() noexcept;
    template <bool classic> tolvmark::InputNetworkOutputs runInputNetwork (double bandLimitedInput) noexcept;
    template <bool classic>
    double runInputFilters (Compander& compander, Lowpass4& bandLimit0, Lowpass4& bandLimit1,
                            double inputLeft, double inputRight) noexcept;
    template <bool classic> tolvmark::TankGains wobbleTankGains() noexcept;
    template <bool classic>
    void runTank (double diffuserOutput, tolvmark::TankGains gains,
                  tolvmark::FloatQuad& writtenCheck) noexcept;
    void runTapMixers (double& tapSumX, double (&columnInputs)[3]) noexcept;
    void runDensityCascade (const double (&columnInputs)[3], double (&cascadeOutputs)[3]) noexcept;
    tolvmark::OutputChannels outputChannelsOf (const double (&cascadeOutputs)[3], double tapSumX,
                                               const tolvmark::InputNetworkOutputs& input) noexcept;
    tolvmark::WetSignals runOutputStage (tolvmark::OutputChannels channels, const double (&levelGains)[5],
                                         double& writtenCheck) noexcept;
    // True when every value the network keeps between samples, its delay lines aside, is finite.
    bool networkStateIsFinite() const noexcept;
    void updateMeter (float blockPeak) noexcept;
    void listCascadeLoopLines() noexcept;
    int beginLineRuns (const int* lines, int count, int maxLength) noexcept;
    void endLineRuns (const int* lines, int count, int length) noexcept;
    void restartLineRuns (tolvmark::LineRuns& runs, int sample, int numSamples) noexcept;
    void enterLineRuns (tolvmark::LineRuns& runs, int sample, int numSamples) noexcept;
    void finishLineRuns (tolvmark::LineRuns& runs, int numSamples) noexcept;
    double tickLine (int n, double input) noexcept;
    void retuneLine (int n, double time) noexcept;
    void loadFilterBanks() noexcept;
    void storeFilterBanks() noexcept;

    void addFactoryPrograms();

    std::atomic<int> programChangeStamp{ 0 };
    MillisecondClock millisecondClock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuellorAudioProcessor)
};

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
