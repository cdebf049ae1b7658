#include "app/TeamSync.h"

#include "app/ErrorHandler.h"
#include "app/TeamWorker.h"
#include "archive/Archive.h"
#include "archive/TeamArchive.h"
#include "archive/TeamPush.h"
#include "platform/MessageText.h"
#include "settings/Settings.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

TTeamSync::TTeamSync(TArchiveOf Archive, QWidget* Window)
    : QObject(Window), FArchive(std::move(Archive)), FWindow(Window), FField(new QLabel(Window)),
      FRetry(new QTimer(this)), FWorker(std::make_unique<TTeamWorker>()) {
    setObjectName(QStringLiteral("TeamSync"));
    FField->setObjectName(QStringLiteral("TeamPanel"));
    FField->hide();
    FRetry->setObjectName(QStringLiteral("TeamRetry"));
    FRetry->setSingleShot(true);
    FRetry->setInterval(RetryMs);
    connect(FRetry, &QTimer::timeout, this, ErrorHandler::Guarded([this] { Push(); }));
}

TTeamSync::~TTeamSync() {
    // Before the rest goes: what the worker posts refers to this object.
    FWorker.reset();
}

std::optional<TTeamServer> TTeamSync::Server() const {
    const QString Uri = Settings::TeamServer();
    if (Uri.isEmpty())
        return std::nullopt;
    TTeamServer Server = TTeamServer::Parse(Uri);
    if (FPasswordFor == Server.Uri)
        Server.Password = FPassword;
    return Server;
}

bool TTeamSync::AskPassword() {
    const std::optional<TTeamServer> Asked = Server();
    if (!Asked)
        return false;
    QInputDialog Dialog(FWindow);
    Dialog.setObjectName(QStringLiteral("TeamPassword"));
    Dialog.setWindowTitle(QStringLiteral("Team Server Password"));
    Dialog.setTextEchoMode(QLineEdit::Password);
    Dialog.setLabelText(
        (FPasswordFor == Asked->Uri ? QStringLiteral("The password given was not accepted.\n")
                                    : QString()) +
        QStringLiteral("%1 asks for the password of %2.\nIt is kept until Halvorn closes, "
                       "never stored.")
            .arg(Asked->Shown(), MessageText::Quoted(Asked->User)));
    if (Dialog.exec() != QDialog::Accepted)
        return false;
    FPassword = Dialog.textValue();
    FPasswordFor = Asked->Uri;
    return true;
}

void TTeamSync::Push() {
    if (FRunning) {
        // A download stored meanwhile waits too.
        FAgain = true;
        FField->setText(WaitingText());
        return;
    }
    FRetry->stop();
    std::optional<TTeamServer> Stored;
    try {
        Stored = Server();
    } catch (const Exception& E) {
        FField->show();
        FField->setText(QStringLiteral("Team: offline"));
        FField->setToolTip(E.Message);
        return;
    }
    FField->setVisible(Stored.has_value());
    if (!Stored)
        return;
    FServer = *Stored;
    FRunning = true;
    FAgain = false;
    FMarkError.clear();
    Step();
}

void TTeamSync::Step() {
    std::vector<TTeamItem> Items;
    try {
        if (TArchive* Archive = FArchive()) {
            Items = TTeamPush::Next(*Archive, BatchSize);
            if (!Items.empty())
                FOrigin = Archive->Origin();
        }
    } catch (const Exception& E) {
        End(WaitingText(), E.Message);
        return;
    }
    if (Items.empty()) {
        End(QStringLiteral("Team: up to date"));
        return;
    }
    FField->setText(WaitingText());
    FField->setToolTip(QStringLiteral("Sending to %1").arg(FServer.Shown()));
    const auto Shared = std::make_shared<const std::vector<TTeamItem>>(std::move(Items));
    const TTeamWorker* Worker = FWorker.get();
    FWorker->Run(
        FServer,
        [this, Worker, Shared, Origin = FOrigin](TTeamArchive& Team,
                                                 const TTeamWorker::TPost& Post) {
            Team.Require(true);
            for (const TTeamItem& Item : *Shared) {
                if (Worker->Cancelled())
                    return;
                TTeamPushResult Counted;
                TTeamPush::Send(Team, Origin, Item, Counted);
                // Marked in the window's thread, through the window's archive.
                Post([this, Shared, &Item] { Mark(Item); });
            }
        },
        [this](std::exception_ptr Error) { ErrorHandler::Run([&] { Ended(Error); }); });
}

void TTeamSync::Mark(const TTeamItem& Item) {
    if (!FMarkError.isEmpty())
        return;
    try {
        if (TArchive* Archive = FArchive())
            TTeamPush::MarkSent(*Archive, Item);
        FField->setText(WaitingText());
    } catch (const Exception& E) {
        FMarkError = E.Message;
    }
}

void TTeamSync::Ended(std::exception_ptr Error) {
    if (!Error && FMarkError.isEmpty()) {
        Step();
        return;
    }
    QString Text = FMarkError;
    try {
        if (Error)
            std::rethrow_exception(Error);
    } catch (const ETeamPasswordNeeded&) {
        if (AskPassword()) {
            FServer.Password = FPassword;
            Step();
            return;
        }
        End(WaitingText(), QStringLiteral("%1 asked for a password, and none was given: the "
                                          "measurements wait for the next push.")
                               .arg(FServer.Shown()));
        return;
    } catch (const ETeamUnreachable& E) {
        End(QStringLiteral("Team: offline"), E.Message);
        FRetry->start();
        return;
    } catch (...) {
        Text = ErrorHandler::CurrentExceptionText();
    }
    // Refused (a copied archive, a server of another version, a role that may not send), or
    // the archive could not be marked: said once, and the measurements wait.
    Say(Text);
    End(WaitingText(), Text);
}

void TTeamSync::End(const QString& Text, const QString& Tip) {
    FRunning = false;
    FField->setText(Text);
    FField->setToolTip(Tip.isEmpty() ? FServer.Shown() : Tip);
    if (FAgain)
        Push();
}

QString TTeamSync::WaitingText() {
    try {
        TArchive* Archive = FArchive();
        const TArchive::TTeamCounts Counts =
            Archive ? Archive->TeamCounts() : TArchive::TTeamCounts{};
        const qint64 Waiting = Counts.Waiting + Counts.Jobs;
        return Waiting ? QStringLiteral("Team: %1 waiting").arg(Waiting)
                       : QStringLiteral("Team: up to date");
    } catch (const Exception&) {
        // The archive's own failure is said where it happened.
        return QStringLiteral("Team: waiting");
    }
}

void TTeamSync::Say(const QString& Text) {
    if (FShown.contains(Text))
        return;
    FShown.insert(Text);
    ErrorHandler::Show(Text);
}
