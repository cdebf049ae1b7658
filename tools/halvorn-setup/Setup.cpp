#include "Setup.h"

#include "platform/Exception.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace HalvornSetup {

namespace {

const QString InstallDirName = QStringLiteral("InstallDir");

// Creates Path and its parents; true when something was made.
bool MakeFolder(const QString& Path) {
    const std::filesystem::path Native(QFile::encodeName(Path).toStdString());
    std::error_code Error;
    const bool Made = std::filesystem::create_directories(Native, Error);
    if (Error)
        throw Exception(QStringLiteral("Cannot create the folder %1: %2")
                            .arg(Path, QString::fromLocal8Bit(Error.message().c_str())));
    return Made;
}

QString ChosenFolder(const TSetupOptions& Options, const QString& HomeDir) {
    const QString Given =
        Options.Dir.isEmpty() ? QDir(HomeDir).filePath(QStringLiteral("Halvorn")) : Options.Dir;
    return QDir::cleanPath(QFileInfo(Given).absoluteFilePath());
}

} // namespace

QStringList Run(const TSetupOptions& Options, const QString& HomeDir) {
    QStringList Done;
    const QString Key = QString::fromLatin1(HalvornSettingsKey);

    // Everything is read before anything is made, so an unreadable store changes nothing.
    QString InstallDir;
    bool HasInstallDir = false;
    bool HasPort = false;
    bool HasInfoEnable = false;
    {
        TRegistry Reader;
        if (Reader.OpenKeyReadOnly(Key)) {
            HasInstallDir = Reader.ValueExists(InstallDirName);
            if (HasInstallDir)
                InstallDir = Reader.ReadString(InstallDirName);
            HasPort = Reader.ValueExists(QStringLiteral("Port"));
            HasInfoEnable = Reader.ValueExists(QStringLiteral("InfoEnable"));
        }
    }
    if (!HasInstallDir)
        InstallDir = ChosenFolder(Options, HomeDir);

    if (HasInstallDir && InstallDir.isEmpty()) {
        Done << QStringLiteral("\"InstallDir\" is stored empty; left as it is, no folder made");
    } else {
        // The stored text is used as the program uses it: joined, never altered.
        const QString Data = InstallDir + QDir::separator() + QStringLiteral("Data");
        if (MakeFolder(InstallDir))
            Done << QStringLiteral("Created %1").arg(InstallDir);
        if (MakeFolder(Data))
            Done << QStringLiteral("Created %1").arg(Data);
    }

    if (HasInstallDir && HasPort && HasInfoEnable) {
        Done << QStringLiteral("Installation folder %1 (stored before; left as it is)")
                    .arg(InstallDir);
        return Done;
    }
    TRegistry Writer;
    if (!Writer.OpenKey(Key, true))
        throw ERegistryException(Writer.LastError());
    // The program reads both without guards once its key exists.
    if (!HasPort) {
        Writer.WriteInteger(QStringLiteral("Port"), Options.DemoPort);
        Done << QStringLiteral("Stored \"Port\"=%1").arg(Options.DemoPort);
    }
    if (!HasInfoEnable) {
        Writer.WriteInteger(QStringLiteral("InfoEnable"), 0);
        Done << QStringLiteral("Stored \"InfoEnable\"=0");
    }
    if (!HasInstallDir) {
        Writer.WriteString(InstallDirName, InstallDir);
        Done << QStringLiteral("Installation folder %1 (stored now)").arg(InstallDir);
    } else {
        Done << QStringLiteral("Installation folder %1 (stored before; left as it is)")
                    .arg(InstallDir);
    }
    return Done;
}

} // namespace HalvornSetup
