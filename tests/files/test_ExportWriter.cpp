#include "QStringPrinter.h"
#include "files/ExportWriter.h"
#include "platform/Exception.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ExportWriter;

namespace {

// A report around the given table lines: head, "Time Interval", heading, table, empty line,
// summary, "EPA Protocol", footer.
QStringList Report(const QStringList& Table) {
    return QStringList{"Radon Services Ltd.", "------------------------", "Time Interval 1 Hour",
                       " Hour pCi/l "}
           << Table
           << QStringList{"", "Overall Avg   1.7 pCi/l", "EPA Protocol  1.7 pCi/l", "Footer"};
}

const QByteArray Head = "Radon Services Ltd.\r\n------------------------\r\n"
                        "Time Interval 1 Hour\r\n Hour pCi/l \r\n";
const QByteArray Tail = "\r\nOverall Avg   1.7 pCi/l\r\nEPA Protocol  1.7 pCi/l\r\n";

QString Refusal(const QStringList& Lines) {
    try {
        BuildExport(Lines);
    } catch (const Exception& Error) {
        return Error.Message;
    }
    return QStringLiteral("<exported>");
}

} // namespace

TEST(ExportWriter, WorkedExampleToTheByte) {
    EXPECT_EQ(BuildExport(Report({"  1.2  T 3.4", " TP 0.5 "})), Head +
                                                                     "Interval\t1\t2\t3\t\r\n"
                                                                     "pCi/l\t1.2\t3.4\t0.5\t\r\n"
                                                                     "Event\t\tT\tTP\t\r\n" +
                                                                     Tail);
}

