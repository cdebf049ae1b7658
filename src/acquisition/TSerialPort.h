#pragma once

#include "acquisition/ECommError.h"
#include "platform/FileDescriptor.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The receive-only serial port a download goes through: opened for exclusive, synchronous use
// at 1200 baud 8N1, raw. Every failure is thrown as ECommError.
//
// The kernel's tty buffer holds only about 4 KiB while nothing is read during a transfer, so
// the port keeps an input queue of its own. Every BytesWaiting, ReadByte and ReadLine first
// moves what the kernel holds into that queue and answers from it. The queue starts at
// InputQueueSize bytes and grows as bytes come, up to MaxQueueSize: a queue that stopped at
// its size would freeze the count, and a download would take a long printout for ended.
// More than MaxQueueSize bytes unread is a fault (QueueStatusFailed, SystemError ENOBUFS).
// A hang-up (the other side gone, a USB adapter pulled) is the failure of the call that meets
// it: QueueStatusFailed from BytesWaiting, ReadFailed from ReadByte, SystemError EIO.
class TSerialPort {
public:
    static constexpr uint32_t InputQueueSize = 32768;
    static constexpr uint32_t MaxQueueSize = 64 * 1024 * 1024;
    static constexpr uint8_t CarriageReturn = 13;

    // How long a one-byte read waits for its byte: 1 ms per byte plus 250 ms.
    static constexpr int ByteTimeoutMs = 251;

    TSerialPort();
    ~TSerialPort();
    TSerialPort(const TSerialPort&) = delete;
    TSerialPort& operator=(const TSerialPort&) = delete;

    // "COM1".."COM9" (through the port map) or a device path. PortAlreadyOpen while open.
    void SetPortName(const QString& Name);
    QString PortName() const { return FPortName; }

    // Nothing when already open. On failure the port stays closed and no descriptor is kept.
    void Open();
    // Nothing when closed. CloseFailed when the system reports a failure; the descriptor is
    // released all the same, so the port counts as closed afterwards.
    void Close();
    bool IsOpen() const { return FOpen; }

    // Received bytes not yet read (at most MaxQueueSize).
    uint32_t BytesWaiting();
    // One byte, or none after about 251 ms without one.
    std::optional<uint8_t> ReadByte();
    // One piece of text into Buffer: up to and including a carriage return, at most
    // Capacity - 1 bytes, or what came before ReadByte timed out; then a zero byte. Returns the
    // stored bytes plus one, or 0 (capacity 0: Buffer untouched; nothing waiting: Buffer[0]
    // = 0).
    uint32_t ReadLine(char* Buffer, uint32_t Capacity);
    // The bytes of the port's own queue, oldest first, without asking the line or taking them.
    QByteArray Queued() const;

    void RequireOpen() const;
    void RequireClosed() const;

    // Room of the input queue now: InputQueueSize after Open, more once it has grown.
    uint32_t QueueCapacity() const { return static_cast<uint32_t>(FQueue.size()); }

private:
    // Moves what the kernel holds into the queue; a hang-up or failure throws Code.
    void FillQueue(uint8_t Code);
    // Doubles the queue (up to MaxQueueSize), its bytes moved to the front in order.
    void GrowQueue(uint8_t Code);
    [[noreturn]] void FailOpen(uint8_t Code);
    void ReleaseDescriptor();

    bool FOpen = false;
    QString FPortName = QStringLiteral("COM1");
    TFd FDevice;

    std::vector<uint8_t> FQueue;
    uint32_t FQueueHead = 0;
    uint32_t FQueueCount = 0;
};

// Whether port "COM<PortNumber>" names a serial device that can be opened now. Never blocks
// waiting for carrier; the device is closed again at once.
bool PortPresent(int PortNumber);
