#include "SimOptions.h"

#include <QCommandLineParser>
#include <algorithm>

namespace {

[[noreturn]] void Fail(const QString& Message) {
    throw TSimUsageError{Message};
}

int IntegerValue(const QCommandLineParser& Parser, const QString& Name, int Min, int Max) {
    bool Ok = false;
    const QString Text = Parser.value(Name);
    const qlonglong Value = Text.toLongLong(&Ok);
    if (!Ok || Value < Min || Value > Max)
        Fail(QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'")
                 .arg(Name)
                 .arg(Min)
                 .arg(Max)
                 .arg(Text));
    return static_cast<int>(Value);
}

TSimPause PauseValue(const QString& Text) {
    const QStringList Parts = Text.split(':');
    bool OkByte = false;
    bool OkMs = false;
    TSimPause Pause;
    if (Parts.size() == 2) {
        Pause.AfterByte = Parts[0].toLongLong(&OkByte);
        Pause.Milliseconds = Parts[1].toInt(&OkMs);
    }
    if (!OkByte || !OkMs || Pause.AfterByte < 0 || Pause.Milliseconds < 0)
        Fail(QStringLiteral("--pause wants BYTE:MS with whole numbers, not '%1'").arg(Text));
    return Pause;
}

} // namespace

QString SimUsage() {
    return QStringLiteral(
        "Usage: halvorn-sim [options]\n"
        "A simulated Halvorn 4410 on a pseudo-terminal. Prints the device path it serves as its\n"
        "first line on stdout, then sends a printout to whoever opens that path.\n"
        "\n"
        "What to send:\n"
        "  --file PATH       send the bytes of PATH exactly\n"
        "  --hours N         built-in printout with N hourly readings (1-9999, default 48)\n"
        "  --seed N          seed of the built-in readings (default: derived from --hours)\n"
        "  --crlf            built-in printout with CR LF line ends (default: CR alone)\n"
        "  --control         control bytes 15 19 29 31 255 around title and graph (default)\n"
        "  --no-control      leave the control bytes out\n"
        "  --print           write the built-in printout (or --file) to stdout and exit;\n"
        "                    no pseudo-terminal is made\n"
        "\n"
        "How to send:\n"
        "  --baud N          pace the bytes as a line at N baud, 10 bits a byte (default 1200)\n"
        "  --unpaced         send as fast as the line takes them\n"
        "  --delay MS        wait MS milliseconds before sending (default 0: bytes sent before\n"
        "                    a reader opens the line wait in the line for it, up to the\n"
        "                    kernel's buffer; the rest follows as the reader takes them)\n"
        "  --pause BYTE:MS   stop for MS milliseconds once BYTE bytes are sent (repeatable)\n"
        "  --linger MS       after sending, keep the line open MS milliseconds, then exit\n"
        "                    (default: until SIGTERM, SIGINT or SIGHUP). Exiting hangs the\n"
        "                    line up, and bytes a reader has not yet taken are lost\n"
        "\n"
        "Where:\n"
        "  --com N           record the line as COMN (1-9) in the settings store, so the\n"
        "                    program finds it; on exit, by a signal too, the entry gets back\n"
        "                    what it held before, or goes when it held nothing\n"
        "  --keep-com        leave the COMN entry in place on exit\n"
        "  --help            show this text\n"
        "\n"
        "Exit status: 0 done, 1 failure, 2 usage error.\n");
}

TSimOptions ParseSimOptions(const QStringList& Arguments) {
    QCommandLineParser Parser;
    Parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QStringList Valued = {"file", "hours", "seed", "baud", "delay", "pause", "com", "linger"};
    for (const QString& Name : Valued)
        Parser.addOption(QCommandLineOption(Name, QString(), QStringLiteral("value")));
    for (const char* Name :
         {"crlf", "control", "no-control", "unpaced", "print", "keep-com", "help"})
        Parser.addOption(QCommandLineOption(QString::fromLatin1(Name)));

    // The parser wants a program name first.
    if (!Parser.parse(QStringList{QStringLiteral("halvorn-sim")} + Arguments))
        Fail(Parser.errorText());
    if (!Parser.positionalArguments().isEmpty())
        Fail(QStringLiteral("unexpected argument '%1'").arg(Parser.positionalArguments().first()));
    for (const QString& Name : Valued)
        if (Name != "pause" && Parser.values(Name).size() > 1)
            Fail(QStringLiteral("--%1 given more than once").arg(Name));

    TSimOptions Options;
    Options.Help = Parser.isSet("help");
    Options.Print = Parser.isSet("print");
    if (Parser.isSet("file")) {
        Options.File = Parser.value("file");
        for (const char* Name : {"hours", "seed", "crlf", "control", "no-control"})
            if (Parser.isSet(QString::fromLatin1(Name)))
                Fail(QStringLiteral("--%1 shapes the built-in printout; it cannot go with --file")
                         .arg(QString::fromLatin1(Name)));
        if (Options.File.isEmpty())
            Fail(QStringLiteral("--file wants a path"));
    }
    if (Parser.isSet("hours"))
        Options.Printout.Hours = IntegerValue(Parser, "hours", 1, SimPrintout::MaxHours);
    if (Parser.isSet("seed")) {
        bool Ok = false;
        const qulonglong Seed = Parser.value("seed").toULongLong(&Ok);
        if (!Ok || Seed > 0xFFFFFFFFu)
            Fail(QStringLiteral("--seed wants a whole number from 0 to 4294967295, not '%1'")
                     .arg(Parser.value("seed")));
        Options.Printout.Seed = static_cast<uint32_t>(Seed);
    }
    if (Parser.isSet("control") && Parser.isSet("no-control"))
        Fail(QStringLiteral("--control and --no-control contradict each other"));
    Options.Printout.Control = !Parser.isSet("no-control");
    Options.Printout.CrLf = Parser.isSet("crlf");
    if (Parser.isSet("baud") && Parser.isSet("unpaced"))
        Fail(QStringLiteral("--baud and --unpaced contradict each other"));
    if (Parser.isSet("baud"))
        Options.Baud = IntegerValue(Parser, "baud", 50, 4000000);
    Options.Unpaced = Parser.isSet("unpaced");
    if (Parser.isSet("delay"))
        Options.DelayMs = IntegerValue(Parser, "delay", 0, 3600000);
    for (const QString& Text : Parser.values("pause"))
        Options.Pauses.push_back(PauseValue(Text));
    std::stable_sort(
        Options.Pauses.begin(), Options.Pauses.end(),
        [](const TSimPause& A, const TSimPause& B) { return A.AfterByte < B.AfterByte; });
    if (Parser.isSet("com"))
        Options.ComPort = IntegerValue(Parser, "com", 1, 9);
    Options.KeepCom = Parser.isSet("keep-com");
    if (Options.KeepCom && !Options.ComPort)
        Fail(QStringLiteral("--keep-com goes with --com"));
    if (Parser.isSet("linger"))
        Options.LingerMs = IntegerValue(Parser, "linger", 0, 86400000);
    if (Options.Print) {
        for (const char* Name : {"baud", "unpaced", "delay", "pause", "com", "linger"})
            if (Parser.isSet(QString::fromLatin1(Name)))
                Fail(QStringLiteral("--%1 has no meaning with --print")
                         .arg(QString::fromLatin1(Name)));
    }
    return Options;
}
