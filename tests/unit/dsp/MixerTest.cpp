// Tests of the three-input mixer in its decibel and bipolar modes.

#include "dsp/Mixer.h"
#include "dsp/WireBuffer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
struct MixerGainCase
{
    float mode;
    float raw;
    float flag;
    float expectedGain;
};

TEST (DspMixer, GainOfEachInputInDecibelAndBipolarModes)
{
    const MixerGainCase cases[] = {
        // decibel mapping
        { 0.0f, 0.0f, 1.0f, 1.0f }, // 0 dB passes the input
        { 0.0f, 0.0f, 0.0f, 0.0f }, // raw gain 0 silences it
        { 0.0f, -6.0f, 1.0f, std::pow (10.0f, -6.0f * 0.05f) },
        { 0.0f, 20.0f, 1.0f, 10.0f },
        { 0.0f, -2.360411418f, 1.0f, std::pow (10.0f, -2.360411418f * 0.05f) },
        { 0.0f, 0.76204294f, 0.0f, 0.76204294f },
        { 0.0f, -1.0f, 0.0f, -1.0f },
        { 0.5f, 0.3f, 0.0f, 0.3f }, // mode 0.5 is still the decibel mapping
        // bipolar mapping
        { 1.0f, 0.5f, 0.0f, 0.0f },
        { 1.0f, 0.0f, 0.0f, -1.0f },
        { 1.0f, 1.0f, 0.0f, 1.0f },
        { 1.0f, 0.75f, 0.0f, 0.5f },
        { 1.0f, 0.3f, 1.0f, 0.3f },
        { 0.6f, 0.25f, 0.0f, -0.5f },
    };

    for (const auto& c : cases)
    {
        for (int input = 0; input < 3; ++input)
        {
            SCOPED_TRACE (testing::Message() << "mode " << c.mode << ", raw " << c.raw << ", flag " << c.flag
                                             << ", input " << input);
            Mixer mixer;
            mixer.mode = c.mode;
            float* raws[] = { &mixer.raw0, &mixer.raw1, &mixer.raw2 };
            float* flags[] = { &mixer.flag0, &mixer.flag1, &mixer.flag2 };
            *raws[input] = c.raw;
            *flags[input] = c.flag;

            WireBuffer wire (3, 1);
            wire.clear();
            wire.setSample (input, 0, 0.8);

            mixer.process (wire);

            const float gains[] = { mixer.g0, mixer.g1, mixer.g2 };
            EXPECT_EQ (gains[input], c.expectedGain);
            EXPECT_EQ (wire.getSample (0, 0), static_cast<double> (c.expectedGain) * 0.8);
        }
    }
}

TEST (DspMixer, SumsTheThreeChannelsIntoChannelZeroInPlace)
{
    Mixer mixer;
    mixer.mode = 0.0f;
    mixer.raw0 = 1.0f;
    mixer.raw1 = -3.0f;
    mixer.flag1 = 1.0f;
    mixer.raw2 = 0.37f;

    WireBuffer wire (6, 1);
    wire.clear();
    ASSERT_TRUE (wire.hasBeenCleared());
    wire.setSample (0, 0, 0.1);
    wire.setSample (1, 0, -0.7);
    wire.setSample (2, 0, 0.45);
    wire.setSample (3, 0, 9.0);

    mixer.process (wire);

    const double g1 = static_cast<double> (std::pow (10.0f, -3.0f * 0.05f));
    const double expected = (g1 * -0.7 + 1.0 * 0.1) + static_cast<double> (0.37f) * 0.45;
    EXPECT_EQ (wire.getSample (0, 0), expected);
    EXPECT_EQ (wire.getSample (1, 0), -0.7);
    EXPECT_EQ (wire.getSample (2, 0), 0.45);
    EXPECT_EQ (wire.getSample (3, 0), 9.0);

    Mixer sameMixer = mixer;
    EXPECT_EQ (sameMixer.process (0.1, -0.7, 0.45), expected);
}

TEST (DspMixer, ProcessMarksTheBufferAsHoldingData)
{
    Mixer mixer; // bipolar, flags 0, raw 0: every gain is -1
    WireBuffer wire (3, 1);
    wire.clear();
    ASSERT_TRUE (wire.hasBeenCleared());

    mixer.process (wire);

    EXPECT_FALSE (wire.hasBeenCleared());
    EXPECT_EQ (wire.getSample (0, 0), 0.0);
    EXPECT_EQ (mixer.g0, -1.0f);
    EXPECT_EQ (mixer.g1, -1.0f);
    EXPECT_EQ (mixer.g2, -1.0f);
}
} // namespace
