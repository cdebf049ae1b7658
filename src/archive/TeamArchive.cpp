#include "archive/TeamArchive.h"

#include "measurement/Job.h"
#include "platform/MessageText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QVariant>

namespace {

// Each step takes the server's schema from version N to N + 1; a new version appends one.
// A step that adds a table also adds its grants to Grant().
const std::vector<QStringList>& Steps() {
    static const std::vector<QStringList> S{
        // 0 -> 1: the measurements, their bytes and report in a table of their own as in the
        // laptop's archive; unique on where they came from, so a push can be repeated.
        {QStringLiteral("CREATE SCHEMA IF NOT EXISTS halvorn"),
         QStringLiteral("CREATE TABLE halvorn.schema_version (version integer NOT NULL)"),
         QStringLiteral("INSERT INTO halvorn.schema_version VALUES (0)"),
         QStringLiteral("CREATE TABLE halvorn.measurement ("
                        "id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
                        "origin uuid NOT NULL,"
                        "local_id bigint NOT NULL CHECK (local_id > 0),"
                        "received_at timestamptz NOT NULL,"
                        "start timestamptz,"
                        "port text NOT NULL,"
                        "device text NOT NULL,"
                        "bytes bigint NOT NULL,"
                        "sha256 text NOT NULL CHECK (sha256 ~ '^[0-9a-f]{64}$'),"
                        "state text NOT NULL,"
                        "error text NOT NULL,"
                        "info_enabled boolean NOT NULL,"
                        "info_serial text NOT NULL,"
                        "info_location text NOT NULL,"
                        "info_start_date text NOT NULL,"
                        "info_start_time text NOT NULL,"
                        "info_end_date text NOT NULL,"
                        "info_end_time text NOT NULL,"
                        "info_header text NOT NULL,"
                        "info_footer text NOT NULL,"
                        "serial text NOT NULL,"
                        "location text NOT NULL,"
                        "readings integer,"
                        "epa_protocol text,"
                        "pushed_at timestamptz NOT NULL DEFAULT now(),"
                        "UNIQUE (origin, local_id))"),
         QStringLiteral("CREATE TABLE halvorn.content ("
                        "measurement_id bigint PRIMARY KEY "
                        "REFERENCES halvorn.measurement(id) ON DELETE CASCADE,"
                        "raw bytea NOT NULL,"
                        "report bytea)")},
        // 1 -> 2: the list's order, date range and pages from an index, not a sort of every
        // row; the duplicate search by checksum.
        {QStringLiteral("CREATE INDEX measurement_listed ON halvorn.measurement "
                        "((coalesce(start, received_at)) DESC, id DESC)"),
         QStringLiteral("CREATE INDEX measurement_sha256 ON halvorn.measurement (sha256)")},
        // 2 -> 3: the jobs, every version a laptop sent, inserted only: a change is a new row
        // and the latest is the job; they go with their measurement. Roles already given the
        // measurements on this database get the jobs alike.
        {QStringLiteral("CREATE TABLE halvorn.job ("
                        "id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
                        "origin uuid NOT NULL,"
                        "local_id bigint NOT NULL,"
                        "given_at timestamptz NOT NULL,"
                        "client text NOT NULL,"
                        "address text NOT NULL,"
                        "placement text NOT NULL,"
                        "test_type text NOT NULL,"
                        "conditions text NOT NULL,"
                        "notes text NOT NULL,"
                        "pushed_at timestamptz NOT NULL DEFAULT now(),"
                        "UNIQUE (origin, local_id, given_at),"
                        "FOREIGN KEY (origin, local_id) REFERENCES halvorn.measurement "
                        "(origin, local_id) ON DELETE CASCADE)"),
         QStringLiteral(
             "DO $$BEGIN "
             "IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'halvorn_technician') THEN "
             "IF has_schema_privilege('halvorn_technician', 'halvorn', 'USAGE') THEN "
             "GRANT SELECT, INSERT ON halvorn.job TO halvorn_technician; END IF; END IF; "
             "IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'halvorn_office') THEN "
             "IF has_schema_privilege('halvorn_office', 'halvorn', 'USAGE') THEN "
             "GRANT SELECT, DELETE ON halvorn.job TO halvorn_office; END IF; END IF; END$$")},
    };
    return S;
}

// Serialises "team init" runs of several offices against one server.
constexpr qint64 InitLock = 0x486c766e;

// PostgreSQL's text holds no zero character; the bytes received keep theirs in the raw column.
QVariant Text(const QString& Value) {
    QString T = Value.isNull() ? QStringLiteral("") : Value;
    T.replace(QChar(0), QChar(0xfffd));
    return T;
}

QVariant InfoTime(const QDateTime& Time) {
    return Time.isValid() ? Time.toString(Qt::ISODateWithMs) : QStringLiteral("");
}

QDateTime InfoTimeFrom(const QVariant& Value) {
    const QString Text = Value.toString();
    return Text.isEmpty() ? QDateTime() : QDateTime::fromString(Text, Qt::ISODateWithMs);
}

QVariant LinesJson(const QStringList& Lines) {
    return Text(QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(Lines)).toJson(QJsonDocument::Compact)));
}

