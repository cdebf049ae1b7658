#include "../MeasurementTestHelpers.h"
#include "measurement/clientreport/ClientReport.h"
#include "platform/Exception.h"

#include "TestSupport.h"

#include <QImage>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

const QLocale English(QLocale::English, QLocale::UnitedStates);

TReportInfo Info() {
    TReportInfo Info;
    Info.Enabled = true;
    Info.Header << "Radon Services Ltd."
                << "Phone 555-0100";
    Info.Footer << "Tested by A. Tester, certified radon measurement professional";
    return Info;
}

const TCalibrationDates Calibration{{"4410-0815", QDate(2025, 11, 20)}};

ClientReport::TParts Parts(const TReportInfo& Information = Info(),
                           const TCalibrationDates& Dates = Calibration) {
    ClientReport::TParts P;
    P.Info = Information;
    P.Info.Calibration = Dates;
    return P;
}

// The output of a poppler tool run on Pdf (-layout text, or pdfinfo).
QString Poppler(const QString& Tool, const QByteArray& Pdf, QStringList Arguments = {}) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("report.pdf");
    QFile File(Path);
    EXPECT_TRUE(File.open(QIODevice::WriteOnly));
    File.write(Pdf);
    File.close();
    QProcess Process;
    Process.start(Tool,
                  Arguments << Path << (Tool == "pdftotext" ? QStringList{"-"} : QStringList{}));
    EXPECT_TRUE(Process.waitForFinished(60000)) << Tool.toStdString();
    EXPECT_EQ(Process.exitCode(), 0) << Process.readAllStandardError().toStdString();
    return QString::fromUtf8(Process.readAllStandardOutput());
}

QString Text(const QByteArray& Pdf) {
    return Poppler("pdftotext", Pdf, {"-layout"});
}

// Count hourly readings in the instrument's shape, eight a line; value k is (k mod 50) / 10
// but every 97th, which is not a number; every 17th carries a T.
QStringList LongReport(int Count) {
    QStringList Table;
    QString Row = " ";
    for (int k = 1; k <= Count; ++k) {
        const QString Value = k % 97 == 0 ? "--.-" : QString::number(k % 50 / 10.0, 'f', 1);
        Row += QString(k % 17 == 0 ? "T" : "").rightJustified(3) + ' ' + Value.rightJustified(4);
        if (k % 8 == 0 || k == Count) {
            Table << Row + ' ';
            Row = " ";
        }
    }
    return Report(Table, "Time Interval   1 Hr",
                  {"Serial #   : 4410-0815", "Start Date : 3/5/2026", "Start Time : 4:00:00 PM"});
}

// The text's pages, each checked for its "Page n of m".
QStringList NumberedPages(const QString& All) {
    const QStringList Pages = All.split('\f', Qt::SkipEmptyParts);
    for (qsizetype n = 0; n < Pages.size(); ++n)
        EXPECT_TRUE(Pages[n].contains(QString("Page %1 of %2").arg(n + 1).arg(Pages.size())))
            << n + 1 << Pages[n].toStdString();
    return Pages;
}

QByteArray Fixture48(TPaper Paper = TPaper::A4) {
    return ClientReport::Pdf(Fixture("current_48h.txt"), Parts(), TUnit::PciL, Paper, English,
                             Chicago);
}

TEST(ClientReport, FirstPageCarriesTheParticularsResultAndChecks) {
    const QByteArray Pdf = Fixture48();
    ASSERT_TRUE(Pdf.startsWith("%PDF"));
    const QString All = Text(Pdf);
    const QString Page1 = All.section('\f', 0, 0);
    for (const QString Expected :
         {"Radon Services Ltd.", "Phone 555-0100", "Radon Measurement Report",
          "12 Elm Street, basement", "4410-0815", "11/20/2025", "3/5/2026 4:05:09 PM",
          "3/7/2026 4:05:09 PM", "48 hours (48 readings \u00d7 1 hour)", "4.6 pCi/L", "170 Bq/m3",
          "is at or above the EPA action level of 4.0 pCi/L (148 Bq/m3)", "Tested by A. Tester",
          "Valid test, with points to review: events are marked", "Fix the building",
          "Test again at least every 5 years", "Page 1 of 2"})
        EXPECT_TRUE(Page1.contains(Expected)) << Expected.toStdString();
    // The checks, each with its verdict, in their order.
    const QRegularExpression Checks(
        "Passed\\s+The test lasted 48 hours.*Passed\\s+The report's end.*Passed\\s+All 48 "
        "values.*Review\\s+Events are marked.*Passed\\s+The monitor 4410-0815 was "
        "calibrated.*At or above\\s+EPA protocol average",
        QRegularExpression::DotMatchesEverythingOption);
    EXPECT_TRUE(Checks.match(Page1).hasMatch()) << Page1.toStdString();
    EXPECT_EQ(NumberedPages(All).size(), 2);
}

