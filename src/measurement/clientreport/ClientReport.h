#pragma once

#include "measurement/Job.h"
#include "measurement/Measurement.h"
#include "platform/Paper.h"
#include "report/ReportInfo.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTimeZone>

// The report a radon professional hands a client: page 1 with the tester's logo and company,
// the job, the verdict and the result against the reference level in the chosen unit, the
// advice for that result, the chart, the checks and the inspector's name and signature line;
// then the readings as a table over as many pages as they need, "Page n of m" on each.
namespace ClientReport {

inline const QString Title = QStringLiteral("Radon Measurement Report");

// What the report is made of beside the report's lines: all of it given by the caller.
struct TParts {
    // The header and footer lines (when enabled); the location when the report has none; the
    // monitors' calibration dates.
    TReportInfo Info;
    TJob Job;
    TInspector Inspector;
    TReferenceLevel Level = ReferenceLevels::Epa();
};

// The logo a report can carry: a PNG or JPEG file of at most MaxLogoBytes and MaxLogoSide
// pixels a side.
constexpr qint64 MaxLogoBytes = 2 * 1024 * 1024;
constexpr int MaxLogoSide = 4096;

// Why the file at Path cannot be a logo, in the user's words; empty when it can.
QString LogoProblem(const QString& Path);

// The PDF of the report in Lines. Every figure comes from Lines; a post-mitigation test type
// leaves the first 24 hours out of the result. Unit is the unit every concentration is given
// in first; Locale and Zone read the start and show dates and times.
// A report without a readings table: Exception with the readings model's message. A logo that
// cannot be used: Exception naming the file. Failure to lay out the PDF: Exception.
QByteArray Pdf(const QStringList& Lines, const TParts& Parts, TUnit Unit, TPaper Paper,
               const QLocale& Locale = QLocale::system(),
               const QTimeZone& Zone = QTimeZone::systemTimeZone());

} // namespace ClientReport
