#pragma once

#include "archive/Archive.h"

#include <QString>
#include <functional>
#include <memory>

// The main window's side of the archive: the database of the installation folder, opened when
// first needed; a file that must be left alone is said once per run.
class TArchiveKeeper {
public:
    using TSay = std::function<void(const QString&)>;
    explicit TArchiveKeeper(TSay Say) : FSay(std::move(Say)) {}

    // The archive of InstallDir, opened; nullptr when there is none to read (no installation
    // folder, a refused file). An archive that cannot be opened raises EArchiveError.
    TArchive* Readable(const QString& InstallDir);

    struct TKept {
        qint64 Id = 0;                                 // the row stored
        TArchiveState State = TArchiveState::Complete; // as stored
        QString Error; // why it was not: the database named, the reason, details last
        // Neither: archiving is off (no installation folder, a file left alone, read only).
        bool Stored() const { return Id > 0; }
        bool Failed() const { return !Error.isEmpty(); }
    };
    // Stores one download; never raises.
    TKept Keep(const QString& InstallDir, const TArchiveEntry& Entry);

private:
    TArchive* Opened(const QString& InstallDir);

    TSay FSay;
    std::unique_ptr<TArchive> FArchive;
    bool FSaid = false;
};
