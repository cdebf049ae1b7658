#pragma once

#include "measurement/ReadingValue.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <optional>
#include <string>
#include <vector>

// A report's readings as data. The report's text is only read.
struct TReadings {
    // Set when the report has no readings table: "No readings table in this report: no line
    // contains "Time Interval"." (the three landmarks must come in their order).
    QString Refusal;
    // Value k at index k - 1.
    std::vector<TReadingValue> Values;
    // From the "Time Interval" line; 0: unknown (also when over Readings::MaxIntervalMinutes).
    int IntervalMinutes = 0;
    // The "Start Date" and "Start Time" labels as a wall-clock time in the given zone;
    // invalid: unknown.
    QDateTime Start;
    // The "End Date" and "End Time" labels as typed into the report; invalid: not given.
    // Without an "End Time" the date alone is given (ReportEndHasTime false).
    QDateTime ReportEnd;
    bool ReportEndHasTime = false;
    // The "Serial #" label's value; empty: none.
    QString SerialNumber;
    // The instrument's own figures in pCi/L.
    std::optional<TDecimal> InstrumentOverallAvg;
    std::optional<TDecimal> InstrumentEpaProtocol;
};

namespace Readings {

inline const QString NoTable = QStringLiteral("No readings table in this report");

// An interval longer than a day is no interval a monitor records in.
constexpr int MaxIntervalMinutes = 24 * 60;

// The value of the first line that begins with Label (a StreamConventions label), trimmed;
// empty when none does.
QString LabelValue(const QStringList& Lines, QLatin1String Label);

// Lines: the report's lines (the editor's, or a report file's). Locale: whose short date and
// long time the start labels are read in (then M/d/yyyy h:mm:ss AP, then ISO 8601).
TReadings Read(const QStringList& Lines, const QLocale& Locale = QLocale::system(),
               const QTimeZone& Zone = QTimeZone::systemTimeZone());

// The start of interval K (from 1): Start plus (K - 1) intervals of elapsed time, so a
// daylight-saving change shows in the offset. Invalid when the start or interval is unknown.
QDateTime IntervalStart(const TReadings& Readings, qint64 K);

// The end of the measured period: the start plus one interval per value. Invalid when the
// start or the interval is unknown.
QDateTime End(const TReadings& Readings);

// "2026-03-05T16:05:09-06:00": local time with its offset from UTC, never "Z".
QString Timestamp(const QDateTime& Time);

// The timestamps of every interval's start, in order; empty when unknown. The zone is asked
// for an offset only where it changes, so 10,000 of them are cheap.
std::vector<QByteArray> IntervalTimestamps(const TReadings& Readings);

} // namespace Readings
