#include "CliDownloadWords.h"

#include "CliArchive.h"
#include "acquisition/DownloadFault.h"
#include "platform/MessageText.h"

#include <QLocale>
#include <climits>

namespace CliDownloadWords {

namespace {

// Message and where the bytes are (or why nowhere).
QString Kept(const QString& Message, const TDownloadResult& R, const QString& Where) {
    return Where.isEmpty() ? Message + QStringLiteral("; the bytes received could not be kept: ") +
                                 R.CaptureError
                           : Message + QStringLiteral("; the bytes received are in ") + Where;
}

} // namespace

void Raise(const TDownloadResult& R, const TCliOptions& Options, const TWritten& Written) {
    const QString Port = MessageText::Shown(Options.Input, PATH_MAX);
    const QString Where = R.ArchiveId > 0           ? CliArchive::Where(Options, R.ArchiveId)
                          : R.CapturePath.isEmpty() ? QString()
                                                    : MessageText::Shown(R.CapturePath, PATH_MAX);
    // Why the archive did not take them, its details last.
    const QString ArchiveError =
        R.ArchiveError.isEmpty() ? QString() : QStringLiteral(". ") + R.ArchiveError;
    const QString NoData = QStringLiteral("No data received on ") + Port;
    switch (R.End) {
    case TDownloadResult::TEnd::Stopped:
        if (R.Bytes.isEmpty())
            throw ECliStopped(
                R.Signal, QStringLiteral("Stopped listening on %1 before any byte came").arg(Port));
        throw ECliStopped(
            R.Signal,
            Kept(
                QStringLiteral("The download on %1 was stopped after %2 bytes; no report was made")
                    .arg(Port,
                         QLocale(QLocale::English, QLocale::UnitedStates).toString(R.Bytes.size())),
                R, Where) +
                ArchiveError);
    case TDownloadResult::TEnd::TimedOut:
        throw ECliNoData(NoData);
    case TDownloadResult::TEnd::Interrupted:
        throw Exception(DownloadFault::Line(R, Where) + ArchiveError);
    case TDownloadResult::TEnd::Complete:
        break;
    }
    if (R.Report.isEmpty())
        throw ECliNoData(
            Kept(NoData + QStringLiteral(": the printout holds no line of a report"), R, Where) +
            ArchiveError);
    if (!Written.ReportError.isEmpty())
        throw Exception(Kept(Written.ReportError, R, Where) + ArchiveError);
    const QString ReportIn =
        Options.Output.isEmpty()
            ? QString()
            : QStringLiteral("; the report is in ") + MessageText::Shown(Options.Output, PATH_MAX);
    if (!Written.ExportError.isEmpty())
        throw Exception(Written.ExportError + ReportIn + ArchiveError);
    // The report is out; the archive's failure is still a failure, and the bytes are kept.
    if (!R.ArchiveError.isEmpty()) {
        const QString Head = R.ArchiveError.section(QLatin1Char('\n'), 0, 0);
        const QString Details = R.ArchiveError.section(QLatin1Char('\n'), 1);
        throw Exception(
            Kept(Head.chopped(Head.endsWith(QLatin1Char('.')) ? 1 : 0) + ReportIn, R, Where) +
            (Details.isEmpty() ? QString() : QLatin1Char('\n') + Details));
    }
}

} // namespace CliDownloadWords
