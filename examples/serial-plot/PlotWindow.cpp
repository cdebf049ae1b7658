#include "PlotWindow.h"

#include "ui_PlotWindow.h"

#include <halvorn/BufferedPaintBox.h>
#include <halvorn/ComThread.h>

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

QVector<double> numbersIn(const QByteArray& line) {
    QVector<double> numbers;
    for (const QByteArray& word : line.simplified().split(' ')) {
        bool ok = false;
        const double value = word.toDouble(&ok);
        if (ok && std::isfinite(value))
            numbers.append(value);
    }
    return numbers;
}

PlotWindow::PlotWindow(QWidget* parent) : QWidget(parent), ui_(new Ui::PlotWindow) {
    ui_->setupUi(this);
    ui_->plot->OnNeedRender = [this](QObject*) { drawBuffer(); };
    connect(ui_->portButton, &QPushButton::clicked, this, &PlotWindow::choosePort);
    connect(ui_->aboutButton, &QPushButton::clicked, this, &PlotWindow::showAbout);

    // A packet of one byte: the reader hands every byte over as it comes. With longer packets
    // ended by a stop byte, bytes that wait in the line when it opens are read before
    // OnComInit can set that byte (the reader starts first), and the last of them would stay
    // in the reader until more bytes come.
    com_.SetBufSize(1);
    com_.SetBaud(1200);
    com_.PacketListener = this;
    about_.Description1 = tr("Serial components");
    about_.Version1 = com_.ControlVersion();
    about_.Visible1 = true;
    updateStatus();
}

PlotWindow::~PlotWindow() {
    // The reader stops while every member it hands lines to still exists.
    com_.ComClose();
}

TBufferedPaintBox* PlotWindow::plot() const {
    return ui_->plot;
}

bool PlotWindow::openPort(quint32 port) {
    com_.ComClose();
    pending_.clear();
    com_.SetPortA(port);
    com_.ComInit();
    updateStatus();
    return com_.ComThread != nullptr;
}

void PlotWindow::choosePort() {
    com_.GetComPortDlg(this, qint32(com_.Port()), 0);
    updateStatus();
}

void PlotWindow::showAbout() {
    about_.OpenAbout();
}

int PlotWindow::numberCount() const {
    int count = 0;
    for (const QVector<double>& line : lines_)
        count += line.size();
    return count;
}

QColor PlotWindow::curveColor(int curve) {
    static const QColor colors[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                                    QColor(0x2c, 0xa0, 0x2c), QColor(0x94, 0x67, 0xbd)};
    return colors[curve % 4];
}

void PlotWindow::PacketArrived(TAdvancedCom* com, const char* packet) {
    // The reader waits for us: restart its packet for the next byte, and gather the line here
    // on the reader thread. A carriage return or a line feed ends it.
    TComThread* reader = com->ComThread.get();
    const quint32 count = std::min<quint32>(reader->PacketCount, quint32(reader->Packet.size()));
    reader->PacketCount = 0;
    for (quint32 at = 0; at < count; ++at) {
        if (packet[at] != '\r' && packet[at] != '\n') {
            pending_ += packet[at];
            continue;
        }
        const QByteArray line = pending_;
        pending_.clear();
        QMetaObject::invokeMethod(
            this, [this, line] { addLine(line); }, Qt::QueuedConnection);
    }
}

void PlotWindow::addLine(const QByteArray& line) {
    const QVector<double> numbers = numbersIn(line);
    if (numbers.isEmpty())
        return;
    lines_.append(numbers);
    if (lines_.size() > maxLines)
        lines_.removeFirst();
    // New content at an unchanged size: draw into the buffer ourselves and repaint.
    if (!ui_->plot->Buffer().isNull()) {
        drawBuffer();
        ui_->plot->update();
    }
    emit lineReceived();
}

void PlotWindow::updateStatus() {
    if (com_.ComThread)
        ui_->statusLabel->setText(tr("Receiving on COM%1").arg(com_.Port()));
    else
        ui_->statusLabel->setText(tr("No port open"));
}

void PlotWindow::drawBuffer() {
    QPixmap& buffer = ui_->plot->Buffer();
    const QSizeF size = QSizeF(buffer.size()) / buffer.devicePixelRatio();
    QPainter painter(&buffer);
    painter.fillRect(QRectF(QPointF(0, 0), size), Qt::white);
    plottedPoints_ = 0;
    if (lines_.isEmpty())
        return;

    double low = lines_.first().first();
    double high = low;
    int curves = 0;
    for (const QVector<double>& line : lines_) {
        curves = std::max(curves, int(line.size()));
        for (double value : line) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    if (high == low) {
        high += 1;
        low -= 1;
    }
    const QRectF area(8, 8, size.width() - 16, size.height() - 16);
    const double step = lines_.size() > 1 ? area.width() / (lines_.size() - 1) : 0;
    auto pointAt = [&](int index, double value) {
        return QPointF(area.left() + index * step,
                       area.bottom() - (value - low) / (high - low) * area.height());
    };

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::lightGray);
    painter.drawRect(area);
    for (int curve = 0; curve < curves; ++curve) {
        QPainterPath path;
        for (int index = 0; index < lines_.size(); ++index) {
            if (curve >= lines_[index].size())
                continue;
            const QPointF point = pointAt(index, lines_[index][curve]);
            if (path.elementCount() == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
            painter.fillRect(QRectF(point - QPointF(2, 2), QSizeF(4, 4)), curveColor(curve));
            ++plottedPoints_;
        }
        painter.setPen(QPen(curveColor(curve), 1.5));
        painter.drawPath(path);
    }
}
