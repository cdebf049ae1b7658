#include "measurement/clientreport/ClientReport.h"

#include "measurement/Advisories.h"
#include "measurement/chart/ReadingsChart.h"
#include "platform/DateTimeText.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"
#include "report/StreamConventions.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QImageReader>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextLayout>
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

const QColor Ink(33, 33, 33);
const QColor Muted(105, 105, 105);
const QColor Rule(200, 200, 200);
const QColor Band(242, 245, 248);
const QColor Accent(31, 78, 121);
const QColor Above(183, 28, 28);
const QColor Between(176, 105, 0);
const QColor Below(46, 125, 50);

QString Latin1(std::string_view Bytes) {
    return QString::fromLatin1(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
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

// Text from the report, its information and the job as the page shows it: line breaks kept,
// every other control character (the bidirectional overrides among them) written out, and a
// text longer than a job field cut with its length said, never silently.
QStringList PageLines(const QString& Text) {
    QString Kept = Text;
    QString Cut;
    if (Kept.size() > Job::MaxFieldLength) {
        Cut = QStringLiteral("... (%1 characters)").arg(Kept.size());
        Kept.truncate(Job::MaxFieldLength);
    }
    QStringList Lines = Kept.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (QString& Line : Lines)
        Line = MessageText::Shown(Line, -1);
    Lines.last() += Cut;
    return Lines;
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

double Sum(const std::vector<TBlock>& Blocks) {
    double Total = 0;
    for (const TBlock& Block : Blocks)
        Total += Block.Height + Block.Before;
    return Total;
}

// What every block is measured against.
struct TSheet {
    QPaintDevice* Device = nullptr;
    QRectF Body; // the page inside its margins

    QFontMetricsF Metrics(const QFont& F) const { return QFontMetricsF(F, Device); }

    // Text broken into lines of at most Width, between words where it can and anywhere
    // where a word is longer than the line: nothing passes the page's edge.
    QStringList Wrap(const QString& Text, const QFont& F, double Width) const {
        QStringList Lines;
        for (const QString& Paragraph : PageLines(Text)) {
            if (Paragraph.isEmpty()) {
                Lines << QString();
                continue;
            }
            // A slash between letters or digits ("Bq/m3") is no place to break: the layout
            // breaks a copy with a slash that holds its neighbours together, the line shows
            // the text's own.
            QString Unbroken = Paragraph;
            for (qsizetype i = 1; i + 1 < Unbroken.size(); ++i)
                if (Unbroken[i] == u'/' && Unbroken[i - 1].isLetterOrNumber() &&
                    Unbroken[i + 1].isLetterOrNumber())
                    Unbroken[i] = QChar(0x2215);
            QTextLayout Layout(Unbroken, F, Device);
            QTextOption Option;
            Option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            Option.setTextDirection(Qt::LeftToRight);
            Layout.setTextOption(Option);
            Layout.beginLayout();
            for (QTextLine Line = Layout.createLine(); Line.isValid(); Line = Layout.createLine()) {
                Line.setLineWidth(Width);
                Lines << Paragraph.mid(Line.textStart(), Line.textLength()).trimmed();
            }
            Layout.endLayout();
        }
        return Lines;
    }
};

void DrawLine(QPainter& P, const TSheet& S, const QFont& F, const QColor& Colour, double Left,
              double Width, double Top, const QString& Text, int Align = Qt::AlignLeft) {
    const QFontMetricsF M = S.Metrics(F);
    double X = Left;
    if (Align == Qt::AlignHCenter)
        X += (Width - M.horizontalAdvance(Text)) / 2;
    else if (Align == Qt::AlignRight)
        X += Width - M.horizontalAdvance(Text);
    P.setFont(F);
    P.setPen(Colour);
    P.drawText(QPointF(X, Top + M.ascent()), Text);
}

// One block a line, so that a long text flows on to the next page like any other.
void AddText(std::vector<TBlock>& Blocks, const TSheet& S, const QString& Text, const QFont& F,
             const QColor& Colour, double Before, int Align = Qt::AlignLeft, double Indent = 0) {
    const QRectF Body = S.Body.adjusted(Indent, 0, 0, 0);
    const double Height = S.Metrics(F).lineSpacing();
    const QStringList Lines = S.Wrap(Text, F, Body.width());
    for (qsizetype i = 0; i < Lines.size(); ++i) {
        const QString Line = Lines[i];
        Blocks.push_back({Height, i == 0 ? Before : 0, [=, &S](QPainter& P, double Top) {
                              DrawLine(P, S, F, Colour, Body.left(), Body.width(), Top, Line,
                                       Align);
                          }});
    }
}

TBlock Line(const TSheet& S, double Before, const QColor& Colour = Rule) {
    const QRectF Body = S.Body;
    return {Pt, Before, [=](QPainter& P, double Top) {
                P.setPen(QPen(Colour, 0.75 * Pt));
                P.drawLine(QPointF(Body.left(), Top + Pt / 2), QPointF(Body.right(), Top + Pt / 2));
            }};
}

// A caption and its value.
using TField = std::pair<QString, QString>;

// Fields in two columns side by side (or one across the page when Right is empty), each a
// caption with its value beside it, wrapped, one block a line so that a long value flows on to
// the next page; a hairline under each row.
void AddFields(std::vector<TBlock>& Blocks, const TSheet& S, const std::vector<TField>& Left,
               const std::vector<TField>& Right = {}) {
    const QFont CaptionFont = Font(8.5), F = Font(9.5);
    const QRectF Body = S.Body;
    const double Pad = 2 * Pt, Gap = 18 * Pt, CaptionWidth = 80 * Pt;
    const double Column = Right.empty() ? Body.width() : (Body.width() - Gap) / 2;
    const double ValueWidth = Column - CaptionWidth;
    const double Height =
        std::max(S.Metrics(F).lineSpacing(), S.Metrics(CaptionFont).lineSpacing());
    const size_t Rows = std::max(Left.size(), Right.size());
    for (size_t Row = 0; Row < Rows; ++Row) {
        // Caption and value lines of each column present in this row.
        std::vector<std::pair<QStringList, QStringList>> Cells;
        for (const std::vector<TField>* Side : {&Left, &Right})
            Cells.emplace_back(
                Row < Side->size() ? S.Wrap((*Side)[Row].first, CaptionFont, CaptionWidth - Pad)
                                   : QStringList(),
                Row < Side->size() ? S.Wrap((*Side)[Row].second, F, ValueWidth) : QStringList());
        qsizetype Count = 1;
        for (const auto& [Captions, Values] : Cells)
            Count = std::max({Count, Captions.size(), Values.size()});
        for (qsizetype i = 0; i < Count; ++i) {
            const bool First = i == 0, Last = i == Count - 1;
            const double H = Height + (First ? Pad : 0) + (Last ? Pad : 0);
            std::vector<std::pair<QString, QString>> Line;
            for (const auto& [Captions, Values] : Cells)
                Line.emplace_back(Captions.value(i), Values.value(i));
            const bool Drawn[] = {!Left.empty() && Row < Left.size(),
                                  !Right.empty() && Row < Right.size()};
            Blocks.push_back(
                {H, 0, [=, &S](QPainter& P, double Top) {
                     const double Y = Top + (First ? Pad : 0);
                     for (size_t C = 0; C < Line.size(); ++C) {
                         if (!Drawn[C])
                             continue;
                         const double X = Body.left() + C * (Column + Gap);
                         DrawLine(P, S, CaptionFont, Muted, X, CaptionWidth, Y, Line[C].first);
                         DrawLine(P, S, F, Ink, X + CaptionWidth, ValueWidth, Y, Line[C].second);
                         if (Last) {
                             P.setPen(QPen(Rule, 0));
                             P.drawLine(QPointF(X, Top + H), QPointF(X + Column, Top + H));
                         }
                     }
                 }});
        }
    }
}

QColor BandColour(std::optional<TLevelBand> At) {
    if (!At)
        return Muted;
    switch (*At) {
    case TLevelBand::AtOrAbove:
        return Above;
    case TLevelBand::ConsiderFixing:
        return Between;
    default:
        return Below;
    }
}

const TCheck* FindCheck(const TMeasurement& M, const QString& Id) {
    for (const TCheck& Check : M.Checks)
        if (Check.Id == Id)
            return &Check;
    return nullptr;
}

// The result in large type in the chosen unit, the other smaller below it, and where it
// stands; the computed mean the instrument is checked against beside it.
TBlock Result(const TSheet& S, const TMeasurement& M, TUnit Unit) {
    const QRectF Body = S.Body;
    const double Pad = 6 * Pt;
    const double Half = (Body.width() - 3 * Pad) / 2;
    const TUnit Other = Unit == TUnit::PciL ? TUnit::BqM3 : TUnit::PciL;
    const TMean Value = Measurement::Result(M);
    const bool PostMitigation = M.Criteria.PostMitigation;
    const QFont Caption = Font(8.5), Big = Font(22, true), Second = Font(12), Plain = Font(9),
                Strong = Font(10.5, true);
    struct TPart {
        QString Text;
        QFont F;
        QColor Colour;
    };

    const QColor Level = BandColour(Measurement::Band(M));
    const auto ForPeople = [&Value](TUnit In) {
        return Units::ForPeople(Value.Sum, static_cast<std::uint32_t>(Value.Count), In);
    };
    const std::vector<TPart> Left{
        {PostMitigation ? QStringLiteral("Result: mean without the first 24 hours, computed")
                        : QStringLiteral("Result: EPA Protocol average, as the instrument reports"),
         Caption, Muted},
        {Value.Known() ? ForPeople(Unit) : QStringLiteral("None"), Big, Level},
        {Value.Known()    ? ForPeople(Other)
         : PostMitigation ? QStringLiteral("No reading follows the first 24 hours")
                          : QStringLiteral("The report gives no EPA Protocol figure"),
         Second, Level},
        {Measurement::ResultHeadline(M), Strong, Level},
        {M.Criteria.Level.Name + QStringLiteral(": ") +
             ReferenceLevels::ValueForPeople(M.Criteria.Level, Unit),
         Plain, Ink}};

    const TMean& Mean = M.Figures.MeanAfter4h;
    const TCheck* Agreement = FindCheck(M, QStringLiteral("agrees_epa_protocol"));
    QString Verdict = Agreement ? Agreement->Text : QString();
    QColor VerdictColour = Muted;
    if (Agreement && Agreement->Ok) {
        Verdict = *Agreement->Ok ? QStringLiteral("Agrees with the instrument's EPA Protocol "
                                                  "figure (within 0.1 pCi/L)")
                                 : QStringLiteral("Differs from the instrument's EPA Protocol "
                                                  "figure by more than 0.1 pCi/L");
        VerdictColour = *Agreement->Ok ? Below : Above;
    }
    const std::vector<TPart> Right{
        {QStringLiteral("Computed: the mean without the first 4 hours"), Caption, Muted},
        {Mean.Known() ? Mean.ForPeople(Unit) : QStringLiteral("Unknown"), Second, Ink},
        {Verdict, Plain, VerdictColour}};

    // Every part's lines, each with its font, colour and height.
    struct TShown {
        QString Text;
        QFont F;
        QColor Colour;
        double Height;
    };
    const auto Lay = [&S, Half](const std::vector<TPart>& Parts) {
        std::vector<TShown> Shown;
        for (const TPart& Part : Parts)
            if (!Part.Text.isEmpty())
                for (const QString& Line : S.Wrap(Part.Text, Part.F, Half))
                    Shown.push_back({Line, Part.F, Part.Colour, S.Metrics(Part.F).lineSpacing()});
        return Shown;
    };
    const std::vector<TShown> LeftLines = Lay(Left), RightLines = Lay(Right);
    const auto Tall = [](const std::vector<TShown>& Lines) {
        double Height = 0;
        for (const TShown& Line : Lines)
            Height += Line.Height;
        return Height;
    };
    const double Height = std::max(Tall(LeftLines), Tall(RightLines)) + 2 * Pad;
    return {Height, 6 * Pt, [=, &S](QPainter& P, double Top) {
                P.setPen(Qt::NoPen);
                P.setBrush(Band);
                P.drawRoundedRect(QRectF(Body.left(), Top, Body.width(), Height), 4 * Pt, 4 * Pt);
                P.setBrush(Qt::NoBrush);
                const auto Column = [&](double X, const std::vector<TShown>& Lines) {
                    double Y = Top + Pad;
                    for (const TShown& Line : Lines) {
                        DrawLine(P, S, Line.F, Line.Colour, X, Half, Y, Line.Text);
                        Y += Line.Height;
                    }
                };
                Column(Body.left() + Pad, LeftLines);
                const double Divider = Body.left() + Half + 1.5 * Pad;
                P.setPen(QPen(Rule, 0));
                P.drawLine(QPointF(Divider, Top + Pad), QPointF(Divider, Top + Height - Pad));
                Column(Body.left() + Half + 2 * Pad, RightLines);
            }};
}

TBlock Chart(const TSheet& S, const TMeasurement& M, TUnit Unit, double Height) {
    const QRectF Body = S.Body;
    return {Height, 8 * Pt, [=, &M](QPainter& P, double Top) {
                P.setFont(Font(7.5));
                ReadingsChart::Paint(P, QRectF(Body.left(), Top, Body.width(), Height), M, Unit,
                                     ReadingsChart::LightPalette());
            }};
}

void AddCheck(std::vector<TBlock>& Blocks, const TSheet& S, const TCheck& Check) {
    const QFont Mark = Font(8, true), F = Font(8);
    const QRectF Body = S.Body;
    const double Column = 64 * Pt;
    const QStringList Lines = S.Wrap(Check.Text, F, Body.width() - Column);
    const double Height = S.Metrics(F).lineSpacing();
    const QColor Colour = !Check.Ok                                ? Muted
                          : *Check.Ok                              ? Below
                          : Check.Id == QLatin1String("no_events") ? Between
                                                                   : Above;
    const QString Word = Measurement::Mark(Check);
    for (qsizetype i = 0; i < Lines.size(); ++i) {
        const QString Line = Lines[i];
        const bool First = i == 0;
        Blocks.push_back({Height, First ? 2 * Pt : 0, [=, &S](QPainter& P, double Top) {
                              if (First)
                                  DrawLine(P, S, Mark, Colour, Body.left(), Column, Top, Word);
                              DrawLine(P, S, F, Ink, Body.left() + Column, Body.width() - Column,
                                       Top, Line);
                          }});
    }
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

QImage ReadLogo(const QString& Path) {
    if (const QString Problem = LogoProblem(Path); !Problem.isEmpty())
        throw Exception(Problem);
    QImageReader Reader(Path);
    QImage Logo = Reader.read();
    if (Logo.isNull())
        throw Exception(QStringLiteral("The logo %1 cannot be read: %2")
                            .arg(MessageText::Quoted(Path), Reader.errorString()));
    return Logo;
}

// The logo at the left, the header lines (the company first) beside it.
void AddHeader(std::vector<TBlock>& Blocks, const TSheet& S, const QStringList& Header,
               const QString& LogoFile) {
    QImage Logo;
    double LogoWidth = 0, LogoHeight = 0;
    if (!LogoFile.isEmpty()) {
        Logo = ReadLogo(LogoFile);
        // At most 42 points high and three times that wide, never enlarged past 1 pixel a point.
        const double Most = 42 * Pt;
        const double Scale = std::min({Most / Logo.height(), 3 * Most / Logo.width(), Pt});
        LogoWidth = Logo.width() * Scale;
        LogoHeight = Logo.height() * Scale;
    }
    const double Indent = Logo.isNull() ? 0 : LogoWidth + 12 * Pt;
    std::vector<TBlock> Lines;
    for (qsizetype i = 0; i < Header.size(); ++i)
        AddText(Lines, S, Header[i], i == 0 ? Font(14, true) : Font(9.5), i == 0 ? Accent : Ink,
                i == 0 ? 0 : Pt, Qt::AlignLeft, Indent);
    if (!Logo.isNull()) {
        if (Lines.empty())
            Lines.push_back({0, 0, [](QPainter&, double) {}});
        const QRectF Body = S.Body;
        const auto PaintText = Lines.front().Paint;
        Lines.front().Paint = [=](QPainter& P, double Top) {
            P.drawImage(QRectF(Body.left(), Top, LogoWidth, LogoHeight), Logo);
            PaintText(P, Top);
        };
        // What follows starts below the logo, however few the lines beside it.
        if (const double Taken = Sum(Lines); Taken < LogoHeight)
            Lines.push_back({LogoHeight - Taken, 0, [](QPainter&, double) {}});
    }
    Blocks.insert(Blocks.end(), Lines.begin(), Lines.end());
    if (!Lines.empty())
        Blocks.push_back(Line(S, 4 * Pt, Accent));
}

QString Given(const QString& Text) {
    return Text.isEmpty() ? QStringLiteral("Not given in the report") : Text;
}

QString When(const QDateTime& At, const QLocale& Locale) {
    return At.isValid() ? DateTimeText::FormatDateTime(At, Locale)
                        : QStringLiteral("Unknown: the report gives no start");
}

std::vector<TBlock> FrontBlocks(const TSheet& S, const QStringList& Lines, const TParts& Parts,
                                const TMeasurement& M, TUnit Unit, const QLocale& Locale) {
    const TReadings& R = M.Readings;
    const TFigures& F = M.Figures;
    const TReportInfo& Info = Parts.Info;
    std::vector<TBlock> Blocks;
    AddHeader(Blocks, S, Info.Enabled ? Info.Header : QStringList(), Parts.Inspector.LogoFile);
    AddText(Blocks, S, Title, Font(18, true), Ink, 8 * Pt);

    const TJob& Job = Parts.Job;
    std::vector<TField> JobFields;
    for (const TField& Field : std::initializer_list<TField>{
             {QStringLiteral("Client"), Job.Client},
             {QStringLiteral("Address"), Job.Address},
             {QStringLiteral("Placement"), Job.Placement},
             {QStringLiteral("Test type"), Job::TestTypeForPeople(Job.TestType)},
             {QStringLiteral("Closed building"), Job::ConditionsForPeople(Job.Conditions)}})
        if (!Field.second.isEmpty())
            JobFields.push_back(Field);

    QString Location = Readings::LabelValue(Lines, SC::LabelLocation);
    if (Location.isEmpty() && Info.Enabled)
        Location = Info.Location;
    const QDate Calibrated = Parts.Info.Calibration.value(R.SerialNumber);
    const QString Readings =
        F.Count == 1 ? QStringLiteral("1 reading") : QStringLiteral("%1 readings").arg(F.Count);
    const QString Interval =
        R.IntervalMinutes > 0 ? Summary::DurationForPeople(R.IntervalMinutes) : QString();
    const QDateTime End = Readings::End(R);
    std::vector<TField> Measured{
        {QStringLiteral("Location"), Given(Location)},
        {QStringLiteral("Serial number"), Given(R.SerialNumber)},
        {QStringLiteral("Calibrated"),
         Calibrated.isValid() ? DateTimeText::FormatDate(Calibrated, Locale)
         : R.SerialNumber.isEmpty()
             ? QStringLiteral("Unknown: the report gives no serial number")
             : QStringLiteral("No calibration date recorded for this monitor")},
        {QStringLiteral("Start"), When(R.Start, Locale)},
        {QStringLiteral("End"), End.isValid() ? DateTimeText::FormatDateTime(End, Locale)
                                : R.Start.isValid()
                                    ? QStringLiteral("Unknown: the report gives no time interval")
                                    : QStringLiteral("Unknown: the report gives no start")},
        {QStringLiteral("Duration"),
         F.Minutes
             ? QStringLiteral("%1 (%2 \u00d7 %3)")
                   .arg(Summary::DurationForPeople(*F.Minutes), Readings, Interval)
             : QStringLiteral("Unknown: the report gives no time interval (%1)").arg(Readings)},
    };
    // The job at the left and the measurement at the right; without a job the monitor at the
    // left and the times at the right.
    if (JobFields.empty()) {
        JobFields.assign(Measured.begin(), Measured.begin() + 3);
        Measured.erase(Measured.begin(), Measured.begin() + 3);
    }
    Blocks.push_back(Line(S, 8 * Pt));
    AddFields(Blocks, S, JobFields, Measured);
    if (!Job.Notes.isEmpty())
        AddFields(Blocks, S, {{QStringLiteral("Notes"), Job.Notes}});

    const QColor VerdictColour = !M.Verdict.Valid ? Above : M.Verdict.Review ? Between : Below;
    AddText(Blocks, S, M.Verdict.Text, Font(11.5, true), VerdictColour, 8 * Pt);

    Blocks.push_back(Result(S, M, Unit));
    // The advice opens with where the result stands; an unknown result says so instead.
    if (!Measurement::Result(M).Known())
        AddText(Blocks, S,
                QStringLiteral("The result is unknown, so it cannot be placed against %1.")
                    .arg(ReferenceLevels::ForPeople(M.Criteria.Level, Unit)),
                Font(9.5), Ink, 6 * Pt);
    for (const QString& Advice : Advisories::ForResult(M.Criteria.Level, Measurement::Band(M),
                                                       M.Criteria.PostMitigation, Unit))
        AddText(Blocks, S, QStringLiteral("\u2022 ") + Advice, Font(9.5), Ink, 4 * Pt,
                Qt::AlignLeft, 6 * Pt);
    const size_t ChartAt = Blocks.size();
    AddText(Blocks, S, QStringLiteral("Checks"), Font(10.5, true), Ink, 8 * Pt);
    for (const TCheck& C : M.Checks)
        AddCheck(Blocks, S, C);

    const TInspector& Inspector = Parts.Inspector;
    if (!Inspector.Name.isEmpty() || !Inspector.Certification.isEmpty() ||
        Inspector.SignatureLine) {
        Blocks.push_back(Line(S, 10 * Pt));
        std::vector<TField> Who, Number;
        if (!Inspector.Name.isEmpty())
            Who.push_back({QStringLiteral("Inspector"), Inspector.Name});
        if (!Inspector.Certification.isEmpty())
            (Who.empty() ? Who : Number)
                .push_back({QStringLiteral("Certification"), Inspector.Certification});
        if (!Who.empty())
            AddFields(Blocks, S, Who, Number);
        if (Inspector.SignatureLine) {
            const QRectF Body = S.Body;
            const QFont Small = Font(8.5);
            const double Height = 26 * Pt;
            Blocks.push_back(
                {Height, 0, [=, &S](QPainter& P, double Top) {
                     const double Y = Top + 15 * Pt;
                     const double Gap = 24 * Pt;
                     const double Sign = (Body.width() - Gap) * 0.62;
                     P.setPen(QPen(Ink, 0.75 * Pt));
                     P.drawLine(QPointF(Body.left(), Y), QPointF(Body.left() + Sign, Y));
                     P.drawLine(QPointF(Body.left() + Sign + Gap, Y), QPointF(Body.right(), Y));
                     DrawLine(P, S, Small, Muted, Body.left(), Sign, Y + 2 * Pt,
                              QStringLiteral("Signature"));
                     DrawLine(P, S, Small, Muted, Body.left() + Sign + Gap,
                              Body.width() - Sign - Gap, Y + 2 * Pt, QStringLiteral("Date"));
                 }});
        }
    }

    const QStringList Footer = Info.Enabled ? Info.Footer : QStringList();
    std::vector<TBlock> Foot;
    if (!Footer.isEmpty())
        Foot.push_back(Line(S, 12 * Pt));
    for (const QString& Text : Footer)
        AddText(Foot, S, Text, Font(8.5), Muted, Pt, Qt::AlignHCenter);
    for (TBlock& Block : Foot)
        Block.Bottom = true;
    Blocks.insert(Blocks.end(), Foot.begin(), Foot.end());

    // The chart takes the room left on the first page, within reason.
    const double Free = S.Body.height() - Sum(Blocks) - 10 * Pt;
    const double Height = std::clamp(Free, 100 * Pt, 300 * Pt);
    Blocks.insert(Blocks.begin() + static_cast<long>(ChartAt), Chart(S, M, Unit, Height));
    return Blocks;
}

// The readings table: columns of interval, date and time, the chosen unit, the other unit and
// events, as many side by side as fit, filled top to bottom.
struct TGrid {
    const TMeasurement& M;
    TUnit Unit;
    std::vector<QString> Times{};     // empty when the start or the interval is unknown
    std::vector<QString> Becquerel{}; // "" for an invalid value
    QFont Head = Font(8, true), Cell = Font(8);
    double Widths[5] = {};
    double Pad = 5 * Pt, Gap = 14 * Pt, RowHeight = 0, HeadHeight = 0;
    int Groups = 1, Rows = 1;
    double GroupWidth = 0;
    int Skipped = 0; // values left out of the result, greyed
    QRectF Table{};

    int PerPage() const { return Groups * Rows; }
    // The column of pCi/L and of Bq/m3: the chosen unit's first.
    int PciColumn() const { return Unit == TUnit::PciL ? 2 : 3; }
    int BqColumn() const { return Unit == TUnit::PciL ? 3 : 2; }
};

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
        const QDateTime At = Readings::IntervalStart(R, static_cast<qint64>(k));
        const QDate Date = At.date();
        const QTime Time = At.time();
        if (Date != LastDate) {
            LastDate = Date;
            DateText = DateTimeText::FormatDate(Date, Locale);
        }
        auto Found = TimeText.find(Time.msecsSinceStartOfDay());
        if (Found == TimeText.end())
            Found = TimeText.insert(Time.msecsSinceStartOfDay(),
                                    DateTimeText::FormatTime(Time, Locale));
        Texts.push_back(DateText + u' ' + *Found);
    }
    return Texts;
}

QString Heading(const TGrid& G, int Column) {
    if (Column == G.PciColumn())
        return Units::Name(TUnit::PciL);
    if (Column == G.BqColumn())
        return Units::Name(TUnit::BqM3);
    static const QString Others[] = {QStringLiteral("No."), QStringLiteral("Date and time"),
                                     QString(), QString(), QStringLiteral("Events")};
    return Others[Column];
}

TGrid MakeGrid(const TSheet& S, const TMeasurement& M, TUnit Unit, const QLocale& Locale,
               double Top) {
    TGrid G{M, Unit};
    G.Times = TimeTexts(M.Readings, Locale);
    const QFontMetricsF Head = S.Metrics(G.Head), Cell = S.Metrics(G.Cell);
    for (int i = 0; i < 5; ++i)
        G.Widths[i] = Head.horizontalAdvance(Heading(G, i));
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
            Value.Valid()
                ? QString::fromStdString(Units::Rounded(*Value.PciL(), 1, TUnit::BqM3).Text())
                : QString());
        Widen(G.BqColumn(), G.Becquerel.back());
        if (Value.Valid())
            Widen(G.PciColumn(), Latin1(Value.Text()));
    }
    // Values that are not numbers may be long: they are cut to the widest number's room.
    G.Widths[G.PciColumn()] =
        std::max(G.Widths[G.PciColumn()], Cell.horizontalAdvance(QStringLiteral("000.0")));
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
    G.Skipped = Summary::ValuesLeftOut(M.Readings.IntervalMinutes, M.Criteria.PostMitigation);
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
            Draw(i, HeadBaseline, Heading(G, i), Head);
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
            Draw(G.PciColumn(), Baseline, MessageText::Shown(Latin1(Value.Text()), 40), Cell);
            Draw(G.BqColumn(), Baseline,
                 Value.Valid() ? G.Becquerel[static_cast<size_t>(k)] : QStringLiteral("-"), Cell);
            Draw(4, Baseline, Latin1(Value.Events()), Cell);
        }
    }
}

