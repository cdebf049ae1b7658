#pragma once

#include "platform/Exception.h"
#include "report/ReportInfo.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// How a download ended; "imported" for a capture file brought in afterwards.
enum class TArchiveState { Complete, Stopped, Interrupted, Imported };

namespace ArchiveStates {
QString Name(TArchiveState State); // "complete", "stopped", "interrupted", "imported"
std::optional<TArchiveState> FromName(const QString& Name);
} // namespace ArchiveStates

// One measurement as the list shows it.
struct TArchiveRow {
    qint64 Id = 0;
    QDateTime ReceivedAt; // UTC
    QString Port, Device;
    qint64 Bytes = 0;
    QString Sha256; // lower-case hex
    TArchiveState State = TArchiveState::Complete;
    QString Error;
    QString SerialNumber, Location;
    std::optional<int> Readings;        // unset: no readings table
    std::optional<QString> EpaProtocol; // the instrument's figure as printed
};

// One measurement whole. Report holds the report built (a complete download), as a Save
// writes it; empty for the others.
struct TArchiveEntry : TArchiveRow {
    QByteArray Raw;
    TReportInfo Info;
    QByteArray Report;
};

// What the list is narrowed to: Text found in the serial number or the location (any case),
// received on a day from From to To (local days; an invalid date leaves that end open).
struct TArchiveFilter {
    QString Text;
    QDate From, To;
    // The text part alone: the window narrows rows it holds as the user types.
    static bool Matches(const TArchiveRow& Row, const QString& Text);
};

// A failure of the archive: the text names the database file, the reason in the user's words
// and the database's own text last.
class EArchiveError : public Exception {
public:
    using Exception::Exception;
};

// The measurement archive: one SQLite database, by default InstallDir/Data/archive.sqlite.
// A file at the path that is not this program's archive (not a database, another program's,
// damaged) is refused and left exactly as it is; one of a newer version is opened read only.
// Each object has a connection of its own, so objects may live in several threads.
class TArchive {
public:
    enum class TOpenState { Closed, Writable, ReadOnly, Refused };

    // The version this program writes; older archives are brought up to it on opening.
    static constexpr int SchemaVersion = 3;
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

    // Opens the file, creating it (and its folder) when missing, and brings an older schema up
    // to date. A file that must be left alone gives Refused or ReadOnly with Message() saying
    // why; a file that cannot be opened or made (read-only folder, full disk) raises
    // EArchiveError and the state stays Closed, so a later call may try again.
    TOpenState Open();
    TOpenState OpenState() const { return FState; }
    // Why the archive is refused or read only; empty otherwise.
    QString Message() const { return FMessage; }
    QString Path() const { return FPath; }

    // Stores Entry in one transaction: the checksum, byte count and the list's fields are
    // derived here from the raw bytes (and the report information in force); returns the
    // new row's id. Opens the archive when it is closed.
    qint64 Store(TArchiveEntry Entry);

    std::vector<TArchiveRow> List(const TArchiveFilter& Filter = {});
    std::optional<TArchiveEntry> Get(qint64 Id);
    // False when no such row exists.
    bool Remove(qint64 Id);

    struct TImported {
        qint64 Id = 0; // the new row, or the row that already held the bytes
        bool Duplicate = false;
    };
    // A capture file as a row of state "imported", received at the file's time; bytes that are
    // already archived (same SHA-256) are not stored twice.
    TImported Import(const QString& File, const TReportInfo& Info);

    // The list's fields of raw bytes, as Store derives them.
    static void Describe(TArchiveEntry& Entry);
    // Report lines as a Save writes them.
    static QByteArray ReportBytes(const QStringList& Lines);
    // The report of bytes as received, built with Info as the download would have built it.
    static QStringList BuildFrom(const QByteArray& Raw, const TReportInfo& Info);
    // The report as a Save writes it: the one stored, else built from the bytes with the
    // report information stored beside them.
    static QByteArray ReportFileOf(const TArchiveEntry& Entry);

    // --- The team archive's side ---
    // The UUID the archive got when it was made (or brought to version 3): with a row's id it
    // names the measurement on the team server.
    QString Origin();
    // The rows not yet on the team server, oldest first, whatever their state.
    std::vector<qint64> Waiting();
    struct TTeamCounts {
        qint64 Waiting = 0, Sent = 0;
    };
    TTeamCounts TeamCounts();
    // Called once the server has committed the row.
    void MarkSent(qint64 Id);

private:
    void RequireOpen(bool ForWriting);
    [[noreturn]] void Fail(const QString& What, const class QSqlError& Error) const;
    // Brings the schema up to date under the write lock; false when the file turned out not to
    // be ours or newer (the state then says so).
    bool Prepare();
    // False (and the state set) for another program's database or a newer archive.
    bool Judge(qint64 AppId, qint64 Objects, qint64 Version);
    void Refuse(const QString& Text);
    static QString LeftAlone();

    QString FPath;
    QString FConnection;
    TOpenState FState = TOpenState::Closed;
    QString FMessage;
};
