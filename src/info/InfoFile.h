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

// The file holds the report information's fields but Enabled and the calibration dates.
struct TReadResult {
    TReportInfo Values;
    int FieldsRead = 0; // the first FieldsRead groups of Values hold the file's values
    QString Error;      // a conversion or count error that stopped the reading, else empty
    int Line = 0;       // the line the reading stopped at (one past the last at the end)
};

// An information file is a few hundred bytes; a larger one is refused unread.
constexpr qint64 MaxFileSize = 1024 * 1024;

// "serial number list", "header", ..., "location": the group as the user knows it.
QString FieldName(TField Field);

// Why Result falls short of a complete file, with the line: the conversion or count error,
// or where the file ends early. Empty for a complete file.
QString Problem(const TReadResult& Result);

// Never throws: a short file, a bad count or a bad date stops the reading where it stands.
TReadResult Parse(const QByteArray& Contents, const QLocale& Locale = QLocale::system());
QByteArray Format(const TReportInfo& Values, const QLocale& Locale = QLocale::system());

// Reads and parses the file at Path. Raises Exception naming the file when it is not a
// regular file, cannot be read or is larger than MaxFileSize; what Parse finds is left to the
// caller.
TReadResult ReadFile(const QString& Path, const QLocale& Locale = QLocale::system());

// InstallDir followed by the platform's separator and "info.zev".
QString PathIn(const QString& InstallDir);

// Moves an unreadable file out of the way before it is replaced: Path gets the suffix
// ".unreadable" (".unreadable.2", ... when that name is taken). Returns the new name; raises
// Exception when the file cannot be moved, so nothing replaces it.
QString KeepUnreadable(const QString& Path);

// Replaces the file atomically. Failure: "Cannot create file <Path>" and the system's reason;
// the previous file is then left as it was.
void Write(const QString& Path, const TReportInfo& Values,
           const QLocale& Locale = QLocale::system());

} // namespace InfoFile
