#pragma once

#include "archive/Archive.h"
#include "archive/TeamServer.h"

#include <QString>
#include <atomic>
#include <functional>
#include <vector>

class TTeamArchive;

// What a push did.
struct TTeamPushResult {
    qint64 Sent = 0;    // stored on the server by this push
    qint64 Already = 0; // found there already (a push cut after the server's commit)
    qint64 Jobs = 0;    // versions of jobs sent, with their measurements or after them
    qint64 Waiting = 0; // still waiting: the push was cancelled
    bool Cancelled = false;
};

// One thing a push sends: a measurement with its job where one was given, or the job alone of
// a measurement sent before it was given.
struct TTeamItem {
    TArchiveEntry Entry;
    bool JobOnly = false;
};

// Sends the rows of a local archive that are not on the team server yet, oldest first, then the
// jobs given after their rows were sent, each in a server transaction of its own, and marks each
// locally once the server committed it. Cut at any moment, the next push resumes: a row or job
// the server committed but this computer did not mark is recognised by its origin, local id
// (and the job's time) and checksum, never stored twice.
//
// No widgets and no event loop. A process holds one connection per archive file, so a push
// either works on an archive object of the caller's (with Run called in the thread that uses
// it) or, given a path, opens its own in Run's thread for the length of the push (refused when
// this process has the file open already). The server's connection is made in Run's thread.
// A caller that keeps the archive and the server in different threads (the window) runs the
// pieces itself: Next and MarkSent in the archive's thread, Send in the server's.
class TTeamPush {
public:
    TTeamPush(TTeamServer Server, QString ArchivePath)
        : FServer(std::move(Server)), FArchivePath(std::move(ArchivePath)) {}
    TTeamPush(TTeamServer Server, TArchive& Archive)
        : FServer(std::move(Server)), FArchive(&Archive) {}

    // From any thread: the push stops before its next item.
    void Cancel() { FCancel = true; }
    // Called in Run's thread after each item: how many of Total are done.
    std::function<void(qint64 Done, qint64 Total)> Progress;

    // Raises EArchiveError for the local archive (refused, read only, already open in this
    // program), ETeamError for the server (ETeamUnreachable: unreachable, lost within its
    // time-outs; refused, older or newer), ETeamConflict for a copied archive. Makes no
    // connection to the server, and writes nothing, when nothing waits.
    TTeamPushResult Run();

    // The archive's side: up to Count items that wait, measurements before jobs, read whole;
    // empty when nothing waits. Raises EArchiveError where the archive may not be written
    // (every item sent is marked there) or has no origin.
    static std::vector<TTeamItem> Next(TArchive& Archive, size_t Count);
    // The server's side: sends one item of the archive Origin, counting it in Result.
    static void Send(TTeamArchive& Team, const QString& Origin, const TTeamItem& Item,
                     TTeamPushResult& Result);
    // The archive's side again, once Send returned: the item no longer waits.
    static void MarkSent(TArchive& Archive, const TTeamItem& Item);

private:
    TTeamPushResult Push(TArchive& Archive);

    TTeamServer FServer;
    QString FArchivePath;
    TArchive* FArchive = nullptr;
    std::atomic<bool> FCancel{false};
};
