#include "ui/logging/frmCurrentValues.h"

#include "core/control/RunProgress.h"
#include "core/logging/GraphCanvas.h"
#include "core/settings/StatusLabels.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QStackedWidget>

namespace {

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
}

} // namespace

frmCurrentValues::frmCurrentValues(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmCurrentValues"));
    setWindowTitle(QStringLiteral("現在値"));

    QFont big = font();
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * DigitScale);
    else
        big.setPixelSize(int(big.pixelSize() * DigitScale));
    big.setBold(true);
    const QFontMetrics bigMetrics(big);
    // Japanese text in the large type may come from a fallback font with
    // taller lines than the digits': every large label has room for both,
    // so the window keeps its size whatever they show.
    QLabel sample(QStringLiteral("通信異常") + CurrentValues::unusableText());
    sample.setFont(big);
    const int bigLine = std::max(bigMetrics.height(), sample.sizeHint().height());
    for (int k = 0; k < 4; ++k) {
        auto *caption = new QLabel(StatusLabels::caption(5 + k));
        swatch[size_t(k)] = new QLabel;
        QLabel *s = swatch[size_t(k)];
        s->setObjectName(QStringLiteral("swatch%1").arg(k));
        s->setFixedSize(caption->sizeHint().height(), caption->sizeHint().height());
        s->setAutoFillBackground(true);
        QPalette pal = s->palette();
        pal.setColor(QPalette::Window, GraphCanvas::sensorColour(k));
        s->setPalette(pal);
        temp[size_t(k)] = new QLabel(QStringLiteral("-"), this);
        QLabel *t = temp[size_t(k)];
        t->setObjectName(QStringLiteral("temp%1").arg(k));
        t->setFont(big);
        t->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setMinimumHeight(bigLine);
        // Room for the widest reading, so the digits never jump.
        t->setMinimumWidth(std::max({bigMetrics.horizontalAdvance(QStringLiteral("+000.00")),
                                     bigMetrics.horizontalAdvance(QStringLiteral("-000.00")),
                                     bigMetrics.horizontalAdvance(CurrentValues::unusableText())}) +
                           bigMetrics.horizontalAdvance(QLatin1Char('0')) / 2);
        caption->setBuddy(t);
        auto *head = new QWidget(this);
        auto *row = new QHBoxLayout(head);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        row->addWidget(s);
        row->addWidget(caption);
        row->addStretch();
        m_heads[size_t(k)] = head;
    }

    m_stack = new QStackedWidget(this);
    m_statusPage = new QWidget;
    auto value = [this](const QString &caption, const char *name, int i) {
        auto *c = new QLabel(caption, m_statusPage);
        auto *v = new QLabel(QStringLiteral("-"), m_statusPage);
        v->setObjectName(QLatin1String(name));
        c->setBuddy(v);
        m_statusCaptions[size_t(i)] = c;
        return v;
    };
    setPoint_l = value(QStringLiteral("設定温度　："), "setPoint_l", 0);
    state_l = value(StatusLabels::caption(0), "state_l", 1);
    step_l = value(StatusLabels::caption(4), "step_l", 2);
    elapsed_l = value(QStringLiteral("経過時間　："), "elapsed_l", 3);
    link_l = new QLabel(QStringLiteral("-"), m_statusPage);
    link_l->setObjectName(QStringLiteral("link_l"));

    m_runPage = new QWidget(this);
    m_runPage->setObjectName(QStringLiteral("runPage"));
    runPosition_l = new QLabel(m_runPage);
    runPosition_l->setObjectName(QStringLiteral("runPosition_l"));
    runLoop_l = new QLabel(m_runPage);
    runLoop_l->setObjectName(QStringLiteral("runLoop_l"));
    m_stepLeftCaption =
        new QLabel(RunProgress::stepLeftCaption() + QStringLiteral("："), m_runPage);
    runStepLeft_l = new QLabel(m_runPage);
    runStepLeft_l->setObjectName(QStringLiteral("runStepLeft_l"));
    m_stepLeftCaption->setBuddy(runStepLeft_l);
    m_endCaption = new QLabel(RunProgress::endCaption() + QStringLiteral("："), m_runPage);
    runEnd_l = new QLabel(m_runPage);
    runEnd_l->setObjectName(QStringLiteral("runEnd_l"));
    m_endCaption->setBuddy(runEnd_l);
    m_runPage->hide();

    m_stalePage = new QWidget;
    staleWhat_l = new QLabel(m_stalePage);
    staleWhat_l->setObjectName(QStringLiteral("staleWhat_l"));
    staleWhat_l->setFont(big);
    staleSince_l = new QLabel(m_stalePage);
    staleSince_l->setObjectName(QStringLiteral("staleSince_l"));
    staleTime_l = new QLabel(m_stalePage);
    staleTime_l->setObjectName(QStringLiteral("staleTime_l"));
    staleTime_l->setFont(big);
    // Room for the widest texts they show, so the window keeps its size
    // whatever they say.
    staleWhat_l->setMinimumSize(sample.fontMetrics().horizontalAdvance(QStringLiteral("通信異常")),
                                bigLine);
    staleTime_l->setMinimumSize(bigMetrics.horizontalAdvance(QStringLiteral("00:00:00")), bigLine);
    QLabel widestSince(QStringLiteral("最終受信（0000/00/00）"));
    widestSince.setFont(staleSince_l->font());
    staleSince_l->setMinimumSize(widestSince.sizeHint());
    m_stack->addWidget(m_statusPage);
    m_stack->addWidget(m_stalePage);

    layOut();
}

