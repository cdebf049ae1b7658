// The team archive's figures over the loopback: pushing 10,000 measurements of 48 hours, and
// the first page of the team list (a search and a date range) over 100,000 measurements, a
// third of them with jobs.
// Uses the server of HALVORN_TEST_PG, else starts one with scripts/pg-test-server. Prints
// figures; not a test.
#include "PgTestServer.h"
#include "Printout.h"
#include "archive/TeamArchive.h"
#include "archive/TeamPush.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point Start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
}

// Rows measurements: one stored the normal way, the rest copied from it in one transaction.
void FillLocal(const QString& Path, int Rows) {
    {
        TArchive Archive(Path);
        TArchiveEntry Entry;
        Entry.Port = QStringLiteral("COM1");
        Entry.Raw = SimPrintout::Generate({48, 0, true, false});
        Entry.Info.Enabled = true;
        Archive.Store(Entry);
    }
    QSqlDatabase Db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    Db.setDatabaseName(Path);
    Db.open();
    QSqlQuery Query(Db);
    const QString Copy = QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO measurement (received_at, start, port, device, bytes, sha256, state, "
        "error, info_enabled, info_serial, info_location, info_start_date, info_start_time, "
        "info_end_date, info_end_time, info_header, info_footer, serial, location, readings, "
        "epa_protocol) SELECT received_at, start, port, device, bytes, sha256, state, error, "
        "info_enabled, info_serial, info_location, info_start_date, info_start_time, "
        "info_end_date, info_end_time, info_header, info_footer, serial, location, readings, "
        "epa_protocol FROM measurement, n WHERE id = 1");
    for (const QString& Sql :
         {QStringLiteral("BEGIN"), Copy.arg(Rows - 1),
          QStringLiteral("INSERT INTO content SELECT m.id, c.raw, c.report FROM measurement m, "
                         "content c WHERE c.measurement_id = 1 AND m.id > 1"),
          QStringLiteral("COMMIT")})
        if (!Query.exec(Sql))
            std::fprintf(stderr, "fill: %s\n", qPrintable(Query.lastError().text()));
    Query.finish();
    Db.close();
    Db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

void PushFigures(PgTest::TDatabase& Db, int Rows) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QStringLiteral("archive.sqlite"));
    FillLocal(Path, Rows);
    {
        TTeamConnection Owner(Db.Server());
        TTeamArchive(Owner).Init(false);
    }
    const auto Start = Clock::now();
    const TTeamPushResult R = TTeamPush(Db.Server(), Path).Run();
    const double Ms = MsSince(Start);
    std::printf("push %lld measurements of 48 hours (%lld bytes each) over the loopback "
                "(aim < 60 s): %.1f s, %.2f ms a measurement\n",
                static_cast<long long>(R.Sent),
                static_cast<long long>(SimPrintout::Generate({48, 0, true, false}).size()),
                Ms / 1000, Ms / double(std::max<qint64>(1, R.Sent)));
}

void ListFigures(PgTest::TDatabase& Db, int Rows) {
    TTeamConnection C(Db.Server());
    TTeamArchive Team(C);
    C.Run(QStringLiteral("fill"), QStringLiteral("TRUNCATE halvorn.measurement CASCADE"));
    C.Run(QStringLiteral("fill"),
          QStringLiteral(
              "INSERT INTO halvorn.measurement (origin, local_id, received_at, port, device, "
              "bytes, sha256, state, error, info_enabled, info_serial, info_location, "
              "info_start_date, info_start_time, info_end_date, info_end_time, info_header, "
              "info_footer, serial, location, readings, epa_protocol) "
              "SELECT md5((i % 40)::text)::uuid, i, timestamptz '2020-01-01' + i * interval '1 "
              "hour', 'COM1', '', 3000, repeat('ab', 32), 'complete', '', true, '', '', '', "
              "'', '', '', '[]', '[]', (4410 + i % 7) || '-' || lpad((i % 10000)::text, 4, "
              "'0'), 'Location ' || (i % 97), 48, '2.1' FROM generate_series(1, %1) i")
              .arg(Rows));
    C.Run(QStringLiteral("fill"),
          QStringLiteral("INSERT INTO halvorn.content SELECT id, '\\x00'::bytea, NULL "
                         "FROM halvorn.measurement"));
    // A job for every third measurement, a later version of it for every sixth: the list
    // shows the latest, and its search looks there too.
    C.Run(QStringLiteral("fill"),
          QStringLiteral("INSERT INTO halvorn.job (origin, local_id, given_at, client, address, "
                         "placement, test_type, conditions, notes) SELECT origin, local_id, "
                         "received_at + v * interval '1 day', 'Client ' || (local_id % 500) || "
                         "'/' || v, (local_id % 900) || ' Birch Lane', 'Basement', 'initial', "
                         "'maintained', '' FROM halvorn.measurement, generate_series(1, 2) v "
                         "WHERE local_id % 3 = 0 AND (v = 1 OR local_id % 6 = 0)"));
    C.Run(QStringLiteral("fill"), QStringLiteral("ANALYZE"));
    TTeamQuery Query;
    Query.Limit = 100;
    Query.Filter.Text = QStringLiteral("Location 4");
    Query.Filter.From = QDate(2022, 1, 1);
    Query.Filter.To = QDate(2030, 12, 31);
    // The worst: a text no row holds, so every row and its latest job is looked at.
    TTeamQuery Nowhere;
    Nowhere.Limit = 100;
    Nowhere.Filter.Text = QStringLiteral("Client 777");
    const std::pair<const char*, TTeamQuery> Cases[] = {
        {", search \"Location 4\" and 2022-2030", Query},
        {"", TTeamQuery{{}, 100, {}}},
        {", search \"Client 777\" (found nowhere)", Nowhere},
    };
    for (const auto& [Said, Asked] : Cases) {
        std::vector<double> Ms;
        size_t Got = 0;
        for (int Round = 0; Round < 20; ++Round) {
            const auto Start = Clock::now();
            Got = Team.List(Asked).Rows.size();
            Ms.push_back(MsSince(Start));
        }
        std::sort(Ms.begin(), Ms.end());
        std::printf("team list, first page of %zu over %d measurements%s (aim < 300 ms), 20 "
                    "rounds: min %.1f  median %.1f  max %.1f ms\n",
                    Got, Rows, Said, Ms.front(), Ms[Ms.size() / 2], Ms.back());
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication App(argc, argv);
    const int PushRows = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int ListRows = argc > 2 ? std::atoi(argv[2]) : 100000;
    const QString Uri = PgTest::SharedUri();
    if (Uri.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(PgTest::Missing()));
        return 1;
    }
    try {
        PgTest::TDatabase Db(Uri);
        PushFigures(Db, PushRows);
        ListFigures(Db, ListRows);
    } catch (const Exception& E) {
        std::fprintf(stderr, "%s\n", qPrintable(E.Message));
        return 1;
    }
    return 0;
}
