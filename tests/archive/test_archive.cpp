#include "FileLocks.h"
#include "Printout.h"
#include "TestSupport.h"
#include "TmpfsMount.h"
#include "archive/Archive.h"
#include "files/ReportText.h"
#include "report/ReportBuilder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QVariant>
#include <atomic>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/types.h>
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

// The three rows the migration tests store by hand, as an upgraded archive must give them
// back: a complete download with its start, one without a readings table, a stopped one.
void ExpectMigratedRows(TArchive& Archive, const QByteArray& Full, const QDateTime& Start) {
    const struct {
        qint64 Id;
        TArchiveState State;
        QByteArray Raw;
        QDateTime Start;
    } Want[] = {
        {4, TArchiveState::Complete, Full, Start},
        {5, TArchiveState::NoReadings, "ABC", {}},
        {6, TArchiveState::Stopped, "DEF", {}},
    };
    for (const auto& Row : Want) {
        const std::optional<TArchiveEntry> Got = Archive.Get(Row.Id);
        ASSERT_TRUE(Got) << Row.Id;
        EXPECT_EQ(Got->State, Row.State) << Row.Id;
        EXPECT_EQ(Got->Raw, Row.Raw) << Row.Id;
        EXPECT_EQ(Got->Start, Row.Start) << Row.Id;
    }
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
    ASSERT_EQ(Archive.Open(), TArchive::TOpenState::Writable);
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

    // A power cut must not lose a row reported stored: FULL, read through the archive itself.
    EXPECT_EQ(Archive.Pragma("synchronous"), "2");
    EXPECT_EQ(Archive.Pragma("foreign_keys"), "1");
    // The report's start (9:30 local on 12/1) beside the receiving time.
    EXPECT_EQ(Got->Start, QDateTime(QDate(2026, 12, 1), QTime(9, 30)).toUTC());
    Archive.Close();
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

// Newest first and narrowed by days, each row counted at its report's start where it has one
// (an imported capture has none and counts when it was received).
TEST_F(ArchiveTest, ListsNewestFirstAndFiltersBySerialLocationAndDays) {
    TArchive Archive(Path());
    struct TRow {
        const char* Serial;
        const char* Location;
        QDateTime Start; // invalid: the report names no start
        QDateTime At;
    };
    const QDateTime Later(QDate(2026, 12, 20), QTime(8, 0));
    const TRow Rows[] = {
        {"4410-0001", "Basement 50% wall", QDateTime(QDate(2026, 11, 30), QTime(23, 0)), Later},
        {"4410-0002", "Kitchen", QDateTime(QDate(2026, 12, 1), QTime(0, 30)), Later},
        {"4410-0003", "basement", {}, QDateTime(QDate(2026, 12, 3), QTime(12, 0))},
        {"9999-0001", "Attic", QDateTime(QDate(2026, 12, 3), QTime(12, 0)), Later.addDays(-1)},
    };
    std::vector<qint64> Ids;
    for (const TRow& Row : Rows) {
        TArchiveEntry Entry = Download(Printout(6), Row.Serial, Row.Location);
        Entry.Info.StartDate = Row.Start;
        Entry.Info.StartTime = Row.Start;
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
        {{{}, QDate(2026, 12, 20), {}}, {}},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(IdsOf(Case.Filter), Case.Want) << Case.Filter.Text.toStdString();
    EXPECT_FALSE(Archive.List()[1].Start.isValid());
    EXPECT_EQ(Archive.List()[0].Start, Rows[3].Start.toUTC());
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
    const TArchive::TImported First = Archive.Import(Capture);
    EXPECT_FALSE(First.Duplicate);
    const TArchive::TImported Again = Archive.Import(Capture);
    EXPECT_TRUE(Again.Duplicate);
    EXPECT_EQ(Again.Id, First.Id);
    EXPECT_EQ(Archive.List().size(), 1u);
    const std::optional<TArchiveEntry> Got = Archive.Get(First.Id);
    ASSERT_TRUE(Got);
    EXPECT_EQ(Got->State, TArchiveState::Imported);
    EXPECT_EQ(Got->ReceivedAt, Stamp);
    EXPECT_EQ(Got->Port, "COM3");
    EXPECT_EQ(Got->Raw, Raw);
    // Nothing of the report information in force now belongs to an old capture.
    EXPECT_FALSE(Got->Info.Enabled);
    EXPECT_TRUE(Got->SerialNumber.isEmpty() && Got->Location.isEmpty());
    EXPECT_FALSE(Got->Start.isValid());
    // A stored download with the same bytes counts as archived too.
    const QString Other = Dir.path() + QStringLiteral("/other.raw");
    const QByteArray Whole = Printout(5);
    TestSupport::WriteFile(Other, Whole);
    const qint64 Stored = Archive.Store(Download(Whole));
    EXPECT_EQ(Archive.Import(Other).Id, Stored);

    const QString Empty = Dir.path() + QStringLiteral("/empty.raw");
    TestSupport::WriteFile(Empty, {});
    try {
        Archive.Import(Empty);
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
    // Our archive with a header value no version writes.
    auto Version = [&](const QString& Path, qint64 Value) {
        TArchive(Path).Store(Download(Printout(6)));
        TRawDb Db(Path);
        Db.Exec(QStringLiteral("PRAGMA user_version=%1").arg(Value));
    };
    // Another program's database in WAL mode, its rows still in the log beside it.
    auto ForeignWithLog = [](const QString& Path) {
        QProcess Child;
        Child.start(QStringLiteral(HALVORN_ARCHIVE_WRITER), {"--foreign-wal", Path});
        ASSERT_TRUE(Child.waitForFinished(10000));
        ASSERT_GT(QFileInfo(Path + "-wal").size(), 0);
    };
    struct TCase {
        const char* Name;
        std::function<void(const QString&)> Make;
        const char* Says;
    };
    const TCase Cases[] = {
        {"text", [](const QString& P) { TestSupport::WriteFile(P, "Serial,Location\r\n"); },
         "is not a database"},
        {"negative version", [&](const QString& P) { Version(P, -1); }, "version -1"},
        {"absurd version", [&](const QString& P) { Version(P, 2147483647); }, "no version"},
        {"version without our id",
         [&](const QString& P) {
             TRawDb Db(P);
             Db.Exec("PRAGMA user_version=2");
         },
         "another program"},
        {"other program with a log", ForeignWithLog, "another program"},
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
        const QByteArray Log =
            QFileInfo(Path + "-wal").isFile() ? TestSupport::ReadFile(Path + "-wal") : "";

        EXPECT_EQ(TArchive(Path).Open(TArchive::TAccess::Read), TArchive::TOpenState::Refused);
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
        if (!Log.isEmpty()) {
            EXPECT_EQ(TestSupport::ReadFile(Path + "-wal"), Log);
        }
    }
}

// A capture that is no regular file, or is one of the archive's own files by whatever name,
// is refused without being opened: no blocking on a FIFO, and the archive keeps its locks.
TEST_F(ArchiveTest, ImportRefusesWhatIsNoCaptureWithoutOpeningIt) {
    TArchive Archive(Path());
    Archive.Store(Download(Printout(6)));
    ASSERT_TRUE(TestSupport::HoldsLock(Path() + "-shm"));
    const QString Fifo = Dir.filePath("pipe.raw");
    ASSERT_EQ(::mkfifo(QFile::encodeName(Fifo).constData(), 0600), 0);
    ASSERT_EQ(::link(QFile::encodeName(Path()).constData(),
                     QFile::encodeName(Dir.filePath("hard.raw")).constData()),
              0);
    ASSERT_TRUE(QFile::link(Path() + "-wal", Dir.filePath("soft.raw")));
    const struct {
        QString File;
        const char* Says;
    } Cases[] = {
        {Fifo, "not a regular file"},
        {"/dev/null", "not a regular file"},
        {Dir.path(), "is a folder"},
        {Path(), "the archive itself"},
        {Path() + "-wal", "the archive itself"},
        {Path() + "-shm", "the archive itself"},
        {Dir.filePath("hard.raw"), "the archive itself"},
        {Dir.filePath("soft.raw"), "the archive itself"},
    };
    for (const auto& Case : Cases) {
        const QString Said = TestSupport::MessageOf([&] { Archive.Import(Case.File); });
        EXPECT_TRUE(Said.contains(Case.File) && Said.contains(Case.Says)) << Said.toStdString();
    }
    EXPECT_TRUE(TestSupport::HoldsLock(Path() + "-shm"));
    EXPECT_TRUE(TestSupport::DeletedOpenFiles(Dir.path()).isEmpty());
    EXPECT_EQ(Archive.List().size(), 1u);
}

// The schema steps from version 2: the table rebuilt with the state "no-readings" and the
// report's start, then the job's columns, empty until given; every byte and every row kept.
TEST_F(ArchiveTest, VersionTwoIsBroughtUpWithStatesStartsAndJobs) {
    QDir().mkpath(Data());
    const QByteArray Full = Printout(6);
    const TReportInfo Info = InfoFor("4410-0042", "Hall");
    const QByteArray Report = TArchive::ReportBytes(BuildReportFromBytes(Full, Info));
    {
        TRawDb Db(Path());
        for (int Step = 0; Step < 2; ++Step)
            for (const QString& Sql : ArchiveSchema::Steps()[size_t(Step)])
                Db.Exec(Sql);
        const char* Columns = "(id, received_at, port, device, bytes, sha256, state, error, "
                              "info_enabled, info_serial, info_location, info_start_date, "
                              "info_start_time, info_end_date, info_end_time, info_header, "
                              "info_footer, serial, location, readings, epa_protocol)";
        Db.Exec(QStringLiteral("INSERT INTO measurement %1 VALUES (4, '2026-12-08T10:00:00Z', "
                               "'COM1', '', 9, 'a', 'complete', '', 1, '4410-0042', 'Hall', "
                               "'2026-12-01T00:00:00.000', '2026-12-01T09:30:00.000', '', '', "
                               "'[]', '[]', '4410-0042', 'Hall', 6, '1.2')")
                    .arg(QLatin1String(Columns)));
        Db.Exec(QStringLiteral("INSERT INTO measurement %1 VALUES (5, '2026-12-08T11:00:00Z', "
                               "'COM1', '', 3, 'b', 'complete', '', 0, '', '', '', '', '', '', "
                               "'[]', '[]', '', '', NULL, NULL)")
                    .arg(QLatin1String(Columns)));
        Db.Exec(QStringLiteral("INSERT INTO measurement %1 VALUES (6, '2026-12-08T12:00:00Z', "
                               "'COM1', '', 3, 'c', 'stopped', '', 0, '', '', '', '', '', '', "
                               "'[]', '[]', '', '', NULL, NULL)")
                    .arg(QLatin1String(Columns)));
        Db.Exec("INSERT INTO content VALUES (5, x'414243', NULL)");
        Db.Exec("INSERT INTO content VALUES (6, x'444546', NULL)");
        Db.Exec(QStringLiteral("INSERT INTO content VALUES (4, x'%1', x'%2')")
                    .arg(QString::fromLatin1(Full.toHex()), QString::fromLatin1(Report.toHex())));
        Db.Exec(QStringLiteral("PRAGMA application_id=%1").arg(TArchive::ApplicationId));
        Db.Exec("PRAGMA user_version=2");
    }
    TArchive Archive(Path());
    ASSERT_EQ(Archive.Open(), TArchive::TOpenState::Writable);
    ExpectMigratedRows(Archive, Full, QDateTime(QDate(2026, 12, 1), QTime(9, 30)).toUTC());
    EXPECT_EQ(Archive.Get(4)->Report, Report);
    EXPECT_EQ(Archive.List().size(), 3u);
    EXPECT_TRUE(Archive.Get(4)->Job.Client.isEmpty());
    EXPECT_FALSE(Archive.Get(4)->JobGivenAt.isValid());
    TJob Job;
    Job.Client = "Ann Maple";
    Job.Address = "12 Birch Lane";
    Job.TestType = TTestType::PostMitigation;
    Job.Conditions = TConditions::Maintained;
    EXPECT_TRUE(Archive.SetJob(4, Job));
    EXPECT_FALSE(Archive.SetJob(99, Job));
    const std::optional<TArchiveEntry> WithJob = Archive.Get(4);
    EXPECT_EQ(WithJob->Job.Address, "12 Birch Lane");
    EXPECT_LE(qAbs(WithJob->JobGivenAt.secsTo(QDateTime::currentDateTimeUtc())), 60);
    EXPECT_EQ(WithJob->Job.TestType, TTestType::PostMitigation);
    EXPECT_EQ(WithJob->Job.Conditions, TConditions::Maintained);
    // The job is searched as the serial number and the location are.
    for (const char* Text : {"maple", "BIRCH"})
        EXPECT_EQ(Archive.List({QString(Text), {}, {}}).size(), 1u) << Text;
    EXPECT_TRUE(Archive.Remove(5)); // the content goes with its row: the key survived
    Archive.Close();
    TRawDb Db(Path(), true);
    EXPECT_EQ(Db.Scalar("SELECT count(*) FROM content").toInt(), 2);
    EXPECT_EQ(Db.Scalar("PRAGMA user_version").toInt(), TArchive::SchemaVersion);
    EXPECT_EQ(Db.Scalar("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                        "('measurement_received_at', 'measurement_sha256', 'measurement_start')")
                  .toInt(),
              3);
}

// The team archive's step from version 4: every row, byte, start and job kept, the indexes of
// version 4 still there, one origin made, every row waiting, ids never given twice; a job given
// after its row was sent waits until the push marks that very version.
TEST_F(ArchiveTest, VersionFourIsBroughtUpForTheTeamArchive) {
    QDir().mkpath(Data());
    const QByteArray Full = Printout(6);
    const TReportInfo Info = InfoFor("4410-0042", "Hall");
    const QDateTime Start = QDateTime(QDate(2026, 12, 1), QTime(9, 30)).toUTC();
    const QDateTime Given(QDate(2026, 12, 9), QTime(8, 0, 0, 250), Qt::UTC);
    {
        TRawDb Db(Path());
        for (int Step = 0; Step < 4; ++Step)
            for (const QString& Sql : ArchiveSchema::Steps()[size_t(Step)])
                Db.Exec(Sql);
        Db.Exec(QStringLiteral(
                    "INSERT INTO measurement (id, received_at, start, port, device, bytes, sha256, "
                    "state, error, info_enabled, info_serial, info_location, info_start_date, "
                    "info_start_time, info_end_date, info_end_time, info_header, info_footer, "
                    "serial, location, readings, epa_protocol, job_client, job_given_at) VALUES "
                    "(4, '2026-12-08T10:00:00Z', '%1', 'COM1', '', 9, 'a', 'complete', '', 1, "
                    "'4410-0042', 'Hall', '2026-12-01T00:00:00.000', '2026-12-01T09:30:00.000', "
                    "'', '', '[]', '[]', '4410-0042', 'Hall', 6, '1.2', 'Ann Maple', '%2'), "
                    "(5, '2026-12-08T11:00:00Z', NULL, 'COM1', '', 3, 'b', 'no-readings', '', 0, "
                    "'', '', '', '', '', '', '[]', '[]', '', '', NULL, NULL, '', NULL), "
                    "(6, '2026-12-08T12:00:00Z', NULL, 'COM1', '', 3, 'c', 'stopped', '', 0, "
                    "'', '', '', '', '', '', '[]', '[]', '', '', NULL, NULL, '', NULL)")
                    .arg(Start.toString(Qt::ISODate), Given.toString(Qt::ISODateWithMs)));
        Db.Exec(QStringLiteral("INSERT INTO content VALUES (4, x'%1', NULL), (5, x'414243', "
                               "NULL), (6, x'444546', NULL)")
                    .arg(QString::fromLatin1(Full.toHex())));
        Db.Exec(QStringLiteral("PRAGMA application_id=%1").arg(TArchive::ApplicationId));
        Db.Exec("PRAGMA user_version=4");
    }
    QString Origin;
    {
        TArchive Archive(Path());
        ASSERT_EQ(Archive.Open(), TArchive::TOpenState::Writable);
        ExpectMigratedRows(Archive, Full, Start);
        Origin = Archive.Origin();
        EXPECT_TRUE(QRegularExpression(
                        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-"
                                       "[0-9a-f]{12}$"))
                        .match(Origin)
                        .hasMatch())
            << Origin.toStdString();
        EXPECT_EQ(Archive.Get(4)->Job.Client, "Ann Maple");
        EXPECT_EQ(Archive.Get(4)->JobGivenAt, Given);
        EXPECT_EQ(Archive.Waiting(), (std::vector<qint64>{4, 5, 6}));
        Archive.MarkSent(5);
        EXPECT_EQ(Archive.Waiting(), (std::vector<qint64>{4, 6}));
        EXPECT_EQ(Archive.TeamCounts().Waiting, 2);
        EXPECT_EQ(Archive.TeamCounts().Sent, 1);
        // Sent with its row, the job waits no more; given again, it waits for that version.
        Archive.MarkSent(4, Given);
        EXPECT_TRUE(Archive.WaitingJobs().empty());
        std::vector<QDateTime> Times{Given};
        for (const char* Client : {"Bo Larch", "Cy Rowan"}) {
            ASSERT_TRUE(Archive.SetJob(4, TJob{Client, {}, {}, {}, {}, {}}));
            Times.push_back(Archive.Get(4)->JobGivenAt);
            EXPECT_GT(Times.back(), Times[Times.size() - 2]) << Client;
        }
        Archive.MarkSent(4, Times[1]);
        EXPECT_EQ(Archive.WaitingJobs(), (std::vector<qint64>{4}));
        EXPECT_EQ(Archive.TeamCounts().Jobs, 1);
        Archive.MarkSent(4, Times[2]);
        EXPECT_TRUE(Archive.WaitingJobs().empty());
        EXPECT_TRUE(Archive.Get(4)->TeamSent);
        // The newest row deleted: its id never comes back, or the next row would be taken for
        // it on the team server.
        EXPECT_TRUE(Archive.Remove(6));
        const qint64 Next = Archive.Store(Download(Printout(6)));
        EXPECT_EQ(Next, 7);
        EXPECT_EQ(Archive.Get(Next)->Start, Start);
        EXPECT_EQ(Archive.Waiting(), (std::vector<qint64>{7}));
        EXPECT_TRUE(Archive.Remove(5)); // the content goes with its row: the key survived
    }
    // The origin is made once: opening again keeps it, another archive gets its own.
    EXPECT_EQ(TArchive(Path()).Origin(), Origin);
    QTemporaryDir Other;
    TArchive Second(TArchive::PathIn(Other.path()));
    Second.Store(Download(Printout(6)));
    EXPECT_NE(Second.Origin(), Origin);
    EXPECT_FALSE(Second.Origin().isEmpty());
    TRawDb Db(Path(), true);
    EXPECT_EQ(Db.Scalar("PRAGMA user_version").toInt(), TArchive::SchemaVersion);
    EXPECT_EQ(Db.Scalar("SELECT count(*) FROM content").toInt(), 2);
    EXPECT_EQ(Db.Scalar("SELECT count(*) FROM team_origin").toInt(), 1);
    EXPECT_EQ(Db.Scalar("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                        "('measurement_received_at', 'measurement_sha256', 'measurement_start', "
                        "'measurement_team_waiting', 'measurement_team_job_waiting')")
                  .toInt(),
              5);
    EXPECT_EQ(Db.Scalar("PRAGMA integrity_check").toString(), "ok");
}

// The team archive's reading side on an archive opened for reading: nothing written, an
// archive of the version before the team archive has no origin and every row waiting, and
// one that is not there has nothing.
TEST_F(ArchiveTest, TeamSideReadsWithoutWriting) {
    QDir().mkpath(Data());
    {
        TArchive Missing(Path());
        EXPECT_EQ(Missing.Origin(), "");
        EXPECT_TRUE(Missing.Waiting().empty());
        EXPECT_EQ(Missing.TeamCounts().Waiting, 0);
        EXPECT_FALSE(QFileInfo::exists(Path()));
    }
    {
        TRawDb Db(Path());
        for (int Step = 0; Step < 3; ++Step)
            for (const QString& Sql : ArchiveSchema::Steps()[size_t(Step)])
                Db.Exec(Sql);
        Db.Exec("INSERT INTO measurement (id, received_at, port, device, bytes, sha256, state, "
                "error, info_enabled, info_serial, info_location, info_start_date, "
                "info_start_time, info_end_date, info_end_time, info_header, info_footer, "
                "serial, location) VALUES (2, '2026-12-08T10:00:00Z', 'COM1', '', 3, 'a', "
                "'stopped', '', 0, '', '', '', '', '', '', '[]', '[]', '', ''), (3, "
                "'2026-12-08T11:00:00Z', 'COM1', '', 3, 'b', 'stopped', '', 0, '', '', '', '', "
                "'', '', '[]', '[]', '', '')");
        Db.Exec("INSERT INTO content VALUES (2, x'414243', NULL), (3, x'444546', NULL)");
        Db.Exec(QStringLiteral("PRAGMA application_id=%1").arg(TArchive::ApplicationId));
        Db.Exec("PRAGMA user_version=3");
    }
    const QByteArray Before = TestSupport::ReadFile(Path());
    const QStringList Files = FolderEntries(Data());
    {
        TArchive Reader(Path());
        ASSERT_EQ(Reader.Open(TArchive::TAccess::Read), TArchive::TOpenState::ReadOnly);
        EXPECT_EQ(Reader.Origin(), "");
        EXPECT_EQ(Reader.Waiting(), (std::vector<qint64>{2, 3}));
        EXPECT_EQ(Reader.TeamCounts().Waiting, 2);
        EXPECT_EQ(Reader.TeamCounts().Sent, 0);
    }
    EXPECT_EQ(TestSupport::ReadFile(Path()), Before);
    EXPECT_EQ(FolderEntries(Data()), Files);
    // Brought up to date, then read: the origin is there, and reading it wrote nothing.
    QString Origin;
    {
        TArchive Writer(Path());
        Writer.MarkSent(2);
        Origin = Writer.Origin();
    }
    const QByteArray Current = TestSupport::ReadFile(Path());
    TArchive Reader(Path());
    ASSERT_EQ(Reader.Open(TArchive::TAccess::Read), TArchive::TOpenState::ReadOnly);
    EXPECT_EQ(Reader.Origin(), Origin);
    EXPECT_EQ(Reader.Waiting(), (std::vector<qint64>{3}));
    EXPECT_EQ(Reader.TeamCounts().Sent, 1);
    Reader.Close();
    EXPECT_EQ(TestSupport::ReadFile(Path()), Current);
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

// Two running copies both get every row in, and a second object on the file in one process
// is refused (closing its descriptors would drop the first one's locks).
TEST_F(ArchiveTest, TwoWritersAtOnceBothStoreEveryRow) {
    TArchive First(Path());
    First.Open();
    EXPECT_THROW(TArchive(Path()).Open(), EArchiveError);
    EXPECT_THROW(TArchive(Path()).Open(TArchive::TAccess::Read), EArchiveError);
    constexpr int PerWriter = 15;
    QProcess A, B;
    A.start(QStringLiteral(HALVORN_ARCHIVE_WRITER),
            {Path(), QString::number(PerWriter), "WRITER-A"});
    B.start(QStringLiteral(HALVORN_ARCHIVE_WRITER),
            {Path(), QString::number(PerWriter), "WRITER-B"});
    for (QProcess* Writer : {&A, &B}) {
        ASSERT_TRUE(Writer->waitForFinished(60000));
        EXPECT_EQ(Writer->exitCode(), 0) << Writer->readAllStandardError().constData();
    }
    EXPECT_EQ(First.List({QStringLiteral("WRITER-A"), {}, {}}).size(), size_t(PerWriter));
    EXPECT_EQ(First.List({QStringLiteral("WRITER-B"), {}, {}}).size(), size_t(PerWriter));
    First.Close();
    EXPECT_EQ(TArchive(Path()).Open(), TArchive::TOpenState::Writable);
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
        if (const std::string Why = TestSupport::MountTmpfs(Data(), Size()); !Why.empty())
            GTEST_SKIP() << Why;
        FMounted = true;
    }
    void TearDown() override {
        if (FMounted)
            TestSupport::Unmount(Data());
    }
    void ReadOnly() { ASSERT_TRUE(TestSupport::RemountReadOnly(Data())) << std::strerror(errno); }
    virtual const char* Size() const { return "size=512k"; }
    // Rows stored by another program that is then killed, so its log stays beside the file;
    // their ids.
    std::set<qint64> KilledWriter(int Rows) {
        std::set<qint64> Ids;
        QProcess Child;
        Child.start(QStringLiteral(HALVORN_ARCHIVE_WRITER), {Path()});
        while (int(Ids.size()) < Rows && (Child.canReadLine() || Child.waitForReadyRead(30000)))
            while (Child.canReadLine())
                Ids.insert(Child.readLine().trimmed().toLongLong());
        Child.kill();
        Child.waitForFinished(10000);
        for (const QByteArray& Line : Child.readAllStandardOutput().split('\n'))
            if (!Line.trimmed().isEmpty())
                Ids.insert(Line.trimmed().toLongLong());
        return Ids;
    }
    bool FMounted = false;
};

class BigMountedArchiveTest : public MountedArchiveTest {
protected:
    const char* Size() const override { return "size=2m"; }
};

// A read-only mount, with and without a log beside the file: read as it is, never written,
// and a window asking to write is told downloads cannot be stored there.
TEST_F(MountedArchiveTest, ReadOnlyMountIsReadWithOrWithoutALog) {
    for (const bool WithLog : {false, true}) {
        SCOPED_TRACE(WithLog ? "with a log" : "without a log");
        if (!FMounted || !TestSupport::RemountReadWrite(Data()))
            GTEST_SKIP() << "no writable mount";
        for (const QString& Name : FolderEntries(Data()))
            QFile::remove(Data() + "/" + Name);
        std::set<qint64> Ids;
        if (WithLog) {
            Ids = KilledWriter(3);
            ASSERT_GT(QFileInfo(Path() + "-wal").size(), 0);
        } else {
            TArchive Writer(Path());
            for (int I = 0; I < 3; ++I)
                Ids.insert(Writer.Store(Download(Printout(6 + I))));
        }
        const QStringList Before = FolderEntries(Data());
        ReadOnly();
        TArchive Reader(Path());
        EXPECT_EQ(Reader.Open(TArchive::TAccess::Read), TArchive::TOpenState::ReadOnly);
        EXPECT_EQ(Reader.List().size(), Ids.size());
        EXPECT_TRUE(Reader.Get(*Ids.begin()));
        Reader.Close();
        TArchive Window(Path());
        EXPECT_EQ(Window.Open(), TArchive::TOpenState::ReadOnly);
        EXPECT_TRUE(Window.Message().contains("new downloads cannot be stored there"))
            << Window.Message().toStdString();
        EXPECT_EQ(Window.List().size(), Ids.size());
        EXPECT_EQ(TestSupport::MessageOf([&] { Window.Store(Download(Printout(6))); }),
                  Window.Message());
        EXPECT_EQ(FolderEntries(Data()), Before);
    }
}

// Downloads on a nearly full disk (450 to 800 KiB free): whatever they leave, the archive is
// read whole afterwards and never called damaged, before and after space is freed.
TEST_F(BigMountedArchiveTest, NearlyFullDiskNeverCallsTheArchiveDamaged) {
    const QString Filler = Data() + QStringLiteral("/filler");
    for (const int FreeKiB : {450, 600, 800}) {
        SCOPED_TRACE(FreeKiB);
        QFile::remove(Filler);
        for (const QString& Name : FolderEntries(Data()))
            QFile::remove(Data() + "/" + Name);
        std::set<qint64> Stored;
        {
            TArchive First(Path());
            Stored.insert(First.Store(Download(Printout(48))));
        }
        {
            QFile Fill(Filler);
            ASSERT_TRUE(Fill.open(QIODevice::WriteOnly));
            const QByteArray Block(4096, 'x');
            while (QStorageInfo(Data()).bytesAvailable() > FreeKiB * 1024 &&
                   Fill.write(Block) == Block.size() && Fill.flush()) {
            }
        }
        // Another program's downloads until the disk refuses one.
        for (int I = 0; I < 12; ++I) {
            QProcess Child;
            Child.start(QStringLiteral(HALVORN_ARCHIVE_WRITER), {Path(), "1", "W%1", "2000"});
            ASSERT_TRUE(Child.waitForFinished(30000));
            if (Child.exitCode() != 0)
                break;
            Stored.insert(Child.readAllStandardOutput().trimmed().toLongLong());
        }
        for (const bool Freed : {false, true}) {
            if (Freed)
                QFile::remove(Filler);
            TArchive Reader(Path());
            std::vector<TArchiveRow> Rows;
            const QString Said = TestSupport::MessageOf([&] { Rows = Reader.List(); });
            EXPECT_EQ(Said, "<no error>");
            std::set<qint64> Listed;
            for (const TArchiveRow& Row : Rows)
                Listed.insert(Row.Id);
            EXPECT_EQ(Listed, Stored);
        }
        TRawDb Db(Path(), true);
        EXPECT_EQ(Db.Scalar("PRAGMA integrity_check").toString(), "ok");
    }
}

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
    Running.Close();
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
