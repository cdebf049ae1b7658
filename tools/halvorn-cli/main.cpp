// halvorn-cli: the program's download, report, export and print steps for scripts and
// archives. See --help.
#include "CliArchive.h"
#include "CliCommands.h"
#include "CliIo.h"
#include "CliMain.h"
#include "CliOptions.h"
#include "CliPorts.h"
#include "CliTeam.h"
#include "platform/Exception.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

// Next to this program in the build tree, under libexec once installed.
QString CompanionProgram() {
    const QString Dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    const QString Beside = Dir + QStringLiteral("/halvorn-cli-print");
    if (QFileInfo::exists(Beside))
        return Beside;
    return Dir + QStringLiteral("/" HALVORN_CLI_PRINT_FROM_BIN "/halvorn-cli-print");
}

int Companion(char* argv[]) {
    const QByteArray Program = QFile::encodeName(CompanionProgram());
    std::vector<char*> Arguments{const_cast<char*>(Program.constData())};
    for (char** A = argv + 1; *A; ++A)
        Arguments.push_back(*A);
    Arguments.push_back(nullptr);
    ::execv(Program.constData(), Arguments.data());
    return CliMain::Fail(
        QStringLiteral("Cannot start %1: %2")
            .arg(QString::fromLocal8Bit(Program), QString::fromLocal8Bit(std::strerror(errno))),
        CliExit::Failure);
}

} // namespace

int main(int argc, char* argv[]) {
    // A closed pipe on stdout is a failed write, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    CliMain::InstallMessageFilter();
    QStringList Arguments;
    for (int i = 1; i < argc; ++i)
        Arguments << QString::fromLocal8Bit(argv[i]);

    TCliOptions Options;
    if (const int Status = CliMain::Guarded([&] { Options = ParseCliOptions(Arguments); }))
        return Status;
    if (NeedsGraphics(Options.Command))
        return Companion(argv);

    QCoreApplication App(argc, argv);
    return CliMain::Guarded([&] {
        if (IsTeamCommand(Options.Command))
            return CliTeam::Run(Options);
        switch (Options.Command) {
        case TCliCommand::Download:
            CliCommands::Download(Options);
            break;
        case TCliCommand::Build:
            CliCommands::Build(Options);
            break;
        case TCliCommand::ApplyInfo:
            CliCommands::ApplyInfo(Options);
            break;
        case TCliCommand::Export:
            CliCommands::Export(Options);
            break;
        case TCliCommand::Version:
            CliIo::WriteStdout((CliCommands::VersionText() + QLatin1Char('\n')).toLocal8Bit());
            break;
        case TCliCommand::Help:
            CliIo::WriteStdout(CliUsage().toLocal8Bit());
            break;
        case TCliCommand::Readings:
            CliCommands::Readings(Options);
            break;
        case TCliCommand::Print:
        case TCliCommand::ReportPdf:
        case TCliCommand::Chart:
            break;
        case TCliCommand::Ports:
            CliPorts::Ports(Options);
            break;
        case TCliCommand::ArchiveList:
            CliArchive::List(Options);
            break;
        case TCliCommand::ArchiveShow:
            CliArchive::Show(Options);
            break;
        case TCliCommand::ArchiveExport:
            CliArchive::Export(Options);
            break;
        case TCliCommand::ArchiveImport:
            CliArchive::Import(Options);
            break;
        default:
            break;
        }
    });
}
