// Serial acquisition figures: draining a full input queue, probing COM1..COM4 of this machine,
// the simulator's pacing, and a whole download from the simulator at 1200 baud; with "long" a
// download of about 40 KB at 1200 baud. Prints figures; not a test.
#include "acquisition/Download.h"
#include "acquisition/TSerialPort.h"

#include "Printout.h"

#include <QCoreApplication>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point Start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
}

void Report(const char* What, std::vector<double> Ms) {
    std::sort(Ms.begin(), Ms.end());
    std::printf("%-46s %3zu rounds  min %8.3f ms  median %8.3f ms  max %8.3f ms\n", What, Ms.size(),
                Ms.front(), Ms[Ms.size() / 2], Ms.back());
}

// A raw pseudo-terminal pair; our slave descriptor keeps the line alive.
struct TLine {
    int Master = -1;
    int Slave = -1;
    QString Path;
    TLine() {
        Master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        grantpt(Master);
        unlockpt(Master);
        Path = QString::fromLocal8Bit(ptsname(Master));
        Slave = open(ptsname(Master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios Raw{};
        tcgetattr(Slave, &Raw);
        cfmakeraw(&Raw);
        tcsetattr(Slave, TCSANOW, &Raw);
    }
    ~TLine() {
        close(Slave);
        close(Master);
    }
};

void DrainFullQueue() {
    SimPrintout::TOptions Options;
    Options.Hours = 1600;
    QByteArray Data;
    while (Data.size() < qsizetype(TSerialPort::InputQueueSize))
        Data += SimPrintout::Generate(Options);
    // Ending on a line end, so no piece waits for a byte that does not come.
    Data.truncate(TSerialPort::InputQueueSize - 1);
    Data += '\r';
    std::vector<double> Ms;
    for (int Round = 0; Round < 20; ++Round) {
        TLine Line;
        TSerialPort Port;
        Port.SetPortName(Line.Path);
        Port.Open();
        qsizetype Sent = 0;
        while (Port.BytesWaiting() < TSerialPort::InputQueueSize) {
            const ssize_t Written = write(Line.Master, Data.constData() + Sent, Data.size() - Sent);
            if (Written > 0)
                Sent += Written;
        }
        char Buffer[TDownload::ReceiveBufferSize];
        qsizetype Read = 0;
        const auto Start = Clock::now();
        while (Port.BytesWaiting() > 0) {
            std::fill(std::begin(Buffer), std::end(Buffer), 0);
            Read += Port.ReadLine(Buffer, sizeof Buffer) - 1;
        }
        Ms.push_back(MsSince(Start));
        if (Read != Data.size())
            std::printf("drained %lld of %lld bytes!\n", static_cast<long long>(Read),
                        static_cast<long long>(Data.size()));
    }
    Report("drain 32768-byte queue by ReadLine (target <20)", Ms);
}

void ProbePorts() {
    std::vector<double> Ms;
    bool Present[4] = {};
    for (int Round = 0; Round < 20; ++Round) {
        const auto Start = Clock::now();
        for (int Port = 1; Port <= 4; ++Port)
            Present[Port - 1] = PortPresent(Port);
        Ms.push_back(MsSince(Start));
    }
    Report("PortPresent COM1..COM4 (target <50)", Ms);
    std::printf("%-46s COM1 %d  COM2 %d  COM3 %d  COM4 %d\n", "  present on this machine",
                Present[0], Present[1], Present[2], Present[3]);
}

struct TSimRun {
    QProcess Process;
    QString Path;
    explicit TSimRun(const QStringList& Arguments) {
        Process.start(QStringLiteral(HALVORN_SIM_PROGRAM), Arguments);
        Process.waitForReadyRead(10000);
        Path = QString::fromLocal8Bit(Process.readLine().trimmed());
    }
    ~TSimRun() {
        Process.terminate();
        Process.waitForFinished(5000);
    }
};

void SimulatorPacing() {
    const int Baud = 4800;
    SimPrintout::TOptions Options;
    const qsizetype Size = SimPrintout::Generate(Options).size();
    TSimRun Sim({"--baud", QString::number(Baud)});
    TSerialPort Port;
    Port.SetPortName(Sim.Path);
    Port.Open();
    qsizetype Read = 0;
    double LongestGap = 0;
    Clock::time_point First;
    Clock::time_point Last;
    while (Read < Size) {
        if (!Port.ReadByte())
            break;
        const auto Now = Clock::now();
        if (Read == 0)
            First = Now;
        else
            LongestGap =
                std::max(LongestGap, std::chrono::duration<double, std::milli>(Now - Last).count());
        Last = Now;
        ++Read;
    }
    const double Seconds = std::chrono::duration<double>(Last - First).count();
    std::printf("%-46s %lld bytes in %.2f s = %.1f bytes/s (expected %d), longest gap %.1f ms\n",
                "halvorn-sim --baud 4800", static_cast<long long>(Read), Seconds,
                (Read - 1) / Seconds, Baud / 10, LongestGap);
}

// A whole download at 1200 baud through the window's tick rule; Hours sets the printout's length.
void DownloadAt1200(int Hours) {
    SimPrintout::TOptions Options;
    Options.Hours = Hours;
    const QByteArray Expected = SimPrintout::Generate(Options);
    TSimRun Sim({"--hours", QString::number(Hours)});
    TSerialPort Port;
    Port.SetPortName(Sim.Path);
    TDownload Download(Port);
    const auto Start = Clock::now();
    Download.Start();
    int Ticks = 0;
    auto Next = Start;
    do {
        Next += std::chrono::milliseconds(TDownload::TickIntervalMs);
        std::this_thread::sleep_until(Next);
        ++Ticks;
    } while (!Download.Tick());
    const double Spent = MsSince(Start);
    const double LineTime = Expected.size() * 10.0 * 1000.0 / 1200.0;
    std::printf("%-46s %lld of %lld bytes, %s, %d ticks, %.0f ms (line time %.0f ms, ended %.0f ms "
                "after)\n",
                qPrintable(QStringLiteral("download of %1 hours at 1200 baud").arg(Hours)),
                static_cast<long long>(Download.DownloadText().size()),
                static_cast<long long>(Expected.size()),
                Download.DownloadText() == Expected ? "exact" : "DIFFERENT", Ticks, Spent, LineTime,
                Spent - LineTime);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication App(argc, argv);
    // "long": a printout of about 40 KB, over 32 KiB, at 1200 baud (five and a half minutes).
    if (argc > 1 && QByteArray(argv[1]) == "long") {
        DownloadAt1200(2000);
        return 0;
    }
    DrainFullQueue();
    ProbePorts();
    SimulatorPacing();
    DownloadAt1200(4);
    return 0;
}
