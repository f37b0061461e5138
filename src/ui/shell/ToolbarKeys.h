#pragma once

#include <QObject>
#include <QPointer>

class QMdiArea;
class QMdiSubWindow;
class QToolBar;
class QWidget;

// Lets the keyboard reach a toolbar: its buttons take the focus with Tab,
// and once one has it the arrow keys move along the bar (Home and End to its
// ends), skipping buttons that are disabled or hidden. Tab keeps to a
// sub-window of the work area, going round inside it; here it goes on to the
// bar instead of going round, and from the bar into the active sub-window,
// so that Tab alone reaches every command: from a window's last control to
// the bar's first button, from the bar's last button to the window's first
// control, and Shift+Tab the other way. A sub-window without a control never
// keeps the keyboard: the window worked in before stays (or becomes) the
// active one. Ctrl+Tab (Ctrl+Shift+Tab) in a window of pages turns the page.
class ToolbarKeys : public QObject {
    Q_OBJECT
public:
    // Applies to the buttons `bar` holds now; the helper belongs to the bar.
    static void attach(QToolBar *bar, QMdiArea *area);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ToolbarKeys(QToolBar *bar, QMdiArea *area);
    bool arrowKey(QObject *button, int key);
    bool tabKey(QWidget *from, bool forward);
    bool focusBar(bool first);
    bool turnPage(QWidget *from, bool forward);
    void keepKeyboard(QMdiSubWindow *sub);

    QToolBar *m_bar;
    // The work area goes before the bar when the main window is destroyed.
    QPointer<QMdiArea> m_area;
    // The window with controls the operator worked in last.
    QPointer<QMdiSubWindow> m_working;
};
