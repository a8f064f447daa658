#include "processor/QuellorAudioProcessor.h"

#include "editor/QuellorAudioProcessorEditor.h"

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")

QuellorAudioProcessor::QuellorAudioProcessor() : QuellorAudioProcessor (&juce::Time::getMillisecondCounter) {}

QuellorAudioProcessor::QuellorAudioProcessor (MillisecondClock clock)
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      millisecondClock (clock != nullptr ? clock : &juce::Time::getMillisecondCounter)
{
    programChangeStamp = (int) millisecondClock();

    initialiseNetwork();
    updateCoefficients();
    reset();
    sizeDelayStorage();
    initialiseModulationConstants();

    addFactoryPrograms();
    curProgram = 0;
}

QuellorAudioProcessor::~QuellorAudioProcessor() = default;

const juce::String QuellorAudioProcessor::getName() const
{
    return "Tolv_mark";
}

void QuellorAudioProcessor::releaseResources() {}

double QuellorAudioProcessor::getTailLengthSeconds() const
{
    return 10.0;
}

bool QuellorAudioProcessor::acceptsMidi() const
{
    return false;
}

bool QuellorAudioProcessor::producesMidi() const
{
    return false;
}

juce::AudioProcessorEditor* QuellorAudioProcessor::createEditor()
{
    return new QuellorAudioProcessorEditor (*this);
}

bool QuellorAudioProcessor::hasEditor() const
{
    return true;
}

bool QuellorAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto isSupportedSet = [] (const juce::AudioChannelSet& set)
    {
        return set == juce::AudioChannelSet::mono() || set == juce::AudioChannelSet::stereo() ||
               set == juce::AudioChannelSet::create5point1() ||
               set == juce::AudioChannelSet::create7point1point2();
    };

    const auto mainOutput = layouts.outputBuses.isEmpty() ? juce::AudioChannelSet() : layouts.outputBuses[0];
    if (!isSupportedSet (mainOutput))
        return false;

    const auto mainInput = layouts.inputBuses.isEmpty() ? juce::AudioChannelSet() : layouts.inputBuses[0];
    if (!isSupportedSet (mainInput))
        return false;

    return mainInput.size() <= mainOutput.size();
}

const juce::String QuellorAudioProcessor::getInputChannelName (int channelIndex) const
{
    return juce::String (channelIndex + 1);
}

const juce::String QuellorAudioProcessor::getOutputChannelName (int channelIndex) const
{
    return juce::String (channelIndex + 1);
}

bool QuellorAudioProcessor::silenceInProducesSilenceOut() const
{
    return false;
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new QuellorAudioProcessor();
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
