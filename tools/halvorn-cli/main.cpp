// halvorn-cli: the program's download, report, export and print steps for scripts and
// archives. See --help.
#include "CliCommands.h"
#include "CliIo.h"
#include "CliOptions.h"

#include "platform/Exception.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

int Report(const QString& Message, int Status) {
    QString Line = Message.trimmed();
    // One line per failure, also for texts that put the system's reason on a line of its own.
    Line.replace(QLatin1Char('\n'), QStringLiteral(": "));
    std::fprintf(stderr, "halvorn-cli: %s\n", Line.toLocal8Bit().constData());
    return Status;
}

// The toolkit's own notices (no runtime folder, font fallbacks) are not the user's business in a
// script; its critical messages still reach stderr.
void ToolkitMessage(QtMsgType Type, const QMessageLogContext&, const QString& Message) {
    if (Type == QtCriticalMsg || Type == QtFatalMsg)
        std::fprintf(stderr, "halvorn-cli: %s\n", Message.toLocal8Bit().constData());
}

int Run(const TCliOptions& Options) {
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
    case TCliCommand::Print:
        CliCommands::Print(Options);
        break;
    case TCliCommand::Version:
        CliIo::WriteStdout((CliCommands::VersionText() + QLatin1Char('\n')).toLocal8Bit());
        break;
    case TCliCommand::Help:
        CliIo::WriteStdout(CliUsage().toLocal8Bit());
        break;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // A closed pipe on stdout is a failed write, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    qInstallMessageHandler(ToolkitMessage);
    QStringList Arguments;
    for (int i = 1; i < argc; ++i)
        Arguments << QString::fromLocal8Bit(argv[i]);

    TCliOptions Options;
    try {
        Options = ParseCliOptions(Arguments);
    } catch (const TCliUsageError& E) {
        return Report(E.Message + QStringLiteral(" (see halvorn-cli --help)"), 2);
    }

    std::unique_ptr<QCoreApplication> App;
    if (Options.Command == TCliCommand::Print) {
        // Printing needs fonts and a paint engine, but never a screen.
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        App = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        App = std::make_unique<QCoreApplication>(argc, argv);
    }

    try {
        return Run(Options);
    } catch (const CliCommands::TCliNoData& E) {
        return Report(E.Message, 3);
    } catch (const Exception& E) {
        return Report(E.Message, 1);
    } catch (const std::exception& E) {
        return Report(QString::fromLocal8Bit(E.what()), 1);
    }
}
