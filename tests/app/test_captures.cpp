#include "AppFixture.h"
#include "Controls.h"

#include "Pty.h"
#include "Sim.h"
#include "acquisition/CaptureFile.h"
#include "acquisition/DownloadFault.h"
#include "acquisition/ECommError.h"
#include "archive/Archive.h"
#include "platform/PortMap.h"

#include <QDirIterator>
#include <QLabel>
#include <QRegularExpression>
#include <cerrno>

using TestSupport::TPty;
using TestSupport::TSim;

TEST(DownloadFault, FirstLineSaysWhatHappenedAndWhatWasKept) {
    const ECommError hangUp(ECommError::QueueStatusFailed, EIO);
    const ECommError other(ECommError::ReadFailed, EINVAL);
    const QString details = "\nDetails: Serial port error QueueStatusFailed (18): Input/output "
                            "error (5)";
    const struct {
        DownloadFault::TFault Fault;
        const ECommError& Error;
        QString Text;
    } Cases[] = {
        {{1, "/dev/ttyUSB0", 9512, "/i/Data/Captures/2026-12-08 14-03-22 COM1.raw", ""},
         hangUp,
         "The instrument on Com 1 (/dev/ttyUSB0) was disconnected after 9,512 bytes. No report "
         "was made; the bytes received are in /i/Data/Captures/2026-12-08 14-03-22 COM1.raw." +
             details},
        {{2, "/dev/ttyS1", 0, "", ""},
         hangUp,
         "The instrument on Com 2 (/dev/ttyS1) was disconnected before any byte came. No report "
         "was made." +
             details},
        {{3, "/dev/ttyS2", 40, "", "Cannot create file /x/a.raw\nNo space left on device"},
         other,
         "The download on Com 3 (/dev/ttyS2) failed after 40 bytes. No report was made, and the "
         "bytes received could not be kept.\nDetails: Serial port error ReadFailed (10): Invalid "
         "argument (22); Cannot create file /x/a.raw: No space left on device"},
    };
    for (const auto& c : Cases)
        EXPECT_EQ(DownloadFault::Message(c.Fault, c.Error), c.Text);
}

// halvorn-cli's one line: a port named by its path is named by the path alone.
TEST(DownloadFault, OneLineWithTheDetailsInBrackets) {
    DownloadFault::TFault fault{0, "/dev/pts/3", 12, "/c/x.raw", ""};
    EXPECT_EQ(DownloadFault::Line(fault, ECommError(ECommError::QueueStatusFailed, EIO)),
              "The instrument on /dev/pts/3 was disconnected after 12 bytes. No report was made; "
              "the bytes received are in /c/x.raw. (Serial port error QueueStatusFailed (18): "
              "Input/output error (5))");
}

TEST(CaptureFile, PortLabelNamesTheDevice) {
    const struct {
        int Number;
        QString Device, Label;
    } Cases[] = {
        {2, "/dev/ttyUSB0", "COM2"},
        {0, "/dev/ttyUSB0", "ttyUSB0"},
        {0, "/dev/pts/3", "pts-3"},
        {0, "/dev/serial/by-id/usb-FTDI_A1-if00", "serial-by-id-usb-FTDI_A1-if00"},
        {0, "/tmp/../dev//ttyS0", "ttyS0"},
        {0, "/home/u/line", "line"},
        {0, "/", "port"},
        {0, "/dev/tty\nUSB\u202e0", "tty_USB_0"},
        {0, QString("/dev/") + QString(300, 'x'), QString(CaptureFile::MaxPortLabel, 'x')},
    };
    for (const auto& c : Cases)
        EXPECT_EQ(CaptureFile::PortLabel(c.Number, c.Device), c.Label) << c.Device.toStdString();
}

TEST(CaptureFile, NamedByStartAndPortNeverOverAnEarlierOne) {
    QTemporaryDir dir;
    const QDateTime started(QDate(2026, 12, 8), QTime(14, 3, 22));
    EXPECT_EQ(CaptureFile::NameFor(started, "COM1"), "2026-12-08 14-03-22 COM1.raw");
    const QString folder = dir.filePath("Data/Captures");
    const QString first = CaptureFile::Write(folder, started, "COM1", "abc");
    const QString second = CaptureFile::Write(folder, started, "COM1", "def");
    EXPECT_EQ(first, folder + "/2026-12-08 14-03-22 COM1.raw");
    EXPECT_EQ(second, folder + "/2026-12-08 14-03-22 COM1 (2).raw");
    EXPECT_EQ(TestSupport::ReadFile(first), "abc");
    EXPECT_EQ(TestSupport::ReadFile(second), "def");
}

class CaptureTest : public AppTest {
protected:
    // COM1 on a pseudo-terminal of the test, chosen in a main window.
    TMainForm& StartOnPty() {
        StoreWithInstallDir("\"Port\"=dword:00000001\r\n\"InfoEnable\"=dword:00000000\r\n");
        PortMap::MapPort("COM1", Line.SlavePath());
        TMainForm& f = Create();
        Trigger(f, "GetData");
        EXPECT_TRUE(Downloading(f));
        return f;
    }
    // The archive's rows, newest first.
    std::vector<TArchiveRow> Archived() { return Archive().List(); }
    // Waits for the tick that has seen Bytes bytes: the next one finds the line as it is then.
    static void WaitForCount(TMainForm& F, int Bytes) {
        ASSERT_TRUE(WaitUntil([&] { return QueueCount(F) == Bytes; }, 5000));
    }
    TPty Line;
};

