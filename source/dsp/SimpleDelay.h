#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <new>

/** An integer-length delay line with a capacity of 150,000 samples.

    Delay times are in tenths of a second (0.1 means 10 ms); the delay in samples is the truncation of
    time x sampleRate / 10. The write comes before the read, so a delay of 0 samples returns the input
    itself.

    The line's rules are those of a ring of capacity slots (writeIndex, readIndex and every read are
    those of that ring), but its samples live in heap storage the owner sizes for the longest delay it
    will give the line (setStorageFor): a power of two of at least kMinimumSlots slots, whose wrap is a
    mask over a storage position that runs beside writeIndex, or the full capacity where the longest
    delay needs that much (then storage slot and ring slot are the same). A read never reaches further
    back than the delay, so a ring slot older than the storage holds can never be read: the output is
    that of the full ring as long as the delay stays within storageSlots() - 1. A delay beyond that
    still reads and writes inside the storage (it would read a newer sample than the ring would).

    A default-constructed line holds the full capacity, so it follows every rule on its own; an owner
    that sizes its lines itself builds them with withoutStorage and then calls setStorageFor.

    Fields are public so the owner and tests can inspect them; change them only through the methods,
    which keep writeIndex within 0..capacity-1 and delaySamples non-negative.
*/
class SimpleDelay
{
public:
    /** Number of slots of the ring the line's rules are written for. */
    static constexpr int kCapacity = 150000;

    /** The least storage a line with storage gets, so that runs (beginRun) are long. A power of two. */
    static constexpr int kMinimumSlots = 4096;

    /** Tag for the constructor that leaves the storage to the owner. */
    struct WithoutStorage
    {
    };
    static constexpr WithoutStorage withoutStorage{};

    /** Builds a cleared line at 44,100 Hz with a delay of one sample and storage for the full capacity
        (1.2 MB, allocated and zeroed here). Message thread; allocates. */
    SimpleDelay() { setStorageFor (kCapacity - 1); }

    /** Builds a cleared line at 44,100 Hz with a delay of one sample and no storage: until setStorageFor
        it holds a single sample inside the object (safe to tick, but it delays nothing), so it suits a
        line that is never ticked. Any thread; no allocation. */
    explicit SimpleDelay (WithoutStorage) noexcept {}

    /** Frees the storage. */
    virtual ~SimpleDelay() = default;

    SimpleDelay (const SimpleDelay&) = delete;
    SimpleDelay& operator= (const SimpleDelay&) = delete;

    /** The delay in samples setDelayTime gives a time at a rate: the truncation of time x rate / 10,
        held within 0..capacity-1 (negative, NaN and -inf products give 0; +inf and too long ones
        capacity-1). Any thread; no allocation. */
    static int samplesFor (double newTime, double rate) noexcept
    {
        const double samples = newTime * rate / 10.0;

        if (!(samples >= 0.0))
            return 0;
        if (samples >= static_cast<double> (kCapacity))
            return kCapacity - 1;
        return static_cast<int> (samples);
    }

    /** Sets the delay time in tenths of a second and recomputes delaySamples at the current sample rate
        (samplesFor). Any thread; no allocation. */
    void setDelayTime (double newTime) noexcept
    {
        time = newTime;
        delaySamples = samplesFor (newTime, sampleRate);
    }

    /** Sets the sample rate, recomputes delaySamples from the stored time without the capacity bound and
        clears the line; the read and write positions are kept. A count above capacity-1 is kept (the
        tick then reads at capacity - delaySamples + writeIndex, or slot 0), except that a count that
        does not fit a 32-bit integer (or comes from an infinite time) becomes capacity-1, and a negative
        or NaN count becomes 0. The storage is not resized (see setStorageFor). Message thread
        (preparation); constant time, no allocation.
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

    /** Gives the line storage for delays up to longestDelay samples (the full capacity when that needs
        more than the next power of two below it; none for a negative count) and clears the line;
        positions, time and delay stay. New storage is written through here, so the audio thread never
        touches it first; storage of the same size is kept as it is. If the allocation fails the old
        storage stays (still safe, see the class comment). Message thread (construction, preparation);
        allocates. */
    void setStorageFor (int longestDelay) noexcept
    {
        clear();

        if (longestDelay < 0)
        {
            storage.reset();
            useStorage (&spareSlot, 1, false);
            return;
        }

        int slots = kMinimumSlots;
        while (slots <= longestDelay && slots < kCapacity)
            slots *= 2;
        const bool full = slots >= kCapacity;
        if (full)
            slots = kCapacity;

        if (storage == nullptr || slots != slotCount)
        {
            std::unique_ptr<double[]> fresh (new (std::nothrow) double[static_cast<size_t> (slots)]);
            if (fresh == nullptr)
                return;
            std::fill (fresh.get(), fresh.get() + slots, 0.0);
            storage = std::move (fresh);
        }

        useStorage (storage.get(), slots, full);
    }

