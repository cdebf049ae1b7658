#pragma once

#include <QString>
#include <QStringList>

namespace RegFile {
struct Value;
}

// The per-user settings store: $XDG_CONFIG_HOME/Tamsor/registry.reg (~/.config when unset),
// a Windows registry export text file. All keys live under HKEY_CURRENT_USER; key paths are
// given without the root, for example "Software\\Tamsor\\Halvorn 4410".
//
// Every read sees the file as it is now, though it is parsed only once per change of the file;
// every write re-reads it under an exclusive lock, changes one value and replaces the file
// through the atomic writer, so two processes never erase each other's values. A file that
// cannot be parsed raises ERegistryException naming the file and line, and is never written;
// so is anything but a plain file. Every key path is taken from the root, also while another
// key is open.
class TRegistry {
public:
    TRegistry() = default;
    ~TRegistry() = default;

    // Opens Key. With CanCreate the key is created (and written) when missing. Returns false
    // only when the key does not exist and may not be created; every failure raises its error:
    // a store that cannot be read or parsed, a key that cannot be created ("Failed to create
    // key 'Key'", then the store file and the reason).
    bool OpenKey(const QString& Key, bool CanCreate);
    // Opens Key, created when missing, for writing the value Name: a failure is raised as
    // "Failed to set data for 'Name'", then the reason.
    void OpenKeyToWrite(const QString& Key, const QString& Name);
    bool OpenKeyReadOnly(const QString& Key);
    void CloseKey();
    bool KeyExists(const QString& Key) const;
    QString CurrentPath() const { return FCurrentPath; }

    bool ValueExists(const QString& Name) const;
    // The names of the open key's values (comments left out), in the store's order.
    QStringList GetValueNames() const;
    // Missing value: "Failed to get data for 'Name'"; other type: "Invalid data type for 'Name'";
    // then, with a key open, a line naming the store file, the key and what was wrong.
    int ReadInteger(const QString& Name) const;
    // Reads a string or an expandable string (without expansion).
    QString ReadString(const QString& Name) const;
    // Failure: "Failed to set data for 'Name'", followed by the store file and the reason.
    void WriteInteger(const QString& Name, int Value);
    void WriteString(const QString& Name, const QString& Value);
    bool DeleteValue(const QString& Name);

    // The store file of the current user.
    static QString StorePath();

private:
    bool FindValue(const QString& Name, RegFile::Value& Out) const;
    [[noreturn]] void FailRead(const QString& Name, bool Found, const char* Wanted) const;
    void CheckWritable(const QString& Name) const;
    void WriteValue(const RegFile::Value& Value);

    QString FCurrentPath;
    bool FOpen = false;
    bool FReadOnly = false;
};
