#pragma once

#include "CliOptions.h"

// The team commands of halvorn-cli: the company's team archive on a PostgreSQL server.
namespace CliTeam {

// Runs the team command of Options. Every failure is an Exception naming the server.
void Run(const TCliOptions& Options);

} // namespace CliTeam
