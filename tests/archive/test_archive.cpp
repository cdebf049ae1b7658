#include "Printout.h"
#include "TestSupport.h"
#include "TmpfsMount.h"
#include "archive/Archive.h"
#include "report/ReportBuilder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <atomic>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray Printout(int Hours = 48, uint32_t Seed = 0) {
    return SimPrintout::Generate({Hours, Seed, true, false});
}

TReportInfo InfoFor(const QString& Serial, const QString& Location) {
    TReportInfo Info;
    Info.Enabled = true;
    Info.SerialNumber = Serial;
    Info.Location = Location;
    Info.StartDate = QDateTime(QDate(2026, 12, 1), QTime(0, 0));
    Info.StartTime = QDateTime(QDate(2026, 12, 1), QTime(9, 30));
    Info.Header = QStringList{QStringLiteral("Tamsor Radon Services"), QStringLiteral("Line 2")};
    return Info;
}

TArchiveEntry Download(const QByteArray& Raw, const QString& Serial = QStringLiteral("4410-0042"),
                       const QString& Location = QStringLiteral("Basement"),
                       TArchiveState State = TArchiveState::Complete) {
    TArchiveEntry Entry;
    Entry.Port = QStringLiteral("COM1");
    Entry.Device = QStringLiteral("/dev/ttyUSB0");
    Entry.Raw = Raw;
    Entry.State = State;
    Entry.Info = InfoFor(Serial, Location);
    return Entry;
}

// The test's own look at the database file, beside the archive's connection.
class TRawDb {
public:
    explicit TRawDb(const QString& Path, bool ReadOnly = false) {
        static int Count = 0;
        FName = QStringLiteral("test-raw-%1").arg(++Count);
        QSqlDatabase Db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FName);
        Db.setDatabaseName(Path);
        if (ReadOnly)
            Db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        EXPECT_TRUE(Db.open());
    }
    ~TRawDb() {
        QSqlDatabase::database(FName, false).close();
        QSqlDatabase::removeDatabase(FName);
    }
    QVariant Scalar(const QString& Sql) {
        QSqlQuery Query(QSqlDatabase::database(FName, false));
        if (!Query.exec(Sql) || !Query.next())
            return QVariant();
        return Query.value(0);
    }
    void Exec(const QString& Sql) {
        QSqlQuery Query(QSqlDatabase::database(FName, false));
        EXPECT_TRUE(Query.exec(Sql)) << Sql.toStdString();
    }

private:
    QString FName;
};

// The instrument's own figure as the printout shows it.
QString EpaInPrintout(const QByteArray& Raw) {
    const QRegularExpression Line(QStringLiteral("EPA Protocol +([0-9.]+) pCi/l"));
    return Line.match(QString::fromLatin1(Raw)).captured(1);
}

