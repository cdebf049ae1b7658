#pragma once

#include "platform/FileDescriptor.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

// The overlapped-I/O record: a manual-reset event (an eventfd) paired with the operation
// in flight on it. Nothing completes in the background: the thread that waits on the record
// moves its operation forward through TSerialLine, polling the device and the event.
class TOverlapped {
public:
    // Throws Exception when no event can be made.
    TOverlapped();
    ~TOverlapped();
    TOverlapped(const TOverlapped&) = delete;
    TOverlapped& operator=(const TOverlapped&) = delete;

    void SetEvent();
    void ResetEvent();
    bool EventSet() const;
    // Waits for the event alone; true when it is set, or SetEvent sets it within Ms.
    bool WaitEvent(int64_t Ms);
    int EventHandle() const { return FEvent.Get(); }

private:
    friend class TSerialLine;
    enum class TOp { None, Read, Write };
    using TClock = std::chrono::steady_clock;

    // Asks the operation in flight to end with ECANCELED; wakes whoever drives it.
    void Abort();
    void ClearAbort();
    // Sets the event from the thread that drives the operation: that thread looks at the
    // state before it polls, so the eventfd (two system calls a byte) is not needed.
    void MarkSet();

    TFd FEvent;
    TFd FAbortEvent;
    // Changed under FLock together with the eventfd they stand for. Atomic as well: under
    // ThreadSanitizer these locked accesses showed as races (its lock history got lost), and
    // atomics cost nothing here.
    mutable std::mutex FLock;
    std::atomic<bool> FSet{false};       // the event's state
    std::atomic<bool> FSignalled{false}; // the eventfd's counter is not zero
    std::atomic<bool> FAbortSignalled{false};
    std::atomic<bool> FAborted{false};

    // The operation, touched only by the thread that started and drives it.
    TOp FOp = TOp::None;
    char* FBuffer = nullptr;       // read target
    const char* FSource = nullptr; // write source
    uint32_t FCount = 0;
    uint32_t FDone = 0;
    bool FHasDeadline = false;
    TClock::time_point FDeadline;
    bool FComplete = true;
    int FError = 0;
};
