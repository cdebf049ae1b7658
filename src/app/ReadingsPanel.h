#pragma once

#include "measurement/Measurement.h"

#include <QWidget>
#include <memory>

class QPlainTextEdit;
class QSplitter;
class QThread;
class TBufferedPaintBox;

// The "Readings" panel below the editor: the summary and checks of the editor's report beside
// the chart of its readings. It only shows what it is given; the editor's text is never
// touched from here.
class TReadingsPanel : public QWidget {
    Q_OBJECT
public:
    explicit TReadingsPanel(QWidget* Parent = nullptr);

    void Show(TMeasurement Measurement, TUnit Unit);
    // Measures Lines and shows them: at once for a report of ordinary length, else on a
    // worker thread, so that the window never waits for a long report (a newer request
    // replaces one still waiting).
    void Measure(const QStringList& Lines, const TCriteria& Criteria, TUnit Unit);
    // Reports up to this many characters are measured at once.
    static constexpr qsizetype MeasureAtOnce = 256 * 1024;
    // True while a long report is being measured.
    bool Measuring() const { return FWorker != nullptr; }
    const TMeasurement& Measurement() const { return FMeasurement; }
    TUnit Unit() const { return FUnit; }
    // How many times Show and the chart's drawing have run: lets the window's tests see an
    // update happen, and a needless one not happen.
    int Updates() const { return FUpdates; }
    int ChartRenders() const { return FChartRenders; }

    // What hovering the chart at Position shows: the reading's time, its value in both units
    // and its events; empty outside the bars.
    QString HoverText(QPoint Position) const;

    QSplitter* Splitter;
    QPlainTextEdit* SummaryMemo;
    TBufferedPaintBox* Chart;

    ~TReadingsPanel() override;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    struct TRequest;
    void StartWorker(std::unique_ptr<TRequest> Request);
    void RenderChart();
    void RedrawChart();

    TMeasurement FMeasurement;
    TUnit FUnit = TUnit::PciL;
    int FUpdates = 0;
    int FChartRenders = 0;
    QThread* FWorker = nullptr;
    // What the worker measures, and the request made meanwhile, measured when it is done.
    std::unique_ptr<TRequest> FRunning, FPending;
};