QStringList LinesFrom(const QVariant& Value) {
    QStringList Lines;
    for (const QJsonValue& Line : QJsonDocument::fromJson(Value.toString().toUtf8()).array())
        Lines << Line.toString();
    return Lines;
}

// The columns a push writes beside origin and local id, with their values: a column the local
// archive gains is one line here (and one step above).
struct TColumn {
    const char* Name;
    const char* Cast;
    QVariant (*Value)(const TArchiveEntry&);
};

const std::vector<TColumn>& Columns() {
    using E = const TArchiveEntry&;
    static const std::vector<TColumn> C{
        {"received_at", "::timestamptz",
         [](E e) -> QVariant { return e.ReceivedAt.toUTC().toString(Qt::ISODate); }},
        {"start", "::timestamptz",
         [](E e) {
             return e.Start.isValid() ? QVariant(e.Start.toUTC().toString(Qt::ISODate))
                                      : QVariant(QMetaType(QMetaType::QString));
         }},
        {"port", "", [](E e) { return Text(e.Port); }},
        {"device", "", [](E e) { return Text(e.Device); }},
        {"bytes", "", [](E e) { return QVariant(qint64(e.Raw.size())); }},
        {"sha256", "", [](E e) { return Text(e.Sha256); }},
        {"state", "", [](E e) { return Text(ArchiveStates::Name(e.State)); }},
        {"error", "", [](E e) { return Text(e.Error); }},
        {"info_enabled", "", [](E e) { return QVariant(e.Info.Enabled); }},
        {"info_serial", "", [](E e) { return Text(e.Info.SerialNumber); }},
        {"info_location", "", [](E e) { return Text(e.Info.Location); }},
        {"info_start_date", "", [](E e) { return InfoTime(e.Info.StartDate); }},
        {"info_start_time", "", [](E e) { return InfoTime(e.Info.StartTime); }},
        {"info_end_date", "", [](E e) { return InfoTime(e.Info.EndDate); }},
        {"info_end_time", "", [](E e) { return InfoTime(e.Info.EndTime); }},
        {"info_header", "", [](E e) { return LinesJson(e.Info.Header); }},
        {"info_footer", "", [](E e) { return LinesJson(e.Info.Footer); }},
        {"serial", "", [](E e) { return Text(e.SerialNumber); }},
        {"location", "", [](E e) { return Text(e.Location); }},
        {"readings", "",
         [](E e) {
             return e.Readings ? QVariant(*e.Readings) : QVariant(QMetaType(QMetaType::Int));
         }},
        {"epa_protocol", "",
         [](E e) {
             return e.EpaProtocol ? Text(*e.EpaProtocol) : QVariant(QMetaType(QMetaType::QString));
         }},
    };
    return C;
}

// A job's columns beside origin and local id, with their values.
QVariantList JobValues(const TArchiveEntry& E) {
    return {E.JobGivenAt.toUTC().toString(Qt::ISODateWithMs),
            Text(E.Job.Client),
            Text(E.Job.Address),
            Text(E.Job.Placement),
            Text(Job::TestTypeKey(E.Job.TestType)),
            Text(Job::ConditionsKey(E.Job.Conditions)),
            Text(E.Job.Notes)};
}

const char* const InsertJob =
    "INSERT INTO halvorn.job (origin, local_id, given_at, client, address, placement, "
    "test_type, conditions, notes) VALUES (?::uuid, ?, ?::timestamptz, ?, ?, ?, ?, ?, ?) "
    "ON CONFLICT (origin, local_id, given_at) DO NOTHING RETURNING id";

// Each measurement with its latest job, if any.
const char* const WithLatestJob =
    "halvorn.measurement m LEFT JOIN LATERAL (SELECT * FROM halvorn.job j WHERE j.origin = "
    "m.origin AND j.local_id = m.local_id ORDER BY j.given_at DESC, j.id DESC LIMIT 1) j ON true";

