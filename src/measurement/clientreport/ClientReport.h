#pragma once

#include "measurement/Measurement.h"
#include "report/ReportInfo.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <optional>

enum class TPaper { A4, Letter };

// The report a radon professional hands a client: page 1 with the tester's company, the test's
// particulars, the result in both units against the action levels, the chart and the checks;
// then the readings as a table over as many pages as they need, "Page n of m" on each.
namespace ClientReport {

inline const QString Title = QStringLiteral("Radon Measurement Report");

// "A4" or "Letter": also the command line's spelling.
QString PaperName(TPaper Paper);
std::optional<TPaper> PaperFromName(const QString& Name);

// The PDF of the report in Lines. Every figure comes from Lines; Info gives the header and
// footer lines (when enabled) and the location when the report has none. Unit is the chart's
// and the checks' unit; Locale and Zone read the start and show dates and times.
// A report without a readings table: Exception with the readings model's message.
// Failure to lay out the PDF: Exception.
QByteArray Pdf(const QStringList& Lines, const TReportInfo& Info,
               const TCalibrationDates& Calibration, TUnit Unit, TPaper Paper,
               const QLocale& Locale = QLocale::system(),
               const QTimeZone& Zone = QTimeZone::systemTimeZone());

} // namespace ClientReport
