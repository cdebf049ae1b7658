#include "ReportFixtures.h"
#include "report/ApplyInfo.h"
#include "report/ReportBuilder.h"
#include "report/StreamConventions.h"

#include <gtest/gtest.h>

using namespace ReportFixtures;

namespace {

const QString Sep = StreamConventions::Separator;

QStringList Apply(const QStringList& Lines, const TReportInfo& Info,
                  const QLocale& Locale = UnitedStates) {
    const auto Result = ApplyInfo(Lines, Info, Locale);
    return Result ? *Result : QStringList{"<unchanged>"};
}

// What surrounds the body in a rebuilt report with SampleInfo.
QStringList Wrapped(const QStringList& Body, bool Enabled) {
    QStringList Lines;
    if (Enabled)
        Lines << SampleInfo(true).Header;
    Lines << ""
          << "" << Body << ""
          << ""
          << ""
          << "";
    if (Enabled)
        Lines << SampleInfo(true).Footer;
    return Lines;
}

} // namespace

TEST(ApplyInfo, BodyLinesAreRenewedInTestOrder) {
    const struct {
        const char* Name;
        QString Line;
        QString Enabled, Disabled;
    } Cases[] = {
        {"start date", "Start Date : 1/1/2020", "Start Date : 3/5/2026", "Start Date : "},
        {"start time", "Start Time : 1:00:00 AM", "Start Time : 4:05:09 PM", "Start Time : "},
        {"end date", "End Date   : ", "End Date   : 3/7/2026", "End Date   : "},
        {"end time at midnight", "End Time   : x", "End Time   : 12:00:00 AM", "End Time   : "},
        {"serial", "Serial #   : old", "Serial #   : 4410-0815", "Serial #   : "},
        {"location", "Location   : old", "Location   : Basement, 12 Elm St.", "Location   : "},
        {"start date tested before end time", "End Time Start Date", "Start Date : 3/5/2026",
         "Start Date : "},
        {"start time tested before serial", "Serial # Start Time", "Start Time : 4:05:09 PM",
         "Start Time : "},
        {"a word in another sense", "Location of the monitor was moved",
         "Location   : Basement, 12 Elm St.", "Location   : "},
        {"the caption form counts too", "Location:", "Location   : Basement, 12 Elm St.",
         "Location   : "},
        {"other case is no match", "start date", "start date", "start date"},
        {"ordinary line", " 1.2  T 3.4 ", " 1.2  T 3.4 ", " 1.2  T 3.4 "},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const QStringList Report{"old header", Sep, Case.Line, Sep, "old footer"};
        EXPECT_EQ(Apply(Report, SampleInfo(true)), Wrapped({Sep, Case.Enabled, Sep}, true));
        EXPECT_EQ(Apply(Report, SampleInfo(false)), Wrapped({Sep, Case.Disabled, Sep}, false));
    }
}

TEST(ApplyInfo, SeparatorsDecideTheBody) {
    const struct {
        const char* Name;
        QStringList Report;
        QStringList Body;
    } Cases[] = {
        {"one separator", {"above", Sep + " x", "below"}, {Sep + " x"}},
        {"longer run and text around it",
         {"a", "==" + Sep + "----==", "b", "--- 23 hyphens -----------", "c", Sep, "d"},
         {"==" + Sep + "----==", "b", "--- 23 hyphens -----------", "c", Sep}},
        {"23 hyphens are no separator", {"a", QString(23, '-'), Sep, "b"}, {Sep}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(Apply(Case.Report, SampleInfo(true)), Wrapped(Case.Body, true));
    }
}

TEST(ApplyInfo, LeavesTheEditorAloneWithoutLinesOrSeparator) {
    EXPECT_FALSE(ApplyInfo({}, SampleInfo(true), UnitedStates));
    EXPECT_FALSE(ApplyInfo({"Serial #   : ", "Start Date : "}, SampleInfo(true), UnitedStates));
    EXPECT_FALSE(ApplyInfo({""}, SampleInfo(false), UnitedStates));
}

TEST(ApplyInfo, BuiltReportRebuildsStablyAndDropsTheOldFrame) {
    // The printout's own separators leave its captions and graph outside the body, so
    // frame the whole printout the way a report meant for rebuilding is.
    QStringList Built = BuildReport(Printout("short.bin"), SampleInfo(false), UnitedStates);
    Built.prepend(Sep);
    Built.append(Sep);
    TReportInfo Info = SampleInfo(true);
    const auto Once = ApplyInfo(Built, Info, UnitedStates);
    ASSERT_TRUE(Once);
    EXPECT_EQ(ApplyInfo(*Once, Info, UnitedStates), Once);
    EXPECT_TRUE(Once->contains("Serial #   : 4410-0815"));
    EXPECT_TRUE(Once->contains("End Time   : 12:00:00 AM"));
    EXPECT_TRUE(Once->contains("HALVORN 4410 CONTINUOUS RADON MONITOR"));
    EXPECT_EQ(Once->count(QString(StreamConventions::ScaleLine)), 2);
    EXPECT_EQ(Once->mid(0, 4), (QStringList{"Radon Services Ltd.", "Job 17", "", ""}));
    EXPECT_EQ(Once->back(), "Tested by A. Berg");

    // Other information replaces the first one completely.
    Info.SerialNumber = "9999";
    Info.StartTime.setTime(QTime(0, 0));
    const auto Twice = ApplyInfo(*Once, Info, Germany);
    ASSERT_TRUE(Twice);
    EXPECT_TRUE(Twice->contains("Serial #   : 9999"));
    EXPECT_TRUE(Twice->contains("Start Time : 12:00:00 AM"));
    EXPECT_TRUE(Twice->contains("Start Date : 05.03.2026"));
    EXPECT_EQ(Twice->size(), Once->size());
}

TEST(ApplyInfo, AHeaderWithTheSeparatorGrowsTheBody) {
    // Known limit: such a header becomes part of the body on the next rebuild.
    TReportInfo Info = SampleInfo(true);
    Info.Header = QStringList{"== " + Sep + " =="};
    const auto Once = ApplyInfo({Sep, "x", Sep}, Info, UnitedStates);
    ASSERT_TRUE(Once);
    const auto Twice = ApplyInfo(*Once, Info, UnitedStates);
    ASSERT_TRUE(Twice);
    EXPECT_EQ(Twice->size(), Once->size() + 3);
}

TEST(ApplyInfo, PrintoutSeparatorsKeepOnlyTheTable) {
    const QStringList Built = BuildReport(Printout("short.bin"), SampleInfo(true), UnitedStates);
    const auto Rebuilt = ApplyInfo(Built, SampleInfo(true), UnitedStates);
    ASSERT_TRUE(Rebuilt);
    const QStringList Body = Rebuilt->mid(4, Rebuilt->size() - 4 - 4 - 1);
    EXPECT_EQ(Body.front(), Sep);
    EXPECT_TRUE(Body.at(1).startsWith("Time Interval"));
    EXPECT_EQ(Body.back(), Sep);
    EXPECT_EQ(Rebuilt->count("Job 17"), 1); // the old header is gone, the new one is in
    EXPECT_FALSE(Body.join('\n').contains("Serial #"));
}
