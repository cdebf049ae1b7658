// What a user reads when a port cannot be opened: the first line as always, then how to get
// at the device. Opened through the real port code.
#include "acquisition/TSerialPort.h"
#include "platform/PortMap.h"
#include "platform/Registry.h"

#include "Pty.h"
#include "TestSupport.h"

#include <QDir>
#include <cerrno>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing::HasSubstr;
using testing::Not;

QString OpenFailureText(const QString& Name) {
    TSerialPort Port;
    Port.SetPortName(Name);
    try {
        Port.Open();
    } catch (const ECommError& Error) {
        return CommErrorText(Error);
    }
    return QStringLiteral("(opened)");
}

QStringList Lines(const QString& Text) {
    return Text.split(u'\n');
}

TEST(AccessHints, MissingDeviceNamesItsPathAndTheMapping) {
    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
    const QString Absent = Dir.filePath(QStringLiteral("ttyUSB-gone"));
    PortMap::MapPort(QStringLiteral("COM3"), Absent);
    const QString FirstLine =
        QStringLiteral("Serial port error OpenFailed (8): No such file or directory (2)");

    struct TCase {
        QString Name;
        QStringList Expected;
        bool MappingLine;
    };
    const TCase Cases[] = {
        {QStringLiteral("COM3"),
         {QStringLiteral("COM3 leads to the device ") + Absent + ", which does not exist",
          QStringLiteral("[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports] in ") +
              TRegistry::StorePath()},
         true},
        // Letter case of the name is the port map's; the line to write uses the usual one.
        {QStringLiteral("com3"), {QStringLiteral("COM3 leads to the device ") + Absent}, true},
        {Absent, {QStringLiteral("The device ") + Absent + " does not exist"}, false},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name.toStdString());
        const QStringList Got = Lines(OpenFailureText(Case.Name));
        ASSERT_GE(Got.size(), 3);
        EXPECT_EQ(Got[0].toStdString(), FirstLine.toStdString());
        const QString Hint = Got.mid(1).join(u'\n');
        for (const QString& Part : Case.Expected)
            EXPECT_THAT(Hint.toStdString(), HasSubstr(Part.toStdString()));
        // A line the user can paste into the store as it stands.
        bool HasMapping = false;
        for (const QString& Line : Got)
            HasMapping = HasMapping || Line.startsWith(QStringLiteral("\"COM3\"=\"/dev/"));
        EXPECT_EQ(HasMapping, Case.MappingLine);
        EXPECT_TRUE(Got.last().startsWith(QStringLiteral("Serial devices present: ")) ||
                    Got.last().startsWith(QStringLiteral("No USB serial adapter")))
            << Got.last().toStdString();
    }
}

// Other failures, and errors that do not name a device, keep their single line.
TEST(AccessHints, OnlyMissingOrForbiddenDevicesGetAHint) {
    TestSupport::TPty Line;
    ASSERT_TRUE(Line.Ok());
    TSerialPort Holder;
    Holder.SetPortName(Line.SlavePath());
    Holder.Open();
    // Busy: EBUSY from the exclusive mode, or EWOULDBLOCK from the lock for root.
    const QString Busy = OpenFailureText(Line.SlavePath());
    EXPECT_TRUE(Busy.startsWith("Serial port error OpenFailed (8): ")) << Busy.toStdString();
    EXPECT_FALSE(Busy.contains(u'\n')) << Busy.toStdString();

    ECommError Unnamed(ECommError::OpenFailed, EACCES);
    EXPECT_EQ(CommErrorText(Unnamed).toStdString(),
              "Serial port error OpenFailed (8): Permission denied (13)");
    ECommError Read(ECommError::ReadFailed, ENOENT);
    Read.DevicePath = QStringLiteral("/dev/ttyS0");
    EXPECT_FALSE(CommErrorText(Read).contains(u'\n'));
}

// Drops to an unprivileged user (as root) or takes the device's permission away (otherwise),
// then opens it in a child process; returns the child's message, or empty when it cannot.
QString ForbiddenOpenText(const QString& Device, QString* Skip) {
    int Pipe[2];
    if (::pipe(Pipe) != 0) {
        *Skip = QStringLiteral("no pipe");
        return {};
    }
    const bool Root = ::geteuid() == 0;
    if (!Root && ::chmod(QFile::encodeName(Device).constData(), 0) != 0) {
        *Skip = QStringLiteral("cannot change the device's permission");
        return {};
    }
    const pid_t Child = ::fork();
    if (Child == 0) {
        ::close(Pipe[0]);
        if (Root && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        const QByteArray Text = OpenFailureText(Device).toUtf8();
        const bool Written = ::write(Pipe[1], Text.constData(), size_t(Text.size())) == Text.size();
        ::_exit(Written ? 0 : 1);
    }
    ::close(Pipe[1]);
    QByteArray Text;
    char Buffer[4096];
    ssize_t Got;
    while ((Got = ::read(Pipe[0], Buffer, sizeof Buffer)) > 0)
        Text.append(Buffer, Got);
    ::close(Pipe[0]);
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    if (WIFEXITED(Status) && WEXITSTATUS(Status) == 3) {
        *Skip = QStringLiteral("cannot become an unprivileged user");
        return {};
    }
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
    return QString::fromUtf8(Text);
}

TEST(AccessHints, ForbiddenDeviceNamesItsGroupAndTheNextLogin) {
    TestSupport::TPty Line;
    ASSERT_TRUE(Line.Ok());
    const QString Device = Line.SlavePath();
    struct stat Info {};
    ASSERT_EQ(::stat(QFile::encodeName(Device).constData(), &Info), 0);
    const group* Owner = ::getgrgid(Info.st_gid);
    ASSERT_NE(Owner, nullptr);
    const QString Group = QString::fromLocal8Bit(Owner->gr_name);

    QString Skip;
    const QString Text = ForbiddenOpenText(Device, &Skip);
    if (!Skip.isEmpty())
        GTEST_SKIP() << Skip.toStdString();
    if (Text == QStringLiteral("(opened)"))
        GTEST_SKIP() << "the device stayed open to an unprivileged user";
    const QStringList Got = Lines(Text);
    ASSERT_EQ(Got.size(), 2) << Text.toStdString();
    EXPECT_EQ(Got[0].toStdString(), "Serial port error OpenFailed (8): Permission denied (13)");
    EXPECT_THAT(Got[1].toStdString(), HasSubstr(Device.toStdString()));
    EXPECT_THAT(Got[1].toStdString(), HasSubstr(('"' + Group + '"').toStdString()));
    if (::geteuid() == 0) {
        // The child was nobody, outside the device's group: it is told how to join.
        EXPECT_THAT(Got[1].toStdString(),
                    HasSubstr(("sudo usermod -aG " + Group + " nobody").toStdString()));
        EXPECT_THAT(Got[1].toStdString(), HasSubstr("log out and log in again"));
    }
}

} // namespace
