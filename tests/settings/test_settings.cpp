#include "platform/Exception.h"
#include "settings/EditorFont.h"
#include "settings/InstallFolder.h"
#include "settings/Settings.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray Key(const QByteArray& Values) {
    return "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\r\n" +
           Values;
}

// What the window, the information dialog and halvorn-cli each read of one store.
struct TRead {
    QString InstallDir;
    bool InfoEnabled;
    bool ReadingsShown;
    TUnit Unit;
};

TRead ReadAll() {
    const Settings::TReader r;
    return {r.InstallDir(), r.InfoEnabled(), r.ReadingsShown(), r.Unit()};
}

TEST(SettingsReader, ReadsEachValueWithItsDefault) {
    struct Case {
        const char* Name;
        QByteArray Store; // empty: no store file at all
        TRead Expected;
    };
    const Case cases[] = {
        {"no store", {}, {"", false, false, TUnit::PciL}},
        {"another key only",
         "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n"
         "\"InfoEnable\"=dword:00000001\r\n",
         {"", false, false, TUnit::PciL}},
        {"empty key", Key(""), {"", false, false, TUnit::PciL}},
        {"every value",
         Key("\"InstallDir\"=\"/home/ann/Halvorn\"\r\n\"InfoEnable\"=dword:00000001\r\n"
             "\"Readings\"=dword:00000001\r\n\"Units\"=\"Bq/m3\"\r\n"),
         {"/home/ann/Halvorn", true, true, TUnit::BqM3}},
        {"expandable folder, read unexpanded",
         Key("\"InstallDir\"=hex(2):24,00,48,00,4f,00,4d,00,45,00,00,00\r\n"),
         {"$HOME", false, false, TUnit::PciL}},
        {"escaped folder",
         Key("\"InstallDir\"=\"C:\\\\Halvorn \\\"4410\\\"\"\r\n"),
         {"C:\\Halvorn \"4410\"", false, false, TUnit::PciL}},
        {"unknown unit keeps pCi/L", Key("\"Units\"=\"mSv\"\r\n"), {"", false, false, TUnit::PciL}},
        {"any non-zero switch is on",
         Key("\"InfoEnable\"=dword:ffffffff\r\n\"Readings\"=dword:00000002\r\n"),
         {"", true, true, TUnit::PciL}},
        {"zero switches are off",
         Key("\"InfoEnable\"=dword:00000000\r\n\"Readings\"=dword:00000000\r\n"),
         {"", false, false, TUnit::PciL}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TestSupport::TempConfig config;
        if (!c.Store.isEmpty())
            config.WriteStore(c.Store);
        const TRead r = ReadAll();
        EXPECT_EQ(r.InstallDir, c.Expected.InstallDir);
        EXPECT_EQ(r.InfoEnabled, c.Expected.InfoEnabled);
        EXPECT_EQ(r.ReadingsShown, c.Expected.ReadingsShown);
        EXPECT_EQ(r.Unit, c.Expected.Unit);
    }
}

// A value of another type is an error of the store, never its default: the user would lose
// the setting at the next write.
TEST(SettingsReader, RefusesAValueOfAnotherType) {
    struct Case {
        const char* Value;
        std::function<void(const Settings::TReader&)> Read;
        const char* Message;
    };
    const Case cases[] = {
        {"\"InstallDir\"=dword:00000001", [](auto& r) { r.InstallDir(); },
         "Invalid data type for 'InstallDir'"},
        {"\"InfoEnable\"=\"1\"", [](auto& r) { r.InfoEnabled(); },
         "Invalid data type for 'InfoEnable'"},
        {"\"Readings\"=\"1\"", [](auto& r) { r.ReadingsShown(); },
         "Invalid data type for 'Readings'"},
        {"\"Units\"=dword:00000001", [](auto& r) { r.Unit(); }, "Invalid data type for 'Units'"},
        {"\"FontName\"=\"Courier New\"", [](auto& r) { r.Integer(Settings::Port); },
         "Failed to get data for 'Port'"},
        {"\"Port\"=\"COM1\"", [](auto& r) { r.Integer(Settings::Port); },
         "Invalid data type for 'Port'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Value);
        TestSupport::TempConfig config;
        config.WriteStore(Key(QByteArray(c.Value) + "\r\n"));
        const Settings::TReader r;
        try {
            c.Read(r);
            ADD_FAILURE() << "no error";
        } catch (const ERegistryException& e) {
            EXPECT_TRUE(e.Message.startsWith(c.Message)) << e.Message.toStdString();
        }
    }
}

// A store that cannot be read stops every reader before it reads anything, names the file,
// and is left as it was; a pipe in its place is refused without waiting for a writer.
TEST(SettingsReader, RefusesAStoreItCannotRead) {
    struct Case {
        const char* Name;
        QByteArray Store; // empty: a pipe
        const char* Says;
    };
    const Case cases[] = {
        {"no header", "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\r\n", "registry.reg"},
        {"broken value", Key("\"InstallDir\"=\"unterminated\r\n"), "registry.reg"},
        {"pipe", {}, "pipe (FIFO)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TestSupport::TempConfig config;
        if (c.Store.isEmpty()) {
            config.WriteStore("");
            QFile::remove(config.StoreFile());
            ASSERT_EQ(::mkfifo(QFile::encodeName(config.StoreFile()).constData(), 0600), 0);
        } else {
            config.WriteStore(c.Store);
        }
        for (const auto& read : std::initializer_list<std::function<void()>>{
                 [] { Settings::TReader(); },
                 [] {
                     Settings::TValues v;
                     Settings::Load(v);
                 },
                 [] { InstallFolder::FirstStart(); },
             }) {
            try {
                read();
                ADD_FAILURE() << "no error";
            } catch (const ERegistryException& e) {
                EXPECT_TRUE(e.Message.contains(c.Says)) << e.Message.toStdString();
            }
        }
        if (!c.Store.isEmpty()) {
            EXPECT_EQ(config.ReadStore(), c.Store);
        }
    }
}

TEST(EditorFont, TurnsTheStoredColourIntoTheDrawnOne) {
    const QColor windowText(0x12, 0x34, 0x56);
    struct Case {
        int Value;
        QColor Expected;
    };
    const Case cases[] = {
        {Settings::clWindowText, windowText},
        {int(0x80000005u), windowText}, // any system colour
        {0x000000, Qt::black},
        {0x0000FF, Qt::red},
        {0xFF0000, Qt::blue},
        {0x00563412, QColor(0x12, 0x34, 0x56)},
        {0xFFFFFF, Qt::white},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Value);
        EXPECT_EQ(Settings::ColorOf(c.Value, windowText), c.Expected);
    }
}

TEST(EditorFont, KeepsSizeAndStyleAndNeverPicksAProportionalFaceForAnUnknownName) {
    Settings::TEditorFont f;
    f.Name = QStringLiteral("Halvorn no such face either");
    f.Size = 13;
    f.Bold = f.StrikeOut = true;
    const QFont font = Settings::FontOf(f);
    EXPECT_EQ(font.pointSize(), 13);
    EXPECT_TRUE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_FALSE(font.underline());
    EXPECT_TRUE(font.strikeOut());
    EXPECT_EQ(QFontInfo(font).family(),
              QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family());
}

// The level and the inspector round-trip through the store; a level stored by hand that is
// none of the known ones, or no level of one's own, reads as the EPA's.
TEST(SettingsReader, LevelAndInspectorRoundTrip) {
    TestSupport::TempConfig config;
    config.WriteStore(Key(""));
    EXPECT_EQ(Settings::TReader().Level().Key, "epa");
    const TReferenceLevel Own =
        *ReferenceLevels::Custom("150", TUnit::BqM3, "State guideline").Level;
    for (const TReferenceLevel& Level : {ReferenceLevels::Eu(), Own, ReferenceLevels::Canada()}) {
        Settings::SaveLevel(Level);
        const TReferenceLevel Read = Settings::TReader().Level();
        EXPECT_EQ(Read.Name, Level.Name);
        EXPECT_EQ(Read.Value, Level.Value);
        EXPECT_EQ(Read.Unit, Level.Unit);
    }
    EXPECT_FALSE(config.ReadStore().contains("ReferenceLevelValue"));
    for (const char* Stored : {"\"ReferenceLevel\"=\"mars\"",
                               "\"ReferenceLevel\"=\"custom\"\r\n\"ReferenceLevelValue\"=\"-1\""}) {
        config.WriteStore(Key(QByteArray(Stored) + "\r\n"));
        EXPECT_EQ(Settings::TReader().Level().Key, "epa") << Stored;
    }

    TInspector Inspector{"A. Tester", "NRPP 123456", "", true};
    Settings::SaveInspector(Inspector);
    TInspector Read = Settings::TReader().Inspector("/srv/halvorn");
    EXPECT_EQ(Read.Name, "A. Tester");
    EXPECT_EQ(Read.Certification, "NRPP 123456");
    EXPECT_TRUE(Read.SignatureLine);
    EXPECT_TRUE(Read.LogoFile.isEmpty());
}

// A logo is copied into the installation folder and named in the store; a file that is no
// PNG or JPEG, or too large, is refused with the reason and nothing is written.
TEST(SettingsReader, LogoCopiedOrRefused) {
    TestSupport::TempConfig config;
    config.WriteStore(Key(""));
    QTemporaryDir Dir;
    QImage Picture(40, 20, QImage::Format_RGB32);
    Picture.fill(Qt::darkBlue);
    const QString Png = Dir.filePath("brand.png"), Jpeg = Dir.filePath("brand.jpeg");
    ASSERT_TRUE(Picture.save(Png) && Picture.save(Jpeg, "JPEG"));
    const QString Text = Dir.filePath("brand.txt"), Huge = Dir.filePath("huge.png");
    TestSupport::WriteFile(Text, "not a picture");
    TestSupport::WriteFile(Huge, TestSupport::ReadFile(Png) + QByteArray(3 << 20, '\0'));
    const QString Install = Dir.filePath("Halvorn");
    ASSERT_TRUE(QDir().mkpath(Install));
    for (const auto& [Source, Name] : {std::pair{Png, "logo.png"}, std::pair{Jpeg, "logo.jpg"}}) {
        EXPECT_EQ(Settings::StoreLogo(Source, Install), Install + "/" + Name);
        EXPECT_EQ(TestSupport::ReadFile(Install + "/" + Name), TestSupport::ReadFile(Source));
        EXPECT_EQ(Settings::TReader().Inspector(Install).LogoFile, Install + "/" + Name);
    }
    for (const auto& [Source, Says] :
         {std::pair{Text, "is not a PNG or JPEG picture"}, std::pair{Huge, "is larger than 2 MiB"},
          std::pair{Dir.filePath("none.png"), "does not exist"}}) {
        try {
            Settings::StoreLogo(Source, Install);
            ADD_FAILURE() << "no error";
        } catch (const Exception& E) {
            EXPECT_TRUE(E.Message.contains(Says)) << E.Message.toStdString();
            EXPECT_TRUE(E.Message.contains(Source)) << E.Message.toStdString();
        }
    }
    EXPECT_EQ(QDir(Install).entryList(QDir::Files), (QStringList{"logo.jpg", "logo.png"}));
}

} // namespace
