#include "files/ReportPrinter.h"

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
    double X, Y, Width;
};

struct TPdfText {
    QMap<QString, TWord> Words;
    QList<int> WordsPerPage; // one entry a page
};

class ReportPrinterTest : public testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        ASSERT_TRUE(FDir.isValid());
    }

    // Prints "L000", "L001", ... at 10 pt on a Letter page without margins at 600 dpi (6600
    // printable pixels) and reads the words' positions back in
    // points from the page's top-left.
    TPdfText Print(int Count) {
        const QString Path = FDir.filePath("report.pdf");
        QPrinter Printer(QPrinter::HighResolution);
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(Path);
        Printer.setResolution(600);
        Printer.setPageSize(QPageSize(QPageSize::Letter));
        Printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        EXPECT_EQ(Printer.pageLayout().paintRectPixels(600).height(), 6600);
        QStringList Lines;
        for (int i = 0; i < Count; ++i)
            Lines << QStringLiteral("L%1").arg(i, 3, 10, QLatin1Char('0'));
        PrintReport(Printer, QFont("Courier New", 10), Lines, QString());

        TPdfText Text;
        QProcess Process;
        Process.start("pdftotext", {"-bbox", Path, "-"});
        if (!Process.waitForFinished(30000) || Process.exitCode() != 0)
            return Text;
        static const QRegularExpression Tag(
            QStringLiteral("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" "
                           "xMax=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
        const QString Html = QString::fromUtf8(Process.readAllStandardOutput());
        for (auto Match = Tag.globalMatch(Html); Match.hasNext();) {
            const auto M = Match.next();
            if (M.captured(0) == "<page ") {
                Text.WordsPerPage << 0;
                continue;
            }
            ++Text.WordsPerPage.last();
            const double X = M.captured(1).toDouble();
            Text.Words.insert(M.captured(4),
                              {X, M.captured(2).toDouble(), M.captured(3).toDouble() - X});
        }
        return Text;
    }
    QTemporaryDir FDir;
};

} // namespace

TEST_F(ReportPrinterTest, WorkedExampleRowsAndPages) {
    // 10 pt at 600 dpi: m = 83, h = 99, P = 62, so 60 lines on the first page, 61 on later ones.
    EXPECT_EQ(Print(60).WordsPerPage, (QList<int>{60}));
    const TPdfText Pdf = Print(60 + 61 + 1);
    ASSERT_EQ(Pdf.WordsPerPage, (QList<int>{60, 61, 1}));
    const TWord First = Pdf.Words.value("L000");
    const TWord SecondPage = Pdf.Words.value("L060");
    // Left margin 250 pixels; the line's top at row 3 (first page) or 2 (later pages).
    EXPECT_NEAR(First.X, 250 * PointsPerPixel, 0.3);
    EXPECT_NEAR(First.Y, 3 * 99 * PointsPerPixel, 1.5);
    // Four characters of a 10 pt fixed-pitch font: 4 x 0.6 x 10 points, whatever the dpi.
    EXPECT_NEAR(First.Width, 24.0, 0.5);
    EXPECT_NEAR(Pdf.Words.value("L001").Y - First.Y, 99 * PointsPerPixel, 0.02);
    EXPECT_NEAR(Pdf.Words.value("L059").Y - First.Y, (62 - 3) * 99 * PointsPerPixel, 0.02);
    EXPECT_NEAR(SecondPage.Y - First.Y, -99 * PointsPerPixel, 0.02);
    EXPECT_NEAR(Pdf.Words.value("L121").Y, SecondPage.Y, 0.02);
}

TEST_F(ReportPrinterTest, EmptyReportMakesAJobWithNothingDrawn) {
    EXPECT_EQ(Print(0).WordsPerPage, (QList<int>{0}));
}
