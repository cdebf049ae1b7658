#include "archive/Archive.h"

#include "acquisition/CaptureText.h"
#include "files/ReportText.h"
#include "measurement/Readings.h"
#include "platform/MessageText.h"
#include "report/ReportBuilder.h"
#include "report/StreamConventions.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QUrl>
#include <QVariant>
#include <climits>

namespace {

constexpr qint64 MaxCaptureBytes = 64 * 1024 * 1024;

// Each step takes the archive from version N to N + 1; a new version only ever appends one.
const std::vector<QStringList>& MigrationSteps() {
    static const std::vector<QStringList> Steps{
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
        // 2 -> 3: the team archive. The server keys a measurement by the archive's origin and
        // the local id, so an id is never given twice (AUTOINCREMENT; before, a deleted newest
        // row's id went to the next download, which would never reach the server), and each
        // row says when it reached the server. Both tables are rebuilt: dropping the parent
        // alone would cascade into the contents.
        {QStringLiteral("CREATE TABLE measurement_new ("
                        "id INTEGER PRIMARY KEY AUTOINCREMENT,"
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
                        "epa_protocol TEXT,"
                        "team_sent_at TEXT)"),
         QStringLiteral("INSERT INTO measurement_new SELECT *, NULL FROM measurement"),
         QStringLiteral("CREATE TABLE content_new ("
                        "measurement_id INTEGER PRIMARY KEY "
                        "REFERENCES measurement_new(id) ON DELETE CASCADE,"
                        "raw BLOB NOT NULL,"
                        "report BLOB)"),
         QStringLiteral("INSERT INTO content_new SELECT * FROM content"),
         QStringLiteral("DROP TABLE content"), QStringLiteral("DROP TABLE measurement"),
         QStringLiteral("ALTER TABLE measurement_new RENAME TO measurement"),
         QStringLiteral("ALTER TABLE content_new RENAME TO content"),
         QStringLiteral("CREATE INDEX measurement_received_at ON measurement(received_at, id)"),
         QStringLiteral("CREATE INDEX measurement_sha256 ON measurement(sha256)"),
         QStringLiteral("CREATE INDEX measurement_team_waiting ON measurement(id) "
                        "WHERE team_sent_at IS NULL"),
         // A random (version 4) UUID, made once per archive.
         QStringLiteral("CREATE TABLE team_origin (uuid TEXT NOT NULL)"),
         QStringLiteral("INSERT INTO team_origin SELECT substr(h, 1, 8) || '-' || "
                        "substr(h, 9, 4) || '-4' || substr(h, 14, 3) || '-' || "
                        "substr('89ab', 1 + abs(random() % 4), 1) || substr(h, 18, 3) || '-' || "
                        "substr(h, 21, 12) FROM (SELECT lower(hex(randomblob(16))) AS h)")},
    };
    return Steps;
}

QString NewConnectionName() {
    static QAtomicInteger<quint64> Count;
    return QStringLiteral("halvorn-archive-%1").arg(Count.fetchAndAddRelaxed(1) + 1);
}

// SQLite's primary result codes that say something to the user. Folder: the archive's, whose
// file system tells a full disk behind a plain I/O error (SQLite keeps errno to itself).
QString ReasonFor(const QSqlError& Error, const QString& Folder) {
    bool Ok = false;
    const int Code = Error.nativeErrorCode().toInt(&Ok) & 0xff;
    if (!Ok)
        return QStringLiteral("the database reported an error");
    if (Code == 10 || Code == 14) {
        const QStorageInfo Disk(Folder);
        if (Disk.isValid() && Disk.bytesAvailable() < 64 * 1024)
            return QStringLiteral("the disk is full");
    }
    switch (Code) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return QStringLiteral("another program kept the archive busy for too long");
    case 8: // SQLITE_READONLY
        return QStringLiteral("the file or its folder may not be written");
    case 10: // SQLITE_IOERR
        return QStringLiteral("the disk reported an error");
    case 11: // SQLITE_CORRUPT
        return QStringLiteral("the file is damaged");
    case 13: // SQLITE_FULL
        return QStringLiteral("the disk is full");
    case 14: // SQLITE_CANTOPEN
        return QStringLiteral("the file cannot be opened or made (is its folder writable?)");
    case 26: // SQLITE_NOTADB
        return QStringLiteral("the file is not a database");
    default:
        return QStringLiteral("the database reported an error");
    }
}

