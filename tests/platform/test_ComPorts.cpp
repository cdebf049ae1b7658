#include "platform/ComPorts.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Puts the classical rule back however a test ends.
struct TResolverReset {
    ~TResolverReset() { ComPorts::SetResolver({}); }
};

} // namespace

TEST(ComPorts, WithoutResolverComnIsTheClassicalDeviceAndOtherNamesStay) {
    TResolverReset Reset;
    ComPorts::SetResolver({});
    const struct {
        const char* Name;
        int Number;
        const char* Path;
    } Cases[] = {
        {"COM1", 1, "/dev/ttyS0"},
        {"com9", 9, "/dev/ttyS8"},
        {"Com4", 4, "/dev/ttyS3"},
        {"COM0", 0, "COM0"},
        {"COM10", 0, "COM10"},
        {" COM1", 0, " COM1"},
        {"COM", 0, "COM"},
        {"", 0, ""},
        {"/dev/ttyUSB0", 0, "/dev/ttyUSB0"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(ComPorts::PortNumber(Case.Name), Case.Number);
        EXPECT_EQ(ComPorts::ClassicalPath(Case.Name), Case.Path);
        EXPECT_EQ(ComPorts::DevicePath(Case.Name), Case.Path);
    }
}

TEST(ComPorts, TheInstalledResolverAnswersOnEveryThreadUntilRemoved) {
    TResolverReset Reset;
    QStringList Asked;
    ComPorts::SetResolver([&Asked](const QString& Name) {
        Asked << Name;
        return ComPorts::PortNumber(Name) == 2 ? QStringLiteral("/dev/ttyUSB7")
                                               : ComPorts::ClassicalPath(Name);
    });
    EXPECT_EQ(ComPorts::DevicePath("COM2"), "/dev/ttyUSB7");
    EXPECT_EQ(ComPorts::DevicePath("COM3"), "/dev/ttyS2");
    QString FromThread;
    std::thread([&] { FromThread = ComPorts::DevicePath("com2"); }).join();
    EXPECT_EQ(FromThread, "/dev/ttyUSB7");
    EXPECT_EQ(Asked, QStringList({"COM2", "COM3", "com2"}));

    ComPorts::SetResolver({});
    EXPECT_EQ(ComPorts::DevicePath("COM2"), "/dev/ttyS1");
    EXPECT_EQ(Asked.size(), 3);
}
