// Tests of the all-pass section that is built and kept but never run.

#include "dsp/Allpass.h"

#include <gtest/gtest.h>

namespace
{
TEST (DspAllpass, HoldsItsConstructionValuesAndRoundsItsDelay)
{
    Allpass allpass (0.15, 0.633f);

    EXPECT_EQ (allpass.coefficient, 0.15);
    EXPECT_EQ (allpass.sampleRate, 0.0);
    EXPECT_TRUE (allpass.buffer != nullptr);
    EXPECT_EQ (allpass.capacity, 15000);
    EXPECT_EQ (allpass.writeIndex, 0);
    EXPECT_EQ (allpass.delaySamples, 1);
    EXPECT_EQ (allpass.readIndex, 1);
    EXPECT_EQ (allpass.gain, static_cast<double> (0.633f));
    EXPECT_NEAR (allpass.gain, 0.633000016212, 1.0e-12);

    allpass.setDelayTime (0.017083333); // at sample rate 0
    EXPECT_EQ (allpass.time, 0.017083333);
    EXPECT_EQ (allpass.delaySamples, 0);

    allpass.sampleRate = 44100.0;
    allpass.setDelayTime (0.017083333); // 75.337 + 0.5
    EXPECT_EQ (allpass.delaySamples, 75);
    allpass.setDelayTime (0.0172); // 75.852 + 0.5
    EXPECT_EQ (allpass.delaySamples, 76);
}
} // namespace
