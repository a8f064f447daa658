#pragma once

#include <algorithm>
#include <array>
#include <limits>

/** An integer-length delay line with a fixed capacity of 150,000 samples held inside the object.

    Delay times are in tenths of a second (0.1 means 10 ms); the delay in samples is the truncation of
    time x sampleRate / 10. The write comes before the read, so a delay of 0 samples returns the input
    itself. The object is about 1.2 MB; create it inside a long-lived owner or on the heap, never on an
    audio thread's stack.

    Fields are public so the owner and tests can inspect them; change them only through the methods,
    which keep writeIndex within 0..capacity-1 and delaySamples non-negative.
*/
class SimpleDelay
{
public:
    /** Number of samples the buffer holds. */
    static constexpr int kCapacity = 150000;

    /** Builds a cleared line at 44,100 Hz with a delay of one sample. Allocates nothing beyond the
        object itself. */
    SimpleDelay() = default;

    /** Does nothing; all state lives inside the object. */
    virtual ~SimpleDelay() = default;

    SimpleDelay (const SimpleDelay&) = delete;
    SimpleDelay& operator= (const SimpleDelay&) = delete;

    /** Sets the delay time in tenths of a second and recomputes delaySamples at the current sample rate,
        held within 0..capacity-1 (negative, NaN and -inf times give 0; +inf and too long times give
        capacity-1). Any thread; no allocation. */
    void setDelayTime (double newTime) noexcept
    {
        time = newTime;
        const double samples = newTime * sampleRate / 10.0;

        if (!(samples >= 0.0))
            delaySamples = 0;
        else if (samples >= static_cast<double> (capacity))
            delaySamples = capacity - 1;
        else
            delaySamples = static_cast<int> (samples);
    }

    /** Sets the sample rate, recomputes delaySamples from the stored time without the capacity bound and
        clears the buffer; the read and write positions are kept. A count above capacity-1 is kept (the
        tick then reads at capacity - delaySamples + writeIndex, or slot 0), except that a count that
        does not fit a 32-bit integer (or comes from an infinite time) becomes capacity-1, and a negative
        or NaN count becomes 0. Message thread (preparation); constant time, no allocation.
    */
    void setSampleRate (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        const double samples = time * newSampleRate / 10.0;

        if (!(samples >= 0.0))
            delaySamples = 0;
        else if (samples >= static_cast<double> (std::numeric_limits<int>::max()))
            delaySamples = capacity - 1;
        else
            delaySamples = static_cast<int> (samples);

        clear();
    }

    /** Empties the line: from now on every slot not written since this call reads as 0, exactly as if
        the whole buffer had been set to 0. Positions, time and delay stay. Constant time (only the count
        of samples written since the clear is reset; stale slots are zeroed when a run is about to read
        them); any thread that owns the line, no allocation. */
    void clear() noexcept { samplesWritten = 0; }

    /** True once every slot has been written since the last clear, so every read returns the slot as
        it stands. Inline; no allocation. */
    inline bool isFilled() const noexcept { return samplesWritten >= capacity; }

    /** The sample slot `slot` (0..capacity-1) holds as reads see it: what was last written there if
        that was since the last clear, otherwise 0. Any thread that owns the line; no allocation. */
    double storedSample (int slot) const noexcept
    {
        if (isFilled())
            return buffer[static_cast<size_t> (slot)];
        const int sinceNextWrite = ageOf (writeIndex, slot);
        const int age = sinceNextWrite == 0 ? capacity : sinceNextWrite; // ticks since it was written
        return age <= samplesWritten ? buffer[static_cast<size_t> (slot)] : 0.0;
    }

    /** What a read of slot `read` returns at the tick that writes slot `write` (after the write): the
        slot's sample if it was written since the last clear, otherwise 0. Inline; no allocation. */
    inline double readAt (int write, int read) const noexcept
    {
        const double sample = buffer[static_cast<size_t> (read)];
        if (isFilled())
            return sample;
        return ageOf (write, read) < samplesWritten ? sample : 0.0;
    }

