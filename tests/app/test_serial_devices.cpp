#include "AppFixture.h"

#include "Pty.h"
#include "Sim.h"
#include "app/SerialDevicesForm.h"
#include "components/serial/DeviceWatcher.h"
#include "platform/PortMap.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QTemporaryDir>

using TestSupport::ModalAnswer;
using TestSupport::TSim;

namespace {

const QByteArray PortsHeader = "\r\n[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports]\r\n";

// The cell's first line: the state's hints follow on lines of their own.
QString Cell(const TSerialDevicesForm& Dialog, const QString& Device, int Column) {
    for (int r = 0; r < Dialog.Table->rowCount(); ++r)
        if (Dialog.Table->item(r, TSerialDevicesForm::DeviceColumn)->text() == Device)
            return Dialog.Table->item(r, Column)->text().section('\n', 0, 0);
    return QStringLiteral("(no row)");
}

// Answers the dialog: sets the ports' texts (index 0 = Com 1), then presses OK or Cancel.
TestSupport::TAction Assign(const QMap<int, QString>& Texts, bool Ok, QString* Seen = nullptr) {
    return [Texts, Ok, Seen](QWidget* W) {
        auto* d = qobject_cast<TSerialDevicesForm*>(W);
        ASSERT_NE(d, nullptr);
        for (auto it = Texts.begin(); it != Texts.end(); ++it)
            d->PortBox[it.key()]->setEditText(it.value());
        if (Seen)
            *Seen = d->StoreErrorLabel->text();
        if (Ok)
            d->accept();
        else
            d->reject();
    };
}

} // namespace

class SerialDevicesTest : public AppTest {
protected:
    QByteArray PortsStore(const QByteArray& Values) {
        StoreWithInstallDir();
        Config.WriteStore(Config.ReadStore() + PortsHeader + Values);
        return Config.ReadStore();
    }
};

TEST_F(SerialDevicesTest, DevicesItemFollowsComFourAfterASeparator) {
    TMainForm& f = Create();
    QMenu* ports = nullptr;
    for (QAction* a : f.menuBar()->actions())
        if (a->text() == "&Com Port")
            ports = a->menu();
    ASSERT_NE(ports, nullptr);
    QStringList texts;
    for (QAction* a : ports->actions())
        texts << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(texts.join('|'), "Com 1|Com 2|Com 3|Com 4|-|&Devices...|&Stop");
    EXPECT_EQ(Control<QAction>(f, "ComPortDevices")->text(), "&Devices...");
}

TEST_F(SerialDevicesTest, OkStoresTheAssignmentAndThePortItemComesAlive) {
    TSim Sim({"--file", "/dev/null"});
    ASSERT_TRUE(Sim.Started());
    PortsStore("\"COM1\"=\"/nonexistent/ttyUSB7\"\r\n");
    TMainForm& f = Create();
    EXPECT_FALSE(PortItem(f, 2)->isEnabled());
    {
        ModalAnswer answer(Assign({{1, Sim.DevicePath()}}, true));
        Trigger(f, "ComPortDevices");
        EXPECT_EQ(answer.Answered(), 1);
    }
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    TRegistry r;
    ASSERT_TRUE(r.OpenKeyReadOnly("Software\\Tamsor\\Ports"));
    EXPECT_EQ(r.ReadString("COM2"), Sim.DevicePath());
    EXPECT_EQ(r.ReadString("COM1"), "/nonexistent/ttyUSB7");
    EXPECT_TRUE(PortItem(f, 2)->isEnabled());
    EXPECT_FALSE(PortItem(f, 1)->isEnabled());
    EXPECT_EQ(PortItem(f, 1)->toolTip(), "no device at /nonexistent/ttyUSB7");
}

