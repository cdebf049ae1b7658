#include "FileLocks.h"
#include "PgTestServer.h"
#include "Printout.h"
#include "TestSupport.h"
#include "archive/TeamArchive.h"
#include "archive/TeamPush.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <random>
#include <thread>

namespace {

// A laptop's archive with Count measurements of distinct bytes.
QString Laptop(const QTemporaryDir& Dir, const QString& Name, int Count, uint32_t Seed = 1) {
    const QString Path = Dir.filePath(Name);
    TArchive Archive(Path);
    for (int I = 0; I < Count; ++I) {
        TArchiveEntry E;
        E.Port = QStringLiteral("COM1");
        E.Raw = SimPrintout::Generate({6 + I % 48, Seed * 1000 + uint32_t(I), true, false});
        E.State = I % 3 ? TArchiveState::Complete : TArchiveState::Stopped;
        E.Info.SerialNumber = QStringLiteral("4410-%1").arg(I);
        Archive.Store(E);
    }
    return Path;
}

// The server's rows as "origin/local id sha256 sha256-of-the-bytes-held", and the local ones.
QStringList ServerRows(PgTest::TDatabase& Db) {
    const QString Rows =
        Db.Exec(
              "SELECT string_agg(origin || '/' || local_id || ' ' || sha256 || ' ' || "
              "encode(sha256(raw), 'hex'), ',' ORDER BY origin, local_id) FROM halvorn.measurement "
              "JOIN halvorn.content ON measurement_id = id")
            .toString();
    QStringList List = Rows.isEmpty() ? QStringList() : Rows.split(',');
    List.sort();
    return List;
}

QStringList LocalRows(const QStringList& Paths) {
    QStringList Rows;
    for (const QString& Path : Paths) {
        TArchive Archive(Path);
        for (const TArchiveRow& R : Archive.List())
            Rows << QStringLiteral("%1/%2 %3 ").arg(Archive.Origin()).arg(R.Id).arg(R.Sha256) +
                        QCryptographicHash::hash(Archive.Get(R.Id)->Raw, QCryptographicHash::Sha256)
                            .toHex();
    }
    Rows.sort();
    return Rows;
}

class TeamTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const QString Why = PgTest::Missing(); !Why.isEmpty())
            GTEST_SKIP() << Why.toStdString();
        Db = std::make_unique<PgTest::TDatabase>(PgTest::SharedUri());
    }
    TTeamPushResult Push(const QString& Path, const QString& User = "postgres") {
        return TTeamPush(Db->Server(User), Path).Run();
    }
    QTemporaryDir Dir;
    std::unique_ptr<PgTest::TDatabase> Db;
};

} // namespace

TEST(TeamServerTest, AddressesAreTakenApartOrRefused) {
    const struct {
        const char* Uri;
        const char* Taken; // "host port user database parameters", or the refusal's words
    } Cases[] = {
        {"postgresql://ann@db.example:5433/radon?sslmode=verify-full&sslrootcert=/r/ca.crt",
         "db.example 5433 ann radon sslmode='verify-full' sslrootcert='/r/ca.crt'"},
        {"postgres://db.example/radon", "db.example -1  radon "},
        {"postgresql://ann@db/radon?application_name=it's",
         "db -1 ann radon application_name='it\\'s'"},
        {"postgresql://ann:s3cret@db/radon", "holds a password"},
        {"postgresql://ann@db1:5432,db2:5432/radon", "several servers"},
        {"postgresql://ann@db/radon?service=x", "not one Halvorn knows"},
        {"postgresql://ann@db/radon?sslmode=maybe", "sslmode wants"},
        {"postgresql://ann@db/radon?connect_timeout=1;host=evil", "holds a ';'"},
        {"mysql://ann@db/radon", "must begin with postgresql://"},
    };
    for (const auto& C : Cases) {
        QString Got;
        try {
            const TTeamServer S = TTeamServer::Parse(C.Uri);
            Got = QStringLiteral("%1 %2 %3 %4 %5")
                      .arg(S.Host)
                      .arg(S.Port)
                      .arg(S.User, S.Database, S.Parameters.join(' '));
            // The time-outs are always there.
            EXPECT_TRUE(S.ConnectOptions().contains("tcp_user_timeout=")) << C.Uri;
        } catch (const ETeamError& E) {
            Got = E.Message;
            EXPECT_FALSE(E.Message.contains("s3cret")) << E.Message.toStdString();
        }
        EXPECT_TRUE(Got.contains(C.Taken)) << C.Uri << " gave " << Got.toStdString();
    }
}

