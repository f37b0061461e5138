#pragma once

class QMdiSubWindow;

namespace SubWindowPlace {

// Keeps a sub-window wholly inside its MDI area. A sub-window reaching past
// the area's edge is cut off for the eye and "not showing" for a screen
// reader, which then skips it. When the area is too small for the window,
// the main window grows by what is missing, as far as its screen allows; then
// the sub-window is moved inside the area. Call it once the sub-window has
// its size.
void keepInside(QMdiSubWindow *sub);

} // namespace SubWindowPlace
