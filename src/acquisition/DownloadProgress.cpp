#include "acquisition/DownloadProgress.h"

#include <QLocale>

namespace DownloadProgress {

QString Text(qint64 Bytes, qint64 ElapsedMs) {
    // The figures read the same whatever the desktop's regional settings.
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const qint64 seconds = qMax<qint64>(ElapsedMs, 0) / 1000;
    const QString time =
        seconds >= 3600
            ? QStringLiteral("%1:%2:%3")
                  .arg(seconds / 3600)
                  .arg(seconds / 60 % 60, 2, 10, QChar('0'))
                  .arg(seconds % 60, 2, 10, QChar('0'))
            : QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
    const qint64 rate = ElapsedMs > 0 ? Bytes * 1000 / ElapsedMs : 0;
    return QStringLiteral("%1 bytes, %2, %3 bytes/s")
        .arg(english.toString(Bytes), time, english.toString(rate));
}

} // namespace DownloadProgress
