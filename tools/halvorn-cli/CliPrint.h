#pragma once

#include "CliOptions.h"

// print lives in its own program, halvorn-cli-print, so that the other commands never load
// the toolkit's graphics and printing libraries: a script pays for them only when it prints.
namespace CliCommands {

// Needs a QGuiApplication.
void Print(const TCliOptions& Options);

} // namespace CliCommands
