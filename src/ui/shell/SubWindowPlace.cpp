#include "ui/shell/SubWindowPlace.h"

#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

namespace SubWindowPlace {

void keepInside(QMdiSubWindow *sub)
{
    QMdiArea *area = sub ? sub->mdiArea() : nullptr;
    if (!area)
        return;
    QWidget *top = area->window();
    const QSize need = sub->size();
    QSize room = area->viewport()->contentsRect().size();
    const QSize lack(qMax(0, need.width() - room.width()), qMax(0, need.height() - room.height()));
    if ((lack.width() > 0 || lack.height() > 0) && !top->isMaximized() && !top->isFullScreen()) {
        QSize grown = top->size() + lack;
        if (const QScreen *screen = top->screen()) {
            const QRect outer = top->frameGeometry();
            const QSize frame = outer.size() - top->size();
            const QRect avail = screen->availableGeometry();
            grown = grown.boundedTo(avail.size() - frame);
            top->resize(grown);
            // Still whole on the screen after growing.
            QPoint at = outer.topLeft();
            at.setX(qMax(avail.left(),
                         qMin(at.x(), avail.right() + 1 - grown.width() - frame.width())));
            at.setY(qMax(avail.top(),
                         qMin(at.y(), avail.bottom() + 1 - grown.height() - frame.height())));
            top->move(at);
        } else {
            top->resize(grown);
        }
        // The area follows the window through its layout.
        QCoreApplication::sendPostedEvents(top, QEvent::LayoutRequest);
        room = area->viewport()->contentsRect().size();
    }
    const int x = qMax(0, qMin(sub->x(), room.width() - need.width()));
    const int y = qMax(0, qMin(sub->y(), room.height() - need.height()));
    sub->move(x, y);
}

} // namespace SubWindowPlace
