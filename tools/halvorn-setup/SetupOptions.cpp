#include "SetupOptions.h"

#include <QCommandLineParser>

namespace {

[[noreturn]] void Fail(const QString& Message) {
    throw TSetupUsageError{Message};
}

} // namespace

QString SetupUsage() {
    return QStringLiteral(
        "Usage: halvorn-setup [options]\n"
        "Prepares Halvorn for the current user, as an installer would. When the settings store\n"
        "has no \"InstallDir\" (or an empty one), creates the folder and its Data folder and\n"
        "stores the folder as \"InstallDir\". A stored \"InstallDir\" is never changed; its\n"
        "folder and Data folder are created when missing. \"Port\" and \"InfoEnable\" are\n"
        "stored as 0 when missing, so the program starts with a complete key. Nothing else that\n"
        "is stored is overwritten, and a second run changes nothing. The program and\n"
        "halvorn-cli do the same by themselves when they find no \"InstallDir\".\n"
        "\n"
        "  --dir PATH        folder to store when none is stored yet (default ~/Halvorn)\n"
        "  --demo-port N     store \"Port\"=N (1-4, COM1-COM4) when no \"Port\" is stored yet\n"
        "  --quiet           print nothing but errors\n"
        "  --help            show this text\n"
        "\n"
        "Settings store: $XDG_CONFIG_HOME/Tamsor/registry.reg (~/.config when unset).\n"
        "Exit status: 0 done, 1 failure, 2 usage error.\n");
}

TSetupOptions ParseSetupOptions(const QStringList& Arguments) {
    QCommandLineParser Parser;
    Parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* Name : {"dir", "demo-port"})
        Parser.addOption(QCommandLineOption(QString::fromLatin1(Name), QString(), "value"));
    for (const char* Name : {"quiet", "help"})
        Parser.addOption(QCommandLineOption(QString::fromLatin1(Name)));
    // The parser wants a program name first.
    if (!Parser.parse(QStringList{QStringLiteral("halvorn-setup")} + Arguments))
        Fail(Parser.errorText());
    if (!Parser.positionalArguments().isEmpty())
        Fail(QStringLiteral("unexpected argument '%1'").arg(Parser.positionalArguments().first()));
    for (const char* Name : {"dir", "demo-port"})
        if (Parser.values(QString::fromLatin1(Name)).size() > 1)
            Fail(QStringLiteral("--%1 given more than once").arg(QString::fromLatin1(Name)));

    TSetupOptions Options;
    Options.Help = Parser.isSet("help");
    Options.Quiet = Parser.isSet("quiet");
    if (Parser.isSet("dir")) {
        Options.Dir = Parser.value("dir");
        if (Options.Dir.isEmpty())
            Fail(QStringLiteral("--dir wants a path"));
    }
    if (Parser.isSet("demo-port")) {
        bool Ok = false;
        const QString Text = Parser.value("demo-port");
        Options.DemoPort = Text.toInt(&Ok);
        if (!Ok || Options.DemoPort < 1 || Options.DemoPort > 4)
            Fail(QStringLiteral("--demo-port wants a port number from 1 to 4, not '%1'").arg(Text));
    }
    return Options;
}