    /** Writes one sample and returns the sample delaySamples ticks old (the input itself for a delay of
        0; 0 for a slot not written since the last clear). Audio thread; inline, no allocation. */
    inline double tick (double input) noexcept
    {
        buffer[static_cast<size_t> (writeIndex)] = input;
        if (!isFilled())
            ++samplesWritten;

        readIndex = readIndexFor (writeIndex);

        const double output = readAt (writeIndex, readIndex);

        ++writeIndex;
        if (writeIndex >= capacity)
            writeIndex -= capacity;

        return output;
    }

    /** How many ticks ago slot `read` was last written, seen from the tick that writes slot `write`
        (0 for that slot itself, up to capacity-1). Inline; no allocation. */
    inline int ageOf (int write, int read) const noexcept
    {
        const int age = write - read;
        return age < 0 ? age + capacity : age;
    }

    /** The slot a tick writing slot `write` reads: write - delaySamples, wrapped once into the buffer
        (a count beyond the capacity that still reaches before slot 0 reads slot 0). Inline; no allocation.
    */
    inline int readIndexFor (int write) const noexcept
    {
        int read = write - delaySamples;
        if (read < 0)
        {
            read = capacity - delaySamples + write;
            if (read < 0)
                read = 0;
        }
        return read;
    }

    /** Starts a run of ticks done directly on the buffer: tick k of the run (k = 0, 1, ...) writes
        write[k] and then reads read[k], exactly as tick() would. Returns how many ticks the run may
        take: as many as neither position wraps (one while a delay beyond the capacity holds the read
        on slot 0), and at most maxLength (at least 1). While the line refills after a clear, the slots
        the run will read that were not written since the clear are set to 0 first, so plain loads
        return what tick() returns. The delay must not change during the run; finish it with endRun.
        Audio thread; no allocation (zeroes at most the run's length while the line refills, nothing
        once it is full). */
    inline int beginRun (double*& write, const double*& read, int maxLength = kCapacity) noexcept
    {
        const int firstRead = readIndexFor (writeIndex);
        write = buffer.data() + writeIndex;
        read = buffer.data() + firstRead;

        const bool readHeldAtStart =
            writeIndex - delaySamples < 0 && capacity - delaySamples + writeIndex < 0;
        const int length =
            readHeldAtStart ? 1
                            : std::max (1, std::min (maxLength, capacity - std::max (writeIndex, firstRead)));

        if (!isFilled())
        {
            // Tick k reads a slot written ageOf() - k ticks before the run; it holds nothing written
            // since the clear while that is more than the samples written so far. Those slots are
            // written again only after the run has read them.
            const int unwritten = std::min (length, ageOf (writeIndex, firstRead) - samplesWritten);
            if (unwritten > 0)
                std::fill (buffer.begin() + firstRead, buffer.begin() + (firstRead + unwritten), 0.0);
        }

        return length;
    }

    /** Ends a run begun by beginRun after `count` ticks (0 up to the run's length), leaving writeIndex,
        readIndex and the count of samples written since the clear where tick() would have left them;
        `read` is the pointer beginRun gave. Audio thread; no allocation. */
    inline void endRun (int count, const double* read) noexcept
    {
        if (count <= 0)
            return;

        readIndex = static_cast<int> (read - buffer.data()) + count - 1;
        writeIndex += count;
        if (writeIndex >= capacity)
            writeIndex -= capacity;
        if (!isFilled())
            samplesWritten = std::min (capacity, samplesWritten + count);
    }

    /** The line's own sample rate in Hz. */
    double sampleRate = 44100.0;
    /** Circular sample store. */
    std::array<double, kCapacity> buffer{};
    /** Number of samples in buffer; fixed. */
    const int capacity = kCapacity;
    /** Next slot to write, 0..capacity-1. */
    int writeIndex = 0;
    /** Delay in whole samples, never negative. */
    int delaySamples = 1;
    /** Slot read by the last tick. */
    int readIndex = 0;
    /** Delay time in tenths of a second. */
    double time = 0.0;
    /** Samples written since the last clear, up to capacity: slots written longer ago read as 0. */
    int samplesWritten = 0;
};
