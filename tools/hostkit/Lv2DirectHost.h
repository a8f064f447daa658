#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hostkit
{
/** A minimal LV2 host for one stereo plug-in, driving it through its C interface alone: what a host
    may do that JUCE's LV2 hosting never does. Parameters are set by patch:Set messages carrying any
    float (JUCE's hosting keeps them within their declared range), and the state interface is handed
    any property text (JUCE's hosting hands over only what lilv has parsed from a saved state).

    It provides the features the JUCE wrapper requires (urid:map, options with the maximum block
    length, bounded block length) and connects every port, unless a Setup says otherwise (any
    maxBlockLength, ports left unconnected). Message thread only (one thread at a time); allocates.
*/
class Lv2DirectHost
{
public:
    /** The port indexes the JUCE wrapper declares for a stereo effect without MIDI. */
    enum Port : std::uint32_t
    {
        audioIn1 = 0,
        audioIn2 = 1,
        audioOut1 = 2,
        audioOut2 = 3,
        controlInPort = 4,
        controlOutPort = 5,
        latencyPort = 6,
        freeWheelingPort = 7,
        enabledPort = 8,
        numPorts = 9
    };

    /** How the plug-in is instantiated and connected, besides its sample rate. */
    struct Setup
    {
        /** Samples of each audio port buffer: the longest block process() runs. */
        int bufferSize = 512;

        /** The maxBlockLength option handed over, whatever a host may send; bufferSize when unset. */
        std::optional<std::int32_t> maxBlockLength;

        /** Ports left unconnected at instantiation (connectAllPorts() connects them later). */
        std::vector<Port> unconnectedPorts;
    };

    /** Loads the shared library of an LV2 bundle directory, instantiates the plug-in `uri` at the rate
        and activates it. Returns nullptr and fills `error` when any step fails. Allocates. */
    static std::unique_ptr<Lv2DirectHost> load (const juce::File& bundle, const juce::String& uri,
                                                double sampleRate, int maxBlockSize, juce::String& error);

    /** As load(), instantiated and connected as `setup` says. Allocates. */
    static std::unique_ptr<Lv2DirectHost> load (const juce::File& bundle, const juce::String& uri,
                                                double sampleRate, const Setup& setup, juce::String& error);

    /** As load(), with the library's descriptor function already in the process (a program that links
        the wrapper itself); `bundle` is only passed on to the plug-in. Allocates. */
    static std::unique_ptr<Lv2DirectHost> create (LV2_Descriptor_Function descriptors,
                                                  const juce::File& bundle, const juce::String& uri,
                                                  double sampleRate, int maxBlockSize, juce::String& error);

    /** As create(), instantiated and connected as `setup` says. Allocates. */
    static std::unique_ptr<Lv2DirectHost> create (LV2_Descriptor_Function descriptors,
                                                  const juce::File& bundle, const juce::String& uri,
                                                  double sampleRate, const Setup& setup, juce::String& error);

    /** Deactivates and deletes the plug-in, then unloads the library. Same thread as the other calls. */
    ~Lv2DirectHost();

    /** Queues a patch:Set of the plug-in's parameter `key` (the property <uri>:<key>) to `value` for the
        next block. Allocates. */
    void setParameter (const juce::String& key, float value);

    /** Runs one block on a stereo buffer in place (at most the buffer size); queued parameter
        messages go with it. The output ports are filled with NaN before the run, so samples the
        plug-in leaves unwritten come back as NaN. Allocates nothing in the host (the plug-in's run is
        its own). */
    void process (juce::AudioBuffer<float>& buffer);

    /** Connects every port, those left unconnected at instantiation included. */
    void connectAllPorts();

    /** Asks the plug-in to save its state; returns its StateString property's text (empty when it
        stored none) and puts the save's status in `status` when given. Allocates. */
    std::string saveStateString (LV2_State_Status* status = nullptr);

    /** Hands the plug-in a state whose StateString property (an atom:String) holds `text`, and nothing
        else; returns the status its restore answers. Allocates. */
    LV2_State_Status restoreStateString (const std::string& text);

    /** Hands the plug-in a state whose Program property (an atom:Int) holds `program`. Allocates. */
    LV2_State_Status restoreProgram (std::int32_t program);

private:
    Lv2DirectHost() = default;

    bool instantiate (LV2_Descriptor_Function descriptors, const juce::File& bundle, const juce::String& uri,
                      double sampleRate, const Setup& setup, juce::String& error);
    void connect (Port port);
    std::uint32_t map (const char* uri);

    static LV2_URID mapUri (LV2_URID_Map_Handle handle, const char* uri);
    static const char* unmapUrid (LV2_URID_Unmap_Handle handle, LV2_URID urid);
    static LV2_State_Status storeProperty (LV2_State_Handle handle, std::uint32_t key, const void* value,
                                           size_t size, std::uint32_t type, std::uint32_t flags);
    static const void* retrieveProperty (LV2_State_Handle handle, std::uint32_t key, size_t* size,
                                         std::uint32_t* type, std::uint32_t* flags);

    juce::DynamicLibrary library;
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle instance = nullptr;
    const LV2_State_Interface* state = nullptr;
    std::string pluginUri;

    std::map<std::string, std::uint32_t> urids;
    std::vector<std::string> uris; // by URID - 1
    LV2_URID_Map mapFeatureData{};
    LV2_URID_Unmap unmapFeatureData{};
    std::int32_t maxBlock = 0; // the option's value
    int bufferSize = 0;
    std::vector<LV2_Options_Option> options;
    std::vector<LV2_Feature> featureList;
    std::vector<const LV2_Feature*> features;

    // Port buffers: atom sequences are 64-bit aligned.
    std::vector<std::uint64_t> controlIn, controlOut;
    std::vector<float> audioIn[2], audioOut[2];
    float latency = 0.0f, freeWheeling = 0.0f, enabled = 1.0f;
    std::vector<std::pair<std::uint32_t, float>> pendingSets;

    // The state a save stores into, or a restore retrieves from.
    std::map<std::uint32_t, std::pair<std::uint32_t, std::vector<char>>> properties; // key: type, bytes
};
} // namespace hostkit
