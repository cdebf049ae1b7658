// What a user reads when a port cannot be opened: what happened and how to get at the device,
// then the serial error itself on the last line. Opened through the real port code.
#include "acquisition/TSerialPort.h"
#include "platform/PortMap.h"
#include "platform/Registry.h"

#include "Pty.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

QString OpenFailureText(const QString& Name) {
    TSerialPort Port;
    Port.SetPortName(Name);
    return TestSupport::MessageOf<ECommError>([&] { Port.Open(); });
}

TEST(AccessHints, MissingDeviceNamesItsPathAndTheMapping) {
    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
    const QString Absent = Dir.filePath("ttyUSB-gone");
    PortMap::MapPort("COM3", Absent);
    const struct {
        QString Name;
        QStringList Expected;
        bool MappingLine; // a "COM3"="/dev/..." line the user can paste into the store
    } Cases[] = {
        {"COM3",
         {"COM3 leads to the device " + Absent + ", which does not exist",
          "[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports] in " + TRegistry::StorePath()},
         true},
        // Letter case of the name is the port map's; the line to write uses the usual one.
        {"com3", {"COM3 leads to the device " + Absent}, true},
        {Absent, {"The device " + Absent + " does not exist"}, false},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name.toStdString());
        const QString Text = OpenFailureText(Case.Name);
        const QStringList Got = Text.split(u'\n');
        ASSERT_GE(Got.size(), 3) << Text.toStdString();
        EXPECT_EQ(Got.last(), "Serial port error OpenFailed (8): No such file or directory (2)");
        for (const QString& Part : Case.Expected)
            EXPECT_TRUE(Got.mid(0, Got.size() - 1).join(u'\n').contains(Part))
                << Part.toStdString();
        EXPECT_EQ(Text.contains("\n\"COM3\"=\"/dev/"), Case.MappingLine) << Text.toStdString();
    }
}

// A busy port and a device that is no serial port are named in the user's words; errors that
// do not name a device keep their single line.
TEST(AccessHints, BusyAndOtherDevicesAreNamedAsTheUserKnowsThem) {
    TestSupport::TempConfig Config;
    TestSupport::TPty Line;
    ASSERT_TRUE(Line.Ok());
    PortMap::MapPort("COM1", Line.SlavePath());
    PortMap::MapPort("COM2", "/dev/null");
    TSerialPort Holder;
    Holder.SetPortName(Line.SlavePath());
    Holder.Open();
    const QString Device = Line.SlavePath();
    const struct {
        QString Name, Plain, Error;
    } Cases[] = {
        {"COM1", "Com 1 (" + Device + ") is in use by another program", "OpenFailed (8)"},
        {Device, Device + " is in use by another program", "OpenFailed (8)"},
        {"COM2", "Com 2 (/dev/null) is not a serial port",
         "GetStateFailed (14): Inappropriate ioctl for device (25)"},
        {"/dev/null", "/dev/null is not a serial port", "GetStateFailed (14)"},
        {"/", "/ is not a serial port", "OpenFailed (8): Is a directory (21)"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name.toStdString());
        const QStringList Got = OpenFailureText(Case.Name).split(u'\n');
        ASSERT_EQ(Got.size(), 2) << Got.join(u'\n').toStdString();
        EXPECT_EQ(Got[0], Case.Plain);
        EXPECT_TRUE(Got[1].startsWith("Serial port error " + Case.Error)) << Got[1].toStdString();
    }
    EXPECT_EQ(ECommError(ECommError::OpenFailed, EACCES).Message,
              "Serial port error OpenFailed (8): Permission denied (13)");
    const ECommError Read(ECommError::ReadFailed, ENOENT, "COM1", "/dev/ttyS0");
    EXPECT_FALSE(Read.Message.contains(u'\n'));
}

// The open runs unprivileged: as root it runs as nobody, outside every group, otherwise the
// device's permission is taken away.
TEST(AccessHints, ForbiddenDeviceNamesItsGroupAndTheNextLogin) {
    TestSupport::TPty Line;
    ASSERT_TRUE(Line.Ok());
    const QString Device = Line.SlavePath();
    const QByteArray DevicePath = QFile::encodeName(Device);
    struct stat Info {};
    ASSERT_EQ(::stat(DevicePath.constData(), &Info), 0);
    const group* Owner = ::getgrgid(Info.st_gid);
    ASSERT_NE(Owner, nullptr);
    const QString Group = QString::fromLocal8Bit(Owner->gr_name);

    const bool Root = ::geteuid() == 0;
    const gid_t Gid = ::getegid();
    std::vector<gid_t> Groups(size_t(std::max(::getgroups(0, nullptr), 0)));
    Groups.resize(size_t(std::max(::getgroups(int(Groups.size()), Groups.data()), 0)));
    const bool Dropped =
        Root ? ::setgroups(0, nullptr) == 0 && ::setegid(65534) == 0 && ::seteuid(65534) == 0
             : ::chmod(DevicePath.constData(), 0) == 0;
    const QString Text = Dropped ? OpenFailureText(Device) : QString();
    if (Root) {
        ASSERT_EQ(::seteuid(0), 0);
        ASSERT_EQ(::setegid(Gid), 0);
        ASSERT_EQ(::setgroups(Groups.size(), Groups.data()), 0);
    }
    if (!Dropped || Text == "<no error>")
        GTEST_SKIP() << "cannot keep an unprivileged user from the device";

    const QStringList Got = Text.split(u'\n');
    ASSERT_EQ(Got.size(), 2) << Text.toStdString();
    EXPECT_EQ(Got[1], "Serial port error OpenFailed (8): Permission denied (13)");
    EXPECT_TRUE(Got[0].contains(Device)) << Text.toStdString();
    EXPECT_TRUE(Got[0].contains('"' + Group + '"')) << Text.toStdString();
    // As root the open ran as nobody, outside the device's group: it is told how to join.
    if (Root) {
        EXPECT_TRUE(Got[0].contains("sudo usermod -aG " + Group + " nobody")) << Text.toStdString();
        EXPECT_TRUE(Got[0].contains("log out and log in again")) << Text.toStdString();
    }
}

} // namespace
