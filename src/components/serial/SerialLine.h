#pragma once

#include "CommTypes.h"
#include "Overlapped.h"
#include "platform/FileDescriptor.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

// An open serial device with the component's port operations (Windows' names), on termios.
// Every operation returns false and leaves the reason in errno when it fails (EBADF once the
// line is closed). Reads and writes are overlapped: they start at once and finish while the
// caller waits on their record (WaitFor, GetResult). A hang-up fails the operation that meets
// it with EIO. The reader thread and the user-interface thread may use one line together.
class TSerialLine {
public:
    // Opens Path for exclusive use (flock, then TIOCEXCL), non-blocking and without becoming
    // the controlling terminal, and sets the line raw, 8N1, CLOCAL | CREAD. Null on failure.
    static std::shared_ptr<TSerialLine> Open(const QString& Path);
    // True when Path opens as a terminal that nobody holds; closes it again at once.
    static bool Probe(const QString& Path);
    // Termios speed of a baud rate; false for a rate the system cannot set.
    static bool SpeedFor(uint32_t Baud, unsigned& Speed);

    ~TSerialLine();
    TSerialLine(const TSerialLine&) = delete;
    TSerialLine& operator=(const TSerialLine&) = delete;

    // Gives the device back (drops exclusive use). Later operations fail with EBADF.
    void Close();
    int Handle() const { return FFd.load(); }

    bool GetState(TDcb& Dcb);
    bool SetState(const TDcb& Dcb);
    bool GetTimeouts(TCommTimeouts& Timeouts);
    bool SetTimeouts(const TCommTimeouts& Timeouts);
    // Records the queue sizes; the kernel's own queues cannot be sized. Refuses sizes above
    // Comm::MaxQueueSize.
    bool SetupComm(uint32_t InQueue, uint32_t OutQueue);
    // Comm::Purge* flags: aborts pending operations (they fail with ECANCELED) and discards
    // the kernel's queues.
    bool Purge(uint32_t Flags);
    // Clears the error state; optionally reports the bytes waiting.
    bool ClearError(uint32_t* InQueue = nullptr);
    // Comm::SetDtr, ClrDtr, SetRts, ClrRts.
    bool Escape(uint32_t Function);
    // Comm::Ms*On bits.
    bool GetModemStatus(uint32_t& Status);

    // Start an operation on Ov. True when it finished at once (count in Read / Written);
    // false with errno Comm::IoPending when it goes on, any other errno when it failed.
    bool Read(TOverlapped& Ov, char* Buffer, uint32_t Count, uint32_t* Read);
    bool Write(TOverlapped& Ov, const char* Buffer, uint32_t Count, uint32_t* Written);
    // Waits up to Ms for Ov's event, moving its operation meanwhile; true when the event is set
    // (the operation finished, or someone signalled the event).
    bool WaitFor(TOverlapped& Ov, uint64_t Ms);
    // The outcome of Ov's operation; with Wait, waits for it to finish first.
    bool GetResult(TOverlapped& Ov, uint32_t& Transferred, bool Wait);

private:
    using TClock = std::chrono::steady_clock;
    explicit TSerialLine(TFd Device);
    bool Start(TOverlapped& Ov, bool Reading, uint32_t Count, uint32_t* Done);
    void Progress(TOverlapped& Ov);
    void Finish(TOverlapped& Ov, int Error);
    void PollOnce(TOverlapped& Ov, bool WithEvent, TClock::time_point Until);
    void ApplyLine(uint32_t Function);

    // The open descriptor, -1 once closed: read by every operation from either thread.
    std::atomic<int> FFd;
    TFd FDevice;
    std::mutex FLock; // the kept record, time-outs, queue sizes, pending records
    TDcb FKept;
    bool FLinesApplied = false;
    TCommTimeouts FTimeouts;
    uint32_t FInQueue = 0;
    uint32_t FOutQueue = 0;
    TOverlapped* FPendingRead = nullptr;
    TOverlapped* FPendingWrite = nullptr;
};
