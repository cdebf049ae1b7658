#include "measurement/chart/ReadingsChart.h"

#include "measurement/chart/ChartAxes.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>

namespace ReadingsChart {

namespace {

// The values left out of the result, shaded; the mean line starts after them.
int LeftOut(const TMeasurement& M, int Count) {
    return std::min(Summary::ValuesLeftOut(M.Readings.IntervalMinutes, M.Criteria.PostMitigation),
                    Count);
}

// Where everything goes; one computation for painting and hit-testing.
struct TLayout {
    QRectF Outer, Plot;
    double U = 0;     // line height of the font
    double Digit = 0; // width of "0"
    double Min = 0, Max = 1;
    ChartAxes::TValueTicks Ticks;
    int Count = 0;
    double Pitch = 0; // width of one reading

    double X(double Position) const { return Plot.left() + Position * Pitch; }
    double Y(double Value) const {
        return Plot.bottom() - (Value - Min) / (Max - Min) * Plot.height();
    }
    bool Usable() const { return Count > 0 && Plot.width() > 0 && Plot.height() > 0; }
};

QString TickText(double Value, int Decimals) {
    return QLocale().toString(Value, 'f', Decimals);
}

TLayout MakeLayout(const QRectF& Rect, const TMeasurement& M, TUnit Unit,
                   const QFontMetricsF& Metrics) {
    TLayout L;
    L.U = Metrics.height();
    L.Digit = Metrics.horizontalAdvance(u'0');
    L.Outer = Rect.adjusted(L.Digit / 2, 0, -L.Digit / 2, 0);
    L.Count = static_cast<int>(M.Readings.Values.size());
    // From the figures: hovering must not walk millions of readings.
    const double PerPci = Unit == TUnit::BqM3 ? Units::BqPerPci : 1;
    const TFigures& F = M.Figures;
    const double Low = F.MaxK > 0 ? std::min(0.0, F.Min.ToDouble() * PerPci) : 0;
    const double High = std::max(ReferenceLevels::InUnit(M.Criteria.Level, Unit),
                                 F.MaxK > 0 ? F.Max.ToDouble() * PerPci : 0);
    // Room above the highest bar for its event marks.
    L.Ticks = ChartAxes::ValueTicks(Low, High * 1.08, 5);
    L.Min = L.Ticks.Values.front();
    L.Max = L.Ticks.Values.back();

    double LabelWidth = Metrics.horizontalAdvance(Units::Name(Unit));
    for (const double Tick : L.Ticks.Values)
        LabelWidth =
            std::max(LabelWidth, Metrics.horizontalAdvance(TickText(Tick, L.Ticks.Decimals)));
    const double Left = LabelWidth + L.Digit * 1.5;
    const double Top = L.U * 1.6;
    const double Bottom = L.U * 2.6;
    const double Right = L.Digit * 2;
    L.Plot = L.Outer.adjusted(Left, Top, -Right, -Bottom);
    if (L.Count > 0)
        L.Pitch = L.Plot.width() / L.Count;
    return L;
}

// The painter with the chart's layout and colours, and the boxes of the labels drawn so far:
// a label goes to the first of its places where it hides no other and stays inside.
struct TCanvas {
    QPainter& Painter;
    const TLayout& L;
    const TChartPalette& P;
    QFontMetricsF Metrics;
    // One device pixel.
    double Pixel;
    std::vector<QRectF> Taken;

    double Width(const QString& Text) const { return Metrics.horizontalAdvance(Text); }
    // To whole device pixels, where bars neither overlap nor leave slits side by side.
    double Snap(double X) const { return std::round(X / Pixel) * Pixel; }

