#include "PlatformTest.h"
#include "platform/Exception.h"
#include "platform/RegFile.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace RegFile;

namespace {

const QByteArray Head = "Windows Registry Editor Version 5.00\n\n";
const QString AppKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410");

Value Dword(const QString& Name, quint32 Number) {
    Value V;
    V.Type = ValueType::Dword;
    V.Name = Name;
    V.Dword = Number;
    return V;
}

Value Str(const QString& Name, const QString& Text) {
    Value V;
    V.Name = Name;
    V.Text = Text;
    return V;
}

Value Hex(const QString& Name, int Kind, const QByteArray& Bytes) {
    Value V;
    V.Type = ValueType::Hex;
    V.Name = Name;
    V.HexKind = Kind;
    V.Bytes = Bytes;
    return V;
}

void ExpectSameValue(const Value& A, const Value& B) {
    EXPECT_EQ(int(A.Type), int(B.Type)) << A.Name.toStdString();
    EXPECT_EQ(A.Name, B.Name);
    EXPECT_EQ(A.Text, B.Text);
    EXPECT_EQ(A.Dword, B.Dword);
    EXPECT_EQ(A.HexKind, B.HexKind);
    EXPECT_EQ(A.Bytes, B.Bytes);
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

TEST(RegFile, LongHexIsWrappedAndReadBack) {
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
        ExpectSameValue(Back.Keys[0].Values[0], Doc.Keys[0].Values[0]);
    }
}

TEST(RegFile, AcceptsWhatRegeditAndEditorsWrite) {
    struct Case {
        const char* Name;
        QByteArray Text;
    } Cases[] = {
        {"REGEDIT4", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n"
                     "\"Port\"=dword:00000002\n"},
        {"UTF-8 BOM and CRLF", "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\r\n"
                               "\"Port\"=dword:00000002\r\n"},
        {"blanks around", Head + "  [HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410\\]  \n"
                                 "\t\"Port\" = DWORD:00000002 \n"},
        {"no final line end", Head + "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n"
                                     "\"Port\"=dword:00000002"},
        {"key twice, value twice", Head + "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n"
                                          "\"Port\"=dword:00000001\n"
                                          "[hkey_current_user\\software\\tamsor\\halvorn 4410]\n"
                                          "\"PORT\"=dword:00000002\n"},
        {"upper-case hex", Head + "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n"
                                  "\"Port\"=HEX(4):02,00,00,00\n"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        const Document Doc = Parse(C.Text, "t.reg");
        ASSERT_EQ(Doc.Keys.size(), 1);
        EXPECT_EQ(Doc.Keys[0].Path, AppKey);
        ASSERT_EQ(Doc.Keys[0].Values.size(), 1);
        EXPECT_EQ(Doc.Keys[0].Values[0].Name, "Port");
        quint32 Number = 0;
        EXPECT_TRUE(IntegerOf(Doc.Keys[0].Values[0], Number));
        EXPECT_EQ(Number, 2u);
    }
}

TEST(RegFile, EmptyInputIsAnEmptyStore) {
    for (const QByteArray& Text : {QByteArray(), QByteArray("\n\n"), QByteArray("\xEF\xBB\xBF")}) {
        const Document Doc = Parse(Text, "t.reg");
        EXPECT_TRUE(Doc.Keys.isEmpty());
        EXPECT_TRUE(Doc.Preamble.isEmpty());
    }
}

TEST(RegFile, StringEscapes) {
    struct Case {
        QByteArray Quoted;
        QString Text;
    } Cases[] = {
        {"\"\"", ""},
        {"\"a\\\\b\"", "a\\b"},
        {"\"say \\\"hi\\\"\"", "say \"hi\""},
        {"\"C:\\Temp\"", "C:\\Temp"}, // a lone backslash is itself, as regedit reads it
        {"\"a=b\"", "a=b"},
        {"\"]\"", "]"},
        {"\"\\\\\"", "\\"},
    };
    for (const Case& C : Cases) {
        const Document Doc = Parse(Head + "[K]\n\"V\"=" + C.Quoted + "\n", "t.reg");
        QString Text;
        ASSERT_TRUE(StringOf(Doc.Keys[0].Values[0], Text)) << C.Quoted.toStdString();
        EXPECT_EQ(Text, C.Text) << C.Quoted.toStdString();
    }
    EXPECT_THROW(Parse(Head + "[K]\n\"V\"=\"a\\\"\n", "t.reg"), ERegistryException);
    EXPECT_THROW(Parse(Head + "[K]\n\"V\"=\"a\"b\n", "t.reg"), ERegistryException);
    EXPECT_THROW(Parse(Head + "[K]\n\"V=\"a\"\n", "t.reg"), ERegistryException);
}

TEST(RegFile, Utf16LinesAreCheckedToo) {
    const QString Text = "Windows Registry Editor Version 5.00\r\n\r\n[K]\r\n\"A\"=\"x\x01\"\r\n";
    QByteArray Bytes("\xFF\xFE");
    Bytes.append(reinterpret_cast<const char*>(Text.utf16()), Text.size() * 2);
    try {
        Parse(Bytes, "t.reg");
        FAIL() << "no error";
    } catch (const ERegistryException& E) {
        EXPECT_EQ(E.Message, "t.reg:4: binary data (control character 0x01)");
    }
    Bytes.chop(1); // an odd byte count: cut in the middle of a character
    EXPECT_THROW(Parse(Bytes, "t.reg"), ERegistryException);
}

TEST(RegFile, TextTooLongForOneLineIsWrittenAsWrappedHex) {
    Document Doc;
    const QString Huge(MaxLineLength + 10, u'\u00e9');
    SetValue(EnsureKey(Doc, AppKey), Str("Huge", Huge));
    const QByteArray Text = Write(Doc);
    EXPECT_TRUE(Text.contains("\"Huge\"=hex(1):e9,00,e9,00,"));
    const Document Back = Parse(Text, "t.reg");
    QString Read;
    ASSERT_TRUE(StringOf(Back.Keys[0].Values[0], Read));
    EXPECT_TRUE(Read == Huge);
}
