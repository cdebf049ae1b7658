#pragma once

#include "CliOptions.h"

#include <QString>
#include <functional>

// The subcommands of halvorn-cli. Failures are thrown as Exception with a text that names the
// file or port; "no data" as TCliNoData.
namespace CliCommands {

struct TCliNoData {
    QString Message;
};

// Where download shows its state; by default a line on stderr per state, or one line kept
// up to date with the byte count when stderr is a terminal.
using TStateSink = std::function<void(const QString& Status, int BytesWaiting)>;

void Download(const TCliOptions& Options, const TStateSink& Sink = {});
void Build(const TCliOptions& Options);
void ApplyInfo(const TCliOptions& Options);
void Export(const TCliOptions& Options);
// The summary and checks for people on stdout, or the JSON with --json; --csv writes the CSV
// to its file, and stdout then holds only the JSON asked for.
void Readings(const TCliOptions& Options);

QString VersionText();

} // namespace CliCommands
