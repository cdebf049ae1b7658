#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The bytes of a transfer that ended without a report, kept as they came from the line in
// "YYYY-MM-DD HH-MM-SS COMn.raw" (the time the download started), so a report can still be
// built from them.
namespace CaptureFile {

QString NameFor(const QDateTime& Started, int PortNumber);

// Writes Bytes into Folder (made when missing) through the atomic writer, never over an
// earlier capture; returns the file's path. Raises Exception naming the file when it cannot.
QString Write(const QString& Folder, const QDateTime& Started, int PortNumber,
              const QByteArray& Bytes);

} // namespace CaptureFile
