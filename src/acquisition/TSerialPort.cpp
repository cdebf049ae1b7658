#include "acquisition/TSerialPort.h"

#include "platform/PortMap.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr speed_t BaudRate = B1200;

// A hang-up reads as end of file; callers see it as an I/O error.
constexpr int HangUpError = EIO;

int OpenDevice(const QString& Name, int Flags) {
    const QByteArray Path = PortMap::DevicePath(Name).toLocal8Bit();
    int Fd;
    do {
        Fd = ::open(Path.constData(), Flags | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (Fd < 0 && errno == EINTR);
    return Fd;
}

// Closes without disturbing errno, for cleanup after a failure.
void CloseQuietly(int Fd) {
    const int Saved = errno;
    ::close(Fd);
    errno = Saved;
}

} // namespace

TSerialPort::TSerialPort() {
    // The four set values; everything else is taken from the driver at every Open.
    FLineSettings.c_cflag = CS8 | CREAD | CLOCAL;
    cfsetispeed(&FLineSettings, BaudRate);
    cfsetospeed(&FLineSettings, BaudRate);
}

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
    ECommError Error(Code);
    Error.PortName = FPortName;
    Error.DevicePath = PortMap::DevicePath(FPortName);
    CloseQuietly(FHandle);
    FHandle = -1;
    throw Error;
}

void TSerialPort::Open() {
    if (FOpen)
        return;
    const speed_t Speed = cfgetispeed(&FLineSettings);

    // The device is named in every failure so the message can say which one and how to reach
    // it.
    FHandle = OpenDevice(FPortName, O_RDWR);
    if (FHandle < 0)
        FailOpen(ECommError::OpenFailed);
    // Exclusive against every other opener: flock also holds against root, whom TIOCEXCL
    // lets through.
    if (::flock(FHandle, LOCK_EX | LOCK_NB) != 0)
        FailOpen(ECommError::OpenFailed);

    termios Settings{};
    if (::tcgetattr(FHandle, &Settings) != 0)
        FailOpen(ECommError::GetStateFailed);
    if (::ioctl(FHandle, TIOCEXCL) != 0)
        FailOpen(ECommError::OpenFailed);

    // Raw 8N1 receiving. Software flow control goes too: with IXON the line discipline would
    // swallow the instrument's control byte 19, and IXOFF would make us transmit. Hardware
    // flow control, HUPCL and the control characters keep the driver's values.
    Settings.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    Settings.c_oflag &= ~OPOST;
    Settings.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    Settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    Settings.c_cflag |= CS8 | CREAD | CLOCAL;
    Settings.c_cc[VMIN] = 1;
    Settings.c_cc[VTIME] = 0;
    cfsetispeed(&Settings, Speed);
    cfsetospeed(&Settings, Speed);
    if (::tcsetattr(FHandle, TCSANOW, &Settings) != 0)
        FailOpen(ECommError::SetStateFailed);
    FLineSettings = Settings;

    try {
        FQueue.assign(InputQueueSize, 0);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        FailOpen(ECommError::SetupFailed);
    }
    FQueueHead = 0;
    FQueueCount = 0;

    // Reads are timed by poll(); the descriptor itself blocks, as a synchronous port does.
    const int Flags = ::fcntl(FHandle, F_GETFL);
    if (Flags < 0 || ::fcntl(FHandle, F_SETFL, Flags & ~O_NONBLOCK) != 0)
        FailOpen(ECommError::SetTimeoutsFailed);
    FTimeouts = {15, 1, 250, 1, 250};

    FOpen = true;
}

void TSerialPort::ReleaseDescriptor() {
    FOpen = false;
    FHandle = -1;
    // A grown queue is not kept for the next download.
    std::vector<uint8_t>().swap(FQueue);
    FQueueHead = 0;
    FQueueCount = 0;
}

void TSerialPort::Close() {
    if (!FOpen)
        return;
    // A tty keeps TIOCEXCL after we are gone while someone else holds it open.
    ::ioctl(FHandle, TIOCNXCL);
    // Linux releases the descriptor even when close() reports an error, so the port is
    // closed either way; closing the same number again could hit someone else's file.
    const int Result = ::close(FHandle);
    const ECommError Error(ECommError::CloseFailed);
    ReleaseDescriptor();
    if (Result != 0 && Error.SystemError != EINTR)
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
        pollfd Poll{FHandle, POLLIN, 0};
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
        const ssize_t Got = ::read(FHandle, FQueue.data() + Tail, Room);
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
        const auto Deadline =
            Clock::now() + std::chrono::milliseconds(FTimeouts.ReadTotalTimeoutMultiplier +
                                                     FTimeouts.ReadTotalTimeoutConstant);
        for (;;) {
            const auto Left =
                std::chrono::ceil<std::chrono::milliseconds>(Deadline - Clock::now()).count();
            if (Left <= 0)
                return std::nullopt;
            pollfd Poll{FHandle, POLLIN, 0};
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
        Bytes.append(static_cast<char>(FQueue[(FQueueHead + i) % InputQueueSize]));
    return Bytes;
}

bool PortPresent(int PortNumber) {
    const int Fd = OpenDevice(QStringLiteral("COM%1").arg(PortNumber), O_RDWR);
    if (Fd < 0)
        return false;
    // Only a terminal device is a port, and one in use by another program (or by our own
    // open port) cannot be opened: a port is exclusively one program's.
    const bool Usable = ::isatty(Fd) == 1 && ::flock(Fd, LOCK_EX | LOCK_NB) == 0;
    ::close(Fd);
    return Usable;
}