TEST(ExportWriter, TableRows) {
    const struct {
        const char* Name;
        QStringList Table;
        QByteArray Rows; // interval, reading and event rows
    } Cases[] = {
        {"empty table range", {}, "Interval\t1\t\r\npCi/l\t\t\r\nEvent\t\t\r\n"},
        {"only blanks and controls",
         {" \t ", "\x01 "},
         "Interval\t1\t\r\npCi/l\t\t\r\nEvent\t\t\r\n"},
        {"letter at the very end belongs to no value",
         {" 1.2 3.4 T "},
         "Interval\t1\t2\t\r\npCi/l\t1.2\t3.4\t\r\nEvent\t\t\tT\r\n"},
        {"letter after a reading belongs to the next value",
         {" 3.4 T 5.6 "},
         "Interval\t1\t2\t\r\npCi/l\t3.4\t5.6\t\r\nEvent\t\tT\t\r\n"},
        {"tab inside a reading is copied",
         {" 1.2\t7 3.4 "},
         "Interval\t1\t2\t\r\npCi/l\t1.2\t7\t3.4\t\r\nEvent\t\t\t\r\n"},
        {"lines joined without a space glue values",
         {" 1.2", "3.4 "},
         "Interval\t1\t\r\npCi/l\t1.23.4\t\r\nEvent\t\t\r\n"},
        {"lower case letters are reading characters",
         {" t1.0 p2.0 "},
         "Interval\t1\t2\t\r\npCi/l\tt1.0\tp2.0\t\r\nEvent\t\t\t\r\n"},
        {"letters inside a value go to the event row",
         {" 1T2 PP  3 "},
         "Interval\t1\t2\t\r\npCi/l\t12\t3\t\r\nEvent\tT\tPP\t\r\n"},
        {"bytes above 127 pass",
         {QString::fromLatin1(" \xb5"
                              "1 ")},
         "Interval\t1\t\r\npCi/l\t\xb5"
         "1\t\r\nEvent\t\t\r\n"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(BuildExport(Report(Case.Table)), Head + Case.Rows + Tail);
    }
}

TEST(ExportWriter, LandmarkChoice) {
    // Several landmark lines: the last of each counts; a line with two landmarks counts as
    // the first of the chain only.
    const QStringList Lines{"Time Interval old",
                            "Overall Avg old",
                            "EPA Protocol old",
                            "Overall Avg in the Time Interval",
                            "heading",
                            " 1.0 ",
                            "",
                            "Overall Avg",
                            "Overall Avg beside EPA Protocol",
                            "EPA Protocol",
                            "footer"};
    EXPECT_EQ(BuildExport(Lines),
              QByteArray("Time Interval old\r\nOverall Avg old\r\nEPA Protocol old\r\n"
                         "Overall Avg in the Time Interval\r\nheading\r\n"
                         "Interval\t1\t\r\npCi/l\t1.0\t\r\nEvent\t\t\r\n"
                         "Overall Avg\r\nOverall Avg beside EPA Protocol\r\nEPA Protocol\r\n"));
}

TEST(ExportWriter, SummaryRightUnderTheHeadingIsWrittenOnce) {
    const struct {
        const char* Name;
        QStringList Lines;
        QByteArray Expected;
    } Cases[] = {
        {"summary two lines below",
         {"Time Interval", "heading", "Overall Avg", "EPA Protocol"},
         "Time Interval\r\nheading\r\nInterval\t1\t\r\npCi/l\t\t\r\nEvent\t\t\r\n"
         "Overall Avg\r\nEPA Protocol\r\n"},
        {"summary right below",
         {"Time Interval", "Overall Avg", "EPA Protocol"},
         "Time Interval\r\nOverall Avg\r\nInterval\t1\t\r\npCi/l\t\t\r\nEvent\t\t\r\n"
         "EPA Protocol\r\n"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(BuildExport(Case.Lines), Case.Expected);
    }
}

TEST(ExportWriter, RefusesWithoutLandmarksInOrder) {
    const QString NoT = "Cannot export the report: no line contains \"Time Interval\".";
    const QString NoA = "Cannot export the report: no line after the \"Time Interval\" line "
                        "contains \"Overall Avg\".";
    const QString NoE = "Cannot export the report: no line after the \"Overall Avg\" line "
                        "contains \"EPA Protocol\".";
    const struct {
        const char* Name;
        QStringList Lines;
        QString Message;
    } Cases[] = {
        {"no lines", {}, NoT},
        {"no time interval", {"Overall Avg", "EPA Protocol"}, NoT},
        {"other case", {"time interval", "Overall Avg", "EPA Protocol"}, NoT},
        {"no overall average", {"Time Interval", "x", "EPA Protocol"}, NoA},
        {"average above", {"Overall Avg", "Time Interval", "x", "EPA Protocol"}, NoA},
        {"average only with the interval", {"Time Interval Overall Avg", "EPA Protocol"}, NoA},
        {"no protocol", {"Time Interval", "x", "Overall Avg"}, NoE},
        {"protocol above the average", {"Time Interval", "EPA Protocol", "Overall Avg"}, NoE},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(Refusal(Case.Lines), Case.Message);
    }
}

TEST(ExportWriter, WritesTheFileOrNothing) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("report_s.txt");
    WriteExport(Path, Report({" 1.0 "}));
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    const QByteArray Written = File.readAll();
    File.close();
    EXPECT_EQ(Written, BuildExport(Report({" 1.0 "})));
    EXPECT_TRUE(Written.endsWith("EPA Protocol  1.7 pCi/l\r\n"));
    EXPECT_FALSE(Written.contains("Footer"));

    // A refused export leaves the old file alone and creates none.
    EXPECT_THROW(WriteExport(Path, {"no landmarks"}), Exception);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    EXPECT_EQ(File.readAll(), Written);
    const QString Fresh = Dir.filePath("fresh_s.txt");
    EXPECT_THROW(WriteExport(Fresh, {"no landmarks"}), Exception);
    EXPECT_FALSE(QFile::exists(Fresh));

    const QString Missing = Dir.filePath("missing/report_s.txt");
    try {
        WriteExport(Missing, Report({}));
        ADD_FAILURE() << "no error";
    } catch (const Exception& Error) {
        EXPECT_EQ(Error.Message.section('\n', 0, 0), "Cannot create file " + Missing);
    }
}
