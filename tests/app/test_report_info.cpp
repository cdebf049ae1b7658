// The report information from the file through the dialog into downloaded and rebuilt reports,
// in the window and in halvorn-cli.
#include "AppFixture.h"
#include "info/InfoFile.h"

#include "Printout.h"
#include "QtPrint.h"
#include "Sim.h"
#include "TimeZone.h"
#include "report/StreamConventions.h"

#include <QDateTimeEdit>
#include <QProcess>

using TestSupport::ModalAnswer;
using TestSupport::TSim;

class ReportInfoTest : public AppTest {
protected:
    // The settings with this test's folder, COM1 and information enabled, and an info file.
    void Prepare(const QByteArray& InfoBytes) {
        StoreWithInstallDir("\"Port\"=dword:00000001\r\n\"InfoEnable\"=dword:00000001\r\n");
        TestSupport::WriteFile(InfoPath(), InfoBytes);
    }
    QString InfoPath() const { return InfoFile::PathIn(Install.path()); }

    // Downloads the simulator's built-in printout of Hours hours through COM1.
    QStringList Download(TMainForm& F, int Hours) {
        TSim sim({"--com", "1", "--unpaced", "--hours", QString::number(Hours)});
        EXPECT_TRUE(sim.Started());
        ChoosePort(F, 1);
        Trigger(F, "GetData");
        EXPECT_TRUE(WaitUntil([&] { return !Control<QTimer>(F, "tmrReceive")->isActive(); }));
        EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
        return EditorLines();
    }

    // halvorn-cli build of the same printout, as report lines.
    QStringList CliBuild(int Hours) {
        SimPrintout::TOptions o;
        o.Hours = Hours;
        const QString capture = Install.filePath("capture.bin");
        TestSupport::WriteFile(capture, SimPrintout::Generate(o));
        QProcess cli;
        cli.start(TestSupport::BuildDir() + "/tools/halvorn-cli/halvorn-cli", {"build", capture});
        EXPECT_TRUE(cli.waitForFinished(30000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        return QString::fromLatin1(cli.readAllStandardOutput()).split("\r\n");
    }

    // Exit, answering the save-changes prompt with No when it comes.
    void Exit(TMainForm& F) {
        ModalAnswer no(ModalAnswer::Press(QMessageBox::No));
        EXPECT_TRUE(F.close());
        Form->SetInfoForm(nullptr);
        Info.reset();
        Form.reset();
    }
};

namespace {

bool ContainsAll(const QStringList& Lines, const QStringList& Wanted) {
    for (const QString& w : Wanted)
        if (!Lines.contains(w))
            return false;
    return true;
}

} // namespace

// In every zone the window's report, its rebuild and halvorn-cli print the times the file and
// the dialog hold, also one inside a spring-forward gap; the file survives start and Exit.
TEST_F(ReportInfoTest, TimesAreTheFilesInEveryZone) {
    for (const TestSupport::TZoneDays& z : TestSupport::ZoneDays) {
        SCOPED_TRACE(z.Zone);
        TestSupport::TempZone zone(z.Zone);
        const QByteArray info = QByteArray("1\r\nSN-1\r\n0\r\n0\r\n") + z.DayBefore +
                                " 9:00:00 AM\r\n" + z.GapDay + " 2:30:00 AM\r\n" + z.DayAfter +
                                " 9:00:00 AM\r\n" + z.GapDay + " 11:59:59 PM\r\nSN-1\r\nCellar\r\n";
        Prepare(info);
        Exit(Create(true));
        EXPECT_EQ(TestSupport::ReadFile(InfoPath()), info) << "start and Exit";

        const QStringList labels{"Serial #   : SN-1",        QString("Start Date : ") + z.DayBefore,
                                 "Start Time : 2:30:00 AM",  QString("End Date   : ") + z.DayAfter,
                                 "End Time   : 11:59:59 PM", "Location   : Cellar"};
        TMainForm& f = Create(true);
        EXPECT_EQ(Info->StartTime->text(), "2:30:00 AM");
        EXPECT_EQ(Info->EndDate->text(), z.DayAfter);
        EXPECT_TRUE(ContainsAll(Download(f, 6), labels)) << EditorLines().join('\n').toStdString();
        Info->OKButtonClick();
        EXPECT_TRUE(ContainsAll(EditorLines(), labels)) << "rebuilt";
        EXPECT_TRUE(ContainsAll(CliBuild(6), labels)) << "halvorn-cli";
        Exit(f);
        EXPECT_EQ(TestSupport::ReadFile(InfoPath()), info) << "after a download and OK";

        // The arrows move the hour and the day, whatever the zone.
        TMainForm& g = Create(true);
        Info->StartTime->setCurrentSection(QDateTimeEdit::HourSection);
        Info->StartTime->stepBy(1);
        EXPECT_EQ(Info->StartTime->text(), "3:30:00 AM");
        Info->EndDate->setCurrentSection(QDateTimeEdit::DaySection);
        Info->EndDate->stepBy(-1);
        EXPECT_EQ(Info->EndDate->text(), z.GapDay);
        EXPECT_EQ(Info->EndDate->dateTime().time(), QTime(9, 0));
        Exit(g);
    }
}

// OK with unchanged information after a download keeps the whole body: title, renewed labels,
// table, summary and graph; only the empty lines, header and footer are set anew and the
// closing lines after the last separator go.
TEST_F(ReportInfoTest, OkAfterADownloadKeepsTheBody) {
    Prepare("0\r\n2\r\nAcme Radon\r\nJob 7\r\n1\r\nTested by Ann\r\n3/5/2026 9:00:00 AM\r\n"
            "3/5/2026 9:00:00 AM\r\n3/7/2026 9:00:00 AM\r\n3/7/2026 9:00:00 AM\r\nSN-1\r\n"
            "Cellar\r\n");
    TMainForm& f = Create(true);
    const QStringList built = Download(f, 48);
    const QString sep = StreamConventions::Separator;
    const qsizetype first = built.indexOf(sep);
    const qsizetype last = built.lastIndexOf(sep);
    ASSERT_GT(last, first);
    const QStringList body = built.mid(first, last - first + 1);
    for (const QString& line :
         {QString("HALVORN 4410 CONTINUOUS RADON MONITOR"), QString("Serial #   : SN-1"),
          QString("Start Time : 9:00:00 AM"), QString("Location   : Cellar"),
          QString("Time Interval   1 Hr"), QString(StreamConventions::ScaleLine)})
        EXPECT_TRUE(body.contains(line)) << line.toStdString();
    EXPECT_EQ(body.filter("Overall Avg").size(), 1);
    EXPECT_EQ(body.filter(QString("   |") + StreamConventions::TildeShownAs).size(), 48)
        << "one graph row per reading";

    Info->OKButtonClick();
    const QStringList expected = QStringList{"Acme Radon", "Job 7", "", ""}
                                 << body << QStringList(4, "") << "Tested by Ann";
    EXPECT_EQ(EditorLines(), expected);
}
