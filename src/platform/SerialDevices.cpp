#include "SerialDevices.h"

#include "MessageText.h"
#include "TerminalDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

#ifdef HALVORN_HAVE_LIBUDEV
#include <libudev.h>
#endif

namespace SerialDevices {

namespace {

const QString ModemManagerName = QStringLiteral("ModemManager");
const QString ByIdPrefix = QStringLiteral("/serial/by-id/");

// A small attribute file (sysfs, /proc), trimmed; empty when it cannot be read.
QString ReadText(const QString& Path) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(File.read(4096)).trimmed();
}

// "ttyS2" before "ttyS10": the trailing number counts as a number.
bool KernelNameLess(const QString& A, const QString& B) {
    const auto Split = [](const QString& Name) {
        qsizetype Digits = Name.size();
        while (Digits > 0 && Name[Digits - 1].isDigit())
            --Digits;
        return std::make_pair(Name.left(Digits), Name.mid(Digits).toULongLong());
    };
    return Split(A) < Split(B);
}

// A class/tty entry is a serial device when it has a device behind it (virtual consoles and
// pseudo-terminals have none); the 8250 driver registers every possible ttyS, and only those
// whose port type is known (not 0) have a UART.
bool IsSerialDevice(const QString& SysDir, const QString& KernelName) {
    if (!QFileInfo::exists(SysDir + QStringLiteral("/device")))
        return false;
    return !(KernelName.startsWith(QLatin1String("ttyS")) &&
             ReadText(SysDir + QStringLiteral("/type")) == QLatin1String("0"));
}

// The class/tty folders of the serial devices. udev is not asked to enumerate: it reads the
// records of every tty, most of them virtual consoles, which costs more than the rest of a
// listing.
QStringList SerialClassDirs(const QString& SysRoot) {
    const QString ClassDir = SysRoot + QStringLiteral("/class/tty/");
    QStringList Dirs;
    const QStringList Names =
        QDir(ClassDir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& Name : Names)
        if (IsSerialDevice(ClassDir + Name, Name))
            Dirs << ClassDir + Name;
    return Dirs;
}

void SortByKernelName(QList<TDevice>& Devices) {
    std::sort(Devices.begin(), Devices.end(), [](const TDevice& A, const TDevice& B) {
        return KernelNameLess(A.KernelName, B.KernelName);
    });
}

// The by-id links of DevRoot, keyed by the device node they lead to; the first by name wins.
QHash<QString, QString> StableNames(const QString& DevRoot) {
    QHash<QString, QString> Names;
    QDir ById(DevRoot + ByIdPrefix);
    const QFileInfoList Links =
        ById.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& Link : Links) {
        const QString Target = Link.canonicalFilePath();
        if (!Target.isEmpty() && !Names.contains(Target))
            Names.insert(Target, Link.absoluteFilePath());
    }
    return Names;
}

QList<TDevice> ListFromSysfs(const TRoots& Roots) {
    const QString SysRoot = QFileInfo(Roots.Sys).canonicalFilePath();
    const QHash<QString, QString> Stable = StableNames(Roots.Dev);
    QList<TDevice> Devices;
    for (const QString& Dir : SerialClassDirs(Roots.Sys)) {
        const QString Name = QFileInfo(Dir).fileName();
        TDevice Device;
        Device.KernelName = Name;
        // The node's name is in the uevent; a '!' in a sysfs name stands for a '/'.
        QString NodeName = QString(Name).replace(QLatin1Char('!'), QLatin1Char('/'));
        const QStringList Uevent = ReadText(Dir + QStringLiteral("/uevent")).split('\n');
        for (const QString& Line : Uevent)
            if (Line.startsWith(QLatin1String("DEVNAME=")))
                NodeName = Line.mid(8);
        Device.Path = Roots.Dev + QLatin1Char('/') + NodeName;
        Device.Stable = Stable.value(QFileInfo(Device.Path).canonicalFilePath());
        // The USB device is the nearest folder above with a vendor id.
        QString Up = QFileInfo(Dir + QStringLiteral("/device")).canonicalFilePath();
        while (!SysRoot.isEmpty() && Up.size() > SysRoot.size() && Up.startsWith(SysRoot)) {
            if (QFileInfo::exists(Up + QStringLiteral("/idVendor"))) {
                Device.Maker = ReadText(Up + QStringLiteral("/manufacturer"));
                Device.Product = ReadText(Up + QStringLiteral("/product"));
                Device.SerialNumber = ReadText(Up + QStringLiteral("/serial"));
                break;
            }
            Up = QFileInfo(Up).path();
        }
        Devices << Device;
    }
    return Devices;
}

