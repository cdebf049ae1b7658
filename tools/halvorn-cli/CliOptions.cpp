#include "CliOptions.h"

#include "platform/MessageText.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace {

[[noreturn]] void Fail(const QString& Message) {
    throw TCliUsageError{Message};
}

struct TCommandRule {
    TCliCommand Command;
    QStringList Options; // allowed long options (without "--"); "o" for -o
    bool NeedsOutput;
};

const QHash<QString, TCommandRule>& Rules() {
    static const QHash<QString, TCommandRule> R{
        {QStringLiteral("download"),
         {TCliCommand::Download,
          {"o", "export", "info", "info-enabled", "info-disabled", "wait"},
          false}},
        {QStringLiteral("build"),
         {TCliCommand::Build, {"o", "info", "info-enabled", "info-disabled"}, false}},
        {QStringLiteral("apply-info"),
         {TCliCommand::ApplyInfo, {"o", "info", "info-enabled", "info-disabled"}, false}},
        {QStringLiteral("export"), {TCliCommand::Export, {"o"}, true}},
        {QStringLiteral("print"),
         {TCliCommand::Print, {"o", "font", "font-size", "dpi", "paper"}, true}},
        {QStringLiteral("readings"), {TCliCommand::Readings, {"json", "csv", "units"}, false}},
        {QStringLiteral("report-pdf"),
         {TCliCommand::ReportPdf,
          {"o", "info", "info-enabled", "info-disabled", "units", "paper"},
          true}},
        {QStringLiteral("chart"), {TCliCommand::Chart, {"o", "width", "height", "units"}, true}},
    };
    return R;
}

bool TakesValue(const QString& Name) {
    return Name != QLatin1String("info-enabled") && Name != QLatin1String("info-disabled") &&
           Name != QLatin1String("json");
}

