#include "Sim.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const QString Scratch = QStringLiteral(HALVORN_SCRATCH);
const QString Prefix = Scratch + "/prefix";
const QString ExampleBuild = Scratch + "/serial-plot";

struct TRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TRun RunProgram(const QString& Program, const QStringList& Arguments, int TimeoutMs = 240000,
                const QProcessEnvironment& Environment = QProcessEnvironment::systemEnvironment()) {
    QProcess Process;
    Process.setProcessEnvironment(Environment);
    Process.start(Program, Arguments);
    TRun Result;
    if (!Process.waitForFinished(TimeoutMs)) {
        Process.kill();
        Process.waitForFinished();
        Result.Err = QStringLiteral("%1 did not finish: %2").arg(Program, Process.errorString());
        return Result;
    }
    Result.ExitCode = Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
    Result.Out = QString::fromLocal8Bit(Process.readAllStandardOutput());
    Result.Err = QString::fromLocal8Bit(Process.readAllStandardError());
    return Result;
}

std::string Described(const TRun& Result) {
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3")
        .arg(Result.ExitCode)
        .arg(Result.Out, Result.Err)
        .toStdString();
}

// Installs this build into a fresh scratch prefix and builds the example against it, once for
// every case; a step that fails is reported by each case that needs it.
class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        QDir(Scratch).removeRecursively();
        QDir().mkpath(Scratch);
        Steps.clear();
        Steps << RunProgram(HALVORN_CMAKE, {"--install", HALVORN_BUILD, "--prefix", Prefix});
        if (Steps.last().ExitCode != 0)
            return;
        QStringList Configure = {"-S",
                                 HALVORN_EXAMPLE_SOURCE,
                                 "-B",
                                 ExampleBuild,
                                 "-G",
                                 HALVORN_GENERATOR,
                                 "-DCMAKE_PREFIX_PATH=" + Prefix,
                                 "-DCMAKE_BUILD_TYPE=Release"};
        if (!QStringLiteral(HALVORN_CXX_LAUNCHER).isEmpty())
            Configure << "-DCMAKE_CXX_COMPILER_LAUNCHER=" HALVORN_CXX_LAUNCHER;
        Steps << RunProgram(HALVORN_CMAKE, Configure);
        if (Steps.last().ExitCode != 0)
            return;
        Steps << RunProgram(HALVORN_CMAKE, {"--build", ExampleBuild});
    }

    static bool Built() { return Steps.size() == 3 && Steps.last().ExitCode == 0; }
    static std::string Failure() {
        return Steps.isEmpty() ? std::string("nothing ran") : Described(Steps.last());
    }

    static TRun SerialPlot(const QStringList& Arguments) {
        return RunProgram(ExampleBuild + "/serial-plot", Arguments, 60000);
    }

    static QList<TRun> Steps;
};

QList<TRun> Package::Steps;

TEST_F(Package, ExampleIsBuiltAgainstTheInstalledPackageOnly) {
    ASSERT_TRUE(Built()) << Failure();
    const QByteArray Cache = TestSupport::ReadFile(ExampleBuild + "/CMakeCache.txt");
    EXPECT_TRUE(
        Cache.contains(QStringLiteral("HalvornComponents_DIR:PATH=%1/").arg(Prefix).toLocal8Bit()))
        << "find_package found the package somewhere else";
    EXPECT_FALSE(Cache.contains(HALVORN_BUILD "/src")) << "the example saw the build tree";
    // The form's paint box came through uic.
    EXPECT_TRUE(TestSupport::ReadFile(ExampleBuild + "/serial-plot_autogen/include/ui_PlotWindow.h")
                    .contains("TBufferedPaintBox"));
}

