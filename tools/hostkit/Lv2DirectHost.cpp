#include "Lv2DirectHost.h"

// The LV2 headers' inline functions do not build cleanly with every warning on.
JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wparentheses", "-Wcast-align", "-Wsign-conversion")
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/patch/patch.h>
JUCE_END_IGNORE_WARNINGS_GCC_LIKE

#include <algorithm>
#include <cstring>
#include <limits>

namespace hostkit
{
namespace
{
/** Bytes of each atom sequence port buffer (the plug-in asks for at least 8192). */
constexpr size_t sequenceBytes = 16384;
} // namespace

std::unique_ptr<Lv2DirectHost> Lv2DirectHost::load (const juce::File& bundle, const juce::String& uri,
                                                    double sampleRate, int maxBlockSize, juce::String& error)
{
    Setup setup;
    setup.bufferSize = maxBlockSize;
    return load (bundle, uri, sampleRate, setup, error);
}

std::unique_ptr<Lv2DirectHost> Lv2DirectHost::load (const juce::File& bundle, const juce::String& uri,
                                                    double sampleRate, const Setup& setup,
                                                    juce::String& error)
{
    const auto libraries = bundle.findChildFiles (juce::File::findFiles, false, "*.so");

    if (libraries.isEmpty())
    {
        error = "no shared library in " + bundle.getFullPathName();
        return nullptr;
    }

    std::unique_ptr<Lv2DirectHost> host (new Lv2DirectHost());

    if (!host->library.open (libraries.getFirst().getFullPathName()))
    {
        error = "cannot open " + libraries.getFirst().getFullPathName();
        return nullptr;
    }

    const auto descriptors =
        reinterpret_cast<LV2_Descriptor_Function> (host->library.getFunction ("lv2_descriptor"));

    if (descriptors == nullptr)
    {
        error = "no lv2_descriptor in " + libraries.getFirst().getFullPathName();
        return nullptr;
    }

    if (!host->instantiate (descriptors, bundle, uri, sampleRate, setup, error))
        return nullptr;

    return host;
}

std::unique_ptr<Lv2DirectHost> Lv2DirectHost::create (LV2_Descriptor_Function descriptors,
                                                      const juce::File& bundle, const juce::String& uri,
                                                      double sampleRate, int maxBlockSize,
                                                      juce::String& error)
{
    Setup setup;
    setup.bufferSize = maxBlockSize;
    return create (descriptors, bundle, uri, sampleRate, setup, error);
}

std::unique_ptr<Lv2DirectHost> Lv2DirectHost::create (LV2_Descriptor_Function descriptors,
                                                      const juce::File& bundle, const juce::String& uri,
                                                      double sampleRate, const Setup& setup,
                                                      juce::String& error)
{
    std::unique_ptr<Lv2DirectHost> host (new Lv2DirectHost());

    if (!host->instantiate (descriptors, bundle, uri, sampleRate, setup, error))
        return nullptr;

    return host;
}

bool Lv2DirectHost::instantiate (LV2_Descriptor_Function descriptors, const juce::File& bundle,
                                 const juce::String& uri, double sampleRate, const Setup& setup,
                                 juce::String& error)
{
    pluginUri = uri.toStdString();

    for (std::uint32_t i = 0; descriptor == nullptr; ++i)
    {
        const auto* candidate = descriptors (i);

        if (candidate == nullptr)
        {
            error = "the library has no plug-in " + uri;
            return false;
        }

        if (pluginUri == candidate->URI)
            descriptor = candidate;
    }

    mapFeatureData = { this, mapUri };
    unmapFeatureData = { this, unmapUrid };
    bufferSize = std::max (0, setup.bufferSize);
    maxBlock = setup.maxBlockLength.value_or (bufferSize);
    options = { { LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__maxBlockLength), sizeof (maxBlock),
                  map (LV2_ATOM__Int), &maxBlock },
                { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr } };
    featureList = { { LV2_URID__map, &mapFeatureData },
                    { LV2_URID__unmap, &unmapFeatureData },
                    { LV2_OPTIONS__options, options.data() },
                    { LV2_BUF_SIZE__boundedBlockLength, nullptr } };
    for (auto& feature : featureList)
        features.push_back (&feature);
    features.push_back (nullptr);