bool IsDamage(const QSqlError& Error) {
    const int Code = Error.nativeErrorCode().toInt() & 0xff;
    return Code == 11 || Code == 26;
}

QString InfoTime(const QDateTime& Time) {
    return Time.isValid() ? Time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) : QString();
}

QDateTime InfoTimeFrom(const QString& Text) {
    return Text.isEmpty() ? QDateTime()
                          : QDateTime::fromString(Text, QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

QString LinesJson(const QStringList& Lines) {
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(Lines)).toJson(QJsonDocument::Compact));
}

QStringList LinesFromJson(const QString& Text) {
    QStringList Lines;
    for (const QJsonValue& Line : QJsonDocument::fromJson(Text.toUtf8()).array())
        Lines << Line.toString();
    return Lines;
}

// A null QString would be bound as NULL.
QVariant NotNull(const QString& Text) {
    return Text.isNull() ? QVariant(QStringLiteral("")) : QVariant(Text);
}

QString UtcText(const QDateTime& Time) {
    return Time.toUTC().toString(Qt::ISODate);
}

// Start of a local day as the stored UTC text.
QString DayStartUtc(const QDate& Day) {
    return UtcText(Day.startOfDay());
}

const char* const RowColumns = "id, received_at, port, device, bytes, sha256, state, error, "
                               "serial, location, readings, epa_protocol";

// "2026-12-08T14:03:22Z" as the archive writes it, read without the general parser: the list
// reads 10,000 of them per keystroke.
QDateTime ReceivedAtFrom(const QString& Text) {
    const auto Digits = [&](int From, int Count) {
        int Value = 0;
        for (int I = From; I < From + Count; ++I) {
            const int D = Text.at(I).unicode() - '0';
            if (D < 0 || D > 9)
                return -1;
            Value = Value * 10 + D;
        }
        return Value;
    };
    if (Text.size() == 20 && Text.at(10) == u'T' && Text.at(19) == u'Z') {
        const QDate Date(Digits(0, 4), Digits(5, 2), Digits(8, 2));
        const QTime Time(Digits(11, 2), Digits(14, 2), Digits(17, 2));
        if (Date.isValid() && Time.isValid())
            return QDateTime(Date, Time, Qt::UTC);
    }
    return QDateTime::fromString(Text, Qt::ISODate);
}

void ReadRow(const QSqlQuery& Query, TArchiveRow& Row) {
    Row.Id = Query.value(0).toLongLong();
    Row.ReceivedAt = ReceivedAtFrom(Query.value(1).toString());
    Row.Port = Query.value(2).toString();
    Row.Device = Query.value(3).toString();
    Row.Bytes = Query.value(4).toLongLong();
    Row.Sha256 = Query.value(5).toString();
    Row.State =
        ArchiveStates::FromName(Query.value(6).toString()).value_or(TArchiveState::Complete);
    Row.Error = Query.value(7).toString();
    Row.SerialNumber = Query.value(8).toString();
    Row.Location = Query.value(9).toString();
    Row.Readings =
        Query.value(10).isNull() ? std::nullopt : std::optional<int>(Query.value(10).toInt());
    Row.EpaProtocol = Query.value(11).isNull() ? std::nullopt
                                               : std::optional<QString>(Query.value(11).toString());
}

} // namespace

bool TArchiveFilter::Matches(const TArchiveRow& Row, const QString& Text) {
    return Text.isEmpty() || Row.SerialNumber.contains(Text, Qt::CaseInsensitive) ||
           Row.Location.contains(Text, Qt::CaseInsensitive);
}

namespace ArchiveStates {

QString Name(TArchiveState State) {
    switch (State) {
    case TArchiveState::Complete:
        return QStringLiteral("complete");
    case TArchiveState::Stopped:
        return QStringLiteral("stopped");
    case TArchiveState::Interrupted:
        return QStringLiteral("interrupted");
    case TArchiveState::Imported:
        return QStringLiteral("imported");
    }
    return {};
}

std::optional<TArchiveState> FromName(const QString& Name) {
    for (TArchiveState State : {TArchiveState::Complete, TArchiveState::Stopped,
                                TArchiveState::Interrupted, TArchiveState::Imported})
        if (ArchiveStates::Name(State) == Name)
            return State;
    return std::nullopt;
}

} // namespace ArchiveStates