// From each earlier version up to this one, rows kept; a newer schema is read but not written.
TEST_F(TeamTest, SchemaStepsFromEachVersionAndNewerRefused) {
    const QString Path = Laptop(Dir, "a.sqlite", 2);
    for (int V = 0; V < TTeamArchive::SchemaVersion; ++V) {
        Db->Exec("DROP SCHEMA IF EXISTS halvorn CASCADE");
        TTeamConnection C(Db->Server());
        TTeamArchive Team(C);
        Team.Upgrade(V);
        EXPECT_EQ(Team.Version(), V);
        TArchive Archive(Path);
        if (V > 0)
            Team.Send(Archive.Origin(), *Archive.Get(1));
        const TTeamInit Done = Team.Init(false);
        EXPECT_EQ(Done.From, V);
        EXPECT_EQ(Team.Version(), TTeamArchive::SchemaVersion);
        EXPECT_EQ(Team.List({}).Rows.size(), V > 0 ? 1u : 0u);
    }
    Db->Exec("UPDATE halvorn.schema_version SET version = 99");
    TTeamConnection C(Db->Server());
    EXPECT_EQ(TTeamArchive(C).List({}).Rows.size(), 1u);
    for (const auto& Write : std::vector<std::function<void()>>{
             [&] { TTeamArchive(C).Init(false); }, [&] { Push(Path); }})
        EXPECT_TRUE(TestSupport::MessageOf(Write).contains("newer version of Halvorn"));
    EXPECT_EQ(TArchive(Path).TeamCounts().Waiting, 2);
}

// Technicians insert and read, the office reads and deletes; nobody changes a measurement.
TEST_F(TeamTest, RolesAllowOnlyWhatTheyMayDo) {
    TTeamConnection Owner(Db->Server());
    TTeamArchive(Owner).Init(true);
    EXPECT_TRUE(TTeamArchive(Owner).Init(true).Notes.join(' ').contains("already exists"));
    const QString Tech = Db->User(TTeamArchive::TechnicianRole);
    const QString Office = Db->User(TTeamArchive::OfficeRole);
    const QString Path = Laptop(Dir, "a.sqlite", 3);
    TArchive(Path).SetJob(1, TJob{"Ann Maple", "12 Birch Lane", {}, {}, {}, {}});
    EXPECT_EQ(Push(Path, Tech).Sent, 3);
    EXPECT_EQ(Db->Exec("SELECT count(*) FROM halvorn.job").toInt(), 1);
    const struct {
        QString User;
        const char* Sql;
        bool Allowed;
    } Cases[] = {
        {Tech, "SELECT count(*) FROM halvorn.measurement", true},
        {Tech, "UPDATE halvorn.measurement SET location = 'x'", false},
        {Tech, "UPDATE halvorn.content SET raw = 'x'", false},
        {Tech, "DELETE FROM halvorn.measurement", false},
        {Tech, "DELETE FROM halvorn.content", false},
        {Tech, "TRUNCATE halvorn.measurement CASCADE", false},
        {Tech, "ALTER TABLE halvorn.measurement DROP COLUMN location", false},
        {Tech, "UPDATE halvorn.schema_version SET version = 1", false},
        {Tech, "UPDATE halvorn.job SET client = 'x'", false},
        {Tech, "DELETE FROM halvorn.job", false},
        {Office, "UPDATE halvorn.job SET client = 'x'", false},
        {Office, "UPDATE halvorn.measurement SET location = 'x'", false},
        {Office, "INSERT INTO halvorn.content VALUES (1, 'x')", false},
        {Office, "DELETE FROM halvorn.measurement WHERE id = 1", true},
    };
    for (const auto& C : Cases) {
        TTeamConnection As(Db->Server(C.User));
        const QString Error = TestSupport::MessageOf([&] { As.Run("test", C.Sql); });
        EXPECT_EQ(Error == "<no error>", C.Allowed) << C.Sql << ": " << Error.toStdString();
    }
    TTeamConnection AsTech(Db->Server(Tech));
    EXPECT_THROW(TTeamArchive(AsTech).Remove(2), ETeamNotAllowed);
    EXPECT_EQ(Db->Exec("SELECT count(*) FROM halvorn.measurement").toInt(), 2);
    // The office's delete of measurement 1 took its job along.
    EXPECT_EQ(Db->Exec("SELECT count(*) FROM halvorn.job").toInt(), 0);
}

