#include "CliCommands.h"

#include "CliArchive.h"
#include "CliDownloadWords.h"
#include "CliIo.h"
#include "report/CaptureText.h"

#include "acquisition/CaptureFile.h"
#include "acquisition/DownloadProgress.h"
#include "acquisition/DownloadSession.h"
#include "acquisition/ECommError.h"
#include "files/EditorText.h"
#include "files/ExportWriter.h"
#include "platform/AtomicWrite.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"
#include "platform/PortMap.h"
#include "platform/SignalWatcher.h"
#include "report/ApplyInfo.h"
#include "report/ReportBuilder.h"
#include "settings/InstallFolder.h"

#include <QEventLoop>
#include <climits>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace CliCommands {

namespace {

// The status texts name the port as "Com n"; a device path stands in its place.
QString StateText(TDownload::TState State, const QString& Port) {
    if (const int Number = ComPorts::PortNumber(Port))
        return StatusText(State, Number);
    return StatusText(State, 0).replace(QStringLiteral("Com 0"),
                                        MessageText::Shown(Port, PATH_MAX));
}

// The state on stderr, as Options ask.
class TProgress {
public:
    explicit TProgress(const TCliOptions& Options)
        : FPlain(Options.Progress), FTerminal(!FPlain && ::isatty(STDERR_FILENO) == 1) {}

    void Show(const QString& Status, qint64 Bytes, qint64 ElapsedMs) {
        const QByteArray Line =
            (Status + QLatin1Char(' ') + DownloadProgress::Text(Bytes, ElapsedMs)).toLocal8Bit();
        if (FTerminal) {
            std::fprintf(stderr, "\r%s\033[K", Line.constData());
        } else if (FPlain) {
            if (ElapsedMs / 1000 <= FLastSecond)
                return;
            FLastSecond = ElapsedMs / 1000;
            std::fprintf(stderr, "%s\n", Line.constData());
        } else if (Status != FLast) {
            std::fprintf(stderr, "%s\n", Status.toLocal8Bit().constData());
        }
        FLast = Status;
        std::fflush(stderr);
    }

    // Ends the rewritten line, so what follows starts on a line of its own.
    void Idle(const QString& Status) {
        if (FTerminal)
            std::fprintf(stderr, "\r%s\033[K\n", Status.toLocal8Bit().constData());
        else if (Status != FLast)
            std::fprintf(stderr, "%s\n", Status.toLocal8Bit().constData());
        FLast = Status;
        std::fflush(stderr);
    }

private:
    const bool FPlain, FTerminal;
    QString FLast;
    qint64 FLastSecond = -1;
};

// A text that names the device already needs no port in front of it.
Exception PortError(const QString& Port, const ECommError& Error) {
    if (!Error.DevicePath.isEmpty())
        return Exception(Error.Message);
    return Exception(MessageText::Shown(Port, PATH_MAX) + QStringLiteral(": ") + Error.Message);
}

// A report without a line is no result: "no data", and nothing is written.
void RequireLines(const QStringList& Report, const QString& Source, const char* Why) {
    if (Report.isEmpty())
        throw ECliNoData(Source + QStringLiteral(": ") + QLatin1String(Why));
}

void WriteBuilt(const TCliOptions& Options, const QStringList& Report) {
    CliIo::WriteReport(Options.Output, EditorText::FileLinesOf(Report));
}

// The report, then its export: a refused export must not lose the printout.
CliDownloadWords::TWritten WriteOutputs(const TCliOptions& Options, const QStringList& Report) {
    CliDownloadWords::TWritten Written;
    try {
        WriteBuilt(Options, Report);
    } catch (const Exception& E) {
        Written.ReportError = E.Message;
        return Written;
    }
    if (Options.ExportFile.isEmpty())
        return Written;
    try {
        ExportWriter::WriteExport(Options.ExportFile, Report);
    } catch (const AtomicWrite::EWriteError& E) {
        Written.ExportError = E.Message;
    } catch (const Exception& E) {
        // The export's refusal of a report does not say which file it was to be.
        Written.ExportError =
            MessageText::Shown(Options.ExportFile, PATH_MAX) + QStringLiteral(": ") + E.Message;
    }
    return Written;
}

// Runs the download until it ends, showing its state as Options ask; Ctrl+C, a closed
// terminal and a termination request stop it as Stop does in the window.
TDownloadResult Receive(TDownloadSession& Session, TDownloadSetup Setup,
                        const TCliOptions& Options) {
    TProgress Progress(Options);
    const QString Port = Setup.Port;
    const TSignalWatcher Signals({SIGINT, SIGTERM, SIGHUP});
    QObject::connect(&Signals, &TSignalWatcher::Received, &Session,
                     [&Session](int Signal) { Session.Stop(Signal); });
    QObject::connect(&Session, &TDownloadSession::Progress, &Session,
                     [&](TDownload::TState State, qint64 Bytes, qint64 ElapsedMs) {
                         Progress.Show(StateText(State, Port), Bytes, ElapsedMs);
                     });
    std::optional<TDownloadResult> Result;
    QEventLoop Loop;
    QObject::connect(&Session, &TDownloadSession::Ended, &Loop, [&](const TDownloadResult& Ended) {
        Result = Ended;
        Loop.quit();
    });
    try {
        Session.Start(std::move(Setup));
    } catch (const ECommError& E) {
        throw PortError(Port, E);
    }
    if (!Result)
        Loop.exec();
    Progress.Idle(StateText(TDownload::TState::Idle, Port));
    return *Result;
}

} // namespace

