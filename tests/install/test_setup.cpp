// halvorn-setup as the user runs it: the real program against a temporary home and store.
#include "SetupOptions.h"

#include "platform/Registry.h"
#include "platform/SettingsKey.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

class Setup : public testing::Test {
protected:
    TestSupport::TempConfig Config;
    QTemporaryDir Home;

    TRun Run(const QStringList& Arguments) {
        QProcess Process;
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.insert("HOME", Home.path());
        Env.insert("XDG_CONFIG_HOME", Config.ConfigHome());
        Process.setProcessEnvironment(Env);
        Process.setWorkingDirectory(Home.path());
        Process.start(QStringLiteral(HALVORN_SETUP_PROGRAM), Arguments);
        EXPECT_TRUE(Process.waitForFinished(30000));
        return {Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1,
                QString::fromLocal8Bit(Process.readAllStandardOutput()),
                QString::fromLocal8Bit(Process.readAllStandardError())};
    }

    QString InHome(const QString& Name) const { return QDir(Home.path()).filePath(Name); }
};

struct TValues {
    QString InstallDir;
    int Port;
    int InfoEnable;
};

TValues StoredValues() {
    TRegistry Reg;
    EXPECT_TRUE(Reg.OpenKeyReadOnly(HalvornSettingsKey));
    return {Reg.ReadString("InstallDir"), Reg.ReadInteger("Port"), Reg.ReadInteger("InfoEnable")};
}

const QByteArray Header = "Windows Registry Editor Version 5.00\r\n\r\n";

// Whatever the store held, the program's key ends up complete, only missing values are
// added, folders are made, and a second run changes nothing at all.
TEST_F(Setup, CompletesTheKeyOnceAndNeverChangesAValue) {
    const QString Elsewhere = InHome("elsewhere");
    struct TCase {
        const char* Name;
        QByteArray Store; // empty: no store file yet
        QStringList Arguments;
        QString InstallDir; // relative to the home folder
        int Port;
        int InfoEnable;
    };
    const TCase Cases[] = {
        {"first run", {}, {}, "Halvorn", 0, 0},
        {"demo port on a first run", {}, {"--demo-port", "1"}, "Halvorn", 1, 0},
        {"folder given, relative to the working folder", {}, {"--dir", "a/b/../c"}, "a/c", 0, 0},
        {"a key exported from Windows holding only InstallDir",
         Header +
             "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\r\n"
             "\"InstallDir\"=\"" +
             Elsewhere.toUtf8() + "\"\r\n",
         {"--dir", "ignored", "--demo-port", "2"},
         "elsewhere",
         2,
         0},
        {"a stored port is kept",
         Header + "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n"
                  "\"Port\"=dword:00000003\n\"InfoEnable\"=dword:00000001\n",
         {"--demo-port", "1"},
         "Halvorn",
         3,
         1},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        QDir(Home.path()).removeRecursively();
        QDir().mkpath(Home.path());
        QFile::remove(Config.StoreFile());
        if (!Case.Store.isEmpty())
            Config.WriteStore(Case.Store);

        const TRun First = Run(Case.Arguments);
        ASSERT_EQ(First.ExitCode, 0) << First.Err.toStdString();
        const QString Folder = InHome(Case.InstallDir);
        const TValues Values = StoredValues();
        EXPECT_EQ(Values.InstallDir, Folder);
        EXPECT_EQ(Values.Port, Case.Port);
        EXPECT_EQ(Values.InfoEnable, Case.InfoEnable);
        EXPECT_TRUE(QFileInfo(Folder + "/Data").isDir());

        const QByteArray After = Config.ReadStore();
        const TRun Second = Run(Case.Arguments);
        EXPECT_EQ(Second.ExitCode, 0) << Second.Err.toStdString();
        EXPECT_EQ(Config.ReadStore(), After);
        EXPECT_TRUE(Second.Out.contains("left as it is")) << Second.Out.toStdString();
        EXPECT_FALSE(Second.Out.contains("Created")) << Second.Out.toStdString();
    }
}

