#pragma once

#include "archive/TeamServer.h"

#include <QString>
#include <atomic>
#include <functional>

class TArchive;

// What a push did.
struct TTeamPushResult {
    qint64 Sent = 0;    // stored on the server by this push
    qint64 Already = 0; // found there already (a push cut after the server's commit)
    qint64 Waiting = 0; // still waiting: the push was cancelled
    bool Cancelled = false;
};

// Sends the rows of a local archive that are not on the team server yet, oldest first, each in
// a server transaction of its own, and marks each locally once the server committed it. Cut
// at any moment, the next push resumes: a row the server committed but this computer did not
// mark is recognised by its origin, local id and checksum, never stored twice.
//
// No widgets and no event loop. A process holds one connection per archive file, so a push
// either works on an archive object of the caller's (the window's, with Run called in the
// thread that uses it) or, given a path, opens its own in Run's thread for the length of the
// push (refused when this process has the file open already). The server's connection is
// made in Run's thread.
class TTeamPush {
public:
    TTeamPush(TTeamServer Server, QString ArchivePath)
        : FServer(std::move(Server)), FArchivePath(std::move(ArchivePath)) {}
    TTeamPush(TTeamServer Server, TArchive& Archive)
        : FServer(std::move(Server)), FArchive(&Archive) {}

    // From any thread: the push stops before its next measurement.
    void Cancel() { FCancel = true; }
    // Called in Run's thread after each measurement: how many of Total are done.
    std::function<void(qint64 Done, qint64 Total)> Progress;

    // Raises EArchiveError for the local archive (refused, read only, already open in this
    // program), ETeamError for the server (unreachable, lost within its time-outs, refused,
    // newer), ETeamConflict for a copied archive. Makes no connection to the server, and
    // writes nothing, when nothing waits.
    TTeamPushResult Run();

private:
    TTeamPushResult Push(TArchive& Archive);

    TTeamServer FServer;
    QString FArchivePath;
    TArchive* FArchive = nullptr;
    std::atomic<bool> FCancel{false};
};
