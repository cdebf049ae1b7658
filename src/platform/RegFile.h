#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

// The text of a settings store file (a Windows registry export) as plain data: parsing,
// lookup and writing, no file access. Keys are full paths including the root
// ("HKEY_CURRENT_USER\\Software\\..."); key paths and value names compare case-insensitively.
namespace RegFile {

// Longest physical line accepted; a longer one means the file is not a settings store.
constexpr int MaxLineLength = 1024 * 1024;
// Largest file accepted (whole-file guard against reading something huge by mistake).
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

enum class ValueType {
    String, // "..."
    Dword,  // dword:xxxxxxxx
    Hex,    // hex: or hex(N): with HexKind the N (3, REG_BINARY, for a bare hex:)
    Comment // a ';' line kept where it stood; Text holds the line
};

struct Value {
    ValueType Type = ValueType::String;
    QString Name; // "" is the default value, written as @
    QString Text; // String: the text; Comment: the line
    quint32 Dword = 0;
    int HexKind = 3;
    QByteArray Bytes;
};

struct Key {
    QString Path;
    QList<Value> Values;
};

struct Document {
    QList<Value> Preamble; // comments before the first key
    QList<Key> Keys;
};

} // namespace RegFile

// Lists of them grow by moving their bytes: a store may hold many thousands.
Q_DECLARE_TYPEINFO(RegFile::Value, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(RegFile::Key, Q_RELOCATABLE_TYPE);

namespace RegFile {

// Failure: ERegistryException "FileName:Line: what is wrong" (or "FileName: what" for the
// file as a whole). Reads UTF-8 (with or without BOM) and UTF-16LE with BOM, LF or CRLF,
// hex lists continued with a trailing backslash. Honours "[-KEY]" and "Name"=- lines.
Document Parse(const QByteArray& Contents, const QString& FileName);

// UTF-8, LF line ends, keys in document order, a blank line after each key.
QByteArray Write(const Document& Doc);

// Text as the store writes a name or a string: in double quotes, with \ and " escaped.
QString Quoted(const QString& Text);

// A store read for looking up a few keys: every line is checked as Parse checks it, but only
// where each key's lines begin is kept, and a key's values are made when it is first looked
// up. For a large store of which a program reads two keys, that is a fraction of Parse's work
// and memory. Lookups give what Parse's document would.
class TIndex {
public:
    // Failure: ERegistryException as from Parse.
    TIndex(const QByteArray& Contents, const QString& FileName);
    bool KeyExists(const QString& Path) const;
    // nullptr when missing; valid as long as this index.
    const Key* FindKey(const QString& Path);

private:
    struct TData;
    std::shared_ptr<TData> D;
};

// Case-insensitive lookups; nullptr when missing.
Key* FindKey(Document& Doc, const QString& Path);
const Key* FindKey(const Document& Doc, const QString& Path);
const Value* FindValue(const Key& K, const QString& Name);

// True when Path is listed or is the parent of a listed key.
bool KeyExists(const Document& Doc, const QString& Path);

// Returns the key, appending it when missing.
Key& EnsureKey(Document& Doc, const QString& Path);
// Replaces the data of the value of that name (keeping the stored name's case) or appends it.
void SetValue(Key& K, const Value& V);
bool RemoveValue(Key& K, const QString& Name);

// The text of a string value: String as is; hex(1)/hex(2) UTF-16LE up to the terminating zero.
bool StringOf(const Value& V, QString& Out);
// The number of a dword value: dword, or hex(4) of four bytes.
bool IntegerOf(const Value& V, quint32& Out);

} // namespace RegFile
