#include "../MeasurementTestHelpers.h"
#include "measurement/chart/ChartAxes.h"
#include "measurement/chart/ReadingsChart.h"

#include <QImage>
#include <QPainter>
#include <cmath>

namespace {

// Colours the image is searched for: each distinct and opaque.
TChartPalette TestPalette() {
    return {QColor(255, 255, 255), QColor(0, 0, 0),    QColor(235, 235, 235), QColor(0, 0, 255),
            QColor(200, 255, 200), QColor(255, 0, 0),  QColor(255, 128, 0),   QColor(0, 128, 0),
            QColor(128, 0, 128),   QColor(0, 200, 200)};
}

const QSize Size(900, 420);

// 48 hourly values: 2.0 but for a few; value 20 is invalid.
QStringList Table() {
    QStringList Values;
    for (int K = 1; K <= 48; ++K) {
        QString Value = "2.0";
        if (K == 1)
            Value = "8.0";
        else if (K == 10)
            Value = "4.0";
        else if (K == 20)
            Value = "x";
        else if (K == 30)
            Value = "T 3.0";
        else if (K == 40)
            Value = "P 6.0";
        else if (K == 41)
            Value = "TP 1.0";
        Values << " " + Value + " ";
    }
    return Values;
}

const QStringList Labels{"Serial #   : 4410-0815", "Start Date : 3/5/2026",
                         "Start Time : 4:00:00 PM"};

TMeasurement Measured() {
    return Measurement::Measure(Report(Table(), "Time Interval 1 Hr", Labels), {}, TUnit::PciL,
                                QLocale::system(), Chicago);
}

// A bar found on the image: its columns and its top.
struct TBar {
    int Left, Right, Top;
    double Centre() const { return (Left + Right) / 2.0; }
};

// The baseline is the lowest row holding bar colour; the bars are the runs of bar colour on
// the row above it.
struct TFound {
    int Base = -1;
    std::vector<TBar> Bars;
};

TFound FindBars(const QImage& Image, QRgb Bar) {
    TFound Found;
    for (int Y = Image.height() - 1; Y >= 0 && Found.Base < 0; --Y)
        for (int X = 0; X < Image.width(); ++X)
            if (Image.pixel(X, Y) == Bar) {
                Found.Base = Y;
                break;
            }
    for (int X = 0; X < Image.width(); ++X) {
        if (Image.pixel(X, Found.Base) != Bar)
            continue;
        TBar B{X, X, Found.Base};
        while (B.Right + 1 < Image.width() && Image.pixel(B.Right + 1, Found.Base) == Bar)
            ++B.Right;
        // From the top down: the lines drawn across the bars cannot cut the search short.
        const int Middle = (B.Left + B.Right) / 2;
        B.Top = 0;
        while (Image.pixel(Middle, B.Top) != Bar)
            ++B.Top;
        Found.Bars.push_back(B);
        X = B.Right;
    }
    return Found;
}

// The row holding most pixels of Colour between Left and Right.
int RowOf(const QImage& Image, QRgb Colour, int Left, int Right) {
    int Best = -1, BestCount = 0;
    for (int Y = 0; Y < Image.height(); ++Y) {
        int Count = 0;
        for (int X = Left; X <= Right; ++X)
            Count += Image.pixel(X, Y) == Colour ? 1 : 0;
        if (Count > BestCount) {
            Best = Y;
            BestCount = Count;
        }
    }
    return Best;
}

bool HasColour(const QImage& Image, QRgb Colour, const QRect& Area) {
    for (int Y = std::max(0, Area.top()); Y <= std::min(Image.height() - 1, Area.bottom()); ++Y)
        for (int X = std::max(0, Area.left()); X <= std::min(Image.width() - 1, Area.right()); ++X)
            if (Image.pixel(X, Y) == Colour)
                return true;
    return false;
}

} // namespace