const char* const RowColumns =
    "m.id, to_char(m.received_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), m.port, "
    "m.device, m.bytes, m.sha256, m.state, m.error, m.serial, m.location, m.readings, "
    "m.epa_protocol, m.origin::text, m.local_id, "
    "to_char(coalesce(m.start, m.received_at) AT TIME ZONE 'UTC', "
    "'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"'), "
    "to_char(m.start AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), "
    "j.client, j.address, j.placement, j.test_type, j.conditions, j.notes, "
    "to_char(j.given_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";
// The list's order as the server writes it: where a page ends.
constexpr int KeyColumn = 14;
constexpr int RowColumnCount = 23;

TTeamRow ReadRow(const QSqlQuery& Q) {
    TTeamRow T;
    TArchiveRow& R = T.Row;
    R.Id = Q.value(0).toLongLong();
    R.ReceivedAt = QDateTime::fromString(Q.value(1).toString(), Qt::ISODate);
    R.Port = Q.value(2).toString();
    R.Device = Q.value(3).toString();
    R.Bytes = Q.value(4).toLongLong();
    R.Sha256 = Q.value(5).toString();
    R.State = ArchiveStates::FromName(Q.value(6).toString()).value_or(TArchiveState::Complete);
    R.Error = Q.value(7).toString();
    R.SerialNumber = Q.value(8).toString();
    R.Location = Q.value(9).toString();
    R.Readings = Q.value(10).isNull() ? std::nullopt : std::optional<int>(Q.value(10).toInt());
    R.EpaProtocol =
        Q.value(11).isNull() ? std::nullopt : std::optional<QString>(Q.value(11).toString());
    T.Origin = Q.value(12).toString();
    T.LocalId = Q.value(13).toLongLong();
    R.Start = Q.value(15).isNull() ? QDateTime()
                                   : QDateTime::fromString(Q.value(15).toString(), Qt::ISODate);
    R.Job.Client = Q.value(16).toString();
    R.Job.Address = Q.value(17).toString();
    R.Job.Placement = Q.value(18).toString();
    R.Job.TestType = Job::TestTypeFromKey(Q.value(19).toString()).value_or(TTestType::None);
    R.Job.Conditions = Job::ConditionsFromKey(Q.value(20).toString()).value_or(TConditions::None);
    R.Job.Notes = Q.value(21).toString();
    R.JobGivenAt = Q.value(22).isNull()
                       ? QDateTime()
                       : QDateTime::fromString(Q.value(22).toString(), Qt::ISODateWithMs);
    R.TeamSent = true;
    return T;
}

QString DayStartUtc(const QDate& Day) {
    return Day.startOfDay().toUTC().toString(Qt::ISODate);
}

QString LikePattern(const QString& Text) {
    QString Escaped = Text;
    Escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + Escaped + QLatin1Char('%');
}

} // namespace

int TTeamArchive::Version() {
    const QString What = QStringLiteral("The team archive's version could not be read from");
    if (!FConnection
             .Value(What, QStringLiteral("SELECT to_regclass('halvorn.schema_version') "
                                         "IS NOT NULL"))
             .toBool())
        return 0;
    return FConnection
        .Value(What, QStringLiteral("SELECT coalesce(max(version), 0) FROM halvorn.schema_version"))
        .toInt();
}

void TTeamArchive::Require(bool ForWriting) {
    const int V = Version();
    if (V == 0)
        throw ETeamError(QStringLiteral("%1 holds no team archive yet: the office makes it with "
                                        "\"halvorn-cli team init\".")
                             .arg(FConnection.Server().Shown()));
    if (ForWriting && V > SchemaVersion)
        throw ETeamError(
            QStringLiteral("The team archive on %1 was made by a newer version of Halvorn "
                           "(version %2; this one knows up to %3): nothing is written to it. "
                           "Update Halvorn on this computer.")
                .arg(FConnection.Server().Shown(), QString::number(V),
                     QString::number(SchemaVersion)));
    // An older one lacks what this program sends (the jobs, say).
    if (ForWriting && V < SchemaVersion)
        throw ETeamError(QStringLiteral("The team archive on %1 is of an older version (%2; this "
                                        "program writes %3): nothing is written to it until the "
                                        "office brings it up to date with \"halvorn-cli team "
                                        "init\".")
                             .arg(FConnection.Server().Shown(), QString::number(V),
                                  QString::number(SchemaVersion)));
}

