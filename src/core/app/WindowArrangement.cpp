#include "core/app/WindowArrangement.h"

#include <algorithm>

namespace WindowArrangement {

Plan designed(QSize area, const Sizes &s)
{
    Plan plan;
    const QSize sen = s.size[SensorLog].expandedTo(s.least[SensorLog]);
    plan.rect[SensorLog] = QRect(s.place[SensorLog], sen);
    const QSize status = s.size[StatusLog].expandedTo(s.least[StatusLog]);
    QPoint statusAt = s.place[StatusLog];
    statusAt.setX(std::max(statusAt.x(), plan.rect[SensorLog].right() + 1));
    plan.rect[StatusLog] = QRect(statusAt, status);

    QPoint graphAt = s.place[Graph];
    graphAt.setY(std::max(
        {graphAt.y(), plan.rect[SensorLog].bottom() + 1, plan.rect[StatusLog].bottom() + 1}));
    const QSize readout = s.size[Readout].expandedTo(s.least[Readout]);
    const int readoutHeight = s.size[Readout].isEmpty() ? 0 : readout.height();
    const QSize graph(area.width() - graphAt.x() - s.graphMargin.width(),
                      area.height() - graphAt.y() - s.graphMargin.height() - readoutHeight);
    plan.rect[Graph] = QRect(graphAt, graph.expandedTo(s.least[Graph]));
    if (readoutHeight > 0)
        plan.rect[Readout] =
            QRect(QPoint(s.place[Readout].x(), plan.rect[Graph].bottom() + 1), readout);

    for (const QRect &r : plan.rect)
        if (r.isValid())
            plan.needed = plan.needed.expandedTo(QSize(r.right() + 1, r.bottom() + 1));
    return plan;
}

Plan besideGraph(QSize area, const Sizes &s)
{
    if (s.narrowReadout.isEmpty())
        return {};
    Sizes wide = s;
    wide.size[Readout] = QSize();
    Plan plan = designed(area, wide);
    const QRect graph = plan.rect[Graph];
    const QSize readout = s.narrowReadout;
    const int right = std::max(area.width() - s.graphMargin.width(),
                               graph.left() + s.least[Graph].width() + readout.width());
    const int graphWidth = right - readout.width() - graph.left();
    // The graph is as high as the read-out at least, so neither hangs below
    // the other into the margin.
    const int height = std::max(graph.height(), readout.height());
    plan.rect[Graph] = QRect(graph.topLeft(), QSize(graphWidth, height));
    plan.rect[Readout] = QRect(QPoint(right - readout.width(), graph.top()), readout);
    plan.needed = QSize();
    for (const QRect &r : plan.rect)
        if (r.isValid())
            plan.needed = plan.needed.expandedTo(QSize(r.right() + 1, r.bottom() + 1));
    return plan;
}

Plan sideBySide(const Sizes &s)
{
    Plan plan;
    int x = 0;
    for (int m : {SensorLog, StatusLog, Graph, Readout}) {
        if (m == Readout && s.size[Readout].isEmpty())
            break;
        const QSize size = m == Graph ? s.least[Graph] : s.size[m].expandedTo(s.least[m]);
        plan.rect[size_t(m)] = QRect(QPoint(x, 0), size);
        x += size.width();
        plan.needed = plan.needed.expandedTo(QSize(x, size.height()));
    }
    return plan;
}

QSize roomForReadout(QSize area, const Sizes &s)
{
    if (s.size[Readout].isEmpty())
        return area;
    const QSize readout = s.size[Readout].expandedTo(s.least[Readout]);
    return QSize(std::max(area.width(), s.place[Readout].x() + readout.width()),
                 area.height() + readout.height());
}

QSize growth(QSize area, QSize needed, QSize room)
{
    return QSize(std::clamp(needed.width() - area.width(), 0, std::max(room.width(), 0)),
                 std::clamp(needed.height() - area.height(), 0, std::max(room.height(), 0)));
}

} // namespace WindowArrangement
