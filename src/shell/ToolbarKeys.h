#pragma once

#include <QObject>

class QToolBar;

// Lets the keyboard reach a toolbar: its buttons take the focus with Tab,
// and once one has it the arrow keys move along the bar (Home and End to its
// ends), skipping buttons that are disabled or hidden.
class ToolbarKeys : public QObject {
    Q_OBJECT
public:
    // Applies to the buttons `bar` holds now; the helper belongs to the bar.
    static void attach(QToolBar *bar);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ToolbarKeys(QToolBar *bar);
    QToolBar *m_bar;
};
