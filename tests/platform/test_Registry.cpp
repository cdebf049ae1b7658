#include "PlatformTest.h"
#include "TestSupport.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <climits>
#include <csignal>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using TestSupport::MessageOf;
using TestSupport::TempConfig;

namespace {

const QString AppKey = QStringLiteral("Software\\Tamsor\\Halvorn 4410");
const QByteArray Head = "Windows Registry Editor Version 5.00\n\n";
const QByteArray AppKeyLine = "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n";

TRegistry Opened(const QString& Key = AppKey) {
    TRegistry Registry;
    EXPECT_TRUE(Registry.OpenKey(Key, true));
    return Registry;
}

TRegistry Reader(const QString& Key = AppKey) {
    TRegistry Registry;
    EXPECT_TRUE(Registry.OpenKeyReadOnly(Key));
    return Registry;
}

} // namespace

TEST(Registry, StorePathFollowsXdgConfigHomeElseHome) {
    TempConfig Config;
    EXPECT_EQ(TRegistry::StorePath(), Config.StoreFile());
    const QByteArray OldHome = qgetenv("HOME");
    qputenv("HOME", "/home/ann");
    for (const char* Xdg : {"", "relative/dir"}) {
        qputenv("XDG_CONFIG_HOME", Xdg);
        EXPECT_EQ(TRegistry::StorePath(), "/home/ann/.config/Tamsor/registry.reg") << Xdg;
    }
    qputenv("HOME", OldHome);
}

TEST(Registry, ValuesRoundTrip) {
    TempConfig Config;
    for (const int Value : {0, -1, INT_MIN, INT_MAX, int(0x80000008u)}) {
        Opened().WriteInteger("FontColor", Value);
        EXPECT_EQ(Reader().ReadInteger("FontColor"), Value);
    }
    const QString Texts[] = {"",
                             "say \"hi\"",
                             "C:\\Program Files\\Halvorn\\",
                             "\\\"",
                             "Grüße, 日本, ☢",
                             "a=b]c[d",
                             "\"Port\"=dword:00000001",
                             "two\nlines\r\nand a\ttab",
                             QString(3000, u'x')};
    for (const QString& Value : Texts) {
        Opened().WriteString("InstallDir", Value);
        EXPECT_EQ(Reader().ReadString("InstallDir"), Value);
    }
    EXPECT_EQ(Reader().ReadInteger("FontColor"), int(0x80000008u));
}

TEST(Registry, ReadMessagesAndTypes) {
    TempConfig Config;
    Config.WriteStore(Head + AppKeyLine +
                      "\"Port\"=dword:00000001\n"
                      "\"FontName\"=\"Courier New\"\n"
                      "\"Blob\"=hex:01,02,03,04\n"
                      "\"Big\"=hex(b):01,00,00,00,00,00,00,00\n"
                      "\"Multi\"=hex(7):41,00,00,00,00,00\n"
                      "\"Raw\"=hex(4):07,00,00,00\n"
                      "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\n"
                      "\"Odd\"=hex(2):41,00,42\n");
    TRegistry Registry = Reader();
    // The message the program has always given, then where to look.
    const struct {
        const char* Name;
        bool Integer, Present;
    } Cases[] = {{"InfoEnable", true, false}, {"InstallDir", false, false},
                 {"FontName", true, true},    {"Port", false, true},
                 {"Blob", true, true},        {"Blob", false, true},
                 {"Big", true, true},         {"Multi", false, true}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const QString Name = QLatin1String(C.Name);
        const QString Where = "\nIn the settings store " + Config.StoreFile() + ", ";
        const QString Key = " under [HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]";
        const QString Expected =
            C.Present
                ? "Invalid data type for '" + Name + "'" + Where + "the value '" + Name + "'" +
                      Key + (C.Integer ? " is not a number (dword)" : " is not a text (string)")
                : "Failed to get data for '" + Name + "'" + Where + "there is no value '" + Name +
                      "'" + Key;
        EXPECT_EQ(MessageOf([&] {
                      if (C.Integer)
                          Registry.ReadInteger(Name);
                      else
                          Registry.ReadString(Name);
                  }),
                  Expected);
    }
    EXPECT_EQ(MessageOf([] { TRegistry().ReadInteger("Port"); }), "Failed to get data for 'Port'");
    EXPECT_EQ(Registry.ReadInteger("Raw"), 7);          // a dword written as hex(4)
    EXPECT_EQ(Registry.ReadString("Expand"), "%HOME%"); // not expanded
    EXPECT_EQ(Registry.ReadString("Odd"), "A");         // odd byte count
    EXPECT_FALSE(TRegistry().ValueExists("Port"));      // no key open
}