void frmCurrentValues::layOut()
{
    // Built again for each form; the widgets stay, their places change.
    delete layout();
    delete m_statusPage->layout();
    delete m_stalePage->layout();
    delete m_runPage->layout();

    auto *grid = new QGridLayout(this);
    // Tight margins: the window stands beside or under the graph, and on a
    // 1366 x 768 screen that leaves little room beside the other windows.
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    // Wide: each caption over its reading, the four side by side. Narrow:
    // each caption beside its reading, the four one above the other.
    for (int k = 0; k < 4; ++k) {
        if (m_narrow) {
            grid->addWidget(m_heads[size_t(k)], k, 0);
            grid->addWidget(temp[size_t(k)], k, 1);
        } else {
            grid->addWidget(m_heads[size_t(k)], 0, k);
            grid->addWidget(temp[size_t(k)], 1, k);
        }
    }
    const int below = m_narrow ? 4 : 2;
    grid->addWidget(m_stack, below, 0, 1, m_narrow ? 2 : 4);
    grid->addWidget(m_runPage, below + 1, 0, 1, m_narrow ? 2 : 4);
    grid->setRowStretch(below + 2, 1);

    // Wide: the place and loop, then both times, on two lines; narrow: one
    // item a line.
    auto *run = new QGridLayout(m_runPage);
    run->setContentsMargins(0, 0, 0, 0);
    run->setHorizontalSpacing(12);
    run->setVerticalSpacing(2);
    if (m_narrow) {
        run->addWidget(runPosition_l, 0, 0, 1, 2);
        run->addWidget(runLoop_l, 1, 0, 1, 2);
        run->addWidget(m_stepLeftCaption, 2, 0);
        run->addWidget(runStepLeft_l, 2, 1);
        run->addWidget(m_endCaption, 3, 0);
        run->addWidget(runEnd_l, 3, 1);
    } else {
        run->addWidget(runPosition_l, 0, 0);
        run->addWidget(runLoop_l, 0, 1, 1, 3);
        run->addWidget(m_stepLeftCaption, 1, 0);
        run->addWidget(runStepLeft_l, 1, 1);
        run->addWidget(m_endCaption, 1, 2);
        run->addWidget(runEnd_l, 1, 3);
    }
    run->setColumnStretch(m_narrow ? 1 : 3, 1);

    auto *status = new QGridLayout(m_statusPage);
    status->setContentsMargins(0, 0, 0, 0);
    status->setHorizontalSpacing(0);
    status->setVerticalSpacing(2);
    const std::array<QLabel *, 4> values{setPoint_l, state_l, step_l, elapsed_l};
    for (int i = 0; i < 4; ++i) {
        const int row = m_narrow ? i : 0;
        const int column = m_narrow ? 0 : 3 * i;
        status->addWidget(m_statusCaptions[size_t(i)], row, column);
        status->addWidget(values[size_t(i)], row, column + 1);
        if (!m_narrow)
            status->setColumnMinimumWidth(column + 2, 12);
    }
    if (m_narrow) {
        status->addWidget(link_l, 4, 0, 1, 2);
        status->setColumnStretch(1, 1);
        status->setRowStretch(5, 1);
    } else {
        status->addWidget(link_l, 0, 12);
        status->setColumnStretch(13, 1);
        status->setRowStretch(1, 1);
    }

    QBoxLayout *stale = m_narrow ? static_cast<QBoxLayout *>(new QVBoxLayout(m_stalePage))
                                 : new QHBoxLayout(m_stalePage);
    stale->setContentsMargins(0, 0, 0, 0);
    stale->setSpacing(m_narrow ? 0 : 12);
    stale->addWidget(staleWhat_l);
    stale->addWidget(staleSince_l, 0, m_narrow ? Qt::Alignment() : Qt::AlignBottom);
    stale->addWidget(staleTime_l);
    stale->addStretch();
    // The sub-window around it asks for the new size at once.
    updateGeometry();
}

void frmCurrentValues::setNarrow(bool narrow)
{
    if (narrow == m_narrow)
        return;
    m_narrow = narrow;
    layOut();
}

bool frmCurrentValues::showsStale() const
{
    return m_stack->currentWidget() == m_stalePage;
}

void frmCurrentValues::showValues(const CurrentValues &v)
{
    const bool live = v.freshness == CurrentValues::Freshness::Live;
    const QColor normal = palette().color(QPalette::WindowText);
    for (int k = 0; k < 4; ++k) {
        QLabel *t = temp[size_t(k)];
        t->setText(v.temps[size_t(k)]);
        setTextColour(t, live || v.temps[size_t(k)] == CurrentValues::unusableText()
                             ? normal
                             : staleColour());
    }
    setPoint_l->setText(v.setPoint);
    state_l->setText(v.state);
    step_l->setText(v.step);
    elapsed_l->setText(v.elapsed);
    link_l->setText(v.link);
    runPosition_l->setText(v.runPosition);
    runLoop_l->setText(v.runLoop);
    runStepLeft_l->setText(v.runStepLeft);
    runEnd_l->setText(v.runEnd);
    const bool running = !v.runPosition.isEmpty();
    if (running != m_runPage->isVisibleTo(this)) {
        m_runPage->setVisible(running);
        updateGeometry();
        // The window is never smaller than what it shows: it grows for the
        // run's lines (and keeps its size once they go).
        if (running && layout()) {
            layout()->activate();
            if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
                sub->resize(sub->size().expandedTo(sub->minimumSizeHint()));
        }
    }

    staleWhat_l->setText(v.staleWhat);
    setTextColour(staleWhat_l, v.freshness == CurrentValues::Freshness::LinkLost
                                   ? QColor(0xC0, 0x00, 0x00)
                                   : normal);
    staleSince_l->setText(v.staleSince);
    staleTime_l->setText(v.staleTime);
    m_stack->setCurrentWidget(live ? m_statusPage : m_stalePage);
}

void frmCurrentValues::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    SubWindows::arrangeMonitors(this);
}
