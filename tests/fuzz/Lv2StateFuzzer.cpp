// libFuzzer target: the LV2 wrapper's state handling, on whole state strings.
//
// The target has the (patched) LV2 wrapper compiled in, as the plug-in binary has, and drives it only
// through its LV2 entry point and state interface (hostkit::Lv2DirectHost): every input is handed to
// one instance as the text of its StateString property. Besides the sanitizers' own checks (and
// libFuzzer's, which reports an exception that leaves the call), the state the instance saves next must
// be a block of the plug-in with every value normalised, and a good state handed over after it must come
// back exactly.

#include "Lv2DirectHost.h"

#include "StateBlockCheck.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
void check (bool condition)
{
    if (!condition)
        std::abort();
}

struct Instance
{
    std::unique_ptr<hostkit::Lv2DirectHost> host;
    std::string good;
};

Instance& theInstance()
{
    // One instance for the whole run, as a host keeps one through a session.
    static Instance instance = []
    {
        Instance made;
        juce::String error;
        made.host = hostkit::Lv2DirectHost::create (lv2_descriptor, juce::File::getCurrentWorkingDirectory(),
                                                    JucePlugin_LV2URI, 44100.0, 512, error);
        check (made.host != nullptr);
        made.good = made.host->saveStateString();
        check (!made.good.empty());
        return made;
    }();

    return instance;
}

/** A saved state string: the encoding of a block of the plug-in, every parameter attribute in 0..1. */
bool isANormalisedBlock (const std::string& text)
{
    juce::MemoryBlock block;

    if (!block.fromBase64Encoding (text))
        return false;

    return isANormalisedStateBlock (block.getData(), (int) block.getSize());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    auto& instance = theInstance();

    instance.host->restoreStateString (std::string (reinterpret_cast<const char*> (data), size));
    check (isANormalisedBlock (instance.host->saveStateString()));

    check (instance.host->restoreStateString (instance.good) == LV2_STATE_SUCCESS);
    check (instance.host->saveStateString() == instance.good);

    return 0;
}
