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
        or NaN count becomes 0. Message thread (preparation); touches all 150,000 samples; no allocation.
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

    /** Sets every sample of the buffer to 0; positions, time and delay stay. Touches all 150,000 samples;
        no allocation. */
    void clear() noexcept
    {
        if (capacity > 0)
            std::fill (buffer.begin(), buffer.begin() + capacity, 0.0);
    }

    /** Sets to 0 the `count` slots written last (the ones just before writeIndex, going back and wrapping),
        or the whole buffer when count reaches the capacity. When every other slot is already 0 (nothing
        else was written since the buffer was last cleared), this clears the line as clear() does, for
        the cost of what was written. Positions, time and delay stay. No allocation. */
    void clearRecent (long long count) noexcept
    {
        if (count >= capacity || count < 0)
        {
            clear();
            return;
        }

        const int recent = static_cast<int> (count);
        const int firstInLine = writeIndex - recent;

        if (firstInLine >= 0)
        {
            std::fill (buffer.begin() + firstInLine, buffer.begin() + writeIndex, 0.0);
        }
        else
        {
            std::fill (buffer.begin(), buffer.begin() + writeIndex, 0.0);
            std::fill (buffer.begin() + (capacity + firstInLine), buffer.begin() + capacity, 0.0);
        }
    }

    /** Writes one sample and returns the sample delaySamples ticks old (the input itself for a delay of
        0). Audio thread; inline, no allocation. */
    inline double tick (double input) noexcept
    {
        buffer[static_cast<size_t> (writeIndex)] = input;

        readIndex = readIndexFor (writeIndex);

        const double output = buffer[static_cast<size_t> (readIndex)];

        ++writeIndex;
        if (writeIndex >= capacity)
            writeIndex -= capacity;

        return output;
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
        take (at least 1): as many as neither position wraps (one while a delay beyond the capacity
        holds the read on slot 0). The delay must not change during the run; finish it with endRun.
        Audio thread; no allocation. */
    inline int beginRun (double*& write, const double*& read) noexcept
    {
        const int firstRead = readIndexFor (writeIndex);
        write = buffer.data() + writeIndex;
        read = buffer.data() + firstRead;

        const bool readHeldAtStart =
            writeIndex - delaySamples < 0 && capacity - delaySamples + writeIndex < 0;
        if (readHeldAtStart)
            return 1;

        return capacity - std::max (writeIndex, firstRead);
    }

    /** Ends a run begun by beginRun after `count` ticks (0 up to the run's length), leaving writeIndex
        and readIndex where tick() would have left them; `read` is the pointer beginRun gave. Audio
        thread; no allocation. */
    inline void endRun (int count, const double* read) noexcept
    {
        if (count <= 0)
            return;

        readIndex = static_cast<int> (read - buffer.data()) + count - 1;
        writeIndex += count;
        if (writeIndex >= capacity)
            writeIndex -= capacity;
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
};
