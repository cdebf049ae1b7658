#pragma once

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

// Runs the built halvorn-cli as a script would.

struct TRun {
    int ExitCode = -1;
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
    if (!P.waitForFinished(TimeoutMs))
        P.kill();
    P.waitForFinished(2000);
    return {P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1, P.readAllStandardOutput(),
            P.readAllStandardError(), Clock.elapsed()};
}

inline QString FixturePath(const char* Name) {
    return QStringLiteral(HALVORN_REPORT_FIXTURES "/") + QLatin1String(Name);
}

// The words of Line, with a leading "D/" leading to Dir, "F/" to the report fixtures, "@"
// standing for Device and "" for an empty word.
inline QStringList Words(const QString& Line, const QString& Dir, const QString& Device = {}) {
    QStringList W = Line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& Word : W) {
        if (Word.startsWith(QLatin1String("D/")))
            Word = Dir + Word.mid(1);
        else if (Word.startsWith(QLatin1String("F/")))
            Word = FixturePath("") + Word.mid(2);
        else if (Word.startsWith(QLatin1Char('@')))
            Word = Device + Word.mid(1);
        else if (Word == QLatin1String("\"\""))
            Word.clear();
    }
    return W;
}