TEST(ReadingsChart, Geometry) {
    const TChartPalette P = TestPalette();
    const TMeasurement M = Measured();
    const QImage Image = ReadingsChart::Render(M, TUnit::PciL, Size, P);
    ASSERT_EQ(Image.size(), Size);
    const TFound Found = FindBars(Image, P.Bar.rgb());
    // Every valid reading has its bar; the invalid one is a gap of one reading.
    ASSERT_EQ(Found.Bars.size(), 47u);
    const double Pitch = (Found.Bars.back().Centre() - Found.Bars.front().Centre()) / 47;
    EXPECT_NEAR(Found.Bars[19].Centre() - Found.Bars[18].Centre(), 2 * Pitch, 1.5);

    // Heights in proportion to the readings: the scale from the highest bar (8.0).
    const double Scale = (Found.Base + 1 - Found.Bars[0].Top) / 8.0;
    const auto ValueOf = [&](int K) {
        return *M.Readings.Values[static_cast<size_t>(K - 1)].PciL();
    };
    for (size_t i = 0; i < Found.Bars.size(); ++i) {
        const int K = static_cast<int>(i) + (i >= 19 ? 2 : 1);
        EXPECT_NEAR(Found.Base + 1 - Found.Bars[i].Top, ValueOf(K).ToDouble() * Scale, 1.5) << K;
    }

    // The dashed lines at the EPA's 4.0 and 2.0 pCi/L, the mean without the first 4 hours as a
    // line.
    const int Left = Found.Bars.front().Left, Right = Found.Bars.back().Right;
    const double BaseY = Found.Base + 1;
    EXPECT_NEAR(RowOf(Image, P.Level.rgb(), Left, Right), BaseY - 4.0 * Scale, 2);
    EXPECT_NEAR(RowOf(Image, P.ConsiderFixing.rgb(), Left, Right), BaseY - 2.0 * Scale, 2);
    EXPECT_NEAR(RowOf(Image, P.Mean.rgb(), Left, Right),
                BaseY - M.Figures.MeanAfter4h.Value() * Scale, 2);

    // The first 4 hours shaded: from the first reading's slot to the end of the fourth's.
    const int ShadeRow = Found.Bars[0].Top - 3;
    int ShadeLeft = -1, ShadeRight = -1;
    for (int X = 0; X < Image.width(); ++X)
        if (Image.pixel(X, ShadeRow) == P.Shade.rgb()) {
            ShadeLeft = ShadeLeft < 0 ? X : ShadeLeft;
            ShadeRight = X;
        }
    EXPECT_NEAR(ShadeLeft, Found.Bars[0].Centre() - Pitch / 2, 2);
    EXPECT_NEAR(ShadeRight + 1, Found.Bars[3].Centre() + Pitch / 2, 2);

    // Marks just above their readings: T on 30 and 41, P on 40 and 41, none elsewhere.
    const auto Above = [&](int K) {
        const TBar& B = Found.Bars[static_cast<size_t>(K - (K > 20 ? 2 : 1))];
        return QRect(B.Left, B.Top - 40, B.Right - B.Left + 1, 40);
    };
    for (const auto& [K, T, Pm] :
         {std::tuple{30, true, false}, std::tuple{40, false, true}, std::tuple{41, true, true},
          std::tuple{29, false, false}, std::tuple{2, false, false}}) {
        EXPECT_EQ(HasColour(Image, P.EventT.rgb(), Above(K)), T) << K;
        EXPECT_EQ(HasColour(Image, P.EventP.rgb(), Above(K)), Pm) << K;
    }

    // The hover finds the reading under the pointer, the gap included.
    for (const int K : {1, 20, 48}) {
        const double X = Found.Bars[0].Centre() + (K - 1) * Pitch;
        EXPECT_EQ(ReadingsChart::HitTest(QRectF(QPointF(), QSizeF(Size)), M, TUnit::PciL, QFont(),
                                         QPointF(X, BaseY - 5), &Image),
                  K - 1);
    }
    EXPECT_EQ(ReadingsChart::HitTest(QRectF(QPointF(), QSizeF(Size)), M, TUnit::PciL, QFont(),
                                     QPointF(Left - 10, BaseY - 5), &Image),
              -1);
}

// The lines follow the level in the chart's unit; after mitigation 24 hours are shaded.
TEST(ReadingsChart, LevelsAndShadeFollowTheCriteria) {
    const TChartPalette P = TestPalette();
    const struct {
        TCriteria Criteria;
        double Level, ConsiderFixing; // in Bq/m3; 0: no line
        int Shaded;
    } Cases[] = {
        {{}, 148, 74, 4},
        {{{}, ReferenceLevels::Eu(), false}, 300, 0, 4},
        {{{}, ReferenceLevels::Who(), true}, 100, 0, 24},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Criteria.Level.Name.toStdString());
        const TMeasurement M = Measurement::Measure(Report(Table(), "Time Interval 1 Hr", Labels),
                                                    Case.Criteria, TUnit::BqM3);
        const QImage Image = ReadingsChart::Render(M, TUnit::BqM3, Size, P);
        const TFound Found = FindBars(Image, P.Bar.rgb());
        ASSERT_EQ(Found.Bars.size(), 47u);
        const double Scale = (Found.Base + 1 - Found.Bars[0].Top) / (8.0 * 37);
        const int Left = Found.Bars.front().Left, Right = Found.Bars.back().Right;
        EXPECT_NEAR(RowOf(Image, P.Level.rgb(), Left, Right), Found.Base + 1 - Case.Level * Scale,
                    2);
        EXPECT_EQ(RowOf(Image, P.ConsiderFixing.rgb(), Left, Right) >= 0, Case.ConsiderFixing > 0);
        // The shade ends where the first reading in the result begins.
        const int Row = Found.Bars[0].Top - 3;
        const auto Bar = [&](int K) {
            return Found.Bars[static_cast<size_t>(K - (K > 20 ? 2 : 1))];
        };
        const int Edge = static_cast<int>(
            std::lround((Bar(Case.Shaded).Centre() + Bar(Case.Shaded + 1).Centre()) / 2));
        EXPECT_EQ(Image.pixel(Edge - 2, Row), P.Shade.rgb());
        EXPECT_NE(Image.pixel(Edge + 2, Row), P.Shade.rgb());
    }
}