TEST_F(SerialDevicesTest, CancelAndRefusedPathsStoreNothing) {
    QTemporaryDir folder;
    const QString file = folder.filePath("plain.txt");
    TestSupport::WriteFile(file, "x");
    const QByteArray before = PortsStore("\"COM1\"=\"/nonexistent/ttyUSB7\"\r\n");
    TMainForm& f = Create();
    {
        ModalAnswer answer(Assign({{0, "/dev/ttyS3"}}, false));
        Trigger(f, "ComPortDevices");
        EXPECT_EQ(answer.Answered(), 1);
    }
    EXPECT_EQ(Config.ReadStore(), before);

    const struct {
        QString Path;
        QString Reason;
    } Refused[] = {
        {folder.path(), "is a folder"},
        {file, "plain.txt"},
        {"/dev/null", "/dev/null"},
    };
    for (const auto& c : Refused) {
        SCOPED_TRACE(c.Path.toStdString());
        TSerialDevicesForm d(PortAssignments::Read(), QString());
        d.PortBox[2]->setEditText(c.Path);
        d.accept();
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_TRUE(d.RefusalLabel->text().startsWith("Com 3: "));
        EXPECT_TRUE(d.RefusalLabel->text().contains(c.Reason))
            << d.RefusalLabel->text().toStdString();
        EXPECT_TRUE(d.Result().Changed.isEmpty());
    }
    EXPECT_EQ(Config.ReadStore(), before);
}

TEST_F(SerialDevicesTest, UnreadableStoreIsNamedWithItsLineAndNothingIsStored) {
    TMainForm& f = Create();
    const QByteArray broken =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software"
        "\\Tamsor\\Ports]\r\n\"COM1\"=bogus:1\r\n";
    Config.WriteStore(broken);
    QString shown;
    {
        ModalAnswer answer(Assign({{0, "/dev/ttyS0"}}, true, &shown));
        Trigger(f, "ComPortDevices");
        EXPECT_EQ(answer.Answered(), 1);
    }
    EXPECT_TRUE(shown.contains(Config.StoreFile() + ":4")) << shown.toStdString();
    EXPECT_EQ(Config.ReadStore(), broken);
}

TEST_F(SerialDevicesTest, RowsFollowADeviceThatVanishesWhileOpen) {
    TSim sim({"--file", "/dev/null"});
    ASSERT_TRUE(sim.Started());
    // A link of our own, which vanishes for good (a pseudo-terminal number can be taken again).
    QTemporaryDir dir;
    const QString path = dir.filePath("ttyUSB3");
    ASSERT_TRUE(QFile::link(sim.DevicePath(), path));
    PortsStore("\"COM1\"=\"" + path.toUtf8() + "\"\r\n");
    TSerialDevicesForm d(PortAssignments::Read(), QString());
    EXPECT_EQ(Cell(d, path, TSerialDevicesForm::StateColumn), "free");
    EXPECT_EQ(Cell(d, path, TSerialDevicesForm::PortColumn), "Com 1");
    d.show();
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_TRUE(WaitUntil(
        [&] {
            return Cell(d, path, TSerialDevicesForm::StateColumn) ==
                   "missing: no device at " + path;
        },
        10000));
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(d.Result().Changed.isEmpty());
}

TEST_F(SerialDevicesTest, PortItemsFollowDevicesThatComeAndGo) {
    PortsStore("\"COM2\"=\"/nonexistent/ttyUSB7\"\r\n");
    TMainForm& f = Create();
    PollPorts(f);
    EXPECT_FALSE(PortItem(f, 2)->isEnabled());
    TSim sim({"--file", "/dev/null"});
    ASSERT_TRUE(sim.Started());
    // Mapped through a link of our own: a freed pseudo-terminal number can be taken again at
    // once by a test beside this one, a removed link cannot.
    QTemporaryDir dir;
    const QString path = dir.filePath("ttyUSB7");
    ASSERT_TRUE(QFile::link(sim.DevicePath(), path));
    PortMap::MapPort("COM2", path);
    // It follows the change (how fast is measured by bench_app).
    EXPECT_TRUE(WaitUntil([&] { return PortItem(f, 2)->isEnabled(); }, 10000));
    EXPECT_EQ(PortItem(f, 2)->toolTip(), path);
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_TRUE(WaitUntil([&] { return !PortItem(f, 2)->isEnabled(); }, 10000));
    EXPECT_EQ(PortItem(f, 2)->toolTip(), "no device at " + path);
}

