#include "AppFixture.h"
#include "QtPrint.h"

#include "app/FontDialog.h"
#include "info/InfoFile.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

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
    TMainForm& f = Create(true);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(f.windowTitle(), "Halvorn - Untitled");
    for (int n = 1; n <= 4; ++n)
        EXPECT_FALSE(PortItem(f, n)->isChecked());
    EXPECT_TRUE(Control<QAction>(f, "GetData")->isEnabled());
    Idle();
    EXPECT_FALSE(Control<QAction>(f, "GetData")->isEnabled());
    EXPECT_EQ(Memo(f)->font().family(), "Courier New");
    EXPECT_EQ(Memo(f)->font().pointSize(), 10);

    // The first start does what halvorn-setup does, and says so on one status line.
    const QString folder = Config.Home() + "/Halvorn";
    EXPECT_EQ(StatusText(), "First start: made the installation folder " + folder +
                                " and its Data folder, and stored it as \"InstallDir\"");
    EXPECT_TRUE(QFileInfo(folder + "/Data").isDir());
    EXPECT_EQ(ReadStr("InstallDir"), folder);
    EXPECT_EQ(Control<QFileDialog>(f, "SaveDialog")->directory().absolutePath(), folder + "/Data");
    EXPECT_EQ(Form->Information().FilePath(), InfoFile::PathIn(folder));

    EXPECT_TRUE(f.close());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(ReadInt("Port"), 0);
    EXPECT_EQ(ReadInt("InfoEnable"), 0);
    EXPECT_EQ(ReadStr("FontName"), "Courier New");
    EXPECT_EQ(ReadInt("FontSize"), 10);
    EXPECT_EQ(quint32(ReadInt("FontColor")), 0x80000008u);
    EXPECT_EQ(ReadStr("FontStyle"), "0000");
    EXPECT_TRUE(QFile::exists(InfoFile::PathIn(folder)));

    // Once only.
    Form->SetInfoForm(nullptr);
    Info.reset();
    Form.reset();
    const QByteArray store = Config.ReadStore();
    Create();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(StatusText(), "Idle");
    EXPECT_EQ(Config.ReadStore(), store);
}

// Nothing is ever read or written directly under the root folder; a store that cannot be read
// is no first start.
TEST_F(AppTest, NoFileAtTheRootWithoutAnInstallationFolder) {
    const bool rootFileBefore = QFile::exists("/info.zev");
    const QByteArray stores[] = {"not a settings store\r\n", ""};
    for (const QByteArray& store : stores) {
        SCOPED_TRACE(store.toStdString());
        if (store.isEmpty())
            Store("\"InstallDir\"=\"/\"\r\n\"Port\"=\"x\"\r\n");
        else
            Config.WriteStore(store);
        const QByteArray before = Config.ReadStore();
        Errors.clear();
        TMainForm& f = Create(true);
        EXPECT_EQ(Errors.size(), 1) << Errors.join("\n|").toStdString();
        EXPECT_EQ(Form->Information().FilePath(), "");
        EXPECT_FALSE(QFileInfo::exists(Config.Home() + "/Halvorn"));
        EXPECT_TRUE(f.close());
        ASSERT_EQ(Errors.size(), 2) << Errors.join('\n').toStdString();
        EXPECT_TRUE(Errors[1].startsWith("The settings were not saved")) << Errors[1].toStdString();
        EXPECT_TRUE(Errors[1].contains("The report information was not saved"));
        EXPECT_EQ(Config.ReadStore(), before);
        EXPECT_EQ(QFile::exists("/info.zev"), rootFileBefore);
        Form->SetInfoForm(nullptr);
        Info.reset();
        Form.reset();
    }
}

TEST_F(AppTest, LoadStopsAtTheFirstMissingValue) {
    StoreWithInstallDir("");
    TMainForm& f = Create();
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors[0].section('\n', 0, 0), "Failed to get data for 'Port'");
    // The rest of creation was skipped: no idle handler manages the commands.
    Idle();
    EXPECT_TRUE(Control<QAction>(f, "GetData")->isEnabled());
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
        ModalAnswer boldItalic([](QWidget* w) {
            auto* d = qobject_cast<TFontDialog*>(w);
            QFont font(d->FontPanel->currentFont().family());
            font.setBold(true);
            font.setItalic(true);
            d->FontPanel->setCurrentFont(font);
            QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
        });
        Trigger(f, "Font");
        EXPECT_TRUE(f.close());
        EXPECT_EQ(ReadStr("FontStyle"), "1100");
        Form.reset();
    }
    TMainForm& g = Create();
    EXPECT_TRUE(Errors.isEmpty());
    EXPECT_TRUE(Memo(g)->font().bold());
    EXPECT_TRUE(Memo(g)->font().italic());
    EXPECT_FALSE(Memo(g)->font().underline());
}

