#include "test_cli_run.h"

#include "files/PrintLayout.h"

#include <QDir>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace CliTest;
using TestSupport::WriteFile;

namespace {

struct TWord {
    int Page; // from 0
    double X, Y;
    QString Text;
};

// Every marker word of the PDF with its page and top-left corner in points.
std::vector<TWord> Markers(const QString& Pdf) {
    QProcess P;
    P.start(QStringLiteral("pdftotext"), {"-bbox", Pdf, "-"});
    P.waitForFinished(30000);
    const QString Html = QString::fromUtf8(P.readAllStandardOutput());
    static const QRegularExpression Item(
        QStringLiteral("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>(L[0-9]{4})<"));
    std::vector<TWord> Words;
    int Page = -1;
    for (auto It = Item.globalMatch(Html); It.hasNext();) {
        const QRegularExpressionMatch M = It.next();
        if (M.captured(0) == QLatin1String("<page ")) {
            ++Page;
            continue;
        }
        Words.push_back({Page, M.captured(1).toDouble(), M.captured(2).toDouble(), M.captured(3)});
    }
    return Words;
}

QString PdfInfo(const QString& Pdf) {
    QProcess P;
    P.start(QStringLiteral("pdfinfo"), {Pdf});
    P.waitForFinished(30000);
    return QString::fromUtf8(P.readAllStandardOutput());
}

QString Marker(int i) {
    return QStringLiteral("L%1").arg(i + 1, 4, 10, QLatin1Char('0'));
}

// The printed pages hold the lines where the Print command's layout rule puts them.
TEST(CliPrint, PagesFollowTheLayoutRule) {
    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
    const int Count = 150;
    QStringList Lines;
    for (int i = 0; i < Count; ++i)
        Lines << Marker(i) + QStringLiteral(" \t 5.7 TP 7.6");
    const QString Report = Dir.filePath(QStringLiteral("report.txt"));
    WriteFile(Report, Saved(Lines));

    const struct {
        const char* Name;
        QStringList Args, Env;
        QPageSize::PageSizeId Paper;
        int Points, Dpi;
        const char* PdfInfoSize;
    } Cases[] = {
        {"defaults, United States", {}, {}, QPageSize::Letter, 10, 600, "(letter)"},
        {"defaults, Germany", {}, {"LC_ALL=de_DE.UTF-8"}, QPageSize::A4, 10, 600, "(A4)"},
        {"chosen paper, size and resolution",
         {"--paper", "A4", "--font-size", "14", "--dpi", "300", "--font", "Courier New"},
         {},
         QPageSize::A4,
         14,
         300,
         "(A4)"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const QString Pdf = Dir.filePath(QStringLiteral("report.pdf"));
        const TRun R = Cli(QStringList{"print", Report, "-o", Pdf} + C.Args, C.Env);
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_TRUE(R.Err.isEmpty()) << R.Err.toStdString();

        QPrinter Printer(QPrinter::HighResolution);
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setResolution(C.Dpi);
        Printer.setPageSize(QPageSize(C.Paper));
        const QRect Paint = Printer.pageLayout().paintRectPixels(C.Dpi);
        const PrintLayout::TPageLayout Layout =
            PrintLayout::ComputeLayout(C.Dpi, Paint.height(), C.Points, Count);
        ASSERT_GE(Layout.Pages, 2);

        const QString Info = PdfInfo(Pdf);
        EXPECT_TRUE(
            Info.contains(QRegularExpression(QStringLiteral("Pages: +%1\n").arg(Layout.Pages))))
            << Info.toStdString();
        EXPECT_TRUE(Info.contains(QLatin1String(C.PdfInfoSize))) << Info.toStdString();

        const std::vector<TWord> Words = Markers(Pdf);
        ASSERT_EQ(Words.size(), static_cast<size_t>(Count));
        const double PointsPerPixel = 72.0 / C.Dpi;
        const double Left = (Paint.left() + PrintLayout::LeftMargin) * PointsPerPixel;
        const double LineStep = Layout.H * PointsPerPixel;
        for (int i = 0; i < Count; ++i) {
            SCOPED_TRACE(i);
            const TWord& W = Words.at(i);
            EXPECT_EQ(W.Text, Marker(i));
            EXPECT_EQ(W.Page, Layout.Lines.at(i).Page);
            EXPECT_NEAR(W.X, Left, 0.5);
            // Rows are measured from the row of the page's first line.
            const TWord& First = *std::find_if(Words.begin(), Words.end(),
                                               [&](const TWord& F) { return F.Page == W.Page; });
            const int FirstIndex = static_cast<int>(&First - Words.data());
            EXPECT_NEAR(W.Y - First.Y,
                        (Layout.Lines.at(i).Y - Layout.Lines.at(FirstIndex).Y) * PointsPerPixel,
                        0.05);
        }
        // The first page starts one row lower than the later ones.
        EXPECT_NEAR(Words.at(0).Y - Words.at(Layout.FirstPageLines).Y, LineStep, 0.05);
    }
    // Nothing is left beside the PDF.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(CliPrint, FailuresLeaveNoFile) {
    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
    const QString Report = Dir.filePath(QStringLiteral("report.txt"));
    WriteFile(Report, "one line\r\n");
    const QString Missing = Dir.filePath(QStringLiteral("absent/report.pdf"));
    const TRun R = Cli({"print", Report, "-o", Missing});
    EXPECT_EQ(R.ExitCode, 1);
    EXPECT_TRUE(QString::fromLocal8Bit(R.Err).startsWith(
        QStringLiteral("halvorn-cli: Cannot create file ") + Missing))
        << R.Err.toStdString();
    EXPECT_EQ(R.Err.count('\n'), 1);
    EXPECT_FALSE(QFile::exists(Missing));

    const TRun NoReport = Cli({"print", Dir.filePath("none.txt"), "-o", Dir.filePath("x.pdf")});
    EXPECT_EQ(NoReport.ExitCode, 1);
    EXPECT_FALSE(QFile::exists(Dir.filePath("x.pdf")));
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(CliPrint, EmptyReportPrintsABlankPage) {
    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
    const QString Report = Dir.filePath(QStringLiteral("empty.txt"));
    WriteFile(Report, "");
    const QString Pdf = Dir.filePath(QStringLiteral("empty.pdf"));
    ASSERT_EQ(Cli({"print", Report, "-o", Pdf}).ExitCode, 0);
    EXPECT_TRUE(PdfInfo(Pdf).contains(QRegularExpression(QStringLiteral("Pages: +1\n"))));
    EXPECT_TRUE(Markers(Pdf).empty());
}

} // namespace
