#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

class QMdiSubWindow;
class QWidget;

// How the main window's child windows take their place in its work area.
namespace SubWindows {

// A window with a wide and a narrow form (the live read-out): the
// arrangement chooses the form that lets every monitoring window fit.
class TwoForms {
public:
    virtual ~TwoForms() = default;
    virtual bool narrow() const = 0;
    // Lays the window out in that form; its size hints follow at once.
    virtual void setNarrow(bool narrow) = 0;
};

// A new sub-window's first size: its designed size in twips, grown to what
// its layout needs, or its layout's size without a designed one.
void sizeNew(QMdiSubWindow *sub, const QString &name, QSize outerTwips);
// After a sub-window was shown and activated. The small dialog-like windows
// (fixed-value control, pattern run, step view, port) keep their own size
// and the place they gave themselves: a maximised window before them does
// not make them fill the area.
void keepOwnSize(QMdiSubWindow *sub, const QString &name);
// Puts the sub-window holding `child` at its designed top left corner in the
// work area (pixels), also when it opened maximised and is restored later.
void placeAt(QWidget *child, QPoint topLeft);
bool isDialogLike(const QString &name);

// A monitoring window (sensor log, status log, graph, live read-out) shown
// the first time: it and the other monitoring windows still where the last
// arrangement put them take the designed arrangement. The read-out, as it
// opens, grows the main window by its height where the screen allows. Where
// their layouts need more room than the work area has, the main window grows
// within its screen; where the area is still too low, the read-out stands
// in its narrow form beside the graph; when even that is too small they
// stand side by side, and the work area scrolls.
void arrangeMonitors(QWidget *child);

} // namespace SubWindows
