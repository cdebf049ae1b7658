#include "archive/TeamServer.h"

#include "platform/MessageText.h"

#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <QUrlQuery>

namespace {

// The parameters a URI may carry: TLS, time-outs and the program's name on the server.
// Anything else (host lists, service files, a password) is refused rather than ignored.
const QSet<QString>& KnownParameters() {
    static const QSet<QString> Known{"sslmode",
                                     "sslrootcert",
                                     "sslcert",
                                     "sslkey",
                                     "sslcrl",
                                     "sslcompression",
                                     "connect_timeout",
                                     "keepalives",
                                     "keepalives_idle",
                                     "keepalives_interval",
                                     "keepalives_count",
                                     "tcp_user_timeout",
                                     "application_name",
                                     "passfile",
                                     "target_session_attrs"};
    return Known;
}

// A vanished network (a suspended laptop, a pulled cable) ends a wait within about half a
// minute: the connect time-out, a dead peer found by keepalives and unacknowledged data by
// the TCP user time-out. A statement the server takes longer than a minute for is cut off.
const char* const TimeOuts[][2] = {
    {"connect_timeout", "10"},
    {"keepalives", "1"},
    {"keepalives_idle", "10"},
    {"keepalives_interval", "5"},
    {"keepalives_count", "3"},
    {"tcp_user_timeout", "20000"},
    {"options", "'-c statement_timeout=60000 -c lock_timeout=30000 "
                "-c idle_in_transaction_session_timeout=60000 -c client_min_messages=warning'"},
};

// The address as a message may show it: a password given in it is left out.
QString WithoutPassword(const QString& Uri) {
    static const QRegularExpression UserInfo(QStringLiteral("^([A-Za-z]+://[^:@/]*):[^@/]*@"));
    return QString(Uri).replace(UserInfo, QStringLiteral("\\1@"));
}

[[noreturn]] void Refuse(const QString& Uri, const QString& Why) {
    throw ETeamError(QStringLiteral("The team server address %1 cannot be used: %2.")
                         .arg(MessageText::Quoted(WithoutPassword(Uri), 300), Why));
}

} // namespace

TTeamServer TTeamServer::Parse(const QString& Uri) {
    const QString Given = Uri.trimmed();
    const QUrl Url(Given, QUrl::StrictMode);
    if (Given.isEmpty())
        Refuse(Given, QStringLiteral("it is empty"));
    if (Url.scheme() != QLatin1String("postgresql") && Url.scheme() != QLatin1String("postgres"))
        Refuse(Given, QStringLiteral("it must begin with postgresql://"));
    // A password in the address would end up in the settings store and in messages.
    if (!Url.password().isEmpty() || Url.userInfo().contains(QLatin1Char(':')))
        Refuse(Given, QStringLiteral("it holds a password; put the password in ~/.pgpass "
                                     "instead (see the README)"));
    const QString Authority =
        Given.section(QLatin1String("://"), 1).section(QLatin1Char('/'), 0, 0);
    if (Authority.contains(QLatin1Char(',')))
        Refuse(Given, QStringLiteral("it names several servers; give one"));
    if (!Url.isValid())
        Refuse(Given, QStringLiteral("it is not a valid address (%1)").arg(Url.errorString()));

    TTeamServer S;
    S.Uri = Given;
    S.Host = Url.host(QUrl::FullyDecoded);
    S.User = Url.userName(QUrl::FullyDecoded);
    S.Port = Url.port(-1);
    S.Database = Url.path(QUrl::FullyDecoded).mid(1);
    if (S.Database.contains(QLatin1Char('/')))
        Refuse(Given, QStringLiteral("the database name holds a '/'"));
    QSet<QString> Seen;
    for (const auto& [Key, Value] : QUrlQuery(Url).queryItems(QUrl::FullyDecoded)) {
        if (!KnownParameters().contains(Key))
            Refuse(Given, QStringLiteral("the parameter %1 is not one Halvorn knows")
                              .arg(MessageText::Quoted(Key)));
        if (Seen.contains(Key))
            Refuse(Given, QStringLiteral("the parameter %1 is given twice").arg(Key));
        Seen.insert(Key);
        // The driver turns every ';' of its options into a space.
        if (Value.contains(QLatin1Char(';')) || Value.isEmpty())
            Refuse(Given, QStringLiteral("the value of %1 is empty or holds a ';'").arg(Key));
        static const QStringList Modes{"disable", "allow",     "prefer",
                                       "require", "verify-ca", "verify-full"};
        if (Key == QLatin1String("sslmode") && !Modes.contains(Value))
            Refuse(Given, QStringLiteral("sslmode wants one of %1").arg(Modes.join(", ")));
        QString Quoted = Value;
        Quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('\''), QLatin1String("\\'"));
        S.Parameters << Key + QStringLiteral("='") + Quoted + QLatin1Char('\'');
    }
    return S;
}

QString TTeamServer::Shown() const {
    return QStringLiteral("the team server ") + MessageText::Shown(Uri, 300);
}

QString TTeamServer::ConnectOptions() const {
    QStringList Options = Parameters;
    for (const auto& Pair : TimeOuts) {
        const QString Key = QLatin1String(Pair[0]);
        const bool Given =
            std::any_of(Parameters.cbegin(), Parameters.cend(),
                        [&](const QString& P) { return P.startsWith(Key + QLatin1Char('=')); });
        if (!Given)
            Options << Key + QLatin1Char('=') + QLatin1String(Pair[1]);
    }
    return Options.join(QLatin1Char(';'));
}