    const auto bundlePath = bundle.getFullPathName() + "/";
    instance = descriptor->instantiate (descriptor, sampleRate, bundlePath.toRawUTF8(), features.data());

    if (instance == nullptr)
    {
        error = "the plug-in did not instantiate";
        return false;
    }

    if (descriptor->extension_data != nullptr)
        state = static_cast<const LV2_State_Interface*> (descriptor->extension_data (LV2_STATE__interface));

    controlIn.assign (sequenceBytes / sizeof (std::uint64_t), 0);
    controlOut.assign (sequenceBytes / sizeof (std::uint64_t), 0);
    for (auto* buffers : { audioIn, audioOut })
        for (int channel = 0; channel < 2; ++channel)
            buffers[channel].assign ((size_t) bufferSize, 0.0f);

    for (std::uint32_t port = 0; port < numPorts; ++port)
        if (std::find (setup.unconnectedPorts.begin(), setup.unconnectedPorts.end(), port) ==
            setup.unconnectedPorts.end())
            connect ((Port) port);

    if (descriptor->activate != nullptr)
        descriptor->activate (instance);

    return true;
}

void Lv2DirectHost::connect (Port port)
{
    void* data = nullptr;

    switch (port)
    {
        case audioIn1:
        case audioIn2:
            data = audioIn[port - audioIn1].data();
            break;
        case audioOut1:
        case audioOut2:
            data = audioOut[port - audioOut1].data();
            break;
        case controlInPort:
            data = controlIn.data();
            break;
        case controlOutPort:
            data = controlOut.data();
            break;
        case latencyPort:
            data = &latency;
            break;
        case freeWheelingPort:
            data = &freeWheeling;
            break;
        case enabledPort:
            data = &enabled;
            break;
        case numPorts:
            return;
    }

    descriptor->connect_port (instance, port, data);
}

void Lv2DirectHost::connectAllPorts()
{
    for (std::uint32_t port = 0; port < numPorts; ++port)
        connect ((Port) port);
}

Lv2DirectHost::~Lv2DirectHost()
{
    if (instance != nullptr)
    {
        if (descriptor->deactivate != nullptr)
            descriptor->deactivate (instance);

        descriptor->cleanup (instance);
    }
}

std::uint32_t Lv2DirectHost::map (const char* uri)
{
    const auto found = urids.find (uri);

    if (found != urids.end())
        return found->second;

    uris.emplace_back (uri);
    const auto urid = (std::uint32_t) uris.size();
    urids.emplace (uri, urid);
    return urid;
}

LV2_URID Lv2DirectHost::mapUri (LV2_URID_Map_Handle handle, const char* uri)
{
    return static_cast<Lv2DirectHost*> (handle)->map (uri);
}

const char* Lv2DirectHost::unmapUrid (LV2_URID_Unmap_Handle handle, LV2_URID urid)
{
    const auto& uris = static_cast<Lv2DirectHost*> (handle)->uris;
    return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
}

void Lv2DirectHost::setParameter (const juce::String& key, float value)
{
    pendingSets.emplace_back (map ((pluginUri + ":" + key.toStdString()).c_str()), value);
}

