#include "acquisition/CaptureText.h"
#include "CliIo.h"
#include "CliOptions.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

TCliOptions Parse(const QString& Line) {
    return ParseCliOptions(Line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

TEST(CliOptions, AcceptedCommandLines) {
    struct Case {
        const char* Line;
        TCliCommand Command;
        const char* Input;
        const char* Output;
    };
    const Case Cases[] = {
        {"download COM1", TCliCommand::Download, "COM1", ""},
        {"download /dev/ttyUSB0 -o r.txt", TCliCommand::Download, "/dev/ttyUSB0", "r.txt"},
        {"build -o r.txt cap.bin", TCliCommand::Build, "cap.bin", "r.txt"},
        {"apply-info old.txt -o old.txt", TCliCommand::ApplyInfo, "old.txt", "old.txt"},
        {"export r.txt -o r_s.txt", TCliCommand::Export, "r.txt", "r_s.txt"},
        {"print r.txt -o r.pdf", TCliCommand::Print, "r.txt", "r.pdf"},
        {"build -- -odd-name", TCliCommand::Build, "-odd-name", ""},
        {"build cap.bin --help", TCliCommand::Help, "", ""},
        {"--help", TCliCommand::Help, "", ""},
        {"--version", TCliCommand::Version, "", ""},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Line);
        const TCliOptions O = Parse(QLatin1String(C.Line));
        EXPECT_EQ(O.Command, C.Command);
        EXPECT_EQ(O.Input, QLatin1String(C.Input));
        EXPECT_EQ(O.Output, QLatin1String(C.Output));
    }
}

TEST(CliOptions, ValuesAndDefaults) {
    TCliOptions O = Parse(QStringLiteral(
        "download COM3 --export e.txt --info i.zev --info-enabled --wait 1.5 -o r.txt"));
    EXPECT_EQ(O.ExportFile, QStringLiteral("e.txt"));
    EXPECT_EQ(O.InfoFile, QStringLiteral("i.zev"));
    EXPECT_EQ(O.InfoEnabled, std::optional<bool>(true));
    EXPECT_EQ(O.WaitSeconds, std::optional<double>(1.5));

    O = Parse(QStringLiteral("build c --info-disabled --info=x.zev"));
    EXPECT_EQ(O.InfoEnabled, std::optional<bool>(false));
    EXPECT_EQ(O.InfoFile, QStringLiteral("x.zev"));

    O = Parse(QStringLiteral("download COM1"));
    EXPECT_FALSE(O.InfoEnabled.has_value());
    EXPECT_FALSE(O.WaitSeconds.has_value());

    O = Parse(QStringLiteral("print r -o r.pdf"));
    EXPECT_EQ(O.FontFamily, QStringLiteral("Courier New"));
    EXPECT_EQ(O.FontSize, 10);
    EXPECT_EQ(O.Dpi, 600);
    EXPECT_FALSE(O.Paper.has_value());

    O = ParseCliOptions({"print", "r", "-o", "r.pdf", "--font", "Liberation Serif", "--font-size",
                         "12", "--dpi", "300", "--paper", "Letter"});
    EXPECT_EQ(O.FontFamily, QStringLiteral("Liberation Serif"));
    EXPECT_EQ(O.FontSize, 12);
    EXPECT_EQ(O.Dpi, 300);
    EXPECT_EQ(O.Paper, std::optional<TPaper>(TPaper::Letter));
}

TEST(CliOptions, UsageErrors) {
    struct Case {
        const char* Line;
        const char* Says;
    };
    const Case Cases[] = {
        {"", "command is missing"},
        {"fetch COM1", "unknown command 'fetch'"},
        {"--verbose", "unknown option '--verbose'"},
        {"build", "build wants CAPTURE"},
        {"build a b", "not also 'b'"},
        {"build c -x", "unknown option '-x'"},
        {"build c --o r", "unknown option '--o'"},
        {"build c --wait 2", "--wait does not go with 'build'"},
        {"export r.txt", "export wants -o FILE"},
        {"print r.txt", "print wants -o FILE"},
        {"build c -o", "-o wants a value"},
        {"build c -o a -o b", "-o given more than once"},
        {"build c --info-enabled --info-disabled", "--info-enabled or --info-disabled once"},
        {"build c --info-enabled=1", "takes no value"},
        {"download COM1 --wait 0", "--wait wants"},
        {"download COM1 --wait -1", "--wait wants"},
        {"download COM1 --wait soon", "--wait wants"},
        {"download COM1 --wait nan", "--wait wants"},
        {"print r -o p.pdf --paper A3", "--paper wants A4 or Letter"},
        {"print r -o p.pdf --dpi 0", "--dpi wants a whole number"},
        {"print r -o p.pdf --font-size 10.5", "--font-size wants a whole number"},
        {"--version extra", "--version takes nothing"},
    };
    for (const Case& C : Cases) {
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

// What a download hands over for the bytes the port received.
TEST(CaptureText, PiecesEndAtCarriageReturnAndZeroBytes) {
    const QByteArray X199(199, 'x'), X101(101, 'x');
    struct Case {
        const char* Name;
        QByteArray Received, Text;
    };
    const Case Cases[] = {
        {"empty", "", ""},
        {"plain lines", "AB\rCD\r", "AB\rCD\r"},
        {"unterminated tail kept", "AB\rCD", "AB\rCD"},
        {"zero ends its piece only", QByteArray("AB\0CD\rEF\r", 9), "ABEF\r"},
        {"only zero bytes", QByteArray(5, '\0'), ""},
        {"line feed is ordinary", "A\r\nB\r", "A\r\nB\r"},
        // 300 bytes and a CR arrive as pieces of 199 and 102 bytes; a zero in the second
        // piece drops the rest of that piece only.
        {"long run split at 199", QByteArray(300, 'x') + '\r', QByteArray(300, 'x') + '\r'},
        {"zero in second piece", X199 + QByteArray(50, 'x') + '\0' + QByteArray(50, 'y') + "\rZ\r",
         X199 + QByteArray(50, 'x') + "Z\r"},
        {"zero in first piece keeps second", QByteArray("x\0", 2) + QByteArray(197, 'y') + X101,
         "x" + X101},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(CaptureText::DownloadText(C.Received), C.Text);
    }
}

TEST(CliIo, PaperFollowsTerritory) {
    struct Case {
        const char* Locale;
        TPaper Paper;
    };
    const Case Cases[] = {{"en_US", TPaper::Letter}, {"fr_CA", TPaper::Letter},
                          {"es_MX", TPaper::Letter}, {"en_GB", TPaper::A4},
                          {"de_DE", TPaper::A4},     {"C", TPaper::A4}};
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Locale);
        EXPECT_EQ(CliIo::LocalePaper(QLocale(QLatin1String(C.Locale))), C.Paper);
    }
}

} // namespace
