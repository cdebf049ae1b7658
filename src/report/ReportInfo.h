#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// What the user tells about a measurement, as the information dialog holds it at one moment.
// The date fields contribute their date, the time fields their time of day.
struct TReportInfo {
    bool Enabled = false;
    QStringList Header, Footer;
    QString SerialNumber, Location;
    QDateTime StartDate, StartTime, EndDate, EndTime;
};
