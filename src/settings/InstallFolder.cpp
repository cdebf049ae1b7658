#include "settings/InstallFolder.h"

#include "platform/Exception.h"
#include "platform/MessageText.h"
#include "settings/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace InstallFolder {

namespace {

const QString InstallDirName = QStringLiteral("InstallDir");

// Creates Path and its parents; true when something was made.
bool MakeFolder(const QString& Path) {
    const std::filesystem::path native(QFile::encodeName(Path).toStdString());
    std::error_code error;
    const bool made = std::filesystem::create_directories(native, error);
    if (error)
        throw Exception(QStringLiteral("Cannot create the folder %1: %2")
                            .arg(MessageText::Shown(Path, -1),
                                 QString::fromLocal8Bit(error.message().c_str())));
    return made;
}

QString ChosenFolder(const TOptions& Options) {
    const QString given = Options.Dir.isEmpty()
                              ? QDir(Options.HomeDir).filePath(QStringLiteral("Halvorn"))
                              : Options.Dir;
    return QDir::cleanPath(QFileInfo(given).absoluteFilePath());
}

} // namespace

bool Usable(const QString& Dir) {
    return !Dir.isEmpty() && QDir::cleanPath(QFileInfo(Dir).absoluteFilePath()) != QDir::rootPath();
}

TResult Prepare(const TOptions& Options) {
    TResult r;
    // Everything is read before anything is made, so an unreadable store changes nothing.
    bool hasPort = false;
    bool hasInfoEnable = false;
    {
        const Settings::TReader stored;
        r.Dir = stored.InstallDir();
        hasPort = stored.Has(Settings::Port);
        hasInfoEnable = stored.Has(Settings::InfoEnable);
    }
    // An empty folder (or the root itself) would put the program's files at the root of the
    // file system: it counts as none.
    const bool hasInstallDir = Usable(r.Dir);
    if (!hasInstallDir)
        r.Dir = ChosenFolder(Options);

    // The stored text is used as the program uses it: joined, never altered.
    const QString data = r.Dir + QDir::separator() + QStringLiteral("Data");
    if (MakeFolder(r.Dir))
        r.Done << QStringLiteral("Created %1").arg(r.Dir);
    if (MakeFolder(data))
        r.Done << QStringLiteral("Created %1").arg(data);

    const QString before =
        QStringLiteral("Installation folder %1 (stored before; left as it is)").arg(r.Dir);
    if (hasInstallDir && hasPort && hasInfoEnable) {
        r.Done << before;
        return r;
    }
    TRegistry writer;
    writer.OpenKey(Settings::Key, true);
    if (!hasPort) {
        writer.WriteInteger(Settings::NameOf(Settings::Port), Options.Port);
        r.Done << QStringLiteral("Stored \"Port\"=%1").arg(Options.Port);
    }
    if (!hasInfoEnable) {
        writer.WriteInteger(Settings::NameOf(Settings::InfoEnable), 0);
        r.Done << QStringLiteral("Stored \"InfoEnable\"=0");
    }
    if (hasInstallDir) {
        r.Done << before;
    } else {
        writer.WriteString(InstallDirName, r.Dir);
        r.Stored = true;
        r.Done << QStringLiteral("Installation folder %1 (stored now)").arg(r.Dir);
    }
    return r;
}

TResult FirstStart() {
    TResult r;
    r.Dir = Settings::TReader().InstallDir();
    if (!Usable(r.Dir))
        r = Prepare();
    return r;
}

} // namespace InstallFolder