TEST(ReadingsChart, DenseAndEmptyCharts) {
    const TChartPalette P = TestPalette();
    // More readings than pixels: one column per pixel, still every column drawn.
    QStringList Table;
    for (int i = 0; i < 2500; ++i)
        Table << " 3.0 ";
    const TMeasurement Dense =
        Measurement::Measure(Report(Table, "Time Interval 1 Hr", Labels), {}, TUnit::PciL);
    const TFound Found = FindBars(ReadingsChart::Render(Dense, TUnit::PciL, Size, P), P.Bar.rgb());
    ASSERT_EQ(Found.Bars.size(), 1u);
    EXPECT_GT(Found.Bars[0].Right - Found.Bars[0].Left, Size.width() * 3 / 4);

    // Sharp at a device pixel ratio of 1.5; nothing drawn but the background without readings.
    const QImage Sharp = ReadingsChart::Render(Dense, TUnit::PciL, Size, P, QFont(), 1.5);
    EXPECT_EQ(Sharp.size(), Size * 1.5);
    const QImage Empty = ReadingsChart::Render(Measurement::Measure(Report({}), {}, TUnit::PciL),
                                               TUnit::PciL, QSize(50, 40), P);
    EXPECT_EQ(Empty.pixel(25, 20), P.Background.rgb());

    QImage Png;
    ASSERT_TRUE(
        Png.loadFromData(ReadingsChart::RenderPng(Dense, TUnit::PciL, QSize(300, 200), P), "PNG"));
    EXPECT_EQ(Png.size(), QSize(300, 200));
}

TEST(ChartAxes, Ticks) {
    const struct {
        double Min, Max;
        const char* Ticks;
    } ValueCases[] = {
        {0, 8.64, "0 2 4 6 8 10"},  {0, 4.32, "0 1 2 3 4 5"},       {0, 355.2, "0 100 200 300 400"},
        {-1.5, 4.32, "-2 0 2 4 6"}, {0, 11, "0 2.5 5 7.5 10 12.5"},
    };
    for (const auto& Case : ValueCases) {
        const ChartAxes::TValueTicks Ticks = ChartAxes::ValueTicks(Case.Min, Case.Max, 5);
        QStringList Texts;
        for (const double Value : Ticks.Values)
            Texts << QString::number(Value);
        EXPECT_EQ(Texts.join(' '), Case.Ticks) << Case.Max;
    }

    // Round wall-clock hours across the change to daylight saving; a date under the first
    // tick and under midnight.
    const auto Width = [](const QString& Text) { return 7.0 * Text.size(); };
    const QDateTime Start(QDate(2026, 3, 7), QTime(22, 30), Chicago);
    QStringList Ticks;
    for (const ChartAxes::TTimeTick& Tick : ChartAxes::TimeTicks(Start, 60, 8, 80, Width))
        Ticks << QString("%1 %2 %3").arg(Tick.Position).arg(Tick.Label, Tick.DateLabel).trimmed();
    EXPECT_EQ(Ticks.join('|'), "0.5 11:00 PM 3/7/2026|1.5 12:00 AM 3/8/2026|2.5 1:00 AM|"
                               "3.5 3:00 AM|4.5 4:00 AM|5.5 5:00 AM|6.5 6:00 AM|7.5 7:00 AM");
    // Less room: every second hour, the one the clocks skipped left out.
    QStringList Sparse;
    for (const ChartAxes::TTimeTick& Tick : ChartAxes::TimeTicks(Start, 60, 8, 40, Width))
        Sparse << Tick.Label;
    EXPECT_EQ(Sparse.join('|'), "12:00 AM|4:00 AM|6:00 AM");

    // However long the test and however wide the chart, about 20 ticks an axis.
    for (const auto& [Interval, Count, PerReading] :
         {std::tuple{1440, 8'000'000, 0.0002}, std::tuple{1, 8'000'000, 0.0002},
          std::tuple{60, 2000, 50.0}, std::tuple{1440, 100, 1000.0}}) {
        SCOPED_TRACE(Count);
        EXPECT_LE(ChartAxes::TimeTicks(Start, Interval, Count, PerReading, Width).size(), 21u);
        EXPECT_LE(ChartAxes::IntervalTicks(Count, PerReading, Width).size(), 21u);
    }
}
