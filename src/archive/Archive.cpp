#include "archive/Archive.h"

#include "files/ReportText.h"
#include "measurement/Job.h"
#include "measurement/Readings.h"
#include "platform/MessageText.h"
#include "report/ReportBuilder.h"
#include "report/StreamConventions.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QThread>
#include <QUrl>
#include <QVariant>
#include <climits>
#include <sys/stat.h>

namespace {

constexpr qint64 MaxCaptureBytes = 64 * 1024 * 1024;
// Tries of an operation that failed in a way worth another try, with a pause that doubles.
constexpr int MaxTries = 5;
// Beyond any version this program's successors could have written: the header is garbage.
constexpr qint64 MostVersion = 100000;

QString NewConnectionName() {
    static QAtomicInteger<quint64> Count;
    return QStringLiteral("halvorn-archive-%1").arg(Count.fetchAndAddRelaxed(1) + 1);
}

int ExtendedCode(const QSqlError& Error) {
    bool Ok = false;
    const int Code = Error.nativeErrorCode().toInt(&Ok);
    return Ok ? Code : -1;
}

int PrimaryCode(const QSqlError& Error) {
    const int Code = ExtendedCode(Error);
    return Code < 0 ? Code : Code & 0xff;
}

// SQLite's primary result codes that say something to the user. Folder: the archive's, whose
// file system tells a full disk behind a plain I/O error (SQLite keeps errno to itself).
QString ReasonFor(const QSqlError& Error, const QString& Folder) {
    const int Code = PrimaryCode(Error);
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
    case 13: // SQLITE_FULL
        return QStringLiteral("the disk is full");
    case 14: // SQLITE_CANTOPEN
        return QStringLiteral("the file cannot be opened or made (is its folder writable?)");
    case 15: // SQLITE_PROTOCOL
        return QStringLiteral("another program kept changing the archive's log while it was read");
    default:
        return QStringLiteral("the database reported an error");
    }
}

// Busy, locked, a read overtaken by a write: SQLite gives up at once on some of them without
// waiting (a possible deadlock, another program's log being recovered), so they are tried
// again, within the busy time-out as a whole.
bool WorthRetrying(const QSqlError& Error) {
    const int Code = PrimaryCode(Error);
    return Code == 5 || Code == 6 || Code == 15;
}

