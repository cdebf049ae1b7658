#pragma once

#include "archive/TeamServer.h"

#include <QString>
#include <atomic>
#include <functional>

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
// No widgets and no event loop: the window runs it on a thread of its own. The connections
// (local and server) are made in the thread that calls Run.
class TTeamPush {
public:
    TTeamPush(TTeamServer Server, QString ArchivePath)
        : FServer(std::move(Server)), FArchivePath(std::move(ArchivePath)) {}

    // From any thread: the push stops before its next measurement.
    void Cancel() { FCancel = true; }
    // Called in Run's thread after each measurement: how many of Total are done.
    std::function<void(qint64 Done, qint64 Total)> Progress;

    // Raises EArchiveError for the local archive, ETeamError for the server (unreachable, lost
    // within its time-outs, refused, newer), ETeamConflict for a copied archive. Makes no
    // connection to the server when nothing waits.
    TTeamPushResult Run();

private:
    TTeamServer FServer;
    QString FArchivePath;
    std::atomic<bool> FCancel{false};
};
