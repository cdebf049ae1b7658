#include "MeasurementTestHelpers.h"
#include "measurement/Measurement.h"

namespace {

const QStringList Labels{"Serial #   : 4410-0815", "Start Date : 3/5/2026",
                         "Start Time : 4:05:09 PM"};

// The checks of a report as "id=ok" with ok 1, 0 or ?.
QString Verdicts(const QStringList& Lines, const TCalibrationDates& Calibration = {}) {
    const TMeasurement M =
        Measurement::Measure(Lines, {Calibration}, TUnit::PciL, QLocale::system(), Chicago);
    QStringList Out;
    for (const TCheck& Check : M.Checks)
        Out << Check.Id + '=' + (Check.Ok ? (*Check.Ok ? '1' : '0') : '?');
    return Out.join(' ');
}

QStringList Hours(int Count, const char* Reading) {
    QStringList Table;
    for (int i = 0; i < Count; ++i)
        Table << QString(" %1 ").arg(Reading);
    return Table;
}

QStringList WithFigures(QStringList Lines, const char* OverallAvg, const char* EpaProtocol) {
    Lines.replaceInStrings("Overall Avg    4.0", QString("Overall Avg ") + OverallAvg);
    Lines.replaceInStrings("EPA Protocol   4.0", QString("EPA Protocol ") + EpaProtocol);
    return Lines;
}

} // namespace

TEST(Checks, Verdicts) {
    const TCalibrationDates Calibrated{{"4410-0815", QDate(2025, 3, 5)}};
    const struct {
        QStringList Lines;
        TCalibrationDates Calibration;
        const char* Verdicts;
    } Cases[] = {
        {Report(Hours(48, "3.95"), "Time Interval 1 Hr", Labels), Calibrated,
         "duration_48h=1 end_agrees=? all_valid=1 no_events=1 agrees_overall_avg=1 "
         "agrees_epa_protocol=1 "
         "calibration=1 action_level=0"},
        // 47 hours; an invalid value, an event; the means 3.8 and 3.75 round to 3.8 against
        // the instrument's 3.9 and 3.6.
        {WithFigures(Report(Hours(45, "3.8") << " x TP 3.7 ", "Time Interval 1 Hr", Labels), "3.9",
                     "3.6"),
         {{"4410-0815", QDate(2025, 3, 4)}},
         "duration_48h=0 end_agrees=? all_valid=0 no_events=0 agrees_overall_avg=1 "
         "agrees_epa_protocol=0 "
         "calibration=0 action_level=1"},
        {WithFigures(Report(Hours(96, "1.0"), "Time Interval 30 Min", Labels), "0.8", "1.2"),
         {{"4410-0815", QDate(2026, 3, 6)}}, // calibrated after the start
         "duration_48h=1 end_agrees=? all_valid=1 no_events=1 agrees_overall_avg=0 "
         "agrees_epa_protocol=0 "
         "calibration=0 action_level=1"},
        // No interval, no start, no instrument figures, no valid reading.
        {WithFigures(Report({" n/a "}, "Time Interval"), "--", "--"), Calibrated,
         "duration_48h=? end_agrees=? all_valid=0 no_events=1 agrees_overall_avg=? "
         "agrees_epa_protocol=? "
         "calibration=? action_level=?"},
        {Report({}, "Time Interval 1 Hr", Labels),
         {},
         "duration_48h=0 end_agrees=? all_valid=1 no_events=1 agrees_overall_avg=? "
         "agrees_epa_protocol=? "
         "calibration=? action_level=0"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Verdicts);
        EXPECT_EQ(Verdicts(Case.Lines, Case.Calibration), Case.Verdicts);
    }
}

