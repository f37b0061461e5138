#include "core/logging/GraphCanvas.h"

#include "core/config/Parameter.h"
#include "core/logging/GraphScale.h"

#include <QPainter>

#include <cmath>

namespace {

// Colours are kept as the instrument's documents write them (0x00BBGGRR).
QColor bgr(unsigned v)
{
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

QPen pen(const QColor &colour, Qt::PenStyle style = Qt::SolidLine)
{
    QPen p(colour, 1, style);
    p.setCosmetic(true);
    return p;
}

} // namespace

QColor GraphCanvas::sensorColour(int sensor)
{
    static const unsigned colours[4] = {0x000000FF, 0x0000FFFF, 0x00FF8080, 0x000080FF};
    return bgr(colours[sensor & 3]);
}

QColor GraphCanvas::gridColour()
{
    return bgr(0x0000C000);
}

QColor GraphCanvas::targetColour()
{
    return bgr(0x00C0FFFF);
}

QColor GraphCanvas::backColour()
{
    return Qt::black;
}

GraphCanvas::GraphCanvas(double pixelsPerTwip) : m_pxPerTwip(pixelsPerTwip)
{
    setHeightTwips(m_heightTwips);
}

void GraphCanvas::setHeightTwips(int twips)
{
    m_heightTwips = std::max(twips, 1);
    const int w = int(std::lround(WidthTwips * m_pxPerTwip));
    const int h = std::max(1, int(std::lround(m_heightTwips * m_pxPerTwip)));
    m_image = QImage(w, h, QImage::Format_RGB32);
    clear();
}

QPoint GraphCanvas::toPixel(double xTwips, double yTwips) const
{
    return QPoint(int(std::floor(xTwips * m_pxPerTwip)), int(std::floor(yTwips * m_pxPerTwip)));
}

void GraphCanvas::clear()
{
    m_image.fill(backColour());
}

void GraphCanvas::DrawGrid(const Parameter &p)
{
    QPainter g(&m_image);
    g.scale(m_pxPerTwip, m_pxPerTwip);
    g.setPen(pen(gridColour()));
    const double h = m_heightTwips;
    const int divisions = int(std::lround(p.GraphDivCount > 0 ? p.GraphDivCount : 4.0));
    for (int k = 1; k <= divisions; ++k) {
        // The last line lies on the bottom edge; keep it on the image.
        const double y = std::min(h / divisions * k, h - 1.0 / m_pxPerTwip);
        g.drawLine(QPointF(0, y), QPointF(WidthTwips, y));
    }
    const int columns = int(std::lround(double(WidthTwips) / DivisionTwips));
    for (int k = 1; k <= columns; ++k)
        g.drawLine(QPointF(k * DivisionTwips, 0), QPointF(k * DivisionTwips, h));
}

void GraphCanvas::begin(QPainter &g)
{
    g.begin(&m_image);
    g.scale(m_pxPerTwip, m_pxPerTwip);
}

bool GraphCanvas::PlotSample(const Parameter &p, const SampleText &values, qint64 x, qint64 i)
{
    if (i < 1)
        return true;
    QPainter g;
    begin(g);
    return plot(g, p, values, x - 1, i - 1, x, i);
}

bool GraphCanvas::PlotBetween(const Parameter &p, const SampleText &values, qint64 x0, qint64 i0,
                              qint64 x1, qint64 i1)
{
    QPainter g;
    begin(g);
    return plot(g, p, values, x0, i0, x1, i1);
}

bool GraphCanvas::plot(QPainter &g, const Parameter &p, const SampleText &values, qint64 xa,
                       qint64 ia, qint64 xb, qint64 ib)
{
    bool ok = true;
    const double x0 = double(p.GraphXScale) * double(xa);
    const double x1 = double(p.GraphXScale) * double(xb);
    for (int k = 0; k < 4; ++k) {
        double a = 0.0;
        double b = 0.0;
        const SampleKind ka = sampleValue(values(k, ia), &a);
        const SampleKind kb = sampleValue(values(k, ib), &b);
        if (ka == SampleKind::Invalid || kb == SampleKind::Invalid)
            ok = false;
        if (ka != SampleKind::Value || kb != SampleKind::Value)
            continue;
        g.setPen(pen(sensorColour(k)));
        g.drawLine(QPointF(x0, p.GraphZeroY - a * p.GraphYScale),
                   QPointF(x1, p.GraphZeroY - b * p.GraphYScale));
    }
    return ok;
}

bool GraphCanvas::DrawTargetLine(const Parameter &p, const QString &temperature)
{
    double t = 0.0;
    if (sampleValue(temperature, &t) != SampleKind::Value)
        return false;
    QPainter g(&m_image);
    g.scale(m_pxPerTwip, m_pxPerTwip);
    g.setPen(pen(targetColour(), Qt::DashLine));
    const double y = p.GraphZeroY - t * p.GraphYScale;
    g.drawLine(QPointF(0, y), QPointF(WidthTwips, y));
    return true;
}

void GraphCanvas::RedrawLiveGraph(Parameter &p)
{
    clear();
    DrawGrid(p);
    GraphScale::recompute(p, m_heightTwips);
    DrawTargetLine(p, p.TargetLineText);
    const SampleStore &sen = p.SenValues;
    const SampleText live = [&sen](int k, qint64 i) { return sen.text(k, i); };
    QPainter g;
    begin(g);
    for (qint64 i = qint64(p.GraphPageStart) + 1; i <= p.LogCount; ++i)
        plot(g, p, live, i - 1 - p.GraphPageStart, i - 1, i - p.GraphPageStart, i);
}

void GraphCanvas::RedrawFileGraph(Parameter &p, const SampleText &values, bool paged,
                                  qint64 pageStart, qint64 highest)
{
    clear();
    DrawGrid(p);
    GraphScale::recompute(p, m_heightTwips);
    QPainter g;
    begin(g);
    if (paged) {
        const qint64 last = std::min(highest, pageStart + 600);
        for (qint64 i = pageStart + 1; i <= last; ++i)
            plot(g, p, values, i - 1 - pageStart, i - 1, i - pageStart, i);
    } else {
        for (qint64 i = 1; i <= highest; ++i)
            plot(g, p, values, i - 1, i - 1, i, i);
    }
}
