#include "archive/TeamConnection.h"

#include "platform/MessageText.h"

#include <QAtomicInteger>
#include <QSqlError>

namespace {

QString NewConnectionName() {
    static QAtomicInteger<quint64> Count;
    return QStringLiteral("halvorn-team-%1").arg(Count.fetchAndAddRelaxed(1) + 1);
}

bool Says(const QSqlError& Error, const char* Text) {
    return Error.text().contains(QLatin1String(Text), Qt::CaseInsensitive);
}

// The network's part: no server there, no answer in time, a connection lost.
enum class TKind { Other, Unreachable, TimedOut, Lost };

TKind KindOf(const QSqlError& Error) {
    const QString State = Error.nativeErrorCode();
    if (Says(Error, "timeout expired") || Says(Error, "timed out"))
        return TKind::TimedOut;
    if (Says(Error, "Connection refused") || Says(Error, "could not translate host name") ||
        Says(Error, "No route to host") || Says(Error, "Network is unreachable"))
        return TKind::Unreachable;
    // libpq begins every failed connect with "connection to server ... failed": one the server
    // itself refused (FATAL: no such database or user) is no network's fault.
    if (State.startsWith(QLatin1String("08")) || State.startsWith(QLatin1String("57P")) ||
        Says(Error, "server closed the connection") ||
        (Says(Error, "connection to server") && !Says(Error, "FATAL")) ||
        Says(Error, "no connection to the server") || Says(Error, "terminating connection"))
        return TKind::Lost;
    return TKind::Other;
}

struct TReason {
    QString Text;
    bool Network = false; // the network's part: the server is offline for this computer
};

// The server's SQLSTATE classes and libpq's texts that say something to the user.
TReason ReasonFor(const QSqlError& Error, const QString& User) {
    const QString State = Error.nativeErrorCode();
    if (State == QLatin1String("42501"))
        return {QStringLiteral("the user %1 may not do this").arg(MessageText::Quoted(User))};
    if (State == QLatin1String("57014"))
        return {QStringLiteral("the server did not finish in time")};
    if (State == QLatin1String("28P01") || State == QLatin1String("28000") ||
        Says(Error, "password authentication failed"))
        return {QStringLiteral("the server did not accept the user or password")};
    if (Says(Error, "no password supplied"))
        return {QStringLiteral("the server wants a password (put it in ~/.pgpass)")};
    if (Says(Error, "SSL") || Says(Error, "certificate"))
        return {QStringLiteral("no secure connection (TLS) as the address asks for could be made")};
    switch (KindOf(Error)) {
    case TKind::TimedOut:
        return {QStringLiteral("the server did not answer in time"), true};
    case TKind::Unreachable:
        return {QStringLiteral("the server cannot be reached (is it running, is the network "
                               "there, is the address right?)"),
                true};
    case TKind::Lost:
        return {QStringLiteral("the connection to the server was lost"), true};
    case TKind::Other:
        break;
    }
    if (State == QLatin1String("3D000"))
        return {QStringLiteral("the database does not exist")};
    return {QStringLiteral("the server reported an error")};
}

} // namespace

TTeamConnection::TTeamConnection(const TTeamServer& Server)
    : FServer(Server), FName(NewConnectionName()) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        throw ETeamError(QStringLiteral("Cannot connect to %1: the PostgreSQL driver of Qt is "
                                        "not installed (Debian: libqt6sql6-psql).")
                             .arg(FServer.Shown()));
    QSqlDatabase Db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), FName);
    Db.setHostName(FServer.Host);
    Db.setDatabaseName(FServer.Database);
    Db.setUserName(FServer.User);
    Db.setPassword(FServer.Password);
    Db.setPort(FServer.Port);
    Db.setConnectOptions(FServer.ConnectOptions());
    if (!Db.open()) {
        const QSqlError Error = Db.lastError();
        if (Says(Error, "no password supplied") || Says(Error, "password authentication failed"))
            throw ETeamPasswordNeeded(QStringLiteral("Cannot connect to %1: %2.\nDetails: %3")
                                          .arg(FServer.Shown(), ReasonFor(Error, FServer.User).Text,
                                               MessageText::Shown(Error.text(), 400)));
        Fail(QStringLiteral("Cannot connect to"), Error);
    }
}

TTeamConnection::~TTeamConnection() {
    {
        QSqlDatabase Db = QSqlDatabase::database(FName, false);
        Db.close();
    }
    QSqlDatabase::removeDatabase(FName);
}

QSqlDatabase TTeamConnection::Db() const {
    return QSqlDatabase::database(FName, false);
}

void TTeamConnection::Fail(const QString& What, const QSqlError& Error) const {
    const QString User = FServer.User.isEmpty() ? QStringLiteral("(yours)") : FServer.User;
    const TReason Reason = ReasonFor(Error, User);
    const QString Text = QStringLiteral("%1 %2: %3.\nDetails: %4")
                             .arg(What, FServer.Shown(), Reason.Text,
                                  MessageText::Shown(Error.text().simplified(), 400));
    if (Error.nativeErrorCode() == QLatin1String("42501"))
        throw ETeamNotAllowed(Text);
    if (Reason.Network)
        throw ETeamUnreachable(Text);
    throw ETeamError(Text);
}

QSqlQuery TTeamConnection::Run(const QString& What, const QString& Sql,
                               const QVariantList& Values) {
    QSqlQuery Query(Db());
    Query.setForwardOnly(true);
    // The driver prepares on the server, which takes no definitions (CREATE, GRANT, DO): a
    // statement without values, always a constant of this program, goes as it is.
    if (Values.isEmpty()) {
        if (!Query.exec(Sql))
            Fail(What, Query.lastError());
        return Query;
    }
    Query = Prepare(What, Sql);
    Exec(What, Query, Values);
    return Query;
}

QSqlQuery TTeamConnection::Prepare(const QString& What, const QString& Sql) {
    QSqlQuery Query(Db());
    Query.setForwardOnly(true);
    if (!Query.prepare(Sql))
        Fail(What, Query.lastError());
    return Query;
}

void TTeamConnection::Exec(const QString& What, QSqlQuery& Query, const QVariantList& Values) {
    for (int I = 0; I < Values.size(); ++I)
        Query.bindValue(I, Values[I]);
    if (!Query.exec())
        Fail(What, Query.lastError());
}

QVariant TTeamConnection::Value(const QString& What, const QString& Sql,
                                const QVariantList& Values) {
    QSqlQuery Query = Run(What, Sql, Values);
    return Query.next() ? Query.value(0) : QVariant();
}

void TTeamConnection::Begin(const QString& What) {
    QSqlDatabase D = Db();
    if (!D.transaction())
        Fail(What, D.lastError());
}

void TTeamConnection::Commit(const QString& What) {
    QSqlDatabase D = Db();
    if (!D.commit())
        Fail(What, D.lastError());
}

void TTeamConnection::Rollback() {
    QSqlDatabase D = Db();
    D.rollback();
}