TEST_F(AppTest, ShortFontStyleAddsBoldThenFails) {
    StoreWithInstallDir("\"Port\"=dword:00000000\r\n\"InfoEnable\"=dword:00000001\r\n"
                        "\"FontName\"=\"Liberation Mono\"\r\n\"FontSize\"=dword:0000000c\r\n"
                        "\"FontColor\"=dword:000000ff\r\n\"FontStyle\"=\"1\"\r\n");
    TMainForm& f = Create();
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors[0], "Range check error");
    EXPECT_TRUE(Memo(f)->font().bold());
    EXPECT_EQ(Memo(f)->font().pointSize(), 12);
    EXPECT_EQ(Memo(f)->palette().color(QPalette::Text), QColor(255, 0, 0));
    // The switch read before the failure is the window's: Exit writes it over a changed store.
    StoreWithInstallDir();
    EXPECT_TRUE(f.close());
    EXPECT_EQ(ReadInt("InfoEnable"), 1);
}

TEST_F(AppTest, StoredPortWithoutDeviceIsCheckedButDisabled) {
    StoreWithInstallDir("\"Port\"=dword:00000002\r\n\"InfoEnable\"=dword:00000000\r\n");
    Config.WriteStore(
        Config.ReadStore() +
        "\r\n[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports]\r\n\"COM2\"=\"/nonexistent/tty\"\r\n");
    TMainForm& f = Create();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_FALSE(PortItem(f, 2)->isEnabled());
    EXPECT_TRUE(PortItem(f, 2)->isChecked());
    Idle();
    EXPECT_TRUE(Control<QAction>(f, "GetData")->isEnabled());
    EXPECT_TRUE(f.close());
    EXPECT_EQ(ReadInt("Port"), 2);
}

namespace {

// The items of the Edit and File menus the idle handler sets, those of them enabled now.
QStringList EnabledItems(const TMainForm& F) {
    QStringList enabled;
    for (const char* name :
         {"FileNew", "FileSave", "FileSaveAs", "EditUndo", "EditCut", "EditCopy", "EditPaste"})
        if (Control<QAction>(F, name)->isEnabled())
            enabled << name;
    return enabled;
}

} // namespace

TEST_F(AppTest, IdleHandlerFollowsEditorAndClipboard) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    QApplication::clipboard()->clear();
    Idle();
    EXPECT_EQ(EnabledItems(f), QStringList());

    // An empty editor keeps Save disabled even with its modified flag set.
    Memo(f)->SetModified(true);
    Idle();
    EXPECT_EQ(EnabledItems(f), QStringList({"EditUndo"}));

    SetEditorLines({"one", "two"}, false);
    Idle();
    EXPECT_EQ(EnabledItems(f), QStringList({"FileNew", "FileSaveAs"}));

    Memo(f)->selectAll();
    QApplication::clipboard()->setText("from elsewhere");
    Idle();
    EXPECT_EQ(EnabledItems(f),
              QStringList({"FileNew", "FileSaveAs", "EditCut", "EditCopy", "EditPaste"}));

    Type("x");
    Idle();
    EXPECT_EQ(EnabledItems(f),
              QStringList({"FileNew", "FileSave", "FileSaveAs", "EditUndo", "EditPaste"}));
    // Print, Open and the port items are left alone.
    EXPECT_TRUE(Control<QAction>(f, "FilePrint")->isEnabled());
    EXPECT_TRUE(Control<QAction>(f, "FileOpen")->isEnabled());
}

TEST_F(AppTest, PortItemsAreOneRadioGroup) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    PortItem(f, 3)->setEnabled(true);
    PortItem(f, 3)->trigger();
    EXPECT_TRUE(PortItem(f, 3)->isChecked());
    ChoosePort(f, 1);
    EXPECT_TRUE(PortItem(f, 1)->isChecked());
    EXPECT_FALSE(PortItem(f, 3)->isChecked());
    EXPECT_TRUE(f.close());
    EXPECT_EQ(ReadInt("Port"), 1);
}