// A job given before the push goes with its measurement; one given after it, and every later
// change, follows as a version of its own; the list, search and show give the latest; pushing
// again doubles nothing.
TEST_F(TeamTest, JobsReachTheServerAndTheLatestIsShown) {
    TTeamConnection Owner(Db->Server());
    TTeamArchive Team(Owner);
    Team.Init(false);
    const QString Path = Laptop(Dir, "a.sqlite", 2);
    const auto Give = [&](qint64 Id, const QString& Client) {
        TArchive(Path).SetJob(Id, TJob{Client, "12 Birch Lane", "Basement", TTestType::Initial,
                                       TConditions::Maintained, "North wall"});
    };
    const auto Latest = [&](qint64 LocalId) {
        for (const TTeamRow& Row : Team.List({}).Rows)
            if (Row.LocalId == LocalId) {
                EXPECT_EQ(Team.Get(Row.Row.Id)->Entry.Job.Client, Row.Row.Job.Client);
                return Row.Row.Job.Client;
            }
        return QStringLiteral("<no row>");
    };
    const struct {
        qint64 Id;
        const char* Client; // given before the push; nullptr: none
        int Jobs;           // versions on the server after the push
        const char* Found;  // a search that finds only the latest
    } Steps[] = {
        {2, "Ann Maple", 1, "maple"},
        {1, "Bo Larch", 2, "larch"},
        {1, "Cy Rowan", 3, "rowan"},
        {0, nullptr, 3, "rowan"},
    };
    TTeamQuery Query;
    for (const auto& S : Steps) {
        if (S.Client)
            Give(S.Id, S.Client);
        Push(Path);
        EXPECT_EQ(Db->Exec("SELECT count(*) FROM halvorn.job").toInt(), S.Jobs) << S.Found;
        if (S.Client) {
            EXPECT_EQ(Latest(S.Id), S.Client);
        }
        Query.Filter.Text = S.Found;
        EXPECT_EQ(Team.List(Query).Rows.size(), 1u) << S.Found;
        EXPECT_TRUE(TArchive(Path).WaitingJobs().empty());
        EXPECT_EQ(TArchive(Path).TeamCounts().Jobs, 0);
    }
    Query.Filter.Text = "larch";
    EXPECT_TRUE(Team.List(Query).Rows.empty());
    // A version the server has is not stored twice, and a job of a deleted row has nowhere to go.
    TArchive Local(Path);
    const TArchiveEntry One = *Local.Get(1);
    EXPECT_EQ(Team.SendJob(Local.Origin(), One), TTeamArchive::TJobSent::Already);
    Db->Exec("DELETE FROM halvorn.measurement WHERE local_id = 1");
    EXPECT_EQ(Team.SendJob(Local.Origin(), One), TTeamArchive::TJobSent::Gone);
}

// A server of version 2 (before the jobs), its roles granted there: refused for writing until
// "team init" brings it up, after which a technician's jobs reach it.
TEST_F(TeamTest, OlderServerIsUpgradedByTeamInitAndTakesJobs) {
    TTeamConnection Owner(Db->Server());
    TTeamArchive(Owner).Init(true);
    Db->Exec("DROP TABLE halvorn.job");
    Db->Exec("UPDATE halvorn.schema_version SET version = 2");
    const QString Tech = Db->User(TTeamArchive::TechnicianRole);
    const QString Path = Laptop(Dir, "a.sqlite", 1);
    TArchive(Path).SetJob(1, TJob{"Ann Maple", {}, {}, {}, {}, {}});
    EXPECT_TRUE(TestSupport::MessageOf([&] { Push(Path, Tech); }).contains("older version"));
    const TTeamInit Done = TTeamArchive(Owner).Init(false);
    EXPECT_EQ(Done.From, 2);
    EXPECT_EQ(Done.To, 3);
    EXPECT_EQ(Push(Path, Tech).Jobs, 1);
    EXPECT_EQ(Db->Exec("SELECT client FROM halvorn.job").toString(), "Ann Maple");
}

// Two laptops pushing at the same time.
TEST_F(TeamTest, LaptopsPushingAtOnceLoseAndDoubleNothing) {
    TTeamConnection Owner(Db->Server());
    TTeamArchive(Owner).Init(false);
    const QString A = Laptop(Dir, "a.sqlite", 40, 1), B = Laptop(Dir, "b.sqlite", 40, 2);
    std::vector<std::thread> Pushes;
    for (const QString& Path : {A, B})
        Pushes.emplace_back([&, Path] { EXPECT_EQ(Push(Path).Sent, 40); });
    for (std::thread& T : Pushes)
        T.join();
    EXPECT_EQ(ServerRows(*Db), LocalRows({A, B}));
    EXPECT_EQ(ServerRows(*Db).size(), 80);
}

