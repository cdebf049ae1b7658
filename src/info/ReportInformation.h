#pragma once

#include "report/ReportInfo.h"

#include <QString>
#include <QStringList>

// The report information of this user, kept as one model: the information file info.zev of
// the installation folder, "InfoEnable" and the calibration dates of the settings store. Read
// once at start; "Information Setup" edits it; downloads, rebuilds, the client report and the
// archive window read it; written back through the atomic writer.
class TReportInformation {
public:
    // Reads InstallDir's information file (none without a usable folder) and the calibration
    // dates; Enabled as the settings hold it. A file that cannot be read whole gives the fields
    // before the fault and raises Exception naming the file and the line: the file is then left
    // as it is until the information is confirmed. A store that cannot be read leaves the
    // dates empty (its fault is said where the settings are read).
    void Load(const QString& InstallDir, bool Enabled);
    // A file named by the user: it must be there and be read whole (Exception otherwise).
    static TReportInfo ReadFile(const QString& Path);

    const TReportInfo& Info() const { return FInfo; }
    // The information as the dialog holds it; calibration dates that differ from the stored
    // ones are written by the next Save.
    void Set(const TReportInfo& Info);
    void SetEnabled(bool Enabled) { FInfo.Enabled = Enabled; }
    QString FilePath() const { return FPath; }

    // The user stands behind the information now (OK): an unreadable file may be replaced.
    void Confirm() { FConfirmed = true; }
    // Writes the information file (an unreadable one first kept beside it as ".unreadable",
    // and only once confirmed) and the calibration dates changed since. Raises Exception
    // saying what was not written; what could be written is.
    void Save();

private:
    TReportInfo FInfo;
    TCalibrationDates FStored; // the dates as the store holds them
    QString FPath;             // empty: no installation folder, nothing to write
    QString FUnreadablePath;
    bool FConfirmed = false;
};
