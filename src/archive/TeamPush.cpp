#include "archive/TeamPush.h"

#include "archive/Archive.h"
#include "archive/TeamArchive.h"
#include "archive/TeamConnection.h"
#include "platform/MessageText.h"

#include <climits>
#include <optional>

namespace {

// Items read at once: a few measurements' bytes, not the whole archive's.
constexpr size_t BatchSize = 16;

} // namespace

TTeamPushResult TTeamPush::Run() {
    if (FArchive)
        return Push(*FArchive);
    TArchive Own(FArchivePath);
    return Push(Own);
}

std::vector<TTeamItem> TTeamPush::Next(TArchive& Archive, size_t Count) {
    std::vector<TTeamItem> Items;
    std::vector<qint64> Ids = Archive.Waiting();
    const bool JobOnly = Ids.empty();
    if (JobOnly)
        Ids = Archive.WaitingJobs();
    if (Ids.empty())
        return Items;
    // Each item is marked as the server commits it: an archive that cannot be written is said
    // so before anything is sent.
    Archive.RequireWritable();
    if (Archive.Origin().isEmpty())
        throw EArchiveError(QStringLiteral("The archive %1 has no origin, which names its "
                                           "measurements on the team server: nothing is sent.")
                                .arg(MessageText::Shown(Archive.Path(), PATH_MAX)));
    for (size_t I = 0; I < Ids.size() && Items.size() < Count; ++I)
        // A row deleted since the list was read is not sent.
        if (std::optional<TArchiveEntry> Entry = Archive.Get(Ids[I]))
            Items.push_back({std::move(*Entry), JobOnly});
    return Items;
}

void TTeamPush::Send(TTeamArchive& Team, const QString& Origin, const TTeamItem& Item,
                     TTeamPushResult& Result) {
    if (!Item.JobOnly) {
        (Team.Send(Origin, Item.Entry) ? Result.Sent : Result.Already) += 1;
        // Sent along, or there already: counted once either way.
        Result.Jobs += Item.Entry.JobGivenAt.isValid();
        return;
    }
    // A job of a measurement the office deleted from the server has nowhere to go: it is
    // settled here, and kept on this computer with its measurement.
    Result.Jobs += Team.SendJob(Origin, Item.Entry) != TTeamArchive::TJobSent::Gone;
}

void TTeamPush::MarkSent(TArchive& Archive, const TTeamItem& Item) {
    Archive.MarkSent(Item.Entry.Id, Item.Entry.JobGivenAt);
}

TTeamPushResult TTeamPush::Push(TArchive& Archive) {
    TTeamPushResult Result;
    std::vector<TTeamItem> Items = Next(Archive, BatchSize);
    if (Items.empty())
        return Result;
    const TArchive::TTeamCounts Counts = Archive.TeamCounts();
    const qint64 Total = Counts.Waiting + Counts.Jobs;
    const QString Origin = Archive.Origin();
    TTeamConnection Connection(FServer);
    TTeamArchive Team(Connection);
    Team.Require(true);
    qint64 Done = 0;
    for (; !Items.empty(); Items = Next(Archive, BatchSize)) {
        for (const TTeamItem& Item : Items) {
            if (FCancel) {
                const TArchive::TTeamCounts Left = Archive.TeamCounts();
                Result.Cancelled = true;
                Result.Waiting = Left.Waiting + Left.Jobs;
                return Result;
            }
            Send(Team, Origin, Item, Result);
            MarkSent(Archive, Item);
            if (Progress)
                Progress(++Done, std::max(Done, Total));
        }
    }
    return Result;
}
