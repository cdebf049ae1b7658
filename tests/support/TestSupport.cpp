#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>

namespace TestSupport {

namespace {
void Restore(const char* Name, const QByteArray& Old, bool HadOld) {
    if (HadOld)
        qputenv(Name, Old);
    else
        qunsetenv(Name);
}
} // namespace

TempConfig::TempConfig()
    : FOld(qgetenv("XDG_CONFIG_HOME")), FOldHome(qgetenv("HOME")),
      FHadOld(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")),
      FHadOldHome(qEnvironmentVariableIsSet("HOME")) {
    qputenv("XDG_CONFIG_HOME", FDir.path().toLocal8Bit());
    QDir().mkpath(Home());
    qputenv("HOME", Home().toLocal8Bit());
}

TempConfig::~TempConfig() {
    Restore("XDG_CONFIG_HOME", FOld, FHadOld);
    Restore("HOME", FOldHome, FHadOldHome);
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

bool WaitUntil(const std::function<bool()>& Done, int TimeoutMs) {
    QElapsedTimer Clock;
    Clock.start();
    while (!Done()) {
        if (Clock.elapsed() > TimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Objects given to deleteLater go too, as in a running event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

} // namespace TestSupport
