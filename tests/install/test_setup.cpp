// halvorn-setup as the user runs it: the real program against a temporary home and store.
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
    int ExitCode;
    QString Out, Err;
};

class Setup : public testing::Test {
protected:
    TestSupport::TempConfig Config;
    QTemporaryDir Home;

    TRun Run(const QStringList& Arguments, const QString& Program = HALVORN_SETUP_PROGRAM) {
        QProcess Process;
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.insert("HOME", Home.path());
        Env.insert("XDG_CONFIG_HOME", Config.ConfigHome());
        Process.setProcessEnvironment(Env);
        Process.setWorkingDirectory(Home.path());
        Process.start(Program, Arguments);
        EXPECT_TRUE(Process.waitForFinished(30000));
        return {Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1,
                QString::fromLocal8Bit(Process.readAllStandardOutput()),
                QString::fromLocal8Bit(Process.readAllStandardError())};
    }
    QString InHome(const QString& Name) const { return Home.filePath(Name); }
};

const QByteArray Key = "Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n";

// Only missing values are added, folders are made, and a second run changes nothing at all.
TEST_F(Setup, CompletesTheKeyOnceAndNeverChangesAValue) {
    const struct {
        const char* Name;
        QByteArray Store; // empty: no store file yet
        QStringList Arguments;
        QString InstallDir; // relative to the home folder
        int Port;
        int InfoEnable;
    } Cases[] = {
        {"first run", {}, {}, "Halvorn", 0, 0},
        {"folder relative to the working folder", {}, {"--dir", "a/b/../c"}, "a/c", 0, 0},
        {"an existing InstallDir is left alone",
         Key + "\"InstallDir\"=\"" + InHome("elsewhere").toUtf8() + "\"\n",
         {"--dir", "ignored", "--demo-port", "2"},
         "elsewhere",
         2,
         0},
        // An empty one would put the program's files at the root of the file system.
        {"an empty InstallDir counts as none", Key + "\"InstallDir\"=\"\"\n", {}, "Halvorn", 0, 0},
        {"stored values are kept",
         Key + "\"Port\"=dword:00000003\n\"InfoEnable\"=dword:00000001\n",
         {"--demo-port", "1"},
         "Halvorn",
         3,
         1},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        QDir(Home.path()).removeRecursively();
        QDir().mkpath(Home.path());
        QFile::remove(Config.StoreFile());
        if (!Case.Store.isEmpty())
            Config.WriteStore(Case.Store);

        const TRun First = Run(Case.Arguments);
        ASSERT_EQ(First.ExitCode, 0) << First.Err.toStdString();
        const QString Folder = InHome(Case.InstallDir);
        TRegistry Reg;
        ASSERT_TRUE(Reg.OpenKeyReadOnly(HalvornSettingsKey));
        EXPECT_EQ(Reg.ReadString("InstallDir"), Folder);
        EXPECT_EQ(Reg.ReadInteger("Port"), Case.Port);
        EXPECT_EQ(Reg.ReadInteger("InfoEnable"), Case.InfoEnable);
        EXPECT_TRUE(QFileInfo(Folder + "/Data").isDir());
        EXPECT_FALSE(QFileInfo::exists(InHome("ignored")));

        const QByteArray After = Config.ReadStore();
        const TRun Second = Run(Case.Arguments);
        EXPECT_EQ(Second.ExitCode, 0) << Second.Err.toStdString();
        EXPECT_EQ(Config.ReadStore(), After);
        EXPECT_TRUE(Second.Out.contains("left as it is")) << Second.Out.toStdString();
        EXPECT_FALSE(Second.Out.contains("Created")) << Second.Out.toStdString();
    }
}

// The store is left byte for byte: by a complete key (even when its folder is gone and made
// again), and by a failure, which says why; bad usage exits 2.
TEST_F(Setup, StoreLeftAsItWas) {
    TestSupport::WriteFile(InHome("plain-file"), "x");
    const struct {
        QByteArray Store;
        QStringList Arguments;
        int ExitCode;
        QString Message;
    } Cases[] = {
        {Key + "\"InstallDir\"=\"" + InHome("gone/again").toUtf8() +
             "\"\n\"Port\"=dword:00000000\n\"InfoEnable\"=dword:00000000\n",
         {"--dir", InHome("other"), "--demo-port", "4"},
         0,
         ""},
        {"not a registry file\n", {}, 1, Config.StoreFile() + ":1"},
        {{},
         {"--dir", InHome("plain-file")},
         1,
         "Cannot create the folder " + InHome("plain-file")},
        {{}, {"--demo-port", "5"}, 2, "Try 'halvorn-setup --help'."},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Arguments.join(' ').toStdString());
        QFile::remove(Config.StoreFile());
        if (!Case.Store.isEmpty())
            Config.WriteStore(Case.Store);
        const TRun R = Run(Case.Arguments);
        EXPECT_EQ(R.ExitCode, Case.ExitCode);
        EXPECT_EQ(R.Err.startsWith("halvorn-setup: "), Case.ExitCode != 0) << R.Err.toStdString();
        EXPECT_TRUE(R.Err.contains(Case.Message)) << R.Err.toStdString();
        EXPECT_EQ(Config.ReadStore(), Case.Store);
        EXPECT_FALSE(QFileInfo::exists(InHome("other")));
        EXPECT_FALSE(QFileInfo::exists(InHome("Halvorn")));
    }
    EXPECT_TRUE(QFileInfo(InHome("gone/again/Data")).isDir());
}

// halvorn-cli's first start does halvorn-setup's job, once, for the commands that need the
// folder; a store it cannot read makes nothing.
TEST_F(Setup, CliFirstStartMakesTheFolderOnce) {
    TestSupport::WriteFile(InHome("c.bin"), "line\rx\ry\r");
    TestSupport::WriteFile(InHome("i.zev"), "0\r\n0\r\n0\r\n3/5/2026\r\n3/5/2026\r\n3/5/2026\r\n"
                                            "3/5/2026\r\n\r\n\r\n");
    const QStringList build{"build", "c.bin", "-o", "r.txt"};
    const struct {
        QByteArray Store;
        QStringList Arguments;
        int ExitCode;
        bool Made;
    } Cases[] = {
        {{}, build + QStringList{"--info", "i.zev"}, 0, false},
        {"not a registry file\n", build, 1, false},
        {Key + "\"InstallDir\"=\"\"\n", build, 0, true},
        {{}, build, 0, true},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Store.toStdString());
        QDir(InHome("Halvorn")).removeRecursively();
        QFile::remove(Config.StoreFile());
        if (!Case.Store.isEmpty())
            Config.WriteStore(Case.Store);
        const TRun First = Run(Case.Arguments, HALVORN_CLI_PROGRAM);
        EXPECT_EQ(First.ExitCode, Case.ExitCode) << First.Err.toStdString();
        EXPECT_EQ(QFileInfo(InHome("Halvorn/Data")).isDir(), Case.Made);
        if (!Case.Made) {
            EXPECT_EQ(Config.ReadStore(), Case.Store);
            continue;
        }
        TRegistry Reg;
        ASSERT_TRUE(Reg.OpenKeyReadOnly(HalvornSettingsKey));
        EXPECT_EQ(Reg.ReadString("InstallDir"), InHome("Halvorn"));
        EXPECT_EQ(Reg.ReadInteger("Port"), 0);
        const QByteArray After = Config.ReadStore();
        EXPECT_EQ(Run(Case.Arguments, HALVORN_CLI_PROGRAM).ExitCode, 0);
        EXPECT_EQ(Config.ReadStore(), After);
    }
}

} // namespace
