#include "PlatformTest.h"
#include "TestSupport.h"
#include "platform/PortMap.h"

#include <QFile>
#include <gtest/gtest.h>

using TestSupport::MessageOf;
using TestSupport::TempConfig;

namespace {

const QByteArray PortsHead =
    "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports]\n";

} // namespace

TEST(PortMap, StoreValueElseClassicalPathAndPathsUnchanged) {
    TempConfig Config;
    const std::pair<QString, QString> Classical[] = {
        {"COM1", "/dev/ttyS0"}, {"COM9", "/dev/ttyS8"}, {"com2", "/dev/ttyS1"}};
    for (const auto& [Name, Path] : Classical)
        EXPECT_EQ(PortMap::DevicePath(Name), Path) << Name.toStdString();
    // Paths, and names that are no port name (so opening them fails with the system's reason).
    for (const QString Name : {"/dev/ttyUSB0", "/dev/pts/7", "COM0", "COM10", "COM", " COM1", ""})
        EXPECT_EQ(PortMap::DevicePath(Name), Name) << Name.toStdString();
    EXPECT_FALSE(QFile::exists(Config.StoreFile())); // looking up writes nothing

    Config.WriteStore(PortsHead + "\"COM1\"=\"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0\"\n"
                                  "\"com3\"=\"/dev/ttyUSB1\"\n"
                                  "\"COM4\"=\"\"\n");
    const std::pair<QString, QString> Mapped[] = {
        {"COM1", "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
        {"COM3", "/dev/ttyUSB1"},
        {"COM2", "/dev/ttyS1"},
        {"COM4", "/dev/ttyS3"}, // an emptied mapping
        {"/dev/ttyS0", "/dev/ttyS0"},
    };
    for (const auto& [Name, Path] : Mapped)
        EXPECT_EQ(PortMap::DevicePath(Name), Path) << Name.toStdString();
}

TEST(PortMap, StoreErrorsReachTheCaller) {
    TempConfig Config;
    Config.WriteStore(PortsHead + "\"COM1\"=dword:00000001\n");
    EXPECT_EQ(MessageOf([] { PortMap::DevicePath("COM1"); }).section('\n', 0, 0),
              "Invalid data type for 'COM1'");
    Config.WriteStore(PortsHead + "\"COM1\"=\"/dev/tty");
    EXPECT_EQ(MessageOf([] { PortMap::DevicePath("COM1"); }),
              Config.StoreFile() + ":4: unterminated string");
    EXPECT_EQ(PortMap::DevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0"); // paths need no store
}

TEST(PortMap, MapPortRecordsTheMapping) {
    TempConfig Config;
    PortMap::MapPort("com2", "/dev/pts/3");
    PortMap::MapPort("COM1", "/dev/ttyUSB0");
    PortMap::MapPort("COM2", "/dev/pts/4");
    EXPECT_EQ(PortMap::DevicePath("COM2"), "/dev/pts/4");
    EXPECT_EQ(
        QString::fromUtf8(Config.ReadStore()),
        QString::fromUtf8(PortsHead + "\"COM2\"=\"/dev/pts/4\"\n\"COM1\"=\"/dev/ttyUSB0\"\n\n"));
    EXPECT_NE(MessageOf([] { PortMap::MapPort("/dev/ttyS0", "/dev/ttyS1"); }), "<no error>");
    EXPECT_NE(MessageOf([] { PortMap::MapPort("COM10", "/dev/ttyS1"); }), "<no error>");
}

TEST(PortMap, MapPortFailureSaysWhy) {
    TempConfig Config;
    TestSupport::WriteFile(Config.ConfigHome() + "/Tamsor", "not a folder");
    EXPECT_EQ(MessageOf([] { PortMap::MapPort("COM1", "/dev/ttyUSB0"); }),
              "Failed to create key 'Software\\Tamsor\\Ports'\n" + Config.ConfigHome() +
                  "/Tamsor: a part of the path is not a folder (Not a directory)");
}
