// Save, export and open of a 10,000-line report (targets: under 50 ms each) and printing
// 1,000 lines to PDF (under 1 s). Prints figures; not a test.
#include "files/ExportWriter.h"
#include "files/ReportPrinter.h"
#include "files/ReportText.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A report of the instrument's shape with readings enough for Count lines.
QStringList Report(int Count) {
    QStringList Lines{QStringLiteral("Radon Services Ltd."),
                      QStringLiteral("HALVORN 4410"),
                      QStringLiteral("Serial #   : 4410-0815"),
                      QStringLiteral("------------------------"),
                      QStringLiteral("Time Interval   1 Hour"),
                      QStringLiteral(" Hour pCi/l  Hour pCi/l  Hour pCi/l  Hour pCi/l ")};
    for (int i = 0; Lines.size() < Count - 5; ++i) {
        const auto Reading = [i](int k) {
            return QString::number((i * 7 + k) % 99 / 10.0, 'f', 1);
        };
        Lines << QStringLiteral("   %1 T  %2    %3 P  %4 ")
                     .arg(Reading(0), Reading(1), Reading(2), Reading(3));
    }
    Lines << QString() << QStringLiteral("Overall Avg    2.9 pCi/l")
          << QStringLiteral("EPA Protocol   3.0 pCi/l")
          << QStringLiteral("------------------------") << QStringLiteral("Tested by A. Berg");
    return Lines;
}

QTemporaryDir* Dir = nullptr;

void SaveText10000(benchmark::State& State) {
    const QStringList Lines = Report(10000);
    const QString Path = Dir->filePath(QStringLiteral("report_t.txt"));
    for (auto _ : State)
        ReportText::WriteReportText(Path, Lines);
}
BENCHMARK(SaveText10000)->Unit(benchmark::kMillisecond);

void Export10000(benchmark::State& State) {
    const QStringList Lines = Report(10000);
    const QString Path = Dir->filePath(QStringLiteral("report_s.txt"));
    for (auto _ : State)
        ExportWriter::WriteExport(Path, Lines);
}
BENCHMARK(Export10000)->Unit(benchmark::kMillisecond);

void BuildExport10000(benchmark::State& State) {
    const QStringList Lines = Report(10000);
    for (auto _ : State)
        benchmark::DoNotOptimize(ExportWriter::BuildExport(Lines));
}
BENCHMARK(BuildExport10000)->Unit(benchmark::kMillisecond);

void Open10000(benchmark::State& State) {
    const QString Path = Dir->filePath(QStringLiteral("open.txt"));
    ReportText::WriteReportText(Path, Report(10000));
    for (auto _ : State)
        benchmark::DoNotOptimize(ReportText::ReadReportText(Path));
}
BENCHMARK(Open10000)->Unit(benchmark::kMillisecond);

void PrintPdf1000(benchmark::State& State) {
    const QStringList Lines = Report(1000);
    const QString Path = Dir->filePath(QStringLiteral("report.pdf"));
    for (auto _ : State) {
        QPrinter Printer(QPrinter::HighResolution);
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(Path);
        Printer.setResolution(600);
        PrintReport(Printer, QFont(QStringLiteral("Courier New"), 10), Lines, QString());
    }
}
BENCHMARK(PrintPdf1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication App(argc, argv);
    QTemporaryDir Temporary;
    Dir = &Temporary;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