void Download(const TCliOptions& Options) {
    TDownloadSetup Setup;
    // Checked before listening, so a bad file or folder never costs a printout.
    Setup.Info = CliIo::LoadReportInfo(Options);
    for (const QString& Output : {Options.Output, Options.ExportFile})
        if (!Output.isEmpty())
            CliIo::RequireWritableFolder(Output);
    Setup.Port = Options.Input;
    Setup.WaitSeconds = Options.WaitSeconds.value_or(0);
    if (!Options.NoArchive)
        Setup.Archive = [&Options](const TArchiveEntry& Entry) {
            return CliArchive::Store(Options, Entry);
        };
    Setup.CapturesFolder = [&Options] {
        return Options.CapturesFolder.isEmpty()
                   ? CaptureFile::FolderIn(InstallFolder::FirstStart().Dir)
                   : Options.CapturesFolder;
    };
    TDownloadSession Session;
    TDownloadResult R = Receive(Session, std::move(Setup), Options);
    CliDownloadWords::TWritten Written;
    if (R.End == TDownloadResult::TEnd::Complete) {
        if (!R.Report.isEmpty())
            Written = WriteOutputs(Options, R.Report);
        // Without an archive asked for, a complete download's bytes are kept as a capture
        // only now, when something failed.
        if (R.Report.isEmpty() || !Written.ReportError.isEmpty() || !R.ArchiveError.isEmpty())
            Session.KeepAsCapture(R);
    }
    CliDownloadWords::Raise(R, Options, Written);
}

void Build(const TCliOptions& Options) {
    const TReportInfo Info = CliIo::LoadReportInfo(Options);
    const QByteArray Text = CaptureText::DownloadText(CliIo::ReadCapture(Options.Input));
    const QString NoData =
        QStringLiteral("No data in ") + MessageText::Shown(Options.Input, PATH_MAX);
    if (Text.isEmpty())
        throw ECliNoData(NoData);
    const QStringList Report = BuildReport(Text, Info);
    RequireLines(Report, NoData, "the capture holds no line of a report");
    WriteBuilt(Options, Report);
}

void ApplyInfo(const TCliOptions& Options) {
    const TReportInfo Info = CliIo::LoadReportInfo(Options);
    const QStringList FileLines = CliIo::ReadReportFileLines(Options.Input);
    const QString NoData =
        QStringLiteral("No data in ") + MessageText::Shown(Options.Input, PATH_MAX);
    RequireLines(EditorText::ReportLines(FileLines), NoData, "the report has no line");
    if (const std::optional<QStringList> Rebuilt =
            ::ApplyInfo(EditorText::ReportLines(FileLines), Info)) {
        RequireLines(*Rebuilt, NoData, "no line of the report is left");
        WriteBuilt(Options, *Rebuilt);
        return;
    }
    // Nothing to rebuild: the report as Open loaded it, which a Save writes back.
    CliIo::WriteReport(Options.Output, FileLines);
}

void Export(const TCliOptions& Options) {
    const QStringList Lines = CliIo::ReadReportLines(Options.Input);
    try {
        ExportWriter::WriteExport(Options.Output, Lines);
    } catch (const AtomicWrite::EWriteError&) {
        throw;
    } catch (const Exception& E) {
        // The landmark refusal does not say which report it was.
        throw Exception(MessageText::Shown(Options.Input, PATH_MAX) + QStringLiteral(": ") +
                        E.Message);
    }
}

void Readings(const TCliOptions& Options) {
    const TUnit Unit = CliIo::ChosenUnit(Options);
    const TMeasurement Measured = CliIo::Measured(Options, Unit);
    if (!Options.CsvFile.isEmpty())
        AtomicWrite::ReplaceFile(Options.CsvFile, Measurement::Csv(Measured.Readings));
    if (Options.Json)
        CliIo::WriteStdout(Measurement::Json(Measured));
    else if (Options.CsvFile.isEmpty())
        CliIo::WriteStdout(Measurement::ForPeople(Measured, Unit).toLocal8Bit());
}

QString VersionText() {
    return QStringLiteral("halvorn-cli " HALVORN_VERSION);
}

} // namespace CliCommands
