#pragma once

#include "core/logging/GraphReadout.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>

class QFontMetricsF;
class QPainter;

// The graph page as a picture, a data file or a printed report, each standing
// on its own: titled, dated, with axes and legend. Everything is drawn again
// as vectors from the samples, so a report is as sharp as its printer.
struct LogSummary;

namespace GraphExport {

// The window's colours (a black canvas), or ink on white paper.
enum class Look { Screen, Paper };

// How the page is drawn: the Y range, the X labels, the target line.
struct PlotSetup {
    int max = 160;
    int min = -60;
    GraphReadout::AxisMode axis = GraphReadout::AxisMode::Sample;
    QString target; // temperature of the target line; empty for none
    Look look = Look::Screen;
};

// How a sensor's curve is drawn.
struct Ink {
    QColor colour;
    Qt::PenStyle style;
};
Ink sensorInk(Look look, int sensor);

// The page as CSV: header
// "index,elapsed_s,time,PT100A,PT100B,SENSOR1,SENSOR2,status", one line per
// sample `first` ... `last`, lines ended by CR LF, UTF-8. Of a stored log,
// `first` ... `last` are lines, and the samples missing between them (from
// sample 0 when `first` is 0) get lines of their own. Times are ISO 8601
// with the UTC offset (empty when the log's start is unknown); a "*" reading
// and a missing one are empty fields. status: "ok", "missing" (no reply) or
// "invalid" (a reading that is not a number, left empty).
QByteArray csv(const GraphPage &page, qint64 first, qint64 last);
inline QByteArray csv(const GraphPage &page)
{
    return csv(page, page.first, page.last);
}
// "yyyy-MM-ddTHH:mm:ss+hh:mm".
QString isoTime(const QDateTime &t);

// The plot's grid, curves and target line inside `plot` (no text).
void drawPlot(QPainter &g, const QRectF &plot, const GraphPage &page, const PlotSetup &setup);
// A text of the axes and the box it takes.
struct Label {
    QRectF box;
    QString text;
};
// The Y labels left of `plot` with the title "温度 [℃]" above them, the X
// labels under it (each centred on its tick, as many as have room, the
// last always) with the title of the axis kind.
QList<Label> axisLabels(const QFontMetricsF &fm, const QRectF &plot, const GraphPage &page,
                        const PlotSetup &setup);
void drawAxes(QPainter &g, const QRectF &plot, const GraphPage &page, const PlotSetup &setup);
// The legend: the four sensors in their colours (on paper, a piece of each
// curve and its name), in one row from `at`.
void drawLegend(QPainter &g, const QPointF &at, Look look = Look::Screen);
// "開始：…　1Point = …[s]　範囲：下限～上限[℃]　サンプル：…～…", the sample
// numbers those of the CSV of the page.
QString describe(const GraphPage &page, const PlotSetup &setup);

// The page as a picture of `size` pixels for a report, drawn on white as on
// paper: the report's heading (title, file, start), axes and legend, every
// text pictureTextPixels(size) pixels high or more.
QImage image(const GraphPage &page, const PlotSetup &setup, QSize size);
// The axes' texts of that picture.
QList<Label> pictureLabels(const GraphPage &page, const PlotSetup &setup, QSize size);
// The face of every text of a picture or a report.
QFont reportFont();
// A sixtieth of the width, rounded up: the picture's text size.
int pictureTextPixels(QSize size);
// The sizes offered when a picture is saved; the first is the default.
QList<QSize> pictureSizes();

// Title of the printed report.
QString reportTitle();
// One report page into `pageRect` of a painter on a printer or PDF writer,
// in ink on white whatever `setup.look` says.
void drawReport(QPainter &g, const QRectF &pageRect, const GraphPage &page, const PlotSetup &setup,
                int pageNumber, int pageCount);
// The first page of a whole log's report: what the log holds.
void drawSummary(QPainter &g, const QRectF &pageRect, const LogSummary &summary, int pageNumber,
                 int pageCount);

// Writes `bytes` whole or not at all (DiskFile: a temporary file renamed into
// place); on failure the old file stays and `reason` says why.
bool writeFile(const QString &path, const QByteArray &bytes, QString *reason = nullptr);
bool writeImage(const QString &path, const QImage &image, QString *reason = nullptr);

} // namespace GraphExport
