#pragma once

#include <QHash>
#include <QString>
#include <QVector>
#include <optional>

struct TVersionTranslation {
    quint16 Language = 0; // e.g. 0x0409, US English
    quint16 CodePage = 0; // e.g. 0x04B0, Unicode
};

// The version resource of a program file. halvorn_embed_version() (cmake/Version.cmake) puts it
// into the ELF section ".halvorn.version" as UTF-8 lines "<path>=<value>" after a header line,
// with the paths a version resource query uses:
//   \VarFileInfo\Translation=040904B0            (language and code page, 4 hex digits each;
//                                                  several entries separated by spaces)
//   \StringFileInfo\040904B0\ProductName=Halvorn
// The file is read, not the running image, so a program built without the section has none.
class TVersionInfo {
public:
    static constexpr const char* SectionName = ".halvorn.version";
    static constexpr const char* Header = "HALVORN-VERSION-RESOURCE 1";

    TVersionInfo() = default;

    // The resource of the program file at Path; empty when the file cannot be read, is no ELF
    // file, has no such section, or the section is malformed.
    static TVersionInfo FromFile(const QString& Path);
    // The resource of the running program's own file (/proc/self/exe).
    static TVersionInfo FromRunningProgram();
    // Parses the section's contents; empty when malformed.
    static TVersionInfo FromBlock(const QByteArray& Block);

    bool IsEmpty() const { return FValues.isEmpty(); }
    // The translation entries in their order; empty when the entry is missing or malformed.
    QVector<TVersionTranslation> Translations() const;
    // The value at a path such as "\StringFileInfo\040904B0\ProductName" (case-insensitive).
    std::optional<QString> Value(const QString& Path) const;

private:
    QHash<QString, QString> FValues; // keyed by the lower-case path
};
