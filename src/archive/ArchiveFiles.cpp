#include "archive/ArchiveFiles.h"

#include "archive/ArchiveError.h"
#include "platform/MessageText.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QtEndian>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ArchiveFiles {

namespace {

QString Shown(const QString& Path) {
    return MessageText::Shown(Path, PATH_MAX);
}

QByteArray Native(const QString& Path) {
    return QFile::encodeName(Path);
}

bool StatOf(const QString& Path, struct stat& Info) {
    return ::stat(Native(Path).constData(), &Info) == 0;
}

QString SystemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

THeader ReadHeader(const QString& Path) {
    TFd Fd(::open(Native(Path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!Fd.Valid())
        throw Exception(
            QStringLiteral("Cannot open the archive %1: %2").arg(Shown(Path), SystemReason()));
    unsigned char Bytes[100];
    size_t Got = 0;
    while (Got < sizeof Bytes) {
        const ssize_t N = ::read(Fd.Get(), Bytes + Got, sizeof Bytes - Got);
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0)
            throw Exception(
                QStringLiteral("Cannot read the archive %1: %2").arg(Shown(Path), SystemReason()));
        if (N == 0)
            break;
        Got += size_t(N);
    }
    THeader Header;
    Header.Sqlite = Got == sizeof Bytes && std::memcmp(Bytes, "SQLite format 3", 16) == 0;
    if (Header.Sqlite) {
        Header.SchemaCookie = qFromBigEndian<quint32>(Bytes + 40);
        Header.Version = qFromBigEndian<qint32>(Bytes + 60);
        Header.AppId = qFromBigEndian<qint32>(Bytes + 68);
    }
    return Header;
}

bool HasLog(const QString& Path) {
    struct stat Info {};
    return StatOf(Path + QStringLiteral("-wal"), Info) && Info.st_size > 0;
}

bool FolderWritable(const QString& Path) {
    return ::access(Native(QFileInfo(Path).absolutePath()).constData(), W_OK | X_OK) == 0;
}

bool Writable(const QString& Path) {
    if (!FolderWritable(Path))
        return false;
    const QByteArray File = Native(Path);
    return ::access(File.constData(), F_OK) != 0 || ::access(File.constData(), W_OK) == 0;
}

bool IsDatabaseFile(const QString& Path, const QString& Database) {
    struct stat File {};
    if (!StatOf(Path, File))
        return false;
    for (const QString& Own :
         {Database, Database + QStringLiteral("-wal"), Database + QStringLiteral("-shm")}) {
        struct stat Info {};
        if (StatOf(Own, Info) && Info.st_dev == File.st_dev && Info.st_ino == File.st_ino)
            return true;
    }
    return false;
}

TFd OpenCapture(const QString& Path, const QString& Database) {
    const auto Refuse = [&](const QString& Why) {
        throw Exception(QStringLiteral("%1 %2: it is not imported").arg(Shown(Path), Why));
    };
    struct stat Info {};
    if (!StatOf(Path, Info))
        throw Exception(QStringLiteral("Cannot open file %1\n%2").arg(Shown(Path), SystemReason()));
    if (S_ISDIR(Info.st_mode))
        Refuse(QStringLiteral("is a folder"));
    if (!S_ISREG(Info.st_mode))
        Refuse(QStringLiteral("is not a regular file (a pipe, a device or a socket)"));
    if (IsDatabaseFile(Path, Database))
        Refuse(QStringLiteral("is the archive itself or one of its working files"));
    TFd Fd(::open(Native(Path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!Fd.Valid())
        throw Exception(QStringLiteral("Cannot open file %1\n%2").arg(Shown(Path), SystemReason()));
    struct stat Opened {};
    if (::fstat(Fd.Get(), &Opened) != 0 || Opened.st_dev != Info.st_dev ||
        Opened.st_ino != Info.st_ino)
        Refuse(QStringLiteral("changed while it was being opened"));
    return Fd;
}

namespace {

QMutex ClaimsLock;
QSet<QByteArray>& Claims() {
    static QSet<QByteArray> Set;
    return Set;
}

} // namespace

TClaim::TClaim(const QString& Path) {
    const QFileInfo File(Path);
    struct stat Folder {};
    if (!StatOf(File.absolutePath(), Folder))
        throw EArchiveError(QStringLiteral("Cannot open the archive %1: its folder cannot be read "
                                           "(%2).")
                                .arg(Shown(Path), SystemReason()));
    const QByteArray Key = QByteArray::number(quint64(Folder.st_dev)) + ':' +
                           QByteArray::number(quint64(Folder.st_ino)) + '/' +
                           Native(File.fileName());
    const QMutexLocker Lock(&ClaimsLock);
    if (Claims().contains(Key))
        throw EArchiveError(
            QStringLiteral("The archive %1 is already open in this program.").arg(Shown(Path)));
    Claims().insert(Key);
    FKey = Key;
}

TClaim::~TClaim() {
    Release();
}

TClaim::TClaim(TClaim&& Other) noexcept : FKey(std::exchange(Other.FKey, QByteArray())) {}

TClaim& TClaim::operator=(TClaim&& Other) noexcept {
    if (this != &Other) {
        Release();
        FKey = std::exchange(Other.FKey, QByteArray());
    }
    return *this;
}

void TClaim::Release() {
    if (FKey.isEmpty())
        return;
    const QMutexLocker Lock(&ClaimsLock);
    Claims().remove(FKey);
    FKey.clear();
}

} // namespace ArchiveFiles
