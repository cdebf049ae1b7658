#include "acquisition/CaptureFile.h"

#include "platform/AtomicWrite.h"
#include "platform/PortMap.h"

#include <QDir>
#include <QFileInfo>

namespace CaptureFile {

QString FolderIn(const QString& InstallDir) {
    return InstallDir + QStringLiteral("/Data/Captures");
}

QString PortLabel(int PortNumber, const QString& Device) {
    if (PortNumber > 0)
        return ComPorts::PortName(PortNumber);
    const QString Clean = QDir::cleanPath(Device);
    QString Label =
        Clean.startsWith(QLatin1String("/dev/")) ? Clean.mid(5) : QFileInfo(Clean).fileName();
    Label.replace(QLatin1Char('/'), QLatin1Char('-'));
    return Label.isEmpty() ? QStringLiteral("port") : Label;
}

QString NameFor(const QDateTime& Started, const QString& Port) {
    return Started.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) + QLatin1Char(' ') + Port +
           QStringLiteral(".raw");
}

QString Write(const QString& Folder, const QDateTime& Started, const QString& Port,
              const QByteArray& Bytes) {
    QDir().mkpath(Folder);
    const QString name = NameFor(Started, Port);
    QString path = QDir(Folder).filePath(name);
    // Two downloads stopped within one second must not share a file.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(Folder).filePath(name.chopped(4) + QStringLiteral(" (%1).raw").arg(n));
    AtomicWrite::ReplaceFile(path, Bytes);
    return path;
}

} // namespace CaptureFile
