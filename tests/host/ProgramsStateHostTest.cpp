// Programs and saved state of the built VST3 and LV2 binaries, driven through JUCE's plug-in hosting.

#include "FactoryProgramTable.h"
#include "HostTestSupport.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace hosttest;

namespace
{
const auto& parameterKeys = testdata::parameterKeys;

constexpr int numParameters = 16;

const auto& programNames = testdata::factoryProgramNames;

// Program 4 ("Acoustic Guitar") and the values the processor holds right after construction, by index.
const auto& acousticGuitar = testdata::factoryPrograms[4];
const auto& initialValues = testdata::initialParameterValues;

// Program 3 ("Drum Room") by index, and values no program and no initial setting has.
const auto& drumRoom = testdata::factoryPrograms[3];
const float editedValues[numParameters] = { 0.25f,   0.875f,  0.75f, 0.25f,   0.375f,  0.625f,
                                            0.125f,  1.0f,    0.0f,  0.0625f, 0.1875f, 0.3125f,
                                            0.4375f, 0.5625f, 0.0f,  0.9375f };

/** On a bare X server (Xvfb without a window manager) the window-manager atoms JUCE looks up do not
    exist and its first top-level window fails with BadAtom: create them before any window is opened,
    and keep the connection open so that the server keeps them. */
struct WindowManagerAtoms
{
    WindowManagerAtoms()
    {
        auto* x11 = dlopen ("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (x11 == nullptr)
            return;

        using OpenDisplay = void* (*) (const char*);
        using InternAtom = unsigned long (*) (void*, const char*, int);
        auto openDisplay = reinterpret_cast<OpenDisplay> (dlsym (x11, "XOpenDisplay"));
        auto internAtom = reinterpret_cast<InternAtom> (dlsym (x11, "XInternAtom"));
        if (openDisplay == nullptr || internAtom == nullptr)
            return;

        if (auto* display = openDisplay (nullptr))
            for (const auto* name :
                 { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                   "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN" })
                internAtom (display, name, 0);
    }
};

/** A top-level window holding a hosted editor, as a host's plug-in window does. */
struct EditorWindow : juce::DocumentWindow
{
    explicit EditorWindow (juce::AudioProcessorEditor& editor)
        : juce::DocumentWindow ("Tolv_mark", juce::Colours::black, 0, true)
    {
        static const WindowManagerAtoms atoms;
        setContentNonOwned (&editor, true);
        setVisible (true);
    }