QString TArchive::PathIn(const QString& InstallDir) {
    return QDir(InstallDir).filePath(QStringLiteral("Data/archive.sqlite"));
}

QString TArchive::Where(const QString& Path, qint64 Id) {
    return QStringLiteral("the archive %1 (measurement %2)")
        .arg(MessageText::Shown(Path, PATH_MAX), QString::number(Id));
}

TArchive::TArchive(const QString& Path) : FPath(Path), FConnection(NewConnectionName()) {}

TArchive::~TArchive() {
    if (!QSqlDatabase::contains(FConnection))
        return;
    {
        QSqlDatabase Db = QSqlDatabase::database(FConnection, false);
        Db.close();
    }
    QSqlDatabase::removeDatabase(FConnection);
}

void TArchive::Fail(const QString& What, const QSqlError& Error) const {
    throw EArchiveError(QStringLiteral("%1 the archive %2: %3.\nDetails: %4")
                            .arg(What, MessageText::Shown(FPath, PATH_MAX),
                                 ReasonFor(Error, QFileInfo(FPath).absolutePath()),
                                 MessageText::Shown(Error.text(), 400)));
}

void TArchive::Refuse(const QString& Text) {
    FState = TOpenState::Refused;
    FMessage = Text;
    if (QSqlDatabase::contains(FConnection)) {
        QSqlDatabase::database(FConnection, false).close();
    }
}

namespace {

struct THeader {
    qint64 AppId = 0, Version = 0, Objects = 0;
};

// False with Query's error when the file cannot be read as a database.
bool ReadHeader(QSqlQuery& Query, THeader& Header) {
    auto Ask = [&](const char* Sql, qint64& Into) {
        if (!Query.exec(QLatin1String(Sql)) || !Query.next())
            return false;
        Into = Query.value(0).toLongLong();
        return true;
    };
    return Ask("PRAGMA application_id", Header.AppId) &&
           Ask("PRAGMA user_version", Header.Version) &&
           Ask("SELECT count(*) FROM sqlite_master", Header.Objects);
}

} // namespace

bool TArchive::Judge(qint64 AppId, qint64 Objects, qint64 Version) {
    const QString Shown = MessageText::Shown(FPath, PATH_MAX);
    if (AppId != ApplicationId && (AppId != 0 || Objects != 0)) {
        Refuse(QStringLiteral("%1 is a database of another program, not a Halvorn archive.")
                   .arg(Shown) +
               LeftAlone());
        return false;
    }
    if (Version > SchemaVersion) {
        FState = TOpenState::ReadOnly;
        FMessage = QStringLiteral("The archive %1 was written by a newer version of Halvorn "
                                  "(archive version %2; this one knows up to %3): it is shown "
                                  "read only, and measurements are not archived.")
                       .arg(Shown, QString::number(Version), QString::number(SchemaVersion));
        QSqlDatabase Db = QSqlDatabase::database(FConnection, false);
        Db.close();
        Db.setDatabaseName(FPath);
        Db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
        if (!Db.open()) {
            FState = TOpenState::Closed;
            Fail(QStringLiteral("Cannot open"), Db.lastError());
        }
        return false;
    }
    return true;
}

QString TArchive::LeftAlone() {
    return QStringLiteral(" The file is left as it is, and measurements are not archived.");
}

