#include "RegFile.h"

#include "Exception.h"
#include "MessageText.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <climits>
#include <map>
#include <utility>
#include <vector>

namespace RegFile {

namespace {

const QString Header = QStringLiteral("Windows Registry Editor Version 5.00");
const QString OldHeader = QStringLiteral("REGEDIT4");

[[noreturn]] void Fail(const QString& FileName, int Line, const QString& What) {
    throw ERegistryException(QStringLiteral("%1:%2: %3")
                                 .arg(MessageText::Shown(FileName, PATH_MAX))
                                 .arg(Line)
                                 .arg(What));
}

// Text of the file inside a message: control characters escaped, cut short.
QString Shortened(QStringView Text) {
    return MessageText::Shown(Text.toString(), 40);
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

// The file's lines one at a time, each checked as it is taken: decoding them all first would
// hold the whole file twice over. UTF-8 (with or without BOM) or UTF-16 with BOM; LF or CR LF.
class TLines {
public:
    // Where a line starts, to come back to it.
    struct TPos {
        qsizetype Pos;
        int Number;
    };

    TLines(const QByteArray& Contents, const QString& FileName) : FFileName(FileName) {
        if (Contents.startsWith("\xFF\xFE") || Contents.startsWith("\xFE\xFF")) {
            QStringDecoder Decoder(Contents.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                                   : QStringDecoder::Utf16BE);
            FText = Decoder.decode(QByteArrayView(Contents).sliced(2));
            FBroken = Decoder.hasError();
            FUtf16 = true;
        } else {
            FData = QByteArrayView(Contents);
            if (FData.startsWith("\xEF\xBB\xBF"))
                FData = FData.sliced(3);
        }
    }

    // The next line without its line end; false after the last one (Number() stays).
    bool Next(QString& Line) {
        if (FDone)
            return false;
        ++FNumber;
        if (FUtf16)
            Line = NextUtf16();
        else
            Line = NextUtf8();
        CheckLine(Line, FFileName, FNumber);
        return true;
    }
    int Number() const { return FNumber; }
    TPos Position() const { return {FPos, FNumber}; }
    bool AtEnd() const { return FDone; }
    void Seek(const TPos& At) {
        FPos = At.Pos;
        FNumber = At.Number;
        FDone = false;
    }

private:
    QString NextUtf16() {
        qsizetype End = FText.indexOf(u'\n', FPos);
        if (End < 0) {
            End = FText.size();
            FDone = true;
        }
        QString Line = FText.mid(FPos, End - FPos);
        FPos = End + 1;
        if (Line.endsWith(u'\r'))
            Line.chop(1);
        if (FBroken && (Line.contains(QChar(QChar::ReplacementCharacter)) || FDone))
            Fail(FFileName, FNumber, QStringLiteral("not valid UTF-16 text"));
        return Line;
    }

    QString NextUtf8() {
        const char* const Begin = FData.data() + FPos;
        const char* const Stop = FData.data() + FData.size();
        const char* const Newline = std::find(Begin, Stop, '\n');
        const qsizetype End = Newline - FData.data();
        FDone = Newline == Stop;
        QByteArrayView Raw(Begin, Newline - Begin);
        FPos = End + 1;
        // Up to four bytes a character; the exact count is checked once decoded.
        if (Raw.size() > 4 * qsizetype(MaxLineLength) + 1)
            Fail(FFileName, FNumber,
                 QStringLiteral("line longer than %1 characters").arg(MaxLineLength));
        if (Raw.endsWith('\r'))
            Raw.chop(1);
        // Most lines are plain ASCII, which needs no decoder.
        if (std::all_of(Raw.begin(), Raw.end(), [](char C) { return uchar(C) < 0x80; }))
            return QString::fromLatin1(Raw);
        QStringDecoder Decoder(QStringDecoder::Utf8);
        const QString Line = Decoder.decode(Raw);
        if (Decoder.hasError()) {
            CheckLine(Line, FFileName, FNumber);
            Fail(FFileName, FNumber, QStringLiteral("not valid UTF-8 text"));
        }
        return Line;
    }

    QString FFileName;
    QString FText;
    QByteArrayView FData;
    bool FUtf16 = false;
    bool FBroken = false;
    bool FDone = false;
    qsizetype FPos = 0;
    int FNumber = 0;
};

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
bool ReadQuoted(QStringView Line, int& Pos, QString& Out) {
    Out.clear();
    int Start = Pos + 1;
    for (int i = Start; i < Line.size(); ++i) {
        const QChar C = Line[i];
        if (C == u'"') {
            Out += Line.mid(Start, i - Start);
            Pos = i + 1;
            return true;
        }
        if (C == u'\\' && i + 1 < Line.size() && (Line[i + 1] == u'\\' || Line[i + 1] == u'"')) {
            // The text before the escape, then the escaped character stands for itself.
            Out += Line.mid(Start, i - Start);
            Start = ++i;
        }
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

struct TCaseInsensitiveLess {
    bool operator()(const QString& A, const QString& B) const {
        return A.compare(B, Qt::CaseInsensitive) < 0;
    }
};

// Where the lines of one key begin in the file, in file order.
struct TSections {
    quint64 Order = 0;
    std::vector<TLines::TPos> Starts;
};
using TSectionMap = std::map<QString, TSections, TCaseInsensitiveLess>;

class Parser {
public:
    // IndexOnly: every line is checked, but only where each key's lines begin is kept.
    Parser(const QByteArray& Contents, const QString& FileName, bool IndexOnly = false)
        : FLines(Contents, FileName), FFileName(FileName), FIndexOnly(IndexOnly) {}

    Document Run() {
        ReadAll();
        return Result();
    }

    TSectionMap RunIndex() {
        ReadAll();
        return std::move(FSections);
    }

    // The values one key holds after the lines that begin at Starts.
    static QList<Value> Replay(const TLines& Lines, const std::vector<TLines::TPos>& Starts,
                               const QString& FileName) {
        Parser P(Lines, FileName);
        TKeyBuild Build;
        P.FCurrent = &Build;
        QString Line;
        for (const TLines::TPos& Start : Starts) {
            P.FLines.Seek(Start);
            while (P.FLines.Next(Line)) {
                const QString Trimmed = Line.trimmed();
                if (Trimmed.startsWith(u'['))
                    break;
                P.ParseLine(Trimmed);
            }
        }
        return Build.Kept();
    }

private:
    Parser(const TLines& Lines, const QString& FileName) : FLines(Lines), FFileName(FileName) {}

    void ReadAll() {
        QString Line;
        bool HeaderSeen = false;
        while (FLines.Next(Line)) {
            const QString Trimmed = Line.trimmed();
            if (HeaderSeen) {
                ParseLine(Trimmed);
            } else if (!Trimmed.isEmpty()) {
                if (Trimmed != Header && Trimmed != OldHeader)
                    Error(QStringLiteral("not a settings store (the first line must be '%1')")
                              .arg(Header));
                HeaderSeen = true;
            }
        }
    }

    [[noreturn]] void Error(const QString& What) const { Fail(FFileName, FLines.Number(), What); }

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
        if (FCurrent)
            FCurrent->Add(V);
        else if (!FIndexOnly)
            FPreamble << V;
    }

    void ParseKey(const QString& Line) {
        if (!Line.endsWith(u']'))
            Error(QStringLiteral("missing ']' at the end of the key line"));
        QString Path = Line.mid(1, Line.size() - 2);
        const bool Deletion = Path.startsWith(u'-');
        Path = NormalizedPath(Deletion ? Path.mid(1) : Path);
        if (Path.isEmpty())
            Error(QStringLiteral("empty key name"));
        if (FIndexOnly) {
            FCurrentSections = EnterKey(FSections, Path, Deletion);
            if (FCurrentSections && !FLines.AtEnd())
                FCurrentSections->Starts.push_back(FLines.Position());
            return;
        }
        FCurrent = EnterKey(FKeys, Path, Deletion);
    }

    // The key a header line opens, made when new; nullptr for a deletion, which takes the key
    // and every key below it: those sort between "Key\" and "Key]".
    template <typename TMap>
    typename TMap::mapped_type* EnterKey(TMap& Keys, const QString& Path, bool Deletion) {
        if (Deletion) {
            Keys.erase(Path);
            Keys.erase(Keys.lower_bound(Path + u'\\'), Keys.lower_bound(Path + u']'));
            return nullptr;
        }
        const auto [It, Added] = Keys.try_emplace(Path);
        if (Added)
            It->second.Order = FNextOrder++;
        return &It->second;
    }

    void ParseValue(const QString& Line) {
        if (!FCurrent && !FCurrentSections)
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
        const QStringView Data = QStringView(Line).mid(Pos + 1).trimmed();
        if (Data == QLatin1String("-")) {
            if (FCurrent)
                FCurrent->Remove(V.Name);
            return;
        }
        if (Data.startsWith(u'"'))
            ParseString(Data, V);
        else if (Data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive))
            ParseDword(Data.mid(6), V);
        else if (Data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive))
            ParseHex(Data, V);
        else
            Error(QStringLiteral("unknown value type '%1'")
                      .arg(Shortened(Data.left(Data.indexOf(u':')))));
        if (FCurrent)
            FCurrent->Set(V);
    }

    void ParseString(QStringView Data, Value& V) {
        int Pos = 0;
        if (!ReadQuoted(Data, Pos, V.Text))
            Error(QStringLiteral("unterminated string"));
        if (Pos != Data.size())
            Error(QStringLiteral("unexpected text after the string: '%1'")
                      .arg(Shortened(Data.mid(Pos))));
        V.Type = ValueType::String;
    }

    void ParseDword(QStringView Digits, Value& V) {
        // Exactly eight digits, as written: a shorter number is most likely a cut-off file.
        if (Digits.size() != 8 || !ParseHexDigits(Digits, V.Dword))
            Error(QStringLiteral("bad dword value '%1' (eight hex digits expected)")
                      .arg(Shortened(Digits)));
        V.Type = ValueType::Dword;
    }

    void ParseHex(QStringView Data, Value& V) {
        const qsizetype Colon = Data.indexOf(u':');
        if (Colon < 0)
            Error(QStringLiteral("unknown value type '%1'").arg(Shortened(Data)));
        const QStringView TypeName = Data.left(Colon);
        V.HexKind = 3;
        if (TypeName.size() > 3) {
            const QStringView Kind = TypeName.mid(3);
            quint32 N = 0;
            if (!Kind.startsWith(u'(') || !Kind.endsWith(u')') ||
                !ParseHexDigits(Kind.mid(1, Kind.size() - 2), N))
                Error(QStringLiteral("unknown value type '%1'").arg(Shortened(TypeName)));
            V.HexKind = int(N);
        }
        QString List = Data.mid(Colon + 1).trimmed().toString();
        while (List.endsWith(u'\\')) {
            List.chop(1);
            QString Next;
            if (!FLines.Next(Next))
                Error(QStringLiteral("hex list continues past the end of the file"));
            Next = Next.trimmed();
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

    // A key as the file builds it up. Names are looked up through hashes and removed values
    // only marked, so a file is read in time linear in its size however many keys and values
    // it holds.
    struct TKeyBuild {
        quint64 Order = 0;
        QList<Value> Values;
        std::vector<bool> Removed; // one per value once any is removed, else empty
        // Made once a key holds more values than a plain search handles quickly.
        QHash<QString, qsizetype> ByName;
        bool Indexed = false;

        static constexpr qsizetype SearchLimit = 16;

        bool IsRemoved(qsizetype i) const { return !Removed.empty() && Removed[size_t(i)]; }
        void Index(qsizetype i) {
            if (!IsRemoved(i) && Values[i].Type != ValueType::Comment)
                ByName.insert(Values[i].Name.toCaseFolded(), i);
        }
        void Add(const Value& V) {
            // Most keys hold a few values: room for them at once saves growing step by step.
            if (Values.isEmpty())
                Values.reserve(4);
            Values << V;
            if (!Removed.empty())
                Removed.push_back(false);
            if (Indexed) {
                Index(Values.size() - 1);
            } else if (Values.size() > SearchLimit) {
                Indexed = true;
                for (qsizetype i = 0; i < Values.size(); ++i)
                    Index(i);
            }
        }
        qsizetype Find(const QString& Name) const {
            if (Indexed)
                return ByName.value(Name.toCaseFolded(), -1);
            for (qsizetype i = 0; i < Values.size(); ++i)
                if (!IsRemoved(i) && Values[i].Type != ValueType::Comment &&
                    SamePath(Values[i].Name, Name))
                    return i;
            return -1;
        }
        // Keeps the stored name's case and place, as SetValue does.
        void Set(Value V) {
            const qsizetype Old = Find(V.Name);
            if (Old < 0) {
                Add(V);
                return;
            }
            V.Name = Values[Old].Name;
            Values[Old] = V;
        }
        void Remove(const QString& Name) {
            const qsizetype Old = Find(Name);
            if (Old < 0)
                return;
            Removed.resize(size_t(Values.size()));
            Removed[size_t(Old)] = true;
            if (Indexed)
                ByName.remove(Name.toCaseFolded());
        }
        // The values still held, in their order.
        QList<Value> Kept() {
            if (!Removed.empty()) {
                qsizetype Count = 0;
                for (qsizetype i = 0; i < Values.size(); ++i)
                    if (!Removed[size_t(i)])
                        Values.swapItemsAt(Count++, i);
                Values.resize(Count);
            }
            return std::move(Values);
        }
    };

    // By path, compared without letter case as the store compares them.
    using TKeyMap = std::map<QString, TKeyBuild, TCaseInsensitiveLess>;

    // Keys in the order they were first made, each with the values it still holds.
    Document Result() {
        std::vector<TKeyMap::value_type*> Ordered;
        Ordered.reserve(FKeys.size());
        for (auto& Entry : FKeys)
            Ordered.push_back(&Entry);
        std::sort(Ordered.begin(), Ordered.end(),
                  [](const auto* A, const auto* B) { return A->second.Order < B->second.Order; });
        Document Doc;
        Doc.Preamble = std::move(FPreamble);
        Doc.Keys.reserve(qsizetype(Ordered.size()));
        for (TKeyMap::value_type* Entry : Ordered)
            Doc.Keys.append(Key{Entry->first, Entry->second.Kept()});
        return Doc;
    }

    TLines FLines;
    const QString& FFileName;
    const bool FIndexOnly = false;
    QList<Value> FPreamble;
    TKeyMap FKeys;
    TSectionMap FSections;
    TSections* FCurrentSections = nullptr;
    TKeyBuild* FCurrent = nullptr;
    quint64 FNextOrder = 0;
};

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

namespace {

void CheckSize(const QByteArray& Contents, const QString& FileName) {
    if (Contents.size() > MaxFileSize)
        throw ERegistryException(QStringLiteral("%1: the file is larger than %2 MiB")
                                     .arg(MessageText::Shown(FileName, PATH_MAX))
                                     .arg(MaxFileSize >> 20));
}

} // namespace

Document Parse(const QByteArray& Contents, const QString& FileName) {
    CheckSize(Contents, FileName);
    return Parser(Contents, FileName).Run();
}

struct TIndex::TData {
    QByteArray Contents; // the lines' positions point into it
    QString FileName;
    TSectionMap Keys;
    std::map<QString, Key, TCaseInsensitiveLess> Made;
};

TIndex::TIndex(const QByteArray& Contents, const QString& FileName) : D(std::make_shared<TData>()) {
    D->Contents = Contents;
    D->FileName = FileName;
    CheckSize(Contents, FileName);
    D->Keys = Parser(D->Contents, D->FileName, true).RunIndex();
}

bool TIndex::KeyExists(const QString& Path) const {
    if (D->Keys.count(Path))
        return true;
    const QString Below = Path + u'\\';
    const auto Next = D->Keys.lower_bound(Below);
    return Next != D->Keys.end() && Next->first.startsWith(Below, Qt::CaseInsensitive);
}

const Key* TIndex::FindKey(const QString& Path) {
    const auto Known = D->Made.find(Path);
    if (Known != D->Made.end())
        return &Known->second;
    const auto Found = D->Keys.find(Path);
    if (Found == D->Keys.end())
        return nullptr;
    const TLines Lines(D->Contents, D->FileName);
    Key Made{Found->first, Parser::Replay(Lines, Found->second.Starts, D->FileName)};
    return &D->Made.emplace(Path, std::move(Made)).first->second;
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

const Key* FindKey(const Document& Doc, const QString& Path) {
    // Read through the const list: a shared document must not be copied to be searched.
    for (const Key& K : Doc.Keys)
        if (SamePath(K.Path, Path))
            return &K;
    return nullptr;
}

Key* FindKey(Document& Doc, const QString& Path) {
    const Key* Found = FindKey(std::as_const(Doc), Path);
    return Found ? &Doc.Keys[Found - Doc.Keys.constData()] : nullptr;
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

QString Quoted(const QString& Text) {
    QString Out = QStringLiteral("\"");
    for (const QChar C : Text) {
        if (C == u'\\' || C == u'"')
            Out += u'\\';
        Out += C;
    }
    return Out + u'"';
}

} // namespace RegFile