bool IsDamage(const QSqlError& Error) {
    const int Code = PrimaryCode(Error);
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

QVariant UtcOrNull(const QDateTime& Time) {
    return Time.isValid() ? QVariant(UtcText(Time)) : QVariant(QMetaType(QMetaType::QString));
}

// A job's time: to the millisecond, so that two jobs given in one second stay apart.
QVariant JobTimeOrNull(const QDateTime& Time) {
    return Time.isValid() ? QVariant(Time.toUTC().toString(Qt::ISODateWithMs))
                          : QVariant(QMetaType(QMetaType::QString));
}

// Start of a local day as the stored UTC text.
QString DayStartUtc(const QDate& Day) {
    return UtcText(Day.startOfDay());
}

// The day a row counts on: its report's start where it has one.
const char* const When = "coalesce(start, received_at)";

const char* const RowColumns = "id, received_at, start, port, device, bytes, sha256, state, "
                               "error, serial, location, readings, epa_protocol, job_client, "
                               "job_address, job_placement, job_test_type, job_conditions, "
                               "job_notes, job_given_at, team_sent_at";
constexpr int InfoColumn = 21; // the first column after RowColumns in Get

// "2026-12-08T14:03:22Z" as the archive writes it, read without the general parser: the list
// reads 10,000 of them per keystroke.
QDateTime UtcFrom(const QString& Text) {
    if (Text.isEmpty())
        return {};
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
    Row.ReceivedAt = UtcFrom(Query.value(1).toString());
    Row.Start = UtcFrom(Query.value(2).toString());
    Row.Port = Query.value(3).toString();
    Row.Device = Query.value(4).toString();
    Row.Bytes = Query.value(5).toLongLong();
    Row.Sha256 = Query.value(6).toString();
    Row.State =
        ArchiveStates::FromName(Query.value(7).toString()).value_or(TArchiveState::Complete);
    Row.Error = Query.value(8).toString();
    Row.SerialNumber = Query.value(9).toString();
    Row.Location = Query.value(10).toString();
    Row.Readings =
        Query.value(11).isNull() ? std::nullopt : std::optional<int>(Query.value(11).toInt());
    Row.EpaProtocol = Query.value(12).isNull() ? std::nullopt
                                               : std::optional<QString>(Query.value(12).toString());
    Row.Job.Client = Query.value(13).toString();
    Row.Job.Address = Query.value(14).toString();
    Row.Job.Placement = Query.value(15).toString();
    Row.Job.TestType = Job::TestTypeFromKey(Query.value(16).toString()).value_or(TTestType::None);
    Row.Job.Conditions =
        Job::ConditionsFromKey(Query.value(17).toString()).value_or(TConditions::None);
    Row.Job.Notes = Query.value(18).toString();
    Row.JobGivenAt = Query.value(19).isNull()
                         ? QDateTime()
                         : QDateTime::fromString(Query.value(19).toString(), Qt::ISODateWithMs);
    Row.TeamSent = !Query.value(20).isNull();
}

// The job's columns in their order, for an insert or an update.
QVariantList JobValues(const TJob& Job) {
    return {NotNull(Job.Client),
            NotNull(Job.Address),
            NotNull(Job.Placement),
            NotNull(Job::TestTypeKey(Job.TestType)),
            NotNull(Job::ConditionsKey(Job.Conditions)),
            NotNull(Job.Notes)};
}

const char* const InfoColumns = "info_enabled, info_serial, info_location, info_start_date, "
                                "info_start_time, info_end_date, info_end_time, info_header, "
                                "info_footer";

TReportInfo ReadInfo(const QSqlQuery& Query, int First) {
    TReportInfo Info;
    Info.Enabled = Query.value(First).toInt() != 0;
    Info.SerialNumber = Query.value(First + 1).toString();
    Info.Location = Query.value(First + 2).toString();
    Info.StartDate = InfoTimeFrom(Query.value(First + 3).toString());
    Info.StartTime = InfoTimeFrom(Query.value(First + 4).toString());
    Info.EndDate = InfoTimeFrom(Query.value(First + 5).toString());
    Info.EndTime = InfoTimeFrom(Query.value(First + 6).toString());
    Info.Header = LinesFromJson(Query.value(First + 7).toString());
    Info.Footer = LinesFromJson(Query.value(First + 8).toString());
    return Info;
}

QString UriOf(const QString& Path, const char* Parameters) {
    return QUrl::fromLocalFile(QFileInfo(Path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
           QLatin1Char('?') + QLatin1String(Parameters);
}

} // namespace

bool TArchiveFilter::Matches(const TArchiveRow& Row, const QString& Text) {
    if (Text.isEmpty())
        return true;
    for (const QString* Field : {&Row.SerialNumber, &Row.Location, &Row.Job.Client,
                                 &Row.Job.Address, &Row.Job.Placement, &Row.Job.Notes})
        if (Field->contains(Text, Qt::CaseInsensitive))
            return true;
    return false;
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
    case TArchiveState::NoReadings:
        return QStringLiteral("no-readings");
    }
    return {};
}

std::optional<TArchiveState> FromName(const QString& Name) {
    for (TArchiveState State :
         {TArchiveState::Complete, TArchiveState::Stopped, TArchiveState::Interrupted,
          TArchiveState::Imported, TArchiveState::NoReadings})
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
    Close();
    if (QSqlDatabase::contains(FConnection))
        QSqlDatabase::removeDatabase(FConnection);
}

QSqlDatabase TArchive::Database() const {
    return QSqlDatabase::database(FConnection, false);
}

void TArchive::Close() {
    if (QSqlDatabase::contains(FConnection))
        Database().close();
    FClaim = ArchiveFiles::TClaim();
    FState = TOpenState::Closed;
    FMessage.clear();
    FEmpty = false;
    FNewerVersion = 0;
}

template <class TOp> auto TArchive::Retrying(TOp&& Op) {
    QElapsedTimer Clock;
    Clock.start();
    for (int Try = 1;; ++Try) {
        try {
            return Op();
        } catch (const EArchiveError& E) {
            if (E.Cause != EArchiveError::TCause::Transient || Try == MaxTries ||
                Clock.elapsed() >= BusyTimeoutMs)
                throw;
        }
        QThread::msleep(20UL << Try);
    }
}

void TArchive::Fail(const QString& What, const QSqlError& Error) {
    QSqlDatabase Db = Database();
    // A write transaction left open would refuse every later one.
    if (Db.isOpen())
        QSqlQuery(Db).exec(QStringLiteral("ROLLBACK"));
    EArchiveError::TCause Cause =
        WorthRetrying(Error) ? EArchiveError::TCause::Transient : EArchiveError::TCause::Other;
    QString Reason = ReasonFor(Error, QFileInfo(FPath).absolutePath());
    if (IsDamage(Error)) {
        // A read that met another program's write can look like damage: only SQLite's own
        // check of the whole file decides.
        QSqlError CheckError;
        QString Verdict;
        if (Db.isOpen()) {
            QSqlQuery Check(Db);
            if (Check.exec(QStringLiteral("PRAGMA quick_check(1)")) && Check.next())
                Verdict = Check.value(0).toString();
            else
                CheckError = Check.lastError();
        }
        if (Verdict == QLatin1String("ok")) {
            Cause = EArchiveError::TCause::Transient;
            Reason = QStringLiteral("a read failed though the file checks whole (another "
                                    "program may have been writing to it)");
        } else if (!Verdict.isEmpty() || !Db.isOpen() || IsDamage(CheckError)) {
            Cause = EArchiveError::TCause::Damaged;
            Reason = QStringLiteral("the file is damaged");
        } else {
            Cause = WorthRetrying(CheckError) ? EArchiveError::TCause::Transient
                                              : EArchiveError::TCause::Other;
            Reason = ReasonFor(CheckError, QFileInfo(FPath).absolutePath());
        }
    }
    throw EArchiveError(QStringLiteral("%1 the archive %2: %3.\nDetails: %4")
                            .arg(What, MessageText::Shown(FPath, PATH_MAX), Reason,
                                 MessageText::Shown(Error.text(), 400)),
                        Cause);
}

void TArchive::Refuse(const QString& Text) {
    if (QSqlDatabase::contains(FConnection))
        Database().close();
    FClaim = ArchiveFiles::TClaim();
    FState = TOpenState::Refused;
    FMessage = Text;
}

QString TArchive::LeftAlone() {
    return QStringLiteral(" The file is left as it is, and measurements are not archived.");
}

bool TArchive::Judge(qint64 AppId, bool HasObjects, qint64 Version) {
    const QString Shown = MessageText::Shown(FPath, PATH_MAX);
    if (AppId != ApplicationId) {
        if (AppId == 0 && !HasObjects && Version == 0)
            return true; // an empty database: ours to make
        Refuse(QStringLiteral("%1 is a database of another program, not a Halvorn archive.")
                   .arg(Shown) +
               LeftAlone());
        return false;
    }
    if (Version < 0 || Version > MostVersion) {
        Refuse(QStringLiteral("The archive %1 names archive version %2, which no version of "
                              "Halvorn writes: its header is damaged.")
                   .arg(Shown, QString::number(Version)) +
               LeftAlone());
        return false;
    }
    if (Version > SchemaVersion)
        FNewerVersion = Version;
    return true;
}

QSqlDatabase TArchive::ConnectReadOnly(const char* Parameters) {
    QSqlDatabase Db = Database();
    Db.close();
    Db.setDatabaseName(UriOf(FPath, Parameters));
    Db.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1")
            .arg(BusyTimeoutMs));
    if (!Db.open())
        Fail(QStringLiteral("Cannot open"), Db.lastError());
    return Db;
}