// A copy of an archive (same origin) that stored other bytes under an id is refused, loudly.
TEST_F(TeamTest, CopiedArchiveIsRefused) {
    TTeamConnection Owner(Db->Server());
    TTeamArchive(Owner).Init(false);
    const QString A = Laptop(Dir, "a.sqlite", 1, 1);
    const QString B = Dir.filePath("copy.sqlite");
    ASSERT_TRUE(QFile::copy(A, B));
    Laptop(Dir, "a.sqlite", 1, 3);
    Laptop(Dir, "copy.sqlite", 1, 4);
    EXPECT_EQ(Push(A).Sent, 2);
    EXPECT_THROW(Push(B), ETeamConflict);
    EXPECT_EQ(TArchive(B).TeamCounts().Waiting, 1);
    EXPECT_EQ(ServerRows(*Db).size(), 2);
}

// The window's way: its one archive object, open all along, pushed through from its own thread;
// a push by path in the same process is refused instead of opening a second connection.
TEST_F(TeamTest, PushThroughTheCallersArchiveKeepsItsOneConnection) {
    TTeamConnection Owner(Db->Server());
    TTeamArchive(Owner).Init(false);
    const QString Path = Laptop(Dir, "a.sqlite", 3);
    TArchive Window(Path);
    TArchiveEntry Dated;
    Dated.Raw = SimPrintout::Generate({12, 77, true, false});
    Dated.Info.Enabled = true;
    Dated.Info.SerialNumber = QStringLiteral("4410-0099");
    Dated.Info.StartDate = QDateTime(QDate(2026, 12, 1), QTime(0, 0));
    Dated.Info.StartTime = QDateTime(QDate(2026, 12, 1), QTime(9, 30));
    const qint64 DatedId = Window.Store(Dated);
    ASSERT_TRUE(Window.Get(DatedId)->Start.isValid());
    ASSERT_TRUE(TestSupport::HoldsLock(Path + "-shm"));

    EXPECT_TRUE(
        TestSupport::MessageOf([&] { Push(Path); }).contains("already open in this program"));
    EXPECT_EQ(ServerRows(*Db).size(), 0);
    const TTeamPushResult R = TTeamPush(Db->Server(), Window).Run();
    EXPECT_EQ(R.Sent, 4);
    EXPECT_TRUE(TestSupport::HoldsLock(Path + "-shm"));
    EXPECT_TRUE(TestSupport::DeletedOpenFiles(Dir.path()).isEmpty());
    EXPECT_TRUE(Window.Waiting().empty());
    EXPECT_EQ(Window.TeamCounts().Sent, 4);

    // Each row's start as the laptop keeps it (none where its report names none).
    std::map<qint64, QDateTime> Starts;
    for (const TTeamRow& Row : TTeamArchive(Owner).List({}).Rows)
        Starts[Row.LocalId] = Row.Row.Start;
    ASSERT_EQ(Starts.size(), 4u);
    for (const TArchiveRow& Row : Window.List())
        EXPECT_EQ(Starts[Row.Id], Row.Start) << Row.Id;
    EXPECT_EQ(Starts[DatedId], QDateTime(QDate(2026, 12, 1), QTime(9, 30)).toUTC());

    // Nothing waits: no connection is tried, not even to a server that is not there.
    const TTeamServer Nowhere = TTeamServer::Parse("postgresql://u@127.0.0.1:1/none");
    EXPECT_EQ(TTeamPush(Nowhere, Window).Run().Sent, 0);
    // The window goes on storing, and a caller that opened for reading is pushed from too.
    Window.Store(Dated);
    Window.Close();
    ASSERT_EQ(Window.Open(TArchive::TAccess::Read), TArchive::TOpenState::ReadOnly);
    EXPECT_EQ(TTeamPush(Db->Server(), Window).Run().Sent, 1);
    EXPECT_EQ(ServerRows(*Db).size(), 5);
}