// The chosen unit leads every concentration; the result is placed against the chosen level in
// that level's own unit, as reported.
TEST(ClientReport, ResultInTheChosenUnitAgainstTheChosenLevel) {
    const struct {
        const char* Epa;
        TReferenceLevel Level;
        TUnit Unit;
        const char* Sentence; // parts in their order
        const char* Verdict;
    } Cases[] = {
        {"3.95", ReferenceLevels::Epa(), TUnit::PciL,
         "4.0 pCi/L|146 Bq/m3|At or above the reference",
         "Fix the building: the result is at or above the EPA action level of 4.0 pCi/L (148 "
         "Bq/m3)"},
        {"3.9", ReferenceLevels::Epa(), TUnit::PciL, "3.9 pCi/L|144 Bq/m3|Below the reference",
         "Consider fixing the building: the result is below the EPA action level of 4.0 pCi/L "
         "(148 Bq/m3) but at or above 2.0 pCi/L (74 Bq/m3)"},
        {"1.9", ReferenceLevels::Epa(), TUnit::PciL, "1.9 pCi/L|70 Bq/m3|Below the reference",
         "The result is below the EPA action level of 4.0 pCi/L (148 Bq/m3). Radon carries"},
        {"4.6", ReferenceLevels::Eu(), TUnit::BqM3, "170 Bq/m3|4.6 pCi/L|Below the reference",
         "The result is below the EU reference level of 300 Bq/m3 (8.1 pCi/L)"},
    };
    for (const auto& Case : Cases) {
        QStringList Lines = Report({" 1.0 2.0 "});
        Lines.replaceInStrings(QRegularExpression("^EPA Protocol.*"),
                               QString("EPA Protocol   %1 pCi/l").arg(Case.Epa));
        ClientReport::TParts P = Parts();
        P.Level = Case.Level;
        const QString Page =
            Text(ClientReport::Pdf(Lines, P, Case.Unit, TPaper::A4, English, Chicago)).simplified();
        // The result's parts, the chosen unit first.
        qsizetype At = 0;
        for (const QString& Part : QString(Case.Sentence).split('|')) {
            At = Page.indexOf(Part, At);
            EXPECT_GE(At, 0) << Case.Epa << " " << Part.toStdString();
        }
        EXPECT_TRUE(Page.contains(Case.Verdict)) << Case.Epa;
        // The chart's line in the chosen unit.
        EXPECT_TRUE(
            Page.contains(Case.Level.Name + ' ' + ReferenceLevels::ValueIn(Case.Level, Case.Unit)))
            << Case.Epa;
    }
}

// Every reading on the data pages, in order, and "Page n of m" right on every page.
TEST(ClientReport, TenThousandReadingsAllPresentAndPagesNumbered) {
    const int Count = 10000;
    const QString All = Text(ClientReport::Pdf(LongReport(Count), Parts(), TUnit::BqM3,
                                               TPaper::Letter, English, Chicago));
    const QStringList Pages = NumberedPages(All);
    ASSERT_GT(Pages.size(), 2);
    std::vector<bool> Seen(Count + 1, false);
    // A row: number, date, time, Bq/m3 (or "-") first as chosen, pCi/L as printed, optional T.
    const QRegularExpression Row("(\\d+)\\s+(\\d+/\\d+/\\d{4}) (\\d+:\\d\\d:\\d\\d "
                                 "[AP]M)\\s+(\\d+|-)\\s+(\\d\\.\\d|--\\.-)");
    for (qsizetype n = 1; n < Pages.size(); ++n) {
        for (auto Match = Row.globalMatch(Pages[n]); Match.hasNext();) {
            const auto M = Match.next();
            const int K = M.captured(1).toInt();
            ASSERT_TRUE(K >= 1 && K <= Count) << M.captured(0).toStdString();
            const QString Expected = K % 97 == 0 ? "--.-" : QString::number(K % 50 / 10.0, 'f', 1);
            EXPECT_EQ(M.captured(5), Expected) << K;
            const QDateTime At =
                QDateTime(QDate(2026, 3, 5), QTime(16, 0), Chicago).addSecs(3600LL * (K - 1));
            EXPECT_EQ(M.captured(2), At.date().toString("M/d/yyyy")) << K;
            EXPECT_EQ(M.captured(3), English.toString(At.time(), "h:mm:ss AP")) << K;
            Seen[K] = true;
        }
    }
    for (int K = 1; K <= Count; ++K)
        ASSERT_TRUE(Seen[K]) << "reading " << K << " missing";
}

