#include "AppFixture.h"

#include "Printout.h"
#include "files/ExportWriter.h"
#include "report/ReportBuilder.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QProcess>
#include <sys/mount.h>
#include <unistd.h>

using TestSupport::ModalAnswer;
using TestSupport::ReadFile;

namespace {

const QString TextType = "Text Files (*.txt)";
const QString ExportType = "Import Friendly Format (*.txt)";
const QString AllType = "All Files (*.*)";

QStringList Report() {
    SimPrintout::TOptions o;
    o.Hours = 12;
    return BuildReport(SimPrintout::Generate(o), TReportInfo{});
}

} // namespace

class FilesTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        StoreWithInstallDir();
        QDir(Install.path()).mkdir("Data");
        Create();
    }
    QString Data(const QString& Name) const { return Install.path() + "/Data/" + Name; }
};

TEST_F(FilesTest, SaveWithoutAFileIsSaveAsThenSaveNeedsNoDialog) {
    TMainForm& f = *Form;
    EXPECT_EQ(Control<QFileDialog>(f, "SaveDialog")->directory().absolutePath(),
              Install.path() + "/Data");
    SetEditorLines({"A", "B"}, true);
    {
        ModalAnswer answer(ModalAnswer::ChooseFile(Data("report.txt"), TextType));
        Trigger(f, "FileSave");
        ASSERT_EQ(answer.Answered(), 1);
        EXPECT_EQ(answer.Texts(), QStringList{"Save As"});
    }
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(FileName(), Data("report_t.txt"));
    EXPECT_EQ(f.windowTitle(), "Halvorn - " + Data("report_t.txt"));
    EXPECT_FALSE(Modified());
    EXPECT_EQ(ReadFile(Data("report_t.txt")), "A\r\nB\r\n");

    Type("C");
    ModalAnswer none(ModalAnswer::Reject(), 500);
    Trigger(f, "FileSave");
    EXPECT_EQ(none.Answered(), 0);
    EXPECT_EQ(ReadFile(Data("report_t.txt")), "A\r\nB\r\nC");
    EXPECT_FALSE(Modified());
}

TEST_F(FilesTest, SaveAsKeepsTheChosenTypeAndSaveAfterExportWritesPlainText) {
    TMainForm& f = *Form;
    const QStringList report = Report();
    SetEditorLines(report, true);
    {
        ModalAnswer answer(ModalAnswer::ChooseFile(Data("house_t.txt"), ExportType));
        Trigger(f, "FileSaveAs");
    }
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(FileName(), Data("house_s.txt"));
    EXPECT_EQ(ReadFile(Data("house_s.txt")), ExportWriter::BuildExport(report));
    EXPECT_FALSE(QFile::exists(Data("house_t.txt")));
    EXPECT_EQ(Control<QFileDialog>(f, "SaveDialog")->selectedNameFilter(), ExportType);

    Type("x");
    Trigger(f, "FileSave");
    EXPECT_TRUE(ReadFile(Data("house_s.txt")).startsWith(report[0].toLatin1() + "\r\n"));

    // The next Save As opens with the type chosen last.
    ModalAnswer peek([](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        EXPECT_EQ(d->selectedNameFilter(), ExportType);
        QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection);
    });
    Trigger(f, "FileSaveAs");
    EXPECT_EQ(peek.Answered(), 1);
}

TEST_F(FilesTest, AllFilesTypeKeepsTheExtensionAndAddsTheSuffix) {
    TMainForm& f = *Form;
    SetEditorLines({"notes"}, true);
    ModalAnswer answer(ModalAnswer::ChooseFile(Data("notes.dat"), AllType));
    Trigger(f, "FileSaveAs");
    EXPECT_EQ(FileName(), Data("notes_t.dat"));
    EXPECT_TRUE(QFile::exists(Data("notes_t.dat")));
}

TEST_F(FilesTest, RefusedExportWritesNothingAndKeepsTheFlag) {
    TMainForm& f = *Form;
    SetEditorLines({"no landmarks here"}, true);
    ModalAnswer answer(ModalAnswer::ChooseFile(Data("bad.txt"), ExportType));
    Trigger(f, "FileSaveAs");
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].contains("\"Time Interval\"")) << Errors[0].toStdString();
    EXPECT_TRUE(Modified());
    EXPECT_EQ(f.windowTitle(), "Halvorn - Untitled");
    EXPECT_TRUE(FileName().isEmpty());
    EXPECT_FALSE(QFile::exists(Data("bad_s.txt")));
}