TArchive::TIdentity TArchive::ReadIdentity(QSqlQuery& Query, const QString& What) {
    TIdentity Id;
    for (auto [Sql, Into] : {std::pair{"PRAGMA application_id", &Id.AppId},
                             std::pair{"PRAGMA user_version", &Id.Version},
                             std::pair{"SELECT count(*) FROM sqlite_master", &Id.Objects}}) {
        if (!Query.exec(QLatin1String(Sql)) || !Query.next())
            Fail(What, Query.lastError());
        *Into = Query.value(0).toLongLong();
    }
    return Id;
}

bool TArchive::JudgeFile() {
    const QString Shown = MessageText::Shown(FPath, PATH_MAX);
    const auto Read = [&] {
        try {
            return ArchiveFiles::ReadHeader(FPath);
        } catch (const Exception& E) {
            throw EArchiveError(E.Message);
        }
    };
    // Refused only by a header that stays as it is: another copy making or writing the file
    // at this moment can be read half written.
    const auto Refused = [](const ArchiveFiles::THeader& H) {
        return !H.Sqlite ||
               (H.AppId != ApplicationId &&
                (H.AppId != 0 || H.SchemaCookie != 0 || H.Version != 0)) ||
               (H.AppId == ApplicationId && (H.Version < 0 || H.Version > MostVersion));
    };
    ArchiveFiles::THeader Header = Read();
    for (int Try = 0; Try < MaxTries && Refused(Header) && !ArchiveFiles::HasLog(FPath); ++Try) {
        QThread::msleep(20UL << Try);
        const ArchiveFiles::THeader Again = Read();
        if (Again == Header)
            break;
        Header = Again;
    }
    if (!Header.Sqlite) {
        Refuse(QStringLiteral("The archive %1 is not a database.").arg(Shown) + LeftAlone());
        return false;
    }
    // Without a log the header is the file's last word; with one, only SQLite reading the
    // log too can tell, and read only: another program's log is not folded into its file.
    if (!ArchiveFiles::HasLog(FPath))
        return Judge(Header.AppId, Header.SchemaCookie != 0, Header.Version);
    TIdentity Id;
    Retrying([&] {
        QSqlQuery Query(ConnectReadOnly("mode=ro"));
        // One read transaction: another copy making the archive meanwhile must not be seen
        // half made (its tables without its id).
        if (!Query.exec(QStringLiteral("BEGIN")))
            Fail(QStringLiteral("Cannot open"), Query.lastError());
        Id = ReadIdentity(Query, QStringLiteral("Cannot open"));
        Query.exec(QStringLiteral("COMMIT"));
    });
    Database().close();
    return Judge(Id.AppId, Id.Objects != 0, Id.Version);
}

