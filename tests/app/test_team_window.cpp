#include "AppFixture.h"
#include "Controls.h"

#include "PgTestServer.h"
#include "Printout.h"
#include "Pty.h"
#include "app/ArchiveForm.h"
#include "archive/ArchiveModel.h"
#include "archive/TeamArchive.h"
#include "files/EditorText.h"
#include "files/ReportText.h"
#include "platform/PortMap.h"
#include "settings/Settings.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <arpa/inet.h>
#include <iostream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using TestSupport::ModalAnswer;

namespace {

QByteArray Printout(int Hours, uint32_t Seed = 0) {
    return SimPrintout::Generate({Hours, Seed, true, false});
}

} // namespace

// A window on COM1 (the test's pseudo-terminal) with a team server stored, found only by its
// controls' names.
class TeamWindowTest : public AppTest {
protected:
    void TearDown() override {
        AppTest::TearDown();
        if (Silent >= 0)
            ::close(Silent);
    }
    // Measurements stored before the window starts; the first has a job.
    void Archived(int Rows) {
        TArchive Archive(ArchivePath());
        for (int I = 0; I < Rows; ++I) {
            TArchiveEntry E;
            E.Port = "COM1";
            E.Raw = Printout(6 + I, uint32_t(I));
            E.Info.Enabled = true;
            E.Info.SerialNumber = QStringLiteral("4410-%1").arg(I);
            Archive.Store(E);
        }
        if (Rows)
            Archive.SetJob(1, TJob{"Ann Maple", "12 Birch Lane", {}, {}, {}, {}});
    }
    TMainForm& Start(const QString& Uri) {
        StoreWithInstallDir("\"Port\"=dword:00000001\r\n\"InfoEnable\"=dword:00000000\r\n");
        PortMap::MapPort("COM1", Line.SlavePath());
        if (!Uri.isEmpty())
            Settings::SaveTeamServer(Uri);
        return Create();
    }
    QLabel& Field() { return *Control<QLabel>(*Form, "TeamPanel"); }
    bool Says(const QString& Text) { return Field().text() == Text; }
    // Get Data, a printout down the line, its report on screen.
    void Download(const QByteArray& Bytes) {
        Control<QAction>(*Form, "GetData")->trigger();
        ASSERT_TRUE(Line.Write(Bytes));
        ASSERT_TRUE(WaitUntil(
            [&] {
                return !Control<QTimer>(*Form, "tmrReceive")->isActive() &&
                       !Memo(*Form)->toPlainText().isEmpty();
            },
            15000));
    }
    // A port that takes a connection and never answers: each try lasts the connect time-out.
    QString SilentServer() {
        Silent = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in A{};
        A.sin_family = AF_INET;
        A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t Size = sizeof A;
        EXPECT_EQ(::bind(Silent, reinterpret_cast<sockaddr*>(&A), Size), 0);
        EXPECT_EQ(::listen(Silent, 16), 0);
        ::getsockname(Silent, reinterpret_cast<sockaddr*>(&A), &Size);
        return QStringLiteral("postgresql://tech@127.0.0.1:%1/radon?connect_timeout=2")
            .arg(ntohs(A.sin_port));
    }

    TestSupport::TPty Line;
    int Silent = -1;
};

// With a server that never answers, the window's event loop never waits on it (the longest gap
// between its timer's ticks, while pushes try), Get Data stores the download, and the field says
// the server is offline; without a stored server there is no field.
TEST_F(TeamWindowTest, UnreachableServerNeverBlocksTheWindow) {
    Archived(2);
    Start(SilentServer());
    QElapsedTimer Clock;
    Clock.start();
    qint64 Last = 0, Longest = 0;
    QTimer Tick;
    QObject::connect(&Tick, &QTimer::timeout, [&] {
        Longest = std::max(Longest, Clock.elapsed() - Last);
        Last = Clock.elapsed();
    });
    Tick.start(5);
    EXPECT_TRUE(Says("Team: 2 waiting")) << Field().text().toStdString();
    Download(Printout(6, 9));
    EXPECT_TRUE(Says("Team: 3 waiting")) << Field().text().toStdString();
    EXPECT_TRUE(WaitUntil([&] { return Says("Team: offline"); }, 20000));
    Tick.stop();
    std::cout << "longest gap of the event loop while pushes tried: " << Longest << " ms\n";
    EXPECT_LT(Longest, 100);
    EXPECT_TRUE(Field().toolTip().contains("did not answer in time"))
        << Field().toolTip().toStdString();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    Form.reset();
    EXPECT_EQ(TArchive(ArchivePath()).TeamCounts().Waiting, 3);
    Settings::SaveTeamServer({});
    EXPECT_TRUE(Start({}).findChild<QLabel*>("TeamPanel")->isHidden());
}