TEST(Checks, SentencesInTheChosenUnit) {
    QStringList Lines = WithFigures(
        Report(Hours(50, "4.2") << " T 1.0 P 1.0 ", "Time Interval 1 Hr", Labels), "4.1", "4.2");
    const TCalibrationDates Calibrated{{"4410-0815", QDate(2026, 1, 15)}};
    const TMeasurement M =
        Measurement::Measure(Lines, {Calibrated}, TUnit::PciL, QLocale::system(), Chicago);
    // Each unit is rounded from the exact mean (212 / 52 = 4.0769 pCi/L = 150.85 Bq/m3), not
    // from the other's rounded figure.
    QStringList Texts;
    for (const TCheck& Check : M.Checks)
        Texts << Check.Text;
    EXPECT_EQ(Texts, QStringList({
                         "The test lasted 52 hours, at least the 48 hours a test needs",
                         "The report gives no end",
                         "All 52 values are readings",
                         "Events are marked: T on 1 value, P on 1 value",
                         "The mean of all readings, 4.1 pCi/L (151 Bq/m3), agrees with the "
                         "instrument's Overall Avg of 4.1 pCi/L (152 Bq/m3)",
                         "The mean without the first 4 hours, 4.1 pCi/L (150 Bq/m3), agrees "
                         "with the instrument's EPA Protocol of 4.2 pCi/L (155 Bq/m3)",
                         "The monitor 4410-0815 was calibrated on 1/15/2026, within the 12 "
                         "months before the start",
                         "EPA protocol average 4.2 pCi/L (155 Bq/m3) is at or above the EPA "
                         "action level of 4.0 pCi/L (148 Bq/m3)",
                     }));
    const TMeasurement InBq =
        Measurement::Measure(Lines, {}, TUnit::BqM3, QLocale::system(), Chicago);
    EXPECT_EQ(InBq.Checks.back().Text, "EPA protocol average 155 Bq/m3 (4.2 pCi/L) is at or "
                                       "above the EPA action level of 148 Bq/m3 (4.0 pCi/L)");
    EXPECT_EQ(InBq.Checks[6].Text, "No calibration date is known for the monitor 4410-0815");
}

// The report's own end against the measured one: one interval apart still agrees; a date
// alone stands for its whole day.
TEST(Checks, EndAgreesNamesBothEnds) {
    const struct {
        const char *Date, *Time;
        int Hours;
        const char* Ok;
        const char* Text;
    } Cases[] = {
        {"3/7/2026", "4:05:09 PM", 48, "1", "The report's end, 3/7/2026 4:05:09 PM, agrees"},
        {"3/7/2026", "5:05:09 PM", 48, "1", "agrees"},
        {"3/7/2026", "9:00:00 AM", 36, "0",
         "The report gives the end as 3/7/2026 9:00:00 AM, but the readings end at 3/7/2026 "
         "4:05:09 AM"},
        {"3/7/2026", "", 2000, "0",
         "The report gives the end as 3/7/2026, but the readings end "
         "at 5/28/2026 1:05:09 AM"},
        {"3/8/2026", "", 36 + 24, "1", "agrees"},
        {"", "", 48, "?", "The report gives no end"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Text);
        QStringList Labels{"Serial #   : 4410-0815", "Start Date : 3/5/2026",
                           "Start Time : 4:05:09 PM"};
        if (*Case.Date)
            Labels << QString("End Date   : ") + Case.Date;
        if (*Case.Time)
            Labels << QString("End Time   : ") + Case.Time;
        const TMeasurement M =
            Measurement::Measure(Report(Hours(Case.Hours, "1.0"), "Time Interval 1 Hr", Labels), {},
                                 TUnit::PciL, QLocale("en_US"), Chicago);
        EXPECT_TRUE(Verdicts(Report(Hours(Case.Hours, "1.0"), "Time Interval 1 Hr", Labels))
                        .contains(QString("end_agrees=") + Case.Ok));
        EXPECT_TRUE(M.Checks[1].Text.contains(Case.Text)) << M.Checks[1].Text.toStdString();
    }
}

