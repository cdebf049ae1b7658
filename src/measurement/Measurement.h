#pragma once

#include "measurement/Readings.h"
#include "measurement/Summary.h"

#include <QByteArray>
#include <QString>

// A report's readings with their figures and checks, and the forms they leave the program
// in. Every output is built here as text or bytes; callers write files through
// AtomicWrite::ReplaceFile.
struct TMeasurement {
    TReadings Readings;
    TFigures Figures;
    std::vector<TCheck> Checks;
    TCriteria Criteria;
    TVerdict Verdict;
};

namespace Measurement {

// Unit and Locale shape the checks' sentences; Zone is the one the start was read in.
TMeasurement Measure(const QStringList& Lines, const TCriteria& Criteria, TUnit Unit,
                     const QLocale& Locale = QLocale::system(),
                     const QTimeZone& Zone = QTimeZone::systemTimeZone());

// The result the report states (Summary::Result), and where it stands against the level;
// none when it is unknown.
TMean Result(const TMeasurement& Measurement);
std::optional<TLevelBand> Band(const TMeasurement& Measurement);
// "At or above the reference level" or "Below the reference level"; empty when unknown.
QString ResultHeadline(const TMeasurement& Measurement);

// The summary and the checks for people, in Unit: "No readings table in this report" when
// there is none.
QString ForPeople(const TMeasurement& Measurement, TUnit Unit,
                  const QLocale& Locale = QLocale::system());

// A check's outcome for people: "Passed", "Failed" or "Undecided"; for the action level,
// which is a result and no fault, "Below" or "At or above"; events marked: "Review".
QString Mark(const TCheck& Check);

// One JSON object (UTF-8): interval_minutes, start, end, readings, summary, checks, verdict, in
// that order; numbers unrounded in pCi/L, null where unknown. The report must have a table (no
// Refusal).
QByteArray Json(const TMeasurement& Measurement);

// UTF-8, CR LF: "interval,time,date,clock,radon_pci_l,radon_bq_m3,events", then one row per
// value. time is ISO 8601 with the offset, date (2026-12-05) and clock (09:00, 24-hour, with
// seconds when they are not zero) the same time as spreadsheets read them. A text cell that
// begins with "=", "+", "-" or "@" and is no number gets a leading "'", so no spreadsheet
// takes it for a formula.
QByteArray Csv(const TReadings& Readings);

} // namespace Measurement
