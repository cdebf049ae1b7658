#pragma once

#include "measurement/Summary.h"

#include <QDate>
#include <QString>

// The monitors' calibration dates, kept in the settings store per serial number: one string
// value "YYYY-MM-DD" a serial number under Key.
namespace CalibrationDates {

inline const QString Key = QStringLiteral("Software\\Tamsor\\Halvorn 4410\\Calibration");

// Every stored date by serial number. A value that is not a string of a valid date is left
// out (the store keeps it). No store or no key: empty. A store that cannot be read or parsed
// raises ERegistryException naming the file.
TCalibrationDates Read();

// Stores Date for SerialNumber; an invalid Date removes the value. Failure raises
// ERegistryException naming the value and the store file.
void Write(const QString& SerialNumber, const QDate& Date);

} // namespace CalibrationDates
