#include "AppFixture.h"

#include "app/FontDialog.h"

#include <QComboBox>
#include <QFontDialog>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>

using TestSupport::ModalAnswer;

namespace {

int ReadInt(const char* Name) {
    TRegistry reg;
    EXPECT_TRUE(reg.OpenKey(Settings::Key, false));
    return reg.ReadInteger(Name);
}

QString ReadStr(const char* Name) {
    TRegistry reg;
    EXPECT_TRUE(reg.OpenKey(Settings::Key, false));
    return reg.ReadString(Name);
}

} // namespace

TEST_F(AppTest, FirstRunWithoutSettings) {
    TMainForm& f = Create();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(f.windowTitle(), "Halvorn - Untitled");
    EXPECT_EQ(f.StatusText(), "Idle");
    for (QAction* a : f.ComPortCom)
        EXPECT_FALSE(a->isChecked());
    EXPECT_TRUE(f.GetData->isEnabled());
    Idle();
    EXPECT_FALSE(f.GetData->isEnabled());
    EXPECT_EQ(f.TextMemo->font().family(), "Courier New");
    EXPECT_EQ(f.TextMemo->font().pointSize(), 10);

    EXPECT_TRUE(f.close());
    EXPECT_EQ(ReadInt("Port"), 0);
    EXPECT_EQ(ReadInt("InfoEnable"), 0);
    EXPECT_EQ(ReadStr("FontName"), "Courier New");
    EXPECT_EQ(ReadInt("FontSize"), 10);
    EXPECT_EQ(quint32(ReadInt("FontColor")), 0x80000008u);
    EXPECT_EQ(ReadStr("FontStyle"), "0000");
    TRegistry reg;
    reg.OpenKey(Settings::Key, false);
    EXPECT_FALSE(reg.ValueExists("InstallDir"));
}

TEST_F(AppTest, LoadStopsAtTheFirstMissingValue) {
    StoreWithInstallDir("");
    TMainForm& f = Create();
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors[0].section('\n', 0, 0), "Failed to get data for 'Port'");
    // The rest of creation was skipped: no idle handler manages the commands.
    Idle();
    EXPECT_TRUE(f.GetData->isEnabled());
    EXPECT_TRUE(f.isEnabled());
}

TEST_F(AppTest, WrongTypeIsReported) {
    Store("\"Port\"=\"1\"\r\n");
    Create();
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors[0].section('\n', 0, 0), "Invalid data type for 'Port'");
    EXPECT_TRUE(Errors[0].contains(Config.StoreFile())) << Errors[0].toStdString();
}

TEST_F(AppTest, FontStyleSavedAndRestored) {
    StoreWithInstallDir();
    {
        TMainForm& f = Create();
        f.SettingsValues.Font.Bold = true;
        f.SettingsValues.Font.Italic = true;
        f.ApplyEditorFont();
        EXPECT_TRUE(f.close());
        EXPECT_EQ(ReadStr("FontStyle"), "1100");
        Form.reset();
    }
    TMainForm& g = Create();
    EXPECT_TRUE(Errors.isEmpty());
    EXPECT_TRUE(g.TextMemo->font().bold());
    EXPECT_TRUE(g.TextMemo->font().italic());
    EXPECT_FALSE(g.TextMemo->font().underline());
}

TEST_F(AppTest, ShortFontStyleAddsBoldThenFails) {
    StoreWithInstallDir("\"Port\"=dword:00000000\r\n\"InfoEnable\"=dword:00000001\r\n"
                        "\"FontName\"=\"Liberation Mono\"\r\n\"FontSize\"=dword:0000000c\r\n"
                        "\"FontColor\"=dword:000000ff\r\n\"FontStyle\"=\"1\"\r\n");
    TMainForm& f = Create();
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors[0], "Range check error");
    EXPECT_TRUE(f.TextMemo->font().bold());
    EXPECT_EQ(f.TextMemo->font().pointSize(), 12);
    EXPECT_EQ(f.TextMemo->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(f.InfoEnable, 1);
}

