#include "Pty.h"
#include "TestSupport.h"
#include "platform/TerminalDevice.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using TerminalDevice::TStep;

bool IsOpen(int Handle) {
    return ::fcntl(Handle, F_GETFD) != -1;
}

// The exclusive flag as another holder of the device sees it.
bool Exclusive(int Handle) {
    int Flag = 0;
    return ::ioctl(Handle, TIOCGEXCL, &Flag) == 0 && Flag != 0;
}

TEST(TerminalDevice, ClaimRefusedWhileAnotherDescriptorHoldsTheLock) {
    TestSupport::TPty Pty;
    ASSERT_TRUE(Pty.Ok());
    const TFd Holder(::open(Pty.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY));
    ASSERT_TRUE(Holder.Valid());
    ASSERT_EQ(::flock(Holder.Get(), LOCK_EX | LOCK_NB), 0);

    TStep Failed = TStep::None;
    const TFd Refused = TerminalDevice::OpenClaimed(Pty.SlavePath(), &Failed);
    EXPECT_FALSE(Refused.Valid());
    EXPECT_EQ(Failed, TStep::Lock);
    EXPECT_EQ(errno, EWOULDBLOCK);
    EXPECT_FALSE(Exclusive(Holder.Get())) << "a refused claim left the exclusive flag set";
    EXPECT_FALSE(TerminalDevice::Probe(Pty.SlavePath()));
}

TEST(TerminalDevice, ClaimIsExclusiveUntilReleased) {
    TestSupport::TPty Pty;
    ASSERT_TRUE(Pty.Ok());
    // Another holder, open before the claim and after it: a tty keeps its exclusive flag for as
    // long as anyone holds it open.
    const TFd Holder(::open(Pty.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY));
    ASSERT_TRUE(Holder.Valid());
    const int Before = TestSupport::OpenDescriptorCount();
    TStep Failed = TStep::Open;
    TFd Device = TerminalDevice::OpenClaimed(Pty.SlavePath(), &Failed);
    ASSERT_TRUE(Device.Valid());
    EXPECT_EQ(Failed, TStep::None);
    EXPECT_NE(::fcntl(Device.Get(), F_GETFL) & O_NONBLOCK, 0);
    EXPECT_TRUE(Exclusive(Holder.Get()));
    EXPECT_FALSE(TerminalDevice::Probe(Pty.SlavePath()));
    if (::geteuid() != 0) { // root passes TIOCEXCL
        EXPECT_FALSE(TerminalDevice::Open(Pty.SlavePath(), O_RDWR).Valid());
        EXPECT_EQ(errno, EBUSY);
    }

    const int Handle = Device.Get();
    EXPECT_TRUE(TerminalDevice::Release(Device));
    EXPECT_FALSE(Device.Valid());
    EXPECT_FALSE(IsOpen(Handle));
    EXPECT_EQ(TestSupport::OpenDescriptorCount(), Before);
    EXPECT_FALSE(Exclusive(Holder.Get())) << "the exclusive flag outlived the release";
    EXPECT_TRUE(TerminalDevice::Probe(Pty.SlavePath()));
}

TEST(TerminalDevice, RefusesWhatIsNoTerminalAndLeavesNothingOpen) {
    TestSupport::TempConfig Config;
    const QString Plain = Config.ConfigHome() + "/plain";
    TestSupport::WriteFile(Plain, "x");
    const struct {
        QString Path;
        TStep Failed;
        int Error;
    } Cases[] = {
        {Plain, TStep::Terminal, ENOTTY},
        {"/dev/null", TStep::Terminal, ENOTTY},
        {Config.ConfigHome(), TStep::Open, EISDIR},
        {"/nonexistent/tty", TStep::Open, ENOENT},
    };
    const int Before = TestSupport::OpenDescriptorCount();
    for (const auto& Case : Cases) {
        TStep Failed = TStep::None;
        EXPECT_FALSE(TerminalDevice::OpenClaimed(Case.Path, &Failed).Valid())
            << Case.Path.toStdString();
        EXPECT_EQ(errno, Case.Error) << Case.Path.toStdString();
        EXPECT_EQ(Failed, Case.Failed) << Case.Path.toStdString();
        EXPECT_FALSE(TerminalDevice::Probe(Case.Path)) << Case.Path.toStdString();
    }
    EXPECT_EQ(TestSupport::OpenDescriptorCount(), Before);
}

TEST(TerminalDevice, CleanupKeepsErrnoAndCloseReportsFailure) {
    // A number far above any open descriptor: closing it fails with EBADF.
    constexpr int NotOpen = 1 << 20;
    errno = EDOM;
    { const TFd Stale(NotOpen); }
    EXPECT_EQ(errno, EDOM) << "the destructor changed errno";
    TFd Reset(NotOpen);
    errno = ERANGE;
    Reset.Reset();
    EXPECT_EQ(errno, ERANGE) << "Reset changed errno";

    TFd Failing(NotOpen);
    EXPECT_FALSE(Failing.Close());
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(Failing.Valid()) << "a failed close still gives the number up";

    TFd Moved(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int Handle = Moved.Get();
    TFd Owner(std::move(Moved));
    EXPECT_FALSE(Moved.Valid());
    EXPECT_EQ(Owner.Get(), Handle);
    Owner = TFd();
    EXPECT_FALSE(IsOpen(Handle));
}

TEST(TerminalDevice, RawModeKeepsOrDropsHardwareFlowControl) {
    for (const auto Flow :
         {TerminalDevice::THardwareFlow::Keep, TerminalDevice::THardwareFlow::Off}) {
        termios Line{};
        Line.c_iflag = ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IGNPAR;
        Line.c_oflag = OPOST | ONLCR;
        Line.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
        Line.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
        Line.c_cc[VTIME] = 5;
        TerminalDevice::MakeRaw(Line, Flow);
        EXPECT_EQ(Line.c_iflag, tcflag_t(IGNPAR));
        EXPECT_EQ(Line.c_oflag & OPOST, 0u);
        EXPECT_EQ(Line.c_lflag, 0u);
        const tcflag_t Flowing = Flow == TerminalDevice::THardwareFlow::Keep ? CRTSCTS : 0;
        EXPECT_EQ(Line.c_cflag, tcflag_t(CS8 | CREAD | CLOCAL | HUPCL | Flowing));
        EXPECT_EQ(Line.c_cc[VMIN], 1);
        EXPECT_EQ(Line.c_cc[VTIME], 0);
    }
}

} // namespace
