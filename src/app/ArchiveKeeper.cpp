#include "app/ArchiveKeeper.h"

#include "app/ErrorHandler.h"
#include "settings/InstallFolder.h"

TArchive* TArchiveKeeper::Opened(const QString& InstallDir) {
    if (!InstallFolder::Usable(InstallDir))
        return nullptr;
    const QString Path = TArchive::PathIn(InstallDir);
    if (!FArchive || FArchive->Path() != Path) {
        FArchive = std::make_unique<TArchive>(Path);
        FSaid = false;
    }
    const TArchive::TOpenState State = FArchive->Open();
    if (State == TArchive::TOpenState::Refused || State == TArchive::TOpenState::ReadOnly) {
        if (!FSaid && FSay)
            FSay(FArchive->Message());
        FSaid = true;
    }
    return FArchive.get();
}

TArchive* TArchiveKeeper::Readable(const QString& InstallDir) {
    TArchive* Archive = Opened(InstallDir);
    return Archive && Archive->OpenState() != TArchive::TOpenState::Refused ? Archive : nullptr;
}

TArchiveKeeper::TKept TArchiveKeeper::Keep(const QString& InstallDir, const TArchiveEntry& Entry) {
    TKept Kept;
    try {
        TArchive* Archive = Opened(InstallDir);
        if (!Archive || Archive->OpenState() != TArchive::TOpenState::Writable)
            return Kept;
        TArchiveEntry Described = Entry;
        TArchive::Describe(Described);
        Kept.State = Described.State;
        Kept.Id = Archive->Store(std::move(Described));
    } catch (...) {
        // Whatever went wrong, the caller keeps the bytes in a capture file.
        Kept.Error = ErrorHandler::CurrentExceptionText();
    }
    return Kept;
}
