#include "Printout.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace SimPrintout {

namespace {

// One decimal without the C library, whose decimal point follows the locale.
QByteArray Decimal(int Tenths) {
    return QByteArray::number(Tenths / 10) + '.' + QByteArray::number(Tenths % 10);
}

QByteArray RightAligned(const QByteArray& Text, int Width) {
    return Text.rightJustified(Width, ' ');
}

int Average(const std::vector<TReading>& Values, size_t From) {
    if (From >= Values.size())
        From = 0;
    long Sum = 0;
    for (size_t I = From; I < Values.size(); ++I)
        Sum += Values[I].Tenths;
    const long Count = static_cast<long>(Values.size() - From);
    return static_cast<int>((Sum + Count / 2) / Count);
}

// pCi/l per labelled mark of the graph, so the highest reading fits in eight marks.
int GraphStep(int MaxTenths) {
    for (int Step : {1, 2, 5, 10, 20, 50})
        if (MaxTenths <= Step * 10 * 8)
            return Step;
    return 50;
}

} // namespace

std::vector<TReading> Readings(const TOptions& Options) {
    std::mt19937 Random(Options.Seed != 0 ? Options.Seed : static_cast<uint32_t>(Options.Hours));
    // Integer draws only: the standard distributions differ between libraries.
    const int Base = 12 + static_cast<int>(Random() % 25);
    std::vector<TReading> Values;
    Values.reserve(static_cast<size_t>(std::max(Options.Hours, 0)));
    for (int Hour = 0; Hour < Options.Hours; ++Hour) {
        // Radon rises at night and falls in the afternoon.
        const double Daily = 1.0 + 0.45 * std::cos(2.0 * M_PI * (Hour % 24 - 4) / 24.0);
        const int Noise = static_cast<int>(Random() % 9) - 4;
        int Tenths = static_cast<int>(std::lround(Base * Daily)) + Noise;
        if (Random() % 100 == 0)
            Tenths *= 3;
        TReading Reading;
        Reading.Tenths = std::clamp(Tenths, 1, 399);
        const uint32_t Event = Random() % 100;
        if (Event < 3)
            Reading.Events = "T";
        else if (Event < 5)
            Reading.Events = "P";
        else if (Event < 6)
            Reading.Events = "TP";
        Values.push_back(Reading);
    }
    return Values;
}

QByteArray Generate(const TOptions& Options) {
    const QByteArray End = Options.CrLf ? "\r\n" : "\r";
    const auto Control = [&](const char* Bytes) {
        return Options.Control ? QByteArray(Bytes) : QByteArray();
    };
    const std::vector<TReading> Values = Readings(Options);
    QByteArray Out;
    const auto Line = [&](const QByteArray& Text) { Out += Text + End; };
    const QByteArray Separator(24, '-');

    // The first and the last separator enclose the report body: title, captions, table,
    // summary and graph. The rebuild keeps exactly that range.
    Line(Separator);
    Line(Control("\x0F\x1D") + "HALVORN 4410 CONTINUOUS RADON MONITOR" + Control("\x1F\x13"));
    Line("");
    Line("Serial #");
    Line("Start Date");
    Line("Start Time");
    Line("Location:");
    Line(Separator);
    Line("Time Interval   1 Hr");
    Line(" Hourly Readings  pCi/l   (T = Tamper, P = Power)");
    for (size_t First = 0; First < Values.size(); First += ReadingsPerLine) {
        QByteArray Row = " ";
        const size_t Last = std::min(Values.size(), First + ReadingsPerLine);
        for (size_t I = First; I < Last; ++I)
            Row += RightAligned(Values[I].Events, 3) + ' ' +
                   RightAligned(Decimal(Values[I].Tenths), 4);
        Line(Row + ' ');
    }
    Line("");
    if (!Values.empty()) {
        Line("Overall Avg  " + RightAligned(Decimal(Average(Values, 0)), 5) + " pCi/l");
        // The protocol average leaves out the first four hours.
        Line("EPA Protocol " + RightAligned(Decimal(Average(Values, 4)), 5) + " pCi/l");
    } else {
        Line("Overall Avg    0.0 pCi/l");
        Line("EPA Protocol   0.0 pCi/l");
    }
    Line(Separator);

    int Max = 0;
    for (const TReading& Reading : Values)
        Max = std::max(Max, Reading.Tenths);
    const int Step = GraphStep(Max);
    Line(Control("\xFF\x1D") + "   Hourly Graph  pCi/l");
    Line(ScaleLine);
    for (const TReading& Reading : Values) {
        const int Length = std::min(GraphWidth, (Reading.Tenths * 4 + Step * 5) / (Step * 10));
        Line("   |" + QByteArray(Length, '~'));
    }
    Line(ScaleLine);
    // Each mark's value stands under its "|".
    QByteArray Axis(3, ' ');
    for (int Mark = 0; Mark <= GraphWidth / 4; ++Mark)
        Axis += QByteArray::number(Mark * Step).leftJustified(4, ' ');
    while (Axis.endsWith(' '))
        Axis.chop(1);
    Line(Axis + Control("\x1F"));
    Line(Separator);
    Line(Control("\x0F") + "Tamsor Halvorn 4410   Firmware 2.07");
    Line("End of Report" + Control("\x13\xFF"));
    return Out;
}

} // namespace SimPrintout
