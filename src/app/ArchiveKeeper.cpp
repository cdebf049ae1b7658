#include "app/ArchiveKeeper.h"

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

qint64 TArchiveKeeper::Store(const QString& InstallDir, const TArchiveEntry& Entry) {
    TArchive* Archive = Opened(InstallDir);
    if (!Archive || Archive->OpenState() != TArchive::TOpenState::Writable)
        return 0;
    return Archive->Store(Entry);
}
