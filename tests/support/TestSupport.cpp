#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace TestSupport {

TempConfig::TempConfig()
    : FOld(qgetenv("XDG_CONFIG_HOME")), FHadOld(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", FDir.path().toLocal8Bit());
}

TempConfig::~TempConfig() {
    if (FHadOld)
        qputenv("XDG_CONFIG_HOME", FOld);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString TempConfig::StoreFile() const {
    return FDir.path() + "/Tamsor/registry.reg";
}

void TempConfig::WriteStore(const QByteArray& Contents) const {
    WriteFile(StoreFile(), Contents);
}

QByteArray TempConfig::ReadStore() const {
    return ReadFile(StoreFile());
}

QByteArray ReadFile(const QString& Path) {
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteFile(const QString& Path, const QByteArray& Contents) {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    QFile f(Path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ADD_FAILURE() << "cannot write " << Path.toStdString();
    f.write(Contents);
}

void PinTestEnvironment() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "en_US.UTF-8");
    if (qEnvironmentVariableIsEmpty("HALVORN_BUILD_DIR"))
        qputenv("HALVORN_BUILD_DIR", HALVORN_BUILD_DIR_DEFAULT);
}

QString BuildDir() {
    return qEnvironmentVariable("HALVORN_BUILD_DIR");
}

} // namespace TestSupport
