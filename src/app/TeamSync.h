#pragma once

#include "archive/TeamServer.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QTimer;
class QWidget;
class TArchive;
class TTeamWorker;
struct TTeamItem;

// The window's side of the team archive. Pushes the window's archive to the stored team server
// in the background (at start, after each download, after a job is given) and says how it
// stands in a status-bar field: "Team: 3 waiting", "Team: up to date", "Team: offline"; no field
// without a stored server. The archive is read and marked here, in the window's thread, through
// the window's own archive object (a process holds one connection per archive file); the server
// is talked to in a worker's thread only. A password the server asks for is asked for once and
// kept in memory for this run.
class TTeamSync : public QObject {
    Q_OBJECT
public:
    // The window's archive; nullptr when there is none to read.
    using TArchiveOf = std::function<TArchive*()>;
    TTeamSync(TArchiveOf Archive, QWidget* Window);
    ~TTeamSync() override;

    // The status-bar field ("TeamPanel"), hidden until a server is stored.
    QLabel* Field() const { return FField; }
    // Starts a push, or another one after the one running.
    void Push();
    // The stored server, with the password given in this run; nullopt when none is stored.
    // Raises ETeamError for a stored address that cannot be used.
    std::optional<TTeamServer> Server() const;
    // Asks for the password of the stored server's user after the server asked for one; false
    // when the user cancels.
    bool AskPassword();

    // How many measurements a push reads at once.
    static constexpr size_t BatchSize = 16;
    // After the server could not be reached, the next try.
    static constexpr int RetryMs = 5 * 60 * 1000;

private:
    void Step();
    void Mark(const TTeamItem& Item);
    void Ended(std::exception_ptr Error);
    // The push is over: the field says Text (with Tip), and a push asked for meanwhile starts.
    void End(const QString& Text, const QString& Tip = {});
    QString WaitingText();
    // Shows Text in a box, once in this run.
    void Say(const QString& Text);

    TArchiveOf FArchive;
    QWidget* FWindow;
    QLabel* FField;
    QTimer* FRetry;
    std::unique_ptr<TTeamWorker> FWorker;
    TTeamServer FServer;
    QString FOrigin;
    bool FRunning = false, FAgain = false;
    // A mark that failed ends the push with its words.
    QString FMarkError;
    // The password given in this run, and the server address it was given for.
    QString FPassword, FPasswordFor;
    // Messages already shown in a box in this run: a refusal is said once, not at each push.
    QSet<QString> FShown;
};