TEST(Checks, VerdictAboveTheChecks) {
    const auto Check = [](const char* Id, std::optional<bool> Ok) { return TCheck{Id, Ok, {}}; };
    const std::vector<TCheck> Passed{
        Check("duration_48h", true),       Check("end_agrees", true),
        Check("all_valid", true),          Check("no_events", true),
        Check("agrees_overall_avg", true), Check("agrees_epa_protocol", true),
        Check("calibration", true),        Check("action_level", false)};
    const struct {
        size_t Changed;
        std::optional<bool> Ok;
        bool Valid, Review;
        const char* Text;
    } Cases[] = {
        {7, false, true, false, "Valid test"}, // a high result is no fault of the test
        {3, false, true, true, "Valid test, with points to review: events are marked"},
        {6, std::nullopt, true, true,
         "Valid test, with points to review: the monitor's calibration date is unknown"},
        {1, std::nullopt, true, true,
         "Valid test, with points to review: the report gives no end to compare"},
        {0, false, false, false, "Not a valid test: it lasted less than 48 hours"},
        {0, std::nullopt, false, true, "Not a valid test: its duration is unknown"},
        {2, false, false, false, "Not a valid test: some values are not readings"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Text);
        std::vector<TCheck> Checks = Passed;
        Checks[Case.Changed].Ok = Case.Ok;
        const TVerdict V = Summary::Verdict(Checks);
        EXPECT_EQ(V.Valid, Case.Valid);
        EXPECT_EQ(V.Review, Case.Review);
        EXPECT_EQ(V.Text, Case.Text);
    }
}

// The result against each level in the level's own unit, after that unit's rounding; after
// mitigation the result leaves out 24 hours while the agreement check still leaves out 4.
TEST(Checks, ActionLevelFollowsTheLevelInItsOwnUnit) {
    const auto Custom = [](const char* Value, TUnit Unit) {
        return *ReferenceLevels::Custom(Value, Unit, "State guideline").Level;
    };
    const struct {
        TReferenceLevel Level;
        const char* Epa;
        bool Above;
        const char* Text;
    } Cases[] = {
        {ReferenceLevels::Epa(), "3.95", true, "is at or above the EPA action level of 4.0 pCi/L"},
        {ReferenceLevels::Epa(), "3.94", false, "is below the EPA action level"},
        {ReferenceLevels::Who(), "2.7", true, "the WHO reference level of 2.7 pCi/L (100 Bq/m3)"},
        // 2.69 pCi/L is 99.53 Bq/m3, which is 100 as people see it.
        {ReferenceLevels::Who(), "2.69", true, "is at or above the WHO"},
        {ReferenceLevels::Who(), "2.68", false, "is below"},
        {ReferenceLevels::Eu(), "8.1", true, "the EU reference level of 8.1 pCi/L (300 Bq/m3)"},
        {ReferenceLevels::Eu(), "8.09", false, "is below"},
        {ReferenceLevels::Canada(), "5.39", false, "is below the Canadian guideline"},
        {Custom("150", TUnit::BqM3), "4.04", false, "the State guideline of 4.1 pCi/L (150"},
        {Custom("150", TUnit::BqM3), "4.06", true, "is at or above"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Level.Name.toStdString() + " " + Case.Epa);
        const TMeasurement M =
            Measurement::Measure(WithFigures(Report(Hours(48, "1.0")), "1.0", Case.Epa),
                                 {{}, Case.Level}, TUnit::PciL, QLocale("en_US"), Chicago);
        EXPECT_EQ(M.Checks.back().Ok, !Case.Above);
        EXPECT_EQ(Measurement::Mark(M.Checks.back()), Case.Above ? "At or above" : "Below");
        EXPECT_TRUE(M.Checks.back().Text.contains(Case.Text)) << M.Checks.back().Text.toStdString();
        EXPECT_EQ(Measurement::ResultHeadline(M),
                  Case.Above ? "At or above the reference level" : "Below the reference level");
    }
    // After mitigation: 24 hours of 9.0, then 24 of 1.0; the instrument's EPA Protocol (4 hours
    // left out) is 4.6 and agrees, the result is 1.0.
    QStringList Lines = WithFigures(Report(Hours(24, "9.0") + Hours(24, "1.0")), "5.0", "4.6");
    const TMeasurement After =
        Measurement::Measure(Lines, {{}, ReferenceLevels::Epa(), true}, TUnit::PciL);
    EXPECT_EQ(Measurement::Result(After).Rounded(TUnit::PciL).Text(), "1.0");
    EXPECT_EQ(After.Checks[5].Ok, true) << After.Checks[5].Text.toStdString();
    EXPECT_EQ(After.Checks.back().Text, "Mean without the first 24 hours 1.0 pCi/L (37 Bq/m3) is "
                                        "below the EPA action level of 4.0 pCi/L (148 Bq/m3)");
}
