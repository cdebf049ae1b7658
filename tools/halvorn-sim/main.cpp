// halvorn-sim: a simulated Halvorn 4410 on a pseudo-terminal, for tests, benchmarks and
// trying a download without an instrument. See --help.
#include "LineSender.h"
#include "Printout.h"
#include "SimOptions.h"

#include "platform/Exception.h"
#include "platform/PortMap.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

// Blocked outside the sender's waits, so a stop request is never missed between a check and
// the wait after it.
void CatchStopSignals() {
    struct sigaction Action {};
    Action.sa_handler = OnStopSignal;
    sigemptyset(&Action.sa_mask);
    sigaction(SIGTERM, &Action, nullptr);
    sigaction(SIGINT, &Action, nullptr);
    sigset_t Block;
    sigemptyset(&Block);
    sigaddset(&Block, SIGTERM);
    sigaddset(&Block, SIGINT);
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
    const int Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0)
        return Failure("cannot create a pseudo-terminal");
    char SlavePath[256];
    if (::ptsname_r(Master, SlavePath, sizeof SlavePath) != 0)
        return Failure("cannot name the pseudo-terminal");
    // Our own slave descriptor keeps the line raw and alive until a reader comes: without a
    // reader's settings the line would echo and turn CR into LF.
    const int Slave = ::open(SlavePath, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Slave < 0)
        return Failure("cannot open the pseudo-terminal");
    termios Raw{};
    if (::tcgetattr(Slave, &Raw) != 0)
        return Failure("cannot read the line settings");
    ::cfmakeraw(&Raw);
    ::cfsetspeed(&Raw, B1200);
    if (::tcsetattr(Slave, TCSANOW, &Raw) != 0)
        return Failure("cannot set the line raw");

    if (Options.ComPort != 0) {
        try {
            PortMap::MapPort(QStringLiteral("COM%1").arg(Options.ComPort),
                             QString::fromLocal8Bit(SlavePath));
        } catch (const Exception& Error) {
            std::fprintf(stderr, "halvorn-sim: %s\n", Error.Message.toLocal8Bit().constData());
            return 1;
        }
    }
    std::printf("%s\n", SlavePath);
    std::fflush(stdout);

    int Status = 0;
    if (LineSender::Wait(Options.DelayMs, StopRequested)) {
        const LineSender::TResult Result = LineSender::Send(Master, Data, Options, StopRequested);
        if (Result == LineSender::TResult::Failed)
            Status = 1;
        else if (Result == LineSender::TResult::Sent)
            LineSender::Wait(Options.LingerMs.value_or(-1), StopRequested);
    }
    // Closing the master hangs the line up for the reader.
    ::close(Slave);
    ::close(Master);
    return Status;
}
