#include "shell/ToolbarKeys.h"

#include <QAction>
#include <QKeyEvent>
#include <QToolBar>
#include <QToolButton>

namespace {

// The bar's buttons in their order, whether they can take the focus now or not.
QList<QToolButton *> buttonsOf(QToolBar *bar)
{
    QList<QToolButton *> buttons;
    for (QAction *a : bar->actions()) {
        if (auto *b = qobject_cast<QToolButton *>(bar->widgetForAction(a)))
            buttons << b;
    }
    return buttons;
}

bool reachable(const QToolButton *b)
{
    return b->isEnabled() && b->isVisible();
}

} // namespace

ToolbarKeys::ToolbarKeys(QToolBar *bar) : QObject(bar), m_bar(bar) {}

void ToolbarKeys::attach(QToolBar *bar)
{
    auto *keys = new ToolbarKeys(bar);
    // A toolbar's buttons are made to stay out of the focus chain; a user
    // without a mouse has no other way to some of these commands.
    for (QToolButton *b : buttonsOf(bar)) {
        b->setFocusPolicy(Qt::TabFocus);
        b->installEventFilter(keys);
    }
}

bool ToolbarKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return QObject::eventFilter(watched, event);
    const bool rightToLeft = m_bar->layoutDirection() == Qt::RightToLeft;
    int step = 0;
    bool fromEnd = false;
    switch (key->key()) {
    case Qt::Key_Left:
        step = rightToLeft ? 1 : -1;
        break;
    case Qt::Key_Right:
        step = rightToLeft ? -1 : 1;
        break;
    case Qt::Key_Home:
        step = 1;
        fromEnd = true;
        break;
    case Qt::Key_End:
        step = -1;
        fromEnd = true;
        break;
    default:
        return QObject::eventFilter(watched, event);
    }
    const QList<QToolButton *> buttons = buttonsOf(m_bar);
    const qsizetype n = buttons.size();
    qsizetype at = fromEnd ? (step > 0 ? -1 : n) : buttons.indexOf(watched);
    // Along the bar, round from one end to the other.
    for (qsizetype tries = 0; tries < n; ++tries) {
        at += step;
        if (fromEnd && (at < 0 || at >= n))
            break;
        at = (at + n) % n;
        if (reachable(buttons.at(at))) {
            buttons.at(at)->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    return true;
}
