#pragma once

#include "platform/Exception.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace TestSupport {

// The message of the E that Action raises, or "<no error>" when it raises nothing.
template <class E = Exception> QString MessageOf(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const E& Error) {
        return Error.Message;
    }
    return QStringLiteral("<no error>");
}

// Turns the event loop until Done holds; false when TimeoutMs passed first.
bool WaitUntil(const std::function<bool()>& Done, int TimeoutMs = 20000);

// Points XDG_CONFIG_HOME at a fresh temporary folder, and HOME at a folder "home" inside it,
// for the lifetime of the object, so a test never reads or writes the user's settings store or
// home folder (a first start makes ~/Halvorn). Restores the old values afterwards.
class TempConfig {
public:
    TempConfig();
    ~TempConfig();
    QString ConfigHome() const { return FDir.path(); }
    QString Home() const { return FDir.path() + "/home"; }
    QString StoreFile() const; // <ConfigHome>/Tamsor/registry.reg
    // Writes the store file verbatim (creating folders).
    void WriteStore(const QByteArray& Contents) const;
    QByteArray ReadStore() const;

private:
    QTemporaryDir FDir;
    QByteArray FOld, FOldHome;
    bool FHadOld, FHadOldHome;
};

QByteArray ReadFile(const QString& Path);
void WriteFile(const QString& Path, const QByteArray& Contents);

// Runs before the application object exists: headless platform, the United States regional
// formats (tests that need another locale pass a QLocale explicitly) and the build folder.
void PinTestEnvironment();

// Directory of the build tree (tools' executables live under it), from HALVORN_BUILD_DIR (set by
// PinTestEnvironment).
QString BuildDir();

} // namespace TestSupport
