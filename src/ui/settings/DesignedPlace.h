#pragma once

#include "core/app/Twips.h"

#include <QMdiSubWindow>
#include <QWidget>

// Puts the sub-window holding `child` at its designed place in the main
// window's client area (twips from the top left corner), and lets it grow to
// what its layout needs: these fonts need more room than the designed ones.
// Called when the window is first shown; a window outside a
// multiple-document area is left as it is.
inline void moveToDesignedPlace(QWidget *child, int leftTwips, int topTwips)
{
    auto *sub = qobject_cast<QMdiSubWindow *>(child->parentWidget());
    if (!sub)
        return;
    sub->move(Twips::toPixelsX(leftTwips), Twips::toPixelsY(topTwips));
    sub->resize(sub->size().expandedTo(sub->minimumSizeHint()));
}
