#include "CliOptions.h"

#include "archive/TeamServer.h"
#include "platform/MessageText.h"
#include "platform/PortMap.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace {

[[noreturn]] void Fail(const QString& Message) {
    throw ECliUsage(Message);
}

// Arguments echoed in a message can neither steer the terminal nor swamp it.
QString Echo(const QString& Argument) {
    return MessageText::Shown(Argument);
}

// A command's grammar. Positional names are those the messages use; a last name ending in
// "..." takes any number of arguments from there on.
struct TCommandRule {
    TCliCommand Command;
    QStringList Options; // allowed long options (without "--"); "o" for -o
    QStringList Positionals;
    int Required; // how many positional arguments must be given at least
    bool NeedsOutput;
    // Rules across options and arguments; throws ECliUsage.
    void (*Check)(const QString& Name, const TCliOptions& O) = nullptr;
};

void CheckPorts(const QString& Name, const TCliOptions& O) {
    if (!O.Assign) {
        if (!O.Arguments.isEmpty())
            Fail(QStringLiteral("%1 takes no argument without --assign, not '%2'")
                     .arg(Name, Echo(O.Arguments.first())));
        return;
    }
    if (O.Json)
        Fail(QStringLiteral("--json does not go with --assign"));
    if (O.Arguments.size() < 2)
        Fail(QStringLiteral("%1 --assign wants COMn and DEVICE").arg(Name));
    if (!ComPorts::PortNumber(O.Arguments.at(0)))
        Fail(QStringLiteral("%1 --assign wants a port from COM1 to COM9, not '%2'")
                 .arg(Name, Echo(O.Arguments.at(0))));
}

void CheckDownload(const QString&, const TCliOptions& O) {
    if (O.NoArchive && !O.ArchiveFile.isEmpty())
        Fail(QStringLiteral("give --archive FILE or --no-archive, not both"));
}

void CheckArchiveShow(const QString&, const TCliOptions& O) {
    if (O.Raw && O.ReportText)
        Fail(QStringLiteral("give --raw or --report once"));
}

// A server address is checked before anything is done with it.
void CheckTeam(const QString& Name, const TCliOptions& O) {
    CheckArchiveShow(Name, O);
    try {
        if (!O.Server.isEmpty())
            TTeamServer::Parse(O.Server);
        if (Name == QLatin1String("team connect"))
            TTeamServer::Parse(O.Input);
    } catch (const ETeamError& E) {
        Fail(E.Message);
    }
}

// Keyed by the command's words; a group ("archive") is the first of two words.
const QHash<QString, TCommandRule>& Rules() {
    static const QStringList Info{"info", "info-enabled", "info-disabled"};
    static const QStringList Level{"level", "level-name"};
    static const QHash<QString, TCommandRule> R{
        {QStringLiteral("download"),
         {TCliCommand::Download,
          QStringList{"o", "export", "wait", "progress", "captures", "archive", "no-archive"} +
              Info,
          {"PORT"},
          1,
          false,
          CheckDownload}},
        {QStringLiteral("build"),
         {TCliCommand::Build, QStringList{"o"} + Info, {"CAPTURE"}, 1, false}},
        {QStringLiteral("apply-info"),
         {TCliCommand::ApplyInfo, QStringList{"o"} + Info, {"REPORT"}, 1, false}},
        {QStringLiteral("export"), {TCliCommand::Export, {"o"}, {"REPORT"}, 1, true}},
        {QStringLiteral("print"),
         {TCliCommand::Print, {"o", "font", "font-size", "dpi", "paper"}, {"REPORT"}, 1, true}},
        {QStringLiteral("readings"),
         {TCliCommand::Readings,
          QStringList{"json", "csv", "units"} + Level,
          {"REPORT"},
          1,
          false}},
        {QStringLiteral("report-pdf"),
         {TCliCommand::ReportPdf,
          QStringList{"o", "units", "paper", "job"} + Info + Level,
          {"REPORT"},
          1,
          true}},
        {QStringLiteral("chart"),
         {TCliCommand::Chart,
          QStringList{"o", "width", "height", "units"} + Level,
          {"REPORT"},
          1,
          true}},
        {QStringLiteral("ports"),
         {TCliCommand::Ports, {"json", "assign"}, {"COMn", "DEVICE"}, 0, false, CheckPorts}},
        {QStringLiteral("archive list"),
         {TCliCommand::ArchiveList, {"json", "archive"}, {}, 0, false}},
        {QStringLiteral("archive show"),
         {TCliCommand::ArchiveShow,
          {"raw", "report", "archive"},
          {"ID"},
          1,
          false,
          CheckArchiveShow}},
        {QStringLiteral("archive export"),
         {TCliCommand::ArchiveExport, {"o", "archive"}, {"ID"}, 1, true}},
        {QStringLiteral("archive import"),
         {TCliCommand::ArchiveImport, {"archive"}, {"FILE..."}, 1, false}},
        {QStringLiteral("team connect"),
         {TCliCommand::TeamConnect, {}, {"URI"}, 1, false, CheckTeam}},
        {QStringLiteral("team init"),
         {TCliCommand::TeamInit, {"server", "roles"}, {}, 0, false, CheckTeam}},
        {QStringLiteral("team push"),
         {TCliCommand::TeamPush, {"server", "archive"}, {}, 0, false, CheckTeam}},
        {QStringLiteral("team list"),
         {TCliCommand::TeamList, {"server", "json"}, {}, 0, false, CheckTeam}},
        {QStringLiteral("team show"),
         {TCliCommand::TeamShow, {"server", "raw", "report"}, {"ID"}, 1, false, CheckTeam}},
        {QStringLiteral("team status"),
         {TCliCommand::TeamStatus, {"server", "archive"}, {}, 0, false, CheckTeam}},
        {QStringLiteral("team delete"),
         {TCliCommand::TeamDelete, {"server"}, {"ID"}, 1, false, CheckTeam}},
    };
    return R;
}

