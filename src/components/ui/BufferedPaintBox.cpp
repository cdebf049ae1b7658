#include "BufferedPaintBox.h"

#include "platform/ComponentPalette.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

bool IsArrowKey(int Key) {
    return Key == Qt::Key_Left || Key == Qt::Key_Right || Key == Qt::Key_Up || Key == Qt::Key_Down;
}

} // namespace

TBufferedPaintBox::TBufferedPaintBox(QWidget* Owner) : QWidget(Owner), FVersion("1.00.00") {
    // The buffer covers the whole client area, so no background erase precedes a paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

TBufferedPaintBox::~TBufferedPaintBox() = default;

void TBufferedPaintBox::Register() {
    ComponentPalette::Register(PalettePage, "TBufferedPaintBox");
}

QColor TBufferedPaintBox::Color() const {
    return FColor.isValid() ? FColor : palette().color(QPalette::Base);
}

void TBufferedPaintBox::SetColor(const QColor& Value) {
    FColor = Value;
}

void TBufferedPaintBox::ResetColor() {
    FColor = QColor();
}

void TBufferedPaintBox::EmptyBuffer() {
    if (!FBuffer.isNull())
        FBuffer.fill(Color());
}

void TBufferedPaintBox::DoNeedRender() {
    if (OnNeedRender)
        OnNeedRender(this);
    else
        EmptyBuffer();
}

bool TBufferedPaintBox::event(QEvent* Event) {
    switch (Event->type()) {
    case QEvent::ShortcutOverride:
        // A dialog's shortcuts must not take the arrow keys from the focused box.
        if (IsArrowKey(static_cast<QKeyEvent*>(Event)->key())) {
            Event->accept();
            return true;
        }
        break;
    case QEvent::DynamicPropertyChange:
        update(); // the design-time flag may have changed
        break;
    default:
        break;
    }
    return QWidget::event(Event);
}

void TBufferedPaintBox::paintEvent(QPaintEvent* Event) {
    QPainter painter(this);
    if (ComponentPalette::IsDesigning(this)) {
        painter.fillRect(rect(), palette().color(QPalette::Window));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 0, Qt::DashLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize wanted = size() * ratio;
    if (FBuffer.size() != wanted || FBuffer.devicePixelRatio() != ratio) {
        FBuffer = QPixmap(wanted);
        FBuffer.setDevicePixelRatio(ratio);
        DoNeedRender();
    }
    const QRect dirty = Event->rect();
    painter.drawPixmap(dirty, FBuffer,
                       QRectF(QPointF(dirty.topLeft()) * ratio, QSizeF(dirty.size()) * ratio));
}

void TBufferedPaintBox::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    if (OnResize)
        OnResize(this);
}

void TBufferedPaintBox::keyPressEvent(QKeyEvent* Event) {
    int key = Event->key();
    if (OnKeyDown)
        OnKeyDown(this, key, Event->modifiers());
    if (key != 0 && OnKeyPress && !Event->text().isEmpty()) {
        QChar ch = Event->text().at(0);
        OnKeyPress(this, ch);
        if (ch.isNull())
            key = 0;
    }
    // Arrow keys stay here so that the dialog does not move the focus with them.
    if (key == 0 || IsArrowKey(Event->key()))
        Event->accept();
    else
        QWidget::keyPressEvent(Event);
}

void TBufferedPaintBox::keyReleaseEvent(QKeyEvent* Event) {
    int key = Event->key();
    if (OnKeyUp)
        OnKeyUp(this, key, Event->modifiers());
    if (key == 0 || IsArrowKey(Event->key()))
        Event->accept();
    else
        QWidget::keyReleaseEvent(Event);
}

void TBufferedPaintBox::mousePressEvent(QMouseEvent* Event) {
    if (OnMouseDown) {
        const QPoint at = Event->position().toPoint();
        OnMouseDown(this, Event->button(), Event->modifiers(), at.x(), at.y());
    }
    QWidget::mousePressEvent(Event);
}

void TBufferedPaintBox::mouseMoveEvent(QMouseEvent* Event) {
    if (OnMouseMove) {
        const QPoint at = Event->position().toPoint();
        OnMouseMove(this, Event->modifiers(), at.x(), at.y());
    }
    QWidget::mouseMoveEvent(Event);
}

void TBufferedPaintBox::mouseReleaseEvent(QMouseEvent* Event) {
    if (OnMouseUp) {
        const QPoint at = Event->position().toPoint();
        OnMouseUp(this, Event->button(), Event->modifiers(), at.x(), at.y());
    }
    QWidget::mouseReleaseEvent(Event);
}
