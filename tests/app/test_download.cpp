#include "AppFixture.h"

#include "Printout.h"
#include "Sim.h"
#include "report/CaptureText.h"
#include "report/ReportBuilder.h"

#include <QAction>
#include <QSet>

using TestSupport::ModalAnswer;
using TestSupport::TSim;

namespace {

const QString Listening = "Listening for data on Com 1...";
const QString Acquiring = "Acquiring Data on Com 1 - Please Wait...";

} // namespace

class DownloadTest : public AppTest {
protected:
    // A simulator serving Bytes, recorded as COM1, and a main window with COM1 chosen.
    TMainForm& Start(const QByteArray& Bytes, const QStringList& SimOptions) {
        const QString file = Install.filePath("printout.bin");
        TestSupport::WriteFile(file, Bytes);
        StoreWithInstallDir("\"Port\"=dword:00000001\r\n\"InfoEnable\"=dword:00000000\r\n");
        Sim = std::make_unique<TSim>(QStringList{"--file", file, "--com", "1"} + SimOptions);
        EXPECT_TRUE(Sim->Started());
        TMainForm& f = Create();
        EXPECT_TRUE(PortItem(f, 1)->isEnabled());
        EXPECT_TRUE(PortItem(f, 1)->isChecked());
        return f;
    }

    // Watches the status texts until the report is on screen.
    QStringList RunToReport(TMainForm& F) {
        QStringList seen{StatusText()};
        const bool done = WaitUntil([&] {
            if (seen.last() != StatusText())
                seen << StatusText();
            // A transfer without a readings table ends on a line that says so instead of "Idle".
            return (StatusText() == "Idle" || StatusText().contains("no readings table")) &&
                   !Control<QTimer>(F, "tmrReceive")->isActive();
        });
        EXPECT_TRUE(done) << "still " << StatusText().toStdString();
        return seen;
    }

    std::unique_ptr<TSim> Sim;
};

TEST_F(DownloadTest, PacedPrintoutBecomesTheReport) {
    SimPrintout::TOptions o;
    o.Hours = 6;
    QByteArray bytes = SimPrintout::Generate(o);
    bytes.truncate(1000);
    bytes.append('\r');
    TMainForm& f = Start(bytes, {"--baud", "1200"});
    Trigger(f, "GetData");
    EXPECT_EQ(StatusText(), Listening);
    const QStringList seen = RunToReport(f);
    EXPECT_EQ(seen, (QStringList{Listening, Acquiring, "Idle"}));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(EditorLines(), BuildReport(bytes, TReportInfo{}));
    EXPECT_EQ(f.windowTitle(), "Halvorn - Untitled");
    EXPECT_TRUE(Modified());
    EXPECT_FALSE(Downloading(f));
}

TEST_F(DownloadTest, LargePrintoutArrivesWhole) {
    SimPrintout::TOptions o;
    o.Hours = 400;
    QByteArray bytes = SimPrintout::Generate(o);
    bytes.truncate(30 * 1024);
    bytes.append('\r');
    TMainForm& f = Start(bytes, {"--unpaced"});
    Trigger(f, "GetData");
    RunToReport(f);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(EditorLines(), BuildReport(bytes, TReportInfo{}));
}

TEST_F(DownloadTest, PauseEndsTheDownload) {
    SimPrintout::TOptions o;
    o.Hours = 48;
    const QByteArray bytes = SimPrintout::Generate(o);
    const int cut = bytes.indexOf('\r', bytes.size() / 2) + 1;
    TMainForm& f = Start(bytes, {"--unpaced", "--pause", QString("%1:1500").arg(cut)});
    Trigger(f, "GetData");
    RunToReport(f);
    EXPECT_EQ(EditorLines(), BuildReport(bytes.left(cut), TReportInfo{}));
}

