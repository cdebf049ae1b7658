#include "app/TeamWorker.h"

#include "archive/TeamArchive.h"
#include "archive/TeamConnection.h"

TTeamWorker::TTeamWorker(QObject* Parent) : QObject(Parent), FContext(new QObject) {
    FThread.setObjectName(QStringLiteral("TeamWorker"));
    FContext->moveToThread(&FThread);
    FThread.start();
}

TTeamWorker::~TTeamWorker() {
    FCancel = true;
    // The connection belongs to the worker's thread: it is closed there, after the piece
    // running (the pieces queued after it do nothing now).
    QMetaObject::invokeMethod(
        FContext.get(),
        [this] {
            FConnection.reset();
            FThread.quit();
        },
        Qt::QueuedConnection);
    FThread.wait();
}

void TTeamWorker::Run(const TTeamServer& Server, TWork Work, TDone Done) {
    ++FPending;
    const TPost Post = [this](std::function<void()> Function) {
        QMetaObject::invokeMethod(this, std::move(Function), Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(
        FContext.get(),
        [this, Server, Work = std::move(Work), Done = std::move(Done), Post] {
            if (FCancel)
                return;
            std::exception_ptr Error;
            // A password given since asks for a connection of its own.
            const QString To = Server.Uri + QLatin1Char('\n') + Server.Password;
            try {
                if (!FConnection || FConnectedTo != To) {
                    FConnection.reset();
                    FConnection = std::make_unique<TTeamConnection>(Server);
                    FConnectedTo = To;
                }
                TTeamArchive Team(*FConnection);
                Work(Team, Post);
            } catch (...) {
                Error = std::current_exception();
                FConnection.reset();
            }
            Post([this, Done, Error] {
                --FPending;
                Done(Error);
            });
        },
        Qt::QueuedConnection);
}