TEST(Registry, KeysAndNamesAreCaseInsensitive) {
    TempConfig Config;
    Config.WriteStore(Head + AppKeyLine + "\"Port\"=dword:00000002\n");
    TRegistry Registry;
    ASSERT_TRUE(Registry.OpenKey("SOFTWARE\\tamsor\\halvorn 4410", false));
    EXPECT_EQ(Registry.ReadInteger("PORT"), 2);
    Registry.WriteInteger("port", 3);
    EXPECT_EQ(Config.ReadStore(), Head + AppKeyLine + "\"Port\"=dword:00000003\n\n");
    Registry.WriteInteger("InfoEnable", 0);
    EXPECT_TRUE(Registry.DeleteValue("PORT"));
    EXPECT_FALSE(Registry.DeleteValue("Port"));
    EXPECT_FALSE(Registry.ValueExists("Port"));
    EXPECT_TRUE(Registry.ValueExists("InfoEnable"));
}

TEST(Registry, OpenKeyOnlyCreatesWhenAsked) {
    TempConfig Config;
    TRegistry Registry;
    EXPECT_FALSE(Registry.OpenKey(AppKey, false));
    EXPECT_FALSE(Registry.OpenKeyReadOnly(AppKey));
    EXPECT_FALSE(QFile::exists(Config.StoreFile()));
    ASSERT_TRUE(Registry.OpenKey(AppKey, true));
    EXPECT_EQ(Registry.CurrentPath(), AppKey);
    EXPECT_EQ(Config.ReadStore(), Head + AppKeyLine + "\n");
    // An empty key exists, and so do its parents without a line of their own.
    for (const QString& Key : {AppKey, QString("Software\\Tamsor"), QString("Software")})
        EXPECT_TRUE(TRegistry().KeyExists(Key)) << Key.toStdString();
    EXPECT_FALSE(TRegistry().KeyExists("Software\\Tam"));
    EXPECT_TRUE(TRegistry().OpenKey("Software\\Tamsor", false));
}

// A key that cannot be made is an error, not a false that looks like a missing key.
TEST(Registry, KeyThatCannotBeCreatedRaisesItsReason) {
    TempConfig Config;
    TRegistry Registry;
    const QString Bad = AppKey + "\x01";
    EXPECT_EQ(MessageOf([&] { Registry.OpenKey(Bad, true); }),
              "A key name cannot hold control characters.");
    EXPECT_EQ(MessageOf([&] { Registry.OpenKeyToWrite(Bad, "Port"); }),
              "Failed to set data for 'Port'\nA key name cannot hold control characters.");
    EXPECT_FALSE(QFile::exists(Config.StoreFile()));
    EXPECT_EQ(MessageOf([&] { Registry.OpenKeyToWrite(AppKey, "Port"); }), "<no error>");
    EXPECT_EQ(Registry.CurrentPath(), AppKey);
}

TEST(Registry, ReadOnlyOrClosedKeyRefusesWrites) {
    TempConfig Config;
    Opened().WriteInteger("Port", 1);
    const QByteArray Before = Config.ReadStore();
    TRegistry ReadOnly = Reader();
    EXPECT_TRUE(MessageOf([&] {
                    ReadOnly.WriteInteger("Port", 2);
                }).startsWith("Failed to set data for 'Port'\n"));
    EXPECT_FALSE(ReadOnly.DeleteValue("Port"));
    EXPECT_TRUE(MessageOf([] {
                    TRegistry().WriteString("FontName", "x");
                }).startsWith("Failed to set data for 'FontName'\n"));
    EXPECT_EQ(Config.ReadStore(), Before);
}

TEST(Registry, WritePreservesWhatItDoesNotTouch) {
    TempConfig Config;
    const QByteArray Original = Head +
                                "; kept comment\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Other]\n"
                                "@=\"default text\"\n"
                                "\"Blob\"=hex:de,ad,be,ef\n"
                                "\"Multi\"=hex(7):41,00,00,00,42,00,00,00,00,00\n"
                                "\n"
                                "[HKEY_LOCAL_MACHINE\\Software\\Tamsor]\n"
                                "\"Machine\"=dword:0000ffff\n"
                                "\n" +
                                AppKeyLine + "; values follow\n\"Port\"=dword:00000001\n\n";
    Config.WriteStore(Original);
    Opened().WriteInteger("InfoEnable", 1);
    QByteArray Expected = Original;
    Expected.replace("\"Port\"=dword:00000001\n",
                     "\"Port\"=dword:00000001\n\"InfoEnable\"=dword:00000001\n");
    EXPECT_EQ(QString::fromUtf8(Config.ReadStore()), QString::fromUtf8(Expected));
    EXPECT_FALSE(TRegistry().KeyExists("Software\\Tamsor\\Machine")); // other root stays apart
    EXPECT_EQ(Reader("Software\\Other").ReadString(""), "default text");
}