TEST_F(Package, SelfTestPlotsEveryNumberTheSimulatorSends) {
    ASSERT_TRUE(Built()) << Failure();
    // Lines end with CR (as the instrument's) or CR LF; words that are no numbers are skipped.
    struct TCase {
        const char* Name;
        QByteArray Lines;
        int LineCount;
        int Numbers;
    };
    QByteArray Long;
    for (int Line = 1; Line <= 40; ++Line)
        Long += QByteArray::number(Line) + "  " + QByteArray::number(Line * 0.25) + "\r";
    QByteArray Wide; // longer than the reader's packet of 254 bytes
    for (int Number = 100; Number < 200; ++Number)
        Wide += QByteArray::number(Number) + " ";
    Wide += "\r";
    const TCase Cases[] = {
        {"CR", "1 2 3\r4.5 -6 7e1\r", 2, 6},
        {"CR LF with words", "Time 1 Hr\r\nT 4.2 P 3.9\r\nno numbers\r\n5\r\n", 3, 4},
        {"forty lines", Long, 40, 80},
        {"a line longer than a packet", Wide, 1, 100},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const QString File = Scratch + "/lines.txt";
        TestSupport::WriteFile(File, Case.Lines);
        TestSupport::TSim Sim({"--file", File, "--unpaced"});
        ASSERT_TRUE(Sim.Started());
        const TRun Result = SerialPlot(
            {"--self-test", Sim.DevicePath(), "--lines", QString::number(Case.LineCount)});
        EXPECT_EQ(Result.ExitCode, 0) << Described(Result);
        EXPECT_TRUE(Result.Out.contains(
            QStringLiteral("%1 lines, %2 numbers plotted").arg(Case.LineCount).arg(Case.Numbers)))
            << Described(Result);
        // halvorn_embed_version() from the package gave the example its own About box.
        EXPECT_TRUE(Result.Out.contains("about: SerialPlot 1.0.0")) << Described(Result);
    }
}

TEST_F(Package, SelfTestFailsWhenLinesOrThePortAreMissing) {
    ASSERT_TRUE(Built()) << Failure();
    const QString File = Scratch + "/short.txt";
    TestSupport::WriteFile(File, "1\r2\r3\r");
    TestSupport::TSim Sim({"--file", File, "--unpaced"});
    ASSERT_TRUE(Sim.Started());
    TRun Result =
        SerialPlot({"--self-test", Sim.DevicePath(), "--lines", "5", "--timeout", "1500"});
    EXPECT_EQ(Result.ExitCode, 1) << Described(Result);
    EXPECT_TRUE(Result.Err.contains("only 3 of 5 lines")) << Described(Result);

    Result = SerialPlot({"--self-test", "/nonexistent/tty"});
    EXPECT_EQ(Result.ExitCode, 1) << Described(Result);
    EXPECT_TRUE(Result.Err.contains("cannot open /nonexistent/tty")) << Described(Result);
}

TEST_F(Package, PkgConfigBuildsAProgramThatRuns) {
    ASSERT_TRUE(Built()) << Failure();
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert("PKG_CONFIG_PATH", Prefix + "/" HALVORN_LIBDIR "/pkgconfig");
    const TRun Flags = RunProgram(
        "pkg-config", {"--cflags", "--libs", "halvorn-components-serial", "halvorn-components-ui"},
        10000, Environment);
    ASSERT_EQ(Flags.ExitCode, 0) << Described(Flags);
    EXPECT_TRUE(Flags.Out.contains("-lhalvorn-components-ui")) << Flags.Out.toStdString();

    const QString Source = Scratch + "/pc.cpp";
    TestSupport::WriteFile(Source, R"(#include <halvorn/AdvancedCom.h>
#include <halvorn/ComPorts.h>
#include <halvorn/FolderDialog.h>
int main() {
    TAdvancedCom com;
    TFolderDialog folder;
    const bool ok = com.ControlVersion() == "1.04.00" && folder.ControlVersion() == "1.00.00" &&
                    ComPorts::DevicePath("COM3") == "/dev/ttyS2" && com.Port() == 1;
    return ok ? 0 : 1;
}
)");
    const QString Program = Scratch + "/pc-program";
    QStringList Arguments = {"-std=c++17", "-fPIC", Source,
                             "-o",         Program, "-Wl,-rpath," + Prefix + "/" HALVORN_LIBDIR};
    Arguments << Flags.Out.simplified().split(' ');
    const TRun Compile = RunProgram(HALVORN_CXX, Arguments, 120000);
    ASSERT_EQ(Compile.ExitCode, 0) << Described(Compile);
    const TRun Ran = RunProgram(Program, {}, 10000);
    EXPECT_EQ(Ran.ExitCode, 0) << Described(Ran);
}

TEST_F(Package, InstalledDesignerPluginFindsTheInstalledLibraries) {
    ASSERT_TRUE(Built()) << Failure();
    QPluginLoader Loader(Prefix + "/" HALVORN_DESIGNER_DIR "/libhalvorn-designer.so");
    ASSERT_TRUE(Loader.load()) << Loader.errorString().toStdString();
    // This test program links none of the component libraries: the plugin's own search path
    // brought them in, from the prefix.
    const QByteArray Maps = TestSupport::ReadFile("/proc/self/maps");
    EXPECT_TRUE(
        Maps.contains((Prefix + "/" HALVORN_LIBDIR "/libhalvorn-components-ui.so").toLocal8Bit()));
    EXPECT_FALSE(Maps.contains(HALVORN_BUILD "/src/components/ui/"));
    Loader.unload();
}

} // namespace