#ifdef HALVORN_HAVE_LIBUDEV
QString Text(const char* Value) {
    return Value ? QString::fromLocal8Bit(Value).trimmed() : QString();
}

// Empty with Ok false when udev cannot be asked, so sysfs answers instead.
QList<TDevice> ListFromUdev(bool& Ok) {
    QList<TDevice> Devices;
    udev* Udev = udev_new();
    Ok = Udev != nullptr;
    if (!Ok)
        return Devices;
    for (const QString& Dir : SerialClassDirs(QStringLiteral("/sys"))) {
        udev_device* Dev = udev_device_new_from_syspath(
            Udev, QFile::encodeName(QFileInfo(Dir).canonicalFilePath()).constData());
        if (!Dev)
            continue;
        const QString Node = Text(udev_device_get_devnode(Dev));
        if (!Node.isEmpty()) {
            TDevice Device;
            Device.KernelName = Text(udev_device_get_sysname(Dev));
            Device.Path = Node;
            udev_list_entry* Link = nullptr;
            QStringList ById;
            udev_list_entry_foreach(Link, udev_device_get_devlinks_list_entry(Dev)) {
                const QString Path = Text(udev_list_entry_get_name(Link));
                if (Path.startsWith(QStringLiteral("/dev") + ByIdPrefix))
                    ById << Path;
            }
            ById.sort();
            Device.Stable = ById.value(0);
            if (udev_device* Usb =
                    udev_device_get_parent_with_subsystem_devtype(Dev, "usb", "usb_device")) {
                Device.Maker = Text(udev_device_get_sysattr_value(Usb, "manufacturer"));
                Device.Product = Text(udev_device_get_sysattr_value(Usb, "product"));
                Device.SerialNumber = Text(udev_device_get_sysattr_value(Usb, "serial"));
            }
            Devices << Device;
        }
        udev_device_unref(Dev);
    }
    udev_unref(Udev);
    return Devices;
}
#endif

// The character devices of the tty drivers, from the proc tree's driver table
// ("serial  /dev/ttyS  4  64-111 serial"); empty when it cannot be read.
struct TTtyRange {
    unsigned Major;
    unsigned First;
    unsigned Last;
};

QList<TTtyRange> TtyRanges(const QString& ProcRoot) {
    QList<TTtyRange> Ranges;
    const QStringList Lines = ReadText(ProcRoot + QStringLiteral("/tty/drivers")).split('\n');
    for (const QString& Line : Lines) {
        const QStringList Fields = Line.simplified().split(QLatin1Char(' '));
        if (Fields.size() < 4)
            continue;
        const QStringList Minors = Fields[Fields.size() - 2].split(QLatin1Char('-'));
        bool Ok[3] = {};
        const TTtyRange Range{Fields[Fields.size() - 3].toUInt(&Ok[0]), Minors[0].toUInt(&Ok[1]),
                              Minors.value(Minors.size() - 1).toUInt(&Ok[2])};
        if (Ok[0] && Ok[1] && Ok[2])
            Ranges << Range;
    }
    return Ranges;
}

struct TLock {
    unsigned Major = 0;
    unsigned Minor = 0;
    qulonglong Inode = 0;
    qint64 Pid = 0;
};

