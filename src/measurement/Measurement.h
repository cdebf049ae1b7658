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
};

namespace Measurement {

// Unit and Locale shape the checks' sentences; Zone is the one the start was read in.
TMeasurement Measure(const QStringList& Lines, const TCalibrationDates& Calibration, TUnit Unit,
                     const QLocale& Locale = QLocale::system(),
                     const QTimeZone& Zone = QTimeZone::systemTimeZone());

// The summary and the checks for people, in Unit: "No readings table in this report" when
// there is none.
QString ForPeople(const TMeasurement& Measurement, TUnit Unit,
                  const QLocale& Locale = QLocale::system());

// A check's outcome for people: "Passed", "Failed" or "Undecided".
QString Verdict(const std::optional<bool>& Ok);

// One JSON object (UTF-8): interval_minutes, start, readings, summary, checks, in that order;
// numbers unrounded in pCi/L, null where unknown. The report must have a table (no Refusal).
QByteArray Json(const TMeasurement& Measurement);

// UTF-8, CR LF: "interval,time,radon_pci_l,radon_bq_m3,events", then one row per value.
QByteArray Csv(const TReadings& Readings);

} // namespace Measurement
