#include "PlatformTest.h"
#include "platform/RegFile.h"

#include <gtest/gtest.h>

using namespace RegFile;
using TestSupport::MessageOf;

namespace {

const QByteArray Head = "Windows Registry Editor Version 5.00\n\n";
const QString AppKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410");

Value Dword(const QString& Name, quint32 Number) {
    return {ValueType::Dword, Name, {}, Number, 3, {}};
}
Value Str(const QString& Name, const QString& Text) {
    return {ValueType::String, Name, Text, 0, 3, {}};
}
Value Hex(const QString& Name, int Kind, const QByteArray& Bytes) {
    return {ValueType::Hex, Name, {}, 0, Kind, Bytes};
}

} // namespace

TEST(RegFile, WritesRegeditText) {
    Document Doc;
    Key& K = EnsureKey(Doc, AppKey);
    SetValue(K, Dword("Port", 0xABCDEF01));
    SetValue(K, Str("InstallDir", "C:\\x \"y\""));
    SetValue(K, Str("", "default"));
    SetValue(K, Hex("Blob", 3, QByteArray("\x00\xff", 2)));
    SetValue(K, Hex("Path", 2, QByteArray("A\0\0\0", 4)));
    SetValue(K, Str("Lines", "a\nb"));
    EnsureKey(Doc, "HKEY_CURRENT_USER\\Software\\Empty");
    EXPECT_EQ(QString::fromUtf8(Write(Doc)),
              QString::fromUtf8(Head + "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n"
                                       "\"Port\"=dword:abcdef01\n"
                                       "\"InstallDir\"=\"C:\\\\x \\\"y\\\"\"\n"
                                       "@=\"default\"\n"
                                       "\"Blob\"=hex:00,ff\n"
                                       "\"Path\"=hex(2):41,00,00,00\n"
                                       "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\n"
                                       "\n"
                                       "[HKEY_CURRENT_USER\\Software\\Empty]\n"
                                       "\n"));
}

TEST(RegFile, LongValuesAreWrappedAndReadBack) {
    for (const int Size : {0, 1, 24, 25, 26, 1000}) {
        QByteArray Bytes;
        for (int i = 0; i < Size; ++i)
            Bytes.append(char(i * 37));
        Document Doc;
        SetValue(EnsureKey(Doc, AppKey), Hex("A rather long value name", 7, Bytes));
        const QByteArray Text = Write(Doc);
        for (const QByteArray& Line : Text.split('\n'))
            EXPECT_LE(Line.size(), 80) << Line.toStdString();
        const Document Back = Parse(Text, "t.reg");
        ASSERT_EQ(Back.Keys.size(), 1);
        ASSERT_EQ(Back.Keys[0].Values.size(), 1);
        EXPECT_EQ(Back.Keys[0].Values[0].HexKind, 7);
        EXPECT_EQ(Back.Keys[0].Values[0].Bytes, Bytes);
    }
    // Text too long for one line is written as wrapped hex.
    Document Doc;
    const QString Huge(MaxLineLength + 10, u'\u00e9');
    SetValue(EnsureKey(Doc, AppKey), Str("Huge", Huge));
    const QByteArray Text = Write(Doc);
    EXPECT_TRUE(Text.contains("\"Huge\"=hex(1):e9,00,e9,00,"));
    QString Read;
    ASSERT_TRUE(StringOf(Parse(Text, "t.reg").Keys[0].Values[0], Read));
    EXPECT_TRUE(Read == Huge);
}

TEST(RegFile, AcceptsWhatRegeditAndEditorsWrite) {
    const QByteArray Key = "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n";
    const std::pair<const char*, QByteArray> Cases[] = {
        {"REGEDIT4", "REGEDIT4\n\n" + Key + "\"Port\"=dword:00000002\n"},
        {"UTF-8 BOM and CRLF", "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\r\n"
                               "\"Port\"=dword:00000002\r\n"},
        {"blanks around", Head + "  [HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410\\]  \n"
                                 "\t\"Port\" = DWORD:00000002 \n"},
        {"no final line end", Head + Key + "\"Port\"=dword:00000002"},
        {"key twice, value twice", Head + Key +
                                       "\"Port\"=dword:00000001\n"
                                       "[hkey_current_user\\software\\tamsor\\halvorn 4410]\n"
                                       "\"PORT\"=dword:00000002\n"},
        {"upper-case hex", Head + Key + "\"Port\"=HEX(4):02,00,00,00\n"},
    };
    for (const auto& [Name, Text] : Cases) {
        SCOPED_TRACE(Name);
        const Document Doc = Parse(Text, "t.reg");
        ASSERT_EQ(Doc.Keys.size(), 1);
        EXPECT_EQ(Doc.Keys[0].Path, AppKey);
        ASSERT_EQ(Doc.Keys[0].Values.size(), 1);
        EXPECT_EQ(Doc.Keys[0].Values[0].Name, "Port");
        quint32 Number = 0;
        EXPECT_TRUE(IntegerOf(Doc.Keys[0].Values[0], Number));
        EXPECT_EQ(Number, 2u);
    }
    for (const QByteArray& Text : {QByteArray(), QByteArray("\n\n"), QByteArray("\xEF\xBB\xBF")}) {
        const Document Doc = Parse(Text, "t.reg");
        EXPECT_TRUE(Doc.Keys.isEmpty() && Doc.Preamble.isEmpty()) << Text.toStdString();
    }
}

