#include "CliCommands.h"

#include "CliArchive.h"
#include "CliIo.h"
#include "acquisition/CaptureText.h"

#include "acquisition/CaptureFile.h"
#include "acquisition/Download.h"
#include "acquisition/DownloadFault.h"
#include "acquisition/DownloadProgress.h"
#include "acquisition/ECommError.h"
#include "acquisition/TSerialPort.h"
#include "files/EditorText.h"
#include "files/ExportWriter.h"
#include "platform/AtomicWrite.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"
#include "platform/PortMap.h"
#include "report/ApplyInfo.h"
#include "report/ReportBuilder.h"
#include "settings/InstallFolder.h"

#include <QDateTime>
#include <QLocale>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <thread>
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

volatile std::sig_atomic_t Interrupted = 0;

void OnInterrupt(int) {
    Interrupted = 1;
}

// Ctrl+C stops the download as Stop does in the window, for as long as one runs.
class TInterruptGuard {
public:
    TInterruptGuard() {
        Interrupted = 0;
        struct sigaction Action {};
        Action.sa_handler = OnInterrupt;
        sigemptyset(&Action.sa_mask);
        ::sigaction(SIGINT, &Action, &FPrevious);
    }
    ~TInterruptGuard() { ::sigaction(SIGINT, &FPrevious, nullptr); }
    TInterruptGuard(const TInterruptGuard&) = delete;
    TInterruptGuard& operator=(const TInterruptGuard&) = delete;

private:
    struct sigaction FPrevious {};
};

// Where the bytes of a download go (the archive first, a capture file when it is off or fails),
// and what they are named after.
struct TKeep {
    QString Folder; // empty: the installation folder's, found when needed
    QDateTime Started;
    int PortNumber = 0;
    QString Device;
    const TCliOptions* Archive = nullptr; // null: --no-archive
    QString Port;
    TReportInfo Info;

    // Into the archive: where the bytes are now; empty with ArchiveError set when it failed or
    // is off.
    QString Archived(TArchiveState State, const QByteArray& Bytes, const QString& Error,
                     QString& ArchiveError) const {
        if (!Archive)
            return {};
        TArchiveEntry Entry;
        Entry.Port = Port;
        Entry.Device = Device;
        Entry.Raw = Bytes;
        Entry.State = State;
        Entry.Error = Error;
        Entry.Info = Info;
        try {
            return CliArchive::Where(*Archive, CliArchive::Store(*Archive, Entry));
        } catch (const Exception& E) {
            ArchiveError = E.Message;
        } catch (const std::exception& E) {
            // Whatever went wrong, the bytes go to a capture file.
            ArchiveError = QString::fromLocal8Bit(E.what());
        }
        return {};
    }

    // The archive, else a capture file: where the bytes are, or empty with CaptureError set.
    QString Store(TArchiveState State, const QByteArray& Bytes, const QString& Error,
                  QString& ArchiveError, QString& CaptureError) const {
        const QString In = Archived(State, Bytes, Error, ArchiveError);
        if (!In.isEmpty())
            return In;
        const QString File = Write(Bytes, CaptureError);
        return File.isEmpty() ? File : MessageText::Shown(File, PATH_MAX);
    }

    // The capture file's path; empty with Error set when the bytes could not be kept.
    QString Write(const QByteArray& Bytes, QString& Error) const {
        try {
            const QString In =
                Folder.isEmpty() ? CaptureFile::FolderIn(InstallFolder::FirstStart().Dir) : Folder;
            return CaptureFile::Write(In, Started, CaptureFile::PortLabel(PortNumber, Device),
                                      Bytes);
        } catch (const Exception& E) {
            Error = E.Message;
        }
        return {};
    }

    // Message with what became of Bytes after it.
    QString Kept(const QString& Message, const QByteArray& Bytes,
                 TArchiveState State = TArchiveState::Stopped) const {
        QString ArchiveError, Error;
        const QString Where = Store(State, Bytes, QString(), ArchiveError, Error);
        return Said(Message, Where, ArchiveError, Error);
    }

