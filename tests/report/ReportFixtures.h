#pragma once

#include "report/ReportInfo.h"

#include <QByteArray>
#include <QFile>
#include <QLocale>
#include <QString>
#include <ostream>

// Readable failure output: control characters shown as \xNN.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"';
    for (const QChar Char : Text) {
        if (Char.unicode() < 32 || Char.unicode() >= 127)
            *Out << "\\x" << QByteArray::number(Char.unicode(), 16).constData();
        else
            *Out << static_cast<char>(Char.unicode());
    }
    *Out << '"';
}

namespace ReportFixtures {

// A printout as the instrument sends it (tests/report/fixtures, see make_fixtures.py).
inline QByteArray Printout(const char* Name) {
    QFile File(QStringLiteral(HALVORN_REPORT_FIXTURES "/") + QLatin1String(Name));
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

inline const QLocale UnitedStates(QLocale::English, QLocale::UnitedStates);
inline const QLocale Germany(QLocale::German, QLocale::Germany);

inline TReportInfo SampleInfo(bool Enabled) {
    TReportInfo Info;
    Info.Enabled = Enabled;
    Info.Header = QStringList{QStringLiteral("Radon Services Ltd."), QStringLiteral("Job 17")};
    Info.Footer = QStringList{QStringLiteral("Tested by A. Berg")};
    Info.SerialNumber = QStringLiteral("4410-0815");
    Info.Location = QStringLiteral("Basement, 12 Elm St.");
    Info.StartDate = QDateTime(QDate(2026, 3, 5), QTime(9, 30));
    Info.StartTime = QDateTime(QDate(2026, 3, 5), QTime(16, 5, 9));
    Info.EndDate = QDateTime(QDate(2026, 3, 7), QTime(0, 0));
    Info.EndTime = QDateTime(QDate(2026, 3, 7), QTime(0, 0));
    return Info;
}

} // namespace ReportFixtures
