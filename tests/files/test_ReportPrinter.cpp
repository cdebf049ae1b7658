#include "files/ReportPrinter.h"

#include <QFile>
#include <QFont>
#include <QMap>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr double PointsPerPixel = 72.0 / 600.0;

struct TWord {
    int Page; // from 0
    double X, Y, Width;
};

struct TPdfText {
    int Pages = 0;
    QMap<QString, TWord> Words;
    QList<int> WordsPerPage;
};

// A Letter page without margins at 600 dpi: 6600 printable pixels, as in the worked example.
void SetUpPdf(QPrinter& Printer, const QString& Path) {
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(Path);
    Printer.setResolution(600);
    Printer.setPageSize(QPageSize(QPageSize::Letter));
    Printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

// Word positions in points from the page's top-left, read back by poppler.
TPdfText ReadPdf(const QString& Path) {
    TPdfText Text;
    QProcess Process;
    Process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-bbox"), Path, QStringLiteral("-")});
    if (!Process.waitForFinished(30000) || Process.exitCode() != 0)
        return Text;
    const QString Html = QString::fromUtf8(Process.readAllStandardOutput());
    static const QRegularExpression Tag(
        QStringLiteral("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
                       "xMax=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    for (auto Match = Tag.globalMatch(Html); Match.hasNext();) {
        const auto M = Match.next();
        if (M.captured(0) == QLatin1String("<page ")) {
            ++Text.Pages;
            Text.WordsPerPage << 0;
            continue;
        }
        ++Text.WordsPerPage.last();
        const double X = M.captured(1).toDouble();
        Text.Words.insert(M.captured(4), {Text.Pages - 1, X, M.captured(2).toDouble(),
                                          M.captured(3).toDouble() - X});
    }
    return Text;
}

QStringList NumberedLines(int Count) {
    QStringList Lines;
    for (int i = 0; i < Count; ++i)
        Lines << QStringLiteral("L%1").arg(i, 3, 10, QLatin1Char('0'));
    return Lines;
}

class ReportPrinterTest : public testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        ASSERT_TRUE(FDir.isValid());
    }
    TPdfText Print(const QStringList& Lines, int PointSize) {
        const QString Path = FDir.filePath(QStringLiteral("report.pdf"));
        QFile::remove(Path);
        QPrinter Printer(QPrinter::HighResolution);
        SetUpPdf(Printer, Path);
        EXPECT_EQ(Printer.pageLayout().paintRectPixels(Printer.resolution()).height(), 6600);
        PrintReport(Printer, QFont(QStringLiteral("Courier New"), PointSize), Lines, QString());
        EXPECT_TRUE(QFile::exists(Path));
        return ReadPdf(Path);
    }
    QTemporaryDir FDir;
};

} // namespace

TEST_F(ReportPrinterTest, WorkedExampleRowsAndPages) {
    // 10 pt at 600 dpi: h = 99, P = 62, so 60 lines on the first page and 61 on the next.
    const TPdfText Pdf = Print(NumberedLines(60 + 61 + 1), 10);
    ASSERT_EQ(Pdf.Pages, 3);
    EXPECT_EQ(Pdf.WordsPerPage, (QList<int>{60, 61, 1}));
    ASSERT_EQ(Pdf.Words.size(), 122);

    const TWord First = Pdf.Words.value("L000");
    const TWord Second = Pdf.Words.value("L001");
    const TWord LastOfPage = Pdf.Words.value("L059");
    const TWord SecondPage = Pdf.Words.value("L060");
    const TWord ThirdPage = Pdf.Words.value("L121");
    EXPECT_EQ(SecondPage.Page, 1);
    EXPECT_EQ(ThirdPage.Page, 2);
    // Left margin 250 pixels; the line's top at row 3 (first page) or 2 (later pages).
    EXPECT_NEAR(First.X, 250 * PointsPerPixel, 0.3);
    EXPECT_NEAR(SecondPage.X, 250 * PointsPerPixel, 0.3);
    EXPECT_NEAR(First.Y, 3 * 99 * PointsPerPixel, 1.5);
    // Four characters of a 10 pt fixed-pitch font: 4 x 0.6 x 10 points, whatever the dpi.
    EXPECT_NEAR(First.Width, 24.0, 0.5);
    EXPECT_NEAR(Second.Y - First.Y, 99 * PointsPerPixel, 0.02);
    EXPECT_NEAR(LastOfPage.Y - First.Y, (62 - 3) * 99 * PointsPerPixel, 0.02);
    EXPECT_NEAR(SecondPage.Y - First.Y, -99 * PointsPerPixel, 0.02);
    EXPECT_NEAR(ThirdPage.Y, SecondPage.Y, 0.02);
}

TEST_F(ReportPrinterTest, LinesPerPageFollowTheFontSize) {
    const struct { int Size, First, Later; } Cases[] = {{10, 60, 61}, {20, 27, 28}};
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Size);
        // Exactly a full first page fits on one page; one more line starts the next.
        EXPECT_EQ(Print(NumberedLines(Case.First), Case.Size).WordsPerPage,
                  (QList<int>{Case.First}));
        const TPdfText Pdf = Print(NumberedLines(Case.First + Case.Later + 1), Case.Size);
        EXPECT_EQ(Pdf.WordsPerPage, (QList<int>{Case.First, Case.Later, 1}));
        EXPECT_NEAR(Pdf.Words.value("L000").X, 250 * PointsPerPixel, 0.3);
    }
}

TEST_F(ReportPrinterTest, EmptyReportMakesAJobWithNothingDrawn) {
    const TPdfText Pdf = Print({}, 10);
    EXPECT_EQ(Pdf.Pages, 1);
    EXPECT_TRUE(Pdf.Words.isEmpty());
}