TEST_F(DownloadTest, NoInstrumentKeepsListening) {
    TMainForm& f = Start("never sent\r", {"--delay", "600000"});
    Trigger(f, "GetData");
    QElapsedTimer clock;
    clock.start();
    WaitUntil([&] { return clock.elapsed() > 1100; });
    EXPECT_EQ(StatusText(), Listening);
    EXPECT_TRUE(Control<QTimer>(f, "tmrReceive")->isActive());
    EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(DownloadTest, UnpluggedWhileListeningIsOneErrorThenGetDataWorksAgain) {
    TMainForm& f = Start("never sent\r", {"--delay", "600000"});
    Trigger(f, "GetData");
    Sim.reset(); // the line hangs up
    EXPECT_TRUE(WaitUntil([&] { return !Control<QTimer>(f, "tmrReceive")->isActive(); }, 5000));
    // A few more ticks' worth of time: no second message.
    QElapsedTimer clock;
    clock.start();
    WaitUntil([&] { return clock.elapsed() > 600; });
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].startsWith("The instrument on Com 1 ("));
    EXPECT_TRUE(Errors[0].contains(
        ") was disconnected before any byte came. No report was made.\nDetails: Serial port "
        "error QueueStatusFailed (18)"))
        << Errors[0].toStdString();
    EXPECT_EQ(StatusText(), "Idle");
    EXPECT_FALSE(Downloading(f));

    const QString file = Install.filePath("second.bin");
    TestSupport::WriteFile(file, "Serial #\rline\rA\rB\r");
    Sim = std::make_unique<TSim>(QStringList{"--file", file, "--com", "1", "--unpaced"});
    ASSERT_TRUE(Sim->Started());
    Trigger(f, "GetData");
    RunToReport(f);
    EXPECT_EQ(Errors.size(), 1);
    EXPECT_EQ(EditorLines(), (QStringList{"Serial #   : ", "line"}));
}

TEST_F(DownloadTest, PromptAnswersAtGetData) {
    TMainForm& f = Start("Serial #\rX\rY\rZ\r", {"--unpaced", "--delay", "600000"});
    Type("edited");
    {
        ModalAnswer answer(ModalAnswer::Press(QMessageBox::Cancel));
        Trigger(f, "GetData");
        EXPECT_EQ(answer.Answered(), 1);
    }
    EXPECT_EQ(Memo(f)->toPlainText(), "edited");
    EXPECT_FALSE(Downloading(f));
    EXPECT_EQ(StatusText(), "Idle");
    {
        ModalAnswer answer({ModalAnswer::Press(QMessageBox::Yes), ModalAnswer::Reject()});
        Trigger(f, "GetData");
        EXPECT_EQ(answer.Answered(), 2);
    }
    EXPECT_EQ(Memo(f)->toPlainText(), "edited");
    EXPECT_FALSE(Downloading(f));
    {
        ModalAnswer answer(ModalAnswer::Press(QMessageBox::No));
        Trigger(f, "GetData");
    }
    EXPECT_TRUE(Memo(f)->document()->isEmpty());
    EXPECT_FALSE(Modified());
    EXPECT_TRUE(Downloading(f));
    EXPECT_EQ(StatusText(), Listening);
    EXPECT_FALSE(Control<QAction>(f, "FileNew")->isEnabled());
}

TEST_F(DownloadTest, PortItemRefusedWhileTheDownloadHoldsThePort) {
    TMainForm& f = Start("x\r", {"--delay", "600000"});
    Trigger(f, "GetData");
    PortItem(f, 2)->setEnabled(true);
    PortItem(f, 2)->trigger();
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].startsWith("Serial port error PortAlreadyOpen (6)"))
        << Errors[0].toStdString();
    EXPECT_TRUE(PortItem(f, 1)->isChecked());
    EXPECT_FALSE(PortItem(f, 2)->isChecked());
    EXPECT_TRUE(f.close());
    EXPECT_TRUE(Config.ReadStore().contains("\"Port\"=dword:00000001"));
}

TEST_F(DownloadTest, GarbageNeverCrashesTheWindow) {
    QByteArray garbage;
    for (int i = 0; i < 64; ++i)
        for (int b = 0; b < 256; ++b)
            garbage += char((b * 7 + i) & 0xFF);
    // 16 KiB of every byte value (zero bytes among them), then 16 KiB of one line without CR.
    garbage += QByteArray(16 * 1024, 'x');
    TMainForm& f = Start(garbage, {"--unpaced"});
    Trigger(f, "GetData");
    RunToReport(f);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_FALSE(Downloading(f));
    // What the window shows is what the builder makes of the pieces the port delivered.
    EXPECT_EQ(EditorLines(), BuildReport(CaptureText::DownloadText(garbage), TReportInfo{}));
}
