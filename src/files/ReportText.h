#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class QFile;

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
// "Text exceeds memo capacity". A second line names the file and says why.
QStringList ReadReportText(const QString& Path);

// The bytes of the file at Path, or nullopt when it holds more than Limit: a device or pipe
// that never ends costs Limit bytes, never more. Failure: Exception "Cannot open file <Path>"
// with the system's reason on a second line.
std::optional<QByteArray> ReadAtMost(const QString& Path, qint64 Limit);
// The same from a file opened already; Path names it in the message.
std::optional<QByteArray> ReadAtMost(QFile& File, const QString& Path, qint64 Limit);

// "16 MiB": a limit as the messages name it.
QString SizeText(qint64 Bytes);

} // namespace ReportText
