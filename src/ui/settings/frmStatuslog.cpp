#include "ui/settings/frmStatuslog.h"

#include "core/app/WindowState.h"
#include "core/control/RunProgress.h"
#include "ui/shell/SubWindows.h"

#include <QGridLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

frmStatuslog::frmStatuslog(const StatuslogState &state, QWidget *parent)
    : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmStatuslog"));
    setWindowTitle(StatusLabels::logWindowTitle());

    auto *grid = new QGridLayout;
    for (int i = 0; i < StatusLabels::StatuslogCount; ++i) {
        auto *caption = new QLabel(StatusLabels::caption(i), this);
        caption->setObjectName(StatusLabels::name(i) + QStringLiteral("_caption"));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *value = new QLabel(this);
        value->setObjectName(StatusLabels::name(i));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The value is read as what it shows; the caption labels it.
        caption->setBuddy(value);
        values[size_t(i)] = value;
        grid->addWidget(caption, i, 0);
        grid->addWidget(value, i, 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(2);

    // The run's lines, below the status line: hidden while no pattern runs,
    // so the window keeps its size until one does.
    m_run = new QWidget(this);
    m_run->setObjectName(QStringLiteral("run"));
    auto *run = new QGridLayout(m_run);
    run->setContentsMargins(0, 0, 0, 0);
    run->setVerticalSpacing(2);
    const auto value = [this](const char *name) {
        auto *v = new QLabel(m_run);
        v->setObjectName(QLatin1String(name));
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return v;
    };
    runPosition_l = value("runPosition_l");
    runLoop_l = value("runLoop_l");
    runStepLeft_l = value("runStepLeft_l");
    runEnd_l = value("runEnd_l");
    run->addWidget(runPosition_l, 0, 0, 1, 2);
    run->addWidget(runLoop_l, 1, 0, 1, 2);
    const std::array<std::pair<QString, QLabel *>, 2> timed{
        {{RunProgress::stepLeftCaption(), runStepLeft_l}, {RunProgress::endCaption(), runEnd_l}}};
    for (size_t i = 0; i < timed.size(); ++i) {
        auto *caption = new QLabel(timed[i].first + QStringLiteral("："), m_run);
        caption->setBuddy(timed[i].second);
        run->addWidget(caption, int(i) + 2, 0);
        run->addWidget(timed[i].second, int(i) + 2, 1);
    }
    run->setColumnStretch(1, 1);
    m_run->hide();

    alarm_c = new QPushButton(QStringLiteral("詳細"), this);
    alarm_c->setObjectName(QStringLiteral("alarm_c"));
    // Hidden, it still holds its place, so the window keeps its shape.
    QSizePolicy keep = alarm_c->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    alarm_c->setSizePolicy(keep);
    connect(alarm_c, &QPushButton::clicked, this, &frmStatuslog::alarmRequested);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_run);
    layout->addStretch(1);
    layout->addWidget(alarm_c, 0, Qt::AlignRight);

    showState();
}

void frmStatuslog::showState()
{
    const QString *texts[] = {&m_state.nj_l, &m_state.no_l, &m_state.sd_l, &m_state.sa_l,
                              &m_state.js_l};
    for (int i = 0; i < StatusLabels::StatuslogCount; ++i)
        values[size_t(i)]->setText(*texts[i]);
    QLabel *nj = values[0];
    QPalette palette = nj->palette();
    palette.setColor(QPalette::WindowText, m_state.nj_red ? QColor(255, 0, 0) : QColor(Qt::black));
    nj->setPalette(palette);
    alarm_c->setVisible(m_state.alarmVisible);
}

void frmStatuslog::showRun(const RunProgress &run, const QDateTime &now)
{
    const bool running = run.active() && run.step() >= 0;
    if (running) {
        runPosition_l->setText(run.positionText());
        runLoop_l->setText(run.loopText());
        runStepLeft_l->setText(run.stepLeftText(now));
        runEnd_l->setText(run.endText(now));
    }
    if (running == m_run->isVisibleTo(this))
        return;
    m_run->setVisible(running);
    updateGeometry();
    // The window is never smaller than what it shows: it grows for the
    // run's lines (and keeps its size once they go).
    if (running && layout()) {
        layout()->activate();
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->resize(sub->size().expandedTo(sub->minimumSizeHint()));
    }
}

void frmStatuslog::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        SubWindows::arrangeMonitors(this);
    }
}