// A complete key is never written, even when its folders are gone and are made again; an
// emptied InstallDir stays empty.
TEST_F(Setup, CompleteKeyIsLeftByteForByte) {
    for (const QByteArray& Folder : {InHome("gone/again").toUtf8(), QByteArray()}) {
        const QByteArray Store = Header +
                                 "[HKEY_CURRENT_USER\\Software\\Tamsor\\Ports]\n"
                                 "\"COM1\"=\"/dev/ttyUSB0\"\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n"
                                 "\"InstallDir\"=\"" +
                                 Folder + "\"\n\"Port\"=dword:00000000\n" +
                                 "\"InfoEnable\"=dword:00000000\n";
        Config.WriteStore(Store);
        const TRun R = Run({"--dir", InHome("other"), "--demo-port", "4"});
        EXPECT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_EQ(Config.ReadStore(), Store);
        EXPECT_FALSE(QFileInfo::exists(InHome("other")));
        if (!Folder.isEmpty())
            EXPECT_TRUE(QFileInfo(QString::fromUtf8(Folder) + "/Data").isDir());
        else
            EXPECT_TRUE(R.Out.contains("stored empty")) << R.Out.toStdString();
    }
}

// A failure says why, exits 1 and leaves the store as it was.
TEST_F(Setup, FailuresLeaveTheStoreAlone) {
    TestSupport::WriteFile(InHome("plain-file"), "x");
    struct TCase {
        const char* Name;
        QByteArray Store;
        QStringList Arguments;
        QString Message;
    };
    const TCase Cases[] = {
        {"unparseable store", "not a registry file\n", {}, Config.StoreFile() + ":1"},
        {"folder is a file",
         {},
         {"--dir", InHome("plain-file")},
         "Cannot create the folder " + InHome("plain-file") + ":"},
        {"folder under a file", {}, {"--dir", InHome("plain-file/sub")}, "Cannot create"},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        QFile::remove(Config.StoreFile());
        if (!Case.Store.isEmpty())
            Config.WriteStore(Case.Store);
        const TRun R = Run(Case.Arguments);
        EXPECT_EQ(R.ExitCode, 1);
        EXPECT_TRUE(R.Err.startsWith("halvorn-setup: ")) << R.Err.toStdString();
        EXPECT_TRUE(R.Err.contains(Case.Message)) << R.Err.toStdString();
        EXPECT_EQ(Config.ReadStore(), Case.Store);
        EXPECT_FALSE(QFileInfo::exists(InHome("Halvorn")));
    }
}

TEST_F(Setup, CommandLine) {
    const TRun Help = Run({"--help"});
    EXPECT_EQ(Help.ExitCode, 0);
    EXPECT_TRUE(Help.Out.startsWith("Usage: halvorn-setup")) << Help.Out.toStdString();

    const QStringList Bad[] = {{"extra"},
                               {"--dir"},
                               {"--dir", ""},
                               {"--demo-port", "0"},
                               {"--demo-port", "5"},
                               {"--demo-port", "x"},
                               {"--dir", "a", "--dir", "b"},
                               {"--unknown"}};
    for (const QStringList& Arguments : Bad) {
        SCOPED_TRACE(Arguments.join(' ').toStdString());
        EXPECT_THROW(ParseSetupOptions(Arguments), TSetupUsageError);
        const TRun R = Run(Arguments);
        EXPECT_EQ(R.ExitCode, 2);
        EXPECT_TRUE(R.Err.contains("Try 'halvorn-setup --help'.")) << R.Err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(Config.StoreFile()));
    }
    const TSetupOptions Options = ParseSetupOptions({"--dir", "/x", "--demo-port", "4", "--quiet"});
    EXPECT_EQ(Options.Dir, "/x");
    EXPECT_EQ(Options.DemoPort, 4);
    EXPECT_TRUE(Options.Quiet);
    EXPECT_TRUE(Run({"--quiet"}).Out.isEmpty());
}

} // namespace
