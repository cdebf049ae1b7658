#include "CliOptions.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// The words of Line; "" stands for an empty one.
TCliOptions Parse(const QString& Line) {
    QStringList Words = Line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    Words.replaceInStrings(QRegularExpression(QStringLiteral("^\"\"$")), QString());
    return ParseCliOptions(Words);
}

TEST(CliOptions, AcceptedCommandLines) {
    const struct {
        const char* Line;
        TCliCommand Command;
        const char *Input, *Output;
    } Cases[] = {
        {"download /dev/ttyUSB0 -o r.txt", TCliCommand::Download, "/dev/ttyUSB0", "r.txt"},
        {"build -o r.txt cap.bin", TCliCommand::Build, "cap.bin", "r.txt"},
        {"apply-info old.txt -o old.txt", TCliCommand::ApplyInfo, "old.txt", "old.txt"},
        {"export r.txt -o r_s.txt", TCliCommand::Export, "r.txt", "r_s.txt"},
        {"print r.txt -o r.pdf", TCliCommand::Print, "r.txt", "r.pdf"},
        {"build -- -odd-name", TCliCommand::Build, "-odd-name", ""},
        {"build c --info=x.zev --info-disabled", TCliCommand::Build, "c", ""},
        {"download COM3 --wait 1.5 --export e.txt", TCliCommand::Download, "COM3", ""},
        {"build cap.bin --help", TCliCommand::Help, "", ""},
        {"--version", TCliCommand::Version, "", ""},
        {"readings r.txt --json --csv r.csv --units Bq/m3", TCliCommand::Readings, "r.txt", ""},
        {"report-pdf r.txt -o c.pdf --info i.zev --info-enabled --paper A4", TCliCommand::ReportPdf,
         "r.txt", "c.pdf"},
        {"chart r.txt -o c.png --width=800", TCliCommand::Chart, "r.txt", "c.png"},
        {"download COM1 --progress --captures /tmp/c", TCliCommand::Download, "COM1", ""},
        {"ports", TCliCommand::Ports, "", ""},
        {"ports --json", TCliCommand::Ports, "", ""},
        {"ports --assign com2 /dev/ttyUSB0", TCliCommand::Ports, "com2", ""},
        {"ports COM9 --assign -- -dev", TCliCommand::Ports, "COM9", ""},
        {"archive list --json", TCliCommand::ArchiveList, "", ""},
        {"archive show 7 --raw", TCliCommand::ArchiveShow, "7", ""},
        {"archive export 7 -o raw.bin --archive a.db", TCliCommand::ArchiveExport, "7", "raw.bin"},
        {"archive import a.raw b.raw c.raw", TCliCommand::ArchiveImport, "a.raw", ""},
        {"download COM1 --no-archive -o r.txt", TCliCommand::Download, "COM1", "r.txt"},
        {"download COM1 --archive a.db", TCliCommand::Download, "COM1", ""},
        {"archive --help", TCliCommand::Help, "", ""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Line);
        const TCliOptions O = Parse(QLatin1String(C.Line));
        EXPECT_EQ(O.Command, C.Command);
        EXPECT_EQ(O.Input, QLatin1String(C.Input));
        EXPECT_EQ(O.Output, QLatin1String(C.Output));
    }
}

