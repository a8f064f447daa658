#pragma once

// A plain, literal second implementation of the Tolv_mark reverb engine, kept in the tests so the
// optimised engine can be compared with it bit for bit.
//
// Everything here is written for readability, not speed: each building block is a small struct with
// its own state, each engine stage is one function, and every operation keeps the precision and the
// order of evaluation the engine's results depend on (double unless the code says float). Nothing is
// shared with the plug-in's sources except JUCE (the shelf designs and the denormal guard). It handles
// the inputs a plain formula would get wrong the same way the plug-in does:
// - a delay time that asks for a negative number of samples gives 0 samples (setDelayTime and
//   setSampleRate), one that reaches the capacity gives capacity - 1 (setDelayTime only);
// - the classic gain modulator reflects at +-1 like the modern one, with the block-head steps;
//   the classic diffuser modulator does not move;
// - a non-finite host input sample is fed to the engine as 0 (the dry path keeps it) and does not
//   raise the meter (an infinite peak would hold the meter at its top for good);
// - a factor that is not exactly 1..4 runs the stage count the oversampling text names;
// - filter design frequencies at or above half the rate are designed at 0.49 x the rate;
// - a non-finite value sent to a float parameter is ignored; a finite value above 1 is stored as 1, one
//   below 0 (and -0) as 0;
// - a compander whose detector sees a non-finite level treats it as silence;
// - a block after which a delay line holds a non-finite value (one it was given since it was last
//   cleared), or after which any other value that reset() clears is non-finite, ends with a reset().
//
// The object holds 69 delay lines of 150,000 doubles (about 83 MB): create it on the heap.

