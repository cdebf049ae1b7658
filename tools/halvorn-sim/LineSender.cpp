#include "LineSender.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace LineSender {

namespace {

using Clock = std::chrono::steady_clock;

// ppoll with the stop signals unblocked, so a signal that arrives just before the wait still
// ends it. Returns ppoll's result; Timeout < 0 waits for ever.
int WaitFor(pollfd* Poll, nfds_t Count, Clock::duration Timeout) {
    sigset_t Mask;
    sigprocmask(SIG_SETMASK, nullptr, &Mask);
    for (const int Signal : StopSignals)
        sigdelset(&Mask, Signal);
    if (Timeout < Clock::duration::zero())
        return ::ppoll(Poll, Count, nullptr, &Mask);
    const auto Ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Timeout).count();
    const timespec Limit{static_cast<time_t>(Ns / 1000000000), static_cast<long>(Ns % 1000000000)};
    return ::ppoll(Poll, Count, &Limit, &Mask);
}

bool WaitUntil(Clock::time_point Deadline, const volatile std::sig_atomic_t& Stop) {
    while (!Stop) {
        const auto Left = Deadline - Clock::now();
        if (Left <= Clock::duration::zero())
            return true;
        WaitFor(nullptr, 0, Left);
    }
    return false;
}

} // namespace

bool Wait(int Milliseconds, const volatile std::sig_atomic_t& Stop) {
    if (Milliseconds >= 0)
        return WaitUntil(Clock::now() + std::chrono::milliseconds(Milliseconds), Stop);
    while (!Stop)
        WaitFor(nullptr, 0, Clock::duration(-1));
    return false;
}

TResult Send(int MasterFd, const QByteArray& Data, const TSimOptions& Options,
             const volatile std::sig_atomic_t& Stop) {
    const double BytesPerSecond = Options.Baud / 10.0;
    const auto ByteTime = [&](qint64 Count) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(Count / BytesPerSecond));
    };
    const qint64 Size = Data.size();
    qint64 Sent = 0;
    size_t NextPause = 0;
    // Byte i is due at Origin + i byte times.
    Clock::time_point Origin = Clock::now();

    while (Sent < Size) {
        if (Stop)
            return TResult::Stopped;
        while (NextPause < Options.Pauses.size() && Options.Pauses[NextPause].AfterByte <= Sent) {
            if (Options.Pauses[NextPause].AfterByte == Sent &&
                !Wait(Options.Pauses[NextPause].Milliseconds, Stop))
                return TResult::Stopped;
            ++NextPause;
            Origin = Clock::now() - ByteTime(Sent);
        }
        qint64 Allowed = Size - Sent;
        if (NextPause < Options.Pauses.size())
            Allowed = std::min(Allowed, Options.Pauses[NextPause].AfterByte - Sent);
        if (!Options.Unpaced) {
            const double Elapsed = std::chrono::duration<double>(Clock::now() - Origin).count();
            const qint64 Due = static_cast<qint64>(std::floor(Elapsed * BytesPerSecond)) + 1 - Sent;
            if (Due <= 0) {
                if (!WaitUntil(Origin + ByteTime(Sent), Stop))
                    return TResult::Stopped;
                continue;
            }
            Allowed = std::min(Allowed, Due);
        }

        const ssize_t Written =
            ::write(MasterFd, Data.constData() + Sent, static_cast<size_t>(Allowed));
        if (Written > 0) {
            Sent += Written;
            continue;
        }
        if (Written < 0 && errno == EINTR)
            continue;
        if (Written < 0 && errno != EAGAIN) {
            std::fprintf(stderr, "halvorn-sim: writing to the line failed: %s\n",
                         std::strerror(errno));
            return TResult::Failed;
        }
        // The line is full until the reader takes bytes.
        pollfd Poll{MasterFd, POLLOUT, 0};
        while (!Stop && WaitFor(&Poll, 1, Clock::duration(-1)) <= 0) {
        }
        if (!Options.Unpaced)
            Origin = Clock::now() - ByteTime(Sent);
    }
    return TResult::Sent;
}

} // namespace LineSender
