#include "ui/shell/WindowHost.h"

#include <QLineEdit>

void WindowHost::SelectAllText(QLineEdit *box)
{
    // An empty box has nothing to select; selecting it anyway tells a screen
    // reader of a caret move before the box's focus, and the reader then
    // takes the box as focused already and says nothing of it.
    if (box && !box->text().isEmpty())
        box->setSelection(0, int(box->text().size()));
}
