#pragma once

#include "archive/Archive.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// The main window's side of the archive: the database of the installation folder, opened when
// first needed; a file that must be left alone is said once per run. A process may hold only
// one connection to the file, so whatever else of the process reads it asks this object.
class TArchiveKeeper : public QObject {
    Q_OBJECT
public:
    using TSay = std::function<void(const QString&)>;
    explicit TArchiveKeeper(TSay Say) : FSay(std::move(Say)) {}

    // The archive of InstallDir, opened; nullptr when there is none to read (no installation
    // folder, a refused file). An archive that cannot be opened raises EArchiveError.
    TArchive* Readable(const QString& InstallDir);

    // Stores one download: its row's id, or 0 when archiving is off (no installation folder, a
    // file left alone, read only; said once). Raises Exception when the archive fails.
    qint64 Store(const QString& InstallDir, const TArchiveEntry& Entry);

private:
    TArchive* Opened(const QString& InstallDir);

    TSay FSay;
    std::unique_ptr<TArchive> FArchive;
    bool FSaid = false;
};
