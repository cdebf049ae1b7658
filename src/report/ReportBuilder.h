#pragma once

#include "report/ReportInfo.h"

#include <QByteArray>
#include <QLocale>
#include <QStringList>

// Turns a downloaded printout into the editor's lines: control bytes dropped, "~" shown as
// "=", the bare captions filled from Info, header and footer around it, the line under the
// graph copied above it, the last two lines trimmed. Each byte becomes the QChar of the same
// value, so the lines convert back to the received bytes with toLatin1(). A line feed stays
// inside its line. The caller skips an empty DownloadText (the editor then stays as it was).
QStringList BuildReport(const QByteArray& DownloadText, const TReportInfo& Info,
                        const QLocale& Locale = QLocale::system());

// The one way a report is made of the bytes a download received, whoever asks (a download's
// end, the archive window's Rebuild, an imported capture): the text the download makes of
// them (CaptureText), then BuildReport; no lines when that text is empty. A transfer cut
// short (Whole false) gets two empty lines more, so the trimming of the last two lines takes
// them and not its summary.
QStringList BuildReportFromBytes(const QByteArray& Received, const TReportInfo& Info,
                                 bool Whole = true);
