#pragma once

// Fake millisecond clocks for the processor, which reads its clock to ignore program changes that
// come within 200 ms of its construction. Pass one to the constructor that takes a clock.

#include <juce_core/juce_core.h>

#include <atomic>

namespace testsupport
{
/** The time fakeClock reads, in milliseconds: tests set and move it by hand. */
inline std::atomic<juce::uint32> fakeNow{ 0 };

/** A clock that reads fakeNow, so that the guard against early program changes is tested without
    sleeping. */
inline juce::uint32 fakeClock()
{
    return fakeNow.load();
}

/** A clock that moves a second per reading: every reading is far past the guard, so a processor built
    with it accepts program changes at once. */
inline juce::uint32 lateClock()
{
    static std::atomic<juce::uint32> now{ 0 };
    return now += 1000;
}
} // namespace testsupport
