#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

// The one place that turns dates and times into the user's regional texts and back.
// Short date: the locale's short format with a two-digit year widened to four digits.
// Long time: the locale's long format without its time-zone part.
namespace DateTimeText {

QString ShortDateFormat(const QLocale& Locale = QLocale::system());
QString LongTimeFormat(const QLocale& Locale = QLocale::system());
// The locale's short time ("h:mm AP", "HH:mm") without its time-zone part: chart ticks.
QString ShortTimeFormat(const QLocale& Locale = QLocale::system());

QString FormatDate(const QDate& Date, const QLocale& Locale = QLocale::system());
QString FormatTime(const QTime& Time, const QLocale& Locale = QLocale::system());

QString FormatShortTime(const QTime& Time, const QLocale& Locale = QLocale::system());

// Short date, a space, long time, midnight included ("12/5/2026 12:00:00 AM",
// "05.12.2026 00:00:00"): every date and time the program shows beside a report, as opposed to
// the report's own lines. Empty for an invalid value.
QString FormatDateTime(const QDateTime& Value, const QLocale& Locale = QLocale::system());

// A date typed in the locale's short format (one-digit fields taken too); invalid when the
// text is not one.
QDate ParseDate(const QString& Text, const QLocale& Locale = QLocale::system());

// Report lines: midnight is always "12:00:00 AM", any other time the long time format.
QString ReportTime(const QTime& Time, const QLocale& Locale = QLocale::system());

// The date part that stands for "no date" in a date-time value (30 December 1899).
QDate ZeroDate();

// Short date, a space, long time; the date alone at midnight; the time alone on ZeroDate().
QString DateTimeToStr(const QDateTime& Value, const QLocale& Locale = QLocale::system());

// The inverse of DateTimeToStr (also a date alone or a time alone); also takes one-digit
// fields and times without seconds. The value comes back as a Qt::UTC value, so
// no local daylight-saving gap can move it: use its date() and time().
// Failure: EConvertError "'Text' is not a valid date and time".
QDateTime StrToDateTime(const QString& Text, const QLocale& Locale = QLocale::system());

} // namespace DateTimeText