TEST(ClientReport, PaperSizeIsTheOneAsked) {
    for (const auto& [Paper, Size] : {std::pair{TPaper::A4, "595 x 842 pts (A4)"},
                                      std::pair{TPaper::Letter, "612 x 792 pts (letter)"}}) {
        const QString Info = Poppler("pdfinfo", Fixture48(Paper));
        EXPECT_TRUE(Info.contains(Size)) << Info.toStdString();
    }
    EXPECT_EQ(Paper::FromName("Letter"), TPaper::Letter);
    EXPECT_EQ(Paper::FromName("letter"), std::nullopt);
    // The default paper follows the territory: Letter for US testers, A4 in Europe.
    EXPECT_EQ(Paper::LocalePaper(QLocale("en_US")), TPaper::Letter);
    EXPECT_EQ(Paper::LocalePaper(QLocale("en_CA")), TPaper::Letter);
    EXPECT_EQ(Paper::LocalePaper(QLocale("en_GB")), TPaper::A4);
    EXPECT_EQ(Paper::LocalePaper(QLocale("de_DE")), TPaper::A4);
}

// Fonts embedded; the chart drawn, not pasted in as a picture.
TEST(ClientReport, FontsEmbeddedNoImages) {
    const QByteArray Pdf = Fixture48();
    EXPECT_EQ(Poppler("pdfimages", Pdf, {"-list"}).count('\n'), 2);
    const QString Fonts = Poppler("pdffonts", Pdf);
    const QStringList Rows = Fonts.split('\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(Rows.isEmpty());
    for (const QString& Row : Rows)
        // Embedded, with a Unicode map (so the text can be searched).
        EXPECT_TRUE(Row.contains(QRegularExpression("\\s+yes\\s+(yes|no)\\s+yes\\s+")))
            << Row.toStdString();
}

TEST(ClientReport, WithoutReadingsTableRefusedWithTheModelsMessage) {
    try {
        ClientReport::Pdf({"HALVORN 4410", "Overall Avg 1.0"}, Parts(), TUnit::PciL, TPaper::A4,
                          English, Chicago);
        FAIL() << "no exception";
    } catch (const Exception& E) {
        EXPECT_TRUE(E.Message.startsWith("No readings table in this report: ")) << E.what();
    }
}

// An empty table, no start, no interval, an invalid value and long texts still give pages
// whose texts are all there.
TEST(ClientReport, UnknownsAndOddTextsStillLaidOut) {
    TReportInfo Long = Info();
    Long.Header = QStringList(40, QString(500, 'H'));
    const struct {
        QStringList Lines;
        TReportInfo Info;
        const char* Expected;
    } Cases[] = {
        {Report({}), Info(), "0 hours (0 readings"},
        {Report({" 1.0 abcdefghijklmnopqrstuvwxyz 2.0 "}, "Time Interval"), Info(),
         "The duration is unknown"},
        {Report({" 1.0 "}), Long, "Tested by A. Tester"},
    };
    for (const auto& Case : Cases) {
        const QString All = Text(ClientReport::Pdf(Case.Lines, Parts(Case.Info, {}), TUnit::PciL,
                                                   TPaper::A4, English, Chicago));
        EXPECT_TRUE(All.simplified().contains(Case.Expected)) << Case.Expected << All.toStdString();
        EXPECT_TRUE(All.contains("Radon Measurement Report"));
        NumberedPages(All);
    }
}

// Page Page (from 1) of Pdf as pixels at Dpi (only its LeftPoints when given), with its words'
// boxes in those pixels.
struct TRendered {
    QImage Image;
    std::vector<std::pair<QString, QRectF>> Words;
    double Width = 0; // the page's, in points
};

TRendered Render(const QByteArray& Pdf, int Page, int Dpi, int LeftPoints = 0) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("r.pdf");
    TestSupport::WriteFile(Path, Pdf);
    const QString N = QString::number(Page);
    QStringList Crop;
    if (LeftPoints > 0)
        Crop << "-x"
             << "0"
             << "-y"
             << "0"
             << "-W" << QString::number(LeftPoints * Dpi / 72) << "-H"
             << QString::number(11 * Dpi * 2);
    QProcess::execute("pdftoppm", QStringList{"-f", N, "-l", N, "-r", QString::number(Dpi), "-png",
                                              "-singlefile"} +
                                      Crop + QStringList{Path, Dir.filePath("page")});
    TRendered R;
    R.Image = QImage(Dir.filePath("page.png")).convertToFormat(QImage::Format_RGB32);
    const QString Boxes = Poppler("pdftotext", Pdf, {"-bbox", "-f", N, "-l", N});
    R.Width = QRegularExpression("<page width=\"([0-9.]+)\"").match(Boxes).captured(1).toDouble();
    const QRegularExpression Word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
                                  "yMax=\"([0-9.]+)\">([^<]*)</word>");
    const double Scale = Dpi / 72.0;
    for (auto It = Word.globalMatch(Boxes); It.hasNext();) {
        const auto M = It.next();
        R.Words.push_back(
            {M.captured(5),
             QRectF(QPointF(M.captured(1).toDouble(), M.captured(2).toDouble()) * Scale,
                    QPointF(M.captured(3).toDouble(), M.captured(4).toDouble()) * Scale)});
    }
    return R;
}

