#include "CliPrint.h"

#include "CliIo.h"

#include "files/ReportPrinter.h"

#include <QFont>
#include <QPageSize>
#include <QPrinter>

namespace CliCommands {

void Print(const TCliOptions& Options) {
    const QStringList Lines = CliIo::ReadReportLines(Options.Input);

    // The page as a PDF printer of the chosen paper lays it out, margins included.
    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    const TPaper Paper = Options.Paper.value_or(CliIo::LocalePaper());
    Printer.setPageSize(QPageSize(Paper == TPaper::Letter ? QPageSize::Letter : QPageSize::A4));

    QFont Font(Options.FontFamily, Options.FontSize);
    Font.setStyleHint(QFont::TypeWriter);
    PrintReportToPdf(Options.Output, Printer.pageLayout(), Options.Dpi, Font, Lines);
}

} // namespace CliCommands