#include <juce_audio_basics/juce_audio_basics.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace tolvmark_reference
{
//==============================================================================
/** An integer delay line in tenths of a second: write first, then read delaySamples back. Its fields are
    its whole state, public so a test can look at them. */
struct DelayLine
{
    static constexpr int kCapacity = 150000;

    double sampleRate = 44100.0;
    std::vector<double> buffer = std::vector<double> (kCapacity, 0.0);
    int capacity = kCapacity;
    int writeIndex = 0;
    int delaySamples = 1;
    int readIndex = 0;
    double time = 0.0;
    bool holdsNonFinite = false; // given a non-finite value since the last clear

    /** Stores the time and sets the delay to its truncated sample count, within 0..capacity-1. */
    void setDelayTime (double newTime)
    {
        time = newTime;
        const double samples = newTime * sampleRate / 10.0;
        if (!(samples >= 0.0))
            delaySamples = 0;
        else if (samples >= capacity)
            delaySamples = capacity - 1;
        else
            delaySamples = static_cast<int> (samples);
    }

    /** Stores the rate, recounts the stored time without the upper bound and clears the buffer. */
    void setSampleRate (double newRate)
    {
        sampleRate = newRate;
        const double samples = time * newRate / 10.0;
        if (!(samples >= 0.0))
            delaySamples = 0;
        else if (samples >= static_cast<double> (std::numeric_limits<int>::max()))
            delaySamples = capacity - 1;
        else
            delaySamples = static_cast<int> (samples);
        clear();
    }

    /** Zeroes the buffer; positions and delay stay. */
    void clear()
    {
        std::fill (buffer.begin(), buffer.end(), 0.0);
        holdsNonFinite = false;
    }

    /** Writes x and returns the sample delaySamples ticks old. */
    double tick (double x)
    {
        if (!std::isfinite (x))
            holdsNonFinite = true;
        buffer[static_cast<size_t> (writeIndex)] = x;
        readIndex = writeIndex - delaySamples;
        if (readIndex < 0)
        {
            readIndex = capacity - delaySamples + writeIndex;
            if (readIndex < 0)
                readIndex = 0;
        }
        const double result = buffer[static_cast<size_t> (readIndex)];
        writeIndex = writeIndex + 1;
        if (writeIndex >= capacity)
            writeIndex = writeIndex - capacity;
        return result;
    }
};

//==============================================================================
/** One fixed coefficient set of the eight-pole band limiter: the input divisor and c0..c7 (c0 weights the
    oldest output). */
struct BandLimitSet
{
    double gain;
    double c[8];
};

/** The set loaded at construction, and by a reset before the first preparation (10.5 kHz at 44.1 kHz). */
inline constexpr BandLimitSet kDefaultBandLimitSet{ 146.6182769,
                                                    { -0.0002006427, 0.0016457421, -0.0232296326, 0.049566838,
                                                      -0.3198812293, 0.2862863694, -1.1187837517,
                                                      0.3785656931 } };
/** The 44.1 kHz band's set. */
inline constexpr BandLimitSet kBandLimitSet44{ 146.6182769,
                                               { -0.0001769857, 0.0006821154, -0.020937965, 0.020729716,
                                                 -0.2961794952, 0.1210510641, -1.07155952, 0.1622394334 } };
/** The 48 kHz band's set. */
inline constexpr BandLimitSet kBandLimitSet48{ 249.8889308,
                                               { -0.0003076933, 0.0039477258, -0.0333795853, 0.1148028526,
                                                 -0.42215844, 0.6348825277, -1.3161711953, 0.7950492487 } };
/** The 88.2 kHz band's set. */
inline constexpr BandLimitSet kBandLimitSet88{ 12697.25954,
                                               { -0.0169823716, 0.202677216, -1.0813300251, 3.3784795014,
                                                 -6.7869016741, 9.021883938, -7.80732392, 4.06541846 } };
/** The 96 kHz band's set. */
inline constexpr BandLimitSet kBandLimitSet96{ 12697.25954,
                                               { -0.024117234, 0.2801468817, -1.4507884266, 4.3855217971,
                                                 -8.4898063426, 10.821605752, -8.9201547201, 4.3839509736 } };

/** The eight-pole band limiter: fixed sets, input divided by gain, binomial feed-forward. x[8] and y[8]
    are the newest input and output; the fields are public state. */
struct EightPoleLowpass
{
    double gain = kDefaultBandLimitSet.gain;
    double x[9]{};
    double y[9]{};
    double c[8]{};
    BandLimitSet prepared = kDefaultBandLimitSet; // the set a reset reinstalls

    EightPoleLowpass() { load (kDefaultBandLimitSet); }

    /** Replaces gain and c0..c7; histories stay. */
    void load (const BandLimitSet& set)
    {
        gain = set.gain;
        for (int i = 0; i < 8; ++i)
            c[i] = set.c[i];
    }

    /** Loads the set of the rate's band (strict bounds); a rate in no band loads the default set. The set
        in use then is the one a reset reinstalls. */
    void setSampleRate (double rate)
    {
        load (kDefaultBandLimitSet);
        if (rate > 42000.0 && rate < 45000.0)
            load (kBandLimitSet44);
        if (rate > 47000.0 && rate < 49000.0)
            load (kBandLimitSet48);
        if (rate > 88000.0 && rate < 89000.0)
            load (kBandLimitSet88);
        if (rate > 90000.0)
            load (kBandLimitSet96);

        prepared.gain = gain;
        for (int i = 0; i < 8; ++i)
            prepared.c[i] = c[i];
    }

    /** Clears both histories and reinstalls the set of the last preparation (the default set before the
        first). */
    void reset()
    {
        for (int i = 0; i < 9; ++i)
            x[i] = y[i] = 0.0;
        load (prepared);
    }

    /** One step of the recursion. */
    double process (double input)
    {
        for (int i = 0; i < 8; ++i)
            x[i] = x[i + 1];
        x[8] = input / gain;
        for (int i = 0; i < 8; ++i)
            y[i] = y[i + 1];

        double sum = x[0] + x[8];
        sum = sum + 8.0 * (x[1] + x[7]);
        sum = sum + 28.0 * (x[2] + x[6]);
        sum = sum + 56.0 * (x[3] + x[5]);
        sum = sum + 70.0 * x[4];
        for (int i = 0; i < 8; ++i)
            sum = sum + c[i] * y[i];
        y[8] = sum;
        return y[8];
    }
};

//==============================================================================
/** The fourth-order Linkwitz-Riley high-cut with a normalised cutoff (x 21,000 Hz). b1..b4 and a0..a4 are
    its coefficients, xm1..xm4 and ym1..ym4 its history (newest first); the fields are public state. */
struct HighCutLowpass
{
    double cutoff = 0.5;
    double sampleRate = 44100.0;
    double b1 = 0, b2 = 0, b3 = 0, b4 = 0;
    double a0 = 0, a1 = 0, a2 = 0, a3 = 0, a4 = 0;
    double xm1 = 0, xm2 = 0, xm3 = 0, xm4 = 0;
    double ym1 = 0, ym2 = 0, ym3 = 0, ym4 = 0;

    /** Stores the cutoff and redesigns. */
    void setCutoff (double newCutoff)
    {
        cutoff = newCutoff;
        design();
    }

    /** Stores the rate and redesigns; history stays. */
    void setSampleRate (double newRate)
    {
        sampleRate = newRate;
        design();
    }

    /** Clears the history. */
    void clear() { xm1 = xm2 = xm3 = xm4 = ym1 = ym2 = ym3 = ym4 = 0.0; }

    /** The bilinear design with the decimal constants; a frequency at or above half the rate (or NaN) is
        designed at 0.49 x the rate. */
    void design()
    {
        double fc = cutoff * 21000.0;
        if (!(fc < sampleRate * 0.5))
            fc = sampleRate * 0.49;

        const double wc = 6.2831853 * fc;
        const double wc2 = wc * wc;
        const double wc3 = wc * wc2;
        const double wc4 = wc2 * wc2;
        const double k = wc / std::tan (3.14159265 * fc / sampleRate);
        const double k2 = k * k;
        const double k3 = k * k2;
        const double k4 = k2 * k2;
        const double sq1 = 1.41421356237 * wc3 * k;
        const double sq2 = 1.41421356237 * wc * k3;
        const double n = 4.0 * wc2 * k2 + 2.0 * sq1 + k4 + 2.0 * sq2 + wc4;

        b1 = 4.0 * (wc4 + sq1 - k4 - sq2) / n;
        b2 = (6.0 * wc4 - 8.0 * wc2 * k2 + 6.0 * k4) / n;
        b3 = 4.0 * (wc4 - sq1 + sq2 - k4) / n;
        b4 = (k4 - 2.0 * sq1 + wc4 - 2.0 * sq2 + 4.0 * wc2 * k2) / n;
        a0 = wc4 / n;
        a1 = 4.0 * wc4 / n;
        a2 = 6.0 * wc4 / n;
        a3 = a1;
        a4 = a0;
    }

    /** One step of the recursion. */
    double process (double x)
    {
        const double y =
            a0 * x + a1 * xm1 + a2 * xm2 + a3 * xm3 + a4 * xm4 - b1 * ym1 - b2 * ym2 - b3 * ym3 - b4 * ym4;
        xm4 = xm3;
        xm3 = xm2;
        xm2 = xm1;
        xm1 = x;
        ym4 = ym3;
        ym3 = ym2;
        ym2 = ym1;
        ym1 = y;
        return y;
    }
};

//==============================================================================
/** A three-input gain stage on the first three channels of a one-sample work buffer. g are the gains of
    the last call, raw/flag/mode what the owner sets (mode above 0.5 bipolar, else decibels). */
struct ThreeInputMixer
{
    float g[3]{};
    float raw[3]{};
    float flag[3]{};
    float mode = 1.0f;

    /** Recomputes the gains and replaces channel 0 with the weighted sum of channels 0..2. */
    void process (double* wire)
    {
        for (int k = 0; k < 3; ++k)
        {
            if (mode > 0.5f)
                g[k] = flag[k] > 0.5f ? raw[k] : 2.0f * raw[k] - 1.0f;
            else
                g[k] = flag[k] > 0.5f ? powf (10.0f, raw[k] * 0.05f) : raw[k];
        }
        wire[0] = (static_cast<double> (g[1]) * wire[1] + static_cast<double> (g[0]) * wire[0]) +
                  static_cast<double> (g[2]) * wire[2];
    }
};

//==============================================================================
/** The two-channel input compander (double precision); the fields are its settings and state. */
struct InputCompander
{
    double sampleRate = 44100.0;
    double attackTime = 0.001;
    double releaseTime = 0.022;
    double ratio = 0.5;
    double mode = 0.0;
    double envelope = 0.01;
    double meanSquare = 0.01;
    double threshold = 0.01;
    double coefficient = 0.0;
    double attackCoefficient = 0.01;
    double releaseCoefficient = 0.01;
    double gain = 0.0;
    double levelFloor = 1e-7;
    double smootherB0 = 0.009950166250831893;
    double smootherA1 = -0.9900498337491681;
    double smootherState = 0.0;

    /** Stores the rate and recomputes the attack and release coefficients. */
    void setSampleRate (double rate)
    {
        sampleRate = rate;
        attackCoefficient = std::exp (-1.0 / (attackTime * rate));
        releaseCoefficient = std::exp (-1.0 / (releaseTime * rate));
    }

    /** Applies the level-dependent gain to channels 0 and 1 in place. */
    void process (double* wire)
    {
        const double r = ratio * ((mode - 0.5) * -2.0);
        double s = (wire[0] * wire[0] + wire[1] * wire[1]) * 0.5;
        if (!std::isfinite (s))
            s = 0.0;
        meanSquare = (s + levelFloor) * smootherB0 - smootherState * smootherA1;
        smootherState = meanSquare;
        const double rms = std::sqrt (meanSquare);
        coefficient = rms > envelope ? attackCoefficient : releaseCoefficient;
        envelope = envelope * coefficient + (1.0 - coefficient) * rms;
        const double levelLog = std::log10 (envelope);
        const double thresholdLog = std::log10 (threshold);
        double exponent = 1.0;
        if (levelLog > thresholdLog)
            exponent = 1.0 - (levelLog - thresholdLog) * (1.0 / r);
        gain = std::pow (10.0, exponent / 10.0);
        wire[0] = wire[0] * gain;
        wire[1] = wire[1] * gain;
    }
};

/** The four-channel output compander (single-precision signal path); the fields are its settings and
    state. */
struct OutputCompander
{
    double sampleRate = 44100.0;
    double attackTime = 0.001;
    double releaseTime = 0.022;
    double ratio = 0.5;
    double envelope = 0.01;
    double meanSquare = 0.01;
    double threshold = 0.01;
    double coefficient = 0.0;
    double attackCoefficient = 0.01;
    double releaseCoefficient = 0.01;
    double gainDb = 0.0;
    float levelFloor = 1e-7f;
    double smootherB0 = 0.18126924692201818;
    double smootherA1 = -0.8187307530779818;
    double smootherState = 0.0;
    double mode = 0.0;

    /** Stores the rate and recomputes the attack and release coefficients. */
    void setSampleRate (double rate)
    {
        sampleRate = rate;
        attackCoefficient = std::exp (-1.0 / (attackTime * rate));
        releaseCoefficient = std::exp (-1.0 / (releaseTime * rate));
    }

    /** Applies the gain to channels 0..3 in place. */
    void process (double* wire)
    {
        float f[4];
        for (int k = 0; k < 4; ++k)
            f[k] = static_cast<float> (wire[k]);

        const float sq0 = f[0] * f[0];
        const float sq1 = f[1] * f[1];
        const float sq2 = f[2] * f[2];
        const float sq3 = f[3] * f[3];
        double sum = ((static_cast<double> (sq1) + static_cast<double> (sq0)) + static_cast<double> (sq2)) +
                     static_cast<double> (sq3);
        if (!std::isfinite (sum))
            sum = 0.0;

        meanSquare = (static_cast<double> (levelFloor) + sum) * smootherB0 - smootherState * smootherA1;
        smootherState = meanSquare;
        const double rms = std::sqrt (meanSquare);
        coefficient = meanSquare > rms ? attackCoefficient : releaseCoefficient;
        envelope = meanSquare + coefficient * (rms - meanSquare);
        const double levelDb = 20.0 * std::log10 (envelope);
        const double thresholdDb = 20.0 * std::log10 (threshold);
        if (levelDb > thresholdDb)
            gainDb = (thresholdDb - levelDb) * (1.0 / (ratio * ((mode - 0.5) * -2.0)));
        const float gain = powf (10.0f, static_cast<float> (gainDb / 20.0));

        for (int k = 0; k < 4; ++k)
            wire[k] = static_cast<double> (f[k] * gain);
    }
};

//==============================================================================
/** A framework-designed biquad run with the raw single-precision step (snap to zero within 1e-8):
    c holds b0, b1, b2, a1, a2 (normalised), z1 and z2 the state. */
struct Biquad
{
    float c[5]{};
    float z1 = 0.0f, z2 = 0.0f;

    /** Copies the five normalised coefficients of a framework design; the state stays. */
    void setCoefficients (const juce::IIRCoefficients& design)
    {
        for (int i = 0; i < 5; ++i)
            c[i] = design.coefficients[i];
    }

    /** Clears the state. */
    void clear() { z1 = z2 = 0.0f; }

    /** One step. */
    float process (float x)
    {
        float out = c[0] * x + z1;
        if (!(out < -1.0e-8f || out > 1.0e-8f))
            out = 0.0f;
        z1 = c[1] * x - c[3] * out + z2;
        z2 = c[2] * x - c[4] * out;
        return out;
    }
};

/** The state of one modulator: phase, direction, per-sample steps and the walking delay offset. */
struct Lfo
{
    double phase = 0.0;
    int direction = 1;
    double stepUp = 0.0;
    double stepDown = 0.0;
    double accumulator = 0.0;
};

/** The five wet outputs of one sample. */
struct WetOutputs
{
    double left = 0.0, right = 0.0, centre = 0.0, leftSurround = 0.0, rightSurround = 0.0;
};

/** The input network's outputs of one sample. */
struct InputOutputs
{
    double diffuserOutput = 0.0, diffuserTap = 0.0, longTap1 = 0.0, longTap2 = 0.0;
};

//==============================================================================
/** The reference reverb: the processor's parameters, preparation, reset and float block rendering. */
class ReferenceReverb
{
public:
    /** Builds the network at 44.1 kHz with the processor's initial settings. Allocates about 83 MB. */
    ReferenceReverb()
    {
        // Companders.
        inputCompander.attackTime = 0.0005;
        inputCompander.releaseTime = 0.022;
        inputCompander.ratio = std::numeric_limits<double>::infinity();
        inputCompander.mode = 0.0;
        inputCompander.threshold = 0.01;
        inputCompander.envelope = 0.01;
        inputCompander.attackCoefficient = std::exp (-1.0 / (44100.0 * inputCompander.attackTime));
        inputCompander.releaseCoefficient = std::exp (-1.0 / (44100.0 * inputCompander.releaseTime));

        outputCompander.attackTime = static_cast<double> (0.0005f);
        outputCompander.releaseTime = static_cast<double> (0.022f);
        outputCompander.ratio = std::numeric_limits<double>::infinity();
        outputCompander.mode = 1.0;
        outputCompander.threshold = static_cast<double> (0.01f);
        outputCompander.attackCoefficient = std::exp (-1.0 / (44100.0 * outputCompander.attackTime));
        outputCompander.releaseCoefficient = std::exp (-1.0 / (44100.0 * outputCompander.releaseTime));

        // Delay times, lines 0..68.
        const double times[69] = {
            0.062083333,    0.017083333,    0.000833333333, 0.062083333,    0.017083333,    0.000833333333,
            0.062083333,    0.017083333,    0.000833333333, 0.062083333,    0.017083333,    0.000833333333,
            0.062083333,    0.017083333,    0.000833333333, 0.062083333,    0.017083333,    0.000833333333,
            0.062083333,    0.017083333,    0.000833333333, 0.062083333,    0.017083333,    0.000833333333,
            0.02,           0.04,           0.04,           0.04,           0.04,           0.04,
            0.04,           0.1548,         0.1472,         0.007,          0.02436,        0.001,
            0.009436,       0.08,           0.08,           0.04,           0.04,           0.04,
            0.04,           0.04,           0.04,           0.04,           0.04,           0.04,
            0.04,           0.04,           0.04,           0.04,           0.04,           0.04,
            0.04,           0.04,           0.04,           0.16,           0.170703356920, 0.202043168559,
            0.194057280483, 0.206785788673, 0.240271173343, 0.234558440709, 0.249695273198, 0.265732188579,
            0.282722708567, 0.300723537443, 0.339794751298
        };
        lines.resize (69);
        for (int n = 0; n < 69; ++n)
            lines[static_cast<size_t> (n)].setDelayTime (times[n]);

        // Mixers: decibel mode everywhere; the tank mixers pass input 0 at unity.
        for (auto& m : mixers)
            m.mode = 0.0f;
        mixers[1].raw[0] = 1.0f;
        mixers[7].raw[0] = 1.0f;
        mixers[7].flag[1] = 1.0f;
        mixers[8].raw[0] = 1.0f;
        mixers[8].flag[1] = 1.0f;

        currentSampleRate = 44100.0;

        // Modulators.
        cascadeLfos[0] = { 0.0, 1, 0.0, 0.0, -0.0095 };
        cascadeLfos[1] = { 6.0, 1, 0.0, 0.0, 0.0095 };
        cascadeLfos[2] = { -7.5, -1, 0.0, 0.0, 0.0 };
        gainLfo = { 0.0, 1, 0.0, 0.0, 0.0 };
        diffuserLfo = { 0.0, 1, 0.0, 0.0, 0.0 };
        for (auto& s : modulationStepSizes)
            s = 10.0 / 44100.0;

        oversamplingFactor = 1.0;
        modulationDepth = 0.0095;
        meterPeak = 0.0f;

        // The long taps and the high-cut filters follow the initial pre-delay and high-cut values, as a
        // store of those values sets them.
        lines[31].setDelayTime (static_cast<double> (predelay) + 0.1428);
        lines[32].setDelayTime (static_cast<double> (predelay) + 0.1513);
        for (auto& f : highCut)
            f.setCutoff (static_cast<double> ((highCut2 * 8.0f + 5.0f) / 21.0f));

        updateCoefficients();
        reset();

        stepDecayDivisor = 200;
        for (auto& g : diffuserGains)
            g = 0.61365;
    }

    //==============================================================================
    /** Stores a parameter (0..16) and retunes what depends on it, then recomputes every coefficient. */
    void setParameter (int index, float value)
    {
        if (index == 7 || index == 8 || index == 14)
        {
            const bool on = value != 0.0f;
            (index == 7 ? bypass : index == 8 ? useClassic : surroundSwitch) = on;
        }
        else if (index >= 0 && index <= 16 && std::isfinite (value))
        {
            if (!(value > 0.0f))
                value = 0.0f;
            else if (value > 1.0f)
                value = 1.0f;
            floatParameter (index) = value;

            if (index == 0)
            {
                lines[24].setDelayTime (static_cast<double> (value));
                lines[31].setDelayTime (static_cast<double> (value) + 0.1428);
                lines[32].setDelayTime (static_cast<double> (value) + 0.1513);
                reset();
            }
            else if (index == 4)
            {
                const double x = static_cast<double> ((value * 8.0f + 5.0f) / 21.0f);
                for (auto& f : highCut)
                    f.setCutoff (x);
            }
            else if (index == 15)
            {
                oversamplingFactor = static_cast<double> (value * 4.0f + 1.0f);
                reset();
            }
        }
        updateCoefficients();
    }

    /** The stored value of a parameter (flags 0 or 1, the meter for 16, 0 outside). */
    float getParameter (int index) const
    {
        if (index == 7)
            return bypass ? 1.0f : 0.0f;
        if (index == 8)
            return useClassic ? 1.0f : 0.0f;
        if (index == 14)
            return surroundSwitch ? 1.0f : 0.0f;
        if (index < 0 || index > 16)
            return 0.0f;
        return const_cast<ReferenceReverb*> (this)->floatParameter (index);
    }

    //==============================================================================
    /** Retunes every rate-dependent member to the rate, then recomputes every coefficient. */
    void prepareToPlay (double rate)
    {
        currentSampleRate = rate;
        oversamplingFactor = static_cast<double> (oversampling * 4.0f + 1.0f);
        for (int n = 0; n <= 23; ++n)
            lines[static_cast<size_t> (n)].setSampleRate (rate);
        bandLimit[0].setSampleRate (rate);
        for (auto& f : highCut)
            f.setSampleRate (rate);
        bandLimit[1].setSampleRate (rate);
        for (int n = 24; n <= 68; ++n)
            lines[static_cast<size_t> (n)].setSampleRate (rate);
        inputCompander.setSampleRate (rate);
        outputCompander.setSampleRate (rate);
        for (auto& s : modulationStepSizes)
            s = 10.0 / rate;
        updateCoefficients();
    }

    /** Returns the network's signal memory to silence (not the companders, modulators or meter). */
    void reset()
    {
        for (auto& line : lines)
            line.clear();
        bandLimit[0].reset();
        for (auto& f : highCut)
            f.clear();
        bandLimit[1].reset();
        for (auto* f : { &highShelf[0], &highShelf[1], &highShelf[2], &toneFilter, &lowShelf[0], &lowShelf[1],
                         &lowShelf[2] })
            f->clear();
        for (auto& wire : wires)
            for (auto& channel : wire)
                channel = 0.0;
        for (auto& s : diffuserStates)
            s = 0.0;
        for (auto& t : tankTaps)
            t = 0.0;
    }

    //==============================================================================
    /** Renders one float host block of 1, 2, 6 or 10 channels in place. */
    void processBlock (juce::AudioBuffer<float>& buffer)
    {
        if (bypass)
            return;

        const juce::ScopedNoDenormals noDenormals;

        double levelGains[5];
        const float levels[5] = { leftLevel, rightLevel, centerLevel, leftSLevel, rightSLevel };
        for (int k = 0; k < 5; ++k)
            levelGains[k] = static_cast<double> (levels[k] * 2.5f);

        const int numChannels = buffer.getNumChannels();
        const int numSamples = buffer.getNumSamples();
        const bool knownLayout =
            numChannels == 1 || numChannels == 2 || numChannels == 6 || numChannels == 10;

        setUpModulators();

        const bool classic = useClassic;
        float blockPeak = 0.0f;

        if (numSamples <= 0 || !knownLayout)
        {
            if (!classic && knownLayout)
                updateMeter (blockPeak);
            return;
        }

        float* host[10]{};
        for (int ch = 0; ch < numChannels; ++ch)
            host[ch] = buffer.getWritePointer (ch);

        for (int i = 0; i < numSamples; ++i)
        {
            for (int k = 0; k < 3; ++k)
                stepCascadeLfo (k);
            stepGainLfo (classic);
            if (!classic)
                stepDiffuserLfo();

            // Input taking.
            const float hostLeft = host[0][i];
            const float hostRight = numChannels == 1 ? host[0][i] : host[1][i];
            const double inputLeft = std::isfinite (hostLeft) ? static_cast<double> (hostLeft * 0.5f) : 0.0;
            const double inputRight = numChannels == 1            ? inputLeft
                                      : std::isfinite (hostRight) ? static_cast<double> (hostRight * 0.5f)
                                                                  : 0.0;
            for (int ch = 0; ch < numChannels; ++ch)
                if (host[ch][i] > blockPeak && std::isfinite (host[ch][i]))
                    blockPeak = host[ch][i];

            const InputOutputs in = inputNetwork (inputLeft, inputRight, classic);
            tank (in.diffuserOutput, classic);
            double tapSumX = 0.0, columnInputs[3]{};
            tapMixers (tapSumX, columnInputs);
            double cascadeOutputs[3]{};
            densityCascade (columnInputs, cascadeOutputs);
            const WetOutputs wet = outputNetwork (cascadeOutputs, tapSumX, in, levelGains);

            mixIntoHost (host, numChannels, i, wet);

            if (classic)
                updateMeter (blockPeak);
        }

        if (networkHoldsNonFinite())
            reset();

        if (!classic)
            updateMeter (blockPeak);
    }

private:
    //==============================================================================
    float& floatParameter (int index)
    {
        switch (index)
        {
            case 0:
                return predelay;
            case 1:
                return decay;
            case 2:
                return low;
            case 3:
                return high;
            case 4:
                return highCut2;
            case 5:
                return highCut3;
            case 6:
                return mix;
            case 9:
                return leftLevel;
            case 10:
                return rightLevel;
            case 11:
                return centerLevel;
            case 12:
                return leftSLevel;
            case 13:
                return rightSLevel;
            case 15:
                return oversampling;
            default:
                return inputMeter;
        }
    }

    /** First of 1/16 .. 16/16 that is >= v; above 1 (or NaN) the last step. */
    static int decayStepOf (float v)
    {
        for (int k = 0; k < 16; ++k)
            if (v <= static_cast<float> (k + 1) / 16.0f)
                return k;
        return 15;
    }

    /** First of 0.25, 0.5, 0.75, 1.0 that is >= v; above 1 (or NaN) the last step. */
    static int quarterStepOf (float v)
    {
        const float thresholds[4] = { 0.25f, 0.5f, 0.75f, 1.0f };
        for (int k = 0; k < 4; ++k)
            if (v <= thresholds[k])
                return k;
        return 3;
    }

    /** A filter design frequency, moved to 0.49 x the rate when it reaches half the rate. */
    double designFrequency (double frequency) const
    {
        return frequency < currentSampleRate * 0.5 ? frequency : currentSampleRate * 0.49;
    }

    /** Recomputes everything derived from the parameters and the sample rate. */
    void updateCoefficients()
    {
        static constexpr float decayCoefficients[16] = { 3.75f,   2.5f,   1.875f, 1.5f,   1.25f,  1.0f,
                                                         0.833f,  0.75f,  0.68f,  0.6f,   0.535f, 0.5f,
                                                         0.4545f, 0.416f, 0.375f, 0.3333f };
        static constexpr float lowShelfValues[4] = { -3.0f, 0.0f, 1.5f, 3.0f };
        static constexpr float highShelfValues[4] = { -12.0f, -9.0f, -6.0f, -1.4f };
        static constexpr double K[3] = { -3.147215224, -3.965242704, -4.995892744 };
        static constexpr double L[3][4] = { { 0.247798, 0.510330836, 0.788474686, 1.083157831 },
                                            { 0.2242715, 0.461878877, 0.713615124, 0.980320388 },
                                            { 0.240868, 0.496058757, 0.766423945, 1.052865884 } };
        static constexpr float shelfRatio[3] = { 0.6299605f, 0.7937f, 1.0f };

        // Oversampling factor 1..5.
        oversamplingFactor = static_cast<double> (oversampling * 4.0f + 1.0f);

        // The decay step (the row of the decay coefficients) and the pre-delay time.
        const int k = decayStepOf (decay);
        lines[24].setDelayTime (static_cast<double> (predelay));

        // Tank attenuations in dB: each column's, and each tap's as a share of its column's.
        const double c = static_cast<double> (decayCoefficients[k]);
        for (int j = 0; j < 3; ++j)
        {
            tankColumnDb[j] = c * K[j];
            for (int p = 0; p < 4; ++p)
                tankTapDb[j][p] = (c * K[j]) * L[j][p];
        }

        // Linear gains (powf, in float) of the first column's feedback input and of tap mixers 2..5.
        auto G = [] (double x) { return powf (10.0f, static_cast<float> (x * static_cast<double> (0.05f))); };
        mixers[1].raw[1] = G (tankColumnDb[0]);
        mixers[2].raw[0] = G (tankTapDb[0][1]);
        mixers[2].raw[1] = G (tankTapDb[1][0]);
        mixers[2].raw[2] = G (tankTapDb[2][2]);
        mixers[3].raw[0] = G (tankTapDb[0][3]);
        mixers[3].raw[1] = G (tankTapDb[1][3]);
        mixers[3].raw[2] = G (tankTapDb[2][3]);
        mixers[4].raw[0] = G (tankTapDb[0][0]);
        mixers[4].raw[1] = G (tankTapDb[1][2]);
        mixers[4].raw[2] = G (tankTapDb[2][1]);
        mixers[5].raw[0] = G (tankTapDb[1][1]);
        mixers[5].raw[1] = G (tankTapDb[0][2]);
        mixers[5].raw[2] = G (tankTapDb[2][0]);

        // The classic voicing's tone filter: a fixed high shelf at 9 kHz.
        const double rate = currentSampleRate;
        toneFilter.setCoefficients (
            juce::IIRCoefficients::makeHighShelf (rate, designFrequency (9000.0), 1.0, 1.2f));

        // Low shelves at 100 Hz from the low step; columns 1 and 2 scale the step's gain.
        const int j = quarterStepOf (low);
        for (int col = 0; col < 3; ++col)
        {
            const float gainFactor = col == 2 ? (lowShelfValues[j] + 20.0f) / 20.0f
                                              : (lowShelfValues[j] * shelfRatio[col] + 20.0f) / 20.0f;
            lowShelf[col].setCoefficients (
                juce::IIRCoefficients::makeLowShelf (rate, designFrequency (100.0), 0.7, gainFactor));
        }

        // High shelves at 6 kHz from the high step, scaled the same way.
        const int i = quarterStepOf (high);
        for (int col = 0; col < 3; ++col)
        {
            const float gainFactor = col == 2 ? (highShelfValues[i] + 20.0f) / 20.0f
                                              : (highShelfValues[i] * shelfRatio[col] + 20.0f) / 20.0f;
            highShelf[col].setCoefficients (
                juce::IIRCoefficients::makeHighShelf (rate, designFrequency (6000.0), 0.7, gainFactor));
        }

        // Output delay times from the high step's decay coefficient.
        const double cHigh = static_cast<double> (decayCoefficients[i]);
        lines[34].setDelayTime (0.02436 + 0.1 * cHigh);
        lines[35].setDelayTime (0.01 + 0.1 * cHigh);
        lines[36].setDelayTime (0.009436 + 0.15 * cHigh);
        lines[37].setDelayTime (0.3 * cHigh);
        lines[38].setDelayTime (0.3 * cHigh);

        // Modulation rates for the voicing, slowed by the oversampling factor, and the depth.
        const double base[5] = { useClassic ? 13.0 : 9.75, useClassic ? 13.0 : 9.75, useClassic ? 13.0 : 9.75,
                                 useClassic ? 0.137 : 0.06127, useClassic ? 0.0334 : 320.0 };
        for (int e = 0; e < 5; ++e)
            modulationRates[e] = base[e] / oversamplingFactor;
        modulationDepth = 0.0199;
    }

    //==============================================================================
    // Modulators.

    void setUpModulators()
    {
        for (int k = 0; k < 3; ++k)
        {
            cascadeLfos[k].stepUp = modulationRates[k] * 0.009070294784580499;
            cascadeLfos[k].stepDown = -(modulationRates[k] * 0.009070294784580499);
        }
        gainLfo.stepUp = modulationRates[3] * 0.0009070294909179211;
        gainLfo.stepDown = -(modulationRates[3] * 0.0009070294909179211);
    }

    /** Lines A and B of each stage of cascade column k. */
    static int cascadeLine (int column, int stage, bool lineB)
    {
        static constexpr int firstLine[4] = { 25, 39, 45, 51 };
        return firstLine[stage] + 2 * column + (lineB ? 1 : 0);
    }

    void setCascadeLines (int column, bool lineB, double time)
    {
        for (int stage = 0; stage < 4; ++stage)
            lines[static_cast<size_t> (cascadeLine (column, stage, lineB))].setDelayTime (time);
    }

    void stepCascadeLfo (int column)
    {
        Lfo& lfo = cascadeLfos[column];
        const double F = oversamplingFactor;
        const double c = 0.02 / F;
        const double bound = modulationDepth / F;
        const double N = static_cast<double> (stepDecayDivisor);
        const double S = modulationStepSizes[column];

        if (lfo.direction == 1)
        {
            lfo.phase = lfo.phase + lfo.stepDown;
            lfo.stepDown = lfo.stepDown - lfo.stepDown / N;
            if (lfo.phase < -10.0)
            {
                lfo.phase = 10.0;
                lfo.accumulator = lfo.accumulator + S;
                setCascadeLines (column, false, c + lfo.accumulator);
            }
            if (lfo.phase == 10.0)
            {
                setCascadeLines (column, true, lfo.accumulator + S + c);
                if (lfo.accumulator > bound)
                    lfo.direction = -1;
            }
        }
        if (lfo.direction == -1)
        {
            lfo.phase = lfo.phase + lfo.stepUp;
            lfo.stepUp = lfo.stepUp - lfo.stepUp / N;
            if (lfo.phase > 10.0)
            {
                lfo.phase = -10.0;
                lfo.accumulator = lfo.accumulator - S;
                setCascadeLines (column, false, c + lfo.accumulator);
            }
            if (lfo.phase == -10.0)
            {
                setCascadeLines (column, true, lfo.accumulator + S + c);
                if (lfo.accumulator < -bound)
                    lfo.direction = 1;
            }
        }
    }

    void stepGainLfo (bool classic)
    {
        if (classic)
        {
            if (gainLfo.direction == 1)
            {
                gainLfo.phase = gainLfo.phase + gainLfo.stepUp;
                if (gainLfo.phase > 1.0)
                {
                    gainLfo.phase = 2.0 - gainLfo.phase;
                    gainLfo.direction = -1;
                }
            }
            if (gainLfo.direction == -1)
            {
                gainLfo.phase = gainLfo.phase + gainLfo.stepDown;
                if (gainLfo.phase < -1.0)
                {
                    gainLfo.phase = -2.0 - gainLfo.phase;
                    gainLfo.direction = 1;
                }
            }
        }
        else
        {
            const double F = oversamplingFactor;
            const double s = modulationRates[3] * 0.0009070294784580499 / F;
            const double b = 1.0 / F;
            if (gainLfo.direction == 1)
            {
                gainLfo.phase = gainLfo.phase + s;
                if (gainLfo.phase > b)
                {
                    gainLfo.phase = 2.0 - gainLfo.phase;
                    gainLfo.direction = -1;
                }
            }
            if (gainLfo.direction == -1)
            {
                gainLfo.phase = gainLfo.phase - s;
                if (gainLfo.phase < -b)
                {
                    gainLfo.phase = -2.0 - gainLfo.phase;
                    gainLfo.direction = 1;
                }
            }
        }
        gainWobble8 = static_cast<float> (gainLfo.phase * static_cast<double> (0.0051f));
        gainWobble7 = static_cast<float> (gainLfo.phase * static_cast<double> (-0.0051f));
    }

    void stepDiffuserLfo()
    {
        Lfo& lfo = diffuserLfo;
        const double F = oversamplingFactor;
        const double s = modulationRates[4] * 0.0009070294784580499 / F;
        const double S = modulationStepSizes[3];

        if (lfo.direction == 1)
        {
            lfo.phase = lfo.phase - s;
            if (lfo.phase < -1.0)
            {
                lfo.phase = 1.0;
                lfo.accumulator = lfo.accumulator + S;
                lines[0].setDelayTime ((lfo.accumulator * 0.0027 + 0.062083333) / F);
                lines[1].setDelayTime ((lfo.accumulator * (-0.00075) + 0.017083333) / F);
            }
            if (lfo.phase == 1.0)
            {
                lines[3].setDelayTime ((lfo.accumulator * 0.0027 + 0.062083333) / F + S);
                lines[4].setDelayTime (S + (lfo.accumulator * (-0.00075) + 0.017083333) / F);
                if (lfo.accumulator > 1.0)
                    lfo.direction = -1;
            }
        }
        if (lfo.direction == -1)
        {
            lfo.phase = lfo.phase + s;
            if (lfo.phase > 1.0)
            {
                lfo.phase = -1.0;
                lfo.accumulator = lfo.accumulator - S;
                lines[0].setDelayTime ((lfo.accumulator * 0.003 + 0.062083333) / F);
                lines[1].setDelayTime ((lfo.accumulator * (-0.0075) + 0.017083333) / F);
            }
            if (lfo.phase == -1.0)
            {
                lines[3].setDelayTime ((lfo.accumulator * 0.003 + 0.062083333) / F + S);
                lines[4].setDelayTime (S + (lfo.accumulator * (-0.0075) + 0.017083333) / F);
                if (lfo.accumulator < -1.0)
                    lfo.direction = 1;
            }
        }
    }

    //==============================================================================
    // Signal stages.

    InputOutputs inputNetwork (double inputLeft, double inputRight, bool classic)
    {
        double* wire7 = wires[7];
        wire7[0] = inputLeft;
        wire7[1] = inputRight;
        inputCompander.process (wire7);
        const double L = wire7[0];
        const double R = wire7[1];

        float monoInput;
        if (classic)
        {
            const float m = static_cast<float> ((L + R) / 3.0);
            monoInput = toneFilter.process (m);
        }
        else
        {
            monoInput = static_cast<float> ((L + R) * 0.5);
        }

        const double bandLimited =
            bandLimit[1].process (bandLimit[0].process (static_cast<double> (monoInput)));
        const double p = lines[24].tick (bandLimited);

        InputOutputs out;
        out.longTap2 = lines[32].tick (p);
        out.longTap1 = lines[31].tick (p);

        double w = diffuserLfo.phase;
        if (w > 1.0)
            w = 1.0;
        if (w < -1.0)
            w = -1.0;
        diffuserLfo.phase = w;

        auto twin = [w] (double a, double b) { return b * ((1.0 - w) * 0.5) + ((w + 1.0) * 0.5) * a; };

        const double v = p + diffuserStates[0];
        const double t1 = p - diffuserStates[0];
        {
            const double a = lines[0].tick (v);
            const double b = lines[3].tick (v);
            diffuserStates[0] = twin (a, b) * diffuserGains[0];
        }
        const double u2 = t1 + diffuserStates[1];
        const double t2 = t1 * 0.496 - diffuserStates[1];
        {
            const double a = lines[1].tick (u2);
            const double b = lines[4].tick (u2);
            diffuserStates[1] = twin (a, b) * diffuserGains[1];
        }
        const double u3 = t2 + diffuserStates[2];
        double t3 = t2 * 0.496 - diffuserStates[2];
        {
            const double a = lines[2].tick (u3);
            const double b = lines[5].tick (u3);
            diffuserStates[2] = twin (a, b) * diffuserGains[2];
        }

        if (!classic)
            t3 = t3 * static_cast<double> (0.8f);

        out.diffuserOutput = t3;
        out.diffuserTap = v;
        return out;
    }

    void tank (double diffuserOutput, bool classic)
    {
        const double base2 = classic ? tankColumnDb[1] : tankTapDb[1][2];
        const double base3 = classic ? tankColumnDb[2] : tankTapDb[2][2];

        wires[0][0] = diffuserOutput;
        wires[0][1] = tankTaps[3];
        wires[5][0] = diffuserOutput;
        wires[5][1] = tankTaps[7];
        mixers[7].raw[1] = static_cast<float> (static_cast<double> (gainWobble7) + base2);
        wires[6][0] = diffuserOutput;
        wires[6][1] = tankTaps[11];
        mixers[8].raw[1] = static_cast<float> (static_cast<double> (gainWobble8) + base3);

        mixers[1].process (wires[0]);
        mixers[7].process (wires[5]);
        mixers[8].process (wires[6]);

        const int columnWire[3] = { 0, 5, 6 };
        float negated[3];
        for (int col = 0; col < 3; ++col)
        {
            const float x = static_cast<float> (wires[columnWire[col]][0]);
            float y = highShelf[col].process (x);
            if (classic)
                y = lowShelf[col].process (y);
            negated[col] = -y;
        }

        for (int col = 0; col < 3; ++col)
        {
            double signal = static_cast<double> (negated[col]);
            for (int position = 0; position < 4; ++position)
            {
                signal = lines[static_cast<size_t> (57 + 4 * col + position)].tick (signal);
                tankTaps[4 * col + position] = signal;
            }
        }
    }

    void tapMixers (double& tapSumX, double (&columnInputs)[3])
    {
        const double* T = tankTaps; // T[0] is T1
        auto run = [this] (int mixer, int wire, double in0, double in1, double in2)
        {
            wires[wire][0] = in0;
            wires[wire][1] = in1;
            wires[wire][2] = in2;
            mixers[mixer].process (wires[wire]);
            return wires[wire][0];
        };
        tapSumX = run (2, 1, T[2], T[5], T[11]);
        columnInputs[0] = run (3, 2, T[0], T[4], T[8]);
        columnInputs[1] = run (4, 3, T[1], T[7], T[10]);
        columnInputs[2] = run (5, 4, T[6], T[3], T[9]);
    }

    /** Stage count: the factor when it is exactly 4, 3, 2 or 1, else the step the oversampling text names. */
    int cascadeStageCount() const
    {
        if (oversamplingFactor == 4.0)
            return 4;
        if (oversamplingFactor == 3.0)
            return 3;
        if (oversamplingFactor == 2.0)
            return 2;
        if (oversamplingFactor == 1.0)
            return 1;
        const double v = static_cast<double> (oversampling);
        if (v < 0.24)
            return 1;
        if (v < 0.49)
            return 2;
        if (v < 0.74)
            return 3;
        return 4;
    }

    void densityCascade (const double (&columnInputs)[3], double (&cascadeOutputs)[3])
    {
        const int n = cascadeStageCount();
        for (int col = 0; col < 3; ++col)
        {
            const double w = cascadeLfos[col].phase / 10.0;
            double signal = columnInputs[col];
            for (int stage = 0; stage < n; ++stage)
            {
                const double a = lines[static_cast<size_t> (cascadeLine (col, stage, false))].tick (signal);
                const double b = lines[static_cast<size_t> (cascadeLine (col, stage, true))].tick (signal);
                signal = b * (1.0 - w) * 0.5 + a * (1.0 + w) * 0.5;
            }
            cascadeOutputs[col] = signal;
        }
    }

    WetOutputs outputNetwork (const double (&o)[3], double X, const InputOutputs& in,
                              const double (&levelGains)[5])
    {
        double* wire8 = wires[8];
        wire8[0] = o[0] - X;
        wire8[1] = X + o[0];
        wire8[2] = o[2] + o[1] + in.diffuserTap + 2.0 * in.longTap2 + 2.0 * in.longTap1;
        wire8[3] = (o[1] - o[2]) + 2.0 * in.diffuserOutput;
        outputCompander.process (wire8);
        const double a = wire8[0], b = wire8[1], c = wire8[2], d = wire8[3];

        const double k = static_cast<double> (0.4f);
        const double L = (a + c) * k;
        const double R = (a - c) * k;
        const double Ctr = (L + R) * 0.5;
        const double Ls = (b + d) * k;
        const double Rs = (b - d) * k;

        const double delayed[5] = { lines[34].tick (L), lines[35].tick (R), lines[36].tick (Ctr),
                                    lines[37].tick (Ls), lines[38].tick (Rs) };
        double wet[5];
        for (int ch = 0; ch < 5; ++ch)
            wet[ch] = highCut[ch].process (delayed[ch]) * levelGains[ch] * 1.12;

        return { wet[0], wet[1], wet[2], wet[3], wet[4] };
    }

    /** True when a delay line was given a non-finite value since it was last cleared, or when any other
        value reset() clears is not finite. */
    bool networkHoldsNonFinite() const
    {
        std::vector<double> values;
        for (const auto& f : bandLimit)
        {
            values.insert (values.end(), std::begin (f.x), std::end (f.x));
            values.insert (values.end(), std::begin (f.y), std::end (f.y));
        }
        for (const auto& f : highCut)
            values.insert (values.end(), { f.xm1, f.xm2, f.xm3, f.xm4, f.ym1, f.ym2, f.ym3, f.ym4 });
        for (const auto* f : { &highShelf[0], &highShelf[1], &highShelf[2], &toneFilter, &lowShelf[0],
                               &lowShelf[1], &lowShelf[2] })
            values.insert (values.end(), { static_cast<double> (f->z1), static_cast<double> (f->z2) });
        for (const auto& wire : wires)
            values.insert (values.end(), std::begin (wire), std::end (wire));
        values.insert (values.end(), std::begin (diffuserStates), std::end (diffuserStates));
        values.insert (values.end(), std::begin (tankTaps), std::end (tankTaps));

        for (const auto value : values)
            if (!std::isfinite (value))
                return true;
        for (const auto& line : lines)
            if (line.holdsNonFinite)
                return true;
        return false;
    }

    //==============================================================================
    // Mix and meter.

    void mixIntoHost (float* const* host, int numChannels, int i, const WetOutputs& wet)
    {
        const float m = mix;
        const bool swap = surroundSwitch;
        const double frontL = swap ? wet.leftSurround : wet.left;
        const double frontR = swap ? wet.rightSurround : wet.right;
        const double rearL = swap ? wet.left : wet.leftSurround;
        const double rearR = swap ? wet.right : wet.rightSurround;

        auto blend = [m] (float dry, double wetValue)
        {
            const float dryPart = (1.0f - m) * dry;
            return static_cast<float> (static_cast<double> (dryPart) + static_cast<double> (m) * wetValue);
        };

        if (numChannels == 1)
        {
            const double h = static_cast<double> (m) * 0.5;
            const float dryPart = (1.0f - m) * host[0][i];
            host[0][i] = static_cast<float> (static_cast<double> (dryPart) + (frontL * h + frontR * h));
            return;
        }

        host[0][i] = blend (host[0][i], frontL);
        host[1][i] = blend (host[1][i], frontR);
        if (numChannels == 2)
            return;

        host[2][i] = blend (host[2][i], wet.centre);
        host[3][i] = (1.0f - m) * host[3][i];
        host[4][i] = blend (host[4][i], rearL);
        host[5][i] = blend (host[5][i], rearR);
        if (numChannels == 6)
            return;

        for (int ch = 6; ch < 10; ++ch)
            host[ch][i] = 0.0f;
    }

    void updateMeter (float blockPeak)
    {
        if (blockPeak > meterPeak)
            meterPeak = blockPeak;
        else
            meterPeak = static_cast<float> (static_cast<double> (meterPeak) * 0.9);

        int step = 5;
        if (meterPeak < 0.0631f)
            step = 0;
        else if (meterPeak < 0.251f)
            step = 1;
        else if (meterPeak < 0.501f)
            step = 2;
        else if (meterPeak < 1.0f)
            step = 3;
        else if (meterPeak < 2.0f)
            step = 4;
        inputMeter = static_cast<float> (step) / 5.0f;
    }

    //==============================================================================
    // Parameters (initial values).
    float predelay = 0.0f, decay = 0.5f, low = 0.5f, high = 1.0f, highCut2 = 0.75f, highCut3 = 0.75f;
    float inputMeter = 0.0f, mix = 1.0f, oversampling = 0.0f;
    bool bypass = false, useClassic = true, surroundSwitch = false;
    float leftLevel = 0.5f, rightLevel = 0.5f, centerLevel = 0.5f, leftSLevel = 0.5f, rightSLevel = 0.5f;

    // Network.
    InputCompander inputCompander;
    OutputCompander outputCompander;
    std::vector<DelayLine> lines;
    EightPoleLowpass bandLimit[2];
    HighCutLowpass highCut[5];
    ThreeInputMixer mixers[9];
    Biquad highShelf[3];
    Biquad toneFilter;
    Biquad lowShelf[3];
    double wires[9][6]{};

    // Engine values.
    double currentSampleRate = 44100.0;
    double oversamplingFactor = 1.0;
    double modulationDepth = 0.0095;
    double modulationRates[5]{};
    double modulationStepSizes[4]{};
    int stepDecayDivisor = 200;
    double diffuserGains[3]{ 0.61365, 0.61365, 0.61365 };
    float meterPeak = 0.0f;
    double tankColumnDb[3]{};
    double tankTapDb[3][4]{};

    Lfo cascadeLfos[3];
    Lfo gainLfo;
    Lfo diffuserLfo;
    float gainWobble7 = 0.0f, gainWobble8 = 0.0f;

    double diffuserStates[3]{};
    double tankTaps[12]{};
};
} // namespace tolvmark_reference
