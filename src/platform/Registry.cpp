#include "Registry.h"

#include "Exception.h"
#include "RegFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const QString Root = QStringLiteral("HKEY_CURRENT_USER");

QString NormalizedKey(QString Key) {
    while (Key.startsWith(u'\\'))
        Key.remove(0, 1);
    while (Key.endsWith(u'\\'))
        Key.chop(1);
    return Key;
}

QString FullPath(const QString& Key) {
    const QString Relative = NormalizedKey(Key);
    return Relative.isEmpty() ? Root : Root + u'\\' + Relative;
}

QString Reason(int Error) {
    return QString::fromLocal8Bit(std::strerror(Error));
}

// An I/O failure on a store file: "path: reason".
struct IoError {
    QString Text;
};

[[noreturn]] void ThrowIo(const QString& Path, int Error) {
    throw IoError{Path + QStringLiteral(": ") + Reason(Error)};
}

class Fd {
public:
    explicit Fd(int Handle) : FHandle(Handle) {}
    ~Fd() {
        if (FHandle >= 0)
            ::close(FHandle);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return FHandle; }
    int Release() { return std::exchange(FHandle, -1); }

private:
    int FHandle;
};

// The file's bytes; nullopt when it does not exist.
std::optional<QByteArray> ReadBytes(const QString& Path, mode_t* Mode = nullptr) {
    const QByteArray Native = QFile::encodeName(Path);
    Fd File(::open(Native.constData(), O_RDONLY | O_CLOEXEC));
    if (File.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        ThrowIo(Path, errno);
    }
    struct stat Info {};
    if (::fstat(File.Get(), &Info) != 0)
        ThrowIo(Path, errno);
    if (Mode)
        *Mode = Info.st_mode & 07777;
    QByteArray Bytes;
    char Buffer[65536];
    for (;;) {
        const ssize_t N = ::read(File.Get(), Buffer, sizeof Buffer);
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0)
            ThrowIo(Path, errno);
        if (N == 0)
            break;
        Bytes.append(Buffer, N);
        if (Bytes.size() > RegFile::MaxFileSize)
            break; // enough to be refused by the parser
    }
    return Bytes;
}

RegFile::Document Load(const QString& Path) {
    std::optional<QByteArray> Bytes;
    try {
        Bytes = ReadBytes(Path);
    } catch (const IoError& E) {
        throw ERegistryException(E.Text);
    }
    return Bytes ? RegFile::Parse(*Bytes, Path) : RegFile::Document{};
}

void MakePath(const QString& Dir) {
    QString Sofar;
    for (const QString& Part : Dir.split(u'/', Qt::SkipEmptyParts)) {
        Sofar += u'/' + Part;
        const QByteArray Native = QFile::encodeName(Sofar);
        if (::mkdir(Native.constData(), 0700) == 0)
            continue;
        if (errno != EEXIST)
            ThrowIo(Sofar, errno);
        struct stat Info {};
        if (::stat(Native.constData(), &Info) != 0)
            ThrowIo(Sofar, errno);
        if (!S_ISDIR(Info.st_mode))
            ThrowIo(Sofar, ENOTDIR);
    }
}

void WriteAll(int Handle, const QByteArray& Bytes, const QString& Path) {
    const char* Data = Bytes.constData();
    qsizetype Left = Bytes.size();
    while (Left > 0) {
        const ssize_t N = ::write(Handle, Data, size_t(Left));
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0)
            ThrowIo(Path, errno);
        Data += N;
        Left -= N;
    }
}