    // Message, where the bytes are (or why nowhere), and why the archive did not take them,
    // its details last.
    static QString Said(const QString& Message, const QString& Where, const QString& ArchiveError,
                        const QString& CaptureError) {
        QString Text = Where.isEmpty()
                           ? Message + QStringLiteral("; the bytes received could not be kept: ") +
                                 CaptureError
                           : Message + QStringLiteral("; the bytes received are in ") + Where;
        if (!ArchiveError.isEmpty())
            Text += QStringLiteral(". ") + ArchiveError;
        return Text;
    }
};

QString DevicePathOf(const QString& Port) {
    try {
        return PortMap::DevicePath(Port);
    } catch (const Exception&) {
        return Port;
    }
}

// A text that names the device already needs no port in front of it.
Exception PortError(const QString& Port, const ECommError& Error) {
    if (!Error.DevicePath.isEmpty())
        return Exception(Error.Message);
    return Exception(MessageText::Shown(Port, PATH_MAX) + QStringLiteral(": ") + Error.Message);
}

// A report without a line is no result: "no data", and nothing is written.
void RequireLines(const QStringList& Report, const QString& Source, const char* Why) {
    if (Report.isEmpty())
        throw TCliNoData{Source + QStringLiteral(": ") + QLatin1String(Why)};
}

void WriteBuilt(const TCliOptions& Options, const QStringList& Report) {
    CliIo::WriteReport(Options.Output, EditorText::FileLinesOf(Report));
}

} // namespace