    /** Number of sample slots the storage holds (1 for a line without storage). Any thread that owns
        the line; no allocation. */
    int storageSlots() const noexcept { return slotCount; }

    /** Bytes of heap storage the line holds. Any thread that owns the line; no allocation. */
    size_t storageBytes() const noexcept
    {
        return storage != nullptr ? sizeof (double) * static_cast<size_t> (slotCount) : 0;
    }

    /** True when storage slots are the ring's slots (full-capacity storage). */
    bool storesEveryRingSlot() const noexcept { return ringStorage; }

    /** Empties the line: from now on every slot not written since this call reads as 0, exactly as if
        the whole ring had been set to 0. Positions, time and delay stay. Constant time (only the count
        of samples written since the clear is reset; stale slots are zeroed when a run is about to read
        them); any thread that owns the line, no allocation. */
    void clear() noexcept { samplesWritten = 0; }

    /** True once every storage slot has been written since the last clear, so every read returns the
        slot as it stands. Inline; no allocation. */
    inline bool isFilled() const noexcept { return samplesWritten >= slotCount; }

    /** The storage slot that holds ring slot `slot` (0..capacity-1): the slot itself with full storage;
        otherwise the slot written as many ticks ago (as many ticks ahead for a slot more than the
        storage behind the next write, which the storage does not keep). Inline; no allocation. */
    inline int storageIndexOf (int slot) const noexcept
    {
        if (ringStorage)
            return slot;
        const int age = ageOf (writeIndex, slot); // ticks before the next write
        return age < slotCount ? ((writePosition - age) & mask) : ((writePosition + (capacity - age)) & mask);
    }

    /** The storage behind ring slot `slot` (see storageIndexOf), for owners and tests that arrange a
        line's contents. Any thread that owns the line; no allocation. */
    double& sampleAt (int slot) noexcept { return slots[static_cast<size_t> (storageIndexOf (slot))]; }

    /** The sample in the storage behind ring slot `slot`, as it stands (see storageIndexOf). Any thread
        that owns the line; no allocation. */
    double sampleAt (int slot) const noexcept { return slots[static_cast<size_t> (storageIndexOf (slot))]; }

    /** The sample ring slot `slot` (0..capacity-1) holds as reads see it: what was last written there if
        that was since the last clear (and the storage still keeps it), otherwise 0. Any thread that
        owns the line; no allocation. */
    double storedSample (int slot) const noexcept
    {
        const int sinceNextWrite = ageOf (writeIndex, slot);
        const int age = sinceNextWrite == 0 ? capacity : sinceNextWrite; // ticks since it was written
        if (!ringStorage && age > slotCount)
            return 0.0;
        const double sample = slots[static_cast<size_t> (storageIndexOf (slot))];
        if (isFilled())
            return sample;
        return age <= samplesWritten ? sample : 0.0;
    }

    /** Writes one sample and returns the sample delaySamples ticks old (the input itself for a delay of
        0; 0 for a slot not written since the last clear). Audio thread; inline, no allocation. */
    inline double tick (double input) noexcept
    {
        const int write = ringStorage ? writeIndex : writePosition;
        slots[static_cast<size_t> (write)] = input;
        if (!isFilled())
            ++samplesWritten;

        readIndex = readIndexFor (writeIndex);

        double output;
        if (ringStorage)
        {
            output = slots[static_cast<size_t> (readIndex)];
            if (!isFilled() && ageOf (writeIndex, readIndex) >= samplesWritten)
                output = 0.0;
        }
        else
        {
            output = slots[static_cast<size_t> ((writePosition - delaySamples) & mask)];
            if (!isFilled() && delaySamples >= samplesWritten)
                output = 0.0;
            writePosition = (writePosition + 1) & mask;
        }

        ++writeIndex;
        if (writeIndex >= capacity)
            writeIndex -= capacity;

        return output;
    }