void TTeamArchive::Upgrade(int To) {
    const QString What = QStringLiteral("The team archive could not be made on");
    FConnection.Begin(What);
    try {
        FConnection.Run(What, QStringLiteral("SELECT pg_advisory_xact_lock(?)"), {InitLock});
        const int From = Version();
        for (int V = From; V < To && V < int(Steps().size()); ++V) {
            for (const QString& Sql : Steps()[size_t(V)])
                FConnection.Run(What, Sql);
            FConnection.Run(What, QStringLiteral("UPDATE halvorn.schema_version SET version = ?"),
                            {V + 1});
        }
        FConnection.Commit(What);
    } catch (...) {
        FConnection.Rollback();
        throw;
    }
}

TTeamInit TTeamArchive::Init(bool Roles) {
    TTeamInit Done;
    Done.From = Version();
    if (Done.From > SchemaVersion)
        Require(true);
    Upgrade(SchemaVersion);
    Done.To = Version();
    const QString Server = FConnection.Server().Shown();
    if (Done.From == 0)
        Done.Notes << QStringLiteral("Made the team archive (version %1) on %2.")
                          .arg(QString::number(Done.To), Server);
    else if (Done.From < Done.To)
        Done.Notes << QStringLiteral("Brought the team archive on %1 from version %2 to %3.")
                          .arg(Server, QString::number(Done.From), QString::number(Done.To));
    else
        Done.Notes << QStringLiteral("The team archive on %1 is up to date (version %2).")
                          .arg(Server, QString::number(Done.To));
    if (Roles)
        Grant(Done);
    return Done;
}

void TTeamArchive::Grant(TTeamInit& Done) {
    const QString What = QStringLiteral("The roles could not be prepared on");
    const bool MayCreate =
        FConnection
            .Value(What, QStringLiteral("SELECT rolsuper OR rolcreaterole FROM pg_roles "
                                        "WHERE rolname = current_user"))
            .toBool();
    // Role names are constants of this program; nothing here is built from the user's text.
    struct TRole {
        const char* Name;
        const char* Tables; // what the role may do to the measurements
        const char* Meaning;
    };
    for (const TRole& Role : {TRole{TechnicianRole, "SELECT, INSERT", "insert and read"},
                              TRole{OfficeRole, "SELECT, DELETE", "read and delete"}}) {
        const QString Name = QLatin1String(Role.Name);
        const bool Exists = FConnection
                                .Value(What,
                                       QStringLiteral("SELECT count(*) FROM pg_roles "
                                                      "WHERE rolname = ?"),
                                       {Name})
                                .toInt() > 0;
        if (Exists) {
            Done.Notes
                << QStringLiteral("The role %1 already exists: it is used as it is.").arg(Name);
        } else if (MayCreate) {
            try {
                FConnection.Run(What, QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(Name));
                Done.Notes << QStringLiteral("Made the role %1.").arg(Name);
            } catch (const ETeamError&) {
                // Another office's init may have made it meanwhile.
                if (FConnection
                        .Value(What,
                               QStringLiteral("SELECT count(*) FROM pg_roles "
                                              "WHERE rolname = ?"),
                               {Name})
                        .toInt() == 0)
                    throw;
            }
        } else {
            Done.Notes << QStringLiteral("The user %1 may not create roles: ask the server's "
                                         "administrator to make the role %2 (CREATE ROLE %2 "
                                         "NOLOGIN), then run \"halvorn-cli team init --roles\" "
                                         "again.")
                              .arg(MessageText::Quoted(FConnection.Server().User), Name);
            continue;
        }
        try {
            FConnection.Run(What,
                            QStringLiteral("DO $$BEGIN EXECUTE format('GRANT CONNECT ON DATABASE "
                                           "%I TO %1', current_database()); END$$")
                                .arg(Name));
        } catch (const ETeamNotAllowed&) {
            Done.Notes << QStringLiteral("Only the database's owner may let %1 connect to it: "
                                         "ask for GRANT CONNECT on this database to %1.")
                              .arg(Name);
        }
        FConnection.Run(What, QStringLiteral("GRANT USAGE ON SCHEMA halvorn TO %1").arg(Name));
        FConnection.Run(What,
                        QStringLiteral("GRANT SELECT ON halvorn.schema_version TO %1").arg(Name));
        FConnection.Run(What, QStringLiteral("GRANT %1 ON halvorn.measurement, halvorn.content, "
                                             "halvorn.job TO %2")
                                  .arg(QLatin1String(Role.Tables), Name));
        Done.Notes << QStringLiteral("%1 may %2 measurements, on this database only; give it "
                                     "to a user with GRANT %1 TO username.")
                          .arg(Name, QLatin1String(Role.Meaning));
    }
}

