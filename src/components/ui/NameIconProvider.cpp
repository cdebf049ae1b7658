#include "NameIconProvider.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace {

// By name only: mimeTypeForFile() with a QFileInfo would read the file.
QMimeType TypeOf(const QFileInfo& Info) {
    const QList<QMimeType> Types = QMimeDatabase().mimeTypesForFileName(Info.fileName());
    return Types.isEmpty() ? QMimeType() : Types.first();
}

} // namespace

QIcon TNameIconProvider::icon(IconType Type) const {
    return QFileIconProvider::icon(Type);
}

QIcon TNameIconProvider::icon(const QFileInfo& Info) const {
    // isDir() is the stat the file model has made already.
    if (Info.isDir())
        return icon(Folder);
    const QMimeType Type = TypeOf(Info);
    if (Type.isValid()) {
        const QIcon Themed =
            QIcon::fromTheme(Type.iconName(), QIcon::fromTheme(Type.genericIconName()));
        if (!Themed.isNull())
            return Themed;
    }
    return icon(File);
}

QString TNameIconProvider::type(const QFileInfo& Info) const {
    if (Info.isDir())
        return QStringLiteral("Folder");
    const QMimeType Type = TypeOf(Info);
    if (Type.isValid() && !Type.comment().isEmpty())
        return Type.comment();
    const QString Suffix = Info.suffix();
    return Suffix.isEmpty() ? QStringLiteral("File") : Suffix.toUpper() + QStringLiteral(" File");
}

TNameIconProvider* TNameIconProvider::Shared() {
    static TNameIconProvider Provider;
    return &Provider;
}