// Who has which file open, who holds which lock and which devices are terminals, read once
// from the proc tree for all the devices of a listing. Processes of other users are left out of the
// open files unless we may read them; their locks and names are readable by all.
class TProcSnapshot {
public:
    explicit TProcSnapshot(const QString& ProcRoot)
        : FProcRoot(ProcRoot), FTtyRanges(TtyRanges(ProcRoot)) {
        ReadLocks();
        ReadProcesses();
    }

    QList<qint64> LockHolders(const struct stat& Info) const {
        QList<qint64> Pids;
        for (const TLock& Lock : FLocks)
            if (Lock.Major == major(Info.st_dev) && Lock.Minor == minor(Info.st_dev) &&
                Lock.Inode == Info.st_ino && !Pids.contains(Lock.Pid))
                Pids << Lock.Pid;
        return Pids;
    }
    QList<qint64> Openers(const QString& CanonicalPath) const {
        return FOpeners.value(CanonicalPath);
    }
    TProcess Process(qint64 Pid) const { return {Pid > 0 ? Pid : 0, FNames.value(Pid)}; }
    bool ModemManagerRuns() const { return FModemManagerRuns; }
    const QList<TTtyRange>& Terminals() const { return FTtyRanges; }

private:
    // "1: FLOCK  ADVISORY  WRITE 4711 00:05:123 0 EOF": the pid stands before
    // "major:minor:inode" (hexadecimal, hexadecimal, decimal); "->" marks a waiter, which holds
    // nothing yet; an open-file-description lock has pid -1.
    void ReadLocks() {
        QFile File(FProcRoot + QStringLiteral("/locks"));
        if (!File.open(QIODevice::ReadOnly))
            return;
        const QList<QByteArray> Lines = File.readAll().split('\n');
        for (const QByteArray& Line : Lines) {
            const QList<QByteArray> Fields = Line.simplified().split(' ');
            if (Fields.size() < 3 || Fields.value(1) == "->")
                continue;
            for (qsizetype i = 1; i < Fields.size(); ++i) {
                const QList<QByteArray> Parts = Fields[i].split(':');
                if (Parts.size() != 3)
                    continue;
                bool Ok[4] = {};
                TLock Lock{Parts[0].toUInt(&Ok[0], 16), Parts[1].toUInt(&Ok[1], 16),
                           Parts[2].toULongLong(&Ok[2]), Fields[i - 1].toLongLong(&Ok[3])};
                if (Ok[0] && Ok[1] && Ok[2] && Ok[3])
                    FLocks << Lock;
                break;
            }
        }
    }

    void ReadProcesses() {
        const QByteArray Root = QFile::encodeName(FProcRoot);
        DIR* Proc = ::opendir(Root.constData());
        if (!Proc)
            return;
        std::vector<char> Target(4096);
        while (const dirent* Entry = ::readdir(Proc)) {
            bool Numeric = false;
            const qint64 Pid = QByteArray(Entry->d_name).toLongLong(&Numeric);
            if (!Numeric || Pid <= 0)
                continue;
            const QByteArray Dir = Root + '/' + Entry->d_name;
            const QString Name = ReadText(QFile::decodeName(Dir + "/comm"));
            FNames.insert(Pid, Name);
            FModemManagerRuns = FModemManagerRuns || Name == ModemManagerName;
            DIR* Fds = ::opendir((Dir + "/fd").constData());
            if (!Fds)
                continue;
            while (const dirent* Fd = ::readdir(Fds)) {
                const ssize_t Size =
                    ::readlinkat(::dirfd(Fds), Fd->d_name, Target.data(), Target.size() - 1);
                // Sockets, pipes and the like are no paths.
                if (Size <= 0 || Target[0] != '/')
                    continue;
                QList<qint64>& Pids = FOpeners[QFile::decodeName(QByteArray(Target.data(), Size))];
                if (!Pids.contains(Pid))
                    Pids << Pid;
            }
            ::closedir(Fds);
        }
        ::closedir(Proc);
    }

    QString FProcRoot;
    QList<TTtyRange> FTtyRanges;
    QList<TLock> FLocks;
    QHash<QString, QList<qint64>> FOpeners;
    QHash<qint64, QString> FNames;
    bool FModemManagerRuns = false;
};