// The second words of Group's commands, for the message that asks for one.
QStringList GroupWords(const QString& Group) {
    QStringList Words;
    for (auto It = Rules().cbegin(); It != Rules().cend(); ++It)
        if (It.key().startsWith(Group + QLatin1Char(' ')))
            Words << It.key().mid(Group.size() + 1);
    Words.sort();
    return Words;
}

bool TakesValue(const QString& Name) {
    static const QSet<QString> Flags{"info-enabled", "info-disabled", "json",
                                     "progress",     "assign",        "raw",
                                     "report",       "no-archive",    "roles"};
    return !Flags.contains(Name);
}

QString OptionText(const QString& Name) {
    return Name == QLatin1String("o") ? QStringLiteral("-o") : QStringLiteral("--") + Echo(Name);
}

int WholeNumber(const QString& Name, const QString& Text, int Low, int High) {
    bool Ok = false;
    const int Value = Text.toInt(&Ok);
    if (!Ok || Value < Low || Value > High)
        Fail(QStringLiteral("%1 wants a whole number from %2 to %3, not '%4'")
                 .arg(OptionText(Name))
                 .arg(Low)
                 .arg(High)
                 .arg(Echo(Text)));
    return Value;
}

void Apply(TCliOptions& O, const QString& Name, const QString& Value) {
    if (Name == QLatin1String("o")) {
        O.Output = Value;
    } else if (Name == QLatin1String("export")) {
        O.ExportFile = Value;
    } else if (Name == QLatin1String("info")) {
        O.InfoFile = Value;
    } else if (Name == QLatin1String("info-enabled")) {
        O.InfoEnabled = true;
    } else if (Name == QLatin1String("info-disabled")) {
        O.InfoEnabled = false;
    } else if (Name == QLatin1String("wait")) {
        bool Ok = false;
        const double Seconds = Value.toDouble(&Ok);
        // A day is far beyond any printout; the bound keeps the millisecond count in range.
        if (!Ok || !std::isfinite(Seconds) || Seconds <= 0 || Seconds > 86400)
            Fail(QStringLiteral("--wait wants a number of seconds above 0 and up to 86400, "
                                "not '%1'")
                     .arg(Echo(Value)));
        O.WaitSeconds = Seconds;
    } else if (Name == QLatin1String("font")) {
        if (Value.trimmed().isEmpty())
            Fail(QStringLiteral("--font wants a font family"));
        O.FontFamily = Value;
    } else if (Name == QLatin1String("font-size")) {
        O.FontSize = WholeNumber(Name, Value, 1, 500);
    } else if (Name == QLatin1String("dpi")) {
        O.Dpi = WholeNumber(Name, Value, 72, 4800);
    } else if (Name == QLatin1String("json")) {
        O.Json = true;
    } else if (Name == QLatin1String("csv")) {
        O.CsvFile = Value;
    } else if (Name == QLatin1String("units")) {
        O.Unit = Units::FromName(Value);
        if (!O.Unit)
            Fail(QStringLiteral("--units wants pCi/L or Bq/m3, not '%1'").arg(Echo(Value)));
    } else if (Name == QLatin1String("width")) {
        // Beyond this the image would take more memory than a chart is worth.
        O.ChartSize.setWidth(WholeNumber(Name, Value, 100, 10000));
    } else if (Name == QLatin1String("height")) {
        O.ChartSize.setHeight(WholeNumber(Name, Value, 100, 10000));
    } else if (Name == QLatin1String("progress")) {
        O.Progress = true;
    } else if (Name == QLatin1String("captures")) {
        O.CapturesFolder = Value;
    } else if (Name == QLatin1String("assign")) {
        O.Assign = true;
    } else if (Name == QLatin1String("archive")) {
        O.ArchiveFile = Value;
    } else if (Name == QLatin1String("no-archive")) {
        O.NoArchive = true;
    } else if (Name == QLatin1String("raw")) {
        O.Raw = true;
    } else if (Name == QLatin1String("report")) {
        O.ReportText = true;
    } else if (Name == QLatin1String("server")) {
        O.Server = Value;
    } else if (Name == QLatin1String("roles")) {
        O.Roles = true;
    } else if (Name == QLatin1String("paper")) {
        O.Paper = Paper::FromName(Value);
        if (!O.Paper)
            Fail(QStringLiteral("--paper wants A4 or Letter, not '%1'").arg(Echo(Value)));
    } else if (Name == QLatin1String("job")) {
        O.JobFile = Value;
    }
    if (TakesValue(Name) && Value.isEmpty())
        Fail(QStringLiteral("%1 wants a value").arg(OptionText(Name)));
}

