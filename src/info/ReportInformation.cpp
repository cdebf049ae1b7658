#include "info/ReportInformation.h"

#include "info/InfoFile.h"
#include "measurement/CalibrationDates.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"
#include "settings/InstallFolder.h"

#include <QFile>
#include <QFileInfo>
#include <climits>

void TReportInformation::Load(const QString& InstallDir, bool Enabled) {
    FInfo = TReportInfo();
    FInfo.Enabled = Enabled;
    FConfirmed = false;
    FUnreadablePath.clear();
    try {
        FStored = CalibrationDates::Read();
    } catch (const Exception&) {
        FStored.clear();
    }
    FInfo.Calibration = FStored;
    FPath = InstallFolder::Usable(InstallDir) ? InfoFile::PathIn(InstallDir) : QString();
    const QFileInfo File(FPath);
    if (FPath.isEmpty() || (!File.exists() && !File.isSymLink()))
        return;
    const QString Kept =
        QStringLiteral("\nThe file is left as it is until you confirm \"Information Setup\" with "
                       "OK; it is then kept as %1.unreadable.")
            .arg(MessageText::Shown(File.fileName()));
    FUnreadablePath = FPath;
    InfoFile::TReadResult Read;
    try {
        Read = InfoFile::ReadFile(FPath);
    } catch (const Exception& E) {
        throw Exception(E.Message + Kept);
    }
    // The groups read in full before a fault count; the rest keep their defaults.
    using namespace InfoFile;
    const auto Take = [&](TField Field) { return Field < Read.FieldsRead; };
    const TReportInfo& V = Read.Values;
    if (Take(SerialNumbers))
        FInfo.SerialNumbers = V.SerialNumbers;
    if (Take(Header))
        FInfo.Header = V.Header;
    if (Take(Footer))
        FInfo.Footer = V.Footer;
    if (Take(InfoFile::StartDate))
        FInfo.StartDate = V.StartDate;
    if (Take(InfoFile::StartTime))
        FInfo.StartTime = V.StartTime;
    if (Take(InfoFile::EndDate))
        FInfo.EndDate = V.EndDate;
    if (Take(InfoFile::EndTime))
        FInfo.EndTime = V.EndTime;
    if (Take(SNText))
        FInfo.SerialNumber = V.SerialNumber;
    if (Take(InfoFile::Location))
        FInfo.Location = V.Location;
    if (const QString Problem = InfoFile::Problem(Read); !Problem.isEmpty())
        throw Exception(QStringLiteral("Cannot read the report information file %1: %2")
                            .arg(MessageText::Shown(FPath, -1), Problem) +
                        Kept);
    FUnreadablePath.clear();
}

TReportInfo TReportInformation::ReadFile(const QString& Path) {
    // The information file's own reader: its size limit, and a FIFO refused unread.
    const InfoFile::TReadResult Read = InfoFile::ReadFile(Path);
    if (const QString Problem = InfoFile::Problem(Read); !Problem.isEmpty())
        throw Exception(QStringLiteral("Report information file %1: %2")
                            .arg(MessageText::Shown(Path, PATH_MAX), Problem));
    return Read.Values;
}

void TReportInformation::Set(const TReportInfo& Info) {
    FInfo = Info;
}

void TReportInformation::Save() {
    QStringList Failed;
    // Each changed date is stored on its own: one that fails keeps the others.
    for (auto It = FInfo.Calibration.cbegin(); It != FInfo.Calibration.cend(); ++It)
        if (FStored.value(It.key()) != It.value())
            try {
                CalibrationDates::Write(It.key(), It.value());
                FStored.insert(It.key(), It.value());
            } catch (const Exception& E) {
                Failed << QStringLiteral("The calibration date of %1 was not stored.\n%2")
                              .arg(MessageText::Quoted(It.key()), E.Message);
            }
    for (const QString& Serial : FStored.keys())
        if (!FInfo.Calibration.contains(Serial))
            try {
                CalibrationDates::Write(Serial, QDate());
                FStored.remove(Serial);
            } catch (const Exception& E) {
                Failed << QStringLiteral("The calibration date of %1 was not removed.\n%2")
                              .arg(MessageText::Quoted(Serial), E.Message);
            }
    if (!FPath.isEmpty()) {
        try {
            if (!FUnreadablePath.isEmpty() && FPath == FUnreadablePath) {
                if (!FConfirmed)
                    throw Exception(QStringLiteral("The report information was not saved: %1 "
                                                   "could not be read and is left as it was.")
                                        .arg(MessageText::Shown(FPath, -1)));
                InfoFile::KeepUnreadable(FPath);
                FUnreadablePath.clear();
            }
            InfoFile::Write(FPath, FInfo);
        } catch (const Exception& E) {
            Failed << E.Message;
        }
    }
    if (!Failed.isEmpty())
        throw Exception(Failed.join(QLatin1Char('\n')));
}
