#include "FilesTestHelpers.h"
#include "files/SuffixRule.h"

#include <gtest/gtest.h>

TEST(SuffixRule, ChosenPathToWrittenPath) {
    const struct {
        QString Chosen, Text, Export;
    } Rows[] = {
        {"report.txt", "report_t.txt", "report_s.txt"},
        {"report_s.txt", "report_t.txt", "report_s.txt"},
        {"report_t.txt", "report_t.txt", "report_s.txt"},
        {"notes.dat", "notes_t.dat", "notes_s.dat"},
        {"my.run/report.txt", "my.run/report_t.txt", "my.run/report_s.txt"},
        {"report_S.txt", "report_S_t.txt", "report_S_s.txt"}, // upper case is no mark
        {"report", "report_t", "report_s"},                   // no extension
        {"report_s", "report_t", "report_s"},
        {"a_s.b.txt", "a_s.b_t.txt", "a_s.b_s.txt"}, // only the last dot counts
        {"x.txt", "x_t.txt", "x_s.txt"},             // too short for a mark before the dot
        {"_t.txt", "_t.txt", "_s.txt"},
    };
    // Each row alone, in a folder, and in a folder with a dot in its name.
    for (const QString Folder : {"", "/home/ann/Data/", "/home/ann/my.run/"})
        for (const auto& Row : Rows) {
            SCOPED_TRACE((Folder + Row.Chosen).toStdString());
            EXPECT_EQ(ApplySuffix(Folder + Row.Chosen, false), Folder + Row.Text);
            EXPECT_EQ(ApplySuffix(Folder + Row.Chosen, true), Folder + Row.Export);
            EXPECT_EQ(ApplySuffix(Folder + Row.Text, false), Folder + Row.Text);
            EXPECT_EQ(ApplySuffix(Folder + Row.Export, true), Folder + Row.Export);
        }
}
