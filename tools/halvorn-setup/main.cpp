// halvorn-setup: the installer's part for the current user. See --help.
#include "SetupOptions.h"

#include "platform/Exception.h"
#include "platform/Registry.h"
#include "settings/InstallFolder.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication App(argc, argv);
    TSetupOptions Options;
    try {
        Options = ParseSetupOptions(App.arguments().mid(1));
    } catch (const TSetupUsageError& Error) {
        std::fprintf(stderr, "halvorn-setup: %s\nTry 'halvorn-setup --help'.\n",
                     Error.Message.toLocal8Bit().constData());
        return 2;
    }
    if (Options.Help) {
        std::fputs(SetupUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    try {
        const QStringList Done = InstallFolder::Prepare({Options.Dir, Options.DemoPort}).Done;
        if (!Options.Quiet) {
            for (const QString& Line : Done)
                std::printf("%s\n", Line.toLocal8Bit().constData());
            std::printf("Settings store %s\n", TRegistry::StorePath().toLocal8Bit().constData());
        }
    } catch (const Exception& Error) {
        std::fprintf(stderr, "halvorn-setup: %s\n", Error.Message.toLocal8Bit().constData());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
