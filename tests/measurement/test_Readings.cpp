#include "MeasurementTestHelpers.h"
#include "measurement/Summary.h"

namespace {

std::string Texts(const TReadings& R) {
    std::string Out;
    for (const TReadingValue& Value : R.Values)
        Out += std::string(Value.Events()) + (Value.Valid() ? "" : "!") +
               std::string(Value.Text()) + "|";
    return Out;
}

} // namespace

TEST(Readings, FixturesOfBothShapes) {
    const struct {
        const char* File;
        int Count, Interval;
        const char *Start, *Serial, *MeanAll, *MeanAfter4h, *Max;
        int MaxK, EventsT, EventsP;
        const char *OverallAvg, *EpaProtocol;
    } Cases[] = {
        {"current_48h.txt", 48, 60, "2026-03-05T16:05:09-06:00", "4410-0815", "4.7", "4.6", "8.9",
         36, 10, 10, "4.7", "4.6"},
        // Midnight, 15-minute intervals, a daylight-saving change inside the test.
        {"current_long.txt", 960, 15, "2026-11-01T00:00:00-05:00", "4410-0999", "4.8", "4.8", "9.0",
         140, 175, 168, "4.8", "4.8"},
        {"older_6h.txt", 6, 60, "", "", "5.2", "6.6", "8.0", 5, 1, 1, "5.2", "6.6"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.File);
        const TReadings R = Readings::Read(Fixture(Case.File), QLocale::system(), Chicago);
        const TFigures F = Summary::Figures(R);
        EXPECT_TRUE(R.Refusal.isEmpty());
        EXPECT_EQ(F.Count, Case.Count);
        EXPECT_EQ(F.Valid, Case.Count);
        EXPECT_EQ(R.IntervalMinutes, Case.Interval);
        EXPECT_EQ(Readings::Timestamp(R.Start), Case.Start);
        EXPECT_EQ(R.SerialNumber, Case.Serial);
        EXPECT_EQ(F.MeanAll.Rounded(TUnit::PciL).Text(), Case.MeanAll);
        EXPECT_EQ(F.MeanAfter4h.Rounded(TUnit::PciL).Text(), Case.MeanAfter4h);
        EXPECT_EQ(F.Max.Text(), Case.Max);
        EXPECT_EQ(F.MaxK, Case.MaxK);
        EXPECT_EQ(F.EventsT, Case.EventsT);
        EXPECT_EQ(F.EventsP, Case.EventsP);
        EXPECT_EQ(R.InstrumentOverallAvg->Text(), Case.OverallAvg);
        EXPECT_EQ(R.InstrumentEpaProtocol->Text(), Case.EpaProtocol);
    }
}

TEST(Readings, TableEdges) {
    const struct {
        QStringList Table;
        std::string Values; // events, "!" when invalid, text
        int Valid;
        const char *MeanAll, *MeanAfter4h; // "" unknown
    } Cases[] = {
        {{}, "", 0, "", ""},
        {{"   ", "\t"}, "", 0, "", ""},
        {{" 3.95 "}, "3.95|", 1, "4.0", ""},
        {{" 1.0 4.x -- 2.0 . 1.5e1 "}, "1.0|!4.x|!--|2.0|!.|!1.5e1|", 2, "1.5", ""},
        {{" 1.0 2.0 T "}, "1.0|2.0|", 2, "1.5", ""}, // a letter after the last value
        {{" 1.0 2.0T"}, "1.0|", 1, "1.0", ""},       // the table ends inside a value
        {{" T 1.0 TP", " 2.0  P 3.0 4.0 5.0 "}, "T1.0|TP2.0|P3.0|4.0|5.0|", 5, "3.0", "5.0"},
        {{" -1.5 +0.5 "}, "-1.5|+0.5|", 2, "-0.5", ""},
        // No monitor measures beyond 100,000 pCi/L or to a seventh decimal.
        {{" 100000 -100000.0 100000.1 -100001 1.0000001 0.000001 "},
         "100000|-100000.0|!100000.1|!-100001|!1.0000001|0.000001|",
         3,
         "0.0",
         "0.0"},
        {{" " + QString(400, '9') + " 2.0 "}, "!" + std::string(400, '9') + "|2.0|", 1, "2.0", ""},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Table.join('|').toStdString());
        const TReadings R = Readings::Read(Report(Case.Table));
        const TFigures F = Summary::Figures(R);
        EXPECT_EQ(Texts(R), Case.Values);
        EXPECT_EQ(F.Valid, Case.Valid);
        const auto Mean = [](const TMean& M) {
            return M.Known() ? M.Rounded(TUnit::PciL).Text() : std::string();
        };
        EXPECT_EQ(Mean(F.MeanAll), Case.MeanAll);
        EXPECT_EQ(Mean(F.MeanAfter4h), Case.MeanAfter4h);
    }
}

