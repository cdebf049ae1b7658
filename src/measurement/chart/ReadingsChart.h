#pragma once

#include "measurement/Measurement.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QPointF>
#include <QRectF>
#include <QSize>

class QPainter;
class QPaintDevice;

// The colours of the chart. Each must stand out against Background.
struct TChartPalette {
    QColor Background, Text, Grid, Bar, Shade, Level, ConsiderFixing, Mean, EventT, EventP;
};

// The chart of a report's readings: one bar per reading over time, the measurement's reference
// level (and where the EPA's "consider fixing" begins) as dashed lines, the hours left out of
// the result shaded (the first 4, or 24 after mitigation), the mean of the rest as a line, T
// and P events marked above their readings, invalid values left as gaps. One routine for the
// screen, images and PDF. At most about 20 ticks an axis, however long the test.
namespace ReadingsChart {

TChartPalette LightPalette();
TChartPalette DarkPalette();
// Background and text from Palette, the rest from the light or dark set as its base is.
TChartPalette PaletteFor(const QPalette& Palette);

// Paints into Rect on the painter's device (its font sizes the labels). Nothing is drawn
// outside Rect.
void Paint(QPainter& Painter, const QRectF& Rect, const TMeasurement& Measurement, TUnit Unit,
           const TChartPalette& Palette);

// The reading under Position (index k - 1) when the chart was painted into Rect with Font on
// Device (nullptr: the screen); -1 outside the bars' columns.
int HitTest(const QRectF& Rect, const TMeasurement& Measurement, TUnit Unit, const QFont& Font,
            QPointF Position, const QPaintDevice* Device = nullptr);

// The chart alone, Size in device-independent pixels, the image holding Size x
// DevicePixelRatio pixels.
QImage Render(const TMeasurement& Measurement, TUnit Unit, QSize Size, const TChartPalette& Palette,
              const QFont& Font = QFont(), qreal DevicePixelRatio = 1.0);
QByteArray RenderPng(const TMeasurement& Measurement, TUnit Unit, QSize Size,
                     const TChartPalette& Palette, const QFont& Font = QFont());

} // namespace ReadingsChart
