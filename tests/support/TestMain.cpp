// Test main: JUCE's message manager lives for the whole run, as it does in a host. Under a bare X server
// (Xvfb in CI) the window-manager atoms are created first, so that tests can open real windows.

#include "BareXServer.h"

#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    testsupport::createWindowManagerAtoms();
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    return RUN_ALL_TESTS();
}
