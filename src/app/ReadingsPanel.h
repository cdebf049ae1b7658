#pragma once

#include "measurement/Measurement.h"

#include <QWidget>

class QPlainTextEdit;
class QSplitter;
class TBufferedPaintBox;

// The "Readings" panel below the editor: the summary and checks of the editor's report beside
// the chart of its readings. It only shows what it is given; the editor's text is never
// touched from here.
class TReadingsPanel : public QWidget {
    Q_OBJECT
public:
    explicit TReadingsPanel(QWidget* Parent = nullptr);

    void Show(const TMeasurement& Measurement, TUnit Unit);
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

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void RenderChart();
    void RedrawChart();

    TMeasurement FMeasurement;
    TUnit FUnit = TUnit::PciL;
    int FUpdates = 0;
    int FChartRenders = 0;
};
