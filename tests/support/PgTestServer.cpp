#include "PgTestServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QVariant>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace PgTest {

namespace {

QString Script(const QStringList& Arguments, bool* Ok) {
    QProcess P;
    P.start(QStringLiteral(HALVORN_PG_TEST_SERVER), Arguments);
    *Ok = P.waitForFinished(120000) && P.exitStatus() == QProcess::NormalExit && P.exitCode() == 0;
    return QString::fromLocal8Bit(P.readAllStandardOutput()).trimmed();
}

// The ids of the processes whose parent is Parent.
std::vector<pid_t> Children(pid_t Parent) {
    std::vector<pid_t> Found;
    for (const QString& Name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool Number = false;
        const pid_t Pid = Name.toInt(&Number);
        if (!Number)
            continue;
        QFile Stat(QStringLiteral("/proc/%1/stat").arg(Pid));
        if (!Stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces, the last ')' ends it.
        const QByteArray Line = Stat.readAll();
        const QList<QByteArray> After = Line.mid(Line.lastIndexOf(')') + 2).split(' ');
        if (After.size() > 1 && After[1].toInt() == Parent)
            Found.push_back(Pid);
    }
    return Found;
}

bool Gone(pid_t Pid) {
    QFile Stat(QStringLiteral("/proc/%1/stat").arg(Pid));
    if (!Stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray Line = Stat.readAll();
    return Line.mid(Line.lastIndexOf(')') + 2, 1) == "Z";
}

} // namespace

QString Missing() {
    bool Ok = false;
    Script({QStringLiteral("available")}, &Ok);
    return Ok ? QString()
              : QStringLiteral("PostgreSQL's server programs are not installed (Debian: "
                               "postgresql): the team archive's server tests skip");
}

TServer::TServer() {
    Start();
}

TServer::~TServer() {
    bool Ok = false;
    Script({QStringLiteral("stop"), FDir.path()}, &Ok);
}

bool TServer::Start() {
    bool Ok = false;
    const QString Uri = Script({QStringLiteral("start"), FDir.path()}, &Ok);
    FUri = Ok ? Uri : QString();
    return Ok;
}

void TServer::Kill() {
    QFile Pid(FDir.filePath(QStringLiteral("data/postmaster.pid")));
    if (!Pid.open(QIODevice::ReadOnly))
        return;
    const pid_t Master = Pid.readLine().trimmed().toInt();
    // Stopped first, it forks no new process while its children are found.
    ::kill(Master, SIGSTOP);
    std::vector<pid_t> All = Children(Master);
    All.push_back(Master);
    for (pid_t P : All)
        ::kill(P, SIGKILL);
    for (int I = 0; I < 500 && !std::all_of(All.begin(), All.end(), Gone); ++I)
        QThread::msleep(10);
    // A dead postmaster not yet reaped by init still answers kill(pid, 0), and the next start
    // would take it for a running one: its lock file goes, as after a crash.
    Pid.remove();
}

QString SharedUri() {
    const QString Given = qEnvironmentVariable("HALVORN_TEST_PG");
    if (!Given.isEmpty())
        return Given;
    if (!Missing().isEmpty())
        return {};
    static TServer Own;
    return Own.Uri();
}

TDatabase::TDatabase(const QString& ServerUri) : FAdmin(TTeamServer::Parse(ServerUri)) {
    static int Count = 0;
    FName = QStringLiteral("halvorn_t_%1_%2").arg(::getpid()).arg(++Count);
    TTeamConnection(FAdmin).Run(QStringLiteral("test"), QStringLiteral("CREATE DATABASE ") + FName);
}

TDatabase::~TDatabase() {
    // A server stopped by its test takes its databases with it.
    try {
        TTeamConnection Admin(FAdmin);
        Admin.Run(QStringLiteral("test"),
                  QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(FName));
        for (const QString& User : FUsers)
            Admin.Run(QStringLiteral("test"), QStringLiteral("DROP ROLE ") + User);
    } catch (const ETeamError&) {
    }
}

TTeamServer TDatabase::Server(const QString& User, const QString& Query) const {
    return TTeamServer::Parse(QStringLiteral("postgresql://%1@%2:%3/%4%5")
                                  .arg(User, FAdmin.Host)
                                  .arg(FAdmin.Port)
                                  .arg(FName, Query));
}

QVariant TDatabase::Exec(const QString& Sql) {
    return TTeamConnection(Server()).Value(QStringLiteral("test"), Sql);
}

QString TDatabase::User(const QString& Role) {
    const QString Name = QStringLiteral("%1_u%2").arg(FName).arg(FUsers.size() + 1);
    Exec(QStringLiteral("CREATE ROLE %1 LOGIN%2")
             .arg(Name, Role.isEmpty() ? QString() : QStringLiteral(" IN ROLE ") + Role));
    FUsers << Name;
    return Name;
}

} // namespace PgTest