TEST(Registry, DeletionLinesAreHonoured) {
    TempConfig Config;
    Config.WriteStore(Head + "[HKEY_CURRENT_USER\\Software\\Gone]\n\"A\"=dword:00000001\n"
                             "[HKEY_CURRENT_USER\\Software\\Gone\\Child]\n"
                             "[HKEY_CURRENT_USER\\Software\\Kept]\n\"A\"=dword:00000001\n"
                             "\"B\"=dword:00000002\n"
                             "[-HKEY_CURRENT_USER\\Software\\GONE]\n"
                             "[HKEY_CURRENT_USER\\Software\\Kept]\n\"a\"=-\n");
    EXPECT_FALSE(TRegistry().KeyExists("Software\\Gone"));
    EXPECT_FALSE(TRegistry().KeyExists("Software\\Gone\\Child"));
    TRegistry Kept = Reader("Software\\Kept");
    EXPECT_FALSE(Kept.ValueExists("A"));
    EXPECT_EQ(Kept.ReadInteger("B"), 2);
}

TEST(Registry, RegeditExportInUtf16WithContinuationLinesImports) {
    TempConfig Config;
    const QString Text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\r\n"
        "\"Port\"=dword:00000003\r\n"
        "\"InstallDir\"=\"C:\\\\Program Files\\\\Tamsor\\\\Halvorn\"\r\n"
        "\"FontName\"=hex(2):43,00,6f,00,75,00,72,00,69,00,65,00,72,00,20,00,4e,00,65,\\\r\n"
        "  00,77,00,00,00\r\n"
        "\"Note\"=\"Größe ☢\"\r\n"
        "\"Multi\"=hex(7):41,00,00,00,42,00,00,00,00,00\r\n"
        "\r\n";
    Config.WriteStore(PlatformTest::Utf16(Text));
    TRegistry Registry;
    ASSERT_TRUE(Registry.OpenKey(AppKey, false));
    for (const int Port : {3, 4}) { // before and after a write turns it into our UTF-8 text
        EXPECT_EQ(Registry.ReadInteger("Port"), Port);
        EXPECT_EQ(Registry.ReadString("InstallDir"), "C:\\Program Files\\Tamsor\\Halvorn");
        EXPECT_EQ(Registry.ReadString("FontName"), "Courier New");
        EXPECT_EQ(Registry.ReadString("Note"), "Größe ☢");
        Registry.WriteInteger("Port", 4);
    }
    const QByteArray After = Config.ReadStore();
    EXPECT_TRUE(After.startsWith(Head));
    EXPECT_TRUE(After.contains("\"Multi\"=hex(7):41,00,00,00,42,00,00,00,00,00\n"));
}

