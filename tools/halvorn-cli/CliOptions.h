#pragma once

#include "measurement/ReferenceLevel.h"
#include "measurement/Units.h"
#include "platform/Exception.h"
#include "platform/Paper.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

// The command line of halvorn-cli, taken apart without touching any file or port.
enum class TCliCommand {
    Download,
    Build,
    ApplyInfo,
    Export,
    Print,
    Readings,
    ReportPdf,
    Chart,
    Ports,
    ArchiveList,
    ArchiveShow,
    ArchiveExport,
    ArchiveImport,
    TeamConnect,
    TeamInit,
    TeamPush,
    TeamList,
    TeamShow,
    TeamStatus,
    TeamDelete,
    Version,
    Help
};

struct TCliOptions {
    TCliCommand Command = TCliCommand::Help;
    // The command's positional arguments in order; Input is the first of them (PORT, CAPTURE,
    // REPORT, ID), empty when it takes none.
    QStringList Arguments;
    QString Input;
    QString Output; // -o; empty: stdout (reports only)
    QString ExportFile;
    QString InfoFile;
    std::optional<bool> InfoEnabled; // unset: the stored "InfoEnable"
    std::optional<double> WaitSeconds;
    QString FontFamily = QStringLiteral("Courier New");
    int FontSize = 10;
    int Dpi = 600;
    std::optional<TPaper> Paper; // unset: from the user's locale
    bool Json = false;
    QString CsvFile;
    std::optional<TUnit> Unit; // unset: the stored "Units", else pCi/L
    // --level KEY, or --level VALUE UNIT with --level-name; unset: the stored level.
    std::optional<TReferenceLevel> Level;
    QString JobFile; // report-pdf --job
    QSize ChartSize{1200, 500};
    bool Progress = false;  // download: a plain line each second
    QString CapturesFolder; // download: empty: the window's folder
    bool Assign = false;    // ports: Arguments are COMn and DEVICE
    QString ArchiveFile;    // archive commands and download: empty: the default database
    bool NoArchive = false; // download: keep nothing in the archive
    bool Raw = false;       // archive show
    bool ReportText = false;
    QString Server;     // team commands: --server URI; empty: the stored one
    bool Roles = false; // team init
};

// The commands that need the graphics libraries, run by the companion program.
bool NeedsGraphics(TCliCommand Command);
bool IsTeamCommand(TCliCommand Command);

// Ways a command ends other than by a failure (Exception): each has its exit status.
// Options or arguments that do not fit the command.
class ECliUsage : public Exception {
public:
    using Exception::Exception;
};
// Nothing to do: nothing received, or a report without a line.
class ECliNoData : public Exception {
public:
    using Exception::Exception;
};
// A download a signal stopped (Ctrl+C, a closed terminal, a service stop): the status is 128
// plus the signal's number, as shells report it; the message says what became of the bytes.
class ECliStopped : public Exception {
public:
    ECliStopped(int Signal, const QString& Message) : Exception(Message), Signal(Signal) {}
    const int Signal;
};

// Arguments without the program name: a command (one word, or two for a group such as
// "archive list"), then its options and positional arguments in any order ("--" ends the
// options). Throws ECliUsage.
TCliOptions ParseCliOptions(const QStringList& Arguments);

QString CliUsage();

// The exit statuses, one for each outcome of every command.
namespace CliExit {
constexpr int Done = 0;
constexpr int Failure = 1;
constexpr int Usage = 2;
constexpr int NoData = 3;
// 128 plus the signal that stopped a download, as shells report it: 130 Ctrl+C, 129 a closed
// terminal, 143 a termination request.
constexpr int SignalBase = 128;
} // namespace CliExit
