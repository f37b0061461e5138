#pragma once

#include "core/logging/GraphScale.h"

#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

struct Parameter;

// Where the samples of a drawing come from: sensor k's text of sample i, or an
// empty text when there is no such sample.
using SampleText = std::function<QString(int sensor, qint64 sample)>;

// The persistent drawing of the temperature graph. Coordinates are twips as
// the graph was designed (500 twips a grid division, 50 or 25 a sample, 46000
// wide); the image holds them at `pixelsPerTwip`. Everything drawn stays until
// the canvas is cleared, so a new sample costs four short segments.
class GraphCanvas {
public:
    static constexpr int WidthTwips = 46000;
    static constexpr int DivisionTwips = 500;

    // Plot colours of sensors 0-3, grid and target line.
    static QColor sensorColour(int sensor);
    static QColor gridColour();
    static QColor targetColour();
    static QColor backColour();

    explicit GraphCanvas(double pixelsPerTwip = 1.0 / 15.0);

    double pixelsPerTwip() const { return m_pxPerTwip; }
    int heightTwips() const { return m_heightTwips; }
    // Height follows the viewport; the drawing is cleared.
    void setHeightTwips(int twips);
    // The pixel of a point given in twips.
    QPoint toPixel(double xTwips, double yTwips) const;

    const QImage &image() const { return m_image; }

    void clear();
    void DrawGrid(const Parameter &p);
    // Four segments from sample i - 1 to sample i at position x; a sensor whose
    // reading is empty or "*" at either end is left out. Returns false when a
    // reading is not a number (its segment is left out too).
    bool PlotSample(const Parameter &p, const SampleText &values, qint64 x, qint64 i);
    // Four segments from line i0 at position x0 to line i1 at x1 (a stored
    // log's lines stand at their samples' times, so a missed reply leaves a
    // gap the caller does not join). Returns false as PlotSample does.
    bool PlotBetween(const Parameter &p, const SampleText &values, qint64 x0, qint64 i0, qint64 x1,
                     qint64 i1);
    // A dashed line at the temperature; an empty or non-numeric text draws
    // nothing. Returns whether a line was drawn.
    bool DrawTargetLine(const Parameter &p, const QString &temperature);

    // The whole live page: grid, target line, samples GraphPageStart + 1 ...
    // LogCount of SenValues.
    void RedrawLiveGraph(Parameter &p);
    // A stored log: the page starting at sample `pageStart` (600 samples) when
    // `paged`, otherwise samples 1 ... `highest`.
    void RedrawFileGraph(Parameter &p, const SampleText &values, bool paged, qint64 pageStart,
                         qint64 highest);

private:
    bool plot(QPainter &g, const Parameter &p, const SampleText &values, qint64 xa, qint64 ia,
              qint64 xb, qint64 ib);
    void begin(QPainter &g);

    double m_pxPerTwip;
    int m_heightTwips = 4000;
    QImage m_image;
};
