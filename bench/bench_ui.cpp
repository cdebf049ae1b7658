// Paint cost of the double-buffered paint box at 800 x 600 on the offscreen platform.
// Run: build/<dir>/bench/bench_ui   (QT_QPA_PLATFORM defaults to offscreen)
#include "components/ui/BufferedPaintBox.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <benchmark/benchmark.h>

namespace {

struct ShownBox {
    TBufferedPaintBox Box;
    int Renders = 0;
    ShownBox() {
        Box.OnNeedRender = [this](QObject*) {
            ++Renders;
            QPainter p(&Box.Buffer());
            p.fillRect(Box.rect(), QColor(30, 60, 90));
            p.setPen(Qt::white);
            for (int x = 0; x < Box.width(); x += 8)
                p.drawLine(x, 0, Box.width() - x, Box.height());
        };
        Box.resize(800, 600);
        Box.show();
        if (!QTest::qWaitForWindowExposed(&Box))
            qFatal("the paint box was never exposed");
        Box.repaint();
    }
};

// The common case: the size is unchanged, so a paint is one buffer copy.
void BM_PaintUnchangedSize(benchmark::State& State) {
    ShownBox shown;
    const int rendersBefore = shown.Renders;
    for (auto _ : State)
        shown.Box.repaint();
    State.SetItemsProcessed(State.iterations());
    State.counters["renders_in_loop"] = shown.Renders - rendersBefore;
}

// For comparison: every paint follows a resize, so each one renders as well.
void BM_PaintAfterResize(benchmark::State& State) {
    ShownBox shown;
    bool tall = false;
    for (auto _ : State) {
        tall = !tall;
        shown.Box.resize(800, tall ? 601 : 600);
        shown.Box.repaint();
    }
    State.SetItemsProcessed(State.iterations());
}

// The copy alone, without the widget machinery.
void BM_BufferCopyOnly(benchmark::State& State) {
    QPixmap buffer(800, 600);
    buffer.fill(Qt::darkBlue);
    QImage target(800, 600, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : State) {
        QPainter p(&target);
        p.drawPixmap(0, 0, buffer);
    }
    State.SetItemsProcessed(State.iterations());
}

BENCHMARK(BM_PaintUnchangedSize)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintAfterResize)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BufferCopyOnly)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
