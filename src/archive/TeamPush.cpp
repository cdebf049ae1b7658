#include "archive/TeamPush.h"

#include "archive/Archive.h"
#include "archive/TeamArchive.h"
#include "archive/TeamConnection.h"

#include <optional>

TTeamPushResult TTeamPush::Run() {
    TArchive Archive(FArchivePath);
    if (Archive.Open() == TArchive::TOpenState::Refused)
        throw EArchiveError(Archive.Message());
    const std::vector<qint64> Ids = Archive.Waiting();
    TTeamPushResult Result;
    if (Ids.empty())
        return Result;
    const QString Origin = Archive.Origin();
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
