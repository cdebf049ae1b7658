// halvorn-cli-print: "halvorn-cli print", "report-pdf" and "chart", started by halvorn-cli
// with the same arguments.
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
            if (!NeedsGraphics(Options.Command))
                throw ECliUsage(
                    QStringLiteral("halvorn-cli-print only runs print, report-pdf and chart"));
        }))
        return Status;

    // Printing needs fonts and a paint engine, but never a screen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication App(argc, argv);
    return CliMain::Guarded([&] {
        if (Options.Command == TCliCommand::ReportPdf)
            CliCommands::ReportPdf(Options);
        else if (Options.Command == TCliCommand::Chart)
            CliCommands::Chart(Options);
        else
            CliCommands::Print(Options);
    });
}
