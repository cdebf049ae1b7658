#pragma once

#include "platform/Exception.h"

#include <QString>
#include <QStringList>

// A failure of the team server: the text names the server (never a password), the reason in
// the user's words and the server's own text last.
class ETeamError : public Exception {
public:
    using Exception::Exception;
};

// The server wants a password that neither libpq's password file (~/.pgpass, PGPASSFILE) nor
// TTeamServer::Password gave, or refused the one given: the window asks and tries again.
class ETeamPasswordNeeded : public ETeamError {
public:
    using ETeamError::ETeamError;
};

// The server cannot be reached, did not answer in time, or the connection was lost: the
// measurements wait, nothing else is wrong.
class ETeamUnreachable : public ETeamError {
public:
    using ETeamError::ETeamError;
};

// The user's role may not do what was asked (a technician deleting, say).
class ETeamNotAllowed : public ETeamError {
public:
    using ETeamError::ETeamError;
};

// A team server named by a libpq connection URI,
// "postgresql://user@host:port/dbname?sslmode=verify-full&sslrootcert=/path/root.crt",
// taken apart for Qt's PostgreSQL driver, which takes no URI. Only what a password-free,
// single-server URI may say is accepted; the time-outs that end a wait on a vanished network
// are always set.
struct TTeamServer {
    QString Uri; // as given, for messages and the settings store
    QString Host, User, Database;
    int Port = -1; // -1: libpq's default
    // "key=value" pairs from the URI's query, values quoted for libpq.
    QStringList Parameters;
    // Given in memory only (the window's prompt); never stored, never shown.
    QString Password;

    // Refuses a URI with a password, several hosts, an unknown parameter or a value that
    // libpq would not take, raising ETeamError with the reason.
    static TTeamServer Parse(const QString& Uri);
    // "the team server URI", for messages.
    QString Shown() const;
    // The driver's connect options: the URI's parameters, then the time-outs the URI left
    // unset.
    QString ConnectOptions() const;
};
