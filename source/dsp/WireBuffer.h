#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** A one-sample, multi-channel double buffer through which the engine hands values to a Mixer or a
    compander. The owner sizes it once (channels x 1 sample) outside the audio thread; the per-sample
    operations then only read and write sample 0 of its channels and never allocate.
*/
using WireBuffer = juce::AudioBuffer<double>;
