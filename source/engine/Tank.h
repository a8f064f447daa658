#pragma once

// The tank: three recirculating columns (mixer, shelves, negation, four delay lines), then the four
// tap mixers.

#include "engine/LineCursors.h"
#include "processor/QuellorAudioProcessor.h"

template <bool classic> inline tolvmark::TankGains QuellorAudioProcessor::wobbleTankGains() noexcept
{
    // Columns 2 and 3 feed back through gains in dB that the gain modulator moves in opposite directions.
    const float gainWobble7 = static_cast<float> (gainLfo.phase * static_cast<double> (-0.0051f));
    const float gainWobble8 = static_cast<float> (gainLfo.phase * static_cast<double> (0.0051f));
    const double base2 = classic ? tankColumnDb[1] : tankTapDb[1][2];
    const double base3 = classic ? tankColumnDb[2] : tankTapDb[2][2];

    auto& column2 = mixers[tolvmark::network::tankMixers[1]];
    auto& column3 = mixers[tolvmark::network::tankMixers[2]];
    column2.raw1 = static_cast<float> (gainWobble7 + base2);
    column3.raw1 = static_cast<float> (gainWobble8 + base3);
    column2.updateGain1();
    column3.updateGain1();
    return { column2.wideGain1(), column3.wideGain1() };
}

/** One sample of the tank. `writtenCheck` gains lane-wise 0 x each value fed into the columns' first lines:
    it stays 0 while they are finite and turns NaN for good once one is not. */
template <bool classic>
inline void QuellorAudioProcessor::runTank (double diffuserOutput, tolvmark::TankGains gains,
                                            tolvmark::FloatQuad& writtenCheck) noexcept
{
    using namespace tolvmark::network;
    auto& buffer1 = signals.wire[tankBuffers[0]];
    auto& buffer2 = signals.wire[tankBuffers[1]];
    auto& buffer3 = signals.wire[tankBuffers[2]];
    auto& taps = signals.tankTaps;

    // Column mixers: the diffuser output plus each column's feedback of the previous sample, with the
    // wobbling gains of this sample (the others were set at the block head). Each work buffer ends up
    // holding its mixer's output on channel 0 and its inputs on the others.
    buffer1[1][0] = taps[3];
    buffer2[1][0] = taps[7];
    buffer3[1][0] = taps[11];
    const double column1 = mixers[tankMixers[0]].mix (diffuserOutput, taps[3], buffer1[2][0]);
    const double column2 =
        mixers[tankMixers[1]].mixWithGain1 (diffuserOutput, taps[7], buffer2[2][0], gains.column2);
    const double column3 =
        mixers[tankMixers[2]].mixWithGain1 (diffuserOutput, taps[11], buffer3[2][0], gains.column3);
    buffer1[0][0] = column1;
    buffer2[0][0] = column2;
    buffer3[0][0] = column3;

    // Shelves in single precision (the three columns side by side), then the negation.
    tolvmark::FloatQuad shelved = { static_cast<float> (column1), static_cast<float> (column2),
                                    static_cast<float> (column3), 0.0f };
    shelved = highShelfBank.process (shelved);
    if constexpr (classic)
        shelved = lowShelfBank.process (shelved);

    // The single-precision shelves are where a huge but finite signal overflows.
    writtenCheck = writtenCheck + shelved * tolvmark::FloatQuad{};

    float negated[3];
    for (int column = 0; column < 3; ++column)
        negated[column] = -shelved[column];

    // Four lines per column: column 1 gives T1-T4, column 2 T5-T8, column 3 T9-T12.
    for (int column = 0; column < 3; ++column)
    {
        double x = static_cast<double> (negated[column]);
        for (int position = 0; position < 4; ++position)
        {
            x = tickLine (tankChains[column][position], x);
            taps[column * 4 + position] = x;
        }
    }
}

inline void QuellorAudioProcessor::runTapMixers (double& tapSumX, double (&columnInputs)[3]) noexcept
{
    auto& wire = signals.wire;
    const auto& t = signals.tankTaps; // t[0] is T1

    const auto mix = [&wire, this] (int buffer, int mixer, double in0, double in1, double in2) noexcept
    {
        const double out = mixers[mixer].mix (in0, in1, in2);
        wire[buffer][0][0] = out;
        wire[buffer][1][0] = in1;
        wire[buffer][2][0] = in2;
        return out;
    };

    using namespace tolvmark::network;
    tapSumX = mix (tapSumBuffer, tapSumMixer, t[2], t[5], t[11]);                             // T3, T6, T12
    columnInputs[0] = mix (cascadeInputBuffers[0], cascadeInputMixers[0], t[0], t[4], t[8]);  // T1, T5, T9
    columnInputs[1] = mix (cascadeInputBuffers[1], cascadeInputMixers[1], t[1], t[7], t[10]); // T2, T8, T11
    columnInputs[2] = mix (cascadeInputBuffers[2], cascadeInputMixers[2], t[6], t[3], t[9]);  // T7, T4, T10
}
