#include "CliCommands.h"

#include "CliIo.h"
#include "acquisition/CaptureText.h"

#include "acquisition/Download.h"
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

#include <chrono>
#include <climits>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace CliCommands {

namespace {

// The status texts name the port as "Com n"; a device path stands in its place.
QString StateText(TDownload::TState State, const QString& Port) {
    if (const int Number = PortMap::PortNumber(Port))
        return StatusText(State, Number);
    return StatusText(State, 0).replace(QStringLiteral("Com 0"),
                                        MessageText::Shown(Port, PATH_MAX));
}

void ShowOnStderr(const QString& Status, int BytesWaiting) {
    static const bool Terminal = ::isatty(STDERR_FILENO) == 1;
    static QString Last;
    const QByteArray Text = Status.toLocal8Bit();
    if (Terminal) {
        // One line, rewritten in place; the count only makes sense while bytes arrive.
        if (BytesWaiting > 0)
            std::fprintf(stderr, "\r%s %d bytes\033[K", Text.constData(), BytesWaiting);
        else
            std::fprintf(stderr, "\r%s\033[K", Text.constData());
        if (Status == StatusText(TDownload::TState::Idle, 0))
            std::fputc('\n', stderr);
    } else if (Status != Last) {
        std::fprintf(stderr, "%s\n", Text.constData());
    }
    std::fflush(stderr);
    Last = Status;
}

// A text that names the device already needs no port in front of it.
Exception PortError(const QString& Port, const ECommError& Error) {
    if (!Error.DevicePath.isEmpty())
        return Exception(CommErrorText(Error));
    return Exception(MessageText::Shown(Port, PATH_MAX) + QStringLiteral(": ") +
                     CommErrorText(Error));
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

void Download(const TCliOptions& Options, const TStateSink& GivenSink) {
    const TStateSink Sink = GivenSink ? GivenSink : TStateSink(ShowOnStderr);
    // Checked before listening, so a bad file or folder never costs a printout.
    const TReportInfo Info = CliIo::LoadReportInfo(Options);
    for (const QString& Output : {Options.Output, Options.ExportFile})
        if (!Output.isEmpty())
            CliIo::RequireWritableFolder(Output);
    const QString& PortName = Options.Input;

    TSerialPort Port;
    TDownload Receive(Port);
    try {
        Port.SetPortName(PortName);
        Receive.Start();
    } catch (const ECommError& E) {
        throw PortError(PortName, E);
    }
    Sink(StateText(TDownload::TState::Listening, PortName), 0);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point Begin = Clock::now();
    const auto Limit = std::chrono::duration<double>(Options.WaitSeconds.value_or(0));
    Clock::time_point TickAt = Begin;
    for (;;) {
        // Counted from the tick itself: after a stall (a busy machine, a stopped process) two
        // ticks in a row would see the same count and end the transfer in the middle.
        TickAt += std::chrono::milliseconds(TDownload::TickIntervalMs);
        std::this_thread::sleep_until(TickAt);
        TickAt = Clock::now();
        bool Ended = false;
        try {
            Ended = Receive.Tick();
        } catch (const ECommError& E) {
            Sink(StateText(TDownload::TState::Idle, PortName), 0);
            throw PortError(PortName, E);
        }
        if (Ended)
            break;
        if (Options.WaitSeconds && Receive.State() == TDownload::TState::Listening &&
            Clock::now() - Begin >= Limit) {
            Receive.Abort();
            Sink(StateText(TDownload::TState::Idle, PortName), 0);
            throw TCliNoData{QStringLiteral("No data received on ") +
                             MessageText::Shown(PortName, PATH_MAX)};
        }
        Sink(StateText(Receive.State(), PortName), Receive.LastQueueCount());
    }
    Sink(StateText(TDownload::TState::Idle, PortName), 0);

    const QByteArray Text = Receive.TakeDownloadText();
    const QString NoData =
        QStringLiteral("No data received on ") + MessageText::Shown(PortName, PATH_MAX);
    if (Text.isEmpty())
        throw TCliNoData{NoData};
    const QStringList Report = BuildReport(Text, Info);
    RequireLines(Report, NoData, "the printout holds no line of a report");
    // The report first: a refused export must not lose the printout.
    WriteBuilt(Options, Report);
    if (!Options.ExportFile.isEmpty()) {
        try {
            ExportWriter::WriteExport(Options.ExportFile, Report);
        } catch (const AtomicWrite::EWriteError&) {
            throw;
        } catch (const Exception& E) {
            throw Exception(MessageText::Shown(Options.ExportFile, PATH_MAX) +
                            QStringLiteral(": ") + E.Message);
        }
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
