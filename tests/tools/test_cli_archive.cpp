#include "CliArchive.h"
#include "CliRun.h"
#include "Sim.h"
#include "TestSupport.h"
#include "archive/Archive.h"
#include "measurement/Readings.h"
#include "report/CaptureText.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using TestSupport::ReadFile;
using TestSupport::TSim;
using TestSupport::WriteFile;

namespace {

class CliArchiveTest : public ::testing::Test {
protected:
    QString In(const QString& Name) const { return Dir.filePath(Name); }
    QString Db() const { return In("a.sqlite"); }
    QStringList Captures() const {
        QStringList Files;
        for (QDirIterator It(In("caps"), QDir::Files); It.hasNext();)
            Files << It.next();
        return Files;
    }
    TRun Archive(QStringList Arguments) {
        return Cli(QStringList{"archive"} + Arguments + QStringList{"--archive", Db()});
    }
    // One failure line on stderr (a download's state lines aside).
    static void ExpectOneLine(const TRun& R) {
        EXPECT_EQ(R.Err.count("halvorn-cli: "), 1) << R.Err.constData();
        EXPECT_TRUE(R.Err.endsWith('\n'));
    }

    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
};

TEST_F(CliArchiveTest, DownloadIsArchivedAndComesBackByteForByte) {
    // A zero byte in a line: the report drops it and the rest of its piece, the archive keeps
    // every byte that came.
    QByteArray Sent = ReadFile(FixturePath("short.bin"));
    Sent.insert(Sent.indexOf('\r') + 1, QByteArray("noise\0after zero\r", 18));
    ASSERT_NE(CaptureText::DownloadText(Sent), Sent);
    WriteFile(In("sent.bin"), Sent);
    TSim Sim({"--file", In("sent.bin"), "--unpaced"});
    ASSERT_TRUE(Sim.Started());
    const TRun D = Cli(
        {"download", Sim.DevicePath(), "-o", In("r.txt"), "--archive", Db(), "--info-disabled"});
    ASSERT_EQ(D.ExitCode, 0) << D.Err.constData();

    const TRun L = Archive({"list", "--json"});
    ASSERT_EQ(L.ExitCode, 0) << L.Err.constData();
    // The keys in their documented order.
    const QRegularExpression Keys("\"([a-z_0-9]+)\":");
    QStringList Order;
    for (auto It = Keys.globalMatch(QString::fromUtf8(L.Out)); It.hasNext();)
        Order << It.next().captured(1);
    EXPECT_EQ(Order, (QStringList{"id", "received_at", "start", "port", "device", "bytes", "sha256",
                                  "state", "serial", "location", "readings", "epa_protocol"}));
    const QJsonArray Rows = QJsonDocument::fromJson(L.Out).array();
    ASSERT_EQ(Rows.size(), 1);
    const QJsonObject Row = Rows[0].toObject();
    EXPECT_EQ(Row["state"].toString(), "complete");
    EXPECT_TRUE(Row["start"].isNull()); // the report information was off
    EXPECT_EQ(Row["device"].toString(), Sim.DevicePath());
    EXPECT_EQ(Row["bytes"].toInt(), Sent.size());
    EXPECT_TRUE(Row["readings"].isDouble());
    EXPECT_TRUE(Row["epa_protocol"].isDouble());
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")
                    .match(Row["received_at"].toString())
                    .hasMatch());
    const QString Id = QString::number(Row["id"].toInt());

    EXPECT_EQ(Archive({"show", Id, "--report"}).Out, ReadFile(In("r.txt")));
    EXPECT_EQ(Archive({"show", Id, "--raw"}).Out, Sent);
    const TRun People = Archive({"show", Id});
    EXPECT_TRUE(People.Out.contains("State:         complete")) << People.Out.constData();
    ASSERT_EQ(Archive({"export", Id, "-o", In("raw.bin")}).ExitCode, 0);
    EXPECT_EQ(ReadFile(In("raw.bin")), Sent);
    EXPECT_TRUE(Captures().isEmpty());
}

