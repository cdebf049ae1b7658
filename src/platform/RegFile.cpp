#include "RegFile.h"

#include "Exception.h"

#include <QStringDecoder>
#include <QStringList>
#include <QtEndian>

namespace RegFile {

namespace {

const QString Header = QStringLiteral("Windows Registry Editor Version 5.00");
const QString OldHeader = QStringLiteral("REGEDIT4");

[[noreturn]] void Fail(const QString& FileName, int Line, const QString& What) {
    throw ERegistryException(QStringLiteral("%1:%2: %3").arg(FileName).arg(Line).arg(What));
}

QString Shortened(const QString& Text) {
    constexpr int Limit = 40;
    return Text.size() > Limit ? Text.left(Limit) + QStringLiteral("...") : Text;
}

// A control character other than tab means the file is not text.
QString ControlCharacterProblem(const QString& Line) {
    for (const QChar C : Line) {
        if (C == QChar(0))
            return QStringLiteral("binary data (NUL byte)");
        if (C.unicode() < 0x20 && C != u'\t')
            return QStringLiteral("binary data (control character 0x%1)")
                .arg(C.unicode(), 2, 16, QChar(u'0'));
    }
    return {};
}

void CheckLine(const QString& Line, const QString& FileName, int Number) {
    if (Line.size() > MaxLineLength)
        Fail(FileName, Number, QStringLiteral("line longer than %1 characters").arg(MaxLineLength));
    const QString Problem = ControlCharacterProblem(Line);
    if (!Problem.isEmpty())
        Fail(FileName, Number, Problem);
}

QString WithoutCR(QString Line) {
    if (Line.endsWith(u'\r'))
        Line.chop(1);
    return Line;
}

QStringList Utf16Lines(const QByteArray& Data, QStringDecoder::Encoding Encoding,
                       const QString& FileName) {
    QStringDecoder Decoder(Encoding);
    const QString Text = Decoder.decode(Data);
    const bool Broken = Decoder.hasError();
    QStringList Lines = Text.split(u'\n');
    for (int i = 0; i < Lines.size(); ++i) {
        Lines[i] = WithoutCR(Lines[i]);
        if (Broken && Lines[i].contains(QChar(QChar::ReplacementCharacter)))
            Fail(FileName, i + 1, QStringLiteral("not valid UTF-16 text"));
        CheckLine(Lines[i], FileName, i + 1);
    }
    if (Broken)
        Fail(FileName, Lines.size(), QStringLiteral("not valid UTF-16 text"));
    return Lines;
}

QStringList Utf8Lines(const QByteArray& Data, const QString& FileName) {
    QStringList Lines;
    qsizetype Start = 0;
    for (int Number = 1; Start <= Data.size(); ++Number) {
        qsizetype End = Data.indexOf('\n', Start);
        if (End < 0)
            End = Data.size();
        QByteArrayView Raw(Data.constData() + Start, End - Start);
        // Up to four bytes a character; the exact count is checked once decoded.
        if (Raw.size() > 4 * qsizetype(MaxLineLength) + 1)
            Fail(FileName, Number,
                 QStringLiteral("line longer than %1 characters").arg(MaxLineLength));
        if (Raw.endsWith('\r'))
            Raw.chop(1);
        QStringDecoder Decoder(QStringDecoder::Utf8);
        const QString Line = Decoder.decode(Raw);
        CheckLine(Line, FileName, Number);
        if (Decoder.hasError())
            Fail(FileName, Number, QStringLiteral("not valid UTF-8 text"));
        Lines << Line;
        Start = End + 1;
    }
    return Lines;
}

QStringList SplitLines(const QByteArray& Contents, const QString& FileName) {
    if (Contents.startsWith("\xFF\xFE"))
        return Utf16Lines(Contents.mid(2), QStringDecoder::Utf16LE, FileName);
    if (Contents.startsWith("\xFE\xFF"))
        return Utf16Lines(Contents.mid(2), QStringDecoder::Utf16BE, FileName);
    if (Contents.startsWith("\xEF\xBB\xBF"))
        return Utf8Lines(Contents.mid(3), FileName);
    return Utf8Lines(Contents, FileName);
}

bool SamePath(const QString& A, const QString& B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

bool IsBelow(const QString& Path, const QString& Parent) {
    return Path.size() > Parent.size() && Path[Parent.size()] == u'\\' &&
           Path.startsWith(Parent, Qt::CaseInsensitive);
}

QString NormalizedPath(QString Path) {
    Path = Path.trimmed();
    while (Path.endsWith(u'\\'))
        Path.chop(1);
    return Path;
}

// Reads a quoted string starting at Pos (on the opening quote); leaves Pos after the closing
// quote. Only \\ and \" are escapes; any other backslash stands for itself.
bool ReadQuoted(const QString& Line, int& Pos, QString& Out) {
    Out.clear();
    for (int i = Pos + 1; i < Line.size(); ++i) {
        const QChar C = Line[i];
        if (C == u'"') {
            Pos = i + 1;
            return true;
        }
        if (C == u'\\' && i + 1 < Line.size() && (Line[i + 1] == u'\\' || Line[i + 1] == u'"'))
            ++i;
        Out += Line[i];
    }
    return false;
}

int HexDigit(QChar C) {
    const char16_t U = C.unicode();
    if (U >= u'0' && U <= u'9')
        return U - u'0';
    if (U >= u'a' && U <= u'f')
        return U - u'a' + 10;
    if (U >= u'A' && U <= u'F')
        return U - u'A' + 10;
    return -1;
}

// One to eight hex digits and nothing else (no sign, prefix or blanks).
bool ParseHexDigits(QStringView Text, quint32& Out) {
    if (Text.isEmpty() || Text.size() > 8)
        return false;
    Out = 0;
    for (const QChar C : Text) {
        const int D = HexDigit(C);
        if (D < 0)
            return false;
        Out = Out * 16 + quint32(D);
    }
    return true;
}

class Parser {
public:
    Parser(const QStringList& Lines, const QString& FileName)
        : FLines(Lines), FFileName(FileName) {}

    Document Run() {
        int First = 0;
        while (First < FLines.size() && FLines[First].trimmed().isEmpty())
            ++First;
        if (First == FLines.size())
            return {};
        const QString HeaderLine = FLines[First].trimmed();
        if (HeaderLine != Header && HeaderLine != OldHeader)
            Fail(FFileName, First + 1,
                 QStringLiteral("not a settings store (the first line must be '%1')").arg(Header));
        for (FIndex = First + 1; FIndex < FLines.size(); ++FIndex)
            ParseLine(FLines[FIndex].trimmed());
        return FDoc;
    }

private:
    [[noreturn]] void Error(const QString& What) const { Fail(FFileName, FIndex + 1, What); }

    void ParseLine(const QString& Line) {
        if (Line.isEmpty())
            return;
        if (Line.startsWith(u';'))
            AddComment(Line);
        else if (Line.startsWith(u'['))
            ParseKey(Line);
        else if (Line.startsWith(u'"') || Line.startsWith(u'@'))
            ParseValue(Line);
        else
            Error(QStringLiteral("unexpected text '%1'").arg(Shortened(Line)));
    }

    void AddComment(const QString& Line) {
        Value V;
        V.Type = ValueType::Comment;
        V.Text = Line;
        if (FCurrent >= 0)
            FDoc.Keys[FCurrent].Values << V;
        else
            FDoc.Preamble << V;
    }

    void ParseKey(const QString& Line) {
        if (!Line.endsWith(u']'))
            Error(QStringLiteral("missing ']' at the end of the key line"));
        QString Path = Line.mid(1, Line.size() - 2);
        const bool Deletion = Path.startsWith(u'-');
        Path = NormalizedPath(Deletion ? Path.mid(1) : Path);
        if (Path.isEmpty())
            Error(QStringLiteral("empty key name"));
        if (Deletion) {
            FDoc.Keys.removeIf(
                [&](const Key& K) { return SamePath(K.Path, Path) || IsBelow(K.Path, Path); });
            FCurrent = -1;
            return;
        }
        EnsureKey(FDoc, Path);
        for (int i = 0; i < FDoc.Keys.size(); ++i)
            if (SamePath(FDoc.Keys[i].Path, Path))
                FCurrent = i;
    }

    void ParseValue(const QString& Line) {
        if (FCurrent < 0)
            Error(QStringLiteral("value outside any key"));
        Value V;
        int Pos = 1;
        if (Line.startsWith(u'"')) {
            Pos = 0;
            if (!ReadQuoted(Line, Pos, V.Name))
                Error(QStringLiteral("unterminated value name"));
        }
        while (Pos < Line.size() && Line[Pos].isSpace())
            ++Pos;
        if (Pos >= Line.size() || Line[Pos] != u'=')
            Error(QStringLiteral("missing '=' after the value name"));
        const QString Data = Line.mid(Pos + 1).trimmed();
        Key& K = FDoc.Keys[FCurrent];
        if (Data == u'-') {
            RemoveValue(K, V.Name);
            return;
        }
        if (Data.startsWith(u'"'))
            ParseString(Data, V);
        else if (Data.startsWith(QStringLiteral("dword:"), Qt::CaseInsensitive))
            ParseDword(Data.mid(6), V);
        else if (Data.startsWith(QStringLiteral("hex"), Qt::CaseInsensitive))
            ParseHex(Data, V);
        else
            Error(
                QStringLiteral("unknown value type '%1'").arg(Shortened(Data.section(u':', 0, 0))));
        SetValue(K, V);
    }

    void ParseString(const QString& Data, Value& V) {
        int Pos = 0;
        if (!ReadQuoted(Data, Pos, V.Text))
            Error(QStringLiteral("unterminated string"));
        if (Pos != Data.size())
            Error(QStringLiteral("unexpected text after the string: '%1'")
                      .arg(Shortened(Data.mid(Pos))));
        V.Type = ValueType::String;
    }

    void ParseDword(const QString& Digits, Value& V) {
        // Exactly eight digits, as written: a shorter number is most likely a cut-off file.
        if (Digits.size() != 8 || !ParseHexDigits(Digits, V.Dword))
            Error(QStringLiteral("bad dword value '%1' (eight hex digits expected)")
                      .arg(Shortened(Digits)));
        V.Type = ValueType::Dword;
    }

    void ParseHex(const QString& Data, Value& V) {
        const int Colon = Data.indexOf(u':');
        if (Colon < 0)
            Error(QStringLiteral("unknown value type '%1'").arg(Shortened(Data)));
        const QString TypeName = Data.left(Colon);
        V.HexKind = 3;
        if (TypeName.size() > 3) {
            const QString Kind = TypeName.mid(3);
            quint32 N = 0;
            if (!Kind.startsWith(u'(') || !Kind.endsWith(u')') ||
                !ParseHexDigits(QStringView(Kind).mid(1, Kind.size() - 2), N))
                Error(QStringLiteral("unknown value type '%1'").arg(Shortened(TypeName)));
            V.HexKind = int(N);
        }
        QString List = Data.mid(Colon + 1).trimmed();
        while (List.endsWith(u'\\')) {
            List.chop(1);
            if (FIndex + 1 >= FLines.size())
                Error(QStringLiteral("hex list continues past the end of the file"));
            const QString Next = FLines[++FIndex].trimmed();
            if (Next.isEmpty())
                Error(QStringLiteral("hex list continued by an empty line"));
            List += Next;
        }
        V.Type = ValueType::Hex;
        V.Bytes.clear();
        if (List.isEmpty())
            return;
        // Hand-rolled: a hex list may hold megabytes.
        V.Bytes.reserve(List.size() / 3 + 1);
        for (int i = 0;;) {
            const int Start = i;
            while (i < List.size() && List[i] != u',')
                ++i;
            const QStringView Item = QStringView(List).mid(Start, i - Start).trimmed();
            const int High = Item.size() == 2 ? HexDigit(Item[0]) : -1;
            const int Low = Item.size() == 2 ? HexDigit(Item[1]) : -1;
            if (Item.isEmpty() && i == List.size())
                Error(QStringLiteral("hex list ends with a comma"));
            if (High < 0 || Low < 0)
                Error(
                    QStringLiteral("bad byte '%1' in a hex list").arg(Shortened(Item.toString())));
            V.Bytes.append(char(High * 16 + Low));
            if (i == List.size())
                break;
            ++i;
        }
    }

    const QStringList& FLines;
    const QString& FFileName;
    Document FDoc;
    int FIndex = 0;
    int FCurrent = -1;
};

QString Quoted(const QString& Text) {
    QString Out = QStringLiteral("\"");
    for (const QChar C : Text) {
        if (C == u'\\' || C == u'"')
            Out += u'\\';
        Out += C;
    }
    return Out + u'"';
}

bool NeedsHex(const QString& Text) {
    return !ControlCharacterProblem(Text).isEmpty();
}

QByteArray Utf16Bytes(const QString& Text) {
    QByteArray Bytes;
    Bytes.reserve((Text.size() + 1) * 2);
    for (const QChar C : Text + QChar(0)) {
        Bytes.append(char(C.unicode() & 0xFF));
        Bytes.append(char(C.unicode() >> 8));
    }
    return Bytes;
}

// regedit's layout: lines of at most 80 characters, continued with a backslash.
void WriteHex(QString& Line, int Kind, const QByteArray& Bytes, QString& Out) {
    Line += Kind == 3 ? QStringLiteral("hex:") : QStringLiteral("hex(%1):").arg(Kind, 0, 16);
    static const char Digits[] = "0123456789abcdef";
    Out.reserve(Out.size() + Line.size() + Bytes.size() * 3 + Bytes.size() / 20 * 4);
    for (int i = 0; i < Bytes.size(); ++i) {
        const int Width = i + 1 < Bytes.size() ? 3 : 2;
        if (i > 0 && Line.size() + Width > 79) {
            Out += Line;
            Out += QStringLiteral("\\\n");
            Line = QStringLiteral("  ");
        }
        Line += QChar(Digits[uchar(Bytes[i]) >> 4]);
        Line += QChar(Digits[uchar(Bytes[i]) & 15]);
        if (Width == 3)
            Line += u',';
    }
}

void WriteValue(const Value& V, QString& Out) {
    if (V.Type == ValueType::Comment) {
        Out += V.Text + u'\n';
        return;
    }
    QString Line = V.Name.isEmpty() ? QStringLiteral("@=") : Quoted(V.Name) + u'=';
    switch (V.Type) {
    case ValueType::String:
        // Line breaks and other control characters cannot stand inside a quoted string, and a
        // huge text would make a line too long to read back.
        if (NeedsHex(V.Text) || Line.size() + 2 * V.Text.size() + 2 > MaxLineLength)
            WriteHex(Line, 1, Utf16Bytes(V.Text), Out);
        else
            Line += Quoted(V.Text);
        break;
    case ValueType::Dword:
        Line += QStringLiteral("dword:%1").arg(V.Dword, 8, 16, QChar(u'0'));
        break;
    case ValueType::Hex:
        WriteHex(Line, V.HexKind, V.Bytes, Out);
        break;
    case ValueType::Comment:
        break;
    }
    Out += Line + u'\n';
}

} // namespace

Document Parse(const QByteArray& Contents, const QString& FileName) {
    if (Contents.size() > MaxFileSize)
        throw ERegistryException(QStringLiteral("%1: the file is larger than %2 MiB")
                                     .arg(FileName)
                                     .arg(MaxFileSize >> 20));
    const QStringList Lines = SplitLines(Contents, FileName);
    return Parser(Lines, FileName).Run();
}

QByteArray Write(const Document& Doc) {
    QString Out = Header + QStringLiteral("\n\n");
    for (const Value& V : Doc.Preamble)
        WriteValue(V, Out);
    if (!Doc.Preamble.isEmpty())
        Out += u'\n';
    for (const Key& K : Doc.Keys) {
        Out += u'[' + K.Path + QStringLiteral("]\n");
        for (const Value& V : K.Values)
            WriteValue(V, Out);
        Out += u'\n';
    }
    return Out.toUtf8();
}

Key* FindKey(Document& Doc, const QString& Path) {
    for (Key& K : Doc.Keys)
        if (SamePath(K.Path, Path))
            return &K;
    return nullptr;
}

const Key* FindKey(const Document& Doc, const QString& Path) {
    return FindKey(const_cast<Document&>(Doc), Path);
}

const Value* FindValue(const Key& K, const QString& Name) {
    for (const Value& V : K.Values)
        if (V.Type != ValueType::Comment && SamePath(V.Name, Name))
            return &V;
    return nullptr;
}

bool KeyExists(const Document& Doc, const QString& Path) {
    for (const Key& K : Doc.Keys)
        if (SamePath(K.Path, Path) || IsBelow(K.Path, Path))
            return true;
    return false;
}

Key& EnsureKey(Document& Doc, const QString& Path) {
    if (Key* K = FindKey(Doc, Path))
        return *K;
    Doc.Keys.append(Key{Path, {}});
    return Doc.Keys.back();
}

void SetValue(Key& K, const Value& V) {
    for (Value& Old : K.Values) {
        if (Old.Type != ValueType::Comment && SamePath(Old.Name, V.Name)) {
            const QString Name = Old.Name;
            Old = V;
            Old.Name = Name;
            return;
        }
    }
    K.Values.append(V);
}

bool RemoveValue(Key& K, const QString& Name) {
    return K.Values.removeIf([&](const Value& V) {
        return V.Type != ValueType::Comment && SamePath(V.Name, Name);
    }) > 0;
}

bool StringOf(const Value& V, QString& Out) {
    if (V.Type == ValueType::String) {
        Out = V.Text;
        return true;
    }
    if (V.Type != ValueType::Hex || (V.HexKind != 1 && V.HexKind != 2))
        return false;
    Out.clear();
    for (int i = 0; i + 1 < V.Bytes.size(); i += 2) {
        const char16_t Unit = char16_t(uchar(V.Bytes[i]) | (uchar(V.Bytes[i + 1]) << 8));
        if (Unit == 0)
            break;
        Out += QChar(Unit);
    }
    return true;
}

bool IntegerOf(const Value& V, quint32& Out) {
    if (V.Type == ValueType::Dword) {
        Out = V.Dword;
        return true;
    }
    if (V.Type == ValueType::Hex && V.HexKind == 4 && V.Bytes.size() == 4) {
        Out = qFromLittleEndian<quint32>(V.Bytes.constData());
        return true;
    }
    return false;
}

} // namespace RegFile
