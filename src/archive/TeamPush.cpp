#include "archive/TeamPush.h"

#include "archive/Archive.h"
#include "archive/TeamArchive.h"
#include "archive/TeamConnection.h"
#include "platform/MessageText.h"

#include <climits>
#include <optional>

TTeamPushResult TTeamPush::Run() {
    if (FArchive)
        return Push(*FArchive);
    TArchive Own(FArchivePath);
    return Push(Own);
}

TTeamPushResult TTeamPush::Push(TArchive& Archive) {
    const std::vector<qint64> Ids = Archive.Waiting();
    TTeamPushResult Result;
    if (Ids.empty())
        return Result;
    // Each row is marked as the server commits it: an archive that cannot be written is said
    // so before anything is sent.
    Archive.RequireWritable();
    const QString Origin = Archive.Origin();
    if (Origin.isEmpty())
        throw EArchiveError(QStringLiteral("The archive %1 has no origin, which names its "
                                           "measurements on the team server: nothing is sent.")
                                .arg(MessageText::Shown(Archive.Path(), PATH_MAX)));
    TTeamConnection Connection(FServer);
    TTeamArchive Team(Connection);
    Team.Require(true);
    const qint64 Total = qint64(Ids.size());
    for (qint64 I = 0; I < Total; ++I) {
        if (FCancel) {
            Result.Cancelled = true;
            Result.Waiting = Total - I;
            break;
        }
        // A row deleted on this computer since the list was read is not sent.
        if (const std::optional<TArchiveEntry> Entry = Archive.Get(Ids[size_t(I)])) {
            if (Team.Send(Origin, *Entry))
                ++Result.Sent;
            else
                ++Result.Already;
            Archive.MarkSent(Entry->Id);
        }
        if (Progress)
            Progress(I + 1, Total);
    }
    return Result;
}
