#include "Registry.h"

#include "AtomicWrite.h"
#include "Exception.h"
#include "FileDescriptor.h"
#include "MessageText.h"
#include "RegFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// An I/O failure on a store file: "path: reason".
struct IoError {
    QString Text;
};

// Names the file and says what is wrong with it.
[[noreturn]] void ThrowIo(const QString& Path, const QString& Why) {
    throw IoError{MessageText::Shown(Path, PATH_MAX) + QStringLiteral(": ") + Why};
}

[[noreturn]] void ThrowIo(const QString& Path, int Error) {
    ThrowIo(Path, AtomicWrite::Reason(Error));
}

// The store as last read: the file's bytes and what they parse to, or the parse error.
struct TStoreText {
    QString Path;
    bool Exists = false;
    QByteArray Bytes;
    QString Error;
    // For lookups; the whole document only once a write has needed it.
    std::shared_ptr<RegFile::TIndex> Index;
    std::shared_ptr<const RegFile::Document> Doc;

    bool KeyExists(const QString& Key) const {
        return Doc ? RegFile::KeyExists(*Doc, Key) : Index && Index->KeyExists(Key);
    }
    const RegFile::Key* FindKey(const QString& Key) const {
        return Doc ? RegFile::FindKey(*Doc, Key) : Index ? Index->FindKey(Key) : nullptr;
    }
};

