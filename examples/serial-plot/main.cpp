// serial-plot: plots the numbers of each line that arrives on a serial port. See README.md.
#include "PlotWindow.h"

#include <halvorn/BufferedPaintBox.h>
#include <halvorn/ComPorts.h>
#include <halvorn/ZEVAboutBox.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTimer>
#include <cstdio>

namespace {

// COM1 leads to Device; the other ports keep the components' classical mapping.
void mapCom1To(const QString& device) {
    ComPorts::SetResolver([device](const QString& name) {
        return ComPorts::PortNumber(name) == 1 ? device : ComPorts::ClassicalPath(name);
    });
}

int fail(const QString& text) {
    std::fprintf(stderr, "serial-plot: %s\n", qPrintable(text));
    return 1;
}

// Opens the device without the dialog, waits for Lines lines with numbers, and checks that
// their numbers were drawn on the paint box.
int selfTest(PlotWindow& window, const QString& device, int lines, int timeoutMs) {
    window.show();
    if (!window.openPort(1))
        return fail(QStringLiteral("cannot open %1").arg(device));

    QEventLoop loop;
    QObject::connect(&window, &PlotWindow::lineReceived, &loop, [&] {
        if (window.lineCount() >= lines)
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (window.lineCount() < lines)
        loop.exec();
    if (window.lineCount() < lines)
        return fail(QStringLiteral("only %1 of %2 lines with numbers arrived on %3 in %4 ms")
                        .arg(window.lineCount())
                        .arg(lines)
                        .arg(device)
                        .arg(timeoutMs));

    // A paint now sizes the buffer (first paint) or copies what the lines drew into it.
    window.plot()->repaint();
    const QImage picture = window.plot()->Buffer().toImage();
    const QRgb curve = PlotWindow::curveColor(0).rgb();
    int curvePixels = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            curvePixels += (picture.pixel(x, y) & 0xFFFFFF) == (curve & 0xFFFFFF);
    if (window.plottedPoints() != window.numberCount() || curvePixels == 0)
        return fail(QStringLiteral("%1 numbers received, %2 plotted, %3 pixels of the first curve")
                        .arg(window.numberCount())
                        .arg(window.plottedPoints())
                        .arg(curvePixels));

    std::printf("serial-plot: %d lines, %d numbers plotted\n", window.lineCount(),
                window.numberCount());
    const TZEVAboutBox* box = window.about().AboutBox();
    std::printf("about: %s %s\n", qPrintable(box->ProductName->text()),
                qPrintable(box->Version->text()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("serial-plot"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plots the numbers of each line that arrives on a serial port."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("device"),
                                 QStringLiteral("The device COM1 leads to (default /dev/ttyS0)."),
                                 QStringLiteral("[device]"));
    const QCommandLineOption selfTestOption(
        QStringLiteral("self-test"),
        QStringLiteral("Open the device as COM1 without asking, receive lines, check the plot."));
    const QCommandLineOption linesOption(QStringLiteral("lines"),
                                         QStringLiteral("Lines the self-test waits for (10)."),
                                         QStringLiteral("n"), QStringLiteral("10"));
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"), QStringLiteral("How long the self-test waits (20000 ms)."),
        QStringLiteral("ms"), QStringLiteral("20000"));
    parser.addOptions({selfTestOption, linesOption, timeoutOption});
    parser.process(app);

    const QStringList devices = parser.positionalArguments();
    if (devices.size() > 1)
        parser.showHelp(2);
    if (!devices.isEmpty())
        mapCom1To(devices.first());

    PlotWindow window;
    if (parser.isSet(selfTestOption)) {
        bool linesOk = false, timeoutOk = false;
        const int lines = parser.value(linesOption).toInt(&linesOk);
        const int timeoutMs = parser.value(timeoutOption).toInt(&timeoutOk);
        if (devices.isEmpty() || !linesOk || lines < 1 || !timeoutOk || timeoutMs < 1)
            parser.showHelp(2);
        return selfTest(window, devices.first(), lines, timeoutMs);
    }
    window.show();
    window.choosePort();
    return app.exec();
}
