#pragma once

#include "archive/ArchiveError.h"
#include "archive/ArchiveFiles.h"
#include "archive/ArchiveSchema.h"
#include "measurement/Job.h"
#include "report/ReportInfo.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// How a download ended; "imported" for a capture file brought in afterwards, "no-readings"
// for a transfer that ended as a complete one does but holds no readings table (such as the
// rest of a stopped printout).
enum class TArchiveState { Complete, Stopped, Interrupted, Imported, NoReadings };

namespace ArchiveStates {
// "complete", "stopped", "interrupted", "imported", "no-readings"
QString Name(TArchiveState State);
std::optional<TArchiveState> FromName(const QString& Name);
} // namespace ArchiveStates

// One measurement as the list shows it.
struct TArchiveRow {
    qint64 Id = 0;
    QDateTime ReceivedAt; // UTC
    QDateTime Start;      // the report's start, UTC; invalid: the report names none
    QString Port, Device;
    qint64 Bytes = 0;
    QString Sha256; // lower-case hex
    TArchiveState State = TArchiveState::Complete;
    QString Error;
    QString SerialNumber, Location;
    std::optional<int> Readings;        // unset: no readings table
    std::optional<QString> EpaProtocol; // the instrument's figure as printed
    TJob Job;                           // what the client report tells of the job
    QDateTime JobGivenAt;               // when the job was given, UTC; invalid: never
    bool TeamSent = false;              // on the team server
};

// One measurement whole. Report holds the report built (a complete download), as a Save
// writes it; empty for the others.
struct TArchiveEntry : TArchiveRow {
    QByteArray Raw;
    TReportInfo Info;
    QByteArray Report;
    // Not stored: the report's lines as the download built them (BuildReportFromBytes), from
    // which Store takes the list's fields and a complete download's report. Empty: Store
    // builds them the same way.
    QStringList Lines;
};

// What the list is narrowed to: Text found in the serial number, the location or the job's
// client, address, placement or notes (any case),
// started (or, without a start, received) on a day from From to To (local days; an invalid
// date leaves that end open).
struct TArchiveFilter {
    QString Text;
    QDate From, To;
    // The text part alone: the window narrows rows it holds as the user types.
    static bool Matches(const TArchiveRow& Row, const QString& Text);
};

// The measurement archive: one SQLite database, by default InstallDir/Data/archive.sqlite.
// A file at the path that is not this program's archive (not a database, another program's,
// damaged) is refused and left exactly as it is; one of a newer version, or one that cannot
// be written, is opened read only. A process holds at most one object per database file
// (a second is refused): see ArchiveFiles for why.
class TArchive {
public:
    enum class TOpenState { Closed, Writable, ReadOnly, Refused };
    // Read: never writes, not even the log mode (a read-only folder or mount is read).
    enum class TAccess { Write, Read };

    static constexpr int SchemaVersion = ArchiveSchema::Version;
    // "Hlvn": tells this program's archive from any other SQLite database.
    static constexpr qint32 ApplicationId = 0x486c766e;
    static constexpr int BusyTimeoutMs = 10000;

    static QString PathIn(const QString& InstallDir);
    // "the archive PATH (measurement ID)": where a download's bytes went, for messages.
    static QString Where(const QString& Path, qint64 Id);

    explicit TArchive(const QString& Path);
    ~TArchive();
    TArchive(const TArchive&) = delete;
    TArchive& operator=(const TArchive&) = delete;

    // Opens the file, for writing creating it (and its folder) when missing and bringing an
    // older schema up to date. A file that must be left alone gives Refused, one that may
    // only be read ReadOnly, with Message() saying why; a file that cannot be opened or made
    // (full disk, busy for too long) raises EArchiveError and the state stays Closed, so a
    // later call may try again. Reading a file that is not there finds no measurement.
    TOpenState Open(TAccess Access = TAccess::Write);
    TOpenState OpenState() const { return FState; }
    // Why the archive is refused or read only; empty otherwise.
    QString Message() const { return FMessage; }
    QString Path() const { return FPath; }
    // Ends the connection (and this object's claim on the file); a later call opens again.
    void Close();

    // Stores Entry in one transaction: the checksum, byte count and the list's fields are
    // derived here from the raw bytes (and the report information in force); returns the
    // new row's id. Opens the archive when it is closed.
    qint64 Store(TArchiveEntry Entry);

