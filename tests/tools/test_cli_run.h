#pragma once

#include "TestSupport.h"
#include "files/ReportText.h"
#include "info/InfoFile.h"
#include "report/ReportInfo.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

// Runs the built halvorn-cli as a script would; the environment is the test's own (so a
// TempConfig reaches it), with Extra variables added.
namespace CliTest {

struct TRun {
    int ExitCode = -1;
    bool Finished = false;
    QByteArray Out, Err;
    qint64 Ms = 0;
};

inline QString Program() {
    return TestSupport::BuildDir() + QStringLiteral("/tools/halvorn-cli/halvorn-cli");
}

inline TRun Cli(const QStringList& Arguments, const QStringList& Extra = {},
                int TimeoutMs = 30000) {
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    for (const QString& Pair : Extra)
        Env.insert(Pair.section(QLatin1Char('='), 0, 0), Pair.section(QLatin1Char('='), 1));
    P.setProcessEnvironment(Env);
    QElapsedTimer Clock;
    Clock.start();
    P.start(Program(), Arguments);
    TRun R;
    if (!P.waitForStarted(5000))
        return R;
    R.Finished = P.waitForFinished(TimeoutMs);
    if (!R.Finished) {
        P.kill();
        P.waitForFinished(2000);
    }
    R.Ms = Clock.elapsed();
    R.ExitCode = P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1;
    R.Out = P.readAllStandardOutput();
    R.Err = P.readAllStandardError();
    return R;
}

// The bytes the window's Save writes once the program has set Lines in the editor.
inline QByteArray Saved(const QStringList& Lines) {
    return ReportText::EncodeText(QStringList(Lines) << QString());
}

inline QByteArray Fixture(const char* Name) {
    return TestSupport::ReadFile(QStringLiteral(HALVORN_REPORT_FIXTURES "/") + QLatin1String(Name));
}

// Information as the dialog would hold it after reading Values.
inline TReportInfo InfoOf(const InfoFile::TInfoValues& V, bool Enabled) {
    return InfoFile::ReportInfoOf(V, Enabled);
}

inline InfoFile::TInfoValues SampleValues() {
    InfoFile::TInfoValues V;
    V.SerialNumbers = {QStringLiteral("4410-0007"), QStringLiteral("4410-0123")};
    V.Header = {QStringLiteral("Tamsor Radon Services"), QStringLiteral("12 Birch Lane")};
    V.Footer = {QStringLiteral("Tested by A. Lind")};
    V.StartDate = QDateTime(QDate(2026, 3, 5), QTime(0, 0), Qt::UTC);
    V.StartTime = QDateTime(QDate(2026, 3, 5), QTime(16, 5, 9), Qt::UTC);
    V.EndDate = QDateTime(QDate(2026, 3, 7), QTime(0, 0), Qt::UTC);
    V.EndTime = QDateTime(QDate(2026, 3, 7), QTime(0, 0), Qt::UTC);
    V.SNText = QStringLiteral("4410-0123");
    V.Location = QStringLiteral("Basement, north wall");
    return V;
}

} // namespace CliTest