TArchive::TOpenState TArchive::Open() {
    if (FState != TOpenState::Closed)
        return FState;
    const QString Shown = MessageText::Shown(FPath, PATH_MAX);
    const QFileInfo File(FPath);
    if (File.exists() || File.isSymLink()) {
        if (!File.isFile()) {
            Refuse(QStringLiteral("The archive %1 is not a file.").arg(Shown) + LeftAlone());
            return FState;
        }
        QFile Head(FPath);
        if (!Head.open(QIODevice::ReadOnly))
            throw EArchiveError(
                QStringLiteral("Cannot open the archive %1: %2").arg(Shown, Head.errorString()));
        const QByteArray Magic = Head.read(16);
        if (!Magic.isEmpty() && Magic != QByteArray("SQLite format 3\0", 16)) {
            Refuse(QStringLiteral("The archive %1 is not a database.").arg(Shown) + LeftAlone());
            return FState;
        }
    } else if (!QDir().mkpath(File.absolutePath())) {
        throw EArchiveError(
            QStringLiteral("Cannot create the archive %1: its folder cannot be made.").arg(Shown));
    }

    if (!QSqlDatabase::contains(FConnection))
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnection);
    QSqlDatabase Db = QSqlDatabase::database(FConnection, false);
    if (!Db.isValid())
        throw EArchiveError(QStringLiteral("Cannot open the archive %1: the SQLite driver of Qt "
                                           "is not installed (Debian: libqt6sql6-sqlite).")
                                .arg(Shown));

    if (File.exists() && File.size() > 0) {
        // Immutable: not even a lock or a shared-memory file is made beside a file not yet
        // known to be ours. A write still in the log may be missed here; the first
        // transaction looks again.
        Db.setDatabaseName(QUrl::fromLocalFile(FPath).toString(QUrl::FullyEncoded) +
                           QStringLiteral("?mode=ro&immutable=1"));
        Db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        if (!Db.open())
            Fail(QStringLiteral("Cannot open"), Db.lastError());
        THeader Header;
        QSqlError Error;
        {
            QSqlQuery Query(Db);
            if (!ReadHeader(Query, Header))
                Error = Query.lastError();
        }
        Db.close();
        if (Error.isValid()) {
            if (IsDamage(Error)) {
                Refuse(QStringLiteral("The archive %1 is damaged.").arg(Shown) + LeftAlone() +
                       QStringLiteral("\nDetails: ") + MessageText::Shown(Error.text(), 400));
                return FState;
            }
            Fail(QStringLiteral("Cannot open"), Error);
        }
        if (!Judge(Header.AppId, Header.Objects, Header.Version))
            return FState;
    }

    Db.setDatabaseName(FPath);
    Db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!Db.open())
        Fail(QStringLiteral("Cannot open"), Db.lastError());
    try {
        QSqlQuery Query(Db);
        for (const char* Sql : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL",
                                "PRAGMA foreign_keys=ON", "PRAGMA cache_size=-32768"})
            if (!Query.exec(QLatin1String(Sql)))
                Fail(QStringLiteral("Cannot open"), Query.lastError());
        if (!Prepare())
            return FState;
    } catch (...) {
        Db.close();
        throw;
    }
    FState = TOpenState::Writable;
    return FState;
}

bool TArchive::Prepare() {
    QSqlQuery Query(QSqlDatabase::database(FConnection, false));
    if (!Query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        Fail(QStringLiteral("Cannot open"), Query.lastError());
    auto Abandon = [&](const QSqlError& Error) {
        Query.exec(QStringLiteral("ROLLBACK"));
        Fail(QStringLiteral("Cannot prepare"), Error);
    };
    // Looked at again under the write lock: another copy may have made or upgraded it.
    THeader Header;
    if (!ReadHeader(Query, Header))
        Abandon(Query.lastError());
    if (Header.AppId == ApplicationId && Header.Version == SchemaVersion) {
        Query.exec(QStringLiteral("ROLLBACK"));
        return true;
    }
    if (Header.AppId != ApplicationId && (Header.AppId != 0 || Header.Objects != 0)) {
        Query.exec(QStringLiteral("ROLLBACK"));
        Query.finish();
        return Judge(Header.AppId, Header.Objects, Header.Version);
    }
    if (Header.Version > SchemaVersion) {
        Query.exec(QStringLiteral("ROLLBACK"));
        Query.finish();
        return Judge(Header.AppId, Header.Objects, Header.Version);
    }
    const auto& Steps = MigrationSteps();
    for (qint64 V = Header.Version; V < SchemaVersion; ++V)
        for (const QString& Sql : Steps[size_t(V)])
            if (!Query.exec(Sql))
                Abandon(Query.lastError());
    if (!Query.exec(QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId)) ||
        !Query.exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion)) ||
        !Query.exec(QStringLiteral("COMMIT")))
        Abandon(Query.lastError());
    return true;
}

