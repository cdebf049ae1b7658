#include "QtPrint.h"
#include "components/ui/BufferedPaintBox.h"
#include "platform/ComponentPalette.h"

#include <QDialog>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// A shown paint box that counts its renders and records the buffer size each one saw.
struct Rendered {
    TBufferedPaintBox Box;
    int Renders = 0;
    QSize SeenSize;

    explicit Rendered(QSize Size, bool Handler = true) {
        if (Handler)
            Box.OnNeedRender = [this](QObject* Sender) {
                EXPECT_EQ(Sender, &Box);
                ++Renders;
                SeenSize = Box.Buffer().deviceIndependentSize().toSize();
                QPainter(&Box.Buffer()).fillRect(QRect(QPoint(0, 0), SeenSize), Qt::darkGreen);
            };
        Box.resize(Size);
        Box.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Box));
        Box.repaint();
    }
};

TEST(BufferedPaintBox, RendersOnlyAtTheFirstPaintAfterASizeChange) {
    Rendered r(QSize(200, 100));
    EXPECT_EQ(r.Renders, 1);
    EXPECT_EQ(r.SeenSize, QSize(200, 100));
    for (int i = 0; i < 3; ++i)
        r.Box.repaint();
    EXPECT_EQ(r.Renders, 1);

    // Height only, width only, both.
    for (QSize size : {QSize(200, 150), QSize(120, 150), QSize(300, 40)}) {
        SCOPED_TRACE(size.height());
        const int before = r.Renders;
        r.Box.resize(size);
        EXPECT_EQ(r.Renders, before) << "the resize itself renders nothing";
        r.Box.repaint();
        r.Box.repaint();
        EXPECT_EQ(r.Renders, before + 1);
        EXPECT_EQ(r.SeenSize, size);
        EXPECT_EQ(r.Box.grab().toImage().pixelColor(size.width() - 1, size.height() - 1),
                  QColor(Qt::darkGreen));
    }

    // Owner drawing on the buffer shows at the next repaint without a render.
    QPainter(&r.Box.Buffer()).fillRect(0, 0, 10, 10, Qt::yellow);
    r.Box.repaint();
    const QImage shown = r.Box.grab().toImage();
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(Qt::yellow));
    EXPECT_EQ(shown.pixelColor(20, 20), QColor(Qt::darkGreen));
    EXPECT_EQ(r.Renders, 4);
}

TEST(BufferedPaintBox, WithoutAHandlerTheSurfaceHasItsColor) {
    for (const QColor& color : {QColor(), QColor(Qt::red), QColor(10, 20, 30)}) {
        Rendered r(QSize(30, 20), false);
        if (color.isValid()) {
            r.Box.SetColor(color);
            r.Box.EmptyBuffer();
            r.Box.repaint();
        }
        const QColor expected = color.isValid() ? color : r.Box.palette().color(QPalette::Base);
        EXPECT_EQ(r.Box.Color(), expected);
        const QImage shown = r.Box.grab().toImage();
        for (QPoint at : {QPoint(0, 0), QPoint(29, 19), QPoint(15, 10)})
            EXPECT_EQ(shown.pixelColor(at), expected) << at.x() << "," << at.y();
    }
}

TEST(BufferedPaintBox, DesigningShowsADashedOutlineAndNeverRenders) {
    TBufferedPaintBox box;
    int renders = 0;
    box.OnNeedRender = [&](QObject*) { ++renders; };
    box.resize(100, 60);
    ComponentPalette::SetDesigning(&box, true);
    const QImage shown = box.grab().toImage();
    EXPECT_EQ(renders, 0);
    const QColor line = box.palette().color(QPalette::WindowText);
    int onTop = 0;
    for (int x = 0; x < 100; ++x)
        onTop += shown.pixelColor(x, 0) == line;
    EXPECT_GT(onTop, 10);
    EXPECT_LT(onTop, 90) << "a dashed, not a solid line";
    EXPECT_EQ(shown.pixelColor(50, 30), box.palette().color(QPalette::Window));

    ComponentPalette::SetDesigning(&box, false);
    box.grab();
    EXPECT_EQ(renders, 1);
}

TEST(BufferedPaintBox, ArrowKeysReachTheKeyEventsInsideADialog) {
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* box = new TBufferedPaintBox;
    auto* plain = new QWidget;
    plain->setFocusPolicy(Qt::StrongFocus);
    for (QWidget* w :
         QList<QWidget*>{new QPushButton("Before"), box, plain, new QPushButton("After")})
        layout->addWidget(w);
    const QList<int> arrows = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
    int shortcuts = 0;
    for (int key : arrows)
        QObject::connect(new QShortcut(QKeySequence(key), &dialog), &QShortcut::activated,
                         [&] { ++shortcuts; });
    QList<int> down;
    QList<int> up;
    box->OnKeyDown = [&](QObject*, int& Key, Qt::KeyboardModifiers) { down.append(Key); };
    box->OnKeyUp = [&](QObject*, int& Key, Qt::KeyboardModifiers) { up.append(Key); };

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    box->setFocus();
    for (int key : arrows) {
        QTest::keyClick(box, Qt::Key(key));
        EXPECT_TRUE(box->hasFocus());
    }
    EXPECT_EQ(down, arrows);
    EXPECT_EQ(up, arrows);
    EXPECT_EQ(shortcuts, 0);

    // The control case: an ordinary focusable widget loses the arrows to the dialog.
    plain->setFocus();
    QTest::keyClick(plain, Qt::Key_Right);
    EXPECT_EQ(shortcuts, 1);
}

} // namespace