// What Path is instead of a terminal device ("is a folder"), or empty. Without the driver
// table every character device passes: better to let the port say why it fails than to
// refuse a device that may be good.
QString NotTerminalReason(const struct stat& Info, const QList<TTtyRange>& Ranges) {
    if (S_ISDIR(Info.st_mode))
        return QStringLiteral("is a folder, not a serial device");
    if (S_ISREG(Info.st_mode))
        return QStringLiteral("is a regular file, not a serial device");
    if (!S_ISCHR(Info.st_mode))
        return QStringLiteral("is not a device");
    const unsigned Major = major(Info.st_rdev);
    const unsigned Minor = minor(Info.st_rdev);
    const bool Terminal =
        Ranges.isEmpty() || std::any_of(Ranges.begin(), Ranges.end(), [&](const TTtyRange& R) {
            return R.Major == Major && Minor >= R.First && Minor <= R.Last;
        });
    return Terminal ? QString() : QStringLiteral("is a device, but not a serial one");
}

QString GroupName(gid_t Gid) {
    std::vector<char> Buffer(16384);
    group Entry{};
    group* Found = nullptr;
    if (::getgrgid_r(Gid, &Entry, Buffer.data(), Buffer.size(), &Found) == 0 && Found)
        return QString::fromLocal8Bit(Found->gr_name);
    return QString::number(Gid);
}

QString UserName() {
    std::vector<char> Buffer(16384);
    passwd Entry{};
    passwd* Found = nullptr;
    if (::getpwuid_r(::getuid(), &Entry, Buffer.data(), Buffer.size(), &Found) == 0 && Found)
        return QString::fromLocal8Bit(Found->pw_name);
    return qEnvironmentVariable("USER", QStringLiteral("$USER"));
}

// Exclusive use (TIOCEXCL) shows nowhere but in an open that the kernel refuses with EBUSY,
// and an open of an idle port raises DTR and RTS (and its close drops them): enough to reset
// some instruments. So this is asked only of a device that another descriptor holds open: the
// port is active already, the open changes no line and the close, not being the last, drops
// none. (An open does raise DTR again where its holder lowered it by hand; a holder that
// claimed the line refuses us before that, except when we are root.) Root passes TIOCEXCL, so
// the flag is read back.
bool ClaimedExclusively(const QString& Path) {
    const TFd Device = TerminalDevice::Open(Path, O_RDONLY);
    if (!Device.Valid())
        return errno == EBUSY;
    int Exclusive = 0;
    return ::ioctl(Device.Get(), TIOCGEXCL, &Exclusive) == 0 && Exclusive != 0;
}

TStatus StateWith(const QString& Path, const TProcSnapshot& Table) {
    TStatus Status;
    struct stat Info {};
    const QByteArray Native = QFile::encodeName(Path);
    if (Path.isEmpty())
        return Status;
    if (::stat(Native.constData(), &Info) != 0) {
        // A folder on the way that we may not enter hides the device: no group to name.
        Status.State = errno == EACCES ? TState::NoPermission : TState::Missing;
        return Status;
    }
    Status.Reason = NotTerminalReason(Info, Table.Terminals());
    if (!Status.Reason.isEmpty()) {
        Status.State = TState::NotTerminal;
        return Status;
    }
    if (::access(Native.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        Status.State = TState::NoPermission;
        Status.Group = GroupName(Info.st_gid);
        Status.User = UserName();
        return Status;
    }
    const QString Canonical = QFileInfo(Path).canonicalFilePath();
    const QList<qint64> Open = Table.Openers(Canonical);
    QList<qint64> Holders = Table.LockHolders(Info);
    if (Holders.isEmpty() && !Open.isEmpty() && ClaimedExclusively(Path)) {
        // Any of the processes that have it open may have claimed it; our own only when
        // nobody else is there.
        Holders = Open;
        if (Holders.size() > 1)
            Holders.removeAll(::getpid());
    }
    Status.State = Holders.isEmpty() ? TState::Free : TState::Busy;
    for (const qint64 Pid : Holders) {
        Status.Holders << Table.Process(Pid);
        Status.ModemManager =
            Status.ModemManager || Status.Holders.last().Program == ModemManagerName;
    }
    for (const qint64 Pid : Open)
        if (Pid != ::getpid() && !Holders.contains(Pid))
            Status.Openers << Table.Process(Pid);
    // ModemManager runs as root, so what it holds open is hidden from users: warn wherever it
    // may have grabbed the device.
    if (Status.State == TState::Free && Table.ModemManagerRuns() &&
        QFileInfo(Canonical).fileName().startsWith(QLatin1String("ttyACM")))
        Status.ModemManager = true;
    return Status;
}

QString ProcessText(const TProcess& Process) {
    const QString Program = Process.Program.isEmpty() ? QStringLiteral("another program")
                                                      : MessageText::Shown(Process.Program, 40);
    return Process.Pid > 0 ? QStringLiteral("%1 (pid %2)").arg(Program).arg(Process.Pid) : Program;
}

QString ProcessesText(const QList<TProcess>& Processes) {
    QStringList Texts;
    for (const TProcess& Process : Processes)
        Texts << ProcessText(Process);
    return Texts.join(QStringLiteral(", "));
}

} // namespace

