#include "core/logging/GraphExport.h"
#include "core/logging/LogSummary.h"

#include "core/config/DiskFile.h"
#include "core/logging/GraphCanvas.h"
#include "core/logging/GraphScale.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QTimeZone>

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace GraphExport {

namespace {

constexpr int PageTwips = 30000;

const char *const kSensorNames[4] = {"PT100A", "PT100B", "SENSOR1", "SENSOR2"};

// One screen pixel in the painter's device units (a printer has many).
double unit(const QPainter &g)
{
    const QPaintDevice *d = g.device();
    return d ? std::max(1.0, d->logicalDpiX() / 96.0) : 1.0;
}

// Where a page's samples stand: each at its own time. A stored log has a
// line only for each reply that came, so its rows are placed by the sample
// number its stamp tells, and a missed reply leaves a gap, never a joined
// line. The live log's rows are its sample numbers.
struct Placed {
    qint64 index; // sample number
    qint64 line;  // row of the page's values
    bool afterGap;
};
struct Layout {
    std::vector<Placed> rows; // the samples whose reply came
    qint64 firstIndex = 0;
    qint64 lastIndex = 0;
    qint64 span = 600; // samples across the plot
    qint64 tick = 60;  // samples from one X label to the next
};

Layout layout(const GraphPage &page)
{
    Layout l;
    const qint64 width = PageTwips / std::max(1, page.xScale);
    l.span = width;
    l.tick = std::max<qint64>(1, width / 10);
    l.firstIndex = std::max<qint64>(0, page.first);
    l.lastIndex = std::max(l.firstIndex, page.last);
    if (!page.sampleOf) {
        const qint64 end = std::min(page.last, page.first + width + 1);
        for (qint64 i = l.firstIndex; i <= end; ++i)
            l.rows.push_back({i, i, false});
        return l;
    }
    bool first = true;
    bool gap = false;
    GraphReadout::forEachRow(page, page.first, page.last,
                             [&](qint64 index, qint64, qint64 line, bool) {
                                 if (first)
                                     l.firstIndex = index;
                                 first = false;
                                 l.lastIndex = index;
                                 if (line < 0) {
                                     gap = true;
                                     return;
                                 }
                                 l.rows.push_back({index, line, gap});
                                 gap = false;
                             });
    // A page whose lines span more time than the plot's width (replies were
    // missed) is drawn narrower, so every line of it is on the page; the
    // labels stay at round steps.
    const qint64 needed = l.lastIndex - l.firstIndex;
    if (needed > l.span)
        l.span = (needed + l.tick - 1) / l.tick * l.tick;
    return l;
}

double xOf(const QRectF &plot, const Layout &l, qint64 index)
{
    return plot.left() + double(index - l.firstIndex) / double(l.span) * plot.width();
}

// Seconds from the log's start to sample `index`.
qint64 secondsOf(const GraphPage &page, qint64 index)
{
    if (page.sampleOf)
        return index * (page.sampleStep > 0 ? page.sampleStep : page.interval);
    return page.elapsed ? page.elapsed(index) : index * page.interval;
}

QString tickText(const GraphPage &page, GraphReadout::AxisMode mode, qint64 index)
{
    switch (mode) {
    case GraphReadout::AxisMode::Elapsed: {
        const qint64 s = std::max<qint64>(0, secondsOf(page, index));
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s % 3600 / 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    }
    case GraphReadout::AxisMode::Clock:
        return page.start.isValid()
                   ? page.start.addSecs(secondsOf(page, index)).toString(QStringLiteral("HH:mm:ss"))
                   : QStringLiteral("--:--:--");
    case GraphReadout::AxisMode::Sample:
        break;
    }
    return QString::number(index);
}

double yOf(const QRectF &plot, const PlotSetup &setup, double t)
{
    const double span = setup.max - setup.min;
    return plot.top() + (setup.max - t) / (span != 0 ? span : 1.0) * plot.height();
}

// A field that a spreadsheet reads as one cell whatever it holds.
QByteArray csvField(const QString &text)
{
    QByteArray b = text.toUtf8();
    if (b.contains(',') || b.contains('"') || b.contains('\n') || b.contains('\r'))
        b = '"' + b.replace("\"", "\"\"") + '"';
    return b;
}

} // namespace

QString isoTime(const QDateTime &t)
{
    if (!t.isValid())
        return {};
    const int offset = t.offsetFromUtc();
    const int a = std::abs(offset) / 60;
    return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + QLatin1Char(offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(a / 60, 2, 10, QLatin1Char('0'))
               .arg(a % 60, 2, 10, QLatin1Char('0'));
}

namespace {

// Clock texts for a run of times in one zone, without a zone look-up per
// line: the offset is looked up again only past the zone's next transition.
class IsoClock {
public:
    explicit IsoClock(const QDateTime &start)
        : m_zone(start.timeZone()), m_start(start.toSecsSinceEpoch())
    {
        lookUp(m_start);
    }
    // The time `elapsed` seconds after the start, "yyyy-MM-ddTHH:mm:ss+hh:mm".
    QByteArray at(qint64 elapsed)
    {
        const qint64 utc = m_start + elapsed;
        if (utc >= m_next || utc < m_from)
            lookUp(utc);
        const qint64 local = utc + m_offset;
        const qint64 days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
        const qint64 secs = local - days * 86400;
        const QDate date = QDate(1970, 1, 1).addDays(days);
        const int a = std::abs(m_offset) / 60;
        char buf[64];
        const int n =
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", date.year(),
                          date.month(), date.day(), int(secs / 3600), int(secs % 3600 / 60),
                          int(secs % 60), m_offset < 0 ? '-' : '+', a / 60, a % 60);
        return QByteArray(buf, std::clamp(n, 0, int(sizeof buf) - 1));
    }

private:
    void lookUp(qint64 utc)
    {
        const QDateTime at = QDateTime::fromSecsSinceEpoch(utc, Qt::UTC);
        m_offset = m_zone.isValid() ? m_zone.offsetFromUtc(at) : 0;
        m_from = utc;
        m_next = std::numeric_limits<qint64>::max();
        if (m_zone.isValid() && m_zone.hasTransitions()) {
            const QTimeZone::OffsetData next = m_zone.nextTransition(at);
            if (next.atUtc.isValid())
                m_next = next.atUtc.toSecsSinceEpoch();
        }
    }

    QTimeZone m_zone;
    qint64 m_start;
    int m_offset = 0;
    qint64 m_from = 0;
    qint64 m_next = 0;
};

} // namespace

QByteArray csv(const GraphPage &page, qint64 first, qint64 last)
{
    first = std::max<qint64>(first, 0);
    QByteArray out;
    out.reserve(qsizetype(std::max<qint64>(0, last - first + 1)) * 80 + 64);
    out += "index,elapsed_s,time,PT100A,PT100B,SENSOR1,SENSOR2,status\r\n";
    std::optional<IsoClock> clock;
    if (page.start.isValid())
        clock.emplace(page.start);
    // Sample `index`, `elapsed` seconds in, with the readings of row `line`
    // (none for a sample whose reply never came).
    GraphReadout::forEachRow(
        page, first, last, [&](qint64 index, qint64 elapsed, qint64 line, bool timeFits) {
            out += QByteArray::number(index);
            out += ',';
            out += QByteArray::number(elapsed);
            out += ',';
            if (clock)
                out += clock->at(elapsed);
            bool received = false;
            bool invalid = !timeFits;
            for (int k = 0; k < 4; ++k) {
                const QString text = line >= 0 && page.values ? page.values(k, line) : QString();
                out += ',';
                received = received || !text.isEmpty();
                double v = 0.0;
                const SampleKind kind = sampleValue(text, &v);
                if (kind == SampleKind::Value)
                    out += csvField(text.trimmed());
                invalid = invalid || kind == SampleKind::Invalid;
            }
            out += !received ? ",missing\r\n" : invalid ? ",invalid\r\n" : ",ok\r\n";
        });
    return out;
}

Ink sensorInk(Look look, int sensor)
{
    if (look == Look::Screen)
        return {GraphCanvas::sensorColour(sensor), Qt::SolidLine};
    // On paper the curves differ in darkness as well as in hue, and each has
    // its own line style, so a grey print or a colour-blind reader still
    // tells them apart.
    static const Ink paper[4] = {{QColor(0, 0, 0), Qt::SolidLine},
                                 {QColor(170, 0, 0), Qt::DashLine},
                                 {QColor(0, 120, 255), Qt::DotLine},
                                 {QColor(240, 150, 0), Qt::DashDotLine}};
    return paper[sensor & 3];
}

void drawPlot(QPainter &g, const QRectF &plot, const GraphPage &page, const PlotSetup &setup)
{
    g.save();
    const double px = unit(g);
    const bool paper = setup.look == Look::Paper;
    g.fillRect(plot, paper ? QColor(Qt::white) : GraphCanvas::backColour());
    g.setClipRect(plot.adjusted(-px, -px, px, px));
    g.setRenderHint(QPainter::Antialiasing, false);
    const Layout l = layout(page);
    g.setPen(QPen(paper ? QColor(150, 150, 150) : GraphCanvas::gridColour(), paper ? px / 2 : px));
    for (int k = 0; k <= 4; ++k) {
        const double y = plot.top() + plot.height() * k / 4.0;
        g.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    // Six divisions between two labels, as on the window.
    const double division = double(l.tick) / 6.0;
    for (int k = 0; k * division <= l.span + 1e-9; ++k) {
        const double x = plot.left() + plot.width() * k * division / double(l.span);
        g.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    if (paper) {
        // Axes and frame: the lines where the X labels stand, darker.
        g.setPen(QPen(QColor(90, 90, 90), px / 2));
        for (qint64 j = l.tick; j < l.span; j += l.tick) {
            const double x = xOf(plot, l, l.firstIndex + j);
            g.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        }
        g.setPen(QPen(Qt::black, px));
        g.drawRect(plot);
    }
    g.setClipRect(plot);
    double t = 0.0;
    if (sampleValue(setup.target, &t) == SampleKind::Value) {
        QPen dashed(paper ? QColor(110, 110, 110) : GraphCanvas::targetColour(), px,
                    paper ? Qt::DashDotDotLine : Qt::DashLine);
        g.setPen(dashed);
        const double y = yOf(plot, setup, t);
        g.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    if (page.values) {
        g.setRenderHint(QPainter::Antialiasing, px > 1.0 || paper);
        const double width = paper ? px * 2 : px;
        for (int k = 0; k < 4; ++k) {
            QPainterPath path;
            // A sample with no neighbour to join is a dot, so a lone reply
            // between two gaps still shows.
            QList<QPointF> dots;
            bool joined = false;
            std::optional<QPointF> alone;
            for (const Placed &r : l.rows) {
                double v = 0.0;
                if (r.afterGap || sampleValue(page.values(k, r.line), &v) != SampleKind::Value) {
                    if (alone)
                        dots << *alone;
                    alone.reset();
                    joined = false;
                    if (r.afterGap &&
                        sampleValue(page.values(k, r.line), &v) == SampleKind::Value) {
                        const QPointF p(xOf(plot, l, r.index), yOf(plot, setup, v));
                        path.moveTo(p);
                        alone = p;
                        joined = true;
                    }
                    continue;
                }
                const QPointF p(xOf(plot, l, r.index), yOf(plot, setup, v));
                if (joined) {
                    path.lineTo(p);
                    alone.reset();
                } else {
                    path.moveTo(p);
                    alone = p;
                }
                joined = true;
            }
            if (alone)
                dots << *alone;
            const Ink ink = sensorInk(setup.look, k);
            g.setPen(QPen(ink.colour, width, ink.style, paper ? Qt::RoundCap : Qt::FlatCap));
            g.setBrush(Qt::NoBrush);
            g.drawPath(path);
            g.setPen(QPen(ink.colour, width * 2, Qt::SolidLine, Qt::RoundCap));
            for (const QPointF &d : dots)
                g.drawPoint(d);
        }
    }
    g.restore();
}

QList<Label> axisLabels(const QFontMetricsF &fm, const QRectF &plot, const GraphPage &page,
                        const PlotSetup &setup)
{
    QList<Label> out;
    const double gap = fm.horizontalAdvance(QLatin1Char(' '));
    const double h = fm.height();
    double yRoom = 0;
    for (int k = 0; k <= 4; ++k) {
        const QString text = QString::number(setup.max - double(setup.max - setup.min) * k / 4.0);
        const double y = plot.top() + plot.height() * k / 4.0;
        const double w = fm.horizontalAdvance(text);
        yRoom = std::max(yRoom, w);
        out.append({QRectF(plot.left() - gap - w, y - h / 2, w, h), text});
    }
    const QString yTitle = QStringLiteral("温度 [℃]");
    out.append({QRectF(plot.left() - gap - yRoom, plot.top() - h / 2 - gap / 2 - h,
                       fm.horizontalAdvance(yTitle), h),
                yTitle});

    // A label at every tick where they have room, always the first and the
    // last; each but the first centred on its tick.
    const Layout l = layout(page);
    const qint64 ticks = l.span / l.tick;
    QStringList texts;
    double widest = 0;
    for (qint64 j = 0; j <= ticks; ++j) {
        texts << tickText(page, setup.axis, l.firstIndex + j * l.tick);
        widest = std::max(widest, fm.horizontalAdvance(texts.last()));
    }
    const double pitch = plot.width() * double(l.tick) / double(l.span);
    // The first label starts at its tick, clear of the lowest Y label.
    const qint64 every = std::max<qint64>(1, qint64(std::ceil((widest * 1.5 + 2 * gap) / pitch)));
    const double top = plot.bottom() + gap / 2;
    for (qint64 j = 0; j <= ticks; ++j) {
        const bool last = j == ticks;
        if (j % every != 0 && !last)
            continue;
        // The label before the last makes way for it when they would touch.
        if (!last && j != 0 && ticks - j < every)
            continue;
        const double x = xOf(plot, l, l.firstIndex + j * l.tick);
        const double w = fm.horizontalAdvance(texts.at(j));
        out.append({QRectF(j == 0 ? x : x - w / 2, top, w, h), texts.at(j)});
    }
    const QString xTitle =
        setup.axis == GraphReadout::AxisMode::Elapsed ? QStringLiteral("経過時間 [h:mm:ss]")
        : setup.axis == GraphReadout::AxisMode::Clock ? QStringLiteral("時刻")
                                                      : QStringLiteral("サンプル");
    const double tw = fm.horizontalAdvance(xTitle);
    out.append({QRectF(plot.center().x() - tw / 2, top + h + gap / 2, tw, h), xTitle});
    return out;
}

double titleRoom(const QFontMetricsF &fm)
{
    return fm.height() * 1.5 + fm.horizontalAdvance(QLatin1Char(' '));
}

void drawAxes(QPainter &g, const QRectF &plot, const GraphPage &page, const PlotSetup &setup)
{
    g.save();
    const QFontMetricsF fm(g.font(), g.device());
    g.setPen(Qt::black);
    for (const Label &label : axisLabels(fm, plot, page, setup))
        g.drawText(label.box, Qt::AlignCenter | Qt::TextDontClip, label.text);
    g.restore();
}

void drawLegend(QPainter &g, const QPointF &at, Look look)
{
    g.save();
    const QFontMetricsF fm(g.font(), g.device());
    const double space = fm.horizontalAdvance(QLatin1Char(' '));
    double x = at.x();
    for (int k = 0; k < 4; ++k) {
        const QString name = QLatin1String(kSensorNames[k]);
        if (look == Look::Paper) {
            // A piece of the curve as it is drawn, then the name.
            const Ink ink = sensorInk(look, k);
            const double len = fm.height() * 2.5;
            const double y = at.y() + fm.height() / 2;
            g.setRenderHint(QPainter::Antialiasing, true);
            g.setPen(QPen(ink.colour, unit(g) * 2, ink.style, Qt::RoundCap));
            g.drawLine(QPointF(x, y), QPointF(x + len, y));
            x += len + space;
            g.setPen(Qt::black);
            g.drawText(QPointF(x, at.y() + fm.ascent()), name);
            x += fm.horizontalAdvance(name) + 3 * space;
            continue;
        }
        const QString text = QLatin1Char(' ') + name + QLatin1Char(' ');
        const QRectF box(x, at.y(), fm.horizontalAdvance(text), fm.height());
        g.fillRect(box, GraphCanvas::sensorColour(k));
        g.setPen(Qt::black);
        g.drawText(box, Qt::AlignCenter, text);
        x = box.right() + space;
    }
    g.restore();
}

QString describe(const GraphPage &page, const PlotSetup &setup)
{
    const QString start = page.start.isValid()
                              ? page.start.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                              : QStringLiteral("-");
    // The sample numbers the CSV of the page gives its first and last rows.
    const Layout l = layout(page);
    return QStringLiteral("開始：%1　1Point = %2[s]　範囲：%3～%4[℃]　サンプル：%5～%6")
        .arg(start)
        .arg(page.interval)
        .arg(setup.min)
        .arg(setup.max)
        .arg(l.firstIndex)
        .arg(l.lastIndex);
}

QString reportTitle()
{
    return QStringLiteral("温度グラフ　レポート");
}

namespace {

QString fileLine(const GraphPage &page)
{
    return page.isLive() ? page.title() : QStringLiteral("ファイル：") + page.fileName;
}

// Room the Y labels take left of the plot, and the last X label right of it.
double labelRoom(const QFontMetricsF &fm)
{
    return std::max(fm.horizontalAdvance(QStringLiteral("-55.5")),
                    fm.horizontalAdvance(QStringLiteral("温度 [℃]")) / 2) +
           fm.horizontalAdvance(QStringLiteral("  "));
}

// Title, file and description lines from `top`; returns the y under them.
double drawHeading(QPainter &g, double left, double top, const GraphPage &page,
                   const PlotSetup &setup, const QFont &text, const QFont &title)
{
    const QFontMetricsF tm(title, g.device());
    const QFontMetricsF fm(text, g.device());
    double y = top;
    g.setPen(Qt::black);
    g.setFont(title);
    g.drawText(QPointF(left, y + tm.ascent()), reportTitle());
    y += tm.height() + fm.height() / 2;
    g.setFont(text);
    g.drawText(QPointF(left, y + fm.ascent()), fileLine(page));
    y += fm.height();
    g.drawText(QPointF(left, y + fm.ascent()), describe(page, setup));
    return y + fm.height() * 1.5;
}

// The plot with its axes and legend filling `area` (the heading above it).
QRectF drawFigure(QPainter &g, const QRectF &area, const GraphPage &page, const PlotSetup &setup,
                  double belowExtra)
{
    const QFontMetricsF fm(g.font(), g.device());
    const double line = fm.height();
    const double left = area.left() + labelRoom(fm);
    const double right = area.right() - fm.horizontalAdvance(QStringLiteral("00:00:00")) / 2;
    // Above the plot the Y title; under it the X labels and title, the
    // legend (and what the caller adds).
    const double top = area.top() + titleRoom(fm);
    const double below = line * 1.2 + line * 1.3 + line * 1.5 + belowExtra;
    const QRectF plot(left, top, right - left, area.bottom() - below - top);
    drawPlot(g, plot, page, setup);
    drawAxes(g, plot, page, setup);
    drawLegend(g, QPointF(left, plot.bottom() + line * 2.6), setup.look);
    return plot;
}

void drawPageNumber(QPainter &g, const QRectF &pageRect, int pageNumber, int pageCount)
{
    const QFontMetricsF fm(g.font(), g.device());
    const QString number = QStringLiteral("%1 / %2").arg(pageNumber).arg(pageCount);
    g.setPen(Qt::black);
    g.drawText(QPointF(pageRect.center().x() - fm.horizontalAdvance(number) / 2,
                       pageRect.bottom() - fm.descent()),
               number);
}

} // namespace

int pictureTextPixels(QSize size)
{
    return int(std::ceil(size.width() / 60.0));
}

QList<QSize> pictureSizes()
{
    return {QSize(1600, 1000), QSize(2400, 1500), QSize(1200, 750)};
}

QFont reportFont()
{
    // A face that keeps a radical-shaped character such as 大 apart from the
    // radical itself: a PDF's text layer then holds the character as written
    // and can be searched. Its Latin letters go with it, so a line never
    // switches face after a full-width colon.
    QFont f;
    f.setFamilies({QStringLiteral("VL PGothic"), QStringLiteral("VL Gothic"),
                   QStringLiteral("Noto Sans CJK JP")});
    f.setStyleHint(QFont::SansSerif);
    return f;
}

namespace {

QImage picture(const GraphPage &page, const PlotSetup &setup, QSize size, QList<Label> *labels)
{
    size = size.expandedTo(QSize(600, 375));
    PlotSetup paper = setup;
    paper.look = Look::Paper;
    QImage out(size, QImage::Format_RGB32);
    // Lines and marks grow with the picture as its text does: a screen
    // pixel at 1200 wide, so every size shrunk to one width prints alike.
    const int dpm = int(std::lround(96.0 / 0.0254 * std::max(1.0, size.width() / 1200.0)));
    out.setDotsPerMeterX(dpm);
    out.setDotsPerMeterY(dpm);
    out.fill(Qt::white);
    QPainter g(&out);
    g.setRenderHint(QPainter::TextAntialiasing, true);
    // Text at a sixtieth of the width or more, so the picture can be shrunk
    // to a page's width and still be read.
    const int px = pictureTextPixels(size);
    QFont text = reportFont();
    text.setPixelSize(px);
    QFont title = text;
    title.setPixelSize(int(std::ceil(px * 1.3)));
    title.setBold(true);
    const double margin = px;
    const QRectF inner(margin, margin, size.width() - 2 * margin, size.height() - 2 * margin);
    const double top = drawHeading(g, inner.left(), inner.top(), page, paper, text, title);
    g.setFont(text);
    const QRectF plot = drawFigure(
        g, QRectF(inner.left(), top, inner.width(), inner.bottom() - top), page, paper, 0);
    if (labels)
        *labels = axisLabels(QFontMetricsF(text, &out), plot, page, paper);
    return out;
}

} // namespace

QImage image(const GraphPage &page, const PlotSetup &setup, QSize size)
{
    return picture(page, setup, size, nullptr);
}

QList<Label> pictureLabels(const GraphPage &page, const PlotSetup &setup, QSize size)
{
    QList<Label> labels;
    picture(page, setup, size, &labels);
    return labels;
}

void drawReport(QPainter &g, const QRectF &pageRect, const GraphPage &page, const PlotSetup &setup,
                int pageNumber, int pageCount)
{
    g.save();
    PlotSetup paper = setup;
    paper.look = Look::Paper;
    QFont text = reportFont();
    text.setPointSizeF(9);
    QFont title = text;
    title.setPointSizeF(16);
    title.setBold(true);
    const double top = drawHeading(g, pageRect.left(), pageRect.top(), page, paper, text, title);
    g.setFont(text);
    const double line = QFontMetricsF(text, g.device()).height();
    drawFigure(g, QRectF(pageRect.left(), top, pageRect.width(), pageRect.bottom() - top), page,
               paper, line * 1.5);
    drawPageNumber(g, pageRect, pageNumber, pageCount);
    g.restore();
}

void drawSummary(QPainter &g, const QRectF &pageRect, const LogSummary &summary, int pageNumber,
                 int pageCount)
{
    g.save();
    QFont text = reportFont();
    text.setPointSizeF(10);
    QFont head = text;
    head.setPointSizeF(12);
    head.setBold(true);
    QFont title = text;
    title.setPointSizeF(16);
    title.setBold(true);
    const QFontMetricsF tm(title, g.device());
    const QFontMetricsF hm(head, g.device());
    const QFontMetricsF fm(text, g.device());
    const double line = fm.height();
    const double left = pageRect.left();
    double y = pageRect.top();
    g.setPen(Qt::black);
    g.setFont(title);
    g.drawText(QPointF(left, y + tm.ascent()), reportTitle());
    y += tm.height() + line / 2;
    auto heading = [&](const QString &t) {
        g.setFont(head);
        y += line / 2;
        g.drawText(QPointF(left, y + hm.ascent()), t);
        y += hm.height() + line / 4;
        g.setFont(text);
    };
    auto cells = [&](const QStringList &row, const QList<double> &columns) {
        for (qsizetype c = 0; c < row.size() && c < columns.size(); ++c)
            g.drawText(QPointF(left + columns.at(c), y + fm.ascent()), row.at(c));
        y += line;
    };

    heading(QStringLiteral("ログの概要"));
    double labelWidth = 0;
    const auto lines = summary.lines();
    for (const auto &l : lines)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(l.first + QStringLiteral("：")));
    const double indent = fm.horizontalAdvance(QStringLiteral("　"));
    for (const auto &l : lines)
        cells({l.first + QStringLiteral("："), l.second}, {indent, 2 * indent + labelWidth});
    if (summary.graphPages > 1)
        cells({QStringLiteral(
                   "グラフは%1ページです。各ページは600行で、となりのページと300行ずつ重なります。")
                   .arg(summary.graphPages)},
              {indent});

    heading(QStringLiteral("センサ"));
    const double col = fm.horizontalAdvance(QStringLiteral("-000.00[℃]　　"));
    const QList<double> columns{indent, indent + col, indent + 2 * col, indent + 3 * col,
                                indent + 4 * col};
    cells({QStringLiteral("センサ"), QStringLiteral("最小"), QStringLiteral("最大"),
           QStringLiteral("平均"), QStringLiteral("読み取り数")},
          columns);
    g.setPen(QPen(Qt::black, unit(g) / 2));
    g.drawLine(QPointF(left + indent, y), QPointF(left + indent + 5 * col, y));
    for (int k = 0; k < 4; ++k) {
        const LogSummary::Sensor &sensor = summary.sensors[size_t(k)];
        auto value = [&sensor](double v) {
            return sensor.readings > 0 ? QString::number(v, 'f', 2) + QStringLiteral("[℃]")
                                       : QStringLiteral("-");
        };
        cells({QLatin1String(kSensorNames[k]), value(sensor.min), value(sensor.max),
               value(sensor.mean), QString::number(sensor.readings)},
              columns);
    }

    heading(QStringLiteral("欠測区間"));
    if (summary.longestGaps.isEmpty()) {
        cells({QStringLiteral("なし")}, {indent});
    } else {
        const double gcol = fm.horizontalAdvance(QStringLiteral("0000/00/00 00:00:00　　"));
        const QList<double> gcolumns{indent, indent + gcol, indent + gcol * 1.6};
        cells({summary.gapCount > summary.longestGaps.size()
                   ? QStringLiteral("%1か所（長い順に%2か所）")
                         .arg(summary.gapCount)
                         .arg(summary.longestGaps.size())
                   : QStringLiteral("%1か所").arg(summary.gapCount)},
              {indent});
        cells({QStringLiteral("開始時刻"), QStringLiteral("経過時間"), QStringLiteral("長さ")},
              gcolumns);
        for (const LogSummary::Gap &gap : summary.longestGaps) {
            const QString at = summary.start.isValid() ? summary.start.addSecs(gap.start).toString(
                                                             QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                                                       : QStringLiteral("-");
            cells({at, LogSummary::clockText(gap.start),
                   QStringLiteral("%1（%2サンプル）")
                       .arg(LogSummary::clockText(gap.seconds))
                       .arg(gap.samples)},
                  gcolumns);
        }
    }

    const double bottom = pageRect.bottom() - line * 1.5;
    // Rows past the page's room are counted, not drawn.
    auto rowsFit = [&](qsizetype rows, qsizetype reserve) {
        return std::max<qsizetype>(0, qsizetype((bottom - y) / line) - reserve) >= rows;
    };
    heading(QStringLiteral("アラーム"));
    const QStringList alarms =
        summary.alarms.isEmpty() ? QStringList{QStringLiteral("なし")} : summary.alarms;
    for (qsizetype i = 0; i < alarms.size(); ++i) {
        if (!rowsFit(2, summary.steps.isEmpty() ? 2 : 6)) {
            cells({QStringLiteral("（ほか%1件）").arg(alarms.size() - i)}, {indent});
            break;
        }
        cells({alarms.at(i)}, {indent});
    }

    if (!summary.steps.isEmpty()) {
        heading(QStringLiteral("ステップ実績"));
        const double scol = fm.horizontalAdvance(QStringLiteral("000:00:00　　"));
        QList<double> scolumns{indent};
        for (int c = 1; c < 6; ++c)
            scolumns << indent + scol * c;
        cells({QStringLiteral("ステップ"), QStringLiteral("ループ"), QStringLiteral("設定温度"),
               QStringLiteral("保持時間"), QStringLiteral("所要時間"), QStringLiteral("超過時間")},
              scolumns);
        qint64 plan = 0;
        qint64 took = 0;
        qint64 over = 0;
        bool unknown = false;
        for (const LogSummary::Step &st : summary.steps) {
            plan += st.holdS;
            if (st.durationS >= 0 && st.overS >= 0) {
                took += st.durationS;
                over += st.overS;
            } else {
                unknown = true;
            }
        }
        auto known = [](qint64 s) {
            return s >= 0 ? LogSummary::clockText(s) : QStringLiteral("不明");
        };
        for (qsizetype i = 0; i < summary.steps.size(); ++i) {
            if (!rowsFit(2, 3)) {
                cells({QStringLiteral("（ほか%1行）").arg(summary.steps.size() - i)}, {indent});
                break;
            }
            const LogSummary::Step &st = summary.steps.at(i);
            cells({QString::number(st.step), QString::number(st.loop),
                   QString::number(st.setC, 'f', 2) + QStringLiteral("[℃]"),
                   LogSummary::clockText(st.holdS), known(st.durationS), known(st.overS)},
                  scolumns);
        }
        cells({QStringLiteral("合計：計画 %1　所要 %2　計画より %3 超過%4")
                   .arg(LogSummary::clockText(plan), LogSummary::clockText(took),
                        LogSummary::clockText(over),
                        unknown ? QStringLiteral("（開始不明のステップを除く）") : QString())},
              {indent});
    }

    heading(QStringLiteral("メモ"));
    if (bottom > y) {
        // A memo longer than the page has room for is cut at its bottom.
        const QRectF box(left + indent, y, pageRect.width() - indent, bottom - y);
        g.save();
        g.setClipRect(box);
        g.drawText(box, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                   summary.memo.isEmpty() ? QStringLiteral("なし") : summary.memo);
        g.restore();
    }
    drawPageNumber(g, pageRect, pageNumber, pageCount);
    g.restore();
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *reason)
{
    return DiskFile::replace(path, bytes, reason);
}

bool writeImage(const QString &path, const QImage &image, QString *reason)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        if (reason)
            *reason = QStringLiteral("画像を作成できませんでした。");
        return false;
    }
    return writeFile(path, png, reason);
}

} // namespace GraphExport