// Writes Bytes to a temporary file beside Target, flushes it to disk and renames it over
// Target, so a reader sees either the old or the new store and never a torn one.
void ReplaceFile(const QString& Target, const QByteArray& Bytes, mode_t Mode) {
    QByteArray Template = QFile::encodeName(Target) + ".XXXXXX";
    Fd Temp(::mkstemp(Template.data()));
    if (Temp.Get() < 0)
        ThrowIo(Target, errno);
    const QString TempPath = QFile::decodeName(Template);
    try {
        WriteAll(Temp.Get(), Bytes, Target);
        if (::fchmod(Temp.Get(), Mode) != 0 || ::fsync(Temp.Get()) != 0)
            ThrowIo(Target, errno);
        if (::close(Temp.Release()) != 0)
            ThrowIo(Target, errno);
        if (::rename(Template.constData(), QFile::encodeName(Target).constData()) != 0)
            ThrowIo(Target, errno);
    } catch (...) {
        ::unlink(Template.constData());
        throw;
    }
    const QByteArray Dir = QFile::encodeName(QFileInfo(Target).absolutePath());
    Fd DirHandle(::open(Dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (DirHandle.Get() >= 0)
        ::fsync(DirHandle.Get());
}

// The store file itself when StorePath is a link, so the link survives the rename.
QString WriteTarget() {
    const QString Path = TRegistry::StorePath();
    const QFileInfo Info(Path);
    return Info.isSymLink() ? Info.symLinkTarget() : Path;
}

// One locked read-change-write cycle. Change returns false when it changed nothing.
// Failure: ERegistryException with Headline, then the file and the reason (or the parse error).
void Update(const QString& Headline, const std::function<bool(RegFile::Document&)>& Change) {
    const QString Target = WriteTarget();
    try {
        MakePath(QFileInfo(Target).absolutePath());
        const QString LockPath = Target + QStringLiteral(".lock");
        Fd Lock(
            ::open(QFile::encodeName(LockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (Lock.Get() < 0)
            ThrowIo(LockPath, errno);
        while (::flock(Lock.Get(), LOCK_EX) != 0)
            if (errno != EINTR)
                ThrowIo(LockPath, errno);
        mode_t Mode = 0600;
        const std::optional<QByteArray> Old = ReadBytes(Target, &Mode);
        RegFile::Document Doc = Old ? RegFile::Parse(*Old, Target) : RegFile::Document{};
        if (!Change(Doc))
            return;
        const QByteArray New = RegFile::Write(Doc);
        if (Old && *Old == New)
            return;
        // Never leave a store behind that could not be read back (a name too long for a line,
        // a file past the size limit).
        try {
            RegFile::Parse(New, Target);
        } catch (const ERegistryException& E) {
            throw IoError{QStringLiteral("The change would make the store unreadable: ") +
                          E.Message};
        }
        ReplaceFile(Target, New, Mode);
    } catch (const IoError& E) {
        throw ERegistryException(Headline + u'\n' + E.Text);
    } catch (const ERegistryException& E) {
        throw ERegistryException(Headline + u'\n' + E.Message);
    }
}

QString SetFailure(const QString& Name) {
    return QStringLiteral("Failed to set data for '%1'").arg(Name);
}

bool HasControlCharacter(const QString& Text) {
    for (const QChar C : Text)
        if (C.unicode() < 0x20)
            return true;
    return false;
}

} // namespace

QString TRegistry::StorePath() {
    QString Base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (Base.isEmpty() || !QDir::isAbsolutePath(Base))
        Base = QDir::homePath() + QStringLiteral("/.config");
    return Base + QStringLiteral("/Tamsor/registry.reg");
}

bool TRegistry::OpenKey(const QString& Key, bool CanCreate) {
    const QString Full = FullPath(Key);
    if (!RegFile::KeyExists(Load(StorePath()), Full)) {
        if (!CanCreate)
            return false;
        try {
            if (HasControlCharacter(Key))
                throw ERegistryException(
                    QStringLiteral("A key name cannot hold control characters."));
            Update(QStringLiteral("Failed to create key '%1'").arg(NormalizedKey(Key)),
                   [&](RegFile::Document& Doc) {
                       if (RegFile::KeyExists(Doc, Full))
                           return false;
                       RegFile::EnsureKey(Doc, Full);
                       return true;
                   });
        } catch (const ERegistryException& E) {
            FLastError = E.Message;
            return false;
        }
    }
    FCurrentPath = NormalizedKey(Key);
    FOpen = true;
    FReadOnly = false;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const QString& Key) {
    if (!RegFile::KeyExists(Load(StorePath()), FullPath(Key)))
        return false;
    FCurrentPath = NormalizedKey(Key);
    FOpen = true;
    FReadOnly = true;
    return true;
}

void TRegistry::CloseKey() {
    FCurrentPath.clear();
    FOpen = false;
    FReadOnly = false;
}

bool TRegistry::KeyExists(const QString& Key) const {
    return RegFile::KeyExists(Load(StorePath()), FullPath(Key));
}

bool TRegistry::FindValue(const QString& Name, RegFile::Value& Out) const {
    if (!FOpen)
        return false;
    const RegFile::Document Doc = Load(StorePath());
    const RegFile::Key* K = RegFile::FindKey(Doc, FullPath(FCurrentPath));
    const RegFile::Value* V = K ? RegFile::FindValue(*K, Name) : nullptr;
    if (!V)
        return false;
    Out = *V;
    return true;
}

bool TRegistry::ValueExists(const QString& Name) const {
    RegFile::Value V;
    return FindValue(Name, V);
}

int TRegistry::ReadInteger(const QString& Name) const {
    RegFile::Value V;
    if (!FindValue(Name, V))
        throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(Name));
    quint32 Number = 0;
    if (!RegFile::IntegerOf(V, Number))
        throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(Name));
    return int(Number);
}

QString TRegistry::ReadString(const QString& Name) const {
    RegFile::Value V;
    if (!FindValue(Name, V))
        throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(Name));
    QString Text;
    if (!RegFile::StringOf(V, Text))
        throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(Name));
    return Text;
}

