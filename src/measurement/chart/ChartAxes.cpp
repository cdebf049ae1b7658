#include "measurement/chart/ChartAxes.h"

#include "platform/DateTimeText.h"

#include <QTimeZone>
#include <cmath>

namespace ChartAxes {

namespace {

constexpr qint64 Minute = 60;
constexpr qint64 Hour = 60 * Minute;
constexpr qint64 Day = 24 * Hour;

// Room between two labels, in widths of "0".
constexpr double LabelGap = 2.0;

} // namespace

TValueTicks ValueTicks(double Min, double Max, int MaxCount) {
    TValueTicks Ticks;
    const double Rough = (Max - Min) / std::max(1, MaxCount);
    const double Power = std::pow(10.0, std::floor(std::log10(Rough)));
    for (const double Factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        Ticks.Step = Factor * Power;
        if (Ticks.Step >= Rough)
            break;
    }
    // 2.5 needs a decimal more than its power of ten.
    const double Digits = -std::floor(std::log10(Ticks.Step) + 1e-9);
    Ticks.Decimals =
        std::max(0, static_cast<int>(Digits) + (std::fmod(Ticks.Step / Power, 1.0) != 0 ? 1 : 0));
    const double First = std::floor(Min / Ticks.Step + 1e-9);
    for (double i = First; i * Ticks.Step < Max + Ticks.Step * 0.999; ++i)
        Ticks.Values.push_back(i * Ticks.Step);
    return Ticks;
}

std::vector<TTimeTick> TimeTicks(const QDateTime& Start, int IntervalMinutes, int Count,
                                 double PerReading, const TMeasure& Width, const QLocale& Locale) {
    std::vector<TTimeTick> Ticks;
    if (!Start.isValid() || IntervalMinutes <= 0 || Count <= 0 || PerReading <= 0)
        return Ticks;
    const qint64 Interval = IntervalMinutes * Minute;
    const QDateTime End = Start.addSecs(Interval * Count);
    const double PerSecond = PerReading / static_cast<double>(Interval);
    const double Gap = Width(QStringLiteral("0")) * LabelGap;
    const QString TimeFormat = Locale.timeFormat(QLocale::ShortFormat);
    const double TimeWidth = Width(Locale.toString(QTime(22, 59), TimeFormat)) + Gap;
    const double DateWidth = Width(DateTimeText::FormatDate(QDate(2026, 12, 28), Locale)) + Gap;

    static constexpr qint64 Steps[] = {Minute,   5 * Minute, 10 * Minute, 15 * Minute, 30 * Minute,
                                       Hour,     2 * Hour,   3 * Hour,    6 * Hour,    12 * Hour,
                                       Day,      2 * Day,    7 * Day,     14 * Day,    28 * Day,
                                       91 * Day, 364 * Day};
    qint64 Step = Steps[std::size(Steps) - 1];
    for (const qint64 Candidate : Steps) {
        const double Needed = Candidate < Day ? TimeWidth : DateWidth;
        if (Candidate * PerSecond >= Needed) {
            Step = Candidate;
            break;
        }
    }

    const QTimeZone Zone = Start.timeZone();
    const auto Add = [&](const QDateTime& At) {
        if (!At.isValid() || At < Start || At > End)
            return;
        TTimeTick Tick;
        Tick.Position = static_cast<double>(Start.secsTo(At)) / static_cast<double>(Interval);
        const bool Midnight = At.time() == QTime(0, 0);
        if (Step < Day) {
            Tick.Label = Locale.toString(At.time(), TimeFormat);
            if (Midnight || Ticks.empty())
                Tick.DateLabel = DateTimeText::FormatDate(At.date(), Locale);
        } else {
            Tick.Label = DateTimeText::FormatDate(At.date(), Locale);
        }
        Ticks.push_back(Tick);
    };
    for (QDate Date = Start.date(); Date <= End.date(); Date = Date.addDays(1)) {
        if (Step >= Day) {
            if (Date.toJulianDay() % (Step / Day) == 0)
                Add(QDateTime(Date, QTime(0, 0), Zone));
            continue;
        }
        const qint64 From = Date == Start.date() ? Start.time().msecsSinceStartOfDay() / 1000 : 0;
        for (qint64 Second = (From + Step - 1) / Step * Step; Second < Day; Second += Step)
            Add(QDateTime(Date, QTime(0, 0).addSecs(static_cast<int>(Second)), Zone));
    }
    return Ticks;
}

std::vector<TTimeTick> IntervalTicks(int Count, double PerReading, const TMeasure& Width) {
    std::vector<TTimeTick> Ticks;
    if (Count <= 0 || PerReading <= 0)
        return Ticks;
    const double Needed = Width(QString::number(Count)) + Width(QStringLiteral("0")) * LabelGap;
    int Step = 1;
    for (int Power = 1; Step * PerReading < Needed; Power *= 10) {
        for (const int Factor : {1, 2, 5}) {
            Step = Factor * Power;
            if (Step * PerReading >= Needed)
                break;
        }
        if (Power > Count)
            break;
    }
    for (int K = 1; K <= Count; K = K == 1 && Step > 1 ? Step : K + Step)
        Ticks.push_back({K - 0.5, QString::number(K), {}});
    return Ticks;
}

} // namespace ChartAxes