TArchive::TOpenState TArchive::Open(TAccess Access) {
    if (FState != TOpenState::Closed)
        return FState;
    FAccess = Access;
    const QString Shown = MessageText::Shown(FPath, PATH_MAX);
    const QFileInfo File(FPath);
    const bool Exists = File.exists() || File.isSymLink();
    if (Exists && !File.isFile()) {
        Refuse(QStringLiteral("The archive %1 is not a file.").arg(Shown) + LeftAlone());
        return FState;
    }
    if (!Exists && Access == TAccess::Read) {
        // Reading makes nothing.
        FState = TOpenState::ReadOnly;
        FEmpty = true;
        return FState;
    }
    if (!Exists && !QDir().mkpath(File.absolutePath()))
        throw EArchiveError(
            QStringLiteral("Cannot create the archive %1: its folder cannot be made.").arg(Shown));

    if (!QSqlDatabase::contains(FConnection))
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnection);
    if (!Database().isValid())
        throw EArchiveError(QStringLiteral("Cannot open the archive %1: the SQLite driver of Qt "
                                           "is not installed (Debian: libqt6sql6-sqlite).")
                                .arg(Shown));
    FClaim = ArchiveFiles::TClaim(FPath);
    try {
        if (Exists && File.size() > 0 && !JudgeFile())
            return FState;
        if (Access == TAccess::Write && !FNewerVersion && ArchiveFiles::Writable(FPath)) {
            OpenWritable();
            if (FState != TOpenState::Closed)
                return FState;
        }
        OpenReadOnly(Access);
    } catch (const EArchiveError& E) {
        if (E.Cause == EArchiveError::TCause::Damaged) {
            Refuse(QStringLiteral("The archive %1 is damaged.").arg(Shown) + LeftAlone() +
                   QLatin1Char('\n') + E.Message.section(u'\n', 1));
            return FState;
        }
        Close();
        throw;
    }
    return FState;
}

