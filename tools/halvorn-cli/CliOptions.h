#pragma once

#include "measurement/Units.h"
// TPaper only: the command line is read before any graphics library is loaded.
#include "measurement/clientreport/ClientReport.h"

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

struct TCliUsageError {
    QString Message;
};

// Arguments without the program name: a command (one word, or two for a group such as
// "archive list"), then its options and positional arguments in any order ("--" ends the
// options). Throws TCliUsageError.
TCliOptions ParseCliOptions(const QStringList& Arguments);

QString CliUsage();

// The exit statuses, one for each outcome of every command.
namespace CliExit {
constexpr int Done = 0;
constexpr int Failure = 1;
constexpr int Usage = 2;
constexpr int NoData = 3;
constexpr int Interrupted = 130; // 128 + SIGINT, as shells report it
} // namespace CliExit
