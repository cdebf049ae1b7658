#include "CliIo.h"

#include "acquisition/TSerialPort.h"
#include "files/EditorText.h"
#include "files/ReportText.h"
#include "info/InfoFile.h"
#include "info/ReportInformation.h"
#include "measurement/CalibrationDates.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"
#include "settings/InstallFolder.h"
#include "settings/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace CliIo {

namespace {

// What (a "capture") the file is, for the message that refuses it past Limit.
QByteArray ReadWhole(const QString& Path, qint64 Limit, const char* What) {
    const std::optional<QByteArray> Bytes = ReportText::ReadAtMost(Path, Limit);
    if (!Bytes)
        throw Exception(QStringLiteral("%1 holds more than %2, the most halvorn-cli takes for %3")
                            .arg(MessageText::Shown(Path, PATH_MAX), ReportText::SizeText(Limit),
                                 QLatin1String(What)));
    return *Bytes;
}

} // namespace

TReportInfo LoadReportInfo(const TCliOptions& Options) {
    const bool Enabled =
        Options.InfoEnabled ? *Options.InfoEnabled : Settings::TReader().InfoEnabled();
    QString Path = Options.InfoFile;
    if (Path.isEmpty()) {
        const QString InstallDir = InstallFolder::FirstStart().Dir;
        if (InstallFolder::Usable(InstallDir) && QFileInfo::exists(InfoFile::PathIn(InstallDir)))
            Path = InfoFile::PathIn(InstallDir);
    }
    // A named file must be there: a mistyped name must not pass for empty information.
    TReportInfo Info = Path.isEmpty() ? TReportInfo() : TReportInformation::ReadFile(Path);
    Info.Enabled = Enabled;
    return Info;
}

TUnit ChosenUnit(const TCliOptions& Options) {
    return Options.Unit ? *Options.Unit : Settings::TReader().Unit();
}

TReferenceLevel ChosenLevel(const TCliOptions& Options) {
    return Options.Level ? *Options.Level : Settings::TReader().Level();
}

TMeasurement Measured(const TCliOptions& Options, TUnit Unit) {
    TCriteria Criteria;
    Criteria.Calibration = CalibrationDates::Read();
    Criteria.Level = ChosenLevel(Options);
    TMeasurement Result = Measurement::Measure(ReadReportLines(Options.Input), Criteria, Unit);
    if (!Result.Readings.Refusal.isEmpty())
        throw Exception(MessageText::Shown(Options.Input, PATH_MAX) + QStringLiteral(": ") +
                        Result.Readings.Refusal);
    return Result;
}

QByteArray ReadCapture(const QString& Path) {
    return ReadWhole(Path, TSerialPort::MaxQueueSize, "a capture");
}

QStringList ReadReportFileLines(const QString& Path) {
    return ReportText::ReadReportText(Path);
}

void RequireWritableFolder(const QString& Path) {
    const QString Shown = MessageText::Shown(Path, PATH_MAX);
    if (Path.endsWith(QLatin1Char('/')) || QFileInfo(Path).isDir())
        throw Exception(
            QStringLiteral("Cannot create file %1: it names a folder, not a file").arg(Shown));
    const QFileInfo Folder(QFileInfo(Path).absolutePath());
    const QString FolderShown = MessageText::Shown(Folder.filePath(), PATH_MAX);
    if (!Folder.isDir())
        throw Exception(QStringLiteral("Cannot create file %1: the folder %2 does not exist")
                            .arg(Shown, FolderShown));
    if (!Folder.isWritable())
        throw Exception(QStringLiteral("Cannot create file %1: the folder %2 is not writable")
                            .arg(Shown, FolderShown));
}

QStringList ReadReportLines(const QString& Path) {
    return EditorText::ReportLines(ReadReportFileLines(Path));
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

} // namespace CliIo