QStringList FolderEntries(const QString& Folder) {
    return QDir(Folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

class ArchiveTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Data() const { return Dir.path() + QStringLiteral("/Data"); }
    QString Path() const { return TArchive::PathIn(Dir.path()); }
};

TEST_F(ArchiveTest, StoresOneRowPerDownloadWithItsListingFields) {
    const QByteArray Raw = Printout(48);
    const qint64 Id = [&] {
        TArchive Archive(Path());
        TArchiveEntry Entry = Download(Raw);
        Entry.ReceivedAt = QDateTime(QDate(2026, 12, 8), QTime(14, 3, 22), Qt::UTC);
        return Archive.Store(Entry);
    }();
    ASSERT_GT(Id, 0);

    TArchive Archive(Path());
    const std::optional<TArchiveEntry> Got = Archive.Get(Id);
    ASSERT_TRUE(Got);
    EXPECT_EQ(Got->Raw, Raw);
    EXPECT_EQ(Got->Bytes, Raw.size());
    EXPECT_EQ(Got->Sha256, QCryptographicHash::hash(Raw, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(Got->State, TArchiveState::Complete);
    EXPECT_EQ(Got->Port, "COM1");
    EXPECT_EQ(Got->Device, "/dev/ttyUSB0");
    EXPECT_EQ(Got->SerialNumber, "4410-0042");
    EXPECT_EQ(Got->Location, "Basement");
    EXPECT_EQ(Got->Readings, 48);
    ASSERT_TRUE(Got->EpaProtocol);
    EXPECT_EQ(*Got->EpaProtocol, EpaInPrintout(Raw));
    EXPECT_EQ(Got->ReceivedAt, QDateTime(QDate(2026, 12, 8), QTime(14, 3, 22), Qt::UTC));
    // The report information in force comes back whole, wall-clock times as they were.
    const TReportInfo Want = InfoFor("4410-0042", "Basement");
    EXPECT_EQ(Got->Info.Header, Want.Header);
    EXPECT_EQ(Got->Info.StartTime.time(), QTime(9, 30));
    EXPECT_EQ(Got->Info.StartDate.date(), QDate(2026, 12, 1));
    EXPECT_FALSE(Got->Info.EndDate.isValid());
    EXPECT_EQ(Got->Report, TArchive::ReportBytes(BuildReport(Raw, Want)));
    EXPECT_TRUE(Got->Report.endsWith("\r\n"));

    TRawDb Db(Path(), true);
    EXPECT_EQ(Db.Scalar("SELECT received_at FROM measurement").toString(), "2026-12-08T14:03:22Z");
    EXPECT_EQ(Db.Scalar("PRAGMA journal_mode").toString(), "wal");
    EXPECT_EQ(Db.Scalar("PRAGMA application_id").toLongLong(), TArchive::ApplicationId);
    EXPECT_EQ(Db.Scalar("PRAGMA user_version").toInt(), TArchive::SchemaVersion);
}

TEST_F(ArchiveTest, PartialDownloadsKeepTheirBytesWithoutFiguresOrReport) {
    TArchive Archive(Path());
    const QByteArray Raw = Printout(48).left(300);
    TArchiveEntry Entry = Download(Raw, "", "", TArchiveState::Interrupted);
    Entry.Error = QStringLiteral("Com 1 (/dev/ttyUSB0) went away");
    const std::optional<TArchiveEntry> Got = Archive.Get(Archive.Store(Entry));
    ASSERT_TRUE(Got);
    EXPECT_EQ(Got->Raw, Raw);
    EXPECT_EQ(Got->State, TArchiveState::Interrupted);
    EXPECT_EQ(Got->Error, Entry.Error);
    EXPECT_FALSE(Got->Readings);
    EXPECT_FALSE(Got->EpaProtocol);
    EXPECT_TRUE(Got->Report.isEmpty());
    // Past the summary, a stopped transfer has its figure even without the graph.
    const QByteArray Full = Printout(48);
    const QByteArray UpToSummary = Full.left(Full.indexOf("EPA Protocol") + 40);
    const std::optional<TArchiveEntry> Cut =
        Archive.Get(Archive.Store(Download(UpToSummary, "S", "L", TArchiveState::Stopped)));
    ASSERT_TRUE(Cut && Cut->EpaProtocol);
    EXPECT_EQ(*Cut->EpaProtocol, EpaInPrintout(Full));
    EXPECT_EQ(Cut->Readings, 48);
}

TEST_F(ArchiveTest, ListsNewestFirstAndFiltersBySerialLocationAndDays) {
    TArchive Archive(Path());
    struct TRow {
        const char* Serial;
        const char* Location;
        QDateTime At;
    };
    const TRow Rows[] = {
        {"4410-0001", "Basement 50% wall", QDateTime(QDate(2026, 11, 30), QTime(23, 0))},
        {"4410-0002", "Kitchen", QDateTime(QDate(2026, 12, 1), QTime(0, 30))},
        {"4410-0003", "basement", QDateTime(QDate(2026, 12, 3), QTime(12, 0))},
        {"9999-0001", "Attic", QDateTime(QDate(2026, 12, 3), QTime(12, 0))},
    };
    std::vector<qint64> Ids;
    for (const TRow& Row : Rows) {
        TArchiveEntry Entry = Download(Printout(6), Row.Serial, Row.Location);
        Entry.ReceivedAt = Row.At;
        Ids.push_back(Archive.Store(Entry));
    }
    auto IdsOf = [&](const TArchiveFilter& Filter) {
        std::vector<qint64> Got;
        for (const TArchiveRow& Row : Archive.List(Filter))
            Got.push_back(Row.Id);
        return Got;
    };
    struct TCase {
        TArchiveFilter Filter;
        std::vector<qint64> Want;
    };
    const TCase Cases[] = {
        {{}, {Ids[3], Ids[2], Ids[1], Ids[0]}},
        {{QStringLiteral("BASEMENT"), {}, {}}, {Ids[2], Ids[0]}},
        {{QStringLiteral("4410"), {}, {}}, {Ids[2], Ids[1], Ids[0]}},
        {{QStringLiteral("50%"), {}, {}}, {Ids[0]}},
        {{QStringLiteral("%"), {}, {}}, {Ids[0]}},
        {{QStringLiteral("_"), {}, {}}, {}},
        {{{}, QDate(2026, 12, 1), QDate(2026, 12, 1)}, {Ids[1]}},
        {{{}, QDate(2026, 12, 1), {}}, {Ids[3], Ids[2], Ids[1]}},
        {{{}, {}, QDate(2026, 11, 30)}, {Ids[0]}},
        {{QStringLiteral("attic"), QDate(2026, 12, 3), QDate(2026, 12, 3)}, {Ids[3]}},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(IdsOf(Case.Filter), Case.Want) << Case.Filter.Text.toStdString();
}

TEST_F(ArchiveTest, DeleteTakesTheBytesAlong) {
    TArchive Archive(Path());
    const qint64 Keep = Archive.Store(Download(Printout(6)));
    const qint64 Gone = Archive.Store(Download(Printout(7)));
    EXPECT_TRUE(Archive.Remove(Gone));
    EXPECT_FALSE(Archive.Remove(Gone));
    EXPECT_FALSE(Archive.Get(Gone));
    EXPECT_TRUE(Archive.Get(Keep));
    TRawDb Db(Path(), true);
    EXPECT_EQ(Db.Scalar("SELECT count(*) FROM content").toInt(), 1);
}

TEST_F(ArchiveTest, ImportsCapturesOnceWithTheirTimeAndPort) {
    const QString Capture = Dir.path() + QStringLiteral("/2026-12-08 14-03-22 COM3 (2).raw");
    const QByteArray Raw = Printout(12).left(900);
    TestSupport::WriteFile(Capture, Raw);
    const QDateTime Stamp(QDate(2026, 12, 8), QTime(14, 5, 0), Qt::UTC);
    {
        QFile File(Capture);
        ASSERT_TRUE(File.open(QIODevice::ReadWrite));
        ASSERT_TRUE(File.setFileTime(Stamp, QFileDevice::FileModificationTime));
    }
    TArchive Archive(Path());
    const TArchive::TImported First = Archive.Import(Capture, InfoFor("7", "Hall"));
    EXPECT_FALSE(First.Duplicate);
    const TArchive::TImported Again = Archive.Import(Capture, InfoFor("7", "Hall"));
    EXPECT_TRUE(Again.Duplicate);
    EXPECT_EQ(Again.Id, First.Id);
    EXPECT_EQ(Archive.List().size(), 1u);
    const std::optional<TArchiveEntry> Got = Archive.Get(First.Id);
    ASSERT_TRUE(Got);
    EXPECT_EQ(Got->State, TArchiveState::Imported);
    EXPECT_EQ(Got->ReceivedAt, Stamp);
    EXPECT_EQ(Got->Port, "COM3");
    EXPECT_EQ(Got->Raw, Raw);
    // A stored download with the same bytes counts as archived too.
    const QString Other = Dir.path() + QStringLiteral("/other.raw");
    const QByteArray Whole = Printout(5);
    TestSupport::WriteFile(Other, Whole);
    const qint64 Stored = Archive.Store(Download(Whole));
    EXPECT_EQ(Archive.Import(Other, {}).Id, Stored);

    const QString Empty = Dir.path() + QStringLiteral("/empty.raw");
    TestSupport::WriteFile(Empty, {});
    try {
        Archive.Import(Empty, {});
        FAIL() << "an empty capture was imported";
    } catch (const Exception& E) {
        EXPECT_TRUE(E.Message.contains(Empty)) << E.what();
    }
}

TEST_F(ArchiveTest, EmptyFileAndOlderSchemaAreBroughtUpToDate) {
    QDir().mkpath(Data());
    // An empty file is an empty database.
    TestSupport::WriteFile(Path(), {});
    {
        TArchive Archive(Path());
        EXPECT_EQ(Archive.Open(), TArchive::TOpenState::Writable);
        EXPECT_GT(Archive.Store(Download(Printout(6))), 0);
    }
    QFile::remove(Path());
    // Version 1 as it was written: the tables without the indexes.
    {
        TRawDb Db(Path());
        Db.Exec("CREATE TABLE measurement (id INTEGER PRIMARY KEY, received_at TEXT NOT NULL, "
                "port TEXT NOT NULL, device TEXT NOT NULL, bytes INTEGER NOT NULL, sha256 TEXT "
                "NOT NULL, state TEXT NOT NULL CHECK (state IN "
                "('complete','stopped','interrupted','imported')), error TEXT NOT NULL, "
                "info_enabled INTEGER NOT NULL, info_serial TEXT NOT NULL, info_location TEXT "
                "NOT NULL, info_start_date TEXT NOT NULL, info_start_time TEXT NOT NULL, "
                "info_end_date TEXT NOT NULL, info_end_time TEXT NOT NULL, info_header TEXT NOT "
                "NULL, info_footer TEXT NOT NULL, serial TEXT NOT NULL, location TEXT NOT NULL, "
                "readings INTEGER, epa_protocol TEXT)");
        Db.Exec("CREATE TABLE content (measurement_id INTEGER PRIMARY KEY REFERENCES "
                "measurement(id) ON DELETE CASCADE, raw BLOB NOT NULL, report BLOB)");
        Db.Exec("INSERT INTO measurement VALUES (7, '2026-01-02T03:04:05Z', 'COM2', '', 3, "
                "'abc', 'stopped', '', 0, '', '', '', '', '', '', '[]', '[]', 'OLD-1', 'Cellar', "
                "NULL, NULL)");
        Db.Exec("INSERT INTO content VALUES (7, x'414243', NULL)");
        Db.Exec(QStringLiteral("PRAGMA application_id=%1").arg(TArchive::ApplicationId));
        Db.Exec("PRAGMA user_version=1");
    }
    TArchive Archive(Path());
    EXPECT_EQ(Archive.Open(), TArchive::TOpenState::Writable);
    const std::optional<TArchiveEntry> Old = Archive.Get(7);
    ASSERT_TRUE(Old);
    EXPECT_EQ(Old->Raw, "ABC");
    EXPECT_EQ(Old->SerialNumber, "OLD-1");
    EXPECT_EQ(Old->State, TArchiveState::Stopped);
    EXPECT_GT(Archive.Store(Download(Printout(6))), 7);
    TRawDb Db(Path(), true);
    EXPECT_EQ(Db.Scalar("PRAGMA user_version").toInt(), TArchive::SchemaVersion);
    EXPECT_EQ(Db.Scalar("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = "
                        "'measurement_sha256'")
                  .toInt(),
              1);
}

// A file that is not ours: refused once with its path, left byte for byte, nothing beside it.
TEST_F(ArchiveTest, RefusesFilesThatAreNotItsArchive) {
    auto Foreign = [](const QString& Path, qint32 AppId) {
        TRawDb Db(Path);
        Db.Exec("CREATE TABLE notes (text TEXT)");
        Db.Exec("INSERT INTO notes VALUES ('mine')");
        if (AppId)
            Db.Exec(QStringLiteral("PRAGMA application_id=%1").arg(AppId));
    };
    auto Corrupt = [&](const QString& Path) {
        {
            TArchive Ours(Path);
            Ours.Store(Download(Printout(6)));
        }
        QFile File(Path);
        ASSERT_TRUE(File.open(QIODevice::ReadWrite));
        // Past the 100-byte header: the schema's page is garbage now.
        File.seek(100);
        File.write(QByteArray(File.size() - 100, '\x5a'));
    };
    struct TCase {
        const char* Name;
        std::function<void(const QString&)> Make;
        const char* Says;
    };
    const TCase Cases[] = {
        {"text", [](const QString& P) { TestSupport::WriteFile(P, "Serial,Location\r\n"); },
         "is not a database"},
        {"other program", [&](const QString& P) { Foreign(P, 0); }, "another program"},
        {"other application id", [&](const QString& P) { Foreign(P, 0x12345678); },
         "another program"},
        {"corrupt", Corrupt, "is damaged"},
        {"folder", [](const QString& P) { QDir().mkpath(P); }, "is not a file"},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        QTemporaryDir Own;
        const QString Path = TArchive::PathIn(Own.path());
        QDir().mkpath(QFileInfo(Path).absolutePath());
        Case.Make(Path);
        const QStringList Before = FolderEntries(QFileInfo(Path).absolutePath());
        const QByteArray Bytes = QFileInfo(Path).isFile() ? TestSupport::ReadFile(Path) : "";

        TArchive Archive(Path);
        EXPECT_EQ(Archive.Open(), TArchive::TOpenState::Refused);
        EXPECT_TRUE(Archive.Message().contains(Path)) << Archive.Message().toStdString();
        EXPECT_TRUE(Archive.Message().contains(Case.Says)) << Archive.Message().toStdString();
        try {
            Archive.Store(Download(Printout(6)));
            ADD_FAILURE() << "stored into a refused file";
        } catch (const EArchiveError& E) {
            EXPECT_EQ(E.Message, Archive.Message());
        }
        EXPECT_EQ(FolderEntries(QFileInfo(Path).absolutePath()), Before);
        if (QFileInfo(Path).isFile()) {
            EXPECT_EQ(TestSupport::ReadFile(Path), Bytes);
        }
    }
}

TEST_F(ArchiveTest, NewerSchemaIsReadOnly) {
    qint64 Id = 0;
    {
        TArchive Archive(Path());
        Id = Archive.Store(Download(Printout(6)));
    }
    {
        TRawDb Db(Path());
        Db.Exec(QStringLiteral("PRAGMA user_version=%1").arg(TArchive::SchemaVersion + 1));
        Db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    const QByteArray Bytes = TestSupport::ReadFile(Path());
    TArchive Archive(Path());
    EXPECT_EQ(Archive.Open(), TArchive::TOpenState::ReadOnly);
    EXPECT_TRUE(Archive.Message().contains(Path()));
    EXPECT_TRUE(Archive.Message().contains("newer version"));
    EXPECT_EQ(Archive.List().size(), 1u);
    EXPECT_TRUE(Archive.Get(Id));
    EXPECT_THROW(Archive.Store(Download(Printout(6))), EArchiveError);
    EXPECT_THROW(Archive.Remove(Id), EArchiveError);
    EXPECT_EQ(TestSupport::ReadFile(Path()), Bytes);
}

// Two running copies (here two threads with a connection each) both get every row in.
TEST_F(ArchiveTest, TwoWritersAtOnceBothStoreEveryRow) {
    TArchive(Path()).Open();
    constexpr int PerWriter = 15;
    std::atomic<int> Failures{0};
    auto Writer = [&](const QString& Serial) {
        try {
            TArchive Archive(Path());
            for (int I = 0; I < PerWriter; ++I)
                Archive.Store(Download(Printout(4 + I), Serial, QStringLiteral("Room")));
        } catch (const Exception&) {
            ++Failures;
        }
    };
    std::thread A([&] { Writer(QStringLiteral("WRITER-A")); });
    std::thread B([&] { Writer(QStringLiteral("WRITER-B")); });
    A.join();
    B.join();
    EXPECT_EQ(Failures, 0);
    TArchive Archive(Path());
    EXPECT_EQ(Archive.List({QStringLiteral("WRITER-A"), {}, {}}).size(), size_t(PerWriter));
    EXPECT_EQ(Archive.List({QStringLiteral("WRITER-B"), {}, {}}).size(), size_t(PerWriter));
}

// A child stores rows and is killed at random points of its writes, 50 times: the database
// stays whole and keeps every row the child reported committed.
TEST_F(ArchiveTest, SurvivesBeingKilledWhileWriting) {
    std::mt19937 Random(4410);
    std::set<qint64> Committed;
    for (int Round = 0; Round < 50; ++Round) {
        QProcess Child;
        Child.start(QStringLiteral(HALVORN_ARCHIVE_WRITER), {Path()});
        ASSERT_TRUE(Child.waitForStarted(10000));
        const int Wanted = std::uniform_int_distribution<int>(0, 6)(Random);
        int Seen = 0;
        while (Seen < Wanted) {
            if (!Child.canReadLine() && !Child.waitForReadyRead(30000))
                break;
            while (Child.canReadLine()) {
                Committed.insert(Child.readLine().trimmed().toLongLong());
                ++Seen;
            }
        }
        ASSERT_EQ(Child.state(), QProcess::Running) << Child.readAllStandardError().constData();
        Child.kill(); // SIGKILL
        ASSERT_TRUE(Child.waitForFinished(10000));
        // Rows it reported in the same read as the last one counted.
        for (const QByteArray& Line : Child.readAllStandardOutput().split('\n'))
            if (!Line.trimmed().isEmpty())
                Committed.insert(Line.trimmed().toLongLong());
    }
    TRawDb Db(Path());
    EXPECT_EQ(Db.Scalar("PRAGMA integrity_check").toString(), "ok");
    EXPECT_EQ(Db.Scalar("PRAGMA foreign_key_check").toString(), "");
    TArchive Archive(Path());
    std::set<qint64> Present;
    for (const TArchiveRow& Row : Archive.List())
        Present.insert(Row.Id);
    for (qint64 Id : Committed)
        EXPECT_TRUE(Present.count(Id)) << "row " << Id << " was reported committed and is gone";
    EXPECT_GT(Committed.size(), 50u);
    // A row still reads back whole.
    const std::optional<TArchiveEntry> Last = Archive.Get(*Committed.rbegin());
    ASSERT_TRUE(Last);
    EXPECT_EQ(QCryptographicHash::hash(Last->Raw, QCryptographicHash::Sha256).toHex(),
              Last->Sha256);
}

// A small file system of this test process's own: a tmpfs in a private mount namespace.
class MountedArchiveTest : public ArchiveTest {
protected:
    void SetUp() override {
        QDir().mkpath(Data());
        if (const std::string Why = TestSupport::MountTmpfs(Data(), "size=512k"); !Why.empty())
            GTEST_SKIP() << Why;
        FMounted = true;
    }
    void TearDown() override {
        if (FMounted)
            TestSupport::Unmount(Data());
    }
    void ReadOnly() { ASSERT_TRUE(TestSupport::RemountReadOnly(Data())) << std::strerror(errno); }
    bool FMounted = false;
};

TEST_F(MountedArchiveTest, FullDiskSaysSoAndLeavesTheDatabaseAsItWas) {
    std::vector<qint64> Before;
    TArchive Running(Path());
    Before.push_back(Running.Store(Download(Printout(6))));
    Before.push_back(Running.Store(Download(Printout(8))));
    auto Fill = [&] {
        QFile Filler(Data() + QStringLiteral("/filler"));
        ASSERT_TRUE(Filler.open(QIODevice::WriteOnly));
        const QByteArray Block(4096, 'x');
        while (Filler.write(Block) == Block.size() && Filler.flush()) {
        }
    };
    auto ExpectFull = [&](TArchive& Archive) {
        TArchiveEntry Big = Download(Printout(2000));
        ASSERT_GT(Big.Raw.size(), 32 * 1024);
        try {
            Archive.Store(Big);
            FAIL() << "stored on a full disk";
        } catch (const EArchiveError& E) {
            EXPECT_TRUE(E.Message.contains(Path())) << E.what();
            EXPECT_TRUE(E.Message.contains("the disk is full")) << E.what();
        }
    };
    Fill();
    // The archive open while the disk fills up, and one opened on the full disk.
    ExpectFull(Running);
    {
        TArchive Late(Path());
        ExpectFull(Late);
    }
    QFile::remove(Data() + QStringLiteral("/filler"));
    {
        TRawDb Db(Path());
        EXPECT_EQ(Db.Scalar("PRAGMA integrity_check").toString(), "ok");
    }
    std::vector<qint64> After;
    for (const TArchiveRow& Row : Running.List())
        After.insert(After.begin(), Row.Id);
    EXPECT_EQ(After, Before);
    EXPECT_GT(Running.Store(Download(Printout(6))), 0);
}

TEST_F(MountedArchiveTest, ReadOnlyDataFolderSaysSo) {
    ReadOnly();
    TArchive Archive(Path());
    try {
        Archive.Store(Download(Printout(6)));
        FAIL() << "stored into a read-only folder";
    } catch (const EArchiveError& E) {
        EXPECT_TRUE(E.Message.contains(Path())) << E.what();
        EXPECT_TRUE(E.Message.contains("Details:")) << E.what();
    }
    EXPECT_EQ(Archive.OpenState(), TArchive::TOpenState::Closed);
    EXPECT_TRUE(FolderEntries(Data()).isEmpty());
}

} // namespace
