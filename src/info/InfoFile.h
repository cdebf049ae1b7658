#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include "report/ReportInfo.h"

// The report information file "info.zev": one value per line, CR LF line ends, counts in
// decimal, date-time texts in the user's regional formats. Characters are single bytes.
namespace InfoFile {

inline const char* const FileName = "info.zev";

struct TInfoValues {
    QStringList SerialNumbers;
    QStringList Header;
    QStringList Footer;
    QDateTime StartDate;
    QDateTime StartTime;
    QDateTime EndDate;
    QDateTime EndTime;
    QString SNText;
    QString Location;
};

// The groups of the file in reading order; a group is taken only when read in full.
enum TField {
    SerialNumbers,
    Header,
    Footer,
    StartDate,
    StartTime,
    EndDate,
    EndTime,
    SNText,
    Location,
    FieldCount
};

struct TReadResult {
    TInfoValues Values;
    int FieldsRead = 0; // the first FieldsRead groups of Values hold the file's values
    QString Error;      // a conversion error that stopped the reading, else empty
};

// The information a report is built with, from the file's values.
TReportInfo ReportInfoOf(const TInfoValues& Values, bool Enabled);

// Never throws: a short file, a bad count or a bad date stops the reading where it stands.
TReadResult Parse(const QByteArray& Contents, const QLocale& Locale = QLocale::system());
QByteArray Format(const TInfoValues& Values, const QLocale& Locale = QLocale::system());

// "InstallDir" of the settings store, opened for reading only; empty when the key or the
// value is missing.
QString StoredInstallDir();

// InstallDir followed by the platform's separator and "info.zev".
QString PathIn(const QString& InstallDir);

// Replaces the file atomically. Failure: "Cannot create file <Path>" and the system's reason;
// the previous file is then left as it was.
void Write(const QString& Path, const TInfoValues& Values,
           const QLocale& Locale = QLocale::system());

} // namespace InfoFile
