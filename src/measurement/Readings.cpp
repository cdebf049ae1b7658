#include "measurement/Readings.h"

#include "measurement/ReadingsTable.h"
#include "platform/DateTimeText.h"
#include "platform/Exception.h"
#include "report/StreamConventions.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace SC = StreamConventions;

namespace Readings {

namespace {

bool IsDigit(QChar Char) {
    return Char >= u'0' && Char <= u'9';
}

// The first run of digits after "Time Interval", optional spaces, then a unit whose first
// letter is H (hours) or M (minutes).
int IntervalMinutes(const QString& Line) {
    qsizetype i = Line.indexOf(SC::LandmarkTimeInterval);
    if (i < 0)
        return 0;
    i += SC::LandmarkTimeInterval.size();
    while (i < Line.size() && !IsDigit(Line[i]))
        ++i;
    qint64 Count = 0;
    for (; i < Line.size() && IsDigit(Line[i]); ++i) {
        Count = Count * 10 + (Line[i].unicode() - u'0');
        // Beyond any real interval; also keeps the product below in range.
        if (Count > std::numeric_limits<int>::max() / 60)
            return 0;
    }
    while (i < Line.size() && Line[i] == u' ')
        ++i;
    if (i >= Line.size())
        return 0;
    const QChar Unit = Line[i].toUpper();
    const qint64 Minutes = Unit == u'H' ? Count * 60 : Unit == u'M' ? Count : 0;
    return Minutes <= MaxIntervalMinutes ? static_cast<int>(Minutes) : 0;
}

// The first decimal number after Word in Line: an optional sign, digits, and a point with
// digits when they follow.
std::optional<TDecimal> NumberAfter(const QString& Line, QLatin1String Word) {
    qsizetype i = Line.indexOf(Word);
    if (i < 0)
        return std::nullopt;
    const qsizetype After = i + Word.size();
    for (i = After; i < Line.size() && !IsDigit(Line[i]); ++i) {
    }
    if (i >= Line.size())
        return std::nullopt;
    qsizetype Begin = i;
    if (Begin > After && (Line[Begin - 1] == u'-' || Line[Begin - 1] == u'+'))
        --Begin;
    while (i < Line.size() && IsDigit(Line[i]))
        ++i;
    if (i + 1 < Line.size() && Line[i] == u'.' && IsDigit(Line[i + 1]))
        for (++i; i < Line.size() && IsDigit(Line[i]); ++i) {
        }
    return TDecimal::Parse(Line.mid(Begin, i - Begin).toStdString());
}

QDate ReadDate(const QString& Text, const QLocale& Locale) {
    try {
        const QDateTime Value = DateTimeText::StrToDateTime(Text, Locale);
        if (Value.date() != DateTimeText::ZeroDate() && Value.time() == QTime(0, 0))
            return Value.date();
    } catch (const EConvertError&) {
    }
    const QDate Written = QLocale::c().toDate(Text, QStringLiteral("M/d/yyyy"));
    return Written.isValid() ? Written : QDate::fromString(Text, Qt::ISODate);
}

QTime ReadTime(const QString& Text, const QLocale& Locale) {
    // The report's own spelling of midnight, whatever the user's format makes of it.
    if (Text == QLatin1String("12:00:00 AM"))
        return QTime(0, 0);
    try {
        const QDateTime Value = DateTimeText::StrToDateTime(Text, Locale);
        if (Value.date() == DateTimeText::ZeroDate())
            return Value.time();
    } catch (const EConvertError&) {
    }
    const QTime Written = QLocale::c().toTime(Text, QStringLiteral("h:mm:ss AP"));
    return Written.isValid() ? Written : QTime::fromString(Text, QStringLiteral("HH:mm:ss"));
}

QDateTime WallClock(const QDate& Date, const QTime& Time, const QTimeZone& Zone) {
    const QDateTime Value(Date, Time, Zone);
    if (Value.isValid())
        return Value;
    // A time the clocks skipped when daylight saving began: read on the clock of the day
    // before, as an instrument that started then would have counted.
    const QDateTime AsUtc(Date, Time, Qt::UTC);
    return AsUtc.addSecs(-Zone.offsetFromUtc(AsUtc.addDays(-1))).toTimeZone(Zone);
}

// "yyyy-MM-ddTHH:mm:ss+hh:mm" of the wall-clock time Utc + Offset seconds.
QByteArray Stamp(qint64 Utc, int Offset) {
    constexpr qint64 Day = 86400;
    constexpr qint64 UnixEpochJulianDay = 2440588;
    const qint64 Local = Utc + Offset;
    const qint64 Days = Local >= 0 ? Local / Day : -((-Local + Day - 1) / Day);
    const qint64 Seconds = Local - Days * Day;
    const QDate Date = QDate::fromJulianDay(UnixEpochJulianDay + Days);
    const int Minutes = std::abs(Offset) / 60;
    char Text[48];
    const int Length = std::snprintf(
        Text, sizeof Text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", Date.year(), Date.month(),
        Date.day(), static_cast<int>(Seconds / 3600), static_cast<int>(Seconds / 60 % 60),
        static_cast<int>(Seconds % 60), Offset < 0 ? '-' : '+', Minutes / 60, Minutes % 60);
    return QByteArray(Text, Length);
}

} // namespace

QString LabelValue(const QStringList& Lines, QLatin1String Label) {
    for (const QString& Line : Lines)
        if (Line.startsWith(Label))
            return Line.mid(Label.size()).trimmed();
    return {};
}

TReadings Read(const QStringList& Lines, const QLocale& Locale, const QTimeZone& Zone) {
    TReadings Result;
    const ReadingsTable::TLandmarks Landmarks = ReadingsTable::FindLandmarks(Lines);
    const QString Missing = ReadingsTable::MissingLandmark(Landmarks);
    if (!Missing.isEmpty()) {
        Result.Refusal = NoTable + QStringLiteral(": ") + Missing;
        return Result;
    }

    // Each value goes straight into the model: a second list of them would double the memory
    // a long report takes.
    ReadingsTable::ForEachValue(
        Lines, Landmarks, [&Result](size_t Count) { Result.Values.reserve(Count); },
        [&Result](std::string&& Text, std::string&& Events) {
            Result.Values.emplace_back(Text, Events);
        });
    // An empty table still closes one empty cell in the export; it is no reading.
    if (Result.Values.size() == 1 && Result.Values[0].Text().empty() &&
        Result.Values[0].Events().empty())
        Result.Values.clear();

    Result.IntervalMinutes = IntervalMinutes(Lines.at(Landmarks.T));
    Result.InstrumentOverallAvg = NumberAfter(Lines.at(Landmarks.A), SC::LandmarkOverallAvg);
    Result.InstrumentEpaProtocol = NumberAfter(Lines.at(Landmarks.E), SC::LandmarkEpaProtocol);
    Result.SerialNumber = LabelValue(Lines, SC::LabelSerial);

    const QString DateText = LabelValue(Lines, SC::LabelStartDate);
    const QString TimeText = LabelValue(Lines, SC::LabelStartTime);
    if (!DateText.isEmpty() && !TimeText.isEmpty()) {
        const QDate Date = ReadDate(DateText, Locale);
        const QTime Time = ReadTime(TimeText, Locale);
        if (Date.isValid() && Time.isValid())
            Result.Start = WallClock(Date, Time, Zone);
    }
    const QString EndDateText = LabelValue(Lines, SC::LabelEndDate);
    const QString EndTimeText = LabelValue(Lines, SC::LabelEndTime);
    if (!EndDateText.isEmpty()) {
        const QDate Date = ReadDate(EndDateText, Locale);
        const QTime Time = EndTimeText.isEmpty() ? QTime() : ReadTime(EndTimeText, Locale);
        Result.ReportEndHasTime = Time.isValid();
        if (Date.isValid())
            Result.ReportEnd = WallClock(Date, Time.isValid() ? Time : QTime(0, 0), Zone);
    }
    return Result;
}

QDateTime End(const TReadings& Readings) {
    return IntervalStart(Readings, static_cast<int>(Readings.Values.size()) + 1);
}

QDateTime IntervalStart(const TReadings& Readings, qint64 K) {
    if (!Readings.Start.isValid() || Readings.IntervalMinutes <= 0)
        return {};
    return Readings.Start.addSecs((K - 1) * Readings.IntervalMinutes * 60);
}

QString Timestamp(const QDateTime& Time) {
    if (!Time.isValid())
        return {};
    return QString::fromLatin1(Stamp(Time.toSecsSinceEpoch(), Time.offsetFromUtc()));
}

std::vector<QByteArray> IntervalTimestamps(const TReadings& Readings) {
    std::vector<QByteArray> Stamps(Readings.Values.size());
    if (!Readings.Start.isValid() || Readings.IntervalMinutes <= 0)
        return Stamps;
    const QTimeZone Zone = Readings.Start.timeZone();
    const qint64 Step = static_cast<qint64>(Readings.IntervalMinutes) * 60;
    qint64 Utc = Readings.Start.toSecsSinceEpoch();
    int Offset = 0;
    qint64 Until = Utc - 1; // the offset holds before this instant
    for (QByteArray& Text : Stamps) {
        if (Utc >= Until || !Zone.hasTransitions()) {
            const QDateTime At = QDateTime::fromSecsSinceEpoch(Utc, Qt::UTC);
            Offset = Zone.offsetFromUtc(At);
            const QTimeZone::OffsetData Next = Zone.nextTransition(At);
            Until = Next.atUtc.isValid() ? Next.atUtc.toSecsSinceEpoch()
                                         : std::numeric_limits<qint64>::max();
        }
        Text = Stamp(Utc, Offset);
        Utc += Step;
    }
    return Stamps;
}

} // namespace Readings
