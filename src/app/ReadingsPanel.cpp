#include "app/ReadingsPanel.h"

#include "components/ui/BufferedPaintBox.h"
#include "measurement/chart/ReadingsChart.h"
#include "platform/DateTimeText.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QToolTip>

namespace {

// What the chart is drawn from: the figures and checks follow from these.
bool SameChart(const TReadings& A, const TReadings& B) {
    if (A.IntervalMinutes != B.IntervalMinutes || A.Start != B.Start || A.Refusal != B.Refusal ||
        A.Values.size() != B.Values.size())
        return false;
    for (size_t i = 0; i < A.Values.size(); ++i)
        if (A.Values[i].Text != B.Values[i].Text || A.Values[i].Events != B.Values[i].Events)
            return false;
    return true;
}

} // namespace

TReadingsPanel::TReadingsPanel(QWidget* Parent) : QWidget(Parent) {
    SummaryMemo = new QPlainTextEdit;
    SummaryMemo->setReadOnly(true);
    // The checks' sentences are long; wrapped, they need no scrolling sideways.
    SummaryMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The summary lines up its figures in columns.
    SummaryMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Chart = new TBufferedPaintBox;
    Chart->setMinimumSize(160, 120);
    Chart->setMouseTracking(true);
    Chart->setFocusPolicy(Qt::NoFocus);
    Chart->installEventFilter(this);
    Chart->OnNeedRender = [this](QObject*) { RenderChart(); };
    Chart->OnMouseMove = [this](QObject*, Qt::KeyboardModifiers, int X, int Y) {
        const QString text = HoverText(QPoint(X, Y));
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(Chart->mapToGlobal(QPoint(X, Y)), text, Chart);
    };
    Splitter = new QSplitter(Qt::Horizontal);
    Splitter->addWidget(SummaryMemo);
    Splitter->addWidget(Chart);
    Splitter->setChildrenCollapsible(false);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter);
}

void TReadingsPanel::Show(const TMeasurement& M, TUnit Unit) {
    const bool redraw = Unit != FUnit || !SameChart(M.Readings, FMeasurement.Readings);
    FMeasurement = M;
    FUnit = Unit;
    ++FUpdates;
    SummaryMemo->setPlainText(Measurement::ForPeople(M, Unit));
    if (redraw)
        RedrawChart();
}

void TReadingsPanel::RedrawChart() {
    // A buffer not made yet is drawn at its first paint.
    if (!Chart->Buffer().isNull()) {
        RenderChart();
        Chart->update();
    }
}

void TReadingsPanel::RenderChart() {
    ++FChartRenders;
    QPixmap& buffer = Chart->Buffer();
    QPainter painter(&buffer);
    painter.setFont(Chart->font());
    const QRectF area(QPointF(0, 0), QSizeF(buffer.size()) / buffer.devicePixelRatio());
    ReadingsChart::Paint(painter, area, FMeasurement, FUnit,
                         ReadingsChart::PaletteFor(Chart->palette()));
}

QString TReadingsPanel::HoverText(QPoint Position) const {
    const int i = ReadingsChart::HitTest(QRectF(Chart->rect()), FMeasurement, FUnit, Chart->font(),
                                         Position, Chart);
    if (i < 0)
        return {};
    const TReadingValue& value = FMeasurement.Readings.Values[static_cast<size_t>(i)];
    const QDateTime start = Readings::IntervalStart(FMeasurement.Readings, i + 1);
    QString text = start.isValid() ? DateTimeText::FormatDate(start.date()) + u' ' +
                                         DateTimeText::ReportTime(start.time())
                                   : QStringLiteral("Interval %1").arg(i + 1);
    text += u'\n';
    text += value.PciL ? Units::BothForPeople(*value.PciL, 1, FUnit)
                       : QStringLiteral("not a reading: \"%1\"").arg(QLatin1String(value.Text));
    if (!value.Events.empty())
        text += QStringLiteral("\nEvents: ") + QLatin1String(value.Events);
    return text;
}

bool TReadingsPanel::eventFilter(QObject* Watched, QEvent* Event) {
    // The box's own palette, not the panel's: a parent hears of a change before its children.
    if (Watched == Chart && Event->type() == QEvent::PaletteChange)
        RedrawChart();
    return QWidget::eventFilter(Watched, Event);
}
