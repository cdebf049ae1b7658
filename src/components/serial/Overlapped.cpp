#include "Overlapped.h"

#include "platform/Exception.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

TFd NewEvent() {
    TFd Event(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!Event.Valid())
        throw Exception(QStringLiteral("CreateEvent Failed."));
    return Event;
}

void Signal(int Fd) {
    const uint64_t one = 1;
    while (::write(Fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Drain(int Fd) {
    uint64_t value;
    while (::read(Fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

} // namespace

TOverlapped::TOverlapped() : FEvent(NewEvent()), FAbortEvent(NewEvent()) {}

TOverlapped::~TOverlapped() = default;

void TOverlapped::SetEvent() {
    std::lock_guard<std::mutex> guard(FLock);
    FSet = true;
    if (!FSignalled) {
        Signal(FEvent.Get());
        FSignalled = true;
    }
}

void TOverlapped::MarkSet() {
    std::lock_guard<std::mutex> guard(FLock);
    FSet = true;
}

void TOverlapped::ResetEvent() {
    std::lock_guard<std::mutex> guard(FLock);
    FSet = false;
    if (FSignalled) {
        Drain(FEvent.Get());
        FSignalled = false;
    }
}

bool TOverlapped::EventSet() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FSet;
}

bool TOverlapped::WaitEvent(int64_t Ms) {
    const auto end = TClock::now() + std::chrono::milliseconds(std::max<int64_t>(Ms, 0));
    for (;;) {
        if (EventSet())
            return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - TClock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{FEvent.Get(), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 60000)));
    }
}

void TOverlapped::Abort() {
    std::lock_guard<std::mutex> guard(FLock);
    FAborted = true;
    if (!FAbortSignalled) {
        Signal(FAbortEvent.Get());
        FAbortSignalled = true;
    }
}

void TOverlapped::ClearAbort() {
    std::lock_guard<std::mutex> guard(FLock);
    FAborted = false;
    if (FAbortSignalled) {
        Drain(FAbortEvent.Get());
        FAbortSignalled = false;
    }
}
