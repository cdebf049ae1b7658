#include "acquisition/TSerialPort.h"

#include "platform/PortMap.h"
#include "platform/TerminalDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr speed_t BaudRate = B1200;

// A hang-up reads as end of file; callers see it as an I/O error.
constexpr int HangUpError = EIO;

} // namespace

TSerialPort::TSerialPort() = default;

TSerialPort::~TSerialPort() {
    try {
        Close();
    } catch (const ECommError&) {
    }
}

void TSerialPort::SetPortName(const QString& Name) {
    RequireClosed();
    FPortName = Name;
}

void TSerialPort::FailOpen(uint8_t Code) {
    // The error number belongs to the failed step, not to the close after it.
    const auto SystemError = static_cast<uint32_t>(errno);
    const ECommError Error(Code, SystemError, FPortName, PortMap::DevicePath(FPortName));
    TerminalDevice::Release(FDevice);
    throw Error;
}

void TSerialPort::Open() {
    if (FOpen)
        return;

    // The device is named in every failure so the message can say which one and how to reach
    // it.
    TerminalDevice::TStep Failed = TerminalDevice::TStep::None;
    FDevice = TerminalDevice::OpenClaimed(PortMap::DevicePath(FPortName), &Failed);
    // What is not a terminal has no line settings to read.
    if (!FDevice.Valid())
        FailOpen(Failed == TerminalDevice::TStep::Terminal ? ECommError::GetStateFailed
                                                           : ECommError::OpenFailed);
    termios Settings{};
    if (::tcgetattr(FDevice.Get(), &Settings) != 0)
        FailOpen(ECommError::GetStateFailed);

    // Software flow control goes: IXOFF would make us transmit. Hardware flow control, HUPCL
    // and the control characters keep the driver's values.
    TerminalDevice::MakeRaw(Settings, TerminalDevice::THardwareFlow::Keep);
    cfsetispeed(&Settings, BaudRate);
    cfsetospeed(&Settings, BaudRate);
    if (::tcsetattr(FDevice.Get(), TCSANOW, &Settings) != 0)
        FailOpen(ECommError::SetStateFailed);

    try {
        FQueue.assign(InputQueueSize, 0);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        FailOpen(ECommError::SetupFailed);
    }
    FQueueHead = 0;
    FQueueCount = 0;

    // Reads are timed by poll(); the descriptor itself blocks, as a synchronous port does.
    const int Flags = ::fcntl(FDevice.Get(), F_GETFL);
    if (Flags < 0 || ::fcntl(FDevice.Get(), F_SETFL, Flags & ~O_NONBLOCK) != 0)
        FailOpen(ECommError::SetTimeoutsFailed);

    FOpen = true;
}

void TSerialPort::ReleaseDescriptor() {
    FOpen = false;
    // A grown queue is not kept for the next download.
    std::vector<uint8_t>().swap(FQueue);
    FQueueHead = 0;
    FQueueCount = 0;
}

void TSerialPort::Close() {
    if (!FOpen)
        return;
    // The descriptor is released even when the close reports an error: the port is closed
    // either way.
    const bool Closed = TerminalDevice::Release(FDevice);
    const ECommError Error(ECommError::CloseFailed);
    ReleaseDescriptor();
    if (!Closed && Error.SystemError != EINTR)
        throw Error;
}

void TSerialPort::RequireOpen() const {
    if (!FOpen)
        throw ECommError(ECommError::PortNotOpen, 0);
}

void TSerialPort::RequireClosed() const {
    if (FOpen)
        throw ECommError(ECommError::PortAlreadyOpen, 0);
}

void TSerialPort::GrowQueue(uint8_t Code) {
    const uint32_t Size = QueueCapacity();
    std::vector<uint8_t> Grown;
    try {
        Grown.resize(std::min<size_t>(size_t(Size) * 2, MaxQueueSize));
    } catch (const std::bad_alloc&) {
        throw ECommError(Code, ENOMEM);
    }
    const uint32_t First = std::min(FQueueCount, Size - FQueueHead);
    std::copy_n(FQueue.begin() + FQueueHead, First, Grown.begin());
    std::copy_n(FQueue.begin(), FQueueCount - First, Grown.begin() + First);
    FQueue.swap(Grown);
    FQueueHead = 0;
}

