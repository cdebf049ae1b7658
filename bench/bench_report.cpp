// Report builder on a 32 KiB printout and the rebuild of its report. Prints figures; not a
// test. Target: a build well under 2 ms.
#include "report/ApplyInfo.h"
#include "report/ReportBuilder.h"

#include <QFile>
#include <benchmark/benchmark.h>

namespace {

QByteArray LongPrintout() {
    QFile File(QStringLiteral(HALVORN_REPORT_FIXTURES "/long.bin"));
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

TReportInfo Info() {
    TReportInfo Info;
    Info.Enabled = true;
    Info.Header = QStringList{QStringLiteral("Radon Services Ltd."), QStringLiteral("Job 17")};
    Info.Footer = QStringList{QStringLiteral("Tested by A. Berg")};
    Info.SerialNumber = QStringLiteral("4410-0815");
    Info.Location = QStringLiteral("Basement");
    Info.StartDate = Info.StartTime = QDateTime(QDate(2026, 3, 5), QTime(16, 5, 9));
    Info.EndDate = Info.EndTime = QDateTime(QDate(2026, 3, 7), QTime(0, 0));
    return Info;
}

const QLocale UnitedStates(QLocale::English, QLocale::UnitedStates);

void BuildReport32KiB(benchmark::State& State) {
    const QByteArray Download = LongPrintout();
    const TReportInfo Report = Info();
    for (auto _ : State)
        benchmark::DoNotOptimize(BuildReport(Download, Report, UnitedStates));
    State.SetBytesProcessed(State.iterations() * Download.size());
    State.counters["bytes"] = static_cast<double>(Download.size());
}
BENCHMARK(BuildReport32KiB)->Unit(benchmark::kMicrosecond);

void ApplyInfo32KiB(benchmark::State& State) {
    const TReportInfo Report = Info();
    QStringList Lines = BuildReport(LongPrintout(), Report, UnitedStates);
    Lines.prepend(QStringLiteral("------------------------"));
    Lines.append(QStringLiteral("------------------------"));
    for (auto _ : State)
        benchmark::DoNotOptimize(ApplyInfo(Lines, Report, UnitedStates));
    State.counters["lines"] = static_cast<double>(Lines.size());
}
BENCHMARK(ApplyInfo32KiB)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
