#include "acquisition/CaptureFile.h"

#include "platform/AtomicWrite.h"
#include "platform/Exception.h"
#include "platform/PortMap.h"

#include <QDir>
#include <QFileInfo>

namespace CaptureFile {

QString FolderIn(const QString& InstallDir) {
    return InstallDir + QStringLiteral("/Data/Captures");
}

namespace {

// A port part any file system takes: no control or layout character (a newline, a
// right-to-left override), no '/', and short, so the whole name stays far below 255 bytes.
QString Safe(const QString& Port) {
    QString Label = Port.left(MaxPortLabel);
    for (QChar& C : Label)
        if (C.category() == QChar::Other_Control || C.category() == QChar::Other_Format ||
            C.isSurrogate() || C == QLatin1Char('/'))
            C = QLatin1Char('_');
    return Label.isEmpty() ? QStringLiteral("port") : Label;
}

QString WriteAs(const QString& Folder, const QString& Name, const QByteArray& Bytes) {
    QString Path = QDir(Folder).filePath(Name);
    // Two downloads stopped within one second must not share a file.
    for (int N = 2; QFileInfo::exists(Path); ++N)
        Path = QDir(Folder).filePath(Name.chopped(4) + QStringLiteral(" (%1).raw").arg(N));
    AtomicWrite::ReplaceFile(Path, Bytes);
    return Path;
}

} // namespace

QString PortLabel(int PortNumber, const QString& Device) {
    if (PortNumber > 0)
        return ComPorts::PortName(PortNumber);
    const QString Clean = QDir::cleanPath(Device);
    QString Label =
        Clean.startsWith(QLatin1String("/dev/")) ? Clean.mid(5) : QFileInfo(Clean).fileName();
    Label.replace(QLatin1Char('/'), QLatin1Char('-'));
    return Safe(Label);
}

QString NameFor(const QDateTime& Started, const QString& Port) {
    return Started.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) + QLatin1Char(' ') +
           Safe(Port) + QStringLiteral(".raw");
}

QString Write(const QString& Folder, const QDateTime& Started, const QString& Port,
              const QByteArray& Bytes) {
    QDir().mkpath(Folder);
    try {
        return WriteAs(Folder, NameFor(Started, Port), Bytes);
    } catch (const Exception&) {
        // Whatever the name did wrong, the bytes are kept under a plain one; a folder that
        // takes nothing fails again and says so.
        return WriteAs(Folder, NameFor(Started, QStringLiteral("capture")), Bytes);
    }
}

} // namespace CaptureFile
