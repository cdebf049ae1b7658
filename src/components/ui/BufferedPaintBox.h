#pragma once

#include "ComponentEvents.h"

#include <QColor>
#include <QPixmap>
#include <QWidget>

// A control whose picture lives in an off-screen buffer of the client size. The owner draws
// the buffer in OnNeedRender, which runs only at the first paint after a size change; every
// other paint copies the buffer. The owner may also draw into Buffer() itself and call
// update(). With the focus, the arrow keys go to the key events instead of moving the focus.
class TBufferedPaintBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor RESET ResetColor)

public:
    static constexpr const char* PalettePage = "ZEV";

    explicit TBufferedPaintBox(QWidget* Owner = nullptr);
    ~TBufferedPaintBox() override;

    // Registers the class on the palette page "ZEV".
    static void Register();

    // The buffer an OnNeedRender handler draws into. Its size in device-independent pixels is
    // the client size while the handler runs; on a high-density screen it holds device pixels.
    QPixmap& Buffer() { return FBuffer; }

    // The colour of an empty buffer; follows the palette's window background (QPalette::Base,
    // the colour behind a window's content) until set.
    QColor Color() const;
    void SetColor(const QColor& Value);
    void ResetColor();

    QString Version() const { return FVersion; }

    // Fills the whole buffer with Color.
    void EmptyBuffer();
    // OnNeedRender when set, EmptyBuffer otherwise.
    void DoNeedRender();

    TNotifyEvent OnNeedRender;
    TNotifyEvent OnResize;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

protected:
    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    QPixmap FBuffer;
    QColor FColor; // invalid: follow the palette
    QString FVersion;
};