bool UdevSupported() {
#ifdef HALVORN_HAVE_LIBUDEV
    return true;
#else
    return false;
#endif
}

QList<TDevice> ListDevices(const TRoots& Roots) {
    QList<TDevice> Devices;
    bool Listed = false;
#ifdef HALVORN_HAVE_LIBUDEV
    if (Roots.UseUdev && Roots.Sys == QLatin1String("/sys") && Roots.Dev == QLatin1String("/dev"))
        Devices = ListFromUdev(Listed);
#endif
    if (!Listed)
        Devices = ListFromSysfs(Roots);
    SortByKernelName(Devices);
    return Devices;
}

TStatus StateOf(const QString& Path, const TRoots& Roots) {
    return StateWith(Path, TProcSnapshot(Roots.Proc));
}

QList<TStatus> StatesOf(const QStringList& Paths, const TRoots& Roots) {
    const TProcSnapshot Table(Roots.Proc);
    QList<TStatus> States;
    for (const QString& Path : Paths)
        States << StateWith(Path, Table);
    return States;
}

QList<TDevice> Inventory(const QList<TAssignment>& Assignments, const TRoots& Roots) {
    QList<TDevice> Rows = ListDevices(Roots);
    QStringList Canonical;
    for (const TDevice& Device : Rows)
        Canonical << QFileInfo(Device.Path).canonicalFilePath();

    QList<TAssignment> Sorted = Assignments;
    std::stable_sort(Sorted.begin(), Sorted.end(), [](const TAssignment& A, const TAssignment& B) {
        return KernelNameLess(A.Port.toUpper(), B.Port.toUpper());
    });
    for (const TAssignment& Assignment : Sorted) {
        if (Assignment.Path.isEmpty())
            continue;
        const QString Target = QFileInfo(Assignment.Path).canonicalFilePath();
        qsizetype Row = 0;
        for (; Row < Rows.size(); ++Row) {
            if (Assignment.Path == Rows[Row].Path || Assignment.Path == Rows[Row].Stable ||
                (!Target.isEmpty() && Target == Canonical[Row]))
                break;
        }
        if (Row == Rows.size()) {
            TDevice Other;
            Other.Path = Assignment.Path;
            Other.Hardware = false;
            Rows << Other;
            Canonical << Target;
        }
        TDevice& Device = Rows[Row];
        if (Device.Ports.isEmpty())
            Device.AssignedPath = Assignment.Path;
        Device.Ports << Assignment.Port.toUpper();
    }

    QStringList Paths;
    for (const TDevice& Device : Rows)
        Paths << Device.Path;
    const QList<TStatus> States = StatesOf(Paths, Roots);
    for (qsizetype Row = 0; Row < Rows.size(); ++Row)
        Rows[Row].Status = States[Row];
    return Rows;
}

