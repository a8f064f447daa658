// The built VST3's editor, opened through JUCE's plug-in hosting in a desktop window, as a host opens it,
// while another thread keeps processing audio. On a bare X server the test main (support/TestMain.cpp)
// creates the window-manager atoms JUCE needs first.

#include "HostTestSupport.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <thread>

namespace
{
void runMessageLoop (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

/** A plain top-level window that holds a hosted editor, as a host's plug-in window does. */
struct EditorWindow : juce::DocumentWindow
{
    explicit EditorWindow (juce::AudioProcessorEditor& editor)
        : juce::DocumentWindow ("Tolv_mark", juce::Colours::black, 0, true)
    {
        setContentNonOwned (&editor, true);
        setVisible (true);
    }

    ~EditorWindow() override { clearContentComponent(); }
};

/** Feeds noise through the plug-in block by block on its own thread until stopped. */
struct AudioThread
{
    explicit AudioThread (juce::AudioPluginInstance& pluginToRun) : plugin (pluginToRun)
    {
        thread = std::thread ([this] { run(); });
    }

    ~AudioThread()
    {
        running = false;
        thread.join();
    }

    void run()
    {
        juce::AudioBuffer<float> buffer (2, 512);
        juce::MidiBuffer midi;
        juce::Random random (17);

        while (running)
        {
            for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    buffer.setSample (channel, i, random.nextFloat() - 0.5f);

            plugin.processBlock (buffer, midi);
            blocks.fetch_add (1);
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    }

    juce::AudioPluginInstance& plugin;
    std::atomic<bool> running{ true };
    std::atomic<int> blocks{ 0 };
    std::thread thread;
};
} // namespace

TEST (EditorHost, OpensAndClosesRepeatedlyWhileAudioRuns)
{
    auto plugin = BuiltPlugin{ hostkit::Format::vst3 }.load();
    ASSERT_NE (plugin, nullptr);
    ASSERT_TRUE (plugin->hasEditor());

    plugin->prepareToPlay (44100.0, 512);

    {
        AudioThread audio (*plugin);
        auto& parameters = plugin->getParameters();
        ASSERT_GE (parameters.size(), 16);

        for (int round = 0; round < 8; ++round)
        {
            std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
            ASSERT_NE (editor, nullptr) << "round " << round;
            EXPECT_EQ (plugin->getActiveEditor(), editor.get());

            {
                EditorWindow window (*editor);
                const int blocksBefore = audio.blocks.load();

                // Automation while the editor is open: its timer picks it up on the plug-in's side.
                parameters[1]->setValueNotifyingHost ((float) (round % 4) / 3.0f);
                parameters[7]->setValueNotifyingHost (round % 2 == 0 ? 1.0f : 0.0f);
                runMessageLoop (150);

                EXPECT_EQ (editor->getWidth(), 862) << "round " << round;
                EXPECT_EQ (editor->getHeight(), 328) << "round " << round;
                EXPECT_TRUE (editor->isShowing()) << "round " << round;

                EXPECT_GT (audio.blocks.load(), blocksBefore) << "audio stalled in round " << round;
            }

            hostkit::deleteEditor (editor);
            EXPECT_EQ (plugin->getActiveEditor(), nullptr);
            runMessageLoop (30);
        }

        EXPECT_GT (audio.blocks.load(), 50);
    }

    plugin->releaseResources();
}
