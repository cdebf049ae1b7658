// What a long or crafted report costs: its chart (readings model included, as "chart" runs it)
// and client report, in time and peak memory, and how long the window's readings panel keeps
// the window waiting. Each case runs in a process of its own, so that its peak memory is its
// own:
//   bench_bounds crafted     490 KB of readings with "Time Interval 35791394 M"
//   bench_bounds crafted2m   2 MB of them
//   bench_bounds ordinary    16 MiB of hourly readings in the instrument's shape
//   bench_bounds dense       16 MiB of "1 " (the most values a report can hold)
//   bench_bounds decimals    16 MiB with one value of 8 MiB of decimals first
//   bench_bounds panel       the window with 16 MiB in the editor, the panel shown
// Targets: the chart under 2 s and 800 MB, the window never waiting over 100 ms.
// Prints figures; not a test.
#include "Controls.h"
#include "app/MainForm.h"
#include "app/ReadingsPanel.h"
#include "measurement/chart/ReadingsChart.h"
#include "measurement/clientreport/ClientReport.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

constexpr qsizetype MiB16 = 16 * 1024 * 1024;

// A report of the instrument's shape around Table, Bytes long at most.
QStringList Report(const QString& Interval, const std::function<QString(qsizetype)>& Row,
                   qsizetype Bytes) {
    QStringList Lines{"------------------------",
                      "HALVORN 4410",
                      "Serial #   : 4410-0815",
                      "Start Date : 3/5/2026",
                      "Start Time : 4:05:09 PM",
                      "------------------------",
                      Interval,
                      " Readings  pCi/l"};
    qsizetype Size = 0;
    for (qsizetype i = 0; Size < Bytes - 200; ++i) {
        Lines << Row(i);
        Size += Lines.last().size() + 2;
    }
    Lines << QString() << "Overall Avg    4.9 pCi/l"
          << "EPA Protocol   4.9 pCi/l"
          << "------------------------";
    return Lines;
}

QString Hourly(qsizetype i) {
    QString Row = QStringLiteral(" ");
    for (int k = 0; k < 8; ++k)
        Row += QString((i * 8 + k) % 17 == 0 ? "T" : "").rightJustified(3) + u' ' +
               QString::number(((i * 8 + k) * 37 % 90 + 5) / 10.0, 'f', 1).rightJustified(4);
    return Row + u' ';
}

QStringList Case(const char* Name) {
    const QString Crafted = QStringLiteral("Time Interval 35791394 M");
    const QString Hour = QStringLiteral("Time Interval   1 Hr");
    if (!std::strcmp(Name, "crafted"))
        return Report(Crafted, Hourly, 490 * 1024);
    if (!std::strcmp(Name, "crafted2m"))
        return Report(Crafted, Hourly, 2 * 1024 * 1024);
    if (!std::strcmp(Name, "ordinary") || !std::strcmp(Name, "panel"))
        return Report(Hour, Hourly, MiB16);
    if (!std::strcmp(Name, "dense"))
        return Report(
            Hour, [](qsizetype) { return QString(1000, u'1').replace(u'1', "1 "); }, MiB16);
    if (!std::strcmp(Name, "decimals")) {
        QStringList Lines = Report(Hour, Hourly, MiB16 / 2);
        Lines.insert(8, QStringLiteral(" 1.") + QString(MiB16 / 2, u'0') + QStringLiteral("1 "));
        return Lines;
    }
    return {};
}

long PeakMiB() {
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    return Usage.ru_maxrss / 1024;
}

// The longest the event loop went without running a 5 ms timer while Work's result came.
double LongestWait(const std::function<void()>& Start, const std::function<bool()>& Done) {
    QElapsedTimer Gap;
    double Longest = 0;
    QTimer Tick;
    QObject::connect(&Tick, &QTimer::timeout, [&] {
        Longest = std::max(Longest, Gap.nsecsElapsed() / 1e6);
        Gap.restart();
    });
    Tick.start(5);
    Gap.start();
    Start();
    Longest = std::max(Longest, Gap.nsecsElapsed() / 1e6);
    Gap.restart();
    while (!Done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    return std::max(Longest, Gap.nsecsElapsed() / 1e6);
}

int Panel(const QStringList& Lines) {
    QTemporaryDir Config;
    qputenv("XDG_CONFIG_HOME", Config.path().toUtf8());
    TRegistry Reg;
    Reg.OpenKey(HalvornSettingsKey, true);
    Reg.WriteString(QStringLiteral("InstallDir"), Config.path());
    Reg.WriteInteger(QStringLiteral("Port"), 0);
    Reg.WriteInteger(QStringLiteral("InfoEnable"), 0);
    Reg.WriteInteger(QStringLiteral("Readings"), 1);
    TMainForm Form;
    Form.FormCreate();
    Form.resize(1000, 800);
    Form.show();
    QElapsedTimer Clock;
    Clock.start();
    Memo(Form)->SetLines(Lines, false);
    QCoreApplication::processEvents();
    std::printf("%-10s editor filled in %.0f ms\n", "panel", Clock.nsecsElapsed() / 1e6);
    auto* Shown = Control<TReadingsPanel>(Form, QStringLiteral("ReadingsPanel"));
    const int Before = Shown->Updates();
    QElapsedTimer Whole;
    Whole.start();
    const double Longest =
        LongestWait([&] { Fire(Form, "tmrReadings"); },
                    [&] { return Shown->Updates() > Before && !Shown->Measuring(); });
    std::printf("%-10s measured in %.0f ms; the window waited %.1f ms at most; peak %ld MiB\n",
                "panel", Whole.nsecsElapsed() / 1e6, Longest, PeakMiB());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const char* Name = argc > 1 ? argv[1] : "";
    const QStringList Lines = Case(Name);
    if (Lines.isEmpty()) {
        std::fprintf(stderr, "bench_bounds crafted|crafted2m|ordinary|dense|decimals|panel\n");
        return 2;
    }
    if (!std::strcmp(Name, "panel"))
        return Panel(Lines);
    qsizetype Bytes = 0;
    for (const QString& Line : Lines)
        Bytes += Line.size() + 2;
    QElapsedTimer Clock;
    Clock.start();
    const TMeasurement M = Measurement::Measure(Lines, {}, TUnit::PciL);
    const QByteArray Png =
        ReadingsChart::RenderPng(M, TUnit::PciL, QSize(1200, 500), ReadingsChart::LightPalette());
    std::printf("%-10s %6.2f MiB, %8zu values: chart in %6.0f ms, peak %4ld MiB\n", Name,
                Bytes / 1048576.0, M.Readings.Values.size(), Clock.nsecsElapsed() / 1e6, PeakMiB());
    if (!std::strncmp(Name, "crafted", 7)) {
        Clock.restart();
        const QByteArray Pdf = ClientReport::Pdf(Lines, {}, TUnit::PciL, TPaper::A4);
        std::printf("%-10s client report (%lld KiB) in %.0f ms, peak %ld MiB\n", Name,
                    static_cast<long long>(Pdf.size() / 1024), Clock.nsecsElapsed() / 1e6,
                    PeakMiB());
    }
    return 0;
}
