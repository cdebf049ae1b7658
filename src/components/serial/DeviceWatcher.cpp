#include "DeviceWatcher.h"

#include "DeviceBroadcast.h"
#include "platform/ComPorts.h"
#include "platform/Exception.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <QtDebug>

#ifdef HALVORN_HAVE_LIBUDEV
#include <libudev.h>
#endif

struct TDeviceWatcher::TMonitor {
#ifdef HALVORN_HAVE_LIBUDEV
    udev* Udev = nullptr;
    udev_monitor* Monitor = nullptr;
    ~TMonitor() {
        if (Monitor)
            udev_monitor_unref(Monitor);
        if (Udev)
            udev_unref(Udev);
    }
#endif
};

TDeviceWatcher::TDeviceWatcher(QObject* Parent) : QObject(Parent) {}

TDeviceWatcher::~TDeviceWatcher() {
    Stop();
}

bool TDeviceWatcher::Supported() {
#ifdef HALVORN_HAVE_LIBUDEV
    return true;
#else
    return false;
#endif
}

bool TDeviceWatcher::Start() {
    if (Active())
        return true;
#ifdef HALVORN_HAVE_LIBUDEV
    auto monitor = std::make_unique<TMonitor>();
    monitor->Udev = udev_new();
    if (!monitor->Udev)
        return false;
    monitor->Monitor = udev_monitor_new_from_netlink(monitor->Udev, "udev");
    if (!monitor->Monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor->Monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor->Monitor) < 0)
        return false;
    const int fd = udev_monitor_get_fd(monitor->Monitor);
    if (fd < 0)
        return false;
    FMonitor = std::move(monitor);
    FNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TDeviceWatcher::ReadEvent);
    return true;
#else
    return false;
#endif
}

void TDeviceWatcher::Stop() {
    delete FNotifier;
    FNotifier = nullptr;
    FMonitor.reset();
}

QByteArray TDeviceWatcher::RecordFor(const QString& DevNode, const QStringList& DevLinks) {
    for (int n = 1; n <= 9; ++n) {
        const QString name = ComPorts::PortName(n);
        const QString mapped = ComPorts::DevicePath(name);
        // A link that is gone already (removal) still matches by its name.
        if (mapped == DevNode || DevLinks.contains(mapped) ||
            QFileInfo(mapped).canonicalFilePath() == DevNode)
            return DeviceBroadcast::PortRecord(name);
    }
    return {};
}

void TDeviceWatcher::ReadEvent() {
#ifdef HALVORN_HAVE_LIBUDEV
    udev_device* device = udev_monitor_receive_device(FMonitor->Monitor);
    if (!device)
        return;
    const QString action = QString::fromLatin1(udev_device_get_action(device));
    const char* node = udev_device_get_devnode(device);
    QStringList links;
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_device_get_devlinks_list_entry(device)) links
        << QString::fromLocal8Bit(udev_list_entry_get_name(entry));
    const QString devNode = node ? QString::fromLocal8Bit(node) : QString();
    udev_device_unref(device);
    if (devNode.isEmpty() || (action != QLatin1String("add") && action != QLatin1String("remove")))
        return;
    QByteArray record;
    try {
        record = RecordFor(devNode, links);
    } catch (const Exception& e) {
        // A resolver that failed (the host's unreadable settings, say): no port can be named, and
        // the event loop must go on.
        qWarning().noquote() << e.Message;
        return;
    }
    if (record.isEmpty())
        return;
    if (action == QLatin1String("add"))
        emit DeviceArrived(record);
    else
        emit DeviceRemoved(record);
#endif
}