// The server killed at random moments of a push (after a random number of rows, then a random
// part of the next row's round trips), restarted, pushed again.
TEST(TeamKillTest, KilledServerLosesNothingAndDoublesNothing) {
    if (const QString Why = PgTest::Missing(); !Why.isEmpty())
        GTEST_SKIP() << Why.toStdString();
    PgTest::TServer Server;
    QTemporaryDir Dir;
    const QString Path = Laptop(Dir, "a.sqlite", 200);
    PgTest::TDatabase Db(Server.Uri());
    {
        TTeamConnection Owner(Db.Server());
        TTeamArchive(Owner).Init(false);
    }
    std::mt19937 Random(20261208);
    int Rounds = 0, Cut = 0;
    for (; Rounds < 20 || TArchive(Path).TeamCounts().Waiting > 0; ++Rounds) {
        ASSERT_LT(Rounds, 200);
        std::atomic<int> Done{0};
        std::atomic<bool> Ended{false}, Killed{false};
        const int Rows = int(Random() % 5);
        TTeamPush Push(Db.Server(), Path);
        // The kill lands within the next two rows' round trips, wherever its random delay puts
        // it; a push that got that far waits for it, however slow the machine.
        Push.Progress = [&](qint64 N, qint64) {
            Done = int(N);
            while (N >= Rows + 2 && !Killed)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        std::thread Pushing([&] {
            try {
                Push.Run();
            } catch (const ETeamError&) {
                ++Cut;
            }
            Ended = true;
        });
        TestSupport::WaitUntil([&] { return Done >= Rows || Ended; }, 30000);
        std::this_thread::sleep_for(std::chrono::microseconds(Random() % 1000));
        Server.Kill();
        Killed = true;
        // The lost connection ends the push at once: the time-outs are for silent networks.
        EXPECT_TRUE(TestSupport::WaitUntil([&] { return bool(Ended); }, 5000)) << Rounds;
        Pushing.join();
        ASSERT_TRUE(Server.Start());
    }
    TTeamPush(Db.Server(), Path).Run();
    EXPECT_GE(Cut, 20);
    const QStringList Local = LocalRows({Path});
    EXPECT_EQ(ServerRows(Db), Local);
    EXPECT_EQ(Local.size(), 200);
    std::cout << Rounds << " rounds, " << Cut << " pushes cut by a kill\n";
}

// verify-full against the server's own certificate; a server without TLS is refused when the
// address asks for it; a password from libpq's file or from memory.
TEST(TeamTlsTest, SecureConnectionsAndPasswords) {
    if (const QString Why = PgTest::Missing(); !Why.isEmpty())
        GTEST_SKIP() << Why.toStdString();
    PgTest::TServer Server;
    PgTest::TDatabase Db(Server.Uri());
    const QString Root = "&sslrootcert=" + Server.RootCert();
    Db.Exec("CREATE ROLE halvorn_password_users");
    const QString Pw = Db.User("halvorn_password_users");
    Db.Exec(QStringLiteral("ALTER ROLE %1 PASSWORD 'pw'").arg(Pw));
    QTemporaryDir Dir;
    const QString PassFile = Dir.filePath("pgpass");
    TestSupport::WriteFile(PassFile, QStringLiteral("*:*:*:%1:pw\n").arg(Pw).toUtf8());
    QFile::setPermissions(PassFile, QFile::ReadOwner | QFile::WriteOwner);
    const auto Ssl = [&](const TTeamServer& S) {
        return TTeamConnection(S)
            .Value("test", "SELECT ssl FROM pg_stat_ssl WHERE pid = "
                           "pg_backend_pid()")
            .toBool();
    };
    EXPECT_TRUE(Ssl(Db.Server("postgres", "?sslmode=verify-full" + Root)));
    EXPECT_THROW(Ssl(Db.Server("postgres", "?sslmode=verify-full")), ETeamError);
    EXPECT_THROW(Ssl(Db.Server(Pw)), ETeamPasswordNeeded);
    TTeamServer WithPassword = Db.Server(Pw);
    WithPassword.Password = "pw";
    EXPECT_TRUE(Ssl(WithPassword));
    EXPECT_TRUE(Ssl(Db.Server(Pw, "?passfile=" + PassFile)));
    Db.Exec("ALTER SYSTEM SET ssl = off");
    Db.Exec("SELECT pg_reload_conf()");
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return !Ssl(Db.Server()); }, 5000));
    for (const char* Mode : {"require", "verify-full"})
        EXPECT_TRUE(TestSupport::MessageOf([&] {
                        Ssl(Db.Server("postgres", QStringLiteral("?sslmode=") + Mode + Root));
                    }).contains("TLS"));
}