void TArchive::RequireOpen(bool ForWriting) {
    Open();
    if (FState == TOpenState::Refused || (ForWriting && FState == TOpenState::ReadOnly))
        throw EArchiveError(FMessage);
}

QByteArray TArchive::ReportBytes(const QStringList& Lines) {
    if (Lines.isEmpty())
        return {};
    return ReportText::EncodeText(Lines + QStringList{QString()});
}

QStringList TArchive::BuildFrom(const QByteArray& Raw, const TReportInfo& Info) {
    const QByteArray Text = CaptureText::DownloadText(Raw);
    return Text.isEmpty() ? QStringList() : BuildReport(Text, Info);
}

QByteArray TArchive::ReportFileOf(const TArchiveEntry& Entry) {
    return Entry.Report.isEmpty() ? ReportBytes(BuildFrom(Entry.Raw, Entry.Info)) : Entry.Report;
}

void TArchive::Describe(TArchiveEntry& Entry) {
    Entry.Bytes = Entry.Raw.size();
    Entry.Sha256 = QString::fromLatin1(
        QCryptographicHash::hash(Entry.Raw, QCryptographicHash::Sha256).toHex());
    if (Entry.State == TArchiveState::Complete && Entry.Report.isEmpty())
        Entry.Report = ReportBytes(BuildFrom(Entry.Raw, Entry.Info));
    // The builder drops the last two lines, which in a transfer cut short may be the summary.
    const QStringList Lines = BuildFrom(Entry.Raw + "\r\r", Entry.Info);
    Entry.SerialNumber = Readings::LabelValue(Lines, StreamConventions::LabelSerial);
    Entry.Location = Readings::LabelValue(Lines, StreamConventions::LabelLocation);
    const TReadings Read = Readings::Read(Lines);
    Entry.Readings.reset();
    Entry.EpaProtocol.reset();
    if (Read.Refusal.isEmpty()) {
        Entry.Readings = int(Read.Values.size());
        if (Read.InstrumentEpaProtocol)
            Entry.EpaProtocol = QString::fromStdString(Read.InstrumentEpaProtocol->Text());
    }
}