void Download(const TCliOptions& Options) {
    TProgress Progress(Options);
    // Checked before listening, so a bad file or folder never costs a printout.
    const TReportInfo Info = CliIo::LoadReportInfo(Options);
    for (const QString& Output : {Options.Output, Options.ExportFile})
        if (!Output.isEmpty())
            CliIo::RequireWritableFolder(Output);
    const QString& PortName = Options.Input;
    const QString Shown = MessageText::Shown(PortName, PATH_MAX);
    TKeep Keep{Options.CapturesFolder,
               QDateTime::currentDateTime(),
               ComPorts::PortNumber(PortName),
               DevicePathOf(PortName),
               Options.NoArchive ? nullptr : &Options,
               PortName,
               Info};

    TSerialPort Port;
    TDownload Receive(Port);
    const TInterruptGuard Guard;
    try {
        Port.SetPortName(PortName);
        Receive.Start();
    } catch (const ECommError& E) {
        throw PortError(PortName, E);
    }

    using Clock = std::chrono::steady_clock;
    const Clock::time_point Begin = Clock::now();
    const auto ElapsedMs = [&Begin] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Begin).count();
    };
    Progress.Show(StateText(TDownload::TState::Listening, PortName), 0, 0);
    const auto Limit = std::chrono::duration<double>(Options.WaitSeconds.value_or(0));
    Clock::time_point TickAt = Begin;
    for (;;) {
        // Counted from the tick itself: after a stall (a busy machine, a stopped process) two
        // ticks in a row would see the same count and end the transfer in the middle.
        TickAt += std::chrono::milliseconds(TDownload::TickIntervalMs);
        std::this_thread::sleep_until(TickAt);
        TickAt = Clock::now();
        if (Interrupted) {
            Receive.Abort();
            Progress.Idle(StateText(TDownload::TState::Idle, PortName));
            const QByteArray Kept = Receive.TakeKept();
            if (Kept.isEmpty())
                throw TCliInterrupted{
                    QStringLiteral("Stopped listening on %1 before any byte came").arg(Shown)};
            throw TCliInterrupted{Keep.Kept(
                QStringLiteral("The download on %1 was stopped after %2 bytes; no report was made")
                    .arg(Shown,
                         QLocale(QLocale::English, QLocale::UnitedStates).toString(Kept.size())),
                Kept)};
        }
        bool Ended = false;
        try {
            Ended = Receive.Tick();
        } catch (const ECommError& E) {
            Progress.Idle(StateText(TDownload::TState::Idle, PortName));
            DownloadFault::TFault Fault;
            Fault.PortNumber = Keep.PortNumber;
            Fault.Device = Keep.Device;
            const QByteArray Kept = Receive.TakeKept();
            Fault.Bytes = Kept.size();
            QString ArchiveError;
            if (!Kept.isEmpty())
                Fault.Capture = Keep.Store(TArchiveState::Interrupted, Kept, E.Message,
                                           ArchiveError, Fault.CaptureError);
            throw Exception(
                DownloadFault::Line(Fault, E) +
                (ArchiveError.isEmpty() ? QString() : QStringLiteral(". ") + ArchiveError));
        }
        if (Ended)
            break;
        if (Options.WaitSeconds && Receive.State() == TDownload::TState::Listening &&
            Clock::now() - Begin >= Limit) {
            Receive.Abort();
            Progress.Idle(StateText(TDownload::TState::Idle, PortName));
            throw TCliNoData{QStringLiteral("No data received on ") + Shown};
        }
        Progress.Show(StateText(Receive.State(), PortName), Receive.LastQueueCount(), ElapsedMs());
    }
    Progress.Idle(StateText(TDownload::TState::Idle, PortName));

    const QByteArray Received = Receive.Received();
    const QByteArray Text = Receive.TakeDownloadText();
    const QString NoData = QStringLiteral("No data received on ") + Shown;
    if (Text.isEmpty())
        throw TCliNoData{NoData};
    const QStringList Report = BuildReport(Text, Info);
    // Stored before the report is written; a capture file only when the archive did not take it.
    QString ArchiveError;
    const QString Archived =
        Keep.Archived(TArchiveState::Complete, Received, QString(), ArchiveError);
    QString Capture, CaptureError;
    const auto Saying = [&](const QString& Message) {
        if (Archived.isEmpty() && Capture.isEmpty() && CaptureError.isEmpty()) {
            Capture = Keep.Write(Received, CaptureError);
            if (!Capture.isEmpty())
                Capture = MessageText::Shown(Capture, PATH_MAX);
        }
        return TKeep::Said(Message, Archived.isEmpty() ? Capture : Archived, QString(),
                           CaptureError);
    };
    if (Report.isEmpty())
        throw TCliNoData{
            Saying(NoData + QStringLiteral(": the printout holds no line of a report") +
                   (ArchiveError.isEmpty() ? QString() : QStringLiteral(". ") + ArchiveError))};
    // The report first: a refused export must not lose the printout.
    try {
        WriteBuilt(Options, Report);
    } catch (const Exception& E) {
        throw Exception(Saying(E.Message) +
                        (ArchiveError.isEmpty() ? QString() : QStringLiteral(". ") + ArchiveError));
    }
    if (!Options.ExportFile.isEmpty()) {
        const QString Written = Options.Output.isEmpty()
                                    ? QString()
                                    : QStringLiteral("; the report is in ") +
                                          MessageText::Shown(Options.Output, PATH_MAX);
        try {
            ExportWriter::WriteExport(Options.ExportFile, Report);
        } catch (const AtomicWrite::EWriteError& E) {
            throw Exception(
                E.Message + Written +
                (ArchiveError.isEmpty() ? QString() : QStringLiteral(". ") + ArchiveError));
        } catch (const Exception& E) {
            throw Exception(
                MessageText::Shown(Options.ExportFile, PATH_MAX) + QStringLiteral(": ") +
                E.Message + Written +
                (ArchiveError.isEmpty() ? QString() : QStringLiteral(". ") + ArchiveError));
        }
    }
    // The report is out; the archive's failure is still a failure, and the bytes are kept.
    if (!ArchiveError.isEmpty()) {
        const QString Head = ArchiveError.section(QLatin1Char('\n'), 0, 0);
        const QString Details = ArchiveError.section(QLatin1Char('\n'), 1);
        const QString Where = Options.Output.isEmpty()
                                  ? QString()
                                  : QStringLiteral("; the report is in ") +
                                        MessageText::Shown(Options.Output, PATH_MAX);
        throw Exception(Saying(Head.chopped(Head.endsWith(QLatin1Char('.')) ? 1 : 0) + Where) +
                        (Details.isEmpty() ? QString() : QLatin1Char('\n') + Details));
    }
}

void Build(const TCliOptions& Options) {
    const TReportInfo Info = CliIo::LoadReportInfo(Options);
    const QByteArray Text = CaptureText::DownloadText(CliIo::ReadCapture(Options.Input));
    const QString NoData =
        QStringLiteral("No data in ") + MessageText::Shown(Options.Input, PATH_MAX);
    if (Text.isEmpty())
        throw TCliNoData{NoData};
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