// The data pages' head: what they belong to and how to read them.
std::vector<TBlock> DataHead(const TSheet& S, const TMeasurement& M, const QTimeZone& Zone) {
    const TReadings& R = M.Readings;
    QString Note = QStringLiteral("pCi/L as the instrument printed it; Bq/m3 = pCi/L \u00d7 37, "
                                  "rounded to a whole number; events as the instrument marked "
                                  "them.");
    if (Summary::ValuesLeftOut(R.IntervalMinutes, M.Criteria.PostMitigation) > 0)
        Note += M.Criteria.PostMitigation
                    ? QStringLiteral(" Grey rows: the first 24 hours after mitigation, not in "
                                     "the result.")
                    : QStringLiteral(" Grey rows: the first 4 hours, not in the EPA-protocol "
                                     "average.");
    if (R.Start.isValid() && R.IntervalMinutes > 0)
        Note += QStringLiteral(" Times are local (%1) at the start of each interval.")
                    .arg(QString::fromLatin1(Zone.id()));
    QString Monitor = Title;
    if (!R.SerialNumber.isEmpty())
        Monitor += QStringLiteral(", monitor ") + R.SerialNumber;
    std::vector<TBlock> Blocks;
    AddText(Blocks, S, Monitor, Font(8.5), Muted, 0);
    Blocks.push_back(Line(S, 3 * Pt));
    AddText(Blocks, S, QStringLiteral("Readings"), Font(13, true), Ink, 8 * Pt);
    AddText(Blocks, S, Note, Font(8.5), Muted, 3 * Pt);
    return Blocks;
}

} // namespace

