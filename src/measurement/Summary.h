#pragma once

#include "measurement/Readings.h"
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
    TMean MeanAll;     // of the valid readings
    TMean MeanAfter4h; // of the valid readings after the first 4 hours' values
    int MaxK = 0;      // the first value holding Max; 0: no valid reading
    TDecimal Max;
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

namespace Summary {

// The values that fall in the first 4 hours: ceil(240 / interval); 0 without an interval.
int FirstHoursValues(int IntervalMinutes);

TFigures Figures(const TReadings& Readings);

// duration_48h, all_valid, no_events, agrees_overall_avg, agrees_epa_protocol, calibration,
// action_level, in that order. Unit and Locale shape the sentences only.
std::vector<TCheck> Checks(const TReadings& Readings, const TFigures& Figures,
                           const TCalibrationDates& Calibration, TUnit Unit,
                           const QLocale& Locale = QLocale::system());

// "48 hours", "1 hour 30 minutes", "45 minutes".
QString DurationForPeople(qint64 Minutes);

} // namespace Summary
