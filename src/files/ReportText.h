#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The plain text file of a report: the lines' bytes (each QChar one byte, see BuildReport)
// with CR LF between lines and nothing after the last one.
namespace ReportText {

// Largest file the editor is given. Beyond it a QPlainTextEdit stops being responsive;
// an instrument's printout is tens of KiB.
constexpr qint64 MemoCapacity = 16 * 1024 * 1024;

// A character above 255 (only typing can make one) becomes '?'.
QByteArray EncodeText(const QStringList& Lines);
// CR LF, a lone CR and a lone LF each end a line; LF CR is two breaks. No bytes, no lines.
QStringList DecodeText(const QByteArray& Bytes);

// Replaces the file atomically; the old file survives a failed write.
// Failure: Exception "Cannot create file <Path>" (the system's reason on a second line).
void WriteReportText(const QString& Path, const QStringList& Lines);
// Failure: Exception "Cannot open file <Path>"; a file over MemoCapacity: Exception
// "Text exceeds memo capacity".
QStringList ReadReportText(const QString& Path);

} // namespace ReportText