QString LogoProblem(const QString& Path) {
    const QString Shown = MessageText::Quoted(Path);
    const QFileInfo File(Path);
    if (!File.exists())
        return QStringLiteral("The logo %1 does not exist").arg(Shown);
    if (!File.isFile())
        return QStringLiteral("The logo %1 is not a file").arg(Shown);
    if (File.size() > MaxLogoBytes)
        return QStringLiteral("The logo %1 is larger than %2 MiB: choose a smaller picture")
            .arg(Shown)
            .arg(MaxLogoBytes >> 20);
    QImageReader Reader(Path);
    Reader.setDecideFormatFromContent(true);
    const QByteArray Format = Reader.format();
    if (Format != "png" && Format != "jpeg")
        return QStringLiteral("The logo %1 is not a PNG or JPEG picture").arg(Shown);
    const QSize Size = Reader.size();
    if (!Size.isValid() || Size.width() > MaxLogoSide || Size.height() > MaxLogoSide)
        return QStringLiteral("The logo %1 must be at most %2 pixels wide and high")
            .arg(Shown)
            .arg(MaxLogoSide);
    return {};
}

QByteArray Pdf(const QStringList& Lines, const TParts& Parts, TUnit Unit, TPaper Paper,
               const QLocale& Locale, const QTimeZone& Zone) {
    TCriteria Criteria;
    Criteria.Calibration = Parts.Info.Calibration;
    Criteria.Level = Parts.Level;
    Criteria.PostMitigation = Parts.Job.TestType == TTestType::PostMitigation;
    const TMeasurement M = Measurement::Measure(Lines, Criteria, Unit, Locale, Zone);
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

    std::vector<TPage> Pages = Flow(FrontBlocks(S, Lines, Parts, M, Unit, Locale), S.Body);
    const std::vector<TBlock> Head = DataHead(S, M, Zone);
    const TGrid Grid = MakeGrid(S, M, Unit, Locale, S.Body.top() + Sum(Head) + 6 * Pt);
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
        DrawLine(Painter, S, Font(8), Muted, S.Body.left(), S.Body.width(),
                 S.Body.bottom() + 18 * Pt, QStringLiteral("Page %1 of %2").arg(n + 1).arg(Total),
                 Qt::AlignHCenter);
    }
    if (!Painter.end())
        throw Exception(QStringLiteral("The client report could not be laid out: the PDF "
                                       "writer did not finish"));
    return Bytes;
}

} // namespace ClientReport
