#include "MeasurementTestHelpers.h"
#include "measurement/Measurement.h"

namespace {

const QStringList Labels{"Serial #   : 4410-0815", "Start Date : 3/5/2026",
                         "Start Time : 4:05:09 PM"};

// The checks of a report as "id=ok" with ok 1, 0 or ?.
QString Verdicts(const QStringList& Lines, const TCalibrationDates& Calibration = {}) {
    const TMeasurement M =
        Measurement::Measure(Lines, Calibration, TUnit::PciL, QLocale::system(), Chicago);
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
         "duration_48h=1 all_valid=1 no_events=1 agrees_overall_avg=1 agrees_epa_protocol=1 "
         "calibration=1 action_level=0"},
        // 47 hours; an invalid value, an event; the means 3.8 and 3.75 round to 3.8 against
        // the instrument's 3.9 and 3.6.
        {WithFigures(Report(Hours(45, "3.8") << " x TP 3.7 ", "Time Interval 1 Hr", Labels), "3.9",
                     "3.6"),
         {{"4410-0815", QDate(2025, 3, 4)}},
         "duration_48h=0 all_valid=0 no_events=0 agrees_overall_avg=1 agrees_epa_protocol=0 "
         "calibration=0 action_level=1"},
        {WithFigures(Report(Hours(96, "1.0"), "Time Interval 30 Min", Labels), "0.8", "1.2"),
         {{"4410-0815", QDate(2026, 3, 6)}}, // calibrated after the start
         "duration_48h=1 all_valid=1 no_events=1 agrees_overall_avg=0 agrees_epa_protocol=0 "
         "calibration=0 action_level=1"},
        // No interval, no start, no instrument figures, no valid reading.
        {WithFigures(Report({" n/a "}, "Time Interval"), "--", "--"), Calibrated,
         "duration_48h=? all_valid=0 no_events=1 agrees_overall_avg=? agrees_epa_protocol=? "
         "calibration=? action_level=?"},
        {Report({}, "Time Interval 1 Hr", Labels),
         {},
         "duration_48h=0 all_valid=1 no_events=1 agrees_overall_avg=? agrees_epa_protocol=? "
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
        Measurement::Measure(Lines, Calibrated, TUnit::PciL, QLocale::system(), Chicago);
    // Each unit is rounded from the exact mean (212 / 52 = 4.0769 pCi/L = 150.85 Bq/m3), not
    // from the other's rounded figure.
    QStringList Texts;
    for (const TCheck& Check : M.Checks)
        Texts << Check.Text;
    EXPECT_EQ(Texts, QStringList({
                         "The test lasted 52 hours, at least the 48 hours a test needs",
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
    EXPECT_EQ(InBq.Checks[5].Text, "No calibration date is known for the monitor 4410-0815");
}
