#include "CliRun.h"
#include "Pty.h"
#include "TestSupport.h"
#include "acquisition/TSerialPort.h"
#include "platform/PortMap.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using TestSupport::TPty;

namespace {

class CliPorts : public ::testing::Test {
protected:
    QString In(const QString& Name) const { return Dir.filePath(Name); }

    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
};

QString PortJson(int N, const QString& Device, const char* Source, bool Present,
                 const char* State) {
    return QStringLiteral(
               "{\"name\": \"COM%1\", \"device\": \"%2\", \"source\": \"%3\", \"present\": %4, "
               "\"state\": \"%5\"}")
        .arg(N)
        .arg(Device, QLatin1String(Source), Present ? "true" : "false", QLatin1String(State));
}

// The line of Text that starts with Start, and the one after it.
QStringList LineAndNext(const QString& Text, const QString& Start) {
    const QStringList Lines = Text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i + 1 < Lines.size(); ++i)
        if (Lines.at(i).startsWith(Start))
            return {Lines.at(i), Lines.at(i + 1)};
    return {QStringLiteral("(no line %1)").arg(Start), QString()};
}

// Without a stored entry every port leads to its classical device.
TEST_F(CliPorts, DefaultsWhenNothingIsStored) {
    const TRun R = Cli({"ports", "--json"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
    const QJsonObject Root = QJsonDocument::fromJson(R.Out).object();
    ASSERT_EQ(Root.keys(), (QStringList{"devices", "ports"})) << R.Out.toStdString();
    const QJsonArray Ports = Root.value("ports").toArray();
    ASSERT_EQ(Ports.size(), 4);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(Ports.at(n - 1)["name"].toString(), QStringLiteral("COM%1").arg(n));
        EXPECT_EQ(Ports.at(n - 1)["device"].toString(), QStringLiteral("/dev/ttyS%1").arg(n - 1));
        EXPECT_EQ(Ports.at(n - 1)["source"].toString(), "default");
    }
}

// Pseudo-terminals stand in for devices: one merely open here (free, its opener named for
// people), one claimed as a download claims it (busy), an adapter not plugged in (missing),
// and a plain file (no device: missing).
TEST_F(CliPorts, StatesOfAssignedLines) {
    TPty Open;
    TPty Held;
    ASSERT_TRUE(Open.Ok() && Held.Ok());
    TSerialPort Holder;
    Holder.SetPortName(Held.SlavePath());
    Holder.Open();
    // Not a simulator's line that has gone: tests running beside this one may get its number.
    const QString Vanished = In("unplugged");
    TestSupport::WriteFile(In("plain"), "x");
    PortMap::MapPort("COM1", Open.SlavePath());
    PortMap::MapPort("COM2", Held.SlavePath());
    PortMap::MapPort("COM3", Vanished);
    PortMap::MapPort("COM4", In("plain"));

    const TRun J = Cli({"ports", "--json"});
    ASSERT_EQ(J.ExitCode, 0) << J.Err.toStdString();
    const QString Json = QString::fromUtf8(J.Out);
    const QString Expected[] = {
        PortJson(1, Open.SlavePath(), "store", true, "free"),
        PortJson(2, Held.SlavePath(), "store", true, "busy"),
        PortJson(3, Vanished, "store", false, "missing"),
        PortJson(4, In("plain"), "store", false, "missing"),
    };
    qsizetype At = 0;
    for (const QString& Port : Expected) {
        const qsizetype Found = Json.indexOf(Port);
        EXPECT_GT(Found, At) << Port.toStdString() << "\n" << J.Out.toStdString();
        At = std::max(At, Found);
    }
    // Every device with its keys in their order, and nothing else in the object.
    const QJsonObject Root = QJsonDocument::fromJson(J.Out).object();
    ASSERT_EQ(Root.keys(), (QStringList{"devices", "ports"})) << J.Out.toStdString();
    EXPECT_TRUE(Json.startsWith("{\"ports\": ["));
    static const QRegularExpression Device(
        "\\{\"path\": \"[^\"]+\", \"stable\": (null|\"[^\"]+\"), \"description\": "
        "(null|\"[^\"]+\"),"
        " \"state\": \"[a-z-]+\", \"assigned\": (null|\"COM[1-4]\")\\}");
    EXPECT_EQ(Json.count(Device), Root.value("devices").toArray().size());

    const TRun P = Cli({"ports"});
    ASSERT_EQ(P.ExitCode, 0) << P.Err.toStdString();
    const QString People = QString::fromLocal8Bit(P.Out);
    const QString Pid = QStringLiteral("(pid %1)").arg(::getpid());
    const QStringList Com1 = LineAndNext(People, "COM1");
    EXPECT_TRUE(Com1.at(0).endsWith("(store): free")) << People.toStdString();
    EXPECT_TRUE(Com1.at(1).contains("Also open in") && Com1.at(1).contains(Pid))
        << People.toStdString();
    EXPECT_TRUE(LineAndNext(People, "COM2").at(0).contains("in use by ") &&
                LineAndNext(People, "COM2").at(0).contains(Pid))
        << People.toStdString();
    EXPECT_TRUE(LineAndNext(People, "COM3").at(0).endsWith("missing: no device at " + Vanished));
    EXPECT_TRUE(LineAndNext(People, "COM4").at(0).contains("not a serial device"))
        << People.toStdString();
}

// An assignment is stored as the dialog's OK stores it; a refusal leaves the store byte for
// byte as it was.
TEST_F(CliPorts, AssignStoresOrRefuses) {
    TPty Line;
    ASSERT_TRUE(Line.Ok());
    QDir().mkpath(In("folder"));
    TestSupport::WriteFile(In("plain"), "x");
    const QByteArray Unparsable = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER"
                                  "\\Software\\Tamsor\\Ports]\r\n\"COM1\"=bogus:1\r\n";
    const struct {
        const char* Name;
        QStringList Args;
        int Status;
        const char* Says;   // within the line on stderr; empty: nothing there
        const char* Stored; // COM3 afterwards; nullptr: the store is unchanged
        QByteArray Store = {};
    } Cases[] = {
        {"pseudo-terminal", {"com3", "@"}, 0, "", "@"},
        {"not plugged in yet",
         {"COM3", "D/adapter"},
         0,
         "halvorn-cli: warning: D/adapter does not exist now; COM3 leads there once it does",
         "D/adapter"},
        {"relative to the current folder", {"COM3", "adapter"}, 0, "warning", "D/adapter"},
        {"regular file",
         {"COM3", "D/plain"},
         1,
         "halvorn-cli: COM3 was not assigned: D/plain is a",
         nullptr},
        {"folder",
         {"COM3", "D/folder"},
         1,
         "halvorn-cli: COM3 was not assigned: D/folder is a",
         nullptr},
        {"device that is no terminal",
         {"COM3", "/dev/null"},
         1,
         "halvorn-cli: COM3 was not assigned: /dev/null",
         nullptr},
        {"port out of range", {"COM10", "@"}, 2, "not 'COM10'", nullptr},
        {"store cannot be parsed", {"COM3", "@"}, 1, "registry.reg:4", nullptr, Unparsable},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        Config.WriteStore(C.Store.isEmpty() ? QByteArray("Windows Registry Editor Version "
                                                         "5.00\r\n")
                                            : C.Store);
        const QByteArray Before = Config.ReadStore();
        QStringList Args{"ports", "--assign"};
        for (const QString& A : C.Args)
            Args << Words(A, Dir.path(), Line.SlavePath()).value(0);
        QProcess P;
        P.setWorkingDirectory(Dir.path());
        P.start(Program(), Args);
        ASSERT_TRUE(P.waitForFinished(30000));
        EXPECT_EQ(P.exitCode(), C.Status);
        const QString Err = QString::fromLocal8Bit(P.readAllStandardError());
        const QString Says = Words(C.Says, Dir.path(), Line.SlavePath()).join(' ');
        EXPECT_TRUE(*C.Says ? Err.contains(Says) : Err.isEmpty()) << Err.toStdString();
        EXPECT_LE(Err.count('\n'), 1);
        if (C.Stored) {
            const QString Path = Words(C.Stored, Dir.path(), Line.SlavePath()).value(0);
            EXPECT_EQ(PortMap::StoredMapping("COM3"), Path);
            EXPECT_EQ(P.readAllStandardOutput(), "COM3 now leads to " + Path.toLocal8Bit() + "\n");
        } else {
            EXPECT_EQ(Config.ReadStore(), Before);
        }
    }
}

} // namespace
