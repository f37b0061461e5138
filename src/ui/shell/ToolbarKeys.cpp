#include "ui/shell/ToolbarKeys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QStyleOptionToolButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace {

// The application's look, with a plain frame in the highlight colour round
// the focused button: the styles' own focus mark on a flat tool button is a
// faint fill hard to find on the bar.
class FocusFrameStyle : public QProxyStyle {
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override
    {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if (control != CC_ToolButton || !(option->state & State_HasFocus))
            return;
        painter->save();
        QPen pen(option->palette.color(QPalette::Active, QPalette::Highlight), 2);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option->rect).adjusted(1, 1, -1, -1));
        painter->restore();
    }
};

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

bool takesTab(const QWidget *w, const QWidget *within)
{
    return (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !w->focusProxy() &&
           w->isEnabled() && w->isVisibleTo(within);
}

// Whether Tab (or Shift+Tab) from `focus` would go round to the start (or
// end) of `sub`: the focus chain runs through the sub-window itself just
// before its first control.
bool goesRound(QWidget *focus, QMdiSubWindow *sub, bool forward)
{
    QWidget *w = focus;
    for (int guard = 0; guard < 100000; ++guard) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w == sub)
            return true;
        if (w == focus)
            return false;
        if (sub->isAncestorOf(w) && takesTab(w, sub))
            return false;
    }
    return false;
}

// The first (or last) control of `sub` that Tab reaches, in its focus
// chain's order; nullptr for a window with none.
QWidget *endControl(QMdiSubWindow *sub, bool first)
{
    QWidget *found = nullptr;
    QWidget *w = sub;
    for (int guard = 0; guard < 100000; ++guard) {
        w = w->nextInFocusChain();
        if (w == sub || !sub->isAncestorOf(w))
            break;
        if (takesTab(w, sub)) {
            found = w;
            if (first)
                break;
        }
    }
    return found;
}

// Tab is text in an edit box that does not hand it on.
bool typesTab(const QWidget *w)
{
    if (const auto *e = qobject_cast<const QPlainTextEdit *>(w))
        return !e->tabChangesFocus() && !e->isReadOnly();
    if (const auto *e = qobject_cast<const QTextEdit *>(w))
        return !e->tabChangesFocus() && !e->isReadOnly();
    return false;
}

} // namespace

ToolbarKeys::ToolbarKeys(QToolBar *bar, QMdiArea *area) : QObject(bar), m_bar(bar), m_area(area) {}

void ToolbarKeys::attach(QToolBar *bar, QMdiArea *area)
{
    auto *keys = new ToolbarKeys(bar, area);
    // A toolbar's buttons are made to stay out of the focus chain; a user
    // without a mouse has no other way to some of these commands.
    // (A proxy without a base follows the application's style.)
    auto *style = new FocusFrameStyle;
    style->setParent(keys);
    for (QToolButton *b : buttonsOf(bar)) {
        b->setFocusPolicy(Qt::TabFocus);
        b->setStyle(style);
    }
    // Tab is handled before the focused control sees it, wherever it is.
    qApp->installEventFilter(keys);
    if (area)
        connect(area, &QMdiArea::subWindowActivated, keys, &ToolbarKeys::keepKeyboard);
}

void ToolbarKeys::keepKeyboard(QMdiSubWindow *sub)
{
    if (!sub || !m_area)
        return;
    if (endControl(sub, true)) {
        m_working = sub;
        return;
    }
    // A window without a control (a read-out) has nothing for the keys: a
    // window that opens or comes up leaves them where the operator works,
    // or, when that window has gone, in the one worked in last.
    QMdiSubWindow *back = m_working && m_working->isVisible() ? m_working.data() : nullptr;
    const QList<QMdiSubWindow *> recent = m_area->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (qsizetype i = recent.size() - 1; !back && i >= 0; --i) {
        QMdiSubWindow *other = recent.at(i);
        if (other != sub && other->isVisible() && !other->isMinimized() && endControl(other, true))
            back = other;
    }
    if (back)
        m_area->setActiveSubWindow(back);
}