    ~EditorWindow() override { clearContentComponent(); }
};

/** The plug-in ignores program changes in the first 200 ms of its life (a host may still be restoring it). */
void waitPastTheProgramChangeGuard()
{
    juce::Thread::sleep (250);
}

/** Runs a few blocks, so that whatever the host queued reaches the plug-in and back. */
void processBlocks (juce::AudioPluginInstance& plugin, int count = 2)
{
    juce::AudioBuffer<float> buffer (
        juce::jmax (2, plugin.getTotalNumInputChannels(), plugin.getTotalNumOutputChannels()), 256);
    juce::MidiBuffer midi;

    for (int i = 0; i < count; ++i)
    {
        buffer.clear();
        plugin.processBlock (buffer, midi);
    }
}

/** The host's program index of the program named `name`, or -1. */
int hostProgramNamed (juce::AudioPluginInstance& plugin, const juce::String& name)
{
    for (int i = 0; i < plugin.getNumPrograms(); ++i)
        if (plugin.getProgramName (i) == name)
            return i;

    return -1;
}
} // namespace

class ProgramsStateHost : public ::testing::TestWithParam<BuiltPlugin>
{
};

TEST_P (ProgramsStateHost, SaveAndRestoreRoundTripRestoresEveryParameter)
{
    const auto format = GetParam().format;

    auto saved = GetParam().load();
    ASSERT_NE (saved, nullptr);
    saved->prepareToPlay (44100.0, 256);
    waitPastTheProgramChangeGuard();

    // A program first (its index is saved too), then every parameter moved away from it by the host.
    const auto drumRoomProgram = hostProgramNamed (*saved, "Drum Room");
    ASSERT_GE (drumRoomProgram, 0);
    saved->setCurrentProgram (drumRoomProgram);
    processBlocks (*saved);

    auto before = pluginValues (*saved, format);
    for (int i = 0; i < numParameters; ++i)
        EXPECT_FLOAT_EQ ((float) before[parameterKeys[i]], drumRoom[i]) << parameterKeys[i];

    const auto savedParameters = ownParameters (*saved);
    for (int i = 0; i < numParameters; ++i)
        savedParameters[(size_t) i]->setValueNotifyingHost (editedValues[i]);
    processBlocks (*saved);

    const auto savedValues = pluginValues (*saved, format);
    for (int i = 0; i < numParameters; ++i)
        EXPECT_FLOAT_EQ ((float) savedValues.at (parameterKeys[i]), editedValues[i]) << parameterKeys[i];
    EXPECT_EQ (savedValues.at ("curProgram"), 3.0);

    juce::MemoryBlock hostState;
    saved->getStateInformation (hostState);
    const auto savedBlock = pluginStateBlock (*saved, format);

    // A fresh instance takes the whole state back: the plug-in's own block comes out byte for byte.
    auto restored = GetParam().load();
    ASSERT_NE (restored, nullptr);
    restored->prepareToPlay (44100.0, 256);
    restored->setStateInformation (hostState.getData(), (int) hostState.getSize());
    processBlocks (*restored);

    EXPECT_EQ (pluginStateBlock (*restored, format), savedBlock);

    const auto restoredValues = pluginValues (*restored, format);
    for (int i = 0; i < numParameters; ++i)
        EXPECT_FLOAT_EQ ((float) restoredValues.at (parameterKeys[i]), editedValues[i]) << parameterKeys[i];
    EXPECT_EQ (restoredValues.at ("curProgram"), 3.0);

    if (format == hostkit::Format::vst3)
    {
        // The VST3 host rereads every value after a restore: its view equals the plug-in's.
        const auto restoredParameters = ownParameters (*restored);
        for (int i = 0; i < numParameters; ++i)
            EXPECT_FLOAT_EQ (restoredParameters[(size_t) i]->getValue(), editedValues[i]) << parameterKeys[i];

        EXPECT_EQ (restored->getCurrentProgram(), 3);
    }
}

TEST_P (ProgramsStateHost, OffersTheTenProgramsAndAppliesTheChosenOne)
{
    const auto format = GetParam().format;
    auto plugin = GetParam().load();
    ASSERT_NE (plugin, nullptr);
    plugin->prepareToPlay (44100.0, 256);

    // VST3 lists the programs in their own order. The LV2 wrapper publishes each program as a preset
    // whose state holds only the program index; JUCE's LV2 host lists the presets in the order its
    // preset lookup returns them, and choosing one restores that state, which selects the program.
    ASSERT_EQ (plugin->getNumPrograms(), 10);

    for (int p = 0; p < 10; ++p)
    {
        const auto hostIndex = hostProgramNamed (*plugin, programNames[p]);
        EXPECT_GE (hostIndex, 0) << programNames[p];

        if (format == hostkit::Format::vst3)
        {
            EXPECT_EQ (hostIndex, p) << programNames[p];
        }
    }

    waitPastTheProgramChangeGuard();
    plugin->setCurrentProgram (hostProgramNamed (*plugin, "Acoustic Guitar"));
    processBlocks (*plugin);

    const auto values = pluginValues (*plugin, format);
    for (int i = 0; i < numParameters; ++i)
        EXPECT_FLOAT_EQ ((float) values.at (parameterKeys[i]), acousticGuitar[i]) << parameterKeys[i];
    EXPECT_EQ (values.at ("curProgram"), 4.0);

    if (format == hostkit::Format::lv2)
    {
        // The plug-in reports every value the program changed; the LV2 wrapper passes the reports on as
        // parameter messages with the next block, and the host's view follows. (The LV2 host starts from
        // the published defaults, not from the plug-in's initial values, so only changed values are
        // compared.)
        const auto parameters = ownParameters (*plugin);
        for (int i = 0; i < numParameters; ++i)
        {
            if (initialValues[i] != acousticGuitar[i])
            {
                EXPECT_FLOAT_EQ (parameters[(size_t) i]->getValue(), acousticGuitar[i]) << parameterKeys[i];
            }
        }
    }
}

TEST_P (ProgramsStateHost, HostSetsRightAfterAProgramChangeWinInThePluginAndInTheHostsView)
{
    const auto format = GetParam().format;
    auto plugin = GetParam().load();
    ASSERT_NE (plugin, nullptr);
    plugin->prepareToPlay (44100.0, 256);
    const auto parameters = ownParameters (*plugin);
    waitPastTheProgramChangeGuard();

    // The program, then at once (no block in between) the host's own values: two values the program
    // sets, the switch it turns off and the pre-delay, whose change clears the network.
    plugin->setCurrentProgram (hostProgramNamed (*plugin, "Acoustic Guitar"));
    const std::pair<int, float> sets[] = { { 1, 0.9f }, { 6, 0.7f }, { 8, 1.0f }, { 0, 0.45f } };
    for (const auto& [index, value] : sets)
        parameters[(size_t) index]->setValueNotifyingHost (value);

    float expected[numParameters];
    std::copy (std::begin (acousticGuitar), std::end (acousticGuitar), expected);
    for (const auto& [index, value] : sets)
        expected[index] = value;

    // A report of the program's values that came back from the host after these blocks would overwrite
    // the host's values: two rounds, each checked.
    for (int round = 0; round < 2; ++round)
    {
        processBlocks (*plugin, 3);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (50);

        const auto values = pluginValues (*plugin, format);
        for (int i = 0; i < numParameters; ++i)
        {
            EXPECT_FLOAT_EQ ((float) values.at (parameterKeys[i]), expected[i]) << parameterKeys[i];

            // The LV2 host starts from the published defaults, and the plug-in reports the values a
            // program changes: its view is checked for those and for the host's own sets.
            const bool changedOrSet =
                initialValues[i] != acousticGuitar[i] || expected[i] != acousticGuitar[i];
            if (format == hostkit::Format::vst3 || changedOrSet)
            {
                EXPECT_FLOAT_EQ (parameters[(size_t) i]->getValue(), expected[i]) << parameterKeys[i];
            }
        }
    }
}

TEST (ProgramsStateVst3Host, AfterAProgramChangeEveryHostMoveBackReachesThePlugin)
{
    auto plugin = BuiltPlugin{ hostkit::Format::vst3 }.load();
    ASSERT_NE (plugin, nullptr);
    plugin->prepareToPlay (44100.0, 256);
    const auto parameters = ownParameters (*plugin);

    waitPastTheProgramChangeGuard();
    plugin->setCurrentProgram (4);

    // Without an open editor, JUCE's VST3 wrapper on Linux runs its own message thread. The plug-in's
    // reports of the changed values still update the wrapper's copy of each value at once (our patch of
    // the wrapper, cmake/juce-patches), and that copy decides whether a host move is passed on.
    processBlocks (*plugin);

    auto values = pluginValues (*plugin, hostkit::Format::vst3);
    for (int i = 0; i < numParameters; ++i)
        EXPECT_FLOAT_EQ ((float) values.at (parameterKeys[i]), acousticGuitar[i]) << parameterKeys[i];

    int movedBack = 0;

    for (int i = 0; i < numParameters; ++i)
    {
        if (initialValues[i] == acousticGuitar[i])
            continue;

        parameters[(size_t) i]->setValueNotifyingHost (initialValues[i]);
        ++movedBack;

        values = pluginValues (*plugin, hostkit::Format::vst3);
        EXPECT_FLOAT_EQ ((float) values.at (parameterKeys[i]), initialValues[i]) << parameterKeys[i];
    }

    EXPECT_EQ (movedBack, 8);

    // Later blocks keep the moves.
    processBlocks (*plugin);
    values = pluginValues (*plugin, hostkit::Format::vst3);
    for (int i = 0; i < numParameters; ++i)
        EXPECT_FLOAT_EQ ((float) values.at (parameterKeys[i]), initialValues[i]) << parameterKeys[i];
}

TEST (ProgramsStateVst3Host, WithTheEditorOpenTheHostSeesAProgramChangeAtOnce)
{
    if (juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty())
        GTEST_SKIP() << "needs an X display (the test scripts run the host tests under Xvfb)";

    auto plugin = BuiltPlugin{ hostkit::Format::vst3 }.load();
    ASSERT_NE (plugin, nullptr);
    plugin->prepareToPlay (44100.0, 256);
    const auto parameters = ownParameters (*plugin);

    for (int i = 0; i < numParameters; ++i)
        ASSERT_FLOAT_EQ (parameters[(size_t) i]->getValue(), initialValues[i]) << parameterKeys[i];

    // An editor shown in a window attaches the wrapper to the host's message thread, as on a desktop
    // where the host's user-interface thread is the message thread: reports then reach the host at once.
    std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);
    EditorWindow window (*editor);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (100);

