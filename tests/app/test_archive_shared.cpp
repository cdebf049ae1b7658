// The window and other programs on one archive at once, as users run them: the window keeps
// its connection (a download made, the archive window open, an Open dialog showing the
// archive's folder) while halvorn-cli lists, imports and downloads and another program
// checkpoints the log, in random order, some of them killed on the way.
#include "AppFixture.h"
#include "Controls.h"

#include "FileLocks.h"
#include "Printout.h"
#include "Pty.h"
#include "app/ArchiveForm.h"
#include "platform/PortMap.h"

#include <QCryptographicHash>
#include <QFileDialog>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <random>
#include <set>

using TestSupport::TPty;

namespace {

QByteArray Printout(int Hours, uint32_t Seed) {
    return SimPrintout::Generate({Hours, Seed, true, false});
}

QString Sha(const QByteArray& Bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(Bytes, QCryptographicHash::Sha256).toHex());
}

class SharedArchiveTest : public AppTest {
protected:
    QString Data() const { return Install.filePath("Data"); }
    static QString CliProgram() {
        return TestSupport::BuildDir() + QStringLiteral("/tools/halvorn-cli/halvorn-cli");
    }

    // Runs Program to its end while the window's event loop turns; SIGKILLed after KillAfterMs
    // when that is not negative. True when it ran to its end with status 0.
    bool Run(const QString& Program, const QStringList& Arguments, int KillAfterMs,
             const std::function<void()>& Started = {}, QByteArray* Out = nullptr) {
        QProcess Child;
        Child.start(Program, Arguments);
        if (!Child.waitForStarted(10000))
            return false;
        if (Started)
            Started();
        QElapsedTimer Clock;
        Clock.start();
        WaitUntil(
            [&] {
                if (KillAfterMs >= 0 && Clock.elapsed() >= KillAfterMs &&
                    Child.state() == QProcess::Running) {
                    Child.kill();
                    ++Kills;
                }
                return Child.state() == QProcess::NotRunning;
            },
            60000);
        Child.waitForFinished(10000);
        if (Out)
            *Out = Child.readAllStandardOutput();
        return Child.exitStatus() == QProcess::NormalExit && Child.exitCode() == 0;
    }

    // What must hold of the window's process whenever it is looked at.
    void ExpectLocksKept(const char* After) {
        EXPECT_TRUE(TestSupport::DeletedOpenFiles(Data()).isEmpty())
            << After << ": " << TestSupport::DeletedOpenFiles(Data()).join(' ').toStdString();
        EXPECT_TRUE(TestSupport::HoldsLock(ArchivePath() + "-shm")) << After;
    }

    TPty Line;
    int Kills = 0;
};

TEST_F(SharedArchiveTest, WindowAndOtherProgramsNeverLoseARow) {
    StoreWithInstallDir("\"Port\"=dword:00000001\r\n\"InfoEnable\"=dword:00000000\r\n");
    PortMap::MapPort("COM1", Line.SlavePath());
    TMainForm& f = Create();
    std::set<QString> Reported;
    uint32_t Seed = 1;
    const auto WindowDownload = [&] {
        Memo(f)->SetModified(false);
        Trigger(f, "GetData");
        const QByteArray Bytes = Printout(6, Seed++);
        ASSERT_TRUE(Line.Write(Bytes));
        ASSERT_TRUE(
            WaitUntil([&] { return !Control<QTimer>(f, "tmrReceive")->isActive(); }, 20000));
        Reported.insert(Sha(Bytes));
    };
    WindowDownload();
    Control<QAction>(f, "FileArchive")->trigger();
    auto* ArchiveWindow = Control<TArchiveForm>(f, "ArchiveForm");
    auto* Open = Control<QFileDialog>(f, "OpenDialog");
    Open->setFileMode(QFileDialog::AnyFile);
    Open->show();
    Open->setDirectory(Data());
    ExpectLocksKept("the first download");

    std::mt19937 Random(4410);
    const auto Pick = [&](int N) { return std::uniform_int_distribution<int>(0, N - 1)(Random); };
    const QString Db = ArchivePath();
    const QString Writer = QStringLiteral(HALVORN_ARCHIVE_WRITER);
    constexpr int Rounds = 60;
    int Failures = 0;
    for (int Round = 0; Round < Rounds; ++Round) {
        // A third of the other programs are killed somewhere in their work.
        const int KillAfter = Pick(3) == 0 ? Pick(400) : -1;
        const QByteArray Bytes = Printout(4 + Pick(40), Seed++);
        switch (Pick(5)) {
        case 0: {
            QByteArray Out;
            if (!Run(CliProgram(), {"archive", "list", "--json", "--archive", Db}, KillAfter, {},
                     &Out) &&
                KillAfter < 0)
                ++Failures;
            break;
        }
        case 1: {
            const QString Capture = Install.filePath(QStringLiteral("c%1.raw").arg(Round));
            TestSupport::WriteFile(Capture, Bytes);
            if (Run(CliProgram(), {"archive", "import", Capture, "--archive", Db}, KillAfter))
                Reported.insert(Sha(Bytes));
            else if (KillAfter < 0)
                ++Failures;
            break;
        }
        case 2: {
            TPty CliLine;
            const QString Report = Install.filePath(QStringLiteral("r%1.txt").arg(Round));
            const bool Done = Run(CliProgram(),
                                  {"download", CliLine.SlavePath(), "-o", Report, "--archive", Db,
                                   "--info-disabled", "--wait", "20"},
                                  KillAfter, [&] { CliLine.Write(Bytes); });
            if (Done)
                Reported.insert(Sha(Bytes));
            else if (KillAfter < 0)
                ++Failures;
            break;
        }
        case 3:
            if (!Run(Writer, {"--checkpoint", Db}, KillAfter) && KillAfter < 0)
                ++Failures;
            break;
        default:
            WindowDownload();
            break;
        }
        ArchiveWindow->Refresh();
        Open->setDirectory(Data());
        QCoreApplication::processEvents();
        ExpectLocksKept(qPrintable(QStringLiteral("round %1").arg(Round)));
    }
    EXPECT_EQ(Failures, 0);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();

    std::set<QString> Present;
    for (const TArchiveRow& Row : Archive().List())
        Present.insert(Row.Sha256);
    for (const QString& Want : Reported)
        EXPECT_TRUE(Present.count(Want)) << "a row reported stored is gone: " << Want.toStdString();
    std::cerr << "rounds " << Rounds << ", kills " << Kills << ", rows reported " << Reported.size()
              << ", rows at the end " << Present.size() << "\n";
    Open->hide();
    Form.reset();
    {
        QSqlDatabase Check = QSqlDatabase::addDatabase("QSQLITE", "shared-check");
        Check.setDatabaseName(Db);
        ASSERT_TRUE(Check.open());
        QSqlQuery Query(Check);
        ASSERT_TRUE(Query.exec("PRAGMA integrity_check") && Query.next());
        EXPECT_EQ(Query.value(0).toString(), "ok");
    }
    QSqlDatabase::removeDatabase("shared-check");
}

} // namespace
