#include "ui/settings/frmStatus.h"

#include "ui/settings/DesignedPlace.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *valueLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

frmStatus::frmStatus(StatusWindowState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmStatus"));
    setWindowTitle(StatusLabels::windowTitle());

    auto *grid = new QGridLayout;
    for (int i = 0; i < StatusLabels::Count; ++i) {
        auto *caption = new QLabel(StatusLabels::caption(i), this);
        caption->setObjectName(StatusLabels::name(i) + QStringLiteral("_caption"));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        values[size_t(i)] = valueLabel(StatusLabels::name(i), this);
        // The value is read as what it shows; the caption labels it.
        caption->setBuddy(values[size_t(i)]);
        grid->addWidget(caption, i, 0);
        grid->addWidget(values[size_t(i)], i, 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(2);

    Update_c = new QPushButton(QStringLiteral("更新"), this);
    Update_c->setObjectName(QStringLiteral("Update_c"));
    Cancel_c = new QPushButton(QStringLiteral("閉じる"), this);
    Cancel_c->setObjectName(QStringLiteral("Cancel_c"));
    connect(Update_c, &QPushButton::clicked, this, &frmStatus::updateRequested);
    connect(Cancel_c, &QPushButton::clicked, this, &frmStatus::closeRequested);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(Update_c);
    buttons->addWidget(Cancel_c);
    buttons->addStretch(1);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);

    showState();
}

void frmStatus::showState()
{
    for (int i = 0; i < StatusLabels::Count; ++i)
        values[size_t(i)]->setText(m_state.values[size_t(i)]);
}

void frmStatus::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        moveToDesignedPlace(this, LeftTwips, TopTwips);
    }
}

void frmStatus::closeEvent(QCloseEvent *event)
{
    // The labels live as long as the window: a later opening starts blank
    // until a reply fills it.
    m_state = StatusWindowState();
    event->accept();
}
