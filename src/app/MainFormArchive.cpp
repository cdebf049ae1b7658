// The main window's part of the archive: the File menu's archive window.
#include "app/ArchiveForm.h"
#include "app/MainForm.h"
#include "app/ReportEditor.h"
#include "app/TeamSync.h"
#include "info/InfoForm.h"

#include <QDir>

void TMainForm::FileArchiveClick() {
    if (!ArchiveForm) {
        TArchiveForm::THost host;
        host.Archive = [this] { return FArchive.Readable(FSettings.InstallDir); };
        host.OpenReport = [this](const QStringList& Lines, const TArchiveRow& Row) {
            return OpenArchivedReport(Lines, Row);
        };
        host.CurrentInfo = [this] { return FInformation.Info(); };
        host.DataFolder = [this] {
            return QDir(FSettings.InstallDir).filePath(QStringLiteral("Data"));
        };
        host.TeamServer = [this] { return FTeam->Server(); };
        host.AskTeamPassword = [this] { return FTeam->AskPassword(); };
        ArchiveForm = new TArchiveForm(std::move(host), this);
        ArchiveForm->setObjectName(QStringLiteral("ArchiveForm"));
    }
    ArchiveForm->Refresh();
    ArchiveForm->show();
    ArchiveForm->raise();
    ArchiveForm->activateWindow();
}

bool TMainForm::OpenArchivedReport(const QStringList& Lines, const TArchiveRow& Row) {
    if (!ConfirmDiscard())
        return false;
    ClearReport();
    TextMemo->SetLines(Lines, true);
    FMeasurementId = Row.Id;
    FJob = Row.Job;
    return true;
}

void TMainForm::KeepJob(const TJob& Job) {
    FJob = Job;
    // A test after mitigation leaves its first day out of the result.
    UpdateReadings();
    if (FMeasurementId <= 0)
        return; // a report from a file keeps its job for this session
    ErrorHandler::Run([&] {
        if (TArchive* archive = FArchive.Readable(FSettings.InstallDir))
            archive->SetJob(FMeasurementId, Job);
        FTeam->Push();
    });
}
