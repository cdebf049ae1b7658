// The readings model with its figures and checks on a 32 KiB report (target: under 2 ms) and
// on 10,000 readings (under 20 ms); its JSON and CSV; the chart of 10,000 readings painted
// (under 16 ms); the client report's PDF of 48 readings (under 300 ms) and of 10,000 (under
// 2 s). Prints figures; not a test.
#include "measurement/Measurement.h"
#include "measurement/chart/ReadingsChart.h"
#include "measurement/clientreport/ClientReport.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

QStringList Fixture() {
    QFile File(QStringLiteral(HALVORN_MEASUREMENT_FIXTURES "/current_long.txt"));
    return File.open(QIODevice::ReadOnly)
               ? QString::fromLatin1(File.readAll()).split(QStringLiteral("\r\n"))
               : QStringList();
}

// The instrument's shape, eight readings a line, every 17th with an event, every 97th invalid.
QStringList Readings(int Count) {
    QStringList Lines{
        QStringLiteral("------------------------"), QStringLiteral("HALVORN 4410"),
        QStringLiteral("Serial #   : 4410-0815"),   QStringLiteral("Start Date : 3/5/2026"),
        QStringLiteral("Start Time : 4:05:09 PM"),  QStringLiteral("------------------------"),
        QStringLiteral("Time Interval   1 Hr"),     QStringLiteral(" Readings  pCi/l")};
    QString Row = QStringLiteral(" ");
    for (int i = 0; i < Count; ++i) {
        const QString Events = i % 17 == 0 ? QStringLiteral("T") : QString();
        const QString Text = i % 97 == 0 ? QStringLiteral("--.-")
                                         : QString::number((i * 37 % 90 + 5) / 10.0, 'f', 1);
        Row += Events.rightJustified(3) + u' ' + Text.rightJustified(4);
        if (i % 8 == 7) {
            Lines << Row + u' ';
            Row = QStringLiteral(" ");
        }
    }
    Lines << Row + u' ' << QString() << QStringLiteral("Overall Avg    4.9 pCi/l")
          << QStringLiteral("EPA Protocol   4.9 pCi/l")
          << QStringLiteral("------------------------");
    return Lines;
}

const TCalibrationDates Calibration{{QStringLiteral("4410-0815"), QDate(2025, 6, 1)}};

void Measure32KiB(benchmark::State& State) {
    const QStringList Lines = Fixture();
    for (auto _ : State)
        benchmark::DoNotOptimize(Measurement::Measure(Lines, {Calibration}, TUnit::PciL));
    State.counters["bytes"] = static_cast<double>(Lines.join(QStringLiteral("\r\n")).size());
}
BENCHMARK(Measure32KiB)->Unit(benchmark::kMillisecond);

void Measure10000(benchmark::State& State) {
    const QStringList Lines = Readings(10000);
    for (auto _ : State)
        benchmark::DoNotOptimize(Measurement::Measure(Lines, {Calibration}, TUnit::PciL));
}
BENCHMARK(Measure10000)->Unit(benchmark::kMillisecond);

void Json10000(benchmark::State& State) {
    const TMeasurement M = Measurement::Measure(Readings(10000), {Calibration}, TUnit::PciL);
    for (auto _ : State)
        benchmark::DoNotOptimize(Measurement::Json(M));
}
BENCHMARK(Json10000)->Unit(benchmark::kMillisecond);

void Csv10000(benchmark::State& State) {
    const TMeasurement M = Measurement::Measure(Readings(10000), {Calibration}, TUnit::PciL);
    for (auto _ : State)
        benchmark::DoNotOptimize(Measurement::Csv(M.Readings));
}
BENCHMARK(Csv10000)->Unit(benchmark::kMillisecond);

void Chart(benchmark::State& State) {
    const TMeasurement M = Measurement::Measure(Readings(static_cast<int>(State.range(0))),
                                                {Calibration}, TUnit::PciL);
    QImage Image(1200, 500, QImage::Format_ARGB32_Premultiplied);
    const TChartPalette Palette = ReadingsChart::LightPalette();
    for (auto _ : State) {
        QPainter Painter(&Image);
        ReadingsChart::Paint(Painter, QRectF(0, 0, 1200, 500), M, TUnit::PciL, Palette);
    }
}
BENCHMARK(Chart)->Arg(48)->Arg(10000)->Unit(benchmark::kMillisecond);

void ClientReportPdf(benchmark::State& State) {
    const QStringList Lines = Readings(static_cast<int>(State.range(0)));
    ClientReport::TParts Parts;
    Parts.Info.Enabled = true;
    Parts.Info.Header << QStringLiteral("Radon Services Ltd.") << QStringLiteral("Phone 555-0100");
    Parts.Info.Footer << QStringLiteral("Tested by A. Tester");
    Parts.Info.Calibration = Calibration;
    qsizetype Bytes = 0;
    for (auto _ : State)
        Bytes = ClientReport::Pdf(Lines, Parts, TUnit::PciL, TPaper::A4).size();
    State.counters["bytes"] = static_cast<double>(Bytes);
}
BENCHMARK(ClientReportPdf)->Arg(48)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QGuiApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
