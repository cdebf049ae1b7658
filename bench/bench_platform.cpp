// Cost of the settings store on a store of 50 values and on one of 2 MB, and of date-time
// texts. Prints figures; not a test.
#include "LargeStore.h"
#include "platform/DateTimeText.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

const QString AppKey = QStringLiteral("Software\\Tamsor\\Halvorn 4410");

void Measure(const char* What, int Rounds, const std::function<void(int)>& Body) {
    const auto Start = std::chrono::steady_clock::now();
    for (int i = 0; i < Rounds; ++i)
        Body(i);
    const std::chrono::duration<double, std::micro> Spent =
        std::chrono::steady_clock::now() - Start;
    std::printf("%-44s %8d rounds %10.1f us/op\n", What, Rounds, Spent.count() / Rounds);
}

// What a command pays for the store: the values halvorn-cli build reads, in a fresh process
// state (the first read parses the file) and again (it does not).
void LargeStoreReads(const QString& Folder) {
    const QByteArray Text = LargeStore(2 * 1024 * 1024);
    QDir().mkpath(Folder + "/Tamsor");
    QFile File(Folder + "/Tamsor/registry.reg");
    File.open(QIODevice::WriteOnly);
    File.write(Text);
    File.close();
    qputenv("XDG_CONFIG_HOME", Folder.toLocal8Bit());
    const auto Command = [] {
        TRegistry Registry;
        Registry.OpenKeyReadOnly(AppKey);
        Registry.ValueExists("InstallDir");
        Registry.ReadInteger("InfoEnable");
        Registry.ReadInteger("Port");
    };
    // CPU time as well: other load on the machine inflates the wall-clock figure.
    const auto CpuMs = [] {
        timespec T{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
        return T.tv_sec * 1e3 + T.tv_nsec / 1e6;
    };
    const auto Start = std::chrono::steady_clock::now();
    const double CpuStart = CpuMs();
    Command();
    const std::chrono::duration<double, std::milli> First =
        std::chrono::steady_clock::now() - Start;
    std::printf("%-44s %8.1f KB %7.1f ms, cpu %5.1f ms (target < 100)\n",
                "store read by a command, first", Text.size() / 1024.0, First.count(),
                CpuMs() - CpuStart);
    Measure("store read by a command, again (2 MB)", 200, [&](int) { Command(); });
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir Dir;
    if (argc > 1 && QByteArray(argv[1]) == "large") {
        LargeStoreReads(Dir.path());
        return 0;
    }
    qputenv("XDG_CONFIG_HOME", Dir.path().toLocal8Bit());
    TRegistry Registry;
    Registry.OpenKey(AppKey, true);
    for (int i = 0; i < 48; ++i)
        Registry.WriteString(QStringLiteral("Setting%1").arg(i), QStringLiteral("value %1").arg(i));
    Registry.WriteInteger("Port", 1);
    Registry.WriteString("InstallDir", "/home/ann/Halvorn");

    volatile int Sink = 0;
    Measure("ReadInteger (50 values)", 2000,
            [&](int) { Sink = Sink + Registry.ReadInteger("Port"); });
    Measure("ReadString (50 values)", 2000,
            [&](int) { Sink = Sink + Registry.ReadString("InstallDir").size(); });
    Measure("WriteInteger, changed (50 values, fsync)", 200,
            [&](int i) { Registry.WriteInteger("Port", i); });
    Measure("WriteInteger, unchanged (50 values)", 200,
            [&](int) { Registry.WriteInteger("InstallDirSize", 7); });
    const QLocale US("en_US");
    const QDateTime Value(QDate(2026, 3, 5), QTime(16, 5, 9));
    Measure("DateTimeToStr en_US", 20000,
            [&](int) { Sink = Sink + DateTimeText::DateTimeToStr(Value, US).size(); });
    Measure("StrToDateTime en_US", 20000, [&](int) {
        Sink = Sink + DateTimeText::StrToDateTime("3/5/2026 4:05:09 PM", US).time().second();
    });
    return 0;
}