// The archive fails (another program's file at its path): the report is still written, the
// bytes go to a capture file, one line names the database, exit 1; the file is untouched.
TEST_F(CliArchiveTest, ArchiveFailureStillWritesTheReport) {
    const QByteArray Foreign = "SQLite? no: the user's own notes\n";
    WriteFile(Db(), Foreign);
    TSim Sim({"--file", FixturePath("short.bin"), "--unpaced"});
    ASSERT_TRUE(Sim.Started());
    const TRun D = Cli({"download", Sim.DevicePath(), "-o", In("r.txt"), "--archive", Db(),
                        "--captures", In("caps"), "--info-disabled"});
    EXPECT_EQ(D.ExitCode, 1);
    ExpectOneLine(D);
    EXPECT_TRUE(D.Err.contains(Db().toLocal8Bit() + " is not a database")) << D.Err.constData();
    EXPECT_TRUE(D.Err.contains("the report is in " + In("r.txt").toLocal8Bit()))
        << D.Err.constData();
    EXPECT_TRUE(QFile::exists(In("r.txt")));
    const QStringList Files = Captures();
    ASSERT_EQ(Files.size(), 1);
    EXPECT_TRUE(D.Err.contains(Files[0].toLocal8Bit())) << D.Err.constData();
    EXPECT_EQ(ReadFile(Files[0]), CaptureText::DownloadText(ReadFile(FixturePath("short.bin"))));
    EXPECT_EQ(ReadFile(Db()), Foreign);
}

// A line that goes away in the middle: the bytes are an "interrupted" row, no capture file.
TEST_F(CliArchiveTest, InterruptedTransferGoesToTheArchive) {
    TSim Sim({"--file", FixturePath("short.bin"), "--baud", "4800", "--linger", "0"});
    ASSERT_TRUE(Sim.Started());
    const TRun D = Cli({"download", Sim.DevicePath(), "-o", In("r.txt"), "--archive", Db(),
                        "--captures", In("caps")});
    EXPECT_EQ(D.ExitCode, 1);
    ExpectOneLine(D);
    EXPECT_TRUE(D.Err.contains("the bytes received are in the archive " + Db().toLocal8Bit()))
        << D.Err.constData();
    EXPECT_TRUE(Captures().isEmpty());
    const QJsonArray Rows = QJsonDocument::fromJson(Archive({"list", "--json"}).Out).array();
    ASSERT_EQ(Rows.size(), 1);
    EXPECT_EQ(Rows[0].toObject()["state"].toString(), "interrupted");
    EXPECT_GT(Rows[0].toObject()["bytes"].toInt(), 0);
}

