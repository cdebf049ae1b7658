#include "CliTeam.h"

#include "CliArchive.h"
#include "CliIo.h"
#include "archive/TeamArchive.h"
#include "archive/TeamPush.h"
#include "measurement/Job.h"
#include "platform/JsonText.h"
#include "platform/MessageText.h"
#include "settings/Settings.h"

namespace CliTeam {

namespace {

void Say(const QString& Text) {
    CliIo::WriteStdout((Text + QLatin1Char('\n')).toLocal8Bit());
}

// --server URI, else the stored one.
TTeamServer ServerFor(const TCliOptions& Options) {
    const QString Uri = Options.Server.isEmpty() ? Settings::TeamServer() : Options.Server;
    if (Uri.isEmpty())
        throw Exception(QStringLiteral("No team server is stored: store one with \"halvorn-cli "
                                       "team connect postgresql://user@host/dbname\", or give "
                                       "--server URI"));
    return TTeamServer::Parse(Uri);
}

void Init(const TCliOptions& Options) {
    TTeamConnection Connection(ServerFor(Options));
    const TTeamInit Done = TTeamArchive(Connection).Init(Options.Roles);
    Say(Done.Notes.join(QLatin1Char('\n')));
}

void Push(const TCliOptions& Options) {
    const TTeamServer Server = ServerFor(Options);
    TTeamPush Push(Server, CliArchive::PathFor(Options));
    qint64 Done = 0;
    Push.Progress = [&](qint64 N, qint64) { Done = N; };
    try {
        const TTeamPushResult R = Push.Run();
        QString Text = QStringLiteral("Sent %1 measurements to %2")
                           .arg(QString::number(R.Sent), Server.Shown());
        if (R.Already)
            Text += QStringLiteral("; %1 were there already").arg(R.Already);
        if (R.Jobs)
            Text += QStringLiteral("; %1 jobs sent with them or after them").arg(R.Jobs);
        Say(Text + QStringLiteral("; none waits."));
    } catch (const Exception& E) {
        if (Done == 0)
            throw;
        throw Exception(E.Message + QStringLiteral(" (%1 measurements were sent before; the "
                                                   "others wait for the next push)")
                                        .arg(Done));
    }
}

void List(const TCliOptions& Options) {
    TTeamConnection Connection(ServerFor(Options));
    TTeamArchive Team(Connection);
    std::vector<TTeamRow> All;
    TTeamQuery Query;
    Query.Limit = 1000;
    for (;;) {
        TTeamPage Page = Team.List(Query);
        All.insert(All.end(), Page.Rows.begin(), Page.Rows.end());
        if (!Page.Next)
            break;
        Query.After = Page.Next;
    }
    std::vector<TArchiveRow> Rows;
    for (const TTeamRow& T : All)
        Rows.push_back(T.Row);
    if (!Options.Json) {
        CliIo::WriteStdout(CliArchive::ListText(Rows).toLocal8Bit());
        return;
    }
    CliIo::WriteStdout(CliArchive::ListJson(Rows, [&](size_t I) {
        const TArchiveRow& R = All[I].Row;
        // The latest job the server holds, keys as report-pdf --job takes them.
        QByteArray Job = "null";
        if (R.JobGivenAt.isValid())
            Job = "{\"client\": " + JsonText::String(R.Job.Client) +
                  ", \"address\": " + JsonText::String(R.Job.Address) +
                  ", \"placement\": " + JsonText::String(R.Job.Placement) +
                  ", \"test_type\": " + JsonText::String(Job::TestTypeKey(R.Job.TestType)) +
                  ", \"conditions\": " + JsonText::String(Job::ConditionsKey(R.Job.Conditions)) +
                  ", \"notes\": " + JsonText::String(R.Job.Notes) +
                  ", \"given_at\": " + JsonText::String(R.JobGivenAt.toString(Qt::ISODateWithMs)) +
                  '}';
        return ", \"origin\": " + JsonText::String(All[I].Origin) +
               ", \"local_id\": " + QByteArray::number(All[I].LocalId) + ", \"job\": " + Job;
    }));
}

void Show(const TCliOptions& Options) {
    const qint64 Id = CliArchive::IdOf(Options);
    TTeamConnection Connection(ServerFor(Options));
    const std::optional<TTeamEntry> T = TTeamArchive(Connection).Get(Id);
    if (!T)
        throw Exception(QStringLiteral("No measurement %1 on %2")
                            .arg(QString::number(Id), Connection.Server().Shown()));
    if (Options.Raw)
        CliIo::WriteStdout(T->Entry.Raw);
    else if (Options.ReportText)
        CliIo::WriteStdout(TArchive::ReportFileOf(T->Entry));
    else
        CliIo::WriteStdout((CliArchive::ForPeople(T->Entry) +
                            QStringLiteral("Origin:        %1\nLocal id:      %2\n")
                                .arg(T->Origin, QString::number(T->LocalId)))
                               .toLocal8Bit());
}

void Status(const TCliOptions& Options) {
    // Read only: a file that is not there has nothing waiting, and nothing is written.
    TArchive Archive(CliArchive::PathFor(Options));
    if (Archive.Open(TArchive::TAccess::Read) == TArchive::TOpenState::Refused)
        throw Exception(Archive.Message());
    const TArchive::TTeamCounts Counts = Archive.TeamCounts();
    const QString Uri = Options.Server.isEmpty() ? Settings::TeamServer() : Options.Server;
    Say(QStringLiteral("Team server:  %1\nWaiting:      %2\nSent:         %3\nJobs waiting: %4")
            .arg(Uri.isEmpty() ? QStringLiteral("none stored") : MessageText::Shown(Uri, 300),
                 QString::number(Counts.Waiting), QString::number(Counts.Sent),
                 QString::number(Counts.Jobs)));
}

void Delete(const TCliOptions& Options) {
    const qint64 Id = CliArchive::IdOf(Options);
    TTeamConnection Connection(ServerFor(Options));
    const QString Server = Connection.Server().Shown();
    try {
        if (!TTeamArchive(Connection).Remove(Id))
            throw Exception(
                QStringLiteral("No measurement %1 on %2").arg(QString::number(Id), Server));
    } catch (const ETeamNotAllowed& E) {
        throw Exception(QStringLiteral("You may not delete measurements from %1: only members of "
                                       "the role %2 may (the office).\n%3")
                            .arg(Server, QLatin1String(TTeamArchive::OfficeRole),
                                 E.Message.section(QLatin1Char('\n'), -1)));
    }
    Say(QStringLiteral("Deleted measurement %1 from %2.").arg(QString::number(Id), Server));
}

} // namespace

void Run(const TCliOptions& Options) {
    switch (Options.Command) {
    case TCliCommand::TeamConnect: {
        const TTeamServer Server = TTeamServer::Parse(Options.Input);
        Settings::SaveTeamServer(Server.Uri);
        Say(QStringLiteral("Stored %1; \"halvorn-cli team push\" sends to it.")
                .arg(Server.Shown()));
        break;
    }
    case TCliCommand::TeamInit:
        Init(Options);
        break;
    case TCliCommand::TeamPush:
        Push(Options);
        break;
    case TCliCommand::TeamList:
        List(Options);
        break;
    case TCliCommand::TeamShow:
        Show(Options);
        break;
    case TCliCommand::TeamStatus:
        Status(Options);
        break;
    case TCliCommand::TeamDelete:
        Delete(Options);
        break;
    default:
        break;
    }
}

} // namespace CliTeam