TEST_F(AppTest, ClearWithoutChangesAsksNothing) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    SetEditorLines({"report"}, false);
    EXPECT_TRUE(Control<QAction>(f, "FileNew")->isEnabled());
    Trigger(f, "FileNew");
    EXPECT_TRUE(Memo(f)->document()->isEmpty());
    EXPECT_EQ(f.windowTitle(), "Halvorn - Untitled");
    EXPECT_FALSE(Control<QAction>(f, "FileNew")->isEnabled());
}

TEST_F(AppTest, ClearPromptAnswers) {
    StoreWithInstallDir();
    TMainForm& f = Create();
    Type("edited");

    {
        ModalAnswer answer(ModalAnswer::Press(QMessageBox::Cancel));
        Trigger(f, "FileNew");
        EXPECT_EQ(answer.Texts(), QStringList{"The current file has changed. Save changes?"});
        EXPECT_EQ(Memo(f)->toPlainText(), "edited");
    }
    {
        // Yes, then the Save As dialog is cancelled: nothing is cleared.
        ModalAnswer answer({ModalAnswer::Press(QMessageBox::Yes), ModalAnswer::Reject()});
        Trigger(f, "FileNew");
        EXPECT_EQ(answer.Answered(), 2);
        EXPECT_EQ(Memo(f)->toPlainText(), "edited");
        EXPECT_TRUE(Modified());
    }
    {
        ModalAnswer answer(ModalAnswer::Press(QMessageBox::No));
        Trigger(f, "FileNew");
        EXPECT_TRUE(Memo(f)->document()->isEmpty());
        EXPECT_FALSE(Modified());
    }
}

TEST_F(AppTest, CloseCancelledKeepsWindowButSettingsAreWritten) {
    StoreWithInstallDir();
    TMainForm& f = Create(true);
    f.show();
    ChoosePort(f, 3);
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
    EXPECT_FALSE(Downloading(f));
}

