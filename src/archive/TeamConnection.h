#pragma once

#include "archive/TeamServer.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

class QSqlError;

// One connection to a team server, for the thread that made it (Qt's SQL connections belong
// to one thread): the push, the list and the office's commands each make their own. Every
// statement is prepared and takes its values as bound parameters.
class TTeamConnection {
public:
    // Connects at once; raises ETeamError (ETeamPasswordNeeded where a password is wanted)
    // naming the server.
    explicit TTeamConnection(const TTeamServer& Server);
    ~TTeamConnection();
    TTeamConnection(const TTeamConnection&) = delete;
    TTeamConnection& operator=(const TTeamConnection&) = delete;

    const TTeamServer& Server() const { return FServer; }

    // Runs Sql with Values bound in order; on failure raises ETeamError "What the team server
    // ...: reason".
    QSqlQuery Run(const QString& What, const QString& Sql, const QVariantList& Values = {});
    // A statement prepared once on the server, for Exec to run many times (a push's rows).
    QSqlQuery Prepare(const QString& What, const QString& Sql);
    void Exec(const QString& What, QSqlQuery& Query, const QVariantList& Values);
    // The first column of the first row, or an invalid QVariant without a row.
    QVariant Value(const QString& What, const QString& Sql, const QVariantList& Values = {});
    void Begin(const QString& What);
    void Commit(const QString& What);
    // Quietly: the transaction may have died with the connection.
    void Rollback();

    // Raises ETeamError (ETeamNotAllowed for a refused privilege) naming the server.
    [[noreturn]] void Fail(const QString& What, const QSqlError& Error) const;

private:
    QSqlDatabase Db() const;

    TTeamServer FServer;
    QString FName;
};