void TSerialPort::FillQueue(uint8_t Code) {
    for (;;) {
        pollfd Poll{FDevice.Get(), POLLIN, 0};
        const int Ready = ::poll(&Poll, 1, 0);
        if (Ready < 0) {
            if (errno == EINTR)
                continue;
            throw ECommError(Code);
        }
        if (Ready == 0)
            return;
        if (!(Poll.revents & (POLLIN | POLLHUP)))
            throw ECommError(Code, HangUpError);
        const uint32_t Size = QueueCapacity();
        if (FQueueCount == Size) {
            if (Size >= MaxQueueSize)
                throw ECommError(Code, ENOBUFS);
            GrowQueue(Code);
            continue;
        }

        // Read straight into the free run of the ring.
        const uint32_t Tail = (FQueueHead + FQueueCount) % Size;
        const uint32_t Room = std::min(Size - FQueueCount, Size - Tail);
        const ssize_t Got = ::read(FDevice.Get(), FQueue.data() + Tail, Room);
        if (Got > 0) {
            FQueueCount += static_cast<uint32_t>(Got);
            continue;
        }
        if (Got == 0)
            throw ECommError(Code, HangUpError);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN)
            return;
        throw ECommError(Code);
    }
}

uint32_t TSerialPort::BytesWaiting() {
    RequireOpen();
    FillQueue(ECommError::QueueStatusFailed);
    return FQueueCount;
}

std::optional<uint8_t> TSerialPort::ReadByte() {
    RequireOpen();
    // The line is only asked when the queue has nothing to give.
    if (FQueueCount == 0)
        FillQueue(ECommError::ReadFailed);
    if (FQueueCount == 0) {
        using Clock = std::chrono::steady_clock;
        const auto Deadline = Clock::now() + std::chrono::milliseconds(ByteTimeoutMs);
        for (;;) {
            const auto Left =
                std::chrono::ceil<std::chrono::milliseconds>(Deadline - Clock::now()).count();
            if (Left <= 0)
                return std::nullopt;
            pollfd Poll{FDevice.Get(), POLLIN, 0};
            const int Ready = ::poll(&Poll, 1, static_cast<int>(Left));
            if (Ready < 0 && errno == EINTR)
                continue;
            if (Ready < 0)
                throw ECommError(ECommError::ReadFailed);
            if (Ready == 0)
                return std::nullopt;
            FillQueue(ECommError::ReadFailed);
            if (FQueueCount > 0)
                break;
        }
    }
    const uint8_t Byte = FQueue[FQueueHead];
    FQueueHead = (FQueueHead + 1) % QueueCapacity();
    --FQueueCount;
    return Byte;
}

uint32_t TSerialPort::ReadLine(char* Buffer, uint32_t Capacity) {
    RequireOpen();
    if (Capacity == 0)
        return 0;
    Buffer[0] = 0;
    if (BytesWaiting() == 0)
        return 0;
    uint32_t Stored = 0;
    while (Stored < Capacity - 1) {
        const std::optional<uint8_t> Byte = ReadByte();
        if (!Byte)
            break;
        Buffer[Stored++] = static_cast<char>(*Byte);
        if (*Byte == CarriageReturn)
            break;
    }
    Buffer[Stored] = 0;
    return Stored + 1;
}

QByteArray TSerialPort::Queued() const {
    QByteArray Bytes;
    Bytes.reserve(static_cast<qsizetype>(FQueueCount));
    for (uint32_t i = 0; i < FQueueCount; ++i)
        Bytes.append(static_cast<char>(FQueue[(FQueueHead + i) % QueueCapacity()]));
    return Bytes;
}

bool PortPresent(int PortNumber) {
    // Only a terminal device is a port, and one in use by another program (or by our own
    // open port) cannot be opened: a port is exclusively one program's.
    return TerminalDevice::Probe(PortMap::DevicePath(ComPorts::PortName(PortNumber)));
}
