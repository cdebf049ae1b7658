#include "PlatformTest.h"
#include "Pty.h"
#include "TestSupport.h"
#include "platform/SerialDevices.h"

#include <QDir>
#include <QTemporaryDir>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace SerialDevices;
using TestSupport::TPty;
using TestSupport::WriteFile;

namespace {

enum class TClaim { None, Flock, Exclusive };

// Root, whom TIOCEXCL lets through, becomes nobody, still readable in the proc tree by a
// process of the same user.
bool BecomeNobody() {
    return ::geteuid() != 0 ||
           (::setgid(65534) == 0 && ::setuid(65534) == 0 && ::prctl(PR_SET_DUMPABLE, 1) == 0);
}

// A second process that opens Path and claims it as told, named Name, until destroyed.
class THolder {
public:
    THolder(const QString& Path, TClaim Claim, const char* Name, bool AsNobody = false) {
        int Ready[2], Quit[2];
        if (::pipe(Ready) != 0)
            return;
        TFd ReadyRead(Ready[0]), ReadyWrite(Ready[1]);
        if (::pipe(Quit) != 0)
            return;
        TFd QuitRead(Quit[0]), QuitWrite(Quit[1]);
        FPid = ::fork();
        if (FPid == 0) {
            ReadyRead.Reset();
            QuitWrite.Reset();
            ::prctl(PR_SET_NAME, Name);
            if (AsNobody && !BecomeNobody())
                ::_exit(1);
            const int Fd = ::open(QFile::encodeName(Path).constData(), O_RDWR | O_NOCTTY);
            const bool Ok = Fd >= 0 &&
                            (Claim != TClaim::Flock || ::flock(Fd, LOCK_EX | LOCK_NB) == 0) &&
                            (Claim != TClaim::Exclusive || ::ioctl(Fd, TIOCEXCL) == 0);
            const char Answer = Ok ? '1' : '0';
            char Ignored;
            if (::write(ReadyWrite.Get(), &Answer, 1) == 1)
                while (::read(QuitRead.Get(), &Ignored, 1) > 0) {
                }
            // The flag outlives us while the test's own descriptor holds the line.
            ::ioctl(Fd, TIOCNXCL);
            ::_exit(0);
        }
        ReadyWrite.Reset();
        QuitRead.Reset();
        FQuit = std::move(QuitWrite);
        char Answer = 0;
        FOk = FPid > 0 && ::read(ReadyRead.Get(), &Answer, 1) == 1 && Answer == '1';
    }
    ~THolder() {
        FQuit.Reset();
        if (FPid > 0)
            ::waitpid(FPid, nullptr, 0);
    }
    THolder(const THolder&) = delete;
    THolder& operator=(const THolder&) = delete;
    bool Ok() const { return FOk; }
    qint64 Pid() const { return FPid; }

private:
    pid_t FPid = -1;
    TFd FQuit;
    bool FOk = false;
};

QString Shown(const QList<TProcess>& Processes) {
    QStringList Texts;
    for (const TProcess& Process : Processes)
        Texts << QStringLiteral("%1:%2").arg(Process.Program).arg(Process.Pid);
    return Texts.join(' ');
}

void Link(const QString& Target, const QString& LinkPath) {
    QDir().mkpath(QFileInfo(LinkPath).path());
    ASSERT_EQ(
        ::symlink(QFile::encodeName(Target).constData(), QFile::encodeName(LinkPath).constData()),
        0)
        << LinkPath.toStdString();
}

// "major:minor:inode" of Path as /proc/locks writes it.
QByteArray LockKey(const QString& Path) {
    struct stat Info {};
    EXPECT_EQ(::stat(QFile::encodeName(Path).constData(), &Info), 0);
    return QByteArray::number(major(Info.st_dev), 16).rightJustified(2, '0') + ':' +
           QByteArray::number(minor(Info.st_dev), 16).rightJustified(2, '0') + ':' +
           QByteArray::number(static_cast<qulonglong>(Info.st_ino));
}

TDevice Find(const QList<TDevice>& Devices, const QString& KernelName) {
    for (const TDevice& Device : Devices)
        if (Device.KernelName == KernelName)
            return Device;
    ADD_FAILURE() << "no device " << KernelName.toStdString();
    return {};
}

// A machine in a temporary folder: an FTDI adapter (ttyUSB0, with a by-id link) that minicom
// has open, an Arduino (ttyACM0) that ModemManager has locked, 8250 ports of which only those
// of a known type count, and a virtual console. The two USB nodes are real pseudo-terminals.
class FakeMachine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid() && Ftdi.Ok() && Arduino.Ok());
        const QString Sys = Dir.path() + "/sys", UsbBus = Sys + "/devices/pci0000:00/usb1";
        Roots = {Sys, Dir.path() + "/dev", Dir.path() + "/proc", true};

        // The tty's "device" link leads where its driver puts it: the usb-serial port, or the
        // interface for the modem class.
        const struct {
            const char* Tty;
            const char* DeviceLink;
            const char* Attributes;
        } Usbs[] = {
            {"1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0", "../../../ttyUSB0",
             "idVendor=0403;manufacturer=FTDI;product=FT232R USB UART;serial=A10K1234"},
            {"1-2/1-2:1.0/tty/ttyACM0", "../../../1-2:1.0",
             "idVendor=2341;manufacturer=Arduino (www.arduino.cc);product=Uno"},
        };
        for (const auto& Usb : Usbs) {
            const QString Tty = UsbBus + '/' + Usb.Tty, Name = QFileInfo(Tty).fileName();
            const QString Device = UsbBus + '/' + QString(Usb.Tty).section('/', 0, 0);
            for (const QString& Attribute : QString(Usb.Attributes).split(';'))
                WriteFile(Device + '/' + Attribute.section('=', 0, 0),
                          Attribute.section('=', 1).toUtf8() + '\n');
            WriteFile(Tty + "/uevent", "DEVNAME=" + Name.toUtf8() + '\n');
            Link(Usb.DeviceLink, Tty + "/device");
            Link(Tty, Sys + "/class/tty/" + Name);
        }

        const std::pair<const char*, const char*> Uarts[] = {
            {"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS3", "4"}, {"ttyS10", "4"}, {"ttyS2", "0"}};
        for (const auto& [Name, Type] : Uarts) {
            const QString Port = Sys + "/devices/platform/serial8250/tty/" + Name;
            WriteFile(Port + "/type", QByteArray(Type) + '\n');
            Link("../../../serial8250", Port + "/device");
            Link(Port, Sys + "/class/tty/" + Name);
        }
        WriteFile(Sys + "/devices/virtual/tty/tty0/uevent", "DEVNAME=tty0\n");
        Link(Sys + "/devices/virtual/tty/tty0", Sys + "/class/tty/tty0");

        Link(Ftdi.SlavePath(), Roots.Dev + "/ttyUSB0");
        Link(Arduino.SlavePath(), Roots.Dev + "/ttyACM0");
        Link("../../ttyUSB0", Roots.Dev + "/serial/by-id/" + ById);

        // A waiter on the adapter holds nothing; an open-file-description lock has no pid.
        WriteFile(Roots.Proc + "/locks",
                  "1: FLOCK  ADVISORY  WRITE 4242 " + LockKey(Arduino.SlavePath()) + " 0 EOF\n" +
                      "1: -> FLOCK  ADVISORY  WRITE 4343 " + LockKey(Ftdi.SlavePath()) +
                      " 0 EOF\n" + "2: OFDLCK ADVISORY  READ  -1 00:05:1 0 EOF\n");
        WriteFile(Roots.Proc + "/4242/comm", "ModemManager\n");
        Link(Arduino.SlavePath(), Roots.Proc + "/4242/fd/7");
        WriteFile(Roots.Proc + "/4343/comm", "minicom\n");
        Link(Ftdi.SlavePath(), Roots.Proc + "/4343/fd/3");
        Link("socket:[1234]", Roots.Proc + "/4343/fd/4");
    }

    QTemporaryDir Dir;
    TPty Ftdi, Arduino;
    TRoots Roots;
    const QString ById = "usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0";
};

} // namespace