TEST_F(CaptureTest, UnpluggedAfterBytesKeepsThemAndSaysSoInOneMessage) {
    TMainForm& f = StartOnPty();
    const QByteArray sent = QByteArray("Serial #1234\r").repeated(40);
    ASSERT_TRUE(Line.Write(sent));
    WaitForCount(f, static_cast<int>(sent.size()));
    Line.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return !Control<QTimer>(f, "tmrReceive")->isActive(); }, 5000));
    // With the archive in place the bytes go there, and no capture file is written.
    EXPECT_TRUE(Captures().isEmpty());
    const std::vector<TArchiveRow> rows = Archived();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].State, TArchiveState::Interrupted);
    EXPECT_EQ(rows[0].Port, "COM1");
    EXPECT_EQ(rows[0].Device, Line.SlavePath());
    EXPECT_TRUE(rows[0].Error.startsWith("Serial port error ")) << rows[0].Error.toStdString();
    EXPECT_EQ(Archive().Get(rows[0].Id)->Raw, sent);
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors[0].section('\n', 0, 0),
              QStringLiteral("The instrument on Com 1 (%1) was disconnected after 520 bytes. No "
                             "report was made; the bytes received are in the archive %2 "
                             "(measurement %3).")
                  .arg(Line.SlavePath(), ArchivePath())
                  .arg(rows[0].Id));
    EXPECT_TRUE(Errors[0].section('\n', 1).startsWith("Details: Serial port error "));
    EXPECT_EQ(StatusText(), "Idle");
    EXPECT_TRUE(EditorLines().isEmpty());
}

TEST_F(CaptureTest, StopKeepsTheBytesAndNamesTheFile) {
    TMainForm& f = StartOnPty();
    ASSERT_TRUE(Line.Write("first part\r"));
    WaitForCount(f, 11);
    // Bytes that came after the last tick are kept too.
    ASSERT_TRUE(Line.Write("second"));
    QThread::msleep(20);
    Control<QAction>(f, "ComPortStop")->trigger();
    EXPECT_TRUE(Captures().isEmpty());
    const std::vector<TArchiveRow> rows = Archived();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].State, TArchiveState::Stopped);
    EXPECT_EQ(Archive().Get(rows[0].Id)->Raw, "first part\rsecond");
    EXPECT_EQ(Control<QLabel>(f, "ProgressPanel")->text(),
              QStringLiteral("Stopped: 17 bytes kept in the archive %1 (measurement %2)")
                  .arg(ArchivePath())
                  .arg(rows[0].Id));
    EXPECT_EQ(StatusText(), "Idle");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

// Another program's file where the archive belongs: said once, left alone, and the bytes of
// unfinished transfers go to capture files as they did before there was an archive.
TEST_F(CaptureTest, WithTheArchiveRefusedStopWritesCaptureFiles) {
    QDir().mkpath(Install.filePath("Data"));
    const QByteArray foreign = "not a database, the user's own notes\n";
    TestSupport::WriteFile(ArchivePath(), foreign);
    TMainForm& f = StartOnPty();
    for (const QByteArray& part : {QByteArray("first part\r"), QByteArray("again\r")}) {
        ASSERT_TRUE(Line.Write(part));
        WaitForCount(f, static_cast<int>(part.size()));
        Control<QAction>(f, "ComPortStop")->trigger();
        Trigger(f, "GetData");
    }
    Control<QAction>(f, "ComPortStop")->trigger();
    const QStringList files = Captures();
    ASSERT_EQ(files.size(), 2);
    QStringList kept{TestSupport::ReadFile(files[0]), TestSupport::ReadFile(files[1])};
    kept.sort();
    EXPECT_EQ(kept, (QStringList{"again\r", "first part\r"}));
    EXPECT_TRUE(Control<QLabel>(f, "ProgressPanel")->text().isEmpty() ||
                Control<QLabel>(f, "ProgressPanel")->text().startsWith("Stopped"));
    ASSERT_EQ(Errors.size(), 1) << Errors.join('\n').toStdString();
    EXPECT_TRUE(Errors[0].contains(ArchivePath() + " is not a database"))
        << Errors[0].toStdString();
    EXPECT_EQ(TestSupport::ReadFile(ArchivePath()), foreign);
}

TEST_F(CaptureTest, NothingIsWrittenWhenNoByteCame) {
    TMainForm& f = StartOnPty();
    Control<QAction>(f, "ComPortStop")->trigger();
    EXPECT_TRUE(Captures().isEmpty());
    EXPECT_TRUE(Control<QLabel>(f, "ProgressPanel")->text().isEmpty());
    Trigger(f, "GetData");
    Line.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return !Control<QTimer>(f, "tmrReceive")->isActive(); }, 5000));
    EXPECT_TRUE(Captures().isEmpty());
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].contains("before any byte came. No report was made.\nDetails: "));
}

TEST_F(CaptureTest, ExitDuringADownloadKeepsItsBytes) {
    TMainForm& f = StartOnPty();
    ASSERT_TRUE(Line.Write("half a printout\r"));
    WaitForCount(f, 16);
    Trigger(f, "FileExit");
    EXPECT_FALSE(Downloading(f));
    EXPECT_TRUE(Captures().isEmpty());
    const std::vector<TArchiveRow> rows = Archived();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].State, TArchiveState::Stopped);
    EXPECT_EQ(Archive().Get(rows[0].Id)->Raw, "half a printout\r");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}