QString Refusal(const QString& Path, const TRoots& Roots) {
    struct stat Info {};
    if (::stat(QFile::encodeName(Path).constData(), &Info) != 0)
        return {};
    const QString Reason = NotTerminalReason(Info, TtyRanges(Roots.Proc));
    return Reason.isEmpty() ? QString() : MessageText::Shown(Path) + QLatin1Char(' ') + Reason;
}

QString StoredPath(const QString& Path, const QList<TDevice>& Devices) {
    const QString Canonical = QFileInfo(Path).canonicalFilePath();
    for (const TDevice& Device : Devices)
        if (Device.Hardware && !Device.Stable.isEmpty() &&
            (Path == Device.Path ||
             (!Canonical.isEmpty() && Canonical == QFileInfo(Device.Path).canonicalFilePath())))
            return Device.Stable;
    return Path;
}

QString Word(TState State) {
    switch (State) {
    case TState::Free:
        return QStringLiteral("free");
    case TState::Busy:
        return QStringLiteral("busy");
    case TState::NoPermission:
        return QStringLiteral("no-permission");
    case TState::Missing:
        return QStringLiteral("missing");
    case TState::NotTerminal:
        break;
    }
    return QStringLiteral("not-a-terminal");
}

QString Sentence(const TStatus& Status, const QString& Path) {
    switch (Status.State) {
    case TState::Free:
        return QStringLiteral("free");
    case TState::Busy:
        return QStringLiteral("in use by ") + (Status.Holders.isEmpty()
                                                   ? QStringLiteral("another program")
                                                   : ProcessesText(Status.Holders));
    case TState::NoPermission:
        return Status.Group.isEmpty() ? QStringLiteral("no permission")
                                      : QStringLiteral("no permission: group ") + Status.Group;
    case TState::Missing:
        return QStringLiteral("missing: no device at ") + MessageText::Shown(Path);
    case TState::NotTerminal:
        break;
    }
    return MessageText::Shown(Path) + QLatin1Char(' ') + Status.Reason;
}

TAvailability Availability(const QString& Path) {
    const QByteArray Name = QFile::encodeName(Path);
    struct stat Info {};
    if (::stat(Name.constData(), &Info) != 0)
        return {false, QStringLiteral("no device at ") + MessageText::Shown(Path)};
    // Asked twice a second: who holds the device (a scan of every process) is only worth
    // asking when it is not plainly usable.
    if (S_ISCHR(Info.st_mode) && ::access(Name.constData(), R_OK | W_OK) == 0)
        return {true, MessageText::Shown(Path)};
    const TStatus Status = StateOf(Path);
    return {Status.State == TState::Free || Status.State == TState::Busy, Sentence(Status, Path)};
}

QStringList Hints(const TStatus& Status) {
    QStringList Hints;
    if (Status.State == TState::NoPermission && !Status.Group.isEmpty())
        Hints << QStringLiteral("To use it, run \"sudo usermod -aG %1 %2\", then log out and in.")
                     .arg(Status.Group, Status.User);
    if (Status.ModemManager)
        Hints << QStringLiteral(
            "ModemManager grabs ttyACM devices. Stop it with \"sudo systemctl stop "
            "ModemManager\", or keep it off this device with a udev rule that sets "
            "ENV{ID_MM_DEVICE_IGNORE}=\"1\".");
    if (!Status.Openers.isEmpty())
        Hints << QStringLiteral("Also open in %1, which may take bytes meant for a download.")
                     .arg(ProcessesText(Status.Openers));
    return Hints;
}

QString Description(const TDevice& Device) {
    QString Text = QStringList({Device.Maker, Device.Product}).join(QLatin1Char(' ')).trimmed();
    if (!Device.SerialNumber.isEmpty())
        Text += (Text.isEmpty() ? QStringLiteral("(%1)") : QStringLiteral(" (%1)"))
                    .arg(Device.SerialNumber);
    // The texts come from the device's own firmware.
    return MessageText::Shown(Text);
}

} // namespace SerialDevices
