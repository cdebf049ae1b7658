#include "FilesTestHelpers.h"
#include "files/ExportWriter.h"

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

QByteArray Rows(const char* Interval, const char* Reading, const char* Event) {
    return QByteArray("Interval\t") + Interval + "\r\npCi/l\t" + Reading + "\r\nEvent\t" + Event +
           "\r\n";
}

} // namespace

TEST(ExportWriter, TableRows) {
    const struct {
        QStringList Table;
        QByteArray Rows;
    } Cases[] = {
        {{"  1.2  T 3.4", " TP 0.5 "}, // letters before a value belong to it
         "Interval\t1\t2\t3\t\r\npCi/l\t1.2\t3.4\t0.5\t\r\nEvent\t\tT\tTP\t\r\n"},
        {{}, Rows("1\t", "\t", "\t")},
        {{" 1.2 3.4 T "}, Rows("1\t2\t", "1.2\t3.4\t", "\t\tT")},    // no value for the letter
        {{" 1.2\t7 3.4 "}, Rows("1\t2\t", "1.2\t7\t3.4\t", "\t\t")}, // a tab in a reading
        {{" 1T2 PP  3 "}, Rows("1\t2\t", "12\t3\t", "T\tPP\t")},
        {{" 1.2 3.4T"}, Rows("1\t", "1.2\t3.4", "\tT")}, // the table ends inside a value
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Table.join('|').toStdString());
        EXPECT_EQ(BuildExport(Report(Case.Table)), Head + Case.Rows + Tail);
    }
}

TEST(ExportWriter, LandmarkChoice) {
    // Several landmark lines: the last of each counts; a line with two landmarks counts as
    // the first of the chain only.
    const QString Lines = "Time Interval old|Overall Avg old|EPA Protocol old|"
                          "Overall Avg in the Time Interval|heading| 1.0 ||Overall Avg|"
                          "Overall Avg beside EPA Protocol|EPA Protocol|footer";
    EXPECT_EQ(BuildExport(Lines.split('|')),
              "Time Interval old\r\nOverall Avg old\r\nEPA Protocol old\r\n"
              "Overall Avg in the Time Interval\r\nheading\r\n" +
                  Rows("1\t", "1.0\t", "\t") +
                  "Overall Avg\r\nOverall Avg beside EPA Protocol\r\nEPA Protocol\r\n");
    // The summary right under the heading is written once.
    EXPECT_EQ(BuildExport({"Time Interval", "Overall Avg", "EPA Protocol"}),
              "Time Interval\r\nOverall Avg\r\n" + Rows("1\t", "\t", "\t") + "EPA Protocol\r\n");
}

TEST(ExportWriter, RefusesWithoutLandmarksInOrder) {
    const QString Start = "Cannot export the report: no line ";
    const QString NoT = Start + "contains \"Time Interval\".";
    const QString NoA = Start + "after the \"Time Interval\" line contains \"Overall Avg\".";
    const QString NoE = Start + "after the \"Overall Avg\" line contains \"EPA Protocol\".";
    const struct {
        QStringList Lines;
        QString Message;
    } Cases[] = {
        {{}, NoT},
        {{"time interval", "Overall Avg", "EPA Protocol"}, NoT},
        {{"Overall Avg", "Time Interval", "x", "EPA Protocol"}, NoA},
        {{"Time Interval Overall Avg", "EPA Protocol"}, NoA},
        {{"Time Interval", "x", "Overall Avg"}, NoE},
        {{"Time Interval", "EPA Protocol", "Overall Avg"}, NoE},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Lines.join('|').toStdString());
        EXPECT_EQ(ErrorOf([&] { BuildExport(Case.Lines); }), Case.Message);
    }
}

TEST(ExportWriter, WritesTheFileOrNothing) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("report_s.txt");
    WriteExport(Path, Report({" 1.0 "}));
    const QByteArray Written = FileBytes(Path);
    // Ends with CR LF after the "EPA Protocol" line; the footer lines are left out.
    EXPECT_EQ(Written, Head + Rows("1\t", "1.0\t", "\t") + Tail);
    EXPECT_TRUE(Written.endsWith("EPA Protocol  1.7 pCi/l\r\n"));

    // A refused export leaves the old file alone and creates none.
    EXPECT_THROW(WriteExport(Path, {"no landmarks"}), Exception);
    EXPECT_EQ(FileBytes(Path), Written);
    const QString Fresh = Dir.filePath("fresh_s.txt");
    EXPECT_THROW(WriteExport(Fresh, {"no landmarks"}), Exception);
    EXPECT_FALSE(QFile::exists(Fresh));
}