void Lv2DirectHost::process (juce::AudioBuffer<float>& buffer)
{
    const int numSamples = std::min (buffer.getNumSamples(), bufferSize);

    // The input sequence: one patch:Set per queued value, at the block's first frame.
    LV2_Atom_Forge forge;
    lv2_atom_forge_init (&forge, &mapFeatureData);
    lv2_atom_forge_set_buffer (&forge, reinterpret_cast<std::uint8_t*> (controlIn.data()), sequenceBytes);
    LV2_Atom_Forge_Frame sequenceFrame;
    lv2_atom_forge_sequence_head (&forge, &sequenceFrame, map (LV2_ATOM__frameTime));

    for (const auto& [property, value] : pendingSets)
    {
        LV2_Atom_Forge_Frame objectFrame;
        lv2_atom_forge_frame_time (&forge, 0);
        lv2_atom_forge_object (&forge, &objectFrame, 0, map (LV2_PATCH__Set));
        lv2_atom_forge_key (&forge, map (LV2_PATCH__property));
        lv2_atom_forge_urid (&forge, property);
        lv2_atom_forge_key (&forge, map (LV2_PATCH__value));
        lv2_atom_forge_float (&forge, value);
        lv2_atom_forge_pop (&forge, &objectFrame);
    }

    lv2_atom_forge_pop (&forge, &sequenceFrame);
    pendingSets.clear();

    // The output sequence: an empty one whose size is the room the plug-in may write into.
    auto* out = reinterpret_cast<LV2_Atom_Sequence*> (controlOut.data());
    out->atom.type = 0;
    out->atom.size = (std::uint32_t) (sequenceBytes - sizeof (LV2_Atom));

    for (int channel = 0; channel < 2; ++channel)
        std::copy (buffer.getReadPointer (std::min (channel, buffer.getNumChannels() - 1)),
                   buffer.getReadPointer (std::min (channel, buffer.getNumChannels() - 1)) + numSamples,
                   audioIn[channel].begin());

    for (auto& channel : audioOut)
        std::fill (channel.begin(), channel.end(), std::numeric_limits<float>::quiet_NaN());

    descriptor->run (instance, (std::uint32_t) numSamples);

    for (int channel = 0; channel < std::min (2, buffer.getNumChannels()); ++channel)
        std::copy (audioOut[channel].begin(), audioOut[channel].begin() + numSamples,
                   buffer.getWritePointer (channel));
}

LV2_State_Status Lv2DirectHost::storeProperty (LV2_State_Handle handle, std::uint32_t key, const void* value,
                                               size_t size, std::uint32_t type, std::uint32_t)
{
    const auto* bytes = static_cast<const char*> (value);
    static_cast<Lv2DirectHost*> (handle)->properties[key] = { type, std::vector<char> (bytes, bytes + size) };
    return LV2_STATE_SUCCESS;
}

const void* Lv2DirectHost::retrieveProperty (LV2_State_Handle handle, std::uint32_t key, size_t* size,
                                             std::uint32_t* type, std::uint32_t* flags)
{
    auto& properties = static_cast<Lv2DirectHost*> (handle)->properties;
    const auto found = properties.find (key);

    if (found == properties.end())
        return nullptr;

    *size = found->second.second.size();
    *type = found->second.first;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return found->second.second.data();
}

std::string Lv2DirectHost::saveStateString (LV2_State_Status* status)
{
    properties.clear();
    const auto result = state != nullptr ? state->save (instance, storeProperty, this, 0, features.data())
                                         : LV2_STATE_ERR_NO_FEATURE;
    if (status != nullptr)
        *status = result;

    const auto found = properties.find (map ((pluginUri + ":StateString").c_str()));

    if (found == properties.end() || found->second.second.empty())
        return {};

    const auto& bytes = found->second.second;
    return std::string (bytes.data(), strnlen (bytes.data(), bytes.size()));
}

LV2_State_Status Lv2DirectHost::restoreStateString (const std::string& text)
{
    properties.clear();
    std::vector<char> bytes (text.begin(), text.end());
    bytes.push_back (0); // an atom:String's size counts its terminator
    properties[map ((pluginUri + ":StateString").c_str())] = { map (LV2_ATOM__String), std::move (bytes) };
    return state != nullptr ? state->restore (instance, retrieveProperty, this, 0, features.data())
                            : LV2_STATE_ERR_NO_FEATURE;
}

LV2_State_Status Lv2DirectHost::restoreProgram (std::int32_t program)
{
    properties.clear();
    const auto* bytes = reinterpret_cast<const char*> (&program);
    properties[map ((pluginUri + ":Program").c_str())] = {
        map (LV2_ATOM__Int), std::vector<char> (bytes, bytes + sizeof (program))
    };
    return state != nullptr ? state->restore (instance, retrieveProperty, this, 0, features.data())
                            : LV2_STATE_ERR_NO_FEATURE;
}
} // namespace hostkit