TEST(RegFile, StringEscapes) {
    const std::pair<QByteArray, QString> Cases[] = {
        {"\"a\\\\b\"", "a\\b"},       {"\"say \\\"hi\\\"\"", "say \"hi\""},
        {"\"C:\\Temp\"", "C:\\Temp"}, // a lone backslash is itself, as regedit reads it
        {"\"a=b]\"", "a=b]"},         {"\"\\\\\"", "\\"},
    };
    for (const auto& [Quoted, Expected] : Cases) {
        QString Text;
        ASSERT_TRUE(
            StringOf(Parse(Head + "[K]\n\"V\"=" + Quoted + "\n", "t.reg").Keys[0].Values[0], Text))
            << Quoted.toStdString();
        EXPECT_EQ(Text, Expected) << Quoted.toStdString();
    }
    for (const QByteArray Bad : {"\"V\"=\"a\\\"", "\"V\"=\"a\"b", "\"V=\"a\""})
        EXPECT_NE(MessageOf([&] { Parse(Head + "[K]\n" + Bad + "\n", "t.reg"); }), "<no error>");
}

TEST(RegFile, Utf16LinesAreCheckedToo) {
    QByteArray Bytes = PlatformTest::Utf16(
        "Windows Registry Editor Version 5.00\r\n\r\n[K]\r\n\"A\"=\"x\x01\"\r\n");
    EXPECT_EQ(MessageOf([&] { Parse(Bytes, "t.reg"); }),
              "t.reg:4: binary data (control character 0x01)");
    Bytes.chop(1); // an odd byte count: cut in the middle of a character
    EXPECT_NE(MessageOf([&] { Parse(Bytes, "t.reg"); }), "<no error>");
}

// A store read through the index looks as the whole document does: keys re-entered in other
// letter case, deleted with their subkeys and made again, values removed, continued hex lists,
// comments, a key whose only line is its last.
TEST(RegFile, TheIndexGivesWhatTheWholeDocumentGives) {
    const QByteArray Text =
        Head + "; preamble\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000001\n\"y\"=\"t\"\n\n"
               "[HKEY_CURRENT_USER\\A\\B]\n\"z\"=hex:01,02,\\\n  03\n"
               "[HKEY_CURRENT_USER\\A\\B\\C]\n\"c\"=\"gone\"\n[-HKEY_CURRENT_USER\\A\\B]\n"
               "[hkey_current_user\\a]\n\"X\"=-\n; note\n\"w\"=\"q\"\n"
               "[HKEY_CURRENT_USER\\A\\B]\n@=\"d\"\n[HKEY_CURRENT_USER\\AB]\n\"k\"=\"v\"\n"
               "[HKEY_CURRENT_USER\\Last]";
    const Document Doc = Parse(Text, "t.reg");
    TIndex Index(Text, "t.reg");
    const QStringList Probes = {"HKEY_CURRENT_USER",         "HKEY_CURRENT_USER\\A",
                                "hkey_current_user\\a\\b",   "HKEY_CURRENT_USER\\A\\B\\C",
                                "HKEY_CURRENT_USER\\AB",     "HKEY_CURRENT_USER\\Last",
                                "HKEY_CURRENT_USER\\A\\B\\", "HKEY_CURRENT_USER\\None"};
    for (const QString& Path : Probes) {
        SCOPED_TRACE(Path.toStdString());
        EXPECT_EQ(Index.KeyExists(Path), KeyExists(Doc, Path));
        const Key* Whole = FindKey(Doc, Path);
        const Key* Indexed = Index.FindKey(Path);
        ASSERT_EQ(Whole == nullptr, Indexed == nullptr);
        if (!Whole)
            continue;
        Document A, B;
        A.Keys << *Whole;
        B.Keys << *Indexed;
        EXPECT_EQ(Write(A), Write(B));
    }
    EXPECT_EQ(MessageOf([] { TIndex(Head + "[HKEY_CURRENT_USER\\A]\n\"x\"=\"\n", "t.reg"); }),
              "t.reg:4: unterminated string");
}
