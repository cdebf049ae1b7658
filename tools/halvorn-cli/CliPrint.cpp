#include "CliPrint.h"

#include "CliIo.h"

#include "files/ReportPrinter.h"
#include "files/ReportText.h"
#include "measurement/CalibrationDates.h"
#include "measurement/JobFile.h"
#include "measurement/chart/ReadingsChart.h"
#include "measurement/clientreport/ClientReport.h"
#include "platform/AtomicWrite.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"
#include "settings/EditorFont.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QPageSize>
#include <QPrinter>
#include <climits>

namespace CliCommands {

void Print(const TCliOptions& Options) {
    const QStringList Lines = CliIo::ReadReportLines(Options.Input);

    // The page as a PDF printer of the chosen paper lays it out, margins included.
    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    const TPaper Paper = Options.Paper.value_or(Paper::LocalePaper());
    Printer.setPageSize(QPageSize(Paper == TPaper::Letter ? QPageSize::Letter : QPageSize::A4));

    Settings::TEditorFont Font;
    Font.Name = Options.FontFamily;
    Font.Size = Options.FontSize;
    PrintReportToPdf(Options.Output, Printer.pageLayout(), Options.Dpi, Settings::FontOf(Font),
                     Lines);
}

namespace {

// The job of --job FILE; its logo named relative to FILE's folder.
TJobFile ReadJob(const QString& Path) {
    const QString Shown = MessageText::Quoted(Path, PATH_MAX);
    const std::optional<QByteArray> Bytes = ReportText::ReadAtMost(Path, JobFile::MaxBytes);
    if (!Bytes)
        throw Exception(QStringLiteral("The job file %1 holds more than %2 KiB")
                            .arg(Shown)
                            .arg(JobFile::MaxBytes >> 10));
    TJobFile Job;
    try {
        Job = JobFile::Parse(*Bytes);
    } catch (const Exception& E) {
        throw Exception(QStringLiteral("The job file %1 was refused: %2").arg(Shown, E.Message));
    }
    if (Job.Logo && !Job.Logo->isEmpty())
        Job.Logo = QFileInfo(Path).absoluteDir().absoluteFilePath(*Job.Logo);
    return Job;
}

} // namespace

void ReportPdf(const TCliOptions& Options) {
    const QStringList Lines = CliIo::ReadReportLines(Options.Input);
    ClientReport::TParts Parts;
    Parts.Info = CliIo::LoadReportInfo(Options);
    Parts.Info.Calibration = CalibrationDates::Read();
    Parts.Level = CliIo::ChosenLevel(Options);
    const Settings::TReader Stored;
    Parts.Inspector = Stored.Inspector(Stored.InstallDir());
    if (!Options.JobFile.isEmpty()) {
        const TJobFile Job = ReadJob(Options.JobFile);
        Parts.Job = Job.Job;
        Parts.Inspector = Job.Over(Parts.Inspector);
    }
    // Refused here, so that the message is not taken for one about the report.
    if (!Parts.Inspector.LogoFile.isEmpty())
        if (const QString Problem = ClientReport::LogoProblem(Parts.Inspector.LogoFile);
            !Problem.isEmpty())
            throw Exception(Problem);
    const TUnit Unit = CliIo::ChosenUnit(Options);
    QByteArray Pdf;
    try {
        Pdf = ClientReport::Pdf(Lines, Parts, Unit, Options.Paper.value_or(Paper::LocalePaper()));
    } catch (const Exception& E) {
        // The model's refusal does not say which report it was.
        throw Exception(MessageText::Shown(Options.Input, PATH_MAX) + QStringLiteral(": ") +
                        E.Message);
    }
    AtomicWrite::ReplaceFile(Options.Output, Pdf);
}

void Chart(const TCliOptions& Options) {
    const TUnit Unit = CliIo::ChosenUnit(Options);
    const TMeasurement Measured = CliIo::Measured(Options, Unit);
    AtomicWrite::ReplaceFile(
        Options.Output,
        ReadingsChart::RenderPng(Measured, Unit, Options.ChartSize, ReadingsChart::LightPalette()));
}

} // namespace CliCommands
