// Whole-process timings of halvorn-cli: what a script pays per call, as wall-clock time and as
// the process's CPU time (which other load on the machine does not inflate). Prints figures;
// not a test. Run: build/<dir>/bench/bench_cli [runs]
#include "LargeStore.h"
#include "Printout.h"
#include "files/ReportText.h"
#include "report/ReportBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

struct TFigures {
    double Min, Median, Max, CpuMedian;
};

// User plus system time of all children waited for so far, in milliseconds.
double ChildrenCpuMs() {
    rusage Usage{};
    getrusage(RUSAGE_CHILDREN, &Usage);
    const auto Ms = [](const timeval& T) { return T.tv_sec * 1e3 + T.tv_usec / 1e3; };
    return Ms(Usage.ru_utime) + Ms(Usage.ru_stime);
}

TFigures Time(const QStringList& Arguments, int Runs, int ExpectedExit = 0) {
    std::vector<double> Ms, Cpu;
    for (int i = 0; i < Runs; ++i) {
        const double CpuBefore = ChildrenCpuMs();
        QProcess P;
        P.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer Clock;
        Clock.start();
        P.start(QStringLiteral(HALVORN_CLI_PROGRAM), Arguments);
        P.waitForFinished(60000);
        Ms.push_back(Clock.nsecsElapsed() / 1e6);
        Cpu.push_back(ChildrenCpuMs() - CpuBefore);
        if (P.exitCode() != ExpectedExit) {
            std::fprintf(stderr, "halvorn-cli %s: exit %d: %s\n",
                         Arguments.join(' ').toLocal8Bit().constData(), P.exitCode(),
                         P.readAllStandardError().constData());
            std::exit(1);
        }
    }
    std::sort(Ms.begin(), Ms.end());
    std::sort(Cpu.begin(), Cpu.end());
    return {Ms.front(), Ms[Ms.size() / 2], Ms.back(), Cpu[Cpu.size() / 2]};
}

void Show(const char* What, const TFigures& F) {
    std::printf("%-38s wall: min %7.1f  median %7.1f  max %7.1f ms; cpu median %6.1f ms\n", What,
                F.Min, F.Median, F.Max, F.CpuMedian);
}

void Write(const QString& Path, const QByteArray& Bytes) {
    QFile F(Path);
    if (!F.open(QIODevice::WriteOnly) || F.write(Bytes) != Bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", Path.toLocal8Bit().constData());
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    const int Runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    QTemporaryDir Dir;
    // Never the user's settings store, nor a first start in the user's home.
    qputenv("XDG_CONFIG_HOME", Dir.path().toLocal8Bit());
    qputenv("HOME", Dir.path().toLocal8Bit());

    SimPrintout::TOptions Options;
    Options.Hours = 1;
    QByteArray Capture;
    while ((Capture = SimPrintout::Generate(Options)).size() < 32 * 1024)
        Options.Hours += 16;
    Capture.truncate(32 * 1024);
    Write(Dir.filePath("capture.bin"), Capture);

    Options.Hours = 8900;
    QStringList Report = BuildReport(SimPrintout::Generate(Options), TReportInfo{});
    Report = Report.mid(0, 10000);
    Write(Dir.filePath("report.txt"), ReportText::EncodeText(Report));

    std::printf("%d runs each\n", Runs);
    Show("--version (process start-up)", Time({"--version"}, Runs));
    Show("build of a 32 KiB capture",
         Time({"build", Dir.filePath("capture.bin"), "-o", Dir.filePath("built.txt")}, Runs));
    Show(qPrintable(QStringLiteral("export of a %1-line report").arg(Report.size())),
         Time({"export", Dir.filePath("report.txt"), "-o", Dir.filePath("export.txt")}, Runs));

    Write(Dir.filePath("short.txt"), ReportText::EncodeText(Report.mid(0, 150)));
    Show("print of a 150-line report to PDF",
         Time({"print", Dir.filePath("short.txt"), "-o", Dir.filePath("short.pdf")}, Runs));

    // The whole command: the store, every serial device and its state, the process tree.
    Show("ports (4 ports, every device)", Time({"ports"}, Runs));
    Show("ports --json", Time({"ports", "--json"}, Runs));

    // --wait 1 against a line that stays silent: how long until exit status 3.
    QProcess Sim;
    Sim.start(QStringLiteral(HALVORN_SIM_PROGRAM), {"--delay", "600000"});
    if (!Sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "halvorn-sim did not start\n");
        return 1;
    }
    const QString Device = QString::fromLocal8Bit(Sim.readLine().trimmed());
    Show("download --wait 1 on a silent line",
         Time({"download", Device, "--wait", "1"}, std::min(Runs, 5), 3));
    Sim.terminate();
    Sim.waitForFinished(5000);

    // What a large settings store adds to a command that reads it.
    QDir().mkpath(Dir.filePath("Tamsor"));
    const QByteArray Store = LargeStore(2 * 1024 * 1024);
    Write(Dir.filePath("Tamsor/registry.reg"), Store);
    Show(qPrintable(QStringLiteral("build, as above, with a %1 KB store").arg(Store.size() / 1024)),
         Time({"build", Dir.filePath("capture.bin"), "-o", Dir.filePath("built.txt")}, Runs));
    return 0;
}
