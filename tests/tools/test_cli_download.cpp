#include "CliRun.h"
#include "Pty.h"
#include "Sim.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

using TestSupport::ReadFile;
using TestSupport::TPty;
using TestSupport::TSim;

namespace {

class CliTransfer : public ::testing::Test {
protected:
    QString In(const QString& Name) const { return Dir.filePath(Name); }
    QStringList Captures() const {
        QStringList Files;
        for (QDirIterator It(In("caps"), QDir::Files); It.hasNext();)
            Files << It.next();
        return Files;
    }

    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
};

// Starts a download of Sim's line and waits until stderr says bytes are coming (or, with
// Listening, that the line is listened to).
bool StartAndWait(QProcess& P, const QStringList& Arguments, const char* Until, QByteArray& Err) {
    P.setReadChannel(QProcess::StandardError);
    P.start(Program(), Arguments);
    if (!P.waitForStarted(5000))
        return false;
    while (!Err.contains(Until) && P.waitForReadyRead(10000))
        Err += P.readAllStandardError();
    return Err.contains(Until);
}

// Says as a whole-line pattern, "D/" leading to Dir and "@" standing for Device.
QRegularExpression Pattern(const char* Says, const QString& Dir, const QString& Device) {
    return QRegularExpression(QRegularExpression::anchoredPattern(
        QString::fromLatin1(Says)
            .replace("D/", QRegularExpression::escape(Dir + "/"))
            .replace("@", QRegularExpression::escape(Device))));
}

// The count of "9,512 bytes" as a number.
qint64 Count(const QString& Text) {
    return QString(Text).remove(QLatin1Char(',')).toLongLong();
}

// Ctrl+C, a closed terminal and a termination request stop the download as Stop does: the
// bytes received are kept, nothing else is written, the status is 128 plus the signal, and the
// last line says what became of the bytes. A terminal gone before (writes to stderr fail) never
// costs the bytes.
TEST_F(CliTransfer, SignalsKeepTheBytesAndExitWithTheirStatus) {
    const QByteArray Sent = ReadFile(FixturePath("long.bin"));
    const QStringList Acquiring{"--file", FixturePath("long.bin"), "--baud", "1200"};
    const char* const Stopped =
        "halvorn-cli: The download on @ was stopped after ([0-9,]+) bytes; no report was made; "
        "the bytes received are in (D/caps/.* pts-[0-9]+\\.raw)\n";
    const struct {
        const char* Name;
        int Signal;
        QStringList Sim;
        const char* Until;
        const char* Says; // null: stderr is gone, nothing to read
    } Cases[] = {
        {"Ctrl+C while acquiring", SIGINT, Acquiring, "Acquiring", Stopped},
        {"Ctrl+C while listening",
         SIGINT,
         {"--delay", "600000"},
         "Listening",
         "halvorn-cli: Stopped listening on @ before any byte came\n"},
        {"termination request", SIGTERM, Acquiring, "Acquiring", Stopped},
        {"closed terminal", SIGHUP, Acquiring, "Acquiring", Stopped},
        {"closed terminal, stderr gone", SIGHUP, Acquiring, "Acquiring", nullptr},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        QDir(In("caps")).removeRecursively();
        TSim Sim(C.Sim);
        ASSERT_TRUE(Sim.Started());
        const QString Device = Sim.DevicePath();
        QProcess P;
        QByteArray Err;
        ASSERT_TRUE(StartAndWait(P,
                                 {"download", Device, "-o", In("r.txt"), "--captures", In("caps"),
                                  "--info-disabled", "--no-archive", "--progress"},
                                 C.Until, Err))
            << Err.toStdString();
        if (!C.Says)
            P.closeReadChannel(QProcess::StandardError);
        ::kill(static_cast<pid_t>(P.processId()), C.Signal);
        ASSERT_TRUE(P.waitForFinished(10000));
        EXPECT_EQ(P.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(P.exitCode(), 128 + C.Signal);
        EXPECT_FALSE(QFile::exists(In("r.txt")));
        QString KeptIn;
        if (C.Says) {
            Err += P.readAllStandardError();
            const QString Last = QString::fromLocal8Bit(Err).section('\n', -2);
            const QRegularExpressionMatch M = Pattern(C.Says, Dir.path(), Device).match(Last);
            ASSERT_TRUE(M.hasMatch()) << Last.toStdString();
            if (M.lastCapturedIndex() != 2) {
                EXPECT_TRUE(Captures().isEmpty());
                continue;
            }
            KeptIn = M.captured(2);
            EXPECT_EQ(ReadFile(KeptIn).size(), Count(M.captured(1)));
        }
        ASSERT_EQ(Captures().size(), 1);
        const QByteArray Kept = ReadFile(Captures()[0]);
        EXPECT_TRUE(KeptIn.isEmpty() || Captures()[0] == KeptIn);
        EXPECT_GT(Kept.size(), 0);
        EXPECT_EQ(Kept, Sent.left(Kept.size()));
    }
}

// A device reached through a name a file system cannot take as is (very long, a newline in
// it): the capture is named safely and shortly, never lost.
TEST_F(CliTransfer, CaptureNamesAreSafeWhateverTheDeviceIsCalled) {
    for (const QString& Name : {QString(240, 'd'), QStringLiteral("line\nfeed\u202eturn")}) {
        QDir(In("caps")).removeRecursively();
        TSim Sim({"--file", FixturePath("long.bin"), "--baud", "1200"});
        ASSERT_TRUE(Sim.Started());
        const QString Link = In(Name);
        QFile::remove(Link);
        ASSERT_TRUE(QFile::link(Sim.DevicePath(), Link));
        QProcess P;
        QByteArray Err;
        ASSERT_TRUE(StartAndWait(P,
                                 {"download", Link, "--captures", In("caps"), "--info-disabled",
                                  "--no-archive", "--progress"},
                                 "Acquiring", Err))
            << Err.toStdString();
        ::kill(static_cast<pid_t>(P.processId()), SIGINT);
        ASSERT_TRUE(P.waitForFinished(10000));
        EXPECT_EQ(P.exitCode(), 130) << P.readAllStandardError().constData();
        const QStringList Files = Captures();
        ASSERT_EQ(Files.size(), 1);
        const QString File = QFileInfo(Files[0]).fileName();
        EXPECT_LT(File.toUtf8().size(), 100) << File.toStdString();
        EXPECT_FALSE(File.contains('\n') || File.contains(QChar(0x202e))) << File.toStdString();
        EXPECT_GT(ReadFile(Files[0]).size(), 0);
    }
}

// A line that goes away mid-transfer: one line naming the port, what was kept and the port's
// own error in brackets; the capture is what the line delivered.
TEST_F(CliTransfer, FaultSaysWhatWasKeptOnOneLine) {
    const QByteArray Sent = ReadFile(FixturePath("short.bin"));
    TestSupport::WriteFile(In("file"), "not a folder");
    const struct {
        const char *Name, *Captures, *Says;
    } Cases[] = {
        {"kept", "D/caps",
         "halvorn-cli: The instrument on @ was disconnected after ([0-9,]+) bytes. No report was "
         "made; the bytes received are in (D/caps/.* pts-[0-9]+\\.raw). \\(Serial port error "
         "QueueStatusFailed \\(18\\): Input/output error \\(5\\)\\)\n"},
        {"not kept", "D/file/caps",
         "halvorn-cli: The instrument on @ was disconnected after [0-9,]+ bytes. No report was "
         "made, and the bytes received could not be kept. \\(Serial port error "
         "QueueStatusFailed \\(18\\): Input/output error \\(5\\); .*D/file/caps.*\\)\n"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TSim Sim({"--file", FixturePath("short.bin"), "--baud", "4800", "--linger", "0"});
        ASSERT_TRUE(Sim.Started());
        const QString Device = Sim.DevicePath();
        const TRun R = Cli({"download", Device, "-o", In("r.txt"), "--no-archive", "--captures",
                            Words(C.Captures, Dir.path())[0]});
        EXPECT_EQ(R.ExitCode, 1);
        const QString Last = QString::fromLocal8Bit(R.Err).section('\n', -2);
        const QRegularExpressionMatch M = Pattern(C.Says, Dir.path(), Device).match(Last);
        ASSERT_TRUE(M.hasMatch()) << Last.toStdString();
        EXPECT_FALSE(QFile::exists(In("r.txt")));
        if (M.lastCapturedIndex() == 2) {
            const QByteArray Kept = ReadFile(M.captured(2));
            EXPECT_EQ(Kept.size(), Count(M.captured(1)));
            EXPECT_EQ(Kept, Sent.left(Kept.size()));
        }
    }
}

// A complete printout whose report cannot be written is not lost: its bytes are kept.
TEST_F(CliTransfer, ReportThatCannotBeWrittenKeepsTheBytes) {
    TSim Sim({"--file", FixturePath("short.bin"), "--unpaced"});
    ASSERT_TRUE(Sim.Started());
    const TRun R = Cli({"download", Sim.DevicePath(), "-o", "/dev/full", "--captures", In("caps"),
                        "--info-disabled", "--no-archive"});
    EXPECT_EQ(R.ExitCode, 1);
    const QString Last = QString::fromLocal8Bit(R.Err).section('\n', -2);
    const QRegularExpressionMatch M =
        Pattern("halvorn-cli: .*/dev/full.*; the bytes received are in (D/caps/.*\\.raw)\n",
                Dir.path(), Sim.DevicePath())
            .match(Last);
    ASSERT_TRUE(M.hasMatch()) << Last.toStdString();
    EXPECT_EQ(ReadFile(M.captured(1)), ReadFile(FixturePath("short.bin")));
    EXPECT_EQ(Cli({"build", M.captured(1), "--info-disabled"}).Out,
              Cli({"build", FixturePath("short.bin"), "--info-disabled"}).Out);
}

// On a terminal one line is rewritten in place: the state with the bytes, time and rate, the
// count never going back, and a line end only once it is over.
TEST_F(CliTransfer, ProgressRewrittenInPlaceOnATerminal) {
    TPty Terminal;
    ASSERT_TRUE(Terminal.Ok());
    TSim Sim({"--file", FixturePath("short.bin"), "--baud", "4800"});
    ASSERT_TRUE(Sim.Started());
    QProcess P;
    P.setStandardErrorFile(Terminal.SlavePath());
    P.start(Program(), {"download", Sim.DevicePath(), "-o", In("r.txt"), "--info-disabled"});
    ASSERT_TRUE(P.waitForStarted(5000));
    QByteArray Shown;
    for (bool Running = true; Running;) {
        Running = !P.waitForFinished(0) && P.state() != QProcess::NotRunning;
        pollfd Ready{Terminal.Master(), POLLIN, 0};
        while (::poll(&Ready, 1, Running ? 100 : 0) > 0 && (Ready.revents & POLLIN)) {
            char Buffer[4096];
            const ssize_t Got = ::read(Terminal.Master(), Buffer, sizeof Buffer);
            if (Got <= 0)
                break;
            Shown.append(Buffer, Got);
        }
    }
    EXPECT_EQ(P.exitCode(), 0);
    const QString Text = QString::fromLocal8Bit(Shown);
    EXPECT_TRUE(Text.endsWith("\rIdle\033[K\n")) << Text.toStdString();
    EXPECT_EQ(Text.count('\n'), 1) << Text.toStdString();
    static const QRegularExpression Line(
        "\r(Listening for data on [^\r]*\\.\\.\\.|Acquiring Data on [^\r]* - Please Wait\\.\\.\\.) "
        "([0-9,]+) bytes, [0-9]+:[0-9]{2}, [0-9,]+ bytes/s\033\\[K");
    qint64 Previous = 0;
    int Acquiring = 0;
    for (auto It = Line.globalMatch(Text); It.hasNext();) {
        const QRegularExpressionMatch M = It.next();
        EXPECT_GE(Count(M.captured(2)), Previous);
        Previous = Count(M.captured(2));
        Acquiring += M.captured(1).startsWith("Acquiring");
    }
    EXPECT_GT(Acquiring, 0) << Text.toStdString();
    EXPECT_LE(Previous, 861);
    EXPECT_EQ(ReadFile(In("r.txt")).isEmpty(), false);
}

// --progress: plain lines for a log, at most one a second, also on a terminal.
TEST_F(CliTransfer, ProgressForLogsOneLineASecond) {
    TSim Sim({"--file", FixturePath("short.bin"), "--baud", "4800"});
    ASSERT_TRUE(Sim.Started());
    const TRun R = Cli({"download", Sim.DevicePath(), "--progress", "--info-disabled"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
    const QStringList Lines = QString::fromLocal8Bit(R.Err).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(Lines.size(), 2);
    EXPECT_EQ(Lines.last(), "Idle");
    static const QRegularExpression Line(QRegularExpression::anchoredPattern(
        "(Listening|Acquiring) [^\r]* ([0-9,]+) bytes, ([0-9]+):([0-9]{2}), [0-9,]+ bytes/s"));
    int Second = -1;
    for (const QString& L : Lines.mid(0, Lines.size() - 1)) {
        const QRegularExpressionMatch M = Line.match(L);
        ASSERT_TRUE(M.hasMatch()) << L.toStdString();
        const int At = M.captured(3).toInt() * 60 + M.captured(4).toInt();
        EXPECT_GT(At, Second) << L.toStdString();
        Second = At;
    }
}

} // namespace
