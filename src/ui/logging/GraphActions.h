#pragma once

#include "core/logging/GraphExport.h"

#include <QList>
#include <QStringList>

class QPagedPaintDevice;
class QWidget;

// The graph window's exports: the save dialog for the path (through the
// dialog seam), the file written whole, and a message when it could not be.
namespace GraphActions {

// The stored log behind the page shown, for the exports that offer it
// whole: its pages as the graph pages it, every sample, its memo, the
// folder of the system logs that recorded its alarms and the step rows a
// pattern run wrote beside it. Empty for the live graph.
struct WholeLog {
    QList<GraphPage> pages;
    GraphPage all;
    QString memo;
    QString systemLogFolder;
    QString stepsPath;
    // Only a log of more than one page is offered whole; a one-page log's
    // report always has its summary too.
    bool offered() const { return pages.size() > 1; }
    bool stored() const { return !pages.isEmpty(); }
};

// The questions of the exports: the picture's size, and the page shown or
// the whole log.
QString sizeQuestion();
QStringList sizeChoices();
QString csvRangeQuestion();
QStringList csvRangeChoices();
QString reportRangeQuestion();
// The report's choices: the page shown, or the whole log with the number of
// pages it prints (a summary and one per page of the graph).
QStringList reportRangeChoices(const WholeLog &whole);

// Messages when a file could not be written, with the system's reason.
QString imageFailText(const QString &path, const QString &reason = QString());
QString csvFailText(const QString &path, const QString &reason = QString());
// Confirmation of a report saved as PDF.
QString pdfSavedText(const QString &path);

// "画像保存": `image` as PNG. Returns the path written, or empty.
QString saveImage(QWidget *parent, const QImage &image, const QString &folder);
// "画像保存" of the page: asks the picture's size, then saves it as PNG.
QString savePicture(QWidget *parent, const GraphPage &page, const GraphExport::PlotSetup &setup,
                    const QString &folder);
// "CSV保存": the page as CSV, or, when `whole` is offered and chosen, every
// sample of the log. Returns the path written, or empty.
QString saveCsv(QWidget *parent, const GraphPage &page, const QString &folder,
                const WholeLog &whole = {});
// "レポート印刷": asks, then prints the report on the printer chosen or on a
// PDF file; a saved PDF is confirmed with its path. When `whole` is
// offered, the page shown or the whole log is chosen; a stored log of one
// page prints its summary and its page.
void printReport(QWidget *parent, const GraphPage &page, const GraphExport::PlotSetup &setup,
                 const QString &folder, const WholeLog &whole = {});
// The report page on `printer` (A4 landscape); false when nothing printed.
bool printReportTo(QPagedPaintDevice &printer, const GraphPage &page,
                   const GraphExport::PlotSetup &setup);
// The whole log's report on `printer`: the summary, then each page of the
// log, numbered "n / N"; false when nothing printed.
bool printWholeReportTo(QPagedPaintDevice &printer, const WholeLog &whole,
                        const GraphExport::PlotSetup &setup, const LogSummary &summary);

} // namespace GraphActions
