#pragma once

#include <QString>
#include <QtGlobal>

class ECommError;
struct TDownloadResult;

// The message of a download that a serial fault ended.
namespace DownloadFault {

struct TFault {
    int PortNumber = 0;   // 0: the port was named by its device path
    QString Device;       // the device the port leads to
    qint64 Bytes = 0;     // bytes received before the fault
    QString Capture;      // the file that keeps them, or empty
    QString CaptureError; // why they could not be kept, or empty
};

// First line: what happened in the user's words and what was kept; last line "Details: "
// with the port's own error text.
QString Message(const TFault& Fault, const ECommError& Error);

// The same on one line for a terminal: the sentence, the details in brackets at its end.
QString Line(const TFault& Fault, const ECommError& Error);

// Both for a download that ended Interrupted, its bytes kept in Capture (empty: not kept, for
// the reason the result gives).
QString Message(const TDownloadResult& Result, const QString& Capture);
QString Line(const TDownloadResult& Result, const QString& Capture);

} // namespace DownloadFault
