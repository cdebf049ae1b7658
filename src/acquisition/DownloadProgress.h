#pragma once

#include <QString>
#include <QtGlobal>

// The figures of a running download as the status bar shows them.
namespace DownloadProgress {

// "9,512 bytes, 1:19, 120 bytes/s": the bytes received, the time since Get Data (h:mm:ss from
// an hour on) and the mean rate over that time.
QString Text(qint64 Bytes, qint64 ElapsedMs);

} // namespace DownloadProgress