TEST(Readings, Interval) {
    const struct {
        const char* Line;
        int Minutes;
        int FirstHours; // values left out of the mean after 4 hours
    } Cases[] = {
        {"Time Interval   1 Hr", 60, 4},
        {"Time Interval 2 hours", 120, 2},
        {"Time Interval: 15 Min", 15, 16},
        {"Time Interval 7m", 7, 35},
        {"Time Interval 300 min", 300, 1},
        {"Time Interval   0 Hr", 0, 0},
        {"Time Interval  10 s", 0, 0},
        {"Time Interval 1", 0, 0},
        {"1 Hr Time Interval", 0, 0},
        {"Time Interval 99999999999 Hr", 0, 0},
        // A day at most, as 0 is unknown.
        {"Time Interval 24 Hr", 1440, 1},
        {"Time Interval 1441 Min", 0, 0},
        {"Time Interval 35791394 M", 0, 0},
        {"Time Interval (x) 30  MINUTES", 30, 8},
    };
    for (const auto& Case : Cases) {
        const TReadings R = Readings::Read(Report({" 1.0 "}, Case.Line));
        EXPECT_EQ(R.IntervalMinutes, Case.Minutes) << Case.Line;
        EXPECT_EQ(Summary::FirstHoursValues(R.IntervalMinutes), Case.FirstHours) << Case.Line;
    }
}

TEST(Readings, Start) {
    const QLocale German(QLocale::German, QLocale::Germany);
    const struct {
        const char *Date, *Time;
        QLocale Locale;
        const char* Start; // "" unknown
    } Cases[] = {
        {"3/5/2026", "4:05:09 PM", QLocale::system(), "2026-03-05T16:05:09-06:00"},
        {"3/5/2026", "12:00:00 AM", QLocale::system(), "2026-03-05T00:00:00-06:00"},
        {"2026-07-01", "09:30:00", QLocale::system(), "2026-07-01T09:30:00-05:00"},
        {"05.03.2026", "16:05:09", German, "2026-03-05T16:05:09-06:00"},
        {"3/5/2026", "12:00:00 AM", German, "2026-03-05T00:00:00-06:00"}, // the fallbacks
        {"2026-03-05", "4:05:09 PM", German, "2026-03-05T16:05:09-06:00"},
        // Skipped by the change to daylight saving: read on the clock before it.
        {"3/8/2026", "2:30:00 AM", QLocale::system(), "2026-03-08T03:30:00-05:00"},
        {"3/5/2026", "", QLocale::system(), ""},
        {"", "4:05:09 PM", QLocale::system(), ""},
        {"13/45/2026", "4:05:09 PM", QLocale::system(), ""},
        {"3/5/2026", "25:00:00", QLocale::system(), ""},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(std::string(Case.Date) + " " + Case.Time);
        const QStringList Labels{"Serial #   : 4410-0815", QString("Start Date : ") + Case.Date,
                                 QString("Start Time : ") + Case.Time};
        const TReadings R =
            Readings::Read(Report({" 1.0 "}, "Time Interval 1 Hr", Labels), Case.Locale, Chicago);
        EXPECT_EQ(Readings::Timestamp(R.Start), Case.Start);
    }
}

