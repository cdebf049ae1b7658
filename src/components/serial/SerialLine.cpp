#include "SerialLine.h"

#include "platform/TerminalDevice.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct TSpeed {
    uint32_t Baud;
    speed_t Speed;
};

constexpr TSpeed Speeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

uint32_t BaudFor(speed_t Speed) {
    for (const TSpeed& s : Speeds)
        if (s.Speed == Speed)
            return s.Baud;
    return 0;
}

// Raw, with the framing, parity checking and flow control the line's state gives.
void MakeRaw(termios& t) {
    TerminalDevice::MakeRaw(t, TerminalDevice::THardwareFlow::Off);
    t.c_iflag &= ~IGNPAR;
}

uint64_t Product(uint32_t Multiplier, uint32_t Count, uint32_t Constant) {
    return uint64_t(Multiplier) * Count + Constant;
}

} // namespace

bool TSerialLine::SpeedFor(uint32_t Baud, unsigned& Speed) {
    for (const TSpeed& s : Speeds) {
        if (s.Baud == Baud) {
            Speed = s.Speed;
            return true;
        }
    }
    return false;
}

std::shared_ptr<TSerialLine> TSerialLine::Open(const QString& Path) {
    TerminalDevice::TStep Failed = TerminalDevice::TStep::None;
    TFd Device = TerminalDevice::OpenClaimed(Path, &Failed);
    if (!Device.Valid()) {
        if (Failed == TerminalDevice::TStep::Lock)
            errno = EBUSY;
        return nullptr;
    }
    termios t;
    if (::tcgetattr(Device.Get(), &t) != 0)
        return nullptr;
    MakeRaw(t);
    if (::tcsetattr(Device.Get(), TCSANOW, &t) != 0) {
        const int e = errno;
        TerminalDevice::Release(Device);
        errno = e;
        return nullptr;
    }
    return std::shared_ptr<TSerialLine>(new TSerialLine(std::move(Device)));
}

bool TSerialLine::Probe(const QString& Path) {
    return TerminalDevice::Probe(Path);
}

TSerialLine::TSerialLine(TFd Device) : FFd(Device.Get()), FDevice(std::move(Device)) {}

TSerialLine::~TSerialLine() {
    Close();
}

void TSerialLine::Close() {
    // Only the caller that takes the number away gives the device back.
    if (FFd.exchange(-1) >= 0)
        TerminalDevice::Release(FDevice);
}

bool TSerialLine::GetState(TDcb& Dcb) {
    termios t;
    if (::tcgetattr(FFd.load(), &t) != 0)
        return false;
    std::lock_guard<std::mutex> guard(FLock);
    Dcb = FKept;
    Dcb.BaudRate = BaudFor(::cfgetospeed(&t));
    Dcb.fBinary = true;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        Dcb.ByteSize = 5;
        break;
    case CS6:
        Dcb.ByteSize = 6;
        break;
    case CS7:
        Dcb.ByteSize = 7;
        break;
    default:
        Dcb.ByteSize = 8;
    }
    if (!(t.c_cflag & PARENB))
        Dcb.Parity = Comm::NoParity;
    else if (t.c_cflag & CMSPAR)
        Dcb.Parity = (t.c_cflag & PARODD) ? Comm::MarkParity : Comm::SpaceParity;
    else
        Dcb.Parity = (t.c_cflag & PARODD) ? Comm::OddParity : Comm::EvenParity;
    if (!(t.c_cflag & CSTOPB))
        Dcb.StopBits = Comm::OneStopBit;
    else if (Dcb.ByteSize == 5 && FKept.StopBits == Comm::One5StopBits)
        Dcb.StopBits = Comm::One5StopBits; // the UART's CSTOPB with 5 data bits is 1.5 stop bits
    else
        Dcb.StopBits = Comm::TwoStopBits;
    Dcb.fParity = (t.c_iflag & INPCK) != 0;
    Dcb.fOutX = (t.c_iflag & IXON) != 0;
    Dcb.fInX = (t.c_iflag & IXOFF) != 0;
    Dcb.fOutxCtsFlow = (t.c_cflag & CRTSCTS) &&
                       (FKept.fOutxCtsFlow || FKept.fRtsControl != Comm::RtsControlHandshake);
    Dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
    Dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return true;
}