TEST_F(FakeMachine, SysfsListsSerialDevicesWithStableNamesAndUsbTexts) {
    const QList<TDevice> Devices = ListDevices(Roots);
    QStringList Names;
    for (const TDevice& Device : Devices)
        Names << Device.KernelName + "=" + Device.Path.mid(Roots.Dev.size());
    EXPECT_EQ(Names.join(' '), "ttyACM0=/ttyACM0 ttyS0=/ttyS0 ttyS3=/ttyS3 ttyS10=/ttyS10 "
                               "ttyUSB0=/ttyUSB0");

    const TDevice Adapter = Find(Devices, "ttyUSB0");
    EXPECT_EQ(Adapter.Stable, Roots.Dev + "/serial/by-id/" + ById);
    EXPECT_EQ(Description(Adapter), "FTDI FT232R USB UART (A10K1234)");
    const TDevice Arduino = Find(Devices, "ttyACM0");
    EXPECT_EQ(Arduino.Stable, "");
    EXPECT_EQ(Description(Arduino), "Arduino (www.arduino.cc) Uno");
    EXPECT_EQ(Description(Find(Devices, "ttyS0")), "");
}

TEST_F(FakeMachine, InventoryMarksAssignmentsAndStates) {
    const QString Stable = Roots.Dev + "/serial/by-id/" + ById;
    const QList<TAssignment> Assigned = {{"COM4", Stable},
                                         {"com1", Stable},
                                         {"COM2", Roots.Dev + "/ttyACM0"},
                                         {"COM3", Roots.Dev + "/ttyUSB7"},
                                         {"COM5", ""}};
    const QList<TDevice> Rows = Inventory(Assigned, Roots);
    ASSERT_EQ(Rows.size(), 6);

    const TDevice Adapter = Find(Rows, "ttyUSB0");
    EXPECT_EQ(Adapter.Ports, QStringList({"COM1", "COM4"}));
    EXPECT_EQ(Adapter.AssignedPath, Stable);
    EXPECT_EQ(Word(Adapter.Status.State), "free"); // minicom only has it open
    EXPECT_EQ(Shown(Adapter.Status.Openers), "minicom:4343");
    EXPECT_EQ(Hints(Adapter.Status),
              QStringList({"Also open in minicom (pid 4343), which may take bytes meant for a "
                           "download."}));

    const TDevice Arduino = Find(Rows, "ttyACM0");
    EXPECT_EQ(Arduino.Ports, QStringList({"COM2"}));
    EXPECT_EQ(Word(Arduino.Status.State), "busy");
    EXPECT_EQ(Sentence(Arduino.Status, Arduino.Path), "in use by ModemManager (pid 4242)");
    EXPECT_TRUE(Arduino.Status.Openers.isEmpty()); // the holder is not named twice
    ASSERT_EQ(Hints(Arduino.Status).size(), 1);
    EXPECT_TRUE(Hints(Arduino.Status)[0].contains("sudo systemctl stop ModemManager"));
    EXPECT_TRUE(Hints(Arduino.Status)[0].contains("ENV{ID_MM_DEVICE_IGNORE}=\"1\""));

    EXPECT_EQ(Word(Find(Rows, "ttyS0").Status.State), "missing");
    EXPECT_TRUE(Find(Rows, "ttyS0").Ports.isEmpty());

    // The assigned path that is no device of the machine comes last, in its own row.
    const TDevice Vanished = Rows.last();
    EXPECT_FALSE(Vanished.Hardware);
    EXPECT_EQ(Vanished.Ports, QStringList({"COM3"}));
    EXPECT_EQ(Sentence(Vanished.Status, Vanished.Path),
              "missing: no device at " + Roots.Dev + "/ttyUSB7");
}

