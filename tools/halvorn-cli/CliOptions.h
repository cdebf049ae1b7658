#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The command line of halvorn-cli, taken apart without touching any file or port.
enum class TCliCommand { Download, Build, ApplyInfo, Export, Print, Version, Help };

enum class TPaper { A4, Letter };

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
};

struct TCliUsageError {
    QString Message;
};

// Arguments without the program name. Throws TCliUsageError.
TCliOptions ParseCliOptions(const QStringList& Arguments);

QString CliUsage();
