// halvorn-cli-print: "halvorn-cli print", started by halvorn-cli with the same arguments.
#include "CliMain.h"
#include "CliOptions.h"
#include "CliPrint.h"

#include <QGuiApplication>

int main(int argc, char* argv[]) {
    CliMain::InstallMessageFilter();
    QStringList Arguments;
    for (int i = 1; i < argc; ++i)
        Arguments << QString::fromLocal8Bit(argv[i]);
    TCliOptions Options;
    if (const int Status = CliMain::Guarded([&] {
            Options = ParseCliOptions(Arguments);
            if (Options.Command != TCliCommand::Print)
                throw TCliUsageError{QStringLiteral("halvorn-cli-print only prints")};
        }))
        return Status;

    // Printing needs fonts and a paint engine, but never a screen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication App(argc, argv);
    return CliMain::Guarded([&] { CliCommands::Print(Options); });
}
