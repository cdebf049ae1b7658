#include "PlatformTest.h"
#include "TestSupport.h"
#include "platform/Exception.h"
#include "platform/PortMap.h"
#include "platform/Registry.h"

#include <QFile>
#include <gtest/gtest.h>

using TestSupport::TempConfig;

namespace {

const QByteArray Head = "Windows Registry Editor Version 5.00\n\n";

} // namespace

TEST(PortMap, ClassicalPathsWithoutAStore) {
    TempConfig Config;
    const std::pair<QString, QString> Cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM4", "/dev/ttyS3"},
        {"COM9", "/dev/ttyS8"},
        {"com2", "/dev/ttyS1"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/pts/7", "/dev/pts/7"},
        // Not a port name: unchanged, so opening it fails with the system's reason.
        {"COM0", "COM0"},
        {"COM10", "COM10"},
        {"COM", "COM"},
        {" COM1", " COM1"},
        {"ttyS0", "ttyS0"},
        {"", ""},
    };
    for (const auto& [Name, Path] : Cases)
        EXPECT_EQ(PortMap::DevicePath(Name), Path) << Name.toStdString();
    EXPECT_FALSE(QFile::exists(Config.StoreFile())); // looking up writes nothing
}

TEST(PortMap, StoreMappingWins) {
    TempConfig Config;
    Config.WriteStore(Head + "[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports]\n"
                             "\"COM1\"=\"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0\"\n"
                             "\"com3\"=\"/dev/ttyUSB1\"\n"
                             "\"COM4\"=\"\"\n");
    EXPECT_EQ(PortMap::DevicePath("COM1"), "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    EXPECT_EQ(PortMap::DevicePath("COM3"), "/dev/ttyUSB1");
    EXPECT_EQ(PortMap::DevicePath("COM2"), "/dev/ttyS1");
    EXPECT_EQ(PortMap::DevicePath("COM4"), "/dev/ttyS3"); // an emptied mapping
    EXPECT_EQ(PortMap::DevicePath("/dev/ttyS0"), "/dev/ttyS0");
}

TEST(PortMap, StoreErrorsReachTheCaller) {
    TempConfig Config;
    Config.WriteStore(Head + "[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports]\n"
                             "\"COM1\"=dword:00000001\n");
    try {
        PortMap::DevicePath("COM1");
        FAIL() << "no error";
    } catch (const ERegistryException& E) {
        EXPECT_EQ(E.Message, "Invalid data type for 'COM1'");
    }
    Config.WriteStore(Head + "[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports]\n\"COM1\"=\"/dev/tty");
    try {
        PortMap::DevicePath("COM1");
        FAIL() << "no error";
    } catch (const ERegistryException& E) {
        EXPECT_EQ(E.Message, Config.StoreFile() + ":4: unterminated string");
    }
    // Paths need no store.
    EXPECT_EQ(PortMap::DevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST(PortMap, MapPortRecordsTheMapping) {
    TempConfig Config;
    PortMap::MapPort("com2", "/dev/pts/3");
    PortMap::MapPort("COM1", "/dev/ttyUSB0");
    PortMap::MapPort("COM2", "/dev/pts/4");
    EXPECT_EQ(PortMap::DevicePath("COM2"), "/dev/pts/4");
    EXPECT_EQ(PortMap::DevicePath("COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(QString::fromUtf8(Config.ReadStore()),
              QString::fromUtf8(Head + "[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports]\n"
                                       "\"COM2\"=\"/dev/pts/4\"\n"
                                       "\"COM1\"=\"/dev/ttyUSB0\"\n\n"));
    EXPECT_THROW(PortMap::MapPort("/dev/ttyS0", "/dev/ttyS1"), ERegistryException);
    EXPECT_THROW(PortMap::MapPort("COM10", "/dev/ttyS1"), ERegistryException);
}

TEST(PortMap, MapPortFailureSaysWhy) {
    TempConfig Config;
    TestSupport::WriteFile(Config.ConfigHome() + "/Tamsor", "not a folder");
    try {
        PortMap::MapPort("COM1", "/dev/ttyUSB0");
        FAIL() << "no error";
    } catch (const ERegistryException& E) {
        EXPECT_EQ(E.Message, "Failed to create key 'Software\\Tamsor\\Ports'\n" +
                                 Config.ConfigHome() + "/Tamsor: Not a directory");
    }
}
