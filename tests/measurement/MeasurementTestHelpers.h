#pragma once

#include "QtPrint.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <ostream>

// A report of the instrument's shape around Table; Labels replace the empty label lines.
inline QStringList Report(const QStringList& Table,
                          const QString& Interval = "Time Interval   1 Hr",
                          const QStringList& Labels = {}) {
    QStringList Lines{"------------------------", "HALVORN 4410", ""};
    Lines << (Labels.isEmpty() ? QStringList{"Serial #   : ", "Start Date : ", "Start Time : "}
                               : Labels);
    Lines << "------------------------" << Interval << " Readings  pCi/l" << Table << ""
          << "Overall Avg    4.0 pCi/l"
          << "EPA Protocol   4.0 pCi/l"
          << "------------------------";
    return Lines;
}

// The lines of a saved report in tests/measurement/fixtures.
inline QStringList Fixture(const QString& Name) {
    QFile File(QStringLiteral(HALVORN_MEASUREMENT_FIXTURES "/") + Name);
    EXPECT_TRUE(File.open(QIODevice::ReadOnly)) << Name.toStdString();
    return QString::fromLatin1(File.readAll()).split(QStringLiteral("\r\n"));
}

inline const QTimeZone Chicago("America/Chicago");
