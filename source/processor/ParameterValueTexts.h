#pragma once

#include <juce_core/juce_core.h>

namespace tolvmark
{
/** The texts of the index-based parameters at any value, not only the current one.

    JUCE's index-based parameter interface has a text for a parameter's current value alone, while a
    host may ask for the text of any value (the points of an automation lane, a value typed in). A
    processor that implements this interface answers those questions; the VST3 wrapper (patched) finds
    it with a dynamic_cast on the processor and asks it for its index-based parameters. Nothing here
    is a framework parameter object: the parameters stay index-based.
*/
class ParameterValueTexts
{
public:
    /** Destroys the interface. */
    virtual ~ParameterValueTexts() = default;

    /** The text parameter `index` shows once the normalised `value` is set, as the processor would
        store it. At most 127 UTF-16 code units (a VST3 String128 with its terminator); blank for an
        index that is no parameter. Any thread; allocates the string. */
    virtual juce::String getTextForValue (int index, double value) const = 0;

    /** The normalised value that parameter `index` shows as `text`: true, with `value` set, when the
        text maps back to one value (its text then reads as `text`); false, with `value` untouched,
        when no value, or no single value, shows it. Any thread; allocates temporary strings. */
    virtual bool getValueForText (int index, const juce::String& text, double& value) const = 0;

protected:
    ParameterValueTexts() = default;
    ParameterValueTexts (const ParameterValueTexts&) = default;
    ParameterValueTexts& operator= (const ParameterValueTexts&) = default;
};
} // namespace tolvmark