bool TTeamArchive::Send(const QString& Origin, const TArchiveEntry& Entry) {
    const QString What =
        QStringLiteral("Measurement %1 could not be sent to").arg(QString::number(Entry.Id));
    if (!FInsert) {
        QString Names = QStringLiteral("origin, local_id");
        QString Marks = QStringLiteral("?::uuid, ?");
        for (const TColumn& C : Columns()) {
            Names += QStringLiteral(", ") + QLatin1String(C.Name);
            Marks += QStringLiteral(", ?") + QLatin1String(C.Cast);
        }
        FInsert = FConnection.Prepare(
            What, QStringLiteral("INSERT INTO halvorn.measurement (%1) VALUES (%2) "
                                 "ON CONFLICT (origin, local_id) DO NOTHING RETURNING id")
                      .arg(Names, Marks));
        FContent = FConnection.Prepare(
            What, QStringLiteral("INSERT INTO halvorn.content (measurement_id, raw, report) "
                                 "VALUES (?, ?, ?)"));
        FHeld =
            FConnection.Prepare(What, QStringLiteral("SELECT sha256 FROM halvorn.measurement "
                                                     "WHERE origin = ?::uuid AND local_id = ?"));
    }
    QVariantList Values{Origin, Entry.Id};
    for (const TColumn& C : Columns())
        Values << C.Value(Entry);
    FConnection.Begin(What);
    try {
        FConnection.Exec(What, *FInsert, Values);
        const bool Stored = FInsert->next();
        if (Stored) {
            FConnection.Exec(What, *FContent,
                             {FInsert->value(0).toLongLong(),
                              Entry.Raw.isNull() ? QByteArray("") : Entry.Raw,
                              Entry.Report.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray))
                                                     : QVariant(Entry.Report)});
        } else {
            FConnection.Exec(What, *FHeld, {Origin, Entry.Id});
            const QString Held = FHeld->next() ? FHeld->value(0).toString() : QString();
            if (Held != Entry.Sha256) {
                FConnection.Rollback();
                throw ETeamConflict(
                    QStringLiteral("Measurement %1 of this computer's archive (origin %2) is "
                                   "already on %3 with other bytes: this archive was copied "
                                   "from another computer, or the server's row was changed. "
                                   "Nothing is sent over it; ask the office to compare the two.")
                        .arg(QString::number(Entry.Id), Origin, FConnection.Server().Shown()));
            }
        }
        // The job goes with its measurement, also where the server had the measurement
        // already (a push cut after its commit, the job given since).
        if (Entry.JobGivenAt.isValid())
            FConnection.Run(What, QLatin1String(InsertJob),
                            QVariantList{Origin, Entry.Id} + JobValues(Entry));
        FConnection.Commit(What);
        return Stored;
    } catch (const ETeamConflict&) {
        throw;
    } catch (...) {
        FConnection.Rollback();
        throw;
    }
}

TTeamArchive::TJobSent TTeamArchive::SendJob(const QString& Origin, const TArchiveEntry& Entry) {
    const QString What = QStringLiteral("The job of measurement %1 could not be sent to")
                             .arg(QString::number(Entry.Id));
    FConnection.Begin(What);
    try {
        TJobSent Sent = TJobSent::Gone;
        if (FConnection
                .Value(What,
                       QStringLiteral("SELECT count(*) FROM halvorn.measurement WHERE origin = "
                                      "?::uuid AND local_id = ?"),
                       {Origin, Entry.Id})
                .toInt() > 0)
            Sent = FConnection
                           .Run(What, QLatin1String(InsertJob),
                                QVariantList{Origin, Entry.Id} + JobValues(Entry))
                           .next()
                       ? TJobSent::Stored
                       : TJobSent::Already;
        FConnection.Commit(What);
        return Sent;
    } catch (...) {
        FConnection.Rollback();
        throw;
    }
}

