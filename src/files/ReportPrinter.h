#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

class QPrinter;

// Prints the lines on Printer in Font, laid out by PrintLayout: left margin 250 device
// pixels, each line's top-left corner at its row's top. No lines: a job with nothing drawn.
// The text takes Color, the colour of the editor's font.
// Failure to start the job: Exception "Cannot start the print job".
void PrintReport(QPrinter& Printer, const QFont& Font, const QStringList& Lines,
                 const QString& JobName, const QColor& Color = Qt::black);
