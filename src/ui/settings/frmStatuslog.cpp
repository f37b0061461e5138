#include "ui/settings/frmStatuslog.h"

#include "core/app/WindowState.h"
#include "ui/shell/SubWindows.h"

#include <QGridLayout>
#include <QLabel>
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

    alarm_c = new QPushButton(QStringLiteral("詳細"), this);
    alarm_c->setObjectName(QStringLiteral("alarm_c"));
    // Hidden, it still holds its place, so the window keeps its shape.
    QSizePolicy keep = alarm_c->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    alarm_c->setSizePolicy(keep);
    connect(alarm_c, &QPushButton::clicked, this, &frmStatuslog::alarmRequested);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
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

void frmStatuslog::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        SubWindows::arrangeMonitors(this);
    }
}
