#pragma once

#include "logging/GraphExport.h"

class QPagedPaintDevice;
class QWidget;

// The graph window's exports: the save dialog for the path (through the
// dialog seam), the file written whole, and a message when it could not be.
namespace GraphActions {

// Messages when a file could not be written, with the system's reason.
QString imageFailText(const QString &path, const QString &reason = QString());
QString csvFailText(const QString &path, const QString &reason = QString());
// Confirmation of a report saved as PDF.
QString pdfSavedText(const QString &path);

// "画像保存": `image` as PNG. Returns the path written, or empty.
QString saveImage(QWidget *parent, const QImage &image, const QString &folder);
// "CSV保存": the page as CSV. Returns the path written, or empty.
QString saveCsv(QWidget *parent, const GraphPage &page, const QString &folder);
// "レポート印刷": asks, then prints the report page on the printer, or on a
// PDF file when there is none; a saved PDF is confirmed with its path.
void printReport(QWidget *parent, const GraphPage &page, const GraphExport::PlotSetup &setup,
                 const QString &folder);
// The report page on `printer` (A4 landscape); false when nothing printed.
bool printReportTo(QPagedPaintDevice &printer, const GraphPage &page,
                   const GraphExport::PlotSetup &setup);

} // namespace GraphActions