TEST_F(AppTest, StoredPortWithoutDeviceIsCheckedButDisabled) {
    StoreWithInstallDir("\"Port\"=dword:00000002\r\n\"InfoEnable\"=dword:00000000\r\n");
    Config.WriteStore(
        Config.ReadStore() +
        "\r\n[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports]\r\n\"COM2\"=\"/nonexistent/tty\"\r\n");
    TMainForm& f = Create();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_FALSE(f.ComPortCom[1]->isEnabled());
    EXPECT_TRUE(f.ComPortCom[1]->isChecked());
    Idle();
    EXPECT_TRUE(f.GetData->isEnabled());
    EXPECT_EQ(f.SerialPort->PortName(), "COM2");
    EXPECT_EQ(f.PortNumber, 2);
}

TEST_F(AppTest, IdleHandlerFollowsEditorAndClipboard) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    QApplication::clipboard()->clear();
    Idle();
    EXPECT_FALSE(f.EditCut->isEnabled());
    EXPECT_FALSE(f.EditCopy->isEnabled());
    EXPECT_FALSE(f.EditPaste->isEnabled());
    EXPECT_FALSE(f.FileSave->isEnabled());
    EXPECT_FALSE(f.FileSaveAs->isEnabled());
    EXPECT_FALSE(f.EditUndo->isEnabled());

    // An empty editor keeps Save disabled even with its modified flag set.
    f.SetModified(true);
    Idle();
    EXPECT_FALSE(f.FileSave->isEnabled());
    EXPECT_TRUE(f.EditUndo->isEnabled());

    f.SetEditorLines({"one", "two"}, false);
    Idle();
    EXPECT_FALSE(f.FileSave->isEnabled());
    EXPECT_TRUE(f.FileSaveAs->isEnabled());
    EXPECT_FALSE(f.EditUndo->isEnabled());

    f.TextMemo->selectAll();
    QApplication::clipboard()->setText("from elsewhere");
    Idle();
    EXPECT_TRUE(f.EditCut->isEnabled());
    EXPECT_TRUE(f.EditCopy->isEnabled());
    EXPECT_TRUE(f.EditPaste->isEnabled());

    Type("x");
    Idle();
    EXPECT_TRUE(f.FileSave->isEnabled());
    EXPECT_TRUE(f.EditUndo->isEnabled());
    EXPECT_FALSE(f.EditCopy->isEnabled());
    EXPECT_TRUE(f.FileNew->isEnabled());
    // Print, Open and the port items are left alone.
    EXPECT_TRUE(f.FilePrint->isEnabled());
    EXPECT_TRUE(f.FileOpen->isEnabled());
}

TEST_F(AppTest, PortItemsAreOneRadioGroup) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    f.ComPortCom[2]->setEnabled(true);
    f.ComPortCom[2]->trigger();
    EXPECT_TRUE(f.ComPortCom[2]->isChecked());
    EXPECT_EQ(f.PortNumber, 3);
    f.ComPortClick(1);
    EXPECT_TRUE(f.ComPortCom[0]->isChecked());
    EXPECT_FALSE(f.ComPortCom[2]->isChecked());
    EXPECT_EQ(f.SerialPort->PortName(), "COM1");
}

TEST_F(AppTest, ClearWithoutChangesAsksNothing) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    f.SetEditorLines({"report"}, false);
    EXPECT_TRUE(f.FileNew->isEnabled());
    f.FileNewClick();
    EXPECT_TRUE(f.TextMemo->document()->isEmpty());
    EXPECT_EQ(f.windowTitle(), "Halvorn - Untitled");
    EXPECT_FALSE(f.FileNew->isEnabled());
}

