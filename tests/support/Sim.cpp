#include "Sim.h"

#include "TestSupport.h"

#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace TestSupport {

QString TSim::Program() {
    // The build directory from the environment, else the one this library was built for.
    const QString Dir = BuildDir();
    return Dir.isEmpty() ? QStringLiteral(HALVORN_SIM_PROGRAM)
                         : Dir + "/tools/halvorn-sim/halvorn-sim";
}

TSim::TSim(const QStringList& Arguments, int StartTimeoutMs) {
    FProcess.setProcessChannelMode(QProcess::SeparateChannels);
    FProcess.start(Program(), Arguments);
    if (!FProcess.waitForStarted(StartTimeoutMs)) {
        ADD_FAILURE() << "cannot start " << Program().toStdString() << ": "
                      << FProcess.errorString().toStdString();
        return;
    }
    const QDeadlineTimer Deadline(StartTimeoutMs);
    while (!FProcess.canReadLine() && FProcess.state() == QProcess::Running &&
           !Deadline.hasExpired())
        FProcess.waitForReadyRead(static_cast<int>(Deadline.remainingTime()));
    if (!FProcess.canReadLine()) {
        ADD_FAILURE() << "halvorn-sim gave no device path: "
                      << FProcess.readAllStandardError().toStdString();
        return;
    }
    FDevicePath = QString::fromLocal8Bit(FProcess.readLine().trimmed());
}

TSim::~TSim() {
    if (FProcess.state() != QProcess::NotRunning)
        Stop();
}

int TSim::Stop(int TimeoutMs) {
    if (FProcess.state() == QProcess::NotRunning)
        return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
    FProcess.terminate();
    if (!FProcess.waitForFinished(TimeoutMs)) {
        FProcess.kill();
        FProcess.waitForFinished(TimeoutMs);
        return -1;
    }
    return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
}

int TSim::WaitForExit(int TimeoutMs) {
    if (FProcess.state() != QProcess::NotRunning && !FProcess.waitForFinished(TimeoutMs))
        return -1;
    return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
}

TSim::TResult TSim::Run(const QStringList& Arguments, int TimeoutMs) {
    QProcess Process;
    Process.start(Program(), Arguments);
    TResult Result;
    if (!Process.waitForFinished(TimeoutMs)) {
        ADD_FAILURE() << "halvorn-sim did not finish";
        Process.kill();
        Process.waitForFinished();
        return Result;
    }
    Result.ExitCode = Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
    Result.StdOut = Process.readAllStandardOutput();
    Result.StdErr = Process.readAllStandardError();
    return Result;
}

} // namespace TestSupport
