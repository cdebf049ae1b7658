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
    Version,
    Help
};

struct TCliOptions {
    TCliCommand Command = TCliCommand::Help;
    QString Input;  // PORT, CAPTURE or REPORT
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
};

// The commands that need the graphics libraries, run by the companion program.
bool NeedsGraphics(TCliCommand Command);

struct TCliUsageError {
    QString Message;
};

// Arguments without the program name. Throws TCliUsageError.
TCliOptions ParseCliOptions(const QStringList& Arguments);

QString CliUsage();
