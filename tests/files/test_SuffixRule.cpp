#include "QStringPrinter.h"
#include "files/SuffixRule.h"

#include <gtest/gtest.h>

TEST(SuffixRule, ChosenPathToWrittenPath) {
    const struct {
        QString Chosen, Text, Export;
    } Rows[] = {
        {"/home/ann/Data/report.txt", "/home/ann/Data/report_t.txt", "/home/ann/Data/report_s.txt"},
        {"/home/ann/Data/report_s.txt", "/home/ann/Data/report_t.txt",
         "/home/ann/Data/report_s.txt"},
        {"/home/ann/Data/report_t.txt", "/home/ann/Data/report_t.txt",
         "/home/ann/Data/report_s.txt"},
        {"/home/ann/Data/notes.dat", "/home/ann/Data/notes_t.dat", "/home/ann/Data/notes_s.dat"},
        {"/home/ann/Data/my.run/report.txt", "/home/ann/Data/my.run/report_t.txt",
         "/home/ann/Data/my.run/report_s.txt"},
        // Upper case is no suffix: the mark is added.
        {"/home/ann/Data/report_S.txt", "/home/ann/Data/report_S_t.txt",
         "/home/ann/Data/report_S_s.txt"},
        {"/home/ann/Data/report_T.txt", "/home/ann/Data/report_T_t.txt",
         "/home/ann/Data/report_T_s.txt"},
        // No extension: the mark ends the name, also below a folder with a dot.
        {"/home/ann/Data/report", "/home/ann/Data/report_t", "/home/ann/Data/report_s"},
        {"/home/ann/my.run/report", "/home/ann/my.run/report_t", "/home/ann/my.run/report_s"},
        {"/home/ann/my.run/report_s", "/home/ann/my.run/report_t", "/home/ann/my.run/report_s"},
        // Only the last dot counts.
        {"/home/ann/a.b.txt", "/home/ann/a.b_t.txt", "/home/ann/a.b_s.txt"},
        {"/home/ann/a_s.b.txt", "/home/ann/a_s.b_t.txt", "/home/ann/a_s.b_s.txt"},
        // Too short a name to hold a mark before the dot.
        {"/home/ann/x.txt", "/home/ann/x_t.txt", "/home/ann/x_s.txt"},
        {"/home/ann/_t.txt", "/home/ann/_t.txt", "/home/ann/_s.txt"},
        {"report.txt", "report_t.txt", "report_s.txt"},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Chosen.toStdString());
        EXPECT_EQ(ApplySuffix(Row.Chosen, false), Row.Text);
        EXPECT_EQ(ApplySuffix(Row.Chosen, true), Row.Export);
        // Applying the rule to its own result changes nothing.
        EXPECT_EQ(ApplySuffix(Row.Text, false), Row.Text);
        EXPECT_EQ(ApplySuffix(Row.Export, true), Row.Export);
    }
}