TEST_F(FilesTest, OpenKeepsTheNameAndReadsAnyLineEnds) {
    TMainForm& f = *Form;
    TestSupport::WriteFile(Data("report.txt"), "one\ntwo\rthree\r\nfour\n\rfive");
    {
        ModalAnswer answer(ModalAnswer::ChooseFile(Data("report.txt"), TextType));
        Trigger(f, "FileOpen");
    }
    EXPECT_EQ(Memo(f)->FileLines(), (QStringList{"one", "two", "three", "four", "", "five"}));
    EXPECT_FALSE(Modified());
    EXPECT_EQ(f.windowTitle(), "Halvorn - " + Data("report.txt"));
    Type("!");
    Trigger(f, "FileSave");
    EXPECT_EQ(ReadFile(Data("report.txt")), "one\r\ntwo\r\nthree\r\nfour\r\n\r\nfive!");
}

TEST_F(FilesTest, EightBitBytesComeBackUnchanged) {
    TMainForm& f = *Form;
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n')
            all += char(b);
    TestSupport::WriteFile(Data("bytes.txt"), all + "\r\nline");
    {
        ModalAnswer answer(ModalAnswer::ChooseFile(Data("bytes.txt"), AllType));
        Trigger(f, "FileOpen");
    }
    Memo(f)->SetModified(true);
    Trigger(f, "FileSave");
    EXPECT_EQ(ReadFile(Data("bytes.txt")), all + "\r\nline");
}

TEST_F(FilesTest, OpenPromptAndCancel) {
    TMainForm& f = *Form;
    Type("unsaved");
    {
        // Yes, then Save As cancelled: Open stops before its own dialog.
        ModalAnswer answer({ModalAnswer::Press(QMessageBox::Yes), ModalAnswer::Reject()});
        Trigger(f, "FileOpen");
        EXPECT_EQ(answer.Answered(), 2);
        EXPECT_EQ(answer.Texts().last(), "Save As");
    }
    EXPECT_EQ(Memo(f)->toPlainText(), "unsaved");
    EXPECT_TRUE(Modified());
    {
        ModalAnswer answer({ModalAnswer::Press(QMessageBox::No), ModalAnswer::Reject()});
        Trigger(f, "FileOpen");
        EXPECT_EQ(answer.Answered(), 2);
    }
    EXPECT_EQ(Memo(f)->toPlainText(), "unsaved");
    EXPECT_TRUE(Modified());
}

TEST_F(FilesTest, OpenOfAMissingFileLeavesTheEditorEmpty) {
    TMainForm& f = *Form;
    SetEditorLines({"old"}, false);
    ModalAnswer answer(ModalAnswer::ChooseFile(Data("missing.txt"), TextType));
    Trigger(f, "FileOpen");
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].startsWith("Cannot open file " + Data("missing.txt")));
    EXPECT_TRUE(Memo(f)->document()->isEmpty());
    EXPECT_FALSE(Modified());
    EXPECT_EQ(f.windowTitle(), "Halvorn - Untitled");
}

TEST_F(FilesTest, FailedSaveKeepsTheFlagAndTheOldFile) {
    TMainForm& f = *Form;
    const QString blocker = Data("file");
    TestSupport::WriteFile(blocker, "x");
    SetEditorLines({"report"}, true);
    ModalAnswer answer(ModalAnswer::ChooseFile(blocker + "/report.txt", TextType));
    Trigger(f, "FileSaveAs");
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].startsWith("Cannot create file " + blocker + "/report_t.txt"))
        << Errors[0].toStdString();
    EXPECT_TRUE(Modified());
    EXPECT_EQ(f.windowTitle(), "Halvorn - Untitled");
}