class TeamServerWindowTest : public TeamWindowTest {
protected:
    void SetUp() override {
        TeamWindowTest::SetUp();
        if (const QString Why = PgTest::Missing(); !Why.isEmpty())
            GTEST_SKIP() << Why.toStdString();
        Db = std::make_unique<PgTest::TDatabase>(PgTest::SharedUri());
        TTeamConnection Owner(Db->Server());
        TTeamArchive(Owner).Init(true);
    }
    qint64 OnServer(const char* Table = "measurement") {
        return Db->Exec(QStringLiteral("SELECT count(*) FROM halvorn.%1").arg(Table)).toLongLong();
    }
    std::unique_ptr<PgTest::TDatabase> Db;
};

// A technician's server asks for a password: asked once, kept for the run and never stored; the
// waiting measurement with its job and a new download reach the server.
TEST_F(TeamServerWindowTest, DownloadsReachTheServerAfterThePasswordPrompt) {
    Db->Exec("DO $$BEGIN CREATE ROLE halvorn_password_users; "
             "EXCEPTION WHEN duplicate_object THEN NULL; END$$");
    const QString Tech = Db->User(TTeamArchive::TechnicianRole);
    Db->Exec("GRANT halvorn_password_users TO " + Tech);
    Db->Exec("ALTER ROLE " + Tech + " PASSWORD 'team-s3cret'");
    Archived(1);
    ModalAnswer Prompt([](QWidget* W) {
        auto* Dialog = qobject_cast<QInputDialog*>(W);
        ASSERT_TRUE(Dialog);
        Dialog->setTextValue("team-s3cret");
        Dialog->accept();
    });
    Start(Db->Server(Tech).Uri);
    EXPECT_TRUE(WaitUntil([&] { return Says("Team: up to date"); }));
    Download(Printout(6, 9));
    EXPECT_TRUE(WaitUntil([&] { return OnServer() == 2 && Says("Team: up to date"); }));
    EXPECT_EQ(OnServer("job"), 1);
    EXPECT_EQ(Prompt.Answered(), 1);
    EXPECT_FALSE(Config.ReadStore().contains("s3cret"));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

// The archive window's Team view lists the server's rows with the same search, opens a report
// and exports the raw bytes from the server; deleting a pushed measurement here says the team
// archive keeps its copy.
TEST_F(TeamServerWindowTest, TeamViewListsOpensAndExportsFromTheServer) {
    Archived(3);
    TArchiveEntry Mine = *TArchive(ArchivePath()).Get(1);
    Start(Db->Server().Uri);
    ASSERT_TRUE(WaitUntil([&] { return Says("Team: up to date"); }));
    Control<QAction>(*Form, "FileArchive")->trigger();
    auto& W = *Control<TArchiveForm>(*Form, "ArchiveForm");
    auto* List = Control<QTableView>(W, "List");
    const auto Rows = [&] { return List->model()->rowCount(); };
    List->selectRow(0);
    {
        ModalAnswer No(ModalAnswer::Press(QMessageBox::No));
        Control<QPushButton>(W, "DeleteButton")->click();
        ASSERT_EQ(No.Texts().size(), 1);
        EXPECT_TRUE(No.Texts()[0].contains("the team archive keeps its copy"));
    }
    Control<QTabBar>(W, "Source")->setCurrentIndex(1);
    EXPECT_TRUE(WaitUntil([&] { return Rows() == 3; }));
    EXPECT_FALSE(Control<QPushButton>(W, "DeleteButton")->isEnabled());
    Control<QLineEdit>(W, "Search")->setText("maple");
    ASSERT_TRUE(WaitUntil([&] { return Rows() == 1; }));
    EXPECT_EQ(List->model()->index(0, TArchiveModel::Job).data().toString(),
              "Ann Maple, 12 Birch Lane");
    List->selectRow(0);
    Control<QPushButton>(W, "OpenReportButton")->click();
    QStringList Want = ReportText::DecodeText(TArchive::ReportFileOf(Mine));
    Want.removeLast();
    EXPECT_TRUE(WaitUntil([&] {
        return EditorText::ReportLines(
                   EditorText::FileLines(Memo(*Form)->document()->toRawText())) == Want;
    }));
    const QString Out = Install.filePath("exported.raw");
    ModalAnswer Save(ModalAnswer::ChooseFile(Out));
    Control<QPushButton>(W, "ExportRawButton")->click();
    EXPECT_TRUE(WaitUntil([&] { return QFile::exists(Out); }));
    EXPECT_EQ(TestSupport::ReadFile(Out), Mine.Raw);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}
