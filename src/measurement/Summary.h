#pragma once

#include "measurement/Readings.h"
#include "measurement/ReferenceLevel.h"
#include "measurement/Units.h"
#include "report/ReportInfo.h"

#include <QDate>
#include <QLocale>
#include <QMap>
#include <QString>
#include <optional>
#include <vector>

// A mean kept exact: Sum / Count pCi/L.
struct TMean {
    TDecimal Sum;
    int Count = 0; // 0: unknown
    bool Known() const { return Count > 0; }
    double Value() const; // full precision
    TDecimal Rounded(TUnit Unit) const;
    QString ForPeople(TUnit Unit) const;
};

// The figures of a readings table, each with one definition.
struct TFigures {
    int Count = 0; // values, valid or not
    int Valid = 0; // valid readings
    // Count x interval; unknown without an interval.
    std::optional<qint64> Minutes;
    TMean MeanAll;      // of the valid readings
    TMean MeanAfter4h;  // of the valid readings after the first 4 hours' values
    TMean MeanAfter24h; // ... after the first 24 hours' values
    int MaxK = 0;       // the first value holding Max; 0: no valid reading
    TDecimal Max;
    TDecimal Min;    // the lowest reading; 0 when there is none
    int EventsT = 0; // values whose letters contain T
    int EventsP = 0; // ... P

    std::optional<double> Hours() const;
};

// One judgement on the test: Ok is empty when it cannot be decided; Text is one sentence for
// people.
struct TCheck {
    QString Id;
    std::optional<bool> Ok;
    QString Text;
};

// What a measurement is judged by beside its report.
struct TCriteria {
    TCalibrationDates Calibration;
    TReferenceLevel Level = ReferenceLevels::Epa();
    // A test after mitigation: its first 24 hours are left out of the result (the agreement
    // with the instrument is still judged without the first 4).
    bool PostMitigation = false;
};

// The judgement of the whole test, above its checks.
struct TVerdict {
    bool Valid = false;
    // Points a professional looks at before signing: a check undecided, events marked.
    bool Review = false;
    // "Valid test", "Valid test, with points to review: ...", "Not a valid test: ...".
    QString Text;
};

namespace Summary {

// The values that fall in the first Hours hours: ceil(Hours * 60 / interval); 0 without an
// interval.
int FirstHoursValues(int IntervalMinutes, int Hours = 4);
// The values left out of the result: the first 4 hours, or 24 after mitigation.
int ValuesLeftOut(int IntervalMinutes, bool PostMitigation);

TFigures Figures(const TReadings& Readings);

// The result the report states, as a mean in pCi/L: the instrument's EPA Protocol figure, or
// after mitigation the mean without the first 24 hours. Unknown (Count 0) when there is none.
TMean Result(const TReadings& Readings, const TFigures& Figures, bool PostMitigation);
// What the result is: "EPA protocol average", "mean without the first 24 hours".
QString ResultName(bool PostMitigation);

// duration_48h, end_agrees, all_valid, no_events, agrees_overall_avg, agrees_epa_protocol,
// calibration, action_level, in that order. Unit and Locale shape the sentences only.
std::vector<TCheck> Checks(const TReadings& Readings, const TFigures& Figures,
                           const TCriteria& Criteria, TUnit Unit,
                           const QLocale& Locale = QLocale::system());

// Valid when duration_48h passed and none of end_agrees, all_valid, agrees_overall_avg,
// agrees_epa_protocol, calibration failed; to review when one of them is undecided or
// no_events failed. The text names the checks that did not pass, briefly, in their order.
TVerdict Verdict(const std::vector<TCheck>& Checks);

// "48 hours", "1 hour 30 minutes", "45 minutes".
QString DurationForPeople(qint64 Minutes);

} // namespace Summary
