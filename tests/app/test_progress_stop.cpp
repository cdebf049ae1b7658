#include "AppFixture.h"

#include "Sim.h"
#include "acquisition/DownloadProgress.h"

#include <QAction>
#include <QLabel>
#include <QRegularExpression>
#include <csignal>

using TestSupport::TSim;

TEST(DownloadProgress, BytesTimeAndRate) {
    const struct {
        qint64 Bytes, Ms;
        const char* Text;
    } Cases[] = {
        {0, 0, "0 bytes, 0:00, 0 bytes/s"},
        {9512, 79000, "9,512 bytes, 1:19, 120 bytes/s"},
        {240, 1999, "240 bytes, 0:01, 120 bytes/s"},
        {32768, 599999, "32,768 bytes, 9:59, 54 bytes/s"},
        {1234567, 3723000, "1,234,567 bytes, 1:02:03, 331 bytes/s"},
    };
    for (const auto& c : Cases)
        EXPECT_EQ(DownloadProgress::Text(c.Bytes, c.Ms), c.Text);
}

class ProgressStopTest : public AppTest {
protected:
    // A main window with COM1 on a simulator sending a long printout at 1200 baud.
    TMainForm& StartSlow() {
        StoreWithInstallDir("\"Port\"=dword:00000001\r\n\"InfoEnable\"=dword:00000000\r\n");
        Sim = std::make_unique<TSim>(QStringList{"--hours", "200", "--com", "1"});
        EXPECT_TRUE(Sim->Started());
        return Create();
    }
    std::unique_ptr<TSim> Sim;
};

TEST_F(ProgressStopTest, ProgressFieldCountsWhileTheStatusKeepsItsText) {
    TMainForm& f = StartSlow();
    EXPECT_TRUE(Control<QLabel>(f, "ProgressPanel")->text().isEmpty());
    EXPECT_FALSE(Control<QAction>(f, "ComPortStop")->isEnabled());
    EXPECT_EQ(Control<QAction>(f, "ComPortStop")->shortcut(), QKeySequence(Qt::Key_Escape));
    Trigger(f, "GetData");
    EXPECT_TRUE(Control<QAction>(f, "ComPortStop")->isEnabled());
    EXPECT_EQ(Control<QLabel>(f, "ProgressPanel")->text(), "0 bytes, 0:00, 0 bytes/s");
    static const QRegularExpression Shape("^([0-9,]+) bytes, 0:0[0-9], [0-9]+ bytes/s$");
    qint64 bytes = 0;
    ASSERT_TRUE(WaitUntil([&] {
        const auto m = Shape.match(Control<QLabel>(f, "ProgressPanel")->text());
        bytes = m.hasMatch() ? m.captured(1).remove(',').toLongLong() : 0;
        return bytes > 100;
    }));
    EXPECT_EQ(StatusText(), "Acquiring Data on Com 1 - Please Wait...");
    // Within a tick the count grows again.
    const QString before = Control<QLabel>(f, "ProgressPanel")->text();
    EXPECT_TRUE(
        WaitUntil([&] { return Control<QLabel>(f, "ProgressPanel")->text() != before; }, 10000));
    Control<QAction>(f, "ComPortStop")->trigger();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(ProgressStopTest, StopClosesThePortWithoutAReport) {
    TMainForm& f = StartSlow();
    Trigger(f, "GetData");
    ASSERT_TRUE(WaitUntil([&] { return QueueCount(f) > 0; }));
    Control<QAction>(f, "ComPortStop")->trigger();
    EXPECT_FALSE(Downloading(f));
    EXPECT_FALSE(Control<QTimer>(f, "tmrReceive")->isActive());
    EXPECT_EQ(StatusText(), "Idle");
    EXPECT_TRUE(Control<QLabel>(f, "ProgressPanel")->text().startsWith("Stopped: "))
        << Control<QLabel>(f, "ProgressPanel")->text().toStdString();
    EXPECT_FALSE(Control<QAction>(f, "ComPortStop")->isEnabled());
    EXPECT_TRUE(EditorLines().isEmpty());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    // A new download can start at once.
    Trigger(f, "GetData");
    EXPECT_TRUE(Downloading(f));
    Control<QAction>(f, "ComPortStop")->trigger();
}

// A logout (SIGTERM) or a closed terminal (SIGHUP) keeps the bytes of a running download as
// Stop does, then closes the window as Exit does.
TEST_F(ProgressStopTest, EndingSignalsKeepTheBytesAndClose) {
    for (const int Signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(Signal);
        TMainForm& f = StartSlow();
        f.show();
        Trigger(f, "GetData");
        ASSERT_TRUE(WaitUntil([&] { return QueueCount(f) > 0; }));
        ::raise(Signal);
        ASSERT_TRUE(WaitUntil([&] { return !Downloading(f); }));
        const std::vector<TArchiveRow> rows = Archive().List();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].State, TArchiveState::Stopped);
        EXPECT_GT(rows[0].Bytes, 0);
        EXPECT_FALSE(f.isVisible());
        EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
        Form.reset();
        Sim.reset();
        QFile::remove(ArchivePath());
        QFile::remove(ArchivePath() + "-wal");
        QFile::remove(ArchivePath() + "-shm");
    }
}

TEST_F(ProgressStopTest, ExitEndsAListeningDownloadAfterThePrompt) {
    StoreWithInstallDir("\"Port\"=dword:00000001\r\n\"InfoEnable\"=dword:00000000\r\n");
    Sim = std::make_unique<TSim>(QStringList{"--hours", "2", "--delay", "60000", "--com", "1"});
    ASSERT_TRUE(Sim->Started());
    TMainForm& f = Create();
    Trigger(f, "GetData");
    ASSERT_TRUE(Downloading(f));
    Type("edited");
    {
        TestSupport::ModalAnswer answer(TestSupport::ModalAnswer::Press(QMessageBox::Cancel));
        Trigger(f, "FileExit");
    }
    // Called off: the download goes on.
    EXPECT_TRUE(Downloading(f));
    EXPECT_TRUE(Control<QAction>(f, "ComPortStop")->isEnabled());
    {
        TestSupport::ModalAnswer answer(TestSupport::ModalAnswer::Press(QMessageBox::No));
        Trigger(f, "FileExit");
    }
    EXPECT_FALSE(Downloading(f));
    EXPECT_EQ(StatusText(), "Idle");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}
