#include "platform/AtomicWrite.h"

#include "platform/Exception.h"

#include <QSaveFile>

namespace AtomicWrite {

void ReplaceFile(const QString& Path, const QByteArray& Bytes) {
    QSaveFile File(Path);
    // Unbuffered: Qt 6.4's write buffer takes a short write (full disk, size limit) for
    // success and commits the truncated file; the direct write reports the bytes it wrote.
    bool Written = File.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    QString Reason = File.errorString();
    if (Written) {
        const qint64 Count = File.write(Bytes);
        Written = Count == Bytes.size();
        if (!Written) {
            Reason =
                File.error() != QFileDevice::NoError
                    ? File.errorString()
                    : QStringLiteral("only %1 of %2 bytes written").arg(Count).arg(Bytes.size());
            File.cancelWriting();
        }
    }
    if (Written) {
        Written = File.commit();
        Reason = File.errorString();
    }
    if (!Written)
        throw Exception(QStringLiteral("Cannot create file ") + Path + QLatin1Char('\n') + Reason);
}

} // namespace AtomicWrite
