// The main window's part of the archive: each download stored before its report is shown,
// and the File menu's archive window.
#include "app/ArchiveForm.h"
#include "app/MainForm.h"
#include "info/InfoForm.h"
#include "platform/PortMap.h"
#include "settings/InstallFolder.h"

#include <QDir>

void TMainForm::FileArchiveClick() {
    if (!ArchiveForm) {
        TArchiveForm::THost host;
        host.Archive = [this] { return FArchive.Readable(FSettings.InstallDir); };
        host.OpenReport = [this](const QStringList& Lines) { return OpenArchivedReport(Lines); };
        host.CurrentInfo = [this] { return FInfoForm ? FInfoForm->Snapshot() : TReportInfo{}; };
        host.DataFolder = [this] {
            return QDir(FSettings.InstallDir).filePath(QStringLiteral("Data"));
        };
        ArchiveForm = new TArchiveForm(std::move(host), this);
        ArchiveForm->setObjectName(QStringLiteral("ArchiveForm"));
    }
    ArchiveForm->Refresh();
    ArchiveForm->show();
    ArchiveForm->raise();
    ArchiveForm->activateWindow();
}

bool TMainForm::OpenArchivedReport(const QStringList& Lines) {
    if (!ConfirmDiscard())
        return false;
    ClearReport();
    SetEditorLines(Lines, true);
    return true;
}

TArchiveKeeper::TKept TMainForm::ArchiveDownload(TArchiveState State, const QByteArray& Bytes,
                                                 const QString& Error) {
    TArchiveEntry entry;
    entry.ReceivedAt = QDateTime::currentDateTimeUtc();
    entry.Port = SerialPort->PortName();
    try {
        entry.Device = PortMap::DevicePath(entry.Port);
    } catch (const Exception&) {
        // The store that maps the port could not be read: the port name alone.
    }
    entry.Raw = Bytes;
    entry.State = State;
    entry.Error = Error;
    entry.Info = FInfoForm ? FInfoForm->Snapshot() : TReportInfo{};
    const TArchiveKeeper::TKept kept = FArchive.Keep(FSettings.InstallDir, entry);
    // An open archive window shows the new measurement at once.
    if (kept.Stored() && ArchiveForm && ArchiveForm->isVisible())
        ErrorHandler::Run([this] { ArchiveForm->Refresh(); });
    return kept;
}

QString TMainForm::KeepUnfinished(TArchiveState State, const QString& Error, QString& ArchiveError,
                                  QString& CaptureError) {
    const QByteArray bytes = Download->TakeKept();
    FKeptBytes = bytes.size();
    if (bytes.isEmpty())
        return {};
    const TArchiveKeeper::TKept kept = ArchiveDownload(State, bytes, Error);
    if (kept.Stored())
        return TArchive::Where(TArchive::PathIn(FSettings.InstallDir), kept.Id);
    ArchiveError = kept.Error;
    return KeepCapture(bytes, CaptureError);
}

void TMainForm::ArchiveFailed(const QString& ArchiveError, const QByteArray& Bytes) {
    if (ArchiveError.isEmpty() && !InstallFolder::Usable(FSettings.InstallDir))
        return; // nowhere to keep them; start-up has said so
    QString captureError;
    const QString capture = KeepCapture(Bytes, captureError);
    if (ArchiveError.isEmpty() && !capture.isEmpty()) {
        SetStatusText(QStringLiteral("The bytes received are in %1").arg(capture));
        return;
    }
    // What happened first, the bytes' whereabouts, the details last.
    // An archive that takes no downloads was named once already; here only what it means.
    const QString head = ArchiveError.isEmpty()
                             ? QStringLiteral("The download was not archived: the archive "
                                              "takes no downloads.")
                             : ArchiveError.section(u'\n', 0, 0);
    QString details = ArchiveError.section(u'\n', 1);
    QString text = head;
    if (!capture.isEmpty()) {
        text += QStringLiteral(" The bytes received are in %1.").arg(capture);
    } else {
        text += QStringLiteral(" The bytes received could not be kept in a capture file either.");
        details +=
            QStringLiteral("; ") + QString(captureError).replace(u'\n', QStringLiteral(": "));
    }
    ErrorHandler::Show(details.isEmpty() ? text : text + u'\n' + details);
}