TEST_F(FilesTest, FullDiskKeepsTheOldFile) {
    const QString mnt = Install.filePath("small");
    QDir().mkpath(mnt);
    if (geteuid() != 0 || mount("tmpfs", mnt.toLocal8Bit(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    struct TUnmount {
        QString Path;
        ~TUnmount() { umount(Path.toLocal8Bit()); }
    } unmount{mnt};
    TMainForm& f = *Form;
    TestSupport::WriteFile(mnt + "/report.txt", "old report");
    {
        ModalAnswer answer(ModalAnswer::ChooseFile(mnt + "/report.txt", AllType));
        Trigger(f, "FileOpen");
    }
    SetEditorLines(QStringList(3000, QString(60, 'r')), true);
    Trigger(f, "FileSave");
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].startsWith("Cannot create file " + mnt + "/report.txt"))
        << Errors[0].toStdString();
    EXPECT_TRUE(Modified());
    EXPECT_EQ(ReadFile(mnt + "/report.txt"), "old report");
}

TEST_F(FilesTest, PrintThroughTheDialogToPdf) {
    TMainForm& f = *Form;
    SetEditorLines({"First line of the report", "Second line"}, false);
    const QString pdf = Install.filePath("out.pdf");
    {
        ModalAnswer cancel(ModalAnswer::Reject());
        Trigger(f, "FilePrint");
        EXPECT_EQ(cancel.Answered(), 1);
    }
    EXPECT_FALSE(QFile::exists(pdf));
    {
        ModalAnswer accept(ModalAnswer::PrintToFile(pdf));
        Trigger(f, "FilePrint");
        EXPECT_EQ(accept.Answered(), 1);
    }
    ASSERT_TRUE(QFile::exists(pdf));
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(10000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(out.contains("First line of the report")) << out.toStdString();
    EXPECT_TRUE(out.contains("Second line"));
}

TEST_F(FilesTest, PrinterSetupOnlyShowsItsDialog) {
    TMainForm& f = *Form;
    SetEditorLines({"x"}, true);
    ModalAnswer answer(ModalAnswer::Reject());
    Trigger(f, "FilePrinterSetup");
    EXPECT_EQ(answer.Answered(), 1);
    EXPECT_TRUE(Modified());
}

// The stored font colour reaches the printed page: the page rendered, its text pixels are the
// colour the editor shows, and none is black unless the colour is.
TEST_F(FilesTest, PrintedTextTakesTheStoredFontColour) {
    if (QProcess::execute("pdftoppm", {"-v"}) < 0)
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    const struct {
        const char* Stored; // "FontColor", 0x00BBGGRR or a system colour
        QColor Expected;
    } cases[] = {
        {"000000ff", QColor(255, 0, 0)},
        {"00800000", QColor(0, 0, 128)},
        {"00008000", QColor(0, 128, 0)},
        {"80000008", QApplication::palette().color(QPalette::Text)},
    };
    const auto near = [](QRgb P, const QColor& C) {
        return qAbs(qRed(P) - C.red()) + qAbs(qGreen(P) - C.green()) + qAbs(qBlue(P) - C.blue()) <
               60;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stored);
        Form.reset();
        StoreWithInstallDir(
            QByteArray("\"Port\"=dword:00000000\r\n\"InfoEnable\"=dword:00000000\r\n"
                       "\"FontName\"=\"Courier New\"\r\n\"FontSize\"=dword:00000014\r\n"
                       "\"FontColor\"=dword:") +
            c.Stored + "\r\n\"FontStyle\"=\"1000\"\r\n");
        TMainForm& f = Create();
        ASSERT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
        SetEditorLines({"MMMMMMMMMMMMMMMMMMMM", "HHHHHHHHHHHHHHHHHHHH"}, false);
        const QString pdf = Install.filePath("colour.pdf");
        {
            ModalAnswer accept(ModalAnswer::PrintToFile(pdf));
            Trigger(f, "FilePrint");
        }
        const QString png = Install.filePath("colour");
        ASSERT_EQ(QProcess::execute("pdftoppm", {"-r", "100", "-png", "-singlefile", pdf, png}), 0);
        const QImage page(png + ".png");
        ASSERT_FALSE(page.isNull());
        int inColour = 0, black = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QRgb p = page.pixel(x, y);
                inColour += near(p, c.Expected);
                black += near(p, Qt::black);
            }
        EXPECT_GT(inColour, 200);
        if (!near(c.Expected.rgb(), Qt::black)) {
            EXPECT_EQ(black, 0);
        }
    }
}