    std::vector<TArchiveRow> List(const TArchiveFilter& Filter = {});
    std::optional<TArchiveEntry> Get(qint64 Id);
    // False when no such row exists.
    bool Remove(qint64 Id);
    // The job of measurement Id, as the client report's dialog gave it; false without the row.
    // Its time is now (later than the one it replaces, whatever the clock did), and it waits
    // for the team server.
    bool SetJob(qint64 Id, const TJob& Job);

    struct TImported {
        qint64 Id = 0; // the new row, or the row that already held the bytes
        bool Duplicate = false;
    };
    // A capture file as a row of state "imported", received at the file's time, with no
    // report information (what is in force now says nothing about an old capture); bytes that
    // are already archived (same SHA-256) are not stored twice. Only regular files are read;
    // the archive's own files are refused without being opened.
    TImported Import(const QString& File);

    // A setting of this object's connection as SQLite reports it ("synchronous": "2" is
    // FULL), for checks of how the archive keeps its data.
    QString Pragma(const QString& Name);

    // The list's fields, as Store derives them from the report's lines (a complete download
    // without a readings table becomes "no-readings").
    static void Describe(TArchiveEntry& Entry);
    // Report lines as a Save writes them.
    static QByteArray ReportBytes(const QStringList& Lines);
    // The report as a Save writes it: the one stored, else built from the bytes with the
    // report information stored beside them.
    static QByteArray ReportFileOf(const TArchiveEntry& Entry);

    // --- The team archive's side ---
    // The reading ones work on an archive opened for reading too, and write nothing there: an
    // older archive that may not be upgraded has no origin and every row waiting.

    // The UUID the archive got when it was made (or brought to the version with the team
    // archive): with a row's id it names the measurement on the team server. Empty where the
    // archive has none.
    QString Origin();
    // The rows not yet on the team server, oldest first, whatever their state.
    std::vector<qint64> Waiting();
    // The rows on the team server whose job was given (or changed) since, oldest first.
    std::vector<qint64> WaitingJobs();
    struct TTeamCounts {
        qint64 Waiting = 0, Sent = 0;
        qint64 Jobs = 0; // jobs waiting, of rows sent
    };
    TTeamCounts TeamCounts();
    // Opens the archive for writing where it is closed or open for reading only; EArchiveError
    // where it may not be written. A push asks before it sends, since it marks every row.
    void RequireWritable();
    // Called once the server has committed the row, and with it the job given at JobGivenAt
    // (invalid: none): a job given again meanwhile still waits.
    void MarkSent(qint64 Id, const QDateTime& JobGivenAt = {});

private:
    void RequireOpen(bool ForWriting);
    QSqlDatabase Database() const;
    std::vector<qint64> WaitingIds(const char* Condition);
    // Runs Op again after a short pause while it fails in a way worth another try.
    template <class TOp> auto Retrying(TOp&& Op);
    // Raises EArchiveError for What ("Cannot open", ...) with the reason; a damaged file only
    // when SQLite's quick check says so.
    [[noreturn]] void Fail(const QString& What, const class QSqlError& Error);
    // This object's connection, opened read only with URI Parameters ("mode=ro").
    QSqlDatabase ConnectReadOnly(const char* Parameters);
    // What tells this program's archive from any other database, and which version it is.
    struct TIdentity {
        qint64 AppId = 0, Version = 0, Objects = 0;
    };
    TIdentity ReadIdentity(class QSqlQuery& Query, const QString& What);
    // The file's own verdict before this object's connection is made: false when it is
    // refused (the state says why).
    bool JudgeFile();
    // False (and the state set) for another program's database or an impossible version; a
    // newer archive sets FNewerVersion.
    bool Judge(qint64 AppId, bool HasObjects, qint64 Version);
    // Leaves the state Closed when the archive turned out newer than this program.
    void OpenWritable();
    void OpenReadOnly(TAccess Access);
    // Brings the schema up to date under the write lock; false when the file turned out not to
    // be ours (refused) or newer.
    bool Prepare();
    void FillStarts();
    void Refuse(const QString& Text);
    static QString LeftAlone();
    qint64 Insert(TArchiveEntry& Entry);

    QString FPath;
    QString FConnection;
    TOpenState FState = TOpenState::Closed;
    QString FMessage;
    ArchiveFiles::TClaim FClaim;
    // Read only without tables to read (an empty database, or no file).
    bool FEmpty = false;
    TAccess FAccess = TAccess::Write;
    // The version of an archive written by a newer program; 0 otherwise.
    qint64 FNewerVersion = 0;
};