TEST(Registry, BrokenStoreIsReportedAndNeverWritten) {
    TempConfig Config;
    const QByteArray Key = AppKeyLine;
    const struct {
        const char* Name;
        QByteArray Contents;
        int Line;
        QString What;
    } Cases[] = {
        {"cut in a string", Head + Key + "\"Port\"=dword:00000001\n\"InstallDir\"=\"/home/a", 5,
         "unterminated string"},
        {"cut in a dword", Head + Key + "\"Port\"=dword:0000", 4,
         "bad dword value '0000' (eight hex digits expected)"},
        {"cut in a key", Head + "[HKEY_CURRENT_USER\\Soft", 3,
         "missing ']' at the end of the key line"},
        {"cut after a comma", Head + Key + "\"B\"=hex:01,02,", 4, "hex list ends with a comma"},
        {"cut after a backslash", Head + Key + "\"B\"=hex:01,02,\\", 4,
         "hex list continues past the end of the file"},
        {"continued by nothing", Head + Key + "\"B\"=hex:01,02,\\\n\n[HKEY_CURRENT_USER\\X]\n", 5,
         "hex list continued by an empty line"},
        {"unknown type", Head + Key + "\n\n\"Size\"=qword:0000000000000001\n", 6,
         "unknown value type 'qword'"},
        {"bad hex", Head + Key + "\"B\"=hex:01,0g\n", 4, "bad byte '0g' in a hex list"},
        {"bad hex kind", Head + Key + "\"B\"=hex(zz):01\n", 4, "unknown value type 'hex(zz)'"},
        {"value before key", Head + "\"Port\"=dword:00000001\n", 3, "value outside any key"},
        {"NUL byte", Head + Key + QByteArray("\"A\"=\"x\0y\"\n", 10), 4, "binary data (NUL byte)"},
        {"garbage", QByteArray("\x7f\x45LF\x02\x01\x01", 7), 1,
         "binary data (control character 0x02)"},
        {"not UTF-8", Head + Key + "\"A\"=\"\xff\xfe\"\n", 4, "not valid UTF-8 text"},
        {"no header", "[HKEY_CURRENT_USER\\Software]\n", 1,
         "not a settings store (the first line must be 'Windows Registry Editor Version "
         "5.00')"},
        {"over-long line", Head + Key + "\"A\"=\"" + QByteArray(1024 * 1024, 'a') + "\"\n", 4,
         "line longer than 1048576 characters"},
        {"stray text", Head + Key + "Port=1\n", 4, "unexpected text 'Port=1'"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        Config.WriteStore(C.Contents);
        const QString Expected =
            QStringLiteral("%1:%2: %3").arg(Config.StoreFile()).arg(C.Line).arg(C.What);
        EXPECT_EQ(MessageOf([] { TRegistry().OpenKey(AppKey, false); }), Expected);
        EXPECT_EQ(MessageOf([] { TRegistry().OpenKey("Software\\New", true); }), Expected);
        EXPECT_EQ(MessageOf([] { TRegistry().KeyExists(AppKey); }), Expected);
        // A key opened before the file broke: writes carry the headline and the parse error.
        TRegistry Early;
        Config.WriteStore(Head + Key);
        ASSERT_TRUE(Early.OpenKey(AppKey, false));
        Config.WriteStore(C.Contents);
        EXPECT_EQ(MessageOf([&] { Early.ReadInteger("Port"); }), Expected);
        EXPECT_EQ(MessageOf([&] { Early.WriteString("InstallDir", "x"); }),
                  "Failed to set data for 'InstallDir'\n" + Expected);
        EXPECT_EQ(MessageOf([&] { Early.DeleteValue("Port"); }), Expected);
        EXPECT_TRUE(Config.ReadStore() == C.Contents) << "file changed";
    }
}

TEST(Registry, WriteFailureNamesFileAndReasonAndKeepsOldStore) {
    TempConfig Config;
    Opened().WriteInteger("Port", 1);
    const QByteArray Before = Config.ReadStore();
    const QString Store = Config.StoreFile();

    // A file size limit makes the temporary file's write fail half-way.
    const auto Big = PlatformTest::MessageInChild(
        [] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit Limit{100, 100};
            ::setrlimit(RLIMIT_FSIZE, &Limit);
        },
        [] { Opened().WriteString("InstallDir", QString(500, u'x')); });
    EXPECT_EQ(Big.ExitCode, 0);
    EXPECT_EQ(QString::fromUtf8(Big.Output),
              "Failed to set data for 'InstallDir'\n" + Store +
                  ": the file would be larger than this system allows (File too large)");

    // Another user may not write into the store's folder (root would bypass the mode bits).
    const auto Open =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(Config.ConfigHome(), Open));
    ASSERT_TRUE(QFile::setPermissions(Config.ConfigHome() + "/Tamsor", Open));
    ASSERT_TRUE(
        QFile::setPermissions(Store, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    const auto Denied = PlatformTest::MessageInChild(
        [] {
            if (::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(2);
        },
        [] {
            TRegistry Registry;
            Registry.OpenKey(AppKey, false);
            Registry.WriteInteger("Port", 2);
        });
    EXPECT_EQ(Denied.ExitCode, 0);
    EXPECT_TRUE(
        Denied.Output.startsWith("Failed to set data for 'Port'\n" + Config.ConfigHome().toUtf8()))
        << Denied.Output.toStdString();
    EXPECT_TRUE(Denied.Output.endsWith(": you may not write there (Permission denied)"))
        << Denied.Output.toStdString();

    EXPECT_EQ(Config.ReadStore(), Before);
    EXPECT_EQ(QDir(Config.ConfigHome() + "/Tamsor").entryList(QDir::Files),
              QStringList({"registry.reg", "registry.reg.lock"}));
}

TEST(Registry, TwoProcessesWritingAtOnceKeepEachOthersValues) {
    TempConfig Config;
    constexpr int Count = 100;
    const auto Writer = [&](const char* Prefix) {
        return [=](int) {
            TRegistry Registry;
            if (!Registry.OpenKey(AppKey, true))
                return 1;
            for (int i = 0; i < Count; ++i)
                Registry.WriteInteger(QStringLiteral("%1%2").arg(Prefix).arg(i), i);
            return 0;
        };
    };
    PlatformTest::Child First(Writer("A"));
    PlatformTest::Child Second(Writer("B"));
    EXPECT_EQ(First.Wait().ExitCode, 0);
    EXPECT_EQ(Second.Wait().ExitCode, 0);
    TRegistry Registry = Reader();
    for (const char* Prefix : {"A", "B"})
        for (int i = 0; i < Count; ++i)
            EXPECT_EQ(Registry.ReadInteger(QStringLiteral("%1%2").arg(Prefix).arg(i)), i);
}

TEST(Registry, WriteThatWouldMakeTheStoreUnreadableIsRefused) {
    TempConfig Config;
    Opened().WriteInteger("Port", 1);
    const QByteArray Before = Config.ReadStore();
    // A value name cannot be wrapped over lines like a long value can.
    const QString Name(1024 * 1024 + 1, u'n');
    const QString Message = MessageOf([&] { Opened().WriteInteger(Name, 1); });
    EXPECT_TRUE(Message.startsWith("Failed to set data for '" + Name +
                                   "'\nThe change would make the store unreadable: " +
                                   Config.StoreFile() + ":5: line longer than 1048576 characters"))
        << Message.right(200).toStdString();
    EXPECT_EQ(Config.ReadStore(), Before);
}

// A pipe or device in the store's place would block every command or feed it for ever.
TEST(Registry, AStoreThatIsNoPlainFileIsRefusedAtOnce) {
    TempConfig Config;
    ASSERT_TRUE(QDir().mkpath(Config.ConfigHome() + "/Tamsor"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Config.StoreFile()).constData(), 0600), 0);
    const auto Read =
        PlatformTest::MessageInChild([] { ::alarm(10); }, [] { TRegistry().KeyExists(AppKey); });
    EXPECT_EQ(Read.ExitCode, 0) << "blocked";
    EXPECT_EQ(QString::fromUtf8(Read.Output),
              Config.StoreFile() + ": the settings store must be a plain file, and this is a "
                                   "pipe (FIFO)");
}

// The store is parsed once and again only after a change, which is seen however it is made:
// a file rewritten in place at the same size within the time stamps' tick, or later.
TEST(Registry, EveryChangeOfTheStoreIsSeen) {
    TempConfig Config;
    const auto Store = [&](char Port) {
        Config.WriteStore(Head + AppKeyLine + "\"Port\"=dword:0000000" + Port + "\n");
    };
    Store('1');
    EXPECT_EQ(Reader().ReadInteger("Port"), 1);
    Store('2');
    EXPECT_EQ(Reader().ReadInteger("Port"), 2);
    // Long after its last change the file is trusted by its time stamps, which any change
    // renews.
    QThread::msleep(2100);
    EXPECT_EQ(Reader().ReadInteger("Port"), 2);
    Store('3');
    EXPECT_EQ(Reader().ReadInteger("Port"), 3);
    Opened().WriteInteger("Port", 4);
    EXPECT_EQ(Reader().ReadInteger("Port"), 4);
    Config.WriteStore(Head + AppKeyLine + "\"Port\"=\"four\"\n");
    EXPECT_TRUE(
        MessageOf([] { Reader().ReadInteger("Port"); }).startsWith("Invalid data type for 'Port'"));
}

// Many keys and values: a 2 MB store is read whole. It once took minutes (each key looked up among
// all before it), which the test's time-out still catches; its read time is a figure of
// bench_platform ("large"), not a limit here, so a loaded machine does not fail it.
TEST(Registry, ALargeStoreIsReadWhole) {
    TempConfig Config;
    QByteArray Text = Head + AppKeyLine + "\"Port\"=dword:00000001\n\n";
    for (int Key = 0; Text.size() < 2 * 1024 * 1024; ++Key) {
        Text += "[HKEY_CURRENT_USER\\Software\\Other\\Key" + QByteArray::number(Key) + "]\n";
        for (int Value = 0; Value < 4; ++Value)
            Text += "\"Value" + QByteArray::number(Value) + "\"=\"some text\"\n";
    }
    // And one key with many values.
    Text += "[HKEY_CURRENT_USER\\Software\\Other\\Many]\n";
    for (int Value = 0; Value < 40000; ++Value)
        Text += "\"V" + QByteArray::number(Value) + "\"=dword:00000001\n";
    Config.WriteStore(Text);
    EXPECT_EQ(Reader().ReadInteger("Port"), 1);
    EXPECT_TRUE(Reader("Software\\Other\\Many").ValueExists("V39999"));
    EXPECT_TRUE(Reader("Software\\Other\\Key0").ValueExists("Value3"));
}
