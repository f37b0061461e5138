#include "ui/control/PatternPlanView.h"

#include "core/logging/GraphCanvas.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

PatternPlanView::PatternPlanView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PatternPlanView"));
    // Drawn by hand, so it names itself; the summary is what a reader says.
    setAccessibleName(QStringLiteral("パターンの計画"));
    setFocusPolicy(Qt::NoFocus);
}

QString PatternPlanView::summary() const
{
    return m_plan.isValid() ? m_plan.summaryLine() : QString();
}

void PatternPlanView::setPlan(const PatternPlan &plan)
{
    m_plan = plan;
    // Told to a screen reader only when it changes: the editor sets the
    // plan at every key.
    if (accessibleDescription() != summary())
        setAccessibleDescription(summary());
    update();
}

QSize PatternPlanView::sizeHint() const
{
    return {260, 110};
}

QSize PatternPlanView::minimumSizeHint() const
{
    return {200, 80};
}

void PatternPlanView::paintEvent(QPaintEvent *)
{
    QPainter g(this);
    g.fillRect(rect(), GraphCanvas::backColour());
    g.setPen(GraphCanvas::gridColour());
    g.drawRect(rect().adjusted(0, 0, -1, -1));
    const QList<PlannedStep> &steps = m_plan.steps();
    double low = 0;
    double high = 0;
    bool any = false;
    for (const PlannedStep &s : steps) {
        if (!s.registered())
            continue;
        low = any ? std::min(low, s.setC) : s.setC;
        high = any ? std::max(high, s.setC) : s.setC;
        any = true;
    }
    if (!any)
        return;
    // A margin of a tenth of the range (5 ℃ at least) keeps flat plans off
    // the frame.
    const double margin = std::max(5.0, (high - low) / 10);
    low -= margin;
    high += margin;
    // Zero holds still show their set temperature: each step is at least a
    // sliver wide.
    const qint64 total = std::max<qint64>(1, m_plan.totalHoldS());
    const QRectF area = QRectF(rect()).adjusted(6, 6, -6, -6);
    const double sliver = std::max(1.0, total / 200.0);
    double span = 0;
    for (const PlannedStep &s : steps)
        span += s.registered() ? std::max<double>(double(s.holdS), sliver) : sliver;
    const auto yOf = [&](double c) {
        return area.bottom() - (c - low) / (high - low) * area.height();
    };

    g.setRenderHint(QPainter::Antialiasing);
    double at = 0;
    QPointF last;
    bool joined = false;
    for (const PlannedStep &s : steps) {
        const double width = s.registered() ? std::max<double>(double(s.holdS), sliver) : sliver;
        const double x0 = area.left() + at / span * area.width();
        const double x1 = area.left() + (at + width) / span * area.width();
        at += width;
        if (!s.registered()) {
            joined = false;
            continue;
        }
        QPen pen(GraphCanvas::targetColour(), 2);
        pen.setStyle(s.sensor == 1 ? Qt::DashLine : Qt::SolidLine);
        g.setPen(pen);
        const QPointF start(x0, yOf(s.setC));
        if (joined)
            g.drawLine(last, start);
        const QPointF end(x1, start.y());
        g.drawLine(start, end);
        last = end;
        joined = true;
    }
}