TEST_F(AppTest, ClearPromptAnswers) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    Type("edited");

    {
        ModalAnswer answer(ModalAnswer::Press(QMessageBox::Cancel));
        f.FileNewClick();
        EXPECT_EQ(answer.Texts(), QStringList{"The current file has changed. Save changes?"});
        EXPECT_EQ(f.TextMemo->toPlainText(), "edited");
    }
    {
        // Yes, then the Save As dialog is cancelled: nothing is cleared.
        ModalAnswer answer({ModalAnswer::Press(QMessageBox::Yes), ModalAnswer::Reject()});
        f.FileNewClick();
        EXPECT_EQ(answer.Answered(), 2);
        EXPECT_EQ(f.TextMemo->toPlainText(), "edited");
        EXPECT_TRUE(f.Modified());
    }
    {
        ModalAnswer answer(ModalAnswer::Press(QMessageBox::No));
        f.FileNewClick();
        EXPECT_TRUE(f.TextMemo->document()->isEmpty());
        EXPECT_FALSE(f.Modified());
    }
}

TEST_F(AppTest, CloseCancelledKeepsWindowButSettingsAreWritten) {
    StoreWithInstallDir();
    TMainForm& f = Create(true);
    f.show();
    f.PortNumber = 3;
    Type("unsaved");
    {
        ModalAnswer answer(ModalAnswer::Press(QMessageBox::Cancel));
        EXPECT_FALSE(f.close());
    }
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(ReadInt("Port"), 3);
    EXPECT_FALSE(QFile::exists(InfoFile::PathIn(Install.path())));

    {
        ModalAnswer answer(ModalAnswer::Press(QMessageBox::No));
        EXPECT_TRUE(f.close());
    }
    EXPECT_TRUE(QFile::exists(InfoFile::PathIn(Install.path())));
    EXPECT_EQ(f.SerialPort, nullptr);
}

TEST_F(AppTest, FailedSettingsWriteCallsTheCloseOff) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    f.show();
    // A folder where the store file should be: every write fails.
    QFile::remove(Config.StoreFile());
    QDir().mkpath(Config.StoreFile());
    EXPECT_FALSE(f.close());
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].startsWith("Failed to set data for 'Port'")) << Errors[0].toStdString();
    EXPECT_TRUE(f.isVisible());
}

TEST_F(AppTest, ResizeNeverNarrowerThan340) {
    TMainForm& f = Create();
    f.show();
    f.resize(200, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.width(), 340);
    EXPECT_EQ(f.height(), 300);
}

TEST_F(AppTest, FontCommandTakesNameSizeStyleAndColour) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    {
        ModalAnswer cancel(ModalAnswer::Reject());
        f.FontClick();
        EXPECT_EQ(cancel.Answered(), 1);
    }
    EXPECT_EQ(f.SettingsValues.Font.Name, "Courier New");
    ModalAnswer choose([](QWidget* w) {
        auto* d = qobject_cast<TFontDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->ColorBox->currentText(), "Window Text");
        QFont font("Liberation Mono", 14);
        font.setBold(true);
        font.setUnderline(true);
        d->FontPanel->setCurrentFont(font);
        d->ColorBox->setCurrentIndex(d->ColorBox->findText("Red"));
        QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
    });
    f.FontClick();
    ASSERT_EQ(choose.Answered(), 1);
    EXPECT_EQ(f.SettingsValues.Font.Name, "Liberation Mono");
    EXPECT_EQ(f.SettingsValues.Font.Size, 14);
    EXPECT_EQ(f.SettingsValues.Font.Color, 0x0000FF);
    EXPECT_EQ(Settings::StyleText(f.SettingsValues.Font), "1010");
    EXPECT_EQ(f.TextMemo->font().pointSize(), 14);
    EXPECT_EQ(f.TextMemo->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_TRUE(f.close());
    EXPECT_EQ(ReadInt("FontColor"), 0x0000FF);
    EXPECT_EQ(ReadStr("FontStyle"), "1010");
}
