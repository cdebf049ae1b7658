#pragma once

#include "CliOptions.h"

// print, report-pdf and chart live in their own program, halvorn-cli-print, so that the other
// commands never load the toolkit's graphics and printing libraries: a script pays for them
// only when it draws. Each needs a QGuiApplication.
namespace CliCommands {

void Print(const TCliOptions& Options);
// The client report of REPORT as a PDF file.
void ReportPdf(const TCliOptions& Options);
// The readings chart of REPORT alone as a PNG file.
void Chart(const TCliOptions& Options);

} // namespace CliCommands
