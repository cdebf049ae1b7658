#include "CliIo.h"

#include "files/ReportText.h"
#include "info/InfoFile.h"
#include "info/InstallFolder.h"
#include "platform/Exception.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace CliIo {

namespace {

const char* const FieldNames[InfoFile::FieldCount] = {
    "serial number list", "header",   "footer",      "start date", "start time",
    "end date",           "end time", "Halvorn S/N", "location"};

QByteArray ReadWhole(const QString& Path) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open file %1: %2").arg(Path, File.errorString()));
    QByteArray Bytes = File.readAll();
    if (File.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Cannot read file %1: %2").arg(Path, File.errorString()));
    return Bytes;
}

bool StoredInfoEnable() {
    TRegistry Registry;
    if (!Registry.OpenKeyReadOnly(HalvornSettingsKey) ||
        !Registry.ValueExists(QStringLiteral("InfoEnable")))
        return false;
    try {
        return Registry.ReadInteger(QStringLiteral("InfoEnable")) != 0;
    } catch (const ERegistryException& E) {
        throw ERegistryException(TRegistry::StorePath() + QStringLiteral(": ") + E.Message);
    }
}

} // namespace

TReportInfo LoadReportInfo(const TCliOptions& Options) {
    TReportInfo Info;
    QString Path = Options.InfoFile;
    const bool Named = !Path.isEmpty();
    if (!Named) {
        const QString InstallDir = InstallFolder::FirstStart().Dir;
        if (InstallFolder::Usable(InstallDir))
            Path = InfoFile::PathIn(InstallDir);
    }
    // A named file must be there: a mistyped name must not pass for empty information.
    if (!Path.isEmpty() && (Named || QFile::exists(Path))) {
        const InfoFile::TReadResult Read = InfoFile::Parse(ReadWhole(Path));
        if (!Read.Error.isEmpty())
            throw Exception(QStringLiteral("Report information file %1: %2").arg(Path, Read.Error));
        if (Read.FieldsRead < InfoFile::FieldCount)
            throw Exception(QStringLiteral("Report information file %1 ends before its %2")
                                .arg(Path, QLatin1String(FieldNames[Read.FieldsRead])));
        Info = InfoFile::ReportInfoOf(Read.Values, false);
    }
    Info.Enabled = Options.InfoEnabled ? *Options.InfoEnabled : StoredInfoEnable();
    return Info;
}

QByteArray ReadCapture(const QString& Path) {
    return ReadWhole(Path);
}

QStringList ReadReportFileLines(const QString& Path) {
    // Opened here first only for the system's reason, which the shared reader leaves out.
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open file %1: %2").arg(Path, File.errorString()));
    File.close();
    try {
        return ReportText::ReadReportText(Path);
    } catch (const Exception& E) {
        if (E.Message.contains(Path))
            throw;
        throw Exception(Path + QStringLiteral(": ") + E.Message);
    }
}

void RequireWritableFolder(const QString& Path) {
    const QFileInfo Folder(QFileInfo(Path).absolutePath());
    if (!Folder.isDir())
        throw Exception(QStringLiteral("Cannot create file %1: the folder %2 does not exist")
                            .arg(Path, Folder.filePath()));
    if (!Folder.isWritable())
        throw Exception(QStringLiteral("Cannot create file %1: the folder %2 is not writable")
                            .arg(Path, Folder.filePath()));
}

QStringList EditorLines(QStringList FileLines) {
    if (!FileLines.isEmpty() && FileLines.last().isEmpty())
        FileLines.removeLast();
    return FileLines;
}

QStringList ReadReportLines(const QString& Path) {
    return EditorLines(ReadReportFileLines(Path));
}

QStringList SetLines(const QStringList& Lines) {
    QStringList FileLines = Lines;
    FileLines << QString();
    return FileLines;
}

void WriteReport(const QString& Path, const QStringList& FileLines) {
    if (Path.isEmpty())
        WriteStdout(ReportText::EncodeText(FileLines));
    else
        ReportText::WriteReportText(Path, FileLines);
}

void WriteStdout(const QByteArray& Bytes) {
    const size_t Size = static_cast<size_t>(Bytes.size());
    if (std::fwrite(Bytes.constData(), 1, Size, stdout) != Size || std::fflush(stdout) != 0)
        throw Exception(QStringLiteral("Cannot write to stdout: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
}

TPaper LocalePaper(const QLocale& Locale) {
    switch (Locale.territory()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::PuertoRico:
    case QLocale::Guatemala:
    case QLocale::ElSalvador:
    case QLocale::Nicaragua:
    case QLocale::CostaRica:
    case QLocale::Panama:
    case QLocale::DominicanRepublic:
    case QLocale::Colombia:
    case QLocale::Venezuela:
    case QLocale::Chile:
    case QLocale::Philippines:
        return TPaper::Letter;
    default:
        return TPaper::A4;
    }
}

} // namespace CliIo
