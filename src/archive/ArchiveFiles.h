#pragma once

#include "platform/FileDescriptor.h"

#include <QByteArray>
#include <QString>
#include <optional>

// What the archive does with its files outside SQLite. SQLite's locks are POSIX advisory
// locks: they belong to a process and a file, and closing any descriptor of the file in the
// process drops all of them. So nothing here opens the database, its -wal or its -shm while
// this process has a connection to it, and at most one connection per file is open.
namespace ArchiveFiles {

// The first 100 bytes of a database file, as far as the archive judges a file by them.
struct THeader {
    bool Sqlite = false;      // begins with "SQLite format 3\0" and is 100 bytes or more
    qint32 AppId = 0;         // PRAGMA application_id
    qint32 Version = 0;       // PRAGMA user_version
    quint32 SchemaCookie = 0; // 0 until the first table, index or view is made
    bool operator==(const THeader& Other) const {
        return Sqlite == Other.Sqlite && AppId == Other.AppId && Version == Other.Version &&
               SchemaCookie == Other.SchemaCookie;
    }
};

// Reads the header of the file at Path (only before a connection to it is open). Failure:
// Exception naming the file.
THeader ReadHeader(const QString& Path);

// The log beside Path holds something (a -wal file of more than 0 bytes).
bool HasLog(const QString& Path);

// The folder holding Path may be written by this process (a read-only mount may not).
bool FolderWritable(const QString& Path);
// The folder holding Path and Path itself (when it exists) may be written by this process.
bool Writable(const QString& Path);

// True when Path is the database at Database, or its -wal or -shm (the same device and
// inode, whatever the name or link). Only stat(): nothing is opened.
bool IsDatabaseFile(const QString& Path, const QString& Database);

// Opens a capture for reading without following it into a FIFO, a device or the database:
// refused (Exception naming the file) when it is not a regular file or is one of Database's
// files. Opened O_NONBLOCK, so a file swapped for a FIFO meanwhile cannot block.
TFd OpenCapture(const QString& Path, const QString& Database);

// A claim on one database file for this process: while one is held, another is refused.
// Keyed by the folder's device and inode and the file's name, so a file not made yet is
// claimed too.
class TClaim {
public:
    TClaim() = default;
    // Failure: EArchiveError "... is already open in this program".
    explicit TClaim(const QString& Path);
    ~TClaim();
    TClaim(TClaim&& Other) noexcept;
    TClaim& operator=(TClaim&& Other) noexcept;
    TClaim(const TClaim&) = delete;
    TClaim& operator=(const TClaim&) = delete;
    bool Held() const { return !FKey.isEmpty(); }

private:
    void Release();
    QByteArray FKey;
};

} // namespace ArchiveFiles