// Arguments echoed in a message can neither steer the terminal nor swamp it.
QString Echo(const QString& Argument) {
    return MessageText::Shown(Argument);
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
    } else if (Name == QLatin1String("paper")) {
        if (Value == QLatin1String("A4"))
            O.Paper = TPaper::A4;
        else if (Value == QLatin1String("Letter"))
            O.Paper = TPaper::Letter;
        else
            Fail(QStringLiteral("--paper wants A4 or Letter, not '%1'").arg(Echo(Value)));
    }
    if (TakesValue(Name) && Value.isEmpty())
        Fail(QStringLiteral("%1 wants a value").arg(OptionText(Name)));
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
    const auto Rule = Rules().constFind(First);
    if (Rule == Rules().constEnd())
        Fail(First.startsWith(QLatin1Char('-'))
                 ? QStringLiteral("unknown option '%1'").arg(Echo(First))
                 : QStringLiteral("unknown command '%1'").arg(Echo(First)));
    O.Command = Rule->Command;

    QStringList Positionals;
    QSet<QString> Seen;
    bool OptionsEnded = false;
    for (qsizetype i = 1; i < Arguments.size(); ++i) {
        const QString& A = Arguments.at(i);
        if (OptionsEnded || !A.startsWith(QLatin1Char('-')) || A == QLatin1String("-")) {
            Positionals << A;
            continue;
        }
        if (A == QLatin1String("--")) {
            OptionsEnded = true;
            continue;
        }
        QString Name;
        std::optional<QString> Inline;
        if (A == QLatin1String("-o")) {
            Name = QStringLiteral("o");
        } else if (A.startsWith(QLatin1String("--"))) {
            Name = A.mid(2);
            const qsizetype Eq = Name.indexOf(QLatin1Char('='));
            if (Eq >= 0) {
                Inline = Name.mid(Eq + 1);
                Name.truncate(Eq);
            }
            if (Name.size() < 2)
                Fail(QStringLiteral("unknown option '%1'").arg(Echo(A)));
        } else {
            Fail(QStringLiteral("unknown option '%1'").arg(Echo(A)));
        }
        if (!Rule->Options.contains(Name)) {
            const bool Known =
                std::any_of(Rules().cbegin(), Rules().cend(),
                            [&](const TCommandRule& R) { return R.Options.contains(Name); });
            Fail(Known ? QStringLiteral("%1 does not go with '%2'").arg(Echo(A), First)
                       : QStringLiteral("unknown option '%1'").arg(Echo(A)));
        }
        // The two enable flags are one choice.
        const QString Key =
            Name.startsWith(QLatin1String("info-")) ? QStringLiteral("info-") : Name;
        if (Seen.contains(Key))
            Fail(Key == QLatin1String("info-")
                     ? QStringLiteral("give --info-enabled or --info-disabled once")
                     : QStringLiteral("%1 given more than once").arg(OptionText(Name)));
        Seen.insert(Key);
        QString Value;
        if (TakesValue(Name)) {
            if (Inline) {
                Value = *Inline;
            } else {
                if (i + 1 >= Arguments.size())
                    Fail(QStringLiteral("%1 wants a value").arg(OptionText(Name)));
                Value = Arguments.at(++i);
            }
        } else if (Inline) {
            Fail(QStringLiteral("%1 takes no value").arg(OptionText(Name)));
        }
        Apply(O, Name, Value);
    }

    static const QHash<TCliCommand, QString> InputName{
        {TCliCommand::Download, QStringLiteral("PORT")},
        {TCliCommand::Build, QStringLiteral("CAPTURE")},
        {TCliCommand::ApplyInfo, QStringLiteral("REPORT")},
        {TCliCommand::Export, QStringLiteral("REPORT")},
        {TCliCommand::Print, QStringLiteral("REPORT")},
        {TCliCommand::Readings, QStringLiteral("REPORT")},
        {TCliCommand::ReportPdf, QStringLiteral("REPORT")},
        {TCliCommand::Chart, QStringLiteral("REPORT")},
    };
    if (Positionals.isEmpty())
        Fail(QStringLiteral("%1 wants %2").arg(First, InputName.value(O.Command)));
    if (Positionals.size() > 1)
        Fail(QStringLiteral("%1 takes one %2, not also '%3'")
                 .arg(First, InputName.value(O.Command), Echo(Positionals.at(1))));
    O.Input = Positionals.first();
    if (O.Input.isEmpty())
        Fail(QStringLiteral("%1 wants %2, not an empty name")
                 .arg(First, InputName.value(O.Command)));
    if (Rule->NeedsOutput && O.Output.isEmpty())
        Fail(QStringLiteral("%1 wants -o FILE").arg(First));
    return O;
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
        "  halvorn-cli build CAPTURE [-o REPORT] [--info FILE] [--info-enabled|--info-disabled]\n"
        "  halvorn-cli apply-info REPORT [-o REPORT] [--info FILE]\n"
        "                       [--info-enabled|--info-disabled]\n"
        "  halvorn-cli export REPORT -o FILE\n"
        "  halvorn-cli print REPORT -o FILE.pdf [--font FAMILY] [--font-size POINTS] [--dpi N]\n"
        "                       [--paper A4|Letter]\n"
        "  halvorn-cli readings REPORT [--json] [--csv FILE] [--units pCi/L|Bq/m3]\n"
        "  halvorn-cli report-pdf REPORT -o FILE.pdf [--info FILE]\n"
        "                       [--info-enabled|--info-disabled] [--units pCi/L|Bq/m3]\n"
        "                       [--paper A4|Letter]\n"
        "  halvorn-cli chart REPORT -o FILE.png [--width N] [--height N] [--units pCi/L|Bq/m3]\n"
        "  halvorn-cli --version | --help\n"
        "\n"
        "The Halvorn 4410 report pipeline without a window: the same download, report, export,\n"
        "print, readings, chart and client report code as the program.\n"
        "\n"
        "Commands:\n"
        "  download    listen on PORT (COM1 to COM9 through the port map, or a device path)\n"
        "              as Get Data does, until the line goes quiet after the printout; the\n"
        "              state goes to stderr; then build the report\n"
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
        "  --font FAMILY       printer font (default \"Courier New\")\n"
        "  --font-size POINTS  printer font size (default 10)\n"
        "  --dpi N             printer resolution (default 600)\n"
        "  --paper A4|Letter   paper (default: the one of the user's locale)\n"
        "  --json              the readings, figures and checks as one JSON object (pCi/L)\n"
        "  --csv FILE          the readings as CSV, one row a value\n"
        "  --units pCi/L|Bq/m3 unit of the summary, checks and chart (default: the stored\n"
        "                      Units, else pCi/L)\n"
        "  --width N           chart width in pixels (default 1200)\n"
        "  --height N          chart height in pixels (default 500)\n"
        "\n"
        "Reports are text with CR LF line ends. Dates and times follow the user's locale.\n"
        "Exit status: 0 done, 1 failure (one line on stderr), 2 usage error, 3 no data.\n");
}
