#include "CliRun.h"
#include "PgTestServer.h"
#include "Printout.h"
#include "TestSupport.h"
#include "archive/TeamArchive.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

// The team commands as an office and a technician use them, in order: exit status, and words
// on stdout (or stderr when it failed).
TEST(CliTeamTest, CommandsOfTheOfficeAndTheTechnician) {
    if (const QString Why = PgTest::Missing(); !Why.isEmpty())
        GTEST_SKIP() << Why.toStdString();
    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
    PgTest::TDatabase Db(PgTest::SharedUri());
    const QString Archive = Dir.filePath("a.sqlite");
    for (int I = 0; I < 3; ++I) {
        TArchiveEntry E;
        E.Raw = SimPrintout::Generate({48, uint32_t(I + 1), true, false});
        // One report with a start of its own; the others name none.
        E.Info.Enabled = I == 0;
        E.Info.StartDate = QDateTime(QDate(2026, 12, 1), QTime(0, 0));
        E.Info.StartTime = QDateTime(QDate(2026, 12, 1), QTime(9, 30));
        TArchive(Archive).Store(E);
    }
    const QString Owner = Db.Server().Uri;
    {
        TTeamConnection Admin(Db.Server()); // the roles, for the users below
        TTeamArchive(Admin).Init(true);
    }
    const QString Tech = Db.Server(Db.User(TTeamArchive::TechnicianRole)).Uri;
    const QString Office = Db.Server(Db.User(TTeamArchive::OfficeRole)).Uri;
    const QString Nowhere = "postgresql://u@127.0.0.1:1/none";
    const struct {
        QStringList Arguments;
        int Status;
        QString Words;
    } Steps[] = {
        {{"team", "connect", "postgresql://ann:s3cret@db/radon"}, 2, "holds a password"},
        {{"team", "push", "--archive", Archive}, 1, "No team server is stored"},
        {{"team", "connect", Owner}, 0, "Stored the team server"},
        {{"team", "init", "--roles"}, 0, "halvorn_office may read and delete"},
        {{"team", "status", "--archive", Archive}, 0, "Waiting:      3"},
        {{"team", "push", "--server", Nowhere, "--archive", Archive}, 1, "cannot be reached"},
        {{"team", "push", "--server", Tech, "--archive", Archive}, 0, "Sent 3 measurements"},
        {{"team", "status", "--archive", Archive}, 0, "Sent:         3"},
        {{"team", "show", "2", "--server", Tech}, 0, "Local id:      2"},
        {{"team", "delete", "2", "--server", Tech}, 1, "only members of the role halvorn_office"},
        {{"team", "delete", "2", "--server", Office}, 0, "Deleted measurement 2"},
        {{"team", "show", "2"}, 1, "No measurement 2"},
    };
    for (const auto& S : Steps) {
        const TRun R = Cli(S.Arguments);
        EXPECT_EQ(R.ExitCode, S.Status) << S.Arguments.join(' ').toStdString() << R.Err.constData();
        EXPECT_TRUE(QString::fromUtf8(S.Status ? R.Err : R.Out).contains(S.Words))
            << S.Arguments.join(' ').toStdString() << ": " << R.Out.constData()
            << R.Err.constData();
        EXPECT_FALSE(R.Err.contains("s3cret"));
        EXPECT_LE(R.Err.count('\n'), 1);
    }
    // The list: the local list's keys, then where each row came from; the bytes as sent.
    const TRun L = Cli({"team", "list", "--json"});
    QStringList Keys;
    for (auto It = QRegularExpression("\"([a-z_0-9]+)\":").globalMatch(L.Out); It.hasNext();)
        Keys << It.next().captured(1);
    EXPECT_EQ(Keys.mid(0, 14), (QStringList{"id", "received_at", "start", "port", "device", "bytes",
                                            "sha256", "state", "serial", "location", "readings",
                                            "epa_protocol", "origin", "local_id"}));
    const QJsonArray Rows = QJsonDocument::fromJson(L.Out).array();
    ASSERT_EQ(Rows.size(), 2);
    // Every key but the ids as the laptop's own list writes it.
    std::map<int, QJsonObject> Local;
    for (const QJsonValue& Row :
         QJsonDocument::fromJson(Cli({"archive", "list", "--json", "--archive", Archive}).Out)
             .array())
        Local[Row.toObject()["id"].toInt()] = Row.toObject();
    int Dated = 0;
    for (const QJsonValue& Row : Rows) {
        QJsonObject Team = Row.toObject();
        QJsonObject Mine = Local[Team["local_id"].toInt()];
        Dated += Team["start"].isString();
        for (const char* Key : {"id", "origin", "local_id", "job"}) {
            Team.remove(Key);
            Mine.remove(Key);
        }
        EXPECT_EQ(Team, Mine);
    }
    EXPECT_EQ(Dated, 1);
    const int Id = Rows[0].toObject()["id"].toInt();
    EXPECT_EQ(Cli({"team", "show", QString::number(Id), "--raw"}).Out,
              TArchive(Archive).Get(Rows[0].toObject()["local_id"].toInt())->Raw);
}