    bool Label(std::initializer_list<QRectF> Places, int Flags, const QString& Text,
               const QColor& Colour, bool Backed) {
        for (const QRectF& Place : Places) {
            const QRectF Box = Metrics.boundingRect(Place, Flags, Text);
            const bool Free = std::none_of(Taken.begin(), Taken.end(), [&](const QRectF& Other) {
                return Other.intersects(Box);
            });
            if (!Free || !L.Outer.contains(Box))
                continue;
            if (Backed) {
                const QColor& B = P.Background;
                Painter.fillRect(Box.adjusted(-2, 0, 2, 0),
                                 QColor(B.red(), B.green(), B.blue(), 200));
            }
            Painter.setPen(Colour);
            Painter.drawText(Place, Flags, Text);
            Taken.push_back(Box.adjusted(-L.Digit / 2, 0, L.Digit / 2, 0));
            return true;
        }
        return false;
    }
};

void PaintValueAxis(TCanvas& C, TUnit Unit) {
    const TLayout& L = C.L;
    C.Painter.setPen(QPen(C.P.Grid, 0));
    for (const double Tick : L.Ticks.Values) {
        const double Y = std::round(L.Y(Tick)) + 0.5;
        C.Painter.drawLine(QPointF(L.Plot.left(), Y), QPointF(L.Plot.right(), Y));
    }
    C.Painter.setPen(C.P.Text);
    const double Width = L.Plot.left() - L.Outer.left() - L.Digit;
    for (const double Tick : L.Ticks.Values)
        C.Painter.drawText(QRectF(L.Outer.left(), L.Y(Tick) - L.U / 2, Width, L.U),
                           Qt::AlignRight | Qt::AlignVCenter, TickText(Tick, L.Ticks.Decimals));
    C.Label({QRectF(L.Outer.left(), L.Outer.top(), L.Plot.left() - L.Outer.left(), L.U * 1.4)},
            Qt::AlignLeft | Qt::AlignVCenter, Units::Name(Unit), C.P.Text, false);
}

void PaintShade(TCanvas& C, const TMeasurement& M) {
    const TLayout& L = C.L;
    const int Skipped = LeftOut(M, L.Count);
    if (Skipped <= 0)
        return;
    const double Top = L.Outer.top() + L.U * 0.2;
    C.Painter.fillRect(QRectF(QPointF(L.Plot.left(), Top), QPointF(L.X(Skipped), L.Plot.bottom())),
                       C.P.Shade);
    const QString Text = M.Criteria.PostMitigation
                             ? QStringLiteral("first 24 hours: not in the result")
                             : QStringLiteral("not in the EPA-protocol average");
    const double Width = C.Width(Text) + L.Digit;
    C.Label({QRectF(L.Plot.left() + L.Digit * 0.5, Top, Width, L.U * 1.2)},
            Qt::AlignLeft | Qt::AlignVCenter, Text, C.P.Text, false);
}

// Bars wider than a device pixel are drawn one by one; narrower ones share a pixel column,
// which shows the highest (and the lowest) of them. Returns where each reading's bar, as
// drawn, ends at the top.
std::vector<double> PaintBars(TCanvas& C, const TMeasurement& M, TUnit Unit) {
    const TLayout& L = C.L;
    const std::vector<TReadingValue>& Values = M.Readings.Values;
    const double Pixel = C.Pixel;
    const auto Snap = [&C](double X) { return C.Snap(X); };
    const double Base = Snap(L.Y(0));
    std::vector<double> Tops(Values.size(), Base);
    std::vector<QRectF> Bars;
    Bars.reserve(std::min(Values.size(), static_cast<size_t>(L.Plot.width() / Pixel) + 2));
    if (L.Pitch >= Pixel) {
        const double Margin = L.Pitch >= 4 * Pixel ? L.Pitch / 8 : 0;
        for (size_t i = 0; i < Values.size(); ++i) {
            if (!Values[i].Valid())
                continue;
            const double Value = Values[i].InUnit(Unit);
            const double Left = Snap(L.X(static_cast<double>(i)) + Margin);
            const double Right = Snap(L.X(static_cast<double>(i + 1)) - Margin);
            Tops[i] = std::min(Base, L.Y(Value));
            Bars.push_back(QRectF(QPointF(Left, L.Y(Value)), QPointF(Right, Base)).normalized());
        }
    } else {
        const double Origin = Snap(L.Plot.left());
        size_t First = 0;
        long Column = 0;
        double High = 0, Low = 0;
        bool Any = false;
        const auto Flush = [&](size_t End) {
            if (Any) {
                Bars.push_back(QRectF(QPointF(Origin + Column * Pixel, L.Y(High)),
                                      QPointF(Origin + (Column + 1) * Pixel, L.Y(Low))));
                std::fill(Tops.begin() + static_cast<long>(First),
                          Tops.begin() + static_cast<long>(End), L.Y(High));
            }
            Any = false;
            High = Low = 0;
            First = End;
        };
        for (size_t i = 0; i < Values.size(); ++i) {
            const long At = static_cast<long>(static_cast<double>(i) * L.Pitch / Pixel);
            if (At != Column) {
                Flush(i);
                Column = At;
            }
            if (!Values[i].Valid())
                continue;
            const double Value = Values[i].InUnit(Unit);
            High = std::max(High, Value);
            Low = std::min(Low, Value);
            Any = true;
        }
        Flush(Values.size());
    }
    C.Painter.setPen(Qt::NoPen);
    C.Painter.setBrush(C.P.Bar);
    C.Painter.drawRects(Bars.data(), static_cast<int>(Bars.size()));
    C.Painter.setBrush(Qt::NoBrush);
    C.Painter.setPen(QPen(C.P.Text, 0));
    C.Painter.drawLine(QPointF(L.Plot.left(), Base + Pixel / 2),
                       QPointF(L.Plot.right(), Base + Pixel / 2));
    C.Painter.drawLine(QPointF(L.Plot.left(), L.Plot.top()),
                       QPointF(L.Plot.left(), L.Plot.bottom()));
    return Tops;
}

// A dashed line across the plot, labelled at its right end.
void PaintLevel(TCanvas& C, double Value, const QString& Text, bool Above, const QColor& Colour) {
    const TLayout& L = C.L;
    if (Value < L.Min || Value > L.Max)
        return;
    const double Y = L.Y(Value);
    QPen Pen(Colour, std::max(1.0, L.U / 9));
    Pen.setStyle(Qt::DashLine);
    C.Painter.setPen(Pen);
    C.Painter.drawLine(QPointF(L.Plot.left(), Y), QPointF(L.Plot.right(), Y));
    const QRectF Over(L.Plot.left(), Y - L.U * 1.05, L.Plot.width() - L.Digit * 0.5, L.U);
    const QRectF Under(L.Plot.left(), Y + L.U * 0.1, L.Plot.width() - L.Digit * 0.5, L.U);
    C.Label({Above ? Over : Under, Above ? Under : Over}, Qt::AlignRight | Qt::AlignVCenter, Text,
            Colour, true);
}

void PaintMean(TCanvas& C, const TMeasurement& M, TUnit Unit) {
    const TLayout& L = C.L;
    const bool After24h = M.Criteria.PostMitigation;
    const TMean& Mean = After24h ? M.Figures.MeanAfter24h : M.Figures.MeanAfter4h;
    if (!Mean.Known())
        return;
    const double Y = L.Y(Mean.Value() * (Unit == TUnit::BqM3 ? Units::BqPerPci : 1));
    const double From = L.X(LeftOut(M, L.Count));
    C.Painter.setPen(QPen(C.P.Mean, std::max(1.5, L.U / 7)));
    C.Painter.drawLine(QPointF(From, Y), QPointF(L.Plot.right(), Y));
    const QString Text = (After24h ? QStringLiteral("mean without the first 24 hours ")
                                   : QStringLiteral("mean without the first 4 hours ")) +
                         Units::ForPeople(Mean.Sum, static_cast<std::uint32_t>(Mean.Count), Unit);
    const double Width = L.Plot.right() - From - L.Digit;
    C.Label({QRectF(From + L.Digit, Y - L.U * 1.05, Width, L.U),
             QRectF(From + L.Digit, Y + L.U * 0.1, Width, L.U)},
            Qt::AlignLeft | Qt::AlignVCenter, Text, C.P.Mean, true);
}

QPainterPath Triangle(QPointF Tip, double Size) {
    QPainterPath Path;
    Path.moveTo(Tip);
    Path.lineTo(Tip.x() - Size / 2, Tip.y() - Size);
    Path.lineTo(Tip.x() + Size / 2, Tip.y() - Size);
    Path.closeSubpath();
    return Path;
}

QPainterPath Dot(QPointF Bottom, double Size) {
    QPainterPath Path;
    Path.addEllipse(QRectF(Bottom.x() - Size / 2, Bottom.y() - Size, Size, Size));
    return Path;
}

// A T mark (a triangle pointing at the reading) and above it a P mark (a dot). Where marks
// would overlap, the first stands for the others.
void PaintEvents(TCanvas& C, const TMeasurement& M, const std::vector<double>& Tops) {
    const TLayout& L = C.L;
    const double Size = L.U * 0.55;
    QPainterPath TMarks, PMarks;
    double LastT = -1e9, LastP = -1e9;
    for (size_t i = 0; i < Tops.size(); ++i) {
        const TReadingValue& Value = M.Readings.Values[i];
        if (Value.Events().empty())
            continue;
        const double X = L.X(static_cast<double>(i) + 0.5);
        double Y = Tops[i] - Size * 0.25;
        if (Value.HasEvent('T')) {
            if (X - LastT >= Size) {
                TMarks.addPath(Triangle(QPointF(X, Y), Size));
                LastT = X;
            }
            Y -= Size * 1.15;
        }
        if (Value.HasEvent('P') && X - LastP >= Size) {
            PMarks.addPath(Dot(QPointF(X, Y), Size));
            LastP = X;
        }
    }
    C.Painter.setPen(Qt::NoPen);
    C.Painter.fillPath(TMarks, C.P.EventT);
    C.Painter.fillPath(PMarks, C.P.EventP);

    // The legend at the top right, for the kinds present.
    double Right = L.Plot.right();
    const double Top = L.Outer.top() + L.U * 0.2;
    for (const bool IsP : {true, false}) {
        if ((IsP ? PMarks : TMarks).isEmpty())
            continue;
        const QString Text = IsP ? QStringLiteral("P event") : QStringLiteral("T event");
        const double Width = C.Width(Text) + Size + L.Digit * 0.5;
        if (!C.Label({QRectF(Right - Width, Top, Width, L.U * 1.2)},
                     Qt::AlignRight | Qt::AlignVCenter, Text, C.P.Text, false))
            break;
        const QPointF Anchor(Right - Width + Size / 2, Top + L.U * 0.6 + Size / 2);
        C.Painter.fillPath(IsP ? Dot(Anchor, Size) : Triangle(Anchor, Size),
                           IsP ? C.P.EventP : C.P.EventT);
        Right -= Width + L.Digit * 2;
    }
}

void PaintTimeAxis(TCanvas& C, const TMeasurement& M) {
    const TLayout& L = C.L;
    const auto Width = [&](const QString& Text) { return C.Width(Text); };
    const TReadings& R = M.Readings;
    const bool Times = R.Start.isValid() && R.IntervalMinutes > 0;
    const std::vector<ChartAxes::TTimeTick> Ticks =
        Times ? ChartAxes::TimeTicks(R.Start, R.IntervalMinutes, L.Count, L.Pitch, Width)
              : ChartAxes::IntervalTicks(L.Count, L.Pitch, Width);
    const double Row1 = L.Plot.bottom() + L.U * 0.3;
    const double Row2 = Row1 + L.U;
    C.Painter.setPen(QPen(C.P.Text, 0));
    for (const ChartAxes::TTimeTick& Tick : Ticks) {
        const double X = C.Snap(L.X(Tick.Position)) + C.Pixel / 2;
        C.Painter.drawLine(QPointF(X, C.Snap(L.Plot.bottom()) + C.Pixel), QPointF(X, Row1));
        for (const auto& [Text, Top] :
             {std::pair{Tick.Label, Row1}, std::pair{Tick.DateLabel, Row2}}) {
            const double W = Width(Text);
            const double Left = std::clamp(X - W / 2, L.Outer.left(), L.Outer.right() - W);
            if (!Text.isEmpty())
                C.Label({QRectF(Left, Top, W, L.U)}, Qt::AlignCenter, Text, C.P.Text, false);
        }
    }
    if (!Times)
        C.Label({QRectF(L.Plot.left(), Row2, L.Plot.width(), L.U)},
                Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("interval"), C.P.Text, false);
}

} // namespace

TChartPalette LightPalette() {
    return {QColor(255, 255, 255), QColor(32, 32, 32),  QColor(226, 226, 226), QColor(70, 125, 180),
            QColor(0, 0, 0, 20),   QColor(198, 40, 40), QColor(176, 105, 0),   QColor(46, 125, 50),
            QColor(106, 27, 154),  QColor(216, 67, 21)};
}

TChartPalette DarkPalette() {
    return {QColor(30, 30, 30),    QColor(230, 230, 230),     QColor(62, 62, 62),
            QColor(111, 168, 220), QColor(255, 255, 255, 28), QColor(255, 107, 107),
            QColor(255, 183, 77),  QColor(129, 199, 132),     QColor(206, 147, 216),
            QColor(255, 171, 145)};
}

TChartPalette PaletteFor(const QPalette& Palette) {
    const QColor Base = Palette.color(QPalette::Base);
    TChartPalette Result = Base.lightnessF() < 0.5 ? DarkPalette() : LightPalette();
    Result.Background = Base;
    Result.Text = Palette.color(QPalette::Text);
    return Result;
}

void Paint(QPainter& Painter, const QRectF& Rect, const TMeasurement& M, TUnit Unit,
           const TChartPalette& P) {
    Painter.save();
    Painter.setClipRect(Rect);
    Painter.fillRect(Rect, P.Background);
    const QFontMetricsF Metrics(Painter.font(), Painter.device());
    const TLayout L = MakeLayout(Rect, M, Unit, Metrics);
    if (L.Usable()) {
        TCanvas C{Painter, L, P, Metrics, 1.0 / Painter.device()->devicePixelRatioF(), {}};
        Painter.setRenderHint(QPainter::Antialiasing, false);
        PaintValueAxis(C, Unit);
        PaintShade(C, M);
        const std::vector<double> Tops = PaintBars(C, M, Unit);
        PaintTimeAxis(C, M);
        const TReferenceLevel& Level = M.Criteria.Level;
        PaintLevel(C, ReferenceLevels::InUnit(Level, Unit),
                   Level.Name + u' ' + ReferenceLevels::ValueIn(Level, Unit), true, P.Level);
        if (Level.ConsiderFixing) {
            TReferenceLevel From = Level;
            From.Value = *Level.ConsiderFixing;
            PaintLevel(C, ReferenceLevels::InUnit(From, Unit),
                       QStringLiteral("consider fixing from ") +
                           ReferenceLevels::ValueIn(From, Unit),
                       false, P.ConsiderFixing);
        }
        PaintMean(C, M, Unit);
        Painter.setRenderHint(QPainter::Antialiasing, true);
        PaintEvents(C, M, Tops);
    }
    Painter.restore();
}

int HitTest(const QRectF& Rect, const TMeasurement& M, TUnit Unit, const QFont& Font,
            QPointF Position, const QPaintDevice* Device) {
    const TLayout L = MakeLayout(Rect, M, Unit, QFontMetricsF(Font, Device));
    if (!L.Usable() || Position.x() < L.Plot.left() || Position.x() >= L.Plot.right() ||
        Position.y() < Rect.top() || Position.y() > L.Plot.bottom())
        return -1;
    return std::min(L.Count - 1, static_cast<int>((Position.x() - L.Plot.left()) / L.Pitch));
}

QImage Render(const TMeasurement& M, TUnit Unit, QSize Size, const TChartPalette& Palette,
              const QFont& Font, qreal DevicePixelRatio) {
    QImage Image(Size * DevicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    Image.setDevicePixelRatio(DevicePixelRatio);
    QPainter Painter(&Image);
    Painter.setFont(Font);
    Paint(Painter, QRectF(QPointF(0, 0), QSizeF(Size)), M, Unit, Palette);
    return Image;
}

QByteArray RenderPng(const TMeasurement& M, TUnit Unit, QSize Size, const TChartPalette& Palette,
                     const QFont& Font) {
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    Render(M, Unit, Size, Palette, Font).save(&Buffer, "PNG");
    return Bytes;
}

} // namespace ReadingsChart
