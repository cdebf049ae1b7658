#pragma once

#include "archive/Archive.h"
#include "archive/TeamConnection.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// A measurement on the server whose (origin, local id) holds other bytes than the laptop's:
// the archive was copied to another computer, or its origin was. Never skipped.
class ETeamConflict : public ETeamError {
public:
    using ETeamError::ETeamError;
};

// A measurement as the team list shows it: the row of the local list (its latest job among it),
// its id the server's, and where it came from.
struct TTeamRow {
    TArchiveRow Row;
    QString Origin; // the UUID of the laptop's archive
    qint64 LocalId = 0;
};

struct TTeamEntry {
    TArchiveEntry Entry;
    QString Origin;
    qint64 LocalId = 0;
};

// Where a page of the list ends: the next page starts after it.
struct TTeamCursor {
    QString Key; // the row's start, else its receipt, as the server writes it (UTC)
    qint64 Id = 0;
};

// One page of the list, newest first, narrowed as the local list is (text in the serial
// number, location or the latest job, local days of the start where there is one, else of the
// receipt).
struct TTeamQuery {
    TArchiveFilter Filter;
    int Limit = 200;
    std::optional<TTeamCursor> After;
};

struct TTeamPage {
    std::vector<TTeamRow> Rows;
    std::optional<TTeamCursor> Next; // unset: this was the last page
};

// What "team init" did, in sentences for the user.
struct TTeamInit {
    int From = 0, To = 0; // schema versions before and after
    QStringList Notes;
};

// The team archive on a PostgreSQL server: the schema "halvorn" with its version in a table of
// its own, the measurements keyed by the server's id and unique on (origin, local id), every
// version of their jobs, and two roles: halvorn_technician (insert and read) and halvorn_office
// (read and delete). Works on a connection of the caller's thread.
class TTeamArchive {
public:
    // The version this program writes; "team init" brings older schemas up to it.
    static constexpr int SchemaVersion = 3;
    static constexpr const char* TechnicianRole = "halvorn_technician";
    static constexpr const char* OfficeRole = "halvorn_office";

    explicit TTeamArchive(TTeamConnection& Connection) : FConnection(Connection) {}

    // The schema's version; 0 where there is none.
    int Version();
    // Makes the schema or brings it up to date in one transaction (a newer one is refused);
    // with Roles, makes the two roles where missing and grants them what they need on this
    // database, noting what it could not do.
    TTeamInit Init(bool Roles);
    // The steps up to version To alone, for a server that is to stay at an older version.
    void Upgrade(int To);

    // Sends one measurement of the archive Origin, with its job where one was given, in its
    // own transaction: true when stored, false when the server already held it (a push cut
    // after the commit). Raises ETeamConflict when the server holds other bytes under its
    // origin and local id.
    bool Send(const QString& Origin, const TArchiveEntry& Entry);
    // Sends the job of a measurement the server holds, in its own transaction; a version the
    // server has already is not stored twice.
    enum class TJobSent {
        Stored,
        Already,
        Gone, // the server holds no such measurement: the office deleted it
    };
    TJobSent SendJob(const QString& Origin, const TArchiveEntry& Entry);

    TTeamPage List(const TTeamQuery& Query);
    std::optional<TTeamEntry> Get(qint64 Id);
    // False when no such row exists; ETeamNotAllowed for a role that may not delete.
    bool Remove(qint64 Id);

    // Raises ETeamError unless the schema is there, and for writing not newer than this
    // program's.
    void Require(bool ForWriting);

private:
    void Grant(TTeamInit& Done);
    TTeamConnection& FConnection;
    // Send's statements, prepared on the server once per archive object.
    std::optional<QSqlQuery> FInsert, FContent, FHeld;
};
