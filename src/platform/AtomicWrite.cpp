#include "platform/AtomicWrite.h"

#include "platform/FileDescriptor.h"
#include "platform/MessageText.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicWrite {

namespace {

// The kernel's own limit on links followed in one path.
constexpr int MaxLinks = 40;

QString Shown(const QString& Path) {
    return MessageText::Shown(Path, PATH_MAX);
}

QByteArray Native(const QString& Path) {
    return QFile::encodeName(Path);
}

[[noreturn]] void Fail(const QString& Path, int Error) {
    throw EWriteError(Path, Reason(Error));
}

QString ParentOf(const QString& Path) {
    const qsizetype Slash = Path.lastIndexOf(u'/');
    return Slash <= 0 ? QStringLiteral("/") : Path.left(Slash);
}

// Whether the kernel's protected_symlinks rule lets this user follow Link, which stands in
// Folder.
bool MayFollow(const struct stat& Link, const struct stat& Folder) {
    const bool Shared = (Folder.st_mode & S_ISVTX) && (Folder.st_mode & S_IWOTH);
    return !Shared || Link.st_uid == ::geteuid() || Link.st_uid == Folder.st_uid;
}

mode_t CurrentUmask() {
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    return Mask;
}

class TempFile {
public:
    explicit TempFile(const QString& Target)
        : FName(Native(Target) + ".XXXXXX"), FFile(::mkstemp(FName.data())) {}
    ~TempFile() {
        if (!FRenamed)
            ::unlink(FName.constData());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Ok() const { return FFile.Valid(); }
    int Handle() const { return FFile.Get(); }
    bool Close() { return FFile.Close(); }
    bool RenameTo(const QString& Target) {
        FRenamed = ::rename(FName.constData(), Native(Target).constData()) == 0;
        return FRenamed;
    }

private:
    QByteArray FName;
    TFd FFile;
    bool FRenamed = false;
};

bool WriteAll(int Handle, const QByteArray& Bytes) {
    const char* Data = Bytes.constData();
    qsizetype Left = Bytes.size();
    while (Left > 0) {
        const ssize_t N = ::write(Handle, Data, size_t(Left));
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0) {
            if (N == 0)
                errno = ENOSPC;
            return false;
        }
        Data += N;
        Left -= N;
    }
    return true;
}

} // namespace

EWriteError::EWriteError(const QString& APath, const QString& AReason)
    : Exception(QStringLiteral("Cannot create file ") + Shown(APath) + u'\n' + AReason),
      Path(APath), Reason(AReason) {}

QString Reason(int Error) {
    static const struct {
        int Error;
        const char* Plain;
    } Plain[] = {
        {ENOSPC, "the disk is full"},
        {EDQUOT, "the disk quota is used up"},
        {EFBIG, "the file would be larger than this system allows"},
        {EROFS, "the disk can only be read"},
        {EACCES, "you may not write there"},
        {EPERM, "you may not write there"},
        {ENOENT, "the folder does not exist"},
        {ENOTDIR, "a part of the path is not a folder"},
        {EISDIR, "it is a folder, not a file"},
        {ELOOP, "its links lead round in a circle"},
    };
    const QString System = QString::fromLocal8Bit(std::strerror(Error));
    for (const auto& Known : Plain)
        if (Known.Error == Error)
            return QLatin1String(Known.Plain) + QStringLiteral(" (") + System + u')';
    return System;
}

QString WriteTarget(const QString& Path) {
    if (Path.isEmpty())
        throw EWriteError(Path, QStringLiteral("no file name was given"));
    QStringList Pending = Path.split(u'/');
    // Built without links, from the root: "" stands for "/".
    QString Done = Path.startsWith(u'/') ? QString() : QDir::currentPath();
    if (Done == u'/')
        Done.clear();
    int Links = 0;
    while (!Pending.isEmpty()) {
        const QString Part = Pending.takeFirst();
        if (Part.isEmpty() || Part == u'.')
            continue;
        if (Part == QStringLiteral("..")) {
            Done.truncate(std::max<qsizetype>(Done.lastIndexOf(u'/'), 0));
            continue;
        }
        const QString Next = Done + u'/' + Part;
        struct stat Link {};
        // Whatever cannot be looked at here is reported by the write itself.
        if (::lstat(Native(Next).constData(), &Link) != 0 || !S_ISLNK(Link.st_mode)) {
            Done = Next;
            continue;
        }
        if (++Links > MaxLinks)
            Fail(Path, ELOOP);
        const QString Folder = Done.isEmpty() ? QStringLiteral("/") : Done;
        struct stat FolderInfo {};
        if (::stat(Native(Folder).constData(), &FolderInfo) != 0)
            Fail(Path, errno);
        if (!MayFollow(Link, FolderInfo))
            throw EWriteError(
                Path, QStringLiteral("%1 is a link that another user (uid %2) put into the shared "
                                     "folder %3; it is not followed")
                          .arg(Shown(Next))
                          .arg(Link.st_uid)
                          .arg(Shown(Folder)));
        QByteArray Buffer(PATH_MAX, '\0');
        const ssize_t Length = ::readlink(Native(Next).constData(), Buffer.data(), PATH_MAX);
        if (Length < 0)
            Fail(Path, errno);
        const QString Target = QFile::decodeName(Buffer.left(Length));
        if (Target.startsWith(u'/'))
            Done.clear();
        Pending = Target.split(u'/') + Pending;
    }
    return Done.isEmpty() ? QStringLiteral("/") : Done;
}

void ReplaceFile(const QString& Path, const QByteArray& Bytes, mode_t NewFileMode) {
    if (Path.endsWith(u'/'))
        throw EWriteError(Path, QStringLiteral("the name ends in \"/\" and so names a folder, "
                                               "not a file"));
    const QString Target = WriteTarget(Path);
    const QByteArray NativeTarget = Native(Target);

    struct stat Old {};
    const bool Exists = ::stat(NativeTarget.constData(), &Old) == 0;
    if (Exists && S_ISDIR(Old.st_mode))
        Fail(Path, EISDIR);
    if (Exists && !S_ISREG(Old.st_mode))
        throw EWriteError(Path, QStringLiteral("it is not a plain file (a device, pipe or socket) "
                                               "and is not replaced"));
    // Root may write anything; a file nobody may write was still meant to stay as it is.
    if (Exists && ((Old.st_mode & 0222) == 0 || ::access(NativeTarget.constData(), W_OK) != 0))
        throw EWriteError(Path, QStringLiteral("the file is read-only"));

    TempFile Temp(Target);
    if (!Temp.Ok())
        Fail(Path, errno);
    const mode_t Mode = Exists ? (Old.st_mode & 07777) : (NewFileMode & ~CurrentUmask());
    if (!WriteAll(Temp.Handle(), Bytes) || ::fchmod(Temp.Handle(), Mode) != 0)
        Fail(Path, errno);
    // Another user's file replaced by root stays theirs; nobody else may give files away.
    if (Exists && ::geteuid() == 0 && (Old.st_uid != 0 || Old.st_gid != ::getegid()))
        (void)::fchown(Temp.Handle(), Old.st_uid, Old.st_gid);
    if (::fsync(Temp.Handle()) != 0 || !Temp.Close() || !Temp.RenameTo(Target))
        Fail(Path, errno);
    // The rename itself reaches the disk with its folder.
    const TFd Folder(
        ::open(Native(ParentOf(Target)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (Folder.Valid())
        ::fsync(Folder.Get());
}

} // namespace AtomicWrite
