#include "acquisition/ECommError.h"

#include "acquisition/TSerialPort.h"
#include "platform/MessageText.h"
#include "platform/PortMap.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

const char* CommErrorName(uint8_t Code) {
    switch (Code) {
    case ECommError::PortAlreadyOpen:
        return "PortAlreadyOpen";
    case ECommError::PortNotOpen:
        return "PortNotOpen";
    case ECommError::OpenFailed:
        return "OpenFailed";
    case ECommError::ReadFailed:
        return "ReadFailed";
    case ECommError::CloseFailed:
        return "CloseFailed";
    case ECommError::GetStateFailed:
        return "GetStateFailed";
    case ECommError::SetStateFailed:
        return "SetStateFailed";
    case ECommError::SetupFailed:
        return "SetupFailed";
    case ECommError::SetTimeoutsFailed:
        return "SetTimeoutsFailed";
    case ECommError::QueueStatusFailed:
        return "QueueStatusFailed";
    }
    return "Unknown";
}

namespace {

// What the message is made of.
struct TFailure {
    uint8_t Code;
    uint32_t SystemError;
    QString PortName;
    QString DevicePath;
};

// Serial devices plugged in now, stable names first: what a port could be mapped to.
QStringList SerialDevicesPresent() {
    QStringList Found;
    const QDir::Filters Filter = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& Entry : QDir(QStringLiteral("/dev/serial/by-id")).entryInfoList(Filter))
        Found << Entry.filePath();
    const QStringList Kinds = {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")};
    for (const QFileInfo& Entry : QDir(QStringLiteral("/dev")).entryInfoList(Kinds, Filter))
        Found << Entry.filePath();
    return Found;
}

QString MissingDeviceHint(const TFailure& Error) {
    const QStringList Present = SerialDevicesPresent();
    QStringList Lines;
    const QString Device = MessageText::Shown(Error.DevicePath, PATH_MAX);
    if (const int Number = ComPorts::PortNumber(Error.PortName)) {
        const QString Port = ComPorts::PortName(Number);
        Lines << QStringLiteral("%1 leads to the device %2, which does not exist. Connect the "
                                "instrument, or point %1 at the device its serial adapter "
                                "appears as: put this line under [HKEY_CURRENT_USER\\%3] in %4")
                     .arg(Port, Device, QString::fromLatin1(PortMap::PortsKey),
                          MessageText::Shown(TRegistry::StorePath(), PATH_MAX));
        const QString Suggested = Present.isEmpty() ? QStringLiteral("/dev/ttyUSB0") : Present[0];
        Lines << RegFile::Quoted(Port) + u'=' + RegFile::Quoted(Suggested);
    } else {
        Lines << QStringLiteral("The device %1 does not exist. Connect the instrument, or choose "
                                "the device its serial adapter appears as.")
                     .arg(Device);
    }
    if (Present.isEmpty())
        Lines << QStringLiteral("No USB serial adapter is connected now (none under "
                                "/dev/serial/by-id, /dev/ttyUSB*, /dev/ttyACM*).");
    else
        Lines
            << QStringLiteral("Serial devices present: %1").arg(Present.join(QStringLiteral(", ")));
    return Lines.join(u'\n');
}

bool InGroup(gid_t Group) {
    if (::getegid() == Group)
        return true;
    const int Count = ::getgroups(0, nullptr);
    if (Count <= 0)
        return false;
    std::vector<gid_t> Groups(static_cast<size_t>(Count));
    const int Got = ::getgroups(Count, Groups.data());
    return Got > 0 &&
           std::find(Groups.begin(), Groups.begin() + Got, Group) != Groups.begin() + Got;
}

QString GroupName(gid_t Group) {
    const group* Entry = ::getgrgid(Group);
    return Entry ? QString::fromLocal8Bit(Entry->gr_name) : QString::number(Group);
}

QString UserName() {
    const passwd* Entry = ::getpwuid(::geteuid());
    return Entry ? QString::fromLocal8Bit(Entry->pw_name) : QStringLiteral("$USER");
}

QString PermissionHint(const TFailure& Error) {
    struct stat Info {};
    const QString Device = MessageText::Shown(Error.DevicePath, PATH_MAX);
    const QString NextLogin = QStringLiteral(
        "then log out and log in again: a new group membership counts from the next login.");
    if (::stat(QFile::encodeName(Error.DevicePath).constData(), &Info) != 0)
        return QStringLiteral("You may not open %1. Serial devices belong to a group, usually "
                              "dialout: ask an administrator to add you to the group that owns "
                              "the device (sudo usermod -aG dialout %2), %3")
            .arg(Device, UserName(), NextLogin);
    const QString Group = GroupName(Info.st_gid);
    if (!InGroup(Info.st_gid))
        return QStringLiteral("You may not open %1: it belongs to the group \"%2\", and this "
                              "login is not a member of it. Ask an administrator to add you "
                              "(sudo usermod -aG %2 %3), %4")
            .arg(Device, Group, UserName(), NextLogin);
    return QStringLiteral("You may not open %1 although this login is in its group \"%2\": the "
                          "device does not give that group read and write access (mode %3). "
                          "Ask an administrator to change that, for example with a udev rule.")
        .arg(Device, Group)
        .arg(Info.st_mode & 07777, 4, 8, QLatin1Char('0'));
}

// The port as the user knows it: "Com 1 (/dev/ttyUSB0)", or the device path it was given.
QString PortLabel(const TFailure& Error) {
    const QString Device = MessageText::Shown(Error.DevicePath, PATH_MAX);
    const int Number = ComPorts::PortNumber(Error.PortName);
    return Number > 0 ? QStringLiteral("%1 (%2)").arg(ComPorts::PortLabel(Number), Device) : Device;
}

// What happened, in the user's words, for the failures a user can do something about.
QString PlainText(const TFailure& Error) {
    const int System = static_cast<int>(Error.SystemError);
    if (Error.Code == ECommError::QueueStatusFailed && System == ENOBUFS)
        return QStringLiteral("The printout is longer than %1 MiB, the most a download holds; "
                              "nothing of it was kept")
            .arg(TSerialPort::MaxQueueSize >> 20);
    if (Error.DevicePath.isEmpty())
        return {};
    const bool Opening =
        Error.Code == ECommError::OpenFailed || Error.Code == ECommError::GetStateFailed;
    if (Opening && (System == ENOTTY || System == EISDIR))
        return QStringLiteral("%1 is not a serial port").arg(PortLabel(Error));
    if (Error.Code != ECommError::OpenFailed)
        return {};
    if (System == EBUSY || System == EWOULDBLOCK)
        return QStringLiteral("%1 is in use by another program").arg(PortLabel(Error));
    if (System == ENOENT)
        return MissingDeviceHint(Error);
    if (System == EACCES || System == EPERM)
        return PermissionHint(Error);
    return {};
}

QString MessageFor(const TFailure& Error) {
    QString Text = QStringLiteral("Serial port error %1 (%2)")
                       .arg(QString::fromLatin1(CommErrorName(Error.Code)))
                       .arg(Error.Code);
    if (Error.SystemError != 0)
        Text += QStringLiteral(": %1 (%2)")
                    .arg(QString::fromLocal8Bit(std::strerror(static_cast<int>(Error.SystemError))))
                    .arg(Error.SystemError);
    const QString Plain = PlainText(Error);
    return Plain.isEmpty() ? Text : Plain + u'\n' + Text;
}

} // namespace

// errno is taken before anything else can change it.
ECommError::ECommError(uint8_t ACode) : ECommError(ACode, static_cast<uint32_t>(errno)) {}

ECommError::ECommError(uint8_t ACode, uint32_t ASystemError, const QString& APortName,
                       const QString& ADevicePath)
    : Exception(MessageFor({ACode, ASystemError, APortName, ADevicePath})), Code(ACode),
      SystemError(ASystemError), PortName(APortName), DevicePath(ADevicePath) {}