TEST_F(CliArchiveTest, UnknownIdsAndAnEmptyArchive) {
    // Reading makes no database.
    EXPECT_EQ(Archive({"list", "--json"}).Out, "[]\n");
    EXPECT_FALSE(QFile::exists(Db()));
    const struct {
        QStringList Args;
        int Exit;
        const char* Says;
    } Cases[] = {
        {{"show", "7"}, 1, "No measurement 7 in the archive"},
        {{"show", "7", "--raw"}, 1, "No measurement 7 in the archive"},
        {{"export", "7", "-o", "x.raw"}, 1, "No measurement 7 in the archive"},
        {{"show", "seven"}, 2, "ID wants a measurement number, not 'seven'"},
        {{"show", "0"}, 2, "ID wants a measurement number"},
    };
    WriteFile(In("c.raw"), ReadFile(FixturePath("short.bin")));
    ASSERT_EQ(Archive({"import", In("c.raw")}).ExitCode, 0);
    for (const auto& C : Cases) {
        const TRun R = Archive(C.Args);
        EXPECT_EQ(R.ExitCode, C.Exit) << C.Args.join(' ').toStdString();
        ExpectOneLine(R);
        EXPECT_TRUE(R.Err.contains(C.Says)) << R.Err.constData();
        EXPECT_TRUE(R.Out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(In("x.raw")));
}

TEST_F(CliArchiveTest, ImportTakesEachCaptureOnce) {
    WriteFile(In("2026-12-08 14-03-22 COM2.raw"), ReadFile(FixturePath("short.bin")));
    WriteFile(In("other.raw"), ReadFile(FixturePath("long.bin")).left(500));
    const TRun First =
        Archive({"import", In("2026-12-08 14-03-22 COM2.raw"), In("other.raw"), In("none.raw")});
    EXPECT_EQ(First.ExitCode, 1);
    EXPECT_EQ(First.Out.count('\n'), 2) << First.Out.constData();
    // One line for the file that is not there, one for the sum.
    EXPECT_EQ(First.Err.count('\n'), 2) << First.Err.constData();
    EXPECT_TRUE(First.Err.contains("none.raw"));
    const TRun Again = Archive({"import", In("other.raw")});
    EXPECT_EQ(Again.ExitCode, 0);
    EXPECT_TRUE(Again.Out.contains("already archived as measurement")) << Again.Out.constData();
    const QJsonArray Rows = QJsonDocument::fromJson(Archive({"list", "--json"}).Out).array();
    ASSERT_EQ(Rows.size(), 2);
    for (const QJsonValue& Row : Rows)
        EXPECT_EQ(Row.toObject()["state"].toString(), "imported");
    QStringList Ports;
    for (const QJsonValue& Row : Rows)
        Ports << Row.toObject()["port"].toString();
    Ports.sort();
    EXPECT_EQ(Ports, (QStringList{"", "COM2"}));
}

// Stored text never reaches the JSON as JSON: a figure that is no plain number is null.
TEST(CliArchiveJson, NullsEscapesAndOnlyNumbersAsNumbers) {
    TArchiveRow Row;
    Row.Id = 3;
    Row.ReceivedAt = QDateTime(QDate(2026, 12, 8), QTime(14, 3, 22), Qt::UTC);
    Row.Port = "COM1";
    Row.SerialNumber = "A\"1";
    Row.Location = "Hall\\1";
    Row.State = TArchiveState::NoReadings;
    EXPECT_EQ(CliArchive::ListJson({Row}),
              "[\n  {\"id\": 3, \"received_at\": \"2026-12-08T14:03:22Z\", \"start\": null, "
              "\"port\": \"COM1\", \"device\": \"\", \"bytes\": 0, \"sha256\": \"\", \"state\": "
              "\"no-readings\", \"serial\": \"A\\\"1\", \"location\": \"Hall\\\\1\", "
              "\"readings\": null, \"epa_protocol\": null}\n]\n");
    Row.Readings = 48;
    Row.Start = QDateTime(QDate(2026, 12, 1), QTime(9, 30)).toUTC();
    const struct {
        const char* Stored;
        std::optional<double> Number;
    } Cases[] = {{"1.4", 1.4},  {"0", 0.0},    {"-2.5", -2.5}, {"1,2]", {}},
                 {"1e999", {}}, {"\"x\"", {}}, {"", {}},       {"01.4", {}},
                 {"1.", {}},    {"NaN", {}},   {"1 }, {", {}}};
    for (const auto& Case : Cases) {
        Row.EpaProtocol = QString::fromLatin1(Case.Stored);
        QJsonParseError Error;
        const QJsonDocument Doc = QJsonDocument::fromJson(CliArchive::ListJson({Row}), &Error);
        ASSERT_EQ(Error.error, QJsonParseError::NoError) << Case.Stored;
        const QJsonObject Parsed = Doc.array()[0].toObject();
        EXPECT_EQ(Parsed.size(), 12);
        EXPECT_EQ(Parsed["readings"].toInt(), 48);
        EXPECT_EQ(Parsed["start"].toString(), Readings::Timestamp(Row.Start.toLocalTime()));
        if (Case.Number)
            EXPECT_DOUBLE_EQ(Parsed["epa_protocol"].toDouble(), *Case.Number) << Case.Stored;
        else
            EXPECT_TRUE(Parsed["epa_protocol"].isNull()) << Case.Stored;
    }
    EXPECT_EQ(CliArchive::ListJson({}), "[]\n");
}

// Four imports of the same thirty captures at once, into an archive none has made yet, store
// thirty rows: the duplicate check is in the write transaction, and a copy making the archive
// is never seen half made by another.
TEST_F(CliArchiveTest, ParallelImportsStoreEachCaptureOnce) {
    QStringList Files;
    for (int I = 0; I < 30; ++I) {
        Files << In(QStringLiteral("c%1.raw").arg(I));
        WriteFile(Files.last(), ReadFile(FixturePath("short.bin")) + QByteArray::number(I));
    }
    for (int Round = 0; Round < 8; ++Round) {
        SCOPED_TRACE(Round);
        for (const char* Suffix : {"", "-wal", "-shm"})
            QFile::remove(Db() + Suffix);
        std::vector<std::unique_ptr<QProcess>> Runs;
        for (int P = 0; P < 4; ++P) {
            Runs.push_back(std::make_unique<QProcess>());
            Runs.back()->start(Program(), QStringList{"archive", "import"} + Files +
                                              QStringList{"--archive", Db()});
        }
        for (const auto& Run : Runs) {
            ASSERT_TRUE(Run->waitForFinished(60000));
            EXPECT_EQ(Run->exitCode(), 0) << Run->readAllStandardError().constData();
        }
        EXPECT_EQ(QJsonDocument::fromJson(Archive({"list", "--json"}).Out).array().size(), 30);
    }
}

// Header values no version writes: every command refuses the file by name and nothing
// crashes; a download still leaves its bytes in a capture file.
TEST_F(CliArchiveTest, CraftedHeadersAreRefusedAndDownloadsKept) {
    for (const qint64 Version : {qint64(-1), qint64(-2147483648LL), qint64(2147483647)}) {
        SCOPED_TRACE(Version);
        QFile::remove(Db());
        {
            TArchive Made(Db());
            Made.Open();
        }
        {
            QSqlDatabase Raw = QSqlDatabase::addDatabase("QSQLITE", "crafted");
            Raw.setDatabaseName(Db());
            ASSERT_TRUE(Raw.open());
            QSqlQuery(Raw).exec(QStringLiteral("PRAGMA user_version=%1").arg(Version));
            Raw.close();
        }
        QSqlDatabase::removeDatabase("crafted");
        WriteFile(In("c.raw"), ReadFile(FixturePath("short.bin")));
        for (const QStringList& Args :
             {QStringList{"list"}, QStringList{"list", "--json"},
              QStringList{"import", In("c.raw")}, QStringList{"show", "1"}}) {
            const TRun R = Archive(Args);
            EXPECT_EQ(R.ExitCode, 1) << Args.join(' ').toStdString() << R.Err.constData();
            EXPECT_TRUE(R.Err.contains(Db().toLocal8Bit())) << R.Err.constData();
        }
        TSim Sim({"--file", FixturePath("short.bin"), "--unpaced"});
        ASSERT_TRUE(Sim.Started());
        QDir(In("caps")).removeRecursively();
        const TRun D = Cli({"download", Sim.DevicePath(), "-o", In("r.txt"), "--archive", Db(),
                            "--captures", In("caps"), "--info-disabled"});
        EXPECT_EQ(D.ExitCode, 1) << D.Err.constData();
        EXPECT_EQ(Captures().size(), 1);
        EXPECT_TRUE(QFile::exists(In("r.txt")));
    }
}

} // namespace