    waitPastTheProgramChangeGuard();
    plugin->setCurrentProgram (4);

    // No block has run: every hosted value already reads what the plug-in holds.
    auto values = pluginValues (*plugin, hostkit::Format::vst3);
    for (int i = 0; i < numParameters; ++i)
    {
        EXPECT_FLOAT_EQ ((float) values.at (parameterKeys[i]), acousticGuitar[i]) << parameterKeys[i];
        EXPECT_FLOAT_EQ (parameters[(size_t) i]->getValue(), acousticGuitar[i]) << parameterKeys[i];
    }

    // Each value moved back to where it was before the change reaches the plug-in at once.
    for (int i = 0; i < numParameters; ++i)
    {
        if (initialValues[i] == acousticGuitar[i])
            continue;

        parameters[(size_t) i]->setValueNotifyingHost (initialValues[i]);
        values = pluginValues (*plugin, hostkit::Format::vst3);
        EXPECT_FLOAT_EQ ((float) values.at (parameterKeys[i]), initialValues[i]) << parameterKeys[i];
    }

    processBlocks (*plugin);
    values = pluginValues (*plugin, hostkit::Format::vst3);
    for (int i = 0; i < numParameters; ++i)
    {
        EXPECT_FLOAT_EQ ((float) values.at (parameterKeys[i]), initialValues[i]) << parameterKeys[i];
        EXPECT_FLOAT_EQ (parameters[(size_t) i]->getValue(), initialValues[i]) << parameterKeys[i];
    }

    plugin->editorBeingDeleted (editor.get());
}

TOLVMARK_FOR_EACH_BUILT_PLUGIN (ProgramsStateHost);