// The ink of a word: its darkest pixel, which lies inside a stroke.
QColor Ink(const QImage& Image, const QRectF& Box) {
    QColor Darkest(Qt::white);
    const QRect Area = Box.toAlignedRect().intersected(Image.rect());
    for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
        for (int X = Area.left(); X <= Area.right(); ++X) {
            const QColor C = Image.pixelColor(X, Y);
            if (C.red() + C.green() + C.blue() < Darkest.red() + Darkest.green() + Darkest.blue())
                Darkest = C;
        }
    return Darkest;
}

bool Near(const QColor& A, const QColor& B) {
    return std::abs(A.red() - B.red()) + std::abs(A.green() - B.green()) +
               std::abs(A.blue() - B.blue()) <
           45;
}

// The colours as the client sees them: the result in the colour of its band, and exactly the
// readings left out of the result greyed in the table.
TEST(ClientReport, ColoursOnTheRenderedPage) {
    const QColor Red(183, 28, 28), Amber(176, 105, 0), Green(46, 125, 50);
    const QStringList Labels{"Serial #   : 4410-0815", "Start Date : 3/5/2026",
                             "Start Time : 4:00:00 PM"};
    const struct {
        const char *Epa, *Shown;
        TReferenceLevel Level;
        TTestType Type;
        QColor Result;
        int Grey;
    } Cases[] = {
        {"4.0", "4.0", ReferenceLevels::Epa(), TTestType::Initial, Red, 4},
        {"3.95", "4.0", ReferenceLevels::Epa(), TTestType::Initial, Red, 4},
        {"3.9", "3.9", ReferenceLevels::Epa(), TTestType::Initial, Amber, 4},
        {"1.9", "1.9", ReferenceLevels::Epa(), TTestType::Initial, Green, 4},
        {"4.0", "4.0", ReferenceLevels::Eu(), TTestType::Initial, Green, 4},
        {"9.9", "1.0", ReferenceLevels::Epa(), TTestType::PostMitigation, Green, 24},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(std::string(Case.Epa) + " " + Case.Level.Name.toStdString());
        QStringList Table;
        for (int K = 1; K <= 48; ++K)
            Table << " 1.0 ";
        QStringList Lines = Report(Table, "Time Interval 1 Hr", Labels);
        Lines.replaceInStrings(QRegularExpression("^EPA Protocol.*"),
                               QString("EPA Protocol   %1 pCi/l").arg(Case.Epa));
        ClientReport::TParts P = Parts();
        P.Level = Case.Level;
        P.Job.TestType = Case.Type;
        const QByteArray Pdf =
            ClientReport::Pdf(Lines, P, TUnit::PciL, TPaper::A4, English, Chicago);

        const TRendered Front = Render(Pdf, 1, 150);
        const std::pair<QString, QRectF>* Big = nullptr;
        for (const auto& Word : Front.Words)
            if (Word.first == Case.Shown && (!Big || Word.second.height() > Big->second.height()))
                Big = &Word;
        ASSERT_TRUE(Big);
        EXPECT_TRUE(Near(Ink(Front.Image, Big->second), Case.Result))
            << Ink(Front.Image, Big->second).name().toStdString();

        // Row numbers stand at the table's left edge.
        const TRendered Data = Render(Pdf, 2, 300, 100);
        for (int K = 1; K <= 30; ++K) {
            const auto Row = std::find_if(Data.Words.begin(), Data.Words.end(), [&](const auto& W) {
                return W.first == QString::number(K) && W.second.left() < 300 * 90 / 72;
            });
            ASSERT_NE(Row, Data.Words.end()) << K;
            const QColor Shown = Ink(Data.Image, Row->second);
            EXPECT_EQ(Shown.red() > 70, K <= Case.Grey) << K << " " << Shown.name().toStdString();
        }
    }
}

