#include "app/ReadingsPanel.h"

#include "components/ui/BufferedPaintBox.h"
#include "measurement/chart/ReadingsChart.h"
#include "platform/DateTimeText.h"
#include "platform/MessageText.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QThread>
#include <QToolTip>

namespace {

// What the chart is drawn from: the figures and checks follow from these.
bool SameChart(const TMeasurement& MA, const TMeasurement& MB) {
    const TReadings& A = MA.Readings;
    const TReadings& B = MB.Readings;
    const TReferenceLevel& LA = MA.Criteria.Level;
    const TReferenceLevel& LB = MB.Criteria.Level;
    if (A.IntervalMinutes != B.IntervalMinutes || A.Start != B.Start || A.Refusal != B.Refusal ||
        A.Values.size() != B.Values.size() || LA.Name != LB.Name || LA.Value != LB.Value ||
        LA.Unit != LB.Unit || MA.Criteria.PostMitigation != MB.Criteria.PostMitigation)
        return false;
    for (size_t i = 0; i < A.Values.size(); ++i)
        if (A.Values[i].Text() != B.Values[i].Text() ||
            A.Values[i].Events() != B.Values[i].Events())
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

struct TReadingsPanel::TRequest {
    QStringList Lines;
    TCriteria Criteria;
    TUnit Unit;
    // The worker's answer.
    TMeasurement Measured;
};

TReadingsPanel::~TReadingsPanel() {
    // The worker writes into FRunning: the panel waits for it rather than free that first.
    if (FWorker)
        FWorker->wait();
}

void TReadingsPanel::Show(TMeasurement M, TUnit Unit) {
    const bool redraw = Unit != FUnit || !SameChart(M, FMeasurement);
    FMeasurement = std::move(M);
    FUnit = Unit;
    ++FUpdates;
    SummaryMemo->setPlainText(Measurement::ForPeople(FMeasurement, Unit));
    if (redraw)
        RedrawChart();
}

void TReadingsPanel::Measure(const QStringList& Lines, const TCriteria& Criteria, TUnit Unit) {
    qsizetype size = 0;
    for (const QString& line : Lines)
        size += line.size() + 1;
    auto request = std::make_unique<TRequest>(TRequest{Lines, Criteria, Unit, {}});
    if (FWorker) {
        FPending = std::move(request);
        return;
    }
    if (size <= MeasureAtOnce) {
        Show(Measurement::Measure(Lines, Criteria, Unit), Unit);
        return;
    }
    StartWorker(std::move(request));
}

void TReadingsPanel::StartWorker(std::unique_ptr<TRequest> Request) {
    FRunning = std::move(Request);
    TRequest* work = FRunning.get();
    FWorker = QThread::create([work] {
        work->Measured = Measurement::Measure(work->Lines, work->Criteria, work->Unit);
        work->Lines.clear();
    });
    FWorker->setParent(this);
    connect(FWorker, &QThread::finished, this, [this] {
        std::unique_ptr<TRequest> done = std::move(FRunning);
        FWorker->deleteLater();
        FWorker = nullptr;
        // A newer request makes this answer stale: it is measured instead.
        if (FPending) {
            std::unique_ptr<TRequest> next = std::move(FPending);
            Measure(next->Lines, next->Criteria, next->Unit);
            return;
        }
        Show(std::move(done->Measured), done->Unit);
    });
    FWorker->start(QThread::LowPriority);
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
    QString text = start.isValid() ? DateTimeText::FormatDateTime(start)
                                   : QStringLiteral("Interval %1").arg(i + 1);
    const auto latin1 = [](std::string_view bytes) {
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    };
    text += u'\n';
    text += value.Valid() ? Units::BothForPeople(*value.PciL(), 1, FUnit)
                          : QStringLiteral("not a reading: \"%1\"")
                                .arg(MessageText::Shown(latin1(value.Text()), 40));
    if (!value.Events().empty())
        text += QStringLiteral("\nEvents: ") + MessageText::Shown(latin1(value.Events()), 40);
    return text;
}

bool TReadingsPanel::eventFilter(QObject* Watched, QEvent* Event) {
    // The box's own palette, not the panel's: a parent hears of a change before its children.
    if (Watched == Chart && Event->type() == QEvent::PaletteChange)
        RedrawChart();
    return QWidget::eventFilter(Watched, Event);
}
