#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <functional>
#include <vector>

// The ticks of the chart's axes, apart from any drawing.
namespace ChartAxes {

// Round value ticks from Min to at least Max: steps of 1, 2, 2.5 or 5 times a power of ten,
// at most MaxCount + 1 ticks. Max > Min.
struct TValueTicks {
    double Step = 1;
    int Decimals = 0;
    std::vector<double> Values;
};
TValueTicks ValueTicks(double Min, double Max, int MaxCount);

// A tick of the time axis. Position in readings: 0 is the start of the first value's
// interval, 1 the start of the second's.
struct TTimeTick {
    double Position = 0;
    QString Label;
    // The date, under the first tick and the ticks that begin a day, when Label is a time.
    QString DateLabel;
};

// The most ticks a time axis gets (one more where a tick falls on each end).
constexpr int MaxTicks = 20;

// Width in device units of a label, from the painter's or layout's font.
using TMeasure = std::function<double(const QString&)>;

// Ticks at round wall-clock times of Start's zone (every 1, 5, 10, 15, 30 minutes, 1, 2, 3, 6,
// 12 hours, 1, 2, 7, 14 days ...), the closest that leave their labels room and give at most
// MaxTicks: PerReading is the width of one reading. Times and dates through DateTimeText.
std::vector<TTimeTick> TimeTicks(const QDateTime& Start, int IntervalMinutes, int Count,
                                 double PerReading, const TMeasure& Width,
                                 const QLocale& Locale = QLocale());

// Interval numbers 1, 2, 5, 10, 20, 50 ... apart, at the middle of their readings; at most
// MaxTicks of them and the first.
std::vector<TTimeTick> IntervalTicks(int Count, double PerReading, const TMeasure& Width);

} // namespace ChartAxes
