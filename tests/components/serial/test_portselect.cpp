#include "ModalAnswer.h"
#include "SerialTest.h"

#include "components/serial/DeviceBroadcast.h"
#include "components/serial/SerialLine.h"
#include "components/serial/portselect.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace SerialTest;
using TestSupport::ModalAnswer;

namespace {

// Ports 1, 3 and 4 are pseudo-terminals; the others lead nowhere.
class TPortsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int n = 1; n <= 9; ++n)
            PortMap::MapPort(TAdvancedCom::PortName(n),
                             QStringLiteral("/nonexistent/tty%1").arg(n));
        PortMap::MapPort(QStringLiteral("COM1"), Pty1.SlavePath());
        PortMap::MapPort(QStringLiteral("COM3"), Pty3.SlavePath());
        PortMap::MapPort(QStringLiteral("COM4"), Pty4.SlavePath());
    }

    // Runs the dialog; Answer gets it while it is shown.
    int RunDialog(TAdvancedCom& Com, qint32 Preselect,
                  const std::function<void(TSelectPortDlg&)>& Answer) {
        ModalAnswer answer([&](QWidget* w) {
            auto* dialog = qobject_cast<TSelectPortDlg*>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(Com.PortDialog, dialog);
            Answer(*dialog);
        });
        const int result = Com.GetComPortDlg(nullptr, Preselect, 7);
        EXPECT_TRUE(answer.Answered());
        EXPECT_EQ(Com.PortDialog, nullptr);
        return result;
    }

    static QStringList Entries(const TSelectPortDlg& Dialog) {
        QStringList entries;
        for (int i = 0; i < Dialog.PortComboBox->count(); ++i)
            entries << Dialog.PortComboBox->itemText(i);
        return entries;
    }

    TestSupport::TempConfig Config;
    TestSupport::TPty Pty1, Pty3, Pty4;
};

} // namespace

TEST(SelectPortDlg, ReadPortNumberTakesWhatFollowsTheFirstThreeCharacters) {
    TSelectPortDlg dialog(nullptr, true);
    const std::pair<QString, qint32> cases[] = {
        {"COM", -1}, {"COM12", 12}, {"ABC7", 7}, {"COMx", -1}, {"", -1},
    };
    for (const auto& [entry, number] : cases) {
        dialog.PortComboBox->clear();
        dialog.PortComboBox->addItem(entry);
        EXPECT_EQ(dialog.ReadPortNumber(0), number) << entry.toStdString();
    }
    EXPECT_EQ(dialog.ReadPortNumber(5), -1);
}

TEST(SelectPortDlg, HelpGoesToTheHostOrSaysNoneIsInstalled) {
    TSelectPortDlg dialog(nullptr, true);
    dialog.HelpContext = 42;
    ModalAnswer answer(ModalAnswer::Press(QMessageBox::Ok));
    dialog.HelpBtn->click();
    EXPECT_EQ(answer.Texts().value(0), QStringLiteral("No help is installed for topic 42."));

    int shown = 0;
    TSelectPortDlg::SetHelpHook([&](int Context) { shown = Context; });
    dialog.HelpBtn->click();
    TSelectPortDlg::SetHelpHook({});
    EXPECT_EQ(shown, 42);
}

TEST_F(TPortsTest, ListsPresentPortsInOrderWithThePreselection) {
    TAdvancedCom com;
    const std::pair<qint32, QString> cases[] = {{3, "COM3"}, {2, "COM1"}, {4, "COM4"}};
    for (const auto& [preselect, selected] : cases) {
        QStringList entries;
        QString current;
        bool findShown = true;
        const int result = RunDialog(com, preselect, [&](TSelectPortDlg& d) {
            entries = Entries(d);
            current = d.PortComboBox->currentText();
            findShown = d.FindButton->isVisible();
            EXPECT_TRUE(d.InformationLabel->isVisible());
            EXPECT_EQ(d.HelpContext, 7);
            d.Cancel->click();
        });
        EXPECT_EQ(result, TSelectPortDlg::mrCancel);
        EXPECT_EQ(entries, QStringList({"COM1", "COM3", "COM4"}));
        EXPECT_EQ(current, selected) << preselect;
        EXPECT_FALSE(findShown);
        EXPECT_FALSE(com.ComThread) << "Cancel on a closed component opens nothing";
    }
}

TEST_F(TPortsTest, SaveOpensTheChosenPort) {
    TAdvancedCom com;
    const int result = RunDialog(com, 1, [](TSelectPortDlg& d) {
        d.PortComboBox->setCurrentIndex(2);
        d.Save->click();
    });
    EXPECT_EQ(result, TSelectPortDlg::mrOk);
    EXPECT_EQ(com.Port(), 4u);
    EXPECT_TRUE(com.ComThread);
    EXPECT_FALSE(TSerialLine::Probe(Pty4.SlavePath()));
}

TEST_F(TPortsTest, SaveWithoutAnEntryIsCancel) {
    TAdvancedCom com;
    com.SetPortA(3);
    com.ComInit();
    ASSERT_TRUE(com.ComThread);
    const int result = RunDialog(com, 3, [](TSelectPortDlg& d) {
        d.PortComboBox->setEditText(QStringLiteral("COM7"));
        d.Save->click();
    });
    EXPECT_EQ(result, TSelectPortDlg::mrCancel);
    EXPECT_EQ(com.Port(), 3u);
    EXPECT_TRUE(com.ComThread) << "the port that was open is open again";
}