// --level KEY, or --level VALUE UNIT with an optional --level-name.
TReferenceLevel ChosenLevel(const QString& Key, const QString& Unit, const QString& Name,
                            bool Named) {
    const QString Wanted = QStringLiteral("--level wants %1, or a value and its unit (pCi/L or "
                                          "Bq/m3)")
                               .arg(ReferenceLevels::Keys().join(QStringLiteral(", ")));
    if (Key.isEmpty())
        Fail(QStringLiteral("--level-name goes with --level VALUE UNIT"));
    if (const std::optional<TReferenceLevel> Known = ReferenceLevels::FromKey(Key)) {
        if (Named)
            Fail(QStringLiteral("--level-name goes with --level VALUE UNIT, not with --level %1")
                     .arg(Key));
        return *Known;
    }
    if (Unit.isEmpty())
        Fail(Wanted + QStringLiteral(", not '%1'").arg(Echo(Key)));
    const ReferenceLevels::TCustom Custom =
        ReferenceLevels::Custom(Key, *Units::FromName(Unit), Name);
    if (!Custom.Level)
        Fail(QStringLiteral("--level: ") + Custom.Refusal);
    return *Custom.Level;
}

} // namespace

TCliOptions ParseCliOptions(const QStringList& Arguments) {
    TCliOptions O;
    if (Arguments.isEmpty())
        Fail(QStringLiteral("a command is missing"));
    // --help anywhere wins, so "halvorn-cli build --help" shows the text.
    for (const QString& A : Arguments) {
        if (A == QLatin1String("--"))
            break;
        if (A == QLatin1String("--help") || A == QLatin1String("-h")) {
            O.Command = TCliCommand::Help;
            return O;
        }
    }
    const QString& First = Arguments.first();
    if (First == QLatin1String("--version")) {
        if (Arguments.size() > 1)
            Fail(QStringLiteral("--version takes nothing after it"));
        O.Command = TCliCommand::Version;
        return O;
    }
    QString Name = First;
    qsizetype Next = 1;
    if (const QStringList Words = GroupWords(First); !Words.isEmpty()) {
        const QString Second = Arguments.value(1);
        if (!Words.contains(Second))
            Fail(QStringLiteral("%1 wants %2%3")
                     .arg(First, Words.join(QStringLiteral(", ")),
                          Second.isEmpty() ? QString()
                                           : QStringLiteral(", not '%1'").arg(Echo(Second))));
        Name += QLatin1Char(' ') + Second;
        Next = 2;
    }
    const auto Rule = Rules().constFind(Name);
    if (Rule == Rules().constEnd())
        Fail(First.startsWith(QLatin1Char('-'))
                 ? QStringLiteral("unknown option '%1'").arg(Echo(First))
                 : QStringLiteral("unknown command '%1'").arg(Echo(First)));
    O.Command = Rule->Command;

    QSet<QString> Seen;
    QString LevelKey, LevelUnit, LevelName;
    bool OptionsEnded = false;
    for (qsizetype i = Next; i < Arguments.size(); ++i) {
        const QString& A = Arguments.at(i);
        if (OptionsEnded || !A.startsWith(QLatin1Char('-')) || A == QLatin1String("-")) {
            O.Arguments << A;
            continue;
        }
        if (A == QLatin1String("--")) {
            OptionsEnded = true;
            continue;
        }
        QString Option;
        std::optional<QString> Inline;
        if (A == QLatin1String("-o")) {
            Option = QStringLiteral("o");
        } else if (A.startsWith(QLatin1String("--"))) {
            Option = A.mid(2);
            const qsizetype Eq = Option.indexOf(QLatin1Char('='));
            if (Eq >= 0) {
                Inline = Option.mid(Eq + 1);
                Option.truncate(Eq);
            }
            if (Option.size() < 2)
                Fail(QStringLiteral("unknown option '%1'").arg(Echo(A)));
        } else {
            Fail(QStringLiteral("unknown option '%1'").arg(Echo(A)));
        }
        if (!Rule->Options.contains(Option)) {
            const bool Known =
                std::any_of(Rules().cbegin(), Rules().cend(),
                            [&](const TCommandRule& R) { return R.Options.contains(Option); });
            Fail(Known ? QStringLiteral("%1 does not go with '%2'").arg(Echo(A), Name)
                       : QStringLiteral("unknown option '%1'").arg(Echo(A)));
        }
        // The two enable flags are one choice.
        const QString Key =
            Option.startsWith(QLatin1String("info-")) ? QStringLiteral("info-") : Option;
        if (Seen.contains(Key))
            Fail(Key == QLatin1String("info-")
                     ? QStringLiteral("give --info-enabled or --info-disabled once")
                     : QStringLiteral("%1 given more than once").arg(OptionText(Option)));
        Seen.insert(Key);
        QString Value;
        if (TakesValue(Option)) {
            if (Inline) {
                Value = *Inline;
            } else {
                if (i + 1 >= Arguments.size())
                    Fail(QStringLiteral("%1 wants a value").arg(OptionText(Option)));
                Value = Arguments.at(++i);
            }
        } else if (Inline) {
            Fail(QStringLiteral("%1 takes no value").arg(OptionText(Option)));
        }
        if (Option == QLatin1String("level")) {
            LevelKey = Value;
            // A value of one's own comes with its unit as the next argument.
            if (!ReferenceLevels::FromKey(Value) && i + 1 < Arguments.size() &&
                Units::FromName(Arguments.at(i + 1)))
                LevelUnit = Arguments.at(++i);
        } else if (Option == QLatin1String("level-name")) {
            LevelName = Value;
        }
        Apply(O, Option, Value);
    }
    if (Seen.contains(QStringLiteral("level")) || Seen.contains(QStringLiteral("level-name")))
        O.Level = ChosenLevel(LevelKey, LevelUnit, LevelName, Seen.contains("level-name"));

    const QStringList& Wanted = Rule->Positionals;
    const bool Repeats = !Wanted.isEmpty() && Wanted.last().endsWith(QLatin1String("..."));
    const auto Shown = [](QString Positional) { return Positional.remove(QLatin1String("...")); };
    if (O.Arguments.size() < Rule->Required)
        Fail(QStringLiteral("%1 wants %2").arg(Name, Shown(Wanted.at(O.Arguments.size()))));
    if (!Repeats && O.Arguments.size() > Wanted.size()) {
        const QString Extra = Echo(O.Arguments.at(Wanted.size()));
        Fail(Wanted.isEmpty() ? QStringLiteral("%1 takes no argument, not '%2'").arg(Name, Extra)
                              : QStringLiteral("%1 takes one %2, not also '%3'")
                                    .arg(Name, Wanted.join(QStringLiteral(" and one ")), Extra));
    }
    for (qsizetype i = 0; i < O.Arguments.size(); ++i)
        if (O.Arguments.at(i).isEmpty())
            Fail(QStringLiteral("%1 wants %2, not an empty name")
                     .arg(Name, Shown(Wanted.at(std::min(i, Wanted.size() - 1)))));
    O.Input = O.Arguments.value(0);
    if (Rule->Check)
        Rule->Check(Name, O);
    if (Rule->NeedsOutput && O.Output.isEmpty())
        Fail(QStringLiteral("%1 wants -o FILE").arg(Name));
    return O;
}

