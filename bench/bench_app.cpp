// The window's figures: start-up to the first idle call, close, a 32 KiB printout built into
// the editor, and the delay from the last byte on the line to the report on screen.
// Prints figures; not a test. Runs on a private settings store.
#include "acquisition/DownloadProgress.h"
#include "app/MainForm.h"
#include "info/InfoForm.h"
#include "platform/PortMap.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"
#include "report/ReportBuilder.h"

#include "Controls.h"
#include "Printout.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point A, Clock::time_point B) {
    return std::chrono::duration<double, std::milli>(B - A).count();
}

void Report(const char* What, std::vector<double> Ms) {
    std::sort(Ms.begin(), Ms.end());
    std::printf("%-52s %3zu rounds  min %8.3f ms  median %8.3f ms  max %8.3f ms\n", What, Ms.size(),
                Ms.front(), Ms[Ms.size() / 2], Ms.back());
}

void Spin(const std::function<bool()>& Done) {
    QTimer tick;
    tick.start(2);
    while (!Done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void StartupAndClose(const QString& InstallDir) {
    // The installer's part: the information file goes to a private folder.
    TRegistry reg;
    reg.OpenKey(HalvornSettingsKey, true);
    reg.WriteString(QStringLiteral("InstallDir"), InstallDir);
    reg.WriteInteger(QStringLiteral("Port"), 0);
    reg.WriteInteger(QStringLiteral("InfoEnable"), 0);
    std::vector<double> startup, closing;
    for (int round = 0; round < 10; ++round) {
        const auto t0 = Clock::now();
        auto* form = new TMainForm;
        form->FormCreate();
        form->SetInfoForm(new TInfoForm(form->Information(), form));
        form->show();
        bool idle = false;
        auto c = QObject::connect(QAbstractEventDispatcher::instance(),
                                  &QAbstractEventDispatcher::aboutToBlock, [&] { idle = true; });
        QTimer::singleShot(1, [] {});
        Spin([&] { return idle; });
        startup.push_back(MsBetween(t0, Clock::now()));
        QObject::disconnect(c);
        const auto t1 = Clock::now();
        form->close();
        closing.push_back(MsBetween(t1, Clock::now()));
        delete form;
    }
    Report("start-up to the first idle call", startup);
    Report("close (settings, info file, port)", closing);
}

QByteArray Printout32K() {
    SimPrintout::TOptions o;
    o.Hours = 2000;
    QByteArray bytes = SimPrintout::Generate(o);
    bytes.truncate(32 * 1024);
    bytes.truncate(bytes.lastIndexOf('\r') + 1);
    return bytes;
}

void BuildIntoEditor() {
    const QByteArray bytes = Printout32K();
    TMainForm form;
    form.FormCreate();
    form.show();
    std::vector<double> builder, editor;
    for (int round = 0; round < 30; ++round) {
        const auto t0 = Clock::now();
        const QStringList lines = BuildReport(bytes, TReportInfo{});
        const auto t1 = Clock::now();
        Memo(form)->SetLines(lines, true);
        QCoreApplication::processEvents();
        const auto t2 = Clock::now();
        builder.push_back(MsBetween(t0, t1));
        editor.push_back(MsBetween(t0, t2));
    }
    std::printf("printout: %lld bytes\n", static_cast<long long>(bytes.size()));
    Report("builder alone", builder);
    Report("builder and editor, report on screen", editor);
}

// Typing into a 32 KiB report with the readings panel shown: a keystroke only restarts the
// panel's timer; the panel's update, 300 ms after the last key, is the longest a key that
// comes just then can wait.
void ReadingsWhileTyping() {
    TMainForm form;
    form.FormCreate();
    form.resize(1000, 760);
    form.show();
    Memo(form)->SetLines(BuildReport(Printout32K(), TReportInfo{}), true);
    Control<QAction>(form, "ViewReadings")->trigger();
    QCoreApplication::processEvents();
    QPlainTextEdit* memo = Memo(form);
    std::vector<double> key, update;
    for (int round = 0; round < 30; ++round) {
        const auto t0 = Clock::now();
        memo->textCursor().insertText(QStringLiteral("x"));
        QCoreApplication::processEvents();
        const auto t1 = Clock::now();
        Fire(form, "tmrReadings");
        QCoreApplication::processEvents();
        const auto t2 = Clock::now();
        key.push_back(MsBetween(t0, t1));
        update.push_back(MsBetween(t1, t2));
    }
    Report("keystroke, readings panel shown", key);
    Report("readings panel update after typing stops", update);
}

// A line fed by this process at 1200 baud: the delay from its last byte to the report.
void EndOfTransfer() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    const QString path = QString::fromLocal8Bit(ptsname(master));
    const int keep = open(ptsname(master), O_RDWR | O_NOCTTY);
    termios raw{};
    tcgetattr(keep, &raw);
    cfmakeraw(&raw);
    tcsetattr(keep, TCSANOW, &raw);
    PortMap::MapPort(QStringLiteral("COM1"), path);

    TMainForm form;
    form.FormCreate();
    ChoosePort(form, 1);
    QByteArray bytes = SimPrintout::Generate({});
    bytes.truncate(240);
    bytes.truncate(bytes.lastIndexOf('\r') + 1);
    std::vector<double> delays;
    for (int round = 0; round < 20; ++round) {
        Memo(form)->SetModified(false);
        Trigger(form, "GetData");
        std::atomic<bool> sent{false};
        Clock::time_point last;
        std::thread writer([&] {
            // A random phase against the 250 ms ticks, then 120 bytes a second.
            std::this_thread::sleep_for(std::chrono::milliseconds(37 * round % 250));
            for (char b : bytes) {
                (void)!write(master, &b, 1);
                std::this_thread::sleep_for(std::chrono::microseconds(8333));
            }
            last = Clock::now();
            sent = true;
        });
        Spin([&] { return sent && !Control<QTimer>(form, "tmrReceive")->isActive(); });
        const auto shown = Clock::now();
        writer.join();
        delays.push_back(MsBetween(last, shown));
    }
    Report("last byte sent to report shown (1200 baud)", delays);
    close(keep);
    close(master);
}

// The port items' check (every 0.5 s without udev), the progress field (every 250 ms tick)
// as shares of one core, and how long a pseudo-terminal that appears or goes takes to show.
void PortWatchAndProgress() {
    auto* form = new TMainForm;
    form->FormCreate();
    PollPorts(*form);
    QLabel* progressPanel = Control<QLabel>(*form, "ProgressPanel");
    QAction* com1 = PortItem(*form, 1);
    std::vector<double> check, progress;
    for (int round = 0; round < 20; ++round) {
        auto t0 = Clock::now();
        Fire(*form, "PortCheckTimer");
        check.push_back(MsBetween(t0, Clock::now()));
        t0 = Clock::now();
        progressPanel->setText(DownloadProgress::Text(9512 + round, 79000 + round));
        progress.push_back(MsBetween(t0, Clock::now()));
    }
    Report("port items checked once", check);
    Report("progress field updated once", progress);
    std::sort(check.begin(), check.end());
    std::sort(progress.begin(), progress.end());
    std::printf("share of one core: port check %.3f %%, progress field %.4f %%\n",
                check[check.size() / 2] / Control<QTimer>(*form, "PortCheckTimer")->interval() *
                    100,
                progress[progress.size() / 2] / TDownload::TickIntervalMs * 100);

    std::vector<double> appear, vanish;
    for (int round = 0; round < 5; ++round) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ::grantpt(master);
        ::unlockpt(master);
        const QString slave = QString::fromLocal8Bit(::ptsname(master));
        auto t0 = Clock::now();
        PortMap::MapPort(QStringLiteral("COM1"), slave);
        Spin([&] { return com1->isEnabled(); });
        appear.push_back(MsBetween(t0, Clock::now()));
        t0 = Clock::now();
        ::close(master);
        Spin([&] { return !com1->isEnabled(); });
        vanish.push_back(MsBetween(t0, Clock::now()));
    }
    Report("device appears -> port item enabled", appear);
    Report("device goes -> port item disabled", vanish);
    delete form;
}

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QTemporaryDir install;
    StartupAndClose(install.path());
    BuildIntoEditor();
    ReadingsWhileTyping();
    EndOfTransfer();
    PortWatchAndProgress();
    return 0;
}
