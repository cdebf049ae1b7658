#include "acquisition/CaptureFile.h"

#include "platform/AtomicWrite.h"

#include <QDir>
#include <QFileInfo>

namespace CaptureFile {

QString NameFor(const QDateTime& Started, int PortNumber) {
    return Started.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) +
           QStringLiteral(" COM%1.raw").arg(PortNumber);
}

QString Write(const QString& Folder, const QDateTime& Started, int PortNumber,
              const QByteArray& Bytes) {
    QDir().mkpath(Folder);
    const QString name = NameFor(Started, PortNumber);
    QString path = QDir(Folder).filePath(name);
    // Two downloads stopped within one second must not share a file.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(Folder).filePath(name.chopped(4) + QStringLiteral(" (%1).raw").arg(n));
    AtomicWrite::ReplaceFile(path, Bytes);
    return path;
}

} // namespace CaptureFile
