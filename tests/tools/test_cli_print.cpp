// The window's Print and halvorn-cli print lay a report out alike: both in the printer's own
// device pixels.
#include "Controls.h"
#include "ModalAnswer.h"
#include "TestSupport.h"
#include "app/ErrorHandler.h"
#include "app/MainForm.h"
#include "files/PrintLayout.h"

#include <QPageLayout>
#include <QPrintDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct TPlaced {
    int Page; // from 0
    double X, Y;
};

// The words "W000".."W149" of a PDF with their pages and boxes in points, in reading order.
std::vector<TPlaced> Placed(const QString& Pdf) {
    QProcess P;
    P.start(QStringLiteral("pdftotext"), {"-bbox", Pdf, "-"});
    P.waitForFinished(30000);
    static const QRegularExpression Item(
        QStringLiteral("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>W[0-9]{3}<"));
    std::vector<TPlaced> Found;
    int Page = -1;
    for (auto It = Item.globalMatch(QString::fromUtf8(P.readAllStandardOutput())); It.hasNext();) {
        const QRegularExpressionMatch M = It.next();
        if (M.captured(0) == QLatin1String("<page "))
            ++Page;
        else
            Found.push_back({Page, M.captured(1).toDouble(), M.captured(2).toDouble()});
    }
    return Found;
}

TEST(WindowPrint, LaysThePageOutInThePrintersOwnPixelsAsTheCliDoes) {
    if (QProcess::execute(QStringLiteral("pdftotext"), {"-v"}) < 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
    QStringList Errors;
    ErrorHandler::SetSink([&](const QString& Text) { Errors << Text; });
    TMainForm Form;
    Form.FormCreate();

    QStringList Lines;
    for (int i = 0; i < 150; ++i)
        Lines << QStringLiteral("W%1 12.5 T 13.0").arg(i, 3, 10, QLatin1Char('0'));
    Memo(Form)->SetLines(Lines, false);
    const QString Window = Dir.filePath("window.pdf");
    // The printer the window's dialog sets up, printing to a file as the user chose.
    const QPrinter* Printer = nullptr;
    {
        TestSupport::ModalAnswer Accept([&](QWidget* W) {
            Printer = qobject_cast<QPrintDialog*>(W)->printer();
            TestSupport::ModalAnswer::PrintToFile(Window)(W);
        });
        Trigger(Form, "FilePrint");
    }
    ErrorHandler::SetSink({});
    ASSERT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    ASSERT_NE(Printer, nullptr);

    // The resolution a PDF printer really has, not the screen's 96 pixels per inch.
    const int Resolution = Printer->resolution();
    QPrinter Pdf(QPrinter::HighResolution);
    Pdf.setOutputFormat(QPrinter::PdfFormat);
    EXPECT_EQ(Resolution, Pdf.resolution());

    const QString Report = Dir.filePath("report.txt");
    TestSupport::WriteFile(Report, (Lines.join("\r\n") + "\r\n").toLatin1());
    const QString Cli = Dir.filePath("cli.pdf");
    QProcess P;
    P.start(TestSupport::BuildDir() + "/tools/halvorn-cli/halvorn-cli",
            {"print", Report, "-o", Cli, "--dpi", QString::number(Resolution), "--paper",
             Printer->pageLayout().pageSize().id() == QPageSize::Letter ? "Letter" : "A4", "--font",
             Memo(Form)->font().family(), "--font-size",
             QString::number(Memo(Form)->font().pointSize())});
    ASSERT_TRUE(P.waitForFinished(60000));
    ASSERT_EQ(P.exitCode(), 0) << P.readAllStandardError().toStdString();

    const std::vector<TPlaced> FromWindow = Placed(Window);
    const std::vector<TPlaced> FromCli = Placed(Cli);
    ASSERT_EQ(FromWindow.size(), size_t(Lines.size()));
    ASSERT_EQ(FromCli.size(), size_t(Lines.size()));
    for (size_t i = 0; i < FromWindow.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(FromWindow[i].Page, FromCli[i].Page) << "the same lines on each page";
        EXPECT_NEAR(FromWindow[i].X, FromCli[i].X, 1.0) << "the same margin";
        EXPECT_NEAR(FromWindow[i].Y, FromCli[i].Y, 1.0) << "the same rows";
    }
    EXPECT_GT(FromWindow.back().Page, 0);
    // The margin is 250 of the printer's own pixels from the printable area's edge: about a
    // fifth of an inch, where the screen's pixels made it 2.6 inches.
    const double Margin = Printer->pageLayout().paintRect(QPageLayout::Point).left() +
                          PrintLayout::LeftMargin * 72.0 / Pdf.resolution();
    EXPECT_NEAR(FromWindow.front().X, Margin, 1.0);
}

} // namespace
