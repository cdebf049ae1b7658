#include "CliPrint.h"

#include "CliIo.h"

#include "files/ReportPrinter.h"
#include "platform/Exception.h"

#include <QFileInfo>
#include <QFont>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace CliCommands {

void Print(const TCliOptions& Options) {
    const QStringList Lines = CliIo::ReadReportLines(Options.Input);
    const QString Target = QFileInfo(Options.Output).absoluteFilePath();

    // The printer writes its file as it goes; a finished job replaces the target at once.
    QTemporaryFile Partial(QFileInfo(Target).absolutePath() +
                           QStringLiteral("/.halvorn-cli-XXXXXX"));
    if (!Partial.open())
        throw Exception(
            QStringLiteral("Cannot create file %1: %2").arg(Options.Output, Partial.errorString()));
    Partial.close();

    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(Partial.fileName());
    Printer.setResolution(Options.Dpi);
    const TPaper Paper = Options.Paper.value_or(CliIo::LocalePaper());
    Printer.setPageSize(QPageSize(Paper == TPaper::Letter ? QPageSize::Letter : QPageSize::A4));

    QFont Font(Options.FontFamily, Options.FontSize);
    Font.setStyleHint(QFont::TypeWriter);
    try {
        PrintReport(Printer, Font, Lines, QString());
    } catch (const Exception& E) {
        throw Exception(QStringLiteral("Cannot create file %1: %2").arg(Options.Output, E.Message));
    }

    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    const QByteArray From = QFile::encodeName(Partial.fileName());
    if (::chmod(From.constData(), 0666 & ~Mask) != 0 ||
        ::rename(From.constData(), QFile::encodeName(Target).constData()) != 0)
        throw Exception(QStringLiteral("Cannot create file %1: %2")
                            .arg(Options.Output, QString::fromLocal8Bit(std::strerror(errno))));
    Partial.setAutoRemove(false);
}

} // namespace CliCommands
