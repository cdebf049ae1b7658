#include "archive/ArchiveSchema.h"

namespace ArchiveSchema {

namespace {

// The measurement table of version 3 under another name, and the columns every version since
// the first has: a table is rebuilt by copying them.
QString MeasurementTable(const QString& Name) {
    return QStringLiteral("CREATE TABLE %1 ("
                          "id INTEGER PRIMARY KEY,"
                          "received_at TEXT NOT NULL,"
                          "start TEXT,"
                          "port TEXT NOT NULL,"
                          "device TEXT NOT NULL,"
                          "bytes INTEGER NOT NULL,"
                          "sha256 TEXT NOT NULL,"
                          "state TEXT NOT NULL CHECK (state IN "
                          "('complete','stopped','interrupted','imported','no-readings')),"
                          "error TEXT NOT NULL,"
                          "info_enabled INTEGER NOT NULL,"
                          "info_serial TEXT NOT NULL,"
                          "info_location TEXT NOT NULL,"
                          "info_start_date TEXT NOT NULL,"
                          "info_start_time TEXT NOT NULL,"
                          "info_end_date TEXT NOT NULL,"
                          "info_end_time TEXT NOT NULL,"
                          "info_header TEXT NOT NULL,"
                          "info_footer TEXT NOT NULL,"
                          "serial TEXT NOT NULL,"
                          "location TEXT NOT NULL,"
                          "readings INTEGER,"
                          "epa_protocol TEXT)")
        .arg(Name);
}

const char* const FirstColumns =
    "id, received_at, port, device, bytes, sha256, state, error, info_enabled, info_serial, "
    "info_location, info_start_date, info_start_time, info_end_date, info_end_time, "
    "info_header, info_footer, serial, location, readings, epa_protocol";

// The measurement table's columns in version 4, which step 4 -> 5 copies.
const char* const VersionFourColumns =
    "id, received_at, start, port, device, bytes, sha256, state, error, info_enabled, "
    "info_serial, info_location, info_start_date, info_start_time, info_end_date, "
    "info_end_time, info_header, info_footer, serial, location, readings, epa_protocol, "
    "job_client, job_address, job_placement, job_test_type, job_conditions, job_notes, "
    "job_given_at";

} // namespace

const std::vector<QStringList>& Steps() {
    static const std::vector<QStringList> All{
        // 0 -> 1: the measurements, with their bytes and report in a table of their own so
        // that listing and searching never read them.
        {QStringLiteral("CREATE TABLE measurement ("
                        "id INTEGER PRIMARY KEY,"
                        "received_at TEXT NOT NULL,"
                        "port TEXT NOT NULL,"
                        "device TEXT NOT NULL,"
                        "bytes INTEGER NOT NULL,"
                        "sha256 TEXT NOT NULL,"
                        "state TEXT NOT NULL CHECK (state IN "
                        "('complete','stopped','interrupted','imported')),"
                        "error TEXT NOT NULL,"
                        "info_enabled INTEGER NOT NULL,"
                        "info_serial TEXT NOT NULL,"
                        "info_location TEXT NOT NULL,"
                        "info_start_date TEXT NOT NULL,"
                        "info_start_time TEXT NOT NULL,"
                        "info_end_date TEXT NOT NULL,"
                        "info_end_time TEXT NOT NULL,"
                        "info_header TEXT NOT NULL,"
                        "info_footer TEXT NOT NULL,"
                        "serial TEXT NOT NULL,"
                        "location TEXT NOT NULL,"
                        "readings INTEGER,"
                        "epa_protocol TEXT)"),
         QStringLiteral("CREATE TABLE content ("
                        "measurement_id INTEGER PRIMARY KEY "
                        "REFERENCES measurement(id) ON DELETE CASCADE,"
                        "raw BLOB NOT NULL,"
                        "report BLOB)")},
        // 1 -> 2: newest-first listing and the duplicate check of imports without a scan.
        {QStringLiteral("CREATE INDEX measurement_received_at ON measurement(received_at, id)"),
         QStringLiteral("CREATE INDEX measurement_sha256 ON measurement(sha256)")},
        // 2 -> 3: the state "no-readings" (a complete transfer without a readings table, as
        // such downloads were stored before) and the report's start, by which the list is
        // ordered and narrowed where a report has one. The start of older rows is filled in
        // from their reports after this step. Foreign keys are off while the table is
        // replaced, or dropping it would empty the content table.
        {MeasurementTable(QStringLiteral("measurement_v3")),
         QStringLiteral("INSERT INTO measurement_v3 (%1) SELECT %2 FROM measurement")
             .arg(QLatin1String(FirstColumns),
                  QString::fromLatin1(FirstColumns)
                      .replace(QStringLiteral(" state,"),
                               QStringLiteral(" CASE WHEN state = 'complete' AND readings IS "
                                              "NULL THEN 'no-readings' ELSE state END,"))),
         QStringLiteral("DROP TABLE measurement"),
         QStringLiteral("ALTER TABLE measurement_v3 RENAME TO measurement"),
         QStringLiteral("CREATE INDEX measurement_received_at ON measurement(received_at, id)"),
         QStringLiteral("CREATE INDEX measurement_sha256 ON measurement(sha256)"),
         QStringLiteral(
             "CREATE INDEX measurement_start ON measurement(coalesce(start, received_at), id)")},
        // 3 -> 4: the job a client report tells of, kept with its measurement; empty until the
        // user gives it, and when it was given (UTC, to the millisecond; NULL: never).
        {QStringLiteral("ALTER TABLE measurement ADD COLUMN job_client TEXT NOT NULL DEFAULT ''"),
         QStringLiteral("ALTER TABLE measurement ADD COLUMN job_address TEXT NOT NULL DEFAULT ''"),
         QStringLiteral(
             "ALTER TABLE measurement ADD COLUMN job_placement TEXT NOT NULL DEFAULT ''"),
         QStringLiteral(
             "ALTER TABLE measurement ADD COLUMN job_test_type TEXT NOT NULL DEFAULT ''"),
         QStringLiteral(
             "ALTER TABLE measurement ADD COLUMN job_conditions TEXT NOT NULL DEFAULT ''"),
         QStringLiteral("ALTER TABLE measurement ADD COLUMN job_notes TEXT NOT NULL DEFAULT ''"),
         QStringLiteral("ALTER TABLE measurement ADD COLUMN job_given_at TEXT")},
        // 4 -> 5: the team archive. The server keys a measurement by the archive's origin and
        // the local id, so an id is never given twice (AUTOINCREMENT: before, a deleted newest
        // row's id went to the next download, which would then never reach the server), and
        // each row says when it reached the server, and when its current job did (NULL: the
        // job given last waits). The table is written out whole here, not
        // shared with another step: a step that adds columns before this one adds them here
        // too. Foreign keys are off while the table is replaced (see 2 -> 3).
        {QStringLiteral("CREATE TABLE measurement_v5 ("
                        "id INTEGER PRIMARY KEY AUTOINCREMENT,"
                        "received_at TEXT NOT NULL,"
                        "start TEXT,"
                        "port TEXT NOT NULL,"
                        "device TEXT NOT NULL,"
                        "bytes INTEGER NOT NULL,"
                        "sha256 TEXT NOT NULL,"
                        "state TEXT NOT NULL CHECK (state IN "
                        "('complete','stopped','interrupted','imported','no-readings')),"
                        "error TEXT NOT NULL,"
                        "info_enabled INTEGER NOT NULL,"
                        "info_serial TEXT NOT NULL,"
                        "info_location TEXT NOT NULL,"
                        "info_start_date TEXT NOT NULL,"
                        "info_start_time TEXT NOT NULL,"
                        "info_end_date TEXT NOT NULL,"
                        "info_end_time TEXT NOT NULL,"
                        "info_header TEXT NOT NULL,"
                        "info_footer TEXT NOT NULL,"
                        "serial TEXT NOT NULL,"
                        "location TEXT NOT NULL,"
                        "readings INTEGER,"
                        "epa_protocol TEXT,"
                        "job_client TEXT NOT NULL DEFAULT '',"
                        "job_address TEXT NOT NULL DEFAULT '',"
                        "job_placement TEXT NOT NULL DEFAULT '',"
                        "job_test_type TEXT NOT NULL DEFAULT '',"
                        "job_conditions TEXT NOT NULL DEFAULT '',"
                        "job_notes TEXT NOT NULL DEFAULT '',"
                        "job_given_at TEXT,"
                        "team_sent_at TEXT,"
                        "team_job_sent_at TEXT)"),
         QStringLiteral("INSERT INTO measurement_v5 (%1) SELECT %1 FROM measurement")
             .arg(QLatin1String(VersionFourColumns)),
         QStringLiteral("DROP TABLE measurement"),
         QStringLiteral("ALTER TABLE measurement_v5 RENAME TO measurement"),
         QStringLiteral("CREATE INDEX measurement_received_at ON measurement(received_at, id)"),
         QStringLiteral("CREATE INDEX measurement_sha256 ON measurement(sha256)"),
         QStringLiteral(
             "CREATE INDEX measurement_start ON measurement(coalesce(start, received_at), id)"),
         // What a push looks for, without a scan of the rows already sent.
         QStringLiteral("CREATE INDEX measurement_team_waiting ON measurement(id) "
                        "WHERE team_sent_at IS NULL"),
         QStringLiteral("CREATE INDEX measurement_team_job_waiting ON measurement(id) WHERE "
                        "team_sent_at IS NOT NULL AND job_given_at IS NOT NULL AND "
                        "team_job_sent_at IS NULL"),
         // The origin: a random (version 4) UUID, made once per archive.
         QStringLiteral("CREATE TABLE team_origin (uuid TEXT NOT NULL)"),
         QStringLiteral("INSERT INTO team_origin SELECT substr(h, 1, 8) || '-' || "
                        "substr(h, 9, 4) || '-4' || substr(h, 14, 3) || '-' || "
                        "substr('89ab', 1 + abs(random() % 4), 1) || substr(h, 18, 3) || '-' || "
                        "substr(h, 21, 12) FROM (SELECT lower(hex(randomblob(16))) AS h)")},
    };
    return All;
}

const QStringList& MeasurementColumns() {
    static const QStringList Columns = [] {
        QStringList All = QString::fromLatin1(FirstColumns).split(QStringLiteral(", "));
        All.insert(2, QStringLiteral("start"));
        All << QStringLiteral("job_client") << QStringLiteral("job_address")
            << QStringLiteral("job_placement") << QStringLiteral("job_test_type")
            << QStringLiteral("job_conditions") << QStringLiteral("job_notes")
            << QStringLiteral("job_given_at");
        All << QStringLiteral("team_sent_at") << QStringLiteral("team_job_sent_at");
        return All;
    }();
    return Columns;
}

} // namespace ArchiveSchema
