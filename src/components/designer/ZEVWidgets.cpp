#include "ZEVWidgets.h"

#include "components/ui/BufferedPaintBox.h"
#include "components/ui/VirtualListBox.h"
#include "platform/ComponentPalette.h"

#include <QPainter>
#include <QPixmap>

namespace {

constexpr int IconSize = 22;

// The widget box's pictures, drawn here so the plugin carries no image files.
QPixmap BlankIcon() {
    QPixmap Picture(IconSize, IconSize);
    Picture.fill(Qt::transparent);
    return Picture;
}

QIcon PaintBoxIcon() {
    QPixmap Picture = BlankIcon();
    QPainter Painter(&Picture);
    Painter.setRenderHint(QPainter::Antialiasing);
    Painter.setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
    Painter.setBrush(Qt::white);
    Painter.drawRect(QRectF(1.5, 3.5, 19, 15));
    Painter.setPen(QPen(QColor(0x1f, 0x6f, 0xb4), 1.5));
    const QPointF Curve[] = {{3, 15}, {7, 10}, {10, 12}, {14, 6}, {19, 8}};
    Painter.drawPolyline(Curve, 5);
    return QIcon(Picture);
}

QIcon ListBoxIcon() {
    QPixmap Picture = BlankIcon();
    QPainter Painter(&Picture);
    Painter.setPen(Qt::darkGray);
    Painter.setBrush(Qt::white);
    Painter.drawRect(1, 2, 19, 17);
    for (int Line = 0; Line < 4; ++Line) {
        const int Y = 5 + Line * 4;
        Painter.fillRect(4, Y, 6, 2, Qt::black);
        Painter.fillRect(12, Y, 6, 2, Qt::gray);
    }
    return QIcon(Picture);
}

} // namespace

TZEVWidget::TZEVWidget(TDescription Description, QObject* Parent)
    : QObject(Parent), FDescription(std::move(Description)) {}

QWidget* TZEVWidget::createWidget(QWidget* Parent) {
    QWidget* Widget = FDescription.Create(Parent);
    ComponentPalette::SetDesigning(Widget, true);
    return Widget;
}

QString TZEVWidget::domXml() const {
    QString ObjectName = FDescription.ClassName.mid(1); // without the class prefix "T"
    return QStringLiteral("<ui language=\"c++\">\n"
                          " <widget class=\"%1\" name=\"%2\">\n"
                          "  <property name=\"geometry\">\n"
                          "   <rect><x>0</x><y>0</y><width>%3</width><height>%4</height></rect>\n"
                          "  </property>\n"
                          " </widget>\n"
                          "</ui>\n")
        .arg(FDescription.ClassName, ObjectName.replace(0, 1, ObjectName.at(0).toLower()))
        .arg(FDescription.Size.width())
        .arg(FDescription.Size.height());
}

TZEVWidgetCollection::TZEVWidgetCollection(QObject* Parent) : QObject(Parent) {
    FWidgets.append(new TZEVWidget(
        {QStringLiteral("TBufferedPaintBox"), QStringLiteral("halvorn/BufferedPaintBox.h"),
         QStringLiteral("A flicker-free paint box: the owner draws an off-screen buffer"),
         QSize(200, 120), PaintBoxIcon(),
         [](QWidget* Parent) { return new TBufferedPaintBox(Parent); }},
        this));
    FWidgets.append(new TZEVWidget(
        {QStringLiteral("TVirtualListBox"), QStringLiteral("halvorn/VirtualListBox.h"),
         QStringLiteral("A list box whose lines are counted and drawn on request"), QSize(160, 100),
         ListBoxIcon(), [](QWidget* Parent) { return new TVirtualListBox(Parent); }},
        this));
}
