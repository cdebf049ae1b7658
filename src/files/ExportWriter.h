#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The import-friendly form of a report: the lines up to the heading under "Time Interval"
// as they are, the readings table as three tab-separated rows (interval numbers, readings,
// event letters), then the lines down to "EPA Protocol"; CR LF after every line.
namespace ExportWriter {

// Throws Exception naming the landmark that is missing (the three must come in the order
// "Time Interval", "Overall Avg", "EPA Protocol").
QByteArray BuildExport(const QStringList& Lines);

// Builds first, then replaces the file atomically; nothing is written when the build refuses.
// Failure to write: Exception "Cannot create file <Path>" (the system's reason on a second line).
void WriteExport(const QString& Path, const QStringList& Lines);

} // namespace ExportWriter