TEST_F(TPortsTest, CancelReopensOnlyAPortThatHadOpened) {
    TAdvancedCom com;
    com.SetPortA(4);
    com.ComInit();
    com.ComClose(); // closed by the host, but Initialized still says it had opened
    EXPECT_EQ(RunDialog(com, 4, [](TSelectPortDlg& d) { d.reject(); }), TSelectPortDlg::mrCancel);
    EXPECT_TRUE(com.ComThread);
    EXPECT_EQ(com.Port(), 4u);

    TAdvancedCom failed;
    failed.SetPortA(2);
    failed.ComInit();
    ASSERT_FALSE(failed.Initialized);
    RunDialog(failed, 0, [](TSelectPortDlg& d) { d.Cancel->click(); });
    EXPECT_FALSE(failed.ComThread);
    EXPECT_EQ(failed.Port(), 0u);
}

TEST_F(TPortsTest, FindRunsTheHostHandlerAndLeavesTheDialogOpen) {
    TAdvancedCom com;
    QObject* sender = nullptr;
    com.OnFindClicked = [&](QObject* Sender) { sender = Sender; };
    bool stillOpen = false;
    RunDialog(com, 1, [&](TSelectPortDlg& d) {
        EXPECT_TRUE(d.FindButton->isVisible());
        EXPECT_TRUE(d.FindButton->isEnabled());
        d.FindButton->click();
        EXPECT_EQ(sender, d.FindButton);
        stillOpen = d.isVisible();
        d.Cancel->click();
    });
    EXPECT_TRUE(stillOpen);
}

TEST(DeviceChange, InterfaceChangeReadsThePortDigit) {
    TAdvancedCom com;
    const std::pair<QByteArray, qint32> cases[] = {
        {DeviceBroadcast::InterfaceRecord("COM5"), -1}, {DeviceBroadcast::PortRecord("COM5"), 5},
        {DeviceBroadcast::PortRecord("COM12"), 1},      {DeviceBroadcast::PortRecord("xxCom8"), 8},
        {DeviceBroadcast::PortRecord("LPT2"), 2},
    };
    for (const auto& [record, number] : cases)
        EXPECT_EQ(com.HandleDeviceInterfaceChange(nullptr, 0, 0, DeviceBroadcast::AsRecord(record)),
                  number);
    EXPECT_EQ(com.HandleDeviceInterfaceChange(nullptr, 0, 0, nullptr), -1);

    for (const QString name : {"COMX", "CO", ""}) {
        const QByteArray record = DeviceBroadcast::PortRecord(name);
        EXPECT_THROW(
            com.HandleDeviceInterfaceChange(nullptr, 0, 0, DeviceBroadcast::AsRecord(record)),
            EConvertError)
            << name.toStdString();
    }
    // The name is read no further than the record's size.
    QByteArray cut = DeviceBroadcast::PortRecord("COM5");
    cut[0] = 14;
    EXPECT_THROW(com.HandleDeviceInterfaceChange(nullptr, 0, 0, DeviceBroadcast::AsRecord(cut)),
                 EConvertError);
}

TEST_F(TPortsTest, RemovalClosesOnlyTheComponentsPort) {
    TAdvancedCom com;
    com.SetPortA(3);
    com.ComInit();
    ASSERT_TRUE(com.ComThread);
    com.HandleDeviceRemoval(4);
    EXPECT_TRUE(com.ComThread);
    EXPECT_EQ(com.Port(), 3u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    ModalAnswer answer(ModalAnswer::Press(QMessageBox::Ok));
    com.HandleDeviceRemoval(3);
    EXPECT_EQ(answer.Texts().value(0),
              QStringLiteral("Com3 is disconnected. Port is no longer available."));
    EXPECT_FALSE(com.ComThread);
    EXPECT_EQ(com.Port(), 0u);
}

TEST_F(TPortsTest, InsertionWaitsProbesAndOffersTheNewPort) {
    TAdvancedCom com;
    com.InsertionDelayMs = 30;
    com.SetPortA(1);
    com.ComInit();
    QElapsedTimer timer;
    timer.start();
    com.HandleDeviceInsertion(2); // absent: nothing asked
    EXPECT_GE(timer.elapsed(), 30);
    EXPECT_EQ(com.Port(), 1u);

    struct TCase {
        QMessageBox::StandardButton Answer;
        quint32 Port;
    };
    for (const TCase& c : {TCase{QMessageBox::No, 1}, TCase{QMessageBox::Yes, 3}}) {
        ModalAnswer answer(ModalAnswer::Press(c.Answer));
        com.HandleDeviceInsertion(3);
        EXPECT_EQ(answer.Texts().value(0),
                  QStringLiteral("Com3 is connected would you like to connect to this port?"));
        EXPECT_EQ(com.Port(), c.Port);
        EXPECT_TRUE(com.ComThread);
    }
    EXPECT_FALSE(TSerialLine::Probe(Pty3.SlavePath()));
    EXPECT_TRUE(TSerialLine::Probe(Pty1.SlavePath()));
}
