#include "QtPrinters.h"
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
                QPainter p(&Box.Buffer());
                p.fillRect(QRect(QPoint(0, 0), SeenSize), Qt::darkGreen);
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

    const struct { QSize Size; } steps[] = {{QSize(200, 150)}, {QSize(120, 150)}, {QSize(300, 40)}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.Size.height());
        const int before = r.Renders;
        r.Box.resize(s.Size);
        EXPECT_EQ(r.Renders, before) << "the resize itself renders nothing";
        r.Box.repaint();
        r.Box.repaint();
        EXPECT_EQ(r.Renders, before + 1);
        EXPECT_EQ(r.SeenSize, s.Size);
        EXPECT_EQ(r.Box.grab().toImage().pixelColor(s.Size.width() - 1, s.Size.height() - 1),
                  QColor(Qt::darkGreen));
    }
}

TEST(BufferedPaintBox, OwnerDrawingShowsAfterARepaintWithoutRendering) {
    Rendered r(QSize(50, 40));
    {
        QPainter p(&r.Box.Buffer());
        p.fillRect(0, 0, 10, 10, Qt::yellow);
    }
    r.Box.repaint();
    const QImage shown = r.Box.grab().toImage();
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(Qt::yellow));
    EXPECT_EQ(shown.pixelColor(20, 20), QColor(Qt::darkGreen));
    EXPECT_EQ(r.Renders, 1);
}

TEST(BufferedPaintBox, WithoutAHandlerTheSurfaceHasItsColor) {
    const struct { QColor Color; } cases[] = {{QColor()}, {QColor(Qt::red)}, {QColor(10, 20, 30)}};
    for (const auto& c : cases) {
        Rendered r(QSize(30, 20), false);
        if (c.Color.isValid()) {
            r.Box.SetColor(c.Color);
            r.Box.EmptyBuffer();
            r.Box.repaint();
        }
        const QColor expected = c.Color.isValid() ? c.Color : r.Box.palette().color(QPalette::Base);
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
    const QColor back = box.palette().color(QPalette::Window);
    int onTop = 0;
    int gaps = 0;
    for (int x = 0; x < 100; ++x)
        (shown.pixelColor(x, 0) == line ? onTop : gaps)++;
    EXPECT_GT(onTop, 10);
    EXPECT_GT(gaps, 10) << "a dashed, not a solid line";
    EXPECT_EQ(shown.pixelColor(0, 0), line);
    EXPECT_EQ(shown.pixelColor(50, 30), back);

    ComponentPalette::SetDesigning(&box, false);
    box.grab();
    EXPECT_EQ(renders, 1);
}

TEST(BufferedPaintBox, ArrowKeysReachTheKeyEventsInsideADialog) {
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* before = new QPushButton("Before");
    auto* box = new TBufferedPaintBox;
    auto* plain = new QWidget;
    plain->setFocusPolicy(Qt::StrongFocus);
    auto* after = new QPushButton("After");
    for (QWidget* w : {static_cast<QWidget*>(before), static_cast<QWidget*>(box), plain,
                       static_cast<QWidget*>(after)})
        layout->addWidget(w);
    int shortcuts = 0;
    for (int key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down})
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
    const QList<int> arrows = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
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

TEST(BufferedPaintBox, RegistersOnThePaletteAndCarriesItsVersion) {
    TBufferedPaintBox::Register();
    TBufferedPaintBox::Register();
    EXPECT_EQ(ComponentPalette::Classes("ZEV").count("TBufferedPaintBox"), 1);
    EXPECT_EQ(TBufferedPaintBox().Version(), "1.00.00");
    EXPECT_TRUE(TBufferedPaintBox().testAttribute(Qt::WA_OpaquePaintEvent));
}

} // namespace
