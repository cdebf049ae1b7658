#include "AppFixture.h"

#include "app/ClientReportDialog.h"
#include "app/ReadingsPanel.h"
#include "app/ReferenceLevelDialog.h"
#include "components/ui/BufferedPaintBox.h"
#include "platform/Paper.h"

using TestSupport::ModalAnswer;

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>

namespace {

QString Fixture(const QString& Name) {
    QFile file(QStringLiteral(HALVORN_MEASUREMENT_FIXTURES "/") + Name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << Name.toStdString();
    return QString::fromLatin1(file.readAll()).replace("\r\n", "\n");
}

QString PanelText(const TMainForm& Form) {
    return Control<TReadingsPanel>(Form, "ReadingsPanel")->SummaryMemo->toPlainText();
}

} // namespace

class ReadingsTest : public AppTest {
protected:
    // Shows the panel over a store with the given "Readings" and "Units" lines.
    TMainForm& CreateWith(const QByteArray& View) {
        StoreWithInstallDir("\"Port\"=dword:00000000\r\n\"InfoEnable\"=dword:00000000\r\n" + View);
        return Create();
    }
    // A window on the screen with the panel, measuring the fixture Name.
    TMainForm& ShowPanelWith(const QString& Name) {
        TMainForm& f = CreateWith("\"Readings\"=dword:00000001\r\n");
        f.resize(900, 700);
        f.show();
        SetEditorLines(Fixture(Name).split('\n'), false);
        Fire(f, "tmrReadings");
        return f;
    }
};

TEST_F(ReadingsTest, ViewMenuFollowsEditAndStartsAsTheStoreSays) {
    struct {
        QByteArray View;
        bool Shown;
        TUnit Unit;
    } cases[] = {
        {"", false, TUnit::PciL},
        {"\"Readings\"=dword:00000001\r\n\"Units\"=\"Bq/m3\"\r\n", true, TUnit::BqM3},
        {"\"Readings\"=dword:00000000\r\n\"Units\"=\"mSv\"\r\n", false, TUnit::PciL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.View.constData());
        TMainForm& f = CreateWith(c.View);
        QStringList titles;
        for (QAction* a : f.menuBar()->actions())
            titles << a->text();
        EXPECT_EQ(titles.mid(0, 4), (QStringList{"&File", "&Edit", "&View", "&Com Port"}));
        EXPECT_EQ(Control<QAction>(f, "ViewReadings")->isChecked(), c.Shown);
        EXPECT_EQ(Control<TReadingsPanel>(f, "ReadingsPanel")->isVisibleTo(&f), c.Shown);
        EXPECT_EQ(Control<QAction>(f, "ViewPciL")->isChecked(), c.Unit == TUnit::PciL);
        EXPECT_EQ(Control<QAction>(f, "ViewBqM3")->isChecked(), c.Unit == TUnit::BqM3);
        EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
        Form.reset();
    }
}

TEST_F(ReadingsTest, PanelShownAndHiddenIsRemembered) {
    TMainForm& f = CreateWith("");
    Control<QAction>(f, "ViewReadings")->trigger();
    EXPECT_TRUE(Control<TReadingsPanel>(f, "ReadingsPanel")->isVisibleTo(&f));
    EXPECT_EQ(PanelText(f), Readings::NoTable + "\n");
    EXPECT_TRUE(Config.ReadStore().contains("\"Readings\"=dword:00000001"));
    Control<QAction>(f, "ViewReadings")->trigger();
    EXPECT_FALSE(Control<TReadingsPanel>(f, "ReadingsPanel")->isVisibleTo(&f));
    EXPECT_TRUE(Config.ReadStore().contains("\"Readings\"=dword:00000000"));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(ReadingsTest, PanelFollowsTheTextAfterAPauseAndNeverChangesIt) {
    TMainForm& f = CreateWith("\"Readings\"=dword:00000001\r\n");
    f.show();
    const QString report = Fixture("current_48h.txt");
    const int before = Control<TReadingsPanel>(f, "ReadingsPanel")->Updates();
    Type(report);
    // Nothing is measured while the user types.
    QCoreApplication::processEvents();
    EXPECT_EQ(Control<TReadingsPanel>(f, "ReadingsPanel")->Updates(), before);
    EXPECT_TRUE(Control<QTimer>(f, "tmrReadings")->isActive());
    EXPECT_EQ(Control<QTimer>(f, "tmrReadings")->interval(), 300);
    ASSERT_TRUE(
        WaitUntil([&] { return Control<TReadingsPanel>(f, "ReadingsPanel")->Updates() > before; }));
    EXPECT_EQ(Control<TReadingsPanel>(f, "ReadingsPanel")->Updates(),
              before + 1); // once for the whole typing
    const QString text = PanelText(f);
    EXPECT_TRUE(text.contains("Readings: 48, all valid")) << text.toStdString();
    EXPECT_TRUE(text.contains("pCi/L")) << text.toStdString();
    EXPECT_TRUE(text.contains("No calibration date is known for the monitor 4410-0815"))
        << text.toStdString();
    EXPECT_EQ(Memo(f)->toPlainText(), report);
    EXPECT_TRUE(Modified());

    // A hidden panel is not measured; shown again it catches up at once.
    Control<QAction>(f, "ViewReadings")->trigger();
    Type("\n");
    Fire(f, "tmrReadings");
    EXPECT_EQ(Control<TReadingsPanel>(f, "ReadingsPanel")->Updates(), before + 1);
    Control<QAction>(f, "ViewReadings")->trigger();
    EXPECT_EQ(Control<TReadingsPanel>(f, "ReadingsPanel")->Updates(), before + 2);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(ReadingsTest, UnitsChangeThePanelAndAreStored) {
    TMainForm& f = CreateWith("\"Readings\"=dword:00000001\r\n");
    SetEditorLines(Fixture("current_48h.txt").split('\n'), false);
    Fire(f, "tmrReadings");
    EXPECT_TRUE(PanelText(f).contains("Mean of all readings: 4.7 pCi/L"))
        << PanelText(f).toStdString();
    Control<QAction>(f, "ViewBqM3")->trigger();
    EXPECT_TRUE(PanelText(f).contains(" Bq/m3 (4.7 pCi/L)")) << PanelText(f).toStdString();
    EXPECT_FALSE(Control<QAction>(f, "ViewPciL")->isChecked());
    EXPECT_TRUE(Config.ReadStore().contains("\"Units\"=\"Bq/m3\""));
    Control<QAction>(f, "ViewPciL")->trigger();
    EXPECT_TRUE(Config.ReadStore().contains("\"Units\"=\"pCi/L\""));
    EXPECT_FALSE(Modified());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(ReadingsTest, CalibrationDateFromTheStoreDecidesItsCheck) {
    TMainForm& f = CreateWith("\"Readings\"=dword:00000001\r\n\r\n"
                              "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410\\Calibration]\r\n"
                              "\"4410-0815\"=\"2025-09-01\"\r\n");
    SetEditorLines(Fixture("current_48h.txt").split('\n'), false);
    Fire(f, "tmrReadings");
    EXPECT_TRUE(PanelText(f).contains("Passed      The monitor 4410-0815 was calibrated on"))
        << PanelText(f).toStdString();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

namespace {

const QString CsvType = "CSV Files (*.csv)";

} // namespace

TEST_F(ReadingsTest, ExportCsvWritesTheReadingsAndLeavesTheReportAsItWas) {
    TMainForm& f = CreateWith("");
    const QString report = Install.path() + "/house.txt";
    TestSupport::WriteFile(report, Fixture("current_48h.txt").replace("\n", "\r\n").toLatin1());
    {
        ModalAnswer answer(ModalAnswer::ChooseFile(report, "All Files (*.*)"));
        Control<QAction>(f, "FileOpen")->trigger();
    }
    Type("\n");
    ASSERT_EQ(FileName(), report);
    const QString csv = Install.path() + "/house.csv";
    QString suggested;
    ModalAnswer answer([&](QWidget* w) {
        if (auto* d = qobject_cast<QFileDialog*>(w)) {
            suggested = d->selectedFiles().value(0);
            d->selectNameFilter(CsvType);
            d->selectFile(csv);
            static_cast<QDialog*>(d)->accept();
        }
    });
    Control<QAction>(f, "FileExportCsv")->trigger();
    EXPECT_EQ(answer.Answered(), 1);
    EXPECT_EQ(suggested, csv);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    const QByteArray written = TestSupport::ReadFile(csv);
    EXPECT_EQ(written, Measurement::Csv(Readings::Read(EditorLines())));
    EXPECT_TRUE(
        written.startsWith("interval,time,date,clock,radon_pci_l,radon_bq_m3,events\r\n1,"));
    EXPECT_EQ(written.count("\r\n"), 49);
    EXPECT_EQ(FileName(), report);
    EXPECT_EQ(f.windowTitle(), "Halvorn - " + report);
    EXPECT_TRUE(Modified());
}

TEST_F(ReadingsTest, ChartIsDrawnAgainOnlyWhenWhatItShowsChanges) {
    TMainForm& f = ShowPanelWith("current_48h.txt");
    TReadingsPanel& p = *Control<TReadingsPanel>(f, "ReadingsPanel");
    ASSERT_TRUE(WaitUntil([&] { return !p.Chart->Buffer().isNull(); }));
    // The buffer holds device pixels.
    EXPECT_EQ(p.Chart->Buffer().size(), p.Chart->size() * p.Chart->devicePixelRatioF());
    int renders = p.ChartRenders();
    const auto step = [&](const char* What, const std::function<void()>& Change, int More) {
        SCOPED_TRACE(What);
        Change();
        p.Chart->repaint();
        EXPECT_EQ(p.ChartRenders(), renders + More);
        renders = p.ChartRenders();
    };
    step(
        "same text measured again", [&] { Fire(f, "tmrReadings"); }, 0);
    step(
        "text outside the table",
        [&] {
            Type("notes\n");
            Fire(f, "tmrReadings");
        },
        0);
    step(
        "plain repaint", [] {}, 0);
    step(
        "units", [&] { Control<QAction>(f, "ViewBqM3")->trigger(); }, 1);
    step(
        "a reading",
        [&] {
            QStringList lines = EditorLines();
            lines[14].replace("7.5", "9.5");
            SetEditorLines(lines, true);
            Fire(f, "tmrReadings");
        },
        1);
    step(
        "size", [&] { p.Chart->resize(p.Chart->width() - 40, p.Chart->height()); }, 1);
    step(
        "palette",
        [&] {
            QPalette dark = p.palette();
            dark.setColor(QPalette::Base, Qt::black);
            dark.setColor(QPalette::Text, Qt::white);
            p.setPalette(dark);
        },
        1);
    EXPECT_EQ(p.Chart->Buffer().toImage().pixelColor(1, 1), QColor(Qt::black));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(ReadingsTest, HoveringABarShowsItsTimeValueInBothUnitsAndEvents) {
    TMainForm& f = ShowPanelWith("current_48h.txt");
    TReadingsPanel& p = *Control<TReadingsPanel>(f, "ReadingsPanel");
    QStringList shown;
    const int y = p.Chart->height() * 2 / 3;
    for (int x = 0; x < p.Chart->width(); ++x) {
        const QString text = p.HoverText(QPoint(x, y));
        if (!text.isEmpty() && (shown.isEmpty() || shown.last() != text))
            shown << text;
    }
    ASSERT_EQ(shown.size(), 48);
    EXPECT_EQ(shown[0], "3/5/2026 4:05:09 PM\n7.5 pCi/L (278 Bq/m3)");
    EXPECT_EQ(shown[1], "3/5/2026 5:05:09 PM\n2.1 pCi/L (78 Bq/m3)\nEvents: T");
    EXPECT_TRUE(shown[47].startsWith("3/7/2026 3:05:09 PM\n8.6 pCi/L")) << shown[47].toStdString();
    EXPECT_TRUE(p.HoverText(QPoint(1, 1)).isEmpty());
    Control<QAction>(f, "ViewBqM3")->trigger();
    EXPECT_EQ(p.HoverText(QPoint(p.Chart->width() / 2, y)).count("Bq/m3 ("), 1);
}

// The job and the inspector are asked first, then the file: the inspector is the user's from
// then on, and a report opened from a file keeps its job for the session.
TEST_F(ReadingsTest, ClientReportWritesAPdfOfTheEditorsReport) {
    TMainForm& f = CreateWith("\"Units\"=\"Bq/m3\"\r\n");
    SetEditorLines(Fixture("current_48h.txt").split('\n'), true);
    const QString pdf = Install.path() + "/client.pdf";
    ModalAnswer answer({[](QWidget* w) {
                            auto* d = qobject_cast<TClientReportDialog*>(w);
                            ASSERT_TRUE(d);
                            d->ClientEdit->setText("Ann Maple");
                            d->NameEdit->setText("Jo Inspector");
                            d->TestTypeBox->setCurrentIndex(
                                d->TestTypeBox->findData(int(TTestType::RealEstate)));
                            QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
                        },
                        ModalAnswer::ChooseFile(pdf, "PDF Files (*.pdf)")});
    Control<QAction>(f, "FileClientReport")->trigger();
    EXPECT_EQ(answer.Answered(), 2);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_TRUE(TestSupport::ReadFile(pdf).startsWith("%PDF-"));
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(out.contains("Radon Measurement Report")) << out.toStdString();
    EXPECT_TRUE(out.contains("4410-0815")) << out.toStdString();
    EXPECT_TRUE(out.contains("Bq/m3")) << out.toStdString();
    for (const char* given : {"Ann Maple", "Jo Inspector"})
        EXPECT_TRUE(out.contains(given)) << given;
    EXPECT_TRUE(FileName().isEmpty());
    EXPECT_EQ(f.windowTitle(), "Halvorn - Untitled");
    EXPECT_TRUE(Modified());
    EXPECT_EQ(Settings::TReader().Inspector(Install.path()).Name, "Jo Inspector");
    QString client, inspector;
    ModalAnswer again([&](QWidget* w) {
        auto* d = qobject_cast<TClientReportDialog*>(w);
        client = d->ClientEdit->text();
        inspector = d->NameEdit->text();
        d->reject();
    });
    Control<QAction>(f, "FileClientReport")->trigger();
    EXPECT_EQ(client, "Ann Maple");
    EXPECT_EQ(inspector, "Jo Inspector");
}

TEST_F(ReadingsTest, OutputsWithoutATableAskNothingAndWriteNothing) {
    TMainForm& f = CreateWith("");
    Type("Time Interval 1 Hr\nno averages\n");
    const struct {
        QAction* Command;
        QString Message;
    } cases[] = {
        {Control<QAction>(f, "FileExportCsv"),
         "The readings were not exported. No readings table in this report"},
        {Control<QAction>(f, "FileClientReport"),
         "The client report was not made. No readings table in this report"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message.toStdString());
        Errors.clear();
        ModalAnswer none(ModalAnswer::Reject(), 300);
        c.Command->trigger();
        EXPECT_EQ(none.Answered(), 0);
        ASSERT_EQ(Errors.size(), 1);
        EXPECT_TRUE(Errors[0].startsWith(c.Message)) << Errors[0].toStdString();
        EXPECT_EQ(QDir(Install.path()).entryList(QDir::Files), QStringList());
        EXPECT_TRUE(FileName().isEmpty());
    }
}

// The level chosen in the dialog is the panel's and the store's; a level of one's own that is
// none keeps the dialog open with the reason.
TEST_F(ReadingsTest, ReferenceLevelFromTheViewMenuIsUsedAndStored) {
    TMainForm& f = ShowPanelWith("current_48h.txt");
    const auto choose = [&](const std::function<void(TReferenceLevelDialog&)>& Fill) {
        ModalAnswer answer([&](QWidget* w) {
            auto* d = qobject_cast<TReferenceLevelDialog*>(w);
            ASSERT_TRUE(d);
            Fill(*d);
        });
        Control<QAction>(f, "ViewLevel")->trigger();
    };
    choose([](TReferenceLevelDialog& d) {
        d.findChild<QRadioButton*>("LevelEu")->setChecked(true);
        d.accept();
    });
    EXPECT_TRUE(PanelText(f).contains("below the EU reference level of 8.1 pCi/L (300 Bq/m3)"))
        << PanelText(f).toStdString();
    EXPECT_TRUE(Config.ReadStore().contains("\"ReferenceLevel\"=\"eu\""));

    QString problem;
    choose([&](TReferenceLevelDialog& d) {
        d.Custom->setChecked(true);
        d.ValueEdit->setText("4.05");
        d.accept();
        problem = d.Problem->text();
        EXPECT_TRUE(d.isVisible());
        d.ValueEdit->setText("150");
        d.UnitBox->setCurrentIndex(1);
        d.NameEdit->setText("State guideline");
        d.accept();
    });
    EXPECT_TRUE(problem.startsWith("A reference level in pCi/L has at most one decimal"));
    EXPECT_TRUE(PanelText(f).contains("at or above the State guideline of 4.1 pCi/L (150 Bq/m3)"))
        << PanelText(f).toStdString();
    const QByteArray store = Config.ReadStore();
    for (const char* Value :
         {"\"ReferenceLevel\"=\"custom\"", "\"ReferenceLevelValue\"=\"150\"",
          "\"ReferenceLevelUnit\"=\"Bq/m3\"", "\"ReferenceLevelName\"=\"State guideline\""})
        EXPECT_TRUE(store.contains(Value)) << Value;
    // The next start reads it back; the printer starts on the territory's paper.
    Form.reset();
    TMainForm& again = Create();
    QString level;
    QPageSize::PageSizeId paper = QPageSize::Custom;
    {
        ModalAnswer opened(
            {[&](QWidget* w) {
                 level = qobject_cast<TReferenceLevelDialog*>(w)->Level().Name;
                 qobject_cast<QDialog*>(w)->reject();
             },
             [&](QWidget* w) {
                 paper =
                     qobject_cast<QPageSetupDialog*>(w)->printer()->pageLayout().pageSize().id();
                 qobject_cast<QDialog*>(w)->reject();
             }});
        Trigger(again, "ViewLevel");
        Trigger(again, "FilePrinterSetup");
    }
    EXPECT_EQ(level, "State guideline");
    EXPECT_EQ(paper, Paper::LocalePaper() == TPaper::Letter ? QPageSize::Letter : QPageSize::A4);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

// A long report is measured on a worker: the window goes on at once, the panel follows.
TEST_F(ReadingsTest, LongReportMeasuredWithoutHoldingTheWindow) {
    TMainForm& f = CreateWith("\"Readings\"=dword:00000001\r\n");
    QStringList lines = Fixture("current_48h.txt").split('\n');
    const qsizetype table = lines.indexOf(QRegularExpression("^ Readings.*")) + 1;
    for (int i = 0; i < 6000; ++i)
        lines.insert(table, "      1.0     2.0     3.0     4.0     5.0     6.0     7.0     8.0 ");
    SetEditorLines(lines, false);
    TReadingsPanel& p = *Control<TReadingsPanel>(f, "ReadingsPanel");
    const int before = p.Updates();
    Fire(f, "tmrReadings");
    EXPECT_TRUE(p.Measuring());
    EXPECT_EQ(p.Updates(), before);
    ASSERT_TRUE(WaitUntil([&] { return p.Updates() > before && !p.Measuring(); }));
    EXPECT_TRUE(PanelText(f).contains("Readings: 48048, all valid")) << PanelText(f).toStdString();
}
