#pragma once

#include "archive/TeamServer.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class TTeamArchive;
class TTeamConnection;

// Work on the team server in a thread of its own, so that a window never waits on the network:
// each piece runs there in turn, on a connection made there, kept for the next piece to the same
// server and dropped after a failure. The window's own objects (its archive above all) stay in
// the window's thread: a piece hands results back with Post.
class TTeamWorker : public QObject {
    Q_OBJECT
public:
    // Runs a function in this object's thread, after what was posted before.
    using TPost = std::function<void(std::function<void()>)>;
    using TWork = std::function<void(TTeamArchive& Team, const TPost& Post)>;
    // Error: what the piece (or the connection) raised; null when it ended well.
    using TDone = std::function<void(std::exception_ptr Error)>;

    explicit TTeamWorker(QObject* Parent = nullptr);
    // Cancels, then waits for the piece running: at most the connection's time-outs.
    ~TTeamWorker() override;

    // Runs Work in the worker's thread on a connection to Server, then Done in this object's
    // thread, after everything Work posted.
    void Run(const TTeamServer& Server, TWork Work, TDone Done);
    // Pieces given to Run whose Done has not run yet.
    int Pending() const { return FPending; }
    // Set when this object goes: a piece's loop asks before each step.
    bool Cancelled() const { return FCancel; }

private:
    QThread FThread;
    // Lives in FThread: what the pieces are queued to.
    std::unique_ptr<QObject> FContext;
    // Made, used and dropped in FThread only.
    std::unique_ptr<TTeamConnection> FConnection;
    QString FConnectedTo;
    int FPending = 0;
    std::atomic<bool> FCancel{false};
};