TEST(Readings, IntervalStartsCountElapsedTime) {
    // The spring-forward day: 1:00 CST is followed by 3:00 CDT.
    const QStringList Labels{"Serial #   : 1", "Start Date : 3/8/2026", "Start Time : 12:00:00 AM"};
    const TReadings R = Readings::Read(Report({" 1 2 3 4 "}, "Time Interval 1 Hr", Labels),
                                       QLocale::system(), Chicago);
    QStringList Starts;
    for (int K = 1; K <= 4; ++K)
        Starts << Readings::Timestamp(Readings::IntervalStart(R, K));
    EXPECT_EQ(Starts.join(' '), "2026-03-08T00:00:00-06:00 2026-03-08T01:00:00-06:00 "
                                "2026-03-08T03:00:00-05:00 2026-03-08T04:00:00-05:00");
    // East of Greenwich and at UTC itself: an offset, never "Z".
    const QDateTime Kolkata(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone("Asia/Kolkata"));
    EXPECT_EQ(Readings::Timestamp(Kolkata), "2026-01-02T03:04:05+05:30");
    EXPECT_EQ(Readings::Timestamp(QDateTime(QDate(2026, 1, 2), QTime(3, 4), QTimeZone::utc())),
              "2026-01-02T03:04:00+00:00");
}

// The measured period ends one interval per value after the start; the report's own end
// labels are read beside it, never in its place.
TEST(Readings, MeasuredEndAndTheReportsOwnEnd) {
    const struct {
        QStringList Labels;
        const char* Interval;
        const char *End, *ReportEnd; // "" unknown
        bool ReportEndHasTime;
    } Cases[] = {
        {{"Start Date : 12/5/2026", "Start Time : 9:00:00 AM", "End Date   : 12/7/2026",
          "End Time   : 9:00:00 AM"},
         "Time Interval 1 Hr",
         "2026-12-05T12:00:00-06:00",
         "2026-12-07T09:00:00-06:00",
         true},
        {{"Start Date : 12/5/2026", "Start Time : 9:00:00 AM", "End Date   : 12/7/2026"},
         "Time Interval 30 Min",
         "2026-12-05T10:30:00-06:00",
         "2026-12-07T00:00:00-06:00",
         false},
        {{"Start Date : 12/5/2026", "Start Time : 9:00:00 AM"}, "Time Interval", "", "", false},
        {{"End Date   : 12/7/2026", "End Time   : 1:00:00 PM"},
         "Time Interval 1 Hr",
         "",
         "2026-12-07T13:00:00-06:00",
         true},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Labels.join(", ").toStdString());
        const TReadings R = Readings::Read(Report({" 1.0 2.0 3.0 "}, Case.Interval, Case.Labels),
                                           QLocale("en_US"), Chicago);
        EXPECT_EQ(Readings::Timestamp(Readings::End(R)), Case.End);
        EXPECT_EQ(Readings::Timestamp(R.ReportEnd), Case.ReportEnd);
        EXPECT_EQ(R.ReportEndHasTime, Case.ReportEndHasTime);
    }
}

TEST(Readings, RefusesWithoutLandmarksInOrder) {
    const TReadings R = Readings::Read({"Time Interval 1 Hr", " 1.0 ", "EPA Protocol 1.0"});
    EXPECT_EQ(R.Refusal, "No readings table in this report: no line after the \"Time Interval\" "
                         "line contains \"Overall Avg\".");
    EXPECT_TRUE(R.Values.empty());
    EXPECT_TRUE(Readings::Read({}).Refusal.endsWith("no line contains \"Time Interval\"."));
}

TEST(Readings, InstrumentFigures) {
    const struct {
        const char* Line;
        const char* Figure; // "" none
    } Cases[] = {
        {"Overall Avg    4.0 pCi/l", "4.0"}, {"Overall Avg -0.25 x 9", "-0.25"},
        {"Overall Avg: 12 pCi/l", "12"},     {"Overall Avg 3. pCi/l", "3"},
        {"Overall Avg    --- pCi/l", ""},    {"4.0 Overall Avg", ""},
        {"Overall Avg x-3.5", "-3.5"},
    };
    for (const auto& Case : Cases) {
        QStringList Lines = Report({" 1.0 "});
        Lines.replaceInStrings("Overall Avg    4.0 pCi/l", Case.Line);
        const TReadings R = Readings::Read(Lines);
        EXPECT_EQ(R.InstrumentOverallAvg ? R.InstrumentOverallAvg->Text() : "", Case.Figure)
            << Case.Line;
        EXPECT_EQ(R.InstrumentEpaProtocol->Text(), "4.0");
    }
}
