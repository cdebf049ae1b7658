#include "platform/TerminalDevice.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace TerminalDevice {

TFd Open(const QString& Path, int Access) {
    const QByteArray Native = QFile::encodeName(Path);
    int Handle;
    do {
        Handle = ::open(Native.constData(), Access | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (Handle < 0 && errno == EINTR);
    return TFd(Handle);
}

TFd OpenClaimed(const QString& Path, TStep* Failed) {
    TStep Step = TStep::Open;
    TFd Device = Open(Path, O_RDWR);
    if (Device.Valid()) {
        Step = TStep::Terminal;
        if (::isatty(Device.Get()) == 1) {
            Step = TStep::Lock;
            if (::flock(Device.Get(), LOCK_EX | LOCK_NB) == 0) {
                Step = TStep::Exclusive;
                if (::ioctl(Device.Get(), TIOCEXCL) == 0)
                    Step = TStep::None;
            }
        }
    }
    if (Failed)
        *Failed = Step;
    if (Step != TStep::None)
        Device.Reset();
    return Device;
}

bool Probe(const QString& Path) {
    const TFd Device = Open(Path, O_RDWR);
    return Device.Valid() && ::isatty(Device.Get()) == 1 &&
           ::flock(Device.Get(), LOCK_EX | LOCK_NB) == 0;
}

void MakeRaw(termios& Settings, THardwareFlow Flow) {
    Settings.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    Settings.c_oflag &= ~OPOST;
    Settings.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    Settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    if (Flow == THardwareFlow::Off)
        Settings.c_cflag &= ~CRTSCTS;
    Settings.c_cflag |= CS8 | CREAD | CLOCAL;
    Settings.c_cc[VMIN] = 1;
    Settings.c_cc[VTIME] = 0;
}

bool Release(TFd& Device) {
    if (!Device.Valid())
        return true;
    const int Saved = errno;
    ::ioctl(Device.Get(), TIOCNXCL);
    errno = Saved;
    return Device.Close();
}

} // namespace TerminalDevice
