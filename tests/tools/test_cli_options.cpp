#include "CliOptions.h"
#include "acquisition/CaptureText.h"

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
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Line);
        try {
            Parse(QLatin1String(C.Line));
            ADD_FAILURE() << "accepted";
        } catch (const TCliUsageError& E) {
            EXPECT_TRUE(E.Message.contains(QLatin1String(C.Says))) << E.Message.toStdString();
            EXPECT_FALSE(E.Message.contains(QLatin1Char('\n')));
        }
    }
}

// What a download hands over for the bytes received: pieces of up to 199 bytes end at a CR;
// a zero byte drops the rest of its own piece only.
TEST(CaptureText, PiecesEndAtCarriageReturnAndZeroBytes) {
    const QByteArray X199(199, 'x'), X101(101, 'x'), X50(50, 'x');
    const struct {
        const char* Name;
        QByteArray Received, Text;
    } Cases[] = {
        {"empty", "", ""},
        {"unterminated tail kept", "AB\rCD", "AB\rCD"},
        {"zero ends its piece only", QByteArray("AB\0CD\rEF\r", 9), "ABEF\r"},
        {"line feed is ordinary", "A\r\nB\r", "A\r\nB\r"},
        {"long run split at 199", QByteArray(300, 'x') + '\r', QByteArray(300, 'x') + '\r'},
        {"zero in second piece", X199 + X50 + '\0' + QByteArray(50, 'y') + "\rZ\r",
         X199 + X50 + "Z\r"},
        {"zero in first piece keeps second", QByteArray("x\0", 2) + QByteArray(197, 'y') + X101,
         "x" + X101},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(CaptureText::DownloadText(C.Received), C.Text);
    }
}

} // namespace