// Exit always closes, with one message when the settings were not saved in full; it writes
// only values read at start or changed since, never defaults over values it could not read.
TEST_F(AppTest, ExitClosesAndNeverWritesDefaultsOverUnreadValues) {
    const QByteArray dir = "\"InstallDir\"=\"" + Install.path().toUtf8() + "\"\r\n";
    const QByteArray repaired = dir + "\"Port\"=dword:00000002\r\n\"InfoEnable\"=dword:00000001\r\n"
                                      "\"FontName\"=\"Liberation Mono\"\r\n\"FontSize\"=dword:"
                                      "0000000c\r\n\"FontColor\"=dword:000000ff\r\n";
    const struct {
        const char* Name;
        QByteArray AtStart;                           // values of the key; "!" a broken store
        std::function<void()> Meanwhile;              // the user's changes and repairs
        QByteArray Port, InfoEnable, FontName, Style; // as the store holds them after Exit
        QString Says;                                 // start of the message at Exit
    } cases[] = {
        {"store unreadable",
         "!",
         {},
         "",
         "",
         "",
         "",
         "The settings were not saved.\n" + Config.StoreFile() + ":1: "},
        {"repaired while running", dir, [&] { Store(repaired + "\"FontStyle\"=\"1000\"\r\n"); },
         "2", "1", "Liberation Mono", "1000", "The settings were not saved: "},
        {"a port chosen, the rest repaired", dir,
         [&] {
             Store(repaired + "\"FontStyle\"=\"1000\"\r\n");
             ChoosePort(*Form, 3);
         },
         "3", "1", "Liberation Mono", "1000", "The settings were not saved: "},
        {"short font style kept",
         repaired + "\"FontStyle\"=\"1\"\r\n",
         {},
         "2",
         "1",
         "Liberation Mono",
         "1",
         "The settings were not saved: "},
        {"store turned into a folder",
         dir + "\"Port\"=dword:00000002\r\n\"InfoEnable\"=dword:00000000\r\n",
         [&] {
             QFile::remove(Config.StoreFile());
             QDir().mkpath(Config.StoreFile());
         },
         "", "", "", "", "The settings were not saved.\nFailed to set data for 'Port'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.AtStart == "!")
            Config.WriteStore("not a settings store\r\n");
        else
            Store(c.AtStart);
        const QByteArray unreadable = Config.ReadStore();
        TMainForm& f = Create();
        f.show();
        if (c.Meanwhile)
            c.Meanwhile();
        Errors.clear();
        EXPECT_TRUE(f.close());
        ASSERT_EQ(Errors.size(), 1) << Errors.join('\n').toStdString();
        EXPECT_TRUE(Errors[0].startsWith(c.Says)) << Errors[0].toStdString();
        if (c.Port.isEmpty() && QFileInfo(Config.StoreFile()).isFile()) {
            EXPECT_EQ(Config.ReadStore(), unreadable);
        } else if (!c.Port.isEmpty()) {
            EXPECT_EQ(QByteArray::number(ReadInt("Port")), c.Port);
            EXPECT_EQ(QByteArray::number(ReadInt("InfoEnable")), c.InfoEnable);
            EXPECT_EQ(ReadStr("FontName").toUtf8(), c.FontName);
            EXPECT_EQ(ReadStr("FontStyle").toUtf8(), c.Style);
        }
        Form.reset();
        QDir(Config.StoreFile()).removeRecursively();
    }
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
    const QFont before = Memo(f)->font();
    {
        ModalAnswer cancel(ModalAnswer::Reject());
        Trigger(f, "Font");
        EXPECT_EQ(cancel.Answered(), 1);
    }
    EXPECT_EQ(Memo(f)->font(), before);
    ModalAnswer choose([](QWidget* w) {
        auto* d = qobject_cast<TFontDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->ColorBox->currentText(), "Window Text");
        QFont font("DejaVu Sans Mono", 14);
        font.setBold(true);
        font.setUnderline(true);
        d->FontPanel->setCurrentFont(font);
        d->ColorBox->setCurrentIndex(d->ColorBox->findText("Red"));
        QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
    });
    Trigger(f, "Font");
    ASSERT_EQ(choose.Answered(), 1);
    EXPECT_EQ(Memo(f)->font().pointSize(), 14);
    EXPECT_EQ(Memo(f)->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_TRUE(f.close());
    EXPECT_EQ(ReadStr("FontName"), "DejaVu Sans Mono");
    EXPECT_EQ(ReadInt("FontSize"), 14);
    EXPECT_EQ(ReadInt("FontColor"), 0x0000FF);
    EXPECT_EQ(ReadStr("FontStyle"), "1010");
}

// The dialog opens on the face in use; OK without changes keeps the stored name and a
// fixed-pitch editor; a name no font answers to gives the system's fixed-pitch font.
// What the user sees of a fixed-pitch face: every character one width. (fontconfig lists some
// such faces, Noto Sans Mono among them, without a spacing, and Qt then says "not fixed".)
bool OneWidth(const QFont& Font) {
    const QFontMetrics Metrics(Font);
    return Metrics.horizontalAdvance(QLatin1Char('i')) ==
           Metrics.horizontalAdvance(QLatin1Char('W'));
}

TEST_F(AppTest, FontCommandKeepsTheStoredFaceAndFixedPitch) {
    const QString fixedFamily =
        QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    const struct {
        QByteArray Name;
        QString Shown; // the face the editor shows and the dialog opens on
    } cases[] = {
        {"Courier New", "Liberation Mono"},
        {"No Such Face", fixedFamily},
        {"Liberation Mono", "Liberation Mono"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name.toStdString());
        StoreWithInstallDir("\"Port\"=dword:00000000\r\n\"InfoEnable\"=dword:00000000\r\n"
                            "\"FontName\"=\"" +
                            c.Name +
                            "\"\r\n\"FontSize\"=dword:0000000a\r\n"
                            "\"FontColor\"=dword:80000008\r\n\"FontStyle\"=\"0000\"\r\n");
        TMainForm& f = Create();
        EXPECT_EQ(QFontInfo(Memo(f)->font()).family(), c.Shown);
        EXPECT_TRUE(OneWidth(Memo(f)->font()));
        QString opened;
        ModalAnswer ok([&](QWidget* w) {
            opened = qobject_cast<TFontDialog*>(w)->FontPanel->currentFont().family();
            QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
        });
        Trigger(f, "Font");
        EXPECT_EQ(opened, c.Shown);
        EXPECT_TRUE(OneWidth(Memo(f)->font()));
        EXPECT_TRUE(f.close());
        EXPECT_EQ(ReadStr("FontName").toUtf8(), c.Name);
        Form.reset();
    }
}
