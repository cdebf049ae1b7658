#pragma once

#include <halvorn/AdvancedCom.h>
#include <halvorn/ZEVAboutComponent.h>

#include <QVector>
#include <QWidget>
#include <memory>

namespace Ui {
class PlotWindow;
}
class QPainter;
class TBufferedPaintBox;

// The numbers in a line of text, in their order: the whitespace-separated words that read as
// decimal numbers ("12", "-3.5"); other words are skipped.
QVector<double> numbersIn(const QByteArray& line);

// Receives lines on a serial port and plots their numbers live: the k-th number of every line
// belongs to curve k, the lines follow each other from left to right.
class PlotWindow : public QWidget, private TPacketListener {
    Q_OBJECT

public:
    static constexpr int maxLines = 500;

    explicit PlotWindow(QWidget* parent = nullptr);
    ~PlotWindow() override;

    // Opens COM<port> without asking; false when it cannot be opened.
    bool openPort(quint32 port);
    // Lets the user choose a port in the component's "Select Port" dialog.
    void choosePort();
    void showAbout();

    // Lines that held at least one number, and their numbers.
    int lineCount() const { return lines_.size(); }
    int numberCount() const;
    // Points drawn at the last rendering of the plot.
    int plottedPoints() const { return plottedPoints_; }
    static QColor curveColor(int curve);

    TBufferedPaintBox* plot() const;
    TZEVAboutComponent& about() { return about_; }

signals:
    void lineReceived();

private:
    // Runs on the reader thread for every byte.
    void PacketArrived(TAdvancedCom* com, const char* packet) override;
    void addLine(const QByteArray& line);
    void updateStatus();
    // Draws the curves into the plot's buffer.
    void drawBuffer();

    std::unique_ptr<Ui::PlotWindow> ui_;
    TAdvancedCom com_;
    TZEVAboutComponent about_;
    QByteArray pending_; // the reader's line so far (reader thread only)
    QVector<QVector<double>> lines_;
    int plottedPoints_ = 0;
};