TTeamPage TTeamArchive::List(const TTeamQuery& Query) {
    Require(false);
    const TArchiveFilter& F = Query.Filter;
    const QString Listed = QStringLiteral("coalesce(m.start, m.received_at)");
    QString Sql = QStringLiteral("SELECT %1 FROM %2 WHERE true")
                      .arg(QLatin1String(RowColumns), QLatin1String(WithLatestJob));
    QVariantList Values;
    if (!F.Text.isEmpty()) {
        // The fields TArchiveFilter::Matches looks in: the measurement's, and its latest
        // job's, found in the jobs first so that no row's job is looked up unless it is shown.
        const auto Like = [&](const char* Field) {
            Values << LikePattern(F.Text);
            return QStringLiteral("%1 ILIKE ? ESCAPE '\\'").arg(QLatin1String(Field));
        };
        const QString Serial = Like("m.serial"), Location = Like("m.location");
        const QString Jobs =
            QStringList{Like("f.client"), Like("f.address"), Like("f.placement"), Like("f.notes")}
                .join(QStringLiteral(" OR "));
        Sql += QStringLiteral(" AND (%1 OR %2 OR (m.origin, m.local_id) IN (SELECT f.origin, "
                              "f.local_id FROM halvorn.job f WHERE (%3) AND NOT EXISTS (SELECT "
                              "FROM halvorn.job n WHERE n.origin = f.origin AND n.local_id = "
                              "f.local_id AND n.given_at > f.given_at)))")
                   .arg(Serial, Location, Jobs);
    }
    if (F.From.isValid()) {
        Sql += QStringLiteral(" AND %1 >= ?::timestamptz").arg(Listed);
        Values << DayStartUtc(F.From);
    }
    if (F.To.isValid()) {
        Sql += QStringLiteral(" AND %1 < ?::timestamptz").arg(Listed);
        Values << DayStartUtc(F.To.addDays(1));
    }
    if (Query.After) {
        Sql += QStringLiteral(" AND (%1, m.id) < (?::timestamptz, ?)").arg(Listed);
        Values << Query.After->Key << Query.After->Id;
    }
    const int Limit = std::max(1, Query.Limit);
    Sql += QStringLiteral(" ORDER BY %1 DESC, m.id DESC LIMIT ?").arg(Listed);
    Values << Limit + 1;
    QSqlQuery Q =
        FConnection.Run(QStringLiteral("The team list could not be read from"), Sql, Values);
    TTeamPage Page;
    QString LastKey;
    while (Q.next()) {
        if (int(Page.Rows.size()) == Limit) {
            Page.Next = TTeamCursor{LastKey, Page.Rows.back().Row.Id};
            break;
        }
        Page.Rows.push_back(ReadRow(Q));
        LastKey = Q.value(KeyColumn).toString();
    }
    return Page;
}

std::optional<TTeamEntry> TTeamArchive::Get(qint64 Id) {
    Require(false);
    QSqlQuery Q = FConnection.Run(
        QStringLiteral("Measurement %1 could not be read from").arg(QString::number(Id)),
        QStringLiteral("SELECT %1, m.info_enabled, m.info_serial, m.info_location, "
                       "m.info_start_date, m.info_start_time, m.info_end_date, m.info_end_time, "
                       "m.info_header, m.info_footer, c.raw, c.report FROM %2 "
                       "JOIN halvorn.content c ON c.measurement_id = m.id WHERE m.id = ?")
            .arg(QLatin1String(RowColumns), QLatin1String(WithLatestJob)),
        {Id});
    if (!Q.next())
        return std::nullopt;
    const TTeamRow Row = ReadRow(Q);
    TTeamEntry T{{}, Row.Origin, Row.LocalId};
    static_cast<TArchiveRow&>(T.Entry) = Row.Row;
    TReportInfo& Info = T.Entry.Info;
    int C = RowColumnCount;
    Info.Enabled = Q.value(C++).toBool();
    Info.SerialNumber = Q.value(C++).toString();
    Info.Location = Q.value(C++).toString();
    Info.StartDate = InfoTimeFrom(Q.value(C++));
    Info.StartTime = InfoTimeFrom(Q.value(C++));
    Info.EndDate = InfoTimeFrom(Q.value(C++));
    Info.EndTime = InfoTimeFrom(Q.value(C++));
    Info.Header = LinesFrom(Q.value(C++));
    Info.Footer = LinesFrom(Q.value(C++));
    T.Entry.Raw = Q.value(C++).toByteArray();
    T.Entry.Report = Q.value(C++).toByteArray();
    return T;
}

bool TTeamArchive::Remove(qint64 Id) {
    Require(true);
    return FConnection
               .Run(QStringLiteral("Measurement %1 could not be deleted from")
                        .arg(QString::number(Id)),
                    QStringLiteral("DELETE FROM halvorn.measurement WHERE id = ?"), {Id})
               .numRowsAffected() > 0;
}