TEST(CliOptions, UsageErrors) {
    const struct {
        const char *Line, *Says;
    } Cases[] = {
        {"", "command is missing"},
        {"fetch COM1", "unknown command 'fetch'"},
        {"build", "build wants CAPTURE"},
        {"build a b", "not also 'b'"},
        {"build c --o r", "unknown option '--o'"},
        {"build c --wait 2", "--wait does not go with 'build'"},
        {"export r.txt", "export wants -o FILE"},
        {"build c -o", "-o wants a value"},
        {"build c -o a -o b", "-o given more than once"},
        {"build c --info-enabled --info-disabled", "--info-enabled or --info-disabled once"},
        {"build c --info-enabled=1", "takes no value"},
        {"download COM1 --wait 0", "--wait wants"},
        {"download COM1 --wait nan", "--wait wants"},
        {"print r -o p.pdf --paper A3", "--paper wants A4 or Letter"},
        {"print r -o p.pdf --font-size 10.5", "--font-size wants a whole number"},
        {"--version extra", "--version takes nothing"},
        {"readings r --json=yes", "--json takes no value"},
        {"readings r -o x", "-o does not go with 'readings'"},
        {"readings r --csv", "--csv wants a value"},
        {"chart r -o c.png --height 10001", "--height wants a whole number from 100 to 10000"},
        {"report-pdf r -o c.pdf --font Arial", "--font does not go with 'report-pdf'"},
        // Arguments are echoed escaped: they cannot retitle the terminal or break the line.
        {"fetch\x1b]0;owned\x07", "unknown command 'fetch\\x1b]0;owned\\x07'"},
        {"build a b\nc", "not also 'b\\nc'"},
        {"build \"\"", "build wants CAPTURE, not an empty name"},
        {"download COM1 --progress=1", "--progress takes no value"},
        {"download COM1 --captures", "--captures wants a value"},
        {"build c --progress", "--progress does not go with 'build'"},
        {"ports COM1", "ports takes no argument without --assign, not 'COM1'"},
        {"ports --assign COM1", "ports --assign wants COMn and DEVICE"},
        {"ports --assign COM0 /dev/ttyS0", "wants a port from COM1 to COM9, not 'COM0'"},
        {"ports --assign COM10 /dev/ttyS0", "not 'COM10'"},
        {"ports --assign ttyS0 /dev/ttyS0", "not 'ttyS0'"},
        {"ports --assign COM1 /dev/a /dev/b", "ports takes one COMn and one DEVICE, not also"},
        {"ports --assign COM1 \"\"", "ports wants DEVICE, not an empty name"},
        {"ports --json --assign COM1 /dev/a", "--json does not go with --assign"},
        {"ports --wait 3", "--wait does not go with 'ports'"},
        {"archive", "archive wants export, import, list, show"},
        {"archive drop 3", "archive wants export, import, list, show, not 'drop'"},
        {"archive list 3", "archive list takes no argument, not '3'"},
        {"archive show", "archive show wants ID"},
        {"archive show 1 2", "archive show takes one ID, not also '2'"},
        {"archive show 1 --raw --report", "give --raw or --report once"},
        {"archive export 1", "archive export wants -o FILE"},
        {"archive import", "archive import wants FILE"},
        {"archive list --raw", "--raw does not go with 'archive list'"},
        {"download COM1 --archive a.db --no-archive", "--archive FILE or --no-archive, not both"},
        {"download COM1 --no-archive=1", "--no-archive takes no value"},
        {"archive list --no-archive", "--no-archive does not go with 'archive list'"},
        {"readings r --level mars", "--level wants epa, who, eu, canada, or a value and its unit"},
        {"readings r --level 150", "not '150'"},
        {"readings r --level 4.05 pCi/L", "--level: A reference level in pCi/L has at most one"},
        {"readings r --level 0 Bq/m3", "a number above 0 Bq/m3"},
        {"readings r --level-name X", "--level-name goes with --level VALUE UNIT"},
        {"chart r -o c.png --level eu --level-name X", "not with --level eu"},
        {"readings r --job j.json", "--job does not go with 'readings'"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Line);
        try {
            Parse(QLatin1String(C.Line));
            ADD_FAILURE() << "accepted";
        } catch (const ECliUsage& E) {
            EXPECT_TRUE(E.Message.contains(QLatin1String(C.Says))) << E.Message.toStdString();
            EXPECT_FALSE(E.Message.contains(QLatin1Char('\n')));
        }
    }
}

TEST(CliOptions, LevelAndJob) {
    const struct {
        const char* Line;
        const char *Name, *Value;
        TUnit Unit;
    } Cases[] = {
        {"readings r --level who", "WHO reference level", "100", TUnit::BqM3},
        {"chart r -o c.png --level=canada", "Canadian guideline", "200", TUnit::BqM3},
        {"readings r --level 3.0 pCi/L", "reference level", "3.0", TUnit::PciL},
        {"report-pdf r -o c.pdf --level-name State --level 150 Bq/m3 --job j.json", "State", "150",
         TUnit::BqM3},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Line);
        const TCliOptions O = Parse(QLatin1String(C.Line));
        ASSERT_TRUE(O.Level);
        EXPECT_EQ(O.Level->Name, QLatin1String(C.Name));
        EXPECT_EQ(O.Level->Value.Text(), C.Value);
        EXPECT_EQ(O.Level->Unit, C.Unit);
        EXPECT_EQ(O.Arguments, QStringList{"r"});
    }
    EXPECT_EQ(Parse(QStringLiteral("report-pdf r -o c.pdf --job j.json")).JobFile, "j.json");
    EXPECT_FALSE(Parse(QStringLiteral("readings r")).Level);
}

TEST(CliOptions, PositionalArgumentsInOrder) {
    EXPECT_EQ(Parse(QStringLiteral("ports --assign COM3 /dev/serial/by-id/x")).Arguments,
              (QStringList{"COM3", "/dev/serial/by-id/x"}));
    EXPECT_EQ(Parse(QStringLiteral("archive import a --archive d b -- --c")).Arguments,
              (QStringList{"a", "b", "--c"}));
    const TCliOptions D = Parse(QStringLiteral("download COM1 --captures=/x --progress"));
    EXPECT_TRUE(D.Progress);
    EXPECT_EQ(D.CapturesFolder, QStringLiteral("/x"));
    EXPECT_TRUE(Parse(QStringLiteral("ports --assign COM1 /d")).Assign);
    EXPECT_FALSE(Parse(QStringLiteral("ports --json")).Assign);
}

TEST(CliOptions, HelpGivesEveryExitStatusOnce) {
    const QString Help = CliUsage();
    for (const char* Line : {"  0    done", "  1    failure", "  2    usage error",
                             "  3    no data", "  130  stopped with Ctrl+C",
                             "  129  stopped because the terminal closed",
                             "  143  stopped by a termination request"})
        EXPECT_EQ(Help.count(QLatin1String(Line)), 1) << Line;
}

} // namespace
