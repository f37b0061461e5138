#include "ui/shell/WindowHost.h"

#include <QLineEdit>

void WindowHost::SelectAllText(QLineEdit *box)
{
    // Called just after the box took the focus: by then the keys may have
    // moved on, and a box left behind would show a selection nobody made.
    // An empty box has nothing to select; selecting it anyway tells a screen
    // reader of a caret move before the box's focus, and the reader then
    // takes the box as focused already and says nothing of it.
    // One change: the whole text selected, the caret at its end; the reader
    // is told the range 0 to the length. (Orca 43 still says the value less
    // its last character: the toolkit gives each of a line edit's characters
    // an empty attribute run, and the reader cuts the value at the last run's
    // end. Nothing here can mend that.)
    if (box && box->hasFocus() && !box->text().isEmpty())
        box->setSelection(0, int(box->text().size()));
}
