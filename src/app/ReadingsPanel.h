#pragma once

#include "measurement/Measurement.h"

#include <QWidget>

class QPlainTextEdit;

// The "Readings" panel below the editor: the summary and checks of the editor's report. It
// only shows what it is given; the editor's text is never touched from here.
class TReadingsPanel : public QWidget {
    Q_OBJECT
public:
    explicit TReadingsPanel(QWidget* Parent = nullptr);

    void Show(const TMeasurement& Measurement, TUnit Unit);
    const TMeasurement& Measurement() const { return FMeasurement; }
    TUnit Unit() const { return FUnit; }
    // How many times Show has run: lets the window's tests see an update happen.
    int Updates() const { return FUpdates; }

    QPlainTextEdit* SummaryMemo;

private:
    TMeasurement FMeasurement;
    TUnit FUnit = TUnit::PciL;
    int FUpdates = 0;
};