void TRegistry::CheckWritable(const QString& Name) const {
    QString Why;
    if (!FOpen)
        Why = QStringLiteral("No key is open.");
    else if (FReadOnly)
        Why = QStringLiteral("The key '%1' is open for reading only.").arg(FCurrentPath);
    else if (HasControlCharacter(Name))
        Why = QStringLiteral("A value name cannot hold control characters.");
    if (!Why.isEmpty())
        throw ERegistryException(SetFailure(Name) + u'\n' + Why);
}

void TRegistry::WriteValue(const RegFile::Value& Value) {
    CheckWritable(Value.Name);
    const QString Full = FullPath(FCurrentPath);
    Update(SetFailure(Value.Name), [&](RegFile::Document& Doc) {
        RegFile::SetValue(RegFile::EnsureKey(Doc, Full), Value);
        return true;
    });
}

void TRegistry::WriteInteger(const QString& Name, int Value) {
    RegFile::Value V;
    V.Type = RegFile::ValueType::Dword;
    V.Name = Name;
    V.Dword = quint32(Value);
    WriteValue(V);
}

void TRegistry::WriteString(const QString& Name, const QString& Value) {
    if (Value.contains(QChar(0)))
        throw ERegistryException(SetFailure(Name) +
                                 QStringLiteral("\nA string cannot hold a NUL character."));
    RegFile::Value V;
    V.Type = RegFile::ValueType::String;
    V.Name = Name;
    V.Text = Value;
    WriteValue(V);
}

bool TRegistry::DeleteValue(const QString& Name) {
    if (!FOpen || FReadOnly || !ValueExists(Name))
        return false;
    const QString Full = FullPath(FCurrentPath);
    bool Removed = false;
    Update(QStringLiteral("Failed to delete value '%1'").arg(Name), [&](RegFile::Document& Doc) {
        RegFile::Key* K = RegFile::FindKey(Doc, Full);
        Removed = K && RegFile::RemoveValue(*K, Name);
        return Removed;
    });
    return Removed;
}