    /** How many ticks ago ring slot `read` was last written, seen from the tick that writes ring slot
        `write` (0 for that slot itself, up to capacity-1). Inline; no allocation. */
    inline int ageOf (int write, int read) const noexcept
    {
        const int age = write - read;
        return age < 0 ? age + capacity : age;
    }

    /** The ring slot a tick writing ring slot `write` reads: write - delaySamples, wrapped once into
        the ring (a count beyond the capacity that still reaches before slot 0 reads slot 0). Inline;
        no allocation. */
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

    /** Starts a run of ticks done directly on the storage: tick k of the run (k = 0, 1, ...) writes
        write[k] and then reads read[k], exactly as tick() would. Returns how many ticks the run may
        take: as many as neither storage position wraps (one while a delay beyond the capacity holds the
        read on slot 0), and at most maxLength (at least 1). While the line refills after a clear, the
        slots the run will read that were not written since the clear are set to 0 first, so plain loads
        return what tick() returns. The delay must not change during the run; finish it with endRun.
        Audio thread; no allocation (zeroes at most the run's length while the line refills, nothing
        once it is full). */
    inline int beginRun (double*& write, const double*& read, int maxLength = kCapacity) noexcept
    {
        int firstWrite, firstRead, age, length;

        if (ringStorage)
        {
            firstWrite = writeIndex;
            firstRead = readIndexFor (writeIndex);
            age = ageOf (writeIndex, firstRead);
            const bool readHeldAtStart =
                writeIndex - delaySamples < 0 && capacity - delaySamples + writeIndex < 0;
            length = readHeldAtStart
                         ? 1
                         : std::max (1, std::min (maxLength, capacity - std::max (writeIndex, firstRead)));
        }
        else
        {
            firstWrite = writePosition;
            firstRead = (writePosition - delaySamples) & mask;
            age = (writePosition - firstRead) & mask;
            length = std::max (1, std::min (maxLength, slotCount - std::max (firstWrite, firstRead)));
        }

        write = slots + firstWrite;
        read = slots + firstRead;

        if (!isFilled())
        {
            // Tick k reads a slot written age - k ticks before the run; it holds nothing written since
            // the clear while that is more than the samples written so far. Those slots are written
            // again only after the run has read them.
            const int unwritten = std::min (length, age - samplesWritten);
            if (unwritten > 0)
                std::fill (slots + firstRead, slots + (firstRead + unwritten), 0.0);
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

        if (ringStorage)
        {
            readIndex = static_cast<int> (read - slots) + count - 1;
        }
        else
        {
            int lastWrite = writeIndex + count - 1;
            if (lastWrite >= capacity)
                lastWrite -= capacity;
            readIndex = readIndexFor (lastWrite);
            writePosition = (writePosition + count) & mask;
        }

        writeIndex += count;
        if (writeIndex >= capacity)
            writeIndex -= capacity;
        if (!isFilled())
            samplesWritten = std::min (slotCount, samplesWritten + count);
    }

    /** The line's own sample rate in Hz. */
    double sampleRate = 44100.0;
    /** Number of slots of the ring; fixed. */
    const int capacity = kCapacity;
    /** Next ring slot to write, 0..capacity-1. */
    int writeIndex = 0;
    /** Delay in whole samples, never negative. */
    int delaySamples = 1;
    /** Ring slot read by the last tick. */
    int readIndex = 0;
    /** Delay time in tenths of a second. */
    double time = 0.0;
    /** Samples written since the last clear, up to the storage's slots: slots written longer ago read
        as 0. */
    int samplesWritten = 0;

private:
    void useStorage (double* first, int count, bool full) noexcept
    {
        slots = first;
        slotCount = count;
        mask = count - 1;
        ringStorage = full;
        writePosition = 0;
    }

    std::unique_ptr<double[]> storage;
    double spareSlot = 0.0;     // the one slot of a line without storage
    double* slots = &spareSlot; // storage in use
    int slotCount = 1;          // slots in use: kCapacity, or a power of two
    int mask = 0;               // slotCount - 1, for a power-of-two storage
    bool ringStorage = false;   // storage slots are the ring's slots
    int writePosition = 0;      // next storage slot to write, beside writeIndex (power-of-two storage)
};
