#pragma once

#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

// Calibration date by monitor serial number.
using TCalibrationDates = QMap<QString, QDate>;

// What the user tells about a measurement: the one model of the report information, which
// "Information Setup" edits and downloads, rebuilds, the client report, the archive and
// halvorn-cli read. The date fields contribute their date, the time fields their time of day;
// they are wall-clock values, kept as UTC so no time-zone rule moves them.
struct TReportInfo {
    bool Enabled = false;
    QStringList SerialNumbers; // the monitors the user keeps in the list
    QString SerialNumber;      // the one the next report names ("Halvorn S/N")
    QStringList Header, Footer;
    QString Location;
    QDateTime StartDate, StartTime, EndDate, EndTime;
    TCalibrationDates Calibration;
};