bool TSerialLine::SetState(const TDcb& Dcb) {
    unsigned speed;
    const bool valid =
        SpeedFor(Dcb.BaudRate, speed) && Dcb.fBinary && Dcb.ByteSize >= 5 && Dcb.ByteSize <= 8 &&
        Dcb.Parity <= Comm::SpaceParity && Dcb.StopBits <= Comm::TwoStopBits &&
        (Dcb.StopBits != Comm::One5StopBits || Dcb.ByteSize == 5) &&
        Dcb.fDtrControl <= Comm::DtrControlHandshake && Dcb.fRtsControl <= Comm::RtsControlToggle;
    if (!valid) {
        errno = EINVAL;
        return false;
    }
    const int fd = FFd.load();
    termios t;
    if (::tcgetattr(fd, &t) != 0)
        return false;
    MakeRaw(t);
    t.c_cflag &= ~CSIZE;
    static constexpr tcflag_t Sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= Sizes[Dcb.ByteSize - 5];
    switch (Dcb.Parity) {
    case Comm::OddParity:
        t.c_cflag |= PARENB | PARODD;
        break;
    case Comm::EvenParity:
        t.c_cflag |= PARENB;
        break;
    case Comm::MarkParity:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case Comm::SpaceParity:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (Dcb.fParity)
        t.c_iflag |= INPCK;
    if (Dcb.StopBits != Comm::OneStopBit)
        t.c_cflag |= CSTOPB;
    const bool rtsHandshake = Dcb.fRtsControl == Comm::RtsControlHandshake;
    if (Dcb.fOutxCtsFlow || rtsHandshake)
        t.c_cflag |= CRTSCTS;
    if (Dcb.fOutX)
        t.c_iflag |= IXON;
    if (Dcb.fInX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(Dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(Dcb.XoffChar);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return false;
    // tcsetattr succeeds when any part took effect: make sure the rate did.
    termios check;
    if (::tcgetattr(fd, &check) != 0)
        return false;
    if (::cfgetospeed(&check) != speed) {
        errno = EINVAL;
        return false;
    }

    std::lock_guard<std::mutex> guard(FLock);
    if (!FLinesApplied || Dcb.fDtrControl != FKept.fDtrControl) {
        if (Dcb.fDtrControl == Comm::DtrControlEnable)
            ApplyLine(Comm::SetDtr);
        else if (Dcb.fDtrControl == Comm::DtrControlDisable)
            ApplyLine(Comm::ClrDtr);
    }
    if (!FLinesApplied || Dcb.fRtsControl != FKept.fRtsControl) {
        if (Dcb.fRtsControl == Comm::RtsControlEnable)
            ApplyLine(Comm::SetRts);
        else if (Dcb.fRtsControl == Comm::RtsControlDisable)
            ApplyLine(Comm::ClrRts);
    }
    FLinesApplied = true;
    FKept = Dcb;
    return true;
}

// A line without modem control (a pseudo-terminal) refuses with ENOTTY; the state still holds.
void TSerialLine::ApplyLine(uint32_t Function) {
    const int e = errno;
    Escape(Function);
    errno = e;
}

bool TSerialLine::GetTimeouts(TCommTimeouts& Timeouts) {
    termios t;
    if (::tcgetattr(FFd.load(), &t) != 0)
        return false;
    std::lock_guard<std::mutex> guard(FLock);
    Timeouts = FTimeouts;
    return true;
}

bool TSerialLine::SetTimeouts(const TCommTimeouts& Timeouts) {
    termios t;
    if (::tcgetattr(FFd.load(), &t) != 0)
        return false;
    std::lock_guard<std::mutex> guard(FLock);
    FTimeouts = Timeouts;
    return true;
}

bool TSerialLine::SetupComm(uint32_t InQueue, uint32_t OutQueue) {
    if (::fcntl(FFd.load(), F_GETFL) < 0)
        return false;
    if (InQueue > Comm::MaxQueueSize || OutQueue > Comm::MaxQueueSize) {
        errno = EINVAL;
        return false;
    }
    std::lock_guard<std::mutex> guard(FLock);
    FInQueue = InQueue;
    FOutQueue = OutQueue;
    return true;
}

bool TSerialLine::Purge(uint32_t Flags) {
    {
        std::lock_guard<std::mutex> guard(FLock);
        if ((Flags & Comm::PurgeRxAbort) && FPendingRead)
            FPendingRead->Abort();
        if ((Flags & Comm::PurgeTxAbort) && FPendingWrite)
            FPendingWrite->Abort();
    }
    const bool in = Flags & Comm::PurgeRxClear;
    const bool out = Flags & Comm::PurgeTxClear;
    if (!in && !out) {
        if (FFd.load() >= 0)
            return true;
        errno = EBADF;
        return false;
    }
    return ::tcflush(FFd.load(), in && out ? TCIOFLUSH : in ? TCIFLUSH : TCOFLUSH) == 0;
}

bool TSerialLine::ClearError(uint32_t* InQueue) {
    int waiting = 0;
    if (::ioctl(FFd.load(), FIONREAD, &waiting) != 0)
        return false;
    if (InQueue)
        *InQueue = static_cast<uint32_t>(waiting);
    return true;
}

bool TSerialLine::Escape(uint32_t Function) {
    int bits;
    unsigned long request;
    switch (Function) {
    case Comm::SetDtr:
        bits = TIOCM_DTR, request = TIOCMBIS;
        break;
    case Comm::ClrDtr:
        bits = TIOCM_DTR, request = TIOCMBIC;
        break;
    case Comm::SetRts:
        bits = TIOCM_RTS, request = TIOCMBIS;
        break;
    case Comm::ClrRts:
        bits = TIOCM_RTS, request = TIOCMBIC;
        break;
    default:
        errno = EINVAL;
        return false;
    }
    return ::ioctl(FFd.load(), request, &bits) == 0;
}

bool TSerialLine::GetModemStatus(uint32_t& Status) {
    int bits;
    if (::ioctl(FFd.load(), TIOCMGET, &bits) != 0)
        return false;
    Status = ((bits & TIOCM_CTS) ? Comm::MsCtsOn : 0) | ((bits & TIOCM_DSR) ? Comm::MsDsrOn : 0) |
             ((bits & TIOCM_RNG) ? Comm::MsRingOn : 0) | ((bits & TIOCM_CAR) ? Comm::MsRlsdOn : 0);
    return true;
}

bool TSerialLine::Read(TOverlapped& Ov, char* Buffer, uint32_t Count, uint32_t* Read) {
    Ov.FBuffer = Buffer;
    return Start(Ov, true, Count, Read);
}

bool TSerialLine::Write(TOverlapped& Ov, const char* Buffer, uint32_t Count, uint32_t* Written) {
    Ov.FSource = Buffer;
    return Start(Ov, false, Count, Written);
}

bool TSerialLine::Start(TOverlapped& Ov, bool Reading, uint32_t Count, uint32_t* Done) {
    Ov.ResetEvent();
    Ov.ClearAbort();
    Ov.FOp = Reading ? TOverlapped::TOp::Read : TOverlapped::TOp::Write;
    Ov.FCount = Count;
    Ov.FDone = 0;
    Ov.FComplete = false;
    Ov.FError = 0;
    {
        std::lock_guard<std::mutex> guard(FLock);
        const TCommTimeouts& t = FTimeouts;
        uint64_t limit;
        if (Reading && t.ReadIntervalTimeout == TCommTimeouts::MaxDword &&
            t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0)
            limit = 0, Ov.FHasDeadline = true; // whatever is there, at once
        else if (Reading)
            limit = Product(t.ReadTotalTimeoutMultiplier, Count, t.ReadTotalTimeoutConstant),
            Ov.FHasDeadline = limit > 0;
        else
            limit = Product(t.WriteTotalTimeoutMultiplier, Count, t.WriteTotalTimeoutConstant),
            Ov.FHasDeadline = limit > 0;
        Ov.FDeadline = TClock::now() + std::chrono::milliseconds(limit);
        (Reading ? FPendingRead : FPendingWrite) = &Ov;
    }
    Progress(Ov);
    if (!Ov.FComplete) {
        errno = Comm::IoPending;
        return false;
    }
    if (Done)
        *Done = Ov.FDone;
    if (Ov.FError != 0) {
        // A request refused outright signals nothing, as a finished one does.
        Ov.ResetEvent();
        errno = Ov.FError;
        return false;
    }
    return true;
}

void TSerialLine::Progress(TOverlapped& Ov) {
    if (Ov.FComplete)
        return;
    if (Ov.FAborted) {
        Finish(Ov, ECANCELED);
        return;
    }
    const int fd = FFd.load();
    if (fd < 0) {
        Finish(Ov, EBADF);
        return;
    }
    const bool reading = Ov.FOp == TOverlapped::TOp::Read;
    while (Ov.FDone < Ov.FCount) {
        const size_t left = Ov.FCount - Ov.FDone;
        const ssize_t n = reading ? ::read(fd, Ov.FBuffer + Ov.FDone, left)
                                  : ::write(fd, Ov.FSource + Ov.FDone, left);
        if (n > 0) {
            Ov.FDone += static_cast<uint32_t>(n);
            continue;
        }
        if (n == 0 && reading) {
            Finish(Ov, EIO); // hang-up
            return;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno == EAGAIN)
            break;
        Finish(Ov, errno);
        return;
    }
    if (Ov.FDone == Ov.FCount || (Ov.FHasDeadline && TClock::now() >= Ov.FDeadline))
        Finish(Ov, 0);
}

void TSerialLine::Finish(TOverlapped& Ov, int Error) {
    Ov.FComplete = true;
    Ov.FError = Error;
    {
        std::lock_guard<std::mutex> guard(FLock);
        if (FPendingRead == &Ov)
            FPendingRead = nullptr;
        if (FPendingWrite == &Ov)
            FPendingWrite = nullptr;
    }
    Ov.MarkSet();
}

void TSerialLine::PollOnce(TOverlapped& Ov, bool WithEvent, TClock::time_point Until) {
    pollfd fds[3];
    nfds_t n = 0;
    if (!Ov.FComplete) {
        const short events = Ov.FOp == TOverlapped::TOp::Read ? POLLIN : POLLOUT;
        fds[n++] = pollfd{FFd.load(), events, 0};
        fds[n++] = pollfd{Ov.FAbortEvent.Get(), POLLIN, 0};
        if (Ov.FHasDeadline)
            Until = std::min(Until, Ov.FDeadline);
    }
    if (WithEvent)
        fds[n++] = pollfd{Ov.FEvent.Get(), POLLIN, 0};
    timespec limit{};
    timespec* timeout = nullptr;
    if (Until != TClock::time_point::max()) {
        const auto left = std::max(Until - TClock::now(), TClock::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        limit.tv_sec = static_cast<time_t>(ns / 1000000000);
        limit.tv_nsec = static_cast<long>(ns % 1000000000);
        timeout = &limit;
    }
    ::ppoll(fds, n, timeout, nullptr);
}

bool TSerialLine::WaitFor(TOverlapped& Ov, uint64_t Ms) {
    // Capped so the end stays representable: some thirty years.
    const auto until =
        TClock::now() + std::chrono::milliseconds(std::min<uint64_t>(Ms, 1ull << 40));
    for (;;) {
        if (Ov.EventSet())
            return true;
        Progress(Ov);
        if (Ov.FComplete && Ov.EventSet())
            return true;
        if (TClock::now() >= until)
            return false;
        PollOnce(Ov, true, until);
    }
}

bool TSerialLine::GetResult(TOverlapped& Ov, uint32_t& Transferred, bool Wait) {
    for (;;) {
        Progress(Ov);
        if (Ov.FComplete) {
            Transferred = Ov.FDone;
            if (Ov.FError != 0) {
                errno = Ov.FError;
                return false;
            }
            return true;
        }
        if (!Wait) {
            errno = EAGAIN;
            return false;
        }
        PollOnce(Ov, false, TClock::time_point::max());
    }
}
