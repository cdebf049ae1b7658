#include "app/DownloadWords.h"

#include "acquisition/DownloadFault.h"
#include "platform/MessageText.h"

#include <QLocale>

namespace DownloadWords {

namespace {

using TEnd = TDownloadResult::TEnd;

QString Where(const TDownloadResult& R, const QString& ArchivePath) {
    return R.ArchiveId > 0 ? TArchive::Where(ArchivePath, R.ArchiveId) : R.CapturePath;
}

// A complete download the archive did not take: what happened first, the bytes' whereabouts,
// the details last.
QString NotArchived(const TDownloadResult& R) {
    // An archive that takes no downloads was named once already; here only what it means.
    const QString Head = R.ArchiveError.isEmpty()
                             ? QStringLiteral("The download was not archived: the archive "
                                              "takes no downloads.")
                             : R.ArchiveError.section(u'\n', 0, 0);
    QString Details = R.ArchiveError.section(u'\n', 1);
    QString Text = Head;
    if (!R.CapturePath.isEmpty()) {
        Text += QStringLiteral(" The bytes received are in %1.").arg(R.CapturePath);
    } else {
        Text += QStringLiteral(" The bytes received could not be kept in a capture file either.");
        Details +=
            QStringLiteral("; ") + QString(R.CaptureError).replace(u'\n', QStringLiteral(": "));
    }
    return Details.isEmpty() ? Text : Text + u'\n' + Details;
}

} // namespace

TSaid ForWindow(const TDownloadResult& R, const QString& ArchivePath, bool HasFolder) {
    TSaid Said;
    switch (R.End) {
    case TEnd::Complete:
        if (R.ArchiveId > 0) {
            if (R.State == TArchiveState::NoReadings)
                Said.Status = QStringLiteral("The data received holds no readings table: kept "
                                             "in the archive as measurement %1")
                                  .arg(R.ArchiveId);
        } else if (R.ArchiveError.isEmpty() && !R.CapturePath.isEmpty()) {
            Said.Status = QStringLiteral("The bytes received are in %1").arg(R.CapturePath);
        } else if (!R.ArchiveError.isEmpty() || HasFolder) {
            Said.Error = NotArchived(R);
        }
        break;
    case TEnd::Stopped:
    case TEnd::TimedOut: {
        if (R.Bytes.isEmpty())
            break;
        const QString Stopped =
            QStringLiteral("The download on Com %1 was stopped").arg(R.PortNumber);
        if (!R.Kept())
            Said.Error = Stopped + QStringLiteral(", and the bytes received could not be kept.") +
                         (R.ArchiveError.isEmpty() ? QString() : u' ' + R.ArchiveError) +
                         QStringLiteral("\nDetails: %1").arg(R.CaptureError);
        else if (!R.ArchiveError.isEmpty())
            Said.Error = Stopped +
                         QStringLiteral("; the bytes received are in %1. ").arg(R.CapturePath) +
                         R.ArchiveError;
        else
            Said.Progress =
                QStringLiteral("Stopped: %1 bytes kept in %2")
                    .arg(QLocale(QLocale::English, QLocale::UnitedStates).toString(R.Bytes.size()),
                         Where(R, ArchivePath));
        break;
    }
    case TEnd::Interrupted:
        Said.Error = DownloadFault::Message(R, Where(R, ArchivePath)) +
                     (R.ArchiveError.isEmpty() ? QString() : u'\n' + R.ArchiveError);
        break;
    }
    return Said;
}

} // namespace DownloadWords
