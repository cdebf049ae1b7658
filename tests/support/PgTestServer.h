#pragma once

#include "archive/TeamConnection.h"

#include <QStringList>
#include <QTemporaryDir>

// PostgreSQL for the team archive's tests, through scripts/pg-test-server.
namespace PgTest {

// Empty when the server's programs are installed; else why a test skips.
QString Missing();

// A private server in a temporary folder, started at once, stopped at the end: for a test that
// kills or reconfigures its server.
class TServer {
public:
    TServer();
    ~TServer();
    QString Uri() const { return FUri; } // the superuser's; empty when the start failed
    QString RootCert() const { return FDir.filePath(QStringLiteral("server.crt")); }
    // SIGKILL to the server and every process of it, as a crash would.
    void Kill();
    bool Start();

private:
    QTemporaryDir FDir;
    QString FUri;
};

// The superuser URI of the server scripts/test started (HALVORN_TEST_PG), else of a private one
// kept for this process; empty when none can be had.
QString SharedUri();

// A database of its own on ServerUri's server for one test, with login users made for it;
// dropped at the end.
class TDatabase {
public:
    explicit TDatabase(const QString& ServerUri);
    ~TDatabase();
    TTeamServer Server(const QString& User = QStringLiteral("postgres"),
                       const QString& Query = {}) const;
    // Runs Sql as the superuser in this database, on a connection of its own (the server may
    // have been restarted since).
    QVariant Exec(const QString& Sql);
    // A new login user, member of Role when given.
    QString User(const QString& Role = {});

private:
    TTeamServer FAdmin;
    QString FName;
    QStringList FUsers;
};

} // namespace PgTest