// The file's bytes; nullopt when it does not exist. Anything but a plain file is refused: a
// FIFO would block the reader for ever, a device could feed it without end.
std::optional<QByteArray> ReadBytes(const QString& Path) {
    const QByteArray Native = QFile::encodeName(Path);
    TFd File(::open(Native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (File.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        ThrowIo(Path, errno);
    }
    struct stat Info {};
    if (::fstat(File.Get(), &Info) != 0)
        ThrowIo(Path, errno);
    if (!S_ISREG(Info.st_mode))
        ThrowIo(Path, QStringLiteral("the settings store must be a plain file, and this is %1")
                          .arg(S_ISDIR(Info.st_mode)    ? QStringLiteral("a folder")
                               : S_ISFIFO(Info.st_mode) ? QStringLiteral("a pipe (FIFO)")
                                                        : QStringLiteral("a device or socket")));
    QByteArray Bytes;
    Bytes.reserve(qsizetype(std::min<qint64>(Info.st_size, RegFile::MaxFileSize) + 1));
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

// The store is read once and again only when the file changed: commands read several values,
// and a store may be megabytes. A file is taken as unchanged when its identity, size and times
// are those seen at the last read and that read came well after its last change (time stamps
// are coarse: a change within the same tick keeps them); otherwise its bytes are read and
// compared. Reads look keys up through an index; a write parses the whole file.
class TStoreCache {
public:
    // Look(store) under the cache's lock, on the store as it is now.
    template <typename TLook> auto Lookup(const QString& Path, const TLook& Look) {
        std::lock_guard<std::mutex> Guard(FMutex);
        const TStoreText& Text = Current(Path);
        if (!Text.Error.isEmpty())
            throw ERegistryException(Text.Error);
        return Look(Text);
    }

    // The store with its whole document, for a write.
    TStoreText Whole(const QString& Path) {
        std::lock_guard<std::mutex> Guard(FMutex);
        TStoreText& Text = Current(Path);
        if (!Text.Error.isEmpty())
            throw ERegistryException(Text.Error);
        if (Text.Exists && !Text.Doc)
            Text.Doc = std::make_shared<const RegFile::Document>(RegFile::Parse(Text.Bytes, Path));
        return Text;
    }

    // What was just written there; its next read only compares bytes.
    void Written(const QString& Path, const QByteArray& Bytes, RegFile::Document Doc) {
        std::lock_guard<std::mutex> Guard(FMutex);
        FText = {Path, true,    Bytes,
                 {},   nullptr, std::make_shared<const RegFile::Document>(std::move(Doc))};
        FInfo = {};
    }

private:
    TStoreText& Current(const QString& Path) {
        struct stat Info {};
        if (::stat(QFile::encodeName(Path).constData(), &Info) != 0) {
            if (errno != ENOENT && errno != ENOTDIR)
                ThrowIo(Path, errno);
            return Missing(Path);
        }
        if (FText.Exists && FText.Path == Path && Same(Info, FInfo) && !Racy(FInfo, FReadAt))
            return FText;
        const timespec ReadAt = Now();
        const std::optional<QByteArray> Bytes = ReadBytes(Path);
        if (!Bytes)
            return Missing(Path);
        if (!(FText.Exists && FText.Path == Path && FText.Bytes == *Bytes)) {
            FText = {Path, true, *Bytes, {}, nullptr, nullptr};
            try {
                FText.Index = std::make_shared<RegFile::TIndex>(*Bytes, Path);
            } catch (const ERegistryException& E) {
                FText.Error = E.Message;
            }
        }
        FInfo = Info;
        FReadAt = ReadAt;
        return FText;
    }
    TStoreText& Missing(const QString& Path) {
        FMissing = {};
        FMissing.Path = Path;
        return FMissing;
    }
    static timespec Now() {
        timespec T{};
        ::clock_gettime(CLOCK_REALTIME, &T);
        return T;
    }
    static bool Same(const struct stat& A, const struct stat& B) {
        return A.st_dev == B.st_dev && A.st_ino == B.st_ino && A.st_size == B.st_size &&
               A.st_mtim.tv_sec == B.st_mtim.tv_sec && A.st_mtim.tv_nsec == B.st_mtim.tv_nsec &&
               A.st_ctim.tv_sec == B.st_ctim.tv_sec && A.st_ctim.tv_nsec == B.st_ctim.tv_nsec;
    }
    // Read less than two seconds after the file's last change.
    static bool Racy(const struct stat& Info, const timespec& ReadAt) {
        return ReadAt.tv_sec - std::max(Info.st_mtim.tv_sec, Info.st_ctim.tv_sec) < 2;
    }

    std::mutex FMutex;
    TStoreText FText;
    TStoreText FMissing;
    struct stat FInfo {};
    timespec FReadAt{};
};

TStoreCache& StoreCache() {
    // Never destroyed: freeing a large store piece by piece would only delay the exit.
    static TStoreCache* const Cache = new TStoreCache;
    return *Cache;
}

// Look(store) on the store at Path; ERegistryException when it cannot be read or parsed.
template <typename TLook> auto LookUp(const QString& Path, const TLook& Look) {
    try {
        return StoreCache().Lookup(Path, Look);
    } catch (const IoError& E) {
        throw ERegistryException(E.Text);
    }
}

bool StoreKeyExists(const QString& Key) {
    return LookUp(TRegistry::StorePath(),
                  [&](const TStoreText& Text) { return Text.KeyExists(Key); });
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

// One locked read-change-write cycle. Change returns false when it changed nothing.
// Failure: ERegistryException with Headline, then the file and the reason (or the parse error).
void Update(const QString& Headline, const std::function<bool(RegFile::Document&)>& Change) {
    try {
        // A link to the store is followed as for every other file written, and survives.
        const QString Target = AtomicWrite::WriteTarget(TRegistry::StorePath());
        MakePath(QFileInfo(Target).absolutePath());
        const QString LockPath = Target + QStringLiteral(".lock");
        TFd Lock(
            ::open(QFile::encodeName(LockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (Lock.Get() < 0)
            ThrowIo(LockPath, errno);
        while (::flock(Lock.Get(), LOCK_EX) != 0)
            if (errno != EINTR)
                ThrowIo(LockPath, errno);
        const TStoreText Old = StoreCache().Whole(Target);
        RegFile::Document Doc = Old.Doc ? *Old.Doc : RegFile::Document{};
        if (!Change(Doc))
            return;
        const QByteArray New = RegFile::Write(Doc);
        if (Old.Exists && Old.Bytes == New)
            return;
        // Never leave a store behind that could not be read back (a name too long for a line,
        // a file past the size limit).
        RegFile::Document Written;
        try {
            Written = RegFile::Parse(New, Target);
        } catch (const ERegistryException& E) {
            throw IoError{QStringLiteral("The change would make the store unreadable: ") +
                          E.Message};
        }
        AtomicWrite::ReplaceFile(Target, New, 0600);
        StoreCache().Written(Target, New, std::move(Written));
    } catch (const AtomicWrite::EWriteError& E) {
        throw ERegistryException(Headline + u'\n' + MessageText::Shown(E.Path, PATH_MAX) +
                                 QStringLiteral(": ") + E.Reason);
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
    if (!StoreKeyExists(Full)) {
        if (!CanCreate)
            return false;
        if (HasControlCharacter(Key))
            throw ERegistryException(QStringLiteral("A key name cannot hold control characters."));
        Update(QStringLiteral("Failed to create key '%1'").arg(NormalizedKey(Key)),
               [&](RegFile::Document& Doc) {
                   if (RegFile::KeyExists(Doc, Full))
                       return false;
                   RegFile::EnsureKey(Doc, Full);
                   return true;
               });
    }
    FCurrentPath = NormalizedKey(Key);
    FOpen = true;
    FReadOnly = false;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const QString& Key) {
    if (!StoreKeyExists(FullPath(Key)))
        return false;
    FCurrentPath = NormalizedKey(Key);
    FOpen = true;
    FReadOnly = true;
    return true;
}

void TRegistry::OpenKeyToWrite(const QString& Key, const QString& Name) {
    try {
        OpenKey(Key, true);
    } catch (const Exception& E) {
        throw ERegistryException(SetFailure(Name) + u'\n' + E.Message);
    }
}

void TRegistry::CloseKey() {
    FCurrentPath.clear();
    FOpen = false;
    FReadOnly = false;
}

bool TRegistry::KeyExists(const QString& Key) const {
    return StoreKeyExists(FullPath(Key));
}

bool TRegistry::FindValue(const QString& Name, RegFile::Value& Out) const {
    if (!FOpen)
        return false;
    return LookUp(StorePath(), [&](const TStoreText& Text) {
        const RegFile::Key* K = Text.FindKey(FullPath(FCurrentPath));
        const RegFile::Value* V = K ? RegFile::FindValue(*K, Name) : nullptr;
        if (V)
            Out = *V;
        return V != nullptr;
    });
}

QStringList TRegistry::GetValueNames() const {
    QStringList Names;
    if (!FOpen)
        return Names;
    LookUp(StorePath(), [&](const TStoreText& Text) {
        if (const RegFile::Key* K = Text.FindKey(FullPath(FCurrentPath)))
            for (const RegFile::Value& V : K->Values)
                if (V.Type != RegFile::ValueType::Comment)
                    Names << V.Name;
        return true;
    });
    return Names;
}

bool TRegistry::ValueExists(const QString& Name) const {
    RegFile::Value V;
    return FindValue(Name, V);
}

void TRegistry::FailRead(const QString& Name, bool Found, const char* Wanted) const {
    QString Text = Found ? QStringLiteral("Invalid data type for '%1'").arg(Name)
                         : QStringLiteral("Failed to get data for '%1'").arg(Name);
    // Where to look, for the user who has to mend it.
    if (FOpen) {
        const QString Store = MessageText::Shown(StorePath(), PATH_MAX);
        const QString Key = FullPath(FCurrentPath);
        Text += Found ? QStringLiteral("\nIn the settings store %1, the value '%2' under [%3] is "
                                       "not %4")
                            .arg(Store, Name, Key, QLatin1String(Wanted))
                      : QStringLiteral("\nIn the settings store %1, there is no value '%2' under "
                                       "[%3]")
                            .arg(Store, Name, Key);
    }
    throw ERegistryException(Text);
}

int TRegistry::ReadInteger(const QString& Name) const {
    RegFile::Value V;
    const bool Found = FindValue(Name, V);
    quint32 Number = 0;
    if (!Found || !RegFile::IntegerOf(V, Number))
        FailRead(Name, Found, "a number (dword)");
    return int(Number);
}

QString TRegistry::ReadString(const QString& Name) const {
    RegFile::Value V;
    const bool Found = FindValue(Name, V);
    QString Text;
    if (!Found || !RegFile::StringOf(V, Text))
        FailRead(Name, Found, "a text (string)");
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
