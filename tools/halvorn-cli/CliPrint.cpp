#include "CliPrint.h"

#include "CliIo.h"

#include "files/ReportPrinter.h"
#include "measurement/CalibrationDates.h"
#include "measurement/chart/ReadingsChart.h"
#include "measurement/clientreport/ClientReport.h"
#include "platform/AtomicWrite.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"
#include "settings/EditorFont.h"

#include <QPageSize>
#include <QPrinter>
#include <climits>

namespace CliCommands {

void Print(const TCliOptions& Options) {
    const QStringList Lines = CliIo::ReadReportLines(Options.Input);

    // The page as a PDF printer of the chosen paper lays it out, margins included.
    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    const TPaper Paper = Options.Paper.value_or(CliIo::LocalePaper());
    Printer.setPageSize(QPageSize(Paper == TPaper::Letter ? QPageSize::Letter : QPageSize::A4));

    Settings::TEditorFont Font;
    Font.Name = Options.FontFamily;
    Font.Size = Options.FontSize;
    PrintReportToPdf(Options.Output, Printer.pageLayout(), Options.Dpi, Settings::FontOf(Font),
                     Lines);
}

void ReportPdf(const TCliOptions& Options) {
    const QStringList Lines = CliIo::ReadReportLines(Options.Input);
    const TReportInfo Info = CliIo::LoadReportInfo(Options);
    const TCalibrationDates Calibration = CalibrationDates::Read();
    const TUnit Unit = CliIo::ChosenUnit(Options);
    QByteArray Pdf;
    try {
        Pdf = ClientReport::Pdf(Lines, Info, Calibration, Unit,
                                Options.Paper.value_or(CliIo::LocalePaper()));
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
