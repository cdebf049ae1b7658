// halvorn-sim: a simulated Halvorn 4410 on a pseudo-terminal, for tests, benchmarks and
// trying a download without an instrument. See --help.
#include "LineSender.h"
#include "Printout.h"
#include "SimOptions.h"

#include "platform/Exception.h"
#include "platform/FileDescriptor.h"
#include "platform/PortMap.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t StopRequested = 0;

void OnStopSignal(int) {
    StopRequested = 1;
}

int Failure(const char* What) {
    std::fprintf(stderr, "halvorn-sim: %s: %s\n", What, std::strerror(errno));
    return 1;
}

int Complain(const Exception& Error) {
    QString Text = Error.Message;
    std::fprintf(stderr, "halvorn-sim: %s\n",
                 Text.replace(QLatin1Char('\n'), QStringLiteral(": ")).toLocal8Bit().constData());
    return 1;
}

// The COMn entry this simulator holds in the store. What the entry held before comes back
// when the simulator ends, so a later download on COMn never opens a line that has since gone
// to someone else.
class TComEntry {
public:
    TComEntry(int Port, const QString& Device, bool Keep)
        : FPort(ComPorts::PortName(Port)), FDevice(Device), FKeep(Keep),
          FPrevious(PortMap::StoredMapping(FPort)) {
        PortMap::MapPort(FPort, FDevice);
    }
    bool Restore() {
        if (FKeep)
            return true;
        try {
            PortMap::RestoreMapping(FPort, FPrevious, FDevice);
        } catch (const Exception& Error) {
            Complain(Error);
            return false;
        }
        return true;
    }

private:
    QString FPort;
    QString FDevice;
    bool FKeep;
    std::optional<QString> FPrevious;
};

// Blocked outside the sender's waits, so a stop request is never missed between a check and
// the wait after it.
void CatchStopSignals() {
    struct sigaction Action {};
    Action.sa_handler = OnStopSignal;
    sigemptyset(&Action.sa_mask);
    sigset_t Block;
    sigemptyset(&Block);
    for (const int Signal : LineSender::StopSignals) {
        sigaction(Signal, &Action, nullptr);
        sigaddset(&Block, Signal);
    }
    sigprocmask(SIG_BLOCK, &Block, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication App(argc, argv);
    TSimOptions Options;
    try {
        Options = ParseSimOptions(App.arguments().mid(1));
    } catch (const TSimUsageError& Error) {
        std::fprintf(stderr, "halvorn-sim: %s\nTry 'halvorn-sim --help'.\n",
                     Error.Message.toLocal8Bit().constData());
        return 2;
    }
    if (Options.Help) {
        std::fputs(SimUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }

    QByteArray Data;
    if (!Options.File.isEmpty()) {
        QFile File(Options.File);
        if (!File.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "halvorn-sim: cannot read %s: %s\n",
                         Options.File.toLocal8Bit().constData(),
                         File.errorString().toLocal8Bit().constData());
            return 1;
        }
        Data = File.readAll();
    } else {
        Data = SimPrintout::Generate(Options.Printout);
    }
    if (Options.Print) {
        std::fwrite(Data.constData(), 1, static_cast<size_t>(Data.size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    CatchStopSignals();
    TFd Master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!Master.Valid() || ::grantpt(Master.Get()) != 0 || ::unlockpt(Master.Get()) != 0)
        return Failure("cannot create a pseudo-terminal");
    char SlavePath[256];
    if (::ptsname_r(Master.Get(), SlavePath, sizeof SlavePath) != 0)
        return Failure("cannot name the pseudo-terminal");
    // Our own slave descriptor keeps the line raw and alive until a reader comes: without a
    // reader's settings the line would echo and turn CR into LF.
    TFd SlaveFd(::open(SlavePath, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!SlaveFd.Valid())
        return Failure("cannot open the pseudo-terminal");
    termios Raw{};
    if (::tcgetattr(SlaveFd.Get(), &Raw) != 0)
        return Failure("cannot read the line settings");
    ::cfmakeraw(&Raw);
    ::cfsetspeed(&Raw, B1200);
    if (::tcsetattr(SlaveFd.Get(), TCSANOW, &Raw) != 0)
        return Failure("cannot set the line raw");

    const QString Slave = QString::fromLocal8Bit(SlavePath);
    std::optional<TComEntry> Entry;
    if (Options.ComPort != 0) {
        try {
            Entry.emplace(Options.ComPort, Slave, Options.KeepCom);
        } catch (const Exception& Error) {
            return Complain(Error);
        }
    }
    std::printf("%s\n", SlavePath);
    std::fflush(stdout);

    int Status = 0;
    if (LineSender::Wait(Options.DelayMs, StopRequested)) {
        const LineSender::TResult Result =
            LineSender::Send(Master.Get(), Data, Options, StopRequested);
        if (Result == LineSender::TResult::Failed)
            Status = 1;
        else if (Result == LineSender::TResult::Sent)
            LineSender::Wait(Options.LingerMs.value_or(-1), StopRequested);
    }
    // Closing the master hangs the line up for the reader.
    SlaveFd.Reset();
    Master.Reset();
    if (Entry && !Entry->Restore())
        Status = 1;
    return Status;
}
