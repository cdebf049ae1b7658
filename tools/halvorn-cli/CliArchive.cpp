#include "CliArchive.h"

#include "CliIo.h"
#include "CliMain.h"
#include "archive/ArchiveModel.h"
#include "measurement/Job.h"
#include "measurement/Readings.h"
#include "platform/AtomicWrite.h"
#include "platform/JsonText.h"
#include "platform/MessageText.h"
#include "settings/InstallFolder.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <climits>
#include <memory>

namespace CliArchive {

namespace {

QString Shown(const QString& Path) {
    return MessageText::Shown(Path, PATH_MAX);
}

// The archive for reading, opened read only: a file that is not there yet has no measurement.
std::unique_ptr<TArchive> ForReading(const TCliOptions& Options) {
    auto Archive = std::make_unique<TArchive>(PathFor(Options));
    if (Archive->Open(TArchive::TAccess::Read) == TArchive::TOpenState::Refused)
        throw Exception(Archive->Message());
    return Archive;
}

TArchiveEntry Entry(const TCliOptions& Options) {
    const qint64 Id = IdOf(Options);
    const std::unique_ptr<TArchive> Archive = ForReading(Options);
    std::optional<TArchiveEntry> Found = Archive->Get(Id);
    if (!Found)
        throw Exception(QStringLiteral("No measurement %1 in the archive %2")
                            .arg(QString::number(Id), Shown(PathFor(Options))));
    return *Found;
}

// The stored figure as a JSON number only when it is one: a crafted archive's text never
// reaches the output as JSON.
QByteArray NumberOrNull(const std::optional<QString>& Number) {
    static const QRegularExpression Decimal(
        QStringLiteral("^-?(0|[1-9][0-9]{0,14})(\\.[0-9]{1,9})?$"));
    return Number && Decimal.match(*Number).hasMatch() ? Number->toLatin1() : QByteArray("null");
}

QByteArray TimeOrNull(const QDateTime& Time) {
    return Time.isValid() ? JsonText::String(Readings::Timestamp(Time.toLocalTime()))
                          : QByteArray("null");
}

} // namespace

qint64 IdOf(const TCliOptions& Options) {
    bool Ok = false;
    const qint64 Id = Options.Input.toLongLong(&Ok);
    if (!Ok || Id <= 0)
        throw ECliUsage(QStringLiteral("ID wants a measurement number, not '%1'")
                            .arg(MessageText::Shown(Options.Input)));
    return Id;
}

QString ForPeople(const TArchiveEntry& E) {
    const QLocale English(QLocale::English, QLocale::UnitedStates);
    QStringList Lines;
    const auto Add = [&](const char* Label, const QString& Value) {
        Lines << QString(QLatin1String(Label)).leftJustified(14) + QLatin1Char(' ') + Value;
    };
    Add("Measurement:", QString::number(E.Id));
    Add("Start:", E.Start.isValid()
                      ? TArchiveModel::DateText(E.Start) + QStringLiteral(" (") +
                            Readings::Timestamp(E.Start.toLocalTime()) + QLatin1Char(')')
                      : QStringLiteral("none"));
    Add("Received:", TArchiveModel::DateText(E.ReceivedAt) + QStringLiteral(" (") +
                         E.ReceivedAt.toString(Qt::ISODate) + QLatin1Char(')'));
    Add("Port:", E.Device.isEmpty() || E.Device == E.Port
                     ? Shown(E.Port)
                     : QStringLiteral("%1 (%2)").arg(Shown(E.Port), Shown(E.Device)));
    Add("Bytes:", English.toString(E.Bytes));
    Add("SHA-256:", E.Sha256);
    Add("State:", ArchiveStates::Name(E.State));
    if (!E.Error.isEmpty())
        Add("Error:", MessageText::Shown(E.Error, 400));
    Add("Serial #:", MessageText::Shown(E.SerialNumber));
    Add("Location:", MessageText::Shown(E.Location));
    Add("Readings:", E.Readings ? QString::number(*E.Readings) : QStringLiteral("none"));
    Add("EPA Protocol:",
        E.EpaProtocol ? *E.EpaProtocol + QStringLiteral(" pCi/L") : QStringLiteral("none"));
    Add("Report:", E.Report.isEmpty()
                       ? QStringLiteral("none stored (--report builds one)")
                       : English.toString(E.Report.size()) + QStringLiteral(" bytes"));
    if (E.JobGivenAt.isValid()) {
        Add("Job given:", TArchiveModel::DateText(E.JobGivenAt));
        for (const auto& [Label, Value] :
             {std::pair{"Client:", E.Job.Client}, std::pair{"Address:", E.Job.Address},
              std::pair{"Placement:", E.Job.Placement},
              std::pair{"Test type:", Job::TestTypeForPeople(E.Job.TestType)},
              std::pair{"Conditions:", Job::ConditionsForPeople(E.Job.Conditions)},
              std::pair{"Notes:", E.Job.Notes}})
            if (!Value.isEmpty())
                Add(Label, MessageText::Shown(Value, 400));
    }
    return Lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString PathFor(const TCliOptions& Options) {
    if (!Options.ArchiveFile.isEmpty())
        return Options.ArchiveFile;
    const QString Dir = InstallFolder::FirstStart().Dir;
    if (!InstallFolder::Usable(Dir))
        throw Exception(QStringLiteral("No archive: no installation folder is stored "
                                       "(\"InstallDir\"; halvorn-setup stores one), and no "
                                       "--archive FILE was given"));
    return TArchive::PathIn(Dir);
}

qint64 Store(const TCliOptions& Options, const TArchiveEntry& Entry) {
    TArchive Archive(PathFor(Options));
    return Archive.Store(Entry);
}

QString Where(const TCliOptions& Options, qint64 Id) {
    return TArchive::Where(PathFor(Options), Id);
}

QByteArray ListJson(const std::vector<TArchiveRow>& Rows,
                    const std::function<QByteArray(size_t)>& More) {
    QByteArray Out = "[";
    for (size_t I = 0; I < Rows.size(); ++I) {
        const TArchiveRow& R = Rows[I];
        Out += (I ? ",\n  " : "\n  ") + QByteArray("{\"id\": ") + QByteArray::number(R.Id) +
               ", \"received_at\": " + JsonText::String(R.ReceivedAt.toString(Qt::ISODate)) +
               ", \"start\": " + TimeOrNull(R.Start) + ", \"port\": " + JsonText::String(R.Port) +
               ", \"device\": " + JsonText::String(R.Device) +
               ", \"bytes\": " + QByteArray::number(R.Bytes) +
               ", \"sha256\": " + JsonText::String(R.Sha256) +
               ", \"state\": " + JsonText::String(ArchiveStates::Name(R.State)) +
               ", \"serial\": " + JsonText::String(R.SerialNumber) +
               ", \"location\": " + JsonText::String(R.Location) + ", \"readings\": " +
               (R.Readings ? QByteArray::number(*R.Readings) : QByteArray("null")) +
               ", \"epa_protocol\": " + NumberOrNull(R.EpaProtocol) + (More ? More(I) : "") + '}';
    }
    return Out + (Rows.empty() ? "]\n" : "\n]\n");
}

void List(const TCliOptions& Options) {
    const std::vector<TArchiveRow> Rows = ForReading(Options)->List();
    CliIo::WriteStdout(Options.Json ? ListJson(Rows) : ListText(Rows).toLocal8Bit());
}

QString ListText(const std::vector<TArchiveRow>& Rows) {
    QString Text;
    for (const TArchiveRow& R : Rows)
        Text +=
            QString::number(R.Id).rightJustified(6) + QStringLiteral("  ") +
            (R.Start.isValid() ? R.Start.toString(Qt::ISODate) : QStringLiteral("-"))
                .leftJustified(20) +
            QStringLiteral("  ") + R.ReceivedAt.toString(Qt::ISODate) + QStringLiteral("  ") +
            ArchiveStates::Name(R.State).leftJustified(11) + QStringLiteral("  ") +
            (R.Readings ? QString::number(*R.Readings) : QStringLiteral("-")).rightJustified(5) +
            QStringLiteral("  ") + R.EpaProtocol.value_or(QStringLiteral("-")).rightJustified(5) +
            QStringLiteral("  ") + MessageText::Shown(R.SerialNumber).leftJustified(12) +
            QStringLiteral("  ") + MessageText::Shown(R.Location).leftJustified(20) +
            QStringLiteral("  ") + MessageText::Shown(R.Job.Client) + QLatin1Char('\n');
    if (!Rows.empty())
        Text.prepend(QStringLiteral("    ID  START (UTC)           RECEIVED (UTC)        STATE   "
                                    "     READ    EPA  SERIAL #      LOCATION              "
                                    "CLIENT\n"));
    return Text;
}

void Show(const TCliOptions& Options) {
    const TArchiveEntry E = Entry(Options);
    if (Options.Raw)
        CliIo::WriteStdout(E.Raw);
    else if (Options.ReportText)
        CliIo::WriteStdout(TArchive::ReportFileOf(E));
    else
        CliIo::WriteStdout(ForPeople(E).toLocal8Bit());
}

void Export(const TCliOptions& Options) {
    AtomicWrite::ReplaceFile(Options.Output, Entry(Options).Raw);
}

void Import(const TCliOptions& Options) {
    TArchive Archive(PathFor(Options));
    int Failed = 0;
    QString Done;
    for (const QString& File : Options.Arguments) {
        try {
            const TArchive::TImported Got = Archive.Import(File);
            Done += (Got.Duplicate ? QStringLiteral("%1: already archived as measurement %2\n")
                                   : QStringLiteral("%1: measurement %2\n"))
                        .arg(Shown(File), QString::number(Got.Id));
        } catch (const EArchiveError&) {
            // The archive itself failed: the other files would fail the same way.
            CliIo::WriteStdout(Done.toLocal8Bit());
            throw;
        } catch (const Exception& E) {
            CliMain::Fail(E.Message, CliExit::Failure);
            ++Failed;
        }
    }
    CliIo::WriteStdout(Done.toLocal8Bit());
    if (Failed)
        throw Exception(QStringLiteral("%1 of %2 captures were not imported")
                            .arg(Failed)
                            .arg(Options.Arguments.size()));
}

} // namespace CliArchive
