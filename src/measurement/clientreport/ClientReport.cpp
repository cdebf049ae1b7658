#include "measurement/clientreport/ClientReport.h"

#include "measurement/chart/ReadingsChart.h"
#include "platform/DateTimeText.h"
#include "platform/Exception.h"
#include "report/StreamConventions.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QHash>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <functional>

namespace SC = StreamConventions;

namespace ClientReport {

namespace {

// Device units per point: the writer works at 720 dots per inch, fine enough for the chart's
// narrowest bars.
constexpr int Resolution = 720;
constexpr double Pt = Resolution / 72.0;

// Texts from the report and its information can be of any length; the page cannot.
constexpr int LongestText = 300;

const QColor Ink(33, 33, 33);
const QColor Muted(105, 105, 105);
const QColor Rule(200, 200, 200);
const QColor Band(242, 245, 248);
const QColor Accent(31, 78, 121);
const QColor Above(183, 28, 28);
const QColor Between(176, 105, 0);
const QColor Below(46, 125, 50);

QString Latin1(const std::string& Bytes) {
    return QString::fromLatin1(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
}

QString Cut(const QString& Text) {
    return Text.size() > LongestText ? Text.left(LongestText) + QStringLiteral("...") : Text;
}

QFont Font(double Points, bool Bold = false) {
    QFont Result;
    Result.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    Result.setPointSizeF(Points);
    Result.setBold(Bold);
    // No ligatures: "fi" stays two letters for whoever searches or copies the text.
    Result.setStyleStrategy(QFont::PreferNoShaping);
    return Result;
}

// A piece of a page: Height device units tall, Before units below the piece above it (none at
// the top of a page). Bottom pieces go to the foot of their page.
struct TBlock {
    double Height = 0;
    double Before = 0;
    std::function<void(QPainter&, double Top)> Paint;
    bool Bottom = false;
};

struct TPlaced {
    std::function<void(QPainter&, double Top)> Paint;
    double Top = 0;
};
using TPage = std::vector<TPlaced>;

// What every block is measured against.
struct TSheet {
    const QPaintDevice* Device = nullptr;
    QRectF Body; // the page inside its margins

    QFontMetricsF Metrics(const QFont& F) const { return QFontMetricsF(F, Device); }
    double TextHeight(const QString& Text, const QFont& F, double Width, int Flags) const {
        const QFontMetricsF M = Metrics(F);
        return std::max(M.height(), M.boundingRect(QRectF(0, 0, Width, 1e9), Flags, Text).height());
    }
};

TBlock Text(const TSheet& S, const QString& Text, const QFont& F, const QColor& Colour,
            double Before, int Align = Qt::AlignLeft) {
    const QString T = Cut(Text);
    const int Flags = Align | Qt::TextWordWrap;
    const QRectF Body = S.Body;
    const double Height = S.TextHeight(T, F, Body.width(), Flags);
    return {Height, Before, [=](QPainter& P, double Top) {
                P.setFont(F);
                P.setPen(Colour);
                P.drawText(QRectF(Body.left(), Top, Body.width(), Height), Flags, T);
            }};
}

TBlock Line(const TSheet& S, double Before, const QColor& Colour = Rule) {
    const QRectF Body = S.Body;
    return {Pt, Before, [=](QPainter& P, double Top) {
                P.setPen(QPen(Colour, 0.75 * Pt));
                P.drawLine(QPointF(Body.left(), Top + Pt / 2), QPointF(Body.right(), Top + Pt / 2));
            }};
}

// A caption in its column and a text beside it, wrapped; a hairline below.
TBlock Row(const TSheet& S, const QString& Caption, const QString& Value, const QFont& CaptionFont,
           const QColor& CaptionColour, double CaptionWidth) {
    const QFont F = Font(10);
    const QString T = Cut(Value);
    const int Flags = Qt::AlignLeft | Qt::TextWordWrap;
    const QRectF Body = S.Body;
    const double Pad = 3 * Pt;
    const double Width = Body.width() - CaptionWidth;
    const double Height = std::max(S.TextHeight(Caption, CaptionFont, CaptionWidth - Pad, Flags),
                                   S.TextHeight(T, F, Width, Flags)) +
                          2 * Pad;
    return {Height, 0, [=](QPainter& P, double Top) {
                P.setFont(CaptionFont);
                P.setPen(CaptionColour);
                P.drawText(QRectF(Body.left(), Top + Pad, CaptionWidth - Pad, Height), Flags,
                           Caption);
                P.setFont(F);
                P.setPen(Ink);
                P.drawText(QRectF(Body.left() + CaptionWidth, Top + Pad, Width, Height), Flags, T);
                P.setPen(QPen(Rule, 0));
                P.drawLine(QPointF(Body.left(), Top + Height), QPointF(Body.right(), Top + Height));
            }};
}

QString Given(const QString& Text) {
    return Text.isEmpty() ? QStringLiteral("Not given in the report") : Text;
}

QString Labels(const QStringList& Lines, QLatin1String DateLabel, QLatin1String TimeLabel) {
    return Given(
        (Readings::LabelValue(Lines, DateLabel) + u' ' + Readings::LabelValue(Lines, TimeLabel))
            .trimmed());
}

// Levels are judged on the figure as reported, one decimal in pCi/L.
QColor LevelColour(const TDecimal& PciL) {
    const TDecimal Reported = PciL.Rounded(1);
    if (Reported >= Units::EpaActionLevel())
        return Above;
    return Reported >= Units::WhoReferenceLevel() ? Between : Below;
}

QString LevelSentence(const std::optional<TDecimal>& Epa) {
    const QString Action = QStringLiteral("the EPA action level of ") +
                           Units::BothForPeople(Units::EpaActionLevel(), 1, TUnit::PciL);
    const QString Reference = QStringLiteral("the WHO reference level of ") +
                              Units::BothForPeople(Units::WhoReferenceLevel(), 1, TUnit::PciL);
    if (!Epa)
        return QStringLiteral("The report gives no EPA Protocol figure, so the result cannot be "
                              "placed against ") +
               Action + QStringLiteral(" and ") + Reference + u'.';
    const QString Result =
        QStringLiteral("The result of ") + Units::ForPeople(*Epa, 1, TUnit::PciL);
    const TDecimal Reported = Epa->Rounded(1);
    if (Reported >= Units::EpaActionLevel())
        return Result + QStringLiteral(" is at or above ") + Action +
               QStringLiteral(" and above ") + Reference + u'.';
    if (Reported >= Units::WhoReferenceLevel())
        return Result + QStringLiteral(" is below ") + Action +
               QStringLiteral(", but at or above ") + Reference + u'.';
    return Result + QStringLiteral(" is below ") + Action + QStringLiteral(" and below ") +
           Reference + u'.';
}

const TCheck* FindCheck(const TMeasurement& M, const QString& Id) {
    for (const TCheck& Check : M.Checks)
        if (Check.Id == Id)
            return &Check;
    return nullptr;
}

// The instrument's EPA Protocol figure in large type, the computed mean beside it.
TBlock Result(const TSheet& S, const TMeasurement& M) {
    const QRectF Body = S.Body;
    const double Pad = 8 * Pt;
    const double Half = (Body.width() - 3 * Pad) / 2;
    const std::optional<TDecimal>& Epa = M.Readings.InstrumentEpaProtocol;
    const QFont Caption = Font(9), Big = Font(26, true), Second = Font(14), Plain = Font(9.5);
    using TParts = std::vector<std::tuple<QString, QFont, QColor>>;

    const QColor Level = Epa ? LevelColour(*Epa) : Muted;
    const TParts Left{
        {QStringLiteral("EPA Protocol average, as the instrument reports it"), Caption, Muted},
        {Epa ? Units::ForPeople(*Epa, 1, TUnit::PciL) : QStringLiteral("None"), Big, Level},
        {Epa ? Units::ForPeople(*Epa, 1, TUnit::BqM3)
             : QStringLiteral("The report gives no EPA Protocol figure"),
         Second, Level}};

    const TMean& Mean = M.Figures.MeanAfter4h;
    const TCheck* Agreement = FindCheck(M, QStringLiteral("agrees_epa_protocol"));
    QString Verdict = Agreement ? Agreement->Text : QString();
    QColor VerdictColour = Muted;
    if (Agreement && Agreement->Ok) {
        Verdict = *Agreement->Ok ? QStringLiteral("Agrees with the instrument (within 0.1 pCi/L)")
                                 : QStringLiteral("Differs from the instrument by more than 0.1 "
                                                  "pCi/L");
        VerdictColour = *Agreement->Ok ? Below : Above;
    }
    const TParts Right{
        {QStringLiteral("Computed: the mean without the first 4 hours"), Caption, Muted},
        {Mean.Known() ? Mean.ForPeople(TUnit::PciL) : QStringLiteral("Unknown"), Second, Ink},
        {Verdict, Plain, VerdictColour}};

    const int Flags = Qt::AlignLeft | Qt::TextWordWrap;
    const auto Tall = [&S, Half, Flags](const TParts& Parts) {
        double Height = 0;
        for (const auto& [Part, F, Colour] : Parts)
            Height += S.TextHeight(Part, F, Half, Flags);
        return Height;
    };
    const double Height = std::max(Tall(Left), Tall(Right)) + 2 * Pad;
    return {Height, 10 * Pt, [=](QPainter& P, double Top) {
                P.setPen(Qt::NoPen);
                P.setBrush(Band);
                P.drawRoundedRect(QRectF(Body.left(), Top, Body.width(), Height), 4 * Pt, 4 * Pt);
                P.setBrush(Qt::NoBrush);
                const auto Column = [&](double X, const TParts& Parts) {
                    double Y = Top + Pad;
                    for (const auto& [Part, F, Colour] : Parts) {
                        const double H = S.TextHeight(Part, F, Half, Flags);
                        P.setFont(F);
                        P.setPen(Colour);
                        P.drawText(QRectF(X, Y, Half, H), Flags, Part);
                        Y += H;
                    }
                };
                Column(Body.left() + Pad, Left);
                const double Divider = Body.left() + Half + 1.5 * Pad;
                P.setPen(QPen(Rule, 0));
                P.drawLine(QPointF(Divider, Top + Pad), QPointF(Divider, Top + Height - Pad));
                Column(Body.left() + Half + 2 * Pad, Right);
            }};
}

TBlock Chart(const TSheet& S, const TMeasurement& M, TUnit Unit, double Height) {
    const QRectF Body = S.Body;
    return {Height, 10 * Pt, [=, &M](QPainter& P, double Top) {
                P.setFont(Font(7.5));
                ReadingsChart::Paint(P, QRectF(Body.left(), Top, Body.width(), Height), M, Unit,
                                     ReadingsChart::LightPalette());
            }};
}

TBlock Check(const TSheet& S, const TCheck& Check) {
    const QFont Mark = Font(9, true), F = Font(9);
    const QRectF Body = S.Body;
    const double Column = 70 * Pt;
    const QString T = Cut(Check.Text);
    const int Flags = Qt::AlignLeft | Qt::TextWordWrap;
    const double Height = S.TextHeight(T, F, Body.width() - Column, Flags) + 3 * Pt;
    const QColor Colour = !Check.Ok ? Muted : *Check.Ok ? Below : Above;
    const QString Verdict = Measurement::Verdict(Check.Ok);
    return {Height, 0, [=](QPainter& P, double Top) {
                P.setFont(Mark);
                P.setPen(Colour);
                P.drawText(QRectF(Body.left(), Top, Column, Height), Flags, Verdict);
                P.setFont(F);
                P.setPen(Ink);
                P.drawText(QRectF(Body.left() + Column, Top, Body.width() - Column, Height), Flags,
                           T);
            }};
}

double Sum(const std::vector<TBlock>& Blocks) {
    double Total = 0;
    for (const TBlock& Block : Blocks)
        Total += Block.Height + Block.Before;
    return Total;
}

// Blocks down the pages: a block that does not fit goes to the next page; the bottom blocks
// go to the foot of the page they begin on.
std::vector<TPage> Flow(const std::vector<TBlock>& Blocks, const QRectF& Body) {
    std::vector<TPage> Pages(1);
    double Y = Body.top();
    double BottomHeight = 0;
    for (const TBlock& Block : Blocks)
        if (Block.Bottom)
            BottomHeight += Block.Height + Block.Before;
    bool AtFoot = false;
    for (const TBlock& Block : Blocks) {
        if (Block.Bottom && !AtFoot) {
            AtFoot = true;
            Y = std::max(Y, Body.bottom() - BottomHeight);
        }
        double Top = Pages.back().empty() ? Y : Y + Block.Before;
        // A device unit of rounding is no reason for a new page.
        if (Top + Block.Height > Body.bottom() + 1 && !Pages.back().empty()) {
            Pages.emplace_back();
            Top = Body.top();
        }
        Pages.back().push_back({Block.Paint, Top});
        Y = Top + Block.Height;
    }
    return Pages;
}

std::vector<TBlock> FrontBlocks(const TSheet& S, const QStringList& Lines, const TReportInfo& Info,
                                const TCalibrationDates& Calibration, const TMeasurement& M,
                                TUnit Unit, const QLocale& Locale) {
    const TReadings& R = M.Readings;
    const TFigures& F = M.Figures;
    std::vector<TBlock> Blocks;
    const QStringList Header = Info.Enabled ? Info.Header : QStringList();
    for (qsizetype i = 0; i < Header.size(); ++i)
        Blocks.push_back(Text(S, Header[i], i == 0 ? Font(14, true) : Font(9.5),
                              i == 0 ? Accent : Ink, i == 0 ? 0 : Pt));
    if (!Header.isEmpty())
        Blocks.push_back(Line(S, 6 * Pt, Accent));
    Blocks.push_back(Text(S, Title, Font(20, true), Ink, 12 * Pt));

    const QFont Caption = Font(9.5);
    const double CaptionWidth = 150 * Pt;
    QString Location = Readings::LabelValue(Lines, SC::LabelLocation);
    if (Location.isEmpty() && Info.Enabled)
        Location = Info.Location;
    const QDate Calibrated = Calibration.value(R.SerialNumber);
    QString Readings = QString::number(F.Count);
    if (F.Count > 0)
        Readings += F.Valid == F.Count
                        ? QStringLiteral(", all of them valid")
                        : QStringLiteral(", %1 of them not a number").arg(F.Count - F.Valid);
    const QString Interval =
        R.IntervalMinutes > 0 ? Summary::DurationForPeople(R.IntervalMinutes) : QString();
    const std::pair<QString, QString> Particulars[] = {
        {QStringLiteral("Location"), Given(Location)},
        {QStringLiteral("Monitor serial number"), Given(R.SerialNumber)},
        {QStringLiteral("Calibration date"),
         Calibrated.isValid() ? DateTimeText::FormatDate(Calibrated, Locale)
         : R.SerialNumber.isEmpty()
             ? QStringLiteral("Unknown: the report gives no serial number")
             : QStringLiteral("No calibration date recorded for this monitor")},
        {QStringLiteral("Start"), Labels(Lines, SC::LabelStartDate, SC::LabelStartTime)},
        {QStringLiteral("End"), Labels(Lines, SC::LabelEndDate, SC::LabelEndTime)},
        {QStringLiteral("Duration"),
         F.Minutes ? QStringLiteral("%1 (%2 readings \u00d7 %3)")
                         .arg(Summary::DurationForPeople(*F.Minutes))
                         .arg(F.Count)
                         .arg(Interval)
                   : QStringLiteral("Unknown: the report gives no time interval")},
        {QStringLiteral("Number of readings"), Readings},
    };
    Blocks.push_back(Line(S, 10 * Pt));
    for (const auto& [Name, Value] : Particulars)
        Blocks.push_back(Row(S, Name, Value, Caption, Muted, CaptionWidth));

    Blocks.push_back(Result(S, M));
    Blocks.push_back(Text(S, LevelSentence(R.InstrumentEpaProtocol), Font(10), Ink, 8 * Pt));
    const size_t ChartAt = Blocks.size();
    Blocks.push_back(Text(S, QStringLiteral("Checks"), Font(11, true), Ink, 10 * Pt));
    Blocks.back().Before = 10 * Pt;
    for (const TCheck& C : M.Checks) {
        Blocks.push_back(Check(S, C));
        Blocks.back().Before = 2 * Pt;
    }
    const QStringList Footer = Info.Enabled ? Info.Footer : QStringList();
    if (!Footer.isEmpty()) {
        Blocks.push_back(Line(S, 12 * Pt));
        Blocks.back().Bottom = true;
    }
    for (const QString& Line : Footer) {
        Blocks.push_back(Text(S, Line, Font(8.5), Muted, Pt, Qt::AlignHCenter));
        Blocks.back().Bottom = true;
    }

    // The chart takes the room left on the first page, within reason.
    const double Free = S.Body.height() - Sum(Blocks) - 10 * Pt;
    const double Height = std::clamp(Free, 140 * Pt, 300 * Pt);
    Blocks.insert(Blocks.begin() + static_cast<long>(ChartAt), Chart(S, M, Unit, Height));
    return Blocks;
}

// The readings table: columns of interval, date and time, pCi/L, Bq/m3 and events, as many
// side by side as fit, filled top to bottom.
struct TGrid {
    const TMeasurement& M;
    std::vector<QString> Times{};     // empty when the start or the interval is unknown
    std::vector<QString> Becquerel{}; // "" for an invalid value
    QFont Head = Font(8, true), Cell = Font(8);
    double Widths[5] = {};
    double Pad = 5 * Pt, Gap = 14 * Pt, RowHeight = 0, HeadHeight = 0;
    int Groups = 1, Rows = 1;
    double GroupWidth = 0;
    int Skipped = 0; // values of the first 4 hours
    QRectF Table{};

    int PerPage() const { return Groups * Rows; }
};

const QString Headings[5] = {QStringLiteral("No."), QStringLiteral("Date and time"),
                             QStringLiteral("pCi/L"), QStringLiteral("Bq/m3"),
                             QStringLiteral("Events")};

std::vector<QString> TimeTexts(const TReadings& R, const QLocale& Locale) {
    std::vector<QString> Texts;
    if (!R.Start.isValid() || R.IntervalMinutes <= 0)
        return Texts;
    Texts.reserve(R.Values.size());
    // Dates change once a day and times repeat from day to day: each is formatted once.
    QDate LastDate;
    QString DateText;
    QHash<int, QString> TimeText;
    for (size_t k = 1; k <= R.Values.size(); ++k) {
        const QDateTime At = Readings::IntervalStart(R, static_cast<int>(k));
        const QDate Date = At.date();
        const QTime Time = At.time();
        if (Date != LastDate) {
            LastDate = Date;
            DateText = DateTimeText::FormatDate(Date, Locale);
        }
        auto Found = TimeText.find(Time.msecsSinceStartOfDay());
        if (Found == TimeText.end())
            Found = TimeText.insert(Time.msecsSinceStartOfDay(),
                                    DateTimeText::ReportTime(Time, Locale));
        Texts.push_back(DateText + u' ' + *Found);
    }
    return Texts;
}

TGrid MakeGrid(const TSheet& S, const TMeasurement& M, const QLocale& Locale, double Top) {
    TGrid G{M};
    G.Times = TimeTexts(M.Readings, Locale);
    const QFontMetricsF Head = S.Metrics(G.Head), Cell = S.Metrics(G.Cell);
    for (int i = 0; i < 5; ++i)
        G.Widths[i] = Head.horizontalAdvance(Headings[i]);
    const auto Widen = [&](int Column, const QString& Text) {
        G.Widths[Column] = std::max(G.Widths[Column], Cell.horizontalAdvance(Text));
    };
    Widen(0, QString::number(M.Readings.Values.size()));
    for (const QString& Time : G.Times)
        Widen(1, Time);
    if (G.Times.empty())
        G.Widths[1] = 0;
    G.Becquerel.reserve(M.Readings.Values.size());
    for (const TReadingValue& Value : M.Readings.Values) {
        G.Becquerel.push_back(
            Value.PciL ? QString::fromStdString(Units::Rounded(*Value.PciL, 1, TUnit::BqM3).Text())
                       : QString());
        Widen(3, G.Becquerel.back());
        if (Value.PciL)
            Widen(2, Latin1(Value.Text));
    }
    // Values that are not numbers may be long: they are cut to the widest number's room.
    G.Widths[2] = std::max(G.Widths[2], Cell.horizontalAdvance(QStringLiteral("000.0")));
    double Natural = 0;
    int Columns = 0;
    for (const double Width : G.Widths)
        if (Width > 0) {
            Natural += Width;
            ++Columns;
        }
    Natural += G.Pad * (Columns + 1);
    G.Groups = std::max(1, static_cast<int>((S.Body.width() + G.Gap) / (Natural + G.Gap)));
    G.GroupWidth = (S.Body.width() + G.Gap) / G.Groups - G.Gap;
    // The room left over goes between the columns.
    const double Spare = std::max(0.0, G.GroupWidth - Natural);
    G.Pad += Spare / (Columns + 1);
    G.RowHeight = Cell.height() * 1.25;
    G.HeadHeight = Head.height() * 1.8;
    G.Table = QRectF(S.Body.left(), Top, S.Body.width(), S.Body.bottom() - Top);
    G.Rows = std::max(1, static_cast<int>((G.Table.height() - G.HeadHeight) / G.RowHeight));
    G.Skipped = Summary::FirstHoursValues(M.Readings.IntervalMinutes);
    return G;
}

void PaintGrid(QPainter& P, const TSheet& S, const TGrid& G, int First) {
    const QFontMetricsF Cell = S.Metrics(G.Cell);
    const int Count = static_cast<int>(G.M.Readings.Values.size());
    const double Ascent = (G.RowHeight + Cell.ascent() - Cell.descent()) / 2;
    for (int Group = 0; Group < G.Groups; ++Group) {
        const int Begin = First + Group * G.Rows;
        if (Begin >= Count)
            break;
        const int End = std::min(Count, Begin + G.Rows);
        const double Left = G.Table.left() + Group * (G.GroupWidth + G.Gap);
        // Column edges: numbers right-aligned at their right edge, texts at their left.
        double Edges[5];
        double X = Left + G.Pad;
        for (int i = 0; i < 5; ++i) {
            Edges[i] = X;
            if (G.Widths[i] > 0)
                X += G.Widths[i] + G.Pad;
        }
        const auto Draw = [&](int Column, double Baseline, const QString& Text,
                              const QFontMetricsF& Metrics) {
            if (G.Widths[Column] <= 0)
                return;
            const bool Right = Column != 1 && Column != 4;
            const QString Shown = Metrics.horizontalAdvance(Text) > G.Widths[Column]
                                      ? Metrics.elidedText(Text, Qt::ElideRight, G.Widths[Column])
                                      : Text;
            const double At =
                Right ? Edges[Column] + G.Widths[Column] - Metrics.horizontalAdvance(Shown)
                      : Edges[Column];
            P.drawText(QPointF(At, Baseline), Shown);
        };
        P.setPen(Qt::NoPen);
        P.setBrush(Band);
        for (int k = Begin; k < End; k += 2)
            P.drawRect(QRectF(Left, G.Table.top() + G.HeadHeight + (k - Begin) * G.RowHeight,
                              G.GroupWidth, G.RowHeight));
        P.setBrush(Qt::NoBrush);
        const QFontMetricsF Head = S.Metrics(G.Head);
        P.setFont(G.Head);
        P.setPen(Ink);
        const double HeadBaseline = G.Table.top() + G.HeadHeight - Head.descent() - 2.5 * Pt;
        for (int i = 0; i < 5; ++i)
            Draw(i, HeadBaseline, Headings[i], Head);
        P.setPen(QPen(Ink, 0.75 * Pt));
        P.drawLine(QPointF(Left, G.Table.top() + G.HeadHeight),
                   QPointF(Left + G.GroupWidth, G.Table.top() + G.HeadHeight));
        P.setFont(G.Cell);
        for (int k = Begin; k < End; ++k) {
            const TReadingValue& Value = G.M.Readings.Values[static_cast<size_t>(k)];
            const double Baseline =
                G.Table.top() + G.HeadHeight + (k - Begin) * G.RowHeight + Ascent;
            P.setPen(k < G.Skipped ? Muted : Ink);
            Draw(0, Baseline, QString::number(k + 1), Cell);
            if (!G.Times.empty())
                Draw(1, Baseline, G.Times[static_cast<size_t>(k)], Cell);
            Draw(2, Baseline, Latin1(Value.Text), Cell);
            Draw(3, Baseline,
                 Value.PciL ? G.Becquerel[static_cast<size_t>(k)] : QStringLiteral("-"), Cell);
            Draw(4, Baseline, Latin1(Value.Events), Cell);
        }
    }
}

// The data pages' head: what they belong to and how to read them.
std::vector<TBlock> DataHead(const TSheet& S, const TMeasurement& M, const QTimeZone& Zone) {
    const TReadings& R = M.Readings;
    QString Note = QStringLiteral("pCi/L as the instrument printed it; Bq/m3 = pCi/L \u00d7 37, "
                                  "rounded to a whole number; events as the instrument marked "
                                  "them.");
    if (Summary::FirstHoursValues(R.IntervalMinutes) > 0)
        Note += QStringLiteral(" Grey rows: the first 4 hours, not in the EPA-protocol average.");
    if (R.Start.isValid() && R.IntervalMinutes > 0)
        Note += QStringLiteral(" Times are local (%1) at the start of each interval.")
                    .arg(QString::fromLatin1(Zone.id()));
    QString Monitor = Title;
    if (!R.SerialNumber.isEmpty())
        Monitor += QStringLiteral(", monitor ") + R.SerialNumber;
    return {Text(S, Monitor, Font(8.5), Muted, 0), Line(S, 3 * Pt),
            Text(S, QStringLiteral("Readings"), Font(13, true), Ink, 8 * Pt),
            Text(S, Note, Font(8.5), Muted, 3 * Pt)};
}

} // namespace

QString PaperName(TPaper Paper) {
    return Paper == TPaper::A4 ? QStringLiteral("A4") : QStringLiteral("Letter");
}

std::optional<TPaper> PaperFromName(const QString& Name) {
    for (const TPaper Paper : {TPaper::A4, TPaper::Letter})
        if (Name == PaperName(Paper))
            return Paper;
    return std::nullopt;
}

QByteArray Pdf(const QStringList& Lines, const TReportInfo& Info,
               const TCalibrationDates& Calibration, TUnit Unit, TPaper Paper,
               const QLocale& Locale, const QTimeZone& Zone) {
    const TMeasurement M = Measurement::Measure(Lines, Calibration, Unit, Locale, Zone);
    if (!M.Readings.Refusal.isEmpty())
        throw Exception(M.Readings.Refusal);

    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    QPdfWriter Writer(&Buffer);
    Writer.setResolution(Resolution);
    Writer.setPageSize(QPageSize(Paper == TPaper::A4 ? QPageSize::A4 : QPageSize::Letter));
    Writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    Writer.setTitle(Title);
    Writer.setCreator(QStringLiteral("Halvorn"));

    TSheet S;
    S.Device = &Writer;
    S.Body = QRectF(0, 0, Writer.width(), Writer.height())
                 .adjusted(50 * Pt, 36 * Pt, -50 * Pt, -48 * Pt);

    std::vector<TPage> Pages =
        Flow(FrontBlocks(S, Lines, Info, Calibration, M, Unit, Locale), S.Body);
    const std::vector<TBlock> Head = DataHead(S, M, Zone);
    const TGrid Grid = MakeGrid(S, M, Locale, S.Body.top() + Sum(Head) + 6 * Pt);
    const int Count = static_cast<int>(M.Readings.Values.size());
    for (int First = 0; First < Count; First += Grid.PerPage()) {
        TPage Page = Flow(Head, S.Body).front();
        Page.push_back(
            {[&S, &Grid, First](QPainter& P, double) { PaintGrid(P, S, Grid, First); }, 0});
        Pages.push_back(std::move(Page));
    }

    QPainter Painter;
    if (!Painter.begin(&Writer))
        throw Exception(QStringLiteral("The client report could not be laid out: the PDF "
                                       "writer did not start"));
    Painter.setRenderHint(QPainter::Antialiasing);
    const int Total = static_cast<int>(Pages.size());
    for (int n = 0; n < Total; ++n) {
        if (n > 0 && !Writer.newPage())
            throw Exception(QStringLiteral("The client report could not be laid out: the PDF "
                                           "writer refused page %1")
                                .arg(n + 1));
        for (const TPlaced& Piece : Pages[static_cast<size_t>(n)])
            Piece.Paint(Painter, Piece.Top);
        Painter.setFont(Font(8));
        Painter.setPen(Muted);
        Painter.drawText(QRectF(S.Body.left(), S.Body.bottom() + 18 * Pt, S.Body.width(), 14 * Pt),
                         Qt::AlignHCenter | Qt::AlignTop,
                         QStringLiteral("Page %1 of %2").arg(n + 1).arg(Total));
    }
    if (!Painter.end())
        throw Exception(QStringLiteral("The client report could not be laid out: the PDF "
                                       "writer did not finish"));
    return Bytes;
}

} // namespace ClientReport
