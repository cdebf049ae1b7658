#include "measurement/chart/ChartAxes.h"

#include "platform/DateTimeText.h"

#include <QTimeZone>
#include <algorithm>
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
    const qint64 Span = Interval * Count;
    const QDateTime End = Start.addSecs(Span);
    const double PerSecond = PerReading / static_cast<double>(Interval);
    const double Gap = Width(QStringLiteral("0")) * LabelGap;
    const double TimeWidth = Width(DateTimeText::FormatShortTime(QTime(22, 59), Locale)) + Gap;
    const double DateWidth = Width(DateTimeText::FormatDate(QDate(2026, 12, 28), Locale)) + Gap;

    // The closest round step whose labels have room and whose ticks stay few; past a year,
    // whole multiples of 364 days.
    static constexpr qint64 Steps[] = {Minute,   5 * Minute, 10 * Minute, 15 * Minute, 30 * Minute,
                                       Hour,     2 * Hour,   3 * Hour,    6 * Hour,    12 * Hour,
                                       Day,      2 * Day,    7 * Day,     14 * Day,    28 * Day,
                                       91 * Day, 364 * Day};
    constexpr qint64 Year = 364 * Day;
    qint64 Step = 0;
    for (const qint64 Candidate : Steps) {
        const double Needed = Candidate < Day ? TimeWidth : DateWidth;
        if (Candidate * PerSecond >= Needed && Span / Candidate <= MaxTicks) {
            Step = Candidate;
            break;
        }
    }
    if (Step == 0) {
        const qint64 Years =
            std::max<qint64>({1, (Span / MaxTicks + Year - 1) / Year,
                              static_cast<qint64>(std::ceil(DateWidth / (PerSecond * Year)))});
        Step = Years * Year;
    }

    const QTimeZone Zone = Start.timeZone();
    const auto Add = [&](const QDateTime& At) {
        if (!At.isValid() || At < Start || At > End)
            return;
        TTimeTick Tick;
        Tick.Position = static_cast<double>(Start.secsTo(At)) / static_cast<double>(Interval);
        const bool Midnight = At.time() == QTime(0, 0);
        if (Step < Day) {
            Tick.Label = DateTimeText::FormatShortTime(At.time(), Locale);
            if (Midnight || Ticks.empty())
                Tick.DateLabel = DateTimeText::FormatDate(At.date(), Locale);
        } else {
            Tick.Label = DateTimeText::FormatDate(At.date(), Locale);
        }
        Ticks.push_back(Tick);
    };
    if (Step >= Day) {
        // Days whose number is a multiple of the step's: the same dates whatever the start.
        const qint64 Days = Step / Day;
        const qint64 First = (Start.date().toJulianDay() + Days - 1) / Days * Days;
        for (qint64 Julian = First; Julian <= End.date().toJulianDay(); Julian += Days)
            Add(QDateTime(QDate::fromJulianDay(Julian), QTime(0, 0), Zone));
        return Ticks;
    }
    // Under a day a step spans at most MaxTicks of them, so this walks a few days at most.
    for (QDate Date = Start.date(); Date <= End.date(); Date = Date.addDays(1)) {
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
    // 1, 2, 5, 10, 20, 50 ... until the labels have room and the ticks stay few.
    qint64 Step = 1;
    for (qint64 Power = 1;; Power *= 10) {
        bool Found = false;
        for (const qint64 Factor : {1, 2, 5}) {
            Step = Factor * Power;
            if (Step * PerReading >= Needed && Count / Step <= MaxTicks) {
                Found = true;
                break;
            }
        }
        if (Found || Step >= Count)
            break;
    }
    for (qint64 K = 1; K <= Count; K = K == 1 && Step > 1 ? Step : K + Step)
        Ticks.push_back({static_cast<double>(K) - 0.5, QString::number(K), {}});
    return Ticks;
}

} // namespace ChartAxes