void TArchive::OpenWritable() {
    Retrying([&] {
        QSqlDatabase Db = Database();
        Db.close();
        Db.setDatabaseName(FPath);
        Db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
        if (!Db.open())
            Fail(QStringLiteral("Cannot open"), Db.lastError());
        QSqlQuery Query(Db);
        // FULL: a measurement reported stored survives a power cut, not only a crash.
        for (const char* Sql :
             {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA cache_size=-32768"})
            if (!Query.exec(QLatin1String(Sql)))
                Fail(QStringLiteral("Cannot open"), Query.lastError());
        Query.finish();
        if (!Prepare())
            return;
        if (!Query.exec(QStringLiteral("PRAGMA foreign_keys=ON")))
            Fail(QStringLiteral("Cannot open"), Query.lastError());
        FState = TOpenState::Writable;
    });
    // A newer version made or upgraded it meanwhile: read only after all.
    if (FState == TOpenState::Closed)
        Database().close();
}

void TArchive::OpenReadOnly(TAccess Access) {
    const QString Shown = MessageText::Shown(FPath, PATH_MAX);
    // Where nothing can change the file, it is read as it is; elsewhere SQLite must see the
    // log and the locks of those who write.
    const bool Fixed =
        !ArchiveFiles::FolderWritable(FPath) && !QFileInfo::exists(FPath + QStringLiteral("-wal"));
    Retrying([&] {
        QSqlQuery Query(ConnectReadOnly(Fixed ? "immutable=1" : "mode=ro"));
        if (!Query.exec(QStringLiteral("PRAGMA main.table_info(measurement)")))
            Fail(QStringLiteral("Cannot open"), Query.lastError());
        QStringList Have;
        while (Query.next())
            Have << Query.value(1).toString();
        FEmpty = Have.isEmpty();
        QStringList Missing;
        for (const QString& Column : ArchiveSchema::MeasurementColumns())
            if (!Have.isEmpty() && !Have.contains(Column))
                Missing << QStringLiteral("NULL AS ") + Column;
        // An older archive that may not be upgraded here: its missing columns read as NULL,
        // through a view in the connection's own temporary schema.
        if (!Missing.isEmpty() &&
            !Query.exec(QStringLiteral("CREATE TEMP VIEW measurement AS SELECT *, %1 FROM "
                                       "main.measurement")
                            .arg(Missing.join(QStringLiteral(", ")))))
            Fail(QStringLiteral("Cannot open"), Query.lastError());
    });
    FState = TOpenState::ReadOnly;
    if (FNewerVersion)
        FMessage = QStringLiteral("The archive %1 was written by a newer version of Halvorn "
                                  "(archive version %2; this one knows up to %3): it is shown "
                                  "read only, and measurements are not archived.")
                       .arg(Shown, QString::number(FNewerVersion), QString::number(SchemaVersion));
    else if (Access == TAccess::Write)
        FMessage = QStringLiteral("The archive %1 cannot be written (the file or its folder is "
                                  "read only): it is shown read only, and new downloads cannot be "
                                  "stored there.")
                       .arg(Shown);
}

bool TArchive::Prepare() {
    QSqlQuery Query(Database());
    // Off while tables are rebuilt, or dropping the old table would empty the content table;
    // it cannot change inside a transaction.
    if (!Query.exec(QStringLiteral("PRAGMA foreign_keys=OFF")) ||
        !Query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        Fail(QStringLiteral("Cannot open"), Query.lastError());
    auto Abandon = [&](const QSqlError& Error) {
        Query.exec(QStringLiteral("ROLLBACK"));
        Fail(QStringLiteral("Cannot prepare"), Error);
    };
    // Looked at again under the write lock: another copy may have made or upgraded it.
    const TIdentity Id = ReadIdentity(Query, QStringLiteral("Cannot prepare"));
    if (Id.AppId == ApplicationId && Id.Version == SchemaVersion) {
        Query.exec(QStringLiteral("ROLLBACK"));
        return true;
    }
    if (!Judge(Id.AppId, Id.Objects != 0, Id.Version) || FNewerVersion) {
        Query.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    const auto& Steps = ArchiveSchema::Steps();
    for (qint64 V = Id.Version; V < SchemaVersion; ++V) {
        for (const QString& Sql : Steps[size_t(V)])
            if (!Query.exec(Sql))
                Abandon(Query.lastError());
        if (V + 1 == 3)
            FillStarts();
    }
    if (!Query.exec(QStringLiteral("PRAGMA foreign_key_check")))
        Abandon(Query.lastError());
    if (Query.next())
        Abandon(QSqlError(QStringLiteral("a measurement's content lost its measurement"), {},
                          QSqlError::StatementError, QStringLiteral("19")));
    if (!Query.exec(QStringLiteral("PRAGMA application_id=%1").arg(ApplicationId)) ||
        !Query.exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion)) ||
        !Query.exec(QStringLiteral("COMMIT")))
        Abandon(Query.lastError());
    return true;
}

void TArchive::FillStarts() {
    // Rows stored before the start had a column of its own: read from their reports.
    QSqlQuery Rows(Database());
    Rows.setForwardOnly(true);
    if (!Rows.exec(QStringLiteral("SELECT id, state, raw, report, %1 FROM measurement JOIN "
                                  "content ON content.measurement_id = measurement.id WHERE "
                                  "readings IS NOT NULL")
                       .arg(QLatin1String(InfoColumns))))
        Fail(QStringLiteral("Cannot prepare"), Rows.lastError());
    QSqlQuery Update(Database());
    Update.prepare(QStringLiteral("UPDATE measurement SET start = ? WHERE id = ?"));
    while (Rows.next()) {
        TArchiveEntry Entry;
        Entry.State =
            ArchiveStates::FromName(Rows.value(1).toString()).value_or(TArchiveState::Complete);
        Entry.Raw = Rows.value(2).toByteArray();
        Entry.Report = Rows.value(3).toByteArray();
        Entry.Info = ReadInfo(Rows, 4);
        Describe(Entry);
        if (!Entry.Start.isValid())
            continue;
        Update.addBindValue(UtcText(Entry.Start));
        Update.addBindValue(Rows.value(0));
        if (!Update.exec())
            Fail(QStringLiteral("Cannot prepare"), Update.lastError());
    }
    if (Rows.lastError().isValid())
        Fail(QStringLiteral("Cannot prepare"), Rows.lastError());
}

void TArchive::RequireOpen(bool ForWriting) {
    // Opened for reading only, asked to write: open again as a writer would.
    if (ForWriting && FState == TOpenState::ReadOnly && FAccess == TAccess::Read)
        Close();
    Open(ForWriting ? TAccess::Write : TAccess::Read);
    if (FState == TOpenState::Refused)
        throw EArchiveError(FMessage);
    if (ForWriting && FState == TOpenState::ReadOnly)
        throw EArchiveError(FMessage);
}

QByteArray TArchive::ReportBytes(const QStringList& Lines) {
    if (Lines.isEmpty())
        return {};
    return ReportText::EncodeText(Lines + QStringList{QString()});
}

QByteArray TArchive::ReportFileOf(const TArchiveEntry& Entry) {
    return Entry.Report.isEmpty() ? ReportBytes(BuildReportFromBytes(Entry.Raw, Entry.Info))
                                  : Entry.Report;
}

void TArchive::Describe(TArchiveEntry& Entry) {
    Entry.Bytes = Entry.Raw.size();
    Entry.Sha256 = QString::fromLatin1(
        QCryptographicHash::hash(Entry.Raw, QCryptographicHash::Sha256).toHex());
    const bool Whole =
        Entry.State == TArchiveState::Complete || Entry.State == TArchiveState::NoReadings;
    if (Entry.Lines.isEmpty())
        Entry.Lines = BuildReportFromBytes(Entry.Raw, Entry.Info, Whole);
    if (Whole && Entry.Report.isEmpty())
        Entry.Report = ReportBytes(Entry.Lines);
    Entry.SerialNumber = Readings::LabelValue(Entry.Lines, StreamConventions::LabelSerial);
    Entry.Location = Readings::LabelValue(Entry.Lines, StreamConventions::LabelLocation);
    const TReadings Read = Readings::Read(Entry.Lines);
    Entry.Readings.reset();
    Entry.EpaProtocol.reset();
    Entry.Start = Read.Start.isValid() ? Read.Start.toUTC() : QDateTime();
    if (Read.Refusal.isEmpty()) {
        Entry.Readings = int(Read.Values.size());
        if (Read.InstrumentEpaProtocol)
            Entry.EpaProtocol = QString::fromStdString(Read.InstrumentEpaProtocol->Text());
    } else if (Entry.State == TArchiveState::Complete) {
        Entry.State = TArchiveState::NoReadings;
    }
}

qint64 TArchive::Insert(TArchiveEntry& Entry) {
    const auto Stop = [&](const QSqlError& Error) {
        Fail(QStringLiteral("The measurement could not be stored in"), Error);
    };
    QSqlQuery Query(Database());
    Query.prepare(QStringLiteral(
        "INSERT INTO measurement (received_at, start, port, device, bytes, sha256, state, error, "
        "info_enabled, info_serial, info_location, info_start_date, info_start_time, "
        "info_end_date, info_end_time, info_header, info_footer, serial, location, readings, "
        "epa_protocol, job_client, job_address, job_placement, job_test_type, job_conditions, "
        "job_notes, job_given_at) VALUES "
        "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    const TReportInfo& Info = Entry.Info;
    for (const QVariant& Value :
         {NotNull(UtcText(Entry.ReceivedAt)),
          UtcOrNull(Entry.Start),
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
    for (const QVariant& Value : JobValues(Entry.Job))
        Query.addBindValue(Value);
    Query.addBindValue(JobTimeOrNull(Entry.JobGivenAt));
    if (!Query.exec())
        Stop(Query.lastError());
    const qint64 Id = Query.lastInsertId().toLongLong();
    Query.prepare(
        QStringLiteral("INSERT INTO content (measurement_id, raw, report) VALUES (?,?,?)"));
    Query.addBindValue(Id);
    Query.addBindValue(Entry.Raw.isNull() ? QByteArray("") : Entry.Raw);
    Query.addBindValue(Entry.Report.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray))
                                              : QVariant(Entry.Report));
    if (!Query.exec())
        Stop(Query.lastError());
    return Id;
}

qint64 TArchive::Store(TArchiveEntry Entry) {
    RequireOpen(true);
    if (!Entry.ReceivedAt.isValid())
        Entry.ReceivedAt = QDateTime::currentDateTimeUtc();
    Describe(Entry);
    return Retrying([&] {
        QSqlQuery Query(Database());
        if (!Query.exec(QStringLiteral("BEGIN IMMEDIATE")))
            Fail(QStringLiteral("The measurement could not be stored in"), Query.lastError());
        const qint64 Id = Insert(Entry);
        if (!Query.exec(QStringLiteral("COMMIT")))
            Fail(QStringLiteral("The measurement could not be stored in"), Query.lastError());
        return Id;
    });
}

std::vector<TArchiveRow> TArchive::List(const TArchiveFilter& Filter) {
    RequireOpen(false);
    if (FEmpty)
        return {};
    QString Sql =
        QStringLiteral("SELECT %1 FROM measurement WHERE 1").arg(QLatin1String(RowColumns));
    if (Filter.From.isValid())
        Sql += QStringLiteral(" AND %1 >= :from").arg(QLatin1String(When));
    if (Filter.To.isValid())
        Sql += QStringLiteral(" AND %1 < :to").arg(QLatin1String(When));
    Sql += QStringLiteral(" ORDER BY %1 DESC, id DESC").arg(QLatin1String(When));
    return Retrying([&] {
        QSqlQuery Query(Database());
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
    });
}

std::optional<TArchiveEntry> TArchive::Get(qint64 Id) {
    RequireOpen(false);
    if (FEmpty)
        return std::nullopt;
    return Retrying([&]() -> std::optional<TArchiveEntry> {
        QSqlQuery Query(Database());
        Query.setForwardOnly(true);
        Query.prepare(QStringLiteral("SELECT %1, %2, raw, report FROM measurement JOIN content "
                                     "ON content.measurement_id = measurement.id WHERE id = ?")
                          .arg(QLatin1String(RowColumns), QLatin1String(InfoColumns)));
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
        Entry.Info = ReadInfo(Query, InfoColumn);
        Entry.Raw = Query.value(InfoColumn + 9).toByteArray();
        Entry.Report = Query.value(InfoColumn + 10).toByteArray();
        return Entry;
    });
}

bool TArchive::Remove(qint64 Id) {
    RequireOpen(true);
    return Retrying([&] {
        QSqlQuery Query(Database());
        Query.prepare(QStringLiteral("DELETE FROM measurement WHERE id = ?"));
        Query.addBindValue(Id);
        if (!Query.exec())
            Fail(QStringLiteral("The measurement could not be deleted from"), Query.lastError());
        return Query.numRowsAffected() > 0;
    });
}

bool TArchive::SetJob(qint64 Id, const TJob& Job) {
    RequireOpen(true);
    const QVariant Now = JobTimeOrNull(QDateTime::currentDateTimeUtc());
    return Retrying([&] {
        QSqlQuery Query(Database());
        // The team server keeps every version of a job by its time: a time never repeats in a
        // row, and the latest is the last given.
        Query.prepare(QStringLiteral(
            "UPDATE measurement SET job_client = ?, job_address = ?, job_placement = ?, "
            "job_test_type = ?, job_conditions = ?, job_notes = ?, job_given_at = CASE WHEN "
            "job_given_at >= ? THEN strftime('%Y-%m-%dT%H:%M:%fZ', job_given_at, "
            "'+0.001 seconds') ELSE ? END, team_job_sent_at = NULL WHERE id = ?"));
        for (const QVariant& Value : JobValues(Job) + QVariantList{Now, Now, Id})
            Query.addBindValue(Value);
        if (!Query.exec())
            Fail(QStringLiteral("The job could not be stored in"), Query.lastError());
        return Query.numRowsAffected() > 0;
    });
}

TArchive::TImported TArchive::Import(const QString& File) {
    const QString Shown = MessageText::Shown(File, PATH_MAX);
    RequireOpen(true);
    const TFd Fd = ArchiveFiles::OpenCapture(File, FPath);
    QFile Opened;
    if (!Opened.open(Fd.Get(), QIODevice::ReadOnly | QIODevice::Unbuffered,
                     QFileDevice::DontCloseHandle))
        throw Exception(QStringLiteral("Cannot open file %1\n%2").arg(Shown, Opened.errorString()));
    const std::optional<QByteArray> Bytes = ReportText::ReadAtMost(Opened, File, MaxCaptureBytes);
    if (!Bytes)
        throw Exception(QStringLiteral("%1 holds more than %2, the most a capture can hold")
                            .arg(Shown, ReportText::SizeText(MaxCaptureBytes)));
    if (Bytes->isEmpty())
        throw Exception(QStringLiteral("%1 is empty: there is nothing to import").arg(Shown));
    TArchiveEntry Entry;
    struct stat Info {};
    if (::fstat(Fd.Get(), &Info) == 0)
        Entry.ReceivedAt = QDateTime::fromSecsSinceEpoch(Info.st_mtim.tv_sec, Qt::UTC);
    // "2026-12-08 14-03-22 COM1.raw", "... ttyUSB0 (2).raw": the port a capture came from.
    static const QRegularExpression PortInName(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d (.+?)(?: \\(\\d+\\))?\\.raw$"));
    if (const QRegularExpressionMatch Match = PortInName.match(QFileInfo(File).fileName());
        Match.hasMatch())
        Entry.Port = Match.captured(1);
    Entry.State = TArchiveState::Imported;
    Entry.Raw = *Bytes;
    Describe(Entry);
    const QString Failed = QStringLiteral("The capture %1 could not be stored in").arg(Shown);
    // The check and the insert in one write transaction: two imports of the same bytes at
    // once store one row.
    return Retrying([&]() -> TImported {
        QSqlQuery Query(Database());
        if (!Query.exec(QStringLiteral("BEGIN IMMEDIATE")))
            Fail(Failed, Query.lastError());
        Query.prepare(QStringLiteral("SELECT id FROM measurement WHERE sha256 = ? LIMIT 1"));
        Query.addBindValue(Entry.Sha256);
        if (!Query.exec())
            Fail(Failed, Query.lastError());
        if (Query.next()) {
            const qint64 Id = Query.value(0).toLongLong();
            Query.finish();
            Query.exec(QStringLiteral("ROLLBACK"));
            return {Id, true};
        }
        const qint64 Id = Insert(Entry);
        if (!Query.exec(QStringLiteral("COMMIT")))
            Fail(Failed, Query.lastError());
        return {Id, false};
    });
}

QString TArchive::Pragma(const QString& Name) {
    RequireOpen(false);
    if (FEmpty)
        return {};
    QSqlQuery Query(Database());
    if (!Query.exec(QStringLiteral("PRAGMA ") + Name) || !Query.next())
        Fail(QStringLiteral("Cannot read a setting of"), Query.lastError());
    return Query.value(0).toString();
}

// --- The team archive's side of the local archive ---

QString TArchive::Origin() {
    RequireOpen(false);
    if (FEmpty)
        return {};
    return Retrying([&]() -> QString {
        QSqlQuery Query(Database());
        // An older archive read where it may not be upgraded has no origin table.
        if (!Query.exec(QStringLiteral("SELECT count(*) FROM main.sqlite_master WHERE type = "
                                       "'table' AND name = 'team_origin'")) ||
            !Query.next())
            Fail(QStringLiteral("The archive's origin could not be read from"), Query.lastError());
        if (Query.value(0).toInt() == 0)
            return {};
        if (!Query.exec(QStringLiteral("SELECT uuid FROM main.team_origin")))
            Fail(QStringLiteral("The archive's origin could not be read from"), Query.lastError());
        return Query.next() ? Query.value(0).toString() : QString();
    });
}

namespace {

// The rows a push sends, oldest first.
const char* const WaitingRows = "team_sent_at IS NULL";
// The jobs a push sends after their rows: given since the row, or since the job last sent.
const char* const WaitingJobRows =
    "team_sent_at IS NOT NULL AND job_given_at IS NOT NULL AND team_job_sent_at IS NULL";

} // namespace

std::vector<qint64> TArchive::WaitingIds(const char* Condition) {
    RequireOpen(false);
    if (FEmpty)
        return {};
    return Retrying([&] {
        QSqlQuery Query(Database());
        Query.setForwardOnly(true);
        if (!Query.exec(QStringLiteral("SELECT id FROM measurement WHERE %1 ORDER BY id")
                            .arg(QLatin1String(Condition))))
            Fail(QStringLiteral("The measurements could not be read from"), Query.lastError());
        std::vector<qint64> Ids;
        while (Query.next())
            Ids.push_back(Query.value(0).toLongLong());
        if (Query.lastError().isValid())
            Fail(QStringLiteral("The measurements could not be read from"), Query.lastError());
        return Ids;
    });
}

std::vector<qint64> TArchive::Waiting() {
    return WaitingIds(WaitingRows);
}

std::vector<qint64> TArchive::WaitingJobs() {
    return WaitingIds(WaitingJobRows);
}

TArchive::TTeamCounts TArchive::TeamCounts() {
    RequireOpen(false);
    if (FEmpty)
        return {};
    return Retrying([&]() -> TTeamCounts {
        QSqlQuery Query(Database());
        if (!Query.exec(QStringLiteral("SELECT count(*) - count(team_sent_at), "
                                       "count(team_sent_at), (SELECT count(*) FROM measurement "
                                       "WHERE %1) FROM measurement")
                            .arg(QLatin1String(WaitingJobRows))) ||
            !Query.next())
            Fail(QStringLiteral("The measurements could not be counted in"), Query.lastError());
        return {Query.value(0).toLongLong(), Query.value(1).toLongLong(),
                Query.value(2).toLongLong()};
    });
}

void TArchive::RequireWritable() {
    RequireOpen(true);
}

void TArchive::MarkSent(qint64 Id, const QDateTime& JobGivenAt) {
    RequireOpen(true);
    const QString At = UtcText(QDateTime::currentDateTimeUtc());
    Retrying([&] {
        QSqlQuery Query(Database());
        Query.prepare(QStringLiteral(
            "UPDATE measurement SET team_sent_at = coalesce(team_sent_at, ?), team_job_sent_at = "
            "CASE WHEN job_given_at = ? THEN ? ELSE team_job_sent_at END WHERE id = ?"));
        for (const QVariant& Value :
             {QVariant(At), JobTimeOrNull(JobGivenAt), QVariant(At), QVariant(Id)})
            Query.addBindValue(Value);
        if (!Query.exec())
            Fail(QStringLiteral("The measurement could not be marked as sent in"),
                 Query.lastError());
    });
}
