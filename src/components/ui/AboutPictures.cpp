#include "AboutPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace AboutPictures {

QPixmap ProgramBanner() {
    QPixmap banner(389, 95);
    QPainter p(&banner);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 389, 0);
    sky.setColorAt(0, QColor(214, 230, 244));
    sky.setColorAt(1, QColor(255, 255, 255));
    p.fillRect(banner.rect(), sky);
    // Three decaying waves, a nod to the decay chain the instrument counts.
    for (int wave = 0; wave < 3; ++wave) {
        QPainterPath path;
        for (int x = 0; x <= 389; x += 3) {
            const double y =
                70 + wave * 7 - 14 * std::exp(-x / 160.0) * std::sin(x / (18.0 + wave * 6));
            if (x == 0)
                path.moveTo(x, y);
            else
                path.lineTo(x, y);
        }
        p.setPen(QPen(QColor(90, 130, 180, 160 - wave * 40), 2));
        p.drawPath(path);
    }
    return banner;
}

QPixmap InstrumentLogo() {
    QPixmap logo(70, 48);
    logo.fill(Qt::transparent);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    // The instrument's case, display and two keys.
    p.setPen(QPen(QColor(40, 50, 60), 1.5));
    p.setBrush(QColor(228, 222, 205));
    p.drawRoundedRect(QRectF(3, 4, 64, 40), 5, 5);
    p.setBrush(QColor(60, 90, 60));
    p.drawRect(QRectF(9, 10, 40, 18));
    p.setPen(QPen(QColor(170, 230, 150), 1.2));
    const QPointF trace[] = {{11, 24}, {17, 22}, {22, 16}, {28, 19}, {33, 13}, {39, 17}, {47, 15}};
    p.drawPolyline(trace, int(std::size(trace)));
    p.setPen(QPen(QColor(40, 50, 60), 1));
    p.setBrush(QColor(200, 60, 50));
    p.drawEllipse(QPointF(58, 15), 4, 4);
    p.setBrush(QColor(90, 90, 90));
    p.drawEllipse(QPointF(58, 30), 4, 4);
    p.drawRect(QRectF(9, 33, 40, 5));
    return logo;
}

QIcon CheckGlyph() {
    QPixmap glyph(16, 16);
    glyph.fill(Qt::transparent);
    QPainter p(&glyph);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 128, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF tick[] = {{3, 8.5}, {6.5, 12}, {13, 4}};
    p.drawPolyline(tick, int(std::size(tick)));
    return QIcon(glyph);
}

} // namespace AboutPictures
