#pragma once

// The input network: compander, mono sum and band limiting (which depend on the input alone, so the
// block renderer runs them a few hundred samples ahead), then the pre-delay with its two long taps
// and the three-section input diffuser.

#include "engine/LineCursors.h"
#include "processor/QuellorAudioProcessor.h"

template <bool classic>
inline double QuellorAudioProcessor::runInputFilters (Compander& compander, Lowpass4& bandLimit0,
                                                      Lowpass4& bandLimit1, double inputLeft,
                                                      double inputRight) noexcept
{
    auto& wire = signals.wire;

    // Compander on the input pair.
    double left = inputLeft;
    double right = inputRight;
    compander.processSample (left, right);
    wire[tolvmark::network::inputCompanderBuffer][0][0] = left;
    wire[tolvmark::network::inputCompanderBuffer][1][0] = right;

    // Mono sum, in single precision.
    float monoInput;
    if constexpr (classic)
        monoInput = classicToneFilter.processSingleSampleRaw (static_cast<float> ((left + right) / 3.0));
    else
        monoInput = static_cast<float> ((left + right) * 0.5);

    // Band limit.
    return bandLimit1.processSample (bandLimit0.processSample (static_cast<double> (monoInput)));
}

template <bool classic>
inline tolvmark::InputNetworkOutputs QuellorAudioProcessor::runInputNetwork (double bandLimitedInput) noexcept
{
    using namespace tolvmark::network;

    // Pre-delay and the long taps.
    const double p = tickLine (predelayLine, bandLimitedInput);

    tolvmark::InputNetworkOutputs out;
    out.longTap2 = tickLine (longTapLines[1], p);
    out.longTap1 = tickLine (longTapLines[0], p);

    // Diffuser crossfade weight, held within [-1, 1].
    double w = diffuserLfo.phase;
    if (w > 1.0)
        w = 1.0;
    if (w < -1.0)
        w = -1.0;
    diffuserLfo.phase = w;

    const double weightB = (1.0 - w) * 0.5;
    const double weightA = (w + 1.0) * 0.5;
    auto& s = signals.diffuserStates;

    // Section 1.
    const double v = p + s[0];
    const double t1 = p - s[0];
    {
        const double a = tickLine (diffuserLines[0].a, v);
        const double b = tickLine (diffuserLines[0].b, v);
        s[0] = (b * weightB + weightA * a) * diffuserGains[0];
    }

    // Section 2.
    const double u2 = t1 + s[1];
    const double t2 = t1 * 0.496 - s[1];
    {
        const double a = tickLine (diffuserLines[1].a, u2);
        const double b = tickLine (diffuserLines[1].b, u2);
        s[1] = (b * weightB + weightA * a) * diffuserGains[1];
    }

    // Section 3.
    const double u3 = t2 + s[2];
    double t3 = t2 * 0.496 - s[2];
    {
        const double a = tickLine (diffuserLines[2].a, u3);
        const double b = tickLine (diffuserLines[2].b, u3);
        s[2] = (b * weightB + weightA * a) * diffuserGains[2];
    }

    if constexpr (!classic)
        t3 = t3 * static_cast<double> (0.8f);

    out.diffuserOutput = t3;
    out.diffuserTap = v;
    return out;
}
