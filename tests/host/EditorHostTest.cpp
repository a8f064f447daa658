// The built VST3's editor, opened through JUCE's plug-in hosting in a desktop window, as a host opens it,
// while another thread keeps processing audio.

#include "HostTestSupport.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <thread>

#include <dlfcn.h>

namespace
{
/** JUCE only looks up, and does not create, the window-manager atoms (WM_PROTOCOLS, _NET_WM_STATE, ...) and
    then sets window properties with them; on a bare X server such as Xvfb without a window manager they do
    not exist yet and the first top-level window fails with BadAtom. This creates them before JUCE (here or
    inside the loaded plug-in) opens its display, and keeps the connection open so that the server does not
    reset and drop them. */
struct WindowManagerAtoms
{
    WindowManagerAtoms()
    {
        auto* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (x11 == nullptr)
            return;

        using OpenDisplay = void* (*)(const char*);
        using InternAtom = unsigned long (*)(void*, const char*, int);
        auto openDisplay = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
        auto internAtom = reinterpret_cast<InternAtom>(dlsym(x11, "XInternAtom"));
        if (openDisplay == nullptr || internAtom == nullptr)
            return;

        display = openDisplay(nullptr);
        if (display == nullptr)
            return;

        for (const auto* name :
             { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
               "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN" })
            internAtom(display, name, 0);
    }

    void* display = nullptr; // deliberately left open for the life of the process
};

const WindowManagerAtoms windowManagerAtoms;

void runMessageLoop(int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil(milliseconds);
}

/** A plain top-level window that holds a hosted editor, as a host's plug-in window does. */
struct EditorWindow : juce::DocumentWindow
{
    explicit EditorWindow(juce::AudioProcessorEditor& editor)
        : juce::DocumentWindow("Tolv_mark", juce::Colours::black, 0, true)
    {
        setContentNonOwned(&editor, true);
        setVisible(true);
    }

    ~EditorWindow() override { clearContentComponent(); }
};

/** Feeds noise through the plug-in block by block on its own thread until stopped. */
struct AudioThread
{
    explicit AudioThread(juce::AudioPluginInstance& pluginToRun) : plugin(pluginToRun)
    {
        thread = std::thread([this] { run(); });
    }

    ~AudioThread()
    {
        running = false;
        thread.join();
    }

    void run()
    {
        juce::AudioBuffer<float> buffer(2, 512);
        juce::MidiBuffer midi;
        juce::Random random(17);

        while (running)
        {
            for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    buffer.setSample(channel, i, random.nextFloat() - 0.5f);

            plugin.processBlock(buffer, midi);
            blocks.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    juce::AudioPluginInstance& plugin;
    std::atomic<bool> running{ true };
    std::atomic<int> blocks{ 0 };
    std::thread thread;
};
} // namespace

TEST(EditorHost, OpensAndClosesRepeatedlyWhileAudioRuns)
{
    auto plugin = BuiltPlugin{ hostkit::Format::vst3 }.load();
    ASSERT_NE(plugin, nullptr);
    ASSERT_TRUE(plugin->hasEditor());

    plugin->prepareToPlay(44100.0, 512);

    {
        AudioThread audio(*plugin);
        auto& parameters = plugin->getParameters();
        ASSERT_GE(parameters.size(), 16);

        for (int round = 0; round < 8; ++round)
        {
            std::unique_ptr<juce::AudioProcessorEditor> editor(plugin->createEditorIfNeeded());
            ASSERT_NE(editor, nullptr) << "round " << round;
            EXPECT_EQ(plugin->getActiveEditor(), editor.get());

            {
                EditorWindow window(*editor);
                const int blocksBefore = audio.blocks.load();

                // Automation while the editor is open: its timer picks it up on the plug-in's side.
                parameters[1]->setValueNotifyingHost((float)(round % 4) / 3.0f);
                parameters[7]->setValueNotifyingHost(round % 2 == 0 ? 1.0f : 0.0f);
                runMessageLoop(150);

                EXPECT_EQ(editor->getWidth(), 862) << "round " << round;
                EXPECT_EQ(editor->getHeight(), 328) << "round " << round;
                EXPECT_TRUE(editor->isShowing()) << "round " << round;

                EXPECT_GT(audio.blocks.load(), blocksBefore) << "audio stalled in round " << round;
            }

            editor.reset();
            EXPECT_EQ(plugin->getActiveEditor(), nullptr);
            runMessageLoop(30);
        }

        EXPECT_GT(audio.blocks.load(), 50);
    }

    plugin->releaseResources();
}