bool IsTeamCommand(TCliCommand Command) {
    return Command >= TCliCommand::TeamConnect && Command <= TCliCommand::TeamDelete;
}

bool NeedsGraphics(TCliCommand Command) {
    return Command == TCliCommand::Print || Command == TCliCommand::ReportPdf ||
           Command == TCliCommand::Chart;
}

QString CliUsage() {
    return QStringLiteral(
        "Usage:\n"
        "  halvorn-cli download PORT [-o REPORT] [--export FILE] [--info FILE]\n"
        "                       [--info-enabled|--info-disabled] [--wait SECONDS]\n"
        "                       [--progress] [--captures FOLDER]\n"
        "                       [--archive FILE|--no-archive]\n"
        "  halvorn-cli build CAPTURE [-o REPORT] [--info FILE] [--info-enabled|--info-disabled]\n"
        "  halvorn-cli apply-info REPORT [-o REPORT] [--info FILE]\n"
        "                       [--info-enabled|--info-disabled]\n"
        "  halvorn-cli export REPORT -o FILE\n"
        "  halvorn-cli print REPORT -o FILE.pdf [--font FAMILY] [--font-size POINTS] [--dpi N]\n"
        "                       [--paper A4|Letter]\n"
        "  halvorn-cli readings REPORT [--json] [--csv FILE] [--units pCi/L|Bq/m3] [LEVEL]\n"
        "  halvorn-cli report-pdf REPORT -o FILE.pdf [--info FILE]\n"
        "                       [--info-enabled|--info-disabled] [--units pCi/L|Bq/m3]\n"
        "                       [--paper A4|Letter] [--job FILE.json] [LEVEL]\n"
        "  halvorn-cli chart REPORT -o FILE.png [--width N] [--height N] [--units pCi/L|Bq/m3]\n"
        "                       [LEVEL]\n"
        "      LEVEL: --level epa|who|eu|canada, or --level VALUE UNIT [--level-name TEXT]\n"
        "  halvorn-cli ports [--json]\n"
        "  halvorn-cli ports --assign COMn DEVICE\n"
        "  halvorn-cli archive list [--json] [--archive FILE]\n"
        "  halvorn-cli archive show ID [--raw|--report] [--archive FILE]\n"
        "  halvorn-cli archive export ID -o FILE [--archive FILE]\n"
        "  halvorn-cli archive import FILE... [--archive FILE]\n"
        "  halvorn-cli team connect URI\n"
        "  halvorn-cli team init [--roles] [--server URI]\n"
        "  halvorn-cli team push [--archive FILE] [--server URI]\n"
        "  halvorn-cli team list [--json] [--server URI]\n"
        "  halvorn-cli team show ID [--raw|--report] [--server URI]\n"
        "  halvorn-cli team status [--archive FILE] [--server URI]\n"
        "  halvorn-cli team delete ID [--server URI]\n"
        "  halvorn-cli --version | --help\n"
        "\n"
        "The Halvorn 4410 report pipeline without a window: the same download, report, export,\n"
        "print, readings, chart and client report code as the program.\n"
        "\n"
        "Commands:\n"
        "  download    listen on PORT (COM1 to COM9 through the port map, or a device path)\n"
        "              as Get Data does, until the line goes quiet after the printout; the\n"
        "              state and the bytes received go to stderr; then build the report.\n"
        "              A transfer that ends without a report keeps the bytes received as a\n"
        "              capture file, which build turns into a report\n"
        "  build       build the report from CAPTURE, the raw bytes the instrument sent\n"
        "  apply-info  rebuild REPORT with the report information, as OK of Information\n"
        "              Setup does (a report without a separator line stays as it is)\n"
        "  export      write REPORT in the Import Friendly Format to FILE, named exactly so\n"
        "  print       lay REPORT out as the Print command does, into a PDF file\n"
        "  readings    show the summary and checks of REPORT's readings; with --json the\n"
        "              JSON object instead; --csv writes the readings to FILE (stdout then\n"
        "              holds only the JSON asked for)\n"
        "  report-pdf  lay REPORT out as the client report, into a PDF file\n"
        "  chart       draw the chart of REPORT's readings alone, into a PNG file\n"
        "  ports       list COM1 to COM4 with their devices and states, then every serial\n"
        "              device of the machine; --json writes one JSON object instead\n"
        "              --assign COMn DEVICE stores DEVICE as the port COMn (COM1 to COM9)\n"
        "  archive     the measurement archive, where every download is stored before its\n"
        "              report is written: list (newest first; --json writes one array),\n"
        "              show ID (the row; --raw the bytes received, --report the report),\n"
        "              export ID (the bytes received, to FILE), import (capture files, once\n"
        "              each)\n"
        "  team        the company's team archive on a PostgreSQL server: connect URI (store\n"
        "              postgresql://user@host:port/dbname?sslmode=..., no password: libpq's\n"
        "              ~/.pgpass gives it), init (make or upgrade the server's schema;\n"
        "              --roles also the roles halvorn_technician and halvorn_office), push\n"
        "              (send the measurements waiting in this computer's archive), list\n"
        "              (every measurement on the server, newest first; --json one array),\n"
        "              show ID, status (measurements waiting and sent), delete ID (the\n"
        "              office's role only)\n"
        "\n"
        "Options:\n"
        "  -o FILE             write there, replacing the file as a whole; a report goes to\n"
        "                      stdout without it\n"
        "  --export FILE       also write the Import Friendly Format of the download\n"
        "  --info FILE         report information from FILE (info.zev format); default: the\n"
        "                      info.zev in the stored installation folder, empty when missing\n"
        "  --info-enabled      use the report information\n"
        "  --info-disabled     leave it out (default: the stored InfoEnable, else disabled)\n"
        "  --wait SECONDS      stop listening when no byte has come by then (default: wait\n"
        "                      for ever)\n"
        "  --progress          a plain progress line each second (for logs) instead of the\n"
        "                      line rewritten in place on a terminal\n"
        "  --captures FOLDER   where the bytes of an interrupted transfer go (default: Data/\n"
        "                      Captures in the installation folder, as in the window); with\n"
        "                      the archive they go there, and to FOLDER only when it fails\n"
        "  --archive FILE      the archive database (default: Data/archive.sqlite in the\n"
        "                      installation folder)\n"
        "  --no-archive        download: store nothing in the archive\n"
        "  --raw, --report     archive show, team show: the bytes received, or the report,\n"
        "                      on stdout\n"
        "  --server URI        team commands: this server instead of the stored one\n"
        "  --roles             team init: make the two roles and grant them their rights\n"
        "  --font FAMILY       printer font (default \"Courier New\")\n"
        "  --font-size POINTS  printer font size (default 10)\n"
        "  --dpi N             printer resolution (default 600)\n"
        "  --paper A4|Letter   paper for this command (default: the one of the user's locale)\n"
        "  --job FILE.json     the job for the client report: an object whose keys are all\n"
        "                      optional strings: client, address, placement, test_type\n"
        "                      (real-estate, initial, follow-up, post-mitigation, other),\n"
        "                      conditions (maintained, not-maintained, unknown), notes, and\n"
        "                      inspector, certification, logo (a PNG or JPEG file, relative\n"
        "                      to FILE.json's folder), which replace the stored ones; \"\" is\n"
        "                      none\n"
        "  --level KEY         the reference level: epa (4.0 pCi/L), who (100 Bq/m3), eu\n"
        "                      (300 Bq/m3), canada (200 Bq/m3) (default: the stored one,\n"
        "                      else epa)\n"
        "  --level VALUE UNIT  a level of your own, such as 150 Bq/m3 or 3.0 pCi/L\n"
        "  --level-name TEXT   its name in the report (default \"reference level\")\n"
        "  --json              the readings, figures, checks and verdict as one JSON object\n"
        "                      (pCi/L)\n"
        "  --csv FILE          the readings as CSV, one row a value\n"
        "  --units pCi/L|Bq/m3 unit of the summary, checks and chart (default: the stored\n"
        "                      Units, else pCi/L)\n"
        "  --width N           chart width in pixels (default 1200)\n"
        "  --height N          chart height in pixels (default 500)\n"
        "\n"
        "Reports are text with CR LF line ends. Dates and times follow the user's locale.\n"
        "\n"
        "Exit status, for every command:\n"
        "  0    done\n"
        "  1    failure: a fault, an interrupted transfer whose bytes were kept, a refused\n"
        "       input, an output that could not be written, a download the archive did not\n"
        "       take (its report is still written), an unknown measurement (one line on\n"
        "       stderr, naming anything already written)\n"
        "  2    usage error\n"
        "  3    no data: nothing received, or a report without a line\n"
        "  130  stopped with Ctrl+C (the bytes received are kept in the archive, or as a\n"
        "       capture file)\n"
        "  129  stopped because the terminal closed (kept as with Ctrl+C)\n"
        "  143  stopped by a termination request, such as a service stop or timeout (kept\n"
        "       as with Ctrl+C)\n");
}