TEST_F(SerialDevicesTest, ThePortADownloadHoldsStaysAsItIs) {
    TSim sim({"--file", "/dev/null"});
    ASSERT_TRUE(sim.Started());
    StoreWithInstallDir("\"Port\"=dword:00000001\r\n\"InfoEnable\"=dword:00000000\r\n");
    Config.WriteStore(Config.ReadStore() + PortsHeader + "\"COM1\"=\"" + sim.DevicePath().toUtf8() +
                      "\"\r\n");
    TMainForm& f = Create();
    PollPorts(f);
    ASSERT_TRUE(PortItem(f, 1)->isEnabled());
    Trigger(f, "GetData");
    ASSERT_TRUE(Downloading(f));
    PortMap::MapPort("COM1", "/nonexistent/ttyUSB7");
    PortMap::MapPort("COM3", sim.DevicePath());
    // The other items still follow: Com 3 shows the moved device.
    EXPECT_TRUE(WaitUntil([&] { return PortItem(f, 3)->isEnabled(); }, 10000));
    EXPECT_TRUE(PortItem(f, 1)->isEnabled());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(SerialDevicesTest, UdevEventsDriveThePortItemsWhereUdevRuns) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    if (!QFileInfo::exists("/run/udev/control")) {
        EXPECT_TRUE(Control<QTimer>(f, "PortCheckTimer")->isActive());
        EXPECT_EQ(Control<QTimer>(f, "PortCheckTimer")->interval(), 500);
        GTEST_SKIP() << "no udev daemon here: the items are checked every 0.5 s";
    }
    if (!Control<TDeviceWatcher>(f, "PortWatcher")->Active())
        GTEST_SKIP() << "built without libudev";
    EXPECT_FALSE(Control<QTimer>(f, "PortCheckTimer")->isActive());
    // An event for a mapped port evaluates the items again.
    PortMap::MapPort("COM4", "/nonexistent/ttyUSB7");
    PortItem(f, 4)->setEnabled(true);
    emit Control<TDeviceWatcher>(f, "PortWatcher")->DeviceRemoved("COM4");
    EXPECT_FALSE(PortItem(f, 4)->isEnabled());
}

// A machine with one USB adapter (a pseudo-terminal of the test behind its device node).
TEST_F(SerialDevicesTest, AnAdapterIsListedWithItsTextsAndStoredByItsStableName) {
    QTemporaryDir dir;
    TestSupport::TPty line;
    ASSERT_TRUE(line.Ok());
    const QString sys = dir.path() + "/sys", dev = dir.path() + "/dev";
    const QString usb = sys + "/devices/usb1/1-1";
    const QString tty = usb + "/1-1:1.0/ttyUSB0/tty/ttyUSB0";
    const QString byId = dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0";
    for (const char* a :
         {"idVendor=0403", "manufacturer=FTDI", "product=FT232R USB UART", "serial=A10K1234"})
        TestSupport::WriteFile(usb + '/' + QString(a).section('=', 0, 0),
                               QString(a).section('=', 1).toUtf8() + '\n');
    TestSupport::WriteFile(tty + "/uevent", "DEVNAME=ttyUSB0\n");
    TestSupport::WriteFile(dir.path() + "/proc/locks", "");
    QDir().mkpath(sys + "/class/tty");
    QDir().mkpath(dev + "/serial/by-id");
    ASSERT_TRUE(QFile::link("../../../ttyUSB0", tty + "/device"));
    ASSERT_TRUE(QFile::link(tty, sys + "/class/tty/ttyUSB0"));
    ASSERT_TRUE(QFile::link(line.SlavePath(), dev + "/ttyUSB0"));
    ASSERT_TRUE(QFile::link("../../ttyUSB0", byId));
    const SerialDevices::TRoots roots{sys, dev, dir.path() + "/proc", false};

    TSerialDevicesForm d({}, QString(), nullptr, roots);
    ASSERT_EQ(d.Table->rowCount(), 1);
    EXPECT_EQ(Cell(d, byId, TSerialDevicesForm::KernelColumn), "ttyUSB0");
    EXPECT_EQ(Cell(d, byId, TSerialDevicesForm::UsbColumn), "FTDI FT232R USB UART (A10K1234)");
    EXPECT_EQ(Cell(d, byId, TSerialDevicesForm::StateColumn), "free");
    EXPECT_EQ(d.PortBox[0]->findText(byId), 0);
    d.PortBox[1]->setEditText(dev + "/ttyUSB0");
    d.accept();
    ASSERT_EQ(d.result(), QDialog::Accepted);
    ASSERT_EQ(d.Result().Changed.size(), 1);
    EXPECT_EQ(d.Result().Changed[0].Port, "COM2");
    EXPECT_EQ(d.Result().Changed[0].Path, byId);
}
