#include "DateTimeText.h"

#include "Exception.h"
#include "MessageText.h"

#include <QStringList>
#include <functional>

namespace DateTimeText {

namespace {

// Rewrites every unquoted run of one pattern letter; quoted literals ('...') are copied as
// they stand, so a letter inside a literal is never taken for a field.
QString RewriteRuns(const QString& Format,
                    const std::function<QString(QChar Letter, int Count)>& Rewrite) {
    QString Result;
    bool Quoted = false;
    for (int i = 0; i < Format.size();) {
        const QChar C = Format[i];
        if (C == u'\'') {
            Quoted = !Quoted;
            Result += C;
            ++i;
            continue;
        }
        if (Quoted || !C.isLetter()) {
            Result += C;
            ++i;
            continue;
        }
        int j = i;
        while (j < Format.size() && Format[j] == C)
            ++j;
        Result += Rewrite(C, j - i);
        i = j;
    }
    return Result;
}

// Drops the time-zone field with its brackets ("(t)", "[t]") and the blank that separates it
// from the rest.
QString WithoutZone(const QString& Format) {
    QString Marked = RewriteRuns(Format, [](QChar Letter, int Count) -> QString {
        return Letter == u't' ? QString(QChar(0)) : QString(Count, Letter);
    });
    for (int At = Marked.indexOf(QChar(0)); At >= 0; At = Marked.indexOf(QChar(0))) {
        int From = At;
        int To = At + 1;
        if (From > 0 && To < Marked.size() &&
            ((Marked[From - 1] == u'(' && Marked[To] == u')') ||
             (Marked[From - 1] == u'[' && Marked[To] == u']'))) {
            --From;
            ++To;
        }
        if (From > 0 && Marked[From - 1].isSpace()) {
            while (From > 0 && Marked[From - 1].isSpace())
                --From;
        } else {
            while (To < Marked.size() && Marked[To].isSpace())
                ++To;
        }
        Marked.remove(From, To - From);
    }
    return Marked;
}

// Numeric fields that accept one or two digits, so "5.3.2026" passes for "dd.MM.yyyy".
QString Relaxed(const QString& Format) {
    return RewriteRuns(Format, [](QChar Letter, int Count) -> QString {
        static const QString NumericPairs = QStringLiteral("dMHhms");
        if (Count == 2 && NumericPairs.contains(Letter))
            return QString(Letter);
        return QString(Count, Letter);
    });
}

QStringList DateFormats(const QLocale& Locale) {
    QStringList Formats{ShortDateFormat(Locale)};
    Formats << Relaxed(Formats.front());
    Formats.removeDuplicates();
    return Formats;
}

QStringList TimeFormats(const QLocale& Locale) {
    QStringList Formats{LongTimeFormat(Locale)};
    Formats << Relaxed(Formats.front());
    const QString Short = ShortTimeFormat(Locale);
    Formats << Short << Relaxed(Short);
    Formats.removeDuplicates();
    return Formats;
}

QDate ParseShortDate(const QString& Text, const QLocale& Locale) {
    for (const QString& Format : DateFormats(Locale)) {
        const QDate Date = Locale.toDate(Text, Format);
        if (Date.isValid())
            return Date;
    }
    return {};
}

QTime ParseTime(const QString& Text, const QLocale& Locale) {
    for (const QString& Format : TimeFormats(Locale)) {
        const QTime Time = Locale.toTime(Text, Format);
        if (Time.isValid())
            return Time;
    }
    return {};
}

bool IsMidnight(const QTime& Time) {
    return Time.hour() == 0 && Time.minute() == 0 && Time.second() == 0;
}

} // namespace

QString ShortDateFormat(const QLocale& Locale) {
    return RewriteRuns(Locale.dateFormat(QLocale::ShortFormat), [](QChar Letter, int Count) {
        // A two-digit year reads back in the wrong century.
        return Letter == u'y' && Count == 2 ? QStringLiteral("yyyy") : QString(Count, Letter);
    });
}

QString LongTimeFormat(const QLocale& Locale) {
    return WithoutZone(Locale.timeFormat(QLocale::LongFormat));
}

QString ShortTimeFormat(const QLocale& Locale) {
    return WithoutZone(Locale.timeFormat(QLocale::ShortFormat));
}

QString FormatDate(const QDate& Date, const QLocale& Locale) {
    return Locale.toString(Date, ShortDateFormat(Locale));
}

QString FormatTime(const QTime& Time, const QLocale& Locale) {
    return Locale.toString(Time, LongTimeFormat(Locale));
}

QString FormatShortTime(const QTime& Time, const QLocale& Locale) {
    return Locale.toString(Time, ShortTimeFormat(Locale));
}

QString FormatDateTime(const QDateTime& Value, const QLocale& Locale) {
    if (!Value.isValid())
        return {};
    return FormatDate(Value.date(), Locale) + u' ' + FormatTime(Value.time(), Locale);
}

QDate ParseDate(const QString& Text, const QLocale& Locale) {
    return ParseShortDate(Text.trimmed(), Locale);
}

QString ReportTime(const QTime& Time, const QLocale& Locale) {
    if (Time.isValid() && IsMidnight(Time))
        return QStringLiteral("12:00:00 AM");
    return FormatTime(Time, Locale);
}

QDate ZeroDate() {
    return QDate(1899, 12, 30);
}

QString DateTimeToStr(const QDateTime& Value, const QLocale& Locale) {
    if (!Value.isValid())
        return {};
    const QDate Date = Value.date();
    const QTime Time = Value.time();
    if (Date == ZeroDate())
        return FormatTime(Time, Locale);
    if (IsMidnight(Time))
        return FormatDate(Date, Locale);
    return FormatDate(Date, Locale) + u' ' + FormatTime(Time, Locale);
}

QDateTime StrToDateTime(const QString& Text, const QLocale& Locale) {
    // Date and time are parsed apart and joined in UTC: a naive value must not be moved by a
    // local daylight-saving gap.
    const QString Trimmed = Text.trimmed();
    if (!Trimmed.isEmpty()) {
        const QDate Date = ParseShortDate(Trimmed, Locale);
        if (Date.isValid())
            return QDateTime(Date, QTime(0, 0), Qt::UTC);
        const QTime Time = ParseTime(Trimmed, Locale);
        if (Time.isValid())
            return QDateTime(ZeroDate(), Time, Qt::UTC);
        // The date format itself may hold blanks ("d MMM yyyy"), so try every split.
        for (int i = Trimmed.indexOf(u' '); i > 0; i = Trimmed.indexOf(u' ', i + 1)) {
            const QDate SplitDate = ParseShortDate(Trimmed.left(i).trimmed(), Locale);
            if (!SplitDate.isValid())
                continue;
            const QTime SplitTime = ParseTime(Trimmed.mid(i + 1).trimmed(), Locale);
            if (SplitTime.isValid())
                return QDateTime(SplitDate, SplitTime, Qt::UTC);
        }
    }
    throw EConvertError(
        QStringLiteral("'%1' is not a valid date and time").arg(MessageText::Shown(Text)));
}

} // namespace DateTimeText
