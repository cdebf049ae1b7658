#pragma once

#include <QString>
#include <functional>

// What the two programs of halvorn-cli share around a command: quiet toolkit notices, and
// one line on stderr with the exit status for every way a command can fail.
namespace CliMain {

void InstallMessageFilter();

// CliExit::Done when Command returns; another status of CliExit with one line on stderr
// otherwise.
int Guarded(const std::function<void()>& Command);

int Fail(const QString& Message, int Status);

} // namespace CliMain
