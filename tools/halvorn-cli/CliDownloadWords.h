#pragma once

#include "CliOptions.h"
#include "acquisition/DownloadSession.h"

#include <QString>

// What halvorn-cli says when a download has ended, as the exception its exit status comes
// from: ECliStopped for a signal or Ctrl+C, ECliNoData when nothing came, Exception for a
// failure; each names what became of the bytes.
namespace CliDownloadWords {

// Why a complete download's report, or its export, could not be written; empty when it was.
struct TWritten {
    QString ReportError, ExportError;
};

// Raises what is to be said of the download that ended as R; returns only for a report
// written in full whose bytes were kept as asked.
void Raise(const TDownloadResult& R, const TCliOptions& Options, const TWritten& Written);

} // namespace CliDownloadWords