TEST_F(FakeMachine, LockHolderWithoutReadableNameIsAnotherProgram) {
    WriteFile(Roots.Proc + "/locks",
              "1: POSIX  ADVISORY  WRITE 5151 " + LockKey(Ftdi.SlavePath()) + " 0 EOF\n");
    const TStatus Status = StateOf(Roots.Dev + "/ttyUSB0", Roots);
    EXPECT_EQ(Sentence(Status, ""), "in use by another program (pid 5151)");
    // ModemManager gone: nothing to say about it.
    EXPECT_EQ(Word(StateOf(Roots.Dev + "/ttyACM0", Roots).State), "free");
    TStatus Unknown;
    Unknown.State = TState::Busy;
    EXPECT_EQ(Sentence(Unknown, ""), "in use by another program");
}

TEST(SerialDevices, PseudoTerminalStatesAcrossProcesses) {
    const struct {
        TClaim Claim;
        const char* Word;
        const char* Openers;
    } Cases[] = {
        {TClaim::None, "free", "opener"},
        {TClaim::Flock, "busy", ""},
        {TClaim::Exclusive, "busy", ""},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(static_cast<int>(Case.Claim));
        TPty Line;
        EXPECT_EQ(Word(StateOf(Line.SlavePath()).State), "free");
        // Our own descriptor (the pty's slave) is no other program.
        EXPECT_TRUE(StateOf(Line.SlavePath()).Openers.isEmpty());
        const char* Name = Case.Claim == TClaim::None ? "opener" : "holder";
        THolder Holder(Line.SlavePath(), Case.Claim, Name);
        ASSERT_TRUE(Holder.Ok());
        const TStatus Status = StateOf(Line.SlavePath());
        EXPECT_EQ(Word(Status.State), Case.Word);
        const QString Named = QStringLiteral("%1:%2").arg(Name).arg(Holder.Pid());
        EXPECT_EQ(Shown(Status.Holders), Case.Claim == TClaim::None ? "" : Named);
        EXPECT_EQ(Shown(Status.Openers), Case.Claim == TClaim::None ? Named : "");
        if (Case.Claim != TClaim::None) {
            EXPECT_EQ(Sentence(Status, Line.SlavePath()),
                      QStringLiteral("in use by holder (pid %1)").arg(Holder.Pid()));
        }
    }
}