// Control characters and direction overrides are shown escaped, a word longer than a line is
// broken inside the page, and no character is lost.
TEST(ClientReport, HostileTextEscapedAndKeptInsideThePage) {
    ClientReport::TParts P = Parts();
    P.Job.Client = QString("Eve ") + QChar(0x202E) + "gnp.exe \x1b[31mred";
    P.Job.Notes = QString(1500, QChar(0xA7)) + "\n" + QString(300, QChar(0xA4));
    P.Inspector.Name = QString(40, 'W') + ' ' + QString(QChar(0x05D0)) + QString(300, QChar(0x416));
    const QByteArray Pdf =
        ClientReport::Pdf(Report({" 1.0 "}), P, TUnit::PciL, TPaper::Letter, English, Chicago);
    const QString Text = Poppler("pdftotext", Pdf, {"-raw"});
    EXPECT_TRUE(Text.contains("Eve \\u202egnp.exe \\x1b[31mred")) << Text.toStdString();
    EXPECT_FALSE(Text.contains(QChar(0x202E)));
    EXPECT_EQ(Text.count(QChar(0xA7)), 1500);
    EXPECT_EQ(Text.count(QChar(0xA4)), 300);
    EXPECT_EQ(Text.count(QChar(0x416)), 300);
    const TRendered Page = Render(Pdf, 1, 72);
    for (const auto& [Word, Box] : Page.Words)
        EXPECT_TRUE(Box.left() >= 36 && Box.right() <= Page.Width - 36)
            << Word.left(20).toStdString() << " " << Box.left() << "-" << Box.right();
}

// A 36-hour test is no valid test, whatever end the report's labels give; the measured end
// and every time follow the locale, midnight included.
TEST(ClientReport, ShortTestNotValidWithItsMeasuredEnd) {
    const struct {
        QLocale Locale;
        QStringList Labels;
        const char *End, *Midnight;
    } Cases[] = {
        {English,
         {"Start Date : 12/5/2026", "Start Time : 9:00:00 AM", "End Date   : 12/7/2026",
          "End Time   : 9:00:00 AM"},
         "12/6/2026 9:00:00 PM",
         "12/6/2026 12:00:00 AM"},
        {QLocale("de_DE"),
         {"Start Date : 05.12.2026", "Start Time : 09:00:00", "End Date   : 07.12.2026",
          "End Time   : 09:00:00"},
         "06.12.2026 21:00:00",
         "06.12.2026 00:00:00"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.End);
        QStringList Table;
        for (int K = 1; K <= 36; ++K)
            Table << " 2.0 ";
        const QString All =
            Text(ClientReport::Pdf(Report(Table, "Time Interval 1 Hr", Case.Labels), Parts(),
                                   TUnit::PciL, TPaper::A4, Case.Locale, Chicago))
                .simplified();
        EXPECT_TRUE(All.contains("Not a valid test: it lasted less than 48 hours; the report's "
                                 "end differs from the end of the readings"))
            << All.toStdString();
        EXPECT_TRUE(All.contains(QString("End ") + Case.End)) << All.toStdString();
        EXPECT_TRUE(All.contains(QString("but the readings end at ") + Case.End));
        EXPECT_TRUE(All.contains(Case.Midnight));
        EXPECT_FALSE(Case.Locale != English && All.contains("12:00:00 AM"));
    }
}

} // namespace
