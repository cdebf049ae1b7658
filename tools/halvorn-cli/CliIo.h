#pragma once

#include "CliOptions.h"
#include "measurement/Measurement.h"
#include "report/ReportInfo.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

// The files halvorn-cli reads and writes, each the way the program's window treats it. Every
// failure is an Exception whose text names the file.
namespace CliIo {

// The information of --info FILE, else of info.zev in the stored installation folder (none
// there: empty information); enabled by the option, else by the stored "InfoEnable" (absent:
// disabled). A file that cannot be read or holds less than all its fields is refused.
TReportInfo LoadReportInfo(const TCliOptions& Options);

// A raw capture, byte for byte.
QByteArray ReadCapture(const QString& Path);

// A report file as Open loads it into the editor (what a Save writes back).
QStringList ReadReportFileLines(const QString& Path);
QStringList ReadReportLines(const QString& Path);

// --units, else the stored "Units" the window shows in, else pCi/L.
TUnit ChosenUnit(const TCliOptions& Options);
// --level, else the stored "ReferenceLevel", else the EPA action level.
TReferenceLevel ChosenLevel(const TCliOptions& Options);

// The readings of the report Options.Input with their figures and checks in Unit, the
// calibration dates from the store, the level ChosenLevel. A report without a readings table
// is refused with the model's message after the file's name.
TMeasurement Measured(const TCliOptions& Options, TUnit Unit);

// Refuses early a file that could not be created for want of its folder.
void RequireWritableFolder(const QString& Path);

// Writes FileLines in the text format to Path, replacing it atomically; to stdout when Path
// is empty.
void WriteReport(const QString& Path, const QStringList& FileLines);

// Bytes to stdout; a failed write (full disk, closed pipe) is an error.
void WriteStdout(const QByteArray& Bytes);

} // namespace CliIo
