#include "VersionInfo.h"

#include <QFile>
#include <QStringList>
#include <cstring>

namespace {

// Reads the named section of an ELF file of either class and byte order. Every offset and
// size comes from the file, so each is checked against the file before use.
class TElfReader {
public:
    explicit TElfReader(QFile& File) : FFile(File), FSize(File.size()) {}

    std::optional<QByteArray> Section(const QByteArray& Name) {
        QByteArray ident = ReadAt(0, 16);
        if (ident.size() != 16 || !ident.startsWith("\x7f"
                                                    "ELF"))
            return std::nullopt;
        FIs64 = ident[4] == 2;
        FBigEndian = ident[5] == 2;
        if ((ident[4] != 1 && !FIs64) || (ident[5] != 1 && !FBigEndian))
            return std::nullopt;

        QByteArray header = ReadAt(0, FIs64 ? 64 : 52);
        if (header.size() != (FIs64 ? 64 : 52))
            return std::nullopt;
        const quint64 shoff = FIs64 ? Word(header, 0x28, 8) : Word(header, 0x20, 4);
        const quint64 shentsize = Word(header, FIs64 ? 0x3A : 0x2E, 2);
        quint64 shnum = Word(header, FIs64 ? 0x3C : 0x30, 2);
        quint64 shstrndx = Word(header, FIs64 ? 0x3E : 0x32, 2);
        if (shoff == 0 || shentsize < (FIs64 ? 64u : 40u))
            return std::nullopt;
        if (shnum == 0 || shstrndx == 0xFFFF) {
            // Many sections: the real numbers sit in section 0.
            QByteArray first = ReadAt(shoff, shentsize);
            if (quint64(first.size()) != shentsize)
                return std::nullopt;
            if (shnum == 0)
                shnum = Field(first, FIs64 ? 0x20 : 0x14);
            if (shstrndx == 0xFFFF)
                shstrndx = Word(first, FIs64 ? 0x28 : 0x18, 4);
        }
        if (shnum == 0 || shstrndx >= shnum || shnum > quint64(FSize) / shentsize)
            return std::nullopt;

        QByteArray table = ReadAt(shoff, shnum * shentsize);
        if (quint64(table.size()) != shnum * shentsize)
            return std::nullopt;
        auto entry = [&](quint64 i) { return table.mid(int(i * shentsize), int(shentsize)); };
        const QByteArray strtabEntry = entry(shstrndx);
        const QByteArray names = Contents(strtabEntry);

        for (quint64 i = 0; i < shnum; ++i) {
            const QByteArray e = entry(i);
            const quint64 nameOffset = Word(e, 0, 4);
            if (nameOffset >= quint64(names.size()))
                continue;
            const char* name = names.constData() + nameOffset;
            const size_t room = size_t(names.size() - qsizetype(nameOffset));
            if (strnlen(name, room) == size_t(Name.size()) &&
                std::memcmp(name, Name.constData(), size_t(Name.size())) == 0) {
                constexpr quint64 ShtNobits = 8;
                if (Word(e, 4, 4) == ShtNobits)
                    return std::nullopt;
                QByteArray data = Contents(e);
                if (data.isNull())
                    return std::nullopt;
                return data;
            }
        }
        return std::nullopt;
    }

private:
    QByteArray ReadAt(quint64 Offset, quint64 Size) {
        if (Offset > quint64(FSize) || Size > quint64(FSize) - Offset ||
            !FFile.seek(qint64(Offset)))
            return {};
        return FFile.read(qint64(Size));
    }

    quint64 Word(const QByteArray& Bytes, int Offset, int Size) const {
        if (Offset < 0 || Offset + Size > Bytes.size())
            return 0;
        quint64 value = 0;
        for (int i = 0; i < Size; ++i) {
            const int at = FBigEndian ? Offset + i : Offset + Size - 1 - i;
            value = (value << 8) | quint8(Bytes[at]);
        }
        return value;
    }

    // A size or address field: 8 bytes in ELF64, 4 in ELF32.
    quint64 Field(const QByteArray& Entry, int Offset) const {
        return Word(Entry, Offset, FIs64 ? 8 : 4);
    }

    // The bytes a section header points at; a null array when they lie outside the file.
    QByteArray Contents(const QByteArray& Entry) {
        const quint64 offset = Field(Entry, FIs64 ? 0x18 : 0x10);
        const quint64 size = Field(Entry, FIs64 ? 0x20 : 0x14);
        if (size == 0)
            return QByteArray("");
        QByteArray data = ReadAt(offset, size);
        if (quint64(data.size()) != size)
            return {};
        return data;
    }

    QFile& FFile;
    qint64 FSize;
    bool FIs64 = false;
    bool FBigEndian = false;
};

bool ParseTranslation(const QString& Text, quint16& Language, quint16& CodePage) {
    if (Text.size() != 8)
        return false;
    bool okLanguage = false;
    bool okCodePage = false;
    Language = quint16(Text.left(4).toUInt(&okLanguage, 16));
    CodePage = quint16(Text.mid(4).toUInt(&okCodePage, 16));
    return okLanguage && okCodePage;
}

} // namespace

TVersionInfo TVersionInfo::FromFile(const QString& Path) {
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const std::optional<QByteArray> section = TElfReader(file).Section(SectionName);
    return section ? FromBlock(*section) : TVersionInfo();
}

TVersionInfo TVersionInfo::FromRunningProgram() {
    return FromFile("/proc/self/exe");
}

TVersionInfo TVersionInfo::FromBlock(const QByteArray& Block) {
    // The compiler ends the array with a NUL and the linker may pad the section after it.
    const int end = Block.indexOf('\0');
    const QString text = QString::fromUtf8(end < 0 ? Block : Block.left(end));
    QStringList lines = text.split('\n');
    if (lines.isEmpty() || lines.takeFirst() != QLatin1String(Header))
        return {};
    TVersionInfo info;
    for (const QString& line : lines) {
        if (line.isEmpty())
            continue;
        const int equals = line.indexOf('=');
        if (equals <= 0 || !line.startsWith('\\'))
            return {};
        info.FValues.insert(line.left(equals).toLower(), line.mid(equals + 1));
    }
    return info;
}

QVector<TVersionTranslation> TVersionInfo::Translations() const {
    const std::optional<QString> value = Value("\\VarFileInfo\\Translation");
    if (!value)
        return {};
    QVector<TVersionTranslation> result;
    for (const QString& item : value->split(' ', Qt::SkipEmptyParts)) {
        TVersionTranslation t;
        if (!ParseTranslation(item, t.Language, t.CodePage))
            return {};
        result.append(t);
    }
    return result;
}

std::optional<QString> TVersionInfo::Value(const QString& Path) const {
    auto it = FValues.constFind(Path.toLower());
    if (it == FValues.constEnd())
        return std::nullopt;
    return *it;
}