// What a user sees who is refused by exclusive use, rather than passed as root is.
TEST(SerialDevices, ExclusiveUseRefusesTheOpenOfAnotherProcessOfTheUser) {
    TPty Line;
    ASSERT_EQ(::chmod(QFile::encodeName(Line.SlavePath()).constData(), 0666), 0);
    THolder Holder(Line.SlavePath(), TClaim::Exclusive, "holder", true);
    ASSERT_TRUE(Holder.Ok());
    const PlatformTest::ChildResult Result =
        PlatformTest::Child([&](int Report) {
            if (!BecomeNobody())
                return 97;
            const QByteArray Text = Sentence(StateOf(Line.SlavePath()), "").toUtf8();
            return ::write(Report, Text.constData(), Text.size()) == Text.size() ? 0 : 1;
        }).Wait();
    ASSERT_EQ(Result.ExitCode, 0);
    EXPECT_EQ(QString::fromUtf8(Result.Output),
              QStringLiteral("in use by holder (pid %1)").arg(Holder.Pid()));
}

TEST(SerialDevices, InventoryOfAssignedPseudoTerminalsAndOtherPaths) {
    QTemporaryDir Folder;
    TPty Free, Held;
    QString Gone;
    {
        TPty Closed;
        Gone = Closed.SlavePath();
    }
    THolder Holder(Held.SlavePath(), TClaim::Flock, "holder");
    ASSERT_TRUE(Holder.Ok());
    const QString Unplugged = Folder.path() + "/ttyUSB9";
    const QList<TDevice> Rows = Inventory({{"COM1", Free.SlavePath()},
                                           {"COM2", Held.SlavePath()},
                                           {"COM3", Unplugged},
                                           {"COM4", Folder.path()}});
    QStringList Assigned;
    for (const TDevice& Row : Rows)
        if (!Row.Hardware)
            Assigned << Row.Ports.join(',') + ' ' + Word(Row.Status.State);
    EXPECT_EQ(Assigned.join(" | "), "COM1 free | COM2 busy | COM3 missing | COM4 not-a-terminal");
    EXPECT_EQ(Sentence(Rows.last().Status, Folder.path()),
              Folder.path() + " is a folder, not a serial device");

    const QList<TStatus> States = StatesOf({Held.SlavePath(), Gone});
    ASSERT_EQ(States.size(), 2);
    EXPECT_EQ(Sentence(States[0], ""),
              QStringLiteral("in use by holder (pid %1)").arg(Holder.Pid()));
    // The closed pseudo-terminal's node is gone, unless a test running beside this one has
    // been given the same number since.
    if (!QFileInfo::exists(Gone)) {
        EXPECT_EQ(Sentence(States[1], Gone), "missing: no device at " + Gone);
    }
}

