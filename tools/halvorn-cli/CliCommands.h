#pragma once

#include "CliOptions.h"

#include <QString>

// The subcommands of halvorn-cli. Failures are thrown as Exception with a text that names the
// file or port; "no data" as ECliNoData, a download stopped by a signal as ECliStopped.
namespace CliCommands {

// The state goes to stderr: a line per state, or with Options.Progress a plain line each
// second, or while stderr is a terminal one line rewritten in place with the bytes, the time
// and the rate. A transfer that ends without a report keeps its bytes as a capture file.
void Download(const TCliOptions& Options);
void Build(const TCliOptions& Options);
void ApplyInfo(const TCliOptions& Options);
void Export(const TCliOptions& Options);
// The summary and checks for people on stdout, or the JSON with --json; --csv writes the CSV
// to its file, and stdout then holds only the JSON asked for.
void Readings(const TCliOptions& Options);

QString VersionText();

} // namespace CliCommands
