#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestSupport {

// Runs halvorn-sim from the build tree with Arguments and waits for its first line, the
// device path it serves. The destructor stops it (SIGTERM, then SIGKILL), which hangs the line
// up. Typical use:
//
//     TSim Sim({"--file", Path, "--unpaced"});
//     ASSERT_TRUE(Sim.Started());
//     Port.SetPortName(Sim.DevicePath());
//
// Add "--com", "1" under a TempConfig to reach it as COM1 through the port map.
class TSim {
public:
    explicit TSim(const QStringList& Arguments, int StartTimeoutMs = 10000);
    ~TSim();
    TSim(const TSim&) = delete;
    TSim& operator=(const TSim&) = delete;

    bool Started() const { return !FDevicePath.isEmpty(); }
    QString DevicePath() const { return FDevicePath; }

    // SIGTERM and wait; returns the exit code (-1 when it had to be killed or crashed).
    int Stop(int TimeoutMs = 5000);
    // Waits for the simulator to end by itself (--linger); returns the exit code or -1.
    int WaitForExit(int TimeoutMs = 10000);
    QProcess& Process() { return FProcess; }

    // <build>/tools/halvorn-sim/halvorn-sim: HALVORN_BUILD_DIR when set, else this build tree.
    static QString Program();

    // Runs the simulator to completion (for --print, --help and usage errors).
    struct TResult {
        int ExitCode = -1;
        QByteArray StdOut;
        QByteArray StdErr;
    };
    static TResult Run(const QStringList& Arguments, int TimeoutMs = 10000);

private:
    QProcess FProcess;
    QString FDevicePath;
};

} // namespace TestSupport
