#include "Pty.h"

#include <QDir>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace TestSupport {

TPty::TPty() {
    FMaster.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    char Path[256];
    if (!FMaster.Valid() || ::grantpt(FMaster.Get()) != 0 || ::unlockpt(FMaster.Get()) != 0 ||
        ::ptsname_r(FMaster.Get(), Path, sizeof Path) != 0) {
        ADD_FAILURE() << "cannot create a pseudo-terminal: " << std::strerror(errno);
        CloseMaster();
        return;
    }
    FSlavePath = QString::fromLocal8Bit(Path);
    FSlave.Reset(::open(Path, O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios Raw{};
    if (!FSlave.Valid() || ::tcgetattr(FSlave.Get(), &Raw) != 0) {
        ADD_FAILURE() << "cannot open " << Path << ": " << std::strerror(errno);
        CloseMaster();
        return;
    }
    ::cfmakeraw(&Raw);
    ::tcsetattr(FSlave.Get(), TCSANOW, &Raw);
}

TPty::~TPty() = default;

bool TPty::Write(const QByteArray& Data, int TimeoutMs) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    qsizetype Done = 0;
    while (FMaster.Valid() && Done < Data.size()) {
        const ssize_t Written = ::write(FMaster.Get(), Data.constData() + Done,
                                        static_cast<size_t>(Data.size() - Done));
        if (Written > 0) {
            Done += Written;
            continue;
        }
        if (Written < 0 && errno != EAGAIN && errno != EINTR)
            break;
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              Deadline - std::chrono::steady_clock::now())
                              .count();
        if (Left <= 0)
            break;
        pollfd Poll{FMaster.Get(), POLLOUT, 0};
        ::poll(&Poll, 1, static_cast<int>(Left));
    }
    if (Done == Data.size())
        return true;
    ADD_FAILURE() << "wrote only " << Done << " of " << Data.size() << " bytes to the pty";
    return false;
}

void TPty::CloseMaster() {
    FMaster.Reset();
}

int OpenDescriptorCount() {
    return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

} // namespace TestSupport