bool ToolbarKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    auto *widget = static_cast<QWidget *>(watched);
    if (widget->window() != m_bar->window())
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Tab && mods == Qt::ControlModifier) ||
        (key->key() == Qt::Key_Backtab && (mods & ~Qt::ShiftModifier) == Qt::ControlModifier))
        return turnPage(widget, key->key() == Qt::Key_Tab) || QObject::eventFilter(watched, event);
    if ((key->key() == Qt::Key_Tab && mods == Qt::NoModifier) ||
        (key->key() == Qt::Key_Backtab && (mods & ~Qt::ShiftModifier) == Qt::NoModifier))
        return tabKey(widget, key->key() == Qt::Key_Tab) || QObject::eventFilter(watched, event);
    if (mods == Qt::NoModifier && qobject_cast<QToolButton *>(widget) &&
        widget->parentWidget() == m_bar)
        return arrowKey(widget, key->key()) || QObject::eventFilter(watched, event);
    return QObject::eventFilter(watched, event);
}

bool ToolbarKeys::tabKey(QWidget *from, bool forward)
{
    if (from->parentWidget() == m_bar) {
        // From the bar's last button on, into the work.
        const QList<QToolButton *> buttons = buttonsOf(m_bar);
        QList<QToolButton *> open;
        for (QToolButton *b : buttons)
            if (reachable(b))
                open << b;
        if (open.isEmpty() || from != (forward ? open.last() : open.first()))
            return false;
        // Round the active window: Tab to its first control, Shift+Tab to
        // its last.
        QMdiSubWindow *sub = m_area ? m_area->activeSubWindow() : nullptr;
        QWidget *inside = sub ? endControl(sub, forward) : nullptr;
        if (!inside)
            return false;
        inside->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    QMdiSubWindow *sub = nullptr;
    for (QWidget *w = from; w; w = w->parentWidget()) {
        if ((sub = qobject_cast<QMdiSubWindow *>(w)))
            break;
    }
    if (!sub || sub->mdiArea() != m_area || typesTab(from) || !goesRound(from, sub, forward))
        return false;
    return focusBar(forward);
}

bool ToolbarKeys::turnPage(QWidget *from, bool forward)
{
    // Ctrl+Tab in a window of pages turns its page, as it does in a dialog,
    // rather than leave for the next window of the work area.
    QTabWidget *pages = nullptr;
    for (QWidget *w = from; w && !pages; w = w->parentWidget()) {
        if (qobject_cast<QMdiSubWindow *>(w))
            return false;
        pages = qobject_cast<QTabWidget *>(w);
    }
    if (!pages || pages->count() < 2)
        return false;
    const int n = pages->count();
    int at = pages->currentIndex();
    for (int tries = 0; tries < n; ++tries) {
        at = (at + (forward ? 1 : n - 1)) % n;
        if (pages->isTabEnabled(at))
            break;
    }
    pages->setCurrentIndex(at);
    if (!pages->isAncestorOf(QApplication::focusWidget()))
        pages->tabBar()->setFocus(Qt::TabFocusReason);
    return true;
}

bool ToolbarKeys::focusBar(bool first)
{
    const QList<QToolButton *> buttons = buttonsOf(m_bar);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QToolButton *b = buttons.at(first ? i : buttons.size() - 1 - i);
        if (reachable(b)) {
            b->setFocus(first ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return false;
}

bool ToolbarKeys::arrowKey(QObject *button, int key)
{
    const bool rightToLeft = m_bar->layoutDirection() == Qt::RightToLeft;
    int step = 0;
    switch (key) {
    case Qt::Key_Left:
        step = rightToLeft ? 1 : -1;
        break;
    case Qt::Key_Right:
        step = rightToLeft ? -1 : 1;
        break;
    case Qt::Key_Home:
        return focusBar(true);
    case Qt::Key_End:
        return focusBar(false);
    default:
        return false;
    }
    const QList<QToolButton *> buttons = buttonsOf(m_bar);
    const qsizetype n = buttons.size();
    qsizetype at = buttons.indexOf(button);
    // Along the bar, round from one end to the other.
    for (qsizetype tries = 0; tries < n; ++tries) {
        at = (at + step + n) % n;
        if (reachable(buttons.at(at))) {
            buttons.at(at)->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    return true;
}
