#pragma once

// The fuzz targets that have the VST3 wrapper compiled in reach the plug-in as a host does: through the
// module's entry point and factory, as the plug-in's audio effect component.

#include <juce_audio_processors/juce_audio_processors.h>

#define JUCE_VST3HEADERS_INCLUDE_HEADERS_ONLY 1
#include <juce_audio_processors/format_types/juce_VST3Headers.h>

#include <cstring>

extern "C" Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory();
extern "C" bool ModuleEntry (void* sharedLibraryHandle);

/** Enters the module and creates and initialises the factory's first audio effect component, as a
    host does before it asks the component anything; nullptr where any of these steps fails. Call it
    once for a run, from the fuzzer's thread. Allocates. */
inline Steinberg::Vst::IComponent* createInitialisedComponent()
{
    if (!ModuleEntry (nullptr))
        return nullptr;

    auto* factory = GetPluginFactory();
    if (factory == nullptr)
        return nullptr;

    Steinberg::Vst::IComponent* component = nullptr;

    for (Steinberg::int32 i = 0; i < factory->countClasses() && component == nullptr; ++i)
    {
        Steinberg::PClassInfo info;
        if (factory->getClassInfo (i, &info) == Steinberg::kResultOk &&
            std::strcmp (info.category, kVstAudioEffectClass) == 0)
            factory->createInstance (info.cid, Steinberg::Vst::IComponent::iid,
                                     reinterpret_cast<void**> (&component));
    }

    if (component == nullptr || component->initialize (nullptr) != Steinberg::kResultOk)
        return nullptr;

    return component;
}
