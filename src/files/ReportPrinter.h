#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

class QPageLayout;
class QPrinter;

// Prints the lines on Printer in Font, laid out by PrintLayout: left margin 250 device
// pixels, each line's top-left corner at its row's top. No lines: a job with nothing drawn.
// The text takes Color, the colour of the editor's font.
// Failure to start the job: Exception "Cannot start the print job".
void PrintReport(QPrinter& Printer, const QFont& Font, const QStringList& Lines,
                 const QString& JobName, const QColor& Color = Qt::black);

// The same pages as a PDF file at Path, for PageLayout at Resolution dots per inch: the
// document is made in memory, checked complete, and only then replaces the file through the
// atomic writer (a replaced file keeps its mode; a read-only one is refused). Failure:
// Exception naming Path; the old file stays as it was.
void PrintReportToPdf(const QString& Path, const QPageLayout& PageLayout, int Resolution,
                      const QFont& Font, const QStringList& Lines, const QColor& Color = Qt::black);