qint64 TArchive::Store(TArchiveEntry Entry) {
    RequireOpen(true);
    if (!Entry.ReceivedAt.isValid())
        Entry.ReceivedAt = QDateTime::currentDateTimeUtc();
    Describe(Entry);

    QSqlDatabase Db = QSqlDatabase::database(FConnection, false);
    QSqlQuery Query(Db);
    if (!Query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        Fail(QStringLiteral("The measurement could not be stored in"), Query.lastError());
    auto Abandon = [&](const QSqlError& Error) {
        Query.exec(QStringLiteral("ROLLBACK"));
        Fail(QStringLiteral("The measurement could not be stored in"), Error);
    };
    Query.prepare(QStringLiteral(
        "INSERT INTO measurement (received_at, port, device, bytes, sha256, state, error, "
        "info_enabled, info_serial, info_location, info_start_date, info_start_time, "
        "info_end_date, info_end_time, info_header, info_footer, serial, location, readings, "
        "epa_protocol) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    const TReportInfo& Info = Entry.Info;
    for (const QVariant& Value :
         {NotNull(UtcText(Entry.ReceivedAt)),
          NotNull(Entry.Port),
          NotNull(Entry.Device),
          QVariant(Entry.Bytes),
          NotNull(Entry.Sha256),
          NotNull(ArchiveStates::Name(Entry.State)),
          NotNull(Entry.Error),
          QVariant(Info.Enabled ? 1 : 0),
          NotNull(Info.SerialNumber),
          NotNull(Info.Location),
          NotNull(InfoTime(Info.StartDate)),
          NotNull(InfoTime(Info.StartTime)),
          NotNull(InfoTime(Info.EndDate)),
          NotNull(InfoTime(Info.EndTime)),
          NotNull(LinesJson(Info.Header)),
          NotNull(LinesJson(Info.Footer)),
          NotNull(Entry.SerialNumber),
          NotNull(Entry.Location),
          Entry.Readings ? QVariant(*Entry.Readings) : QVariant(QMetaType(QMetaType::Int)),
          Entry.EpaProtocol ? QVariant(*Entry.EpaProtocol)
                            : QVariant(QMetaType(QMetaType::QString))})
        Query.addBindValue(Value);
    if (!Query.exec())
        Abandon(Query.lastError());
    const qint64 Id = Query.lastInsertId().toLongLong();
    Query.prepare(
        QStringLiteral("INSERT INTO content (measurement_id, raw, report) VALUES (?,?,?)"));
    Query.addBindValue(Id);
    Query.addBindValue(Entry.Raw.isNull() ? QByteArray("") : Entry.Raw);
    Query.addBindValue(Entry.Report.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray))
                                              : QVariant(Entry.Report));
    if (!Query.exec())
        Abandon(Query.lastError());
    if (!Query.exec(QStringLiteral("COMMIT")))
        Abandon(Query.lastError());
    return Id;
}

std::vector<TArchiveRow> TArchive::List(const TArchiveFilter& Filter) {
    RequireOpen(false);
    QString Sql =
        QStringLiteral("SELECT %1 FROM measurement WHERE 1").arg(QLatin1String(RowColumns));
    if (Filter.From.isValid())
        Sql += QStringLiteral(" AND received_at >= :from");
    if (Filter.To.isValid())
        Sql += QStringLiteral(" AND received_at < :to");
    Sql += QStringLiteral(" ORDER BY received_at DESC, id DESC");
    QSqlQuery Query(QSqlDatabase::database(FConnection, false));
    Query.setForwardOnly(true);
    Query.prepare(Sql);
    if (Filter.From.isValid())
        Query.bindValue(QStringLiteral(":from"), DayStartUtc(Filter.From));
    if (Filter.To.isValid())
        Query.bindValue(QStringLiteral(":to"), DayStartUtc(Filter.To.addDays(1)));
    if (!Query.exec())
        Fail(QStringLiteral("The measurements could not be read from"), Query.lastError());
    std::vector<TArchiveRow> Rows;
    while (Query.next()) {
        Rows.emplace_back();
        ReadRow(Query, Rows.back());
        if (!TArchiveFilter::Matches(Rows.back(), Filter.Text))
            Rows.pop_back();
    }
    if (Query.lastError().isValid())
        Fail(QStringLiteral("The measurements could not be read from"), Query.lastError());
    return Rows;
}

std::optional<TArchiveEntry> TArchive::Get(qint64 Id) {
    RequireOpen(false);
    QSqlQuery Query(QSqlDatabase::database(FConnection, false));
    Query.setForwardOnly(true);
    Query.prepare(QStringLiteral("SELECT %1, info_enabled, info_serial, info_location, "
                                 "info_start_date, info_start_time, info_end_date, "
                                 "info_end_time, info_header, info_footer, raw, report FROM "
                                 "measurement JOIN content ON content.measurement_id = "
                                 "measurement.id WHERE id = ?")
                      .arg(QLatin1String(RowColumns)));
    Query.addBindValue(Id);
    if (!Query.exec())
        Fail(QStringLiteral("The measurement could not be read from"), Query.lastError());
    if (!Query.next()) {
        if (Query.lastError().isValid())
            Fail(QStringLiteral("The measurement could not be read from"), Query.lastError());
        return std::nullopt;
    }
    TArchiveEntry Entry;
    ReadRow(Query, Entry);
    TReportInfo& Info = Entry.Info;
    Info.Enabled = Query.value(12).toInt() != 0;
    Info.SerialNumber = Query.value(13).toString();
    Info.Location = Query.value(14).toString();
    Info.StartDate = InfoTimeFrom(Query.value(15).toString());
    Info.StartTime = InfoTimeFrom(Query.value(16).toString());
    Info.EndDate = InfoTimeFrom(Query.value(17).toString());
    Info.EndTime = InfoTimeFrom(Query.value(18).toString());
    Info.Header = LinesFromJson(Query.value(19).toString());
    Info.Footer = LinesFromJson(Query.value(20).toString());
    Entry.Raw = Query.value(21).toByteArray();
    Entry.Report = Query.value(22).toByteArray();
    return Entry;
}

bool TArchive::Remove(qint64 Id) {
    RequireOpen(true);
    QSqlQuery Query(QSqlDatabase::database(FConnection, false));
    Query.prepare(QStringLiteral("DELETE FROM measurement WHERE id = ?"));
    Query.addBindValue(Id);
    if (!Query.exec())
        Fail(QStringLiteral("The measurement could not be deleted from"), Query.lastError());
    return Query.numRowsAffected() > 0;
}

TArchive::TImported TArchive::Import(const QString& File, const TReportInfo& Info) {
    const QString Shown = MessageText::Shown(File, PATH_MAX);
    const std::optional<QByteArray> Bytes = ReportText::ReadAtMost(File, MaxCaptureBytes);
    if (!Bytes)
        throw Exception(QStringLiteral("%1 holds more than %2, the most a capture can hold")
                            .arg(Shown, ReportText::SizeText(MaxCaptureBytes)));
    if (Bytes->isEmpty())
        throw Exception(QStringLiteral("%1 is empty: there is nothing to import").arg(Shown));
    RequireOpen(true);
    const QString Sha =
        QString::fromLatin1(QCryptographicHash::hash(*Bytes, QCryptographicHash::Sha256).toHex());
    {
        QSqlQuery Query(QSqlDatabase::database(FConnection, false));
        Query.prepare(QStringLiteral("SELECT id FROM measurement WHERE sha256 = ? LIMIT 1"));
        Query.addBindValue(Sha);
        if (!Query.exec())
            Fail(QStringLiteral("The capture could not be checked against"), Query.lastError());
        if (Query.next())
            return {Query.value(0).toLongLong(), true};
    }
    TArchiveEntry Entry;
    Entry.ReceivedAt = QFileInfo(File).lastModified().toUTC();
    // "2026-12-08 14-03-22 COM1.raw", "... ttyUSB0 (2).raw": the port a capture came from.
    static const QRegularExpression PortInName(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d (.+?)(?: \\(\\d+\\))?\\.raw$"));
    if (const QRegularExpressionMatch Match = PortInName.match(QFileInfo(File).fileName());
        Match.hasMatch())
        Entry.Port = Match.captured(1);
    Entry.State = TArchiveState::Imported;
    Entry.Raw = *Bytes;
    Entry.Info = Info;
    return {Store(std::move(Entry)), false};
}

// --- The team archive's side of the local archive ---

QString TArchive::Origin() {
    RequireOpen(false);
    QSqlQuery Query(QSqlDatabase::database(FConnection, false));
    if (!Query.exec(QStringLiteral("SELECT uuid FROM team_origin")) || !Query.next())
        Fail(QStringLiteral("The archive's origin could not be read from"), Query.lastError());
    return Query.value(0).toString();
}

std::vector<qint64> TArchive::Waiting() {
    RequireOpen(false);
    QSqlQuery Query(QSqlDatabase::database(FConnection, false));
    Query.setForwardOnly(true);
    if (!Query.exec(
            QStringLiteral("SELECT id FROM measurement WHERE team_sent_at IS NULL ORDER BY id")))
        Fail(QStringLiteral("The measurements could not be read from"), Query.lastError());
    std::vector<qint64> Ids;
    while (Query.next())
        Ids.push_back(Query.value(0).toLongLong());
    return Ids;
}

TArchive::TTeamCounts TArchive::TeamCounts() {
    RequireOpen(false);
    QSqlQuery Query(QSqlDatabase::database(FConnection, false));
    if (!Query.exec(QStringLiteral("SELECT count(*) - count(team_sent_at), count(team_sent_at) "
                                   "FROM measurement")) ||
        !Query.next())
        Fail(QStringLiteral("The measurements could not be counted in"), Query.lastError());
    return {Query.value(0).toLongLong(), Query.value(1).toLongLong()};
}

void TArchive::MarkSent(qint64 Id) {
    RequireOpen(true);
    QSqlQuery Query(QSqlDatabase::database(FConnection, false));
    Query.prepare(QStringLiteral("UPDATE measurement SET team_sent_at = ? WHERE id = ?"));
    Query.addBindValue(UtcText(QDateTime::currentDateTimeUtc()));
    Query.addBindValue(Id);
    if (!Query.exec())
        Fail(QStringLiteral("The measurement could not be marked as sent in"), Query.lastError());
}