TEST(SerialDevices, NoPermissionNamesTheGroupAndTheCommand) {
    TPty Line;
    const QByteArray Path = QFile::encodeName(Line.SlavePath());
    // Only the group may use it; root is made nobody, who is not in that group.
    ASSERT_EQ(::chmod(Path.constData(), 0060), 0);
    struct stat Info {};
    ASSERT_EQ(::stat(Path.constData(), &Info), 0);
    const group* Group = ::getgrgid(Info.st_gid);
    ASSERT_NE(Group, nullptr);
    const QString GroupName = QString::fromLocal8Bit(Group->gr_name);
    const PlatformTest::ChildResult Result =
        PlatformTest::Child([&](int Report) {
            if (!BecomeNobody())
                return 97;
            const TStatus Status = StateOf(Line.SlavePath());
            const QByteArray Text = (Sentence(Status, "") + '|' + Hints(Status).join('|')).toUtf8();
            return ::write(Report, Text.constData(), Text.size()) == Text.size() ? 0 : 1;
        }).Wait();
    ASSERT_EQ(Result.ExitCode, 0);
    const QStringList Parts = QString::fromUtf8(Result.Output).split('|');
    ASSERT_EQ(Parts.size(), 2) << Result.Output.toStdString();
    EXPECT_EQ(Parts[0], "no permission: group " + GroupName);
    EXPECT_TRUE(Parts[1].startsWith("To use it, run \"sudo usermod -aG " + GroupName + " "))
        << Parts[1].toStdString();
    EXPECT_TRUE(Parts[1].endsWith("\", then log out and in.")) << Parts[1].toStdString();
}

TEST(SerialDevices, RefusalNamesWhatThePathIs) {
    QTemporaryDir Folder;
    const QString File = Folder.path() + "/capture.raw";
    WriteFile(File, "x");
    const QString Fifo = Folder.path() + "/fifo";
    ASSERT_EQ(::mkfifo(QFile::encodeName(Fifo).constData(), 0600), 0);
    // A name that would steer the terminal is shown escaped.
    const QString Odd = Folder.path() + "/tty\nUSB0";
    ASSERT_EQ(::symlink("/dev/null", QFile::encodeName(Odd).constData()), 0);
    TPty Line;
    const std::pair<QString, QString> Cases[] = {
        {Folder.path(), Folder.path() + " is a folder, not a serial device"},
        {File, File + " is a regular file, not a serial device"},
        {"/dev/null", "/dev/null is a device, but not a serial one"},
        {Odd, Folder.path() + "/tty\\nUSB0 is a device, but not a serial one"},
        {Fifo, Fifo + " is not a device"},
        {Line.SlavePath(), ""},
        {Folder.path() + "/ttyUSB0", ""}, // not plugged in yet
    };
    for (const auto& [Path, Reason] : Cases)
        EXPECT_EQ(Refusal(Path), Reason) << Path.toStdString();
}

// A port's menu item: there for a terminal device, else not, with the reason in few words.
TEST(SerialDevices, AvailabilityForAPortItem) {
    QTemporaryDir Folder;
    TPty Line;
    const std::tuple<QString, bool, QString> Cases[] = {
        {Line.SlavePath(), true, Line.SlavePath()},
        {Folder.path(), false, Folder.path() + " is a folder, not a serial device"},
        {Folder.path() + "/ttyUSB0", false, "no device at " + Folder.path() + "/ttyUSB0"},
    };
    for (const auto& [Path, There, Why] : Cases) {
        EXPECT_EQ(Availability(Path).There, There) << Path.toStdString();
        EXPECT_EQ(Availability(Path).Why, Why);
    }
}

TEST(SerialDevices, UdevAndSysfsAgreeOnThisMachine) {
    if (!UdevSupported())
        GTEST_SKIP() << "built without libudev";
    TRoots Sysfs;
    Sysfs.UseUdev = false;
    const auto Texts = [](const QList<TDevice>& Devices) {
        QStringList Texts;
        for (const TDevice& Device : Devices)
            Texts << QStringList(
                         {Device.KernelName, Device.Path, Device.Stable, Description(Device)})
                         .join(' ');
        return Texts;
    };
    EXPECT_EQ(Texts(ListDevices()), Texts(ListDevices(Sysfs)));
}
