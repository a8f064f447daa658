#pragma once

// Test-only view into the processor's reverb network. The processor declares this struct its friend,
// so the test suite can check (and, for set-ups, arrange) the network's state without widening the
// interface hosts see.

#include "processor/QuellorAudioProcessor.h"

struct ProcessorInspector
{
    using P = QuellorAudioProcessor;

    static SimpleDelay& delayLine (P& p, int n) { return p.delayLine (n); }
    static Allpass& allpass (P& p) { return p.allpass; }
    static Compander& inputCompander (P& p) { return p.inputCompander; }
    static Compander4& outputCompander (P& p) { return p.outputCompander; }
    static Lowpass4& bandLimitFilter (P& p, int n) { return p.bandLimitFilters[n]; }
    static Lowpass& highCutFilter (P& p, int n) { return p.highCutFilters[n]; }
    static Mixer& mixer (P& p, int n) { return p.mixers[n]; }
    static juce::IIRFilter& highShelfFilter (P& p, int n) { return p.highShelfFilters[n]; }
    static juce::IIRFilter& lowShelfFilter (P& p, int n) { return p.lowShelfFilters[n]; }
    static juce::IIRFilter& classicToneFilter (P& p) { return p.classicToneFilter; }
    static WireBuffer& wireBuffer (P& p, int n) { return p.wireBuffers[n]; }

    static double& currentSampleRate (P& p) { return p.currentSampleRate; }
    static double& oversamplingFactor (P& p) { return p.oversamplingFactor; }
    static int& cascadeStageCount (P& p) { return p.cascadeStageCount; }
    static double& modulationDepth (P& p) { return p.modulationDepth; }
    static double (&modulationRates (P& p))[5] { return p.modulationRates; }
    static double (&modulationStepSizes (P& p))[4] { return p.modulationStepSizes; }
    static int& stepDecayDivisor (P& p) { return p.stepDecayDivisor; }
    static double (&diffuserGains (P& p))[3] { return p.diffuserGains; }
    static float& meterPeak (P& p) { return p.meterPeak; }
    static double (&tankColumnDb (P& p))[3] { return p.tankColumnDb; }
    static double (&tankTapDb (P& p))[3][4] { return p.tankTapDb; }

    static tolvmark::CrossfadeLfo& cascadeLfo (P& p, int n) { return p.cascadeLfos[n]; }
    static tolvmark::CrossfadeLfo& gainLfo (P& p) { return p.gainLfo; }
    static tolvmark::CrossfadeLfo& diffuserLfo (P& p) { return p.diffuserLfo; }
    static tolvmark::EngineSignals& signals (P& p) { return p.signals; }

    // The engine's stages, one call each. They are templates so that only a test that includes the
    // engine headers (engine/Modulators.h, engine/InputNetwork.h, engine/Tank.h, engine/OutputNetwork.h)
    // instantiates them. The work-buffer pointers they use are taken by every processed block, so run
    // one block (an empty one will do) before calling a stage.
    template <typename Processor = P> static void setUpModulators (Processor& p) { p.setUpModulators(); }
    // The modulators' per-block constants are refreshed first, as a block head would, so a test may
    // change the network between steps.
    template <typename Processor = P> static void stepCascadeLfo (Processor& p, int column)
    {
        p.updateModulatorConstants();
        p.stepCascadeLfo (column);
    }
    template <bool classic, typename Processor = P> static void stepGainLfo (Processor& p)
    {
        p.updateModulatorConstants();
        p.template stepGainLfo<classic>();
    }
    template <bool classic, typename Processor = P> static void stepDiffuserLfo (Processor& p)
    {
        p.updateModulatorConstants();
        p.template stepDiffuserLfo<classic>();
    }
    // A stage called on its own ticks its delay lines as one sample, as in the block loop.
    template <bool classic, typename Processor = P>
    static tolvmark::InputNetworkOutputs runInputNetwork (Processor& p, double left, double right)
    {
        const auto& lines = tolvmark::network::inputNetworkLines;
        p.beginLineRuns (lines.data(), (int) lines.size(), 1);
        const auto out = p.template runInputNetwork<classic> (p.template runInputFilters<classic> (
            p.inputCompander, p.bandLimitFilters[0], p.bandLimitFilters[1], left, right));
        p.endLineRuns (lines.data(), (int) lines.size(), 1);
        return out;
    }
    template <bool classic, typename Processor = P> static void runTank (Processor& p, double diffuserOutput)
    {
        const int* lines = &tolvmark::network::tankChains[0][0];
        p.beginLineRuns (lines, 12, 1);
        p.loadFilterBanks();
        tolvmark::FloatQuad writtenCheck{};
        p.template runTank<classic> (diffuserOutput, p.template wobbleTankGains<classic>(), writtenCheck);
        p.storeFilterBanks();
        p.endLineRuns (lines, 12, 1);
    }

    /** The coefficients (b0, b1, b2, a1, a2, normalised) a JUCE IIR filter currently holds. */
    static juce::IIRCoefficients coefficientsOf (const juce::IIRFilter& filter)
    {
        return filter.getCoefficients();
    }
};
